// The simulated trade server: request cutting, answers and recording.
#include "sim/sim_trade_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "tools/md5.h"
#include "sim/sim_order_answers.h"
#include "sim/sim_query_answers.h"
#include "sim/sim_report_answers.h"
#include "sim/sim_status_answers.h"

namespace hux_sim {

namespace {

// Answer types and their fixed lengths.
const uint16_t type_account_idx_resp = 1061;
const uint16_t type_symbol_idx_resp = 1062;
const uint16_t type_logon_resp = 1070;
const uint16_t type_version_resp = 1080;
const uint16_t type_heart_beat_setting_resp = 1090;
const uint16_t type_heart_beat_resp = 1200;
const size_t len_index_resp = 40;
const size_t len_logon_resp = 80;
const size_t len_version_resp = 56;
const size_t len_heart_beat_setting_resp = 24;
const size_t len_heart_beat_resp = 16;

// Field widths of the texts in the answers.
const size_t version_text_width = 33;  // 12..44
const size_t symbol_text_width = 20;   // 10..29
const size_t account_text_width = 16;  // 13..28
const size_t digest_width = 33;        // 45..77 of the logon request

const uint8_t first_byte_terminal_report = 97;  // 'a'

// Little-endian fields of a message held in a std::string.
void put_u8(std::string& m, size_t off, uint8_t v) { m[off] = static_cast<char>(v); }

void put_u16(std::string& m, size_t off, uint16_t v) {
    m[off] = static_cast<char>(v & 0xff);
    m[off + 1] = static_cast<char>(v >> 8);
}

void put_u32(std::string& m, size_t off, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) m[off + i] = static_cast<char>((v >> (8 * i)) & 0xff);
}

void put_i32(std::string& m, size_t off, int32_t v) { put_u32(m, off, static_cast<uint32_t>(v)); }

// Copies at most `width` bytes of the text; the rest of the field stays zero.
void put_text(std::string& m, size_t off, size_t width, const std::string& text) {
    m.replace(off, std::min(width, text.size()), text, 0, std::min(width, text.size()));
}

uint64_t get_le(const std::string& m, size_t off, size_t n) {
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(static_cast<uint8_t>(m[off + i])) << (8 * i);
    return v;
}

uint16_t get_u16(const std::string& m, size_t off) { return static_cast<uint16_t>(get_le(m, off, 2)); }
uint32_t get_u32(const std::string& m, size_t off) { return static_cast<uint32_t>(get_le(m, off, 4)); }
int32_t get_i32(const std::string& m, size_t off) { return static_cast<int32_t>(get_u32(m, off)); }
int64_t get_i64(const std::string& m, size_t off) { return static_cast<int64_t>(get_le(m, off, 8)); }
uint8_t get_u8(const std::string& m, size_t off) { return static_cast<uint8_t>(m[off]); }

// Local time as "yyyy-MM-dd HH:mm:ss", the receive time of a verdict.
std::string local_time_text() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    char text[32] = {};
    if (localtime_r(&now, &parts) == nullptr) return std::string();
    std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

const uint16_t type_order_execution = 1014;
const uint16_t type_order_action_resp = 1011;
const uint16_t type_quote_action_resp = 1019;
const uint16_t type_special_order_action_resp = 1031;
const uint16_t type_combo_insert_resp = 1025;
const size_t len_new_order = 100;
const size_t len_new_quote = 196;
const size_t len_new_combo = 144;
const size_t len_special_order = 72;
const size_t len_cancel = 44;
const size_t len_simple = 56;
const size_t len_logon = 168;
const size_t logon_udp_port_at = 128;  // uint16: the client's local UDP port, 0 without one

const uint8_t qv27_edition = 6;  // byte 51 of the version answer
const uint8_t cancel_by_owner = 1;  // cancel mode: the order is named by its owner token

bool rejecting(const sim_config& cfg) { return cfg.order_answer == order_mode::reject; }

// Writes the configured length field over a finished answer.
void label(std::string& m, int32_t length_field) {
    if (m.size() >= 4 && length_field >= 0 && length_field <= 0xffff) {
        put_u16(m, 2, static_cast<uint16_t>(length_field));
    }
}

// Field widths of the status query answers.
const size_t market_sessions_width = 255;  // 15..269 of 1084
const size_t status_symbol_width = 20;     // 13..32 of 1087
const size_t status_short_text_width = 9;  // 49..57 of 1087
const size_t session_text_width = 17;      // 12..28 of 1094

// The password digest as the client must send it: 32 upper-case hex
// characters and a NUL.
bool digest_matches(const std::string& request, const std::string& password) {
    if (password.size() > static_cast<size_t>(INT_MAX)) return false;
    char want[digest_width] = {};
    MORVAST::TOOLS::encrypt_md5(password.data(), static_cast<int>(password.size()), want);
    return request.compare(45, digest_width, want, digest_width) == 0;
}

}  // namespace

size_t request_length(uint16_t type) {
    switch (type) {
        case 10: return 100;
        case 11: return 44;
        case 12: return 196;
        case 13: return 44;
        case 14: return 144;
        case 20: return 56;
        case 22: return 56;
        case 30: return 72;
        case 31: return 44;
        case 61: return 16;
        case 62: return 16;
        case 70: return 168;
        case 80: return 48;
        case 81: return 28;
        case 84: return 16;
        case 87: return 16;
        case 90: return 24;
        case 94: return 32;
        case 200: return 16;
        default: return 0;
    }
}

size_t query_request_length(uint16_t type) {
    switch (type) {
        case msg_query_logon: return 80;
        case msg_change_password: return 80;
        case msg_query_user_account: return 16;
        case msg_query_symbol: return 16;
        case msg_query_position: return 32;
        case msg_rewind_order: return 32;
        case msg_rewind_execution: return 32;
        case msg_query_margin: return 32;
        case msg_query_fee: return 32;
        case msg_query_account_bp: return 28;
        case msg_query_account_risk: return 28;
        case msg_query_symbol_risk: return 48;
        default: return 0;
    }
}

bool order_entry_request(uint16_t type) {
    switch (type) {
        case msg_new_order:
        case msg_cancel_order:
        case msg_new_quote:
        case msg_quote_action:
        case msg_new_combo:
        case msg_simple_order:
        case msg_simple_quote:
        case msg_special_order:
        case msg_special_cancel:
            return true;
        default:
            return false;
    }
}

std::string make_message(uint16_t type, size_t len, int32_t length_field) {
    std::string m(std::max<size_t>(len, 4), '\0');
    put_u16(m, 0, type);
    uint16_t field = 0;
    if (length_field >= 0 && length_field <= 0xffff) {
        field = static_cast<uint16_t>(length_field);
    } else {
        field = m.size() > 0xffff ? 0xffff : static_cast<uint16_t>(m.size());
    }
    put_u16(m, 2, field);
    return m;
}

std::string patch_bytes(std::string m, size_t at, const std::string& bytes) {
    if (at >= m.size()) return m;
    const size_t n = std::min(bytes.size(), m.size() - at);
    m.replace(at, n, bytes, 0, n);
    return m;
}

std::string le_bytes(uint64_t v, size_t width) {
    std::string out(std::min<size_t>(width, 8), '\0');
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char>((v >> (8 * i)) & 0xff);
    return out;
}

std::string f64_bytes(double v) {
    uint64_t u = 0;
    std::memcpy(&u, &v, sizeof(u));
    return le_bytes(u, 8);
}

bool check_config(const sim_config& cfg, std::string* why) {
    auto fail = [why](const std::string& text) {
        if (why != nullptr) *why = text;
        return false;
    };
    if (cfg.version_text.size() > version_text_width) return fail("version_text longer than 33 bytes");
    for (const auto& s : cfg.symbols) {
        if (s.name.size() >= symbol_text_width) return fail("symbol name longer than 19 characters: " + s.name);
    }
    for (const auto& a : cfg.accounts) {
        if (a.name.size() >= account_text_width) return fail("account name longer than 15 characters: " + a.name);
    }
    if (cfg.length_field < -1 || cfg.length_field > 0xffff) return fail("length_field outside -1..65535");
    if (cfg.answer_delay.count() < 0) return fail("negative answer delay");
    if (cfg.order_reject_code == 0) return fail("order_reject_code 0 would be an accept");
    if (cfg.order_fill_parts < 1 || cfg.order_fill_parts > max_order_fill_parts) {
        return fail("order_fill_parts outside 1.." + std::to_string(max_order_fill_parts));
    }
    if (cfg.coll_version_result == 0) return fail("coll_version_result 0 would be an accept");
    for (const auto& ms : cfg.market_sessions) {
        if (ms.sessions.size() > market_sessions_width) return fail("market session bytes longer than 255");
    }
    for (const auto& st : cfg.symbol_statuses) {
        if (st.symbol.size() > status_symbol_width) {
            return fail("symbol status symbol longer than 20 bytes: " + st.symbol);
        }
        if (st.short_text.size() > status_short_text_width) {
            return fail("symbol status text longer than 9 bytes: " + st.short_text);
        }
    }
    if (cfg.session_id.session.size() > session_text_width) return fail("session id text longer than 17 bytes");
    if (cfg.drop_marker.size() > symbol_text_width) return fail("drop_marker longer than 20 bytes");
    for (const auto& q : cfg.query_answers) {
        if (query_request_length(q.first) == 0) {
            return fail("scripted answers for " + std::to_string(q.first) + ", not a query request");
        }
        for (const auto& m : q.second) {
            if (m.size() < 4) return fail("a scripted query answer shorter than its header");
        }
    }
    std::string data_why;
    if (!check_query_data(cfg.query_data, data_why)) return fail(data_why);
    in_addr ip{};
    if (!cfg.listen_ip.empty() && ::inet_pton(AF_INET, cfg.listen_ip.c_str(), &ip) != 1) {
        return fail("listen_ip is not a dotted IPv4 address: " + cfg.listen_ip);
    }
    return true;
}

// ---------------------------------------------------------------- answers

std::string sim_trade_server::version_answer(const sim_config& cfg) {
    std::string m = make_message(type_version_resp, len_version_resp, cfg.length_field);
    put_text(m, 12, version_text_width, cfg.version_text);
    put_i32(m, 45, cfg.version_number);
    put_u8(m, 49, cfg.version_verdict);
    put_u8(m, 50, cfg.version_use_text);
    put_u8(m, 51, cfg.server_edition);
    return m;
}

std::string sim_trade_server::logon_answer(const sim_config& cfg, int32_t result) {
    std::string m = make_message(type_logon_resp, len_logon_resp, cfg.length_field);
    put_i32(m, 4, cfg.server_value);
    put_i32(m, 12, result);
    put_u32(m, 49, cfg.user_id);
    put_i32(m, 53, cfg.logon_value);
    put_i32(m, 57, cfg.max_token);
    put_u32(m, 61, cfg.order_fc_count);
    put_u32(m, 65, cfg.order_fc_window_us);
    put_u32(m, 69, cfg.cancel_fc_count);
    put_u32(m, 73, cfg.cancel_fc_window_us);
    return m;
}

// Page `page` (from 1; 0 is taken as 1) of `page_size` entries; page size 0
// delivers the whole list as one page. Each message carries the running count
// of entries delivered in the page at 32; the last carries the end-of-page
// mark. A page past the end of the list is one marked message with count 0
// and no symbol, which ends the client's paging.
std::vector<std::string> sim_trade_server::symbol_page(const sim_config& cfg, uint16_t page, uint16_t page_size) {
    const size_t total = cfg.symbols.size();
    const size_t size = page_size == 0 ? total : page_size;
    const size_t first = page_size == 0 ? 0 : (static_cast<size_t>(page == 0 ? 1 : page) - 1) * size;
    const size_t entries = first < total ? std::min(size, total - first) : 0;
    std::vector<std::string> out;
    if (entries == 0) {
        std::string m = make_message(type_symbol_idx_resp, len_index_resp, cfg.length_field);
        put_u8(m, 8, 1);
        out.push_back(std::move(m));
        return out;
    }
    for (size_t i = 0; i < entries; ++i) {
        const sim_symbol& s = cfg.symbols[first + i];
        std::string m = make_message(type_symbol_idx_resp, len_index_resp, cfg.length_field);
        put_u8(m, 8, i + 1 == entries ? 1 : 0);
        put_text(m, 10, symbol_text_width - 1, s.name);
        put_u16(m, 30, s.index);
        put_u16(m, 32, static_cast<uint16_t>(i + 1));  // entries <= 65535: a page size is a uint16
        out.push_back(std::move(m));
    }
    return out;
}

std::vector<std::string> sim_trade_server::account_list(const sim_config& cfg) {
    std::vector<std::string> out;
    for (const auto& a : cfg.accounts) {
        std::string m = make_message(type_account_idx_resp, len_index_resp, cfg.length_field);
        put_text(m, 13, account_text_width - 1, a.name);
        put_u8(m, 29, a.index);
        out.push_back(std::move(m));
    }
    std::string end = make_message(type_account_idx_resp, len_index_resp, cfg.length_field);
    put_u8(end, 8, 1);
    out.push_back(std::move(end));
    return out;
}

std::string sim_trade_server::heart_beat_setting_answer(const sim_config& cfg) {
    std::string m = make_message(type_heart_beat_setting_resp, len_heart_beat_setting_resp, cfg.length_field);
    put_i32(m, 12, cfg.heart_beat_result);
    put_i32(m, 16, cfg.heart_beat_timeout);
    return m;
}

std::string sim_trade_server::heart_beat_answer(const sim_config& cfg) {
    return make_message(type_heart_beat_resp, len_heart_beat_resp, cfg.length_field);
}

std::vector<std::string> sim_trade_server::market_session_answers(const sim_config& cfg) {
    std::vector<std::string> out;
    std::vector<sim_market_sessions> list = cfg.market_sessions;
    if (list.empty()) list.emplace_back();
    for (size_t i = 0; i < list.size(); ++i) {
        list[i].last = i + 1 == list.size() ? 1 : 0;
        out.push_back(market_session_answer(list[i]));
        label(out.back(), cfg.length_field);
    }
    return out;
}

std::vector<std::string> sim_trade_server::symbol_status_answers(const sim_config& cfg) {
    std::vector<std::string> out;
    for (sim_symbol_status st : cfg.symbol_statuses) {
        st.end_mark = 0;
        out.push_back(symbol_status_message(true, st));
        label(out.back(), cfg.length_field);
    }
    sim_symbol_status end;
    end.end_mark = 1;
    out.push_back(symbol_status_message(true, end));
    label(out.back(), cfg.length_field);
    return out;
}

std::vector<std::string> sim_trade_server::session_id_answers(const sim_config& cfg) {
    std::string m = session_id_answer(cfg.session_id);
    label(m, cfg.length_field);
    return {m};
}

std::string sim_trade_server::query_logon_answer(const sim_config& cfg, uint32_t result) {
    sim_query_logon v;
    v.result = result;
    v.user_id = cfg.query_user_id;
    std::string m = query_logon_message(v);
    label(m, cfg.length_field);
    return m;
}

std::string sim_trade_server::change_password_answer(const sim_config& cfg) {
    std::string m = change_password_message(cfg.change_password_result);
    label(m, cfg.length_field);
    return m;
}

// Scripted answers replace the built-in ones: the logon's, the password
// change's and, while the query data answers, the account queries'. The
// buying-power push asked for after a request type follows its answers.
std::vector<std::string> sim_trade_server::query_answers_to(const sim_config& cfg, const std::string& request) {
    if (request.size() < 2) return {};
    const uint16_t type = get_u16(request, 0);
    std::vector<std::string> out;
    auto scripted = cfg.query_answers.find(type);
    if (scripted != cfg.query_answers.end()) {
        out = scripted->second;
    } else if (type == msg_query_logon) {
        if (request.size() < query_request_length(msg_query_logon)) return {};
        const bool right = digest_matches(request, cfg.password);
        out.push_back(query_logon_answer(cfg, right ? cfg.query_logon_result : cfg.query_wrong_password_result));
    } else if (type == msg_change_password) {
        out.push_back(change_password_answer(cfg));
    } else {
        out = query_data_answers(cfg.query_data, request);
    }
    if (cfg.query_data.bp_push_after != 0 && type == cfg.query_data.bp_push_after) {
        out.push_back(account_bp_report(cfg.query_data.bp_push));
    }
    for (auto& m : out) label(m, cfg.length_field);
    return out;
}

// The new order's fields sit at the same offsets in the 1010 answer; only
// the low byte of the user id at 8 is echoed. Quantities are uint32 on the
// request and int32 on the answers: the same four bytes go back.
std::vector<std::string> sim_trade_server::new_order_answers(const sim_config& cfg, const std::string& order,
                                                             int64_t order_no) {
    std::vector<std::string> out;
    if (cfg.order_answer == order_mode::none || order.size() < len_new_order) return out;
    sim_order_answer a;
    a.request_tag = get_i32(order, 4);
    a.user_id_low = get_u8(order, 8);
    a.opt_4 = get_u8(order, 13);
    a.side = get_u8(order, 17);
    a.opt_5 = get_u8(order, 18);
    a.opt_1 = get_u8(order, 19);
    a.client_token = get_i32(order, 20);
    a.quantity = get_i32(order, 24);
    a.opt_2 = get_i32(order, 28);
    a.price = get_i64(order, 32);
    a.opt_3 = get_i32(order, 52);
    a.account = order.substr(60, 16);
    a.symbol = order.substr(76, 20);
    if (cfg.order_answer == order_mode::reject) {
        a.result = cfg.order_reject_code;
    } else {
        a.order_no = order_no;
    }
    out.push_back(order_insert_answer(a));
    label(out.back(), cfg.length_field);
    if (cfg.order_answer != order_mode::partial && cfg.order_answer != order_mode::fill) return out;

    const uint32_t quantity = get_u32(order, 24);
    uint32_t total = quantity;
    if (cfg.order_answer == order_mode::partial) total = quantity > 0 ? quantity - 1 : 0;
    const uint32_t parts = std::min(cfg.order_fill_parts, total);
    sim_execution e;
    e.order_no = order_no;
    e.fill_price = a.price;
    e.symbol = a.symbol;
    for (uint32_t i = 0; i < parts; ++i) {
        // The first (total % parts) fills take one lot more.
        const uint32_t part = total / parts + (i < total % parts ? 1 : 0);
        e.filled_quantity = static_cast<int32_t>(part);
        out.push_back(execution_message(type_order_execution, e));
        label(out.back(), cfg.length_field);
    }
    return out;
}

// The quote's fields sit at the same offsets in the 1018. A qv27 server
// writes its two check masks at 132 and 144, inside the second quote text, so
// that text is echoed only by an ordinary server: on a qv27 server its bytes
// would read as failed checks.
std::vector<std::string> sim_trade_server::quote_answers(const sim_config& cfg, const std::string& quote) {
    std::vector<std::string> out;
    if (cfg.order_answer == order_mode::none || quote.size() < len_new_quote) return out;
    const bool qv27 = cfg.server_edition == qv27_edition;
    sim_quote_answer a;
    a.request_tag = get_i32(quote, 4);
    a.user_id_low = get_u8(quote, 8);
    a.exchange_id = get_u8(quote, 12);
    a.opt_6 = get_u8(quote, 13);
    a.opt_5 = get_u8(quote, 15);
    a.quantity_1 = get_i32(quote, 16);
    a.quantity_2 = get_i32(quote, 20);
    a.price_1 = get_i64(quote, 24);
    a.price_2 = get_i64(quote, 32);
    a.opt_2 = get_u8(quote, 40);
    a.opt_4 = get_u8(quote, 41);
    a.opt_1 = get_u8(quote, 42);
    a.opt_3 = get_u8(quote, 43);
    a.client_token = get_i32(quote, 44);
    a.opt_8 = get_i32(quote, 48);
    a.account = quote.substr(56, 16);
    a.symbol = quote.substr(72, 20);
    a.quote_text_1 = quote.substr(92, 24);
    if (!qv27) a.quote_text_2 = quote.substr(128, 24);
    if (rejecting(cfg)) {
        if (qv27) {
            a.qv27_order_mask = cfg.order_reject_code;
        } else {
            a.result = cfg.order_reject_code;
        }
    }
    out.push_back(quote_insert_answer(a, qv27));
    label(out.back(), cfg.length_field);
    return out;
}

std::vector<std::string> sim_trade_server::combo_answers(const sim_config& cfg, const std::string& combo) {
    std::vector<std::string> out;
    if (cfg.order_answer == order_mode::none || combo.size() < len_new_combo) return out;
    sim_combo_answer a;
    a.request_tag = get_i32(combo, 4);
    a.user_id_low = get_u8(combo, 8);
    a.exchange_id = get_u8(combo, 9);
    a.opt_2 = get_u8(combo, 10);
    a.opt_5 = get_u8(combo, 12);
    a.opt_3 = get_u8(combo, 13);
    a.client_token = get_i32(combo, 14);
    a.opt_1 = get_i32(combo, 18);
    a.account = combo.substr(26, 16);
    a.legs = combo.substr(42, 80);
    if (rejecting(cfg)) a.result = cfg.order_reject_code;
    out.push_back(combo_answer(type_combo_insert_resp, a));
    label(out.back(), cfg.length_field);
    return out;
}

std::vector<std::string> sim_trade_server::special_order_answers(const sim_config& cfg, const std::string& order) {
    std::vector<std::string> out;
    if (cfg.order_answer == order_mode::none || order.size() < len_special_order) return out;
    sim_special_order_answer a;
    a.request_tag = get_i32(order, 4);
    a.user_id_low = get_u8(order, 8);
    a.opt_4 = get_u8(order, 10);
    a.opt_2 = get_i32(order, 12);
    a.opt_1 = get_u8(order, 16);
    a.opt_5 = get_u8(order, 17);
    a.opt_8 = get_u8(order, 19);
    a.client_token = get_i32(order, 20);
    a.account = order.substr(28, 16);
    a.symbol = order.substr(44, 20);
    a.opt_3 = get_i32(order, 68);
    if (rejecting(cfg)) a.result = cfg.order_reject_code;
    out.push_back(special_order_answer(a));
    label(out.back(), cfg.length_field);
    return out;
}

// The three cancels share one layout and their answers echo its bytes 4 to
// 31 at the same offsets; the answer type is the request type + 1000.
std::vector<std::string> sim_trade_server::cancel_answers(const sim_config& cfg, const std::string& cancel,
                                                          int64_t order_no) {
    std::vector<std::string> out;
    if (cfg.order_answer == order_mode::none || cancel.size() < len_cancel) return out;
    const uint16_t type = get_u16(cancel, 0);
    uint16_t answer_type = 0;
    switch (type) {
        case msg_cancel_order: answer_type = type_order_action_resp; break;
        case msg_quote_action: answer_type = type_quote_action_resp; break;
        case msg_special_cancel: answer_type = type_special_order_action_resp; break;
        default: return out;
    }
    sim_cancel_answer a;
    a.request_tag = get_i32(cancel, 4);
    a.user_id = get_i32(cancel, 8);
    a.client_token = get_i32(cancel, 12);
    a.market_token = get_i32(cancel, 16);
    a.owner_user_id = get_i32(cancel, 20);
    a.owner_token = get_i32(cancel, 24);
    a.opt_1 = get_u8(cancel, 28);
    a.byte_29 = get_u8(cancel, 29);
    a.opt_3 = get_u8(cancel, 30);
    a.cancel_mode = get_u8(cancel, 31);
    a.order_no = order_no;
    if (rejecting(cfg)) a.result = cfg.order_reject_code;
    out.push_back(cancel_answer(answer_type, a));
    label(out.back(), cfg.length_field);
    return out;
}

// Offsets 0..55 of a simple form are those of the full request; the full
// request adds the account and symbol texts, which the simple form names by
// index.
std::string sim_trade_server::order_of_simple(const sim_config& cfg, const std::string& simple) {
    std::string order = make_message(msg_new_order, len_new_order);
    if (simple.size() < len_simple) return order;
    order.replace(4, len_simple - 4, simple, 4, len_simple - 4);
    for (const auto& a : cfg.accounts) {
        if (a.index == get_u8(simple, 9)) {
            put_text(order, 60, account_text_width, a.name);
            break;
        }
    }
    for (const auto& s : cfg.symbols) {
        if (s.index == get_u16(simple, 10)) {
            put_text(order, 76, symbol_text_width, s.name);
            break;
        }
    }
    return order;
}

std::string sim_trade_server::quote_of_simple(const sim_config& cfg, const std::string& simple) {
    std::string quote = make_message(msg_new_quote, len_new_quote);
    if (simple.size() < len_simple) return quote;
    quote.replace(4, len_simple - 4, simple, 4, len_simple - 4);
    for (const auto& a : cfg.accounts) {
        if (a.index == get_u8(simple, 9)) {
            put_text(quote, 56, account_text_width, a.name);
            break;
        }
    }
    for (const auto& s : cfg.symbols) {
        if (s.index == get_u16(simple, 10)) {
            put_text(quote, 72, symbol_text_width, s.name);
            break;
        }
    }
    return quote;
}

std::vector<std::string> sim_trade_server::answer(const sim_config& cfg, const std::string& msg,
                                                  int64_t& next_order_no,
                                                  std::map<uint32_t, int64_t>& order_numbers) {
    const uint16_t type = get_u16(msg, 0);
    switch (type) {
        case msg_new_order:
        case msg_simple_order: {
            const std::string order = type == msg_new_order ? msg : order_of_simple(cfg, msg);
            if (cfg.order_answer == order_mode::none || cfg.order_answer == order_mode::reject) {
                return new_order_answers(cfg, order, 0);
            }
            const int64_t order_no = next_order_no++;
            order_numbers[get_u32(order, 20)] = order_no;
            return new_order_answers(cfg, order, order_no);
        }
        case msg_new_quote:
            return quote_answers(cfg, msg);
        case msg_simple_quote:
            return quote_answers(cfg, quote_of_simple(cfg, msg));
        case msg_new_combo:
            return combo_answers(cfg, msg);
        case msg_special_order:
            return special_order_answers(cfg, msg);
        case msg_cancel_order:
        case msg_quote_action:
        case msg_special_cancel: {
            // The order concerned: by owner token (cancel mode 1) among the
            // orders accepted on this connection; otherwise the market token
            // is the low 32 bits of its number. The special-order cancel
            // carries its cancel mode at 30, the other two at 31.
            const uint8_t mode = get_u8(msg, type == msg_special_cancel ? 30 : 31);
            int64_t order_no = get_u32(msg, 16);
            if (mode == cancel_by_owner) {
                auto it = type == msg_cancel_order ? order_numbers.find(get_u32(msg, 24)) : order_numbers.end();
                order_no = it == order_numbers.end() ? 0 : it->second;
            }
            return cancel_answers(cfg, msg, order_no);
        }
        case msg_report_version:
            return {version_answer(cfg)};
        case msg_logon:
            return {logon_answer(cfg, digest_matches(msg, cfg.password) ? cfg.logon_result : cfg.wrong_password_result)};
        case msg_symbol_idx_query:
            return symbol_page(cfg, get_u16(msg, 4), get_u16(msg, 6));
        case msg_account_idx_query:
            return account_list(cfg);
        case msg_heart_beat_setting:
            return {heart_beat_setting_answer(cfg)};
        case msg_heart_beat:
            return {heart_beat_answer(cfg)};
        case msg_query_market_session:
            return market_session_answers(cfg);
        case msg_query_symbol_status:
            return symbol_status_answers(cfg);
        case msg_query_session_id:
            return session_id_answers(cfg);
        default:
            return {};
    }
}

// ---------------------------------------------------------------- server

sim_trade_server::sim_trade_server(uint16_t port, const std::string& listen_ip) : tcp_(port, listen_ip) {
    tcp_.set_receive_hook([this](size_t conn, const char* data, size_t len) { on_bytes(conn, data, len); });
}

sim_trade_server::~sim_trade_server() {
    {
        std::lock_guard<std::mutex> lock(m_);
        stopping_ = true;
    }
    cv_.notify_all();  // ends a running answer delay
    if (udp_thread_.joinable()) {
        uint64_t one = 1;
        ssize_t n = ::write(udp_wake_fd_, &one, sizeof(one));
        (void)n;
        udp_thread_.join();
    }
    if (udp_fd_ >= 0) ::close(udp_fd_);
    if (udp_wake_fd_ >= 0) ::close(udp_wake_fd_);
    // tcp_ and then query_tcp_ are destroyed next and join their poll threads.
}

bool sim_trade_server::set_config(const sim_config& cfg) {
    if (!check_config(cfg, nullptr)) return false;
    std::lock_guard<std::mutex> lock(m_);
    cfg_ = cfg;
    return true;
}

sim_config sim_trade_server::config() const {
    std::lock_guard<std::mutex> lock(m_);
    return cfg_;
}

bool sim_trade_server::set_connection_config(size_t conn, const sim_config& cfg) {
    if (!check_config(cfg, nullptr)) return false;
    std::lock_guard<std::mutex> lock(m_);
    conn_cfg_[conn] = cfg;
    return true;
}

void sim_trade_server::set_silent(bool silent) {
    std::lock_guard<std::mutex> lock(m_);
    cfg_.silent = silent;
    for (auto& entry : conn_cfg_) entry.second.silent = silent;
    for (auto& entry : query_conn_cfg_) entry.second.silent = silent;
}

const sim_config& sim_trade_server::config_for(size_t conn) const {
    auto it = conn_cfg_.find(conn);
    return it == conn_cfg_.end() ? cfg_ : it->second;
}

sim_trade_server::conn_state& sim_trade_server::state(size_t conn) {
    if (conns_.size() <= conn) conns_.resize(conn + 1);
    return conns_[conn];
}

const sim_trade_server::conn_state* sim_trade_server::find_state(size_t conn) const {
    return conn < conns_.size() ? &conns_[conn] : nullptr;
}

void sim_trade_server::on_bytes(size_t conn, const char* data, size_t len) {
    std::vector<std::string> answers;
    std::vector<coll_step> steps;
    write_plan plan;
    bool drop = false;
    {
        std::unique_lock<std::mutex> lock(m_);
        const bool may_write = begin_writing(lock);
        conn_state& st = state(conn);
        if (st.kind == conn_kind::pending && len > 0) {
            if (static_cast<uint8_t>(data[0]) == first_byte_terminal_report) {
                st.kind = conn_kind::terminal_report;
                st.coll_test_key = config_for(conn).coll_use_test_key;
            } else {
                st.kind = conn_kind::trade;
                trade_conns_.push_back(conn);
            }
        }
        if (st.kind == conn_kind::terminal_report) cut_report_bytes(conn, st, data, len, steps);
        if (st.kind == conn_kind::trade) {
            const sim_config& cfg = config_for(conn);
            for (sim_message& msg : cut_requests(st, data, len, request_length)) {
                if (msg.known && msg.type == msg_logon && msg.bytes.size() == len_logon) {
                    // The UDP order channel's datagrams from this port now
                    // belong to this connection.
                    st.logon_udp_port = get_u16(msg.bytes, logon_udp_port_at);
                    if (st.logon_udp_port != 0) udp_port_conn_[st.logon_udp_port] = conn;
                }
                // The marker's answers, and those of whatever follows it in
                // this read, never come: the connection is about to close.
                if (may_write && !drop && msg.known && drop_marked(cfg, msg.bytes)) drop = true;
                if (msg.known && may_write && !drop && !cfg.silent) {
                    for (auto& a : answer(cfg, msg.bytes, next_order_no_, st.order_numbers)) answers.push_back(std::move(a));
                }
                st.messages.push_back(std::move(msg));
            }
            plan = plan_of(cfg);
        }
        if (may_write && answers.empty()) writing_ = false;
    }
    cv_.notify_all();
    if (!steps.empty()) run_report_steps(conn, steps);
    if (!answers.empty()) {
        write_answers(tcp_, conn, plan, answers);
        end_writing();
    }
    if (drop) drop_connections();
}

bool sim_trade_server::drop_marked(const sim_config& cfg, const std::string& request) {
    if (cfg.drop_marker.empty() || request.size() < len_new_order || get_u16(request, 0) != msg_new_order) {
        return false;
    }
    const std::string field = request.substr(76, symbol_text_width);
    return field.compare(0, field.find('\0'), cfg.drop_marker) == 0;
}

// The connections to close are listed under the lock and closed without it:
// a close waits for a send running on that connection to give up. The
// loopback servers close each descriptor once, under their own lock, so a
// drop that meets another drop or a close by hand counts only what it closed.
size_t sim_trade_server::drop_connections() {
    std::vector<size_t> trade;
    {
        std::lock_guard<std::mutex> lock(m_);
        for (size_t conn = 0; conn < conns_.size(); ++conn) {
            if (conns_[conn].kind == conn_kind::trade) trade.push_back(conn);
        }
    }
    size_t closed = 0;
    for (size_t conn : trade) closed += tcp_.close(conn) ? 1 : 0;
    if (hux_test::loopback_server* query = query_tcp()) {
        const size_t accepted = query->accepted_count();
        for (size_t conn = 0; conn < accepted; ++conn) closed += query->close(conn) ? 1 : 0;
    }
    drop_hook hook;
    {
        std::lock_guard<std::mutex> lock(m_);
        drops_.push_back(closed);
        hook = drop_hook_;
    }
    cv_.notify_all();
    if (hook) hook(closed);
    return closed;
}

std::vector<size_t> sim_trade_server::drops() const {
    std::lock_guard<std::mutex> lock(m_);
    return drops_;
}

bool sim_trade_server::wait_for_drops(size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_);
    return cv_.wait_for(lock, timeout, [&] { return drops_.size() >= n; });
}

void sim_trade_server::set_drop_hook(drop_hook hook) {
    std::lock_guard<std::mutex> lock(m_);
    drop_hook_ = std::move(hook);
}

// Requests are cut by their fixed lengths; the length field is not read.
std::vector<sim_message> sim_trade_server::cut_requests(conn_state& st, const char* data, size_t len,
                                                        size_t (*length_of)(uint16_t)) {
    std::vector<sim_message> out;
    const auto now = std::chrono::steady_clock::now();
    st.pending.append(data, len);
    size_t off = 0;
    while (st.pending.size() - off >= 2) {
        const uint16_t type = get_u16(st.pending, off);
        const size_t need = length_of(type);
        if (need == 0) {
            // Not a request: nothing tells where it ends, so keep all that is
            // buffered as one unknown message.
            out.push_back({type, false, st.pending.substr(off), now});
            off = st.pending.size();
            break;
        }
        if (st.pending.size() - off < need) break;
        out.push_back({type, true, st.pending.substr(off, need), now});
        off += need;
    }
    st.pending.erase(0, off);
    return out;
}

sim_trade_server::write_plan sim_trade_server::plan_of(const sim_config& cfg) {
    write_plan plan;
    plan.coalesce = cfg.coalesce;
    plan.pieces = cfg.split_pieces;
    plan.random_max = cfg.random_split_max;
    plan.seed = cfg.random_seed;
    plan.delay = cfg.answer_delay;
    return plan;
}

bool sim_trade_server::begin_writing(std::unique_lock<std::mutex>& lock) {
    cv_.wait(lock, [this] { return !writing_ || stopping_; });
    if (stopping_) return false;
    writing_ = true;
    return true;
}

void sim_trade_server::end_writing() {
    {
        std::lock_guard<std::mutex> lock(m_);
        writing_ = false;
    }
    cv_.notify_all();
}

// The collection protocol has no header: the first byte is the type and the
// type fixes the length. A byte of no known type ends the reading of the
// connection, as it does for the client; its bytes stay in raw_received.
void sim_trade_server::cut_report_bytes(size_t conn, conn_state& st, const char* data, size_t len,
                                        std::vector<coll_step>& steps) {
    if (st.coll_stopped) return;
    const sim_config& cfg = config_for(conn);
    st.pending.append(data, len);
    size_t off = 0;
    while (off < st.pending.size()) {
        const uint8_t type = static_cast<uint8_t>(st.pending[off]);
        const size_t left = st.pending.size() - off;
        coll_step step;
        if (type == coll_type_version_check) {
            if (left < coll_version_check_len) break;
            off += coll_version_check_len;
            // The client encrypts with the key this reply names, also when
            // the reply is held back.
            st.coll_test_key = cfg.coll_use_test_key;
            if (cfg.coll_version == coll_version_mode::silent) continue;
            const uint8_t result = cfg.coll_version == coll_version_mode::accept ? 0 : cfg.coll_version_result;
            step.reply = coll_version_reply(result, cfg.coll_use_test_key);
        } else if (type == coll_type_report) {
            if (left < coll_report_len) break;
            step.report = st.pending.substr(off, coll_report_len);
            step.received_at = std::chrono::steady_clock::now();
            off += coll_report_len;
            const size_t index = coll_reports_seen_++;
            if (index < cfg.coll_verdicts.size()) step.verdict = cfg.coll_verdicts[index];
            step.test_key = st.coll_test_key;
            step.key_dir = cfg.coll_key_dir;
            step.user_id = cfg.user_id;
        } else {
            st.coll_stopped = true;
            st.pending.clear();
            return;
        }
        steps.push_back(std::move(step));
    }
    st.pending.erase(0, off);
}

// Runs on the poll thread without the lock: decryption and key files take a
// while, and the answers may block on a client that does not read.
void sim_trade_server::run_report_steps(size_t conn, const std::vector<coll_step>& steps) {
    for (const coll_step& step : steps) {
        if (!step.reply.empty()) {
            if (!tcp_.send(conn, step.reply)) return;
            continue;
        }
        sim_coll_report rec = coll_read_report(conn, step.report, step.test_key, step.key_dir);
        rec.received_at = step.received_at;
        const std::string verdict = coll_verdict_message(step.report, step.verdict, step.user_id, local_time_text());
        {
            std::lock_guard<std::mutex> lock(m_);
            reports_.push_back(std::move(rec));
        }
        cv_.notify_all();
        if (!verdict.empty() && !tcp_.send(conn, verdict)) return;
    }
}

void sim_trade_server::write_answers(hux_test::loopback_server& tcp, size_t conn, const write_plan& plan,
                                     const std::vector<std::string>& answers) {
    std::vector<std::string> joined;
    if (plan.coalesce) {
        std::string all;
        for (const auto& a : answers) all += a;
        joined.push_back(std::move(all));
    }
    const std::vector<std::string>& writes = plan.coalesce ? joined : answers;
    for (const auto& w : writes) {
        if (plan.delay.count() > 0) {
            std::unique_lock<std::mutex> lock(m_);
            if (cv_.wait_for(lock, plan.delay, [this] { return stopping_; })) return;
        }
        bool ok = false;
        if (!plan.pieces.empty()) {
            ok = tcp.send_pieces(conn, w, plan.pieces);
        } else if (plan.random_max > 0) {
            uint32_t n = 0;
            {
                std::lock_guard<std::mutex> lock(m_);
                n = writes_++;
            }
            ok = tcp.send_random_pieces(conn, w, plan.seed + n, plan.random_max);
        } else {
            ok = tcp.send(conn, w);
        }
        if (!ok) return;  // closed or reset: the rest cannot arrive either
    }
}

conn_kind sim_trade_server::kind(size_t conn) const {
    std::lock_guard<std::mutex> lock(m_);
    const conn_state* st = find_state(conn);
    return st ? st->kind : conn_kind::pending;
}

conn_kind sim_trade_server::wait_for_kind(size_t conn, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_);
    conn_kind k = conn_kind::pending;
    cv_.wait_for(lock, timeout, [&] {
        const conn_state* st = find_state(conn);
        k = st ? st->kind : conn_kind::pending;
        return k != conn_kind::pending;
    });
    return k;
}

size_t sim_trade_server::trade_connection(size_t n) const {
    std::lock_guard<std::mutex> lock(m_);
    return n < trade_conns_.size() ? trade_conns_[n] : no_connection;
}

size_t sim_trade_server::wait_for_trade_connection(size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_);
    if (!cv_.wait_for(lock, timeout, [&] { return n < trade_conns_.size(); })) return no_connection;
    return trade_conns_[n];
}

std::vector<sim_coll_report> sim_trade_server::reports() const {
    std::lock_guard<std::mutex> lock(m_);
    return reports_;
}

bool sim_trade_server::wait_for_reports(size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_);
    return cv_.wait_for(lock, timeout, [&] { return reports_.size() >= n; });
}

std::vector<sim_message> sim_trade_server::messages_of(const conn_state* st, const uint16_t* type) {
    std::vector<sim_message> out;
    if (st == nullptr) return out;
    for (const auto& msg : st->messages) {
        if (type == nullptr || (msg.known && msg.type == *type)) out.push_back(msg);
    }
    return out;
}

size_t sim_trade_server::count_of(const conn_state* st, uint16_t type) {
    if (st == nullptr) return 0;
    return static_cast<size_t>(std::count_if(st->messages.begin(), st->messages.end(),
                                             [type](const sim_message& msg) { return msg.known && msg.type == type; }));
}

std::string sim_trade_server::last_of(const conn_state* st, uint16_t type) {
    if (st == nullptr) return std::string();
    for (auto it = st->messages.rbegin(); it != st->messages.rend(); ++it) {
        if (it->known && it->type == type) return it->bytes;
    }
    return std::string();
}

size_t sim_trade_server::unknown_of(const conn_state* st) {
    if (st == nullptr) return 0;
    return static_cast<size_t>(
        std::count_if(st->messages.begin(), st->messages.end(), [](const sim_message& msg) { return !msg.known; }));
}

std::vector<sim_message> sim_trade_server::messages(size_t conn) const {
    std::lock_guard<std::mutex> lock(m_);
    return messages_of(find_state(conn), nullptr);
}

std::vector<sim_message> sim_trade_server::messages(size_t conn, uint16_t type) const {
    std::lock_guard<std::mutex> lock(m_);
    return messages_of(find_state(conn), &type);
}

size_t sim_trade_server::count(size_t conn, uint16_t type) const {
    std::lock_guard<std::mutex> lock(m_);
    return count_of(find_state(conn), type);
}

std::string sim_trade_server::last_message(size_t conn, uint16_t type) const {
    std::lock_guard<std::mutex> lock(m_);
    return last_of(find_state(conn), type);
}

size_t sim_trade_server::unknown_count(size_t conn) const {
    std::lock_guard<std::mutex> lock(m_);
    return unknown_of(find_state(conn));
}

bool sim_trade_server::wait_for_message(size_t conn, uint16_t type, size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_);
    return cv_.wait_for(lock, timeout, [&] { return count_of(find_state(conn), type) >= n; });
}

// ---------------------------------------------------------------- query port

bool sim_trade_server::open_query(uint16_t port) {
    std::lock_guard<std::mutex> lock(m_);
    if (query_tcp_ || stopping_) return false;
    // No hook runs before set_receive_hook, so building it under the lock is safe.
    auto tcp = std::make_unique<hux_test::loopback_server>(port, tcp_.listen_ip());
    if (tcp->port() == 0) return false;
    hux_test::loopback_server* raw = tcp.get();
    tcp->set_receive_hook(
        [this, raw](size_t conn, const char* data, size_t len) { on_query_bytes(*raw, conn, data, len); });
    query_tcp_ = std::move(tcp);
    return true;
}

hux_test::loopback_server* sim_trade_server::query_tcp() const {
    std::lock_guard<std::mutex> lock(m_);
    return query_tcp_.get();
}

hux_test::loopback_server* sim_trade_server::query_transport() const { return query_tcp(); }

uint16_t sim_trade_server::query_port() const {
    hux_test::loopback_server* tcp = query_tcp();
    return tcp ? tcp->port() : 0;
}

bool sim_trade_server::set_query_connection_config(size_t conn, const sim_config& cfg) {
    if (!check_config(cfg, nullptr)) return false;
    std::lock_guard<std::mutex> lock(m_);
    query_conn_cfg_[conn] = cfg;
    return true;
}

const sim_config& sim_trade_server::query_config_for(size_t conn) const {
    auto it = query_conn_cfg_.find(conn);
    return it == query_conn_cfg_.end() ? cfg_ : it->second;
}

const sim_trade_server::conn_state* sim_trade_server::find_query_state(size_t conn) const {
    return conn < query_conns_.size() ? &query_conns_[conn] : nullptr;
}

bool sim_trade_server::wait_for_query_connection(size_t conn, std::chrono::milliseconds timeout) const {
    hux_test::loopback_server* tcp = query_tcp();
    return tcp != nullptr && tcp->wait_accept(conn, timeout);
}

size_t sim_trade_server::query_connection_count() const {
    hux_test::loopback_server* tcp = query_tcp();
    return tcp ? tcp->accepted_count() : 0;
}

std::vector<sim_message> sim_trade_server::query_messages(size_t conn) const {
    std::lock_guard<std::mutex> lock(m_);
    return messages_of(find_query_state(conn), nullptr);
}

std::vector<sim_message> sim_trade_server::query_messages(size_t conn, uint16_t type) const {
    std::lock_guard<std::mutex> lock(m_);
    return messages_of(find_query_state(conn), &type);
}

size_t sim_trade_server::query_count(size_t conn, uint16_t type) const {
    std::lock_guard<std::mutex> lock(m_);
    return count_of(find_query_state(conn), type);
}

std::string sim_trade_server::query_last_message(size_t conn, uint16_t type) const {
    std::lock_guard<std::mutex> lock(m_);
    return last_of(find_query_state(conn), type);
}

size_t sim_trade_server::query_unknown_count(size_t conn) const {
    std::lock_guard<std::mutex> lock(m_);
    return unknown_of(find_query_state(conn));
}

bool sim_trade_server::wait_for_query_message(size_t conn, uint16_t type, size_t n,
                                              std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_);
    return cv_.wait_for(lock, timeout, [&] { return count_of(find_query_state(conn), type) >= n; });
}

std::string sim_trade_server::query_raw_received(size_t conn) const {
    hux_test::loopback_server* tcp = query_tcp();
    return tcp ? tcp->received(conn) : std::string();
}

bool sim_trade_server::send_query_raw(size_t conn, const std::string& bytes) {
    hux_test::loopback_server* tcp = query_tcp();
    return tcp != nullptr && tcp->send(conn, bytes);
}

bool sim_trade_server::push_account_bp(size_t conn, const sim_account_bp& values) {
    return send_query_raw(conn, account_bp_report(values));
}

bool sim_trade_server::send_query_raw_pieces(size_t conn, const std::string& bytes, const std::vector<size_t>& pieces) {
    hux_test::loopback_server* tcp = query_tcp();
    return tcp != nullptr && tcp->send_pieces(conn, bytes, pieces);
}

bool sim_trade_server::send_query_raw_random(size_t conn, const std::string& bytes, uint32_t seed, size_t max_piece) {
    hux_test::loopback_server* tcp = query_tcp();
    return tcp != nullptr && tcp->send_random_pieces(conn, bytes, seed, max_piece);
}

void sim_trade_server::close_query(size_t conn) {
    if (hux_test::loopback_server* tcp = query_tcp()) tcp->close(conn);
}

void sim_trade_server::reset_query(size_t conn) {
    if (hux_test::loopback_server* tcp = query_tcp()) tcp->reset(conn);
}

void sim_trade_server::pause_query_reading(size_t conn, bool paused) {
    if (hux_test::loopback_server* tcp = query_tcp()) tcp->pause_reading(conn, paused);
}

// Runs on the query port's poll thread, the only writer of answers to query
// connections: the requests are recorded, then their answers written without
// the lock.
void sim_trade_server::on_query_bytes(hux_test::loopback_server& tcp, size_t conn, const char* data, size_t len) {
    std::vector<std::string> answers;
    write_plan plan;
    {
        std::lock_guard<std::mutex> lock(m_);
        if (query_conns_.size() <= conn) query_conns_.resize(conn + 1);
        conn_state& st = query_conns_[conn];
        const sim_config& cfg = query_config_for(conn);
        for (sim_message& msg : cut_requests(st, data, len, query_request_length)) {
            if (msg.known && !cfg.silent && !stopping_) {
                for (auto& a : query_answers_to(cfg, msg.bytes)) answers.push_back(std::move(a));
            }
            st.messages.push_back(std::move(msg));
        }
        plan = plan_of(cfg);
    }
    cv_.notify_all();
    if (!answers.empty()) write_answers(tcp, conn, plan, answers);
}

// ---------------------------------------------------------------- UDP

bool sim_trade_server::open_udp(uint16_t port) {
    std::lock_guard<std::mutex> lock(m_);
    if (udp_fd_ >= 0 || stopping_) return false;
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (::inet_pton(AF_INET, tcp_.listen_ip().c_str(), &addr.sin_addr) != 1) {
        ::close(fd);
        return false;
    }
    socklen_t alen = sizeof(addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &alen) != 0) {
        ::close(fd);
        return false;
    }
    int wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake < 0) {
        ::close(fd);
        return false;
    }
    udp_fd_ = fd;
    udp_wake_fd_ = wake;
    udp_port_ = ntohs(addr.sin_port);
    udp_thread_ = std::thread([this] { udp_loop(); });
    return true;
}

uint16_t sim_trade_server::udp_port() const {
    std::lock_guard<std::mutex> lock(m_);
    return udp_port_;
}

std::vector<std::string> sim_trade_server::datagrams() const {
    std::lock_guard<std::mutex> lock(m_);
    std::vector<std::string> out;
    out.reserve(datagrams_.size());
    for (const auto& d : datagrams_) out.push_back(d.bytes);
    return out;
}

std::vector<sim_datagram> sim_trade_server::datagram_log() const {
    std::lock_guard<std::mutex> lock(m_);
    return datagrams_;
}

bool sim_trade_server::wait_for_datagrams(size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_);
    return cv_.wait_for(lock, timeout, [&] { return datagrams_.size() >= n; });
}

// The descriptors are set before the thread starts and closed after it ends,
// so the loop reads them without the lock.
void sim_trade_server::udp_loop() {
    std::string dgram(65536, '\0');
    for (;;) {
        pollfd fds[2] = {{udp_wake_fd_, POLLIN, 0}, {udp_fd_, POLLIN, 0}};
        int ready = ::poll(fds, 2, -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[0].revents != 0) return;
        for (;;) {
            sockaddr_in from{};
            socklen_t from_len = sizeof(from);
            ssize_t n = ::recvfrom(udp_fd_, &dgram[0], dgram.size(), 0, reinterpret_cast<sockaddr*>(&from), &from_len);
            if (n < 0) {
                if (errno == EINTR) continue;
                break;  // EAGAIN: all read
            }
            char ip[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, &from.sin_addr, ip, sizeof(ip));
            on_datagram(std::string(dgram.data(), static_cast<size_t>(n)), ip, ntohs(from.sin_port));
        }
    }
}

// Runs on the UDP thread. The datagram is recorded first, then its
// order-entry requests are answered like those of its connection's stream.
void sim_trade_server::on_datagram(const std::string& bytes, const std::string& source_ip, uint16_t source_port) {
    std::vector<std::string> answers;
    write_plan plan;
    size_t conn = no_connection;
    bool drop = false;
    {
        std::unique_lock<std::mutex> lock(m_);
        // Recorded and judged in one go, so that once it is recorded its
        // answers (if any) are decided.
        const bool may_write = begin_writing(lock);
        auto owner = udp_port_conn_.find(source_port);
        if (owner != udp_port_conn_.end()) conn = owner->second;
        datagrams_.push_back({bytes, source_ip, source_port, conn});
        cv_.notify_all();
        if (!may_write) return;
        // A datagram from an unknown port is answered nowhere, but its drop
        // marker (by the server's configuration) still drops.
        const sim_config& cfg = conn == no_connection ? cfg_ : config_for(conn);
        size_t off = 0;
        while (bytes.size() - off >= 2) {
            const uint16_t type = get_u16(bytes, off);
            const size_t need = request_length(type);
            if (need == 0 || bytes.size() - off < need) break;
            const std::string request = bytes.substr(off, need);
            if (drop_marked(cfg, request)) {
                drop = true;
                break;
            }
            if (conn != no_connection && !cfg.silent && order_entry_request(type)) {
                for (auto& a : answer(cfg, request, next_order_no_, state(conn).order_numbers)) {
                    answers.push_back(std::move(a));
                }
            }
            off += need;
        }
        plan = plan_of(cfg);
        if (answers.empty()) writing_ = false;
    }
    cv_.notify_all();
    if (!answers.empty()) {
        write_answers(tcp_, conn, plan, answers);
        end_writing();
    }
    if (drop) drop_connections();
}

// ---------------------------------------------------------------- dump

std::string requests_by_type(const std::vector<sim_message>& messages) {
    std::map<uint16_t, size_t> counts;
    size_t unknown = 0;
    for (const auto& m : messages) {
        if (m.known) {
            ++counts[m.type];
        } else {
            ++unknown;
        }
    }
    std::string out;
    for (const auto& c : counts) {
        out += (out.empty() ? "" : ", ") + std::to_string(c.first) + " x" + std::to_string(c.second);
    }
    if (unknown > 0) out += (out.empty() ? "" : ", ") + std::string("unknown x") + std::to_string(unknown);
    return out.empty() ? "no requests" : out;
}

std::string traffic_dump(const sim_trade_server& server) {
    std::string out;
    char line[256];
    const size_t accepted = server.connection_count();
    for (size_t conn = 0; conn < accepted; ++conn) {
        if (server.kind(conn) != conn_kind::trade) continue;
        const std::vector<sim_message> messages = server.messages(conn);
        std::snprintf(line, sizeof(line), "hux-sim-server: trade connection %zu: ", conn);
        out += line + requests_by_type(messages) + "\n";
        const sim_message* logon = nullptr;
        for (const auto& m : messages) {
            if (m.known && m.type == msg_logon && m.bytes.size() == len_logon) logon = &m;
        }
        if (logon != nullptr) {
            std::snprintf(line, sizeof(line), "hux-sim-server: trade connection %zu logon udp port %u\n", conn,
                          static_cast<unsigned>(get_u16(logon->bytes, logon_udp_port_at)));
            out += line;
        }
    }
    const std::vector<sim_datagram> datagrams = server.datagram_log();
    for (size_t i = 0; i < datagrams.size(); ++i) {
        const sim_datagram& d = datagrams[i];
        const std::string& b = d.bytes;
        const unsigned type = b.size() >= 2 ? get_u16(b, 0) : b.empty() ? 0u : static_cast<unsigned>(get_u8(b, 0));
        const std::string owner = d.conn == sim_trade_server::no_connection ? "none" : std::to_string(d.conn);
        std::snprintf(line, sizeof(line), "hux-sim-server: datagram %zu from port %u on connection %s: type %u, %zu bytes\n",
                      i, static_cast<unsigned>(d.source_port), owner.c_str(), type, b.size());
        out += line;
    }
    return out;
}

}  // namespace hux_sim
