// Settings file of the simulated trade server: one `key value` per line,
// '#' starts a comment line, blank lines are skipped. Keys in sim/README.md.
#include <arpa/inet.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "sim/sim_query_script.h"
#include "sim/sim_trade_server.h"

namespace hux_sim {

namespace {

std::string trim(const std::string& s) {
    const char* space = " \t\r";
    size_t b = s.find_first_not_of(space);
    if (b == std::string::npos) return std::string();
    size_t e = s.find_last_not_of(space);
    return s.substr(b, e - b + 1);
}

// Whole text as a decimal integer within [lo, hi]; no sign for unsigned ranges.
bool to_int(const std::string& text, long long lo, long long hi, long long& out) {
    if (text.empty()) return false;
    if (lo >= 0 && (text[0] == '-' || text[0] == '+')) return false;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' || v < lo || v > hi) return false;
    out = v;
    return true;
}

template <typename T>
bool set_int(const std::string& text, long long lo, long long hi, T& field) {
    long long v = 0;
    if (!to_int(text, lo, hi, v)) return false;
    field = static_cast<T>(v);
    return true;
}

bool set_i32(const std::string& text, int32_t& f) { return set_int(text, INT32_MIN, INT32_MAX, f); }
bool set_u32(const std::string& text, uint32_t& f) { return set_int(text, 0, UINT32_MAX, f); }
bool set_u8(const std::string& text, uint8_t& f) { return set_int(text, 0, 255, f); }
bool set_flag(const std::string& text, bool& f) { return set_int(text, 0, 1, f); }

// "NAME NUMBER": the name is one word.
bool split_name_number(const std::string& value, std::string& name, std::string& number) {
    size_t gap = value.find_first_of(" \t");
    if (gap == std::string::npos) return false;
    name = value.substr(0, gap);
    number = trim(value.substr(gap));
    return !name.empty() && number.find_first_of(" \t") == std::string::npos;
}

// Words of a value, split at blanks.
std::vector<std::string> words_of(const std::string& value) {
    std::istringstream in(value);
    std::vector<std::string> out;
    std::string word;
    while (in >> word) out.push_back(word);
    return out;
}

// Hex digits in pairs, blanks allowed between the pairs; at least one byte.
bool parse_hex(const std::string& text, std::string& out) {
    out.clear();
    int high = -1;
    for (char ch : text) {
        if (ch == ' ' || ch == '\t') {
            if (high >= 0) return false;
            continue;
        }
        int v = -1;
        if (ch >= '0' && ch <= '9') v = ch - '0';
        if (ch >= 'a' && ch <= 'f') v = ch - 'a' + 10;
        if (ch >= 'A' && ch <= 'F') v = ch - 'A' + 10;
        if (v < 0) return false;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<char>(high * 16 + v));
            high = -1;
        }
    }
    return high < 0 && !out.empty();
}

// The keys of the status queries and of the query port.
bool apply_query_key(const std::string& key, const std::string& value, sim_config& cfg, bool& known) {
    known = true;
    if (key == "query_logon_result") return set_u32(value, cfg.query_logon_result);
    if (key == "query_wrong_password_result") return set_u32(value, cfg.query_wrong_password_result);
    if (key == "query_user_id") return set_u32(value, cfg.query_user_id);
    if (key == "change_password_result") return set_u32(value, cfg.change_password_result);
    if (key == "session_id") {
        cfg.session_id.session = value;
        return true;
    }
    if (key == "session_id_byte_30") return set_u8(value, cfg.session_id.byte_a);
    if (key == "session_id_byte_31") return set_u8(value, cfg.session_id.byte_b);
    if (key == "market_session") {
        // "EXCHANGE [SESSION ...]": the count is the number of session bytes.
        const std::vector<std::string> w = words_of(value);
        sim_market_sessions ms;
        if (w.empty() || w.size() > 256 || !set_u8(w[0], ms.exchange_id)) return false;
        for (size_t i = 1; i < w.size(); ++i) {
            uint8_t b = 0;
            if (!set_u8(w[i], b)) return false;
            ms.sessions.push_back(static_cast<char>(b));
        }
        ms.count = static_cast<uint8_t>(w.size() - 1);
        cfg.market_sessions.push_back(ms);
        return true;
    }
    if (key == "symbol_status") {
        // "FIRST SYMBOL BYTE VALUE TEXT BYTE".
        const std::vector<std::string> w = words_of(value);
        sim_symbol_status st;
        if (w.size() != 6 || !set_u8(w[0], st.first) || !set_u8(w[2], st.byte_a) || !set_i32(w[3], st.value) ||
            !set_u8(w[5], st.byte_b)) {
            return false;
        }
        st.symbol = w[1];
        st.short_text = w[4];
        cfg.symbol_statuses.push_back(st);
        return true;
    }
    if (key == "query_answer") {
        // "REQUEST HEX": one more answer to each request of that type.
        std::string number, bytes;
        uint16_t type = 0;
        const size_t gap = value.find_first_of(" \t");
        if (gap == std::string::npos) return false;
        number = value.substr(0, gap);
        if (!set_int(number, 0, 65535, type) || query_request_length(type) == 0) return false;
        if (!parse_hex(value.substr(gap), bytes) || bytes.size() < 4) return false;
        cfg.query_answers[type].push_back(bytes);
        return true;
    }
    known = false;
    return false;
}

bool apply(const std::string& key, const std::string& value, sim_config& cfg) {
    bool known = false;
    bool ok = apply_query_key(key, value, cfg, known);
    if (known) return ok;
    ok = apply_query_data_key(key, value, cfg.query_data, known);
    if (known) return ok;
    if (key == "version_text") {
        cfg.version_text = value;
        return true;
    }
    if (key == "password") {
        cfg.password = value;
        return true;
    }
    if (key == "version_number") return set_i32(value, cfg.version_number);
    if (key == "version_verdict") return set_u8(value, cfg.version_verdict);
    if (key == "version_use_text") return set_u8(value, cfg.version_use_text);
    if (key == "server_edition") return set_u8(value, cfg.server_edition);
    if (key == "logon_result") return set_i32(value, cfg.logon_result);
    if (key == "wrong_password_result") return set_i32(value, cfg.wrong_password_result);
    if (key == "server_value") return set_i32(value, cfg.server_value);
    if (key == "user_id") return set_u32(value, cfg.user_id);
    if (key == "logon_value") return set_i32(value, cfg.logon_value);
    if (key == "max_token") return set_i32(value, cfg.max_token);
    if (key == "order_fc_count") return set_u32(value, cfg.order_fc_count);
    if (key == "order_fc_window_us") return set_u32(value, cfg.order_fc_window_us);
    if (key == "cancel_fc_count") return set_u32(value, cfg.cancel_fc_count);
    if (key == "cancel_fc_window_us") return set_u32(value, cfg.cancel_fc_window_us);
    if (key == "heart_beat_result") return set_i32(value, cfg.heart_beat_result);
    if (key == "heart_beat_timeout") return set_i32(value, cfg.heart_beat_timeout);
    if (key == "silent") return set_flag(value, cfg.silent);
    if (key == "coalesce") return set_flag(value, cfg.coalesce);
    if (key == "random_split_max") return set_int(value, 0, 65536, cfg.random_split_max);
    if (key == "random_seed") return set_u32(value, cfg.random_seed);
    if (key == "length_field") return set_int(value, -1, 65535, cfg.length_field);
    if (key == "order_mode") {
        static const struct {
            const char* name;
            order_mode mode;
        } modes[] = {{"none", order_mode::none},
                     {"accept", order_mode::accept},
                     {"reject", order_mode::reject},
                     {"partial", order_mode::partial},
                     {"fill", order_mode::fill}};
        for (const auto& m : modes) {
            if (value == m.name) {
                cfg.order_answer = m.mode;
                return true;
            }
        }
        return false;
    }
    if (key == "order_reject_code") return set_int(value, 1, UINT32_MAX, cfg.order_reject_code);
    if (key == "order_fill_parts") return set_int(value, 1, max_order_fill_parts, cfg.order_fill_parts);
    if (key == "answer_delay_ms") {
        long long ms = 0;
        if (!to_int(value, 0, 3600 * 1000, ms)) return false;
        cfg.answer_delay = std::chrono::milliseconds(ms);
        return true;
    }
    if (key == "split") {
        std::istringstream in(value);
        std::vector<size_t> pieces;
        std::string word;
        while (in >> word) {
            long long n = 0;
            if (!to_int(word, 1, 65536, n)) return false;
            pieces.push_back(static_cast<size_t>(n));
        }
        if (pieces.empty()) return false;
        cfg.split_pieces = pieces;
        return true;
    }
    if (key == "coll_version") {
        if (value == "accept") {
            cfg.coll_version = coll_version_mode::accept;
        } else if (value == "refuse") {
            cfg.coll_version = coll_version_mode::refuse;
        } else if (value == "silent") {
            cfg.coll_version = coll_version_mode::silent;
        } else {
            return false;
        }
        return true;
    }
    if (key == "coll_version_result") return set_int(value, 1, 255, cfg.coll_version_result);
    if (key == "coll_use_test_key") return set_flag(value, cfg.coll_use_test_key);
    if (key == "coll_key_dir") {
        cfg.coll_key_dir = value;
        return true;
    }
    if (key == "drop_marker") {
        // The symbol text, as it fills the order's 20-byte field.
        if (value.empty() || value.size() > 20) return false;
        cfg.drop_marker = value;
        return true;
    }
    if (key == "listen_ip") {
        in_addr ip{};
        if (::inet_pton(AF_INET, value.c_str(), &ip) != 1) return false;
        cfg.listen_ip = value;
        return true;
    }
    if (key == "coll_verdict") {
        // "N", "foreign N" or "none": the answer to the next report.
        coll_verdict v;
        std::string word, number;
        if (value == "none") {
            v.how = coll_verdict::kind::none;
        } else if (split_name_number(value, word, number) && word == "foreign") {
            v.how = coll_verdict::kind::foreign;
            if (!set_u8(number, v.result)) return false;
        } else if (!set_u8(value, v.result)) {
            return false;
        }
        cfg.coll_verdicts.push_back(v);
        return true;
    }
    if (key == "symbol") {
        std::string name, number;
        sim_symbol s;
        if (!split_name_number(value, name, number) || !set_int(number, 0, 65535, s.index)) return false;
        s.name = name;
        cfg.symbols.push_back(s);
        return true;
    }
    if (key == "account") {
        std::string name, number;
        sim_account a;
        if (!split_name_number(value, name, number) || !set_u8(number, a.index)) return false;
        a.name = name;
        cfg.accounts.push_back(a);
        return true;
    }
    return false;
}

}  // namespace

bool parse_script(const std::string& text, sim_config& cfg, std::string& error) {
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::string t = trim(line);
        if (t.empty() || t[0] == '#') continue;
        size_t gap = t.find_first_of(" \t");
        std::string key = t.substr(0, gap);
        std::string value = gap == std::string::npos ? std::string() : trim(t.substr(gap));
        if (!apply(key, value, cfg)) {
            error = "line " + std::to_string(number) + ": bad setting: " + t;
            return false;
        }
    }
    std::string why;
    if (!check_config(cfg, &why)) {
        error = why;
        return false;
    }
    return true;
}

bool load_script_file(const std::string& path, sim_config& cfg, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    return parse_script(all.str(), cfg, error);
}

}  // namespace hux_sim
