#include "trade/TradeClientRejectText.h"

#include <cstring>

#include "tools/char_set.h"
#include "tools/cross_platform_api.h"

namespace HUX_TRADE {

namespace {

struct bit_text {
    int bit;
    const char* text;
};

struct code_text {
    int64_t code;
    const char* text;
};

// The texts are written here in UTF-8; fill() turns the insert tables into
// GBK, the form the server's own tables use.
const bit_text k_insert_reject_bits[] = {
    {0, "整体校验结果"},
    {7, "交易所编号不合法"},
    {8, "投机套保标志不合法"},
    {9, "止盈止损价不合法"},
    {10, "下单数量不合法"},
    {11, "下单价格不合法"},
    {12, "买卖方向不合法"},
    {13, "订单类型不合法"},
    {14, "用户与账户对应关系出错"},
    {15, "下单OrderToken数字校验"},
    {16, "账户不存在"},
    {17, "合约不存在/新老报价合约不一致"},
    {18, "报价顶单，报价编号找不到"},
    {20, "资金账户未绑定交易所编码/新老报价交易编码不一致"},
    {21, "FOK/FAK最小成交量指定错误"},
    {22, "暂无可用交易所连接"},
    {23, "无期权/GIS/组合交易权限"},
    {24, "UDP sequence不合法"},
    {25, "交易所对冲、履约对冲、放弃行权订单只允许一笔在途"},
    {26, "行权未在设置时间内"},
    {27, "每秒发送报单数超限"},
    {28, "广期所指数行权最低盈利金额错误"},
};

const bit_text k_qv27_order_check_bits[] = {
    {0, "整体校验结果"},
    {1, "客户下订单超限"},
    {2, "客户端userid_sessionid不匹配"},
    {3, "客户端流控临界点上订单拒绝"},
    {7, "交易所编号不合法"},
    {8, "投机套保标志不合法"},
    {9, "止盈止损价不合法"},
    {10, "下单数量不合法"},
    {11, "下单价格不合法"},
    {12, "买卖方向不合法"},
    {13, "订单类型不合法"},
    {14, "用户名与账户对应关系出错"},
    {15, "下单OrderToken数字校验"},
    {16, "账户不存在"},
    {17, "合约不存在/新老报价合约不一致"},
    {18, "报价顶单，报价编号找不到"},
    {20, "资金账户未绑定交易所编码/新老报价交易编码不一致"},
    {21, "FOK/FAK最小成交量指定错误"},
    {22, "暂无可用交易所连接"},
    {23, "无期权交易权限"},
    {26, "ioc不合法"},
};

const bit_text k_qv27_risk_check_bits[] = {
    {0, "风控整体校验结果"},
    {1, "资金不足"},
    {2, "仓位不足"},
    {3, "品种权限"},
    {4, "信息量风控"},
    {5, "开仓量风控"},
    {6, "自成交风控"},
    {7, "开仓保证金限制"},
    {8, "禁止交易"},
    {9, "累计开仓保证金"},
};

const bit_text k_cancel_reject_bits[] = {
    {0, "整体校验结果"},
    {1, "订单未被市场接收就发来了撤单"},
    {2, "撤单ID不存在"},
    {4, "撤单和下单Account不一致"},
    {5, "订单已经关闭，撤单拒绝"},
    {6, "挂起当撤单时发出激活操作"},
    {7, "客户端token错误"},
    {8, "撤单的UserID和Account绑定关系出错"},
    {9, "撤单对应MktId下所有Sessionid都不可用"},
    {10, "Mi调用处发送失败"},
    {11, "暂无可用交易所连接 "},  // the trailing space is part of the text
};

const bit_text k_qv27_cancel_reject_bits[] = {
    {0, "整体校验结果"},
    {1, "订单尚未被市场接受"},
    {2, "撤单ID不存在"},
    {4, "客户号或者登录号错误"},
    {5, "订单已经关闭"},
    {6, "撤销订单不支持激活"},
    {7, "人工单不能从本系统撤单"},
    {8, "客户号或者登录号错误"},
    {9, "无可用于撤单的席位"},
    {10, "userid-sessionid对应关系不正确"},
    {11, "action_flag字段值不在范围内"},
    {12, "actionid超过上限"},
};

const code_text k_market_cancel_reject_1[] = {
    {24, "报单找不到"},
    {25, "报价找不到"},
    {26, "当前状态禁止此项操作"},
    {28, "报单已经全部成交"},
    {29, "报单已经撤销"},
};

const code_text k_market_cancel_reject_2[] = {
    {30006, "履约对冲申请记录不存在"},
    {30007, "期权执行申请记录已撤销"},
    {40037, "该品种当前是收市"},
    {40038, "交易员不能撤强平单"},
    {40039, "已经撤单"},
    {40040, "完全成交，不能撤单"},
    {72001, "定单状态已为撤销"},
    {72002, "定单被系统撤销"},
    {72003, "无此撤销定单"},
};

const code_text k_market_cancel_reject_3[] = {
    {602, "现在不是交易时间"},
    {710, "该委托单已经撤销"},
    {711, "该委托单已经成交"},
    {712, "该委托单为强行平仓单，不可撤销"},
};

template <size_t N>
void assign_bits(std::string (&table)[32], const bit_text (&texts)[N], bool to_gbk) {
    for (std::string& entry : table) entry.clear();
    for (const bit_text& t : texts) {
        if (to_gbk) {
            MORVAST::TOOLS::convert_utf8_to_gb2312(t.text, table[t.bit]);
        } else {
            table[t.bit] = t.text;
        }
    }
}

template <size_t N>
void assign_codes(CRejectReasonText::text_map& map, const code_text (&texts)[N]) {
    for (const code_text& t : texts) map.set(t.code, std::string(t.text));
}

// The entries of the set bits of mask, in rising bit order, each followed by
// ";" (an empty entry gives ";" alone). With numbered, "<bit>:" goes before
// each entry.
std::string join_bits(uint32_t mask, const std::string (&table)[32], bool numbered) {
    std::string out;
    for (int bit = 0; bit < 32; ++bit) {
        if ((mask & (uint32_t(1) << bit)) == 0) continue;
        if (numbered) {
            char number[10];
            MORVAST::TOOLS::snprintf_mv(number, sizeof(number), "%d:", bit);
            out += number;
        }
        out += table[bit];
        out += ';';
    }
    return out;
}

// A non-empty GBK working text goes to text as UTF-8, at most size - 1 bytes
// (byte-wise: a multi-byte character may be split) and a NUL.
void put_gbk_as_utf8(const std::string& gbk, char* text, size_t size) {
    if (gbk.empty()) return;
    std::string utf8;
    MORVAST::TOOLS::convert_gb2312_to_utf8(gbk.c_str(), utf8);
    MORVAST::TOOLS::strncpy_mv(text, static_cast<u32_mv>(size), utf8.c_str());
}

}  // namespace

CRejectReasonText::CRejectReasonText()
    : market_cancel_reject_texts_1(0),
      market_cancel_reject_texts_2(0),
      market_cancel_reject_texts_3(0) {}

void CRejectReasonText::fill() {
    assign_bits(insert_reject_bit_texts, k_insert_reject_bits, true);
    assign_bits(qv27_order_check_bit_texts, k_qv27_order_check_bits, true);
    assign_bits(qv27_risk_check_bit_texts, k_qv27_risk_check_bits, true);
    assign_bits(cancel_reject_bit_texts, k_cancel_reject_bits, false);
    assign_bits(qv27_cancel_reject_bit_texts, k_qv27_cancel_reject_bits, false);
    assign_codes(market_cancel_reject_texts_1, k_market_cancel_reject_1);
    assign_codes(market_cancel_reject_texts_2, k_market_cancel_reject_2);
    assign_codes(market_cancel_reject_texts_3, k_market_cancel_reject_3);
}

const char* CRejectReasonText::insert_reject_code_text(uint32_t code) {
    switch (code) {
        case 1: return "资金不足";
        case 2: return "仓位不足";
        case 3: return "禁止交易";
        case 4: return "信息量风控";
        case 5: return "开仓量风控";
        case 6: return "自成交检查";
        case 7: return "不在涨跌停范围/不符合最小价格变动单位";
        case 8: return "单笔订单数量限制";
        case 60: return "联合风控账户风险度";
        default: return "";
    }
}

void CRejectReasonText::insert_reject_texts(uint32_t value, char (&text1)[REJECT_INSERT_TEXT_SIZE],
                                            char (&text2)[REJECT_INSERT_TEXT_SIZE]) const {
    text1[0] = '\0';
    text2[0] = '\0';
    if (value >= 64) {
        put_gbk_as_utf8(join_bits(value, insert_reject_bit_texts, false), text1, sizeof(text1));
        return;
    }
    // The fixed code texts are GBK on the server; their UTF-8 form is kept
    // here directly, which is what converting them would give.
    MORVAST::TOOLS::strncpy_mv(text2, sizeof(text2), insert_reject_code_text(value));
}

void CRejectReasonText::qv27_insert_reject_texts(uint32_t m1, uint32_t m2,
                                                 char (&text1)[REJECT_INSERT_TEXT_SIZE],
                                                 char (&text2)[REJECT_INSERT_TEXT_SIZE]) const {
    text1[0] = '\0';
    text2[0] = '\0';
    put_gbk_as_utf8(join_bits(m1, qv27_order_check_bit_texts, true), text1, sizeof(text1));
    put_gbk_as_utf8(join_bits(m2, qv27_risk_check_bit_texts, true), text2, sizeof(text2));
}

void CRejectReasonText::cancel_reject_text(uint32_t mask, bool qv27,
                                           char (&text)[REJECT_CANCEL_TEXT_SIZE]) const {
    // The cancel tables already hold UTF-8: copied unconverted.
    const std::string joined =
        join_bits(mask, qv27 ? qv27_cancel_reject_bit_texts : cancel_reject_bit_texts, false);
    MORVAST::TOOLS::strncpy_mv(text, sizeof(text), joined.c_str());
}

void CRejectReasonText::market_cancel_reject_text(uint32_t code, uint8_t exchange_id,
                                                  char (&text)[REJECT_CANCEL_TEXT_SIZE]) const {
    text[0] = '\0';
    text_map* map = nullptr;
    switch (exchange_id) {
        case 102:
        case 103:
        case 106: map = &market_cancel_reject_texts_1; break;
        case 104:
        case 108: map = &market_cancel_reject_texts_2; break;
        case 105: map = &market_cancel_reject_texts_3; break;
        default: return;
    }
    std::string found;
    if (map->find(static_cast<int64_t>(code), found)) {
        MORVAST::TOOLS::strncpy_mv(text, sizeof(text), found.c_str());
    }
}

void CRejectReasonText::quote_action_market_reject_text(uint32_t code,
                                                        char (&text)[REJECT_CANCEL_TEXT_SIZE]) const {
    text[0] = '\0';
    const int64_t key = static_cast<int64_t>(code);
    std::string found;
    if (market_cancel_reject_texts_1.find(key, found) ||
        market_cancel_reject_texts_2.find(key, found) ||
        market_cancel_reject_texts_3.find(key, found)) {
        MORVAST::TOOLS::strncpy_mv(text, sizeof(text), found.c_str());
    }
}

void CRejectReasonText::market_insert_reject_text(const char* wire_text, size_t wire_len, char* text,
                                                  size_t text_size) {
    if (text == nullptr || text_size == 0) return;
    text[0] = '\0';
    if (wire_text == nullptr) return;
    // The wire field need not be terminated: read no further than its width.
    const void* nul = std::memchr(wire_text, '\0', wire_len);
    const size_t len = nul ? static_cast<size_t>(static_cast<const char*>(nul) - wire_text) : wire_len;
    const std::string gbk(wire_text, len);
    std::string utf8;
    MORVAST::TOOLS::convert_gb2312_to_utf8(gbk.c_str(), utf8);
    const size_t keep = utf8.size() < text_size - 1 ? utf8.size() : text_size - 1;
    std::memcpy(text, utf8.data(), keep);
    text[keep] = '\0';
}

}  // namespace HUX_TRADE
