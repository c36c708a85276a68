#ifndef HUX_STANDIN_ETHERFABRIC_BASE_H
#define HUX_STANDIN_ETHERFABRIC_BASE_H

/* The driver handle and the address and identifier types every other part
 * of the library uses. In this stand-in a driver handle is an ordinary open
 * file descriptor, so a handle that is never closed shows as a leaked
 * descriptor. */
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int ef_driver_handle;
/* An address the card reads by DMA: never a pointer of the process. */
typedef uint64_t ef_addr;
typedef int ef_request_id;

int ef_driver_open(ef_driver_handle* dh_out);
int ef_driver_close(ef_driver_handle dh);

#ifdef __cplusplus
}
#endif

#endif
