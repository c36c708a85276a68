// The TCP client with a receive cache: bytes the user's callback did not
// consume stay in the cache and are offered again, in front of the bytes that
// arrive next, so the user always sees a stream from its first unread byte.
#ifndef MV_HUX_TRADE_SCKT_CACHE_CLIENT_H
#define MV_HUX_TRADE_SCKT_CACHE_CLIENT_H

#include <cstdint>

#include "tools/stream_buffer.h"
#include "net/linux_sckt_client.h"

namespace CLIENT_SCKT_ONLY {

class sckt_cache_client : public sckt_client {
public:
    // cache_size is the cache's starting size; it grows when bytes do not fit.
    explicit sckt_cache_client(unsigned cache_size);
    ~sckt_cache_client() override;

    // Both forms deliver through the cache (Windows has the first only).
    bool sock_init(const char* server_ip, uint16_t port, sckt_event_callback callback, void* context);
#ifndef _WIN32
    bool sock_init_ex(const char* server_ip, uint16_t port, sckt_event_callback callback, void* context);
#endif
    void set_epoll_max_wait_time(int milliseconds);

    static int cache_callback(sckt_param& param, void* context);
    int on_cache_callback(sckt_param& param);

private:
    bool take_user_callback(sckt_event_callback callback, void* context);
    void* m_user_context;
    sckt_event_callback m_user_callback;
    MORVAST::TOOLS::stream_buffer m_cache;
};

}  // namespace CLIENT_SCKT_ONLY

#endif
