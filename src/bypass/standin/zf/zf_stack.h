#ifndef HUX_STANDIN_ZF_ZF_STACK_H
#define HUX_STANDIN_ZF_ZF_STACK_H

/* A stack: the network state of one interface, driven by its reactor. A
 * stack is not thread-safe; its user serialises every call on it. */

#ifdef __cplusplus
extern "C" {
#endif

struct zf_attr;
struct zf_stack;

/* -EINVAL: the attributes name no interface; -ENODEV: there is no such
 * interface. */
int zf_stack_alloc(struct zf_attr* attr, struct zf_stack** stack_out);
/* -EBUSY while endpoints or muxers of the stack are still open. */
int zf_stack_free(struct zf_stack* stack);

/* Non-zero when an endpoint of the stack has something to be processed
 * (bytes, a close or an error). */
int zf_stack_has_pending_work(const struct zf_stack* stack);
/* Non-zero when no endpoint of the stack has bytes waiting to go out or to
 * be acknowledged. */
int zf_stack_is_quiescent(struct zf_stack* stack);

#ifdef __cplusplus
}
#endif

#endif
