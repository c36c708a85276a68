#ifndef HUX_STANDIN_EXANIC_FIFO_TX_H
#define HUX_STANDIN_EXANIC_FIFO_TX_H

/* Transmit buffers of a card port. The stand-in's buffer is an AF_PACKET
 * socket bound to the port's interface: a frame goes out exactly as given. */
#include <stddef.h>

#include <exanic/exanic.h>
#include <exanic/time.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct exanic_tx exanic_tx_t;

/* A transmit buffer of the port; requested_size 0 is the default size. Null
 * with the reason in exanic_get_last_error(). */
exanic_tx_t* exanic_acquire_tx_buffer(exanic_t* exanic, int port_number, size_t requested_size);
void exanic_release_tx_buffer(exanic_tx_t* tx);

/* Sends one whole Ethernet frame: 0, or -1 with the reason in
 * exanic_get_last_error(). With warm non-zero the frame is only staged, to
 * keep the transmit path hot: nothing is sent (counted). */
int exanic_transmit_frame_ex(exanic_tx_t* tx, const char* frame, size_t frame_size, int warm);
int exanic_transmit_frame(exanic_tx_t* tx, const char* frame, size_t frame_size);

/* The card time at which the last frame sent through the buffer left, 0 when
 * the card has none for it. */
exanic_cycles_t exanic_get_tx_timestamp(exanic_tx_t* tx);

#ifdef __cplusplus
}
#endif

#endif
