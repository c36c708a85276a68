// Reason texts of the adapter's reject records. The trading server reports a
// refused order or special order as a 32-bit mask of failed checks (one bit
// per check) or as a single small value, and a refused cancel as a mask of
// which one bit is reported; these tables turn them into the UTF-8 texts,
// reason codes and flags the application receives. They are the adapter's
// own: the trade library keeps other texts in its own class of this name.
//
// The trade session owns one object, fills it once at the end of its
// construction (InitRejectReasonText) and afterwards only reads it, on the
// receive thread, without a lock.
#ifndef HUX_ADAPTER_REJECT_TEXT_H
#define HUX_ADAPTER_REJECT_TEXT_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "hux_adapter_struct.h"

namespace HUX_ADAPTER {

// Width of the reason text of a cancel-reject record.
const size_t CANCEL_REJECT_TEXT_SIZE = 88;

class CRejectReasonText {
public:
    // A reject value that is not a mask (order rejects: 1 to 8 and 60).
    struct order_reject_value {
        uint32_t value;
        uint8_t flag_index;   // flags[flag_index] of HUX_OrderRejectField is set
        uint8_t reason_code;
        std::string text;     // GB2312
    };

    static const size_t ORDER_REJECT_VALUES = 9;
    static const uint32_t SPECIAL_REJECT_VALUES = 4;  // values 1 to 4

    CRejectReasonText();
    CRejectReasonText(const CRejectReasonText&) = delete;
    CRejectReasonText& operator=(const CRejectReasonText&) = delete;

    // Empties every table, then assigns the bit texts (GB2312), the reason
    // codes, the two small-value lists (GB2312) and the cancel-reject map
    // (UTF-8).
    void InitRejectReasonText();

    // Refused order: a value above 63 joins the texts of its set bits into
    // reason_text and sets a flag per bit and the first reason code; 1 to 8
    // and 60 set value_text, one flag and the code; anything else writes
    // nothing. Writes only reason_code, flags and the two texts of a record
    // the caller has zeroed.
    void order_reject(uint32_t value, HUX_OrderRejectField& rec) const;

    // Refused special order: a value above 63 joins its bit texts into
    // reason_text (no flags, no code); 1 to 4 set value_text. Writes only
    // the two texts of a record the caller has zeroed.
    void special_order_reject(uint32_t value, HUX_SpecialOrderRejectField& rec) const;

    // Key of a cancel-reject mask: the first of the bits 4, 32, 2, 128, 512,
    // 256, 16 that the mask holds, plus 1; the mask itself when it holds none.
    static uint32_t cancel_reject_key(uint32_t mask);

    // Returns the key of the mask and copies the text the map keeps under
    // it into text (at most 87 bytes and a NUL); text is left untouched when
    // the map has no such key. Texts are never joined for cancels.
    uint32_t cancel_reject(uint32_t mask, char (&text)[CANCEL_REJECT_TEXT_SIZE]) const;

    // The set bits' texts, lowest bit first, each followed by ";" (";" alone
    // for a bit without text), in GB2312.
    std::string join_bit_texts(uint32_t mask) const;

    // Indexed by the bit number of an order-reject mask.
    std::string bit_texts[32];        // GB2312; empty unless the bit has a text
    int32_t reason_codes[32];
    order_reject_value order_values[ORDER_REJECT_VALUES];
    std::string special_order_value_texts[SPECIAL_REJECT_VALUES + 1];  // GB2312, by value; [0] unused
    std::map<uint32_t, std::string> cancel_reject_texts;             // UTF-8
};

}  // namespace HUX_ADAPTER

#endif
