// The connection state over a private message bus on which the test plays
// NetworkManager, so the real D-Bus conversation is exercised without any
// system service.
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "PrivateBus.h"
#include "connect/NetworkState.h"

namespace {

const std::string kActive = FakeNetworkManager::kActivePrefix;

TEST(NetworkManagerStateTest, ActivatedConnectionsGiveTheFlags) {
    PrivateBus bus;
    ASSERT_FALSE(bus.address().empty());
    ScopedSystemBus env(bus.address());
    SystemNetworkState state;
    std::uint32_t flags = 0;
    {
        FakeNetworkManager nm(bus.address(), {{kActive + "1", "802-3-ethernet", 2, "Wired", {}},
                                              {kActive + "2", "gsm", 2, "Mobile", {}},
                                              {kActive + "3", "loopback", 2, "lo", {}}});
        ASSERT_TRUE(nm.running());
        EXPECT_TRUE(state.GetConnectedState(flags));
        EXPECT_EQ(flags, INTERNET_CONNECTION_LAN | INTERNET_CONNECTION_MODEM);
    }
    {
        // NetworkManager's word counts even where interfaces are up.
        FakeNetworkManager nm(bus.address(), {{kActive + "4", "802-11-wireless", 1, "Cafe", {}},
                                              {kActive + "5", "loopback", 2, "lo", {}}});
        ASSERT_TRUE(nm.running());
        flags = 0xFF;
        EXPECT_FALSE(state.GetConnectedState(flags));
        EXPECT_EQ(flags, 0u);
    }
}

TEST(NetworkManagerStateTest, WithoutNetworkManagerTheInterfacesDecide) {
    PrivateBus bus;
    ASSERT_FALSE(bus.address().empty());
    SystemNetworkState state;
    std::uint32_t flags = 0xFF;
    const std::uint32_t expected = FlagsFromInterfaces(ReadInterfaces());
    {
        ScopedSystemBus env(bus.address());  // a bus, but nobody owns the name
        EXPECT_EQ(state.GetConnectedState(flags), expected != 0);
        EXPECT_EQ(flags, expected);
    }
    {
        ScopedSystemBus env("unix:path=/nonexistent/corvinaport-bus");
        flags = 0xFF;
        EXPECT_EQ(state.GetConnectedState(flags), expected != 0);
        EXPECT_EQ(flags, expected);
    }
}

}  // namespace
