#include "adapter/adapter_reject_text.h"

#include <cstring>

#include "tools/char_set.h"
#include "tools/cross_platform_api.h"

namespace HUX_ADAPTER {

namespace {

const size_t REJECT_TEXT_SIZE = sizeof(HUX_OrderRejectField::reason_text);
const int SUPPRESSED_CODE_BIT = 15;  // its code marks the bit in the flags, never as the reason

struct bit_text {
    int bit;
    const char* text;
};

// Written here in UTF-8; InitRejectReasonText keeps them in GB2312, the form
// the joined text is built in.
const bit_text k_bit_texts[] = {
    {0, "整体校验结果"},
    {7, "下单目的地不合法"},
    {8, "投机套保标志"},
    {9, "止损价不合法"},
    {10, "下单数量不合法"},
    {11, "下单价格不合法"},
    {12, "买卖方向不合法"},
    {13, "订单类型不合法"},
    {14, "用户名与账户对应关系出错"},
    {15, "下单OrderToken数字校验"},
    {16, "账户不存在"},
    {17, "合约不存在"},
    {20, "资金账户未绑定交易所编码"},
    {21, "FOK/FAK最小成交量指定错误"},
    {22, "暂无可用交易所连接"},
    {23, "账户/gis无交易权限"},
    {24, "UDP sequence不合法"},
    {25, "收到交易所对冲、履约对冲、放弃行权后，每个合约只能有一笔"},
    {26, "行权未在设置时间内"},
    {27, "每秒发送报单数超限"},
    {28, "广期所指数行权最低盈利金额错误"},
    {29, "合约品种无GIS权限"},
};

struct bit_code {
    int bit;
    int32_t code;
};

// Bits not listed give 0 (24 and 26 have a text but no code).
const bit_code k_bit_codes[] = {
    {7, 2},   {8, 3},   {9, 5},   {10, 10}, {11, 6},  {12, 12}, {13, 13}, {14, 14}, {15, 15},
    {16, 16}, {17, 17}, {20, 20}, {21, 21}, {22, 22}, {23, 23}, {25, 25}, {27, 18}, {28, 28},
    {29, 29},
};

struct value_text {
    uint32_t value;
    uint8_t flag_index;
    uint8_t reason_code;
    const char* text;
};

// Value 6 marks the same flag as value 3 but reports its own code.
const value_text k_order_values[CRejectReasonText::ORDER_REJECT_VALUES] = {
    {1, 114, 114, "可用资金不足"},
    {2, 115, 115, "可平仓位不足"},
    {3, 65, 65, "禁止交易"},
    {4, 66, 66, "信息量风控"},
    {5, 67, 67, "开仓量风控"},
    {6, 65, 113, "自成交检查"},
    {7, 52, 52, "不在涨跌停范围/不符合最小价格变动单位"},
    {8, 50, 50, "单笔订单数量限制"},
    {60, 109, 109, "联合风控账户风控度"},
};

const char* const k_special_order_values[CRejectReasonText::SPECIAL_REJECT_VALUES + 1] = {
    "", "资金不足", "仓位不足", "禁止交易", "信息量风控",
};

struct key_text {
    uint32_t key;
    const char* text;
};

// Kept in UTF-8 and copied as stored.
const key_text k_cancel_texts[] = {
    {3, "报单尚未被市场接受"},
    {5, "找不到报单"},
    {17, "客户号或者登录号错误"},
    {33, "报单已撤单或已成交"},
    {129, "客户端token错误"},
    {513, "无可用于撤单的席位"},
    {1025, "席位流控"},
    {2049, "席位已断开"},
    {4097, "内部错误1"},
    {8193, "内部错误2"},
    {16385, "内部错误3"},
    {32769, "内部错误4"},
    {65537, "内部错误5"},
    {131073, "内部错误6"},
    {262145, "撤单请求触发流控"},
    {2147483649u, "没有品种权限"},
};

// Mask bits in the order that decides a cancel-reject key.
const uint32_t k_cancel_key_bits[] = {4, 32, 2, 128, 512, 256, 16};

std::string to_gb2312(const char* utf8) {
    std::string out;
    MORVAST::TOOLS::convert_utf8_to_gb2312(utf8, out);
    return out;
}

// A GB2312 text into a record field as UTF-8: at most size - 1 bytes (cut
// byte-wise) and a NUL. An empty text leaves the field as it is.
void put_as_utf8(const std::string& gb2312, char* field, size_t size) {
    if (gb2312.empty()) return;
    std::string utf8;
    MORVAST::TOOLS::convert_gb2312_to_utf8(gb2312.c_str(), utf8);
    MORVAST::TOOLS::strncpy_mv(field, static_cast<u32_mv>(size), utf8.c_str());
}

}  // namespace

CRejectReasonText::CRejectReasonText() : reason_codes(), order_values() {}

void CRejectReasonText::InitRejectReasonText() {
    for (std::string& text : bit_texts) text.clear();
    for (const bit_text& t : k_bit_texts) bit_texts[t.bit] = to_gb2312(t.text);
    for (int32_t& code : reason_codes) code = 0;
    for (const bit_code& c : k_bit_codes) reason_codes[c.bit] = c.code;
    for (size_t i = 0; i < ORDER_REJECT_VALUES; ++i) {
        const value_text& v = k_order_values[i];
        order_values[i] = order_reject_value{v.value, v.flag_index, v.reason_code, to_gb2312(v.text)};
    }
    for (uint32_t v = 0; v <= SPECIAL_REJECT_VALUES; ++v) {
        special_order_value_texts[v] = to_gb2312(k_special_order_values[v]);
    }
    cancel_reject_texts.clear();
    for (const key_text& k : k_cancel_texts) cancel_reject_texts.emplace(k.key, k.text);
}

std::string CRejectReasonText::join_bit_texts(uint32_t mask) const {
    std::string joined;
    for (int bit = 0; bit < 32; ++bit) {
        if ((mask & (uint32_t(1) << bit)) == 0) continue;
        joined += bit_texts[bit];
        joined += ';';
    }
    return joined;
}

void CRejectReasonText::order_reject(uint32_t value, HUX_OrderRejectField& rec) const {
    if (value > 63) {
        for (int bit = 0; bit < 32; ++bit) {
            if ((value & (uint32_t(1) << bit)) == 0) continue;
            const int32_t code = reason_codes[bit];
            if (code >= 0 && static_cast<size_t>(code) < sizeof(rec.flags)) rec.flags[code] = 1;
            if (rec.reason_code == 0 && bit != SUPPRESSED_CODE_BIT) rec.reason_code = static_cast<uint8_t>(code);
        }
        put_as_utf8(join_bit_texts(value), rec.reason_text, sizeof(rec.reason_text));
        return;
    }
    for (const order_reject_value& v : order_values) {
        if (v.value != value) continue;
        rec.flags[v.flag_index] = 1;
        rec.reason_code = v.reason_code;
        put_as_utf8(v.text, rec.value_text, sizeof(rec.value_text));
        return;
    }
}

void CRejectReasonText::special_order_reject(uint32_t value, HUX_SpecialOrderRejectField& rec) const {
    static_assert(sizeof(rec.reason_text) == REJECT_TEXT_SIZE, "both reject records carry 1024-byte texts");
    if (value > 63) {
        put_as_utf8(join_bit_texts(value), rec.reason_text, sizeof(rec.reason_text));
    } else if (value >= 1 && value <= SPECIAL_REJECT_VALUES) {
        put_as_utf8(special_order_value_texts[value], rec.value_text, sizeof(rec.value_text));
    }
}

uint32_t CRejectReasonText::cancel_reject_key(uint32_t mask) {
    for (uint32_t bit : k_cancel_key_bits) {
        if (mask & bit) return bit + 1;
    }
    return mask;
}

uint32_t CRejectReasonText::cancel_reject(uint32_t mask, char (&text)[CANCEL_REJECT_TEXT_SIZE]) const {
    const uint32_t key = cancel_reject_key(mask);
    const auto found = cancel_reject_texts.find(key);
    if (found != cancel_reject_texts.end()) {
        MORVAST::TOOLS::strncpy_mv(text, static_cast<u32_mv>(sizeof(text)), found->second.c_str());
    }
    return key;
}

}  // namespace HUX_ADAPTER
