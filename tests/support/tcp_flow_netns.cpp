#include "tests/support/tcp_flow_netns.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "tests/support/test_wait.h"

namespace hux_test {

namespace {

// The table holding the loss rule in A.
const char* const LOSS_TABLE = "hux_loss";

std::int64_t now_ns() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

std::string errno_text(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// A new network namespace, held by the descriptor returned; -1 with the
// reason in *why. The namespace is made by a thread of its own, which leaves
// it again by ending.
int new_netns(std::string* why) {
    int fd = -1;
    std::thread maker([&] {
        if (unshare(CLONE_NEWNET) != 0) {
            *why = "no network namespaces (" + errno_text("unshare(CLONE_NEWNET)") + ")";
            return;
        }
        fd = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        if (fd < 0) *why = errno_text("open /proc/thread-self/ns/net");
    });
    maker.join();
    return fd;
}

void set_timeouts(int fd, long ms) {
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

sockaddr_in address(const char* ip, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, ip, &a.sin_addr);
    return a;
}

// A TCP socket bound to ip:port (port 0: the kernel's choice); its port in
// *bound. -1 with the reason in *why.
int bound_socket(const char* ip, std::uint16_t port, std::uint16_t* bound, std::string* why) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *why = errno_text("socket");
        return -1;
    }
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = address(ip, port);
    socklen_t len = sizeof a;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        *why = errno_text((std::string("bind ") + ip).c_str());
        close(fd);
        return -1;
    }
    *bound = ntohs(a.sin_port);
    return fd;
}

void fill_flow(std::uint64_t offset, unsigned char* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) p[i] = flow_byte(offset + i);
}

// The flow's bytes from an offset that is a multiple of 8, a counter at a time.
void fill_flow_aligned(std::uint64_t offset, unsigned char* p, std::size_t n) {
    std::uint64_t c = offset / 8;
    std::size_t i = 0;
    for (; n - i >= 8; i += 8, ++c) {
        for (int k = 0; k < 8; ++k) p[i + k] = static_cast<unsigned char>(c >> (8 * k));
    }
    fill_flow(offset + i, p + i, n - i);
}

}  // namespace

long flow_timeout_ms() {
    if (const char* v = std::getenv("HUX_FLOW_TIMEOUT_MS")) {
        const long ms = std::strtol(v, nullptr, 10);
        if (ms > 0) return ms;
    }
    return std::max(60000L, 6 * static_cast<long>(test_wait().count()));
}

// ---------------------------------------------------------------------------
// Threads in namespaces

ns_thread::ns_thread(int ns, int cpu, std::function<void()> fn)
    : thread_([this, ns, cpu, fn = std::move(fn)] {
          if (ns >= 0 && setns(ns, CLONE_NEWNET) != 0) {
              error_ = errno_text("setns into the flow's namespace");
              return;
          }
          if (!pin_this_thread(cpu)) {
              error_ = "cannot pin a thread to CPU " + std::to_string(cpu);
              return;
          }
          try {
              fn();
          } catch (const std::exception& e) {
              exception_ = std::current_exception();
              error_ = e.what();
          } catch (...) {
              exception_ = std::current_exception();
              error_ = "an exception";
          }
      }) {}

void ns_thread::join() {
    if (thread_.joinable()) thread_.join();
}

void run_in(int ns, const std::function<void()>& fn) {
    ns_thread t(ns, -1, fn);
    t.join();
    if (t.exception()) std::rethrow_exception(t.exception());
    if (!t.error().empty()) throw std::runtime_error(t.error());
}

bool pin_this_thread(int cpu) {
    if (cpu < 0) return true;
    if (cpu >= CPU_SETSIZE) return false;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    return pthread_setaffinity_np(pthread_self(), sizeof set, &set) == 0;
}

int spare_cpu(int avoid) {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) return -1;
    for (int cpu = CPU_SETSIZE - 1; cpu >= 0; --cpu) {
        if (cpu != avoid && CPU_ISSET(cpu, &set)) return cpu;
    }
    return -1;
}

std::string read_in(int ns, const std::string& path) {
    std::string text;
    try {
        run_in(ns, [&] {
            std::ifstream in(path);
            std::ostringstream all;
            all << in.rdbuf();
            text = all.str();
        });
    } catch (const std::exception&) {
        text.clear();
    }
    return text;
}

long long link_frames(int ns, const std::string& ifname, bool sent) {
    std::istringstream lines(read_in(ns, "/proc/thread-self/net/dev"));
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::istringstream name(line.substr(0, colon));
        std::string n;
        name >> n;
        if (n != ifname) continue;
        // receive: bytes packets errs drop fifo frame compressed multicast;
        // then send: bytes packets ...
        std::istringstream fields(line.substr(colon + 1));
        long long v[10] = {};
        for (long long& x : v) fields >> x;
        return fields ? v[sent ? 9 : 1] : -1;
    }
    return -1;
}

long long tcp_counter(int ns, const std::string& name) {
    std::istringstream lines(read_in(ns, "/proc/thread-self/net/snmp"));
    std::string names, values;
    while (std::getline(lines, names)) {
        if (names.rfind("Tcp: ", 0) != 0 || !std::getline(lines, values)) continue;
        std::istringstream n(names.substr(5)), v(values.substr(5));
        std::string key;
        long long value;
        while (n >> key && v >> value) {
            if (key == name) return value;
        }
    }
    return -1;
}

// ---------------------------------------------------------------------------
// The flow's bytes

std::uint8_t flow_byte(std::uint64_t offset) {
    return static_cast<std::uint8_t>((offset / 8) >> (8 * (offset % 8)));
}

std::size_t flow_match(std::uint64_t offset, const void* p, std::size_t n) {
    const unsigned char* b = static_cast<const unsigned char*>(p);
    std::size_t i = 0;
    for (; i < n && (offset + i) % 8 != 0; ++i) {
        if (b[i] != flow_byte(offset + i)) return i;
    }
    unsigned char word[8];
    for (; n - i >= 8; i += 8) {
        fill_flow_aligned(offset + i, word, 8);
        if (std::memcmp(b + i, word, 8) != 0) break;
    }
    for (; i < n; ++i) {
        if (b[i] != flow_byte(offset + i)) return i;
    }
    return n;
}

long long flow_offset_of(const void* p, std::size_t n, std::uint64_t counters) {
    if (n < 23) return -1;
    const unsigned char* b = static_cast<const unsigned char*>(p);
    // The first whole counter is at one of the first eight bytes.
    for (std::size_t a = 0; a < 8; ++a) {
        std::uint64_t c = 0;
        for (int k = 7; k >= 0; --k) c = (c << 8) | b[a + k];
        if (c >= counters || c * 8 < a) continue;
        const std::uint64_t offset = c * 8 - a;
        if (offset + n <= counters * 8 && flow_match(offset, p, n) == n) return static_cast<long long>(offset);
    }
    return -1;
}

// ---------------------------------------------------------------------------
// The namespaces

flow_netns::flow_netns(flow_netns_options options) : options_(options) {
    if (geteuid() != 0) {
        nft_missing_ = "not root";
        fail("not root (namespaces, veth and nftables need CAP_SYS_ADMIN and CAP_NET_ADMIN)");
        return;
    }
    if (shell(-1, "nft --version") != 0) nft_missing_ = "nft (nftables) is not installed";
    if (shell(-1, "ip -V") != 0) {
        fail("the ip command (iproute2) is not installed");
        return;
    }
    if (shell(-1, "ethtool --version") != 0) {
        fail("ethtool is not installed");
        return;
    }
    std::string why;
    ns_a_ = new_netns(&why);
    if (ns_a_ >= 0) ns_b_ = new_netns(&why);
    if (ns_b_ >= 0 && options_.relay) ns_r_ = new_netns(&why);
    if (ns_a_ < 0 || ns_b_ < 0 || (options_.relay && ns_r_ < 0)) {
        fail(why);
        return;
    }

    const std::string id = std::to_string(getpid());
    if_a_ = "hxfa" + id;
    if_b_ = "hxfb" + id;
    const std::string ipv6_off =
        "for c in all default; do f=/proc/sys/net/ipv6/conf/$c/disable_ipv6; [ ! -e $f ] || echo 1 > $f || exit 1; "
        "done; ip link set lo up";
    for (int ns : {ns_a_, ns_b_, ns_r_}) {
        if (ns >= 0 && !step(ns, ipv6_off)) return;
    }
    std::vector<std::pair<int, std::string>> ends = {{ns_a_, if_a_}, {ns_b_, if_b_}};
    const char* const no_veth = " (no veth driver?)";
    if (options_.relay) {
        if_r_a_ = "hxra" + id;
        if_r_b_ = "hxrb" + id;
        if (!step(ns_a_, "ip link add " + if_a_ + " type veth peer name " + if_r_a_ + " netns " + ns_path(ns_r_)) ||
            !step(ns_b_, "ip link add " + if_b_ + " type veth peer name " + if_r_b_ + " netns " + ns_path(ns_r_))) {
            missing_ += no_veth;
            return;
        }
        ends.push_back({ns_r_, if_r_a_});
        ends.push_back({ns_r_, if_r_b_});
    } else if (!step(ns_a_, "ip link add " + if_a_ + " type veth peer name " + if_b_ + " netns " + ns_path(ns_b_))) {
        missing_ += no_veth;
        return;
    }
    for (const auto& end : ends) {
        const std::string& dev = end.second;
        if (!step(end.first, "ethtool -K " + dev + " tso off gso off gro off tx off && ip link set " + dev + " mtu " +
                                 std::to_string(options_.mtu) + " && ip link set " + dev + " up"))
            return;
    }
    if (!step(ns_a_, "ip addr add " + std::string(FLOW_A_IP) + "/24 dev " + if_a_) ||
        !step(ns_b_, "ip addr add " + std::string(FLOW_B_IP) + "/24 dev " + if_b_))
        return;
    ready_ = true;
    missing_.clear();
}

flow_netns::~flow_netns() { release(); }

void flow_netns::release() {
    // The last descriptor of a namespace gone, the kernel removes it with its
    // interfaces (and so each veth's other end) and nftables tables.
    for (int* fd : {&ns_a_, &ns_b_, &ns_r_}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
    ready_ = false;
}

bool flow_netns::fail(const std::string& why) {
    missing_ = why;
    release();
    return false;
}

bool flow_netns::step(int ns, const std::string& cmd) {
    std::string out;
    if (shell(ns, cmd, &out) == 0) return true;
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return fail("set-up step failed: " + cmd + (out.empty() ? "" : ": " + out));
}

std::string flow_netns::ns_path(int ns) const {
    return "/proc/" + std::to_string(getpid()) + "/fd/" + std::to_string(ns);
}

int flow_netns::shell(int ns, const std::string& cmd, std::string* out) const {
    // The tools live in sbin, which a caller's PATH may lack.
    const std::string line = "PATH=\"$PATH:/usr/sbin:/sbin\"; " + cmd;
    const char* argv[] = {"/bin/sh", "-c", line.c_str(), nullptr};
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        // Only calls that are safe between fork and exec.
        if (ns >= 0 && setns(ns, CLONE_NEWNET) != 0) _exit(126);
        const int null = open("/dev/null", O_RDONLY);
        if (null >= 0) dup2(null, 0);
        dup2(pipe_fds[1], 1);
        dup2(pipe_fds[1], 2);
        execv(argv[0], const_cast<char* const*>(argv));
        _exit(127);
    }
    close(pipe_fds[1]);
    if (child < 0) {
        close(pipe_fds[0]);
        return -1;
    }
    char buf[4096];
    for (;;) {
        const ssize_t n = read(pipe_fds[0], buf, sizeof buf);
        if (n > 0) {
            if (out) out->append(buf, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    close(pipe_fds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool flow_netns::add_loss_rule(std::uint16_t source_port, unsigned n, std::string* why) {
    std::string reason;
    if (!ready_) {
        reason = "no namespaces: " + missing_;
    } else if (!nft_missing_.empty()) {
        reason = nft_missing_;
    } else if (n == 0) {
        reason = "n must be 1 or more";
    } else {
        const std::string t = std::string(" netdev ") + LOSS_TABLE;
        const std::string cmd = "nft delete table" + t + " 2>/dev/null; nft add table" + t + " && nft add chain" + t +
                                " ingress '{ type filter hook ingress device \"" + if_a_ +
                                "\" priority 0; }' && nft add rule" + t + " ingress ip protocol tcp tcp sport " +
                                std::to_string(source_port) + " numgen random mod " + std::to_string(n) +
                                " == 0 counter drop";
        std::string out;
        if (shell(ns_a_, cmd, &out) == 0) return true;
        reason = "nft refused the loss rule: " + out;
    }
    if (why) *why = reason;
    return false;
}

bool flow_netns::remove_loss_rule() {
    if (ns_a_ < 0 || !nft_missing_.empty()) return true;
    shell(ns_a_, std::string("nft delete table netdev ") + LOSS_TABLE);
    return loss_rule_drops() < 0;
}

long flow_netns::loss_rule_drops() const {
    if (ns_a_ < 0 || !nft_missing_.empty()) return -1;
    std::string out;
    if (shell(ns_a_, std::string("nft list chain netdev ") + LOSS_TABLE + " ingress", &out) != 0) return -1;
    const std::size_t at = out.find("counter packets ");
    if (at == std::string::npos) return -1;
    return std::strtol(out.c_str() + at + 16, nullptr, 10);
}

// ---------------------------------------------------------------------------
// The flow

tcp_flow::tcp_flow(const flow_netns& net, flow_options options) : net_(net), options_(options) {
    if (!net.ready()) {
        error_ = "no namespaces: " + net.missing();
        return;
    }
    if (options_.send_size == 0 || options_.recv_size == 0) {
        error_ = "send_size and recv_size must not be 0";
        return;
    }
    try {
        run_in(net.ns_b(), [&] {
            listen_fd_ = bound_socket(FLOW_B_IP, options_.server_port, &server_port_, &error_);
            if (listen_fd_ >= 0 && listen(listen_fd_, 4) != 0) error_ = errno_text("listen");
        });
        if (error_.empty()) {
            run_in(net.ns_a(), [&] {
                client_fd_ = bound_socket(FLOW_A_IP, options_.client_port, &client_port_, &error_);
            });
        }
    } catch (const std::exception& e) {
        error_ = e.what();
    }
    if (listen_fd_ >= 0) set_timeouts(listen_fd_, 100);  // accept() wakes to look at the deadline
}

tcp_flow::~tcp_flow() {
    stop_ = true;
    wait();
    if (listen_fd_ >= 0) close(listen_fd_);
    if (client_fd_ >= 0) close(client_fd_);
}

bool tcp_flow::past_deadline() const { return stop_.load(std::memory_order_relaxed) || now_ns() > deadline_ns_; }

void tcp_flow::start() {
    if (!ok() || started_) return;
    started_ = true;
    deadline_ns_ = now_ns() + static_cast<std::int64_t>(options_.timeout_ms) * 1000000;
    server_ = std::make_unique<ns_thread>(net_.ns_b(), options_.cpu, [this] { run_server(); });
    client_ = std::make_unique<ns_thread>(net_.ns_a(), options_.cpu, [this] { run_client(); });
}

void tcp_flow::note_received(std::uint64_t total) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        received_.store(total, std::memory_order_release);
    }
    progress_.notify_all();
}

bool tcp_flow::wait_received(std::uint64_t bytes, long timeout_ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    progress_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                       [&] { return received_.load() >= bytes || client_done_; });
    return received_.load() >= bytes;
}

void tcp_flow::run_server() {
    int fd = -1;
    while (fd < 0) {
        fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) break;
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            server_error_ = errno_text("server: accept");
            stop_ = true;
            return;
        }
        if (past_deadline()) {
            server_error_ = "server: no connection before the deadline";
            return;
        }
    }
    set_timeouts(fd, 100);
    const std::uint64_t total = bytes();
    std::vector<unsigned char> chunk((options_.send_size + 7) / 8 * 8);
    std::uint64_t sent = 0;
    bool sent_all = false, peer_closed = false;
    while (sent < total) {
        // A chunk starts at a multiple of 8: send_size is rounded up to one.
        const std::size_t len = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), total - sent));
        fill_flow_aligned(sent, chunk.data(), len);
        std::size_t done = 0;
        while (done < len) {
            const ssize_t n = send(fd, chunk.data() + done, len - done, MSG_NOSIGNAL);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) && !past_deadline()) continue;
            server_error_ = n < 0 && errno != EAGAIN ? errno_text("server: send") : "server: send timed out";
            break;
        }
        sent += done;
        result_.sent = sent;
        if (done < len) break;
    }
    if (sent == total) {
        sent_all = true;
        // The end of the flow; then the client's close.
        shutdown(fd, SHUT_WR);
        char scrap[256];
        for (;;) {
            const ssize_t n = recv(fd, scrap, sizeof scrap, 0);
            if (n == 0) {
                peer_closed = true;
                break;
            }
            if (n > 0) continue;
            if ((errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) && !past_deadline()) continue;
            server_error_ = "server: the client did not close before the deadline";
            break;
        }
    }
    close(fd);
    result_.server_cpu = sched_getcpu();
    if (!sent_all || !peer_closed) stop_ = true;
}

void tcp_flow::run_client() {
    const int fd = client_fd_;
    const sockaddr_in to = address(FLOW_B_IP, server_port_);
    std::uint64_t got = 0;
    bool eof = false;
    // A connect that waits in slices, to look at the deadline.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    bool connected = connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
    if (!connected && errno != EINPROGRESS) {
        client_error_ = errno_text("client: connect");
    } else {
        while (!connected && !past_deadline()) {
            pollfd p{fd, POLLOUT, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            int err = 0;
            socklen_t len = sizeof err;
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
            if (err != 0) {
                errno = err;
                client_error_ = errno_text("client: connect");
                break;
            }
            connected = true;
        }
        if (!connected && client_error_.empty()) client_error_ = "client: not connected before the deadline";
    }
    if (connected) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        set_timeouts(fd, 100);
        std::vector<unsigned char> buf(options_.recv_size);
        for (;;) {
            const ssize_t n = recv(fd, buf.data(), buf.size(), 0);
            if (n > 0) {
                const std::int64_t t = now_ns();
                if (got == 0) result_.first_byte_ns = t;
                result_.last_byte_ns = t;
                if (options_.check && result_.first_bad == UINT64_MAX) {
                    const std::size_t m = flow_match(got, buf.data(), static_cast<std::size_t>(n));
                    if (m < static_cast<std::size_t>(n)) result_.first_bad = got + m;
                }
                got += static_cast<std::uint64_t>(n);
                note_received(got);
                continue;
            }
            if (n == 0) {
                eof = true;
                break;
            }
            if ((errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) && !past_deadline()) continue;
            client_error_ = errno == EAGAIN || errno == EWOULDBLOCK
                                ? "client: timed out after " + std::to_string(got) + " bytes"
                                : errno_text("client: recv");
            break;
        }
    }
    close(fd);
    client_fd_ = -1;
    result_.received = got;
    result_.client_cpu = sched_getcpu();
    if (client_error_.empty() && got != bytes())
        client_error_ = "client: " + std::to_string(got) + " bytes, not " + std::to_string(bytes());
    if (client_error_.empty() && result_.first_bad != UINT64_MAX)
        client_error_ = "client: wrong byte at offset " + std::to_string(result_.first_bad);
    if (!eof || !client_error_.empty()) stop_ = true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        client_done_ = true;
    }
    progress_.notify_all();
}

const flow_result& tcp_flow::wait() {
    if (!started_) {
        if (result_.error.empty()) result_.error = error_.empty() ? "not started" : error_;
        return result_;
    }
    if (!server_) return result_;  // waited for before
    server_->join();
    client_->join();
    // The first failure: a side that could not run, then the client's view.
    const std::string* failures[] = {&server_->error(), &client_->error(), &client_error_, &server_error_};
    for (const std::string* e : failures) {
        if (result_.error.empty() && !e->empty()) result_.error = *e;
    }
    result_.complete = result_.error.empty();
    server_.reset();
    client_.reset();
    return result_;
}

}  // namespace hux_test
