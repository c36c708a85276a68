// The epoll and blocking-receive TCP client, and the interface address query;
// on Windows the select form of the client and the host's address.
#include "net/linux_sckt_client.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include "net/linux/net_interface.h"
#include "net/windows/tcp_options.h"
#include "net/windows/winsock_count.h"
#else
#include "net/linux/net_interface.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <thread>

#include "tools/test_hook.h"
#include "tools/tool_function.h"

namespace CLIENT_SCKT_ONLY {

#ifndef _WIN32
static_assert(sckt_client::EPOLL_EVENTS_ALL == 0x201D, "epoll mask after connecting");
static_assert(sckt_client::EPOLL_EVENTS_NO_OUT == 0x2019, "epoll mask after the first writable event");
#endif

namespace {

#ifndef _WIN32
const pthread_t NO_THREAD = static_cast<pthread_t>(-1);
#endif

// The client whose event thread is the current thread, if any.
thread_local sckt_client* t_event_client = nullptr;

enum wait_error_kind { WAIT_EINTR, WAIT_EBADF, WAIT_EFAULT, WAIT_EINVAL, WAIT_OTHER };

}  // namespace

#ifdef _WIN32
std::string get_local_ip(std::string /*if_name*/) {
    winsock_startup();
    const std::string ip = host_ipv4_text();
    winsock_cleanup();
    return ip;
}
#else
std::string get_local_ip(std::string if_name) {
    struct ifreq ifr;
    // A longer name would be cut and could name another interface.
    if (if_name.empty() || if_name.size() >= sizeof(ifr.ifr_name)) return std::string();
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return std::string();
    memset(&ifr, 0, sizeof(ifr));
    memcpy(ifr.ifr_name, if_name.data(), if_name.size());
    ifr.ifr_name[sizeof(ifr.ifr_name) - 1] = '\0';
    int rc = ioctl(fd, SIOCGIFADDR, &ifr);
    close(fd);
    if (rc != 0 || ifr.ifr_addr.sa_family != AF_INET) return std::string();
    struct sockaddr_in addr;
    memcpy(&addr, &ifr.ifr_addr, sizeof(addr));
    char text[INET_ADDRSTRLEN] = {0};
    if (!inet_ntop(AF_INET, &addr.sin_addr, text, sizeof(text))) return std::string();
    return std::string(text);
}
#endif

sckt_client::thread_exit_guard::thread_exit_guard(sckt_client* client) : m_client(client) {
    t_event_client = client;
}

// Runs on a normal end and on the unwinding of a cancelled thread alike: the
// socket is closed and the flags are cleared in both cases.
sckt_client::thread_exit_guard::~thread_exit_guard() {
#ifndef _WIN32
    int old_state = 0;
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &old_state);
#endif
    m_client->event_client_close();
    t_event_client = nullptr;
    std::lock_guard<std::mutex> guard(m_client->m_exit_lock);
    m_client->m_running = false;
}

#ifdef _WIN32
sckt_client::sckt_client()
    : m_context(nullptr),
      m_callback(nullptr),
      m_sock(MV_INVALID_SOCKET),
      m_server_port(0),
      m_quit(false),
      m_running(false),
      m_connected(false),
      m_max_wait(DEFAULT_EPOLL_MAX_WAIT_MS),
      m_stop_wait_ms(DEFAULT_STOP_WAIT_MS) {
    memset(m_recv_buff, 0, sizeof(m_recv_buff));
    winsock_startup();
}

// The thread uses the object to its end, so it is waited for however long
// it takes; only then does the socket go, and the Winsock reference with it.
sckt_client::~sckt_client() {
    retire_event_thread();
    close_descriptors();
    winsock_cleanup();
}
#else
sckt_client::sckt_client()
    : m_context(nullptr),
      m_callback(nullptr),
      m_sock(-1),
      m_server_port(0),
      m_epoll(-1),
      m_wake(-1),
      m_quit(false),
      m_running(false),
      m_connected(false),
      m_max_wait(DEFAULT_EPOLL_MAX_WAIT_MS),
      m_thread(NO_THREAD),
      m_stop_wait_ms(DEFAULT_STOP_WAIT_MS),
      m_last_read(0) {
    memset(m_recv_buff, 0, sizeof(m_recv_buff));
}

sckt_client::~sckt_client() { retire_event_thread(); }
#endif

void sckt_client::retire_event_thread() {
    if (t_event_client == this) return;
#ifdef _WIN32
    // No cancel on Windows: the thread is asked to end and waited for.
    if (m_running) {
        m_quit = true;
        while (!wait_thread_end(m_stop_wait_ms > 0 ? m_stop_wait_ms.load() : 1u)) {
        }
        return;
    }
#endif
    if (m_running) {
        stop_client_event_thread();
    } else {
        // A thread that ended by itself may still be leaving the exit lock.
        std::lock_guard<std::mutex> guard(m_exit_lock);
    }
}

bool sckt_client::is_connected() { return m_connected; }

bool sckt_client::event_client_close() {
    m_connected = false;
    close_descriptors();
    return true;
}

bool sckt_client::event_client_error() {
    m_connected = false;
    log_msg("event_client_error, will close this sckt\n");
    return true;
}

bool sckt_client::event_client_connect() {
    m_connected = true;
    report_user(EVENT_CONNECT, 0, nullptr, 0);
    return true;
}

bool sckt_client::event_client_disconnect(bool local) {
    m_connected = false;
    report_user(local ? EVENT_LOCALE_DISCONNECT : EVENT_REMOTE_DISCONNECT, 0, nullptr, 0);
    return true;
}

#ifdef _WIN32
// One read after select found the socket readable.
bool sckt_client::event_client_receive() {
    const int n = recv(m_sock, m_recv_buff, RECV_BUFF_LEN, 0);
    if (n > 0) {
        report_user(EVENT_RECEIVE, 0, m_recv_buff, static_cast<uint32_t>(n));
        return true;
    }
    if (n == 0) return false;
    const int err = WSAGetLastError();
    if (err == WSAEWOULDBLOCK || err == WSAEINTR) return true;
    // A reset or an abort ends the connection quietly, as a reset does on
    // Linux; so does the session's own shutdown of the socket.
    if (err == WSAECONNRESET || err == WSAECONNABORTED || err == WSAESHUTDOWN) return false;
    log_msg("client readline error(n_recved=" + std::to_string(n) + ", errno=" + std::to_string(err) + ")\n");
    event_client_error();
    return false;
}

// A write record (select is never asked for one): tell the user.
bool sckt_client::event_client_send() {
    report_user(EVENT_SEND, 0, nullptr, 0);
    return true;
}
#else
// One read of the epoll form.
bool sckt_client::event_client_receive() {
    ssize_t n = read(m_sock, m_recv_buff, RECV_BUFF_LEN);
    int err = errno;
    m_last_read = n;
    if (n > 0) {
        report_user(EVENT_RECEIVE, 0, m_recv_buff, static_cast<uint32_t>(n));
        return true;
    }
    if (n == 0) return false;
    if (err == EAGAIN || err == EWOULDBLOCK) return true;
    if (err == ECONNRESET) return false;
    log_msg("client readline error(n_recved=" + std::to_string(n) + ", errno=" + std::to_string(err) + ")\n");
    event_client_error();
    return false;
}

// The first writable event: stop watching for writability and tell the user.
bool sckt_client::event_client_send() {
    struct epoll_event ev;
    memset(&ev, 0, sizeof(ev));
    ev.events = EPOLL_EVENTS_NO_OUT;
    ev.data.fd = m_sock;
    if (epoll_ctl(m_epoll, EPOLL_CTL_MOD, m_sock, &ev) != 0) return false;
    report_user(EVENT_SEND, 0, nullptr, 0);
    return true;
}
#endif

#ifdef _WIN32
bool sckt_client::sock_init(const char* server_ip, uint16_t port, sckt_event_callback callback, void* context) {
    if (!end_previous_connection() || !callback) {
        m_connected = false;
        return false;
    }
    m_connected = false;
    m_callback = callback;
    m_context = context;
    m_server_ip = server_ip ? server_ip : "";
    m_server_port = port;

    sockaddr_in addr;
    memset(&addr, 0, sizeof(addr));
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (!server_ip || inet_pton(AF_INET, server_ip, &addr.sin_addr) != 1) return false;

    const mv_socket sock = socket(AF_INET, SOCK_STREAM, 0);
    if (sock == MV_INVALID_SOCKET) return false;
    // A blocking connect; select then tells when a receive has something.
    // Once connected the socket is non-blocking, as on Linux: a server that
    // stops reading makes a send fail instead of holding the sending thread
    // (the heart-beat thread, which a disconnect waits for) for ever.
    u_long non_blocking = 1;
    if (!set_sock_options(sock) || connect(sock, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        ioctlsocket(sock, FIONBIO, &non_blocking) != 0) {
        closesocket(sock);
        return false;
    }
    {
        std::lock_guard<std::mutex> guard(m_fd_lock);
        m_set.add(sock);
        m_sock = sock;
    }
    return start_client_event_thread();
}
#else
bool sckt_client::sock_init(const char* server_ip, uint16_t port, sckt_event_callback callback, void* context) {
    return open_socket(server_ip, port, callback, context, true);
}

bool sckt_client::sock_init_ex(const char* server_ip, uint16_t port, sckt_event_callback callback,
                               void* context) {
    return open_socket(server_ip, port, callback, context, false);
}

bool sckt_client::open_socket(const char* server_ip, uint16_t port, sckt_event_callback callback, void* context,
                              bool epoll_form) {
    if (!end_previous_connection()) return false;
    m_connected = false;
    if (!callback) return false;
    m_callback = callback;
    m_context = context;
    m_server_ip = server_ip ? server_ip : "";
    m_server_port = port;

    struct sockaddr_in addr;
    memset(&addr, 0, sizeof(addr));
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (!server_ip || inet_pton(AF_INET, server_ip, &addr.sin_addr) != 1) return false;

    int sock = socket(AF_INET, SOCK_STREAM, 0);
    if (sock < 0) return false;
    if (!set_sock_options(sock) || connect(sock, reinterpret_cast<struct sockaddr*>(&addr), sizeof(addr)) != 0) {
        close(sock);
        return false;
    }
    if (epoll_form) {
        int flags = fcntl(sock, F_GETFL, 0);
        if (flags < 0 || fcntl(sock, F_SETFL, flags | O_NONBLOCK) != 0) {
            close(sock);
            return false;
        }
        int ep = epoll_create(1);
        if (ep < 0) {
            close(sock);
            return false;
        }
        struct epoll_event ev;
        memset(&ev, 0, sizeof(ev));
        ev.events = EPOLL_EVENTS_ALL;
        ev.data.fd = sock;
        int wake = -1;
        if (epoll_ctl(ep, EPOLL_CTL_ADD, sock, &ev) != 0 || (wake = add_wake_descriptor(ep)) < 0) {
            close(ep);
            close(sock);
            return false;
        }
        m_epoll = ep;
        m_wake = wake;
    }
    m_sock = sock;
    return epoll_form ? start_client_event_thread() : start_client_event_thread_ex();
}
#endif

bool sckt_client::end_previous_connection() {
    if (!m_running) return true;
    if (t_event_client == this) return false;
    stop_client_event_thread();
    return !m_running;
}

#ifdef _WIN32
bool sckt_client::start_client_event_thread() { return start_thread(); }

bool sckt_client::start_thread() {
    m_quit = false;
    m_connected = true;
    // Set before the thread exists, so that a stop issued at once waits for it.
    m_running = true;
    HANDLE thread = CreateThread(nullptr, 0, event_client_thread, this, 0, nullptr);
    if (thread == nullptr) {
        m_running = false;
        m_connected = false;
        close_descriptors();
        return false;
    }
    // The flags tell when the thread ends; the handle is not needed.
    CloseHandle(thread);
    Sleep(1);
    return true;
}

void sckt_client::close_descriptors() {
    mv_socket sock;
    {
        std::lock_guard<std::mutex> guard(m_fd_lock);
        sock = m_sock.exchange(MV_INVALID_SOCKET);
        if (sock == MV_INVALID_SOCKET) return;
        m_set.remove(sock);
    }
    close_when_unused(sock);
}

// Sends the whole range as the Linux form does (-1 when the socket takes
// nothing of it) and reports the result.
int sckt_client::sock_send(const char* data, int len) {
    int result = len;
    int sent = 0;
    {
        send_scope sending(m_senders);
        const mv_socket sock = m_sock;
        if (sock == MV_INVALID_SOCKET) return -1;
        if (len < 0 || (len > 0 && !data)) result = -1;
        std::chrono::steady_clock::time_point last_progress;
        bool progressed = true;
        while (result >= 0 && sent < len) {
            const int n = send(sock, data + sent, len - sent, 0);
            if (n > 0) {
                sent += n;
                progressed = true;
                continue;
            }
            const int err = WSAGetLastError();
            if (sent > 0 && (n == 0 || err == WSAEWOULDBLOCK || err == WSAENOBUFS) &&
                partial_send_may_wait(sock, progressed, last_progress)) {
                progressed = false;
                continue;
            }
            result = -1;
        }
    }
    report_user(EVENT_SEND, result, data, sent > 0 ? static_cast<uint32_t>(sent) : 0);
    return result;
}
#else
bool sckt_client::start_client_event_thread() { return start_thread(event_client_thread); }

bool sckt_client::start_client_event_thread_ex() { return start_thread(event_client_thread_ex); }

bool sckt_client::start_thread(void* (*body)(void*)) {
    m_quit = false;
    m_connected = true;
    // Set before the thread exists, so that a stop issued at once waits for it.
    m_running = true;
    pthread_attr_t attr;
    int rc = pthread_attr_init(&attr);
    pthread_t tid = NO_THREAD;
    if (rc == 0) {
        rc = pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
        if (rc == 0) rc = pthread_create(&tid, &attr, body, this);
        pthread_attr_destroy(&attr);
    }
    if (rc != 0) {
        m_running = false;
        m_connected = false;
        close_descriptors();
        return false;
    }
    m_thread = tid;
    usleep(100);
    return true;
}

void sckt_client::close_descriptors() {
    int sock;
    {
        std::lock_guard<std::mutex> guard(m_fd_lock);
        int ep = m_epoll.exchange(-1);
        if (ep >= 0) close(ep);
        int wake = m_wake.exchange(-1);
        if (wake >= 0) close(wake);
        sock = m_sock.exchange(-1);
    }
    if (sock >= 0) close_when_unused(sock);
}

void sckt_client::wake_event_thread() {
    std::lock_guard<std::mutex> guard(m_fd_lock);
    const int wake = m_wake.load();
    if (wake >= 0) {
        signal_wake_descriptor(wake);
        return;
    }
    const int sock = m_sock.load();
    if (sock >= 0) shutdown(sock, SHUT_RD);
}

int sckt_client::sock_send(const char* data, int len) {
    send_scope sending(m_senders);
    int sock = m_sock;
    MORVAST::TOOLS::test_hook("sckt_client: socket loaded", this);
    if (sock < 0) return -1;
    if (len == 0) return 0;
    if (len < 0 || !data) return -1;
    int sent = 0;
    std::chrono::steady_clock::time_point last_progress;
    bool progressed = true;
    while (sent < len) {
        ssize_t n = send(sock, data + sent, static_cast<size_t>(len - sent), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<int>(n);
            progressed = true;
            continue;
        }
        int err = errno;
        if (sent > 0 && (n == 0 || err == EAGAIN || err == EWOULDBLOCK || err == ENOBUFS) &&
            partial_send_may_wait(sock, progressed, last_progress)) {
            progressed = false;
            continue;
        }
        return -1;
    }
    return len;
}
#endif

bool sckt_client::partial_send_may_wait(mv_socket sock, bool progressed,
                                        std::chrono::steady_clock::time_point& last_progress) {
    const std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
    if (progressed) last_progress = now;
    if (now - last_progress < std::chrono::milliseconds(m_stop_wait_ms.load())) {
        MORVAST::TOOLS::sleep_mv(0);
        return true;
    }
    std::lock_guard<std::mutex> guard(m_fd_lock);
#ifdef _WIN32
    if (m_sock == sock) shutdown(sock, SD_BOTH);
#else
    if (m_sock == sock) shutdown(sock, SHUT_RDWR);
#endif
    return false;
}

void sckt_client::close_when_unused(mv_socket sock) {
    if (m_senders.load() != 0) {
#ifdef _WIN32
        shutdown(sock, SD_BOTH);
#else
        shutdown(sock, SHUT_RDWR);
#endif
        MORVAST::TOOLS::test_hook("sckt_client: sends in flight at close", this);
        while (m_senders.load() != 0) std::this_thread::yield();
    }
#ifdef _WIN32
    closesocket(sock);
#else
    close(sock);
#endif
}

bool sckt_client::sock_close() { return stop_client_event_thread(); }

// Waits by the clock, not by counting sleeps: a millisecond sleep lasts up
// to 15.6 ms on Windows.
bool sckt_client::wait_thread_end(unsigned milliseconds) {
    const std::chrono::steady_clock::time_point deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (!m_running) {
            // The thread may still be leaving its exit lock; wait for that.
            std::lock_guard<std::mutex> guard(m_exit_lock);
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        MORVAST::TOOLS::sleep_mv(1);
    }
}

#ifdef _WIN32
// The running flag, never the socket, tells whether the thread still runs;
// a thread that outlives the wait keeps its socket.
bool sckt_client::stop_client_event_thread() {
    m_quit = true;
    if (t_event_client == this) return true;
    return wait_thread_end(m_stop_wait_ms);
}
#else
bool sckt_client::stop_client_event_thread() {
    m_quit = true;
    if (t_event_client == this) return true;
    wake_event_thread();
    if (!wait_thread_end(m_stop_wait_ms)) {
        {
            std::lock_guard<std::mutex> guard(m_exit_lock);
            if (m_running && m_thread != NO_THREAD) pthread_cancel(m_thread);
        }
        // The cancelled thread closes the socket while it unwinds.
        if (!wait_thread_end(m_stop_wait_ms)) return false;
    }
    m_thread = NO_THREAD;
    return true;
}
#endif

// TCP_NODELAY on, and a linger of 0: a close resets the connection.
bool sckt_client::set_sock_options(const mv_socket& sock) { return set_tcp_client_options(sock); }

bool sckt_client::report_user(SOCKET_EVENT event, int32_t id, const char* data, uint32_t len) {
    if (!m_callback) return false;
    sckt_param param(event, id, data ? &data : nullptr, len);
    m_callback(param, m_context);
    return true;
}

void sckt_client::log_msg(const std::string& text) {
    fwrite(text.data(), 1, text.size(), stdout);
    fflush(stdout);
}

void sckt_client::set_epoll_max_wait_time(int milliseconds) {
    if (milliseconds >= 0) m_max_wait = milliseconds;
}

void sckt_client::set_stop_wait_time(unsigned milliseconds) { m_stop_wait_ms = milliseconds; }

#ifdef _WIN32
DWORD WINAPI sckt_client::event_client_thread(LPVOID arg) {
    static_cast<sckt_client*>(arg)->on_event_client_thread();
    return 0;
}
#else
void* sckt_client::event_client_thread(void* arg) {
    static_cast<sckt_client*>(arg)->on_event_client_thread();
    return nullptr;
}

void* sckt_client::event_client_thread_ex(void* arg) {
    static_cast<sckt_client*>(arg)->on_event_client_thread_ex();
    return nullptr;
}
#endif

// Each kind of wait failure is written once per thread, with its count (1).
void sckt_client::report_wait_error(int err, unsigned counts[5]) {
    int kind = WAIT_OTHER;
    if (err == EINTR) kind = WAIT_EINTR;
    else if (err == EBADF) kind = WAIT_EBADF;
    else if (err == EFAULT) kind = WAIT_EFAULT;
    else if (err == EINVAL) kind = WAIT_EINVAL;
    if (counts[kind] < UINT_MAX) ++counts[kind];
    if (counts[kind] != 1) return;
    std::string times = std::to_string(counts[kind]) + ")\n";
    switch (kind) {
    case WAIT_EINTR:
        log_msg("epoll_waite error! the call was interrupted by a signal handler before any of the requested "
                "events occurred or timeout expired. error times(" + times);
        break;
    case WAIT_EBADF:
#ifdef _WIN32
        // There is no wait handle to name.
        log_msg("epoll_waite error! epoll_handle:  is not a valid file descriptor. error times(" + times);
#else
        log_msg("epoll_waite error! epoll_handle:" + std::to_string(m_epoll.load()) +
                "  is not a valid file descriptor. error times(" + times);
#endif
        break;
    case WAIT_EFAULT:
        log_msg("epoll_waite error! epoll_event is not accessible with write. error times(" + times);
        break;
    case WAIT_EINVAL:
        log_msg("epoll_waite error! m_epoll_handle is not an epoll file descriptor, or maxevents is less than "
                "or equal to zero. error times(" + times);
        break;
    default:
        log_msg("epoll_waite error! undefine wait error. error times(" + times);
        break;
    }
}

#ifdef _WIN32
void sckt_client::on_event_client_thread() {
    thread_exit_guard guard(this);
    m_running = true;
    event_client_connect();
    unsigned counts[5] = {0, 0, 0, 0, 0};
    sckt_select_event records[3];
    while (!m_quit) {
        int n = 0;
        int err = 0;
        {
            std::lock_guard<std::mutex> lock(m_fd_lock);
            n = m_set.wait(SELECT_WAIT_US, records, 3);
            if (n < 0) err = last_select_error();
        }
        if (n == 0) continue;
        if (n < 0) {
            report_wait_error(err, counts);
            continue;
        }
        // Every record of the pass, in order (read, write, exception), until
        // one ends the connection or a callback asked to stop: a readable
        // socket at the end of the stream and an urgent byte in the same
        // pass give one disconnect.
        for (int i = 0; i < n && !m_quit; ++i) {
            if (!handle_select_event(records[i])) break;
        }
    }
}

bool sckt_client::handle_select_event(const sckt_select_event& event) {
    if (event.sock != m_sock) {
        log_msg("error fd\n");
        return true;
    }
    if (event.kind == SELECT_EVENT_READ) {
        if (event_client_receive()) return true;
    } else if (event.kind == SELECT_EVENT_WRITE) {
        if (event_client_send()) return true;
    } else {
        // An exceptional condition (urgent data) is a broken stream here.
        event_client_error();
    }
    event_client_disconnect(false);
    m_quit = true;
    return false;
}
#else
void sckt_client::on_event_client_thread() {
    thread_exit_guard guard(this);
    m_running = true;
    event_client_connect();
    unsigned counts[5] = {0, 0, 0, 0, 0};
    while (!m_quit) {
        struct epoll_event ev;
        memset(&ev, 0, sizeof(ev));
        int n = epoll_wait(m_epoll, &ev, 1, m_max_wait);
        if (n == 0) continue;
        if (n < 0) {
            report_wait_error(errno, counts);
            continue;
        }
        if (ev.data.fd == m_wake) continue;  // a stop: the loop sees m_quit
        if (ev.data.fd != m_sock) {
            log_msg("error fd\n");
            continue;
        }
        if (ev.events & EPOLLRDHUP) {
            // The peer closed: hand over what it sent before closing, then
            // report the disconnect.
            while (!m_quit && event_client_receive() && m_last_read > 0) {
            }
            event_client_disconnect(false);
            m_quit = true;
        } else if (ev.events & EPOLLIN) {
            if (!event_client_receive()) {
                event_client_disconnect(false);
                m_quit = true;
            }
        } else if (ev.events & EPOLLOUT) {
            if (!event_client_send()) {
                event_client_disconnect(false);
                m_quit = true;
            }
        } else {
            event_client_error();
            event_client_disconnect(false);
            m_quit = true;
        }
    }
}

void sckt_client::on_event_client_thread_ex() {
    thread_exit_guard guard(this);
    m_running = true;
    event_client_connect();
    while (!m_quit) {
        ssize_t n = recv(m_sock, m_recv_buff, RECV_BUFF_LEN, 0);
        if (n > 0) {
            report_user(EVENT_RECEIVE, 0, m_recv_buff, static_cast<uint32_t>(n));
            continue;
        }
        // A stop shuts the read side to end the wait: not the peer's doing.
        if (m_quit) break;
        if (n == 0) {
            event_client_disconnect(false);
            m_quit = true;
            break;
        }
        int err = errno;
        // A signal handled by this thread is not a connection failure.
        if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR) continue;
        if (err != ECONNRESET) {
            log_msg("client readline error(n_recved=" + std::to_string(n) + ", errno=" + std::to_string(err) +
                    ")\n");
            event_client_error();
        }
        event_client_disconnect(false);
        m_quit = true;
    }
}

#endif

}  // namespace CLIENT_SCKT_ONLY
