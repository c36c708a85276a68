// What the socket-level tests share: bytes written as hex and little-endian
// fields read back from raw messages, the heart-beat request and answer the
// simulated server's tests use as a marker in the stream, and a recorder of
// the events the TCP clients hand their callback.
#ifndef HUX_TESTS_NET_SUPPORT_H
#define HUX_TESTS_NET_SUPPORT_H

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "sim/loopback_server.h"
#include "tests/support/hex.h"
#include "tests/support/test_wait.h"
#include "net/socket_param.h"
#include "net/sckt_param.h"

namespace hux_test {
namespace net {

// The bytes of a hex text in lower case; blanks (anything else) are skipped.
inline std::string unhex(const std::string& text) {
    std::string out;
    int high = -1;
    for (char ch : text) {
        int v = (ch >= '0' && ch <= '9') ? ch - '0' : (ch >= 'a' && ch <= 'f') ? ch - 'a' + 10 : -1;
        if (v < 0) continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<char>(high * 16 + v));
            high = -1;
        }
    }
    return out;
}

inline std::string zeros(size_t n) { return std::string(n, '\0'); }

inline std::string hex(const std::string& bytes) { return hex_of(bytes.data(), bytes.size()); }

// Unsigned little-endian field of `width` bytes (at most 8) at `off`.
inline uint64_t le_at(const std::string& m, size_t off, size_t width) {
    uint64_t v = 0;
    for (size_t i = 0; i < width && off + i < m.size(); ++i) {
        v |= static_cast<uint64_t>(static_cast<unsigned char>(m[off + i])) << (8 * i);
    }
    return v;
}
inline uint32_t u32_at(const std::string& m, size_t off) { return static_cast<uint32_t>(le_at(m, off, 4)); }
inline int64_t i64_at(const std::string& m, size_t off) { return static_cast<int64_t>(le_at(m, off, 8)); }

// A heart-beat request of user 1001, 16 bytes.
inline std::string heart_beat(uint8_t seq = 0) {
    return unhex("c800")                  // type 200
           + unhex("1000")                // length 16
           + std::string(1, static_cast<char>(seq)) + zeros(3)  // sequence
           + unhex("e9030000")            // user id 1001
           + zeros(4);                    // bytes 12-15
}

// The server's answer to it. Answers go out in request order, so this answer
// coming back first proves that nothing was written before it.
inline std::string heart_beat_answer() {
    return unhex("b004")   // type 1200
           + unhex("1000")  // length 16
           + zeros(12);     // nothing else
}

// Every event a TCP client (socket_client, socket_cache_client or
// sckt_cache_client) hands its callback: the offered bytes, the connection
// (the socket for the first two, the client id for the last), and the thread
// it came on. `consume` says how many offered bytes the callback takes (all
// when unset); `on_event` runs after each event is recorded, on the thread
// that reported it.
struct event_recorder {
    struct event {
        SOCKET_EVENT type;
        int64_t id;
        uint32_t size;
        std::string bytes;
        pthread_t thread;
        long tid;  // kernel id of that thread
    };

    mutable std::mutex m;
    std::vector<event> events;
    std::function<uint32_t(const std::string&)> consume;
    std::function<void(SOCKET_EVENT)> on_event;

    static int callback(socket_param& p, void* ctx) {
        return static_cast<event_recorder*>(ctx)->record(p, p.get_socket());
    }
    static int callback(CLIENT_SCKT_ONLY::sckt_param& p, void* ctx) {
        return static_cast<event_recorder*>(ctx)->record(p, p.get_sckt_id());
    }

    int record(basic_socket_param& p, int64_t id) {
        event e{p.get_event_type(), id, p.get_buff_size(), std::string(), pthread_self(), syscall(SYS_gettid)};
        if (p.get_buff_addr() != nullptr) e.bytes.assign(p.get_buff_addr(), p.get_buff_size());
        if (e.type == EVENT_RECEIVE) p.set_proc_len(consume ? consume(e.bytes) : static_cast<uint32_t>(e.bytes.size()));
        {
            std::lock_guard<std::mutex> g(m);
            events.push_back(e);
        }
        if (on_event) on_event(e.type);
        return 0;
    }

    std::vector<event> snapshot() const {
        std::lock_guard<std::mutex> g(m);
        return events;
    }
    std::vector<event> of(SOCKET_EVENT type) const {
        std::lock_guard<std::mutex> g(m);
        std::vector<event> out;
        for (const event& e : events)
            if (e.type == type) out.push_back(e);
        return out;
    }
    size_t count(SOCKET_EVENT type) const {
        std::lock_guard<std::mutex> g(m);
        size_t n = 0;
        for (const event& e : events) n += e.type == type ? 1 : 0;
        return n;
    }
    event last() const {
        std::lock_guard<std::mutex> g(m);
        return events.back();
    }
    size_t total() const {
        std::lock_guard<std::mutex> g(m);
        return events.size();
    }
    bool wait_count(SOCKET_EVENT type, size_t n, std::chrono::milliseconds timeout = test_wait()) const {
        return wait_until([&] { return count(type) >= n; }, timeout);
    }
    // Every offered byte, each offer once (right when the callback takes all).
    std::string received() const {
        std::string all;
        for (const event& e : of(EVENT_RECEIVE)) all += e.bytes;
        return all;
    }
};

}  // namespace net
}  // namespace hux_test

#endif
