#include "connect/NetworkState.h"

#include <gtest/gtest.h>

#include "ConnectTestSupport.h"
#include "connect/ConnectionManager.h"

namespace {

TEST(NetworkStateTest, FlagsFromInterfacesOrNetworkManagerAndLocalAddresses) {
    const InterfaceAddress lo = If("lo", "127.0.0.1", true, true);
    const InterfaceAddress down = If("eth1", "10.0.0.1", false);
    const InterfaceAddress linkLocal = If("eth0", "fe80::2", true, false, 6);
    const InterfaceAddress loopNet = If("br0", "127.0.1.1");
    struct Case {
        std::vector<InterfaceAddress> interfaces;
        std::uint32_t flags;
        Strings local;
    };
    const std::vector<Case> cases = {
        {{lo, down, linkLocal}, 0, {}},
        {{lo, loopNet, If("eth0", "192.168.0.2")}, INTERNET_CONNECTION_LAN, {"192.168.0.2"}},
        {{If("eth0", "2001:db8::5", true, false, 6)}, INTERNET_CONNECTION_LAN, {}},
        {{If("ppp0", "10.64.0.1")}, INTERNET_CONNECTION_MODEM, {"10.64.0.1"}},
        {{If("tun9", "10.8.0.1", true, false, 4, true), If("wlan0", "10.0.0.3")},
         INTERNET_CONNECTION_MODEM | INTERNET_CONNECTION_LAN,
         {"10.8.0.1", "10.0.0.3"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FlagsFromInterfaces(c.interfaces), c.flags) << c.interfaces.back().address;
        EXPECT_EQ(LocalAddressesOf(c.interfaces), c.local) << c.interfaces.back().address;
    }
    // NetworkManager's word: loop-back and connections still coming up never count.
    EXPECT_EQ(FlagsFromActiveConnections({{"loopback", 2}, {"802-3-ethernet", 1}}), 0u);
    EXPECT_EQ(FlagsFromActiveConnections({{"802-11-wireless", 2}}), INTERNET_CONNECTION_LAN);
    EXPECT_EQ(FlagsFromActiveConnections({{"pppoe", 2}, {"vpn", 2}}),
              INTERNET_CONNECTION_MODEM | INTERNET_CONNECTION_LAN);
}

TEST(NetworkStateTest, ThisMachinesLoopBackIsSeenButNeverCounts) {
    bool sawLoopback = false;
    for (const InterfaceAddress& a : ReadInterfaces())
        if (a.address == "127.0.0.1") sawLoopback = a.loopback;
    EXPECT_TRUE(sawLoopback);
    for (const std::string& a : LocalAddressesOf(ReadInterfaces()))
        EXPECT_NE(a.rfind("127.", 0), 0u) << a;
}

}  // namespace
