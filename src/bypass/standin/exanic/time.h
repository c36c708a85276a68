#ifndef HUX_STANDIN_EXANIC_TIME_H
#define HUX_STANDIN_EXANIC_TIME_H

/* The card's clock. It counts cycles of its own; the stand-in's card ticks
 * once per nanosecond and reads CLOCK_REALTIME moved by the live
 * HUX_EXANIC_CLOCK_OFFSET_NS setting. */
#include <stdint.h>

#include <exanic/exanic.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint64_t exanic_cycles_t;

/* The card clock now (0 without a handle). Every read is counted. */
exanic_cycles_t exanic_read_card_clock(exanic_t* exanic);

/* Card cycles as nanoseconds since the epoch of the card clock. */
uint64_t exanic_cycles_to_ns(exanic_t* exanic, exanic_cycles_t cycles);

#ifdef __cplusplus
}
#endif

#endif
