// The risk answers' tables: where each value of a 1082 and a 1083 sits on
// the wire, and where the client puts it in its record. Transcribed row by
// row from the record layouts (record offset, wire offset, type), in record
// order.
#include "sim/sim_risk_tables.h"

#include <cstring>

namespace hux_sim {

namespace {

const risk_kind u32 = risk_kind::u32;
const risk_kind i64 = risk_kind::i64;
const risk_kind f64 = risk_kind::f64;

// 1082: the account risk record (957 bytes, the account text at 0).
const sim_risk_entry account_entries[account_risk_entry_count] = {
    {17, 24, u32}, {21, 28, i64}, {29, 324, f64}, {37, 332, f64},
    {45, 340, f64}, {53, 348, f64}, {61, 692, i64}, {69, 636, f64},
    {77, 612, f64}, {85, 668, f64}, {93, 652, f64}, {101, 644, i64},
    {109, 700, i64}, {117, 516, i64}, {125, 524, i64}, {133, 564, i64},
    {141, 572, i64}, {149, 356, f64}, {157, 364, f64}, {165, 388, i64},
    {173, 396, i64}, {181, 404, i64}, {189, 412, i64}, {197, 420, i64},
    {205, 428, i64}, {213, 436, i64}, {221, 444, i64}, {229, 548, i64},
    {237, 556, i64}, {245, 596, i64}, {253, 604, i64}, {261, 580, i64},
    {269, 588, i64}, {277, 708, f64}, {285, 948, f64}, {293, 372, f64},
    {301, 380, f64}, {309, 820, i64}, {317, 828, i64}, {325, 740, i64},
    {333, 748, i64}, {341, 756, i64}, {349, 764, i64}, {357, 772, i64},
    {365, 780, i64}, {373, 788, i64}, {381, 796, i64}, {389, 804, i64},
    {397, 812, i64}, {405, 852, i64}, {413, 732, i64}, {421, 956, i64},
    {429, 724, f64}, {437, 964, f64}, {445, 100, i64}, {453, 108, i64},
    {461, 148, f64}, {469, 156, f64}, {477, 228, i64}, {485, 236, i64},
    {493, 532, i64}, {501, 540, i64}, {509, 836, i64}, {517, 844, i64},
    {525, 292, i64}, {533, 300, i64}, {541, 308, i64}, {549, 316, i64},
    {557, 260, i64}, {565, 268, i64}, {573, 276, i64}, {581, 284, i64},
    {589, 868, i64}, {597, 876, i64}, {605, 884, i64}, {613, 892, i64},
    {621, 900, i64}, {629, 908, i64}, {637, 916, i64}, {645, 924, i64},
    {653, 52, f64}, {661, 60, f64}, {669, 932, f64}, {677, 940, f64},
    {685, 716, f64}, {693, 972, f64}, {701, 68, i64}, {709, 76, i64},
    {717, 116, i64}, {725, 124, i64}, {733, 36, f64}, {741, 44, f64},
    {749, 84, f64}, {757, 92, f64}, {765, 132, i64}, {773, 140, i64},
    {781, 180, f64}, {789, 188, f64}, {797, 164, i64}, {805, 172, i64},
    {813, 212, i64}, {821, 220, i64}, {829, 196, f64}, {837, 204, f64},
    {845, 244, f64}, {853, 252, f64}, {861, 684, f64}, {869, 980, f64},
    {877, 676, f64}, {885, 988, f64}, {893, 452, i64}, {901, 460, i64},
    {909, 468, i64}, {917, 476, i64}, {925, 484, i64}, {933, 492, i64},
    {941, 500, i64}, {949, 508, i64},
};

// 1083: the per-symbol risk record (417 bytes, the account text at 4 and the
// symbol at 21).
const sim_risk_entry symbol_entries[symbol_risk_entry_count] = {
    {0, 8, u32}, {41, 48, i64}, {49, 56, f64}, {57, 64, f64},
    {65, 72, i64}, {73, 80, f64}, {81, 88, f64}, {89, 96, f64},
    {97, 104, i64}, {105, 112, f64}, {113, 120, f64}, {121, 128, i64},
    {129, 136, f64}, {137, 144, f64}, {145, 160, f64}, {153, 168, u32},
    {157, 172, u32}, {161, 176, u32}, {165, 180, u32}, {169, 192, f64},
    {177, 208, f64}, {185, 240, f64}, {193, 224, f64}, {201, 288, f64},
    {209, 296, i64}, {217, 304, i64}, {225, 200, f64}, {233, 376, f64},
    {241, 184, i64}, {249, 384, f64}, {257, 232, f64}, {265, 392, f64},
    {273, 216, f64}, {281, 400, f64}, {289, 272, i64}, {297, 408, f64},
    {305, 264, f64}, {313, 416, f64}, {321, 256, f64}, {329, 424, f64},
    {337, 248, f64}, {345, 432, f64}, {353, 152, f64}, {361, 440, f64},
    {369, 312, f64}, {377, 320, i64}, {385, 328, f64}, {393, 344, f64},
    {401, 352, i64}, {409, 360, f64},
};

}  // namespace

const sim_risk_entry* account_risk_entries() { return account_entries; }
const sim_risk_entry* symbol_risk_entries() { return symbol_entries; }

size_t risk_width(risk_kind kind) { return kind == risk_kind::u32 ? 4 : 8; }

std::string risk_value_bytes(risk_kind kind, uint64_t value) {
    uint64_t bits = value;
    if (kind == risk_kind::f64) {
        const double d = static_cast<double>(value);
        std::memcpy(&bits, &d, sizeof(bits));
    }
    std::string out(risk_width(kind), '\0');
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char>((bits >> (8 * i)) & 0xff);
    return out;
}

void fill_risk_entries(std::string& message, const sim_risk_entry* entries, size_t count, uint32_t base) {
    for (size_t i = 0; i < count; ++i) {
        const std::string bytes = risk_value_bytes(entries[i].kind, static_cast<uint64_t>(base) + i);
        if (entries[i].wire + bytes.size() <= message.size()) message.replace(entries[i].wire, bytes.size(), bytes);
    }
}

}  // namespace hux_sim
