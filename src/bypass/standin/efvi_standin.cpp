// Our own ef_vi for hosts without a Solarflare card: the calls the ef_vi
// sender and the TCP flow receiver make, over an AF_PACKET socket bound to
// the interface.
//
// - A driver handle is a descriptor of /dev/null; a protection domain names
//   an existing interface; a virtual interface owns the packet socket and a
//   transmit ring of descriptors (capacity from the ring setting), and, when
//   it has a receive queue, a ring of posted receive buffers.
// - Registered memory is seen through DMA addresses far from any pointer of
//   the process; a table maps them back.
// - The CTPIO push sends the bytes as given. Its fallback post takes a
//   descriptor and only gives a completion. A DMA post sends a copy of the
//   frame whose IPv4 header checksum is filled in, as the card's transmit
//   checksum offload does; with deferred reads the copy is taken when
//   completions are polled.
// - Completions come in posting order. Without transmit timestamps they come
//   as transmit events that ef_vi_transmit_unbundle turns into request ids;
//   with them each post gives one TX-with-timestamp event whose time is the
//   kernel's software transmit time of the frame (SO_TIMESTAMPING, read from
//   the socket's error queue) with the two low nanosecond bits replaced by
//   the sync-flags setting.
// - Receive: the socket of a VI with a receive queue hears nothing until the
//   port-sniff filter binds it to IPv4 (ETH_P_IP, so it sees what passed the
//   netdev ingress hook; promiscuous: PACKET_MR_PROMISC membership). The
//   kernel writes what it hears into a ring of frames shared with the
//   process (PACKET_RX_RING, TPACKET_V2: each frame is handed over on its
//   own as soon as it is written), so a poll takes frames without a system
//   call, as a card's event queue is read from memory; a call per frame
//   would cost more than the receiver's own work. A poll takes frames while
//   pushed buffers are left: frames the host sends (which an ETH_P_IP socket
//   is not given anyway; PACKET_OUTGOING) and frames the drop setting
//   swallows use no buffer; any other frame is copied into the next buffer
//   (EF_EVENT_TYPE_RX), or gives that buffer back with
//   EF_EVENT_TYPE_RX_DISCARD when it is longer than EF_VI_RX_BUFFER_LEN.
//   Without a pushed buffer nothing is taken, and the frames the kernel
//   finds no free place for in the ring (PACKET_STATISTICS) are what a full
//   card ring loses.
#include <etherfabric/base.h>
#include <etherfabric/capabilities.h>
#include <etherfabric/ef_vi.h>
#include <etherfabric/memreg.h>
#include <etherfabric/pd.h>
#include <etherfabric/vi.h>

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/errqueue.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <linux/net_tstamp.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "bypass/standin/standin_efvi.h"

namespace {

// ---------------------------------------------------------------- settings

struct efvi_settings {
    std::atomic<long> capability{1};
    std::atomic<int> refuse_vi{0};
    std::atomic<int> ring{512};
    std::atomic<int> deferred_dma{0};
    std::atomic<int> sync_flags{3};
    std::atomic<int> refuse_tx{0};
    std::atomic<hux_standin_efvi_post_hook> hook{nullptr};
    std::atomic<void*> hook_ctx{nullptr};
    std::atomic<int> driver_opens{0};
    std::atomic<int> drivers_open{0};
    std::atomic<int> last_evq{0};
    std::atomic<long> wire_errors{0};
    std::atomic<int> rx_drop_port{0};
    std::atomic<long> rx_drop_nth{0};
    std::atomic<long> rx_drop_seen{0};  // frames to the port since the setting
    std::atomic<long> rx_knob_drops{0};
    std::atomic<long> rx_socket_drops{0};
    std::atomic<long> rx_events{0};
    std::atomic<long> rx_discards{0};
};

efvi_settings g_settings;
std::once_flag g_env_once;

long env_long(char const* name, long fallback) {
    char const* text = std::getenv(name);
    if (!text || !*text) return fallback;
    char* end = nullptr;
    long value = std::strtol(text, &end, 0);
    return end && *end == '\0' ? value : fallback;
}

void load_env() {
    g_settings.capability = env_long("HUX_EFVI_CAPABILITY", 1);
    g_settings.refuse_vi = static_cast<int>(env_long("HUX_EFVI_REFUSE_VI", 0));
    g_settings.ring = static_cast<int>(env_long("HUX_EFVI_RING", 512));
    g_settings.deferred_dma = static_cast<int>(env_long("HUX_EFVI_DEFERRED_DMA", 0));
    g_settings.sync_flags = static_cast<int>(env_long("HUX_EFVI_SYNC_FLAGS", 3));
    g_settings.refuse_tx = static_cast<int>(env_long("HUX_EFVI_REFUSE_TX", 0));
    g_settings.rx_drop_port = static_cast<int>(env_long("HUX_EFVI_RX_DROP_PORT", 0) & 0xffff);
    g_settings.rx_drop_nth = env_long("HUX_EFVI_RX_DROP_NTH", 0);
}

efvi_settings& settings() {
    std::call_once(g_env_once, load_env);
    return g_settings;
}

// ---------------------------------------------------------------- memory

// DMA addresses: entry k starts at DMA_BASE + k * DMA_SPAN, far above any
// user-space pointer.
constexpr ef_addr DMA_BASE = 0xd000000000000000ull;
constexpr ef_addr DMA_SPAN = 1ull << 36;
constexpr int MAX_REGISTRATIONS = 64;

struct registration {
    bool used;
    unsigned char* mem;
    size_t len;
};

std::mutex g_reg_mutex;
registration g_regs[MAX_REGISTRATIONS];

// The bytes behind [addr, addr + len), or null when they are not registered.
unsigned char* dma_to_pointer(ef_addr addr, size_t len) {
    if (addr < DMA_BASE) return nullptr;
    const ef_addr rel = addr - DMA_BASE;
    const size_t k = static_cast<size_t>(rel / DMA_SPAN);
    const size_t offset = static_cast<size_t>(rel % DMA_SPAN);
    if (k >= MAX_REGISTRATIONS) return nullptr;
    std::lock_guard<std::mutex> hold(g_reg_mutex);
    registration const& r = g_regs[k];
    if (!r.used || offset > r.len || len > r.len - offset) return nullptr;
    return r.mem + offset;
}

// ---------------------------------------------------------------- frames

constexpr int MAX_FRAME = 16384;

// The IPv4 header checksum a card fills on transmit, when the frame is IPv4.
void fill_ipv4_checksum(unsigned char* frame, int len) {
    if (len < 34 || frame[12] != 0x08 || frame[13] != 0x00) return;
    unsigned char* ip = frame + 14;
    const int hlen = (ip[0] & 0x0f) * 4;
    if (hlen < 20 || 14 + hlen > len) return;
    ip[10] = ip[11] = 0;
    uint32_t sum = 0;
    for (int i = 0; i < hlen; i += 2) sum += (uint32_t(ip[i]) << 8) | ip[i + 1];
    while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
    const uint16_t check = static_cast<uint16_t>(~sum);
    ip[10] = static_cast<unsigned char>(check >> 8);
    ip[11] = static_cast<unsigned char>(check);
}

int64_t monotonic_ns() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// A timestamp that has not come after this long is given up (reported as 0).
constexpr int64_t TIMESTAMP_PATIENCE_NS = 2000000000;

}  // namespace

// ---------------------------------------------------------------- VI state

namespace {
struct rx_descriptor {
    ef_request_id id;
    unsigned char* mem;  // the buffer's EF_VI_RX_BUFFER_LEN bytes
};

struct tx_descriptor {
    ef_request_id id;
    bool sent;          // on the wire (or refused by the kernel)
    ef_addr addr;       // DMA posts: the frame, read when it is sent
    int len;
    uint64_t wire_seq;  // which timestamped frame it is (0: none expected)
    int64_t posted_ns;  // monotonic time of the post
};
}  // namespace

struct hux_efvi_state {
    int fd = -1;
    char ifname[IF_NAMESIZE] = {};
    bool timestamps = false;
    int capacity = 0;
    tx_descriptor* ring = nullptr;
    // Running counts: released descriptors, completed (reported) ones, posted ones.
    uint32_t head = 0, done = 0, tail = 0;
    uint64_t wire_seq = 0;          // frames sent on a timestamping socket
    uint64_t ts_read = 0;           // timestamps taken from the error queue
    int64_t last_ts_ns = 0;         // the time of timestamp ts_read
    uint64_t pending_ctpio_seq = 0; // the last push, until a fallback post claims it
    unsigned char scratch[MAX_FRAME];
    // Receive side (rx_capacity 0: none). Running counts: buffers queued,
    // pushed (the card may fill them), given back by an event.
    int ifindex = 0;
    int rx_capacity = 0;
    rx_descriptor* rx_ring = nullptr;
    uint32_t rx_added = 0, rx_pushed = 0, rx_removed = 0;
    bool sniffing = false;
    uint32_t frames_read = 0;  // since the socket's statistics were last taken
    unsigned char* frames = nullptr;  // the socket's ring of received frames
    uint32_t next_frame = 0;          // the ring's frame a poll looks at next
    uint32_t frames_since_empty = 0;  // taken since a poll last found the ring empty
};

namespace {

// Sends len bytes; the frame's timestamp number, 0 when none will come.
uint64_t put_on_wire(hux_efvi_state* st, unsigned char const* bytes, int len) {
    const ssize_t sent = send(st->fd, bytes, static_cast<size_t>(len), 0);
    if (sent != len) {
        settings().wire_errors.fetch_add(1);
        return 0;
    }
    return st->timestamps ? ++st->wire_seq : 0;
}

// A DMA descriptor's frame as the card sends it: a copy with the checksum.
void send_dma(hux_efvi_state* st, tx_descriptor& d) {
    d.sent = true;
    unsigned char* bytes = dma_to_pointer(d.addr, static_cast<size_t>(d.len));
    if (!bytes) return;
    std::memcpy(st->scratch, bytes, static_cast<size_t>(d.len));
    fill_ipv4_checksum(st->scratch, d.len);
    d.wire_seq = put_on_wire(st, st->scratch, d.len);
}

// The kernel's transmit time of timestamped frame seq: 1 when known, 0 when
// it has not come yet. Timestamps of frames nobody waits for are skipped.
int read_timestamp(hux_efvi_state* st, uint64_t seq, int64_t* ns) {
    while (st->ts_read < seq) {
        unsigned char data[64];
        alignas(cmsghdr) unsigned char control[256];
        iovec iov{data, sizeof data};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        if (recvmsg(st->fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT) < 0) return 0;
        int64_t t = 0;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_TIMESTAMPING &&
                c->cmsg_len >= CMSG_LEN(sizeof(timespec[3]))) {
                timespec stamps[3];
                std::memcpy(stamps, CMSG_DATA(c), sizeof stamps);
                t = int64_t(stamps[0].tv_sec) * 1000000000 + stamps[0].tv_nsec;
            }
        }
        ++st->ts_read;
        st->last_ts_ns = t;
    }
    *ns = st->ts_read == seq ? st->last_ts_ns : 0;
    return 1;
}

int take_descriptor_checks(ef_vi* vi) {
    if (!vi || !vi->vi_state) return -EINVAL;
    if (vi->vi_state->capacity == 0) return -EOPNOTSUPP;  // no transmit queue
    if (settings().refuse_tx.load()) return -EIO;
    hux_efvi_state* st = vi->vi_state;
    if (st->tail - st->head >= static_cast<uint32_t>(st->capacity)) return -EAGAIN;
    return 0;
}

void call_hook(ef_addr addr, unsigned char const* bytes, int len, ef_request_id id) {
    hux_standin_efvi_post_hook hook = settings().hook.load();
    if (hook) hook(settings().hook_ctx.load(), addr, bytes, len, id);
}

// A receive socket's ring: 256 blocks of 64 KiB (16 MiB, 7,680 frames, about
// what a card's 4096 buffers and the socket buffer this ring replaced held
// while the poller is off its CPU), each frame with room for the kernel's
// header and a frame of EF_VI_RX_BUFFER_LEN bytes (longer ones are cut
// there; their length is still told). The kernel allocates a block as a
// power of two of pages, so 64 KiB wastes none.
constexpr uint32_t RX_FRAME_SIZE = 2176;
constexpr uint32_t RX_BLOCK_SIZE = 1u << 16;
constexpr uint32_t RX_BLOCKS = 256;
constexpr uint32_t RX_FRAMES_PER_BLOCK = RX_BLOCK_SIZE / RX_FRAME_SIZE;
constexpr uint32_t RX_FRAMES = RX_FRAMES_PER_BLOCK * RX_BLOCKS;
constexpr size_t RX_RING_BYTES = size_t(RX_BLOCK_SIZE) * RX_BLOCKS;
// Where the kernel puts the network header of a frame: behind its header,
// the sender's address and at least 16 bytes for the link header.
static_assert(TPACKET_ALIGN(TPACKET2_HDRLEN + 16) + EF_VI_RX_BUFFER_LEN <= RX_FRAME_SIZE,
              "a frame the size of a buffer fits a ring frame whole");

// The header of ring frame i.
inline tpacket2_hdr* ring_frame(unsigned char* frames, uint32_t i) {
    return reinterpret_cast<tpacket2_hdr*>(frames + size_t(i / RX_FRAMES_PER_BLOCK) * RX_BLOCK_SIZE +
                                           size_t(i % RX_FRAMES_PER_BLOCK) * RX_FRAME_SIZE);
}

// Gives the socket its ring of received frames and maps it; 0 or -errno.
int map_rx_ring(int fd, unsigned char** frames_out) {
    const int version = TPACKET_V2;
    if (setsockopt(fd, SOL_PACKET, PACKET_VERSION, &version, sizeof version) != 0) return -errno;
    tpacket_req req{};
    req.tp_block_size = RX_BLOCK_SIZE;
    req.tp_block_nr = RX_BLOCKS;
    req.tp_frame_size = RX_FRAME_SIZE;
    req.tp_frame_nr = RX_FRAMES;
    if (setsockopt(fd, SOL_PACKET, PACKET_RX_RING, &req, sizeof req) != 0) return -errno;
    void* map = mmap(nullptr, RX_RING_BYTES, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED) return -errno;
    *frames_out = static_cast<unsigned char*>(map);
    return 0;
}

// A packet socket on the interface that hears nothing yet (protocol 0); a
// receive socket (frames_out given) is non-blocking and has its ring of
// received frames.
int open_packet_socket(int ifindex, bool timestamps, unsigned char** frames_out = nullptr) {
    const int fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC | (frames_out ? SOCK_NONBLOCK : 0), 0);
    if (fd < 0) return -errno;
    sockaddr_ll at{};
    at.sll_family = AF_PACKET;
    at.sll_ifindex = ifindex;
    int rc = bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 ? 0 : -errno;
    if (rc == 0 && timestamps) {
        const int how = SOF_TIMESTAMPING_TX_SOFTWARE | SOF_TIMESTAMPING_SOFTWARE | SOF_TIMESTAMPING_OPT_TSONLY;
        rc = setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPING, &how, sizeof how) == 0 ? 0 : -errno;
    }
    if (rc == 0 && frames_out) rc = map_rx_ring(fd, frames_out);
    if (rc != 0) {
        close(fd);
        return rc;
    }
    return fd;
}

// Adds the frames the kernel dropped on the socket since the last call.
void take_socket_drops(hux_efvi_state* st) {
    tpacket_stats stats{};
    socklen_t len = sizeof stats;
    if (getsockopt(st->fd, SOL_PACKET, PACKET_STATISTICS, &stats, &len) == 0 && stats.tp_drops != 0)
        settings().rx_socket_drops.fetch_add(static_cast<long>(stats.tp_drops));
    st->frames_read = 0;
}

// True when the drop setting swallows this received frame: IPv4, TCP, the
// first fragment, to the set port, and the k-th such frame.
bool knob_swallows(unsigned char const* f, size_t len) {
    efvi_settings& s = settings();
    const long nth = s.rx_drop_nth.load(std::memory_order_relaxed);
    if (nth <= 0 || len < 34 || f[12] != 0x08 || f[13] != 0x00 || (f[14] >> 4) != 4 || f[23] != 6) return false;
    if ((((f[20] & 0x1f) << 8) | f[21]) != 0) return false;  // a later fragment: no TCP header
    const size_t tcp = 14 + size_t(f[14] & 0x0f) * 4;
    if (tcp < 34 || len < tcp + 4) return false;
    const int port = (f[tcp + 2] << 8) | f[tcp + 3];
    if (port != s.rx_drop_port.load(std::memory_order_relaxed)) return false;
    if ((s.rx_drop_seen.fetch_add(1) + 1) % nth != 0) return false;
    s.rx_knob_drops.fetch_add(1);
    return true;
}

// Frames the host sends and swallowed ones a poll reads past at most, so a
// flood of them cannot keep it from returning.
constexpr int MAX_SKIPPED_PER_POLL = 256;
constexpr uint32_t FRAMES_PER_STATISTICS = 4096;
// The largest receive ring a VI can have.
constexpr int MAX_RX_CAPACITY = 1 << 16;

int poll_rx(hux_efvi_state* st, ef_event* evs, int evs_len) {
    const uint32_t cap = static_cast<uint32_t>(st->rx_capacity);
    int n = 0, skipped = 0;
    long events = 0, discards = 0;
    while (n < evs_len && st->rx_removed != st->rx_pushed) {
        tpacket2_hdr* h = ring_frame(st->frames, st->next_frame);
        // The kernel hands a frame over by its status, written after its bytes.
        if ((__atomic_load_n(&h->tp_status, __ATOMIC_ACQUIRE) & TP_STATUS_USER) == 0) {
            // Emptied: catch up on the count, when the ring can have been
            // full since it was last found empty (the kernel drops only
            // then, and a poll reads every frame of a full ring before it
            // finds it empty). A poller that keeps up makes no system call.
            if (st->frames_since_empty >= RX_FRAMES && st->frames_read != 0) take_socket_drops(st);
            st->frames_since_empty = 0;
            break;
        }
        unsigned char* const raw = reinterpret_cast<unsigned char*>(h);
        unsigned char const* bytes = raw + h->tp_mac;
        const uint32_t len = h->tp_len;  // on the wire; the ring holds tp_snaplen of them
        const size_t held = h->tp_snaplen < EF_VI_RX_BUFFER_LEN ? h->tp_snaplen : EF_VI_RX_BUFFER_LEN;
        sockaddr_ll const* from = reinterpret_cast<sockaddr_ll const*>(raw + TPACKET_ALIGN(sizeof(tpacket2_hdr)));
        const bool skip = from->sll_pkttype == PACKET_OUTGOING || knob_swallows(bytes, held);
        if (!skip) {
            rx_descriptor const& d = st->rx_ring[st->rx_removed % cap];
            std::memcpy(d.mem, bytes, held);
            ef_event& e = evs[n++];
            e = ef_event{};
            if (len > EF_VI_RX_BUFFER_LEN) {
                e.rx_discard.type = EF_EVENT_TYPE_RX_DISCARD;
                e.rx_discard.rq_id = static_cast<uint32_t>(d.id);
                e.rx_discard.len = static_cast<uint16_t>(len > 0xffff ? 0xffff : len);
                e.rx_discard.subtype = EF_EVENT_RX_DISCARD_TRUNC;
                ++discards;
            } else {
                e.rx.type = EF_EVENT_TYPE_RX;
                e.rx.rq_id = static_cast<uint32_t>(d.id);
                e.rx.len = static_cast<uint16_t>(len);
                e.rx.flags = EF_EVENT_FLAG_SOP;
                ++events;
            }
            ++st->rx_removed;
        }
        // The frame's place goes back to the kernel.
        __atomic_store_n(&h->tp_status, TP_STATUS_KERNEL, __ATOMIC_RELEASE);
        st->next_frame = st->next_frame + 1 == RX_FRAMES ? 0 : st->next_frame + 1;
        ++st->frames_since_empty;
        if (++st->frames_read >= FRAMES_PER_STATISTICS) take_socket_drops(st);
        if (skip && ++skipped >= MAX_SKIPPED_PER_POLL) break;
    }
    if (events != 0) settings().rx_events.fetch_add(events);
    if (discards != 0) settings().rx_discards.fetch_add(discards);
    return n;
}

int poll_tx(hux_efvi_state* st, ef_event* evs, int evs_len) {
    const uint32_t cap = static_cast<uint32_t>(st->capacity);
    int n = 0;
    if (st->timestamps) {
        // One event per post, each releasing its descriptor.
        while (n < evs_len && st->done != st->tail) {
            tx_descriptor& d = st->ring[st->done % cap];
            if (!d.sent) send_dma(st, d);
            int64_t ns = 0;
            if (d.wire_seq != 0 && !read_timestamp(st, d.wire_seq, &ns)) {
                if (monotonic_ns() - d.posted_ns < TIMESTAMP_PATIENCE_NS) break;
                ns = 0;
            }
            const uint32_t flags = static_cast<uint32_t>(settings().sync_flags.load()) & 3u;
            ef_event& e = evs[n++];
            e = ef_event{};
            e.tx_timestamp.type = EF_EVENT_TYPE_TX_WITH_TIMESTAMP;
            e.tx_timestamp.rq_id = static_cast<uint32_t>(d.id);
            e.tx_timestamp.ts_sec = static_cast<uint32_t>(ns / 1000000000);
            e.tx_timestamp.ts_nsec = (static_cast<uint32_t>(ns % 1000000000) & ~3u) | flags;
            ++st->done;
            st->head = st->done;
        }
        return n;
    }
    // The card reads what it has not read yet, then reports in batches.
    for (uint32_t i = st->done; i != st->tail; ++i) {
        tx_descriptor& d = st->ring[i % cap];
        if (!d.sent) send_dma(st, d);
    }
    while (n < evs_len && st->done != st->tail) {
        uint32_t count = st->tail - st->done;
        if (count > EF_VI_TRANSMIT_BATCH) count = EF_VI_TRANSMIT_BATCH;
        st->done += count;
        ef_event& e = evs[n++];
        e = ef_event{};
        e.tx.type = EF_EVENT_TYPE_TX;
        e.tx.desc_id = st->done;
    }
    return n;
}

// The one kind of filter, and the id of a VI's one sniff filter.
constexpr unsigned FILTER_PORT_SNIFF = 1;
constexpr int SNIFF_FILTER_ID = 1;

}  // namespace

extern "C" {

// ---------------------------------------------------------------- driver, pd

int ef_driver_open(ef_driver_handle* dh_out) {
    const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -errno;
    settings().driver_opens.fetch_add(1);
    settings().drivers_open.fetch_add(1);
    *dh_out = fd;
    return 0;
}

int ef_driver_close(ef_driver_handle dh) {
    if (dh < 0 || close(dh) != 0) return -EBADF;
    settings().drivers_open.fetch_sub(1);
    return 0;
}

int ef_pd_alloc_by_name(ef_pd* pd, ef_driver_handle pd_dh, const char* name, enum ef_pd_flags flags) {
    if (!pd || pd_dh < 0 || !name) return -EINVAL;
    const unsigned ifindex = if_nametoindex(name);
    if (ifindex == 0) return -ENODEV;
    pd->pd_ifindex = static_cast<int>(ifindex);
    std::snprintf(pd->pd_intf_name, sizeof pd->pd_intf_name, "%s", name);
    pd->pd_flags = flags;
    return 0;
}

int ef_pd_free(ef_pd* pd, ef_driver_handle) {
    if (!pd || pd->pd_ifindex <= 0) return -EINVAL;
    pd->pd_ifindex = 0;
    pd->pd_intf_name[0] = '\0';
    return 0;
}

int ef_vi_capabilities_get(ef_driver_handle handle, int ifindex, enum ef_vi_capability cap, unsigned long* value) {
    char name[IF_NAMESIZE];
    if (handle < 0 || !value) return -EINVAL;
    if (cap != EF_VI_CAP_CTPIO) return -EOPNOTSUPP;
    if (ifindex <= 0 || !if_indextoname(static_cast<unsigned>(ifindex), name)) return -ENODEV;
    const long setting = settings().capability.load();
    if (setting < 0) return -EOPNOTSUPP;
    *value = static_cast<unsigned long>(setting);
    return 0;
}

// ---------------------------------------------------------------- memory

int ef_memreg_alloc(ef_memreg* mr, ef_driver_handle mr_dh, ef_pd* pd, ef_driver_handle, void* p_mem, size_t len) {
    if (!mr || mr_dh < 0 || !pd || pd->pd_ifindex <= 0 || !p_mem || len == 0 || len > DMA_SPAN) return -EINVAL;
    if (reinterpret_cast<uintptr_t>(p_mem) % 4096 != 0) return -EINVAL;
    std::lock_guard<std::mutex> hold(g_reg_mutex);
    for (int k = 0; k < MAX_REGISTRATIONS; ++k) {
        if (g_regs[k].used) continue;
        g_regs[k] = registration{true, static_cast<unsigned char*>(p_mem), len};
        mr->mr_dma_base = DMA_BASE + ef_addr(k) * DMA_SPAN;
        mr->mr_len = len;
        mr->mr_entry = k;
        return 0;
    }
    return -ENOMEM;
}

int ef_memreg_free(ef_memreg* mr, ef_driver_handle) {
    if (!mr || mr->mr_entry < 0 || mr->mr_entry >= MAX_REGISTRATIONS) return -EINVAL;
    std::lock_guard<std::mutex> hold(g_reg_mutex);
    g_regs[mr->mr_entry] = registration{false, nullptr, 0};
    mr->mr_entry = -1;
    return 0;
}

ef_addr ef_memreg_dma_addr(ef_memreg* mr, size_t offset) { return mr->mr_dma_base + offset; }

// ---------------------------------------------------------------- VI

int ef_vi_alloc_from_pd(ef_vi* vi, ef_driver_handle vi_dh, ef_pd* pd, ef_driver_handle, int evq_capacity,
                        int rxq_capacity, int txq_capacity, ef_vi*, ef_driver_handle, enum ef_vi_flags flags) {
    settings().last_evq = evq_capacity;
    if (settings().refuse_vi.load()) return -EBUSY;
    if (!vi || vi_dh < 0 || !pd || pd->pd_ifindex <= 0 || rxq_capacity > MAX_RX_CAPACITY) return -EINVAL;

    const bool rx = rxq_capacity > 0;
    const bool timestamps = (flags & EF_VI_TX_TIMESTAMPS) != 0;
    unsigned char* frames = nullptr;
    const int fd = open_packet_socket(pd->pd_ifindex, timestamps, rx ? &frames : nullptr);
    if (fd < 0) return fd;
    const int ring = settings().ring.load();
    hux_efvi_state* st = new hux_efvi_state;
    st->fd = fd;
    std::memcpy(st->ifname, pd->pd_intf_name, sizeof st->ifname);
    st->ifname[IF_NAMESIZE - 1] = '\0';
    st->timestamps = timestamps;
    if (rx && txq_capacity == 0) {
        st->capacity = 0;  // receive only
    } else {
        st->capacity = ring > 0 ? ring : 1;
        st->ring = new tx_descriptor[st->capacity]();
    }
    st->ifindex = pd->pd_ifindex;
    if (rx) {
        st->rx_capacity = rxq_capacity;
        st->rx_ring = new rx_descriptor[rxq_capacity]();
        st->frames = frames;
    }
    vi->vi_state = st;
    vi->vi_flags = static_cast<unsigned>(flags);
    vi->vi_evq_capacity = evq_capacity > 0 ? evq_capacity : 4096;
    vi->vi_txq_capacity = st->capacity;
    vi->vi_rxq_capacity = st->rx_capacity;
    return 0;
}

int ef_vi_free(ef_vi* vi, ef_driver_handle) {
    if (!vi || !vi->vi_state) return -EINVAL;
    hux_efvi_state* st = vi->vi_state;
    if (st->rx_capacity > 0) take_socket_drops(st);
    if (st->frames) munmap(st->frames, RX_RING_BYTES);  // the mapping holds the socket too
    close(st->fd);  // also leaves promiscuous mode
    delete[] st->ring;
    delete[] st->rx_ring;
    delete st;
    vi->vi_state = nullptr;
    return 0;
}

int ef_vi_get_mac(ef_vi* vi, ef_driver_handle, void* mac_out) {
    if (!vi || !vi->vi_state || !mac_out) return -EINVAL;
    ifreq req{};
    std::memcpy(req.ifr_name, vi->vi_state->ifname, sizeof req.ifr_name);
    if (ioctl(vi->vi_state->fd, SIOCGIFHWADDR, &req) != 0) return -errno;
    std::memcpy(mac_out, req.ifr_hwaddr.sa_data, 6);
    return 0;
}

const char* ef_vi_version_str(void) { return "hux-efvi-standin 1.0"; }

int ef_vi_transmit_capacity(ef_vi* vi) { return vi && vi->vi_state ? vi->vi_txq_capacity : 0; }
int ef_vi_receive_capacity(ef_vi* vi) { return vi && vi->vi_state ? vi->vi_rxq_capacity : 0; }
int ef_eventq_capacity(ef_vi* vi) { return vi && vi->vi_state ? vi->vi_evq_capacity : 0; }

// ---------------------------------------------------------------- filters

void ef_filter_spec_init(ef_filter_spec* fs, enum ef_filter_flags flags) {
    if (!fs) return;
    *fs = ef_filter_spec{};
    fs->flags = static_cast<unsigned>(flags);
}

int ef_filter_spec_set_port_sniff(ef_filter_spec* fs, int promiscuous) {
    if (!fs || fs->type != 0) return -EPROTONOSUPPORT;
    fs->type = FILTER_PORT_SNIFF;
    fs->promiscuous = promiscuous ? 1 : 0;
    return 0;
}

int ef_vi_filter_add(ef_vi* vi, ef_driver_handle dh, const ef_filter_spec* fs, ef_filter_cookie* filter_cookie_out) {
    if (!vi || !vi->vi_state || dh < 0 || !fs || fs->type != FILTER_PORT_SNIFF) return -EINVAL;
    hux_efvi_state* st = vi->vi_state;
    if (st->rx_capacity == 0) return -EINVAL;
    if (st->sniffing) return -EBUSY;
    packet_mreq req{};
    req.mr_ifindex = st->ifindex;
    req.mr_type = PACKET_MR_PROMISC;
    if (fs->promiscuous && setsockopt(st->fd, SOL_PACKET, PACKET_ADD_MEMBERSHIP, &req, sizeof req) != 0)
        return -errno;
    sockaddr_ll at{};
    at.sll_family = AF_PACKET;
    at.sll_protocol = htons(ETH_P_IP);
    at.sll_ifindex = st->ifindex;
    if (bind(st->fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
        const int err = errno;
        if (fs->promiscuous) setsockopt(st->fd, SOL_PACKET, PACKET_DROP_MEMBERSHIP, &req, sizeof req);
        return -err;
    }
    st->sniffing = true;
    if (filter_cookie_out) *filter_cookie_out = ef_filter_cookie{SNIFF_FILTER_ID, static_cast<int>(FILTER_PORT_SNIFF)};
    return 0;
}

int ef_vi_filter_del(ef_vi* vi, ef_driver_handle dh, ef_filter_cookie* filter_cookie) {
    if (!vi || !vi->vi_state || dh < 0 || !filter_cookie || filter_cookie->filter_id != SNIFF_FILTER_ID) return -EINVAL;
    hux_efvi_state* st = vi->vi_state;
    if (!st->sniffing) return -ENOENT;
    // A packet socket cannot be unbound from its protocol: a fresh one that
    // hears nothing takes the descriptor's place (the old one's membership
    // and waiting frames go with it, once its ring is unmapped too).
    unsigned char* frames = nullptr;
    const int fresh = open_packet_socket(st->ifindex, st->timestamps, &frames);
    if (fresh < 0) return fresh;
    take_socket_drops(st);
    dup3(fresh, st->fd, O_CLOEXEC);
    close(fresh);
    munmap(st->frames, RX_RING_BYTES);
    st->frames = frames;
    st->next_frame = 0;
    st->frames_since_empty = 0;
    st->sniffing = false;
    return 0;
}

// ---------------------------------------------------------------- receive

int ef_vi_receive_init(ef_vi* vi, ef_addr addr, ef_request_id dma_id) {
    if (!vi || !vi->vi_state || vi->vi_state->rx_capacity == 0) return -EINVAL;
    hux_efvi_state* st = vi->vi_state;
    if (st->rx_added - st->rx_removed >= static_cast<uint32_t>(st->rx_capacity)) return -EAGAIN;
    unsigned char* mem = dma_to_pointer(addr, EF_VI_RX_BUFFER_LEN);
    if (!mem) return -EFAULT;
    st->rx_ring[st->rx_added % static_cast<uint32_t>(st->rx_capacity)] = rx_descriptor{dma_id, mem};
    ++st->rx_added;
    return 0;
}

void ef_vi_receive_push(ef_vi* vi) {
    if (vi && vi->vi_state) vi->vi_state->rx_pushed = vi->vi_state->rx_added;
}

int ef_vi_receive_post(ef_vi* vi, ef_addr addr, ef_request_id dma_id) {
    const int rc = ef_vi_receive_init(vi, addr, dma_id);
    if (rc == 0) ef_vi_receive_push(vi);
    return rc;
}

int ef_vi_receive_fill_level(ef_vi* vi) {
    return vi && vi->vi_state ? static_cast<int>(vi->vi_state->rx_added - vi->vi_state->rx_removed) : 0;
}

int ef_vi_receive_prefix_len(ef_vi*) { return 0; }
int ef_vi_receive_buffer_len(ef_vi*) { return EF_VI_RX_BUFFER_LEN; }

// ---------------------------------------------------------------- transmit

void ef_vi_transmit_ctpio(ef_vi* vi, const void* frame_buf, size_t frame_len, unsigned) {
    if (!vi || !vi->vi_state || vi->vi_state->capacity == 0 || settings().refuse_tx.load()) return;
    hux_efvi_state* st = vi->vi_state;
    st->pending_ctpio_seq = put_on_wire(st, static_cast<unsigned char const*>(frame_buf), static_cast<int>(frame_len));
}

int ef_vi_transmit_ctpio_fallback(ef_vi* vi, ef_addr dma_addr, size_t len, ef_request_id dma_id) {
    const int rc = take_descriptor_checks(vi);
    if (rc != 0) return rc;
    hux_efvi_state* st = vi->vi_state;
    unsigned char* bytes = dma_to_pointer(dma_addr, len);
    if (!bytes || len > MAX_FRAME) return -EFAULT;
    call_hook(dma_addr, bytes, static_cast<int>(len), dma_id);
    tx_descriptor& d = st->ring[st->tail % static_cast<uint32_t>(st->capacity)];
    d = tx_descriptor{dma_id, true, dma_addr, static_cast<int>(len), st->pending_ctpio_seq,
                      st->timestamps ? monotonic_ns() : 0};
    st->pending_ctpio_seq = 0;
    ++st->tail;
    return 0;
}

int ef_vi_transmit(ef_vi* vi, ef_addr dma_addr, int len, ef_request_id dma_id) {
    const int rc = take_descriptor_checks(vi);
    if (rc != 0) return rc;
    if (len <= 0 || len > MAX_FRAME) return -EINVAL;
    hux_efvi_state* st = vi->vi_state;
    unsigned char* bytes = dma_to_pointer(dma_addr, static_cast<size_t>(len));
    if (!bytes) return -EFAULT;
    call_hook(dma_addr, bytes, len, dma_id);
    tx_descriptor& d = st->ring[st->tail % static_cast<uint32_t>(st->capacity)];
    d = tx_descriptor{dma_id, false, dma_addr, len, 0, st->timestamps ? monotonic_ns() : 0};
    if (!settings().deferred_dma.load()) send_dma(st, d);
    ++st->tail;
    return 0;
}

// ---------------------------------------------------------------- events

int ef_eventq_poll(ef_vi* vi, ef_event* evs, int evs_len) {
    if (!vi || !vi->vi_state || !evs) return -EINVAL;
    hux_efvi_state* st = vi->vi_state;
    int n = st->capacity > 0 ? poll_tx(st, evs, evs_len) : 0;
    if (st->rx_capacity > 0 && n < evs_len) n += poll_rx(st, evs + n, evs_len - n);
    return n;
}

int ef_vi_transmit_unbundle(ef_vi* vi, const ef_event* event, ef_request_id* ids) {
    if (!vi || !vi->vi_state || !event || EF_EVENT_TYPE(*event) != EF_EVENT_TYPE_TX) return -EINVAL;
    hux_efvi_state* st = vi->vi_state;
    if (st->capacity == 0) return -EINVAL;
    uint32_t count = event->tx.desc_id - st->head;
    if (count > st->done - st->head) count = st->done - st->head;
    if (count > EF_VI_TRANSMIT_BATCH) count = EF_VI_TRANSMIT_BATCH;
    for (uint32_t i = 0; i < count; ++i) ids[i] = st->ring[(st->head + i) % static_cast<uint32_t>(st->capacity)].id;
    st->head += count;
    return static_cast<int>(count);
}

// ---------------------------------------------------------------- settings

void hux_standin_efvi_reset(void) {
    efvi_settings& s = settings();
    s.capability = 1;
    s.refuse_vi = 0;
    s.ring = 512;
    s.deferred_dma = 0;
    s.sync_flags = 3;
    s.refuse_tx = 0;
    s.hook = nullptr;
    s.hook_ctx = nullptr;
    s.driver_opens = 0;
    s.last_evq = 0;
    s.wire_errors = 0;
    s.rx_drop_nth = 0;
    s.rx_drop_port = 0;
    s.rx_drop_seen = 0;
    s.rx_knob_drops = 0;
    s.rx_socket_drops = 0;
    s.rx_events = 0;
    s.rx_discards = 0;
}

void hux_standin_efvi_set_capability(long value) { settings().capability = value; }
long hux_standin_efvi_capability(void) { return settings().capability.load(); }
void hux_standin_efvi_set_refuse_vi(int on) { settings().refuse_vi = on; }
int hux_standin_efvi_refuse_vi(void) { return settings().refuse_vi.load(); }
void hux_standin_efvi_set_ring(int capacity) { settings().ring = capacity; }
int hux_standin_efvi_ring(void) { return settings().ring.load(); }
void hux_standin_efvi_set_deferred_dma(int on) { settings().deferred_dma = on; }
int hux_standin_efvi_deferred_dma(void) { return settings().deferred_dma.load(); }
void hux_standin_efvi_set_sync_flags(int flags) { settings().sync_flags = flags; }
int hux_standin_efvi_sync_flags(void) { return settings().sync_flags.load(); }
void hux_standin_efvi_set_refuse_tx(int on) { settings().refuse_tx = on; }
int hux_standin_efvi_refuse_tx(void) { return settings().refuse_tx.load(); }

void hux_standin_efvi_set_post_hook(hux_standin_efvi_post_hook hook, void* ctx) {
    settings().hook = nullptr;
    settings().hook_ctx = ctx;
    settings().hook = hook;
}

int hux_standin_efvi_driver_opens(void) { return settings().driver_opens.load(); }
int hux_standin_efvi_drivers_open(void) { return settings().drivers_open.load(); }
int hux_standin_efvi_last_evq_capacity(void) { return settings().last_evq.load(); }
long hux_standin_efvi_wire_errors(void) { return settings().wire_errors.load(); }

void hux_standin_efvi_set_rx_drop(unsigned short port, long nth) {
    efvi_settings& s = settings();
    s.rx_drop_nth = 0;
    s.rx_drop_port = port;
    s.rx_drop_seen = 0;
    s.rx_drop_nth = nth;
}
unsigned short hux_standin_efvi_rx_drop_port(void) {
    return static_cast<unsigned short>(settings().rx_drop_port.load());
}
long hux_standin_efvi_rx_drop_nth(void) { return settings().rx_drop_nth.load(); }
long hux_standin_efvi_rx_knob_drops(void) { return settings().rx_knob_drops.load(); }
long hux_standin_efvi_rx_socket_drops(void) { return settings().rx_socket_drops.load(); }
long hux_standin_efvi_rx_events(void) { return settings().rx_events.load(); }
long hux_standin_efvi_rx_discards(void) { return settings().rx_discards.load(); }

}  // extern "C"
