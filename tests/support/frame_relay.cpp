#include "tests/support/frame_relay.h"

#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace hux_test {

namespace {

constexpr int BATCH = 32;                // frames taken per recvmmsg()
constexpr std::size_t FRAME = 16384;     // room for a 9000-byte MTU frame
constexpr int OUT = 2 * BATCH + 2;       // a batch doubled, and a held frame

std::int64_t now_ns() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// A packet socket taking every frame that arrives on ifname; -1 with the
// reason in *why.
int open_end(const std::string& ifname, std::string* why) {
    // Protocol 0 until bound: nothing from other interfaces queues meanwhile.
    int fd = socket(AF_PACKET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *why = std::string("packet socket: ") + std::strerror(errno);
        return -1;
    }
    int size = 8 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size);
    setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &size, sizeof size);
    sockaddr_ll a{};
    a.sll_family = AF_PACKET;
    a.sll_protocol = htons(ETH_P_ALL);
    a.sll_ifindex = static_cast<int>(if_nametoindex(ifname.c_str()));
    packet_mreq promisc{};
    promisc.mr_ifindex = a.sll_ifindex;
    promisc.mr_type = PACKET_MR_PROMISC;
    if (a.sll_ifindex == 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        setsockopt(fd, SOL_PACKET, PACKET_ADD_MEMBERSHIP, &promisc, sizeof promisc) != 0) {
        *why = "packet socket on " + ifname + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

// An IPv4 TCP frame with a payload, from source port `port` (0: any).
bool flow_data(const unsigned char* p, std::size_t len, std::uint16_t port) {
    if (len < 14 + 20 + 20 || p[12] != 0x08 || p[13] != 0x00) return false;
    const unsigned char* ip = p + 14;
    const std::size_t ihl = (ip[0] & 0x0fu) * 4u;
    const std::size_t total = (static_cast<std::size_t>(ip[2]) << 8) | ip[3];
    if ((ip[0] >> 4) != 4 || ip[9] != 6 || ihl < 20 || 14 + total > len || ihl + 20 > total) return false;
    const unsigned char* tcp = ip + ihl;
    const std::size_t doff = (tcp[12] >> 4) * 4u;
    if (port != 0 && ((tcp[0] << 8) | tcp[1]) != port) return false;
    return doff >= 20 && ihl + doff < total;
}

}  // namespace

struct frame_relay::state {
    relay_schedule schedule;
    int to_a_fd = -1, to_b_fd = -1, wake = -1;  // R's end joined to A, to B; the stop
    std::atomic<std::uint64_t> from_a{0}, from_b{0}, to_a{0}, to_b{0}, data_frames{0}, swaps{0}, doubles{0},
        drops{0}, held_alone{0}, send_errors{0}, socket_drops{0};
    std::atomic<int> cpu{-1};

    // Frames going out on one side, in order.
    mmsghdr out[OUT];
    iovec out_iov[OUT];
    int n_out = 0;

    void push(unsigned char* p, std::size_t len) {
        out_iov[n_out] = {p, len};
        out[n_out] = {};
        out[n_out].msg_hdr.msg_iov = &out_iov[n_out];
        out[n_out].msg_hdr.msg_iovlen = 1;
        ++n_out;
    }

    // Hands the frames pushed to the kernel in one sendmmsg() where it takes
    // them all; a frame it refuses is counted and skipped.
    void flush(int fd, std::atomic<std::uint64_t>& sent) {
        int i = 0;
        while (i < n_out) {
            const int r = sendmmsg(fd, out + i, static_cast<unsigned>(n_out - i), 0);
            if (r > 0) {
                sent += static_cast<std::uint64_t>(r);
                i += r;
            } else if (errno == EAGAIN || errno == ENOBUFS) {
                pollfd p{fd, POLLOUT, 0};
                if (poll(&p, 1, 100) <= 0) {
                    ++send_errors;
                    ++i;
                }
            } else if (errno != EINTR) {
                ++send_errors;
                ++i;
            }
        }
        n_out = 0;
    }
};

frame_relay::frame_relay(const flow_netns& net, relay_schedule schedule, int cpu) : state_(new state) {
    if (!net.ready() || !net.relayed()) {
        error_ = net.ready() ? "the namespaces have no relay" : "no namespaces: " + net.missing();
        return;
    }
    if (schedule.every != 0 && schedule.actions.empty()) {
        error_ = "a schedule without actions";
        return;
    }
    state_->schedule = std::move(schedule);
    try {
        run_in(net.ns_r(), [&] {
            state_->to_a_fd = open_end(net.if_r_a(), &error_);
            if (state_->to_a_fd >= 0) state_->to_b_fd = open_end(net.if_r_b(), &error_);
        });
    } catch (const std::exception& e) {
        error_ = e.what();
    }
    state_->wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (state_->wake < 0 && error_.empty()) error_ = std::string("eventfd: ") + std::strerror(errno);
    if (error_.empty()) thread_ = std::make_unique<ns_thread>(net.ns_r(), cpu, [this] { run(); });
}

frame_relay::~frame_relay() {
    stop();
    for (int fd : {state_->to_a_fd, state_->to_b_fd, state_->wake}) {
        if (fd >= 0) close(fd);
    }
}

void frame_relay::stop() {
    if (!thread_) return;
    const std::uint64_t one = 1;
    if (write(state_->wake, &one, sizeof one) < 0) error_ = std::string("eventfd write: ") + std::strerror(errno);
    thread_->join();
    if (error_.empty()) error_ = thread_->error();
    thread_.reset();
}

relay_counters frame_relay::counters() const {
    const state& s = *state_;
    relay_counters c;
    c.from_a = s.from_a, c.from_b = s.from_b, c.to_a = s.to_a, c.to_b = s.to_b;
    c.data_frames = s.data_frames, c.swaps = s.swaps, c.doubles = s.doubles, c.drops = s.drops;
    c.held_alone = s.held_alone, c.send_errors = s.send_errors, c.socket_drops = s.socket_drops;
    c.cpu = s.cpu;
    return c;
}

void frame_relay::run() {
    state& s = *state_;
    const relay_schedule& plan = s.schedule;
    std::vector<unsigned char> room(2 * BATCH * FRAME), held(FRAME);
    std::size_t held_len = 0;
    bool holding = false;
    std::int64_t held_until = 0;
    mmsghdr in[BATCH];
    iovec in_iov[BATCH];
    sockaddr_ll from[BATCH];

    // Takes in one batch of frames arriving on fd (side 0: from A, 1: from
    // B) into that side's room; their count.
    auto take = [&](int fd, int side) {
        for (int i = 0; i < BATCH; ++i) {
            in_iov[i] = {room.data() + (side * BATCH + i) * FRAME, FRAME};
            in[i] = {};
            in[i].msg_hdr.msg_iov = &in_iov[i];
            in[i].msg_hdr.msg_iovlen = 1;
            in[i].msg_hdr.msg_name = &from[i];
            in[i].msg_hdr.msg_namelen = sizeof from[i];
        }
        const int n = recvmmsg(fd, in, BATCH, MSG_DONTWAIT, nullptr);
        return n < 0 ? 0 : n;
    };
    auto own = [&](int i) { return from[i].sll_pkttype == PACKET_OUTGOING; };
    auto send_held = [&] {
        s.push(held.data(), held_len);
        s.flush(s.to_a_fd, s.to_a);
        ++s.held_alone;
        holding = false;
    };

    pollfd fds[3] = {{s.to_a_fd, POLLIN, 0}, {s.to_b_fd, POLLIN, 0}, {s.wake, POLLIN, 0}};
    // Once stopping, every pass takes what is queued until both sides are empty.
    for (bool stopping = false;;) {
        timespec wait{}, *limit = nullptr;
        if (holding) {
            const std::int64_t left = std::max<std::int64_t>(0, held_until - now_ns());
            wait = {static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
            limit = &wait;
        }
        const int r = ppoll(fds, 3, limit, nullptr);
        s.cpu.store(sched_getcpu(), std::memory_order_relaxed);
        if (r < 0 && errno != EINTR) throw std::runtime_error(std::string("relay: ppoll: ") + std::strerror(errno));
        if (fds[2].revents & POLLIN) stopping = true;
        if (holding && now_ns() >= held_until) send_held();

        int taken = 0;
        if (stopping || (fds[1].revents & POLLIN)) {
            // Towards A: the flow's data frames follow the schedule.
            const int n = take(s.to_b_fd, 1);
            taken += n;
            for (int i = 0; i < n; ++i) {
                if (own(i)) continue;
                ++s.from_b;
                unsigned char* p = static_cast<unsigned char*>(in_iov[i].iov_base);
                const std::size_t len = in[i].msg_len;
                if (!flow_data(p, len, plan.flow_port)) {
                    s.push(p, len);
                    continue;
                }
                const std::uint64_t k = ++s.data_frames;
                if (holding) {
                    // The pair goes out in one call, the later frame first.
                    s.push(p, len);
                    s.push(held.data(), held_len);
                    s.flush(s.to_a_fd, s.to_a);
                    ++s.swaps;
                    holding = false;
                    continue;
                }
                if (plan.every == 0 || k % plan.every != 0) {
                    s.push(p, len);
                    continue;
                }
                switch (plan.actions[(k / plan.every - 1) % plan.actions.size()]) {
                case relay_action::swap:
                    std::memcpy(held.data(), p, len);
                    held_len = len;
                    holding = true;
                    held_until = now_ns() + plan.hold_ns;
                    break;
                case relay_action::twice:
                    s.push(p, len);
                    s.push(p, len);
                    ++s.doubles;
                    break;
                case relay_action::drop:
                    ++s.drops;
                    break;
                }
            }
            s.flush(s.to_a_fd, s.to_a);
        }
        if (stopping || (fds[0].revents & POLLIN)) {
            // Towards B: everything as it comes.
            const int n = take(s.to_a_fd, 0);
            taken += n;
            for (int i = 0; i < n; ++i) {
                if (own(i)) continue;
                ++s.from_a;
                s.push(static_cast<unsigned char*>(in_iov[i].iov_base), in[i].msg_len);
            }
            s.flush(s.to_b_fd, s.to_b);
        }
        if (stopping && taken == 0) break;
    }
    if (holding) send_held();
    for (int fd : {s.to_a_fd, s.to_b_fd}) {
        tpacket_stats st{};
        socklen_t len = sizeof st;
        if (getsockopt(fd, SOL_PACKET, PACKET_STATISTICS, &st, &len) == 0) s.socket_drops += st.tp_drops;
    }
}

}  // namespace hux_test
