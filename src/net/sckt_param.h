// Event record of the epoll TCP clients (sckt_client, sckt_cache_client).
#ifndef MV_HUX_TRADE_SCKT_PARAM_H
#define MV_HUX_TRADE_SCKT_PARAM_H

#include "net/socket_param.h"

namespace CLIENT_SCKT_ONLY {

// The same record as socket_param without the socket descriptor; a default
// record carries EVENT_RECONN_SERVER.
class sckt_param : public basic_socket_param {
public:
    sckt_param() : basic_socket_param(EVENT_RECONN_SERVER) {}
    sckt_param(SOCKET_EVENT event, int32_t id, const char** addr_holder, uint32_t size)
        : basic_socket_param(event, id, addr_holder, size) {}

    bool set_sckt_id(int32_t id) {
        m_socket_id = id;
        return true;
    }
    int32_t get_sckt_id() const { return m_socket_id; }
};

typedef int (*sckt_event_callback)(sckt_param& param, void* context);

}  // namespace CLIENT_SCKT_ONLY

#endif
