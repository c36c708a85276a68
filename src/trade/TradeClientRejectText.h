// Reason texts of the trade session's reject records. A reject from the
// trading server carries its reasons as a code or as a 32-bit mask (one bit
// per failed check); these tables and builders turn them into the UTF-8 texts
// the application receives. The session owns one object, fills it once in its
// constructor (InitRejectReasonText calls fill()) and only reads it afterwards,
// on the receive thread, without a lock.
#ifndef HUX_TRADE_CLIENT_REJECT_TEXT_H
#define HUX_TRADE_CLIENT_REJECT_TEXT_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/lock.h"
#include "tools/template_map_int.h"

namespace HUX_TRADE {

// Width of the two reason texts of an insert-reject record.
const size_t REJECT_INSERT_TEXT_SIZE = 1024;
// Width of the reason text of a cancel-reject record.
const size_t REJECT_CANCEL_TEXT_SIZE = 88;

class CRejectReasonText {
public:
    typedef MORVAST::TOOLS::map_int<std::string, MORVAST::TOOLS::null_lock> text_map;

    CRejectReasonText();
    CRejectReasonText(const CRejectReasonText&) = delete;
    CRejectReasonText& operator=(const CRejectReasonText&) = delete;

    // Empties the five bit tables, then assigns every text and map entry.
    void fill();

    // Insert reject from an ordinary server (also combination and
    // special-order rejects from any server). value >= 64 is a mask whose
    // bits go into text1; 1-8 and 60 give the fixed code text in text2; any
    // other value leaves both texts empty.
    void insert_reject_texts(uint32_t value, char (&text1)[REJECT_INSERT_TEXT_SIZE],
                             char (&text2)[REJECT_INSERT_TEXT_SIZE]) const;

    // Insert reject from a qv27 server: order-check mask m1 into text1 and
    // risk-check mask m2 into text2, every set bit written as "<bit>:<text>;".
    void qv27_insert_reject_texts(uint32_t m1, uint32_t m2,
                                  char (&text1)[REJECT_INSERT_TEXT_SIZE],
                                  char (&text2)[REJECT_INSERT_TEXT_SIZE]) const;

    // Cancel or quote-action reject from the trading server: the texts of the
    // set bits, each followed by ";", from the qv27 table when qv27 is true,
    // else the ordinary one. Special-order cancel rejects pass qv27 = false.
    void cancel_reject_text(uint32_t mask, bool qv27, char (&text)[REJECT_CANCEL_TEXT_SIZE]) const;

    // Cancel reject from the exchange (order or special-order cancel): the
    // exchange id picks the map (102, 103, 106: _1; 104, 108: _2; 105: _3);
    // other ids and unknown codes leave the text empty.
    void market_cancel_reject_text(uint32_t code, uint8_t exchange_id,
                                   char (&text)[REJECT_CANCEL_TEXT_SIZE]) const;

    // Quote-action reject from the exchange: the code is looked up in the
    // three maps in turn; the first text found is used, else the text is empty.
    void quote_action_market_reject_text(uint32_t code, char (&text)[REJECT_CANCEL_TEXT_SIZE]) const;

    // Insert reject from the exchange: the exchange's GBK text (a field of
    // wire_len bytes, not necessarily terminated) converted to UTF-8 and cut
    // to text_size - 1 bytes, always terminated. text_size 0 writes nothing.
    static void market_insert_reject_text(const char* wire_text, size_t wire_len, char* text,
                                          size_t text_size);

    // Fixed text of an ordinary-server reason code (1-8, 60), UTF-8; an empty
    // string for any other code.
    static const char* insert_reject_code_text(uint32_t code);

    // Bit tables; the three insert tables hold GBK, the two cancel tables UTF-8.
    std::string insert_reject_bit_texts[32];
    std::string qv27_order_check_bit_texts[32];
    std::string qv27_risk_check_bit_texts[32];
    std::string cancel_reject_bit_texts[32];
    std::string qv27_cancel_reject_bit_texts[32];

    // Exchange cancel-reject code maps, UTF-8. map_int::find is not const (it
    // takes its null_lock), hence mutable: the maps are only read after fill().
    mutable text_map market_cancel_reject_texts_1;
    mutable text_map market_cancel_reject_texts_2;
    mutable text_map market_cancel_reject_texts_3;
};

}  // namespace HUX_TRADE

#endif
