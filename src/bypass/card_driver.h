#pragma once

// Which network card a local address is on: the interface that owns the
// address, the name of its driver (the ethtool driver information), and the
// kind of order channel that driver offers. Both trade sessions choose their
// kernel-bypass transports from it.
class base_log;

namespace hux_bypass {

// Driver kinds: Solarflare ef_vi ("sfc", "xilinx_efct"), ExaNIC ("exanic"),
// anything else.
enum { DRIVER_EF_VI = 0, DRIVER_EXANIC = 1, DRIVER_OTHER = 2 };

// Interface and driver names are kept in 16 bytes (15 characters and a zero).
constexpr int DEVICE_NAME_LEN = 16;

int classify_driver(char const* driver_name);

// The first interface whose IPv4 address is ip (dotted text), into ifname
// (16 bytes). false when none has it, or when no socket could be opened
// (logged under "info").
bool get_ifname_by_ip(char const* ip, char* ifname, base_log* log);

// The driver name of the interface into driver (16 bytes, cut to 15
// characters). false, with its text under "info", when no control socket
// opens or the interface gives no driver information.
bool get_netcard_driver_type(char const* ifname, char* driver, base_log* log);

// The driver kind of the interface that owns ip, its name into ifname (16
// bytes); DRIVER_OTHER when the interface or its driver cannot be found.
int get_device_driver_type(char const* ip, char* ifname);

}  // namespace hux_bypass
