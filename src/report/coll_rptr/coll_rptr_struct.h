// Records of one terminal report: the collection server to report to and the
// logins to report. coll_rptr_app fills them; tcp_client copies them.
#ifndef HUX_COLL_RPTR_STRUCT_H
#define HUX_COLL_RPTR_STRUCT_H

#include <string>
#include <vector>

// The collection server: the trade server's address and TCP port.
struct server_info {
    char ip[32] = {};        // dotted text, NUL-terminated
    int port = 0;
    char mac_addr[18] = {};  // zero-filled, not read
};

// One login to report. All texts are NUL-terminated.
struct client_info {
    char m_app_id[30] = {};
    char m_auth_code[18] = {};
    char m_login_id[33] = {};
    char m_password[33] = {};  // upper-case MD5 hex text of the password, never the password
    char m_ip2[16] = {};       // the trade session's configured local address
};

// The logins of one report. The assignment deliberately leaves m_local_ip
// alone: a report stored by assignment is never bound to a local address.
struct clients_info {
    clients_info() : m_rptr_time(0), m_reconnect_time(0) {}
    clients_info(const clients_info& o)
        : m_rptr_time(o.m_rptr_time),
          m_reconnect_time(o.m_reconnect_time),
          m_local_ip(o.m_local_ip),
          m_vec_client(o.m_vec_client) {}
    clients_info& operator=(const clients_info& o) {
        if (this != &o) {
            m_rptr_time = o.m_rptr_time;
            m_reconnect_time = o.m_reconnect_time;
            m_vec_client = o.m_vec_client;
        }
        return *this;
    }

    int m_rptr_time;       // not read
    int m_reconnect_time;  // not read
    std::string m_local_ip;
    std::vector<client_info> m_vec_client;
};

#endif
