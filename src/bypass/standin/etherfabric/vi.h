#ifndef HUX_STANDIN_ETHERFABRIC_VI_H
#define HUX_STANDIN_ETHERFABRIC_VI_H

/* Allocation of a virtual interface in a protection domain. */
#include <etherfabric/base.h>
#include <etherfabric/ef_vi.h>
#include <etherfabric/pd.h>

#ifdef __cplusplus
extern "C" {
#endif

/* evq_capacity, rxq_capacity, txq_capacity: -1 for the default; this
 * stand-in has no receive path. 0 on success, a negative errno otherwise. */
int ef_vi_alloc_from_pd(ef_vi* vi, ef_driver_handle vi_dh, ef_pd* pd, ef_driver_handle pd_dh, int evq_capacity,
                        int rxq_capacity, int txq_capacity, ef_vi* evq_opt, ef_driver_handle evq_dh,
                        enum ef_vi_flags flags);
int ef_vi_free(ef_vi* vi, ef_driver_handle nic);
/* The interface's own MAC address, 6 bytes. */
int ef_vi_get_mac(ef_vi* vi, ef_driver_handle vi_dh, void* mac_out);

#ifdef __cplusplus
}
#endif

#endif
