// Receive-side framing shared by the trade sessions: a per-session table of
// the message types it knows (fixed length by server edition, whether the
// type needs a logon, its handler), one dispatch step that consumes exactly
// one message from the front of a buffer, and the cut loop over a buffer.
// Nothing here allocates or holds session state.
#ifndef HUX_TRADE_DISPATCH_H
#define HUX_TRADE_DISPATCH_H

#include <cstdint>

namespace HUX_TRADE_CORE {

// Handlers read the message in place; `msg` holds at least the route's length.
typedef void (*msg_handler)(void* session, const unsigned char* msg);

struct msg_route {
    uint16_t length;         // fixed length on a current server; 0: the type is unknown
    uint16_t qv27_length;    // fixed length on a qv27 server
    bool needs_logon;        // consumed without handling before the logon
    msg_handler handler;     // null: consumed without action
    msg_handler qv27_handler;  // handler on a qv27 server; null: `handler`
    const char* name;        // the message name for log lines
    const char* invalid_name;  // the name logged when consumed before the logon; null: "invalid " + name
};

// The types one session knows, indexed by type. Each session builds its own.
class msg_route_table {
public:
    static constexpr uint16_t MAX_TYPE = 2206;

    msg_route_table();
    // Adds a known type; its lengths come from the protocol's length table.
    // False for a type the protocol does not have.
    bool add(uint16_t type, bool needs_logon, msg_handler handler, const char* name,
             msg_handler qv27_handler = nullptr, const char* invalid_name = nullptr);
    // Adds a type of a protocol with lengths of its own (the adapter's
    // trade answers that differ from the trade library's, the query
    // answers): one fixed length for every server edition. False for a type
    // above MAX_TYPE or a length below the 4-byte header.
    bool add_explicit(uint16_t type, uint16_t length, bool needs_logon, msg_handler handler, const char* name,
                      const char* invalid_name = nullptr);
    // Null for a type this session does not know.
    const msg_route* find(uint16_t type) const {
        return type <= MAX_TYPE && m_routes[type].length ? &m_routes[type] : nullptr;
    }
    // The longest message this session knows (either edition).
    uint16_t max_length() const { return m_max_length; }

private:
    msg_route m_routes[MAX_TYPE + 1];
    uint16_t m_max_length;
};

enum dispatch_outcome {
    DISPATCH_WAIT = 0,            // not all of the message is buffered yet
    DISPATCH_HANDLED,             // a known message, handed to its handler (or one without action)
    DISPATCH_BEFORE_LOGON,        // a known message that needs a logon, consumed unhandled
    DISPATCH_UNKNOWN_SKIPPED,     // an unknown type with a plausible length field: that many bytes skipped
    DISPATCH_UNKNOWN_DISCARDED    // an unknown type with an implausible length field: the buffer dropped
};

struct dispatch_step {
    uint32_t consumed;            // bytes taken from the front; 0 with DISPATCH_WAIT
    dispatch_outcome outcome;
    uint16_t type;                // the type read (0 when fewer than 2 bytes)
    const msg_route* route;       // null for an unknown type
};

// One message from the front of `data`:
// - fewer than 2 bytes: wait;
// - a known type: its fixed length for the server edition (the length field
//   is never read); wait until all of it is there; before the logon a type that
//   needs it is consumed unhandled; otherwise the handler is called;
// - an unknown type: 2 or 3 bytes wait; with a length field between 4 and the
//   longest known message that many bytes are skipped (waiting until they are
//   all there), so the messages behind it survive; any other length field
//   drops the whole buffer.
dispatch_step dispatch_one(const msg_route_table& table, const unsigned char* data, uint32_t len, bool qv27,
                           bool logged_on, void* session);

// Calls `step(data + offset, remaining)` while it returns more than 0 and
// bytes remain; returns the bytes consumed in all.
template <class STEP>
uint32_t cut_messages(const unsigned char* data, uint32_t len, STEP&& step) {
    uint32_t offset = 0;
    while (offset < len) {
        int n = step(data + offset, len - offset);
        if (n <= 0) break;
        offset += static_cast<uint32_t>(n);
    }
    return offset;
}

}  // namespace HUX_TRADE_CORE

#endif
