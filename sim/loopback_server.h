// A scriptable TCP server for tests, on 127.0.0.1 unless told another
// address: accepts connections on a
// background thread, records what each connection receives, and sends, cuts,
// delays, closes (cleanly or with a reset) and stops reading on request. A
// receive hook lets a user (the simulated trade server) see each
// connection's new bytes as they arrive.
#ifndef HUX_SIM_LOOPBACK_SERVER_H
#define HUX_SIM_LOOPBACK_SERVER_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace hux_test {

class loopback_server {
public:
    // Listens at once on `listen_ip` (dotted IPv4) at a free port (or the
    // given one). A bad address leaves it without a listener (port() 0).
    explicit loopback_server(uint16_t port = 0, const std::string& listen_ip = "127.0.0.1");
    // Closes every connection and the listener, and joins its threads.
    ~loopback_server();
    loopback_server(const loopback_server&) = delete;
    loopback_server& operator=(const loopback_server&) = delete;

    // The listening port; 0 when the listener could not be opened.
    uint16_t port() const;
    // The address it listens on, as given.
    const std::string& listen_ip() const;

    // Called on the server's poll thread with the bytes just read from
    // connection `conn`, in arrival order, without any server lock held (so
    // the hook may call send, close, reset, pause_reading). While a hook runs
    // no connection is read. Replaces any earlier hook; an empty one removes it.
    using receive_hook = std::function<void(size_t conn, const char* data, size_t len)>;
    void set_receive_hook(receive_hook hook);

    // Connections are numbered 0, 1, 2, ... in the order they were accepted.
    // Waits until connection number `index` has been accepted; false on time-out.
    bool wait_accept(size_t index, std::chrono::milliseconds timeout);
    size_t accepted_count() const;
    // Stops accepting: new connection attempts are refused (the listener is closed).
    void stop_listening();
    // Accepts again on the same port after stop_listening.
    bool resume_listening();

    // Sends all bytes (blocking until the kernel took them); false on error.
    bool send(size_t conn, const void* data, size_t len);
    bool send(size_t conn, const std::string& data) { return send(conn, data.data(), data.size()); }
    // Sends the bytes cut into the given piece sizes (the last piece takes the
    // rest), waiting `gap` between pieces.
    bool send_pieces(size_t conn, const std::string& data, const std::vector<size_t>& pieces,
                     std::chrono::microseconds gap = std::chrono::microseconds(0));
    // Sends the bytes cut at random points into writes of 1..max_piece bytes.
    bool send_random_pieces(size_t conn, const std::string& data, uint32_t seed, size_t max_piece);

    // Everything received on the connection so far.
    std::string received(size_t conn) const;
    // Waits until at least `n` bytes have been received on the connection.
    bool wait_received(size_t conn, size_t n, std::chrono::milliseconds timeout) const;
    // Waits until the peer closed the connection (read returned 0 or failed).
    bool wait_peer_closed(size_t conn, std::chrono::milliseconds timeout) const;

    // Stops (or resumes) reading the connection, so that the client's send
    // buffer fills up. A small receive buffer is set on accepted sockets on request.
    void pause_reading(size_t conn, bool paused);
    void set_small_receive_buffer(bool small);

    // Closes the connection cleanly (FIN after everything sent).
    // Both return true when this call closed the descriptor, false when the
    // connection does not exist or was closed already.
    bool close(size_t conn);
    // Closes the connection with a reset (SO_LINGER on, time 0).
    bool reset(size_t conn);

private:
    struct impl;
    impl* m_impl;
};

// Polls `cond` every millisecond until it is true or the deadline passes;
// returns the last value of `cond`.
bool wait_until(const std::function<bool()>& cond, std::chrono::milliseconds timeout);

// Counts the live threads of this process (entries of /proc/self/task that
// are not exiting).
size_t thread_count();

// True while the thread `tid` of this process is blocked in the system call
// numbered `nr` (/proc/self/task/TID/syscall).
bool blocked_in(long tid, long nr);

}  // namespace hux_test

#endif  // HUX_SIM_LOOPBACK_SERVER_H
