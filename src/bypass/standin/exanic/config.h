#ifndef HUX_STANDIN_EXANIC_CONFIG_H
#define HUX_STANDIN_EXANIC_CONFIG_H

/* What a card says about itself. */
#include <exanic/exanic.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The card's hardware type (the HUX_EXANIC_HW_TYPE setting), -1 without a
 * handle. */
int exanic_get_hw_type(exanic_t* exanic);

#ifdef __cplusplus
}
#endif

#endif
