// The query requests byte for byte, and the password rule that guards the
// password change.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "adapter/query_msg.h"
#include "tests/adapter/test_query_support.h"

namespace {

using namespace HUX_ADAPTER;
using query_test::text_hex;
using query_test::zeros_hex;
using hux_test::hex_of;

const uint32_t kUser = 0x01020304;
// Upper-case MD5 hex texts: of "password", of "abc12345" and of the empty text.
const char kMd5Password[] = "5F4DCC3B5AA765D61D8327DEB882CF99";
const char kMd5Abc12345[] = "D6B0AB7F1C8AB8F514DB9A6D85DE160A";
const char kMd5Empty[] = "D41D8CD98F00B204E9800998ECF8427E";

TEST(QueryRequests, LogonAndPasswordChangeImages) {
    query_logon_msg_req logon;
    build_query_logon_msg_req(logon, "trader01", "password");
    EXPECT_EQ(std::string("4400")            // type 68
                  + "5000"                   // length 80
                  + "00000000"               // +4 zero
                  + "0f000000"               // +8 version 15
                  + text_hex("trader01", 33)  // +12 login id
                  + text_hex(kMd5Password, 33)  // +45 MD5 text of the password
                  + "0000",                  // +78 zero
              hex_of(logon));

    // A login id of 40 characters keeps 32 and its terminator; no password
    // is the empty text's digest.
    build_query_logon_msg_req(logon, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789wxyz", nullptr);
    EXPECT_EQ(std::string("44005000") + "00000000" + "0f000000"   // header, +4, +8
                  + text_hex("ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", 33)  // +12 the first 32 characters
                  + text_hex(kMd5Empty, 33)                          // +45
                  + "0000",
              hex_of(logon));

    change_password_req change;
    ASSERT_TRUE(build_change_password_req(change, kUser, "password", "abc12345"));
    EXPECT_EQ(std::string("4500")               // type 69
                  + "5000"                      // length 80
                  + "00000000"                  // +4 zero
                  + "04030201"                  // +8 user id
                  + text_hex(kMd5Password, 33)  // +12 MD5 text of the old password
                  + text_hex(kMd5Abc12345, 33)  // +45 MD5 text of the new password
                  + "0000",                     // +78 zero
              hex_of(change));

    // A new password the rule refuses builds nothing: the record stays all zero.
    memset(&change, 0x5a, sizeof(change));
    EXPECT_FALSE(build_change_password_req(change, kUser, "password", "abcdefgh"));
    EXPECT_EQ(zeros_hex(80), hex_of(change));
}

TEST(QueryRequests, UserAndAccountRequestImages) {
    query_user_account_req accounts;
    build_query_user_account_req(accounts, kUser);
    EXPECT_EQ(std::string("4700")  // type 71
                  + "1000"         // length 16
                  + "00000000"     // +4 zero
                  + "04030201"     // +8 user id
                  + "00000000",    // +12 zero
              hex_of(accounts));

    query_symbol_req symbols;
    build_query_symbol_req(symbols, kUser);
    EXPECT_EQ(std::string("4800")  // type 72
                  + "1000"         // length 16
                  + "00000000"     // +4 zero
                  + "04030201"     // +8 user id
                  + "00000000",    // +12 zero
              hex_of(symbols));

    query_account_position_req position;
    build_query_account_position_req(position, -2, kUser, "ACC001");
    EXPECT_EQ(std::string("4900")          // type 73
                  + "2000"                 // length 32
                  + "feffffff"             // +4 request number -2
                  + "04030201"             // +8 user id
                  + text_hex("ACC001", 16)  // +12 account
                  + "00000000",            // +28 zero
              hex_of(position));

    rewind_account_order_req orders;
    build_rewind_account_order_req(orders, kUser, "ACC001");
    EXPECT_EQ(std::string("4a00")          // type 74
                  + "2000"                 // length 32
                  + "00000000"             // +4 zero
                  + "04030201"             // +8 user id
                  + text_hex("ACC001", 16)  // +12 account
                  + "00000000",            // +28 zero
              hex_of(orders));

    rewind_account_exec_req execs;
    build_rewind_account_exec_req(execs, kUser, "ACC001", 0x1234abcd);
    EXPECT_EQ(std::string("4b00")          // type 75
                  + "2000"                 // length 32
                  + "00000000"             // +4 zero
                  + "04030201"             // +8 user id
                  + text_hex("ACC001", 16)  // +12 account
                  + "00"                   // +28 zero
                  + "cd"                   // +29 the low byte of 0x1234abcd
                  + "0000",                // +30 zero
              hex_of(execs));

    query_account_margin margin;
    build_query_account_margin(margin, kUser, "ACC001");
    EXPECT_EQ(std::string("4d00")          // type 77
                  + "2000"                 // length 32
                  + "00000000"             // +4 zero
                  + "04030201"             // +8 user id
                  + text_hex("ACC001", 16)  // +12 account
                  + "00000000",            // +28 zero
              hex_of(margin));

    query_account_fee fee;
    build_query_account_fee(fee, kUser, "ACC001");
    EXPECT_EQ(std::string("4e00")          // type 78
                  + "2000"                 // length 32
                  + "00000000"             // +4 zero
                  + "04030201"             // +8 user id
                  + text_hex("ACC001", 16)  // +12 account
                  + "00000000",            // +28 zero
              hex_of(fee));

    query_account_bp_req bp;
    build_query_account_bp_req(bp, 7, kUser, "ACC001");
    EXPECT_EQ(std::string("5100")           // type 81
                  + "1c00"                  // length 28
                  + "07000000"              // +4 request number 7
                  + "04030201"              // +8 user id
                  + text_hex("ACC001", 16),  // +12 account
              hex_of(bp));

    account_risk_real_data_req risk;
    build_account_risk_real_data_req(risk, 0x7fffffff, kUser, "ACC001");
    EXPECT_EQ(std::string("5200")           // type 82
                  + "1c00"                  // length 28
                  + "ffffff7f"              // +4 the first integer argument
                  + "04030201"              // +8 user id
                  + text_hex("ACC001", 16),  // +12 account
              hex_of(risk));

    account_symbol_real_data_req symbol_risk;
    build_account_symbol_real_data_req(symbol_risk, kUser, "ACC001");
    EXPECT_EQ(std::string("5300")           // type 83
                  + "3000"                  // length 48
                  + "00000000"              // +4 zero
                  + "04030201"              // +8 user id
                  + text_hex("ACC001", 16)  // +12 account
                  + zeros_hex(20),          // +28 zero
              hex_of(symbol_risk));
}

TEST(QueryRequests, AccountIdsFitFifteenCharactersOrAreRefused) {
    query_account_position_req position;
    // 15 characters go whole, the terminator closing the field.
    EXPECT_TRUE(build_query_account_position_req(position, 1, kUser, "ABCDEFGHIJKLMNO"));
    EXPECT_EQ(text_hex("ABCDEFGHIJKLMNO", 16), hex_of(position.account, 16));
    // 16 characters do not fit, nor do 10,000: cut, they would name another
    // account. Every account builder refuses them. The 16 lie in a block of
    // their own size with no terminator, so a read past it is caught.
    std::unique_ptr<char[]> sixteen(new char[16]);
    memset(sixteen.get(), 'P', 16);
    const std::string ten_thousand(10000, 'T');
    query_account_bp_req bp;
    for (const char* account : {static_cast<const char*>(sixteen.get()), ten_thousand.c_str()}) {
        memset(&bp, 0xAA, sizeof(bp));
        EXPECT_FALSE(build_query_account_bp_req(bp, 1, kUser, account));
        EXPECT_EQ(zeros_hex(sizeof(bp)), hex_of(bp));  // zeroed, as a refused password change
        EXPECT_FALSE(build_query_account_position_req(position, 1, kUser, account));
        rewind_account_order_req orders;
        EXPECT_FALSE(build_rewind_account_order_req(orders, kUser, account));
        rewind_account_exec_req execs;
        EXPECT_FALSE(build_rewind_account_exec_req(execs, kUser, account, 1));
        query_account_margin margin;
        EXPECT_FALSE(build_query_account_margin(margin, kUser, account));
        query_account_fee fee;
        EXPECT_FALSE(build_query_account_fee(fee, kUser, account));
        account_risk_real_data_req risk;
        EXPECT_FALSE(build_account_risk_real_data_req(risk, 1, kUser, account));
        account_symbol_real_data_req symbol_risk;
        EXPECT_FALSE(build_account_symbol_real_data_req(symbol_risk, kUser, account));
    }
    EXPECT_EQ(28u, sizeof(bp));
    // No account: an empty field.
    account_symbol_real_data_req symbol_risk;
    build_account_symbol_real_data_req(symbol_risk, kUser, nullptr);
    EXPECT_EQ(zeros_hex(16), hex_of(symbol_risk.account, 16));
}

TEST(QueryRequests, PasswordRule) {
    // 8 to 32 characters of letters, digits and '_', with a letter and a digit.
    EXPECT_TRUE(password_rule_ok("abc12345"));
    EXPECT_TRUE(password_rule_ok("Z_______1"));
    EXPECT_TRUE(password_rule_ok("A1234567890123456789012345678901"));   // 32
    EXPECT_FALSE(password_rule_ok("A12345678901234567890123456789012"));  // 33
    EXPECT_FALSE(password_rule_ok("abc1234"));                            // 7
    EXPECT_FALSE(password_rule_ok("abcdefgh"));                           // no digit
    EXPECT_FALSE(password_rule_ok("12345678"));                           // no letter
    EXPECT_FALSE(password_rule_ok("________"));
    EXPECT_FALSE(password_rule_ok("abc-1234"));
    EXPECT_FALSE(password_rule_ok("abc 1234"));
    EXPECT_FALSE(password_rule_ok("abc1234\xe4\xb8\xad"));
    EXPECT_FALSE(password_rule_ok(""));
    EXPECT_FALSE(password_rule_ok(nullptr));
}

}  // namespace
