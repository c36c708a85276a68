// The sequencing of one TCP flow's payload, apart from the card and the
// thread: tcp_quote_new's receive thread hands it each received frame and
// the time, and it delivers the flow's bytes to the sink in order.
//
// A frame is taken when it is an unfragmented IPv4 TCP segment (no VLAN tag)
// whose lengths lie inside the received bytes, addressed to the local
// address and port, with a non-empty payload; its payload length comes from
// the IPv4 total length, never from the frame length (short frames are
// padded). Everything else is dropped without being read past its end.
//
// Sequence arithmetic is modulo 2^32. E is the next expected number; the
// first-segment flag takes the first segment as in order whatever its
// number; the gap flag sends the next delivery through the sink's
// resynchronisation operation (set at the start, so the first delivery goes
// there too).
//
// With reordering, a segment ahead of E waits in a sorted list, its bytes
// copied into the ring at s mod RING_SIZE; it is delivered from there once
// the bytes before it came, or when the list is flushed (list full, a
// segment too far ahead, or listed data older than 10 ms). Old data is
// trimmed to the part from E on or dropped; a null from the
// resynchronisation operation delivers nothing but E still moves on.
// Without reordering segments are taken as they come: old ones (at most
// OLD_LIMIT_PLAIN bytes behind) trimmed or dropped, anything else after a
// gap through the resynchronisation operation.
//
// Nothing here allocates once constructed.
#ifndef HUX_BYPASS_TCP_FLOW_ASSEMBLER_H
#define HUX_BYPASS_TCP_FLOW_ASSEMBLER_H

#include <cstdint>
#include <memory>

#include "hux_tcp_quote.h"

namespace hux_bypass {

class tcp_flow_assembler {
public:
    static const uint32_t RING_SIZE = 4194304;         // the ring of listed bytes
    static const uint32_t LIST_ROOM = 1048576;         // entries the list has room for
    static const uint32_t LIST_MAX = 1048575;          // entries it holds at most
    static const uint32_t OLD_LIMIT_REORDER = 4194303; // behind E by less: old (with reordering)
    static const uint32_t OLD_LIMIT_PLAIN = 99999;     // behind E by at most this: old (without)
    static const int64_t EXPORT_AFTER_NS = 10000000;   // listed data older than this is flushed

    // The list's room is allocated here (and only here).
    tcp_flow_assembler();
    ~tcp_flow_assembler();
    tcp_flow_assembler(const tcp_flow_assembler&) = delete;
    tcp_flow_assembler& operator=(const tcp_flow_assembler&) = delete;

    // Starts a flow: the local address (network byte order) and port (host
    // order) that select segments, the sink (null: every frame dropped), the
    // mode, and the ring of RING_SIZE bytes mapped twice back to back
    // (needed with reordering only). E = 0, first-segment and gap flags set,
    // nothing listed.
    void start(uint32_t local_addr_be, uint16_t local_port, i_tcp_quote_event_new* sink, bool reorder,
               char* ring);

    // One received frame (from its Ethernet header on, `len` bytes) at
    // `now_ns` on the monotonic clock.
    void handle_rx(const uint8_t* frame, uint32_t len, int64_t now_ns);
    // Delivers everything listed in sequence order and empties the list.
    void export_all_data();
    // The 10 ms rule, run after a poll that brought no event: flushes the
    // list when its first entry was listed more than EXPORT_AFTER_NS ago.
    void check_listed_age(int64_t now_ns);

    uint32_t expected() const { return m_expected; }
    bool first_pending() const { return m_first; }
    bool gap() const { return m_gap; }
    uint32_t listed() const { return m_count; }

private:
    struct entry {
        uint32_t seq;
        uint32_t len;
    };
    // Delivery of in-order bytes (through the resynchronisation operation
    // when the gap flag is set).
    void deliver(const char* data, uint32_t len);
    void take_in_order(const char* data, uint32_t seq, uint32_t len);
    void drain_contiguous();
    bool insert(uint32_t seq, uint32_t len, int64_t now_ns);
    void handle_reorder(const char* payload, uint32_t seq, uint32_t len, int64_t now_ns);
    void handle_plain(const char* payload, uint32_t seq, uint32_t len);

    std::unique_ptr<entry[]> m_list;
    uint32_t m_count = 0;
    uint32_t m_base = 0;  // list order key: (seq - m_base) mod 2^32; E after the last drain
    int64_t m_listed_at = 0;
    uint32_t m_expected = 0;
    bool m_first = true;
    bool m_gap = true;
    bool m_reorder = false;
    uint32_t m_local_addr = 0;
    uint16_t m_local_port = 0;
    i_tcp_quote_event_new* m_sink = nullptr;
    char* m_ring = nullptr;
};

}  // namespace hux_bypass

#endif
