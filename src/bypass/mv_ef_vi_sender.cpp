#include "bypass/mv_ef_vi_sender.h"

#include <etherfabric/capabilities.h>
#include <etherfabric/vi.h>

#include <arpa/inet.h>
#include <net/if.h>
#include <sys/mman.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bypass/bypass_fatal.h"
#include "bypass/udp_frame.h"
#include "tools/base_log.h"

#define TRY(x) HUX_BYPASS_TRY("mv_ef_vi_sender", x)
#define TEST(x) HUX_BYPASS_TEST("mv_ef_vi_sender", x)

// A transmit post, retried while the ring is full: the completions that free
// ring entries are taken between tries. Any other failure is fatal.
#define TRY_POST(call)                                                                   \
    do {                                                                                 \
        int post_rc_;                                                                    \
        while ((post_rc_ = (call)) == -EAGAIN) handle_tx_events();                       \
        if (post_rc_ < 0) {                                                              \
            const int post_errno_ = errno;                                               \
            bypass_fatal("TRY", #call, "mv_ef_vi_sender", __LINE__, true, post_rc_, post_errno_); \
        }                                                                                \
    } while (0)

namespace {

// An interface name the shell commands can carry: 1 to 15 letters, digits,
// '.', '_' or '-'.
bool valid_ifname(char const* name) {
    const std::size_t len = strnlen(name, IF_NAMESIZE);
    if (len == 0 || len >= IF_NAMESIZE) return false;
    for (std::size_t i = 0; i < len; ++i) {
        const char c = name[i];
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                        c == '_' || c == '-';
        if (!ok) return false;
    }
    return true;
}

// A dotted IPv4 address terminated within 16 bytes; network order.
bool parse_ip(char const* text, uint32_t* addr) {
    if (!text || strnlen(text, 16) >= 16) return false;
    in_addr a;
    if (inet_pton(AF_INET, text, &a) != 1) return false;
    *addr = a.s_addr;
    return true;
}

long long realtime_ns() {
    timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// Runs a shell command and discards its output.
void run_quietly(char const* cmd) {
    FILE* pipe = popen(cmd, "r");
    if (!pipe) return;
    char line[256];
    while (std::fgets(line, sizeof line, pipe)) {
    }
    pclose(pipe);
}

void log_info(base_log* log, char const* format, ...) __attribute__((format(printf, 2, 3)));
void log_info(base_log* log, char const* format, ...) {
    if (!log) return;
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    log->write_txt("info", text);
}

}  // namespace

void ef_lprintf(base_log* log, char const* format, ...) {
    char text[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (log) log->write_txt("info", text);
    timeval now;
    gettimeofday(&now, nullptr);
    tm local;
    localtime_r(&now.tv_sec, &local);
    std::printf("%04d%02d%02d-%02d:%02d:%02d.%06d %05d %s", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(now.tv_usec),
                static_cast<int>(std::strlen(text)), text);
    std::fflush(stdout);
}

// ---------------------------------------------------------------- life

ef_vi_udp_sender::ef_vi_udp_sender()
    : m_vi(),
      m_dh(-1),
      m_pd(),
      m_memreg(),
      m_vi_allocated(false),
      m_pd_allocated(false),
      m_memreg_allocated(false),
      m_pkt_buf(nullptr),
      m_pkt_buf_huge(false),
      m_ctpio(false),
      m_hdr_sum(0),
      m_slot_index(1),
      m_ctpio_threshold(0xffff),
      m_tx_timestamps(false),
      m_print_ts(false),
      m_sw_send_time(0),
      m_ifname(),
      m_sink(nullptr),
      m_log(nullptr),
      m_send_count(0),
      m_local_addr(0),
      m_remote_addr(0),
      m_local_port(0),
      m_remote_port(0),
      m_local_mac(),
      m_local_ip(),
      m_remote_ip(),
      m_posted(0),
      m_completed(0),
      m_slot_post(),
      m_expected_id(),
      m_heart_beat_msg{8, 1, 0, 0},
      m_heart_beat_interval(HEART_BEAT_INTERVAL_US),
      m_heart_beat_stop(false),
      m_heart_beat_dst_mac(),
      m_heart_beat_src_mac() {}

// Only a heart-beat thread still running is stopped (a running std::thread
// must not be destroyed); the card's objects are destory()'s.
ef_vi_udp_sender::~ef_vi_udp_sender() { stop_heart_beat_thread(); }

void ef_vi_udp_sender::destory() { release_all(); }

void ef_vi_udp_sender::release_all() {
    stop_heart_beat_thread();
    if (m_memreg_allocated) {
        ef_memreg_free(&m_memreg, m_dh);
        m_memreg_allocated = false;
    }
    if (m_vi_allocated) {
        ef_vi_free(&m_vi, m_dh);
        m_vi_allocated = false;
    }
    if (m_pd_allocated) {
        ef_pd_free(&m_pd, m_dh);
        m_pd_allocated = false;
    }
    if (m_dh >= 0) {
        ef_driver_close(m_dh);
        m_dh = -1;
    }
    if (m_pkt_buf) {
        if (m_pkt_buf_huge)
            munmap(m_pkt_buf, PKT_BUF_SIZE);
        else
            std::free(m_pkt_buf);
        m_pkt_buf = nullptr;
        m_pkt_buf_huge = false;
    }
    m_heart_beat_stop = true;
}

// ---------------------------------------------------------------- init

int ef_vi_udp_sender::init(client_server_info const& info, char const* ifname, char const* driver_name,
                           i_ef_vi_udp_client_event* sink, base_log* log) {
    release_all();  // a second init without destory() starts afresh

    // 1. Sink, log, timestamp option.
    m_sink = sink;
    m_log = log;
    m_tx_timestamps = info.timestamps != 0;

    // 2. Interface name; every name and address is checked before any shell
    // command sees it.
    if (!ifname || !*ifname) {
        ef_lprintf(log, "[ef_vi_udp_sender::init] Sloarflare NetCard interface name not set,please check.");
        return -1;
    }
    if (!valid_ifname(ifname)) {
        ef_lprintf(log, "[ef_vi_udp_sender::init] invalid interface name[%.15s].", ifname);
        return -1;
    }
    uint32_t local_addr = 0, remote_addr = 0;
    if (!parse_ip(info.local_ip, &local_addr) || !parse_ip(info.server_ip, &remote_addr)) {
        ef_lprintf(log, "[ef_vi_udp_sender::init] invalid local ip[%.15s] or remote ip[%.15s].", info.local_ip,
                   info.server_ip);
        return -1;
    }
    std::memset(m_ifname, 0, sizeof m_ifname);
    std::memcpy(m_ifname, ifname, strnlen(ifname, sizeof m_ifname - 1));
    ef_lprintf(log, "ef_vi interface name %s\n", m_ifname);
    ef_lprintf(log, "ef_vi Built with Onload %s\n", ef_vi_version_str());
    m_heart_beat_interval = HEART_BEAT_INTERVAL_US;

    // 3. Huge pages, counted in 64 bits.
    const long long pages = get_hugepage_size();
    if (pages < 0) {
        ef_lprintf(log, "[ef_vi_udp_sender::init] cant not get system hugepages size.");
        return -1;
    }
    const long long page_kb = get_hugepage_size_unit();
    if (page_kb < 0) {
        ef_lprintf(log, "[ef_vi_udp_sender::init] cant not get system hugepages size unit.");
        return -1;
    }
    long long total_kb = 0;
    if (__builtin_mul_overflow(pages, page_kb, &total_kb)) total_kb = __LONG_LONG_MAX__;
    ef_lprintf(log, "system hugepages size = %lld \n", total_kb);
    if (total_kb < MIN_HUGEPAGES_KB) {
        ef_lprintf(log, "[ef_vi_udp_sender::init] system hugepages size < %d, please config_hugepage!",
                   static_cast<int>(MIN_HUGEPAGES_KB));
        return -1;
    }

    // 4. Ping the server so that the neighbour table holds it.
    char cmd[128];
    std::snprintf(cmd, sizeof cmd, "ping -c 3 -i 0.2 -I %s %s", m_ifname, info.server_ip);
    run_quietly(cmd);
    usleep(50000);

    // 5. Addresses and ports.
    m_local_addr = local_addr;
    m_remote_addr = remote_addr;
    m_local_port = info.local_port;
    m_remote_port = info.server_port;
    std::snprintf(m_local_ip, sizeof m_local_ip, "%s", info.local_ip);
    std::snprintf(m_remote_ip, sizeof m_remote_ip, "%s", info.server_ip);

    // 6. Destination MAC.
    unsigned char remote_mac[6];
    if (!resolve_remote_mac(m_remote_ip, m_remote_addr, remote_mac)) return -1;

    // 7. Driver and protection domain.
    TRY(ef_driver_open(&m_dh));
    TRY(ef_pd_alloc_by_name(&m_pd, m_dh, m_ifname, EF_PD_DEFAULT));
    m_pd_allocated = true;

    // 8. CTPIO, and with it transmit timestamps.
    unsigned long ctpio_cap = 0;
    const int cap_rc = ef_vi_capabilities_get(m_dh, static_cast<int>(if_nametoindex(m_ifname)), EF_VI_CAP_CTPIO,
                                              &ctpio_cap);
    unsigned vi_flags = EF_VI_FLAGS_DEFAULT;
    if (cap_rc == 0 && ctpio_cap != 0) {
        m_ctpio = true;
        vi_flags |= EF_VI_TX_CTPIO;
        if (m_tx_timestamps) {
            vi_flags |= EF_VI_TX_TIMESTAMPS;
            log_info(log, "[ef_vi_udp_sender::init] set tx timestamp flag ...");
        }
    } else {
        m_ctpio = false;
        m_tx_timestamps = false;
        log_info(log,
                 "[ef_vi_udp_sender::init] Solarflare NetWork Card is too old,CTPIO is not available,using DMA "
                 "(normal send) instead.");
    }

    // 9. Virtual interface: no receive queue, the default transmit queue.
    const int evq = driver_name && std::strcmp(driver_name, "xilinx_efct") == 0 ? 8184 : 20480;
    const int vi_rc = ef_vi_alloc_from_pd(&m_vi, m_dh, &m_pd, m_dh, evq, 0, -1, nullptr, -1,
                                          static_cast<enum ef_vi_flags>(vi_flags));
    if (vi_rc < 0) {
        log_info(log, "[ef_vi_udp_sender::init] Failed to allocate VI,rc=%d.", vi_rc);
        return -2;
    }
    m_vi_allocated = true;
    m_posted = m_completed = 0;
    std::memset(m_slot_post, 0, sizeof m_slot_post);
    m_send_count = 0;

    // 10.
    ef_lprintf(log, "ef_vi_udp_sender txq_size=%d,rxq_size=%d,evq_size=%d,sync_check_enabled=%d,inited=%d\n",
               ef_vi_transmit_capacity(&m_vi), ef_vi_receive_capacity(&m_vi), ef_eventq_capacity(&m_vi),
               m_tx_timestamps ? 1 : 0, 1);

    // 11. Packet memory: one huge page when possible.
    void* mem = mmap(nullptr, PKT_BUF_SIZE, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_HUGETLB, -1, 0);
    if (mem != MAP_FAILED) {
        m_pkt_buf_huge = true;
    } else {
        mem = nullptr;
        TEST(posix_memalign(&mem, 4096, PKT_BUF_SIZE) == 0);
        std::memset(mem, 0, PKT_BUF_SIZE);
        m_pkt_buf_huge = false;
    }
    m_pkt_buf = static_cast<unsigned char*>(mem);
    TRY(ef_memreg_alloc(&m_memreg, m_dh, &m_pd, m_dh, m_pkt_buf, PKT_BUF_SIZE));
    m_memreg_allocated = true;

    // 12. Headers of every slot, DMA addresses, header sum.
    TRY(ef_vi_get_mac(&m_vi, m_dh, m_local_mac));
    build_all_slots(remote_mac);

    // 13.
    ef_lprintf(log,
               "ef_vi_udp_sender init success,dev[%s],local_ip[%s],local_port[%d],remote_ip[%s],remote_port[%d],"
               "hearbeat[%d]\n",
               m_ifname, m_local_ip, m_local_port, m_remote_ip, m_remote_port, m_heart_beat_interval);
    return 0;
}

bool ef_vi_udp_sender::resolve_remote_mac(char const* remote_ip, uint32_t remote_addr, unsigned char* mac) {
    const unsigned char* a = reinterpret_cast<unsigned char const*>(&remote_addr);
    if (a[0] >= 224) {
        // IPv4 multicast: 01:00:5e and the address's low 23 bits.
        mac[0] = 0x01;
        mac[1] = 0x00;
        mac[2] = 0x5e;
        mac[3] = a[1] & 0x7f;
        mac[4] = a[2];
        mac[5] = a[3];
        return true;
    }
    char mac_text[64] = "";
    bool found = get_remote_mac(remote_ip, m_ifname, mac_text, sizeof mac_text);
    if (!found) {
        char gateway[64];
        if (get_gateway_ip(remote_ip, gateway, sizeof gateway))
            found = get_remote_mac(gateway, m_ifname, mac_text, sizeof mac_text);
    }
    if (!found) {
        log_info(m_log,
                 "[ef_vi_udp_sender::init] Can't find dest ip[%s] or mac[%s] from arp cache, please ping dest ip "
                 "first.",
                 remote_ip, mac_text);
        return false;
    }
    if (std::strlen(mac_text) != 17) {
        log_info(m_log, "[ef_vi_udp_sender::init] invalid remote_mac_addr:%s.", mac_text);
        return false;
    }
    for (int i = 0; i < 6; ++i) mac[i] = static_cast<unsigned char>(hex_char_to_i(mac_text[i * 3]) * 16 +
                                                                   hex_char_to_i(mac_text[i * 3 + 1]));
    return true;
}

void ef_vi_udp_sender::build_all_slots(unsigned char const* dst_mac) {
    for (int k = 0; k < SLOT_COUNT; ++k) {
        unsigned char* slot = m_pkt_buf + k * SLOT_SIZE;
        const ef_addr frame_addr = ef_memreg_dma_addr(&m_memreg, static_cast<size_t>(k * SLOT_SIZE + FRAME_OFFSET));
        std::memcpy(slot, &frame_addr, sizeof frame_addr);
        init_udp_pkt(slot + FRAME_OFFSET, dst_mac, m_local_mac, m_local_addr, m_remote_addr, m_local_port,
                     m_remote_port);
    }
    // Warm-ups and the heart-beat go to nobody.
    init_udp_pkt(m_pkt_buf + WARM_SLOT * SLOT_SIZE + FRAME_OFFSET, m_heart_beat_dst_mac, m_heart_beat_src_mac,
                 m_local_addr, m_remote_addr, m_local_port, m_remote_port);
    // One's-complement sum of slot 0's IPv4 header, with total length and
    // checksum zero.
    m_hdr_sum = hux_bypass::ipv4_header_sum(m_pkt_buf + FRAME_OFFSET);
}

void ef_vi_udp_sender::init_udp_pkt(unsigned char* frame, unsigned char const* dst_mac, unsigned char const* src_mac,
                                    uint32_t src_ip, uint32_t dst_ip, unsigned short src_port,
                                    unsigned short dst_port) {
    // The checksum stays 0: written per send with CTPIO, by the card with DMA.
    hux_bypass::build_udp_header(frame, dst_mac, src_mac, src_ip, dst_ip, src_port, dst_port);
}

void ef_vi_udp_sender::int_ip4_hdr(unsigned char* ip, uint32_t src_ip, uint32_t dst_ip) {
    hux_bypass::build_ipv4_header(ip, src_ip, dst_ip);
}

void ef_vi_udp_sender::int_udp_hdr(unsigned char* udp, unsigned short src_port, unsigned short dst_port) {
    hux_bypass::build_udp_ports(udp, src_port, dst_port);
}

// ---------------------------------------------------------------- lookups

long long ef_vi_udp_sender::get_hugepage_size() {
    FILE* f = std::fopen("/proc/sys/vm/nr_hugepages", "r");
    if (!f) return -1;
    long long pages = -1;
    if (std::fscanf(f, "%lld", &pages) != 1 || pages < 0) pages = -1;
    std::fclose(f);
    return pages;
}

long long ef_vi_udp_sender::get_hugepage_size_unit() {
    FILE* f = std::fopen("/proc/meminfo", "r");
    if (!f) return -1;
    long long kb = -1;
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
        long long value;
        if (std::sscanf(line, "Hugepagesize: %lld kB", &value) == 1) {
            kb = value;
            break;
        }
    }
    std::fclose(f);
    return kb;
}

int ef_vi_udp_sender::hex_char_to_i(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0;
}

bool ef_vi_udp_sender::get_remote_mac(char const* ip, char const* ifname, char* mac_text, std::size_t cap) {
    FILE* f = std::fopen("/proc/net/arp", "r");
    if (!f) return false;
    char line[512];
    bool found = false;
    if (std::fgets(line, sizeof line, f)) {  // the header line
        while (!found && std::fgets(line, sizeof line, f)) {
            char addr[64], flags[64], mac[64], dev[64];
            if (std::sscanf(line, "%63s %*s %63s %63s %*s %63s", addr, flags, mac, dev) != 4) continue;
            if (std::strcmp(addr, ip) != 0 || std::strcmp(dev, ifname) != 0) continue;
            // Incomplete (unresolved) entries lack ATF_COM or hold a zero MAC.
            if ((std::strtoul(flags, nullptr, 16) & 0x2) == 0) continue;
            if (std::strspn(mac, "0:") == std::strlen(mac)) continue;
            std::snprintf(mac_text, cap, "%s", mac);
            found = true;
        }
    }
    std::fclose(f);
    return found;
}

bool ef_vi_udp_sender::get_gateway_ip(char const* ip, char* gateway, std::size_t cap) {
    uint32_t addr;
    if (!parse_ip(ip, &addr)) return false;
    char cmd[64];
    std::snprintf(cmd, sizeof cmd, "ip route get %s", ip);
    FILE* pipe = popen(cmd, "r");
    if (!pipe) return false;
    char line[512];
    char via[64] = "";
    bool found = false;
    if (std::fgets(line, sizeof line, pipe) && std::sscanf(line, "%*s via %63s", via) == 1)
        found = parse_ip(via, &addr);
    while (std::fgets(line, sizeof line, pipe)) {
    }
    pclose(pipe);
    if (found) std::snprintf(gateway, cap, "%s", via);
    return found;
}

// ---------------------------------------------------------------- sending

void ef_vi_udp_sender::wait_slot_free(int slot) {
    while (m_completed < m_slot_post[slot]) handle_tx_events();
}

void ef_vi_udp_sender::count_completion(ef_request_id id) {
    TEST(m_completed < m_posted);
    ++m_completed;
    TEST(id == m_expected_id[m_completed % SLOT_COUNT]);
}

int ef_vi_udp_sender::ctpio_send(char const* data, unsigned n, bool warm) {
    if (n > MAX_PAYLOAD || (n != 0 && !data) || !m_vi_allocated || !m_pkt_buf) return -1;
    const int slot = warm ? WARM_SLOT : m_slot_index;
    wait_slot_free(slot);  // the card may still read the slot's last frame

    unsigned char* frame = m_pkt_buf + slot * SLOT_SIZE + FRAME_OFFSET;
    hux_bypass::fill_efvi_frame(frame, m_hdr_sum, data, n, m_ctpio);
    ef_addr frame_addr;
    std::memcpy(&frame_addr, frame - FRAME_OFFSET, sizeof frame_addr);
    const int len = static_cast<int>(n) + HEADER_LEN;

    ef_request_id id;
    if (m_ctpio) {
        if (m_print_ts) m_sw_send_time = realtime_ns();
        ef_vi_transmit_ctpio(&m_vi, frame, static_cast<size_t>(len), m_ctpio_threshold);
        id = 0;
        TRY_POST(ef_vi_transmit_ctpio_fallback(&m_vi, frame_addr, static_cast<size_t>(len), 0));
    } else {
        id = slot;
        TRY_POST(ef_vi_transmit(&m_vi, frame_addr, len, slot));
    }
    ++m_posted;
    m_slot_post[slot] = m_posted;
    m_expected_id[m_posted % SLOT_COUNT] = id;

    if (++m_slot_index > 14) m_slot_index = 0;

    if (m_tx_timestamps)
        handle_tx_timestamp(warm);
    else if (warm)
        handle_tx_events();
    else if (++m_send_count >= DRAIN_EVERY)
        handle_tx_events();
    return static_cast<int>(n);
}

int ef_vi_udp_sender::send(char const*, unsigned) { return 0; }

void ef_vi_udp_sender::handle_tx_events() {
    if (!m_vi_allocated) return;
    ef_event events[DRAIN_EVERY];
    ef_request_id ids[EF_VI_TRANSMIT_BATCH];
    for (;;) {
        const int n = ef_eventq_poll(&m_vi, events, DRAIN_EVERY);
        if (n <= 0) break;
        for (int i = 0; i < n; ++i) {
            const unsigned type = EF_EVENT_TYPE(events[i]);
            TEST(type == EF_EVENT_TYPE_TX || type == EF_EVENT_TYPE_TX_WITH_TIMESTAMP);
            if (type == EF_EVENT_TYPE_TX) {
                const int done = ef_vi_transmit_unbundle(&m_vi, &events[i], ids);
                for (int k = 0; k < done; ++k) count_completion(ids[k]);
            } else {
                count_completion(static_cast<ef_request_id>(EF_EVENT_TX_WITH_TIMESTAMP_RQ_ID(events[i])));
            }
        }
    }
    m_send_count = 0;
}

void ef_vi_udp_sender::handle_tx_timestamp(bool warm) {
    if (!m_vi_allocated) return;
    ef_event events[64];
    int n;
    do {
        n = ef_eventq_poll(&m_vi, events, 64);
    } while (n == 0);
    TRY(n);
    for (int i = 0; i < n; ++i) {
        TEST(EF_EVENT_TYPE(events[i]) == EF_EVENT_TYPE_TX_WITH_TIMESTAMP);
        TEST(EF_EVENT_TX_WITH_TIMESTAMP_RQ_ID(events[i]) == 0);
        count_completion(0);
        const long sec = static_cast<long>(EF_EVENT_TX_WITH_TIMESTAMP_SEC(events[i]));
        const long nsec = static_cast<long>(EF_EVENT_TX_WITH_TIMESTAMP_NSEC(events[i]));
        const unsigned flags = EF_EVENT_TX_WITH_TIMESTAMP_SYNC_FLAGS(events[i]);
        if (!(flags & EF_VI_SYNC_FLAG_CLOCK_SET) || !(flags & EF_VI_SYNC_FLAG_CLOCK_IN_SYNC)) {
            std::printf("[ef_vi_udp_sender::handle_tx_timestamp] dev %s clock not sync,please check.\n", m_ifname);
            continue;
        }
        const long long ts = static_cast<long long>(sec) * 1000000000LL + nsec;
        if (!warm && m_sink) m_sink->on_ef_vi_udp_report_timestamps(ts);
        if (m_print_ts)
            std::printf("Timestamp: %ld.%09ld  ,delta=%lld,sync-flags:%s%s\n", sec, nsec, ts - m_sw_send_time,
                        (flags & EF_VI_SYNC_FLAG_CLOCK_SET) ? " ClockSet" : "",
                        (flags & EF_VI_SYNC_FLAG_CLOCK_IN_SYNC) ? " ClockInSync" : "");
    }
}

// ---------------------------------------------------------------- reset

bool ef_vi_udp_sender::reset_udp_local_info(char const* local_ip, unsigned short local_port, char const* remote_ip,
                                             unsigned short remote_port) {
    if (!m_vi_allocated || !m_pkt_buf) return false;
    uint32_t local_addr = 0, remote_addr = 0;
    if (!parse_ip(local_ip, &local_addr) || !parse_ip(remote_ip, &remote_addr)) {
        log_info(m_log, "[ef_vi_udp_sender::reset_udp_local_info] invalid local ip or remote ip.");
        return false;
    }
    unsigned char remote_mac[6];
    if (!resolve_remote_mac(remote_ip, remote_addr, remote_mac)) return false;

    // Every slot is rewritten: let the card finish with all of them first.
    while (m_completed < m_posted) handle_tx_events();
    m_local_addr = local_addr;
    m_remote_addr = remote_addr;
    m_local_port = local_port;
    m_remote_port = remote_port;
    std::snprintf(m_local_ip, sizeof m_local_ip, "%s", local_ip);
    std::snprintf(m_remote_ip, sizeof m_remote_ip, "%s", remote_ip);
    build_all_slots(remote_mac);
    return true;
}

// ---------------------------------------------------------------- heart-beat

bool ef_vi_udp_sender::start_heart_beat_thread() {
    if (m_heart_beat_thread.joinable() || !m_vi_allocated) return false;
    m_heart_beat_stop = false;
    m_heart_beat_thread = std::thread(_th_send_heart_beat, this);
    return true;
}

void ef_vi_udp_sender::stop_heart_beat_thread() {
    {
        std::lock_guard<std::mutex> hold(m_heart_beat_mutex);
        m_heart_beat_stop = true;
    }
    m_heart_beat_wake.notify_all();
    if (m_heart_beat_thread.joinable() && m_heart_beat_thread.get_id() != std::this_thread::get_id())
        m_heart_beat_thread.join();
}

int ef_vi_udp_sender::send_heart_beat() {
    return ctpio_send(reinterpret_cast<char const*>(m_heart_beat_msg), sizeof m_heart_beat_msg, true);
}

void ef_vi_udp_sender::_th_send_heart_beat(ef_vi_udp_sender* self) {
    std::unique_lock<std::mutex> hold(self->m_heart_beat_mutex);
    while (!self->m_heart_beat_stop) {
        hold.unlock();
        self->send_heart_beat();
        hold.lock();
        self->m_heart_beat_wake.wait_for(hold, std::chrono::microseconds(self->m_heart_beat_interval),
                                         [self] { return self->m_heart_beat_stop.load(); });
    }
}
