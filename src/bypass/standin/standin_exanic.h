#ifndef HUX_STANDIN_EXANIC_H
#define HUX_STANDIN_EXANIC_H

/* Settings, hook and counters of the libexanic stand-in, for tests and tools.
 *
 * Each setting is an atomic first taken from its environment variable (at the
 * first use of any of them) and can then be changed at any time:
 *   HUX_EXANIC_PORTS            comma list of interface names: port k of
 *                               device "exanic0" is the k-th (default none)
 *   HUX_EXANIC_HW_TYPE          hardware type the card reports (default 4)
 *   HUX_EXANIC_CLOCK_OFFSET_NS  card clock minus CLOCK_REALTIME, read live
 *                               (default 0)
 *   HUX_EXANIC_REFUSE_TX        non-zero: every transmit call fails */
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Back to the built-in defaults (environment ignored); clears the hook and
 * the counters. */
void hux_standin_exanic_reset(void);

/* At most 255 characters; a longer list is cut. */
void hux_standin_exanic_set_ports(const char* names);
/* Copies the list into buf (cap bytes, terminated); its full length. */
int hux_standin_exanic_ports(char* buf, int cap);
void hux_standin_exanic_set_hw_type(int type);
int hux_standin_exanic_hw_type(void);
void hux_standin_exanic_set_clock_offset_ns(long long offset);
long long hux_standin_exanic_clock_offset_ns(void);
void hux_standin_exanic_set_refuse_tx(int on);
int hux_standin_exanic_refuse_tx(void);

/* Called on the sending thread for every transmit call that is not refused,
 * warm-ups included, with the frame as handed over. */
typedef void (*hux_standin_exanic_frame_hook)(void* ctx, const char* frame, size_t len, int warm);
void hux_standin_exanic_set_frame_hook(hux_standin_exanic_frame_hook hook, void* ctx);

/* Card-clock reads, warm-up calls, frames put on the wire, transmit
 * timestamps handed out. */
long hux_standin_exanic_clock_reads(void);
long hux_standin_exanic_warmups(void);
long hux_standin_exanic_frames_sent(void);
long hux_standin_exanic_tx_timestamps(void);
/* Handles and transmit buffers acquired and not yet released. */
int hux_standin_exanic_objects_open(void);

#ifdef __cplusplus
}
#endif

#endif
