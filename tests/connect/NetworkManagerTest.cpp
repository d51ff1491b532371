// Connection state and NetworkManager back-end over a private bus played by the test.
#include <algorithm>
#include <chrono>
#include <utility>

#include <gtest/gtest.h>

#include "ConnectTestSupport.h"
#include "PrivateBus.h"
#include "connect/RasDialer.h"
#include "support/FakeClock.h"
#include "support/FakeProgress.h"
#include "support/ScriptedMessageBox.h"

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kActivating = 1, kActivated = 2, kDeactivated = 4;
const std::string kActive = "/org/freedesktop/NetworkManager/ActiveConnection/";
const std::string kDevice = "/org/freedesktop/NetworkManager/Devices/1";

using Error = std::pair<std::uint32_t, std::uint32_t>;

class NetworkManagerDialTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(bus.address().empty());
        ASSERT_TRUE(nm.running());
        ASSERT_TRUE(ras.Bind());
        RasDialer::ClearNotifiedError();
        nm.Edit([this](auto& m) {
            m.profiles[kIsp] = {{"connection", {{"id", "My ISP"}, {"type", "gsm"}}},
                                {"gsm", {{"number", "*99#"}, {"username", "alice"}}}};
            m.profiles[kIsp + "0"] = {{"connection", {{"id", "Mobile"}, {"type", "cdma"}}},
                                      {"cdma", {{"number", "#777"}}},
                                      {"ppp", {{"username", "dave"}}}};
            m.device = kDevice;
            m.objects[kDevice]["State"] = 40u;  // prepare
        });
    }
    // Dials "My ISP" and waits for the first state the activating device gives.
    void DialUntilPortOpened() {
        RasDialer::ClearNotifiedError();
        EXPECT_EQ(ras.Dial("My ISP", &RasDialer::Notifier, "", "", "", "", ""), 0u);
        EXPECT_TRUE(Reaches(RASCS_PortOpened));
    }
    bool Reaches(std::int32_t state) {
        return Eventually([&] { return State() == state; });
    }
    std::string LastActivated() const {
        const auto made = nm.Snapshot().activated;
        return made.empty() ? "" : made.back();
    }
    std::string LastCall() const {
        const auto calls = nm.Snapshot().calls;
        return calls.empty() ? "" : calls.back();
    }
    long Calls(const std::string& method) const {
        const auto calls = nm.Snapshot().calls;
        return std::count_if(calls.begin(), calls.end(),
                             [&](const std::string& c) { return c.starts_with(method + " "); });
    }
    std::int32_t State() {
        std::string text;
        bool connected = false;
        (void)ras.StatusText(text, connected);
        return ras.status().rasconnstate;
    }

    const std::string kIsp = "/org/freedesktop/NetworkManager/Settings/1";
    PrivateBus bus;
    ScopedEnv env{"DBUS_SYSTEM_BUS_ADDRESS", bus.address()};
    FakeNetworkManager nm{bus.address()};
    RasDialer ras;
};

TEST_F(NetworkManagerDialTest, ProfilesAreTheEntries) {
    RASDIALPARAMSA p;
    ASSERT_EQ(LookUp(ras, "My ISP", p), 0u);
    // Number, user and password: the secrets stay with NetworkManager.
    EXPECT_EQ(std::string(p.szPhoneNumber) + "|" + p.szUserName + "|" + p.szPassword,
              "*99#|alice|");
    ASSERT_EQ(LookUp(ras, "Mobile", p), 0u);
    EXPECT_EQ(std::string(p.szPhoneNumber) + "|" + p.szUserName, "#777|dave");

    // The settings offer the dial-up profiles by name, not the others.
    nm.Edit([](auto& m) {
        m.profiles["/org/freedesktop/NetworkManager/Settings/9"] = {
            {"connection", {{"id", "Wired"}, {"type", "802-3-ethernet"}}}};
    });
    EXPECT_EQ(nmbus::DialUpEntryNames(nmbus::OpenSystemBus().get(), 2000),
              (std::vector<std::string>{"Mobile", "My ISP"}));

    EXPECT_EQ(LookUp(ras, "Nowhere", p), 623u);
    std::string text;
    ras.ErrorText(623, 0, text);
    EXPECT_EQ(text, "The connection entry was not found.");
    EXPECT_EQ(ras.Dial("Nowhere", &RasDialer::Notifier, "", "", "", "", ""), 623u);
    EXPECT_EQ(ras.connection(), 0u);
    EXPECT_EQ(Calls("ActivateConnection"), 0);  // looking up never activates
    EXPECT_EQ(RasDialer::NotifiedError().first, 0u);
}

TEST_F(NetworkManagerDialTest, ActivationGoesThroughItsStatesAndIsListedUntilHungUp) {
    // The connection state takes NetworkManager's word, whatever the interfaces.
    SystemNetworkState network;
    std::uint32_t flags = 0xFF;
    EXPECT_FALSE(network.GetConnectedState(flags));
    const std::string dsl = kActive + "3";
    nm.Edit([&](auto& m) {
        m.AddActive(kActive + "1", "802-3-ethernet", kActivated, "Wired");
        m.AddActive(kActive + "2", "loopback", kActivated, "lo");
        m.AddActive(dsl, "pppoe", kActivating, "DSL");
    });
    EXPECT_TRUE(network.GetConnectedState(flags) && flags == INTERNET_CONNECTION_LAN) << flags;
    EXPECT_EQ(ras.ActiveConnectionCount(), 0);  // neither a LAN nor a dial-up coming up counts

    DialUntilPortOpened();
    const std::string active = LastActivated();
    EXPECT_EQ(LastCall(), "ActivateConnection " + kIsp);
    EXPECT_EQ(ras.ActiveConnectionCount(), 0);

    nm.Edit([](auto& m) { m.objects[kDevice]["State"] = 60u; });  // need-auth
    EXPECT_TRUE(Reaches(RASCS_Authenticate));
    nm.Edit([&](auto& m) { m.objects[active]["State"] = kActivated; });
    ASSERT_TRUE(Reaches(RASCS_Connected));
    EXPECT_EQ(ras.ActiveConnectionCount(), 1);
    EXPECT_TRUE(network.GetConnectedState(flags));
    EXPECT_EQ(flags, INTERNET_CONNECTION_LAN | INTERNET_CONNECTION_MODEM);

    // A dial-up connection made elsewhere counts as well and is hung up by its name.
    nm.Edit([&](auto& m) { m.objects[dsl]["State"] = kActivated; });
    RasDialer other;
    ASSERT_TRUE(other.Bind());
    EXPECT_EQ((std::tuple{other.ActiveConnectionCount(), other.HangUp("dsl"), LastCall(),
                          other.ActiveConnectionCount()}),
              std::tuple(2, true, "DeactivateConnection " + dsl, 1));

    EXPECT_EQ((std::tuple{ras.HangUp("My ISP"), LastCall(), State(), other.ActiveConnectionCount(),
                          RasDialer::NotifiedError().first}),
              std::tuple(true, "DeactivateConnection " + active, RASCS_Disconnected, 0, 0u));
    EXPECT_TRUE(bus.ClientsBecome(1));  // no bus connection of the library's left open
}

TEST_F(NetworkManagerDialTest, AnActivationThatEndsEarlyIsADisconnection) {
    const char* ways[] = {"hung up", "deactivated", "gone", "NetworkManager stopped"};
    for (const std::string way : ways) {
        SCOPED_TRACE(way);
        DialUntilPortOpened();
        const std::string active = LastActivated();
        const auto start = std::chrono::steady_clock::now();
        if (way == "hung up") {
            EXPECT_TRUE(ras.HangUp("My ISP"));
            EXPECT_EQ(LastCall(), "DeactivateConnection " + active);
            // The watch ends without a late report; a second hang-up finds nothing.
            EXPECT_EQ((std::tuple{bus.ClientsBecome(1), RasDialer::NotifiedError().first,
                                  ras.HangUp("My ISP"), State()}),
                      std::tuple(true, 0u, false, RASCS_Disconnected));
            continue;
        }
        if (way == "deactivated")
            nm.Edit([&](auto& m) { m.objects[active]["State"] = kDeactivated; });
        else if (way == "gone")
            nm.Edit([&](auto& m) { m.RemoveActive(active); });
        else
            nm.Leave();
        ASSERT_TRUE(Eventually([] { return RasDialer::NotifiedError().first != 0; }));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
        EXPECT_EQ(RasDialer::NotifiedError(), Error(ERROR_DISCONNECTION, 0));
        EXPECT_EQ((std::tuple{State(), ras.ActiveConnectionCount()}),
                  std::tuple(RASCS_Disconnected, 0));
        // The dialer hangs up after the error; a connection gone already counts.
        EXPECT_EQ(ras.HangUp("My ISP"), nm.running());
        EXPECT_TRUE(bus.ClientsBecome(nm.running() ? 1 : 0));
    }
    std::string text;
    ras.ErrorText(ERROR_DISCONNECTION, 0, text);
    EXPECT_EQ(text, "The connection was closed before it could be completed.");
    RASDIALPARAMSA p;
    EXPECT_EQ(LookUp(ras, "My ISP", p), static_cast<std::uint32_t>(ERROR_RASMAN_CANNOT_INITIALIZE));
}

TEST_F(NetworkManagerDialTest, RefusedActivationIsADeviceErrorOfEachAttempt) {
    nm.Edit([](auto& m) { m.refusal = "org.freedesktop.NetworkManager.PermissionDenied"; });
    EXPECT_EQ(ras.Dial("My ISP", &RasDialer::Notifier, "", "", "", "", ""),
              static_cast<std::uint32_t>(ERROR_FROM_DEVICE));
    EXPECT_EQ(ras.connection(), 0u);

    RasDialer::ClearNotifiedError();
    RasDialer dialer;
    ScriptedMessageBox boxes;
    FakeProgressFactory progress;
    FakeClock clock;
    EXPECT_FALSE(dialer.DialEntry(boxes, progress, clock, "My ISP", "", ""));
    const Strings& texts = progress.made.at(0)->texts;
    EXPECT_EQ(std::count(texts.begin(), texts.end(),
                         "Error: The network service refused to activate the connection profile."),
              3);
    EXPECT_EQ(Calls("ActivateConnection"), 4);
}

TEST(NetworkManagerAbsentTest, NoNetworkManagerIsAClearErrorAtOnce) {
    PrivateBus bus;
    ASSERT_FALSE(bus.address().empty());
    for (const std::string& address : {bus.address(), std::string("unix:path=/nonexistent/bus")}) {
        SCOPED_TRACE(address);
        ScopedEnv env("DBUS_SYSTEM_BUS_ADDRESS", address);
        const auto start = std::chrono::steady_clock::now();
        RasDialer dialer;
        ASSERT_TRUE(dialer.Bind());
        RASDIALPARAMSA p;
        const std::uint32_t rc = LookUp(dialer, "My ISP", p);
        EXPECT_EQ(rc, static_cast<std::uint32_t>(ERROR_RASMAN_CANNOT_INITIALIZE));
        std::string text;
        dialer.ErrorText(rc, 0, text);
        EXPECT_NE(text.find("NetworkManager"), std::string::npos) << text;
        EXPECT_EQ(dialer.Dial("My ISP", &RasDialer::Notifier, "", "", "", "", ""), rc);
        EXPECT_TRUE(dialer.ActiveConnectionCount() == 0 && !dialer.HangUp("My ISP"));
        ScriptedMessageBox boxes;
        FakeProgressFactory progress;
        FakeClock clock;
        EXPECT_FALSE(dialer.DialEntry(boxes, progress, clock, "My ISP", "", ""));
        EXPECT_TRUE(progress.made.empty());
        // The connection state falls back to the interfaces.
        SystemNetworkState network;
        std::uint32_t flags = 0xFF;
        const std::uint32_t fromInterfaces = FlagsFromInterfaces(ReadInterfaces());
        EXPECT_EQ(network.GetConnectedState(flags), fromInterfaces != 0);
        EXPECT_EQ(flags, fromInterfaces);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    }
}

}  // namespace
