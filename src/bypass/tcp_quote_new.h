// The TCP flow receiver over ef_vi: a receive-only virtual interface with a
// port-sniff filter on the configured interface, 4096 packet buffers of
// 2048 bytes recycled through a free list, and a thread that polls the
// event queue without sleeping and hands each received frame to the flow's
// sequencing (tcp_flow_assembler), which calls the application's sink.
//
// Only the receive thread touches the card's resources, the list and the
// ring; close() stops and joins it before releasing them. The sink runs on
// that thread.
#ifndef HUX_BYPASS_TCP_QUOTE_NEW_H
#define HUX_BYPASS_TCP_QUOTE_NEW_H

#include <etherfabric/ef_vi.h>
#include <etherfabric/memreg.h>
#include <etherfabric/pd.h>
#include <etherfabric/vi.h>
#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "bypass/tcp_flow_assembler.h"
#include "hux_tcp_quote.h"

class tcp_quote_new : public i_tcp_quote_new {
public:
    static const int RX_QUEUE_SIZE = 4096;   // receive descriptors asked of the card
    static const int RX_BUF_SIZE = 2048;     // one frame's packet buffer
    static const int POLL_EVENTS = 32;       // events taken per poll
    static const int REFILL_BATCH = 16;      // buffers posted at a time
    static const size_t PKT_MEM_ALIGN = 2u << 20;

    tcp_quote_new();
    ~tcp_quote_new() override;
    tcp_quote_new(const tcp_quote_new&) = delete;
    tcp_quote_new& operator=(const tcp_quote_new&) = delete;

    bool init(sock_tcp_param_new& param, i_tcp_quote_event_new* sink, bool reorder) override;
    void enable_check_seq(bool on) override;
    void close() override;
    bool check_seq_num(tcp_head* head, unsigned int payload_len) override;

    // Prints the text and a newline to standard output.
    static void write_log(char const* text);
    // The ef_vi library's version text.
    static char const* get_sys_onload_version();
    // The dotted form of an address in network byte order; `out` holds 16.
    static void format_Ipv4(unsigned int addr, char* out);

    // True while the receive thread runs.
    bool running() const { return m_running; }
    // The flow's sequencing (its list, ring and expected number).
    hux_bypass::tcp_flow_assembler& flow() { return m_flow; }
    // One frame and the 10 ms rule, as the receive thread runs them, at the
    // monotonic clock's time.
    void handle_rx(const uint8_t* frame, uint32_t len);
    void export_all_data() { m_flow.export_all_data(); }

private:
    // The card's resources: allocated as one record by init, released by close.
    struct resources {
        ef_driver_handle dh = -1;
        bool pd_allocated = false;
        bool vi_allocated = false;
        bool memreg_allocated = false;
        ef_pd pd;
        ef_vi vi;
        ef_memreg memreg;
        unsigned char* pkt_mem = nullptr;
        size_t pkt_mem_size = 0;
        bool pkt_mem_huge = false;
        uint32_t* free_ids = nullptr;  // the free list of packet buffers
        int free_count = 0;
        int rx_prefix = 0;
    };

    static void* func_work_thread(void* self);
    void on_work_thread();
    void thread_main_loop();
    void refill(bool all);
    void release_resources();
    // A line of the receiver's log: the sink's log operation, or with no
    // sink write_log.
    template <typename... Args>
    void log_line(int level, char const* format, Args... args);

    sock_tcp_param_new m_param;
    i_tcp_quote_event_new* m_sink = nullptr;
    resources* m_res = nullptr;
    pthread_t m_thread;
    bool m_running = false;
    std::atomic<bool> m_stop{true};
    char* m_ring = nullptr;
    bool m_reorder = false;
    hux_bypass::tcp_flow_assembler m_flow;
    // check_seq_num's own state, apart from the receive thread's.
    std::atomic<bool> m_check_seq{false};
    bool m_check_first = true;
    uint32_t m_check_expected = 0;
};

template <typename... Args>
void tcp_quote_new::log_line(int level, char const* format, Args... args) {
    if (m_sink) {
        m_sink->on_log(level, format, args...);
        return;
    }
    char text[256];
    std::snprintf(text, sizeof text, format, args...);
    // The texts end in a newline of their own; write_log adds one.
    size_t n = 0;
    while (n < sizeof text && text[n]) ++n;
    if (n > 0 && text[n - 1] == '\n') text[n - 1] = '\0';
    write_log(text);
}

#endif
