#ifndef HUX_STANDIN_ETHERFABRIC_BASE_H
#define HUX_STANDIN_ETHERFABRIC_BASE_H

/* The driver handle and the address and identifier types every other part
 * of the library uses. In this stand-in a driver handle is an ordinary open
 * file descriptor, so a handle that is never closed shows as a leaked
 * descriptor. */
#include <stdint.h>

/* The members of the stand-in's structures (ef_vi, ef_event, ef_pd,
 * ef_memreg, the filter records) are its own: the real library's differ,
 * and code outside the stand-in reaches them only through the library's
 * calls and macros. Compiled with HUX_STANDIN_HIDE_PRIVATE (the check
 * bypass_vendor_names), every member takes a name no caller spells, so a
 * use of one outside the stand-in fails to compile. */
#ifdef HUX_STANDIN_HIDE_PRIVATE
#define HUX_STANDIN_PRIVATE(name) hux_standin_private_##name
#else
#define HUX_STANDIN_PRIVATE(name) name
#endif

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
