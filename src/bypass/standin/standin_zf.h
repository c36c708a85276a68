#ifndef HUX_STANDIN_ZF_H
#define HUX_STANDIN_ZF_H

/* Counters of the TCPDirect stand-in, for tests and tools: what is open now,
 * so a test can tell that a connect, a failure or a close left nothing
 * behind. (Objects of a copy of the stand-in linked into a shared library,
 * like libdirectsock.so, are counted by that copy.) */

#ifdef __cplusplus
extern "C" {
#endif

/* zf_init calls not yet matched by zf_deinit. */
int hux_standin_zf_inits(void);
/* Attribute sets, stacks, muxers allocated and not yet freed. */
int hux_standin_zf_attrs_open(void);
int hux_standin_zf_stacks_open(void);
int hux_standin_zf_muxers_open(void);
/* TCP handles and endpoints (each holds a kernel socket) not yet freed. */
int hux_standin_zf_endpoints_open(void);
/* Endpoints that reached zft_connect, ever. */
long hux_standin_zf_connects(void);

#ifdef __cplusplus
}
#endif

#endif
