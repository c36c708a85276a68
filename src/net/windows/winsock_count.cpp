#include "net/windows/winsock_count.h"

#include <winsock2.h>
#include <windows.h>

namespace {

struct winsock_count {
    SRWLOCK lock;
    int users;
};

// Constant-initialised, so a client made by another unit's static
// initialiser finds them ready.
winsock_count g_sckt_only_count = {SRWLOCK_INIT, 0};
winsock_count g_socket_count = {SRWLOCK_INIT, 0};

void startup(winsock_count& count) {
    AcquireSRWLockExclusive(&count.lock);
    if (++count.users < 2) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ReleaseSRWLockExclusive(&count.lock);
}

void cleanup(winsock_count& count) {
    AcquireSRWLockExclusive(&count.lock);
    if (count.users > 0 && --count.users == 0) WSACleanup();
    ReleaseSRWLockExclusive(&count.lock);
}

int users(winsock_count& count) {
    AcquireSRWLockShared(&count.lock);
    const int n = count.users;
    ReleaseSRWLockShared(&count.lock);
    return n;
}

}  // namespace

namespace CLIENT_SCKT_ONLY {

void winsock_startup() { startup(g_sckt_only_count); }
void winsock_cleanup() { cleanup(g_sckt_only_count); }
int winsock_users() { return users(g_sckt_only_count); }

}  // namespace CLIENT_SCKT_ONLY

void winsock_startup() { startup(g_socket_count); }
void winsock_cleanup() { cleanup(g_socket_count); }
int winsock_users() { return users(g_socket_count); }
