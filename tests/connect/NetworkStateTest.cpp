#include "connect/NetworkState.h"

#include <gtest/gtest.h>

#include "connect/ConnectionManager.h"

namespace {

InterfaceAddress If(const char* name, const char* address, int family = 4, bool p2p = false) {
    InterfaceAddress a;
    a.name = name;
    a.address = address;
    a.family = family;
    a.up = true;
    a.pointToPoint = p2p;
    return a;
}

TEST(NetworkStateTest, InterfaceFlags) {
    InterfaceAddress lo = If("lo", "127.0.0.1");
    lo.loopback = true;
    InterfaceAddress down = If("eth1", "10.0.0.1");
    down.up = false;
    EXPECT_EQ(FlagsFromInterfaces({lo, down, If("eth0", "fe80::2", 6)}), 0u);
    EXPECT_EQ(FlagsFromInterfaces({lo, If("eth0", "192.168.0.2")}), INTERNET_CONNECTION_LAN);
    EXPECT_EQ(FlagsFromInterfaces({If("eth0", "2001:db8::5", 6)}), INTERNET_CONNECTION_LAN);
    EXPECT_EQ(FlagsFromInterfaces({If("ppp0", "10.64.0.1")}), INTERNET_CONNECTION_MODEM);
    EXPECT_EQ(FlagsFromInterfaces({If("tun9", "10.8.0.1", 4, true), If("wlan0", "10.0.0.3")}),
              INTERNET_CONNECTION_MODEM | INTERNET_CONNECTION_LAN);
}

TEST(NetworkStateTest, NetworkManagerConnectionFlags) {
    EXPECT_EQ(FlagsFromActiveConnections({}), 0u);
    EXPECT_EQ(FlagsFromActiveConnections({{"loopback", 2}, {"802-3-ethernet", 1}}), 0u);
    EXPECT_EQ(FlagsFromActiveConnections({{"802-11-wireless", 2}}), INTERNET_CONNECTION_LAN);
    EXPECT_EQ(FlagsFromActiveConnections({{"gsm", 2}}), INTERNET_CONNECTION_MODEM);
    EXPECT_EQ(FlagsFromActiveConnections({{"pppoe", 2}, {"vpn", 2}}),
              INTERNET_CONNECTION_MODEM | INTERNET_CONNECTION_LAN);
}

TEST(NetworkStateTest, ThisMachine) {
    // The loop-back interface is seen but never counts.
    bool sawLoopback = false;
    for (const InterfaceAddress& a : ReadInterfaces()) {
        if (a.address == "127.0.0.1") {
            sawLoopback = true;
            EXPECT_TRUE(a.loopback);
        }
    }
    EXPECT_TRUE(sawLoopback);
    for (const std::string& a : LocalAddressesOf(ReadInterfaces()))
        EXPECT_NE(a.rfind("127.", 0), 0u) << a;

    SystemNetworkState state;
    std::uint32_t flags = 0xFFu;
    bool up = state.GetConnectedState(flags);
    EXPECT_EQ(up, flags != 0);
    EXPECT_EQ(flags & ~(INTERNET_CONNECTION_MODEM | INTERNET_CONNECTION_LAN), 0u);
}

}  // namespace
