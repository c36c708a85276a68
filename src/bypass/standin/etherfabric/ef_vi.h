#ifndef HUX_STANDIN_ETHERFABRIC_EF_VI_H
#define HUX_STANDIN_ETHERFABRIC_EF_VI_H

/* The virtual interface and its data path: transmit posts, the CTPIO push,
 * the event queue and its events. */
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

/* The two low bits of a transmit timestamp's nanoseconds. */
#define EF_VI_SYNC_FLAG_CLOCK_SET 1
#define EF_VI_SYNC_FLAG_CLOCK_IN_SYNC 2

typedef union {
    struct {
        uint16_t type;
    } generic;
    struct {
        uint16_t type;
        uint16_t q_id;
        uint32_t desc_id; /* completed up to here (exclusive, a running count) */
    } tx;
    struct {
        uint16_t type;
        uint16_t q_id;
        uint32_t rq_id;   /* the request id given at post time */
        uint32_t ts_sec;
        uint32_t ts_nsec; /* the low two bits are the sync flags */
    } tx_timestamp;
} ef_event;

#define EF_EVENT_TYPE(e) ((e).generic.type)
#define EF_EVENT_TX_Q_ID(e) ((e).tx.q_id)
#define EF_EVENT_TX_WITH_TIMESTAMP_RQ_ID(e) ((e).tx_timestamp.rq_id)
#define EF_EVENT_TX_WITH_TIMESTAMP_SEC(e) ((e).tx_timestamp.ts_sec)
#define EF_EVENT_TX_WITH_TIMESTAMP_NSEC(e) ((e).tx_timestamp.ts_nsec)
#define EF_EVENT_TX_WITH_TIMESTAMP_SYNC_FLAGS(e) ((e).tx_timestamp.ts_nsec & 3u)

struct hux_efvi_state; /* the stand-in's own state of one virtual interface */

typedef struct ef_vi {
    struct hux_efvi_state* vi_state;
    unsigned vi_flags;
    int vi_evq_capacity;
    int vi_txq_capacity;
    int vi_rxq_capacity;
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

/* Takes up to evs_len events; never waits. */
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
