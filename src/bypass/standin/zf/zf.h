#ifndef HUX_STANDIN_ZF_ZF_H
#define HUX_STANDIN_ZF_ZF_H

/* Our TCPDirect stand-in: the library's lifetime, its version text and the
 * pieces a TCP client uses (attributes, stack, reactor, TCP endpoint, muxer).
 * Everything runs over kernel TCP on the interface the "interface" attribute
 * names; settings and counters for tests are in standin_zf.h.
 *
 * Calls return 0 (or a count) on success and a negated errno value on
 * failure, as TCPDirect's calls do. */
#include <zf/attr.h>
#include <zf/muxer.h>
#include <zf/zf_reactor.h>
#include <zf/zf_stack.h>
#include <zf/zf_tcp.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Process-wide set-up and tear-down; every zf_init wants one zf_deinit. */
int zf_init(void);
int zf_deinit(void);

/* The library's version text (static storage). */
const char* zf_version(void);

#ifdef __cplusplus
}
#endif

#endif
