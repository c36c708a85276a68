// The settings file's keys of the query data (sim_query_data): one item of
// a series per line as `KEY name=value ...`, the closing flags, the switches.
// Used by the settings file reader; keys in sim/README.md.
#ifndef HUX_SIM_SIM_QUERY_SCRIPT_H
#define HUX_SIM_SIM_QUERY_SCRIPT_H

#include <string>

#include "sim/sim_query_values.h"

namespace hux_sim {

// Applies one `key value` line to `data`. `known` tells whether the key is
// one of these; the result whether the value was good (false for an unknown
// key too).
bool apply_query_data_key(const std::string& key, const std::string& value, sim_query_data& data, bool& known);

}  // namespace hux_sim

#endif  // HUX_SIM_SIM_QUERY_SCRIPT_H
