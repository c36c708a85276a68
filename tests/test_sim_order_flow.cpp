// The simulated trade server answering new orders: accept, reject, partial
// and full fills, driven by a plain POSIX socket with hand-written requests
// and checked against golden hex.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "sim/sim_trade_server.h"
#include "tests/support/plain_socket.h"

using hux_sim::order_mode;
using hux_sim::sim_config;
using hux_sim::sim_trade_server;
using namespace std::chrono;

namespace {

const milliseconds deadline(5000);

std::string unhex(const std::string& hex) {
    std::string out;
    int hi = -1;
    for (char ch : hex) {
        int v = (ch >= '0' && ch <= '9') ? ch - '0' : (ch >= 'a' && ch <= 'f') ? ch - 'a' + 10 : -1;
        if (v < 0) continue;  // spaces
        if (hi < 0) {
            hi = v;
        } else {
            out.push_back(static_cast<char>(hi * 16 + v));
            hi = -1;
        }
    }
    return out;
}

std::string zeros(size_t n) { return std::string(n, '\0'); }

uint32_t u32_at(const std::string& m, size_t off) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<unsigned char>(m[off + i])) << (8 * i);
    return v;
}

int64_t i64_at(const std::string& m, size_t off) {
    uint64_t v = 0;
    for (size_t i = 0; i < 8; ++i) v |= static_cast<uint64_t>(static_cast<unsigned char>(m[off + i])) << (8 * i);
    return static_cast<int64_t>(v);
}

// A new order, 100 bytes, with its quantity given as 4 little-endian hex bytes.
std::string new_order(const std::string& quantity_hex) {
    return unhex("0a00")                   // type 10
           + unhex("6400")                 // length 100
           + unhex("44332211")             // request tag 0x11223344
           + unhex("e9")                   // user id 1001, low byte
           + zeros(3)                      // bytes 9-11
           + unhex("65")                   // exchange id 101
           + unhex("01")                   // opt_4 1
           + unhex("02")                   // 2: opt_4 and opt_6 set
           + unhex("03")                   // opt_8 3
           + unhex("04")                   // opt_7 4
           + unhex("01")                   // side 1
           + unhex("05")                   // opt_5 5
           + unhex("06")                   // opt_1 6
           + unhex("e8030000")             // client token 1000
           + unhex(quantity_hex)           // quantity
           + unhex("04030201")             // opt_2 0x01020304
           + unhex("40e2010000000000")     // price 12.3456 as 123456
           + unhex("68c5ffffffffffff")     // second price -1.5 as -15000
           + unhex("07")                   // opt_9 7
           + zeros(3)                      // bytes 49-51
           + unhex("0d0c0b0a")             // opt_3 0x0a0b0c0d
           + zeros(4)                      // bytes 56-59
           + unhex("41434331") + zeros(12)      // account "ACC1", 16 bytes
           + unhex("494632343039") + zeros(14)  // symbol "IF2409", 20 bytes
           + zeros(4);                          // bytes 96-99
}

// The 1010 answer to new_order(): result and order number as 4 and 8 hex bytes.
std::string order_answer(const std::string& quantity_hex, const std::string& result_hex,
                         const std::string& order_no_hex) {
    return unhex("f203")                   // type 1010
           + unhex("7800")                 // length 120
           + unhex("44332211")             // request tag, echoed
           + unhex("e9")                   // user id low byte, echoed
           + zeros(1)                      // byte 9
           + zeros(2)                      // two-byte field at 10
           + zeros(1)                      // byte 12
           + unhex("01")                   // opt_4, echoed
           + zeros(3)                      // bytes 14-16
           + unhex("01")                   // side, echoed
           + unhex("05")                   // opt_5, echoed
           + unhex("06")                   // opt_1, echoed
           + unhex("e8030000")             // client token, echoed
           + unhex(quantity_hex)           // quantity, echoed
           + unhex("04030201")             // opt_2, echoed
           + unhex("40e2010000000000")     // price 123456, echoed
           + zeros(12)                     // bytes 40-51
           + unhex("0d0c0b0a")             // opt_3, echoed
           + zeros(4)                      // server order field at 56
           + unhex("41434331") + zeros(12)      // account, echoed
           + unhex("494632343039") + zeros(14)  // symbol, echoed
           + zeros(4)                      // bytes 96-99
           + unhex(result_hex)             // result at 100
           + unhex(order_no_hex)           // order number at 104
           + zeros(4)                      // risk mask at 112
           + zeros(4);                     // bytes 116-119
}

// A 1014 fill of new_order() with the quantity and order number as hex.
std::string execution(const std::string& quantity_hex, const std::string& order_no_hex) {
    return unhex("f603")                   // type 1014
           + unhex("8800")                 // length 136
           + zeros(28)                     // bytes 4-31
           + unhex(order_no_hex)           // order number at 32
           + zeros(34)                     // bytes 40-73
           + unhex(quantity_hex)           // filled quantity at 74
           + unhex("40e2010000000000")     // fill price 123456: the order's
           + zeros(26)                     // bytes 86-111
           + unhex("494632343039") + zeros(14)  // symbol, the order's
           + zeros(4);                          // bytes 132-135
}

// A heart-beat, 16 bytes; its 1200 answer proves that nothing else was
// written before it.
std::string heart_beat() {
    return unhex("c800")        // type 200
           + unhex("1000")      // length 16
           + unhex("01000000")  // sequence 1
           + unhex("e9030000")  // user id 1001
           + zeros(4);          // bytes 12-15
}

std::string heart_beat_answer() {
    return unhex("b004")   // type 1200
           + unhex("1000")  // length 16
           + zeros(12);
}

struct client {
    int fd = -1;
    explicit client(uint16_t port) : fd(hux_test::connect_to(port)) {}
    ~client() {
        if (fd >= 0) ::close(fd);
    }
    std::string read(size_t n) const { return hux_test::read_exact(fd, n, deadline); }
};

sim_config mode(order_mode m, uint32_t parts = 1) {
    sim_config cfg;
    cfg.order_answer = m;
    cfg.order_fill_parts = parts;
    return cfg;
}

// Sends an order and returns the fills' quantities after checking the
// accept; the stream must then hold nothing but the heart-beat answer.
std::vector<uint32_t> fills_of(const client& c, const std::string& quantity_hex, size_t expected_fills) {
    std::vector<uint32_t> out;
    EXPECT_TRUE(hux_test::send_all(c.fd, new_order(quantity_hex) + heart_beat()));
    std::string accept = c.read(120);
    EXPECT_EQ(accept.size(), 120u);
    if (accept.size() != 120u) return out;
    EXPECT_EQ(u32_at(accept, 100), 0u);  // accepted
    const int64_t order_no = i64_at(accept, 104);
    EXPECT_GT(order_no, 0);
    for (size_t i = 0; i < expected_fills; ++i) {
        std::string fill = c.read(136);
        EXPECT_EQ(fill.size(), 136u);
        if (fill.size() != 136u) return out;
        EXPECT_EQ(u32_at(fill, 0) & 0xffff, 1014u);
        EXPECT_EQ(i64_at(fill, 32), order_no);     // the accepted order
        EXPECT_EQ(i64_at(fill, 78), 123456);       // its price
        EXPECT_EQ(fill.substr(112, 20), new_order(quantity_hex).substr(76, 20));  // its symbol
        out.push_back(u32_at(fill, 74));
    }
    EXPECT_EQ(c.read(16), heart_beat_answer());
    return out;
}

uint64_t sum(const std::vector<uint32_t>& v) {
    uint64_t s = 0;
    for (uint32_t q : v) s += q;
    return s;
}

}  // namespace

TEST(SimOrderFlow, AcceptAndRejectEchoTheOrderAndRecordIt) {
    sim_trade_server sim;
    ASSERT_TRUE(sim.listening());
    ASSERT_TRUE(sim.set_config(mode(order_mode::accept)));
    sim_config rej = mode(order_mode::reject);
    rej.order_reject_code = 77;
    ASSERT_TRUE(sim.set_connection_config(1, rej));

    // Connection 0 accepts: the first order gets number 1, the next 2.
    client c0(sim.port());
    ASSERT_GE(c0.fd, 0);
    ASSERT_TRUE(hux_test::send_all(c0.fd, new_order("0a000000")));  // quantity 10
    EXPECT_EQ(c0.read(120), order_answer("0a000000", "00000000", "0100000000000000"));
    ASSERT_TRUE(hux_test::send_all(c0.fd, new_order("0a000000") + heart_beat()));
    EXPECT_EQ(c0.read(120), order_answer("0a000000", "00000000", "0200000000000000"));
    EXPECT_EQ(c0.read(16), heart_beat_answer());  // no fills in between
    ASSERT_TRUE(sim.wait_for_message(0, 10, 2, deadline));
    EXPECT_EQ(sim.last_message(0, 10), new_order("0a000000"));

    // Connection 1 rejects with its own code and gives no order number.
    client c1(sim.port());
    ASSERT_GE(c1.fd, 0);
    ASSERT_TRUE(hux_test::send_all(c1.fd, new_order("0a000000") + heart_beat()));
    const std::string r = c1.read(120);
    EXPECT_EQ(r, order_answer("0a000000", "4d000000", "0000000000000000"));
    ASSERT_EQ(r.size(), 120u);
    EXPECT_EQ(u32_at(r, 100), 77u);
    EXPECT_EQ(c1.read(16), heart_beat_answer());
    ASSERT_TRUE(sim.wait_for_message(1, 10, 1, deadline));
    EXPECT_EQ(sim.messages(1, 10)[0].bytes, new_order("0a000000"));

    // The default answers no order; it is recorded all the same.
    ASSERT_TRUE(sim.set_config(sim_config()));
    client c2(sim.port());
    ASSERT_GE(c2.fd, 0);
    ASSERT_TRUE(hux_test::send_all(c2.fd, new_order("0a000000") + heart_beat()));
    EXPECT_EQ(c2.read(16), heart_beat_answer());
    EXPECT_EQ(sim.count(2, 10), 1u);

    // A mislabelling configuration reaches the order answers too.
    sim_config odd = mode(order_mode::accept);
    odd.length_field = 7;
    ASSERT_TRUE(sim.set_connection_config(3, odd));
    client c3(sim.port());
    ASSERT_GE(c3.fd, 0);
    ASSERT_TRUE(hux_test::send_all(c3.fd, new_order("0a000000")));
    const std::string labelled = c3.read(120);
    ASSERT_EQ(labelled.size(), 120u);
    EXPECT_EQ(labelled.substr(0, 4), unhex("f203 0700"));  // type 1010, length field 7
}

TEST(SimOrderFlow, FillsAddUpToTheQuantityOrFallShort) {
    sim_trade_server sim;
    ASSERT_TRUE(sim.set_config(mode(order_mode::fill, 3)));
    sim_config partial = mode(order_mode::partial, 3);
    ASSERT_TRUE(sim.set_connection_config(1, partial));

    // Full fill of 10 in three parts: 4, 3, 3, the first checked byte for byte.
    client full(sim.port());
    ASSERT_GE(full.fd, 0);
    ASSERT_TRUE(hux_test::send_all(full.fd, new_order("0a000000")));
    EXPECT_EQ(full.read(120), order_answer("0a000000", "00000000", "0100000000000000"));
    EXPECT_EQ(full.read(136), execution("04000000", "0100000000000000"));
    EXPECT_EQ(full.read(136), execution("03000000", "0100000000000000"));
    EXPECT_EQ(full.read(136), execution("03000000", "0100000000000000"));

    // Fewer lots than parts: one fill per lot; no fills of 0; none for 0.
    EXPECT_EQ(fills_of(full, "02000000", 2), (std::vector<uint32_t>{1, 1}));
    EXPECT_EQ(fills_of(full, "00000000", 0), std::vector<uint32_t>());
    // A quantity above the int32 range comes back whole, not cut.
    std::vector<uint32_t> big = fills_of(full, "00286bee", 3);  // 4000000000
    EXPECT_EQ(sum(big), 4000000000u);
    EXPECT_EQ(big, (std::vector<uint32_t>{1333333334, 1333333333, 1333333333}));

    // Partial: the fills leave the order short.
    client part(sim.port());
    ASSERT_GE(part.fd, 0);
    std::vector<uint32_t> p = fills_of(part, "0a000000", 3);  // 9 of 10
    EXPECT_EQ(p, (std::vector<uint32_t>{3, 3, 3}));
    EXPECT_LT(sum(p), 10u);
    EXPECT_EQ(fills_of(part, "02000000", 1), std::vector<uint32_t>{1});  // 1 of 2
    EXPECT_EQ(fills_of(part, "01000000", 0), std::vector<uint32_t>());   // nothing of 1
    EXPECT_EQ(fills_of(part, "00000000", 0), std::vector<uint32_t>());
    EXPECT_EQ(sim.count(1, 10), 4u);

    // The fills carry the order's price as the wire integer, negative too.
    sim_config one = mode(order_mode::fill, 1);
    ASSERT_TRUE(sim.set_connection_config(2, one));
    client neg(sim.port());
    ASSERT_GE(neg.fd, 0);
    std::string order = new_order("05000000");
    order.replace(32, 8, unhex("fbffffffffffffff"));  // price -0.0005 as -5
    ASSERT_TRUE(hux_test::send_all(neg.fd, order));
    const std::string accept = neg.read(120);
    ASSERT_EQ(accept.size(), 120u);
    EXPECT_EQ(i64_at(accept, 32), -5);
    const std::string fill = neg.read(136);
    ASSERT_EQ(fill.size(), 136u);
    EXPECT_EQ(i64_at(fill, 78), -5);
    EXPECT_EQ(u32_at(fill, 74), 5u);
}

TEST(SimOrderFlow, ScriptKeysSetTheOrderAnswersAndBadValuesAreRefused) {
    sim_config cfg;
    std::string error;
    ASSERT_TRUE(hux_sim::parse_script("order_mode partial\norder_reject_code 4294967295\norder_fill_parts 1000\n",
                                      cfg, error))
        << error;
    EXPECT_EQ(cfg.order_answer, order_mode::partial);
    EXPECT_EQ(cfg.order_reject_code, 4294967295u);
    EXPECT_EQ(cfg.order_fill_parts, 1000u);
    const std::pair<const char*, order_mode> modes[] = {{"none", order_mode::none},
                                                        {"accept", order_mode::accept},
                                                        {"reject", order_mode::reject},
                                                        {"fill", order_mode::fill}};
    for (const auto& m : modes) {
        ASSERT_TRUE(hux_sim::parse_script(std::string("order_mode ") + m.first + "\n", cfg, error)) << m.first;
        EXPECT_EQ(cfg.order_answer, m.second) << m.first;
    }

    for (const char* line : {"order_mode", "order_mode Accept", "order_mode fill 2", "order_reject_code 0",
                             "order_reject_code -1", "order_reject_code 4294967296", "order_reject_code x",
                             "order_fill_parts 0", "order_fill_parts 1001", "order_fill_parts 3x"}) {
        sim_config c;
        std::string why;
        EXPECT_FALSE(hux_sim::parse_script(std::string("order_mode accept\n") + line + "\n", c, why)) << line;
        EXPECT_NE(why.find("line 2"), std::string::npos) << line << ": " << why;
    }

    // The same limits hold for a configuration set in code.
    sim_trade_server sim;
    sim_config bad;
    bad.order_reject_code = 0;
    EXPECT_FALSE(sim.set_config(bad));
    bad = sim_config();
    bad.order_fill_parts = 0;
    EXPECT_FALSE(sim.set_connection_config(0, bad));
    bad.order_fill_parts = hux_sim::max_order_fill_parts + 1;
    EXPECT_FALSE(sim.set_config(bad));
    EXPECT_TRUE(sim.config().order_answer == order_mode::none);
}
