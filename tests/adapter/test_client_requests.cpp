// The requests the two-session client builds, as the simulated server
// received them (trade and query ports, loopback, in this process), against
// images written by hand byte by byte: single orders (side conversion, the
// coded bytes, prices at the edges of the wire's integer), batches of 16
// orders and 37 cancels as one write each, both cancel modes, the special
// order and its cancel, the status queries of the trade port and every
// request of the query port; and the client's own refusals (9, 10, 11, 15,
// 17, 18, 24, quantity 0, sends that fail) with what they leave behind:
// nothing on the wire, and the token mark where the rules put it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "tests/adapter/client_support.h"
#include "tools/precise_time.h"

namespace {

using namespace client_test;

// ---------------------------------------------------------------- records

// A new order with every byte the client does not read set to 0xee.
HUX_EnterOrderField order_record() {
    HUX_EnterOrderField o;
    std::memset(&o, 0xee, sizeof(o));
    std::memset(o.account, 0, sizeof(o.account));
    std::memset(o.symbol, 0, sizeof(o.symbol));
    return o;
}

// The order most tests send: account ACC001, symbol IF2406, side 1 on
// exchange 101, 5000.5, opt_1 0, opt_5 2, opt_8 1, everything else 0.
HUX_EnterOrderField plain_order(uint32_t token, uint32_t quantity = 1) {
    HUX_EnterOrderField o = order_record();
    std::strcpy(o.account, "ACC001");
    o.side = 1;
    o.exchange_id = 101;
    std::strcpy(o.symbol, "IF2406");
    o.price = 5000.5;
    o.quantity = quantity;
    o.client_token = token;
    o.opt_1 = 0;
    o.opt_2 = 0;
    o.opt_3 = 0;
    o.opt_4 = 0;
    o.opt_5 = 2;
    o.opt_6 = 0;
    o.keep_side = 0;
    o.opt_8 = 1;
    o.second_price = 0.0;
    o.opt_9 = 0;
    return o;
}

// The wire image of plain_order (100 bytes) from user 1001.
std::string plain_order_hex(uint32_t token, uint32_t quantity = 1) {
    return "0a00"                          // 0: type 10
           "6400"                          // 2: length 100
           "00000000"                      // 4: zero
           "e9"                            // 8: user id 1001, low byte
           "000000"                        // 9: zero
           "65"                            // 12: exchange 101
           "00"                            // 13: opt_4
           "00"                            // 14: 0 (opt_4 is 0)
           "01"                            // 15: opt_8
           "00"                            // 16: zero
           "01"                            // 17: side 1
           "02"                            // 18: opt_5
           "01"                            // 19: opt_1 0 sent as 1
           + le_hex(token, 4)              // 20: client token
           + le_hex(quantity, 4)           // 24: quantity
           + "00000000"                    // 28: opt_2
           "0804fb0200000000"              // 32: 5000.5 -> (5000.5 + 0.00001) x 10000 = 50005000
           "0000000000000000"              // 40: second price 0
           "00"                            // 48: opt_9
           "000000"                        // 49: zero
           "00000000"                      // 52: opt_3
           "00000000"                      // 56: zero
           + text_hex("ACC001", 16)        // 60: account
           + text_hex("IF2406", 20)        // 76: symbol
           + "00000000";                   // 96: zero
}

// A cancel with every byte the client does not read set to 0xee.
HUX_CancelOrder cancel_record(uint8_t mode, uint32_t token) {
    HUX_CancelOrder c;
    std::memset(&c, 0xee, sizeof(c));
    c.market_token = 0;
    c.opt_1 = 0;
    c.opt_2 = 0;
    c.opt_3 = 0;
    c.cancel_mode = mode;
    c.client_token = token;
    c.owner_token = 0;
    c.owner_user_id = 0;
    return c;
}

// The wire image of a mode-0 cancel of `market` with no options (44 bytes).
std::string plain_cancel_hex(uint32_t token, uint32_t market) {
    return "0b00"               // 0: type 11
           "2c00"               // 2: length 44
           "00000000"           // 4: zero
           "e9030000"           // 8: user id 1001
           + le_hex(token, 4)   // 12: client token
           + le_hex(market, 4)  // 16: market token
           + "00000000"         // 20: owner user id (mode 0: none)
           "00000000"           // 24: owner token (mode 0: none)
           "00"                 // 28: opt_1
           "00"                 // 29: 0 (opt_1 is 0)
           "00"                 // 30: opt_3
           "00"                 // 31: cancel mode 0
           + zeros_hex(12);     // 32: zero
}

// A marker request on the trade connection, and everything the server got
// before it: what a refused request would have sent is there or not.
std::vector<sim_message> trade_until_marker(rig& r, size_t marker_no) {
    EXPECT_EQ(0, r.client->QueryMarketSession());
    EXPECT_TRUE(r.srv.wait_for_message(0, 84, marker_no, wait_limit()));
    std::vector<sim_message> out;
    for (const sim_message& m : r.srv.messages(0))
        if (m.type != 80 && m.type != 70) out.push_back(m);
    return out;
}

// The same on the query connection, with a user-account query as marker.
std::vector<sim_message> query_until_marker(rig& r, size_t marker_no) {
    EXPECT_EQ(0, r.client->QueryUserAccount());
    EXPECT_TRUE(r.srv.wait_for_query_message(0, 71, marker_no, wait_limit()));
    std::vector<sim_message> out;
    for (const sim_message& m : r.srv.query_messages(0))
        if (m.type != 68) out.push_back(m);
    return out;
}

const double NaN = std::numeric_limits<double>::quiet_NaN();
const double INF = std::numeric_limits<double>::infinity();

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A fresh directory under /tmp whose name the log directory rule accepts,
// removed with everything in it when the object goes.
class scratch_dir {
public:
    scratch_dir() {
        char name[] = "/tmp/hux_client_XXXXXX";
        const char* made = mkdtemp(name);
        if (made) m_path = made;
    }
    ~scratch_dir() {
        std::error_code ignored;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
    }
    scratch_dir(const scratch_dir&) = delete;
    scratch_dir& operator=(const scratch_dir&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

}  // namespace

// ---------------------------------------------------------------- single orders

TEST(ClientOrders, EachOrderGoesOutAsItsHandWrittenImage) {
    rig r;
    ASSERT_TRUE(r.log_on());
    ASSERT_EQ(100u, r.client->GetMaxToken());
    std::vector<std::string> expected;

    // Side 6 on 105 converted; opt_1 0, opt_8 0 and opt_6 0 coded; a
    // 16-character account without terminator goes whole.
    HUX_EnterOrderField a = order_record();
    std::memcpy(a.account, "ACCT567890123456", 16);
    a.side = 6;
    a.exchange_id = 105;
    std::strcpy(a.symbol, "IF2406");
    a.price = 12.34;
    a.quantity = 3;
    a.client_token = 101;
    a.opt_1 = 0;
    a.opt_2 = 0xa1b2c3d4;
    a.opt_3 = 0x01020304;
    a.opt_4 = 1;
    a.opt_5 = 2;
    a.opt_6 = 0;
    a.keep_side = 0;
    a.opt_8 = 0;
    a.second_price = 0.00001;
    a.opt_9 = 9;
    EXPECT_EQ(0, r.client->EnterOrder(a));
    expected.push_back("0a00"                                // 0: type 10
                       "6400"                                // 2: length 100
                       "00000000"                            // 4: zero
                       "e9"                                  // 8: user id 1001, low byte
                       "000000"                              // 9: zero
                       "69"                                  // 12: exchange 105
                       "01"                                  // 13: opt_4
                       "01"                                  // 14: 1 (opt_4 set, opt_6 0)
                       "01"                                  // 15: opt_8 0 is out of 1..6: 1
                       "00"                                  // 16: zero
                       "16"                                  // 17: side 6 on 105: 22
                       "02"                                  // 18: opt_5
                       "01"                                  // 19: opt_1 0 sent as 1
                       "65000000"                            // 20: client token 101
                       "03000000"                            // 24: quantity 3
                       "d4c3b2a1"                            // 28: opt_2
                       "08e2010000000000"                    // 32: 12.34 -> 123400
                       "0000000000000000"                    // 40: 0.00001 -> 0
                       "09"                                  // 48: opt_9
                       "000000"                              // 49: zero
                       "04030201"                            // 52: opt_3
                       "00000000"                            // 56: zero
                       + hex(std::string("ACCT567890123456"))  // 60: account, all 16 bytes
                       + text_hex("IF2406", 20)              // 76: symbol
                       + "00000000");                        // 96: zero

    // Side 6 on 100 unchanged; opt_1 2 kept; opt_8 7 out of range; opt_6
    // set; a negative price.
    HUX_EnterOrderField b = order_record();
    std::strcpy(b.account, "ACC2");
    b.side = 6;
    b.exchange_id = 100;
    std::strcpy(b.symbol, "cu2409");
    b.price = -12.34;
    b.quantity = 1;
    b.client_token = 102;
    b.opt_1 = 2;
    b.opt_2 = 0;
    b.opt_3 = 0;
    b.opt_4 = 2;
    b.opt_5 = 0;
    b.opt_6 = 5;
    b.keep_side = 0;
    b.opt_8 = 7;
    b.second_price = 12.34;
    b.opt_9 = 0;
    EXPECT_EQ(0, r.client->EnterOrder(b));
    expected.push_back("0a00"                      // 0: type 10
                       "6400"                      // 2: length 100
                       "00000000"                  // 4: zero
                       "e9"                        // 8: user id, low byte
                       "000000"                    // 9: zero
                       "64"                        // 12: exchange 100
                       "02"                        // 13: opt_4
                       "02"                        // 14: 2 (opt_4 set, opt_6 set)
                       "01"                        // 15: opt_8 7 is out of 1..6: 1
                       "00"                        // 16: zero
                       "06"                        // 17: side 6 on 100 unchanged
                       "00"                        // 18: opt_5
                       "02"                        // 19: opt_1 2 sent as 2
                       "66000000"                  // 20: client token 102
                       "01000000"                  // 24: quantity 1
                       "00000000"                  // 28: opt_2
                       "f81dfeffffffffff"          // 32: -12.34 -> -123400
                       "08e2010000000000"          // 40: 12.34 -> 123400
                       "00"                        // 48: opt_9
                       "000000"                    // 49: zero
                       "00000000"                  // 52: opt_3
                       "00000000"                  // 56: zero
                       + text_hex("ACC2", 16)      // 60: account
                       + text_hex("cu2409", 20)    // 76: symbol
                       + "00000000");              // 96: zero

    // Side 3 on 102 converted; opt_1 99998 (the warm-up default) sent as 0;
    // opt_8 6 kept; opt_4 0 makes its kind 0 whatever opt_6 says; prices of
    // 0.00001 in magnitude are 0.
    HUX_EnterOrderField c = order_record();
    std::strcpy(c.account, "A");
    c.side = 3;
    c.exchange_id = 102;
    std::strcpy(c.symbol, "S");
    c.price = 0.00001;
    c.quantity = 0xffffffffu;
    c.client_token = 103;
    c.opt_1 = 99998;
    c.opt_2 = 0xffffffffu;
    c.opt_3 = 0;
    c.opt_4 = 0;
    c.opt_5 = 0x7f;
    c.opt_6 = 9;
    c.keep_side = 0;
    c.opt_8 = 6;
    c.second_price = -0.00001;
    c.opt_9 = 0xff;
    EXPECT_EQ(0, r.client->EnterOrder(c));
    expected.push_back("0a00"                  // 0: type 10
                       "6400"                  // 2: length 100
                       "00000000"              // 4: zero
                       "e9"                    // 8: user id, low byte
                       "000000"                // 9: zero
                       "66"                    // 12: exchange 102
                       "00"                    // 13: opt_4
                       "00"                    // 14: 0 (opt_4 is 0)
                       "06"                    // 15: opt_8 6
                       "00"                    // 16: zero
                       "15"                    // 17: side 3 on 102: 21
                       "7f"                    // 18: opt_5
                       "00"                    // 19: opt_1 99998 sent as 0
                       "67000000"              // 20: client token 103
                       "ffffffff"              // 24: quantity 4294967295
                       "ffffffff"              // 28: opt_2
                       "0000000000000000"      // 32: 0.00001 -> 0
                       "0000000000000000"      // 40: -0.00001 -> 0
                       "ff"                    // 48: opt_9
                       "000000"                // 49: zero
                       "00000000"              // 52: opt_3
                       "00000000"              // 56: zero
                       + text_hex("A", 16)     // 60: account
                       + text_hex("S", 20)     // 76: symbol
                       + "00000000");          // 96: zero

    // keep_side set: side 6 on 105 unchanged; opt_1 1 sent as 0; the
    // smallest price above the dead band and the largest the wire carries.
    HUX_EnterOrderField d = plain_order(104);
    d.side = 6;
    d.exchange_id = 105;
    d.keep_side = 1;
    d.opt_1 = 1;
    d.opt_4 = 0xff;
    d.opt_6 = 1;
    d.price = 0.0001;
    d.second_price = 9.2e14;
    EXPECT_EQ(0, r.client->EnterOrder(d));
    expected.push_back("0a00"                      // 0: type 10
                       "6400"                      // 2: length 100
                       "00000000"                  // 4: zero
                       "e9"                        // 8: user id, low byte
                       "000000"                    // 9: zero
                       "69"                        // 12: exchange 105
                       "ff"                        // 13: opt_4
                       "02"                        // 14: 2 (opt_4 set, opt_6 set)
                       "01"                        // 15: opt_8 1
                       "00"                        // 16: zero
                       "06"                        // 17: side 6 kept
                       "02"                        // 18: opt_5
                       "00"                        // 19: opt_1 1 sent as 0
                       "68000000"                  // 20: client token 104
                       "01000000"                  // 24: quantity 1
                       "00000000"                  // 28: opt_2
                       "0100000000000000"          // 32: 0.0001 -> (0.00011 x 10000 = 1.1) -> 1
                       "0000989d41f7ac7f"          // 40: 9.2e14 -> 9200000000000000000
                       "00"                        // 48: opt_9
                       "000000"                    // 49: zero
                       "00000000"                  // 52: opt_3
                       "00000000"                  // 56: zero
                       + text_hex("ACC001", 16)    // 60: account
                       + text_hex("IF2406", 20)    // 76: symbol
                       + "00000000");              // 96: zero

    // Side 2 on 108 converted; the most negative price the wire carries.
    HUX_EnterOrderField e = plain_order(105);
    e.side = 2;
    e.exchange_id = 108;
    e.price = -9.2e14;
    e.second_price = 5000.5;
    e.opt_1 = 3;
    EXPECT_EQ(0, r.client->EnterOrder(e));
    expected.push_back("0a00"                      // 0: type 10
                       "6400"                      // 2: length 100
                       "00000000"                  // 4: zero
                       "e9"                        // 8: user id, low byte
                       "000000"                    // 9: zero
                       "6c"                        // 12: exchange 108
                       "00"                        // 13: opt_4
                       "00"                        // 14: 0 (opt_4 is 0)
                       "01"                        // 15: opt_8 1
                       "00"                        // 16: zero
                       "16"                        // 17: side 2 on 108: 22
                       "02"                        // 18: opt_5
                       "00"                        // 19: opt_1 3 sent as 0
                       "69000000"                  // 20: client token 105
                       "01000000"                  // 24: quantity 1
                       "00000000"                  // 28: opt_2
                       "00006862be085380"          // 32: -9.2e14 -> -9200000000000000000
                       "0804fb0200000000"          // 40: 5000.5 -> 50005000
                       "00"                        // 48: opt_9
                       "000000"                    // 49: zero
                       "00000000"                  // 52: opt_3
                       "00000000"                  // 56: zero
                       + text_hex("ACC001", 16)    // 60: account
                       + text_hex("IF2406", 20)    // 76: symbol
                       + "00000000");              // 96: zero

    const std::vector<sim_message> got = trade_until_marker(r, 1);
    ASSERT_EQ(expected.size() + 1, got.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(expected[i], hex(got[i].bytes)) << "order " << i;
    EXPECT_EQ(105u, r.client->GetMaxToken());
}

TEST(ClientOrders, RefusedOrdersSendNothingAndMoveTheTokenOnlyWhereTheRulesSay) {
    rig r;
    ASSERT_TRUE(r.log_on());
    ASSERT_EQ(100u, r.client->GetMaxToken());

    // Quantity 0: 0 before any check, nothing sent, no token raised.
    HUX_EnterOrderField zero = plain_order(500, 0);
    zero.price = NaN;
    zero.exchange_id = 99;
    EXPECT_EQ(0, r.client->EnterOrder(zero));
    EXPECT_EQ(100u, r.client->GetMaxToken());

    // Token not above the mark: 9.
    EXPECT_EQ(9, r.client->EnterOrder(plain_order(100)));
    EXPECT_EQ(9, r.client->EnterOrder(plain_order(7)));
    EXPECT_EQ(100u, r.client->GetMaxToken());

    // A price the wire cannot carry: 24 before the token moves.
    const double bad_prices[] = {NaN, INF, -INF, 1e300, -1e300, 9.3e14, -9.3e14};
    for (double p : bad_prices) {
        HUX_EnterOrderField o = plain_order(200);
        o.price = p;
        EXPECT_EQ(24, r.client->EnterOrder(o)) << p;
        o = plain_order(200);
        o.second_price = p;
        EXPECT_EQ(24, r.client->EnterOrder(o)) << "second price " << p;
    }
    EXPECT_EQ(100u, r.client->GetMaxToken());

    // An exchange outside 100..108: 18, after the token was raised.
    HUX_EnterOrderField low = plain_order(201);
    low.exchange_id = 99;
    EXPECT_EQ(18, r.client->EnterOrder(low));
    EXPECT_EQ(201u, r.client->GetMaxToken());
    HUX_EnterOrderField high = plain_order(202);
    high.exchange_id = 109;
    EXPECT_EQ(18, r.client->EnterOrder(high));
    EXPECT_EQ(202u, r.client->GetMaxToken());
    EXPECT_EQ(9, r.client->EnterOrder(plain_order(202)));  // the refused order's token is spent

    // Only the order that passed every check arrived.
    EXPECT_EQ(0, r.client->EnterOrder(plain_order(203)));
    const std::vector<sim_message> got = trade_until_marker(r, 1);
    ASSERT_EQ(2u, got.size());
    EXPECT_EQ(plain_order_hex(203), hex(got[0].bytes));
    EXPECT_EQ(84, got[1].type);
}

// ---------------------------------------------------------------- batches

TEST(ClientOrders, ABatchOfSixteenIsOneWriteOfSixteenImagesInOrder) {
    rig r;
    scratch_dir dir;
    ASSERT_FALSE(dir.path().empty());
    r.client->Trade().SetLogDir(dir.path().c_str());
    r.client->Trade().SetLoggerSwitch(true);
    ASSERT_TRUE(r.log_on());

    std::vector<HUX_EnterOrderField> batch;
    std::string image_hex;
    for (uint32_t i = 0; i < 16; ++i) {
        batch.push_back(plain_order(301 + i, 10 + i));
        image_hex += plain_order_hex(301 + i, 10 + i);
    }
    // No quantity test in a batch.
    batch[5].quantity = 0;
    image_hex.replace(5 * 200 + 2 * 24, 8, "00000000");
    EXPECT_EQ(0, r.client->EnterMultiOrders(batch.data(), 16));
    EXPECT_EQ(316u, r.client->GetMaxToken());

    const std::vector<sim_message> got = trade_until_marker(r, 1);
    ASSERT_EQ(17u, got.size());
    std::string received;
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(10, got[i].type) << i;
        EXPECT_EQ(100u, got[i].bytes.size()) << i;
        received += got[i].bytes;
    }
    EXPECT_EQ(image_hex, hex(received));

    // One send of all 1600 bytes: the binary log holds it as one record.
    r.client->Trade().LoggerFlush();
    const std::string bin = read_file(dir.path() + "/tavlog_" + precise_time::get_start_date() + ".bin");
    EXPECT_NE(std::string::npos, bin.find(" 01600 0 " + unhex(image_hex) + "\n"));
    EXPECT_EQ(std::string::npos, bin.find(" 00100 0 \x0a"));
}

TEST(ClientOrders, BatchRefusalsComeInTheirOrderAndSendNothing) {
    rig r;
    ASSERT_TRUE(r.log_on());
    std::vector<HUX_EnterOrderField> bad(17, plain_order(50));
    for (HUX_EnterOrderField& o : bad) o.price = NaN;

    // A count outside 1..16: 11 before any record is looked at.
    EXPECT_EQ(11, r.client->EnterMultiOrders(bad.data(), 0));
    EXPECT_EQ(11, r.client->EnterMultiOrders(bad.data(), -1));
    EXPECT_EQ(11, r.client->EnterMultiOrders(bad.data(), 17));
    EXPECT_EQ(100u, r.client->GetMaxToken());

    // A refused third record: the first two tokens stay raised.
    std::vector<HUX_EnterOrderField> three = {plain_order(401), plain_order(402), plain_order(402)};
    EXPECT_EQ(9, r.client->EnterMultiOrders(three.data(), 3));
    EXPECT_EQ(402u, r.client->GetMaxToken());

    three = {plain_order(411), plain_order(412), plain_order(413)};
    three[2].exchange_id = 109;
    EXPECT_EQ(18, r.client->EnterMultiOrders(three.data(), 3));
    EXPECT_EQ(413u, r.client->GetMaxToken());

    three = {plain_order(421), plain_order(422), plain_order(423)};
    three[2].second_price = INF;
    EXPECT_EQ(24, r.client->EnterMultiOrders(three.data(), 3));
    EXPECT_EQ(422u, r.client->GetMaxToken());

    // Cancel batches: 11 outside 1..37.
    std::vector<HUX_CancelOrder> cancels(38, cancel_record(0, 0));
    EXPECT_EQ(11, r.client->EnterMultiCxlOrders(cancels.data(), 0));
    EXPECT_EQ(11, r.client->EnterMultiCxlOrders(cancels.data(), 38));

    // A batch of one is a batch.
    HUX_EnterOrderField one = plain_order(430);
    EXPECT_EQ(0, r.client->EnterMultiOrders(&one, 1));
    const std::vector<sim_message> got = trade_until_marker(r, 1);
    ASSERT_EQ(2u, got.size());
    EXPECT_EQ(plain_order_hex(430), hex(got[0].bytes));
}

// ---------------------------------------------------------------- cancels

TEST(ClientCancels, BothModesAndTheTokensTheyRaise) {
    rig r;
    ASSERT_TRUE(r.log_on());
    std::vector<std::string> expected;

    // Mode 0: the low 32 bits of the market token; the owner fields are not
    // sent. A token above the mark raises it.
    HUX_CancelOrder m0 = cancel_record(0, 150);
    m0.market_token = 0x1122334455667788ull;
    m0.owner_token = 0x0badf00d;
    m0.owner_user_id = 0x0bad;
    m0.opt_1 = 3;
    m0.opt_2 = 0;
    m0.opt_3 = 0x44;
    EXPECT_EQ(0, r.client->CancelOrder(m0));
    EXPECT_EQ(150u, r.client->GetMaxToken());
    expected.push_back("0b00"           // 0: type 11
                       "2c00"           // 2: length 44
                       "00000000"       // 4: zero
                       "e9030000"       // 8: user id 1001, whole
                       "96000000"       // 12: client token 150
                       "88776655"       // 16: market token, low 32 bits
                       "00000000"       // 20: owner user id: not in mode 0
                       "00000000"       // 24: owner token: not in mode 0
                       "03"             // 28: opt_1
                       "01"             // 29: 1 (opt_1 set, opt_2 0)
                       "44"             // 30: opt_3
                       "00"             // 31: cancel mode 0
                       + zeros_hex(12));  // 32: zero

    // Mode 1 with no owner: the session's user id; the market token is not
    // sent. A token below the mark is sent all the same, the mark kept.
    HUX_CancelOrder m1 = cancel_record(1, 120);
    m1.market_token = 0x1122334455667788ull;
    m1.owner_token = 0x01020304;
    m1.owner_user_id = 0;
    m1.opt_1 = 3;
    m1.opt_2 = 7;
    m1.opt_3 = 0;
    EXPECT_EQ(0, r.client->CancelOrder(m1));
    EXPECT_EQ(150u, r.client->GetMaxToken());
    expected.push_back("0b00"           // 0: type 11
                       "2c00"           // 2: length 44
                       "00000000"       // 4: zero
                       "e9030000"       // 8: user id 1001
                       "78000000"       // 12: client token 120
                       "00000000"       // 16: market token: not in mode 1
                       "e9030000"       // 20: owner user id 0 -> the user id
                       "04030201"       // 24: owner token
                       "03"             // 28: opt_1
                       "02"             // 29: 2 (opt_1 set, opt_2 set)
                       "00"             // 30: opt_3
                       "01"             // 31: cancel mode 1
                       + zeros_hex(12));  // 32: zero

    // Mode 1 with an owner; token 0 raises nothing.
    HUX_CancelOrder m2 = cancel_record(1, 0);
    m2.owner_token = 9;
    m2.owner_user_id = 777;
    EXPECT_EQ(0, r.client->CancelOrder(m2));
    EXPECT_EQ(150u, r.client->GetMaxToken());
    expected.push_back("0b00"           // 0: type 11
                       "2c00"           // 2: length 44
                       "00000000"       // 4: zero
                       "e9030000"       // 8: user id 1001
                       "00000000"       // 12: client token 0
                       "00000000"       // 16: market token: not in mode 1
                       "09030000"       // 20: owner user id 777
                       "09000000"       // 24: owner token 9
                       "00"             // 28: opt_1
                       "00"             // 29: 0 (opt_1 is 0)
                       "00"             // 30: opt_3
                       "01"             // 31: cancel mode 1
                       + zeros_hex(12));  // 32: zero

    // Any mode but 1 sends the market token.
    HUX_CancelOrder m5 = cancel_record(5, 151);
    m5.market_token = 0xffffffff00000001ull;
    m5.owner_user_id = 777;
    EXPECT_EQ(0, r.client->CancelOrder(m5));
    expected.push_back("0b00"           // 0: type 11
                       "2c00"           // 2: length 44
                       "00000000"       // 4: zero
                       "e9030000"       // 8: user id 1001
                       "97000000"       // 12: client token 151
                       "01000000"       // 16: market token, low 32 bits
                       "00000000"       // 20: owner user id: not in mode 5
                       "00000000"       // 24: owner token: not in mode 5
                       "00"             // 28: opt_1
                       "00"             // 29: 0 (opt_1 is 0)
                       "00"             // 30: opt_3
                       "05"             // 31: cancel mode 5
                       + zeros_hex(12));  // 32: zero

    const std::vector<sim_message> got = trade_until_marker(r, 1);
    ASSERT_EQ(expected.size() + 1, got.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(expected[i], hex(got[i].bytes)) << "cancel " << i;
}

TEST(ClientCancels, ABatchOfThirtySevenIsOneWriteAndRaisesNoToken) {
    rig r;
    scratch_dir dir;
    ASSERT_FALSE(dir.path().empty());
    r.client->Trade().SetLogDir(dir.path().c_str());
    r.client->Trade().SetLoggerSwitch(true);
    ASSERT_TRUE(r.log_on());

    std::vector<HUX_CancelOrder> batch;
    std::string image_hex;
    for (uint32_t i = 0; i < 37; ++i) {
        HUX_CancelOrder c = cancel_record(0, 1000 + i);
        c.market_token = 0x100000000ull * 7 + 5000 + i;
        batch.push_back(c);
        image_hex += plain_cancel_hex(1000 + i, 5000 + i);
    }
    EXPECT_EQ(0, r.client->EnterMultiCxlOrders(batch.data(), 37));
    EXPECT_EQ(100u, r.client->GetMaxToken());

    const std::vector<sim_message> got = trade_until_marker(r, 1);
    ASSERT_EQ(38u, got.size());
    std::string received;
    for (size_t i = 0; i < 37; ++i) {
        EXPECT_EQ(11, got[i].type) << i;
        received += got[i].bytes;
    }
    EXPECT_EQ(1628u, received.size());
    EXPECT_EQ(image_hex, hex(received));
    r.client->Trade().LoggerFlush();
    const std::string bin = read_file(dir.path() + "/tavlog_" + precise_time::get_start_date() + ".bin");
    EXPECT_NE(std::string::npos, bin.find(" 01628 0 " + unhex(image_hex) + "\n"));
}

// ---------------------------------------------------------------- special orders

TEST(ClientSpecialOrders, TheOrderAndItsCancelAsWritten) {
    rig r;
    ASSERT_TRUE(r.log_on());

    HUX_EnterSpecialOrderField s;
    std::memset(&s, 0xee, sizeof(s));
    s.request_tag = 0x11223344;
    std::memset(s.account, 0, sizeof(s.account));
    std::strcpy(s.account, "SPC01");
    s.opt_1 = 0x21;
    s.exchange_id = 104;
    std::memset(s.symbol, 0, sizeof(s.symbol));
    std::strcpy(s.symbol, "m2409");
    s.opt_2 = 0x0a0b0c0d;
    s.client_token = 600;
    s.opt_3 = 0x05060708;
    s.opt_4 = 1;
    s.opt_5 = 0x35;
    s.opt_6 = 0;
    s.opt_7 = 0x37;

    // Token first (9), then exchange (18, the token raised).
    HUX_EnterSpecialOrderField old_token = s;
    old_token.client_token = 100;
    EXPECT_EQ(9, r.client->EnterSpecialOrder(old_token));
    HUX_EnterSpecialOrderField bad_exchange = s;
    bad_exchange.client_token = 590;
    bad_exchange.exchange_id = 109;
    EXPECT_EQ(18, r.client->EnterSpecialOrder(bad_exchange));
    EXPECT_EQ(590u, r.client->GetMaxToken());
    bad_exchange.client_token = 595;
    bad_exchange.exchange_id = 99;
    EXPECT_EQ(18, r.client->EnterSpecialOrder(bad_exchange));
    EXPECT_EQ(595u, r.client->GetMaxToken());

    EXPECT_EQ(0, r.client->EnterSpecialOrder(s));
    EXPECT_EQ(600u, r.client->GetMaxToken());

    HUX_CancelSpecialOrder c;
    std::memset(&c, 0xee, sizeof(c));
    c.request_tag = 0x55667788;
    c.market_token = 0x99aabbcc;
    c.opt_1 = 2;
    c.opt_2 = 1;
    c.cancel_mode = 0;
    c.client_token = 610;
    c.owner_token = 0x0badf00d;
    c.owner_user_id = 0x0bad;
    EXPECT_EQ(0, r.client->CancelSpecialOrder(c));
    EXPECT_EQ(610u, r.client->GetMaxToken());

    HUX_CancelSpecialOrder by_owner = c;
    by_owner.cancel_mode = 1;
    by_owner.client_token = 605;  // below the mark: sent, mark kept
    by_owner.owner_token = 42;
    by_owner.owner_user_id = 0;
    by_owner.opt_1 = 0;
    EXPECT_EQ(0, r.client->CancelSpecialOrder(by_owner));
    EXPECT_EQ(610u, r.client->GetMaxToken());

    const std::vector<sim_message> got = trade_until_marker(r, 1);
    ASSERT_EQ(4u, got.size());
    EXPECT_EQ("1e00"                     // 0: type 30
              "4800"                     // 2: length 72
              "44332211"                 // 4: request tag
              "e9"                       // 8: user id 1001, low byte
              "68"                       // 9: exchange 104
              "01"                       // 10: opt_4
              "01"                       // 11: 1 (opt_4 set, opt_6 0)
              "0d0c0b0a"                 // 12: opt_2
              "21"                       // 16: opt_1
              "35"                       // 17: opt_5
              "37"                       // 18: opt_7
              "00"                       // 19: zero
              "58020000"                 // 20: client token 600
              "00000000"                 // 24: zero
              + text_hex("SPC01", 16)    // 28: account
              + text_hex("m2409", 20)    // 44: symbol
              + "00000000"               // 64: zero
              "08070605",                // 68: opt_3
              hex(got[0].bytes));
    EXPECT_EQ("1f00"                     // 0: type 31
              "2c00"                     // 2: length 44
              "88776655"                 // 4: request tag
              "e9030000"                 // 8: user id 1001, whole
              "62020000"                 // 12: client token 610
              "ccbbaa99"                 // 16: market token
              "00000000"                 // 20: owner user id: not in mode 0
              "00000000"                 // 24: owner token: not in mode 0
              "02"                       // 28: opt_1
              "02"                       // 29: 2 (opt_1 set, opt_2 set)
              "00"                       // 30: cancel mode 0
              + zeros_hex(13),           // 31: zero (no opt_3 in this request)
              hex(got[1].bytes));
    EXPECT_EQ("1f00"                     // 0: type 31
              "2c00"                     // 2: length 44
              "88776655"                 // 4: request tag
              "e9030000"                 // 8: user id 1001
              "5d020000"                 // 12: client token 605
              "00000000"                 // 16: market token: not in mode 1
              "e9030000"                 // 20: owner user id 0 -> the user id
              "2a000000"                 // 24: owner token 42
              "00"                       // 28: opt_1
              "00"                       // 29: 0 (opt_1 is 0)
              "01"                       // 30: cancel mode 1
              + zeros_hex(13),           // 31: zero
              hex(got[2].bytes));
}

// ---------------------------------------------------------------- status queries

TEST(ClientRequests, StatusQueriesOfTheTradePort) {
    rig r;
    ASSERT_TRUE(r.log_on());
    EXPECT_EQ(0, r.client->QuerySymbolStatus());
    EXPECT_EQ(0, r.client->QuerySessionID("SESSION-A", 0));
    EXPECT_EQ(0, r.client->QuerySessionID("S2", 100));  // the C functions narrow the range, not the client
    EXPECT_EQ(0, r.client->QuerySessionID("S3", 108));
    EXPECT_EQ(18, r.client->QuerySessionID("S4", 99));
    EXPECT_EQ(18, r.client->QuerySessionID("S5", 109));

    const std::vector<sim_message> got = trade_until_marker(r, 1);
    ASSERT_EQ(5u, got.size());
    EXPECT_EQ("5700"           // 0: type 87
              "1000"           // 2: length 16
              "00000000"       // 4: zero
              "e9030000"       // 8: user id 1001
              "00000000",      // 12: zero
              hex(got[0].bytes));
    EXPECT_EQ("5e00"                        // 0: type 94
              "2000"                        // 2: length 32
              "00000000"                    // 4: zero
              "e9030000"                    // 8: user id 1001
              + text_hex("SESSION-A", 17)   // 12: session text
              + "00"                        // 29: market 0
              "0000",                       // 30: zero
              hex(got[1].bytes));
    EXPECT_EQ("5e00"                        // 0: type 94
              "2000"                        // 2: length 32
              "00000000"                    // 4: zero
              "e9030000"                    // 8: user id 1001
              + text_hex("S2", 17)          // 12: session text
              + "64"                        // 29: market 100
              "0000",                       // 30: zero
              hex(got[2].bytes));
    EXPECT_EQ(field_hex(got[3].bytes, 12, 18), text_hex("S3", 17) + "6c");  // 12: text, 29: market 108
    EXPECT_EQ("5400"           // 0: type 84
              "1000"           // 2: length 16
              "00000000"       // 4: zero
              "e9030000"       // 8: user id 1001
              "00000000",      // 12: zero
              hex(got[4].bytes));
}

// ---------------------------------------------------------------- query port

TEST(ClientRequests, EveryQueryRequestCarriesTheTradeUserId) {
    rig r;
    ASSERT_TRUE(r.log_on());
    ASSERT_EQ(2002u, r.logons()[0].rsp.user_id);  // the query server's user id differs

    // The password rule: 8 to 32 letters, digits or '_', a letter and a digit.
    const char* refused[] = {"abc1234",  "abcdefgh", "12345678", "abcd-1234", "abcd 1234",
                             "Abcdefgh1234567890123456789012_9x", ""};
    for (const char* p : refused) EXPECT_EQ(10, r.client->ChangePassword("Old_pass1", p)) << p;
    EXPECT_EQ(10, r.client->ChangePassword("Old_pass1", nullptr));

    EXPECT_EQ(0, r.client->ChangePassword("Old_pass1", "New_pass2"));
    EXPECT_EQ(0, r.client->QuerySymbol());
    EXPECT_EQ(0, r.client->QueryAccountPosition("ACCOUNT-1234567", -5));
    EXPECT_EQ(0, r.client->QueryAccountBP("ACC-BP", 0x01020304));
    EXPECT_EQ(0, r.client->QueryAccountTradeMargin("ACC-MG"));
    EXPECT_EQ(0, r.client->QueryAccountTradeFee("ACC-FE"));
    EXPECT_EQ(0, r.client->QueryAccountOrder("ACC-OR"));
    EXPECT_EQ(0, r.client->QueryAccountOrderExecution("ACC-EX", 0x1234));
    EXPECT_EQ(0, r.client->QueryAccountRiskData("ACC-RK", "not sent", 77, 88));
    EXPECT_EQ(0, r.client->QueryAccountSymbolRiskData("ACC-SR", "IF2406", 99));
    // Accounts of 16 and of 10,000 characters do not fit: cut, they would
    // name another account. Refused, and nothing reaches the server (the
    // marker below finds only the requests above).
    for (const std::string& account : {std::string("ACCOUNT-12345678"), std::string(10000, 'A')}) {
        const char* a = account.c_str();
        EXPECT_EQ(256, r.client->QueryAccountPosition(a, -5));
        EXPECT_EQ(256, r.client->QueryAccountBP(a, 1));
        EXPECT_EQ(256, r.client->QueryAccountTradeMargin(a));
        EXPECT_EQ(256, r.client->QueryAccountTradeFee(a));
        EXPECT_EQ(256, r.client->QueryAccountOrder(a));
        EXPECT_EQ(256, r.client->QueryAccountOrderExecution(a, 1));
        EXPECT_EQ(256, r.client->QueryAccountRiskData(a, "not sent", 1, 2));
        EXPECT_EQ(256, r.client->QueryAccountSymbolRiskData(a, "IF2406", 1));
    }

    const std::vector<sim_message> got = query_until_marker(r, 1);
    ASSERT_EQ(11u, got.size());
    EXPECT_EQ("4500"                          // 0: type 69
              "5000"                          // 2: length 80
              "00000000"                      // 4: zero
              "e9030000"                      // 8: user id 1001
              + text_hex(MD5_OLD_PASS1, 33)   // 12: MD5 text of "Old_pass1"
              + text_hex(MD5_NEW_PASS2, 33)   // 45: MD5 text of "New_pass2"
              + "0000",                       // 78: zero
              hex(got[0].bytes));
    EXPECT_EQ("4800"         // 0: type 72
              "1000"         // 2: length 16
              "00000000"     // 4: zero
              "e9030000"     // 8: user id 1001
              "00000000",    // 12: zero
              hex(got[1].bytes));
    EXPECT_EQ("4900"                               // 0: type 73
              "2000"                               // 2: length 32
              "fbffffff"                           // 4: request number -5
              "e9030000"                           // 8: user id 1001
              + text_hex("ACCOUNT-1234567", 16)    // 12: account, all 15 characters
              + "00000000",                        // 28: zero
              hex(got[2].bytes));
    EXPECT_EQ("5100"                       // 0: type 81
              "1c00"                       // 2: length 28
              "04030201"                   // 4: request number
              "e9030000"                   // 8: user id 1001
              + text_hex("ACC-BP", 16),    // 12: account
              hex(got[3].bytes));
    EXPECT_EQ("4d00"                       // 0: type 77
              "2000"                       // 2: length 32
              "00000000"                   // 4: zero
              "e9030000"                   // 8: user id 1001
              + text_hex("ACC-MG", 16)     // 12: account
              + "00000000",                // 28: zero
              hex(got[4].bytes));
    EXPECT_EQ("4e00"                       // 0: type 78
              "2000"                       // 2: length 32
              "00000000"                   // 4: zero
              "e9030000"                   // 8: user id 1001
              + text_hex("ACC-FE", 16)     // 12: account
              + "00000000",                // 28: zero
              hex(got[5].bytes));
    EXPECT_EQ("4a00"                       // 0: type 74
              "2000"                       // 2: length 32
              "00000000"                   // 4: zero
              "e9030000"                   // 8: user id 1001
              + text_hex("ACC-OR", 16)     // 12: account
              + "00000000",                // 28: zero
              hex(got[6].bytes));
    EXPECT_EQ("4b00"                       // 0: type 75
              "2000"                       // 2: length 32
              "00000000"                   // 4: zero
              "e9030000"                   // 8: user id 1001
              + text_hex("ACC-EX", 16)     // 12: account
              + "00"                       // 28: zero
              "34"                         // 29: low byte of 0x1234
              "0000",                      // 30: zero
              hex(got[7].bytes));
    EXPECT_EQ("5200"                       // 0: type 82
              "1c00"                       // 2: length 28
              "4d000000"                   // 4: the first integer, 77
              "e9030000"                   // 8: user id 1001
              + text_hex("ACC-RK", 16),    // 12: account (text and second integer not sent)
              hex(got[8].bytes));
    EXPECT_EQ("5300"                       // 0: type 83
              "3000"                       // 2: length 48
              "00000000"                   // 4: zero
              "e9030000"                   // 8: user id 1001
              + text_hex("ACC-SR", 16)     // 12: account
              + zeros_hex(20),             // 28: zero (symbol and integer not sent)
              hex(got[9].bytes));
    EXPECT_EQ("4700"         // 0: type 71
              "1000"         // 2: length 16
              "00000000"     // 4: zero
              "e9030000"     // 8: user id 1001
              "00000000",    // 12: zero
              hex(got[10].bytes));

    // The longest password the rule allows goes out.
    EXPECT_EQ(0, r.client->ChangePassword("Old_pass1", "Abcdefgh1234567890123456789012_9"));
    ASSERT_TRUE(r.srv.wait_for_query_message(0, 69, 2, wait_limit()));
    EXPECT_EQ(text_hex("6615BE5B7D9C41B51F0A03A7107F6AFF", 33),  // MD5 text of the 32-character password
              field_hex(r.srv.query_last_message(0, 69), 45, 33));
}

// ---------------------------------------------------------------- failures

TEST(ClientRequests, FlowControlAndFailedSends) {
    sim_config cfg = server_config();
    cfg.order_fc_count = 20;
    cfg.order_fc_window_us = 100000000;  // 100 s: no window ends during the test
    cfg.cancel_fc_count = 10;
    cfg.cancel_fc_window_us = 100000000;
    rig r(cfg);
    ASSERT_TRUE(r.log_on());

    // Fewer than 20 orders per window: a batch counts its records.
    std::vector<HUX_EnterOrderField> batch;
    for (uint32_t i = 0; i < 16; ++i) batch.push_back(plain_order(101 + i));
    EXPECT_EQ(0, r.client->EnterMultiOrders(batch.data(), 16));            // 16
    for (uint32_t i = 0; i < 16; ++i) batch[i] = plain_order(201 + i);
    EXPECT_EQ(15, r.client->EnterMultiOrders(batch.data(), 16));           // 32: refused
    EXPECT_EQ(216u, r.client->GetMaxToken());                              // its tokens were raised
    EXPECT_EQ(0, r.client->EnterOrder(plain_order(301)));                  // 17
    EXPECT_EQ(0, r.client->EnterOrder(plain_order(302)));                  // 18
    EXPECT_EQ(0, r.client->EnterOrder(plain_order(303)));                  // 19
    EXPECT_EQ(15, r.client->EnterOrder(plain_order(304)));                 // 20: refused

    std::vector<HUX_CancelOrder> cancels;
    for (uint32_t i = 0; i < 9; ++i) cancels.push_back(cancel_record(0, 0));
    EXPECT_EQ(0, r.client->EnterMultiCxlOrders(cancels.data(), 9));        // 9
    EXPECT_EQ(15, r.client->CancelOrder(cancel_record(0, 0)));             // 10: refused
    EXPECT_EQ(15, r.client->EnterMultiCxlOrders(cancels.data(), 2));       // 11: refused

    const std::vector<sim_message> got = trade_until_marker(r, 1);
    EXPECT_EQ(16u + 3u + 9u + 1u, got.size());
    size_t orders = 0;
    size_t cancels_seen = 0;
    for (const sim_message& m : got) {
        orders += m.type == 10;
        cancels_seen += m.type == 11;
    }
    EXPECT_EQ(19u, orders);
    EXPECT_EQ(9u, cancels_seen);

    // The application's limits: the query session's only once the trade
    // session took them (above the server's 20, the trade refuses).
    EXPECT_TRUE(r.client->ChangeFCParam(2, 2));
    EXPECT_EQ(2, r.client->Trade().GetOrderFlowControl().limit);
    EXPECT_FALSE(r.client->ChangeFCParam(100, 100));
    EXPECT_EQ(2, r.client->Trade().GetOrderFlowControl().limit);
    // The query session kept 2: a second counted message in its window is refused.
    std::string counted = unhex(plain_order_hex(1));
    EXPECT_EQ(100, r.client->Query().SendMsgToHux("probe", counted.data(), 100, 3));
    EXPECT_EQ(-2, r.client->Query().SendMsgToHux("probe", counted.data(), 100, 3));
    // Nothing above the query session's 295 passes it, whatever the trade
    // session took: the answer is the query's.
    sim_config wide = server_config();
    wide.order_fc_count = 400;
    wide.order_fc_window_us = 100000000;
    wide.cancel_fc_count = 400;
    wide.cancel_fc_window_us = 100000000;
    rig w(wide);
    ASSERT_TRUE(w.log_on());
    EXPECT_FALSE(w.client->ChangeFCParam(300, 300));
    EXPECT_EQ(300, w.client->Trade().GetOrderFlowControl().limit);
    EXPECT_TRUE(w.client->ChangeFCParam(295, 295));

    // Sends that fail: 4 (the token checks still come first).
    r.client->Trade().DisConnServer();
    ASSERT_FALSE(r.client->IsTradeConnect());
    HUX_EnterOrderField single = plain_order(400);
    EXPECT_EQ(4, r.client->EnterOrder(single));
    EXPECT_EQ(400u, r.client->GetMaxToken());
    EXPECT_EQ(9, r.client->EnterOrder(single));
    single.client_token = 401;
    EXPECT_EQ(4, r.client->EnterMultiOrders(&single, 1));
    EXPECT_EQ(4, r.client->CancelOrder(cancel_record(0, 0)));
    EXPECT_EQ(4, r.client->EnterMultiCxlOrders(cancels.data(), 1));
    HUX_EnterSpecialOrderField special;
    std::memset(&special, 0, sizeof(special));
    special.exchange_id = 101;
    special.client_token = 500;
    EXPECT_EQ(4, r.client->EnterSpecialOrder(special));
    HUX_CancelSpecialOrder special_cancel;
    std::memset(&special_cancel, 0, sizeof(special_cancel));
    EXPECT_EQ(4, r.client->CancelSpecialOrder(special_cancel));
    EXPECT_EQ(4, r.client->QueryMarketSession());
    EXPECT_EQ(4, r.client->QuerySymbolStatus());
    EXPECT_EQ(4, r.client->QuerySessionID("S", 0));

    r.client->Query().DisConnServer();
    ASSERT_FALSE(r.client->IsQueryConnect());
    EXPECT_EQ(4, r.client->ChangePassword("Old_pass1", "New_pass2"));
    EXPECT_EQ(10, r.client->ChangePassword("Old_pass1", "short1"));  // the rule first
    EXPECT_EQ(4, r.client->QuerySymbol());
    EXPECT_EQ(4, r.client->QueryUserAccount());
    EXPECT_EQ(4, r.client->QueryAccountPosition("A", 1));
    EXPECT_EQ(4, r.client->QueryAccountBP("A", 1));
    EXPECT_EQ(4, r.client->QueryAccountTradeMargin("A"));
    EXPECT_EQ(4, r.client->QueryAccountTradeFee("A"));
    EXPECT_EQ(4, r.client->QueryAccountOrder("A"));
    EXPECT_EQ(4, r.client->QueryAccountOrderExecution("A", 1));
    EXPECT_EQ(4, r.client->QueryAccountRiskData("A", nullptr, 1, 2));
    EXPECT_EQ(4, r.client->QueryAccountSymbolRiskData("A", nullptr, 1));
}

// A UDP order channel in the kept record: batches (one TCP write) are
// refused after the count check; single orders take the channel.
TEST(ClientRequests, BatchesAreRefusedWhileAUdpOrderChannelIsConfigured) {
    rig r;
    ASSERT_TRUE(r.srv.open_udp(0));
    HUX_TradeSvrInfo info = r.record();
    std::strcpy(info.local_ip, "127.0.0.1");
    info.local_udp_port = hux_test::free_loopback_port(SOCK_DGRAM);
    info.udp_port = r.srv.udp_port();
    ASSERT_NE(0, info.local_udp_port);
    ASSERT_TRUE(r.connect(info));
    ASSERT_EQ(0, r.logon().rsp.result);

    std::vector<HUX_EnterOrderField> batch = {plain_order(101), plain_order(102)};
    std::vector<HUX_CancelOrder> cancels(38, cancel_record(0, 0));
    EXPECT_EQ(11, r.client->EnterMultiOrders(batch.data(), 0));
    EXPECT_EQ(11, r.client->EnterMultiCxlOrders(cancels.data(), 38));
    EXPECT_EQ(17, r.client->EnterMultiOrders(batch.data(), 2));
    EXPECT_EQ(17, r.client->EnterMultiCxlOrders(cancels.data(), 2));
    EXPECT_EQ(100u, r.client->GetMaxToken());  // refused before any record

    EXPECT_EQ(0, r.client->EnterOrder(plain_order(103)));
    ASSERT_TRUE(r.srv.wait_for_datagrams(1, wait_limit()));
    const std::vector<std::string> datagrams = r.srv.datagrams();
    ASSERT_EQ(1u, datagrams.size());
    EXPECT_EQ(plain_order_hex(103), hex(datagrams[0]));
    const std::vector<sim_message> got = trade_until_marker(r, 1);
    ASSERT_EQ(1u, got.size());  // nothing but the marker came over TCP
    EXPECT_EQ(84, got[0].type);
}
