/* The TCP flow receiver of libhuxtrade and its shared ring buffer.
 *
 * The ring buffer (C): a file-backed region of `len` bytes mapped twice back
 * to back, so byte k is visible at base + k and at base + len + k and any
 * span of up to `len` bytes reads contiguously across the wrap. `len` must
 * be a non-zero multiple of the page size.
 *
 * The receiver (C++): tcp_quote_new takes the payload of one TCP flow
 * straight from an ef_vi receive queue, with no TCP stack: it sniffs the
 * frames of a port, keeps the segments addressed to the configured local
 * address and port, puts them in sequence order (or, without reordering,
 * takes them as they come) and hands the byte stream to the application's
 * i_tcp_quote_event_new on its own polling thread. Neither trade session
 * creates one: it is offered to applications through the factory
 * i_tcp_quote_new::create_tcp_quote.
 *
 * The order of the virtual functions below is the binary interface between
 * the library and applications: never reorder them. */
#ifndef HUX_TCP_QUOTE_H
#define HUX_TCP_QUOTE_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define HUX_TCP_QUOTE_API
#else
#define HUX_TCP_QUOTE_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A ring of `len` bytes over a new file under /tmp, created exclusively
 * (mode 0600) and removed again at once: the mappings keep it alive. Null
 * when `len` is not a non-zero multiple of the page size or the mapping
 * fails. */
HUX_TCP_QUOTE_API void* mmap_ringbuff(uint64_t len);
/* A ring of `len` bytes over the file `path` (created with mode 0777 when
 * missing), which other processes may map too: every mapping of one file
 * sees the same bytes. A shorter file is extended to `len` bytes; a longer
 * one is not written. Null, with nothing left mapped or open, on any
 * failure. */
HUX_TCP_QUOTE_API void* mmap_ringbuff_by_filename(uint64_t len, const char* path);
/* Unmaps both halves of a ring made by either function above. */
HUX_TCP_QUOTE_API void unmmap_ringbuff(void* base, uint64_t len);

#ifdef __cplusplus
}

/* What init() is given (56 bytes). Addresses are dotted IPv4 texts, ports
 * in host order. Only the local address and port select segments; the
 * remote ones are kept for the application and filter nothing. */
struct sock_tcp_param_new {
    char local_ip[16];         /* 0: the flow's destination address */
    unsigned short local_port; /* 16: the flow's destination port */
    char remote_ip[16];        /* 18 */
    unsigned short remote_port; /* 34 */
    char m_eth_name[16];       /* 36: the interface the card's receive queue sniffs */
    int cpu;                   /* 52: the receive thread's CPU; 0 or below: not pinned */
};

/* The TCP header as on the wire (20 bytes, fields in network byte order). */
#pragma pack(push, 1)
struct tcp_head {
    uint16_t source;      /* 0 */
    uint16_t dest;        /* 2 */
    uint32_t seq;         /* 4 */
    uint32_t ack_seq;     /* 8 */
    uint8_t data_offset;  /* 12: header length in 32-bit words in the high four bits */
    uint8_t flags;        /* 13 */
    uint16_t window;      /* 14 */
    uint16_t check;       /* 16 */
    uint16_t urg_ptr;     /* 18 */
};
#pragma pack(pop)

static_assert(sizeof(sock_tcp_param_new) == 56, "sock_tcp_param_new is 56 bytes");
static_assert(offsetof(sock_tcp_param_new, local_port) == 16, "local_port at 16");
static_assert(offsetof(sock_tcp_param_new, remote_ip) == 18, "remote_ip at 18");
static_assert(offsetof(sock_tcp_param_new, remote_port) == 34, "remote_port at 34");
static_assert(offsetof(sock_tcp_param_new, m_eth_name) == 36, "m_eth_name at 36");
static_assert(offsetof(sock_tcp_param_new, cpu) == 52, "cpu at 52");
static_assert(sizeof(tcp_head) == 20, "tcp_head is the 20-byte TCP header");

/* Log levels of i_tcp_quote_event_new::on_log. */
enum { TCP_QUOTE_LOG_INFO = 0, TCP_QUOTE_LOG_ERROR = 1 };

/* The application's side of a receiver. Every call comes on the receiver's
 * thread; the bytes are valid only during the call. */
class i_tcp_quote_event_new {
public:
    virtual ~i_tcp_quote_event_new() {}
    /* The next `len` bytes of the stream. */
    virtual void on_data(const char* data, unsigned int len) = 0;
    /* The stream skipped bytes (or starts): `data`, `len` are the bytes
     * that follow the gap. Return the bytes to deliver (from `data` on, or
     * any buffer that stays valid until on_data returns) and store their
     * length in `*len_in_out` (which holds `len` on entry); return null to
     * deliver nothing, and the next bytes come through here again. */
    virtual const char* on_resync(const char* data, unsigned int len, unsigned int* len_in_out) = 0;
    /* Not called by the receiver. */
    virtual void on_reserved() {}
    /* A line of the receiver's log (printf format, TCP_QUOTE_LOG_*). */
    virtual void on_log(int level, const char* format, ...) = 0;
};

class i_tcp_quote_new {
public:
    virtual ~i_tcp_quote_new() {}
    /* Keeps the parameters and the sink, opens the card's receive queue on
     * `m_eth_name`, and starts the receive thread: true when it runs. False,
     * with nothing opened, when this receiver already runs, the local
     * address is not a dotted IPv4 address, the interface name is empty, or
     * (with `reorder`) the ring could not be made. A failure of the card's
     * set-up ends the process with three lines on standard error. Without
     * a sink every frame is dropped. */
    virtual bool init(sock_tcp_param_new& param, i_tcp_quote_event_new* sink, bool reorder) = 0;
    /* Turns check_seq_num's checking on or off; turning it on forgets the
     * number it expects, so the next segment checked starts it again. */
    virtual void enable_check_seq(bool on) = 0;
    /* Stops and joins the receive thread and releases the card's
     * resources; harmless when nothing runs or called twice. */
    virtual void close() = 0;
    /* With checking on: true when the segment continues the previous one
     * checked (the first checked always does), false otherwise; checking
     * off: true. Keeps its own expected number; the receive path does not
     * use it. */
    virtual bool check_seq_num(tcp_head* head, unsigned int payload_len) = 0;

    /* A new receiver (delete it, or through this interface, when done). */
    HUX_TCP_QUOTE_API static i_tcp_quote_new* create_tcp_quote();
};

#endif /* __cplusplus */

#endif
