// Reject reason texts: masks, codes, qv27 numbering, map choice, the GBK
// round trip and the byte-wise cut of over-long texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "trade/TradeClientRejectText.h"

using HUX_TRADE::CRejectReasonText;

namespace {

// Expected tables, typed independently of the library's own: index = bit.
const char* const kInsertBits[32] = {
    "整体校验结果", "", "", "", "", "", "", "交易所编号不合法", "投机套保标志不合法",
    "止盈止损价不合法", "下单数量不合法", "下单价格不合法", "买卖方向不合法", "订单类型不合法",
    "用户与账户对应关系出错", "下单OrderToken数字校验", "账户不存在",
    "合约不存在/新老报价合约不一致", "报价顶单，报价编号找不到", "",
    "资金账户未绑定交易所编码/新老报价交易编码不一致", "FOK/FAK最小成交量指定错误",
    "暂无可用交易所连接", "无期权/GIS/组合交易权限", "UDP sequence不合法",
    "交易所对冲、履约对冲、放弃行权订单只允许一笔在途", "行权未在设置时间内",
    "每秒发送报单数超限", "广期所指数行权最低盈利金额错误", "", "", ""};

const char* const kQv27OrderBits[32] = {
    "整体校验结果", "客户下订单超限", "客户端userid_sessionid不匹配", "客户端流控临界点上订单拒绝",
    "", "", "", "交易所编号不合法", "投机套保标志不合法", "止盈止损价不合法", "下单数量不合法",
    "下单价格不合法", "买卖方向不合法", "订单类型不合法", "用户名与账户对应关系出错",
    "下单OrderToken数字校验", "账户不存在", "合约不存在/新老报价合约不一致",
    "报价顶单，报价编号找不到", "", "资金账户未绑定交易所编码/新老报价交易编码不一致",
    "FOK/FAK最小成交量指定错误", "暂无可用交易所连接", "无期权交易权限", "", "", "ioc不合法",
    "", "", "", "", ""};

const char* const kQv27RiskBits[10] = {"风控整体校验结果", "资金不足", "仓位不足", "品种权限",
                                       "信息量风控", "开仓量风控", "自成交风控",
                                       "开仓保证金限制", "禁止交易", "累计开仓保证金"};

struct Texts {
    char t1[1024];
    char t2[1024];
    Texts() { reset(); }
    // Garbage in both fields, so a builder that forgets to clear one shows.
    void reset() {
        std::memset(t1, 'x', sizeof(t1) - 1);
        t1[sizeof(t1) - 1] = '\0';
        std::memcpy(t2, t1, sizeof(t2));
    }
};

class RejectTextTest : public ::testing::Test {
protected:
    void SetUp() override { texts.fill(); }
    CRejectReasonText texts;
    Texts out;

    std::string ordinary(uint32_t v) {
        out.reset();
        texts.insert_reject_texts(v, out.t1, out.t2);
        return out.t1;
    }
    std::string cancel(uint32_t mask, bool qv27) {
        char t[88];
        std::memset(t, 'x', sizeof(t));
        texts.cancel_reject_text(mask, qv27, t);
        EXPECT_NE(nullptr, std::memchr(t, '\0', sizeof(t)));
        return std::string(t, strnlen(t, sizeof(t)));
    }
    std::string market(uint32_t code, uint8_t exchange_id) {
        char t[88];
        std::memset(t, 'x', sizeof(t));
        texts.market_cancel_reject_text(code, exchange_id, t);
        return std::string(t, strnlen(t, sizeof(t)));
    }
    std::string quote_market(uint32_t code) {
        char t[88];
        std::memset(t, 'x', sizeof(t));
        texts.quote_action_market_reject_text(code, t);
        return std::string(t, strnlen(t, sizeof(t)));
    }
};

TEST_F(RejectTextTest, OrdinaryInsertMaskGoesToFirstText) {
    EXPECT_EQ("交易所编号不合法;", ordinary(128));
    EXPECT_STREQ("", out.t2);
    // Bit 6 only: an empty entry still adds its separator.
    EXPECT_EQ(";", ordinary(64));
    EXPECT_STREQ("", out.t2);
    // Bits 0 and 6, rising order.
    EXPECT_EQ("整体校验结果;;", ordinary(65));
    // Bit 31 alone (the top bit of the mask) and bits 1-3 (empty here, filled in qv27).
    EXPECT_EQ(";", ordinary(0x80000000u));
    EXPECT_EQ(";;;;", ordinary(64u | 0xEu));

    // Every bit: all 32 entries in order, each with ";" (719 bytes, fits),
    // which is where the table's texts are checked.
    std::string all;
    for (const char* t : kInsertBits) all += std::string(t) + ";";
    EXPECT_EQ(all, ordinary(0xFFFFFFFFu));
    EXPECT_STREQ("", out.t2);
}

TEST_F(RejectTextTest, OrdinaryInsertCodesGoToSecondText) {
    const struct {
        uint32_t code;
        const char* text;
    } codes[] = {{1, "资金不足"},   {2, "仓位不足"},   {3, "禁止交易"},
                 {4, "信息量风控"}, {5, "开仓量风控"}, {6, "自成交检查"},
                 {7, "不在涨跌停范围/不符合最小价格变动单位"},
                 {8, "单笔订单数量限制"},         {60, "联合风控账户风险度"}};
    for (const auto& c : codes) {
        EXPECT_EQ("", ordinary(c.code)) << c.code;
        EXPECT_STREQ(c.text, out.t2) << c.code;
    }
    // No text for these: both fields empty (and cleared of what was there).
    for (uint32_t v : {0u, 9u, 10u, 59u, 61u, 62u, 63u}) {
        EXPECT_EQ("", ordinary(v)) << v;
        EXPECT_STREQ("", out.t2) << v;
    }
}

TEST_F(RejectTextTest, Qv27InsertNumbersEveryBit) {
    texts.qv27_insert_reject_texts(129, 2, out.t1, out.t2);
    EXPECT_STREQ("0:整体校验结果;7:交易所编号不合法;", out.t1);
    EXPECT_STREQ("1:资金不足;", out.t2);

    out.reset();
    texts.qv27_insert_reject_texts(1u << 5, 0, out.t1, out.t2);
    EXPECT_STREQ("5:;", out.t1);
    EXPECT_STREQ("", out.t2);

    out.reset();
    texts.qv27_insert_reject_texts(0, 0, out.t1, out.t2);
    EXPECT_STREQ("", out.t1);
    EXPECT_STREQ("", out.t2);

    // Every bit of both masks: the qv27 tables' texts, where they differ
    // from the ordinary one too.
    std::string all1, all2;
    for (int b = 0; b < 32; ++b) {
        all1 += std::to_string(b) + ":" + kQv27OrderBits[b] + ";";
        all2 += std::to_string(b) + ":" + (b < 10 ? kQv27RiskBits[b] : "") + ";";
    }
    out.reset();
    texts.qv27_insert_reject_texts(0xFFFFFFFFu, 0xFFFFFFFFu, out.t1, out.t2);
    EXPECT_EQ(all1, out.t1);
    EXPECT_EQ(all2, out.t2);
}

TEST_F(RejectTextTest, InsertTablesAreHeldInGbk) {
    // "资金不足" and "整体" in GBK.
    EXPECT_EQ("\xD7\xCA\xBD\xF0\xB2\xBB\xD7\xE3", texts.qv27_risk_check_bit_texts[1]);
    EXPECT_EQ(0u, texts.insert_reject_bit_texts[0].find("\xD5\xFB\xCC\xE5"));
    EXPECT_EQ(0u, texts.qv27_order_check_bit_texts[0].find("\xD5\xFB\xCC\xE5"));
    // Cancel tables stay UTF-8.
    EXPECT_EQ("撤单ID不存在", texts.cancel_reject_bit_texts[2]);
    // Filling again gives the same tables, not doubled entries.
    texts.fill();
    EXPECT_EQ("交易所编号不合法;", ordinary(128));
    EXPECT_EQ(5u, texts.market_cancel_reject_texts_1.size());
    EXPECT_EQ(9u, texts.market_cancel_reject_texts_2.size());
    EXPECT_EQ(4u, texts.market_cancel_reject_texts_3.size());
}

TEST_F(RejectTextTest, CancelMaskTextsByEdition) {
    EXPECT_EQ("暂无可用交易所连接 ;", cancel(2048, false));
    EXPECT_EQ(";", cancel(2048 * 2, false));  // bit 12: empty in the ordinary table
    EXPECT_EQ("actionid超过上限;", cancel(2048 * 2, true));
    EXPECT_EQ("action_flag字段值不在范围内;", cancel(2048, true));
    EXPECT_EQ("订单未被市场接收就发来了撤单;", cancel(2, false));
    EXPECT_EQ("订单尚未被市场接受;", cancel(2, true));
    EXPECT_EQ("撤单ID不存在;", cancel(4, false));
    EXPECT_EQ("撤单ID不存在;", cancel(4, true));
    EXPECT_EQ(";", cancel(8, false));  // bit 3 empty in both
    EXPECT_EQ(";", cancel(8, true));
    EXPECT_EQ("客户号或者登录号错误;客户号或者登录号错误;", cancel(0x110, true));
    EXPECT_EQ("客户端token错误;撤单的UserID和Account绑定关系出错;", cancel(0x180, false));
    EXPECT_EQ("撤单对应MktId下所有Sessionid都不可用;Mi调用处发送失败;", cancel(0x600, false));
    EXPECT_EQ("订单已经关闭，撤单拒绝;挂起当撤单时发出激活操作;", cancel(0x60, false));
    EXPECT_EQ("订单已经关闭;撤销订单不支持激活;人工单不能从本系统撤单;", cancel(0xE0, true));
    EXPECT_EQ("无可用于撤单的席位;userid-sessionid对应关系不正确;", cancel(0x600, true));
    EXPECT_EQ("", cancel(0, false));
    EXPECT_EQ(";;", cancel(0x80002000u, true));  // bits 13 and 31
}

TEST_F(RejectTextTest, CancelTextIsCutByteWiseAt87) {
    // Bits 0, 1, 2, 4: 19 + 43 + 18 bytes, then "撤单和下单Account不一致;"
    // of which 7 bytes fit: "撤单" and the first byte of "和".
    const std::string full = "整体校验结果;订单未被市场接收就发来了撤单;撤单ID不存在;"
                             "撤单和下单Account不一致;";
    const std::string got = cancel(0x17, false);
    ASSERT_EQ(87u, got.size());
    EXPECT_EQ(full.substr(0, 87), got);
    EXPECT_EQ('\xE5', got[86]);  // lead byte of a split character

    // Every bit, both editions: the first 87 bytes and a terminator.
    const std::string ord = cancel(0xFFFFFFFFu, false);
    // 19 + 43 + 18 + 1 bytes, then 6 bytes of bit 4.
    EXPECT_EQ("整体校验结果;订单未被市场接收就发来了撤单;撤单ID不存在;;撤单", ord);
    const std::string q = cancel(0xFFFFFFFFu, true);
    // 19 + 28 + 18 + 1 bytes, then 21 bytes (7 characters) of bit 4.
    EXPECT_EQ("整体校验结果;订单尚未被市场接受;撤单ID不存在;;客户号或者登录", q);
}

TEST_F(RejectTextTest, ExchangeIdPicksTheCodeMap) {
    EXPECT_EQ("该委托单已经成交", market(711, 105));
    EXPECT_EQ("", market(711, 102));
    for (uint8_t id : {102, 103, 106}) EXPECT_EQ("报单找不到", market(24, id)) << int(id);
    for (uint8_t id : {104, 108}) EXPECT_EQ("已经撤单", market(40039, id)) << int(id);
    EXPECT_EQ("现在不是交易时间", market(602, 105));
    // A code of another map, or an exchange id outside the three groups.
    EXPECT_EQ("", market(24, 104));
    EXPECT_EQ("", market(40039, 105));
    for (uint8_t id : {0, 100, 101, 107, 109, 255}) EXPECT_EQ("", market(24, id)) << int(id);
    // The code is an unsigned 32-bit key: high bits are not sign-extended
    // onto a matching entry.
    EXPECT_EQ("", market(0x80000000u | 24u, 102));
    EXPECT_EQ("", market(0xFFFFFFFFu, 102));
}

TEST_F(RejectTextTest, QuoteActionTriesTheMapsInTurn) {
    const struct {
        uint32_t code;
        const char* text;
    } all[] = {{24, "报单找不到"},
               {25, "报价找不到"},
               {26, "当前状态禁止此项操作"},
               {28, "报单已经全部成交"},
               {29, "报单已经撤销"},
               {30006, "履约对冲申请记录不存在"},
               {30007, "期权执行申请记录已撤销"},
               {40037, "该品种当前是收市"},
               {40038, "交易员不能撤强平单"},
               {40039, "已经撤单"},
               {40040, "完全成交，不能撤单"},
               {72001, "定单状态已为撤销"},
               {72002, "定单被系统撤销"},
               {72003, "无此撤销定单"},
               {602, "现在不是交易时间"},
               {710, "该委托单已经撤销"},
               {711, "该委托单已经成交"},
               {712, "该委托单为强行平仓单，不可撤销"}};
    for (const auto& c : all) EXPECT_EQ(c.text, quote_market(c.code)) << c.code;
    for (uint32_t code : {0u, 1u, 27u, 603u, 40041u, 0xFFFFFFFFu}) {
        EXPECT_EQ("", quote_market(code)) << code;
    }
}

TEST(RejectTextExchange, GbkTextFromTheExchangeBecomesUtf8) {
    // "资金不足" in GBK, terminated inside the field.
    char wire[81] = "\xD7\xCA\xBD\xF0\xB2\xBB\xD7\xE3";
    char text[81];
    std::memset(text, 'x', sizeof(text));
    CRejectReasonText::market_insert_reject_text(wire, sizeof(wire), text, sizeof(text));
    EXPECT_STREQ("资金不足", text);

    // An unterminated field of 40 x "资" and "A": read no further than 81
    // bytes; 121 UTF-8 bytes are cut to 80 (26 characters and two bytes of
    // the 27th) and terminated.
    char full[81 + 8];
    for (int i = 0; i < 40; ++i) std::memcpy(full + 2 * i, "\xD7\xCA", 2);
    full[80] = 'A';
    std::memset(full + 81, 'Z', 8);  // beyond the field: must not show up
    std::memset(text, 'x', sizeof(text));
    CRejectReasonText::market_insert_reject_text(full, 81, text, sizeof(text));
    std::string expect;
    for (int i = 0; i < 27; ++i) expect += "资";
    EXPECT_EQ('\0', text[80]);
    EXPECT_EQ(expect.substr(0, 80), std::string(text));

    // Empty wire text and a zero-sized field.
    std::memset(text, 'x', sizeof(text));
    CRejectReasonText::market_insert_reject_text("", 1, text, sizeof(text));
    EXPECT_STREQ("", text);
    char guard = 'g';
    CRejectReasonText::market_insert_reject_text(wire, sizeof(wire), &guard, 0);
    EXPECT_EQ('g', guard);
}

}  // namespace
