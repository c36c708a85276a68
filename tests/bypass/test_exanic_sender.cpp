// The ExaNIC order sender on the wire of the namespace pair: the frames a
// peer sniffs and its kernel accepts, bad lengths and refusals, warm-ups,
// init's lookups and failures, address resets, card names and the adapter's
// form.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/bypass/test_exanic_support.h"
#include "tests/support/hex.h"
#include "tests/support/test_wait.h"

using namespace hux_test;
using namespace exa_test;

namespace {

constexpr int CAP = 4096;

// Records every call that reached the card.
struct frame_log {
    int calls = 0;
    int warm_calls = 0;
    size_t last_len = 0;
    int last_warm = -1;
    unsigned char last[CAP];
};

void record_frame(void* ctx, const char* frame, size_t len, int warm) {
    frame_log* log = static_cast<frame_log*>(ctx);
    ++log->calls;
    log->warm_calls += warm ? 1 : 0;
    log->last_len = len;
    log->last_warm = warm;
    std::memcpy(log->last, frame, len < sizeof log->last ? len : sizeof log->last);
}

std::vector<char> bytes_of(int n, unsigned seed) {
    std::vector<char> out(static_cast<size_t>(n));
    for (char& c : out) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return out;
}

// Sniffs the next frame to port and checks it is a sound frame of len bytes
// from the client to server_ip (MAC dst_mac) carrying payload.
void expect_frame(int sniffer, unsigned short port, const char* server_ip, const unsigned char* dst_mac,
                  const char* payload, int n) {
    unsigned char f[CAP];
    const int len = sniff_udp(sniffer, port, f, sizeof f, static_cast<int>(test_wait().count()));
    ASSERT_EQ(len, 42 + n) << "to port " << port;
    EXPECT_TRUE(valid_udp_frame(f, len));
    EXPECT_EQ(hex_of(f, 6), hex_of(dst_mac, 6));
    EXPECT_EQ(hex_of(f + 6, 6), hex_of(CLIENT_MAC, 6));
    unsigned char dst[4];
    inet_pton(AF_INET, server_ip, dst);
    EXPECT_EQ(hex_of(f + 30, 4), hex_of(dst, 4));
    EXPECT_EQ(be16(f + 36), port);
    if (n > 0) {
        EXPECT_EQ(std::memcmp(f + 42, payload, static_cast<size_t>(n)), 0);
    }
}

}  // namespace

TEST(ExanicWire, NewOrderFrameIsTheGoldenFrameAndIsReceived) {
    EXA_NEED_PAIR();
    const int rx = peer_udp_socket(40002);
    const int sniffer = peer_sniffer();
    ASSERT_GE(rx, 0);
    ASSERT_GE(sniffer, 0);
    exanic_udp_client client;
    ASSERT_TRUE(client.init(record(PEER_IP, 40002, 40001), netns().client_if.c_str(), nullptr, nullptr));
    EXPECT_STREQ(client.device_name(), "exanic0");
    EXPECT_EQ(client.port_number(), 0);
    EXPECT_TRUE(client.same_segment());

    char payload[100];
    for (int i = 0; i < 100; ++i) payload[i] = static_cast<char>(i);
    ASSERT_EQ(client.exanic_udp_for_new_order(payload, 100, false), 100);

    unsigned char frame[CAP];
    ASSERT_EQ(sniff_udp(sniffer, 40002, frame, sizeof frame, 2000), 142);
    const std::string header =
        "021122334402"  // destination MAC: the peer's, from the permanent neighbour entry
        "021122334401"  // source MAC: the client's veth end
        "0800"          // EtherType IPv4
        "45"            // version 4, header of 5 words
        "00"            // TOS
        "0080"          // total length 128 = 20 + 8 + 100
        "0000"          // identification
        "4000"          // do not fragment, fragment offset 0
        "40"            // TTL 64
        "11"            // protocol 17, UDP
        "25d1"          // header checksum: 4500+0080+0000+4000+4011+0a4d+0001+0a4d+0002 = da2e, ~da2e = 25d1
        "0a4d0001"      // source 10.77.0.1
        "0a4d0002"      // destination 10.77.0.2
        "9c41"          // source port 40001
        "9c42"          // destination port 40002
        "006c"          // UDP length 108 = 8 + 100
        "1628";         // UDP checksum: pseudo-header 0a4d+0001+0a4d+0002+0011+006c = 151a; UDP header
                        // 9c41+9c42+006c+0000 = 138ef; payload words 0001,0203,..,6263 = sum of 514k+1 for
                        // k < 50 = 514*1225+50 = 629700 = 99bc4; 151a+138ef+99bc4 = ae9cd -> a+e9cd = e9d7,
                        // ~e9d7 = 1628
    EXPECT_EQ(hex_of(frame, 142), header + hex_of(payload, 100));  // payload 00 01 .. 63 as given

    char got[CAP];
    ASSERT_EQ(recv_within(rx, got, sizeof got, 2000), 100);
    EXPECT_EQ(std::memcmp(got, payload, 100), 0);
    close(rx);
    close(sniffer);
}

TEST(ExanicWire, EverySendOfASeriesHasValidChecksumsAndArrives) {
    EXA_NEED_PAIR();
    const int rx = peer_udp_socket(40012);
    const int sniffer = peer_sniffer();
    ASSERT_GE(rx, 0);
    ASSERT_GE(sniffer, 0);
    exanic_udp_client client;
    ASSERT_TRUE(client.init(record(PEER_IP, 40012, 40011), netns().client_if.c_str(), nullptr, nullptr));

    // A long ordinary message before the odd one leaves bytes behind its end:
    // the odd byte must be padded with zero, not with what lies there.
    for (unsigned round = 0; round < 8; ++round) {
        const std::vector<char> longer = bytes_of(200, round * 7 + 1), odd = bytes_of(45, round * 7 + 2),
                                order = bytes_of(100, round * 7 + 3), quote = bytes_of(196, round * 7 + 4);
        ASSERT_EQ(client.exanic_udp_send(longer.data(), 200, false), 200);
        ASSERT_EQ(client.exanic_udp_send(odd.data(), 45, false), 45);
        ASSERT_EQ(client.exanic_udp_send(nullptr, 0, false), 0);
        ASSERT_EQ(client.exanic_udp_for_new_order(order.data(), 100, false), 100);
        ASSERT_EQ(client.exanic_udp_for_new_quote(quote.data(), 196, false), 196);

        expect_frame(sniffer, 40012, PEER_IP, PEER_MAC, longer.data(), 200);
        expect_frame(sniffer, 40012, PEER_IP, PEER_MAC, odd.data(), 45);
        expect_frame(sniffer, 40012, PEER_IP, PEER_MAC, nullptr, 0);
        expect_frame(sniffer, 40012, PEER_IP, PEER_MAC, order.data(), 100);
        expect_frame(sniffer, 40012, PEER_IP, PEER_MAC, quote.data(), 196);
        // The peer's kernel dropped none of them (it drops bad checksums).
        char got[CAP];
        for (const std::vector<char>* sent : {&longer, &odd}) {
            ASSERT_EQ(recv_within(rx, got, sizeof got, 2000), static_cast<int>(sent->size()));
            EXPECT_EQ(std::memcmp(got, sent->data(), sent->size()), 0);
        }
        EXPECT_EQ(recv_within(rx, got, sizeof got, 2000), 0);
        ASSERT_EQ(recv_within(rx, got, sizeof got, 2000), 100);
        EXPECT_EQ(std::memcmp(got, order.data(), 100), 0);
        ASSERT_EQ(recv_within(rx, got, sizeof got, 2000), 196);
        EXPECT_EQ(std::memcmp(got, quote.data(), 196), 0);
    }
    close(rx);
    close(sniffer);
}

// A UDP checksum that comes out 0 goes out as 0xffff, its other form: a
// checksum field of 0 says the datagram has none. The first two payload
// bytes are chosen so that the sum over pseudo-header, header and payload is
// 0xffff, for an ordinary message and for the fixed new-order and new-quote
// frames, whose checksum starts from a stored sum.
TEST(ExanicWire, AChecksumThatComesOutZeroGoesOutAsAllOnes) {
    EXA_NEED_PAIR();
    const int rx = peer_udp_socket(40052);
    const int sniffer = peer_sniffer();
    ASSERT_GE(rx, 0);
    ASSERT_GE(sniffer, 0);
    exanic_udp_client client;
    ASSERT_TRUE(client.init(record(PEER_IP, 40052, 40051), netns().client_if.c_str(), nullptr, nullptr));
    unsigned char addresses[8];
    inet_pton(AF_INET, CLIENT_IP, addresses);
    inet_pton(AF_INET, PEER_IP, addresses + 4);

    enum send_kind { ORDINARY, NEW_ORDER, NEW_QUOTE };
    for (send_kind kind : {ORDINARY, NEW_ORDER, NEW_QUOTE}) {
        SCOPED_TRACE(kind == ORDINARY ? "ordinary message" : kind == NEW_ORDER ? "new order" : "new quote");
        const int n = kind == ORDINARY ? 61 : kind == NEW_ORDER ? 100 : 196;
        std::vector<char> payload = bytes_of(n, 40 + kind);
        payload[0] = payload[1] = 0;
        const unsigned udp_len = 8 + static_cast<unsigned>(n);
        const unsigned char udp_header[8] = {0x9c, 0x73, 0x9c, 0x74,  // ports 40051, 40052
                                             static_cast<unsigned char>(udp_len >> 8),
                                             static_cast<unsigned char>(udp_len & 0xff), 0, 0};
        unsigned long acc = sum16(addresses, 8, 17 + udp_len);  // pseudo-header
        acc = sum16(udp_header, 8, acc);
        acc = sum16(reinterpret_cast<const unsigned char*>(payload.data()), n, acc);
        const unsigned fill = 0xffff - fold16(acc);
        payload[0] = static_cast<char>(fill >> 8);
        payload[1] = static_cast<char>(fill & 0xff);

        const int sent = kind == ORDINARY    ? client.exanic_udp_send(payload.data(), n, false)
                         : kind == NEW_ORDER ? client.exanic_udp_for_new_order(payload.data(), n, false)
                                             : client.exanic_udp_for_new_quote(payload.data(), n, false);
        ASSERT_EQ(sent, n);
        unsigned char f[CAP];
        ASSERT_EQ(sniff_udp(sniffer, 40052, f, sizeof f, static_cast<int>(test_wait().count())), 42 + n);
        EXPECT_EQ(hex_of(f + 34, 6), hex_of(udp_header, 6));
        EXPECT_EQ(be16(f + 40), 0xffffu);
        EXPECT_TRUE(valid_udp_frame(f, 42 + n));
        EXPECT_EQ(std::memcmp(f + 42, payload.data(), static_cast<size_t>(n)), 0);
        char got[CAP];
        ASSERT_EQ(recv_within(rx, got, sizeof got, static_cast<int>(test_wait().count())), n);
        EXPECT_EQ(std::memcmp(got, payload.data(), static_cast<size_t>(n)), 0);
    }
    close(rx);
    close(sniffer);
}

TEST(ExanicWire, BadLengthsAndRefusedFramesGiveMinusOne) {
    EXA_NEED_PAIR();
    const int rx = peer_udp_socket(40022);
    const int sniffer = peer_sniffer();
    ASSERT_GE(rx, 0);
    ASSERT_GE(sniffer, 0);
    exanic_udp_client client;
    ASSERT_TRUE(client.init(record(PEER_IP, 40022, 40021), netns().client_if.c_str(), nullptr, nullptr));
    static frame_log calls;
    calls = frame_log();
    hux_standin_exanic_set_frame_hook(record_frame, &calls);
    const std::vector<char> big = bytes_of(2049, 5);

    // Nothing of these reaches the card.
    for (bool warm : {false, true}) {
        EXPECT_EQ(client.exanic_udp_send(big.data(), -1, warm), -1);
        EXPECT_EQ(client.exanic_udp_send(big.data(), 2049, warm), -1);
        EXPECT_EQ(client.exanic_udp_for_new_order(big.data(), -1, warm), -1);
        EXPECT_EQ(client.exanic_udp_for_new_order(big.data(), 2049, warm), -1);
        EXPECT_EQ(client.exanic_udp_for_new_quote(big.data(), -1, warm), -1);
        EXPECT_EQ(client.exanic_udp_for_new_quote(big.data(), 2049, warm), -1);
    }
    for (int n : {0, 99, 101, 196}) EXPECT_EQ(client.exanic_udp_for_new_order(big.data(), n, false), -1) << n;
    for (int n : {0, 100, 195, 197}) EXPECT_EQ(client.exanic_udp_for_new_quote(big.data(), n, false), -1) << n;
    EXPECT_EQ(calls.calls, 0);

    // Fixed-frame warm-ups take any length the ordinary frame holds.
    EXPECT_EQ(client.exanic_udp_for_new_order(big.data(), 45, true), 45);
    EXPECT_EQ(client.exanic_udp_for_new_quote(big.data(), 0, true), 0);
    EXPECT_EQ(client.exanic_udp_for_new_order(big.data(), 2048, true), 2048);
    EXPECT_EQ(calls.warm_calls, 3);
    EXPECT_EQ(calls.last_len, 2048u + 42);

    // The largest message, once the MTU lets its frame through.
    set_mtu(2100);
    ASSERT_EQ(client.exanic_udp_send(big.data(), 2048, false), 2048);
    expect_frame(sniffer, 40022, PEER_IP, PEER_MAC, big.data(), 2048);
    std::vector<char> got(CAP);
    ASSERT_EQ(recv_within(rx, got.data(), got.size(), 2000), 2048);
    EXPECT_EQ(std::memcmp(got.data(), big.data(), 2048), 0);
    set_mtu(1500);

    // A refusal is told on stderr with the card's own text.
    hux_standin_exanic_set_refuse_tx(1);
    testing::internal::CaptureStderr();
    const int order = client.exanic_udp_for_new_order(big.data(), 100, false);
    const int plain = client.exanic_udp_send(big.data(), 10, false);
    const std::string err = testing::internal::GetCapturedStderr();
    hux_standin_exanic_set_refuse_tx(0);
    EXPECT_EQ(order, -1);
    EXPECT_EQ(plain, -1);
    EXPECT_EQ(err, "exanic_transmit_frame: exanic0: transmit refused (HUX_EXANIC_REFUSE_TX)\n"
                   "exanic_transmit_frame: exanic0: transmit refused (HUX_EXANIC_REFUSE_TX)\n");

    // None of the above put a frame on the wire: the next one sniffed is this.
    ASSERT_EQ(client.exanic_udp_send("MARK", 4, false), 4);
    expect_frame(sniffer, 40022, PEER_IP, PEER_MAC, "MARK", 4);
    hux_standin_exanic_set_frame_hook(nullptr, nullptr);
    close(rx);
    close(sniffer);
}

TEST(ExanicWire, WarmUpsPutNothingOnTheWire) {
    EXA_NEED_PAIR();
    const int sniffer = peer_sniffer();
    ASSERT_GE(sniffer, 0);
    exanic_udp_client client;
    ASSERT_TRUE(client.init(record(PEER_IP, 40032, 40031), netns().client_if.c_str(), nullptr, nullptr));
    static frame_log calls;
    calls = frame_log();
    hux_standin_exanic_set_frame_hook(record_frame, &calls);
    const long sent_before = hux_standin_exanic_frames_sent();

    // An ordinary warm-up builds the whole frame, as a send would.
    const std::string w(20, 'W');
    ASSERT_EQ(client.exanic_udp_send(w.data(), 20, true), 20);
    ASSERT_EQ(calls.last_warm, 1);
    ASSERT_EQ(calls.last_len, 62u);
    EXPECT_TRUE(valid_udp_frame(calls.last, 62));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(calls.last) + 42, 20), w);

    // Fixed-frame warm-ups go through the ordinary frame as it stands (still
    // the 20-byte message: total length 48) and copy nothing.
    const std::string z(196, 'Z');
    ASSERT_EQ(client.exanic_udp_for_new_order(z.data(), 100, true), 100);
    ASSERT_EQ(calls.last_len, 142u);
    EXPECT_EQ(be16(calls.last + 16), 48u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(calls.last) + 42, 20), w);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(calls.last) + 42, 100).find('Z'), std::string::npos);
    ASSERT_EQ(client.exanic_udp_for_new_quote(z.data(), 196, true), 196);
    ASSERT_EQ(calls.last_len, 238u);
    EXPECT_EQ(be16(calls.last + 16), 48u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(calls.last) + 42, 196).find('Z'), std::string::npos);
    EXPECT_EQ(calls.warm_calls, 3);
    EXPECT_EQ(hux_standin_exanic_frames_sent(), sent_before);

    // The first frame the peer sees is the marked one; the fixed frames the
    // warm-ups passed by are intact.
    ASSERT_EQ(client.exanic_udp_send("MARK", 4, false), 4);
    expect_frame(sniffer, 40032, PEER_IP, PEER_MAC, "MARK", 4);
    const std::vector<char> order = bytes_of(100, 9), quote = bytes_of(196, 10);
    ASSERT_EQ(client.exanic_udp_for_new_order(order.data(), 100, false), 100);
    ASSERT_EQ(client.exanic_udp_for_new_quote(quote.data(), 196, false), 196);
    expect_frame(sniffer, 40032, PEER_IP, PEER_MAC, order.data(), 100);
    expect_frame(sniffer, 40032, PEER_IP, PEER_MAC, quote.data(), 196);
    hux_standin_exanic_set_frame_hook(nullptr, nullptr);
    close(sniffer);
}

TEST(ExanicInit, ServerBehindTheGatewayIsReachedThroughItsMac) {
    EXA_NEED_PAIR();
    // The peer holds an off-link address; the client routes it via the peer.
    ASSERT_EQ(ns_run(netns().peer_ns, "ip addr add 10.88.0.5/32 dev lo"), 0);
    ASSERT_EQ(client_run("ip route add 10.88.0.0/24 via " + std::string(PEER_IP)), 0);
    const int rx = peer_udp_socket(40042);
    const int sniffer = peer_sniffer();
    ASSERT_GE(rx, 0);
    ASSERT_GE(sniffer, 0);
    {
        exanic_udp_client client;
        ASSERT_TRUE(client.init(record("10.88.0.5", 40042, 40041), netns().client_if.c_str(), nullptr, nullptr));
        EXPECT_FALSE(client.same_segment());
        EXPECT_STREQ(client.gateway(), PEER_IP);
        const std::vector<char> order = bytes_of(100, 11);
        ASSERT_EQ(client.exanic_udp_for_new_order(order.data(), 100, false), 100);
        expect_frame(sniffer, 40042, "10.88.0.5", PEER_MAC, order.data(), 100);
        char got[CAP];
        ASSERT_EQ(recv_within(rx, got, sizeof got, 2000), 100);
        EXPECT_EQ(std::memcmp(got, order.data(), 100), 0);
    }
    client_run("ip route del 10.88.0.0/24");
    ns_run(netns().peer_ns, "ip addr del 10.88.0.5/32 dev lo");

    // Without a gateway route the off-link server cannot be reached.
    log_file log("gateway");
    exanic_udp_client client;
    EXPECT_FALSE(client.init(record("10.88.0.5", 40042, 40041), netns().client_if.c_str(), nullptr, log.get()));
    EXPECT_TRUE(log.has("get local gateway fail.\n")) << log.text();
    EXPECT_EQ(hux_standin_exanic_objects_open(), 0);
    close(rx);
    close(sniffer);
}

TEST(ExanicInit, OnlyACompleteNeighbourEntryGivesTheServerMac) {
    EXA_NEED_PAIR();
    // 10.77.0.6: a MAC address kept from before, but the entry failed (no
    // ATF_COM). 10.77.0.7: no entry. 10.77.0.8: complete but all zero.
    // 10.77.0.9: an unanswered resolution, left incomplete.
    const std::string dev = " dev " + netns().client_if;
    ASSERT_EQ(client_run("ip neigh replace 10.77.0.6 lladdr 02:11:22:33:44:06 nud stale" + dev), 0);
    ASSERT_EQ(client_run("ip neigh replace 10.77.0.6 nud failed" + dev), 0);
    ASSERT_EQ(client_run("ip neigh replace 10.77.0.8 lladdr 00:00:00:00:00:00 nud permanent" + dev), 0);
    client_run("ping -c1 -W1 10.77.0.9");
    ASSERT_EQ(client_run("ip neigh show 10.77.0.9 | grep -qE \"INCOMPLETE|FAILED\""), 0);
    for (const char* server : {"10.77.0.6", "10.77.0.7", "10.77.0.8", "10.77.0.9"}) {
        log_file log("remote-mac");
        exanic_udp_client client;
        EXPECT_FALSE(client.init(record(server, 40052, 40051), netns().client_if.c_str(), nullptr, log.get()))
            << server;
        EXPECT_TRUE(log.has("get remote mac fail.\n")) << server << ": " << log.text();
        EXPECT_FALSE(client.ready());
        EXPECT_EQ(hux_standin_exanic_objects_open(), 0) << server;
        EXPECT_EQ(client.exanic_udp_send("x", 1, false), -1);
    }
    client_run("ip neigh del 10.77.0.8" + dev);
    client_run("ip neigh del 10.77.0.6" + dev);
}

TEST(ExanicInit, InterfacesThatAreNotAnExanicPortFail) {
    EXA_NEED_PAIR();
    struct case_t {
        std::string ifname;
        std::string text;
    };
    const case_t cases[] = {
        {"lo", "[exanic_udp_client::init] lo: no such interface or not an ExaNIC"},
        {"exanic0:", "[exanic_udp_client::init] exanic0:: no such interface or not an ExaNIC"},
        {"exanic1:0", "[exanic_udp_client::init] exanic_acquire_handle: exanic1: No such device"},
        {"exanic0:3", "[exanic_udp_client::init] exanic_acquire_tx_buffer: exanic0: no port 3"},
        // A card port by name, but no interface of that name for the lookups.
        {"exanic0:0", "get local mask fail.\n"},
        {"sixteen_chars_xx", "[exanic_udp_client::init] sixteen_chars_xx: no such interface or not an ExaNIC"},
    };
    for (const case_t& c : cases) {
        log_file log("not-exanic");
        exanic_udp_client client;
        EXPECT_FALSE(client.init(record(PEER_IP, 40062, 40061), c.ifname.c_str(), nullptr, log.get())) << c.ifname;
        EXPECT_TRUE(log.has(c.text)) << c.ifname << ": " << log.text();
        EXPECT_EQ(hux_standin_exanic_objects_open(), 0) << c.ifname;
    }

    // The client's own interface once the card has no port there.
    hux_standin_exanic_set_ports("");
    log_file log("no-ports");
    exanic_udp_client client;
    EXPECT_FALSE(client.init(record(PEER_IP, 40062, 40061), netns().client_if.c_str(), nullptr, log.get()));
    EXPECT_TRUE(log.has(netns().client_if + ": no such interface or not an ExaNIC")) << log.text();

    // Record texts without their zero within 16 bytes are refused before the
    // card is touched.
    use_client_port();
    client_server_info info = record(PEER_IP, 40062, 40061);
    std::memset(info.server_ip, '1', sizeof info.server_ip);
    EXPECT_FALSE(client.init(info, netns().client_if.c_str(), nullptr, nullptr));
    info = record(PEER_IP, 40062, 40061);
    std::memset(info.local_ip, '1', sizeof info.local_ip);
    EXPECT_FALSE(client.init(info, netns().client_if.c_str(), nullptr, nullptr));
    EXPECT_EQ(hux_standin_exanic_objects_open(), 0);
    EXPECT_TRUE(client.init(record(PEER_IP, 40062, 40061), netns().client_if.c_str(), nullptr, nullptr));
}

TEST(ExanicInit, ParseDevicePortTakesOnlyDecimalPorts) {
    char device[16];
    int port = -7;
    ASSERT_EQ(exanic_udp_client::parse_device_port("exanic0:1", device, &port), 0);
    EXPECT_STREQ(device, "exanic0");
    EXPECT_EQ(port, 1);
    ASSERT_EQ(exanic_udp_client::parse_device_port("fifteen_chars_x:12", device, &port), 0);
    EXPECT_STREQ(device, "fifteen_chars_x");
    EXPECT_EQ(port, 12);

    std::strcpy(device, "untouched");
    port = -7;
    for (const char* bad : {"exanic0:", "exanic0:1x", "exanic0:-1", "exanic0:+1", "exanic0: 1", "exanic0",
                            ":1", "sixteen_chars_xx:1", "exanic0:1234567890"}) {
        EXPECT_EQ(exanic_udp_client::parse_device_port(bad, device, &port), -1) << bad;
        EXPECT_STREQ(device, "untouched") << bad;
        EXPECT_EQ(port, -7) << bad;
    }
}

TEST(ExanicReset, NewAddressLooksUpTheMacAgainAndPortsAloneKeepIt) {
    EXA_NEED_PAIR();
    const std::string dev = " dev " + netns().client_if + " nud permanent";
    ASSERT_EQ(client_run("ip neigh replace 10.77.0.3 lladdr 02:11:22:33:44:03" + dev), 0);
    const unsigned char mac3[6] = {0x02, 0x11, 0x22, 0x33, 0x44, 0x03};
    const int sniffer = peer_sniffer();
    const int rx = peer_udp_socket(40074);
    ASSERT_GE(sniffer, 0);
    ASSERT_GE(rx, 0);
    log_file log("reset");
    exanic_udp_client client;
    EXPECT_FALSE(client.reset_udp_local_info(CLIENT_IP, 40071, PEER_IP, 40072));  // before init
    ASSERT_TRUE(client.init(record(PEER_IP, 40072, 40071), netns().client_if.c_str(), nullptr, log.get()));
    const std::vector<char> order = bytes_of(100, 21), quote = bytes_of(196, 22), odd = bytes_of(33, 23);
    auto send_all = [&] {
        ASSERT_EQ(client.exanic_udp_send(odd.data(), 33, false), 33);
        ASSERT_EQ(client.exanic_udp_for_new_order(order.data(), 100, false), 100);
        ASSERT_EQ(client.exanic_udp_for_new_quote(quote.data(), 196, false), 196);
    };
    auto expect_all = [&](unsigned short port, const char* ip, const unsigned char* mac) {
        expect_frame(sniffer, port, ip, mac, odd.data(), 33);
        expect_frame(sniffer, port, ip, mac, order.data(), 100);
        expect_frame(sniffer, port, ip, mac, quote.data(), 196);
    };

    // Another server, another MAC.
    ASSERT_TRUE(client.reset_udp_local_info(CLIENT_IP, 40071, "10.77.0.3", 40073));
    send_all();
    expect_all(40073, "10.77.0.3", mac3);

    // An address without a neighbour entry: false, frames as they were.
    EXPECT_FALSE(client.reset_udp_local_info(CLIENT_IP, 40071, "10.77.0.4", 40079));
    EXPECT_TRUE(log.has("get remote mac fail.\n")) << log.text();
    EXPECT_FALSE(client.reset_udp_local_info(CLIENT_IP, 40071, "10.77.0.300", 40079));
    send_all();
    expect_all(40073, "10.77.0.3", mac3);

    // New ports alone: no lookup, even though the entry changed meanwhile.
    ASSERT_EQ(client_run("ip neigh replace 10.77.0.3 lladdr 02:11:22:33:44:05" + dev), 0);
    ASSERT_TRUE(client.reset_udp_local_info(CLIENT_IP, 40075, "10.77.0.3", 40076));
    send_all();
    expect_all(40076, "10.77.0.3", mac3);

    // Back to the peer, whose kernel takes the new frames.
    ASSERT_TRUE(client.reset_udp_local_info(CLIENT_IP, 40075, PEER_IP, 40074));
    send_all();
    expect_all(40074, PEER_IP, PEER_MAC);
    char got[CAP];
    EXPECT_EQ(recv_within(rx, got, sizeof got, 2000), 33);
    EXPECT_EQ(recv_within(rx, got, sizeof got, 2000), 100);
    EXPECT_EQ(recv_within(rx, got, sizeof got, 2000), 196);
    client_run("ip neigh del 10.77.0.3 dev " + netns().client_if);
    close(sniffer);
    close(rx);
}

TEST(ExanicCard, ModelNamesOfBothForms) {
    EXA_NEED_PAIR();
    const char* const names[] = {"unknown",        "unknown",    "ExaNIC X4",  "ExaNIC X2",     "ExaNIC X10",
                                 "ExaNIC X10-GM",  "ExaNIC X40", "ExaNIC X10-HPT", "ExaNIC V5P", "ExaNIC X25",
                                 "ExaNIC X100",    "ExaNIC V9P", "ExaNIC V9P-3", "unknown"};
    for (bool adapter : {false, true}) {
        exanic_udp_client client(adapter);
        char text[exanic_udp_client::NETCARD_TYPE_LEN];
        client.get_exanic_netcard_type(text);
        EXPECT_STREQ(text, "unknown");  // no card yet
        ASSERT_TRUE(client.init(record(PEER_IP, 40082, 40081), netns().client_if.c_str(), nullptr, nullptr));
        for (int type = -1; type <= 13; ++type) {
            hux_standin_exanic_set_hw_type(type);
            client.get_exanic_netcard_type(text);
            const bool adapter_only = type == 10 || type == 12;
            const char* want = type < 0 ? "unknown" : (adapter_only && !adapter) ? "unknown" : names[type];
            EXPECT_STREQ(text, want) << "type " << type << (adapter ? " (adapter)" : "");
        }
        std::strcpy(text, "as it was");
        client.get_exanic_driver_version(text);
        EXPECT_STREQ(text, "as it was");
    }
}

TEST(ExanicAdapterForm, HasNoQuotePath) {
    EXA_NEED_PAIR();
    const int sniffer = peer_sniffer();
    ASSERT_GE(sniffer, 0);
    static frame_log calls;
    calls = frame_log();
    hux_standin_exanic_set_frame_hook(record_frame, &calls);
    exanic_udp_client client(true);
    EXPECT_TRUE(client.adapter_form());
    ASSERT_TRUE(client.init(record(PEER_IP, 40092, 40091), netns().client_if.c_str(), nullptr, nullptr));
    const std::vector<char> order = bytes_of(100, 31), quote = bytes_of(196, 32);
    EXPECT_EQ(client.exanic_udp_for_new_quote(quote.data(), 196, false), -1);
    EXPECT_EQ(client.exanic_udp_for_new_quote(quote.data(), 196, true), -1);
    EXPECT_EQ(calls.calls, 0);

    ASSERT_EQ(client.exanic_udp_for_new_order(order.data(), 100, false), 100);
    expect_frame(sniffer, 40092, PEER_IP, PEER_MAC, order.data(), 100);
    ASSERT_TRUE(client.reset_udp_local_info(CLIENT_IP, 40093, PEER_IP, 40094));
    EXPECT_EQ(client.exanic_udp_for_new_quote(quote.data(), 196, false), -1);
    ASSERT_EQ(client.exanic_udp_for_new_order(order.data(), 100, false), 100);
    expect_frame(sniffer, 40094, PEER_IP, PEER_MAC, order.data(), 100);
    EXPECT_EQ(calls.calls, 2);
    hux_standin_exanic_set_frame_hook(nullptr, nullptr);
    close(sniffer);
}
