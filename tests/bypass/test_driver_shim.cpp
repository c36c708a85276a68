// The driver shim, preloaded by ctest (LD_PRELOAD, and HUX_DRIVER_SHIM
// naming "lo" at the start): the interfaces the variable names report its
// driver through the ethtool driver-information request, read anew at every
// call; every other interface and every other request reach the kernel. And
// the fake lspci, onload and modinfo, first on PATH, give the card and
// version lines through the exact commands a trade session runs.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bypass/card_driver.h"
#include "tests/support/netns_pair.h"

namespace {

// The driver an interface reports, or "errno N" when the request fails.
std::string drvinfo(const std::string& ifname) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return "no socket";
    ethtool_drvinfo info{};
    info.cmd = ETHTOOL_GDRVINFO;
    ifreq ifr{};
    std::strncpy(ifr.ifr_name, ifname.c_str(), IFNAMSIZ - 1);
    ifr.ifr_data = reinterpret_cast<char*>(&info);
    const int rc = ::ioctl(fd, SIOCETHTOOL, &ifr);
    const int err = errno;
    ::close(fd);
    if (rc != 0) return "errno " + std::to_string(err);
    return std::string(info.driver, strnlen(info.driver, sizeof(info.driver)));
}

void name_drivers(const std::string& value) { ASSERT_EQ(::setenv("HUX_DRIVER_SHIM", value.c_str(), 1), 0); }

// The whole standard output of a shell command.
std::string run(const char* command) {
    FILE* p = ::popen(command, "r");
    if (p == nullptr) return "popen failed";
    std::string out;
    char buf[256];
    size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof(buf), p)) > 0) out.append(buf, n);
    ::pclose(p);
    return out;
}

}  // namespace

TEST(DriverShim, IsPreloadedAheadOfTheCLibrary) {
    void* found = ::dlsym(RTLD_DEFAULT, "ioctl");
    Dl_info where{};
    ASSERT_NE(found, nullptr);
    ASSERT_NE(::dladdr(found, &where), 0);
    EXPECT_NE(std::string(where.dli_fname).find("hux_driver_shim"), std::string::npos)
        << "ioctl comes from " << where.dli_fname << "; run through ctest, which preloads the shim";
}

TEST(DriverShim, NamedLoopbackReportsTheGivenDriverAndOtherRequestsPassThrough) {
    // ctest names lo; the kernel's lo has no driver information at all.
    ASSERT_STREQ(std::getenv("HUX_DRIVER_SHIM"), "lo=sfc");
    EXPECT_EQ(drvinfo("lo"), "sfc");
    name_drivers("");
    EXPECT_EQ(drvinfo("lo"), "errno " + std::to_string(EOPNOTSUPP));
    name_drivers("eth9=exanic,lo=xilinx_efct,lo=sfc");  // the first entry for lo wins
    EXPECT_EQ(drvinfo("lo"), "xilinx_efct");

    // Other requests on the named interface reach the kernel: its address,
    // and the link state (another ethtool command) of lo, which is up.
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    ifreq ifr{};
    std::strcpy(ifr.ifr_name, "lo");
    ASSERT_EQ(::ioctl(fd, SIOCGIFADDR, &ifr), 0);
    EXPECT_EQ(ntohl(reinterpret_cast<sockaddr_in*>(&ifr.ifr_addr)->sin_addr.s_addr), INADDR_LOOPBACK);
    ethtool_value link{};
    link.cmd = ETHTOOL_GLINK;
    ifr.ifr_data = reinterpret_cast<char*>(&link);
    ASSERT_EQ(::ioctl(fd, SIOCETHTOOL, &ifr), 0);
    EXPECT_EQ(link.data, 1u);
    EXPECT_EQ(link.cmd, static_cast<uint32_t>(ETHTOOL_GLINK));  // untouched by the shim
    ::close(fd);

    // Entries without an interface, a driver or an '=', and drivers longer
    // than the field, are skipped.
    for (const char* skipped : {"=sfc", "lo", "lo=", "lo=" "0123456789abcdef0123456789abcdef", ",,"}) {
        name_drivers(skipped);
        EXPECT_EQ(drvinfo("lo"), "errno " + std::to_string(EOPNOTSUPP)) << skipped;
    }
    name_drivers("lo=sfc");
}

TEST(DriverShim, VethReportsTheNamedDriverFromTheNextCallOn) {
    HUX_NEED_NETNS();
    const std::string dev = hux_test::netns().client_if;
    char ifname[hux_bypass::DEVICE_NAME_LEN] = "";
    char driver[hux_bypass::DEVICE_NAME_LEN] = "";

    // Not named: the kernel's own answer, also through the session's lookup.
    name_drivers("lo=sfc");
    EXPECT_EQ(drvinfo(dev), "veth");
    EXPECT_EQ(hux_bypass::get_device_driver_type(hux_test::CLIENT_IP, ifname), hux_bypass::DRIVER_OTHER);
    EXPECT_EQ(std::string(ifname), dev);

    // Each change of the variable counts from the next call.
    const std::pair<const char*, int> drivers[] = {
        {"sfc", hux_bypass::DRIVER_EF_VI}, {"xilinx_efct", hux_bypass::DRIVER_EF_VI},
        {"exanic", hux_bypass::DRIVER_EXANIC}};
    for (const auto& d : drivers) {
        name_drivers("lo=sfc," + dev + "=" + d.first);
        EXPECT_EQ(drvinfo(dev), d.first);
        ASSERT_TRUE(hux_bypass::get_netcard_driver_type(dev.c_str(), driver, nullptr));
        EXPECT_STREQ(driver, d.first);
        EXPECT_EQ(hux_bypass::get_device_driver_type(hux_test::CLIENT_IP, ifname), d.second) << d.first;
    }

    // Whole names only: a prefix or a longer name of the interface is another
    // interface, and the peer's end is not this namespace's.
    name_drivers(dev.substr(0, dev.size() - 1) + "=sfc," + dev + "0=sfc");
    EXPECT_EQ(drvinfo(dev), "veth");
    name_drivers(hux_test::netns().peer_if + "=sfc");
    EXPECT_EQ(drvinfo(hux_test::netns().peer_if), "sfc");  // answered by name, whatever the namespace
    EXPECT_EQ(drvinfo(dev), "veth");
    name_drivers("lo=sfc");
}

TEST(DriverShim, FakeToolsFirstOnPathGiveTheSessionsVersionLines) {
    const std::string path = std::string(HUX_FAKEBIN_DIR) + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "");
    ASSERT_EQ(::setenv("PATH", path.c_str(), 1), 0);

    // The card lines: Solarflare's two ports give one line; the Alveo card's
    // product name; each ends in the newline the session drops.
    EXPECT_EQ(run("lspci -vvv | grep Solar | grep Subsystem | awk -F: '{print $2}' | awk '!seen[$0]++'"),
              " Solarflare Communications XtremeScale X2522-25G Network Adapter\n");
    EXPECT_EQ(run("lspci -vvv | grep ALVEO | grep Name | awk -F: '{print $2}' | awk '!seen[$0]++'"),
              " AMD ALVEO X3522PV 10/25GbE Network Adapter\n");
    // printf of the text after each line's first colon, without newlines.
    EXPECT_EQ(run("onload --version|awk -F: '{printf $2}'"),
              " Jan 16 2024 08 <ci/internal/transport_config_opt_extra.h>");
    EXPECT_EQ(run("modinfo exanic | grep -w version"), "version:        2.7.3\n");

    // Anything else is refused, so a command the session does not run cannot
    // pass for one it does.
    EXPECT_EQ(run("lspci -v 2>/dev/null; echo $?"), "1\n");
    EXPECT_EQ(run("onload 2>/dev/null; echo $?"), "1\n");
    EXPECT_EQ(run("modinfo sfc 2>/dev/null; echo $?"), "1\n");
}
