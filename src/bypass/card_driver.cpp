#include "bypass/card_driver.h"

#include <arpa/inet.h>
#include <linux/ethtool.h>
#include <linux/netlink.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/base_log.h"

namespace hux_bypass {

namespace {

void log_info(base_log* log, char const* text) {
    if (log) log->write_txt("info", text);
}

// Copies at most 15 characters and the zero.
void keep_name(char* out, char const* name) {
    const size_t n = strnlen(name, DEVICE_NAME_LEN - 1);
    std::memcpy(out, name, n);
    out[n] = '\0';
}

}  // namespace

int classify_driver(char const* driver_name) {
    if (!driver_name) return DRIVER_OTHER;
    if (std::strcmp(driver_name, "sfc") == 0 || std::strcmp(driver_name, "xilinx_efct") == 0) return DRIVER_EF_VI;
    if (std::strcmp(driver_name, "exanic") == 0) return DRIVER_EXANIC;
    return DRIVER_OTHER;
}

bool get_ifname_by_ip(char const* ip, char* ifname, base_log* log) {
    if (!ip || !ifname) return false;
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        log_info(log, "[CTradeClient::get_ifname_by_ip] creat socket fail.");
        return false;
    }
    bool found = false;
    if (struct if_nameindex* list = if_nameindex()) {
        for (struct if_nameindex* i = list; i->if_index != 0 && !found; ++i) {
            ifreq req;
            std::memset(&req, 0, sizeof req);
            std::strncpy(req.ifr_name, i->if_name, IFNAMSIZ - 1);
            req.ifr_addr.sa_family = AF_INET;
            if (ioctl(fd, SIOCGIFADDR, &req) != 0) continue;
            char text[INET_ADDRSTRLEN];
            const sockaddr_in* addr = reinterpret_cast<sockaddr_in*>(&req.ifr_addr);
            if (!inet_ntop(AF_INET, &addr->sin_addr, text, sizeof text)) continue;
            if (std::strcmp(text, ip) == 0) {
                keep_name(ifname, req.ifr_name);
                found = true;
            }
        }
        if_freenameindex(list);
    }
    close(fd);
    return found;
}

bool get_netcard_driver_type(char const* ifname, char* driver, base_log* log) {
    if (!ifname || !driver) return false;
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_GENERIC);
    if (fd < 0) {
        log_info(log, "[CTradeClient::get_netcard_driver_type] Cannot get control socket");
        return false;
    }
    ethtool_drvinfo info;
    std::memset(&info, 0, sizeof info);
    info.cmd = ETHTOOL_GDRVINFO;
    ifreq req;
    std::memset(&req, 0, sizeof req);
    std::strncpy(req.ifr_name, ifname, IFNAMSIZ - 1);
    req.ifr_data = reinterpret_cast<char*>(&info);
    const bool ok = ioctl(fd, SIOCETHTOOL, &req) == 0;
    const int error = errno;
    close(fd);
    if (!ok) {
        char text[256];
        std::snprintf(text, sizeof text, "[CTradeClient::get_netcard_driver_type] cannot get [%s] driver information %s",
                      req.ifr_name, std::strerror(error));
        log_info(log, text);
        return false;
    }
    info.driver[sizeof info.driver - 1] = '\0';
    keep_name(driver, info.driver);
    return true;
}

int get_device_driver_type(char const* ip, char* ifname) {
    char driver[DEVICE_NAME_LEN];
    if (!get_ifname_by_ip(ip, ifname, nullptr)) return DRIVER_OTHER;
    if (!get_netcard_driver_type(ifname, driver, nullptr)) return DRIVER_OTHER;
    return classify_driver(driver);
}

}  // namespace hux_bypass
