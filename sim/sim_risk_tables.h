// Where the values of the risk answers sit: for each value of a 1082
// (account risk, 118 values) and of a 1083 (per-symbol risk, 50 values) its
// wire offset, its type and the offset of the client's record field it goes
// to, in record order. The server fills them (sim_account_risk::fill) so
// that every value is distinct and a test can tell where each one landed.
#ifndef HUX_SIM_SIM_RISK_TABLES_H
#define HUX_SIM_SIM_RISK_TABLES_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace hux_sim {

enum class risk_kind : uint8_t {
    u32,  // uint32, 4 bytes
    i64,  // int64, 8 bytes
    f64,  // double, 8 bytes
};

struct sim_risk_entry {
    uint16_t record;  // offset in the client's record
    uint16_t wire;    // offset in the answer message
    risk_kind kind;
};

const size_t account_risk_entry_count = 118;
const size_t symbol_risk_entry_count = 50;

// The tables, account_risk_entry_count and symbol_risk_entry_count long.
const sim_risk_entry* account_risk_entries();
const sim_risk_entry* symbol_risk_entries();

size_t risk_width(risk_kind kind);

// `value` in the entry's form: an integer in its width, or that number as a
// little-endian double.
std::string risk_value_bytes(risk_kind kind, uint64_t value);

// Writes base + i into entry i of the table, each at its wire offset (an
// entry that would run past the message is left out).
void fill_risk_entries(std::string& message, const sim_risk_entry* entries, size_t count, uint32_t base);

}  // namespace hux_sim

#endif  // HUX_SIM_SIM_RISK_TABLES_H
