// socket_client: connect, the event thread (epoll on Linux, select on
// Windows) and the direct send.
//
// Threads: the event thread reads, reports and finally closes the socket;
// the application (or a send worker) calls sock_send at the same time. The
// socket and epoll descriptors are atomic and are closed under m_sock_lock,
// which sock_send also holds around its one send, so a send never reaches a
// descriptor number that was closed meanwhile and handed to another socket.
// On Windows the select set is changed and copied under the same lock.
#include "net/linux/socket_client.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "net/linux/net_interface.h"
#include "tools/cross_platform_api.h"
#ifdef _WIN32
#include "net/windows/tcp_options.h"
#include "net/windows/winsock_count.h"
#endif
#include "net/thread/thread_function.h"

namespace {

#ifdef _WIN32
// Never the id of a running thread.
const unsigned long no_thread = 0;
// Ready records one select pass can give for the client's one socket.
const unsigned select_records = 3;
#else
const pthread_t no_thread = static_cast<pthread_t>(-1);
#endif
// Size of the adapter table searched for the local MAC.
const int mac_table_len = 128;
// Room for the longest log text (a server address and an error text).
const unsigned log_text_len = 1024;

#ifdef _WIN32
// The system's text for a Winsock error code, without the line end.
void wsa_error_text(int err, char* text, unsigned size) {
    text[0] = 0;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(err), 0, text, size, nullptr);
    if (n >= size) n = size - 1;
    while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ')) --n;
    text[n] = 0;
}
#endif

}  // namespace

socket_client::socket_client()
    : m_connected(false),
      m_caller(nullptr),
      m_callback(nullptr),
      m_socket(MV_INVALID_SOCKET),
      m_port(0),
#ifndef _WIN32
      m_epoll_handle(-1),
      m_wake_handle(-1),
#endif
      m_thread_quit_flag(false),
      m_thread_quit_finish_flag(true),
      m_thread_id(no_thread),
      m_context(nullptr),
      m_max_wait_time(50),
      m_stop_poll_limit(default_stop_poll_limit) {
    std::memset(m_line, 0, sizeof(m_line));
#ifdef _WIN32
    winsock_startup();
#endif
}

socket_client::~socket_client() {
    // A detached event thread must not outlive the object it works on.
    stop_client_event_thread();
    socket_client::event_client_close();
#ifdef _WIN32
    winsock_cleanup();
#endif
}

bool socket_client::event_client_close() {
    std::lock_guard<std::mutex> guard(m_sock_lock);
#ifdef _WIN32
    SOCKET sock = m_socket.exchange(INVALID_SOCKET);
    if (sock != INVALID_SOCKET) {
        m_select_set.remove(sock);
        closesocket(sock);
    }
#else
    int epoll_handle = m_epoll_handle.exchange(-1);
    if (epoll_handle >= 0) close(epoll_handle);
    int wake = m_wake_handle.exchange(-1);
    if (wake >= 0) close(wake);
    int sock = m_socket.exchange(-1);
    if (sock >= 0) close(sock);
#endif
    return true;
}

bool socket_client::event_client_error() {
    log_msg("event_client_error, will close this socket\n");
    return true;
}

bool socket_client::event_client_connect() {
    m_connected.store(true);
    report_user(EVENT_CONNECT, 0, nullptr, 0, 0);
    return true;
}

bool socket_client::event_client_disconnect(bool local) {
    m_connected.store(false);
    report_user(local ? EVENT_LOCALE_DISCONNECT : EVENT_REMOTE_DISCONNECT, 0, nullptr, 0, 0);
    return true;
}

#ifdef _WIN32
bool socket_client::event_client_receive() {
    SOCKET sock = m_socket.load();
    int n = recv(sock, m_line, static_cast<int>(sizeof(m_line)), 0);
    if (n > 0) {
        report_user(EVENT_RECEIVE, 0, m_line, static_cast<unsigned>(n), static_cast<int>(sock));
        return true;
    }
    if (n == 0) return false;
    int err = WSAGetLastError();
    if (err == WSAEWOULDBLOCK || err == WSAEINTR) return true;
    // A reset or aborted connection ends quietly, as a reset does on Linux;
    // so does a shutdown of the socket by its owner.
    if (err == WSAECONNRESET || err == WSAECONNABORTED || err == WSAESHUTDOWN) return false;
    char reason[256];
    wsa_error_text(err, reason, sizeof(reason));
    char text[log_text_len];
    MORVAST::TOOLS::snprintf_mv(text, sizeof(text), "client readline error(n_recved=%d errno=%d error message=%s )\n",
                                n, err, reason);
    log_msg(text);
    event_client_error();
    return false;
}

// Write readiness is never waited for, so nothing calls this on Windows but
// a caller of its own.
bool socket_client::event_client_send() {
    report_user(EVENT_SEND, 0, nullptr, 0, static_cast<int>(m_socket.load()));
    return true;
}
#else
bool socket_client::event_client_receive() {
    int sock = m_socket.load();
    ssize_t n = read(sock, m_line, sizeof(m_line));
    if (n > 0) {
        report_user(EVENT_RECEIVE, 0, m_line, static_cast<unsigned>(n), sock);
        return true;
    }
    if (n == 0) return false;
    int err = errno;
    if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR) return true;
    if (err == ECONNRESET) return false;
    char text[log_text_len];
    MORVAST::TOOLS::snprintf_mv(text, sizeof(text), "client readline error(n_recved=%d errno=%d error message=%s )\n",
                                static_cast<int>(n), err, strerror(err));
    log_msg(text);
    event_client_error();
    return false;
}

bool socket_client::event_client_send() {
    int sock = m_socket.load();
    struct epoll_event ev;
    std::memset(&ev, 0, sizeof(ev));
    ev.events = socket_client_epoll_mask;
    ev.data.fd = sock;
    if (epoll_ctl(m_epoll_handle.load(), EPOLL_CTL_MOD, sock, &ev) != 0) return false;
    report_user(EVENT_SEND, 0, nullptr, 0, sock);
    return true;
}
#endif

bool socket_client::report_user(SOCKET_EVENT event, int id, char const* data, unsigned len, int sock) {
    socket_event_callback callback = m_callback.load();
    if (!callback) return false;
    // The record reaches the bytes through this variable of ours.
    char const* holder = data;
    socket_param param(event, id, data ? &holder : nullptr, data ? len : 0, sock);
    callback(param, m_caller.load());
    return true;
}

bool socket_client::sock_init(std::string const& server_ip, unsigned short server_port,
                              socket_event_callback callback, void* caller) {
    return connect_server(server_ip, server_port, false, std::string(), 0, callback, caller);
}

bool socket_client::sock_init(std::string const& server_ip, unsigned short server_port,
                              std::string const& local_ip, unsigned short local_port,
                              socket_event_callback callback, void* caller) {
    return connect_server(server_ip, server_port, true, local_ip, local_port, callback, caller);
}

void socket_client::fail_init() {
    event_client_close();
    m_connected.store(false);
}

bool socket_client::connect_server(std::string const& server_ip, unsigned short server_port, bool bind_local,
                                   std::string const& local_ip, unsigned short local_port,
                                   socket_event_callback callback, void* caller) {
    sock_close();
    if (!callback) return false;
    m_callback.store(callback);
    m_caller.store(caller);
    m_ip = server_ip;
    m_port = server_port;
    m_connected.store(false);

    struct sockaddr_in server_addr;
    std::memset(&server_addr, 0, sizeof(server_addr));
    server_addr.sin_family = AF_INET;
    server_addr.sin_port = htons(server_port);
    if (inet_pton(AF_INET, server_ip.c_str(), &server_addr.sin_addr) != 1) return false;
    struct sockaddr_in local_addr;
    std::memset(&local_addr, 0, sizeof(local_addr));
    local_addr.sin_family = AF_INET;
    local_addr.sin_port = htons(local_port);
    if (bind_local && inet_pton(AF_INET, local_ip.c_str(), &local_addr.sin_addr) != 1) return false;

    mv_socket sock = socket(AF_INET, SOCK_STREAM, 0);
    if (sock == MV_INVALID_SOCKET) return false;
    m_socket.store(sock);

    if (bind_local && bind(sock, reinterpret_cast<struct sockaddr*>(&local_addr), sizeof(local_addr)) != 0) {
#ifdef _WIN32
        int err = WSAGetLastError();
        char reason[256];
        wsa_error_text(err, reason, sizeof(reason));
        char text[log_text_len];
        MORVAST::TOOLS::snprintf_mv(text, sizeof(text),
                                    "*****socket client bind error!***** error code:%d error message:(%s)  %s %d %d %d\n",
                                    err, reason, server_ip.c_str(), static_cast<int>(server_port),
                                    static_cast<int>(local_addr.sin_addr.s_addr), static_cast<int>(local_addr.sin_port));
        log_msg(text);
#else
        int err = errno;
        char text[log_text_len];
        MORVAST::TOOLS::snprintf_mv(text, sizeof(text),
                                    "*****socket client local_addr error!***** error code:%d error message:(%s) %s ",
                                    err, strerror(err), server_ip.c_str());
        log_msg(text);
        MORVAST::TOOLS::snprintf_mv(text, sizeof(text), " %d  %d", static_cast<int>(server_port),
                                    static_cast<int>(local_addr.sin_addr.s_addr));
        log_msg(text);
        MORVAST::TOOLS::snprintf_mv(text, sizeof(text), " %d \n ", static_cast<int>(local_addr.sin_port));
        log_msg(text);
#endif
        fail_init();
        return false;
    }
    if (connect(sock, reinterpret_cast<struct sockaddr*>(&server_addr), sizeof(server_addr)) != 0) {
        fail_init();
        return false;
    }
    m_connected.store(true);
    // From here a failure leaves the client closed and not connected, so an
    // auto-reconnect sees it down and tries again.
    if (!set_sock_options(sock)) {
        fail_init();
        return false;
    }
#ifdef _WIN32
    // Non-blocking, as on Linux: a send to a peer that stopped reading
    // returns 0 once the buffers are full instead of holding the sender (and
    // a disconnect waiting for it) for ever.
    u_long non_blocking = 1;
    if (ioctlsocket(sock, FIONBIO, &non_blocking) != 0) {
        fail_init();
        return false;
    }
    {
        std::lock_guard<std::mutex> guard(m_sock_lock);
        m_select_set.add(sock);
    }
#else
    int flags = fcntl(sock, F_GETFL, 0);
    if (flags < 0 || fcntl(sock, F_SETFL, flags | O_NONBLOCK) != 0) {
        fail_init();
        return false;
    }
    int epoll_handle = epoll_create(1);
    if (epoll_handle < 0) {
        fail_init();
        return false;
    }
    m_epoll_handle.store(epoll_handle);
    struct epoll_event ev;
    std::memset(&ev, 0, sizeof(ev));
    ev.events = socket_client_epoll_mask;
    ev.data.fd = sock;
    if (epoll_ctl(epoll_handle, EPOLL_CTL_ADD, sock, &ev) != 0) {
        fail_init();
        return false;
    }
    int wake = add_wake_descriptor(epoll_handle);
    if (wake < 0) {
        fail_init();
        return false;
    }
    m_wake_handle.store(wake);
#endif
    if (!start_client_event_thread()) {
        fail_init();
        return false;
    }
    return true;
}

bool socket_client::set_sock_options(mv_socket sock) { return set_tcp_client_options(sock); }

bool socket_client::sock_close() {
    bool was_connected = is_connected();
    stop_client_event_thread();
    if (was_connected) event_client_disconnect(true);
    return true;
}

// Hot path: one system call, no allocation. The lock only orders this send
// against the close of the descriptor.
int socket_client::sock_send(char const* data, int len) {
#ifdef _WIN32
    int n;
#else
    ssize_t n;
#endif
    mv_socket sock;
    int err = 0;
    {
        std::lock_guard<std::mutex> guard(m_sock_lock);
        sock = m_socket.load();
        if (sock == MV_INVALID_SOCKET) return -1;
        if (len < 0 || (!data && len > 0)) return -1;
#ifdef _WIN32
        // The socket is non-blocking: a full buffer fails with WSAEWOULDBLOCK.
        n = send(sock, data, len, 0);
        if (n < 0) err = WSAGetLastError();
#else
        n = send(sock, data, static_cast<size_t>(len), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n < 0) err = errno;
#endif
    }
    if (n > 0) {
        report_user(EVENT_SEND, 0, data, static_cast<unsigned>(n), static_cast<int>(sock));
        return static_cast<int>(n);
    }
#ifdef _WIN32
    if (n < 0 && err == WSAEWOULDBLOCK) return 0;
#else
    if (n < 0 && (err == EAGAIN || err == EWOULDBLOCK)) return 0;
#endif
    return static_cast<int>(n);
}

bool socket_client::get_local_ip(unsigned char* ip) {
    mv_socket sock = m_socket.load();
    if (sock == MV_INVALID_SOCKET || !ip) return false;
    struct sockaddr_in addr;
    socklen_t len = sizeof(addr);
    std::memset(&addr, 0, sizeof(addr));
    if (getsockname(sock, reinterpret_cast<struct sockaddr*>(&addr), &len) != 0 || addr.sin_family != AF_INET)
        return false;
    std::memcpy(ip, &addr.sin_addr.s_addr, 4);
    return true;
}

bool socket_client::get_local_mac(unsigned char* mac) {
    unsigned char ip[4];
    if (!mac || !get_local_ip(ip)) return false;
    ip_and_mac table[mac_table_len];
    int count = load_ip_and_mac(table, mac_table_len);
    for (int i = 0; i < count; ++i) {
        if (std::memcmp(table[i].m_ip, ip, sizeof(ip)) == 0) {
            std::memcpy(mac, table[i].m_mac, sizeof(table[i].m_mac));
            return true;
        }
    }
    return false;
}

void socket_client::log_msg(char const* msg) {
    if (!msg) return;
    socket_context* context = m_context.load();
    if (context) {
        context->on_socket_write_info_msg(msg, static_cast<int>(std::strlen(msg)));
    } else {
        std::fputs(msg, stdout);
        std::fflush(stdout);
    }
}

#ifdef _WIN32
bool socket_client::proc_event(sckt_select_event* events, int count) {
    bool result = true;
    SOCKET sock = m_socket.load();
    for (int i = 0; i < count && result; ++i) {
        if (events[i].sock != sock) continue;
        switch (events[i].kind) {
        case SELECT_EVENT_READ:
            result = event_client_receive();
            if (!result) event_client_disconnect(false);
            break;
        case SELECT_EVENT_WRITE:
            result = event_client_send();
            if (!result) event_client_disconnect(false);
            break;
        default:
            // An exceptional condition (an urgent byte) ends the connection.
            event_client_error();
            event_client_disconnect(false);
            result = false;
            break;
        }
    }
    return result;
}
#else
bool socket_client::proc_event(struct epoll_event* events, int count) {
    bool result = true;
    int sock = m_socket.load();
    for (int i = 0; i < count; ++i) {
        if (events[i].data.fd != sock) continue;
        uint32_t ev = events[i].events;
        if (ev & EPOLLIN) {
            result = event_client_receive();
            if (!result) event_client_disconnect(false);
        } else if (ev & EPOLLOUT) {
            result = event_client_send();
            if (!result) event_client_disconnect(false);
        } else {
            event_client_error();
            event_client_disconnect(false);
            result = false;
        }
    }
    return result;
}
#endif

void socket_client::proc_thread_error(int error_code) {
    char text[log_text_len];
    int32_t* count;
    switch (error_code) {
    case EINTR:
        count = &m_error_statistic.m_wait_error_EINTR;
        MORVAST::TOOLS::snprintf_mv(text, sizeof(text),
                                    "epoll_waite error! the call was interrupted by a signal handler before any of "
                                    "the requested events occurred or timeout expired. error times(%d)\n",
                                    *count);
        break;
    case EBADF:
        count = &m_error_statistic.m_wait_error_EBADF;
#ifdef _WIN32
        // There is no wait descriptor to name.
        MORVAST::TOOLS::snprintf_mv(text, sizeof(text),
                                    "epoll_waite error! epoll_handle:  is not a valid file descriptor. error "
                                    "times(%d)\n",
                                    *count);
#else
        MORVAST::TOOLS::snprintf_mv(text, sizeof(text),
                                    "epoll_waite error! epoll_handle:%d  is not a valid file descriptor. error "
                                    "times(%d)\n",
                                    m_epoll_handle.load(), *count);
#endif
        break;
    case EFAULT:
        count = &m_error_statistic.m_wait_error_EFAULT;
        MORVAST::TOOLS::snprintf_mv(text, sizeof(text),
                                    "epoll_waite error! epoll_event is not accessible with write. error times(%d)",
                                    *count);
        break;
    case EINVAL:
        count = &m_error_statistic.m_wait_error_EINVAL;
        MORVAST::TOOLS::snprintf_mv(text, sizeof(text),
                                    "epoll_waite error! m_epoll_handle is not an epoll file descriptor, or "
                                    "maxevents is less than or equal to zero. error times(%d)\n",
                                    *count);
        break;
    default:
        count = &m_error_statistic.m_wait_error_UNDEF;
        MORVAST::TOOLS::snprintf_mv(text, sizeof(text), "epoll_waite error! undefine wait error. error times(%d)\n",
                                    *count);
        break;
    }
    if (*count == 0) log_msg(text);
    // Counts stop at the largest value instead of wrapping.
    if (*count < INT32_MAX) ++*count;
}

bool socket_client::start_client_event_thread() {
    m_thread_quit_flag.store(false);
    // A thread about to start counts as running, so a stop issued before it
    // gets going still waits for it.
    m_thread_quit_finish_flag.store(false);
    unsigned long id = 0;
#ifdef _WIN32
    m_thread_id.store(no_thread);
    mv_socket_thread_handle handle = mv_create_thread(&socket_client::event_client_thread, this, id);
    if (handle == nullptr) {
        m_thread_quit_finish_flag.store(true);
        return false;
    }
    // The thread is never joined: the ended flag tells when it is over.
    mv_close_thread(handle);
#else
    if (mv_create_thread(&socket_client::event_client_thread, this, id) == 0) {
        m_thread_quit_finish_flag.store(true);
        return false;
    }
#endif
    m_thread_id.store(id);
    return true;
}

bool socket_client::on_event_thread() const {
#ifdef _WIN32
    return !m_thread_quit_finish_flag.load() && GetCurrentThreadId() == m_thread_id.load();
#else
    return !m_thread_quit_finish_flag.load() && pthread_equal(pthread_self(), m_thread_id.load()) != 0;
#endif
}

#ifdef _WIN32
// Windows cannot cancel a thread, so the stop waits for the event thread to
// end, without a limit: the client is never freed or reused under it.
bool socket_client::stop_client_event_thread() {
    m_thread_quit_flag.store(true);
    if (m_thread_quit_finish_flag.load()) return true;
    if (on_event_thread()) return true;
    while (!m_thread_quit_finish_flag.load()) mv_sleep(1);
    return true;
}
#else
bool socket_client::stop_client_event_thread() {
    m_thread_quit_flag.store(true);
    if (m_thread_quit_finish_flag.load()) return true;
    if (on_event_thread()) return true;
    {
        // The wake descriptor is closed under the same lock, so its number
        // is still ours when written.
        std::lock_guard<std::mutex> guard(m_sock_lock);
        const int wake = m_wake_handle.load();
        if (wake >= 0) {
            signal_wake_descriptor(wake);
        }
    }
    int limit = m_stop_poll_limit.load();
    for (int i = 0; i < limit; ++i) {
        if (m_thread_quit_finish_flag.load()) return true;
        mv_sleep(1);
    }
    if (m_thread_quit_finish_flag.load()) return true;
    pthread_t id = m_thread_id.exchange(no_thread);
    if (id != no_thread) mv_close_thread(id);
    // The cancelled thread will not close the socket any more.
    event_client_close();
    m_thread_quit_finish_flag.store(true);
    return true;
}
#endif

void* socket_client::event_client_thread(void* param) {
    static_cast<socket_client*>(param)->on_event_client_thread();
    return nullptr;
}

#ifdef _WIN32
void socket_client::on_event_client_thread() {
    m_thread_id.store(GetCurrentThreadId());
    event_client_connect();
    sckt_select_event records[select_records];
    while (!m_thread_quit_flag.load()) {
        // The wait runs on a copy, so a send or a close never waits for it.
        sckt_select_set pass;
        {
            std::lock_guard<std::mutex> guard(m_sock_lock);
            pass = m_select_set;
        }
        int n = pass.wait(select_wait_us, records, select_records);
        if (n > 0) {
            if (!proc_event(records, n)) m_thread_quit_flag.store(true);
        } else if (n < 0) {
            proc_thread_error(last_select_error());
        }
    }
    event_client_close();
    // Last touch of the object: a waiting sock_close may free it from here on.
    m_thread_quit_finish_flag.store(true);
}
#else
void socket_client::on_event_client_thread() {
    m_thread_id.store(pthread_self());
    event_client_connect();
    struct epoll_event ev;
    while (!m_thread_quit_flag.load()) {
        std::memset(&ev, 0, sizeof(ev));
        int n = epoll_wait(m_epoll_handle.load(), &ev, 1, m_max_wait_time.load());
        if (n > 0) {
            if (!proc_event(&ev, n)) m_thread_quit_flag.store(true);
        } else if (n < 0) {
            proc_thread_error(errno);
        }
    }
    event_client_close();
    // Last touch of the object: a waiting sock_close may free it from here on.
    m_thread_quit_finish_flag.store(true);
}
#endif
