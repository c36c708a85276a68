#ifndef HUX_STANDIN_ETHERFABRIC_CAPABILITIES_H
#define HUX_STANDIN_ETHERFABRIC_CAPABILITIES_H

/* What a card on an interface can do. Only the capability the senders ask
 * about is known here. */
#include <etherfabric/base.h>

#ifdef __cplusplus
extern "C" {
#endif

enum ef_vi_capability {
    EF_VI_CAP_CTPIO = 46 /* cut-through programmed I/O transmit */
};

/* 0 and *value on success, a negative errno when the query fails. */
int ef_vi_capabilities_get(ef_driver_handle handle, int ifindex, enum ef_vi_capability cap, unsigned long* value);

#ifdef __cplusplus
}
#endif

#endif
