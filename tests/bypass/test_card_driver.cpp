// Which card a local address is on, in the namespace pair: the client end's
// address leads to its veth, whose driver is "veth" (no bypass channel);
// addresses no interface holds, names no interface has and texts that are
// not addresses give no interface and the "other" kind, with the texts the
// session logs.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "bypass/card_driver.h"
#include "tests/support/netns_pair.h"
#include "tools/base_log.h"

using namespace hux_bypass;

TEST(CardDriver, KindsOfDriverNames) {
    EXPECT_EQ(classify_driver("sfc"), DRIVER_EF_VI);
    EXPECT_EQ(classify_driver("xilinx_efct"), DRIVER_EF_VI);
    EXPECT_EQ(classify_driver("exanic"), DRIVER_EXANIC);
    EXPECT_EQ(classify_driver("veth"), DRIVER_OTHER);
    EXPECT_EQ(classify_driver("sfc2"), DRIVER_OTHER);  // whole names only
    EXPECT_EQ(classify_driver(""), DRIVER_OTHER);
    EXPECT_EQ(classify_driver(nullptr), DRIVER_OTHER);
}

TEST(CardDriver, AddressToInterfaceToDriverOnTheVethPair) {
    HUX_NEED_NETNS();
    const std::string dev = hux_test::netns().client_if;

    char ifname[DEVICE_NAME_LEN] = "unchanged";
    ASSERT_TRUE(get_ifname_by_ip(hux_test::CLIENT_IP, ifname, nullptr));
    EXPECT_EQ(std::string(ifname), dev);
    EXPECT_TRUE(get_ifname_by_ip("127.0.0.1", ifname, nullptr));
    EXPECT_STREQ(ifname, "lo");
    // The peer's address is not this namespace's.
    std::strcpy(ifname, "unchanged");
    EXPECT_FALSE(get_ifname_by_ip(hux_test::PEER_IP, ifname, nullptr));
    EXPECT_FALSE(get_ifname_by_ip("10.77.0.01", ifname, nullptr));  // not the dotted text of any address
    EXPECT_FALSE(get_ifname_by_ip("", ifname, nullptr));
    EXPECT_STREQ(ifname, "unchanged");

    char driver[DEVICE_NAME_LEN] = "";
    ASSERT_TRUE(get_netcard_driver_type(dev.c_str(), driver, nullptr));
    EXPECT_STREQ(driver, "veth");

    char found[DEVICE_NAME_LEN] = "";
    EXPECT_EQ(get_device_driver_type(hux_test::CLIENT_IP, found), DRIVER_OTHER);
    EXPECT_EQ(std::string(found), dev);
    EXPECT_EQ(get_device_driver_type("192.0.2.1", found), DRIVER_OTHER);
}

TEST(CardDriver, MissingInterfaceLogsTheSystemsReason) {
    char dir[] = "/tmp/hux-card-driver-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/info.log";
    {
        base_log log;
        ASSERT_EQ(log.open(path.c_str()), 1);
        char driver[DEVICE_NAME_LEN] = "kept";
        EXPECT_FALSE(get_netcard_driver_type("nosuchdev0", driver, &log));
        EXPECT_STREQ(driver, "kept");
        log.flush_all();
    }
    FILE* f = std::fopen(path.c_str(), "r");
    ASSERT_NE(f, nullptr);
    char buf[4096] = {};
    const size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    const std::string text(buf, n);
    EXPECT_NE(text.find("[CTradeClient::get_netcard_driver_type] cannot get [nosuchdev0] driver information No such device"),
              std::string::npos)
        << text;
    std::remove(path.c_str());
    rmdir(dir);
}
