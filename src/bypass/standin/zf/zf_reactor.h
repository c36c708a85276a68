#ifndef HUX_STANDIN_ZF_ZF_REACTOR_H
#define HUX_STANDIN_ZF_ZF_REACTOR_H

/* One pass of a stack's reactor: non-zero when the pass found something to
 * do. (Over kernel TCP the kernel does the protocol work; a pass only looks.) */

#ifdef __cplusplus
extern "C" {
#endif

struct zf_stack;

int zf_reactor_perform(struct zf_stack* stack);

#ifdef __cplusplus
}
#endif

#endif
