#include "tests/windows/support/winsock_peer.h"

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <utility>

#include "tests/support/test_wait.h"

namespace hux_wtest {

bool wait_for(std::function<bool()> done, int timeout_ms) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout_ms < 0 ? 0 : timeout_ms);
    for (;;) {
        if (done()) return true;
        if (GetTickCount64() > deadline) return done();
        Sleep(1);
    }
}

bool wait_for(std::function<bool()> done) { return wait_for(std::move(done), wait_limit_ms()); }

int wait_limit_ms() { return static_cast<int>(hux_test::test_wait().count()); }

winsock_peer::winsock_peer()
    : m_started(false), m_listener(INVALID_SOCKET), m_client(INVALID_SOCKET), m_port(0), m_gone(false), m_stop(false) {
    WSADATA data;
    m_started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (!m_started) return;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return;
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    int len = sizeof(addr);
    if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || listen(s, 4) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        closesocket(s);
        return;
    }
    m_listener = s;
    m_port = ntohs(addr.sin_port);
}

winsock_peer::~winsock_peer() {
    stop_reader();
    if (m_client != INVALID_SOCKET) closesocket(m_client);
    if (m_listener != INVALID_SOCKET) closesocket(m_listener);
    if (m_started) WSACleanup();
}

uint16_t winsock_peer::port() const { return m_port; }

bool winsock_peer::accept_one(int timeout_ms) {
    if (m_listener == INVALID_SOCKET || m_client != INVALID_SOCKET) return false;
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(m_listener, &ready);
    timeval limit;
    limit.tv_sec = timeout_ms / 1000;
    limit.tv_usec = (timeout_ms % 1000) * 1000;
    if (select(0, &ready, nullptr, nullptr, &limit) != 1) return false;
    SOCKET s = accept(m_listener, nullptr, nullptr);
    if (s == INVALID_SOCKET) return false;
    m_client = s;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = false;
        m_gone = false;
    }
    m_reader = std::thread(&winsock_peer::read_loop, this);
    return true;
}

// Waits in short selects so that a stop is seen without closing the socket
// under the reader.
void winsock_peer::read_loop() {
    char buf[4096];
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (m_stop) return;
        }
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(m_client, &ready);
        timeval limit = {0, 10000};
        const int n = select(0, &ready, nullptr, nullptr, &limit);
        if (n == 0) continue;
        const int got = n > 0 ? recv(m_client, buf, sizeof(buf), 0) : -1;
        std::lock_guard<std::mutex> guard(m_lock);
        if (got > 0) {
            m_received.append(buf, static_cast<size_t>(got));
        } else {
            m_gone = true;
        }
        m_changed.notify_all();
        if (got <= 0) return;
    }
}

void winsock_peer::stop_reader() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
    }
    if (m_reader.joinable()) m_reader.join();
}

int winsock_peer::send_bytes(const void* data, int len) {
    if (m_client == INVALID_SOCKET) return -1;
    return send(m_client, static_cast<const char*>(data), len, 0);
}

bool winsock_peer::send_urgent(char byte) {
    if (m_client == INVALID_SOCKET) return false;
    return send(m_client, &byte, 1, MSG_OOB) == 1;
}

bool winsock_peer::wait_received(size_t n, int timeout_ms) {
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(timeout_ms), [&] { return m_received.size() >= n; });
}

std::string winsock_peer::received() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_received;
}

bool winsock_peer::wait_client_gone(int timeout_ms) {
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(timeout_ms), [&] { return m_gone; });
}

void winsock_peer::close_client() {
    if (m_client == INVALID_SOCKET) return;
    // The FIN goes out at once; the reader is then stopped before the socket
    // it waits on is closed.
    shutdown(m_client, SD_SEND);
    stop_reader();
    closesocket(m_client);
    m_client = INVALID_SOCKET;
}

void winsock_peer::stop_listening() {
    if (m_listener == INVALID_SOCKET) return;
    closesocket(m_listener);
    m_listener = INVALID_SOCKET;
}

}  // namespace hux_wtest
