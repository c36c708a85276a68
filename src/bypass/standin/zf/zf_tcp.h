#ifndef HUX_STANDIN_ZF_ZF_TCP_H
#define HUX_STANDIN_ZF_ZF_TCP_H

/* TCP endpoints. A handle (zft_handle) is an endpoint not yet connected;
 * connecting it gives the connected endpoint (zft) and consumes the handle.
 * A handle whose connect failed stays the caller's, to free. */
#include <stddef.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/uio.h>

#ifdef __cplusplus
extern "C" {
#endif

struct zf_attr;
struct zf_stack;
struct zf_waitable;
struct zft_handle;
struct zft;

int zft_alloc(struct zf_stack* stack, const struct zf_attr* attr, struct zft_handle** handle_out);
int zft_handle_free(struct zft_handle* handle);

/* Starts the connection: the endpoint is then in SYN-SENT (or already
 * closed, when the peer refused at once) and the reactor moves it on. Fails
 * only for what is wrong locally (-EAFNOSUPPORT, -ENETUNREACH, ...). */
int zft_connect(struct zft_handle* handle, const struct sockaddr* raddr, socklen_t raddrlen, struct zft** ts_out);

/* The endpoint's TCP state, as the TCP_* values of <netinet/tcp.h>
 * (TCP_ESTABLISHED, TCP_SYN_SENT, TCP_CLOSE, ...). */
int zft_state(struct zft* ts);

/* Sends what fits now from buf: the bytes taken, -EAGAIN when none fit, or
 * another negated errno value. flags: 0. */
ssize_t zft_send_single(struct zft* ts, const void* buf, size_t buflen, int flags);

/* Copies received bytes into the buffers: the bytes copied, 0 when the peer
 * has closed and everything was read, -EAGAIN when nothing is waiting, or
 * another negated errno value. flags: 0. */
int zft_recv(struct zft* ts, const struct iovec* iov, int iovcnt, int flags);

/* Ends the sending side (a FIN goes out behind the bytes queued). */
int zft_shutdown_tx(struct zft* ts);
/* Frees the endpoint: it leaves its muxer and its connection closes (what
 * is queued still goes out). */
int zft_free(struct zft* ts);

/* The endpoint as something a muxer waits on. */
struct zf_waitable* zft_to_waitable(struct zft* ts);

#ifdef __cplusplus
}
#endif

#endif
