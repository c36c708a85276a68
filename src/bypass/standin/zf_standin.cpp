// Our TCPDirect stand-in over kernel TCP. A stack is the interface its
// attributes name plus an epoll set of its endpoints (what "pending work"
// looks at); an endpoint is a non-blocking kernel socket bound to that
// interface (SO_BINDTODEVICE), its state read from TCP_INFO; a muxer is an
// epoll set of its own. The kernel does the protocol work, so a reactor pass
// only looks. Like TCPDirect, a stack is not thread-safe: its user
// serialises the calls on one stack.
#include <zf/zf.h>

#include <errno.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "bypass/standin/standin_zf.h"

struct zf_attr {
    bool has_interface = false;
    std::string interface_name;
    std::string ctpio_mode = "sf-np";
    int64_t tcp_delayed_ack = 1;
    int64_t pio = 1;
};

struct zf_waitable {
    int fd = -1;
    zf_muxer_set* muxer = nullptr;
};

struct zf_stack {
    std::string interface_name;
    bool delayed_ack = true;
    int epfd = -1;                 // every connected endpoint, level-triggered
    std::vector<zft*> endpoints;   // connected endpoints
    int handles = 0;               // handles not yet connected or freed
    int muxers = 0;
};

struct zft_handle {
    zf_stack* stack = nullptr;
    int fd = -1;
};

struct zft {
    zf_stack* stack = nullptr;
    zf_waitable waitable;
};

struct zf_muxer_set {
    zf_stack* stack = nullptr;
    int epfd = -1;
    std::vector<zf_waitable*> members;
};

namespace {

std::atomic<int> g_inits{0};
std::atomic<int> g_attrs{0};
std::atomic<int> g_stacks{0};
std::atomic<int> g_muxers{0};
std::atomic<int> g_endpoints{0};
std::atomic<long> g_connects{0};

constexpr uint32_t STACK_EVENTS = EPOLLIN | EPOLLRDHUP | EPOLLERR | EPOLLHUP;

enum class attr_kind { none, integer, text };

attr_kind kind_of(const char* name) {
    if (name == nullptr) return attr_kind::none;
    if (std::strcmp(name, "tcp_delayed_ack") == 0 || std::strcmp(name, "pio") == 0) return attr_kind::integer;
    if (std::strcmp(name, "interface") == 0 || std::strcmp(name, "ctpio_mode") == 0) return attr_kind::text;
    return attr_kind::none;
}

int neg_errno() { return errno > 0 ? -errno : -EIO; }

}  // namespace

extern "C" {

int zf_init(void) {
    g_inits.fetch_add(1);
    return 0;
}

int zf_deinit(void) {
    int n = g_inits.load();
    while (n > 0 && !g_inits.compare_exchange_weak(n, n - 1)) {
    }
    return n > 0 ? 0 : -EINVAL;
}

const char* zf_version(void) { return "hux-zf 1.0.0 (kernel TCP)"; }

int zf_attr_alloc(struct zf_attr** attr_out) {
    if (attr_out == nullptr) return -EINVAL;
    *attr_out = new (std::nothrow) zf_attr();
    if (*attr_out == nullptr) return -ENOMEM;
    g_attrs.fetch_add(1);
    return 0;
}

void zf_attr_free(struct zf_attr* attr) {
    if (attr == nullptr) return;
    delete attr;
    g_attrs.fetch_sub(1);
}

int zf_attr_set_int(struct zf_attr* attr, const char* name, int64_t val) {
    if (attr == nullptr) return -EINVAL;
    switch (kind_of(name)) {
    case attr_kind::none: return -ENOENT;
    case attr_kind::text: return -EINVAL;
    case attr_kind::integer: break;
    }
    if (std::strcmp(name, "pio") == 0) {
        if (val < 0 || val > 2) return -EINVAL;
        attr->pio = val;
    } else {
        attr->tcp_delayed_ack = val;
    }
    return 0;
}

int zf_attr_set_str(struct zf_attr* attr, const char* name, const char* val) {
    if (attr == nullptr) return -EINVAL;
    switch (kind_of(name)) {
    case attr_kind::none: return -ENOENT;
    case attr_kind::integer: return -EINVAL;
    case attr_kind::text: break;
    }
    if (std::strcmp(name, "interface") == 0) {
        attr->has_interface = val != nullptr;
        attr->interface_name = val != nullptr ? val : "";
        return 0;
    }
    if (val == nullptr || (std::strcmp(val, "sf") != 0 && std::strcmp(val, "ct") != 0 && std::strcmp(val, "sf-np") != 0))
        return -EINVAL;
    attr->ctpio_mode = val;
    return 0;
}

int zf_attr_get_int(struct zf_attr* attr, const char* name, int64_t* val) {
    if (attr == nullptr || val == nullptr) return -EINVAL;
    switch (kind_of(name)) {
    case attr_kind::none: return -ENOENT;
    case attr_kind::text: return -EINVAL;
    case attr_kind::integer: break;
    }
    *val = std::strcmp(name, "pio") == 0 ? attr->pio : attr->tcp_delayed_ack;
    return 0;
}

int zf_attr_get_str(struct zf_attr* attr, const char* name, const char** val) {
    if (attr == nullptr || val == nullptr) return -EINVAL;
    switch (kind_of(name)) {
    case attr_kind::none: return -ENOENT;
    case attr_kind::integer: return -EINVAL;
    case attr_kind::text: break;
    }
    if (std::strcmp(name, "interface") == 0)
        *val = attr->has_interface ? attr->interface_name.c_str() : nullptr;
    else
        *val = attr->ctpio_mode.c_str();
    return 0;
}

int zf_stack_alloc(struct zf_attr* attr, struct zf_stack** stack_out) {
    if (attr == nullptr || stack_out == nullptr) return -EINVAL;
    *stack_out = nullptr;
    if (!attr->has_interface || attr->interface_name.empty()) return -EINVAL;
    if (attr->interface_name.size() >= IFNAMSIZ || if_nametoindex(attr->interface_name.c_str()) == 0) return -ENODEV;
    const int epfd = epoll_create1(EPOLL_CLOEXEC);
    if (epfd < 0) return neg_errno();
    zf_stack* st = new (std::nothrow) zf_stack();
    if (st == nullptr) {
        close(epfd);
        return -ENOMEM;
    }
    st->interface_name = attr->interface_name;
    st->delayed_ack = attr->tcp_delayed_ack != 0;
    st->epfd = epfd;
    g_stacks.fetch_add(1);
    *stack_out = st;
    return 0;
}

int zf_stack_free(struct zf_stack* stack) {
    if (stack == nullptr) return -EINVAL;
    if (!stack->endpoints.empty() || stack->handles > 0 || stack->muxers > 0) return -EBUSY;
    close(stack->epfd);
    delete stack;
    g_stacks.fetch_sub(1);
    return 0;
}

int zf_stack_has_pending_work(const struct zf_stack* stack) {
    if (stack == nullptr) return 0;
    epoll_event ev;
    return epoll_wait(stack->epfd, &ev, 1, 0) > 0 ? 1 : 0;
}

int zf_stack_is_quiescent(struct zf_stack* stack) {
    if (stack == nullptr) return 1;
    for (zft* ts : stack->endpoints) {
        int queued = 0;
        if (ioctl(ts->waitable.fd, SIOCOUTQ, &queued) == 0 && queued > 0) return 0;
    }
    return 1;
}

int zf_reactor_perform(struct zf_stack* stack) { return zf_stack_has_pending_work(stack); }

int zft_alloc(struct zf_stack* stack, const struct zf_attr* attr, struct zft_handle** handle_out) {
    if (stack == nullptr || handle_out == nullptr) return -EINVAL;
    (void)attr;
    *handle_out = nullptr;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return neg_errno();
    const std::string& dev = stack->interface_name;
    if (setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, dev.c_str(), static_cast<socklen_t>(dev.size() + 1)) != 0) {
        const int rc = neg_errno();
        close(fd);
        return rc;
    }
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (!stack->delayed_ack) setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
    zft_handle* h = new (std::nothrow) zft_handle();
    if (h == nullptr) {
        close(fd);
        return -ENOMEM;
    }
    h->stack = stack;
    h->fd = fd;
    ++stack->handles;
    g_endpoints.fetch_add(1);
    *handle_out = h;
    return 0;
}

int zft_handle_free(struct zft_handle* handle) {
    if (handle == nullptr) return -EINVAL;
    close(handle->fd);
    --handle->stack->handles;
    delete handle;
    g_endpoints.fetch_sub(1);
    return 0;
}

int zft_connect(struct zft_handle* handle, const struct sockaddr* raddr, socklen_t raddrlen, struct zft** ts_out) {
    if (handle == nullptr || raddr == nullptr || ts_out == nullptr) return -EINVAL;
    *ts_out = nullptr;
    if (raddr->sa_family != AF_INET || raddrlen < static_cast<socklen_t>(sizeof(sockaddr_in))) return -EAFNOSUPPORT;
    // A refusal the kernel knows at once still gives an endpoint, in state
    // CLOSE, as a refusal that comes later does.
    if (connect(handle->fd, raddr, raddrlen) != 0 && errno != EINPROGRESS && errno != ECONNREFUSED) return neg_errno();
    zft* ts = new (std::nothrow) zft();
    if (ts == nullptr) return -ENOMEM;
    zf_stack* st = handle->stack;
    epoll_event ev{};
    ev.events = STACK_EVENTS;
    ev.data.ptr = ts;
    if (epoll_ctl(st->epfd, EPOLL_CTL_ADD, handle->fd, &ev) != 0) {
        const int rc = neg_errno();
        delete ts;
        return rc;
    }
    ts->stack = st;
    ts->waitable.fd = handle->fd;
    st->endpoints.push_back(ts);
    --st->handles;
    delete handle;  // the endpoint took its socket; the count stays
    g_connects.fetch_add(1);
    *ts_out = ts;
    return 0;
}

int zft_state(struct zft* ts) {
    if (ts == nullptr) return TCP_CLOSE;
    tcp_info info{};
    socklen_t len = sizeof info;
    if (getsockopt(ts->waitable.fd, IPPROTO_TCP, TCP_INFO, &info, &len) != 0) return TCP_CLOSE;
    return info.tcpi_state;
}

ssize_t zft_send_single(struct zft* ts, const void* buf, size_t buflen, int flags) {
    if (ts == nullptr || (buf == nullptr && buflen > 0) || flags != 0) return -EINVAL;
    const ssize_t n = send(ts->waitable.fd, buf, buflen, MSG_NOSIGNAL | MSG_DONTWAIT);
    return n >= 0 ? n : neg_errno();
}

int zft_recv(struct zft* ts, const struct iovec* iov, int iovcnt, int flags) {
    if (ts == nullptr || iov == nullptr || iovcnt <= 0 || flags != 0) return -EINVAL;
    const ssize_t n = readv(ts->waitable.fd, iov, iovcnt);
    return n >= 0 ? static_cast<int>(n) : neg_errno();
}

int zft_shutdown_tx(struct zft* ts) {
    if (ts == nullptr) return -EINVAL;
    return shutdown(ts->waitable.fd, SHUT_WR) == 0 ? 0 : neg_errno();
}

int zft_free(struct zft* ts) {
    if (ts == nullptr) return -EINVAL;
    if (ts->waitable.muxer != nullptr) zf_muxer_del(&ts->waitable);
    zf_stack* st = ts->stack;
    epoll_ctl(st->epfd, EPOLL_CTL_DEL, ts->waitable.fd, nullptr);
    st->endpoints.erase(std::remove(st->endpoints.begin(), st->endpoints.end(), ts), st->endpoints.end());
    close(ts->waitable.fd);
    delete ts;
    g_endpoints.fetch_sub(1);
    return 0;
}

struct zf_waitable* zft_to_waitable(struct zft* ts) { return ts != nullptr ? &ts->waitable : nullptr; }

int zf_muxer_alloc(struct zf_stack* stack, struct zf_muxer_set** muxer_out) {
    if (stack == nullptr || muxer_out == nullptr) return -EINVAL;
    *muxer_out = nullptr;
    const int epfd = epoll_create1(EPOLL_CLOEXEC);
    if (epfd < 0) return neg_errno();
    zf_muxer_set* m = new (std::nothrow) zf_muxer_set();
    if (m == nullptr) {
        close(epfd);
        return -ENOMEM;
    }
    m->stack = stack;
    m->epfd = epfd;
    ++stack->muxers;
    g_muxers.fetch_add(1);
    *muxer_out = m;
    return 0;
}

void zf_muxer_free(struct zf_muxer_set* muxer) {
    if (muxer == nullptr) return;
    for (zf_waitable* w : muxer->members) w->muxer = nullptr;
    close(muxer->epfd);
    --muxer->stack->muxers;
    delete muxer;
    g_muxers.fetch_sub(1);
}

int zf_muxer_add(struct zf_muxer_set* muxer, struct zf_waitable* w, const struct epoll_event* event) {
    if (muxer == nullptr || w == nullptr || event == nullptr) return -EINVAL;
    if (w->muxer != nullptr) return -EALREADY;
    epoll_event ev = *event;
    if (epoll_ctl(muxer->epfd, EPOLL_CTL_ADD, w->fd, &ev) != 0) return neg_errno();
    w->muxer = muxer;
    muxer->members.push_back(w);
    return 0;
}

int zf_muxer_del(struct zf_waitable* w) {
    if (w == nullptr || w->muxer == nullptr) return -EINVAL;
    zf_muxer_set* m = w->muxer;
    epoll_ctl(m->epfd, EPOLL_CTL_DEL, w->fd, nullptr);
    m->members.erase(std::remove(m->members.begin(), m->members.end(), w), m->members.end());
    w->muxer = nullptr;
    return 0;
}

int zf_muxer_wait(struct zf_muxer_set* muxer, struct epoll_event* events, int maxevents, int64_t timeout_ns) {
    if (muxer == nullptr || events == nullptr || maxevents <= 0) return -EINVAL;
    const int ms = timeout_ns == 0 ? 0 : timeout_ns < 0 ? -1 : static_cast<int>((timeout_ns + 999999) / 1000000);
    const int n = epoll_wait(muxer->epfd, events, maxevents, ms);
    if (n < 0) return errno == EINTR ? 0 : neg_errno();
    return n;
}

int hux_standin_zf_inits(void) { return g_inits.load(); }
int hux_standin_zf_attrs_open(void) { return g_attrs.load(); }
int hux_standin_zf_stacks_open(void) { return g_stacks.load(); }
int hux_standin_zf_muxers_open(void) { return g_muxers.load(); }
int hux_standin_zf_endpoints_open(void) { return g_endpoints.load(); }
long hux_standin_zf_connects(void) { return g_connects.load(); }

}  // extern "C"
