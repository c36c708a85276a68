// The simulated server's answers to the account queries, built from its
// query data: one series per list query, closed by its own message, and the
// single answers of buying power and risk.
#include <cstring>

#include "sim/sim_query_answers.h"
#include "sim/sim_status_answers.h"

namespace hux_sim {

namespace {

const size_t request_number_at = 4;  // int32 of 73 and 81
const size_t request_account_at = 12;
const size_t request_account_width = 16;

int32_t request_number(const std::string& request) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) {
        v |= static_cast<uint32_t>(static_cast<uint8_t>(request[request_number_at + i])) << (8 * i);
    }
    return static_cast<int32_t>(v);
}

// The request's account text, up to its NUL and never past its field.
std::string request_account(const std::string& request) {
    const std::string field = request.substr(request_account_at, request_account_width);
    return field.substr(0, field.find('\0'));
}

// Each item, then a closing message whose only set field is the end flag.
// `mark` gives a message what every message of the answer shares (the
// request number of 73).
template <typename T, typename Build, typename Mark>
void series(std::vector<std::string>& out, const std::vector<T>& items, uint8_t end_flag, Build build, Mark mark) {
    for (T item : items) {
        mark(item);
        out.push_back(build(item));
    }
    T end;
    end.end_flag = end_flag;
    mark(end);
    out.push_back(build(end));
}

template <typename T, typename Build>
void series(std::vector<std::string>& out, const std::vector<T>& items, uint8_t end_flag, Build build) {
    series(out, items, end_flag, build, [](T&) {});
}

}  // namespace

bool check_query_data(const sim_query_data& data, std::string& why) {
    struct text_check {
        const char* what;
        const std::string* text;
        size_t width;
    };
    std::vector<text_check> texts;
    for (const auto& a : data.user_accounts) texts.push_back({"user_account account", &a.account, 16});
    for (const auto& s : data.symbols) {
        texts.push_back({"symbol_info symbol", &s.symbol, 20});
        texts.push_back({"symbol_info text_30", &s.text_30, 21});
    }
    for (const auto& p : data.future_positions) {
        texts.push_back({"future_position account", &p.account, 16});
        texts.push_back({"future_position symbol", &p.symbol, 20});
    }
    for (const auto& p : data.option_positions) {
        texts.push_back({"option_position account", &p.account, 16});
        texts.push_back({"option_position symbol", &p.symbol, 49});
        texts.push_back({"option_position number_text", &p.number_text, 9});
    }
    for (const auto& o : data.orders) {
        texts.push_back({"rewind_order symbol", &o.symbol, 21});
        texts.push_back({"rewind_order account", &o.account, 16});
    }
    const bool extended = data.execution_type == 1063;
    for (const auto& e : data.executions) {
        texts.push_back({"rewind_execution account", &e.account, 16});
        texts.push_back({"rewind_execution text_57", &e.text_57, extended ? 26u : 31u});
        texts.push_back({"rewind_execution text_83", &e.text_83, 20});
    }
    for (const auto* rates : {&data.margins, &data.fees}) {
        for (const auto& r : *rates) {
            texts.push_back({"account rate account", &r.account, 16});
            texts.push_back({"account rate symbol", &r.symbol, 20});
        }
    }
    texts.push_back({"account_bp account", &data.buying_power.account, 16});
    texts.push_back({"bp_push account", &data.bp_push.account, 16});
    texts.push_back({"account_risk account", &data.account_risk.account, 16});
    texts.push_back({"symbol_risk account", &data.symbol_risk.account, 16});
    texts.push_back({"symbol_risk symbol", &data.symbol_risk.symbol, 20});
    for (const auto& t : texts) {
        if (t.text->size() > t.width) {
            why = std::string(t.what) + " longer than " + std::to_string(t.width) + " bytes: " + *t.text;
            return false;
        }
    }
    if (data.execution_type != 1075 && data.execution_type != 1063) {
        why = "rewind_execution_type neither 1075 nor 1063";
        return false;
    }
    if (data.bp_push_after != 0 && query_request_length(data.bp_push_after) == 0) {
        why = "bp_push_after " + std::to_string(data.bp_push_after) + " is not a query request";
        return false;
    }
    const uint64_t top = UINT32_MAX;
    if ((data.account_risk.fill && data.account_risk.fill_base > top - (account_risk_entry_count - 1)) ||
        (data.symbol_risk.fill && data.symbol_risk.fill_base > top - (symbol_risk_entry_count - 1))) {
        why = "a risk fill base whose last entry passes 4294967295";
        return false;
    }
    return true;
}

std::vector<std::string> query_data_answers(const sim_query_data& data, const std::string& request) {
    std::vector<std::string> out;
    if (!data.answer || request.size() < 2) return out;
    const uint16_t type = static_cast<uint16_t>(static_cast<uint8_t>(request[0]) |
                                                (static_cast<uint8_t>(request[1]) << 8));
    const size_t need = query_request_length(type);
    if (need == 0 || request.size() < need) return out;
    switch (type) {
        case msg_query_user_account:
            series(out, data.user_accounts, data.user_account_end, user_account_answer);
            break;
        case msg_query_symbol:
            series(out, data.symbols, data.symbol_end, symbol_info_answer);
            break;
        case msg_query_position: {
            const int32_t number = request_number(request);
            series(out, data.future_positions, data.future_position_end, future_position_answer,
                   [number](sim_future_position& p) { p.request_no = number; });
            series(out, data.option_positions, data.option_position_end, option_position_answer,
                   [number](sim_option_position& p) { p.request_no = number; });
            break;
        }
        case msg_rewind_order:
            series(out, data.orders, data.order_end, rewind_order_answer);
            if (data.quote_rewind) out.push_back(opaque_query_answer(1095));
            break;
        case msg_rewind_execution: {
            const uint16_t answer_type = data.execution_type;
            series(out, data.executions, data.execution_end,
                   [answer_type](const sim_rewind_execution& e) { return rewind_execution_answer(answer_type, e); });
            break;
        }
        case msg_query_margin:
            series(out, data.margins, data.margin_end,
                   [](const sim_account_rate& r) { return account_rate_answer(1077, r); });
            break;
        case msg_query_fee:
            series(out, data.fees, data.fee_end,
                   [](const sim_account_rate& r) { return account_rate_answer(1078, r); });
            break;
        case msg_query_account_bp: {
            sim_account_bp bp = data.buying_power;
            bp.request_no = request_number(request);
            if (bp.account.empty()) bp.account = request_account(request);
            out.push_back(account_bp_answer(bp));
            break;
        }
        case msg_query_account_risk: {
            sim_account_risk risk = data.account_risk;
            if (risk.account.empty()) risk.account = request_account(request);
            out.push_back(account_risk_answer(risk));
            break;
        }
        case msg_query_symbol_risk: {
            sim_symbol_risk risk = data.symbol_risk;
            if (risk.account.empty()) risk.account = request_account(request);
            out.push_back(symbol_risk_answer(risk));
            break;
        }
        default:
            break;
    }
    return out;
}

}  // namespace hux_sim
