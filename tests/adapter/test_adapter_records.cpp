// Layout of the adapter's public records: every field at its published
// offset and width, the fields tiling each record with no gap or overlap,
// and the connection record's defaults.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "hux_adapter_struct.h"

namespace {

struct field_layout {
    const char* record;
    const char* field;
    size_t record_size;
    size_t offset;
    size_t width;
    size_t want_offset;
    size_t want_width;
};

#define FIELD(R, F, OFF, W) \
    field_layout { #R, #F, sizeof(R), offsetof(R, F), sizeof(static_cast<R*>(nullptr)->F), OFF, W }

// Offsets and widths as the records are published, field by field in order.
const std::vector<field_layout>& layouts() {
    static const std::vector<field_layout> all = {
        FIELD(HUX_TradeSvrInfo, server_ip, 0, 16), FIELD(HUX_TradeSvrInfo, tcp_port, 16, 2),
        FIELD(HUX_TradeSvrInfo, udp_port, 18, 2), FIELD(HUX_TradeSvrInfo, query_ip, 20, 16),
        FIELD(HUX_TradeSvrInfo, query_port, 36, 2), FIELD(HUX_TradeSvrInfo, local_ip, 38, 16),
        FIELD(HUX_TradeSvrInfo, local_udp_port, 54, 2), FIELD(HUX_TradeSvrInfo, keep_timestamps, 56, 1),
        FIELD(HUX_TradeSvrInfo, blocking_tcp, 57, 1), FIELD(HUX_TradeSvrInfo, kernel_bypass, 58, 1),
        FIELD(HUX_TradeSvrInfo, exit_on_signal, 59, 1), FIELD(HUX_TradeSvrInfo, tcp_direct, 60, 1),
        FIELD(HUX_TradeSvrInfo, heartbeat_interval, 61, 4), FIELD(HUX_TradeSvrInfo, rsp_cpu, 65, 2),
        FIELD(HUX_TradeSvrInfo, send_lock, 67, 1),

        FIELD(HUX_LogonResponse, result, 0, 4), FIELD(HUX_LogonResponse, user_id, 4, 4),
        FIELD(HUX_LogonResponse, logon_value, 8, 4), FIELD(HUX_LogonResponse, max_token, 12, 4),
        FIELD(HUX_LogonResponse, order_fc_count, 16, 4), FIELD(HUX_LogonResponse, order_fc_window_us, 20, 4),
        FIELD(HUX_LogonResponse, cancel_fc_count, 24, 4), FIELD(HUX_LogonResponse, cancel_fc_window_us, 28, 4),

        FIELD(HUX_OrderAcceptField, client_token, 0, 4), FIELD(HUX_OrderAcceptField, server_order_field, 4, 8),
        FIELD(HUX_OrderAcceptField, result_flag, 12, 1), FIELD(HUX_OrderAcceptField, user_id, 13, 4),
        FIELD(HUX_OrderAcceptField, order_no, 17, 8), FIELD(HUX_OrderAcceptField, account, 25, 17),
        FIELD(HUX_OrderAcceptField, side, 42, 1), FIELD(HUX_OrderAcceptField, exchange_id, 43, 1),
        FIELD(HUX_OrderAcceptField, symbol, 44, 20), FIELD(HUX_OrderAcceptField, symbol_kind, 64, 1),
        FIELD(HUX_OrderAcceptField, price, 65, 8), FIELD(HUX_OrderAcceptField, quantity, 73, 4),
        FIELD(HUX_OrderAcceptField, reserved_77, 77, 1), FIELD(HUX_OrderAcceptField, opt_1, 78, 4),
        FIELD(HUX_OrderAcceptField, opt_2, 82, 4), FIELD(HUX_OrderAcceptField, opt_3, 86, 8),
        FIELD(HUX_OrderAcceptField, opt_4, 94, 1), FIELD(HUX_OrderAcceptField, opt_5, 95, 1),

        FIELD(HUX_OrderMarketAcceptField, account, 0, 17),
        FIELD(HUX_OrderMarketAcceptField, server_order_field, 17, 8),
        FIELD(HUX_OrderMarketAcceptField, exchange_order_id, 25, 25),
        FIELD(HUX_OrderMarketAcceptField, exchange_value, 50, 8), FIELD(HUX_OrderMarketAcceptField, user_id, 58, 4),
        FIELD(HUX_OrderMarketAcceptField, client_token, 62, 4), FIELD(HUX_OrderMarketAcceptField, status, 66, 1),

        FIELD(HUX_OrderRejectField, user_id, 0, 4), FIELD(HUX_OrderRejectField, order_no, 4, 8),
        FIELD(HUX_OrderRejectField, client_token, 12, 4), FIELD(HUX_OrderRejectField, result_flag, 16, 1),
        FIELD(HUX_OrderRejectField, reason_code, 17, 1), FIELD(HUX_OrderRejectField, flags, 18, 128),
        FIELD(HUX_OrderRejectField, reason_text, 146, 1024), FIELD(HUX_OrderRejectField, value_text, 1170, 1024),

        FIELD(HUX_OrderMarketRejectField, account, 0, 17),
        FIELD(HUX_OrderMarketRejectField, server_order_field, 17, 8),
        FIELD(HUX_OrderMarketRejectField, value_217, 25, 8), FIELD(HUX_OrderMarketRejectField, reason_text, 33, 81),
        FIELD(HUX_OrderMarketRejectField, exchange_id, 114, 1),
        FIELD(HUX_OrderMarketRejectField, reason_code, 115, 4), FIELD(HUX_OrderMarketRejectField, user_id, 119, 4),
        FIELD(HUX_OrderMarketRejectField, client_token, 123, 4),

        FIELD(HUX_OrderExecutionField, field_133, 0, 4), FIELD(HUX_OrderExecutionField, order_no, 4, 8),
        FIELD(HUX_OrderExecutionField, field_42, 12, 4), FIELD(HUX_OrderExecutionField, field_46, 16, 8),
        FIELD(HUX_OrderExecutionField, filled_quantity, 24, 4), FIELD(HUX_OrderExecutionField, fill_price, 28, 8),
        FIELD(HUX_OrderExecutionField, reserved_36, 36, 8), FIELD(HUX_OrderExecutionField, text_86, 44, 25),

        FIELD(HUX_OrderCxled, user_id, 0, 4), FIELD(HUX_OrderCxled, value_142, 4, 8),
        FIELD(HUX_OrderCxled, client_token, 12, 4), FIELD(HUX_OrderCxled, server_order_field, 16, 8),
        FIELD(HUX_OrderCxled, field_130, 24, 4), FIELD(HUX_OrderCxled, result_flag, 28, 1),

        FIELD(HUX_CxlOrderRej, reserved_0, 0, 17), FIELD(HUX_CxlOrderRej, market_token, 17, 8),
        FIELD(HUX_CxlOrderRej, reason_code, 25, 4), FIELD(HUX_CxlOrderRej, reason_text, 29, 88),
        FIELD(HUX_CxlOrderRej, user_id, 117, 4), FIELD(HUX_CxlOrderRej, client_token, 121, 4),
        FIELD(HUX_CxlOrderRej, exchange_id, 125, 1), FIELD(HUX_CxlOrderRej, opt_3, 126, 1),

        FIELD(HUX_PostOrder, user_id, 0, 4), FIELD(HUX_PostOrder, order_value, 4, 8),
        FIELD(HUX_PostOrder, server_order_field, 12, 8), FIELD(HUX_PostOrder, reserved_20, 20, 4),
        FIELD(HUX_PostOrder, side, 24, 1), FIELD(HUX_PostOrder, quantity, 25, 4),
        FIELD(HUX_PostOrder, symbol_kind, 29, 1), FIELD(HUX_PostOrder, symbol, 30, 20),
        FIELD(HUX_PostOrder, price, 50, 8), FIELD(HUX_PostOrder, account, 58, 17),
        FIELD(HUX_PostOrder, exchange_id, 75, 1), FIELD(HUX_PostOrder, reserved_76, 76, 1),
        FIELD(HUX_PostOrder, status, 77, 1), FIELD(HUX_PostOrder, exchange_order_id, 78, 25),
        FIELD(HUX_PostOrder, opt_5, 103, 1),

        FIELD(HUX_PostOrderExecution, field_133, 0, 4), FIELD(HUX_PostOrderExecution, order_no, 4, 8),
        FIELD(HUX_PostOrderExecution, field_46, 12, 8), FIELD(HUX_PostOrderExecution, filled_quantity, 20, 4),
        FIELD(HUX_PostOrderExecution, fill_price, 24, 8), FIELD(HUX_PostOrderExecution, filled_quantity_2, 32, 8),
        FIELD(HUX_PostOrderExecution, text_86, 40, 25),

        FIELD(HUX_SpecialOrderAcceptField, request_tag, 0, 4), FIELD(HUX_SpecialOrderAcceptField, client_token, 4, 4),
        FIELD(HUX_SpecialOrderAcceptField, field_24, 8, 4), FIELD(HUX_SpecialOrderAcceptField, user_id, 12, 4),
        FIELD(HUX_SpecialOrderAcceptField, value_76, 16, 8), FIELD(HUX_SpecialOrderAcceptField, account, 24, 17),
        FIELD(HUX_SpecialOrderAcceptField, opt_1, 41, 1), FIELD(HUX_SpecialOrderAcceptField, opt_2, 42, 4),
        FIELD(HUX_SpecialOrderAcceptField, symbol, 46, 29), FIELD(HUX_SpecialOrderAcceptField, opt_4, 75, 1),
        FIELD(HUX_SpecialOrderAcceptField, opt_5, 76, 1),

        FIELD(HUX_SpecialOrderRejectField, request_tag, 0, 4), FIELD(HUX_SpecialOrderRejectField, user_id, 4, 4),
        FIELD(HUX_SpecialOrderRejectField, value_76, 8, 8), FIELD(HUX_SpecialOrderRejectField, client_token, 16, 4),
        FIELD(HUX_SpecialOrderRejectField, result_flag, 20, 1),
        FIELD(HUX_SpecialOrderRejectField, reject_value, 21, 4),
        FIELD(HUX_SpecialOrderRejectField, reason_text, 25, 1024),
        FIELD(HUX_SpecialOrderRejectField, value_text, 1049, 1024),

        FIELD(HUX_SpecialOrderMarketAcceptField, request_tag, 0, 4),
        FIELD(HUX_SpecialOrderMarketAcceptField, account, 4, 17),
        FIELD(HUX_SpecialOrderMarketAcceptField, field_24, 21, 4),
        FIELD(HUX_SpecialOrderMarketAcceptField, exchange_order_id, 25, 25),
        FIELD(HUX_SpecialOrderMarketAcceptField, value_181, 50, 8),
        FIELD(HUX_SpecialOrderMarketAcceptField, user_id, 58, 4),
        FIELD(HUX_SpecialOrderMarketAcceptField, client_token, 62, 4),

        FIELD(HUX_SpecialOrderMarketRejectField, request_tag, 0, 4),
        FIELD(HUX_SpecialOrderMarketRejectField, account, 4, 17),
        FIELD(HUX_SpecialOrderMarketRejectField, field_24, 21, 4),
        FIELD(HUX_SpecialOrderMarketRejectField, value_181, 25, 8),
        FIELD(HUX_SpecialOrderMarketRejectField, reason_text, 33, 81),
        FIELD(HUX_SpecialOrderMarketRejectField, reserved_114, 114, 1),
        FIELD(HUX_SpecialOrderMarketRejectField, reason_code, 115, 4),
        FIELD(HUX_SpecialOrderMarketRejectField, user_id, 119, 4),
        FIELD(HUX_SpecialOrderMarketRejectField, client_token, 123, 4),

        FIELD(HUX_SpecialOrderActionAccept, request_tag, 0, 4), FIELD(HUX_SpecialOrderActionAccept, user_id, 4, 4),
        FIELD(HUX_SpecialOrderActionAccept, order_no, 8, 8), FIELD(HUX_SpecialOrderActionAccept, owner_token, 16, 4),
        FIELD(HUX_SpecialOrderActionAccept, owner_user_id, 20, 4),
        FIELD(HUX_SpecialOrderActionAccept, market_token, 24, 4),

        // 116 bytes: every listed field at its full width.
        FIELD(HUX_SpecialOrderActionRej, request_tag, 0, 4), FIELD(HUX_SpecialOrderActionRej, market_token, 4, 4),
        FIELD(HUX_SpecialOrderActionRej, reason_code, 8, 4), FIELD(HUX_SpecialOrderActionRej, reason_text, 12, 88),
        FIELD(HUX_SpecialOrderActionRej, owner_user_id, 100, 4),
        FIELD(HUX_SpecialOrderActionRej, owner_token, 104, 4), FIELD(HUX_SpecialOrderActionRej, order_no, 108, 8),

        FIELD(HUX_SpecialOrderActionMarketAcceptField, request_tag, 0, 4),
        FIELD(HUX_SpecialOrderActionMarketAcceptField, market_token, 4, 4),
        FIELD(HUX_SpecialOrderActionMarketAcceptField, user_id, 8, 4),
        FIELD(HUX_SpecialOrderActionMarketAcceptField, client_token, 12, 4),
        FIELD(HUX_SpecialOrderActionMarketAcceptField, cancel_mode, 16, 1),
        FIELD(HUX_SpecialOrderActionMarketAcceptField, owner_user_id, 17, 4),
        FIELD(HUX_SpecialOrderActionMarketAcceptField, owner_token, 21, 4),
        FIELD(HUX_SpecialOrderActionMarketAcceptField, value_129, 25, 8),

        // 125 bytes: the accept's eight fields, code, text, then a zero tail.
        FIELD(HUX_SpecialOrderActionMarketRejectField, request_tag, 0, 4),
        FIELD(HUX_SpecialOrderActionMarketRejectField, market_token, 4, 4),
        FIELD(HUX_SpecialOrderActionMarketRejectField, user_id, 8, 4),
        FIELD(HUX_SpecialOrderActionMarketRejectField, client_token, 12, 4),
        FIELD(HUX_SpecialOrderActionMarketRejectField, cancel_mode, 16, 1),
        FIELD(HUX_SpecialOrderActionMarketRejectField, owner_user_id, 17, 4),
        FIELD(HUX_SpecialOrderActionMarketRejectField, owner_token, 21, 4),
        FIELD(HUX_SpecialOrderActionMarketRejectField, value_129, 25, 8),
        FIELD(HUX_SpecialOrderActionMarketRejectField, reason_code, 33, 4),
        FIELD(HUX_SpecialOrderActionMarketRejectField, reason_text, 37, 81),
        FIELD(HUX_SpecialOrderActionMarketRejectField, reserved_118, 118, 7),

        FIELD(HUX_PostSpecialOrder, field_4, 0, 4), FIELD(HUX_PostSpecialOrder, user_id, 4, 4),
        FIELD(HUX_PostSpecialOrder, value_97, 8, 8), FIELD(HUX_PostSpecialOrder, field_24, 16, 4),
        FIELD(HUX_PostSpecialOrder, reserved_20, 20, 4), FIELD(HUX_PostSpecialOrder, field_16, 24, 1),
        FIELD(HUX_PostSpecialOrder, field_12, 25, 4), FIELD(HUX_PostSpecialOrder, symbol, 29, 20),
        FIELD(HUX_PostSpecialOrder, account, 49, 17), FIELD(HUX_PostSpecialOrder, field_9, 66, 1),
        FIELD(HUX_PostSpecialOrder, reserved_67, 67, 1), FIELD(HUX_PostSpecialOrder, field_96, 68, 1),
        FIELD(HUX_PostSpecialOrder, exchange_order_id, 69, 25), FIELD(HUX_PostSpecialOrder, field_17, 94, 1),

        FIELD(HUX_ExchangeMarketSession, exchange_id, 0, 1), FIELD(HUX_ExchangeMarketSession, session_count, 1, 1),
        FIELD(HUX_ExchangeMarketSession, sessions, 2, 255),

        FIELD(HUX_SymbolStatus, first_field, 0, 1), FIELD(HUX_SymbolStatus, symbol, 1, 20),
        FIELD(HUX_SymbolStatus, byte_a, 21, 1), FIELD(HUX_SymbolStatus, value, 22, 4),
        FIELD(HUX_SymbolStatus, short_text, 26, 9), FIELD(HUX_SymbolStatus, byte_b, 35, 1),

        FIELD(HUX_SessionID, session, 0, 17), FIELD(HUX_SessionID, value_a, 17, 4),
        FIELD(HUX_SessionID, value_b, 21, 4),
    };
    return all;
}

#undef FIELD

TEST(AdapterRecords, EveryFieldAtItsOffsetAndWidthAndTheFieldsTileEachRecord) {
    struct record_size {
        const char* record;
        size_t size;
    };
    // The published sizes; HUX_SpecialOrderActionRej's fields need 116.
    const record_size sizes[] = {
        {"HUX_TradeSvrInfo", 68},
        {"HUX_LogonResponse", 32},
        {"HUX_OrderAcceptField", 96},
        {"HUX_OrderMarketAcceptField", 67},
        {"HUX_OrderRejectField", 2194},
        {"HUX_OrderMarketRejectField", 127},
        {"HUX_OrderExecutionField", 69},
        {"HUX_OrderCxled", 29},
        {"HUX_CxlOrderRej", 127},
        {"HUX_PostOrder", 104},
        {"HUX_PostOrderExecution", 65},
        {"HUX_SpecialOrderAcceptField", 77},
        {"HUX_SpecialOrderRejectField", 2073},
        {"HUX_SpecialOrderMarketAcceptField", 66},
        {"HUX_SpecialOrderMarketRejectField", 127},
        {"HUX_SpecialOrderActionAccept", 28},
        {"HUX_SpecialOrderActionRej", 116},
        {"HUX_SpecialOrderActionMarketAcceptField", 33},
        {"HUX_SpecialOrderActionMarketRejectField", 125},
        {"HUX_PostSpecialOrder", 95},
        {"HUX_ExchangeMarketSession", 257},
        {"HUX_SymbolStatus", 36},
        {"HUX_SessionID", 25},
    };

    size_t records_seen = 0;
    std::string current;
    size_t next_offset = 0;
    size_t current_size = 0;
    auto close_record = [&]() {
        if (current.empty()) return;
        EXPECT_EQ(next_offset, current_size) << current << ": the fields end before or after the record";
        bool listed = false;
        for (const record_size& s : sizes) {
            if (current == s.record) {
                listed = true;
                EXPECT_EQ(current_size, s.size) << current;
            }
        }
        EXPECT_TRUE(listed) << current;
        ++records_seen;
    };
    for (const field_layout& f : layouts()) {
        if (current != f.record) {
            close_record();
            current = f.record;
            next_offset = 0;
            current_size = f.record_size;
        }
        EXPECT_EQ(f.offset, f.want_offset) << f.record << "::" << f.field;
        EXPECT_EQ(f.width, f.want_width) << f.record << "::" << f.field;
        EXPECT_EQ(f.offset, next_offset) << f.record << "::" << f.field << " leaves a gap or overlaps";
        next_offset = f.offset + f.width;
    }
    close_record();
    EXPECT_EQ(records_seen, sizeof(sizes) / sizeof(sizes[0]));
}

TEST(AdapterRecords, ConnectionRecordStartsFromItsDefaults) {
    HUX_TradeSvrInfo info;
    unsigned char bytes[sizeof(info)];
    memcpy(bytes, &info, sizeof(info));
    for (size_t i = 0; i < sizeof(bytes); ++i) {
        unsigned char want = 0;
        switch (i) {
            case 58: want = 1; break;               // kernel_bypass
            case 59: want = 1; break;               // exit_on_signal
            case 61: want = 5; break;               // heartbeat_interval, low byte of 5
            case 65: case 66: want = 0xFF; break;   // rsp_cpu -1
            default: break;
        }
        EXPECT_EQ(bytes[i], want) << "byte " << i;
    }
    // Packed fields are copied out before comparing (no reference to a misaligned field).
    const int32_t interval = info.heartbeat_interval;
    const int16_t rsp_cpu = info.rsp_cpu;
    EXPECT_EQ(info.kernel_bypass, 1);
    EXPECT_EQ(info.exit_on_signal, 1);
    EXPECT_EQ(interval, 5);
    EXPECT_EQ(rsp_cpu, -1);
    EXPECT_EQ(info.tcp_direct, 0);
    EXPECT_EQ(info.server_ip[0], '\0');
    // A copy keeps them.
    HUX_TradeSvrInfo copy = info;
    EXPECT_EQ(memcmp(&copy, &info, sizeof(info)), 0);
}

}  // namespace
