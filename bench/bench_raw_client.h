// The baseline client of the loopback benchmarks: a plain TCP socket that
// logs on to the simulated server with request bytes written here by hand,
// sends ready-made 100-byte new orders with one send() each, and reads the
// answers on its own thread. That thread waits exactly as the library's
// receive thread does (epoll_wait on the non-blocking socket, the same
// timeout, one read into an 8 KB buffer) and tells the waiting thread of each
// order accept through the same handoff as the library's accept callback.
// It uses none of the library's code.
#ifndef HUX_BENCH_RAW_CLIENT_H
#define HUX_BENCH_RAW_CLIENT_H

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "bench/bench_env.h"

namespace hux_bench {

// The 100-byte new order that sample_order() becomes for user id 1001.
std::string raw_new_order(uint32_t client_token);

class raw_order_client {
public:
    raw_order_client() = default;
    ~raw_order_client();
    raw_order_client(const raw_order_client&) = delete;
    raw_order_client& operator=(const raw_order_client&) = delete;

    // Connects to 127.0.0.1:port with the library's socket options, sends the
    // version report and the logon request, and reads both answers; false
    // with the reason in `why`. Then starts the reader thread.
    bool start(uint16_t port, int max_wait_ms, std::string* why);
    void stop();

    // One send() of the whole message, with the library's flags; the bytes
    // sent or -1.
    int send_message(const char* data, int len);
    int socket() const { return m_fd; }
    // The reader's epoll_wait timeout from its next wait on (0: busy polling).
    void set_max_wait(int milliseconds) { m_max_wait_ms = milliseconds; }
    const accept_handoff& accepts() const { return m_accepts; }

private:
    void reader();

    int m_fd = -1;
    int m_epoll = -1;
    std::atomic<int> m_max_wait_ms{50};
    std::atomic<bool> m_stop{false};
    std::thread m_reader;
    accept_handoff m_accepts;
};

}  // namespace hux_bench

#endif
