#ifndef HUX_STANDIN_EXANIC_EXANIC_H
#define HUX_STANDIN_EXANIC_EXANIC_H

/* The card handle of our libexanic stand-in. A device is named "exanicN";
 * only "exanic0" exists, and its port k is the k-th interface named by the
 * HUX_EXANIC_PORTS setting (standin_exanic.h). */
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct exanic exanic_t;

/* The device and port behind an interface name: 0 with the device name
 * ("exanic0", at most device_len - 1 characters) and the port number, -1 when
 * the interface is not a port of a card. */
int exanic_find_port_by_interface_name(const char* name, char* device, size_t device_len, int* port_number);

/* The handle of the named device, or null with the reason in
 * exanic_get_last_error(). */
exanic_t* exanic_acquire_handle(const char* device_name);
void exanic_release_handle(exanic_t* exanic);

/* Text of the last failure of this thread's calls. */
const char* exanic_get_last_error(void);

#ifdef __cplusplus
}
#endif

#endif
