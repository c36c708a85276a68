#ifndef HUX_STANDIN_ETHERFABRIC_EF_VI_H
#define HUX_STANDIN_ETHERFABRIC_EF_VI_H

/* The virtual interface and its data path: transmit posts, the CTPIO push,
 * receive posts, the event queue and its events. */
#include <stddef.h>
#include <stdint.h>

#include <etherfabric/base.h>

#ifdef __cplusplus
extern "C" {
#endif

enum ef_vi_flags {
    EF_VI_FLAGS_DEFAULT = 0x0,
    EF_VI_TX_TIMESTAMPS = 0x20000, /* one TX-with-timestamp event per post */
    EF_VI_TX_CTPIO = 0x1000000     /* the CTPIO push is available */
};

/* At most this many request ids come out of one transmit event. */
#define EF_VI_TRANSMIT_BATCH 64

/* Event types. */
#define EF_EVENT_TYPE_TX 1
#define EF_EVENT_TYPE_TX_ERROR 2
#define EF_EVENT_TYPE_TX_WITH_TIMESTAMP 3
#define EF_EVENT_TYPE_RX 4         /* a frame in a posted buffer */
#define EF_EVENT_TYPE_RX_DISCARD 5 /* a posted buffer given back with a bad frame */

/* Flags of a receive event: the buffer starts a frame (always here, the
 * whole frame fits one buffer) / the frame goes on in the next buffer
 * (never here). */
#define EF_EVENT_FLAG_SOP 0x1
#define EF_EVENT_FLAG_CONT 0x2

/* Why a receive buffer was given back without a good frame. */
#define EF_EVENT_RX_DISCARD_TRUNC 1 /* the frame was longer than the buffer */
#define EF_EVENT_RX_DISCARD_OTHER 2

/* The bytes the card writes into one posted receive buffer at most: a
 * longer frame is discarded (EF_EVENT_RX_DISCARD_TRUNC). */
#define EF_VI_RX_BUFFER_LEN 2048

/* The two low bits of a transmit timestamp's nanoseconds. */
#define EF_VI_SYNC_FLAG_CLOCK_SET 1
#define EF_VI_SYNC_FLAG_CLOCK_IN_SYNC 2

typedef union {
    struct {
        uint16_t type;
    } HUX_STANDIN_PRIVATE(generic);
    struct {
        uint16_t type;
        uint16_t q_id;
        uint32_t desc_id; /* completed up to here (exclusive, a running count) */
    } HUX_STANDIN_PRIVATE(tx);
    struct {
        uint16_t type;
        uint16_t q_id;
        uint32_t rq_id;   /* the request id given at post time */
        uint32_t ts_sec;
        uint32_t ts_nsec; /* the low two bits are the sync flags */
    } HUX_STANDIN_PRIVATE(tx_timestamp);
    struct {
        uint16_t type;
        uint16_t q_id;
        uint32_t rq_id; /* the request id given at post time */
        uint16_t len;   /* bytes of the frame written at the buffer's start */
        uint16_t flags; /* EF_EVENT_FLAG_SOP, EF_EVENT_FLAG_CONT */
    } HUX_STANDIN_PRIVATE(rx);
    struct {
        uint16_t type;
        uint16_t q_id;
        uint32_t rq_id;   /* the buffer given back */
        uint16_t len;     /* the frame's length on the wire (at most 65535) */
        uint16_t subtype; /* EF_EVENT_RX_DISCARD_... */
    } HUX_STANDIN_PRIVATE(rx_discard);
} ef_event;

#define EF_EVENT_TYPE(e) ((e).HUX_STANDIN_PRIVATE(generic).type)
#define EF_EVENT_TX_Q_ID(e) ((e).HUX_STANDIN_PRIVATE(tx).q_id)
#define EF_EVENT_TX_WITH_TIMESTAMP_RQ_ID(e) ((e).HUX_STANDIN_PRIVATE(tx_timestamp).rq_id)
#define EF_EVENT_TX_WITH_TIMESTAMP_SEC(e) ((e).HUX_STANDIN_PRIVATE(tx_timestamp).ts_sec)
#define EF_EVENT_TX_WITH_TIMESTAMP_NSEC(e) ((e).HUX_STANDIN_PRIVATE(tx_timestamp).ts_nsec)
#define EF_EVENT_TX_WITH_TIMESTAMP_SYNC_FLAGS(e) ((e).HUX_STANDIN_PRIVATE(tx_timestamp).ts_nsec & 3u)
#define EF_EVENT_RX_RQ_ID(e) ((e).HUX_STANDIN_PRIVATE(rx).rq_id)
#define EF_EVENT_RX_BYTES(e) ((e).HUX_STANDIN_PRIVATE(rx).len)
#define EF_EVENT_RX_Q_ID(e) ((e).HUX_STANDIN_PRIVATE(rx).q_id)
#define EF_EVENT_RX_SOP(e) ((e).HUX_STANDIN_PRIVATE(rx).flags & EF_EVENT_FLAG_SOP)
#define EF_EVENT_RX_CONT(e) ((e).HUX_STANDIN_PRIVATE(rx).flags & EF_EVENT_FLAG_CONT)
#define EF_EVENT_RX_DISCARD_RQ_ID(e) ((e).HUX_STANDIN_PRIVATE(rx_discard).rq_id)
#define EF_EVENT_RX_DISCARD_BYTES(e) ((e).HUX_STANDIN_PRIVATE(rx_discard).len)
#define EF_EVENT_RX_DISCARD_Q_ID(e) ((e).HUX_STANDIN_PRIVATE(rx_discard).q_id)
#define EF_EVENT_RX_DISCARD_TYPE(e) ((e).HUX_STANDIN_PRIVATE(rx_discard).subtype)

struct hux_efvi_state; /* the stand-in's own state of one virtual interface */

typedef struct ef_vi {
    struct hux_efvi_state* HUX_STANDIN_PRIVATE(vi_state);
    unsigned HUX_STANDIN_PRIVATE(vi_flags);
    int HUX_STANDIN_PRIVATE(vi_evq_capacity);
    int HUX_STANDIN_PRIVATE(vi_txq_capacity);
    int HUX_STANDIN_PRIVATE(vi_rxq_capacity);
} ef_vi;

/* The library's version text. */
const char* ef_vi_version_str(void);

/* Pushes frame_len bytes of frame_buf to the wire as they are. The card
 * starts sending after ct_threshold bytes (0xffff: the whole frame). */
void ef_vi_transmit_ctpio(ef_vi* vi, const void* frame_buf, size_t frame_len, unsigned ct_threshold);
/* The DMA copy behind a CTPIO push, taken when the push does not complete;
 * it takes a transmit descriptor and gives a completion. -EAGAIN when the
 * transmit ring is full. */
int ef_vi_transmit_ctpio_fallback(ef_vi* vi, ef_addr dma_addr, size_t len, ef_request_id dma_id);
/* Posts len bytes at dma_addr for DMA transmit; the card fills the IPv4
 * header checksum of the frame it sends. -EAGAIN when the ring is full. */
int ef_vi_transmit(ef_vi* vi, ef_addr dma_addr, int len, ef_request_id dma_id);

/* Queues a receive buffer: the DMA address of its start (registered for
 * EF_VI_RX_BUFFER_LEN bytes, -EFAULT otherwise) and the id its event
 * carries. The card sees it after ef_vi_receive_push. -EAGAIN when the
 * receive ring holds its capacity, -EINVAL on a VI without a receive queue. */
int ef_vi_receive_init(ef_vi* vi, ef_addr addr, ef_request_id dma_id);
void ef_vi_receive_push(ef_vi* vi);
/* Both at once. */
int ef_vi_receive_post(ef_vi* vi, ef_addr addr, ef_request_id dma_id);
/* Buffers queued and not yet given back by an event. */
int ef_vi_receive_fill_level(ef_vi* vi);
/* Bytes the card writes ahead of the frame in a receive buffer: none here. */
int ef_vi_receive_prefix_len(ef_vi* vi);
int ef_vi_receive_buffer_len(ef_vi* vi);

/* Takes up to evs_len events; never waits. Transmit completions come
 * first. On a VI with a receive queue each frame received on the
 * interface (never one the host sends) fills the next pushed buffer: an
 * EF_EVENT_TYPE_RX event, or EF_EVENT_TYPE_RX_DISCARD when it does not fit.
 * Without a pushed buffer frames wait on the interface. */
int ef_eventq_poll(ef_vi* evq, ef_event* evs, int evs_len);
/* The request ids completed by a transmit event (at most
 * EF_VI_TRANSMIT_BATCH), releasing their descriptors; the count. */
int ef_vi_transmit_unbundle(ef_vi* vi, const ef_event* event, ef_request_id* ids);

int ef_vi_transmit_capacity(ef_vi* vi);
int ef_vi_receive_capacity(ef_vi* vi);
int ef_eventq_capacity(ef_vi* vi);

#ifdef __cplusplus
}
#endif

#endif
