// The settings file's query data keys. An item line names the fields it
// sets, `name=value` separated by blanks, by the names of the value records
// (sim/sim_query_values.h); the other fields stay zero. Numbers are decimal
// and must fit their field; a list field takes up to its count of values
// separated by commas; a text is one word, may be empty, and is checked
// against its field with the whole configuration.
#include "sim/sim_query_script.h"

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <limits>
#include <set>
#include <sstream>
#include <type_traits>
#include <vector>

namespace hux_sim {

namespace {

template <typename T>
typename std::enable_if<std::is_integral<T>::value, bool>::type parse_number(const std::string& text, T& out) {
    if (text.empty() || text[0] == '+' || (text[0] == '-' && !std::is_signed<T>::value)) return false;
    errno = 0;
    char* end = nullptr;
    if (std::is_signed<T>::value) {
        const long long v = std::strtoll(text.c_str(), &end, 10);
        if (errno != 0 || *end != '\0' || v < static_cast<long long>(std::numeric_limits<T>::min()) ||
            v > static_cast<long long>(std::numeric_limits<T>::max())) {
            return false;
        }
        out = static_cast<T>(v);
    } else {
        const unsigned long long v = std::strtoull(text.c_str(), &end, 10);
        if (errno != 0 || *end != '\0' || v > static_cast<unsigned long long>(std::numeric_limits<T>::max())) {
            return false;
        }
        out = static_cast<T>(v);
    }
    return end != text.c_str();
}

// Any text strtod reads whole: "1.5", "-2e3", "inf", "nan".
bool parse_number(const std::string& text, double& out) {
    if (text.empty() || text[0] == ' ') return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE) return false;
    out = v;
    return true;
}

template <typename R>
using setter = std::function<bool(const std::string&, R&)>;

template <typename R>
struct field {
    const char* name;
    setter<R> set;
};

template <typename R, typename T>
field<R> number(const char* name, T R::*member) {
    return {name, [member](const std::string& v, R& r) { return parse_number(v, r.*member); }};
}

template <typename R, typename T, size_t N>
field<R> list(const char* name, std::array<T, N> R::*member) {
    return {name, [member](const std::string& v, R& r) {
                std::array<T, N> values{};
                size_t n = 0;
                size_t from = 0;
                for (;;) {
                    const size_t comma = v.find(',', from);
                    if (n == N || !parse_number(v.substr(from, comma - from), values[n])) return false;
                    ++n;
                    if (comma == std::string::npos) break;
                    from = comma + 1;
                }
                r.*member = values;
                return true;
            }};
}

template <typename R>
field<R> text(const char* name, std::string R::*member) {
    return {name, [member](const std::string& v, R& r) {
                r.*member = v;
                return true;
            }};
}

// "name=value ..." over a zero record; every name at most once.
template <typename R>
bool parse_record(const std::string& value, const std::vector<field<R>>& fields, R& out) {
    std::istringstream in(value);
    std::string word;
    std::set<std::string> seen;
    R r;
    while (in >> word) {
        const size_t eq = word.find('=');
        if (eq == std::string::npos) return false;
        const std::string name = word.substr(0, eq);
        if (!seen.insert(name).second) return false;
        bool done = false;
        for (const auto& f : fields) {
            if (name == f.name) {
                if (!f.set(word.substr(eq + 1), r)) return false;
                done = true;
                break;
            }
        }
        if (!done) return false;
    }
    out = r;
    return true;
}

template <typename R>
bool add_item(const std::string& value, const std::vector<field<R>>& fields, std::vector<R>& items) {
    R r;
    if (!parse_record(value, fields, r)) return false;
    items.push_back(r);
    return true;
}

const std::vector<field<sim_user_account>>& user_account_fields() {
    using R = sim_user_account;
    static const std::vector<field<R>> f = {
        number("end_flag", &R::end_flag), text("account", &R::account), number("field_29", &R::field_29),
        list("amounts", &R::amounts)};
    return f;
}

const std::vector<field<sim_symbol_info>>& symbol_info_fields() {
    using R = sim_symbol_info;
    static const std::vector<field<R>> f = {
        number("end_flag", &R::end_flag),   number("kind", &R::kind),           text("symbol", &R::symbol),
        text("text_30", &R::text_30),       number("exchange_id", &R::exchange_id), number("field_52", &R::field_52),
        number("field_84", &R::field_84),   number("byte_86", &R::byte_86),     list("fields_87", &R::fields_87),
        number("value_107", &R::value_107), list("fields_115", &R::fields_115), number("field_127", &R::field_127),
        number("field_131", &R::field_131), number("byte_135", &R::byte_135),   number("byte_136", &R::byte_136)};
    return f;
}

// The request number is the request's; items do not name it.
const std::vector<field<sim_future_position>>& future_position_fields() {
    using R = sim_future_position;
    static const std::vector<field<R>> f = {
        number("end_flag", &R::end_flag),   text("account", &R::account),       text("symbol", &R::symbol),
        number("byte_53", &R::byte_53),     number("field_54", &R::field_54),   list("fields_66", &R::fields_66),
        number("value_82", &R::value_82),   number("value_90", &R::value_90),   number("value_138", &R::value_138),
        number("byte_146", &R::byte_146)};
    return f;
}

const std::vector<field<sim_option_position>>& option_position_fields() {
    using R = sim_option_position;
    static const std::vector<field<R>> f = {
        number("end_flag", &R::end_flag),     text("account", &R::account),       number("exchange_id", &R::exchange_id),
        text("symbol", &R::symbol),           text("number_text", &R::number_text), number("byte_95", &R::byte_95),
        number("field_96", &R::field_96),     number("field_108", &R::field_108), number("quantity_a", &R::quantity_a),
        list("fields_116", &R::fields_116),   number("value_128", &R::value_128), number("value_136", &R::value_136),
        number("field_144", &R::field_144),   number("quantity_b", &R::quantity_b), number("value_152", &R::value_152),
        number("byte_160", &R::byte_160)};
    return f;
}

const std::vector<field<sim_rewind_order>>& rewind_order_fields() {
    using R = sim_rewind_order;
    static const std::vector<field<R>> f = {
        number("end_flag", &R::end_flag),   number("field_9", &R::field_9),     number("value_13", &R::value_13),
        number("field_21", &R::field_21),   number("byte_25", &R::byte_25),     text("symbol", &R::symbol),
        number("byte_47", &R::byte_47),     number("field_48", &R::field_48),   number("value_52", &R::value_52),
        number("byte_60", &R::byte_60),     number("byte_69", &R::byte_69),     number("field_70", &R::field_70),
        text("account", &R::account),       number("byte_90", &R::byte_90),     number("byte_91", &R::byte_91),
        number("value_93", &R::value_93),   number("field_101", &R::field_101), number("field_105", &R::field_105),
        list("values_109", &R::values_109), number("field_133", &R::field_133)};
    return f;
}

const std::vector<field<sim_rewind_execution>>& rewind_execution_fields() {
    using R = sim_rewind_execution;
    static const std::vector<field<R>> f = {
        number("end_flag", &R::end_flag), number("field_9", &R::field_9),   text("account", &R::account),
        number("value_29", &R::value_29), number("field_37", &R::field_37), number("field_41", &R::field_41),
        number("field_45", &R::field_45), number("value_49", &R::value_49), text("text_57", &R::text_57),
        text("text_83", &R::text_83),     number("byte_103", &R::byte_103)};
    return f;
}

const std::vector<field<sim_account_rate>>& account_rate_fields() {
    using R = sim_account_rate;
    static const std::vector<field<R>> f = {
        number("end_flag", &R::end_flag), text("account", &R::account),   number("byte_25", &R::byte_25),
        text("symbol", &R::symbol),       number("byte_46", &R::byte_46), number("field_47", &R::field_47),
        list("values", &R::values),       number("byte_127", &R::byte_127)};
    return f;
}

// The request number of a 1081 is the request's.
const std::vector<field<sim_account_bp>>& account_bp_fields() {
    using R = sim_account_bp;
    static const std::vector<field<R>> f = {
        text("account", &R::account), list("figures", &R::figures), number("flag", &R::flag)};
    return f;
}

// `fill=BASE` fills every entry of the risk table from BASE on.
template <typename R>
field<R> risk_fill() {
    return {"fill", [](const std::string& v, R& r) {
                r.fill = true;
                return parse_number(v, r.fill_base);
            }};
}

const std::vector<field<sim_account_risk>>& account_risk_fields() {
    using R = sim_account_risk;
    static const std::vector<field<R>> f = {text("account", &R::account), risk_fill<R>()};
    return f;
}

const std::vector<field<sim_symbol_risk>>& symbol_risk_fields() {
    using R = sim_symbol_risk;
    static const std::vector<field<R>> f = {
        number("field_8", &R::field_8), text("account", &R::account), text("symbol", &R::symbol), risk_fill<R>()};
    return f;
}

bool parse_flag(const std::string& value, bool& out) {
    uint8_t v = 0;
    if (!parse_number(value, v) || v > 1) return false;
    out = v == 1;
    return true;
}

}  // namespace

bool apply_query_data_key(const std::string& key, const std::string& value, sim_query_data& data, bool& known) {
    known = true;
    if (key == "answer_queries") return parse_flag(value, data.answer);
    if (key == "user_account") return add_item(value, user_account_fields(), data.user_accounts);
    if (key == "user_account_end") return parse_number(value, data.user_account_end);
    if (key == "symbol_info") return add_item(value, symbol_info_fields(), data.symbols);
    if (key == "symbol_info_end") return parse_number(value, data.symbol_end);
    if (key == "future_position") return add_item(value, future_position_fields(), data.future_positions);
    if (key == "future_position_end") return parse_number(value, data.future_position_end);
    if (key == "option_position") return add_item(value, option_position_fields(), data.option_positions);
    if (key == "option_position_end") return parse_number(value, data.option_position_end);
    if (key == "rewind_order") return add_item(value, rewind_order_fields(), data.orders);
    if (key == "rewind_order_end") return parse_number(value, data.order_end);
    if (key == "rewind_quote") return parse_flag(value, data.quote_rewind);
    if (key == "rewind_execution") return add_item(value, rewind_execution_fields(), data.executions);
    if (key == "rewind_execution_end") return parse_number(value, data.execution_end);
    if (key == "rewind_execution_type") {
        uint16_t type = 0;
        if (!parse_number(value, type) || (type != 1075 && type != 1063)) return false;
        data.execution_type = type;
        return true;
    }
    if (key == "account_margin") return add_item(value, account_rate_fields(), data.margins);
    if (key == "account_margin_end") return parse_number(value, data.margin_end);
    if (key == "account_fee") return add_item(value, account_rate_fields(), data.fees);
    if (key == "account_fee_end") return parse_number(value, data.fee_end);
    if (key == "account_bp") return parse_record(value, account_bp_fields(), data.buying_power);
    if (key == "account_risk") return parse_record(value, account_risk_fields(), data.account_risk);
    if (key == "symbol_risk") return parse_record(value, symbol_risk_fields(), data.symbol_risk);
    if (key == "bp_push") return parse_record(value, account_bp_fields(), data.bp_push);
    if (key == "bp_push_after") return parse_number(value, data.bp_push_after);
    known = false;
    return false;
}

}  // namespace hux_sim
