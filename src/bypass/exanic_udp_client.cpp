#include "bypass/exanic_udp_client.h"

#include <exanic/config.h>
#include <exanic/time.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "bypass/udp_frame.h"
#include "tools/base_log.h"

using hux_bypass::be_word;
using hux_bypass::fill_ip_checksum;
using hux_bypass::fill_udp_checksum;
using hux_bypass::put_be16;

namespace {

char const* const EXASOCK_PRELOAD = "/usr/local/lib/exasock/libexasock_preload.so";
constexpr int IP_OFF = exanic_udp_client::ETH_HDR_LEN;                              // 14
constexpr int UDP_OFF = exanic_udp_client::ETH_HDR_LEN + exanic_udp_client::IP_HDR_LEN;  // 34
constexpr int PAYLOAD_OFF = exanic_udp_client::HDR_LEN;                             // 42
constexpr long long NS_PER_S = 1000000000LL;
// The offset thread keeps a measurement only within this many nanoseconds.
constexpr long long OFFSET_LIMIT = 999;

long long host_ns() {
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<long long>(ts.tv_sec) * NS_PER_S + ts.tv_nsec;
}

inline void cpu_relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// A field of the server-information record: a terminated text within its 16
// bytes that is a dotted IPv4 address.
bool valid_ip(char const* text, in_addr* out) {
    return text && strnlen(text, 16) < 16 && inet_pton(AF_INET, text, out) == 1;
}

// Interface names fit an interface request: 1 to 15 characters.
bool valid_ifname(char const* name) {
    if (!name) return false;
    const std::size_t len = strnlen(name, exanic_udp_client::NAME_LEN);
    return len >= 1 && len < static_cast<std::size_t>(exanic_udp_client::NAME_LEN);
}

}  // namespace

void exa_lprintf(base_log* log, char const* fmt, ...) {
    if (!log) return;
    char text[4096];
    va_list args;
    va_start(args, fmt);
    vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    log->write_txt("info", text);
}

unsigned short in_cksum(unsigned short* addr, int len) {
    uint32_t sum = 0;
    unsigned char const* p = reinterpret_cast<unsigned char const*>(addr);
    while (len > 1) {
        uint16_t w;
        std::memcpy(&w, p, 2);
        sum += w;
        p += 2;
        len -= 2;
    }
    if (len == 1) {
        uint16_t w = 0;
        std::memcpy(&w, p, 1);
        sum += w;
    }
    sum = (sum >> 16) + (sum & 0xffff);
    sum += sum >> 16;
    return static_cast<unsigned short>(~sum);
}

// ---------------------------------------------------------------- lifecycle

exanic_udp_client::exanic_udp_client(bool adapter_form)
    : m_adapter_form(adapter_form),
      m_device(),
      m_ifname(),
      m_port(-1),
      m_handle(nullptr),
      m_tx(nullptr),
      m_log(nullptr),
      m_sink(nullptr),
      m_timestamps(false),
      m_local_mac(),
      m_remote_mac(),
      m_netmask(),
      m_gateway(),
      m_same_segment(false),
      m_local_ip(),
      m_server_ip(),
      m_local_port(0),
      m_server_port(0),
      m_offset(0),
      m_frame(),
      m_order_frame(),
      m_quote_frame(),
      m_pseudo_sum(0),
      m_order_pseudo_sum(0),
      m_quote_pseudo_sum(0),
      m_stop(false) {
    // The constant bytes: EtherType IPv4, version 4 with a 20-byte header,
    // do not fragment, TTL 64, protocol UDP.
    for (unsigned char* f : {m_frame, m_order_frame, m_quote_frame}) {
        f[12] = 0x08;
        f[13] = 0x00;
        f[IP_OFF + 0] = 0x45;
        f[IP_OFF + 6] = 0x40;
        f[IP_OFF + 8] = 64;
        f[IP_OFF + 9] = IPPROTO_UDP;
    }
}

exanic_udp_client::~exanic_udp_client() { clean_up(); }

void exanic_udp_client::clean_up() {
    m_stop.store(true, std::memory_order_release);
    if (m_offset_thread.joinable()) m_offset_thread.join();
    if (m_tx) {
        exanic_release_tx_buffer(m_tx);
        m_tx = nullptr;
    }
    if (m_handle) {
        exanic_release_handle(m_handle);
        m_handle = nullptr;
    }
}

bool exanic_udp_client::init(client_server_info const& info, char const* ifname,
                             i_exanic_udp_client_sock_event* sink, base_log* log) {
    clean_up();

    // 1. Sink, log and the timestamp option.
    m_sink = sink;
    m_log = log;
    m_timestamps = info.timestamps != 0;
    if (is_exasock_loaded()) {
        m_timestamps = false;
        exa_lprintf(m_log, "[exanic_udp_client::init] exasock accelerate mode disable tx_timestamping.");
    }
    if (m_timestamps) exa_lprintf(m_log, "enable tx_timestamping ...\n");

    in_addr local_addr, server_addr;
    if (!valid_ip(info.local_ip, &local_addr) || !valid_ip(info.server_ip, &server_addr)) {
        exa_lprintf(m_log, "[exanic_udp_client::init] bad address: local_ip[%.16s] remote_ip[%.16s]\n",
                    info.local_ip, info.server_ip);
        return false;
    }
    if (!valid_ifname(ifname)) {
        exa_lprintf(m_log, "[exanic_udp_client::init] %.16s: no such interface or not an ExaNIC",
                    ifname ? ifname : "(null)");
        return false;
    }

    // 2. The card and port behind the interface, or a "device:port" name.
    char device[NAME_LEN];
    int port = -1;
    if (exanic_find_port_by_interface_name(ifname, device, sizeof device, &port) != 0 &&
        parse_device_port(ifname, device, &port) != 0) {
        exa_lprintf(m_log, "[exanic_udp_client::init] %s: no such interface or not an ExaNIC", ifname);
        return false;
    }
    std::memcpy(m_device, device, sizeof m_device);
    std::snprintf(m_ifname, sizeof m_ifname, "%s", ifname);
    m_port = port;

    // 3. Handle and transmit buffer.
    m_handle = exanic_acquire_handle(m_device);
    if (!m_handle) {
        exa_lprintf(m_log, "[exanic_udp_client::init] exanic_acquire_handle: %s", exanic_get_last_error());
        return false;
    }
    m_tx = exanic_acquire_tx_buffer(m_handle, m_port, 0);
    if (!m_tx) {
        exa_lprintf(m_log, "[exanic_udp_client::init] exanic_acquire_tx_buffer: %s", exanic_get_last_error());
        clean_up();
        return false;
    }

    // 4 to 7. Segment, gateway, both MAC addresses.
    path found;
    if (!find_path(info.local_ip, info.server_ip, found)) {
        clean_up();
        return false;
    }
    std::memcpy(m_netmask, found.netmask, sizeof m_netmask);
    std::memcpy(m_gateway, found.gateway, sizeof m_gateway);
    m_same_segment = found.same_segment;
    std::memcpy(m_local_mac, found.local_mac, 6);
    std::memcpy(m_remote_mac, found.remote_mac, 6);

    // 8. The clock offset, once here (kept whatever it is), then every second.
    if (m_timestamps) {
        m_offset.store(get_sw_hw_timestamp_offset(true), std::memory_order_relaxed);
        m_stop.store(false, std::memory_order_release);
        try {
            m_offset_thread = std::thread(&exanic_udp_client::_th_get_time_offset, this);
        } catch (std::system_error const& e) {
            exa_lprintf(m_log, "[exanic_udp_client::init] clock offset thread: %s\n", e.what());
            clean_up();
            return false;
        }
    }

    // 9. The frames.
    std::snprintf(m_local_ip, sizeof m_local_ip, "%s", info.local_ip);
    std::snprintf(m_server_ip, sizeof m_server_ip, "%s", info.server_ip);
    m_local_port = info.local_port;
    m_server_port = info.server_port;
    init_hdr();
    init_new_order_hdr();
    if (!m_adapter_form) init_new_quote_hdr();
    exa_lprintf(m_log, "exanic_udp_client init ok,dev[%s],local_ip[%s],local_port[%d],remote_ip[%s],remote_port[%d]\n",
                m_device, m_local_ip, m_local_port, m_server_ip, m_server_port);
    return true;
}

bool exanic_udp_client::reset_udp_local_info(char const* local_ip, unsigned short local_port, char const* server_ip,
                                             unsigned short server_port) {
    in_addr local_addr, server_addr;
    if (!valid_ip(local_ip, &local_addr) || !valid_ip(server_ip, &server_addr)) {
        exa_lprintf(m_log, "[exanic_udp_client::reset_udp_local_info] bad address: local_ip[%.16s] remote_ip[%.16s]\n",
                    local_ip ? local_ip : "(null)", server_ip ? server_ip : "(null)");
        return false;
    }
    if (!m_tx) {
        exa_lprintf(m_log, "[exanic_udp_client::reset_udp_local_info] not initialised\n");
        return false;
    }
    if (std::strcmp(local_ip, m_local_ip) != 0 || std::strcmp(server_ip, m_server_ip) != 0) {
        // Another host, perhaps behind another next hop: both MAC addresses
        // again, or the frames stay as they are.
        path found;
        if (!find_path(local_ip, server_ip, found)) return false;
        std::memcpy(m_netmask, found.netmask, sizeof m_netmask);
        std::memcpy(m_gateway, found.gateway, sizeof m_gateway);
        m_same_segment = found.same_segment;
        std::memcpy(m_local_mac, found.local_mac, 6);
        std::memcpy(m_remote_mac, found.remote_mac, 6);
    }
    std::snprintf(m_local_ip, sizeof m_local_ip, "%s", local_ip);
    std::snprintf(m_server_ip, sizeof m_server_ip, "%s", server_ip);
    m_local_port = local_port;
    m_server_port = server_port;
    init_hdr();
    init_new_order_hdr();
    if (!m_adapter_form) init_new_quote_hdr();
    return true;
}

// ------------------------------------------------------------- init's steps

bool exanic_udp_client::find_path(char const* local_ip, char const* server_ip, path& out) {
    std::memset(&out, 0, sizeof out);
    if (!get_local_mask(out.netmask, sizeof out.netmask)) {
        exa_lprintf(m_log, "get local mask fail.\n");
        return false;
    }
    out.same_segment = is_same_network_segment(local_ip, server_ip, out.netmask);
    if (!out.same_segment && !get_local_gateway(out.gateway, sizeof out.gateway)) {
        exa_lprintf(m_log, "get local gateway fail.\n");
        return false;
    }
    if (!get_local_mac(out.local_mac)) {
        exa_lprintf(m_log, "get local mac fail.\n");
        return false;
    }
    if (!get_remote_mac(out.same_segment ? server_ip : out.gateway, out.remote_mac)) {
        exa_lprintf(m_log, "get remote mac fail.\n");
        return false;
    }
    return true;
}

bool exanic_udp_client::get_local_mask(char* mask, std::size_t cap) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    ifreq req{};
    std::snprintf(req.ifr_name, sizeof req.ifr_name, "%s", m_ifname);
    const bool ok = ioctl(fd, SIOCGIFNETMASK, &req) == 0;
    close(fd);
    if (!ok) return false;
    sockaddr_in addr;
    std::memcpy(&addr, &req.ifr_netmask, sizeof addr);
    return inet_ntop(AF_INET, &addr.sin_addr, mask, static_cast<socklen_t>(cap)) != nullptr;
}

bool exanic_udp_client::is_same_network_segment(char const* local_ip, char const* server_ip, char const* mask) {
    in_addr local, server, m;
    if (inet_pton(AF_INET, local_ip, &local) != 1 || inet_pton(AF_INET, server_ip, &server) != 1 ||
        inet_pton(AF_INET, mask, &m) != 1)
        return false;
    return (local.s_addr & m.s_addr) == (server.s_addr & m.s_addr);
}

bool exanic_udp_client::get_local_gateway(char* gateway, std::size_t cap) {
    // The first gateway route of the table, whatever its destination.
    FILE* pipe = popen("route -n | grep \"UG\" | awk '{print $2}'", "r");
    if (!pipe) return false;
    char line[128] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    pclose(pipe);
    if (!read) return false;
    line[std::strcspn(line, " \t\r\n")] = '\0';
    in_addr addr;
    if (inet_pton(AF_INET, line, &addr) != 1 || std::strlen(line) >= cap) return false;
    std::memcpy(gateway, line, std::strlen(line) + 1);
    return true;
}

bool exanic_udp_client::get_local_mac(unsigned char* mac) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq req{};
    std::snprintf(req.ifr_name, sizeof req.ifr_name, "%s", m_ifname);
    const bool ok = fd >= 0 && ioctl(fd, SIOCGIFHWADDR, &req) == 0;
    if (fd >= 0) close(fd);
    if (!ok) {
        exa_lprintf(m_log, "get local mac err\n");
        return false;
    }
    std::memcpy(mac, req.ifr_hwaddr.sa_data, 6);
    return true;
}

bool exanic_udp_client::get_remote_mac(char const* ip, unsigned char* mac) {
    // The kernel's ARP table only: no request is sent. An entry still being
    // resolved (no ATF_COM) or without an address counts as missing.
    arpreq req{};
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    if (inet_pton(AF_INET, ip, &addr.sin_addr) != 1) return false;
    std::memcpy(&req.arp_pa, &addr, sizeof addr);
    std::snprintf(req.arp_dev, sizeof req.arp_dev, "%s", m_ifname);
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool ok = ioctl(fd, SIOCGARP, &req) == 0;
    close(fd);
    if (!ok || !(req.arp_flags & ATF_COM)) return false;
    static const unsigned char zero[6] = {};
    if (std::memcmp(req.arp_ha.sa_data, zero, 6) == 0) return false;
    std::memcpy(mac, req.arp_ha.sa_data, 6);
    return true;
}

// Addresses, ports and MAC addresses of one frame.
void exanic_udp_client::init_addresses(unsigned char* frame) {
    in_addr local{}, server{};
    inet_pton(AF_INET, m_local_ip, &local);
    inet_pton(AF_INET, m_server_ip, &server);
    hux_bypass::build_udp_header(frame, m_remote_mac, m_local_mac, local.s_addr, server.s_addr, m_local_port,
                                 m_server_port);
}

void exanic_udp_client::init_hdr() {
    init_addresses(m_frame);
    // Source, destination and protocol; the UDP length is added per send.
    m_pseudo_sum = hux_bypass::pseudo_header_sum(m_frame, 0);
}

// A frame for requests of one fixed size: its lengths and IPv4 checksum are
// set once, and its pseudo-header sum already holds the UDP length.
uint32_t exanic_udp_client::init_fixed_hdr(unsigned char* f, int payload_len) {
    init_addresses(f);
    put_be16(f + IP_OFF + 2, static_cast<unsigned>(IP_HDR_LEN + UDP_HDR_LEN + payload_len));
    put_be16(f + UDP_OFF + 4, static_cast<unsigned>(UDP_HDR_LEN + payload_len));
    fill_ip_checksum(f);
    return hux_bypass::pseudo_header_sum(f, static_cast<unsigned>(UDP_HDR_LEN + payload_len));
}

// Total length 128, UDP length 108.
void exanic_udp_client::init_new_order_hdr() { m_order_pseudo_sum = init_fixed_hdr(m_order_frame, NEW_ORDER_LEN); }

// Total length 224, UDP length 204.
void exanic_udp_client::init_new_quote_hdr() { m_quote_pseudo_sum = init_fixed_hdr(m_quote_frame, NEW_QUOTE_LEN); }

// --------------------------------------------------------------------- sends

int exanic_udp_client::transmit(unsigned char const* frame, int len, bool warm) {
    if (exanic_transmit_frame_ex(m_tx, reinterpret_cast<char const*>(frame), static_cast<std::size_t>(len),
                                 warm ? 1 : 0) != 0) {
        std::fprintf(stderr, "exanic_transmit_frame: %s\n", exanic_get_last_error());
        return -1;
    }
    return 0;
}

int exanic_udp_client::exanic_udp_send(char const* data, int n, bool warm) {
    if (n < 0 || n > MAX_PAYLOAD || (n > 0 && !data) || !m_tx) return -1;
    unsigned char* f = m_frame;
    put_be16(f + IP_OFF + 2, static_cast<unsigned>(n + IP_HDR_LEN + UDP_HDR_LEN));
    put_be16(f + UDP_OFF + 4, static_cast<unsigned>(n + UDP_HDR_LEN));
    fill_ip_checksum(f);
    if (n > 0) std::memcpy(f + PAYLOAD_OFF, data, static_cast<std::size_t>(n));
    fill_udp_checksum(f, m_pseudo_sum + be_word(static_cast<unsigned>(n + UDP_HDR_LEN)), n);
    return transmit(f, n + HDR_LEN, warm) == 0 ? n : -1;
}

int exanic_udp_client::exanic_udp_for_new_order(char const* data, int n, bool warm) {
    return send_fixed(m_order_frame, m_order_pseudo_sum, NEW_ORDER_LEN, data, n, warm);
}

int exanic_udp_client::exanic_udp_for_new_quote(char const* data, int n, bool warm) {
    if (m_adapter_form) return -1;
    return send_fixed(m_quote_frame, m_quote_pseudo_sum, NEW_QUOTE_LEN, data, n, warm);
}

int exanic_udp_client::send_fixed(unsigned char* frame, uint32_t pseudo_sum, int fixed_len, char const* data, int n,
                                  bool warm) {
    if (n < 0 || n > MAX_PAYLOAD || !m_tx) return -1;
    if (warm) {
        // The session warms every kind of request through here: the ordinary
        // frame, whatever is in it, at the length asked for.
        return transmit(m_frame, n + HDR_LEN, true) == 0 ? n : -1;
    }
    if (n != fixed_len || !data) return -1;
    hux_bypass::fill_fixed_frame(frame, pseudo_sum, data, n);
    if (transmit(frame, n + HDR_LEN, false) != 0) return -1;
    if (m_timestamps) {
        // The card stamps the frame as it leaves: give it a moment.
        const long long sent = host_ns();
        while (host_ns() - sent <= 50) cpu_relax();
        const exanic_cycles_t stamp = exanic_get_tx_timestamp(m_tx);
        if (stamp != 0 && m_sink) {
            const long long card_ns = static_cast<long long>(exanic_cycles_to_ns(m_handle, stamp));
            m_sink->on_exanic_udp_report_timestamps(card_ns - m_offset.load(std::memory_order_relaxed));
        }
    }
    return n;
}

// -------------------------------------------------------------- clock offset

long long exanic_udp_client::get_sw_hw_timestamp_offset(bool log) {
    // At the host clock's next microsecond edge, read the card clock. The
    // first read after a second of spinning runs cold (caches, TLB) and can
    // take a microsecond, all of it counted as offset: a read just before,
    // whose value is dropped, makes the timed one a warm one.
    exanic_read_card_clock(m_handle);
    const long long start_us = host_ns() / 1000;
    long long host = host_ns();
    while (host / 1000 == start_us) host = host_ns();
    const long long card = static_cast<long long>(exanic_cycles_to_ns(m_handle, exanic_read_card_clock(m_handle)));
    const long long offset = card - host;
    if (log)
        exa_lprintf(m_log, "exanic_time_ns=%ld, host_time_ns = %ld,Difference: %ld ns\n", static_cast<long>(card),
                    static_cast<long>(host), static_cast<long>(offset));
    return offset;
}

void* exanic_udp_client::_th_get_time_offset(void* self) {
    static_cast<exanic_udp_client*>(self)->get_time_offset();
    return nullptr;
}

void exanic_udp_client::get_time_offset() {
    long long last = host_ns();
    while (!m_stop.load(std::memory_order_acquire)) {
        if (host_ns() - last > NS_PER_S) {
            const long long offset = get_sw_hw_timestamp_offset(false);
            if (offset >= -OFFSET_LIMIT && offset <= OFFSET_LIMIT) m_offset.store(offset, std::memory_order_relaxed);
            last = host_ns();
        }
        cpu_relax();
    }
}

// --------------------------------------------------------------- the card

char const* exanic_udp_client::netcard_name(int hw_type, bool adapter_form) {
    switch (hw_type) {
    case 2: return "ExaNIC X4";
    case 3: return "ExaNIC X2";
    case 4: return "ExaNIC X10";
    case 5: return "ExaNIC X10-GM";
    case 6: return "ExaNIC X40";
    case 7: return "ExaNIC X10-HPT";
    case 8: return "ExaNIC V5P";
    case 9: return "ExaNIC X25";
    case 10: return adapter_form ? "ExaNIC X100" : "unknown";
    case 11: return "ExaNIC V9P";
    case 12: return adapter_form ? "ExaNIC V9P-3" : "unknown";
    default: return "unknown";
    }
}

void exanic_udp_client::get_exanic_netcard_type(char* out) {
    if (!out) return;
    char const* name = netcard_name(m_handle ? exanic_get_hw_type(m_handle) : -1, m_adapter_form);
    std::memcpy(out, name, std::strlen(name) + 1);
}

void exanic_udp_client::get_exanic_driver_version(char*) {}

bool exanic_udp_client::is_exasock_loaded() {
    char const* preload = std::getenv("LD_PRELOAD");
    return preload && std::strcmp(preload, EXASOCK_PRELOAD) == 0;
}

int exanic_udp_client::parse_device_port(char const* text, char* device, int* port) {
    if (!text || !device || !port) return -1;
    char const* colon = std::strchr(text, ':');
    if (!colon) return -1;
    const std::size_t name_len = static_cast<std::size_t>(colon - text);
    if (name_len == 0 || name_len >= static_cast<std::size_t>(NAME_LEN)) return -1;
    char const* digits = colon + 1;
    const std::size_t count = std::strlen(digits);
    if (count == 0 || count > 9) return -1;  // nine digits always fit an int
    int value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (digits[i] < '0' || digits[i] > '9') return -1;
        value = value * 10 + (digits[i] - '0');
    }
    std::memcpy(device, text, name_len);
    device[name_len] = '\0';
    *port = value;
    return 0;
}

// ----------------------------------------------------------------- ARP warm

bool exanic_udp_client::update_arp_table(char const* ip) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    if (!ip || inet_pton(AF_INET, ip, &to.sin_addr) != 1) return false;
    const int fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0) {
        exa_lprintf(m_log, "[exanic_udp_client::update_arp_table] socket: %s\n", std::strerror(errno));
        return false;
    }
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0) {
        std::fprintf(stderr, "fcntl F_GETFL failed\n");
        std::exit(EXIT_FAILURE);
    }
    if (fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
        std::fprintf(stderr, "fcntl F_SETFL failed\n");
        std::exit(EXIT_FAILURE);
    }

    // Five echo requests of 64 bytes: type 8, code 0, checksum, identifier,
    // sequence, then 56 bytes of data.
    const uint16_t id = static_cast<uint16_t>(getpid() & 0xffff);
    for (int seq = 1; seq <= 5; ++seq) {
        unsigned char packet[64] = {};
        packet[0] = 8;
        put_be16(packet + 4, id);
        put_be16(packet + 6, static_cast<unsigned>(seq));
        for (int i = 8; i < 64; ++i) packet[i] = static_cast<unsigned char>(i);
        const unsigned short sum = in_cksum(reinterpret_cast<unsigned short*>(packet), sizeof packet);
        std::memcpy(packet + 2, &sum, 2);
        sendto(fd, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        if (seq < 5) usleep(100 * 1000);
    }

    const long long deadline = host_ns() + 4 * NS_PER_S;
    bool answered = false;
    while (!answered) {
        const long long left_ms = (deadline - host_ns()) / 1000000;
        if (left_ms <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left_ms)) <= 0) continue;
        unsigned char reply[1500];
        sockaddr_in from{};
        socklen_t from_len = sizeof from;
        const ssize_t n = recvfrom(fd, reply, sizeof reply, 0, reinterpret_cast<sockaddr*>(&from), &from_len);
        if (n < 20) continue;
        const int ip_len = (reply[0] & 0x0f) * 4;
        if (n < ip_len + 8) continue;
        unsigned char const* icmp = reply + ip_len;
        const unsigned reply_id = (icmp[4] << 8) | icmp[5];
        if (icmp[0] != 0 || reply_id != id) continue;  // an echo reply to us
        const int seq = (icmp[6] << 8) | icmp[7];
        char from_text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &from.sin_addr, from_text, sizeof from_text);
        exa_lprintf(m_log, "%d bytes from %s: icmp_seq=%d ttl=%d\n", static_cast<int>(n - ip_len), from_text, seq,
                    reply[8]);
        if (seq == 5) answered = true;
    }
    close(fd);
    return answered;
}
