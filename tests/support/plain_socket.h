// A plain POSIX client socket for tests that must not use the library's own
// clients: connect, send, read with a deadline, and wait for the end of stream.
#ifndef HUX_TESTS_PLAIN_SOCKET_H
#define HUX_TESTS_PLAIN_SOCKET_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>

#include "tests/support/test_wait.h"

namespace hux_test {

// A port of 127.0.0.1 with nothing bound to it at the moment (bound, released).
inline uint16_t free_loopback_port(int type) {
    const int fd = socket(AF_INET, type, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(a);
    uint16_t port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    if (fd >= 0) close(fd);
    return port;
}

// A connected client socket on 127.0.0.1:port, or -1.
inline int connect_to(uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

inline bool send_all(int fd, const std::string& bytes) {
    return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

// Reads until `n` bytes arrived (never more), the stream ended, or the deadline passed.
inline std::string read_exact(int fd, size_t n, std::chrono::milliseconds deadline) {
    std::string out;
    auto until = std::chrono::steady_clock::now() + deadline;
    while (out.size() < n && std::chrono::steady_clock::now() < until) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 100) <= 0) continue;
        char buf[4096];
        ssize_t got = ::recv(fd, buf, std::min(sizeof(buf), n - out.size()), 0);
        if (got <= 0) break;
        out.append(buf, static_cast<size_t>(got));
    }
    return out;
}

// Waits for the end of the stream: 0 for a clean FIN, the errno of a failed
// read, -1 at the deadline, -2 when data came instead.
inline int read_end(int fd, std::chrono::milliseconds deadline) {
    pollfd pfd{fd, POLLIN, 0};
    if (::poll(&pfd, 1, static_cast<int>(deadline.count())) <= 0) return -1;
    char c;
    ssize_t got = ::recv(fd, &c, 1, 0);
    if (got == 0) return 0;
    return got < 0 ? errno : -2;
}

// A client connection to 127.0.0.1:port, closed with the object; fd is -1
// when the connection failed. Reads wait at most the tests' wait (test_wait.h).
struct plain_client {
    int fd;
    explicit plain_client(uint16_t port) : fd(connect_to(port)) {}
    ~plain_client() {
        if (fd >= 0) ::close(fd);
    }
    plain_client(const plain_client&) = delete;
    plain_client& operator=(const plain_client&) = delete;
    bool send(const std::string& bytes) const { return send_all(fd, bytes); }
    std::string read(size_t n) const { return read_exact(fd, n, test_wait()); }
};

}  // namespace hux_test

#endif
