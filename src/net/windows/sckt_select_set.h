// The socket set of the Windows TCP clients' select loop: the sockets a
// client registered (at most 64, in registration order) and, around each
// wait, the groups select fills in. Write readiness is never waited for, so
// the write group stays empty and a socket is reported ready for what select
// actually saw: a readable socket gives one read record, an exceptional
// condition (an urgent byte) one exception record, both give both.
#ifndef MV_HUX_NET_WINDOWS_SCKT_SELECT_SET_H
#define MV_HUX_NET_WINDOWS_SCKT_SELECT_SET_H

#include <winsock2.h>

#include <cstdint>

// Kinds of a ready-event record.
enum sckt_select_kind : uint32_t {
    SELECT_EVENT_NONE = 0,
    SELECT_EVENT_WRITE = 1,
    SELECT_EVENT_READ = 2,
    SELECT_EVENT_EXCEPTION = 3,
};

struct sckt_select_event {
    SOCKET sock = INVALID_SOCKET;
    uint32_t kind = SELECT_EVENT_NONE;
};

class sckt_select_set {
public:
    static const unsigned CAPACITY = 64;

    sckt_select_set();
    ~sckt_select_set();

    // Appends a socket not yet registered; nothing when the set is full.
    void add(SOCKET sock);
    // Takes a registered socket out, the later ones moving up one place.
    void remove(SOCKET sock);
    bool contains(SOCKET sock) const;
    // Registered sockets.
    unsigned size() const;

    // Copies the registered sockets into the read and exception groups and
    // empties the write group.
    void prepare();
    // Sockets in the read, write and exception groups together.
    unsigned total() const;
    // One record per socket of the groups: the read group's (SELECT_EVENT_READ),
    // then the write group's, then the exception group's. More than
    // `capacity`: false, nothing written.
    bool collect(sckt_select_event* records, unsigned capacity) const;

    // prepare(), then select over the read and exception groups for up to
    // `timeout_us`, then collect(). Returns the number of records written,
    // every one of them to be handled; 0 when nothing became ready in time
    // (or more sockets were ready than `capacity`); -1 when select failed
    // (last_select_error() classifies why).
    int wait(long timeout_us, sckt_select_event* records, unsigned capacity);

private:
    fd_set m_read;
    fd_set m_write;
    fd_set m_exception;
    fd_set m_master;
};

// Winsock sets no errno. The class of a Winsock error code, as the errno
// value the wait-error reports are keyed by: EINTR (4) for WSAEINTR, EBADF
// (9) for WSAEBADF and WSAENOTSOCK, EFAULT (14) for WSAEFAULT, EINVAL (22)
// for WSAEINVAL; 0 for every other code.
int select_error_as_errno(int wsa_error);
// The class of the calling thread's last Winsock error.
int last_select_error();

#endif
