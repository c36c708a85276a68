#pragma once

// UDP order sender over a Solarflare/AMD card through ef_vi. Every frame is
// built in init() in registered packet memory: 16 slots of 2048 bytes, each
// holding at offset 0 the DMA address of its frame and from offset 8 the
// frame itself (Ethernet, IPv4, UDP headers: 42 bytes, then the payload). A
// send writes the two lengths, the payload and, with CTPIO, the IPv4
// checksum, and hands the frame to the card: by a CTPIO push followed by its
// fallback post when the card offers CTPIO, by a DMA post otherwise.
//
// Slots 0 to 14 take the ordinary sends in turn (the first send of a fresh
// sender uses slot 1); slot 15 takes warm-up sends and the heart-beat, and
// its frames carry the two heart-beat MAC fields (zero) as Ethernet
// addresses, so they never reach the trade server. A slot is written again
// only once the card has completed its previous post.
//
// With transmit timestamps (CTPIO cards only) every send waits for its
// completion and the card's transmit time of each ordinary send goes to the
// event sink, on the sending thread. The sender takes no lock: one thread
// sends at a time, and nothing else runs on it meanwhile.
#include <etherfabric/base.h>
#include <etherfabric/ef_vi.h>
#include <etherfabric/memreg.h>
#include <etherfabric/pd.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "bypass/client_server_info.h"

class base_log;

// Receiver of the transmit times (the trade session).
class i_ef_vi_udp_client_event {
public:
    virtual ~i_ef_vi_udp_client_event() {}
    // The transmit time of one datagram, nanoseconds since the epoch.
    virtual void on_ef_vi_udp_report_timestamps(long long ns) = 0;
};

// Formats up to 4096 bytes, writes them to the log under "info" (when there
// is a log) and prints them to standard output behind the header
// "%04d%02d%02d-%02d:%02d:%02d.%06d %05d " (local time, text length).
void ef_lprintf(base_log* log, char const* format, ...) __attribute__((format(printf, 2, 3)));

class ef_vi_udp_sender {
public:
    static constexpr int SLOT_COUNT = 16;
    static constexpr int SLOT_SIZE = 2048;
    static constexpr int WARM_SLOT = 15;
    static constexpr int FRAME_OFFSET = 8;     // the frame within a slot
    static constexpr int HEADER_LEN = 42;      // Ethernet 14, IPv4 20, UDP 8
    static constexpr unsigned MAX_PAYLOAD = SLOT_SIZE - FRAME_OFFSET - HEADER_LEN;  // 1998
    static constexpr std::size_t PKT_BUF_SIZE = 2097152;
    static constexpr long long MIN_HUGEPAGES_KB = 4194304;
    static constexpr int DRAIN_EVERY = 128;
    static constexpr int HEART_BEAT_INTERVAL_US = 50000;

    ef_vi_udp_sender();
    // Does nothing: destory() releases.
    ~ef_vi_udp_sender();
    ef_vi_udp_sender(const ef_vi_udp_sender&) = delete;
    ef_vi_udp_sender& operator=(const ef_vi_udp_sender&) = delete;

    // 0: ready; -1: cannot be set up (bad names or addresses, huge pages, no
    // destination MAC); -2: the card refused a virtual interface (the caller
    // falls back to the kernel's UDP). Call destory() after any result.
    int init(client_server_info const& info, char const* ifname, char const* driver_name,
             i_ef_vi_udp_client_event* sink, base_log* log);

    // Sends one datagram of n payload bytes; n, or -1 when n > 1998 (nothing
    // is written). A warm-up send goes through slot 15.
    int ctpio_send(char const* data, unsigned n, bool warm);
    // Does nothing.
    int send(char const* data, unsigned n);

    // New local and remote addresses and ports: resolves the destination MAC
    // again and rebuilds every header. false, with the old headers kept,
    // when an address is not valid or no MAC is found.
    bool reset_udp_local_info(char const* local_ip, unsigned short local_port, char const* remote_ip,
                              unsigned short remote_port);

    // Releases what init set up (any part of it), stops the heart-beat
    // thread; may run again.
    void destory();

    // Takes every completion there is.
    void handle_tx_events();
    // Takes the completion (with its transmit time) of the send just made.
    void handle_tx_timestamp(bool warm);

    // The steps of init.
    // Destination MAC text ("aa:bb:cc:dd:ee:ff", 17 characters) of ip on the
    // interface from "/proc/net/arp": only complete entries with a non-zero
    // MAC count. false when there is none.
    static bool get_remote_mac(char const* ip, char const* ifname, char* mac_text, std::size_t cap);
    // The gateway "ip route get" names for ip; false when ip is on-link.
    static bool get_gateway_ip(char const* ip, char* gateway, std::size_t cap);
    // Huge pages configured (count), and their size in kB; -1 on failure.
    static long long get_hugepage_size();
    static long long get_hugepage_size_unit();
    static int hex_char_to_i(char c);
    // Builds the 42 header bytes at frame.
    static void init_udp_pkt(unsigned char* frame, unsigned char const* dst_mac, unsigned char const* src_mac,
                             uint32_t src_ip, uint32_t dst_ip, unsigned short src_port, unsigned short dst_port);
    static void int_ip4_hdr(unsigned char* ip, uint32_t src_ip, uint32_t dst_ip);
    static void int_udp_hdr(unsigned char* udp, unsigned short src_port, unsigned short dst_port);

    // Heart-beat: the 8-byte message as a warm-up send every interval until
    // stopped. Nothing in the library starts it.
    bool start_heart_beat_thread();
    void stop_heart_beat_thread();
    int send_heart_beat();

    // State seen by tests and tools.
    bool ctpio() const { return m_ctpio; }
    bool tx_timestamps() const { return m_tx_timestamps; }
    int slot_index() const { return m_slot_index; }
    unsigned char const* slot(int k) const { return m_pkt_buf ? m_pkt_buf + k * SLOT_SIZE : nullptr; }
    void set_print_timestamps(bool on) { m_print_ts = on; }

private:
    static void _th_send_heart_beat(ef_vi_udp_sender* self);
    // Resolves the destination MAC of remote_ip as init's step 6 does, with
    // its log texts; false when there is none.
    bool resolve_remote_mac(char const* remote_ip, uint32_t remote_addr, unsigned char* mac);
    void build_all_slots(unsigned char const* dst_mac);
    void wait_slot_free(int slot);
    void count_completion(ef_request_id id);
    void release_all();

    // The library's objects are opaque here (their members are the
    // library's own); the flags below say which of them are allocated.
    ef_vi m_vi;
    ef_driver_handle m_dh;
    ef_pd m_pd;
    ef_memreg m_memreg;
    bool m_vi_allocated;
    bool m_pd_allocated;
    bool m_memreg_allocated;
    unsigned char* m_pkt_buf;
    bool m_pkt_buf_huge;
    bool m_ctpio;
    uint32_t m_hdr_sum;
    int m_slot_index;
    unsigned m_ctpio_threshold;
    bool m_tx_timestamps;
    bool m_print_ts;
    long long m_sw_send_time;
    char m_ifname[16];
    i_ef_vi_udp_client_event* m_sink;
    base_log* m_log;
    int m_send_count;

    // Addresses of the headers, network order; the texts for logging.
    uint32_t m_local_addr;
    uint32_t m_remote_addr;
    unsigned short m_local_port;
    unsigned short m_remote_port;
    unsigned char m_local_mac[6];
    char m_local_ip[16];
    char m_remote_ip[16];

    // Posts made and completions taken (running counts), the post count at
    // each slot's last post, and the request id of each post in flight (at
    // most one per slot, so 16).
    uint64_t m_posted;
    uint64_t m_completed;
    uint64_t m_slot_post[SLOT_COUNT];
    ef_request_id m_expected_id[SLOT_COUNT];

    uint16_t m_heart_beat_msg[4];
    int m_heart_beat_interval;
    std::atomic<bool> m_heart_beat_stop;
    std::thread m_heart_beat_thread;
    std::mutex m_heart_beat_mutex;
    std::condition_variable m_heart_beat_wake;
    unsigned char m_heart_beat_dst_mac[6];
    unsigned char m_heart_beat_src_mac[6];
};
