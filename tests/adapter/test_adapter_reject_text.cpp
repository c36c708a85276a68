// The adapter's reject texts as the application receives them: UTF-8, byte
// for byte, with the reason codes and flags of the order-reject record and
// the key chosen for a cancel reject.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "adapter/adapter_reject_text.h"

namespace {

using HUX_ADAPTER::CRejectReasonText;

// The bit texts as published, in UTF-8; bits without a text are empty.
const char* const k_bit_text[32] = {
    "整体校验结果", "", "", "", "", "", "", "下单目的地不合法",
    "投机套保标志", "止损价不合法", "下单数量不合法", "下单价格不合法",
    "买卖方向不合法", "订单类型不合法", "用户名与账户对应关系出错", "下单OrderToken数字校验",
    "账户不存在", "合约不存在", "", "",
    "资金账户未绑定交易所编码", "FOK/FAK最小成交量指定错误", "暂无可用交易所连接", "账户/gis无交易权限",
    "UDP sequence不合法", "收到交易所对冲、履约对冲、放弃行权后，每个合约只能有一笔", "行权未在设置时间内",
    "每秒发送报单数超限",
    "广期所指数行权最低盈利金额错误", "合约品种无GIS权限", "", "",
};

class RejectText : public ::testing::Test {
protected:
    void SetUp() override { texts.InitRejectReasonText(); }

    // A zeroed order-reject record after order_reject(value).
    HUX_OrderRejectField order(uint32_t value) const {
        HUX_OrderRejectField r;
        memset(&r, 0, sizeof(r));
        texts.order_reject(value, r);
        return r;
    }

    HUX_SpecialOrderRejectField special(uint32_t value) const {
        HUX_SpecialOrderRejectField r;
        memset(&r, 0, sizeof(r));
        texts.special_order_reject(value, r);
        return r;
    }

    // Indices of the set flags, in rising order.
    static std::string set_flags(const HUX_OrderRejectField& r) {
        std::string out;
        for (size_t i = 0; i < sizeof(r.flags); ++i) {
            if (r.flags[i] == 0) continue;
            EXPECT_EQ(r.flags[i], 1) << "flag " << i;
            out += std::to_string(i) + " ";
        }
        return out;
    }

    // A text field holds exactly `want` and zeros after it.
    template <size_t N>
    static void expect_text(const char (&field)[N], const std::string& want, const char* what) {
        ASSERT_LT(want.size(), N) << what;
        EXPECT_EQ(std::string(field, want.size()), want) << what;
        for (size_t i = want.size(); i < N; ++i) {
            ASSERT_EQ(field[i], '\0') << what << ": byte " << i << " after the text";
        }
    }

    CRejectReasonText texts;
};

TEST_F(RejectText, OrderRejectMaskJoinsBitTextsSetsFlagsAndTheFirstCode) {
    // Bits 7 and 9: both texts in bit order, each with ";"; code of bit 7.
    HUX_OrderRejectField r = order((1u << 7) | (1u << 9));
    expect_text(r.reason_text, "下单目的地不合法;止损价不合法;", "bits 7+9");
    expect_text(r.value_text, "", "bits 7+9 value text");
    EXPECT_EQ(r.reason_code, 2);
    EXPECT_EQ(set_flags(r), "2 5 ");

    // Bits 15 and 16: bit 15 flags its code but never reports it.
    r = order((1u << 15) | (1u << 16));
    expect_text(r.reason_text, "下单OrderToken数字校验;账户不存在;", "bits 15+16");
    EXPECT_EQ(r.reason_code, 16);
    EXPECT_EQ(set_flags(r), "15 16 ");

    // Bit 15 alone: flagged, reason code stays 0.
    r = order(1u << 15 | 1u << 30);
    expect_text(r.reason_text, "下单OrderToken数字校验;;", "bits 15+30");
    EXPECT_EQ(r.reason_code, 0);
    EXPECT_EQ(set_flags(r), "0 15 ");

    // 64 is bit 6, which has no text: ";" alone, code 0 (its flag is that of code 0).
    r = order(64);
    expect_text(r.reason_text, ";", "mask 64");
    EXPECT_EQ(r.reason_code, 0);
    EXPECT_EQ(set_flags(r), "0 ");

    // Bits with a text but code 0 (24, 26) do not hold back a later code; bit 27 gives 18.
    r = order((1u << 24) | (1u << 26) | (1u << 27));
    expect_text(r.reason_text, "UDP sequence不合法;行权未在设置时间内;每秒发送报单数超限;", "bits 24+26+27");
    EXPECT_EQ(r.reason_code, 18);
    EXPECT_EQ(set_flags(r), "0 18 ");

    // Every bit: all 32 entries in order, the first code (bit 7's 2), one flag per distinct code.
    r = order(0xFFFFFFFFu);
    std::string all;
    for (const char* t : k_bit_text) all += std::string(t) + ";";
    expect_text(r.reason_text, all, "every bit");
    EXPECT_EQ(r.reason_code, 2);
    EXPECT_EQ(set_flags(r), "0 2 3 5 6 10 12 13 14 15 16 17 18 20 21 22 23 25 28 29 ");
    const uint32_t user_id = r.user_id;  // copied out of the packed record
    EXPECT_EQ(user_id, 0u);
    EXPECT_EQ(r.result_flag, 0) << "only texts, code and flags are written";
}

TEST_F(RejectText, OrderRejectSmallValuesTakeOneTextFlagAndCode) {
    struct small_case {
        uint32_t value;
        const char* text;
        const char* flags;
        int code;
    };
    const small_case cases[] = {
        {1, "可用资金不足", "114 ", 114},
        {2, "可平仓位不足", "115 ", 115},
        {3, "禁止交易", "65 ", 65},
        {4, "信息量风控", "66 ", 66},
        {5, "开仓量风控", "67 ", 67},
        {6, "自成交检查", "65 ", 113},  // value 3's flag, its own code
        {7, "不在涨跌停范围/不符合最小价格变动单位", "52 ", 52},
        {8, "单笔订单数量限制", "50 ", 50},
        {60, "联合风控账户风控度", "109 ", 109},
    };
    for (const small_case& c : cases) {
        SCOPED_TRACE(c.value);
        HUX_OrderRejectField r = order(c.value);
        expect_text(r.value_text, c.text, "value text");
        expect_text(r.reason_text, "", "no joined text");
        EXPECT_EQ(r.reason_code, c.code);
        EXPECT_EQ(set_flags(r), c.flags);
    }
    // Value 6's flag is the byte at +18 + 65 of the record.
    HUX_OrderRejectField r = order(6);
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(&r)[18 + 65], 1);
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(&r)[17], 113);

    // Values without an entry, and 0, leave the record all zero.
    for (uint32_t v : {0u, 9u, 30u, 59u, 61u, 63u}) {
        HUX_OrderRejectField none = order(v);
        HUX_OrderRejectField blank;
        memset(&blank, 0, sizeof(blank));
        EXPECT_EQ(memcmp(&none, &blank, sizeof(blank)), 0) << "value " << v;
    }
}

TEST_F(RejectText, SpecialOrderRejectTextsWithoutFlags) {
    const char* const small[] = {"资金不足", "仓位不足", "禁止交易", "信息量风控"};
    for (uint32_t v = 1; v <= 4; ++v) {
        SCOPED_TRACE(v);
        HUX_SpecialOrderRejectField r = special(v);
        expect_text(r.value_text, small[v - 1], "value text");
        expect_text(r.reason_text, "", "no joined text");
        const uint32_t stored = r.reject_value;  // copied out of the packed record
        EXPECT_EQ(stored, 0u) << "the raw value is the handler's to store";
    }
    // A mask joins as for orders, lowest bit first.
    HUX_SpecialOrderRejectField r = special((1u << 6) | (1u << 17) | (1u << 8));
    expect_text(r.reason_text, ";投机套保标志;合约不存在;", "mask");
    expect_text(r.value_text, "", "mask value text");
    // 5 to 63 give nothing.
    for (uint32_t v : {5u, 6u, 60u, 63u}) {
        HUX_SpecialOrderRejectField none = special(v);
        EXPECT_EQ(none.reason_text[0], '\0') << v;
        EXPECT_EQ(none.value_text[0], '\0') << v;
    }
}

TEST_F(RejectText, CancelRejectKeyByPriorityAndTextAsStored) {
    struct cancel_case {
        uint32_t mask;
        uint32_t key;
        const char* text;  // null: the map has none and the field stays as it was
    };
    const cancel_case cases[] = {
        {4 | 32, 5, "找不到报单"},
        {256, 257, nullptr},
        {2 | 16, 3, "报单尚未被市场接受"},
        {1024, 1024, nullptr},
        {2147483649u, 2147483649u, "没有品种权限"},
        {32 | 2, 33, "报单已撤单或已成交"},
        {16, 17, "客户号或者登录号错误"},
        {128 | 512 | 256 | 16, 129, "客户端token错误"},
        {512 | 256, 513, "无可用于撤单的席位"},
        {1025, 1025, "席位流控"},
        {262144, 262144, nullptr},  // no priority bit: the mask itself, not 262145
        {262145, 262145, "撤单请求触发流控"},
        {1 | 8, 9, nullptr},
    };
    for (const cancel_case& c : cases) {
        SCOPED_TRACE(c.mask);
        EXPECT_EQ(CRejectReasonText::cancel_reject_key(c.mask), c.key);
        char text[HUX_ADAPTER::CANCEL_REJECT_TEXT_SIZE];
        memset(text, 0, sizeof(text));
        EXPECT_EQ(texts.cancel_reject(c.mask, text), c.key);
        expect_text(text, c.text ? c.text : "", "cancel text");
    }
    // Texts are copied unchanged (UTF-8) and bounded: at most 87 bytes and a NUL.
    texts.cancel_reject_texts[5] = std::string(200, 'x');
    char text[HUX_ADAPTER::CANCEL_REJECT_TEXT_SIZE];
    memset(text, 0x7F, sizeof(text));
    EXPECT_EQ(texts.cancel_reject(4, text), 5u);
    expect_text(text, std::string(87, 'x'), "bounded");
}

TEST_F(RejectText, TablesAreFilledOnceAndKeptInTheirStoredForms) {
    // Bit texts are kept in GB2312: bit 17 "合约不存在".
    EXPECT_EQ(texts.bit_texts[17], std::string("\xBA\xCF\xD4\xBC\xB2\xBB\xB4\xE6\xD4\xDA"));
    EXPECT_TRUE(texts.bit_texts[18].empty());
    EXPECT_TRUE(texts.bit_texts[31].empty());
    // Small values too: 3 "禁止交易".
    EXPECT_EQ(texts.special_order_value_texts[3], std::string("\xBD\xFB\xD6\xB9\xBD\xBB\xD2\xD7"));
    // The code table: bits 24 and 26 have texts but code 0.
    const int32_t codes[32] = {0, 0, 0, 0, 0, 0, 0, 2, 3, 5, 10, 6, 12, 13, 14, 15,
                               16, 17, 0, 0, 20, 21, 22, 23, 0, 25, 0, 18, 28, 29, 0, 0};
    for (int b = 0; b < 32; ++b) EXPECT_EQ(texts.reason_codes[b], codes[b]) << "bit " << b;
    // Filling again starts from empty tables.
    texts.bit_texts[3] = "stale";
    texts.cancel_reject_texts[7] = "stale";
    texts.InitRejectReasonText();
    EXPECT_TRUE(texts.bit_texts[3].empty());
    EXPECT_EQ(texts.cancel_reject_texts.size(), 16u);
    EXPECT_EQ(texts.cancel_reject_texts.count(7), 0u);
    EXPECT_EQ(texts.cancel_reject_texts.at(2147483649u), "没有品种权限");
}

}  // namespace
