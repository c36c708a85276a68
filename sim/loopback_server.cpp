// A TCP server for tests, on 127.0.0.1 or a given address. One poll loop thread accepts
// connections and reads them, then hands the new bytes to the receive hook;
// sends run on the calling thread.
//
// File descriptors are only closed under the server mutex, and the poll loop
// only reads or accepts under that mutex after checking the descriptor is
// still open, so a number freed by close() and reused elsewhere in the
// process is never read by mistake.
#include "sim/loopback_server.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

namespace hux_test {

namespace {

const int small_receive_buffer_bytes = 4096;
// Longest a single send may wait for room in the socket buffer.
const std::chrono::seconds send_give_up(30);

void set_non_blocking(int fd) {
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

}  // namespace

struct connection {
    size_t index = 0;          // number in accept order
    int fd = -1;               // -1 once closed by close()/reset()
    std::string received;
    bool peer_closed = false;  // read returned 0 or failed
    bool paused = false;
    std::atomic<bool> closing{false};  // tells a running send to give up
    std::mutex send_mutex;             // one sender at a time; close waits for it
};

struct loopback_server::impl {
    mutable std::mutex m;
    mutable std::condition_variable cv;
    int listen_fd = -1;
    std::string listen_ip;  // dotted IPv4, fixed at construction
    uint16_t port = 0;
    bool small_rcvbuf = false;
    bool stopping = false;
    int wake_fd = -1;
    std::vector<std::unique_ptr<connection>> conns;
    std::shared_ptr<const receive_hook> hook;
    // Bytes read in this round of the poll loop, handed to the hook after the
    // lock is released. Used by the poll thread only.
    std::vector<std::pair<size_t, std::string>> fresh;
    std::thread loop;

    // Wakes the poll loop so that it rebuilds its descriptor set.
    void wake() {
        uint64_t one = 1;
        ssize_t n = ::write(wake_fd, &one, sizeof(one));
        (void)n;
    }

    connection* find(size_t index) const {
        return index < conns.size() ? conns[index].get() : nullptr;
    }

    // Opens the listener on `want_port` (0 = any free port). Called under m.
    bool open_listener(uint16_t want_port) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(want_port);
        if (::inet_pton(AF_INET, listen_ip.c_str(), &addr.sin_addr) != 1) return false;
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return false;
        int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
        if (small_rcvbuf) {
            int size = small_receive_buffer_bytes;
            setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof(size));
        }
        if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || ::listen(fd, 64) != 0) {
            ::close(fd);
            return false;
        }
        socklen_t len = sizeof(addr);
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            ::close(fd);
            return false;
        }
        set_non_blocking(fd);
        listen_fd = fd;
        port = ntohs(addr.sin_port);
        return true;
    }

    // Accepts every pending connection. Called under m.
    void accept_pending() {
        for (;;) {
            int fd = ::accept4(listen_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) return;
            int on = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
            if (small_rcvbuf) {
                int size = small_receive_buffer_bytes;
                setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof(size));
            }
            auto c = std::make_unique<connection>();
            c->index = conns.size();
            c->fd = fd;
            conns.push_back(std::move(c));
            cv.notify_all();
        }
    }

    // Reads everything available on the connection. Called under m.
    void read_available(connection& c) {
        char buf[65536];
        const size_t before = c.received.size();
        for (;;) {
            ssize_t n = ::recv(c.fd, buf, sizeof(buf), 0);
            if (n > 0) {
                c.received.append(buf, static_cast<size_t>(n));
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
            if (n < 0 && errno == EINTR) continue;
            c.peer_closed = true;
            break;
        }
        if (hook && c.received.size() > before) fresh.emplace_back(c.index, c.received.substr(before));
        cv.notify_all();
    }

    void run() {
        std::vector<pollfd> fds;
        std::vector<connection*> owners;  // parallel to fds; nullptr = wake/listener
        for (;;) {
            fds.clear();
            owners.clear();
            {
                std::lock_guard<std::mutex> lock(m);
                if (stopping) return;
                fds.push_back({wake_fd, POLLIN, 0});
                owners.push_back(nullptr);
                if (listen_fd >= 0) {
                    fds.push_back({listen_fd, POLLIN, 0});
                    owners.push_back(nullptr);
                }
                for (auto& c : conns) {
                    if (c->fd >= 0 && !c->peer_closed && !c->paused) {
                        fds.push_back({c->fd, POLLIN, 0});
                        owners.push_back(c.get());
                    }
                }
            }
            int ready = ::poll(fds.data(), fds.size(), -1);
            if (ready < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[0].revents & POLLIN) {
                uint64_t count = 0;
                ssize_t n = ::read(wake_fd, &count, sizeof(count));
                (void)n;
            }
            std::shared_ptr<const receive_hook> h;
            {
                std::lock_guard<std::mutex> lock(m);
                if (stopping) return;
                for (size_t i = 1; i < fds.size(); ++i) {
                    if (fds[i].revents == 0) continue;
                    connection* c = owners[i];
                    if (c == nullptr) {
                        // The listener, if it is still the same one.
                        if (listen_fd == fds[i].fd) accept_pending();
                    } else if (c->fd == fds[i].fd && !c->paused) {
                        read_available(*c);
                    }
                }
                h = hook;
            }
            for (auto& piece : fresh) {
                if (h && *h) (*h)(piece.first, piece.second.data(), piece.second.size());
            }
            fresh.clear();
        }
    }

    // Closes a connection's descriptor; with `hard` the peer gets a reset.
    // True when this call closed it.
    bool close_conn(size_t index, bool hard) {
        connection* c = nullptr;
        {
            std::lock_guard<std::mutex> lock(m);
            c = find(index);
            if (c == nullptr) return false;
            c->closing = true;
        }
        std::lock_guard<std::mutex> send_lock(c->send_mutex);
        std::lock_guard<std::mutex> lock(m);
        if (c->fd < 0) return false;
        if (hard) {
            linger lg{};
            lg.l_onoff = 1;
            lg.l_linger = 0;
            setsockopt(c->fd, SOL_SOCKET, SO_LINGER, &lg, sizeof(lg));
        } else {
            ::shutdown(c->fd, SHUT_RDWR);
        }
        ::close(c->fd);
        c->fd = -1;
        wake();
        cv.notify_all();
        return true;
    }
};

loopback_server::loopback_server(uint16_t port, const std::string& listen_ip) : m_impl(new impl) {
    m_impl->listen_ip = listen_ip;
    m_impl->wake_fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    {
        std::lock_guard<std::mutex> lock(m_impl->m);
        m_impl->open_listener(port);
    }
    m_impl->loop = std::thread([this] {
        pthread_setname_np(pthread_self(), "sim-loop");
        m_impl->run();
    });
}

loopback_server::~loopback_server() {
    {
        std::lock_guard<std::mutex> lock(m_impl->m);
        m_impl->stopping = true;
        for (auto& c : m_impl->conns) c->closing = true;
        m_impl->wake();
    }
    m_impl->loop.join();
    for (auto& c : m_impl->conns) {
        std::lock_guard<std::mutex> send_lock(c->send_mutex);  // let a running send return first
        if (c->fd >= 0) {
            ::shutdown(c->fd, SHUT_RDWR);
            ::close(c->fd);
            c->fd = -1;
        }
    }
    if (m_impl->listen_fd >= 0) ::close(m_impl->listen_fd);
    if (m_impl->wake_fd >= 0) ::close(m_impl->wake_fd);
    delete m_impl;
}

uint16_t loopback_server::port() const {
    std::lock_guard<std::mutex> lock(m_impl->m);
    return m_impl->port;
}

const std::string& loopback_server::listen_ip() const { return m_impl->listen_ip; }

void loopback_server::set_receive_hook(receive_hook hook) {
    auto shared = hook ? std::make_shared<const receive_hook>(std::move(hook)) : nullptr;
    std::lock_guard<std::mutex> lock(m_impl->m);
    m_impl->hook = std::move(shared);
}

bool loopback_server::wait_accept(size_t index, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_impl->m);
    return m_impl->cv.wait_for(lock, timeout, [&] { return m_impl->conns.size() > index; });
}

size_t loopback_server::accepted_count() const {
    std::lock_guard<std::mutex> lock(m_impl->m);
    return m_impl->conns.size();
}

void loopback_server::stop_listening() {
    std::lock_guard<std::mutex> lock(m_impl->m);
    if (m_impl->listen_fd < 0) return;
    // shutdown stops listening at once; close alone would wait until the
    // poll loop lets go of the socket.
    ::shutdown(m_impl->listen_fd, SHUT_RDWR);
    ::close(m_impl->listen_fd);
    m_impl->listen_fd = -1;
    m_impl->wake();
}

bool loopback_server::resume_listening() {
    std::lock_guard<std::mutex> lock(m_impl->m);
    if (m_impl->listen_fd >= 0) return true;
    if (m_impl->port == 0 || !m_impl->open_listener(m_impl->port)) return false;
    m_impl->wake();
    return true;
}

bool loopback_server::send(size_t conn, const void* data, size_t len) {
    connection* c = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_impl->m);
        c = m_impl->find(conn);
        if (c == nullptr || c->fd < 0 || c->closing) return false;
    }
    std::lock_guard<std::mutex> send_lock(c->send_mutex);
    // The descriptor cannot be closed while send_mutex is held.
    int fd = -1;
    {
        std::lock_guard<std::mutex> lock(m_impl->m);
        fd = c->fd;
    }
    if (fd < 0) return false;
    const char* p = static_cast<const char*>(data);
    auto give_up = std::chrono::steady_clock::now() + send_give_up;
    while (len > 0) {
        if (c->closing) return false;
        ssize_t n = ::send(fd, p, len, MSG_NOSIGNAL);
        if (n > 0) {
            p += n;
            len -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (std::chrono::steady_clock::now() > give_up) return false;
            pollfd pfd{fd, POLLOUT, 0};
            ::poll(&pfd, 1, 50);  // wakes early once there is room
            continue;
        }
        return false;
    }
    return true;
}

bool loopback_server::send_pieces(size_t conn, const std::string& data, const std::vector<size_t>& pieces,
                                  std::chrono::microseconds gap) {
    size_t off = 0;
    for (size_t i = 0; i < pieces.size() && off < data.size(); ++i) {
        bool last = i + 1 == pieces.size();
        size_t n = last ? data.size() - off : std::min(pieces[i], data.size() - off);
        if (!send(conn, data.data() + off, n)) return false;
        off += n;
        if (off < data.size() && gap.count() > 0) std::this_thread::sleep_for(gap);
    }
    if (off < data.size()) return send(conn, data.data() + off, data.size() - off);
    return true;
}

bool loopback_server::send_random_pieces(size_t conn, const std::string& data, uint32_t seed, size_t max_piece) {
    if (max_piece == 0) max_piece = 1;
    std::mt19937 gen(seed);
    std::uniform_int_distribution<size_t> piece(1, max_piece);
    size_t off = 0;
    while (off < data.size()) {
        size_t n = std::min(piece(gen), data.size() - off);
        if (!send(conn, data.data() + off, n)) return false;
        off += n;
    }
    return true;
}

std::string loopback_server::received(size_t conn) const {
    std::lock_guard<std::mutex> lock(m_impl->m);
    connection* c = m_impl->find(conn);
    return c ? c->received : std::string();
}

bool loopback_server::wait_received(size_t conn, size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_impl->m);
    return m_impl->cv.wait_for(lock, timeout, [&] {
        connection* c = m_impl->find(conn);
        return c != nullptr && c->received.size() >= n;
    });
}

bool loopback_server::wait_peer_closed(size_t conn, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_impl->m);
    return m_impl->cv.wait_for(lock, timeout, [&] {
        connection* c = m_impl->find(conn);
        return c != nullptr && c->peer_closed;
    });
}

void loopback_server::pause_reading(size_t conn, bool paused) {
    std::lock_guard<std::mutex> lock(m_impl->m);
    connection* c = m_impl->find(conn);
    if (c == nullptr) return;
    c->paused = paused;
    m_impl->wake();
}

void loopback_server::set_small_receive_buffer(bool small) {
    std::lock_guard<std::mutex> lock(m_impl->m);
    m_impl->small_rcvbuf = small;
    if (small && m_impl->listen_fd >= 0) {
        // Connections accepted from now on inherit it from the listener.
        int size = small_receive_buffer_bytes;
        setsockopt(m_impl->listen_fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof(size));
    }
}

bool loopback_server::close(size_t conn) { return m_impl->close_conn(conn, false); }

bool loopback_server::reset(size_t conn) { return m_impl->close_conn(conn, true); }

bool wait_until(const std::function<bool()>& cond, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (cond()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return cond();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

namespace {

// A thread that has left its function but not yet been released by the
// kernel is still listed in /proc/self/task for a moment after a join has
// returned: its stat line then shows it exiting (the PF_EXITING flag) or
// dead (state Z or X). Such a thread no longer counts.
bool task_is_live(const char* tid) {
    char path[64];
    std::snprintf(path, sizeof(path), "/proc/self/task/%s/stat", tid);
    FILE* f = std::fopen(path, "r");
    if (f == nullptr) return false;  // gone while we looked
    char line[1024];
    const bool read = std::fgets(line, sizeof(line), f) != nullptr;
    std::fclose(f);
    if (!read) return false;
    // "tid (name) state ppid pgrp session tty_nr tpgid flags ...": the name
    // may hold spaces and parentheses, so fields count from the last ')'.
    const char* p = std::strrchr(line, ')');
    if (p == nullptr) return true;
    char state = 0;
    unsigned long flags = 0;
    if (std::sscanf(p + 1, " %c %*d %*d %*d %*d %*d %lu", &state, &flags) != 2) return true;
    const unsigned long pf_exiting = 0x4;
    return state != 'Z' && state != 'X' && (flags & pf_exiting) == 0;
}

}  // namespace

bool blocked_in(long tid, long nr) {
    if (tid <= 0) return false;
    char path[64];
    std::snprintf(path, sizeof(path), "/proc/self/task/%ld/syscall", tid);
    FILE* f = std::fopen(path, "r");
    if (f == nullptr) return false;
    long current = -1;
    const bool read = std::fscanf(f, "%ld", &current) == 1;
    std::fclose(f);
    return read && current == nr;
}

size_t thread_count() {
    DIR* dir = ::opendir("/proc/self/task");
    if (dir == nullptr) return 0;
    size_t count = 0;
    while (dirent* e = ::readdir(dir)) {
        if (e->d_name[0] != '.' && task_is_live(e->d_name)) ++count;
    }
    ::closedir(dir);
    return count;
}

}  // namespace hux_test
