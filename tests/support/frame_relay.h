#pragma once

// The relay in R of a relayed flow_netns (tcp_flow_netns.h): it passes every
// frame between R's two ends through packet sockets, both ways, and disturbs
// the flow's data on its way to A on a schedule, so that a receiver in A sees
// reordered, doubled and missing segments (this kernel has no netem).
//
// A data frame of the flow is an IPv4 TCP frame going to A with a payload
// and the flow's source port. Counting them from 1, every `every`-th gets the
// next action of `actions` (cycling):
//   swap:  held back and sent after the next data frame, both in one
//          sendmmsg(); a frame held longer than hold_ns goes alone;
//   twice: sent twice;
//   drop:  not sent (B retransmits it).
// The frame that ends a swap takes no action of its own. Everything else
// (ACKs to B, ARP, the flow's frames without payload) passes unchanged.
//
// A packet socket sees the frames sent on its interface by anything else
// (another socket, R's own stack) as PACKET_OUTGOING; the relay never takes
// those (the kernel does not hand a socket the frames it sent itself). It
// waits in ppoll (it shares a CPU with the flow's two sides) and runs on the
// CPU it is given.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/tcp_flow_netns.h"

namespace hux_test {

enum class relay_action { swap, twice, drop };

struct relay_schedule {
    std::uint16_t flow_port = 0;          // the data's TCP source port (B's server); 0: any
    unsigned every = 0;                   // 0: the relay only forwards
    std::vector<relay_action> actions;    // taken in turn
    long hold_ns = 1000000;               // a held frame goes alone after this
};

struct relay_counters {
    std::uint64_t from_a = 0, from_b = 0;  // frames taken in on each side
    std::uint64_t to_a = 0, to_b = 0;      // frames the kernel took for each side
    std::uint64_t data_frames = 0;         // the flow's data frames towards A
    std::uint64_t swaps = 0;               // pairs sent in swapped order
    std::uint64_t doubles = 0;             // frames sent twice
    std::uint64_t drops = 0;               // frames not sent
    std::uint64_t held_alone = 0;          // held frames that went alone
    std::uint64_t send_errors = 0;         // frames the kernel refused
    std::uint64_t socket_drops = 0;        // frames the packet sockets lost (known after stop())
    int cpu = -1;                          // where the relay ran last
};

class frame_relay {
public:
    // Starts the relay in net's R on `cpu` (-1: any). net must be relayed.
    frame_relay(const flow_netns& net, relay_schedule schedule, int cpu);
    // Stops it.
    ~frame_relay();
    frame_relay(const frame_relay&) = delete;
    frame_relay& operator=(const frame_relay&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    relay_counters counters() const;
    // Passes on what is queued and a frame still held, then stops and joins
    // the relay thread.
    void stop();

private:
    struct state;
    void run();

    std::string error_;
    std::unique_ptr<state> state_;
    std::unique_ptr<ns_thread> thread_;
};

}  // namespace hux_test
