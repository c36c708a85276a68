#ifndef HUX_STANDIN_ETHERFABRIC_VI_H
#define HUX_STANDIN_ETHERFABRIC_VI_H

/* Allocation of a virtual interface in a protection domain, and the
 * filters that steer received frames to it. */
#include <etherfabric/base.h>
#include <etherfabric/ef_vi.h>
#include <etherfabric/pd.h>

#ifdef __cplusplus
extern "C" {
#endif

/* evq_capacity, txq_capacity: -1 for the default. rxq_capacity 0 or -1:
 * no receive queue; above 0: a receive ring of that many buffers (frames
 * arrive once a filter is added). With a receive queue, txq_capacity 0
 * means no transmit queue: transmit posts are refused. 0 on success, a
 * negative errno otherwise. */
int ef_vi_alloc_from_pd(ef_vi* vi, ef_driver_handle vi_dh, ef_pd* pd, ef_driver_handle pd_dh, int evq_capacity,
                        int rxq_capacity, int txq_capacity, ef_vi* evq_opt, ef_driver_handle evq_dh,
                        enum ef_vi_flags flags);
int ef_vi_free(ef_vi* vi, ef_driver_handle nic);
/* The interface's own MAC address, 6 bytes. */
int ef_vi_get_mac(ef_vi* vi, ef_driver_handle vi_dh, void* mac_out);

enum ef_filter_flags {
    EF_FILTER_FLAG_NONE = 0x0
};

/* What a filter matches. Only the port sniff is known here. */
typedef struct ef_filter_spec {
    unsigned HUX_STANDIN_PRIVATE(type); /* 0: nothing set yet */
    unsigned HUX_STANDIN_PRIVATE(flags);
    int HUX_STANDIN_PRIVATE(promiscuous);
} ef_filter_spec;

/* Names an added filter, for ef_vi_filter_del. */
typedef struct ef_filter_cookie {
    int HUX_STANDIN_PRIVATE(filter_id);
    int HUX_STANDIN_PRIVATE(filter_type);
} ef_filter_cookie;

void ef_filter_spec_init(ef_filter_spec* fs, enum ef_filter_flags flags);
/* Every IPv4 frame the interface receives; promiscuous: also frames to
 * other hosts' MAC addresses (the interface goes into promiscuous mode). */
int ef_filter_spec_set_port_sniff(ef_filter_spec* fs, int promiscuous);
/* 0 on success; -EINVAL for a VI without a receive queue or a filter that selects nothing,
 * -EBUSY when the VI already has its sniff filter. filter_cookie_out may
 * be null. */
int ef_vi_filter_add(ef_vi* vi, ef_driver_handle dh, const ef_filter_spec* fs, ef_filter_cookie* filter_cookie_out);
int ef_vi_filter_del(ef_vi* vi, ef_driver_handle dh, ef_filter_cookie* filter_cookie);

#ifdef __cplusplus
}
#endif

#endif
