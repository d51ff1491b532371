#include "connect/ConnectionManager.h"

#include <gtest/gtest.h>

#include <tuple>

#include "ConnectTestSupport.h"
#include "app/core/AppSettings.h"
#include "connect/RasDialer.h"
#include "support/FakeClock.h"
#include "support/FakeProgress.h"
#include "support/ScriptedMessageBox.h"

namespace {

class ConnectionManagerTest : public ::testing::Test {
  protected:
    void SetUp() override { RasDialer::ClearNotifiedError(); }

    // The Connection key of this type, plus any further keys.
    void Configure(const std::string& type, const std::string& more = "") {
        reg.Write(Store(ProductKey("Connection") + Sz("ConnectionType", type) +
                        Sz("PrimaryDUN", "Office") + Sz("PrimaryUserName", "cfg-user") +
                        Sz("AOLUserName", "screen") +
                        Sz("AOLPassword", *ScramblePassword("aol-pw", 0x5A)) + more));
    }
    // The online service, with a client in that state.
    void ConfigureAol(const std::string& client) {
        Configure("AOL", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\America Online\\America Online\\4.0]\r\n");
        qv.Write(client);
    }
    bool Ensure() { return manager.EnsureOnline(boxes, progress); }

    EnvFile reg{"CORVINAPORT_REGISTRY"};
    EnvFile ras{"CORVINAPORT_RAS_SCRIPT", "entry Office\nstate Connected\n"};
    EnvFile rasLog{"CORVINAPORT_RAS_LOG"};
    EnvFile qv{"CORVINAPORT_QRVAOL_STATE"};
    FakeNetworkState network;
    FakeClock clock;
    ConnectionManager manager{network, clock};
    ScriptedMessageBox boxes;
    FakeProgressFactory progress;
};

TEST_F(ConnectionManagerTest, OtherTypesCountAsOnlineWithoutAnyCheck) {
    for (const char* type : {"", "lan", "dun", "Aol", "Cable"}) {
        Configure(type);
        EXPECT_TRUE(Ensure()) << type;
    }
    reg.Write(Store(""));  // no Connection key at all
    EXPECT_TRUE(Ensure());
    EXPECT_TRUE(boxes.boxes.empty() && network.stateQueries == 0 && rasLog.Read().empty());
}

TEST_F(ConnectionManagerTest, LocalNetworkNeedsAnAddressBesideLoopback) {
    Configure("LAN");
    network.interfaces = {If("lo", "127.0.0.1", true, true), If("eth0", "192.168.1.5", false)};
    EXPECT_FALSE(Ensure());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Not Connected to the Internet");
    EXPECT_EQ(boxes.boxes[0].caption, "Send a Fax - Corvinaport");
    network.interfaces.push_back(If("wlan0", "10.1.2.3"));
    EXPECT_TRUE(Ensure() && boxes.boxes.size() == 1u);
}

TEST_F(ConnectionManagerTest, DialUp) {
    Configure("DUN");
    network.flags = INTERNET_CONNECTION_MODEM | INTERNET_CONNECTION_LAN;
    EXPECT_TRUE(Ensure());  // a modem connection is up
    EXPECT_TRUE(boxes.boxes.empty());

    network.flags = INTERNET_CONNECTION_LAN;  // a network, but no modem
    EXPECT_TRUE(Ensure());
    EXPECT_EQ(boxes.Texts(), (Strings{"Connect to the Internet?"}));
    EXPECT_NE(rasLog.Read().find("dial Office phone= user=cfg-user "), std::string::npos);

    ras.Write("entry Office\nactive Other\n");  // now up: nothing is asked
    EXPECT_TRUE(Ensure() && boxes.boxes.size() == 1u);
    ras.Write("entry Office\n");
    boxes = ScriptedMessageBox();
    boxes.Answer(MbResult::Cancel);
    EXPECT_FALSE(Ensure());
    EXPECT_EQ(boxes.Texts(),
              (Strings{"Connect to the Internet?", "Not Connected to the Internet"}));

    ConnectionManager noRas(network, clock, ConnectionLibraries{"libcorvinaport-no-ras.so", {}});
    boxes = ScriptedMessageBox();
    EXPECT_FALSE(noRas.EnsureOnline(boxes, progress));
    EXPECT_EQ(boxes.Texts(), (Strings{"Not Connected to the Internet"}));
}

TEST_F(ConnectionManagerTest, OnlineService) {
    const Strings failed = {"Connect to AOL?", "Not Connected to AOL"};
    struct Case {
        std::string client;
        bool refuse, online;
        Strings boxes;
    };
    const std::vector<Case> cases = {
        {"connected=1\n", false, true, {}},
        // Signs on with the configured account.
        {"running=1\nsignon-window=1\nscreen-name=screen\npassword=aol-pw\n",
         false,
         true,
         {"Connect to AOL?"}},
        {"start-result=1\n", false, false, failed},
        {"start-result=1\ncs2k=1\n",
         false,
         false,
         {"Connect to CompuServe?", "Not Connected to CompuServe"}},
        {"running=1\n", true, false, {"Connect to AOL?"}},  // a refusal is silent
        {"info=1\n", false, false, {}},                     // so is unavailable information
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.client);
        ConfigureAol(c.client);
        boxes = ScriptedMessageBox();
        if (c.refuse) boxes.Answer(MbResult::Cancel);
        ConnectionManager fresh(network, clock);
        EXPECT_EQ(fresh.EnsureOnline(boxes, progress), c.online);
        EXPECT_EQ(boxes.Texts(), c.boxes);
    }
    Configure("AOL");  // no client installed
    boxes = ScriptedMessageBox();
    EXPECT_FALSE(Ensure());
    EXPECT_EQ(boxes.Texts(), failed);
}

TEST_F(ConnectionManagerTest, KindsReadTheirFlags) {
    using K = ConnectionManager::Kind;
    ConfigureAol("connected=1\n");
    const std::tuple<K, std::uint32_t, bool> cases[] = {
        {K::DialUp, INTERNET_CONNECTION_LAN, false},
        {K::DialUp, INTERNET_CONNECTION_MODEM, true},
        {K::OnlineService, INTERNET_CONNECTION_PROXY, false},
        {K::OnlineService, 0, false},
        {K::OnlineService, INTERNET_CONNECTION_LAN, true},
        {K::OnlineService, INTERNET_CONNECTION_MODEM_BUSY, true}};
    for (auto [kind, flags, online] : cases) {
        network.flags = flags;
        EXPECT_EQ(manager.IsOnline(kind), online) << flags;
    }
}

}  // namespace
