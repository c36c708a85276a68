#include "net/windows/sckt_select_set.h"

#include <cerrno>

static_assert(FD_SETSIZE >= sckt_select_set::CAPACITY, "an fd_set holds every registered socket");

sckt_select_set::sckt_select_set() {
    m_read.fd_count = 0;
    m_write.fd_count = 0;
    m_exception.fd_count = 0;
    m_master.fd_count = 0;
}

sckt_select_set::~sckt_select_set() {
    m_read.fd_count = 0;
    m_write.fd_count = 0;
    m_exception.fd_count = 0;
    m_master.fd_count = 0;
}

void sckt_select_set::add(SOCKET sock) {
    if (contains(sock) || m_master.fd_count >= CAPACITY) return;
    m_master.fd_array[m_master.fd_count++] = sock;
}

void sckt_select_set::remove(SOCKET sock) {
    u_int i = 0;
    while (i < m_master.fd_count && m_master.fd_array[i] != sock) ++i;
    if (i == m_master.fd_count) return;
    for (; i + 1 < m_master.fd_count; ++i) m_master.fd_array[i] = m_master.fd_array[i + 1];
    --m_master.fd_count;
}

bool sckt_select_set::contains(SOCKET sock) const {
    for (u_int i = 0; i < m_master.fd_count; ++i) {
        if (m_master.fd_array[i] == sock) return true;
    }
    return false;
}

unsigned sckt_select_set::size() const { return m_master.fd_count; }

void sckt_select_set::prepare() {
    m_read = m_master;
    m_exception = m_master;
    // Not handed to select: a copy of the master group here would report
    // every socket writable on every pass.
    m_write.fd_count = 0;
}

unsigned sckt_select_set::total() const { return m_read.fd_count + m_write.fd_count + m_exception.fd_count; }

bool sckt_select_set::collect(sckt_select_event* records, unsigned capacity) const {
    if (total() > capacity) return false;
    unsigned n = 0;
    for (u_int i = 0; i < m_read.fd_count; ++i) records[n++] = {m_read.fd_array[i], SELECT_EVENT_READ};
    for (u_int i = 0; i < m_write.fd_count; ++i) records[n++] = {m_write.fd_array[i], SELECT_EVENT_WRITE};
    for (u_int i = 0; i < m_exception.fd_count; ++i) records[n++] = {m_exception.fd_array[i], SELECT_EVENT_EXCEPTION};
    return true;
}

int sckt_select_set::wait(long timeout_us, sckt_select_event* records, unsigned capacity) {
    prepare();
    timeval timeout;
    timeout.tv_sec = timeout_us / 1000000;
    timeout.tv_usec = timeout_us % 1000000;
    const int ready = select(0, &m_read, nullptr, &m_exception, &timeout);
    if (ready < 0) return -1;
    if (ready == 0 || !collect(records, capacity)) return 0;
    return static_cast<int>(total());
}

int select_error_as_errno(int wsa_error) {
    switch (wsa_error) {
    case WSAEINTR:
        return EINTR;
    case WSAEBADF:
    case WSAENOTSOCK:
        return EBADF;
    case WSAEFAULT:
        return EFAULT;
    case WSAEINVAL:
        return EINVAL;
    default:
        return 0;
    }
}

int last_select_error() { return select_error_as_errno(WSAGetLastError()); }
