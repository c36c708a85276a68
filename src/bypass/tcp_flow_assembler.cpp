// The sequencing of one TCP flow's payload (see tcp_flow_assembler.h).
//
// Distances between sequence numbers are taken modulo 2^32. Everything
// listed lies ahead of E and ends within RING_SIZE bytes of it, so a listed
// entry and E are never 2^31 apart: their signed 32-bit difference says
// which comes first, across a wrap of the numbers too.
#include "bypass/tcp_flow_assembler.h"

#include <cstring>

namespace hux_bypass {

namespace {

const uint32_t ETH_HEADER = 14;
const uint32_t IPV4_MIN_HEADER = 20;
const uint32_t TCP_MIN_HEADER = 20;
const uint32_t RING_MASK = tcp_flow_assembler::RING_SIZE - 1;

static_assert((tcp_flow_assembler::RING_SIZE & RING_MASK) == 0, "the ring's size is a power of two");

inline uint32_t be16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
inline uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// How far a lies ahead of b (negative: behind), for numbers less than 2^31 apart.
inline int32_t ahead_of(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b); }

}  // namespace

// The limits' definitions, for uses that take their address.
const uint32_t tcp_flow_assembler::RING_SIZE;
const uint32_t tcp_flow_assembler::LIST_ROOM;
const uint32_t tcp_flow_assembler::LIST_MAX;
const uint32_t tcp_flow_assembler::OLD_LIMIT_REORDER;
const uint32_t tcp_flow_assembler::OLD_LIMIT_PLAIN;
const int64_t tcp_flow_assembler::EXPORT_AFTER_NS;

tcp_flow_assembler::tcp_flow_assembler() : m_list(new entry[LIST_ROOM]) {}

tcp_flow_assembler::~tcp_flow_assembler() = default;

void tcp_flow_assembler::start(uint32_t local_addr_be, uint16_t local_port, i_tcp_quote_event_new* sink,
                               bool reorder, char* ring) {
    m_local_addr = local_addr_be;
    m_local_port = local_port;
    m_sink = sink;
    m_reorder = reorder;
    m_ring = ring;
    m_count = 0;
    m_base = 0;
    m_listed_at = 0;
    m_expected = 0;
    m_first = true;
    m_gap = true;
}

void tcp_flow_assembler::handle_rx(const uint8_t* frame, uint32_t len, int64_t now_ns) {
    if (!m_sink) return;
    // Ethernet header and the fixed part of the IPv4 header.
    if (len < ETH_HEADER + IPV4_MIN_HEADER) return;
    if (frame[12] != 0x08 || frame[13] != 0x00) return;  // IPv4, no VLAN tag
    const uint8_t* ip = frame + ETH_HEADER;
    if ((ip[0] >> 4) != 4) return;
    const uint32_t ip_header = (ip[0] & 0x0fu) * 4u;
    if (ip_header < IPV4_MIN_HEADER || ip[9] != 6) return;  // 6: TCP
    if ((be16(ip + 6) & 0x3fffu) != 0) return;              // more fragments, or not the first
    // The datagram lies inside the received bytes (the rest is padding),
    // and so does the TCP header, options included.
    const uint32_t total = be16(ip + 2);
    if (ETH_HEADER + total > len || ip_header + TCP_MIN_HEADER > total) return;
    const uint8_t* tcp = ip + ip_header;
    const uint32_t tcp_header = (tcp[12] >> 4) * 4u;
    if (tcp_header < TCP_MIN_HEADER || ip_header + tcp_header > total) return;
    const uint32_t n = total - ip_header - tcp_header;
    if (n == 0) return;
    uint32_t dest;
    std::memcpy(&dest, ip + 16, sizeof dest);
    if (dest != m_local_addr || be16(tcp + 2) != m_local_port) return;

    const char* payload = reinterpret_cast<const char*>(tcp + tcp_header);
    const uint32_t seq = be32(tcp + 4);
    if (m_reorder)
        handle_reorder(payload, seq, n, now_ns);
    else
        handle_plain(payload, seq, n);
}

void tcp_flow_assembler::deliver(const char* data, uint32_t len) {
    if (!m_gap) {
        m_sink->on_data(data, len);
        return;
    }
    unsigned int out = len;
    const char* resumed = m_sink->on_resync(data, len, &out);
    if (!resumed) return;  // nothing delivered: the next bytes come after a gap too
    m_gap = false;
    m_sink->on_data(resumed, out);
}

// `data` holds the bytes from `seq` on: E is `seq` or the first segment's
// number. E moves to their end whatever the sink did with them.
void tcp_flow_assembler::take_in_order(const char* data, uint32_t seq, uint32_t len) {
    deliver(data, len);
    m_first = false;
    m_expected = seq + len;
    if (m_count != 0) drain_contiguous();
}

// Delivers, from the ring, the listed entries that E has reached: only the
// part from E on of one it reached into, nothing of one that ends at or
// before E.
void tcp_flow_assembler::drain_contiguous() {
    uint32_t used = 0;
    for (; used < m_count; ++used) {
        const entry e = m_list[used];
        if (ahead_of(e.seq, m_expected) > 0) break;
        const uint32_t end = e.seq + e.len;
        if (ahead_of(end, m_expected) <= 0) continue;
        deliver(m_ring + (m_expected & RING_MASK), end - m_expected);
        m_expected = end;
    }
    if (used != 0) {
        m_count -= used;
        std::memmove(&m_list[0], &m_list[used], m_count * sizeof(entry));
    }
    // Everything still listed lies ahead of E: E becomes the key's base, so
    // that the base never falls 2^31 behind however long the list stays
    // non-empty. The order is the same from either base.
    m_base = m_expected;
}

// Lists (seq, len) in the order of (seq - E) mod 2^32; false when it adds
// nothing new. A segment starting where a listed one starts replaces it when
// longer and is otherwise left out: a retransmission must not take more of
// the list's room. Other overlaps are listed and trimmed on delivery.
bool tcp_flow_assembler::insert(uint32_t seq, uint32_t len, int64_t now_ns) {
    // The 10 ms rule counts from when the list last stopped being empty,
    // not from when its present first entry came.
    if (m_count == 0) {
        m_base = m_expected;
        m_listed_at = now_ns;
    }
    const uint32_t key = seq - m_base;
    uint32_t at = m_count;
    if (m_count != 0 && m_list[m_count - 1].seq - m_base >= key) {
        // Binary search for the first entry not before seq (the usual
        // case, a segment beyond everything listed, goes at the end).
        uint32_t lo = 0, hi = m_count - 1;
        while (lo < hi) {
            const uint32_t mid = lo + (hi - lo) / 2;
            if (m_list[mid].seq - m_base < key)
                lo = mid + 1;
            else
                hi = mid;
        }
        at = lo;
        if (m_list[at].seq == seq) {
            if (len <= m_list[at].len) return false;
            m_list[at].len = len;
            return true;
        }
        std::memmove(&m_list[at + 1], &m_list[at], (m_count - at) * sizeof(entry));
    }
    m_list[at].seq = seq;
    m_list[at].len = len;
    ++m_count;
    return true;
}

void tcp_flow_assembler::handle_reorder(const char* payload, uint32_t seq, uint32_t len, int64_t now_ns) {
    if (m_first || seq == m_expected) {
        take_in_order(payload, seq, len);
        return;
    }
    uint32_t behind = m_expected - seq;
    if (behind < OLD_LIMIT_REORDER) {
        if (len > behind) take_in_order(payload + behind, m_expected, len - behind);
        return;
    }
    const uint32_t ahead = seq - m_expected;
    if (uint64_t(ahead) + len <= RING_SIZE && m_count < LIST_MAX) {
        insert(seq, len, now_ns);
        // One copy: past the ring's end it runs on into the second mapping,
        // which is the ring's start.
        std::memcpy(m_ring + (seq & RING_MASK), payload, len);
        return;
    }
    // Too far ahead (or behind) to list, or the list is full: flush it and
    // take the segment against the E that leaves, old data trimmed as
    // above, anything else after a gap.
    export_all_data();
    if (seq != m_expected) {
        behind = m_expected - seq;
        if (behind < OLD_LIMIT_REORDER) {
            if (len > behind) take_in_order(payload + behind, m_expected, len - behind);
            return;
        }
        m_gap = true;
    }
    take_in_order(payload, seq, len);
}

void tcp_flow_assembler::handle_plain(const char* payload, uint32_t seq, uint32_t len) {
    if (m_first || seq == m_expected) {
        take_in_order(payload, seq, len);
        return;
    }
    const uint32_t behind = m_expected - seq;
    if (behind <= OLD_LIMIT_PLAIN) {
        // Dropped when it ends at or before E, which then stays.
        if (len > behind) take_in_order(payload + behind, m_expected, len - behind);
        return;
    }
    m_gap = true;
    take_in_order(payload, seq, len);
}

// Each entry: dropped when it ends at or before E, only its part from E on
// when it reaches past E, whole after a gap when it starts beyond E. E moves
// to its end even when the resynchronisation operation took nothing.
void tcp_flow_assembler::export_all_data() {
    for (uint32_t i = 0; i < m_count; ++i) {
        const entry e = m_list[i];
        const uint32_t end = e.seq + e.len;
        if (ahead_of(end, m_expected) <= 0) continue;
        uint32_t from = m_expected;
        if (ahead_of(e.seq, m_expected) > 0) {
            m_gap = true;
            from = e.seq;
        }
        deliver(m_ring + (from & RING_MASK), end - from);
        m_expected = end;
    }
    m_count = 0;
    m_base = m_expected;
    m_listed_at = 0;
}

void tcp_flow_assembler::check_listed_age(int64_t now_ns) {
    if (m_count != 0 && now_ns - m_listed_at > EXPORT_AFTER_NS) export_all_data();
}

}  // namespace hux_bypass
