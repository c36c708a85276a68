// The TCP flow sequencing on frames built by hand, with the clock given:
// which bytes reach the sink, in which order and through which of its
// operations, in both modes, at every limit, and for frames that must not be
// taken. Needs no namespace and no root.
//
// The flow's byte at sequence number x is pattern(x), so a delivery is known
// by where it starts in the flow and how long it is. The sink records every
// call: 'r' the bytes offered to the resynchronisation operation, 'd' the
// bytes the data operation got.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bypass/tcp_flow_assembler.h"
#include "hux_tcp_quote.h"
#include "tests/support/hex.h"
#include "tests/support/tcp_frames.h"

#include "tests/support/alloc_count.h"

using hux_bypass::tcp_flow_assembler;
using hux_test::ipv4_addr;
using hux_test::tcp_frame;

namespace {

const uint32_t LOCAL_IP = ipv4_addr(10, 77, 0, 1);
const uint16_t LOCAL_PORT = 5000;
const uint32_t RING = tcp_flow_assembler::RING_SIZE;
const int64_t MS = 1000000;
const int64_t T0 = 7 * 1000 * MS;  // some time on the monotonic clock
const uint32_t SIZE = 65535 - 40;  // the largest payload without options

char pattern(uint32_t x) { return static_cast<char>((x * 2654435761u) >> 24); }

std::vector<uint8_t> pattern_bytes(uint32_t seq, uint32_t len) {
    std::vector<uint8_t> out(len);
    for (uint32_t i = 0; i < len; ++i) out[i] = static_cast<uint8_t>(pattern(seq + i));
    return out;
}

// A segment of the flow to the local address and port.
tcp_frame segment(uint32_t seq, uint32_t len) {
    tcp_frame f;
    f.dst_ip = LOCAL_IP;
    f.dst_port = LOCAL_PORT;
    f.seq = seq;
    f.payload = pattern_bytes(seq, len);
    return f;
}

struct call {
    char kind;
    uint32_t seq;
    uint32_t len;
};
call R(uint32_t seq, uint32_t len) { return call{'r', seq, len}; }
call D(uint32_t seq, uint32_t len) { return call{'d', seq, len}; }
// The bytes went through the resynchronisation operation, which gave them
// all back to the data operation.
std::vector<call> RD(uint32_t seq, uint32_t len) { return {R(seq, len), D(seq, len)}; }

std::vector<call> operator+(std::vector<call> a, const std::vector<call>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
std::vector<call> operator+(std::vector<call> a, const call& b) {
    a.push_back(b);
    return a;
}
std::vector<call> operator+(const call& a, const std::vector<call>& b) { return std::vector<call>{a} + b; }

class recording_sink : public i_tcp_quote_event_new {
public:
    struct record {
        char kind;
        size_t at;  // in bytes
        uint32_t len;
    };
    std::vector<record> records;
    std::vector<char> bytes;
    int null_resyncs = 0;      // this many resynchronisations return null next
    uint32_t resync_skip = 0;  // a resynchronisation gives back its bytes from here on
    bool length_in_was_len = true;
    int logs = 0;

    void on_data(const char* data, unsigned int len) override { add('d', data, len); }
    const char* on_resync(const char* data, unsigned int len, unsigned int* len_in_out) override {
        add('r', data, len);
        if (*len_in_out != len) length_in_was_len = false;
        if (null_resyncs > 0) {
            --null_resyncs;
            return nullptr;
        }
        *len_in_out = len - resync_skip;
        return data + resync_skip;
    }
    void on_log(int, const char*, ...) override { ++logs; }

    // Checks the calls since the last check against `want`.
    ::testing::AssertionResult took(const std::vector<call>& want) {
        const size_t from = m_checked;
        m_checked = records.size();
        std::ostringstream why;
        const size_t got = records.size() - from;
        for (size_t i = 0; i < got || i < want.size(); ++i) {
            if (i >= got) {
                why << "call " << i << " missing";
                break;
            }
            if (i >= want.size()) {
                why << got - want.size() << " calls too many";
                break;
            }
            const record& r = records[from + i];
            const call& w = want[i];
            const bool same = r.kind == w.kind && r.len == w.len &&
                              std::memcmp(&bytes[r.at], pattern_bytes(w.seq, w.len).data(), w.len) == 0;
            if (!same) {
                why << "call " << i << ": wanted " << w.kind << " of " << w.len << " bytes from " << w.seq << ", got "
                    << r.kind << " of " << r.len << " bytes";
                break;
            }
        }
        if (why.str().empty()) return ::testing::AssertionSuccess();
        std::ostringstream calls;
        for (size_t i = from; i < records.size() && i < from + 20; ++i)
            calls << ' ' << records[i].kind << records[i].len;
        return ::testing::AssertionFailure() << why.str() << " (calls:" << calls.str() << ")";
    }

private:
    void add(char kind, const char* data, unsigned int len) {
        records.push_back(record{kind, bytes.size(), len});
        bytes.insert(bytes.end(), data, data + len);
    }
    size_t m_checked = 0;
};

// One flow: the sequencing over a ring from mmap_ringbuff, the recording
// sink, and helpers that hand it frames.
struct flow {
    recording_sink sink;
    tcp_flow_assembler seq_asm;
    char* ring;

    explicit flow(bool reorder, bool with_sink = true) : ring(static_cast<char*>(mmap_ringbuff(RING))) {
        seq_asm.start(htonl(LOCAL_IP), LOCAL_PORT, with_sink ? &sink : nullptr, reorder, ring);
    }
    ~flow() {
        if (ring) unmmap_ringbuff(ring, RING);
    }
    void frame(const std::vector<uint8_t>& bytes, int64_t now = T0) {
        seq_asm.handle_rx(bytes.data(), static_cast<uint32_t>(bytes.size()), now);
    }
    void seg(uint32_t seq, uint32_t len, int64_t now = T0) { frame(segment(seq, len).bytes(), now); }
};

#define NEED_RING(f) ASSERT_NE((f).ring, nullptr) << "mmap_ringbuff failed"

}  // namespace

// ---------------------------------------------------------------- the builder

TEST(TcpFrames, BuilderWritesTheHandWorkedBytes) {
    // A 1-byte segment without options: 55 bytes, padded to 60.
    tcp_frame small;
    small.seq = 1000;
    small.ack = 1;
    small.ip_id = 0x1234;
    small.payload = {'A'};
    const std::string small_hex =
        "020000000001"  // destination MAC
        "020000000002"  // source MAC
        "0800"          // EtherType IPv4
        "45"            // version 4, IHL 5
        "00"            // DSCP, ECN
        "0029"          // total length 41 = 20 + 20 + 1
        "1234"          // identification
        "4000"          // DF, fragment offset 0
        "40"            // TTL 64
        "06"            // protocol TCP
        "13ff"          // header checksum: ~(4500+0029+1234+4000+4006+0a4d+0002+0a4d+0001 = ec00)
        "0a4d0002"      // source 10.77.0.2
        "0a4d0001"      // destination 10.77.0.1
        "9c40"          // source port 40000
        "1388"          // destination port 5000
        "000003e8"      // sequence number 1000
        "00000001"      // acknowledgement 1
        "50"            // data offset 5
        "18"            // PSH, ACK
        "ffff"          // window
        "a67d"          // checksum: ~fold(9c40+1388+03e8+0001+5018+ffff+4100 + pseudo 14b8 = 25980)
        "0000"          // urgent pointer
        "41"            // payload 'A'
        "0000000000";   // padding to 60 bytes
    EXPECT_EQ(hux_test::hex_of(small.bytes().data(), small.frame_len()), small_hex);
    EXPECT_EQ(small.frame_len(), 60u);

    // Both kinds of options, other addresses, a sequence number near 2^32.
    tcp_frame opt;
    const uint8_t dst_mac[6] = {0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
    const uint8_t src_mac[6] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    std::memcpy(opt.dst_mac, dst_mac, 6);
    std::memcpy(opt.src_mac, src_mac, 6);
    opt.src_ip = ipv4_addr(192, 168, 1, 20);
    opt.dst_ip = ipv4_addr(10, 0, 0, 5);
    opt.src_port = 1234;
    opt.dst_port = 80;
    opt.seq = 0xfffffffe;
    opt.ack = 0x11223344;
    opt.tcp_flags = 0x10;
    opt.window = 0x0200;
    opt.frag = 0;
    opt.ttl = 1;
    opt.ip_options = {0x94, 0x04, 0x00, 0x00};
    opt.tcp_options = {0x01, 0x01, 0x08, 0x0a, 0x00, 0x00, 0x01, 0x02, 0x00, 0x00, 0x03, 0x04};
    opt.payload = {'x', 'y', 'z'};
    const std::string opt_hex =
        "aabbccddeeff"  // destination MAC
        "112233445566"  // source MAC
        "0800"          // EtherType IPv4
        "46"            // version 4, IHL 6
        "00"            // DSCP, ECN
        "003b"          // total length 59 = 24 + 32 + 3
        "0000"          // identification
        "0000"          // no flags, fragment offset 0
        "01"            // TTL 1
        "06"            // protocol TCP
        "58f8"          // header checksum: ~fold(4600+003b+0106+c0a8+0114+0a00+0005+9404 = 1a706)
        "c0a80114"      // source 192.168.1.20
        "0a000005"      // destination 10.0.0.5
        "94040000"      // IP option: router alert
        "04d2"          // source port 1234
        "0050"          // destination port 80
        "fffffffe"      // sequence number
        "11223344"      // acknowledgement
        "80"            // data offset 8
        "10"            // ACK
        "0200"          // window
        "68f2"          // checksum: ~fold(tcp words 3cb1f + pseudo c0a8+0114+0a00+0005+0006+0023 = cbea)
        "0000"          // urgent pointer
        "0101"          // NOP, NOP
        "080a0000010200000304"  // timestamps 0x102, 0x304
        "78797a";               // payload "xyz", no padding (73 bytes)
    EXPECT_EQ(hux_test::hex_of(opt.bytes().data(), opt.frame_len()), opt_hex);
    EXPECT_EQ(opt.payload_at(), 14u + 24u + 32u);
}

// ---------------------------------------------------------------- in sequence

TEST(TcpFlowReorder, SegmentsArriveInSequenceWhateverTheirOrder) {
    // 1, 3, 2: the first through resynchronisation, 3 waits for 2.
    flow f(true);
    NEED_RING(f);
    f.seg(1000, 100);
    f.seg(1200, 100);
    EXPECT_TRUE(f.sink.took(RD(1000, 100)));
    EXPECT_EQ(f.seq_asm.listed(), 1u);
    EXPECT_EQ(f.seq_asm.expected(), 1100u);
    f.seg(1100, 100);
    EXPECT_TRUE(f.sink.took({D(1100, 100), D(1200, 100)}));
    EXPECT_EQ(f.seq_asm.listed(), 0u);
    EXPECT_EQ(f.seq_asm.expected(), 1300u);
    EXPECT_TRUE(f.sink.length_in_was_len);

    // 1, 5, 3, 3 again, 3 longer, 3 shorter, 4, 2: a retransmission
    // starting where a listed segment starts takes no more room, and a
    // longer one replaces it.
    flow g(true);
    NEED_RING(g);
    g.seg(7000, 100);
    g.seg(7400, 100);
    g.seg(7200, 50);
    g.seg(7200, 50);
    EXPECT_EQ(g.seq_asm.listed(), 2u);
    g.seg(7200, 100);
    g.seg(7200, 60);
    g.seg(7300, 100);
    EXPECT_EQ(g.seq_asm.listed(), 3u);
    EXPECT_TRUE(g.sink.took(RD(7000, 100)));
    g.seg(7100, 100);
    EXPECT_TRUE(g.sink.took({D(7100, 100), D(7200, 100), D(7300, 100), D(7400, 100)}));
    EXPECT_EQ(g.seq_asm.expected(), 7500u);
    EXPECT_FALSE(g.seq_asm.gap());

    // The first segment is in order whatever its number, in both modes:
    // just below 2^32 is not old against the starting E of 0.
    for (bool reorder : {true, false}) {
        flow h(reorder);
        NEED_RING(h);
        EXPECT_TRUE(h.seq_asm.first_pending());
        EXPECT_TRUE(h.seq_asm.gap());
        h.seg(0xffffff00u, 0x80);
        h.seg(0xffffff80u, 0x80);
        EXPECT_TRUE(h.sink.took(RD(0xffffff00u, 0x80) + D(0xffffff80u, 0x80))) << "reorder " << reorder;
        EXPECT_EQ(h.seq_asm.expected(), 0u);
        EXPECT_FALSE(h.seq_asm.first_pending());
    }
}

TEST(TcpFlowReorder, ListedDataWaitsTenMillisecondsThenFollowsAGap) {
    flow f(true);
    NEED_RING(f);
    const int64_t listed_at = T0 + 1 * MS;
    f.seg(1000, 100, T0);
    f.seg(1200, 100, listed_at);
    f.seg(1300, 100, listed_at + 5 * MS);  // the wait counts from the first listed
    EXPECT_TRUE(f.sink.took(RD(1000, 100)));

    f.seq_asm.check_listed_age(listed_at + 10 * MS);
    EXPECT_TRUE(f.sink.took({}));
    EXPECT_EQ(f.seq_asm.listed(), 2u);
    f.seq_asm.check_listed_age(listed_at + 10 * MS + 1);
    EXPECT_TRUE(f.sink.took(RD(1200, 100) + D(1300, 100)));
    EXPECT_EQ(f.seq_asm.listed(), 0u);
    EXPECT_EQ(f.seq_asm.expected(), 1400u);
    EXPECT_FALSE(f.seq_asm.gap());

    // The skipped segment arriving late is old now; the flow goes on.
    f.seg(1100, 100, listed_at + 11 * MS);
    f.seg(1400, 100, listed_at + 11 * MS);
    EXPECT_TRUE(f.sink.took({D(1400, 100)}));
    f.seq_asm.check_listed_age(listed_at + 1000 * MS);  // nothing listed: nothing happens
    EXPECT_TRUE(f.sink.took({}));

    // The wait starts again when the list stops being empty, and runs on
    // while a later entry stays listed after the first one was delivered.
    const int64_t again = listed_at + 2000 * MS;
    f.seg(1600, 100, again);
    f.seg(1800, 100, again + 8 * MS);
    f.seg(1500, 100, again + 9 * MS);
    EXPECT_TRUE(f.sink.took({D(1500, 100), D(1600, 100)}));
    EXPECT_EQ(f.seq_asm.listed(), 1u);
    f.seq_asm.check_listed_age(again + 10 * MS);
    EXPECT_TRUE(f.sink.took({}));
    f.seq_asm.check_listed_age(again + 10 * MS + 1);
    EXPECT_TRUE(f.sink.took(RD(1800, 100)));
}

// ---------------------------------------------------------------- old data

TEST(TcpFlowRetransmissions, OldBytesDroppedAndStraddlersTrimmed) {
    for (bool reorder : {true, false}) {
        SCOPED_TRACE(reorder ? "with reordering" : "without reordering");
        flow f(reorder);
        NEED_RING(f);
        f.seg(1000, 100);
        f.seg(1000, 100);  // ends at E
        f.seg(1050, 30);   // ends before E
        EXPECT_TRUE(f.sink.took(RD(1000, 100)));
        EXPECT_EQ(f.seq_asm.expected(), 1100u);
        f.seg(1050, 100);  // straddles E: only the part from E on
        EXPECT_TRUE(f.sink.took({D(1100, 50)}));
        EXPECT_EQ(f.seq_asm.expected(), 1150u);
        f.seg(1150, 10);
        EXPECT_TRUE(f.sink.took({D(1150, 10)}));
    }

    // Listed entries: one cut differently overlaps the one before it, one
    // lies inside another; delivered once each, in sequence, on the in-order
    // path and when the list is flushed.
    flow f(true);
    NEED_RING(f);
    f.seg(1000, 150);
    f.seg(1300, 100);
    f.seg(1350, 100);
    f.seg(1320, 20);
    f.seg(1150, 150);
    EXPECT_TRUE(f.sink.took(RD(1000, 150) + D(1150, 150) + D(1300, 100) + D(1400, 50)));
    EXPECT_EQ(f.seq_asm.expected(), 1450u);
    EXPECT_EQ(f.seq_asm.listed(), 0u);

    f.seg(1600, 100, T0);
    f.seg(1650, 100, T0);
    f.seg(1610, 10, T0);
    f.seq_asm.check_listed_age(T0 + 10 * MS + 1);
    EXPECT_TRUE(f.sink.took(RD(1600, 100) + D(1700, 50)));
    EXPECT_EQ(f.seq_asm.expected(), 1750u);

    // An in-order segment reaching into a listed one.
    f.seg(1800, 100);
    f.seg(1750, 80);
    EXPECT_TRUE(f.sink.took({D(1750, 80), D(1830, 70)}));
    EXPECT_EQ(f.seq_asm.expected(), 1900u);
}

// ---------------------------------------------------------------- wrap and ring

TEST(TcpFlowWrap, SequenceNumbersWrapAt2Pow32) {
    // A reordered segment across 2^32.
    flow f(true);
    NEED_RING(f);
    f.seg(0xffffff00u, 0x80);
    f.seg(0x40, 0x80);
    f.seg(0xffffff80u, 0xc0);
    EXPECT_TRUE(f.sink.took(RD(0xffffff00u, 0x80) + D(0xffffff80u, 0xc0) + D(0x40, 0x80)));
    EXPECT_EQ(f.seq_asm.expected(), 0xc0u);

    // Listed after the wrap first, then before it: flushed in sequence order
    // (the number after the wrap is the smaller one).
    flow g(true);
    NEED_RING(g);
    g.seg(0xfffffe00u, 0x100, T0);
    g.seg(0x10, 0x20, T0);
    g.seg(0xfffffff0u, 0x20, T0);
    g.seq_asm.check_listed_age(T0 + 10 * MS + 1);
    EXPECT_TRUE(g.sink.took(RD(0xfffffe00u, 0x100) + RD(0xfffffff0u, 0x20) + D(0x10, 0x20)));
    EXPECT_EQ(g.seq_asm.expected(), 0x30u);

    // Without reordering: in order across the wrap, old data across it
    // trimmed.
    flow h(false);
    NEED_RING(h);
    h.seg(0xffffffe0u, 0x10);
    h.seg(0xfffffff0u, 0x20);
    h.seg(0xfffffff8u, 0x28);
    EXPECT_TRUE(h.sink.took(RD(0xffffffe0u, 0x10) + D(0xfffffff0u, 0x20) + D(0x10, 0x10)));
    EXPECT_EQ(h.seq_asm.expected(), 0x20u);
}

// Something stays listed while E runs on for more than 2^32 bytes: one
// entry ahead of every hole filled. Each call is counted, not kept.
TEST(TcpFlowWrap, ListThatNeverEmptiesWhileEGoesRoundAll2Pow32) {
    struct counting_sink : i_tcp_quote_event_new {
        uint64_t data_calls = 0, data_bytes = 0, resyncs = 0, wrong_lengths = 0;
        void on_data(const char*, unsigned int len) override {
            ++data_calls;
            data_bytes += len;
            if (len != SIZE) ++wrong_lengths;
        }
        const char* on_resync(const char* data, unsigned int, unsigned int*) override {
            ++resyncs;
            return data;
        }
        void on_log(int, const char*, ...) override {}
    };
    counting_sink sink;
    tcp_flow_assembler seq_asm;
    char* ring = static_cast<char*>(mmap_ringbuff(RING));
    ASSERT_NE(ring, nullptr);
    seq_asm.start(htonl(LOCAL_IP), LOCAL_PORT, &sink, true, ring);

    // The largest segments an IPv4 datagram holds, their number patched in
    // (no IPv4 options: the sequence number is at 38).
    std::vector<uint8_t> frame = segment(0, SIZE).bytes();
    auto send = [&](uint32_t seq) {
        frame[38] = static_cast<uint8_t>(seq >> 24);
        frame[39] = static_cast<uint8_t>(seq >> 16);
        frame[40] = static_cast<uint8_t>(seq >> 8);
        frame[41] = static_cast<uint8_t>(seq);
        seq_asm.handle_rx(frame.data(), static_cast<uint32_t>(frame.size()), T0);
    };
    // E at (2k+1)S with [(2k+2)S, (2k+3)S) listed: list [(2k+4)S, (2k+5)S),
    // then fill the hole at E.
    send(0);
    send(2 * SIZE);
    const uint64_t steps = (uint64_t(1) << 32) / (2 * SIZE) + 64;
    for (uint64_t k = 0; k < steps; ++k) {
        send(static_cast<uint32_t>((2 * k + 4) * SIZE));
        send(static_cast<uint32_t>((2 * k + 1) * SIZE));
    }
    EXPECT_EQ(sink.resyncs, 1u);
    EXPECT_EQ(sink.data_calls, 1 + 2 * steps);
    EXPECT_EQ(sink.wrong_lengths, 0u);
    EXPECT_EQ(seq_asm.listed(), 1u);
    EXPECT_EQ(seq_asm.expected(), static_cast<uint32_t>((2 * steps + 1) * SIZE));
    unmmap_ringbuff(ring, RING);
}

TEST(TcpFlowRing, ListedSegmentAcrossTheRingsEndReadsBackWhole) {
    flow f(true);
    NEED_RING(f);
    const uint32_t end = 3 * RING;  // a multiple of the ring's size
    f.seg(end - 200, 100);
    f.seg(end - 20, 60);
    EXPECT_EQ(f.seq_asm.listed(), 1u);
    // Copied at its number modulo the ring's size: 20 bytes at the end,
    // the other 40 at the start.
    EXPECT_EQ(std::memcmp(f.ring + RING - 20, pattern_bytes(end - 20, 20).data(), 20), 0);
    EXPECT_EQ(std::memcmp(f.ring, pattern_bytes(end, 40).data(), 40), 0);
    f.seg(end - 100, 80);
    EXPECT_TRUE(f.sink.took(RD(end - 200, 100) + D(end - 100, 80) + D(end - 20, 60)));
    EXPECT_EQ(f.seq_asm.expected(), end + 40);
}

// ---------------------------------------------------------------- limits

TEST(TcpFlowLimits, OldDataLimitsInBothModes) {
    // With reordering, 4,194,302 bytes behind is old (dropped, E stays);
    // 4,194,303 is not: the list is flushed first, then the segment follows
    // a gap.
    flow f(true);
    NEED_RING(f);
    const uint32_t e = 10000000;
    f.seg(e - 100, 100);
    f.seg(e + 100, 100);
    f.seg(e - 4194302, 10);
    EXPECT_TRUE(f.sink.took(RD(e - 100, 100)));
    EXPECT_EQ(f.seq_asm.expected(), e);
    EXPECT_EQ(f.seq_asm.listed(), 1u);
    f.seg(e - 4194303, 10);
    EXPECT_TRUE(f.sink.took(RD(e + 100, 100) + RD(e - 4194303, 10)));
    EXPECT_EQ(f.seq_asm.expected(), e - 4194303 + 10);
    EXPECT_EQ(f.seq_asm.listed(), 0u);

    // Without, 99,999 bytes behind is old (dropped, E stays); 100,000 is a
    // gap, and E follows the segment back.
    flow g(false);
    NEED_RING(g);
    g.seg(e - 100, 100);
    g.seg(e - 99999, 10);
    EXPECT_TRUE(g.sink.took(RD(e - 100, 100)));
    EXPECT_EQ(g.seq_asm.expected(), e);
    g.seg(e - 100000, 10);
    EXPECT_TRUE(g.sink.took(RD(e - 100000, 10)));
    EXPECT_EQ(g.seq_asm.expected(), e - 100000 + 10);
    // Ahead of E: a gap too.
    g.seg(e, 10);
    EXPECT_TRUE(g.sink.took(RD(e, 10)));
    EXPECT_EQ(g.seq_asm.expected(), e + 10);
}

TEST(TcpFlowLimits, ListReachAndRoom) {
    // A segment ending 4,194,304 bytes past E is listed; one ending a byte
    // further flushes the list first, and then follows a gap.
    {
        flow f(true);
        NEED_RING(f);
        f.seg(1000, 100);
        f.seg(1100 + 4194304 - 50, 50);
        EXPECT_TRUE(f.sink.took(RD(1000, 100)));
        EXPECT_EQ(f.seq_asm.listed(), 1u);
        f.seg(1100, 100);
        EXPECT_TRUE(f.sink.took({D(1100, 100)}));
        EXPECT_EQ(f.seq_asm.listed(), 1u);
    }
    {
        flow f(true);
        NEED_RING(f);
        f.seg(1000, 100);
        f.seg(1300, 100);
        f.seg(1100 + 4194305 - 50, 50);
        EXPECT_TRUE(f.sink.took(RD(1000, 100) + RD(1300, 100) + RD(1100 + 4194305 - 50, 50)));
        EXPECT_EQ(f.seq_asm.listed(), 0u);
        EXPECT_EQ(f.seq_asm.expected(), 1100u + 4194305u);
    }

    // Flushed by a segment reaching too far, the listed data may take it
    // past E: only its part from E on follows.
    {
        flow f(true);
        NEED_RING(f);
        f.seg(1000, 100);
        f.seg(1100 + 4194304 - 100, 100);
        f.seg(1100 + 4194304 - 50, 60);
        EXPECT_TRUE(f.sink.took(RD(1000, 100) + RD(1100 + 4194304 - 100, 100) + D(1100 + 4194304, 10)));
        EXPECT_EQ(f.seq_asm.expected(), 1100u + 4194304u + 10u);
        EXPECT_FALSE(f.seq_asm.gap());
    }

    // The list holds 1,048,575 entries; the next segment that would be
    // listed flushes it first. One-byte entries with a hole before them.
    flow f(true);
    NEED_RING(f);
    f.seg(1000, 100);
    EXPECT_TRUE(f.sink.took(RD(1000, 100)));
    tcp_frame one = segment(0, 1);
    std::vector<uint8_t> buf(one.frame_len());
    const uint32_t first = 1101;  // 1100 missing
    for (uint32_t i = 0; i < tcp_flow_assembler::LIST_MAX; ++i) {
        one.seq = first + i;
        one.payload[0] = static_cast<uint8_t>(pattern(first + i));
        one.write(buf.data());
        f.frame(buf);
    }
    EXPECT_TRUE(f.sink.took({}));
    EXPECT_EQ(f.seq_asm.listed(), tcp_flow_assembler::LIST_MAX);
    const uint32_t past = first + tcp_flow_assembler::LIST_MAX;
    f.seg(past + 10, 5);
    std::vector<call> want = RD(first, 1);
    for (uint32_t i = 1; i < tcp_flow_assembler::LIST_MAX; ++i) want.push_back(D(first + i, 1));
    EXPECT_TRUE(f.sink.took(want + RD(past + 10, 5)));
    EXPECT_EQ(f.seq_asm.listed(), 0u);
    EXPECT_EQ(f.seq_asm.expected(), past + 15);
}

// ---------------------------------------------------------------- the sink

TEST(TcpFlowResync, NullResyncDeliversNothingKeepsTheGapAndMovesE) {
    // With reordering: on the in-order path, while draining, and when
    // flushing.
    flow f(true);
    NEED_RING(f);
    f.sink.null_resyncs = 2;
    f.seg(1000, 100);
    EXPECT_TRUE(f.sink.took({R(1000, 100)}));
    EXPECT_EQ(f.seq_asm.expected(), 1100u);
    EXPECT_TRUE(f.seq_asm.gap());
    f.seg(1200, 100);
    f.seg(1100, 100);
    EXPECT_TRUE(f.sink.took(R(1100, 100) + RD(1200, 100)));
    EXPECT_EQ(f.seq_asm.expected(), 1300u);
    EXPECT_FALSE(f.seq_asm.gap());

    f.sink.null_resyncs = 1;
    f.seg(1400, 100, T0);
    f.seq_asm.check_listed_age(T0 + 10 * MS + 1);
    EXPECT_TRUE(f.sink.took({R(1400, 100)}));
    EXPECT_EQ(f.seq_asm.expected(), 1500u);
    EXPECT_TRUE(f.seq_asm.gap());
    f.seg(1500, 100);
    f.seg(1600, 100);
    EXPECT_TRUE(f.sink.took(RD(1500, 100) + D(1600, 100)));

    // Without reordering: in order, and after a gap.
    flow g(false);
    NEED_RING(g);
    g.sink.null_resyncs = 1;
    g.seg(1000, 100);
    EXPECT_TRUE(g.sink.took({R(1000, 100)}));
    EXPECT_EQ(g.seq_asm.expected(), 1100u);
    g.seg(1100, 100);
    g.seg(1200, 100);
    EXPECT_TRUE(g.sink.took(RD(1100, 100) + D(1200, 100)));
    g.sink.null_resyncs = 1;
    g.seg(5000, 100);
    g.seg(5100, 100);
    EXPECT_TRUE(g.sink.took(R(5000, 100) + RD(5100, 100)));
    EXPECT_EQ(g.seq_asm.expected(), 5200u);

    // The data operation gets what the resynchronisation operation gave
    // back, at the length it stored.
    for (bool reorder : {true, false}) {
        flow h(reorder);
        NEED_RING(h);
        h.sink.resync_skip = 10;
        h.seg(1000, 100);
        h.sink.resync_skip = 0;
        h.seg(1100, 100);
        EXPECT_TRUE(h.sink.took({R(1000, 100), D(1010, 90), D(1100, 100)})) << "reorder " << reorder;
    }
}

TEST(TcpFlowFilter, OnlyTheLocalAddressAndPortAreTaken) {
    for (bool reorder : {true, false}) {
        SCOPED_TRACE(reorder ? "with reordering" : "without reordering");
        flow f(reorder);
        NEED_RING(f);
        tcp_frame other_port = segment(1000, 100);
        other_port.dst_port = LOCAL_PORT + 1;
        tcp_frame other_addr = segment(1000, 100);
        other_addr.dst_ip = LOCAL_IP + 1;
        tcp_frame swapped = segment(1000, 100);  // the flow's other direction
        swapped.dst_ip = swapped.src_ip;
        swapped.src_ip = LOCAL_IP;
        f.frame(other_port.bytes());
        f.frame(other_addr.bytes());
        f.frame(swapped.bytes());
        EXPECT_TRUE(f.sink.took({}));
        EXPECT_TRUE(f.seq_asm.first_pending());
        EXPECT_EQ(f.seq_asm.expected(), 0u);

        // The remote address and port select nothing.
        tcp_frame from_elsewhere = segment(1000, 100);
        from_elsewhere.src_ip = ipv4_addr(192, 168, 9, 9);
        from_elsewhere.src_port = 1;
        f.frame(from_elsewhere.bytes());
        EXPECT_TRUE(f.sink.took(RD(1000, 100)));

        // A foreign flow's segment at E, ahead of it and behind it leaves E.
        for (uint32_t seq : {1100u, 1300u, 1050u}) {
            other_port.seq = seq;
            other_port.payload = pattern_bytes(seq, 100);
            f.frame(other_port.bytes());
            other_addr.seq = seq;
            other_addr.payload = pattern_bytes(seq, 100);
            f.frame(other_addr.bytes());
        }
        EXPECT_EQ(f.seq_asm.listed(), 0u);
        f.seg(1100, 100);
        EXPECT_TRUE(f.sink.took({D(1100, 100)}));

        // Without a sink every frame is dropped.
        flow quiet(reorder, false);
        NEED_RING(quiet);
        quiet.seg(1000, 100);
        EXPECT_TRUE(quiet.seq_asm.first_pending());
        EXPECT_TRUE(quiet.sink.took({}));
    }
}

// ---------------------------------------------------------------- frames

TEST(TcpFrameParsing, PaddingOptionsAndFramesNotTaken) {
    for (bool reorder : {true, false}) {
        SCOPED_TRACE(reorder ? "with reordering" : "without reordering");
        flow f(reorder);
        NEED_RING(f);
        // A 1-byte payload in a padded frame is one byte; a bare ACK is none.
        tcp_frame bare = segment(999, 0);
        ASSERT_EQ(bare.frame_len(), 60u);
        f.frame(bare.bytes());
        EXPECT_TRUE(f.seq_asm.first_pending());
        tcp_frame one = segment(1000, 1);
        ASSERT_EQ(one.frame_len(), 60u);
        f.frame(one.bytes());
        EXPECT_TRUE(f.sink.took(RD(1000, 1)));
        EXPECT_EQ(f.seq_asm.expected(), 1001u);
        bare.seq = 1001;
        f.frame(bare.bytes());
        EXPECT_TRUE(f.sink.took({}));

        // IPv4 and TCP options: the payload starts after both.
        tcp_frame opts = segment(1001, 99);
        opts.ip_options = {0x94, 0x04, 0x00, 0x00, 0x01, 0x01, 0x01, 0x00};
        opts.tcp_options = {0x01, 0x01, 0x08, 0x0a, 0, 0, 0, 1, 0, 0, 0, 2};
        f.frame(opts.bytes());
        EXPECT_TRUE(f.sink.took({D(1001, 99)}));

        // The next segment, spoilt one field at a time (offsets in the
        // frame of `good`, which has no options: total length 70).
        const std::vector<uint8_t> good = segment(1100, 30).bytes();
        struct spoil {
            const char* what;
            size_t at;
            uint8_t value;
        };
        const spoil spoils[] = {
            {"EtherType ARP", 13, 0x06},
            {"VLAN tag", 12, 0x81},
            {"IP version 6", 14, 0x65},
            {"IHL 4", 14, 0x44},
            {"total length past the frame", 16, 0x01},
            {"total length short of the headers", 17, 39},
            {"more fragments", 20, 0x60},
            {"fragment offset", 21, 0x01},
            {"protocol UDP", 23, 17},
            {"destination address", 33, 2},
            {"destination port", 37, 0x89},
            {"TCP data offset 4", 46, 0x40},
            {"TCP data offset past the datagram", 46, 0xf0},
        };
        for (const spoil& s : spoils) {
            std::vector<uint8_t> bad = good;
            bad[s.at] = s.value;
            f.frame(bad);
            EXPECT_TRUE(f.sink.took({})) << s.what;
        }
        EXPECT_EQ(f.seq_asm.expected(), 1100u);
        f.frame(good);
        EXPECT_TRUE(f.sink.took({D(1100, 30)}));
    }
}

TEST(TcpFrameParsing, EveryTruncatedPrefixDeliversNothing) {
    // Each prefix sits in a heap block of its own length: the address
    // sanitizer build fails on any read past it.
    tcp_frame full = segment(1000, 100);
    full.ip_options = {0x01, 0x01, 0x01, 0x00};
    full.tcp_options = {0x02, 0x04, 0x05, 0xb4};
    const std::vector<uint8_t> bytes = full.bytes();
    for (bool reorder : {true, false}) {
        SCOPED_TRACE(reorder ? "with reordering" : "without reordering");
        flow f(reorder);
        NEED_RING(f);
        for (size_t len = 0; len < bytes.size(); ++len) {
            std::unique_ptr<uint8_t[]> prefix(new uint8_t[len]);
            if (len != 0) std::memcpy(prefix.get(), bytes.data(), len);
            f.seq_asm.handle_rx(prefix.get(), static_cast<uint32_t>(len), T0);
            ASSERT_TRUE(f.sink.took({})) << len << " bytes";
        }
        EXPECT_TRUE(f.seq_asm.first_pending());
        std::unique_ptr<uint8_t[]> whole(new uint8_t[bytes.size()]);
        std::memcpy(whole.get(), bytes.data(), bytes.size());
        f.seq_asm.handle_rx(whole.get(), static_cast<uint32_t>(bytes.size()), T0);
        EXPECT_TRUE(f.sink.took(RD(1000, 100)));
    }
}

// ---------------------------------------------------------------- allocation

TEST(TcpFlowAllocation, FrameHandlingAllocatesNothing) {
    flow f(true);
    NEED_RING(f);
    flow g(false);
    NEED_RING(g);
    for (recording_sink* s : {&f.sink, &g.sink}) {
        s->records.reserve(1000);
        s->bytes.reserve(1 << 20);
    }
    // Every path: in order, listed, drained, old, trimmed, too far ahead,
    // flushed by age, a null resynchronisation; and a frame not taken.
    struct step {
        uint32_t seq, len;
        int64_t now;
    };
    const step reordered[] = {{1000, 100, T0},        {1200, 100, T0},        {1100, 100, T0},
                              {1050, 30, T0},         {1250, 100, T0},        {1500, 100, T0 + MS},
                              {9000000, 100, T0 + MS}, {9000200, 100, T0 + MS}};
    const step plain[] = {{1000, 100, T0}, {1100, 100, T0}, {1150, 100, T0}, {1050, 30, T0}, {9000, 100, T0}};
    std::vector<std::vector<uint8_t>> reordered_frames, plain_frames;
    for (const step& s : reordered) reordered_frames.push_back(segment(s.seq, s.len).bytes());
    for (const step& s : plain) plain_frames.push_back(segment(s.seq, s.len).bytes());
    tcp_frame foreign = segment(9000300, 100);
    foreign.dst_port = LOCAL_PORT + 1;
    const std::vector<uint8_t> foreign_frame = foreign.bytes();
    f.sink.null_resyncs = 1;

    // The counter sees this thread.
    hux_alloc::g_allocations = 0;
    hux_alloc::t_counted = true;
    hux_alloc::g_counting = true;
    hux_alloc::allocate_once();
    const uint64_t probe = hux_alloc::g_allocations.load();
    hux_alloc::g_allocations = 0;
    for (size_t i = 0; i < reordered_frames.size(); ++i) f.frame(reordered_frames[i], reordered[i].now);
    f.seq_asm.check_listed_age(T0 + 11 * MS + 1);
    f.frame(foreign_frame);
    for (const std::vector<uint8_t>& fr : plain_frames) g.frame(fr);
    hux_alloc::g_counting = false;
    hux_alloc::t_counted = false;

    EXPECT_EQ(probe, 1u);
    EXPECT_EQ(hux_alloc::g_allocations.load(), 0u) << "first allocation: " << hux_alloc::g_first_size.load() << " bytes";
    EXPECT_TRUE(f.sink.took(R(1000, 100) + RD(1100, 100) + D(1200, 100) + D(1300, 50) + RD(1500, 100) +
                            RD(9000000, 100) + RD(9000200, 100)));
    EXPECT_TRUE(g.sink.took(RD(1000, 100) + D(1100, 100) + D(1200, 50) + RD(9000, 100)));
}
