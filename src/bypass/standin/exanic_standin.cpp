// Our libexanic stand-in: a card "exanic0" whose ports are ordinary
// interfaces (the HUX_EXANIC_PORTS setting). A transmit buffer is an
// AF_PACKET socket bound to the port's interface, so a frame leaves exactly as
// the caller built it, whatever the interface's driver. The card clock is
// CLOCK_REALTIME moved by a live offset, and the transmit timestamp of a frame
// is the kernel's software transmit timestamp (SO_TIMESTAMPING, read from the
// socket's error queue) moved by the same offset, that is, in card time.
#include <exanic/config.h>
#include <exanic/exanic.h>
#include <exanic/fifo_tx.h>
#include <exanic/time.h>

#include <errno.h>
#include <time.h>  // before linux/errqueue.h, which needs struct timespec
#include <linux/errqueue.h>
#include <linux/if_packet.h>
#include <linux/net_tstamp.h>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "bypass/standin/standin_exanic.h"

struct exanic {
    char name[16];
};

struct exanic_tx {
    exanic_t* card;
    int fd;
    int port;
    // Timestamp keys (SOF_TIMESTAMPING_OPT_ID counts every frame sent on the
    // socket from 0): the key of the last frame sent, and frames sent since
    // the error queue was last read.
    uint32_t next_key;
    uint32_t last_key;
    bool sent_any;
    int unread;
};

namespace {

constexpr int DEFAULT_HW_TYPE = 4;
constexpr std::size_t PORTS_CAP = 256;
// How long a timestamp read waits for the kernel's timestamp of the last frame.
constexpr int TIMESTAMP_WAIT_MS = 2;

struct settings {
    std::mutex ports_lock;
    char ports[PORTS_CAP] = {};
    std::atomic<int> hw_type{DEFAULT_HW_TYPE};
    std::atomic<long long> clock_offset{0};
    std::atomic<int> refuse_tx{0};
    std::atomic<hux_standin_exanic_frame_hook> hook{nullptr};
    std::atomic<void*> hook_ctx{nullptr};
    std::atomic<long> clock_reads{0};
    std::atomic<long> warmups{0};
    std::atomic<long> frames_sent{0};
    std::atomic<long> tx_timestamps{0};
    std::atomic<int> objects_open{0};

    settings() {
        if (const char* v = std::getenv("HUX_EXANIC_PORTS")) std::snprintf(ports, sizeof ports, "%s", v);
        if (const char* v = std::getenv("HUX_EXANIC_HW_TYPE")) hw_type = std::atoi(v);
        if (const char* v = std::getenv("HUX_EXANIC_CLOCK_OFFSET_NS")) clock_offset = std::atoll(v);
        if (const char* v = std::getenv("HUX_EXANIC_REFUSE_TX")) refuse_tx = std::atoi(v);
    }
};

settings& cfg() {
    static settings s;
    return s;
}

thread_local char t_last_error[256];

__attribute__((format(printf, 1, 2))) void set_error(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(t_last_error, sizeof t_last_error, fmt, args);
    va_end(args);
}

long long realtime_ns() {
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// The k-th name of the ports list into out: 1, 0 when that entry is empty or
// too long for an interface name, -1 when the list is shorter.
int port_interface(int port, char* out, std::size_t cap) {
    settings& s = cfg();
    std::lock_guard<std::mutex> guard(s.ports_lock);
    if (!s.ports[0]) return -1;
    const char* p = s.ports;
    for (int k = 0;; ++k) {
        const char* end = std::strchr(p, ',');
        const std::size_t len = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
        if (k == port) {
            if (len == 0 || len >= cap) return 0;
            std::memcpy(out, p, len);
            out[len] = '\0';
            return 1;
        }
        if (!end) return -1;
        p = end + 1;
    }
}

// Reads the error queue without waiting, at most max messages. Returns the
// number of timestamps read; the newest one of them, with its key, goes to ts
// and key.
int read_timestamps(int fd, long long* ts, uint32_t* key, int max = 1 << 30) {
    int got = 0;
    for (int read = 0; read < max; ++read) {
        char control[256];
        char data[64];
        iovec iov{data, sizeof data};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        if (recvmsg(fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT) < 0) return got;
        long long stamp = -1;
        bool have_key = false;
        uint32_t k = 0;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_TIMESTAMPING) {
                scm_timestamping t;
                std::memcpy(&t, CMSG_DATA(c), sizeof t);
                stamp = static_cast<long long>(t.ts[0].tv_sec) * 1000000000LL + t.ts[0].tv_nsec;
            } else if (c->cmsg_level == SOL_PACKET && c->cmsg_type == PACKET_TX_TIMESTAMP) {
                sock_extended_err e;
                std::memcpy(&e, CMSG_DATA(c), sizeof e);
                if (e.ee_origin == SO_EE_ORIGIN_TIMESTAMPING) {
                    k = e.ee_data;
                    have_key = true;
                }
            }
        }
        if (stamp > 0 && have_key) {
            *ts = stamp;
            *key = k;
            ++got;
        }
    }
    return got;
}

}  // namespace

// ------------------------------------------------------------------ settings

extern "C" {

void hux_standin_exanic_reset(void) {
    settings& s = cfg();
    {
        std::lock_guard<std::mutex> guard(s.ports_lock);
        s.ports[0] = '\0';
    }
    s.hw_type = DEFAULT_HW_TYPE;
    s.clock_offset = 0;
    s.refuse_tx = 0;
    s.hook = nullptr;
    s.hook_ctx = nullptr;
    s.clock_reads = 0;
    s.warmups = 0;
    s.frames_sent = 0;
    s.tx_timestamps = 0;
}

void hux_standin_exanic_set_ports(const char* names) {
    settings& s = cfg();
    std::lock_guard<std::mutex> guard(s.ports_lock);
    std::snprintf(s.ports, sizeof s.ports, "%s", names ? names : "");
}

int hux_standin_exanic_ports(char* buf, int cap) {
    settings& s = cfg();
    std::lock_guard<std::mutex> guard(s.ports_lock);
    if (buf && cap > 0) std::snprintf(buf, static_cast<std::size_t>(cap), "%s", s.ports);
    return static_cast<int>(std::strlen(s.ports));
}

void hux_standin_exanic_set_hw_type(int type) { cfg().hw_type = type; }
int hux_standin_exanic_hw_type(void) { return cfg().hw_type; }
void hux_standin_exanic_set_clock_offset_ns(long long offset) { cfg().clock_offset = offset; }
long long hux_standin_exanic_clock_offset_ns(void) { return cfg().clock_offset; }
void hux_standin_exanic_set_refuse_tx(int on) { cfg().refuse_tx = on; }
int hux_standin_exanic_refuse_tx(void) { return cfg().refuse_tx; }

void hux_standin_exanic_set_frame_hook(hux_standin_exanic_frame_hook hook, void* ctx) {
    cfg().hook_ctx = ctx;
    cfg().hook = hook;
}

long hux_standin_exanic_clock_reads(void) { return cfg().clock_reads; }
long hux_standin_exanic_warmups(void) { return cfg().warmups; }
long hux_standin_exanic_frames_sent(void) { return cfg().frames_sent; }
long hux_standin_exanic_tx_timestamps(void) { return cfg().tx_timestamps; }
int hux_standin_exanic_objects_open(void) { return cfg().objects_open; }

// ------------------------------------------------------------------- device

int exanic_find_port_by_interface_name(const char* name, char* device, size_t device_len, int* port_number) {
    if (!name || !*name || !device || device_len < sizeof "exanic0" || !port_number) {
        set_error("%s: bad argument", name ? name : "(null)");
        return -1;
    }
    for (int k = 0;; ++k) {
        char candidate[IF_NAMESIZE];
        const int found = port_interface(k, candidate, sizeof candidate);
        if (found < 0) break;
        if (found > 0 && std::strcmp(candidate, name) == 0) {
            std::snprintf(device, device_len, "%s", "exanic0");
            *port_number = k;
            return 0;
        }
    }
    set_error("%s: not an ExaNIC interface", name);
    return -1;
}

exanic_t* exanic_acquire_handle(const char* device_name) {
    if (!device_name || std::strcmp(device_name, "exanic0") != 0) {
        set_error("%s: No such device", device_name ? device_name : "(null)");
        return nullptr;
    }
    exanic_t* card = new exanic_t;
    std::snprintf(card->name, sizeof card->name, "%s", device_name);
    ++cfg().objects_open;
    return card;
}

void exanic_release_handle(exanic_t* exanic) {
    if (!exanic) return;
    delete exanic;
    --cfg().objects_open;
}

const char* exanic_get_last_error(void) { return t_last_error; }

int exanic_get_hw_type(exanic_t* exanic) { return exanic ? cfg().hw_type.load() : -1; }

// -------------------------------------------------------------------- clock

exanic_cycles_t exanic_read_card_clock(exanic_t* exanic) {
    if (!exanic) return 0;
    settings& s = cfg();
    s.clock_reads.fetch_add(1, std::memory_order_relaxed);
    return static_cast<exanic_cycles_t>(realtime_ns() + s.clock_offset.load(std::memory_order_relaxed));
}

uint64_t exanic_cycles_to_ns(exanic_t*, exanic_cycles_t cycles) { return cycles; }

// ----------------------------------------------------------------- transmit

exanic_tx_t* exanic_acquire_tx_buffer(exanic_t* exanic, int port_number, size_t requested_size) {
    if (!exanic) {
        set_error("%s", "no device handle");
        return nullptr;
    }
    if (requested_size > (1u << 20)) {
        set_error("%s: transmit buffer too large", exanic->name);
        return nullptr;
    }
    char ifname[IF_NAMESIZE];
    if (port_number < 0 || port_interface(port_number, ifname, sizeof ifname) <= 0) {
        set_error("%s: no port %d", exanic->name, port_number);
        return nullptr;
    }
    const unsigned index = if_nametoindex(ifname);
    if (index == 0) {
        set_error("%s: %s", ifname, std::strerror(errno));
        return nullptr;
    }
    const int fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        set_error("socket: %s", std::strerror(errno));
        return nullptr;
    }
    sockaddr_ll addr{};
    addr.sll_family = AF_PACKET;
    addr.sll_protocol = 0;  // transmit only: no frame is ever queued to it
    addr.sll_ifindex = static_cast<int>(index);
    const int flags = SOF_TIMESTAMPING_TX_SOFTWARE | SOF_TIMESTAMPING_SOFTWARE | SOF_TIMESTAMPING_OPT_ID |
                      SOF_TIMESTAMPING_OPT_TSONLY;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPING, &flags, sizeof flags) != 0) {
        set_error("%s: %s", ifname, std::strerror(errno));
        close(fd);
        return nullptr;
    }
    exanic_tx_t* tx = new exanic_tx_t{exanic, fd, port_number, 0, 0, false, 0};
    ++cfg().objects_open;
    return tx;
}

void exanic_release_tx_buffer(exanic_tx_t* tx) {
    if (!tx) return;
    close(tx->fd);
    delete tx;
    --cfg().objects_open;
}

int exanic_transmit_frame_ex(exanic_tx_t* tx, const char* frame, size_t frame_size, int warm) {
    settings& s = cfg();
    if (!tx || !frame) {
        set_error("%s", "no transmit buffer");
        return -1;
    }
    if (s.refuse_tx.load(std::memory_order_relaxed)) {
        set_error("%s: transmit refused (HUX_EXANIC_REFUSE_TX)", tx->card->name);
        return -1;
    }
    if (hux_standin_exanic_frame_hook hook = s.hook.load(std::memory_order_acquire))
        hook(s.hook_ctx.load(std::memory_order_relaxed), frame, frame_size, warm);
    if (warm) {
        s.warmups.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    if (tx->unread > 0) {
        // The timestamps nobody asked for are dropped before each frame, a
        // few at a time (usually the one of the frame before): the error
        // queue stays short, and no send pays for a long drain.
        long long ts;
        uint32_t key;
        tx->unread -= read_timestamps(tx->fd, &ts, &key, tx->unread);
        if (tx->unread < 0) tx->unread = 0;
    }
    if (send(tx->fd, frame, frame_size, 0) != static_cast<ssize_t>(frame_size)) {
        set_error("send: %s", std::strerror(errno));
        return -1;
    }
    tx->last_key = tx->next_key++;
    tx->sent_any = true;
    ++tx->unread;
    s.frames_sent.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

int exanic_transmit_frame(exanic_tx_t* tx, const char* frame, size_t frame_size) {
    return exanic_transmit_frame_ex(tx, frame, frame_size, 0);
}

exanic_cycles_t exanic_get_tx_timestamp(exanic_tx_t* tx) {
    if (!tx || !tx->sent_any) return 0;
    long long stamp = 0;
    bool found = false;
    for (int waited = 0;; ++waited) {
        long long ts;
        uint32_t k;
        if (read_timestamps(tx->fd, &ts, &k) > 0) {
            // Keys count frames; a newer key than expected means the kernel
            // took a key for a frame that then failed, and is ours too.
            if (static_cast<int32_t>(k - tx->last_key) >= 0) {
                stamp = ts;
                found = true;
                tx->last_key = k;
                tx->next_key = k + 1;
            }
        }
        tx->unread = 0;
        if (found || waited == 1) break;
        pollfd p{tx->fd, 0, 0};  // the error queue shows as POLLERR
        poll(&p, 1, TIMESTAMP_WAIT_MS);
    }
    if (!found) return 0;
    tx->sent_any = false;  // one timestamp per frame
    settings& s = cfg();
    s.tx_timestamps.fetch_add(1, std::memory_order_relaxed);
    return static_cast<exanic_cycles_t>(stamp + s.clock_offset.load(std::memory_order_relaxed));
}

}  // extern "C"
