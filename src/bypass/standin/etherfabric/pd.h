#ifndef HUX_STANDIN_ETHERFABRIC_PD_H
#define HUX_STANDIN_ETHERFABRIC_PD_H

/* Protection domain: the interface a virtual interface and its registered
 * memory belong to. */
#include <etherfabric/base.h>

#ifdef __cplusplus
extern "C" {
#endif

enum ef_pd_flags {
    EF_PD_DEFAULT = 0x0
};

typedef struct ef_pd {
    int HUX_STANDIN_PRIVATE(pd_ifindex); /* the interface's index, 0 when not allocated */
    char HUX_STANDIN_PRIVATE(pd_intf_name)[16];
    enum ef_pd_flags HUX_STANDIN_PRIVATE(pd_flags);
} ef_pd;

/* Needs the interface to exist: -ENODEV otherwise. */
int ef_pd_alloc_by_name(ef_pd* pd, ef_driver_handle pd_dh, const char* cluster_or_intf_name, enum ef_pd_flags flags);
int ef_pd_free(ef_pd* pd, ef_driver_handle pd_dh);

#ifdef __cplusplus
}
#endif

#endif
