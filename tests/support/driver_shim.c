/* The driver shim: an LD_PRELOAD library that makes chosen interfaces
 * report a network card's driver. It answers ioctl(SIOCETHTOOL) with the
 * driver-information command (ETHTOOL_GDRVINFO) for the interfaces that
 * HUX_DRIVER_SHIM names, read at every call:
 *
 *     HUX_DRIVER_SHIM="v0=sfc,v1=exanic"
 *
 * Each entry is interface=driver (driver up to 31 characters, e.g. "sfc",
 * "xilinx_efct", "exanic"); the first entry naming the interface wins and
 * entries without both parts are skipped. Every other call, and every call
 * for an interface not named, goes to the next ioctl in the lookup order
 * (the C library's, or a sanitizer's in front of it). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>

#define SHIM_EXPORT __attribute__((visibility("default")))

typedef int (*ioctl_fn)(int, unsigned long, ...);

static ioctl_fn next_ioctl(void) {
    static ioctl_fn next;
    ioctl_fn fn = __atomic_load_n(&next, __ATOMIC_ACQUIRE);
    if (fn == NULL) {
        fn = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
        __atomic_store_n(&next, fn, __ATOMIC_RELEASE);
    }
    return fn;
}

/* The driver the variable gives the interface `name` (`len` bytes) into
 * `driver`; 0 when it names none. */
static int driver_for(const char* name, size_t len, char driver[32]) {
    const char* entry = getenv("HUX_DRIVER_SHIM");
    if (entry == NULL || len == 0) return 0;
    while (*entry != '\0') {
        const char* end = strchr(entry, ',');
        if (end == NULL) end = entry + strlen(entry);
        const char* eq = memchr(entry, '=', (size_t)(end - entry));
        if (eq != NULL) {
            const size_t name_len = (size_t)(eq - entry);
            const size_t driver_len = (size_t)(end - eq - 1);
            if (name_len == len && memcmp(entry, name, len) == 0 && driver_len > 0 && driver_len < 32) {
                memset(driver, 0, 32);
                memcpy(driver, eq + 1, driver_len);
                return 1;
            }
        }
        entry = *end == ',' ? end + 1 : end;
    }
    return 0;
}

SHIM_EXPORT int ioctl(int fd, unsigned long request, ...) {
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);

    if (request == SIOCETHTOOL && arg != NULL) {
        struct ifreq* ifr = (struct ifreq*)arg;
        struct ethtool_drvinfo* info = (struct ethtool_drvinfo*)ifr->ifr_data;
        char driver[32];
        if (info != NULL && info->cmd == ETHTOOL_GDRVINFO &&
            driver_for(ifr->ifr_name, strnlen(ifr->ifr_name, IFNAMSIZ), driver)) {
            memset(info, 0, sizeof(*info));
            info->cmd = ETHTOOL_GDRVINFO;
            memcpy(info->driver, driver, sizeof(info->driver));
            strcpy(info->version, "shim");
            strcpy(info->bus_info, "0000:00:00.0");
            return 0;
        }
    }
    ioctl_fn next = next_ioctl();
    if (next == NULL) {
        errno = ENOSYS;
        return -1;
    }
    return next(fd, request, arg);
}
