// The far end of the TCP clients under test on Windows: a loopback listener
// on a free port that accepts one client, sends it plain or urgent bytes,
// collects what the client sends on a reader thread, and closes. It holds a
// Winsock reference of its own, so the clients' counts under test stay
// theirs alone.
#ifndef HUX_TESTS_WINDOWS_SUPPORT_WINSOCK_PEER_H
#define HUX_TESTS_WINDOWS_SUPPORT_WINSOCK_PEER_H

#include <winsock2.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace hux_wtest {

// Polls `done` until it holds or `timeout_ms` passed; its last answer.
bool wait_for(std::function<bool()> done, int timeout_ms);
// The same for up to wait_limit_ms().
bool wait_for(std::function<bool()> done);

// The longest wait of a test for something that should happen: the tests'
// wait setting (HUX_TEST_WAIT_MS, 10,000 ms when unset).
int wait_limit_ms();

class winsock_peer {
public:
    // Starts Winsock and listens on 127.0.0.1 at a port the system chose.
    winsock_peer();
    // Stops the reader and closes both sockets, then releases Winsock.
    ~winsock_peer();
    winsock_peer(const winsock_peer&) = delete;
    winsock_peer& operator=(const winsock_peer&) = delete;

    // 0 when the listener could not be set up.
    uint16_t port() const;
    // Accepts the next client within the time and starts reading from it.
    bool accept_one(int timeout_ms);
    // One send to the accepted client; its result (-1 without a client).
    int send_bytes(const void* data, int len);
    // One urgent (out-of-band) byte; true when it went out.
    bool send_urgent(char byte);
    // True once at least n bytes arrived from the client.
    bool wait_received(size_t n, int timeout_ms);
    // Everything the client sent so far.
    std::string received();
    // True once the client's end has gone (end of stream or a reset).
    bool wait_client_gone(int timeout_ms);
    // Closes the accepted socket: the client sees the end of the stream.
    void close_client();
    // Closes the listener: later connects are refused.
    void stop_listening();

private:
    void read_loop();
    void stop_reader();

    bool m_started;
    SOCKET m_listener;
    SOCKET m_client;
    uint16_t m_port;
    std::thread m_reader;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::string m_received;
    bool m_gone;
    bool m_stop;
};

}  // namespace hux_wtest

#endif
