#ifndef HUX_STANDIN_ETHERFABRIC_MEMREG_H
#define HUX_STANDIN_ETHERFABRIC_MEMREG_H

/* Registration of packet memory with the card: the card sees the memory
 * through DMA addresses, which are not the process's pointers. */
#include <stddef.h>

#include <etherfabric/base.h>
#include <etherfabric/pd.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ef_memreg {
    ef_addr HUX_STANDIN_PRIVATE(mr_dma_base); /* DMA address of the first byte */
    size_t HUX_STANDIN_PRIVATE(mr_len);
    int HUX_STANDIN_PRIVATE(mr_entry); /* the stand-in's registration entry, -1 when free */
} ef_memreg;

/* p_mem must be 4096-aligned: -EINVAL otherwise. */
int ef_memreg_alloc(ef_memreg* mr, ef_driver_handle mr_dh, ef_pd* pd, ef_driver_handle pd_dh, void* p_mem,
                    size_t len_bytes);
int ef_memreg_free(ef_memreg* mr, ef_driver_handle mr_dh);
ef_addr ef_memreg_dma_addr(ef_memreg* mr, size_t offset);

#ifdef __cplusplus
}
#endif

#endif
