// The ef_vi sender on the wire, over the stand-in, between two network
// namespaces: the frame's bytes, the slot rotation, reset and the heart-beat
// thread. A frame "sniffed" was seen arriving at the
// peer's interface; a datagram "received" passed the peer kernel's checks
// (its IPv4 checksum among them) and reached its UDP socket.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/bypass/test_ef_vi_support.h"
#include "tests/support/hex.h"
#include "tests/support/test_wait.h"

using namespace efvi_test;
using hux_test::hex_of;
using hux_test::PEER_IP;
using hux_test::recv_within;
using hux_test::sniff_udp;

namespace {

class EfViSender : public efvi_fixture {};

struct counting_sink : i_ef_vi_udp_client_event {
    int reports = 0;
    void on_ef_vi_udp_report_timestamps(long long) override { ++reports; }
};

// Reads the next frame to port from the sniffer and the next datagram from
// the socket, and checks both carry the payload.
void expect_delivered(int sniffer, int rx, unsigned short port, std::string const& sent) {
    std::vector<unsigned char> frame(16384);
    const int n = sniff_udp(sniffer, port, frame.data(), frame.size(), 3000);
    ASSERT_EQ(n, static_cast<int>(sent.size()) + 42);
    EXPECT_EQ(bytes_text(frame.data() + 42, sent.size()), sent);
    EXPECT_TRUE(ipv4_checksum_ok(frame.data()));
    std::vector<char> got(16384);
    ASSERT_EQ(recv_within(rx, got.data(), got.size(), 3000), static_cast<int>(sent.size()));
    EXPECT_EQ(std::string(got.data(), sent.size()), sent);
}

}  // namespace

// ---------------------------------------------------------------- wire

TEST_F(EfViSender, WireFrameInBothModesAndLengthLimit) {
    HUX_NEED_NETNS();
    // A 100-byte payload from 10.77.0.1:40001 to 10.77.0.2:40002.
    const std::string golden =
        "02f200000002"  // destination MAC: the peer's end
        "02c100000001"  // source MAC: the client's end
        "0800"          // EtherType IPv4
        "45"            // version 4, header of 5 words
        "00"            // TOS
        "0080"          // total length 128 = 20 + 8 + 100
        "0000"          // identification
        "4000"          // don't fragment, offset 0
        "40"            // TTL 64
        "11"            // protocol 17, UDP
        "25d1"          // checksum: ~(4500+0080+4000+4011+0a4d+0001+0a4d+0002 = da2e)
        "0a4d0001"      // source 10.77.0.1
        "0a4d0002"      // destination 10.77.0.2
        "9c41"          // source port 40001
        "9c42"          // destination port 40002
        "006c"          // UDP length 108 = 8 + 100
        "0000";         // no UDP checksum
    const int rx = hux_test::peer_udp_socket(40002);
    const int sniffer = hux_test::peer_sniffer();
    ASSERT_GE(rx, 0);
    ASSERT_GE(sniffer, 0);
    hux_test::set_mtu(2100);

    for (long capability : {1L, 0L}) {
        const bool ctpio = capability != 0;
        SCOPED_TRACE(ctpio ? "CTPIO" : "DMA");
        hux_standin_efvi_set_capability(capability);
        counting_sink sink;
        ef_vi_udp_sender sender;
        // Timestamps asked for in both modes: only a CTPIO card gives them.
        ASSERT_EQ(sender.init(make_info(PEER_IP, 40002, 40001, true), client_if(), "sfc", &sink, nullptr), 0);
        EXPECT_EQ(sender.ctpio(), ctpio);
        post_recorder recorder;

        const std::string hundred = payload(100, 7);
        EXPECT_EQ(sender.ctpio_send(hundred.data(), 100, false), 100);
        unsigned char frame[4096];
        ASSERT_EQ(sniff_udp(sniffer, 40002, frame, sizeof frame, 3000), 142);
        EXPECT_EQ(hex_of(frame, 42), golden);
        EXPECT_EQ(bytes_text(frame + 42, 100), hundred);
        char got[4096];
        ASSERT_EQ(recv_within(rx, got, sizeof got, 3000), 100);
        EXPECT_EQ(std::string(got, 100), hundred);
        // The posted slot: the sender writes the checksum for a CTPIO push;
        // for DMA it stays 0 and only the card's copy has it.
        ASSERT_EQ(recorder.posts.size(), 1u);
        ASSERT_EQ(recorder.posts[0].bytes.size(), 142u);
        EXPECT_EQ(be16(&recorder.posts[0].bytes[24]), ctpio ? 0x25d1u : 0u);
        EXPECT_EQ(hex_of(recorder.posts[0].bytes.data() + 26, 16), golden.substr(52, 32));
        EXPECT_EQ(sink.reports, ctpio ? 1 : 0);

        // The largest payload fits a slot; one more byte is refused and
        // nothing of the slot it would use is touched.
        const std::string largest = payload(1998, 8);
        EXPECT_EQ(sender.ctpio_send(largest.data(), 1998, false), 1998);
        expect_delivered(sniffer, rx, 40002, largest);
        const int next = sender.slot_index();
        const std::string slot_before = bytes_text(sender.slot(next), 2048);
        const std::string warm_before = bytes_text(sender.slot(15), 2048);
        const std::string too_long(1999, 'x');
        EXPECT_EQ(sender.ctpio_send(too_long.data(), 1999, false), -1);
        EXPECT_EQ(sender.ctpio_send(too_long.data(), 1999, true), -1);
        EXPECT_EQ(bytes_text(sender.slot(next), 2048), slot_before);
        EXPECT_EQ(bytes_text(sender.slot(15), 2048), warm_before);
        EXPECT_EQ(sender.slot_index(), next);
        EXPECT_EQ(sender.send(hundred.data(), 100), 0);
        EXPECT_EQ(sink.reports, ctpio ? 2 : 0);
        sender.destory();
    }
    EXPECT_EQ(hux_standin_efvi_wire_errors(), 0);
    hux_test::set_mtu(1500);
    close(rx);
    close(sniffer);
}

// ---------------------------------------------------------------- slots

TEST_F(EfViSender, SlotRotationWarmUpsAndDmaAddresses) {
    HUX_NEED_NETNS();
    const int rx = hux_test::peer_udp_socket(40012);
    const int sniffer = hux_test::peer_sniffer();
    ASSERT_GE(rx, 0);
    ASSERT_GE(sniffer, 0);
    for (long capability : {1L, 0L}) {
        const bool ctpio = capability != 0;
        SCOPED_TRACE(ctpio ? "CTPIO" : "DMA");
        hux_standin_efvi_set_capability(capability);
        ef_vi_udp_sender sender;
        ASSERT_EQ(sender.init(make_info(PEER_IP, 40012, 40011), client_if(), "sfc", nullptr, nullptr), 0);
        // Offset 0 of each slot holds its frame's DMA address, not a pointer.
        uint64_t first;
        std::memcpy(&first, sender.slot(0), sizeof first);
        for (int k = 0; k < 16; ++k) {
            uint64_t addr;
            std::memcpy(&addr, sender.slot(k), sizeof addr);
            EXPECT_NE(addr, reinterpret_cast<uint64_t>(sender.slot(k) + 8)) << k;
            EXPECT_EQ(addr - first, uint64_t(k) * 2048) << k;
        }
        post_recorder recorder;
        for (unsigned i = 0; i < 16; ++i) {
            const std::string p = payload(20, i);
            ASSERT_EQ(sender.ctpio_send(p.data(), 20, false), 20);
        }
        std::vector<int> slots, ids;
        for (post_record const& p : recorder.posts) {
            slots.push_back(slot_of(sender, p.dma_addr));
            ids.push_back(p.rq_id);
        }
        EXPECT_EQ(slots, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0, 1}));
        // DMA posts are identified by their slot, fallback posts by 0.
        EXPECT_EQ(ids, ctpio ? std::vector<int>(16, 0) : slots);
        for (unsigned i = 0; i < 16; ++i) expect_delivered(sniffer, rx, 40012, payload(20, i));

        // A warm-up takes slot 15 and still moves the index on.
        EXPECT_EQ(sender.slot_index(), 2);
        const std::string warm = payload(30, 900), marked = payload(30, 901);
        ASSERT_EQ(sender.ctpio_send(warm.data(), 30, true), 30);
        EXPECT_EQ(sender.slot_index(), 3);
        ASSERT_EQ(sender.ctpio_send(marked.data(), 30, false), 30);
        ASSERT_EQ(recorder.posts.size(), 18u);
        EXPECT_EQ(slot_of(sender, recorder.posts[16].dma_addr), 15);
        EXPECT_EQ(slot_of(sender, recorder.posts[17].dma_addr), 3);
        // The warm-up frame reaches the wire with both MACs zero; the peer's
        // kernel drops it, so the marked datagram is the next one received.
        unsigned char frame[4096];
        ASSERT_EQ(sniff_udp(sniffer, 40012, frame, sizeof frame, 3000), 72);
        EXPECT_EQ(hex_of(frame, 12), "000000000000000000000000");
        EXPECT_EQ(bytes_text(frame + 42, 30), warm);
        EXPECT_TRUE(ipv4_checksum_ok(frame));
        expect_delivered(sniffer, rx, 40012, marked);
        sender.destory();
    }
    close(rx);
    close(sniffer);
}

TEST_F(EfViSender, FullRingAndDeferredReadsKeepEveryPayload) {
    HUX_NEED_NETNS();
    const int rx = hux_test::peer_udp_socket(40022);
    ASSERT_GE(rx, 0);
    char got[4096];
    // A ring of 4: the fifth post finds it full (-11) and completions are
    // taken until it has room.
    hux_standin_efvi_set_ring(4);
    for (long capability : {1L, 0L}) {
        SCOPED_TRACE(capability ? "CTPIO" : "DMA");
        hux_standin_efvi_set_capability(capability);
        ef_vi_udp_sender sender;
        ASSERT_EQ(sender.init(make_info(PEER_IP, 40022, 40021), client_if(), "sfc", nullptr, nullptr), 0);
        for (unsigned i = 0; i < 50; ++i) {
            const std::string p = payload(64, i);
            ASSERT_EQ(sender.ctpio_send(p.data(), 64, false), 64);
        }
        for (unsigned i = 0; i < 50; ++i) {
            ASSERT_EQ(recv_within(rx, got, sizeof got, 3000), 64) << i;
            EXPECT_EQ(std::string(got, 64), payload(64, i)) << i;
        }
        sender.destory();
    }

    // The card reads a DMA frame only when completions are polled: a slot
    // written again before that would send the newer payload twice.
    hux_standin_efvi_set_ring(512);
    hux_standin_efvi_set_deferred_dma(1);
    hux_standin_efvi_set_capability(0);
    ef_vi_udp_sender sender;
    ASSERT_EQ(sender.init(make_info(PEER_IP, 40022, 40021), client_if(), "sfc", nullptr, nullptr), 0);
    for (unsigned i = 0; i < 40; ++i) {
        const std::string p = payload(200 + i, 100 + i);
        ASSERT_EQ(sender.ctpio_send(p.data(), 200 + i, false), static_cast<int>(200 + i));
    }
    sender.handle_tx_events();
    for (unsigned i = 0; i < 40; ++i) {
        ASSERT_EQ(recv_within(rx, got, sizeof got, 3000), static_cast<int>(200 + i)) << i;
        EXPECT_EQ(std::string(got, 200 + i), payload(200 + i, 100 + i)) << i;
    }
    sender.destory();
    close(rx);
}

// ---------------------------------------------------------------- reset

TEST_F(EfViSender, ResetMovesToTheNewServerOrKeepsTheOldHeaders) {
    HUX_NEED_NETNS();
    hux_test::netns_pair_names const& n = hux_test::netns();
    ASSERT_EQ(hux_test::ns_run(n.client_ns, "ip neigh replace 10.77.0.3 lladdr 02:33:00:00:00:03 dev " +
                                                n.client_if + " nud permanent"),
              0);
    const int sniffer = hux_test::peer_sniffer();
    ASSERT_GE(sniffer, 0);
    unsigned char frame[4096];
    const std::string p = payload(30, 3);
    ef_vi_udp_sender sender;
    ASSERT_EQ(sender.init(make_info(PEER_IP, 40042, 40041), client_if(), "sfc", nullptr, nullptr), 0);
    auto send_and_sniff = [&](unsigned short port, bool warm) -> std::string {
        if (sender.ctpio_send(p.data(), 30, warm) != 30) return "send failed";
        if (sniff_udp(sniffer, port, frame, sizeof frame, 3000) != 72) return "not sniffed";
        if (!ipv4_checksum_ok(frame)) return "bad checksum";
        return hex_of(frame, 6) + " " + hex_of(frame + 26, 12);  // destination MAC, addresses and ports
    };

    // A second server whose entry holds another MAC.
    EXPECT_TRUE(sender.reset_udp_local_info(hux_test::CLIENT_IP, 40041, "10.77.0.3", 40042));
    EXPECT_EQ(send_and_sniff(40042, false), "023300000003 0a4d00010a4d00039c699c6a");
    EXPECT_EQ(send_and_sniff(40042, true), "000000000000 0a4d00010a4d00039c699c6a");
    // No entry for 10.77.0.4: false, and the frames keep going to 10.77.0.3.
    EXPECT_FALSE(sender.reset_udp_local_info(hux_test::CLIENT_IP, 40041, "10.77.0.4", 40042));
    EXPECT_EQ(send_and_sniff(40042, false), "023300000003 0a4d00010a4d00039c699c6a");
    // Ports only: the MAC stays.
    EXPECT_TRUE(sender.reset_udp_local_info(hux_test::CLIENT_IP, 40043, "10.77.0.3", 40044));
    EXPECT_EQ(send_and_sniff(40044, false), "023300000003 0a4d00010a4d00039c6b9c6c");
    // A group address is mapped, not looked up.
    EXPECT_TRUE(sender.reset_udp_local_info(hux_test::CLIENT_IP, 40043, "239.1.2.4", 40044));
    EXPECT_EQ(send_and_sniff(40044, false), "01005e010204 0a4d0001ef0102049c6b9c6c");
    // Texts that are not addresses never reach a command.
    char unterminated[16];
    std::memset(unterminated, '1', sizeof unterminated);
    EXPECT_FALSE(sender.reset_udp_local_info(hux_test::CLIENT_IP, 40043, "10.77.0.300", 40044));
    EXPECT_FALSE(sender.reset_udp_local_info(hux_test::CLIENT_IP, 40043, "1;reboot", 40044));
    EXPECT_FALSE(sender.reset_udp_local_info(unterminated, 40043, PEER_IP, 40044));
    EXPECT_EQ(send_and_sniff(40044, false), "01005e010204 0a4d0001ef0102049c6b9c6c");
    sender.destory();
    EXPECT_FALSE(sender.reset_udp_local_info(hux_test::CLIENT_IP, 40041, PEER_IP, 40042));
    hux_test::ns_run(n.client_ns, "ip neigh del 10.77.0.3 dev " + n.client_if);
    close(sniffer);
}

// ---------------------------------------------------------------- heart-beat

TEST_F(EfViSender, HeartBeatThreadSendsUntilStopped) {
    HUX_NEED_NETNS();
    const int sniffer = hux_test::peer_sniffer();
    ASSERT_GE(sniffer, 0);
    ef_vi_udp_sender sender;
    ASSERT_EQ(sender.init(make_info(PEER_IP, 40052, 40051), client_if(), "sfc", nullptr, nullptr), 0);
    unsigned char frame[4096];

    // Each frame's time is the peer kernel's receive time stamp, taken as
    // the frame arrives on the veth (in the sending call), not when this
    // thread gets to read it.
    const int on = 1;
    ASSERT_EQ(setsockopt(sniffer, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on), 0);
    const int wait_ms = static_cast<int>(hux_test::test_wait().count());

    ASSERT_TRUE(sender.start_heart_beat_thread());
    EXPECT_FALSE(sender.start_heart_beat_thread());
    // Five beats, one every 50 ms: the thread waits the interval after each
    // send, so no gap is shorter, however late a beat goes out on a loaded
    // machine. The bound leaves 20 ms for the way of a frame to its time
    // stamp; a thread that paced its beats any faster, or not at all, fails it.
    std::vector<long long> received;
    for (int i = 0; i < 5; ++i) {
        long long at = 0;
        ASSERT_EQ(sniff_udp(sniffer, 40052, frame, sizeof frame, wait_ms, &at), 50) << "beat " << i;
        EXPECT_EQ(hex_of(frame, 12), "000000000000000000000000") << "beat " << i;
        EXPECT_EQ(hex_of(frame + 42, 8), "0800010000000000") << "beat " << i;
        ASSERT_NE(at, 0) << "beat " << i << " carries no receive time stamp";
        received.push_back(at);
    }
    sender.stop_heart_beat_thread();
    for (size_t i = 1; i < received.size(); ++i) {
        EXPECT_GE(received[i] - received[i - 1], 30 * 1000000LL) << "gap before beat " << i;
    }
    // Stopped means joined: nothing more comes.
    while (sniff_udp(sniffer, 40052, frame, sizeof frame, 0) > 0) {
    }
    EXPECT_EQ(sniff_udp(sniffer, 40052, frame, sizeof frame, 200), -1);
    // It starts again, and destory stops it.
    ASSERT_TRUE(sender.start_heart_beat_thread());
    ASSERT_EQ(sniff_udp(sniffer, 40052, frame, sizeof frame, wait_ms), 50);
    sender.destory();
    while (sniff_udp(sniffer, 40052, frame, sizeof frame, 0) > 0) {
    }
    EXPECT_EQ(sniff_udp(sniffer, 40052, frame, sizeof frame, 200), -1);
    close(sniffer);
}
