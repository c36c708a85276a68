// The ef_vi stand-in's receive side on the namespace pair: frames the peer
// puts on the wire land in the client's posted buffers in post order, the
// client's own frames never become events, long frames give their buffer
// back as discards, frames wait in the socket's ring while nothing is
// posted, the drop setting swallows exactly every k-th frame to its port
// while the client's kernel still gets it, and a full ring's losses are
// counted.
//
// The peer's frames are written by hand and sent from a packet socket: TCP
// segments with RST set to ports nobody listens on, which the client's
// kernel takes without answering. A raw TCP socket of the client (the
// "tap") shows what the kernel got; the stand-in's socket sees a frame before
// the kernel's IPv4 layer does, so once the tap has a frame a poll finds it.
// Waits end at the tests' wait setting (HUX_TEST_WAIT_MS).
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <etherfabric/memreg.h>
#include <etherfabric/pd.h>
#include <etherfabric/vi.h>

#include "tests/bypass/test_ef_vi_support.h"
#include "tests/support/hex.h"
#include "tests/support/test_wait.h"

using namespace efvi_test;
using hux_test::hex_of;

namespace {

class EfViReceive : public efvi_fixture {};

int wait_ms() { return static_cast<int>(hux_test::test_wait().count()); }

using frame = std::vector<unsigned char>;

void put16(unsigned char* p, unsigned v) {
    p[0] = static_cast<unsigned char>(v >> 8);
    p[1] = static_cast<unsigned char>(v);
}

// Ethernet, IPv4 from the peer to the client, and a 20-byte TCP header
// (protocol 6) or 8-byte UDP header (17) to dst_port, then payload_len bytes
// that differ for every tag; the IPv4 checksum filled in.
frame peer_frame(unsigned short dst_port, size_t payload_len, unsigned tag, int protocol = 6,
                 unsigned char const* dst_mac = CLIENT_MAC) {
    const size_t l4 = protocol == 6 ? 20 : 8;
    frame f(14 + 20 + l4 + payload_len, 0);
    unsigned char* p = f.data();
    std::memcpy(p, dst_mac, 6);
    std::memcpy(p + 6, PEER_MAC, 6);
    put16(p + 12, 0x0800);
    unsigned char* ip = p + 14;
    ip[0] = 0x45;
    put16(ip + 2, static_cast<unsigned>(20 + l4 + payload_len));
    put16(ip + 4, tag & 0xffff);
    put16(ip + 6, 0x4000);
    ip[8] = 64;
    ip[9] = static_cast<unsigned char>(protocol);
    inet_pton(AF_INET, hux_test::PEER_IP, ip + 12);
    inet_pton(AF_INET, hux_test::CLIENT_IP, ip + 16);
    uint32_t sum = 0;
    for (int i = 0; i < 20; i += 2) sum += be16(ip + i);
    while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
    put16(ip + 10, ~sum & 0xffff);
    unsigned char* l = ip + 20;
    put16(l, 50000);
    put16(l + 2, dst_port);
    if (protocol == 6) {
        put16(l + 4, tag >> 16);  // sequence number
        put16(l + 6, tag & 0xffff);
        l[12] = 0x50;  // data offset 5
        l[13] = 0x14;  // RST, ACK
        put16(l + 14, 512);
    } else {
        put16(l + 4, static_cast<unsigned>(8 + payload_len));
    }
    const std::string body = payload(payload_len, tag);
    std::memcpy(l + l4, body.data(), payload_len);
    return f;
}

// A packet socket of the peer's end that sends frames as they are.
int peer_frame_socket() {
    int fd = -1;
    hux_test::in_peer([&] {
        fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
        sockaddr_ll at{};
        at.sll_family = AF_PACKET;
        at.sll_ifindex = static_cast<int>(if_nametoindex(hux_test::netns().peer_if.c_str()));
        if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
            close(fd);
            fd = -1;
        }
    });
    return fd;
}

bool send_frame(int fd, frame const& f) { return send(fd, f.data(), f.size(), 0) == static_cast<ssize_t>(f.size()); }

// The client kernel's copy of every TCP segment it gets (the main thread is
// in the client's namespace).
int client_tap() {
    const int fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_TCP);
    const int size = 4 << 20;
    if (fd >= 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size);
    return fd;
}

// Reads the tap until it has seen count segments to ports in [lo, hi]; the
// number seen.
int tap_count(int tap, int count, unsigned lo, unsigned hi) {
    int seen = 0;
    unsigned char packet[65536];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms());
    while (seen < count) {
        const long left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                 std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) break;
        const int n = hux_test::recv_within(tap, packet, sizeof packet, static_cast<int>(left));
        if (n < 40) continue;
        const unsigned port = be16(packet + (packet[0] & 0x0f) * 4 + 2);
        if (port >= lo && port <= hi) ++seen;
    }
    return seen;
}

// A receive-only VI on the client's end with `buffers` registered buffers of
// 2048 bytes; every step's result is kept for the test to check.
struct receive_vi {
    static constexpr int BUF = 2048;
    ef_driver_handle dh = -1;
    ef_pd pd{};
    ef_vi vi{};
    ef_memreg mr{};
    unsigned char* mem = nullptr;
    bool have_pd = false, have_vi = false, have_mr = false;
    int buffers = 0;

    // 0, or the result of the first step that failed.
    int open(int rxq, int count, int txq = 0) {
        buffers = count;
        int rc = ef_driver_open(&dh);
        if (rc != 0) return rc;
        if ((rc = ef_pd_alloc_by_name(&pd, dh, client_if(), EF_PD_DEFAULT)) != 0) return rc;
        have_pd = true;
        rc = ef_vi_alloc_from_pd(&vi, dh, &pd, dh, -1, rxq, txq, nullptr, -1, EF_VI_FLAGS_DEFAULT);
        if (rc != 0) return rc;
        have_vi = true;
        const size_t bytes = (static_cast<size_t>(count) * BUF + 4095) / 4096 * 4096;
        mem = static_cast<unsigned char*>(std::aligned_alloc(4096, bytes));
        std::memset(mem, 0xee, bytes);
        if ((rc = ef_memreg_alloc(&mr, dh, &pd, dh, mem, bytes)) != 0) return rc;
        have_mr = true;
        return 0;
    }
    int sniff(bool promiscuous, ef_filter_cookie* cookie = nullptr) {
        ef_filter_spec fs;
        ef_filter_spec_init(&fs, EF_FILTER_FLAG_NONE);
        const int rc = ef_filter_spec_set_port_sniff(&fs, promiscuous ? 1 : 0);
        return rc != 0 ? rc : ef_vi_filter_add(&vi, dh, &fs, cookie);
    }
    ef_addr addr(int k) { return ef_memreg_dma_addr(&mr, static_cast<size_t>(k) * BUF); }
    unsigned char* buf(int k) { return mem + static_cast<size_t>(k) * BUF; }
    int post(int k, ef_request_id id) { return ef_vi_receive_post(&vi, addr(k), id); }
    void release() {
        if (have_mr) ef_memreg_free(&mr, dh);
        if (have_vi) ef_vi_free(&vi, dh);
        if (have_pd) ef_pd_free(&pd, dh);
        if (dh >= 0) ef_driver_close(dh);
        std::free(mem);
        have_mr = have_vi = have_pd = false;
        dh = -1;
        mem = nullptr;
    }
    ~receive_vi() { release(); }
};

// Polls (batch events at a time, at most 32) until want events came or the
// wait ran out; after every poll that gave events fill_levels gets the VI's
// fill level.
std::vector<ef_event> poll_events(ef_vi* vi, size_t want, std::vector<int>* fill_levels = nullptr, int batch = 32) {
    std::vector<ef_event> got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms());
    while (got.size() < want && std::chrono::steady_clock::now() < deadline) {
        ef_event evs[32];
        const int n = ef_eventq_poll(vi, evs, batch);
        if (n < 0) break;
        got.insert(got.end(), evs, evs + n);
        if (fill_levels && n > 0) fill_levels->push_back(ef_vi_receive_fill_level(vi));
    }
    return got;
}

// Events of one poll once everything sent has been seen: nothing more may come.
int poll_once(ef_vi* vi) {
    ef_event evs[32];
    return ef_eventq_poll(vi, evs, 32);
}

bool client_promiscuous() {
    std::ifstream in("/sys/class/net/" + hux_test::netns().client_if + "/flags");
    unsigned long flags = 0;
    in >> std::hex >> flags;
    return (flags & IFF_PROMISC) != 0;
}

}  // namespace

// ---------------------------------------------------------------- set-up

TEST_F(EfViReceive, ReceiveOnlyViRingAndSniffFilter) {
    HUX_NEED_NETNS();
    // The frame builder's header, worked out by hand for tag 0x00070009 and
    // 100 payload bytes to port 6000.
    const std::string golden =
        "02c100000001"  // destination MAC: the client's end
        "02f200000002"  // source MAC: the peer's end
        "0800"          // EtherType IPv4
        "45"            // version 4, header of 5 words
        "00"            // TOS
        "008c"          // total length 140 = 20 + 20 + 100
        "0009"          // identification: the tag's low half
        "4000"          // don't fragment
        "40"            // TTL 64
        "06"            // protocol 6, TCP
        "25c7"          // checksum: ~(4500+008c+0009+4000+4006+0a4d+0002+0a4d+0001 = da38)
        "0a4d0002"      // source 10.77.0.2
        "0a4d0001"      // destination 10.77.0.1
        "c350"          // source port 50000
        "1770"          // destination port 6000
        "00070009"      // sequence number: the tag
        "00000000"      // acknowledgment number
        "50"            // data offset 5 words
        "14"            // RST, ACK
        "0200"          // window 512
        "0000"          // checksum (not checked by anything here)
        "0000";         // urgent pointer
    ASSERT_EQ(hex_of(peer_frame(6000, 100, 0x00070009).data(), 54), golden);

    // The sender's VI (no receive queue) is as before: no receive ring, no filter.
    {
        receive_vi tx;
        ASSERT_EQ(tx.open(0, 1, -1), 0);
        EXPECT_EQ(ef_vi_receive_capacity(&tx.vi), 0);
        EXPECT_EQ(ef_vi_transmit_capacity(&tx.vi), 512);
        EXPECT_EQ(ef_vi_receive_post(&tx.vi, tx.addr(0), 1), -EINVAL);
        EXPECT_EQ(tx.sniff(false), -EINVAL);
        ef_event evs[4];
        EXPECT_EQ(ef_eventq_poll(&tx.vi, evs, 4), 0);
    }

    const int out = peer_frame_socket();
    const int tap = client_tap();
    ASSERT_GE(out, 0);
    ASSERT_GE(tap, 0);
    receive_vi rx;
    ASSERT_EQ(rx.open(4, 5), 0);
    EXPECT_EQ(ef_vi_receive_capacity(&rx.vi), 4);
    EXPECT_EQ(ef_vi_transmit_capacity(&rx.vi), 0);
    EXPECT_EQ(ef_vi_receive_prefix_len(&rx.vi), 0);
    EXPECT_EQ(ef_vi_receive_buffer_len(&rx.vi), 2048);
    // No transmit queue: posts are refused.
    EXPECT_LT(ef_vi_transmit(&rx.vi, rx.addr(0), 60, 1), 0);
    EXPECT_LT(ef_vi_transmit_ctpio_fallback(&rx.vi, rx.addr(0), 60, 1), 0);

    // Buffers must be registered for the whole 2048 bytes; the ring holds 4.
    EXPECT_EQ(ef_vi_receive_init(&rx.vi, rx.addr(0) + 4096 * 3 - 2047, 9), -EFAULT);
    EXPECT_EQ(ef_vi_receive_init(&rx.vi, 0x1000, 9), -EFAULT);
    for (int k = 0; k < 4; ++k) ASSERT_EQ(ef_vi_receive_init(&rx.vi, rx.addr(k), 10 + k), 0);
    EXPECT_EQ(ef_vi_receive_init(&rx.vi, rx.addr(4), 14), -EAGAIN);
    EXPECT_EQ(ef_vi_receive_fill_level(&rx.vi), 4);

    // Nothing arrives before the filter, nor into buffers not yet pushed.
    ASSERT_TRUE(send_frame(out, peer_frame(6001, 10, 1)));
    ASSERT_EQ(tap_count(tap, 1, 6001, 6001), 1);
    ef_filter_cookie cookie{};
    EXPECT_FALSE(client_promiscuous());
    ASSERT_EQ(rx.sniff(true, &cookie), 0);
    EXPECT_TRUE(client_promiscuous());
    EXPECT_EQ(rx.sniff(true), -EBUSY);
    ASSERT_TRUE(send_frame(out, peer_frame(6001, 10, 2)));
    ASSERT_EQ(tap_count(tap, 1, 6001, 6001), 1);
    EXPECT_EQ(poll_once(&rx.vi), 0);
    ef_vi_receive_push(&rx.vi);
    std::vector<ef_event> evs = poll_events(&rx.vi, 1);
    ASSERT_EQ(evs.size(), 1u);
    EXPECT_EQ(EF_EVENT_TYPE(evs[0]), EF_EVENT_TYPE_RX);
    EXPECT_EQ(EF_EVENT_RX_RQ_ID(evs[0]), 10u);
    EXPECT_EQ(be16(rx.buf(0) + 14 + 4), 2u);  // the second frame, not the first
    EXPECT_EQ(poll_once(&rx.vi), 0);

    // Without the filter the VI hears nothing more and the interface leaves
    // promiscuous mode; a stale cookie is refused.
    ASSERT_EQ(ef_vi_filter_del(&rx.vi, rx.dh, &cookie), 0);
    EXPECT_FALSE(client_promiscuous());
    EXPECT_EQ(ef_vi_filter_del(&rx.vi, rx.dh, &cookie), -ENOENT);
    ASSERT_TRUE(send_frame(out, peer_frame(6001, 10, 3)));
    ASSERT_EQ(tap_count(tap, 1, 6001, 6001), 1);
    EXPECT_EQ(poll_once(&rx.vi), 0);
    EXPECT_EQ(ef_vi_receive_fill_level(&rx.vi), 3);

    // A non-promiscuous sniff leaves the interface as it is, and the VI hears
    // frames again, into the buffers still posted; freeing the VI ends a
    // promiscuous one's mode.
    ASSERT_EQ(rx.sniff(false), 0);
    EXPECT_FALSE(client_promiscuous());
    ASSERT_TRUE(send_frame(out, peer_frame(6001, 10, 4)));
    evs = poll_events(&rx.vi, 1);
    ASSERT_EQ(evs.size(), 1u);
    EXPECT_EQ(EF_EVENT_RX_RQ_ID(evs[0]), 11u);
    EXPECT_EQ(be16(rx.buf(1) + 14 + 4), 4u);
    rx.release();
    receive_vi again;
    ASSERT_EQ(again.open(4, 1), 0);
    ASSERT_EQ(again.sniff(true), 0);
    EXPECT_TRUE(client_promiscuous());
    again.release();
    EXPECT_FALSE(client_promiscuous());
    close(out);
    close(tap);
}

// ---------------------------------------------------------------- frames

TEST_F(EfViReceive, PeerFramesFillPostedBuffersInPostOrderOwnFramesNever) {
    HUX_NEED_NETNS();
    const int out = peer_frame_socket();
    const int tap = client_tap();
    const int peer_udp = hux_test::peer_udp_socket(6190);
    ASSERT_GE(out, 0);
    ASSERT_GE(tap, 0);
    ASSERT_GE(peer_udp, 0);
    const int client_udp = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(client_udp, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(6190);
    inet_pton(AF_INET, hux_test::PEER_IP, &to.sin_addr);

    receive_vi rx;
    ASSERT_EQ(rx.open(64, 8), 0);
    ASSERT_EQ(rx.sniff(true), 0);
    // Ids in an order of their own, buffers in another.
    const ef_request_id ids[8] = {7, 3, 11, 0, 42, 5, 6, 1};
    const int slots[8] = {5, 0, 7, 2, 1, 6, 3, 4};
    for (int k = 0; k < 8; ++k) ASSERT_EQ(rx.post(slots[k], ids[k]), 0);

    // Header only, the smallest padded length, a full 1500-byte MTU frame,
    // one to another host's MAC (the promiscuous sniff hears it too) and
    // more; the client's own datagrams to the peer go out in between, and
    // the peer's frames of another EtherType are not IPv4, so not heard.
    const unsigned char other_mac[6] = {0x02, 0x99, 0x00, 0x00, 0x00, 0x07};
    std::vector<frame> sent = {peer_frame(6100, 0, 1),   peer_frame(6101, 6, 2),
                               peer_frame(6102, 1460, 3), peer_frame(6103, 33, 4, 6, other_mac),
                               peer_frame(6104, 700, 5),  peer_frame(6105, 1, 6),
                               peer_frame(6106, 2, 7),    peer_frame(6107, 999, 8)};
    ASSERT_EQ(sent[2].size(), 1514u);
    const std::string datagram = payload(200, 9);
    for (size_t i = 0; i < sent.size(); ++i) {
        ASSERT_EQ(sendto(client_udp, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to),
                         sizeof to),
                  static_cast<ssize_t>(datagram.size()));
        ASSERT_TRUE(send_frame(out, sent[i]));
        frame other = sent[i];
        put16(other.data() + 12, 0x88b5);  // local experimental EtherType
        ASSERT_TRUE(send_frame(out, other));
    }
    std::vector<int> fill;
    std::vector<ef_event> evs = poll_events(&rx.vi, sent.size(), &fill, 1);
    ASSERT_EQ(evs.size(), sent.size());
    for (size_t i = 0; i < sent.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(EF_EVENT_TYPE(evs[i]), EF_EVENT_TYPE_RX);
        EXPECT_EQ(EF_EVENT_RX_RQ_ID(evs[i]), static_cast<unsigned>(ids[i]));
        EXPECT_EQ(EF_EVENT_RX_BYTES(evs[i]), sent[i].size());
        EXPECT_EQ(EF_EVENT_RX_Q_ID(evs[i]), 0u);
        EXPECT_TRUE(EF_EVENT_RX_SOP(evs[i]));
        EXPECT_FALSE(EF_EVENT_RX_CONT(evs[i]));
        EXPECT_EQ(hex_of(rx.buf(slots[i]), sent[i].size()), hex_of(sent[i].data(), sent[i].size()));
    }
    // One event a poll: the fill level falls by one with each, to none left.
    EXPECT_EQ(fill, (std::vector<int>{7, 6, 5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(hux_standin_efvi_rx_events(), 8);

    // Every datagram of the client reached the peer, so its frames passed
    // the stand-in's socket long ago; with buffers free none is an event.
    char got[512];
    for (size_t i = 0; i < sent.size(); ++i)
        ASSERT_EQ(hux_test::recv_within(peer_udp, got, sizeof got, wait_ms()), 200);
    ASSERT_EQ(tap_count(tap, 7, 6100, 6107), 7);  // the other host's frame is not the kernel's
    for (int k = 0; k < 8; ++k) ASSERT_EQ(rx.post(k, 100 + k), 0);
    EXPECT_EQ(poll_once(&rx.vi), 0);
    EXPECT_EQ(ef_vi_receive_fill_level(&rx.vi), 8);
    EXPECT_EQ(hux_standin_efvi_rx_events(), 8);
    close(client_udp);
    close(peer_udp);
    close(out);
    close(tap);
}

TEST_F(EfViReceive, FramesWaitUntilBuffersArePosted) {
    HUX_NEED_NETNS();
    const int out = peer_frame_socket();
    const int tap = client_tap();
    ASSERT_GE(out, 0);
    ASSERT_GE(tap, 0);
    receive_vi rx;
    ASSERT_EQ(rx.open(16, 3), 0);
    ASSERT_EQ(rx.sniff(false), 0);
    std::vector<frame> sent;
    for (unsigned t = 0; t < 3; ++t) {
        sent.push_back(peer_frame(6200, 100 + t, 20 + t));
        ASSERT_TRUE(send_frame(out, sent.back()));
    }
    ASSERT_EQ(tap_count(tap, 3, 6200, 6200), 3);
    EXPECT_EQ(poll_once(&rx.vi), 0);
    EXPECT_EQ(poll_once(&rx.vi), 0);

    // Two buffers take the first two frames, in order; the third waits.
    ASSERT_EQ(rx.post(0, 1), 0);
    ASSERT_EQ(rx.post(1, 2), 0);
    std::vector<ef_event> evs = poll_events(&rx.vi, 2);
    ASSERT_EQ(evs.size(), 2u);
    EXPECT_EQ(poll_once(&rx.vi), 0);
    ASSERT_EQ(rx.post(2, 3), 0);
    std::vector<ef_event> last = poll_events(&rx.vi, 1);
    ASSERT_EQ(last.size(), 1u);
    evs.push_back(last[0]);
    for (unsigned i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(EF_EVENT_TYPE(evs[i]), EF_EVENT_TYPE_RX);
        EXPECT_EQ(EF_EVENT_RX_RQ_ID(evs[i]), i + 1);
        ASSERT_EQ(EF_EVENT_RX_BYTES(evs[i]), sent[i].size());
        EXPECT_EQ(hex_of(rx.buf(static_cast<int>(i)), sent[i].size()), hex_of(sent[i].data(), sent[i].size()));
    }
    EXPECT_EQ(hux_standin_efvi_rx_socket_drops(), 0);
    close(out);
    close(tap);
}

TEST_F(EfViReceive, FrameLongerThanBufferIsDiscarded) {
    HUX_NEED_NETNS();
    hux_test::set_mtu(9000);
    const int out = peer_frame_socket();
    const int tap = client_tap();
    ASSERT_GE(out, 0);
    ASSERT_GE(tap, 0);
    receive_vi rx;
    ASSERT_EQ(rx.open(16, 4), 0);
    ASSERT_EQ(rx.sniff(true), 0);
    for (int k = 0; k < 4; ++k) ASSERT_EQ(rx.post(k, 70 + k), 0);
    // 2048 bytes fit a buffer; 2049 and a 9014-byte jumbo frame do not.
    const std::vector<frame> sent = {peer_frame(6300, 2048 - 54, 31), peer_frame(6301, 2049 - 54, 32),
                                     peer_frame(6302, 9014 - 54, 33), peer_frame(6303, 100, 34)};
    for (frame const& f : sent) ASSERT_TRUE(send_frame(out, f));
    std::vector<ef_event> evs = poll_events(&rx.vi, 4);
    hux_test::set_mtu(1500);
    ASSERT_EQ(evs.size(), 4u);

    EXPECT_EQ(EF_EVENT_TYPE(evs[0]), EF_EVENT_TYPE_RX);
    EXPECT_EQ(EF_EVENT_RX_RQ_ID(evs[0]), 70u);
    EXPECT_EQ(EF_EVENT_RX_BYTES(evs[0]), 2048u);
    EXPECT_EQ(hex_of(rx.buf(0), 2048), hex_of(sent[0].data(), 2048));
    for (int i : {1, 2}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(EF_EVENT_TYPE(evs[i]), EF_EVENT_TYPE_RX_DISCARD);
        EXPECT_EQ(EF_EVENT_RX_DISCARD_RQ_ID(evs[i]), static_cast<unsigned>(70 + i));
        EXPECT_EQ(EF_EVENT_RX_DISCARD_BYTES(evs[i]), sent[i].size());
        EXPECT_EQ(EF_EVENT_RX_DISCARD_TYPE(evs[i]), EF_EVENT_RX_DISCARD_TRUNC);
        EXPECT_EQ(EF_EVENT_RX_DISCARD_Q_ID(evs[i]), 0u);
    }
    // Nothing was written past the buffer's end into the next one.
    EXPECT_EQ(EF_EVENT_TYPE(evs[3]), EF_EVENT_TYPE_RX);
    EXPECT_EQ(EF_EVENT_RX_RQ_ID(evs[3]), 73u);
    ASSERT_EQ(EF_EVENT_RX_BYTES(evs[3]), sent[3].size());
    EXPECT_EQ(hex_of(rx.buf(3), sent[3].size()), hex_of(sent[3].data(), sent[3].size()));
    EXPECT_EQ(rx.buf(3)[sent[3].size()], 0xee);
    EXPECT_EQ(ef_vi_receive_fill_level(&rx.vi), 0);
    EXPECT_EQ(hux_standin_efvi_rx_events(), 2);
    EXPECT_EQ(hux_standin_efvi_rx_discards(), 2);
    close(out);
    close(tap);
}

// ---------------------------------------------------------------- settings

TEST_F(EfViReceive, DropSettingSwallowsEveryKthFrameToItsPort) {
    HUX_NEED_NETNS();
    const int out = peer_frame_socket();
    const int tap = client_tap();
    ASSERT_GE(out, 0);
    ASSERT_GE(tap, 0);
    receive_vi rx;
    ASSERT_EQ(rx.open(64, 32), 0);
    ASSERT_EQ(rx.sniff(true), 0);
    for (int k = 0; k < 32; ++k) ASSERT_EQ(rx.post(k, k), 0);

    hux_standin_efvi_set_rx_drop(6400, 3);
    EXPECT_EQ(hux_standin_efvi_rx_drop_port(), 6400);
    EXPECT_EQ(hux_standin_efvi_rx_drop_nth(), 3);
    // Ten TCP segments to the port, with segments to the next port and UDP
    // datagrams to the same port number in between: only the TCP ones to
    // the port count.
    std::vector<frame> sent;
    std::vector<bool> kept;
    int to_port = 0;
    for (unsigned t = 1; t <= 10; ++t) {
        sent.push_back(peer_frame(6400, 50, t));
        kept.push_back(++to_port % 3 != 0);
        if (t % 2 == 0) {
            sent.push_back(peer_frame(6401, 50, 100 + t));
            kept.push_back(true);
            sent.push_back(peer_frame(6400, 50, 200 + t, 17));
            kept.push_back(true);
        }
    }
    for (frame const& f : sent) ASSERT_TRUE(send_frame(out, f));
    // The client's kernel got every TCP segment, the swallowed ones too.
    ASSERT_EQ(tap_count(tap, 15, 6400, 6401), 15);
    std::vector<ef_event> evs = poll_events(&rx.vi, 17);
    EXPECT_EQ(poll_once(&rx.vi), 0);
    ASSERT_EQ(evs.size(), 17u);
    size_t e = 0;
    for (size_t i = 0; i < sent.size(); ++i) {
        if (!kept[i]) continue;
        SCOPED_TRACE(i);
        // The swallowed frames used no buffer: ids (= buffers) stay consecutive.
        EXPECT_EQ(EF_EVENT_RX_RQ_ID(evs[e]), e);
        ASSERT_EQ(EF_EVENT_RX_BYTES(evs[e]), sent[i].size());
        EXPECT_EQ(hex_of(rx.buf(static_cast<int>(e)), sent[i].size()), hex_of(sent[i].data(), sent[i].size()));
        ++e;
    }
    EXPECT_EQ(hux_standin_efvi_rx_knob_drops(), 3);
    EXPECT_EQ(ef_vi_receive_fill_level(&rx.vi), 32 - 17);

    // k = 0 is off; setting it again counts from there; reset clears all.
    hux_standin_efvi_set_rx_drop(6400, 0);
    for (unsigned t = 1; t <= 3; ++t) ASSERT_TRUE(send_frame(out, peer_frame(6400, 10, 300 + t)));
    ASSERT_EQ(tap_count(tap, 3, 6400, 6400), 3);
    EXPECT_EQ(poll_events(&rx.vi, 3).size(), 3u);
    hux_standin_efvi_set_rx_drop(6400, 2);
    for (unsigned t = 1; t <= 3; ++t) ASSERT_TRUE(send_frame(out, peer_frame(6400, 10, 400 + t)));
    ASSERT_EQ(tap_count(tap, 3, 6400, 6400), 3);
    evs = poll_events(&rx.vi, 2);
    EXPECT_EQ(poll_once(&rx.vi), 0);
    ASSERT_EQ(evs.size(), 2u);
    EXPECT_EQ(be16(rx.buf(static_cast<int>(EF_EVENT_RX_RQ_ID(evs[1]))) + 14 + 4), 403u);
    EXPECT_EQ(hux_standin_efvi_rx_knob_drops(), 4);
    hux_standin_efvi_reset();
    EXPECT_EQ(hux_standin_efvi_rx_drop_nth(), 0);
    EXPECT_EQ(hux_standin_efvi_rx_drop_port(), 0);
    EXPECT_EQ(hux_standin_efvi_rx_knob_drops(), 0);
    EXPECT_EQ(hux_standin_efvi_rx_events(), 0);
    close(out);
    close(tap);
}

TEST_F(EfViReceive, FullSocketLossesAreCounted) {
    HUX_NEED_NETNS();
    const int out = peer_frame_socket();
    ASSERT_GE(out, 0);
    receive_vi rx;
    ASSERT_EQ(rx.open(4096, 4096), 0);
    ASSERT_EQ(rx.sniff(false), 0);
    // Far more than the socket's ring holds (7,680 frames), with no buffer
    // posted.
    constexpr int SENT = 20000;
    const frame f = peer_frame(6500, 1400, 50);
    for (int i = 0; i < SENT; ++i) ASSERT_TRUE(send_frame(out, f));
    // Then buffers are posted again as they come back, until every frame
    // is an event or a counted loss (the count is brought up to date when a
    // poll empties the ring after it was full).
    for (int k = 0; k < 4096; ++k) ASSERT_EQ(rx.post(k, k), 0);
    long events = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms());
    while (events + hux_standin_efvi_rx_socket_drops() < SENT && std::chrono::steady_clock::now() < deadline) {
        ef_event evs[32];
        const int n = ef_eventq_poll(&rx.vi, evs, 32);
        ASSERT_GE(n, 0);
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(EF_EVENT_TYPE(evs[i]), EF_EVENT_TYPE_RX);
            const int k = static_cast<int>(EF_EVENT_RX_RQ_ID(evs[i]));
            ASSERT_EQ(rx.post(k, k), 0);
        }
        events += n;
    }
    EXPECT_EQ(poll_once(&rx.vi), 0);
    rx.release();
    const long drops = hux_standin_efvi_rx_socket_drops();
    EXPECT_GT(drops, 0);
    EXPECT_GT(events, 1000);
    EXPECT_EQ(events + drops, SENT);
    EXPECT_EQ(hux_standin_efvi_rx_events(), events);
    close(out);
}
