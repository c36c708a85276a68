#ifndef HUX_STANDIN_ZF_MUXER_H
#define HUX_STANDIN_ZF_MUXER_H

/* A muxer: a set of waitables of one stack, waited on together with epoll's
 * event bits (EPOLLIN, EPOLLOUT, EPOLLERR, EPOLLHUP, EPOLLRDHUP). */
#include <stdint.h>
#include <sys/epoll.h>

#ifdef __cplusplus
extern "C" {
#endif

struct zf_stack;
struct zf_waitable;
struct zf_muxer_set;

int zf_muxer_alloc(struct zf_stack* stack, struct zf_muxer_set** muxer_out);
/* Waitables still in the set leave it. */
void zf_muxer_free(struct zf_muxer_set* muxer);

/* Adds the waitable for the events event->events; a report carries
 * event->data. -EALREADY when the waitable is in a muxer already. */
int zf_muxer_add(struct zf_muxer_set* muxer, struct zf_waitable* w, const struct epoll_event* event);
/* Takes the waitable out of its muxer; -EINVAL when it is in none. */
int zf_muxer_del(struct zf_waitable* w);

/* Up to maxevents ready waitables: their count (0: none within the time).
 * timeout_ns 0 only looks, a negative value waits without bound. */
int zf_muxer_wait(struct zf_muxer_set* muxer, struct epoll_event* events, int maxevents, int64_t timeout_ns);

#ifdef __cplusplus
}
#endif

#endif
