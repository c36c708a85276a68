// UDP order sender over an ExaNIC card (libexanic): every request leaves as
// one raw Ethernet/IPv4/UDP frame built in one of three prebuilt frames. The
// ordinary frame takes any message; the new-order and new-quote frames carry
// the fixed-size records (100 and 196 bytes), so their lengths and IPv4
// checksum are ready before the first send and a send only copies the payload
// and computes the UDP checksum. A warm-up send exercises the transmit path
// and puts nothing on the wire.
//
// With transmit timestamps on, the card time at which each new order or quote
// left is reported to the sink on the sending thread, moved to the host clock
// by an offset (card minus host) that a spinning thread measures once a
// second.
//
// The adapter's form (constructor flag) has no new-quote frame and knows two
// more card models; everything else is shared.
#ifndef HUX_BYPASS_EXANIC_UDP_CLIENT_H
#define HUX_BYPASS_EXANIC_UDP_CLIENT_H

#include <exanic/exanic.h>
#include <exanic/fifo_tx.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

#include "bypass/client_server_info.h"

class base_log;

// Receives the transmit time of new orders and quotes, in nanoseconds on the
// host clock (CLOCK_REALTIME), on the sending thread.
class i_exanic_udp_client_sock_event {
public:
    virtual ~i_exanic_udp_client_sock_event() {}
    virtual void on_exanic_udp_report_timestamps(long long ns) = 0;
};

// Formats up to 4096 bytes and writes them to the log under "info"; a null log
// takes nothing.
void exa_lprintf(base_log* log, char const* fmt, ...) __attribute__((format(printf, 2, 3)));

// The Internet checksum (RFC 1071) of len bytes; an odd last byte is padded
// with zero.
unsigned short in_cksum(unsigned short* addr, int len);

class exanic_udp_client {
public:
    static constexpr int HDR_LEN = 42;      // the whole header
    static constexpr int ETH_HDR_LEN = 14;  // Ethernet
    static constexpr int IP_HDR_LEN = 20;   // IPv4, no options
    static constexpr int UDP_HDR_LEN = 8;
    static constexpr int MAX_PAYLOAD = 2048;
    static constexpr int NEW_ORDER_LEN = 100;  // the new-order record
    static constexpr int NEW_QUOTE_LEN = 196;  // the new-quote record
    static constexpr int NAME_LEN = 16;        // device and interface names, with the zero
    // Room get_exanic_netcard_type needs.
    static constexpr int NETCARD_TYPE_LEN = 32;

    // adapter_form: the adapter's sender (no new-quote frame, two more card
    // models).
    explicit exanic_udp_client(bool adapter_form = false);
    ~exanic_udp_client();
    exanic_udp_client(const exanic_udp_client&) = delete;
    exanic_udp_client& operator=(const exanic_udp_client&) = delete;

    // Opens the card port of the interface and prepares the frames (record,
    // interface name, sink, log; sink and log may be null and are not
    // owned). False, with one text in the log, when anything fails; what was
    // acquired is then released. An object set up before is cleaned up first.
    bool init(client_server_info const& info, char const* ifname, i_exanic_udp_client_sock_event* sink,
              base_log* log);

    // Sends n payload bytes (0..2048) in the ordinary frame: n, or -1 for a
    // bad length, without a card, or when the card refused the frame (with
    // "exanic_transmit_frame: %s\n" on stderr). A warm-up builds the same
    // frame and only warms the card's transmit path.
    int exanic_udp_send(char const* data, int n, bool warm);
    // The new-order (n == 100) and new-quote (n == 196) records in their fixed
    // frames, then the transmit timestamp when timestamps are on. A warm-up
    // takes any n in 0..2048, copies nothing and warms through the ordinary
    // frame. The adapter's form has no quote send (-1).
    int exanic_udp_for_new_order(char const* data, int n, bool warm);
    int exanic_udp_for_new_quote(char const* data, int n, bool warm);

    // New addresses and ports for all frames. When an address changed, the
    // segment, gateway and both MAC addresses are looked up again first; a
    // failure logs its text, keeps the frames as they were and returns false.
    // A change of ports alone keeps the MAC addresses.
    bool reset_udp_local_info(char const* local_ip, unsigned short local_port, char const* server_ip,
                              unsigned short server_port);

    // Stops and joins the clock-offset thread, then releases the transmit
    // buffer and the handle. Any number of times.
    void clean_up();

    // The card model for the important log (at least NETCARD_TYPE_LEN bytes);
    // "unknown" for other types or without a card.
    void get_exanic_netcard_type(char* out);
    // The card has no driver version to give: out is left as it is.
    void get_exanic_driver_version(char* out);
    static char const* netcard_name(int hw_type, bool adapter_form);

    // LD_PRELOAD is exactly the exasock preload library.
    static bool is_exasock_loaded();
    // "device:port" into a device name of 1 to 15 characters and a decimal
    // port; 0, or -1 (nothing written) without a colon, with a name too long,
    // or a port missing, with other characters than digits or too large.
    static int parse_device_port(char const* text, char* device, int* port);

    // Five ICMP echo requests to ip, 100 ms apart, then replies read for 4 s:
    // true when the fifth is answered. Not used by the sessions.
    bool update_arp_table(char const* ip);

    // State, for the sessions' logs and for tests.
    bool adapter_form() const { return m_adapter_form; }
    bool ready() const { return m_tx != nullptr; }
    bool timestamps_on() const { return m_timestamps; }
    bool same_segment() const { return m_same_segment; }
    char const* device_name() const { return m_device; }
    int port_number() const { return m_port; }
    char const* gateway() const { return m_gateway; }
    // Card clock minus host clock, in nanoseconds.
    long long time_offset() const { return m_offset.load(std::memory_order_relaxed); }

private:
    // What init's steps 4 to 7 find for a pair of addresses.
    struct path {
        char netmask[16];
        char gateway[16];
        bool same_segment;
        unsigned char local_mac[6];
        unsigned char remote_mac[6];
    };

    // Steps of init.
    bool get_local_mask(char* mask, std::size_t cap);
    static bool is_same_network_segment(char const* local_ip, char const* server_ip, char const* mask);
    bool get_local_gateway(char* gateway, std::size_t cap);
    bool get_local_mac(unsigned char* mac);
    bool get_remote_mac(char const* ip, unsigned char* mac);
    bool find_path(char const* local_ip, char const* server_ip, path& out);
    void init_hdr();
    void init_new_order_hdr();
    void init_new_quote_hdr();
    uint32_t init_fixed_hdr(unsigned char* frame, int payload_len);
    void init_addresses(unsigned char* frame);
    long long get_sw_hw_timestamp_offset(bool log);
    void get_time_offset();
    static void* _th_get_time_offset(void* self);

    // The fixed-frame send shared by new orders and quotes.
    int send_fixed(unsigned char* frame, uint32_t pseudo_sum, int fixed_len, char const* data, int n, bool warm);
    int transmit(unsigned char const* frame, int len, bool warm);

    const bool m_adapter_form;
    char m_device[NAME_LEN];
    char m_ifname[NAME_LEN];
    int m_port;
    exanic_t* m_handle;
    exanic_tx_t* m_tx;
    base_log* m_log;
    i_exanic_udp_client_sock_event* m_sink;
    bool m_timestamps;
    unsigned char m_local_mac[6];
    unsigned char m_remote_mac[6];
    char m_netmask[16];
    char m_gateway[16];
    bool m_same_segment;
    char m_local_ip[16];
    char m_server_ip[16];
    unsigned short m_local_port;
    unsigned short m_server_port;
    std::atomic<long long> m_offset;
    // Each frame: 42 header bytes, then room for 2048 payload bytes.
    alignas(64) unsigned char m_frame[HDR_LEN + MAX_PAYLOAD];
    alignas(64) unsigned char m_order_frame[HDR_LEN + MAX_PAYLOAD];
    alignas(64) unsigned char m_quote_frame[HDR_LEN + MAX_PAYLOAD];
    // UDP pseudo-header sums (addresses and protocol; the fixed frames' also
    // hold the UDP length), folded to 16 bits in the frames' byte order.
    uint32_t m_pseudo_sum;
    uint32_t m_order_pseudo_sum;
    uint32_t m_quote_pseudo_sum;
    std::atomic<bool> m_stop;
    std::thread m_offset_thread;
};

#endif
