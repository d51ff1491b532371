#include "connect/ConnectionManager.h"

#include <gtest/gtest.h>

#include "ConnectTestSupport.h"
#include "app/AppSettings.h"
#include "connect/RasDialer.h"
#include "tests/support/FakeClock.h"
#include "tests/support/ScriptedMessageBox.h"

namespace {

using Strings = std::vector<std::string>;

InterfaceAddress If(const char* name, const char* address, bool up = true, bool loopback = false,
                    int family = 4) {
    InterfaceAddress a;
    a.name = name;
    a.address = address;
    a.up = up;
    a.loopback = loopback;
    a.family = family;
    return a;
}

std::string Scrambled(const std::string& plain) { return *ScramblePassword(plain, 0x5A); }

class ConnectionManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ras.Fn<void (*)()>("FakeRas_Reset")();
        ras.Fn<void (*)(const char*, const char*, const char*, const char*)>("FakeRas_AddEntry")(
            "Office", "5551234", "stored-user", "stored-pw");
        qv.Fn<void (*)()>("FakeQv_Reset")();
        RasDialer::ClearNotifiedError();
    }

    // The Connection key with these values, plus any further sections.
    void Configure(const std::string& type, const std::string& more = "") {
        reg.Write(
            "[HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Corvinaport\\Connection]\r\n"
            "\"ConnectionType\"=\"" +
            type +
            "\"\r\n"
            "\"PrimaryDUN\"=\"Office\"\r\n"
            "\"PrimaryUserName\"=\"cfg-user\"\r\n"
            "\"PrimaryPassword\"=\"" +
            Scrambled("cfg-pw") +
            "\"\r\n"
            "\"AOLUserName\"=\"screen\"\r\n"
            "\"AOLPassword\"=\"" +
            Scrambled("aol-pw") + "\"\r\n\r\n" + more);
    }
    void ConfigureAol(bool compuserve) {
        Configure("AOL", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\America Online\\America Online\\4.0]\r\n");
        QvSet("cs2k", compuserve ? 1 : 0);
    }
    void QvSet(const char* k, int v) { qv.Fn<void (*)(const char*, int)>("FakeQv_Set")(k, v); }
    int QvGet(const char* k) { return qv.Fn<int (*)(const char*)>("FakeQv_Get")(k); }
    int RasDials() { return ras.Fn<int (*)()>("FakeRas_DialCount")(); }

    bool Ensure() { return manager.EnsureOnline(boxes, progress); }

    ScopedRegistry reg;
    FakeLib ras{FAKE_RAS};
    FakeLib qv{FAKE_QV40};
    FakeNetworkState network;
    FakeClock clock;
    ConnectionManager manager{network, clock,
                              ConnectionLibraries{FAKE_RAS, {FAKE_QV40, FAKE_QV30}}};
    ScriptedMessageBox boxes;
    RecordingProgressFactory progress;
};

TEST(LocalAddressesTest, UpIpv4AddressesWithoutLoopback) {
    std::vector<InterfaceAddress> list = {
        If("lo", "127.0.0.1", true, true),
        If("eth0", "192.168.1.5"),
        If("eth0", "fe80::1", true, false, 6),
        If("eth1", "10.0.0.7", false),
        If("br0", "127.0.1.1"),
        If("wlan0", "172.16.0.9"),
    };
    EXPECT_EQ(LocalAddressesOf(list), (Strings{"192.168.1.5", "172.16.0.9"}));
    EXPECT_TRUE(LocalAddressesOf({If("lo", "127.0.0.1", true, true)}).empty());
}

TEST_F(ConnectionManagerTest, OtherTypesCountAsOnlineWithoutAnyCheck) {
    for (const char* type : {"", "lan", "dun", "Aol", "Cable"}) {
        Configure(type);
        EXPECT_TRUE(Ensure()) << type;
    }
    reg.Write("");  // no Connection key at all
    EXPECT_TRUE(Ensure());
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(network.stateQueries, 0);
    EXPECT_EQ(RasDials(), 0);
}

TEST_F(ConnectionManagerTest, LocalNetworkNeedsAnAddressBesideLoopback) {
    Configure("LAN");
    network.interfaces = {If("lo", "127.0.0.1", true, true), If("eth0", "192.168.1.5", false)};
    EXPECT_FALSE(Ensure());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Not Connected to the Internet");
    EXPECT_EQ(boxes.boxes[0].caption, "Send a Fax - Corvinaport");
    EXPECT_EQ(boxes.boxes[0].buttons, MbButtons::Ok);

    network.interfaces.push_back(If("wlan0", "10.1.2.3"));
    EXPECT_TRUE(Ensure());
    EXPECT_EQ(boxes.boxes.size(), 1u);
}

TEST_F(ConnectionManagerTest, DialUpWithAModemConnectionAsksNothing) {
    Configure("DUN");
    network.flags = INTERNET_CONNECTION_MODEM | INTERNET_CONNECTION_LAN;
    EXPECT_TRUE(Ensure());
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(RasDials(), 0);
}

TEST_F(ConnectionManagerTest, DialUpDialsTheConfiguredEntryWithItsCredentials) {
    Configure("DUN");
    network.flags = INTERNET_CONNECTION_LAN;  // a network, but no modem
    ras.Fn<void (*)(const char*)>("FakeRas_ScriptAttempt")("0 8192");
    EXPECT_TRUE(Ensure());
    EXPECT_EQ(boxes.Texts(), (Strings{"Connect to the Internet?"}));
    RASDIALPARAMSA p{};
    int phonebookGiven = 0;
    ras.Fn<void (*)(RASDIALPARAMSA*, int*)>("FakeRas_LastParams")(&p, &phonebookGiven);
    EXPECT_STREQ(p.szEntryName, "Office");
    EXPECT_STREQ(p.szUserName, "cfg-user");
    EXPECT_STREQ(p.szPassword, "cfg-pw");
}

TEST_F(ConnectionManagerTest, RefusedOrFailedDialSaysNotConnected) {
    Configure("DUN");
    boxes.Answer(MbResult::Cancel);
    EXPECT_FALSE(Ensure());
    EXPECT_EQ(boxes.Texts(),
              (Strings{"Connect to the Internet?", "Not Connected to the Internet"}));
    EXPECT_EQ(RasDials(), 0);

    ConnectionManager noRas(network, clock, ConnectionLibraries{"libcorvinaport-no-ras.so", {}});
    ScriptedMessageBox more;
    EXPECT_FALSE(noRas.EnsureOnline(more, progress));
    EXPECT_EQ(more.Texts(), (Strings{"Not Connected to the Internet"}));
}

TEST_F(ConnectionManagerTest, OnlineServiceAlreadyConnected) {
    ConfigureAol(false);
    QvSet("connected", 1);
    network.flags = INTERNET_CONNECTION_MODEM_BUSY;
    EXPECT_TRUE(manager.IsOnline(ConnectionManager::Kind::OnlineService));
    EXPECT_TRUE(Ensure());

    // Without any connection flag the client's own answer still counts.
    network.flags = 0;
    EXPECT_FALSE(manager.IsOnline(ConnectionManager::Kind::OnlineService));
    EXPECT_TRUE(Ensure());
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(progress.made.empty());
}

TEST_F(ConnectionManagerTest, OnlineServiceQuestionAndFailureNameTheClient) {
    for (bool compuserve : {false, true}) {
        SetUp();
        boxes.boxes.clear();
        ConfigureAol(compuserve);
        QvSet("createResult", 1);
        EXPECT_FALSE(Ensure());
        ASSERT_EQ(boxes.boxes.size(), 2u);
        EXPECT_EQ(boxes.boxes[0].text, compuserve ? "Connect to CompuServe?" : "Connect to AOL?");
        EXPECT_EQ(boxes.boxes[0].buttons, MbButtons::OkCancel);
        EXPECT_EQ(boxes.boxes[0].icon, MbIcon::Question);
        EXPECT_EQ(boxes.boxes[1].text,
                  compuserve ? "Not Connected to CompuServe" : "Not Connected to AOL");
    }
}

TEST_F(ConnectionManagerTest, OnlineServiceSignsOnWithTheConfiguredAccount) {
    ConfigureAol(false);
    QvSet("aolWindow", 1);
    QvSet("signOnWindow", 1);
    EXPECT_TRUE(Ensure());
    EXPECT_EQ(boxes.Texts(), (Strings{"Connect to AOL?"}));
    EXPECT_STREQ(qv.Fn<const char* (*)()>("FakeQv_LastName")(), "screen");
    EXPECT_STREQ(qv.Fn<const char* (*)()>("FakeQv_LastPassword")(), "aol-pw");
}

TEST_F(ConnectionManagerTest, OnlineServiceRefusalOrUnavailableInfoIsSilent) {
    ConfigureAol(false);
    boxes.Answer(MbResult::Cancel);
    EXPECT_FALSE(Ensure());
    EXPECT_EQ(boxes.Texts(), (Strings{"Connect to AOL?"}));
    EXPECT_EQ(QvGet("created"), 0);

    QvSet("info", 1);
    EXPECT_FALSE(Ensure());
    EXPECT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(progress.made.empty());
}

TEST_F(ConnectionManagerTest, OnlineServiceWithoutAClientAsksThenFails) {
    Configure("AOL");
    EXPECT_FALSE(Ensure());
    EXPECT_EQ(boxes.Texts(), (Strings{"Connect to AOL?", "Not Connected to AOL"}));
    EXPECT_TRUE(progress.made.empty());
}

TEST_F(ConnectionManagerTest, KindsReadTheirFlags) {
    using K = ConnectionManager::Kind;
    network.flags = INTERNET_CONNECTION_LAN;
    EXPECT_FALSE(manager.IsOnline(K::DialUp));
    network.flags = INTERNET_CONNECTION_MODEM;
    EXPECT_TRUE(manager.IsOnline(K::DialUp));
    // A proxy alone is none of the online service's bits.
    ConfigureAol(false);
    QvSet("connected", 1);
    network.flags = INTERNET_CONNECTION_PROXY;
    EXPECT_FALSE(manager.IsOnline(K::OnlineService));
    network.flags = INTERNET_CONNECTION_LAN;
    EXPECT_TRUE(manager.IsOnline(K::OnlineService));
}

}  // namespace
