#include "bench/bench_stream.h"

#include <cstring>
#include <string>

#include "sim/sim_order_answers.h"
#include "sim/sim_report_answers.h"
#include "sim/sim_status_answers.h"

namespace hux_bench {

std::vector<unsigned char> mixed_answer_stream() {
    std::vector<unsigned char> stream;
    // Accept, execution and status report, in turn.
    hux_sim::sim_order_answer accept;
    accept.request_tag = 7;
    accept.user_id_low = 0xe9;
    accept.side = 22;
    accept.client_token = 1000;
    accept.quantity = 1;
    accept.price = 123456;
    accept.account = "ACC1";
    accept.symbol = "IF2409";
    accept.order_no = 1;
    hux_sim::sim_execution execution;
    execution.order_no = 1;
    execution.filled_quantity = 1;
    execution.fill_price = 123456;
    execution.symbol = "IF2409";
    hux_sim::sim_symbol_status status;
    status.first = 1;
    status.symbol = "IF2409";
    status.value = 2;
    status.short_text = "OPEN";
    const std::string pattern[3] = {hux_sim::order_insert_answer(accept),
                                    hux_sim::execution_message(1014, execution),
                                    hux_sim::symbol_status_message(false, status)};
    size_t total = 0;
    for (size_t i = 0; i < DISPATCH_MESSAGES; ++i) total += pattern[i % 3].size();
    stream.resize(total);
    size_t at = 0;
    for (size_t i = 0; i < DISPATCH_MESSAGES; ++i) {
        memcpy(&stream[at], pattern[i % 3].data(), pattern[i % 3].size());
        at += pattern[i % 3].size();
    }
    return stream;
}

}  // namespace hux_bench
