#ifndef HUX_STANDIN_EFVI_H
#define HUX_STANDIN_EFVI_H

/* Settings, hooks and counters of the ef_vi stand-in, for tests and tools.
 *
 * Each setting is an atomic that is first taken from its environment variable
 * (at the first use of any of them) and can then be changed at any time:
 *   HUX_EFVI_CAPABILITY    value of the CTPIO capability query (default 1;
 *                          negative: the query itself fails)
 *   HUX_EFVI_REFUSE_VI     non-zero: virtual-interface allocation fails (-EBUSY)
 *   HUX_EFVI_RING          transmit ring capacity of a new VI (default 512)
 *   HUX_EFVI_DEFERRED_DMA  non-zero: a DMA post's bytes are read (and sent)
 *                          only when completions are polled, as a card reads
 *                          them some time after the post
 *   HUX_EFVI_SYNC_FLAGS    the low two bits of every transmit timestamp (3)
 *   HUX_EFVI_REFUSE_TX     non-zero: transmit posts fail (-EIO)
 *   HUX_EFVI_RX_DROP_PORT  with HUX_EFVI_RX_DROP_NTH = k > 0: every k-th
 *   HUX_EFVI_RX_DROP_NTH   frame received whose TCP destination port is
 *                          this one (the k-th, 2k-th, ... counted from
 *                          when the setting was made, over all receive
 *                          VIs) is swallowed by the stand-in: no event,
 *                          no buffer used. The host's own stack still
 *                          gets the frame; only the receive VIs miss it.
 *                          k = 0: off (default) */
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Back to the built-in defaults (environment ignored); clears the hook, the
 * receive drop and the counters. */
void hux_standin_efvi_reset(void);

void hux_standin_efvi_set_capability(long value);
long hux_standin_efvi_capability(void);
void hux_standin_efvi_set_refuse_vi(int on);
int hux_standin_efvi_refuse_vi(void);
void hux_standin_efvi_set_ring(int capacity);
int hux_standin_efvi_ring(void);
void hux_standin_efvi_set_deferred_dma(int on);
int hux_standin_efvi_deferred_dma(void);
void hux_standin_efvi_set_sync_flags(int flags);
int hux_standin_efvi_sync_flags(void);
void hux_standin_efvi_set_refuse_tx(int on);
int hux_standin_efvi_refuse_tx(void);

/* Called on every DMA post and CTPIO fallback post, on the posting thread,
 * with the DMA address, the bytes it maps to at the moment of the post, the
 * length and the request id. */
typedef void (*hux_standin_efvi_post_hook)(void* ctx, uint64_t dma_addr, const unsigned char* bytes, int len,
                                           int rq_id);
void hux_standin_efvi_set_post_hook(hux_standin_efvi_post_hook hook, void* ctx);

/* Successful ef_driver_open calls, and handles open now. */
int hux_standin_efvi_driver_opens(void);
int hux_standin_efvi_drivers_open(void);
/* The event-queue capacity the last ef_vi_alloc_from_pd asked for (0: none). */
int hux_standin_efvi_last_evq_capacity(void);
/* Frames the kernel would not send (too long for the MTU, interface down). */
long hux_standin_efvi_wire_errors(void);

/* Receive side. Setting the drop restarts its frame count. */
void hux_standin_efvi_set_rx_drop(unsigned short port, long nth);
unsigned short hux_standin_efvi_rx_drop_port(void);
long hux_standin_efvi_rx_drop_nth(void);
/* Frames swallowed by the drop setting. */
long hux_standin_efvi_rx_knob_drops(void);
/* Frames the interface's packet sockets lost because their ring of received
 * frames was full (the kernel's count, taken at least every 4096 frames
 * read, when a poll finds the ring empty after it may have been full, that
 * is after reading a whole ring's frames since it was last found empty, and
 * when the VI is freed). */
long hux_standin_efvi_rx_socket_drops(void);
/* Receive events and receive-discard events given by polls. */
long hux_standin_efvi_rx_events(void);
long hux_standin_efvi_rx_discards(void);

#ifdef __cplusplus
}
#endif

#endif
