// Event records that the TCP clients hand to their callback: what happened on
// the connection, the offered bytes, and how many of them the callback took.
#ifndef API_MORVAST_SOCK_SOCKET_PARAM_H
#define API_MORVAST_SOCK_SOCKET_PARAM_H

#include <cstdint>
#include <string>

enum SOCKET_EVENT : int32_t {
    EVENT_CONNECT = 0,
    EVENT_REMOTE_DISCONNECT = 1,
    EVENT_LOCALE_DISCONNECT = 2,
    EVENT_NETWORK_ERROR = 3,
    EVENT_RECEIVE = 4,
    EVENT_SEND = 5,
    EVENT_RECEIVE_BUFF_FULL = 6,
    EVENT_RECONN_SERVER = 7,
    EVENT_UNKNOW = 8
};

// The fields and operations both record types share. The offered bytes are
// reached through the reporter's own pointer variable (the address holder).
// Copies take every field but the alias.
class basic_socket_param {
public:
    explicit basic_socket_param(SOCKET_EVENT default_event)
        : m_buff_addr(nullptr), m_buff_size(0), m_event_type(default_event), m_socket_id(0), m_proc_len(0) {}
    basic_socket_param(SOCKET_EVENT event, int32_t id, const char** addr_holder, uint32_t size)
        : m_buff_addr(addr_holder), m_buff_size(size), m_event_type(event), m_socket_id(id), m_proc_len(0) {}
    basic_socket_param(const basic_socket_param& o)
        : m_buff_addr(o.m_buff_addr), m_buff_size(o.m_buff_size), m_event_type(o.m_event_type),
          m_socket_id(o.m_socket_id), m_proc_len(o.m_proc_len) {}
    basic_socket_param& operator=(const basic_socket_param& o) {
        if (this != &o) {
            m_buff_addr = o.m_buff_addr;
            m_buff_size = o.m_buff_size;
            m_event_type = o.m_event_type;
            m_socket_id = o.m_socket_id;
            m_proc_len = o.m_proc_len;
        }
        return *this;
    }

    bool set_event_type(SOCKET_EVENT e) {
        m_event_type = e;
        return true;
    }
    SOCKET_EVENT get_event_type() const { return m_event_type; }
    bool set_alias(const std::string& alias) {
        m_alias = alias;
        return true;
    }
    std::string get_alias() const { return m_alias; }
    // Refused (false, nothing changed) without a holder or with size 0.
    bool set_buff(const char** addr_holder, uint32_t size) {
        if (!addr_holder || size == 0) return false;
        m_buff_addr = addr_holder;
        m_buff_size = size;
        return true;
    }
    const char* get_buff_addr() const { return m_buff_addr ? *m_buff_addr : nullptr; }
    uint32_t get_buff_size() const { return m_buff_size; }
    // The number of bytes the callback took from the front of the offered ones.
    bool set_proc_len(uint32_t len) {
        m_proc_len = len;
        return true;
    }
    uint32_t get_proc_len() const { return m_proc_len; }

protected:
    const char** m_buff_addr;
    uint32_t m_buff_size;
    SOCKET_EVENT m_event_type;
    int32_t m_socket_id;
    std::string m_alias;
    uint32_t m_proc_len;
};

// Record of socket_client and socket_cache_client; a default record carries
// EVENT_UNKNOW.
class socket_param : public basic_socket_param {
public:
    socket_param() : basic_socket_param(EVENT_UNKNOW), m_sock(0) {}
    socket_param(SOCKET_EVENT event, int32_t id, const char** addr_holder, uint32_t size, int32_t sock = 0)
        : basic_socket_param(event, id, addr_holder, size), m_sock(sock) {}

    bool set_socket_id(int32_t id) {
        m_socket_id = id;
        return true;
    }
    int32_t get_socket_id() const { return m_socket_id; }
    using basic_socket_param::set_alias;
    bool set_alias(const char* alias) {
        if (alias) m_alias = alias;
        return true;
    }
    int32_t get_socket() const { return m_sock; }
    bool set_sock(int32_t sock) {
        m_sock = sock;
        return true;
    }

private:
    int32_t m_sock;
};

typedef int (*socket_event_callback)(socket_param& param, void* context);

#endif
