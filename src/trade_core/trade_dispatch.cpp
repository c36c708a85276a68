#include "trade_core/trade_dispatch.h"

#include <cstring>

#include "trade_core/trade_wire.h"

namespace HUX_TRADE_CORE {

namespace {
inline uint16_t read_u16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
constexpr uint32_t HEADER_LEN = 4;
}  // namespace

msg_route_table::msg_route_table() : m_max_length(0) { memset(m_routes, 0, sizeof(m_routes)); }

bool msg_route_table::add(uint16_t type, bool needs_logon, msg_handler handler, const char* name,
                          msg_handler qv27_handler, const char* invalid_name) {
    if (type > MAX_TYPE) return false;
    int length = HUX_TRADE_WIRE::trade_msg_length(type, false);
    int qv27_length = HUX_TRADE_WIRE::trade_msg_length(type, true);
    if (length <= 0 || qv27_length <= 0) return false;
    m_routes[type] = msg_route{static_cast<uint16_t>(length), static_cast<uint16_t>(qv27_length), needs_logon,
                               handler, qv27_handler, name, invalid_name};
    if (length > m_max_length) m_max_length = static_cast<uint16_t>(length);
    if (qv27_length > m_max_length) m_max_length = static_cast<uint16_t>(qv27_length);
    return true;
}

bool msg_route_table::add_explicit(uint16_t type, uint16_t length, bool needs_logon, msg_handler handler,
                                   const char* name, const char* invalid_name) {
    if (type > MAX_TYPE || length < HEADER_LEN) return false;
    m_routes[type] = msg_route{length, length, needs_logon, handler, nullptr, name, invalid_name};
    if (length > m_max_length) m_max_length = length;
    return true;
}

dispatch_step dispatch_one(const msg_route_table& table, const unsigned char* data, uint32_t len, bool qv27,
                           bool logged_on, void* session) {
    dispatch_step step{0, DISPATCH_WAIT, 0, nullptr};
    if (!data || len < 2) return step;
    step.type = read_u16(data);
    step.route = table.find(step.type);
    if (step.route) {
        uint32_t length = qv27 ? step.route->qv27_length : step.route->length;
        if (len < length) return step;
        step.consumed = length;
        if (step.route->needs_logon && !logged_on) {
            step.outcome = DISPATCH_BEFORE_LOGON;
            return step;
        }
        msg_handler handler = qv27 && step.route->qv27_handler ? step.route->qv27_handler : step.route->handler;
        if (handler) handler(session, data);
        step.outcome = DISPATCH_HANDLED;
        return step;
    }
    if (len < HEADER_LEN) return step;
    uint32_t claimed = read_u16(data + 2);
    if (claimed >= HEADER_LEN && claimed <= table.max_length()) {
        if (len < claimed) return step;
        step.consumed = claimed;
        step.outcome = DISPATCH_UNKNOWN_SKIPPED;
        return step;
    }
    step.consumed = len;
    step.outcome = DISPATCH_UNKNOWN_DISCARDED;
    return step;
}

}  // namespace HUX_TRADE_CORE
