// The raw-socket baseline client: hand-written logon and order bytes, one
// send() per order, and a reader thread shaped like the library's.
#include "bench/bench_raw_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace hux_bench {

namespace {

// Upper-case hex MD5 digest of LOGON_PASSWORD ("bench-pw").
const char* const PASSWORD_DIGEST = "96965B19B130ABB2EB1C994EA8D504E4";

void put_u16(std::string& m, size_t at, uint16_t v) {
    m[at] = static_cast<char>(v & 0xff);
    m[at + 1] = static_cast<char>(v >> 8);
}

void put_u32(std::string& m, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) m[at + i] = static_cast<char>((v >> (8 * i)) & 0xff);
}

void put_i64(std::string& m, size_t at, int64_t v) {
    const uint64_t u = static_cast<uint64_t>(v);
    for (size_t i = 0; i < 8; ++i) m[at + i] = static_cast<char>((u >> (8 * i)) & 0xff);
}

// A text in its zero-filled field; the caller keeps it shorter than the field.
void put_text(std::string& m, size_t at, const char* text) { memcpy(&m[at], text, strlen(text)); }

uint32_t get_u32(const char* p) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<unsigned char>(p[i])) << (8 * i);
    return v;
}

uint16_t get_u16(const char* p) {
    return static_cast<uint16_t>(static_cast<unsigned char>(p[0]) | (static_cast<unsigned char>(p[1]) << 8));
}

std::string version_report() {
    std::string m(48, '\0');
    put_u16(m, 0, 80);           // type 80
    put_u16(m, 2, 48);           // length 48
    put_u32(m, 8, 15);           // protocol version 15
    put_text(m, 12, LOGON_USER); // user id, char[33] at 12
    return m;
}

std::string logon_request() {
    std::string m(168, '\0');
    put_u16(m, 0, 70);                  // type 70
    put_u16(m, 2, 168);                 // length 168
    put_u32(m, 8, 15);                  // protocol version 15
    put_text(m, 12, LOGON_USER);        // user id, char[33] at 12
    put_text(m, 45, PASSWORD_DIGEST);   // password digest, char[33] at 45
    put_text(m, 80, LOGON_AUTH);        // authorisation code, char[18] at 80
    put_text(m, 98, LOGON_APP);         // application id, char[30] at 98
    return m;                           // UDP port at 128 and terminal id at 130 stay 0
}

// Fixed lengths of the answers this client can get; 0 for any other type.
size_t answer_length(uint16_t type) {
    switch (type) {
    case 1010: return 120;  // order answer
    case 1070: return 80;   // logon answer
    case 1080: return 56;   // version answer
    case 1200: return 16;   // heart-beat answer
    default: return 0;
    }
}

bool read_exact(int fd, char* out, size_t n, int timeout_ms) {
    size_t have = 0;
    while (have < n) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, timeout_ms) <= 0) return false;
        ssize_t got = ::recv(fd, out + have, n - have, 0);
        if (got <= 0) return false;
        have += static_cast<size_t>(got);
    }
    return true;
}

}  // namespace

std::string raw_new_order(uint32_t client_token) {
    std::string m(100, '\0');
    put_u16(m, 0, 10);             // type 10
    put_u16(m, 2, 100);            // length 100
    put_u32(m, 4, 7);              // request tag 7
    m[8] = static_cast<char>(0xe9);  // user id 1001, low byte
    m[12] = 102;                   // exchange id 102
    m[13] = 1;                     // opt_4 1
    m[14] = 1;                     // opt_4 set, opt_6 0
    m[15] = 3;                     // opt_8 3
    m[17] = 22;                    // side 2 on exchange 102, mapped
    put_u32(m, 20, client_token);  // client token
    put_u32(m, 24, 1);             // quantity 1
    put_i64(m, 32, 123456);        // price 12.3456 x 10000
    put_i64(m, 40, -15000);        // second price -1.5 x 10000
    put_text(m, 60, "ACC1");       // account, 16 bytes at 60
    put_text(m, 76, "IF2409");     // symbol, 20 bytes at 76
    return m;
}

raw_order_client::~raw_order_client() { stop(); }

bool raw_order_client::start(uint16_t port, int max_wait_ms, std::string* why) {
    m_max_wait_ms = max_wait_ms;
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (m_fd < 0) {
        *why = "socket failed";
        return false;
    }
    // The library's options: no Nagle delay, and an abortive close.
    int on = 1;
    linger lg{1, 0};
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on)) != 0 ||
        ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &lg, sizeof(lg)) != 0 ||
        ::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        *why = "connect failed";
        return false;
    }
    const std::string version = version_report();
    char answer[80];
    if (send_message(version.data(), static_cast<int>(version.size())) != 48 || !read_exact(m_fd, answer, 56, 5000) ||
        get_u16(answer) != 1080 || answer[49] != 0) {
        *why = "version report not accepted";
        return false;
    }
    const std::string logon = logon_request();
    if (send_message(logon.data(), static_cast<int>(logon.size())) != 168 || !read_exact(m_fd, answer, 80, 5000) ||
        get_u16(answer) != 1070 || get_u32(answer + 12) != 0) {
        *why = "logon refused";
        return false;
    }
    if (::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL, 0) | O_NONBLOCK) != 0) {
        *why = "non-blocking mode failed";
        return false;
    }
    m_epoll = ::epoll_create(1);
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLERR | EPOLLHUP | EPOLLRDHUP;
    ev.data.fd = m_fd;
    if (m_epoll < 0 || ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_fd, &ev) != 0) {
        *why = "epoll set-up failed";
        return false;
    }
    m_stop = false;
    m_reader = std::thread([this] {
        pthread_setname_np(pthread_self(), "raw-reader");
        reader();
    });
    return true;
}

void raw_order_client::stop() {
    m_stop = true;
    if (m_reader.joinable()) m_reader.join();
    if (m_epoll >= 0) ::close(m_epoll);
    if (m_fd >= 0) ::close(m_fd);
    m_epoll = -1;
    m_fd = -1;
}

int raw_order_client::send_message(const char* data, int len) {
    int sent = 0;
    while (sent < len) {
        ssize_t n = ::send(m_fd, data + sent, static_cast<size_t>(len - sent), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<int>(n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && sent > 0) continue;
        return -1;
    }
    return sent;
}

void raw_order_client::reader() {
    const size_t READ_LEN = 8192;
    // One read plus the part of a message left over from the previous one.
    char buffer[READ_LEN + 128];
    size_t have = 0;
    while (!m_stop.load(std::memory_order_relaxed)) {
        epoll_event ev{};
        const int n = ::epoll_wait(m_epoll, &ev, 1, m_max_wait_ms);
        if (n <= 0) continue;
        if (!(ev.events & EPOLLIN)) return;  // closed or failed, nothing to read
        const ssize_t got = ::read(m_fd, buffer + have, READ_LEN);
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
        if (got <= 0) return;
        have += static_cast<size_t>(got);
        size_t used = 0;
        while (have - used >= 2) {
            const uint16_t type = get_u16(buffer + used);
            const size_t length = answer_length(type);
            if (length == 0) {
                used = have;  // not an answer of this client: drop what is buffered
                break;
            }
            if (have - used < length) break;
            if (type == 1010 && get_u32(buffer + used + 100) == 0) m_accepts.publish();
            used += length;
        }
        memmove(buffer, buffer + used, have - used);
        have -= used;
    }
}

}  // namespace hux_bench
