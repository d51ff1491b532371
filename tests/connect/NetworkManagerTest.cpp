// The connection state and the remote access library's NetworkManager
// back-end, over a private message bus on which the test plays NetworkManager.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

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
const std::string kActive = FakeNetworkManager::kActivePrefix;
const std::string kDevice = "/org/freedesktop/NetworkManager/Devices/1";

TEST(NetworkManagerStateTest, ActivatedConnectionsGiveTheFlagsWithoutItTheInterfaces) {
    PrivateBus bus;
    ASSERT_FALSE(bus.address().empty());
    SystemNetworkState state;
    std::uint32_t flags = 0;
    const std::uint32_t fromInterfaces = FlagsFromInterfaces(ReadInterfaces());
    {
        ScopedSystemBus env(bus.address());
        {
            FakeNetworkManager nm(bus.address(), {{kActive + "1", "802-3-ethernet", kActivated},
                                                  {kActive + "2", "gsm", kActivated},
                                                  {kActive + "3", "loopback", kActivated},
                                                  {kActive + "4", "802-11-wireless", kActivating}});
            ASSERT_TRUE(nm.running());
            EXPECT_TRUE(state.GetConnectedState(flags));
            EXPECT_EQ(flags, INTERNET_CONNECTION_LAN | INTERNET_CONNECTION_MODEM);
            // NetworkManager's word counts even where interfaces are up.
            nm.Edit([](auto& m) { m.active.erase(m.active.begin(), m.active.begin() + 2); });
            EXPECT_FALSE(state.GetConnectedState(flags));
            EXPECT_EQ(flags, 0u);
        }
        flags = 0xFF;  // a bus, but nobody owns the name
        EXPECT_EQ(state.GetConnectedState(flags), fromInterfaces != 0);
        EXPECT_EQ(flags, fromInterfaces);
    }
    ScopedSystemBus noBus("unix:path=/nonexistent/corvinaport-bus");
    flags = 0xFF;
    EXPECT_EQ(state.GetConnectedState(flags), fromInterfaces != 0);
    EXPECT_EQ(flags, fromInterfaces);
}

struct Event {
    HRASCONN handle;
    std::int32_t state;
    std::uint32_t error;
    bool operator==(const Event&) const = default;
};

// What the library told the notifier, on its own threads.
std::mutex g_mutex;
std::condition_variable g_changed;
std::vector<Event> g_events;

void Record(HRASCONN h, std::uint32_t, std::int32_t state, std::uint32_t error, std::uint32_t) {
    {
        std::lock_guard lock(g_mutex);
        g_events.push_back({h, state, error});
    }
    g_changed.notify_all();
}
std::vector<Event> Seen() {
    std::lock_guard lock(g_mutex);
    return g_events;
}
// True once an event for h in that state has come (within a bound).
bool WaitFor(HRASCONN h, std::int32_t state) {
    std::unique_lock lock(g_mutex);
    return g_changed.wait_for(lock, 5s, [&] {
        return std::any_of(g_events.begin(), g_events.end(),
                           [&](const Event& e) { return e.handle == h && e.state == state; });
    });
}

class NetworkManagerDialTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(bus.address().empty());
        ASSERT_TRUE(nm.running());
        ASSERT_TRUE(ras.Bind());
        std::lock_guard lock(g_mutex);
        g_events.clear();
        isp = nm.AddProfile("My ISP", "gsm",
                            {{"gsm", {{"number", "*99#"}, {"username", "alice"}, {"apn", "web"}}}});
        nm.AddProfile("Mobile", "cdma",
                      {{"cdma", {{"number", "#777"}}}, {"ppp", {{"username", "dave"}}}});
        nm.Edit([](auto& m) { m.devices[kDevice] = 40; });  // prepare
    }
    // Dials "My ISP" and waits for the first state the activating device gives.
    HRASCONN DialUntilPortOpened() {
        EXPECT_EQ(ras.Dial("My ISP", &Record, "", "", "", "", ""), 0u);
        EXPECT_TRUE(WaitFor(ras.connection(), RASCS_PortOpened));
        return ras.connection();
    }
    std::string LastActivated() const {
        const auto made = nm.Snapshot().activated;
        return made.empty() ? "" : made.back();
    }
    // The last call other than a property's, as method and argument.
    std::string LastCall() const {
        const auto calls = nm.Snapshot().calls;
        return calls.empty() ? "" : calls.back().method + " " + calls.back().argument;
    }
    long Calls(const std::string& method) const {
        const auto calls = nm.Snapshot().calls;
        return std::count_if(calls.begin(), calls.end(),
                             [&](const auto& c) { return c.method == method; });
    }
    std::int32_t State() {
        std::string text;
        bool connected = false;
        (void)ras.StatusText(text, connected);
        return ras.status().rasconnstate;
    }

    PrivateBus bus;
    ScopedSystemBus env{bus.address()};
    FakeNetworkManager nm{bus.address()};
    RasDialer ras;
    std::string isp;
};

TEST_F(NetworkManagerDialTest, ProfilesAreTheEntries) {
    RASDIALPARAMSA p;
    ASSERT_EQ(LookUp(ras, "My ISP", p), 0u);
    EXPECT_STREQ(p.szPhoneNumber, "*99#");
    EXPECT_STREQ(p.szUserName, "alice");
    EXPECT_STREQ(p.szPassword, "");  // secrets stay with NetworkManager
    ASSERT_EQ(LookUp(ras, "Mobile", p), 0u);
    EXPECT_STREQ(p.szPhoneNumber, "#777");
    EXPECT_STREQ(p.szUserName, "dave");

    EXPECT_EQ(LookUp(ras, "Nowhere", p),
              static_cast<std::uint32_t>(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY));
    std::string text;
    ras.ErrorText(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY, 0, text);
    EXPECT_EQ(text, "The connection entry was not found.");
    EXPECT_EQ(ras.Dial("Nowhere", &Record, "", "", "", "", ""),
              static_cast<std::uint32_t>(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY));
    EXPECT_EQ(ras.connection(), 0u);
    EXPECT_EQ(Calls("ActivateConnection"), 0);  // looking up never activates
    EXPECT_TRUE(Seen().empty());
}

TEST_F(NetworkManagerDialTest, ActivationGoesThroughItsStatesAndIsListedUntilHungUp) {
    const std::string dsl = kActive + "3";
    nm.Edit([&](auto& m) {
        m.active = {{kActive + "1", "802-3-ethernet", kActivated, "Wired"},
                    {kActive + "2", "802-11-wireless", kActivated, "Cafe"},
                    {dsl, "pppoe", kActivating, "DSL"}};
    });
    EXPECT_EQ(ras.ActiveConnectionCount(), 0);  // neither a LAN nor a dial-up coming up counts

    const HRASCONN h = DialUntilPortOpened();
    const std::string active = LastActivated();
    EXPECT_EQ(LastCall(), "ActivateConnection " + isp);
    EXPECT_EQ(State(), RASCS_PortOpened);
    EXPECT_EQ(ras.ActiveConnectionCount(), 0);

    nm.Edit([](auto& m) { m.devices[kDevice] = 60; });  // need-auth
    ASSERT_TRUE(WaitFor(h, RASCS_Authenticate));
    EXPECT_EQ(State(), RASCS_Authenticate);
    nm.Edit([&](auto& m) { m.active.back().state = kActivated; });
    ASSERT_TRUE(WaitFor(h, RASCS_Connected));
    EXPECT_EQ(State(), RASCS_Connected);
    EXPECT_EQ(Seen(),
              (std::vector<Event>{
                  {h, RASCS_PortOpened, 0}, {h, RASCS_Authenticate, 0}, {h, RASCS_Connected, 0}}));
    EXPECT_EQ(ras.ActiveConnectionCount(), 1);

    // A dial-up connection made elsewhere counts as well and is hung up by its name.
    nm.Edit([](auto& m) { m.active[2].state = kActivated; });
    RasDialer other;
    ASSERT_TRUE(other.Bind());
    EXPECT_EQ(other.ActiveConnectionCount(), 2);
    EXPECT_TRUE(other.HangUp("dsl"));
    EXPECT_EQ(LastCall(), "DeactivateConnection " + dsl);
    EXPECT_EQ(other.ActiveConnectionCount(), 1);

    EXPECT_TRUE(ras.HangUp("My ISP"));
    EXPECT_EQ(LastCall(), "DeactivateConnection " + active);
    EXPECT_EQ(State(), RASCS_Disconnected);
    EXPECT_EQ(other.ActiveConnectionCount(), 0);
    EXPECT_EQ(Seen().size(), 3u);
    EXPECT_TRUE(bus.ClientsBecome(1));  // no bus connection of the library's left open
}

TEST_F(NetworkManagerDialTest, HangUpDuringActivationDeactivatesAndEndsTheWatch) {
    const HRASCONN h = DialUntilPortOpened();
    const std::string active = LastActivated();
    EXPECT_TRUE(ras.HangUp("My ISP"));
    EXPECT_EQ(LastCall(), "DeactivateConnection " + active);
    EXPECT_EQ(State(), RASCS_Disconnected);
    // The watch has ended: its bus connection is closed, no late report came.
    EXPECT_TRUE(bus.ClientsBecome(1));
    EXPECT_EQ(Seen(), (std::vector<Event>{{h, RASCS_PortOpened, 0}}));
    EXPECT_FALSE(ras.HangUp("My ISP"));
    EXPECT_EQ(Calls("DeactivateConnection"), 1);
}

TEST_F(NetworkManagerDialTest, FailedVanishedOrStoppedActivationEndsWithDisconnection) {
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        const HRASCONN h = DialUntilPortOpened();
        const std::string path = LastActivated();
        const auto start = std::chrono::steady_clock::now();
        if (way == 0)
            nm.Edit([&](auto& m) { m.active.back().state = kDeactivated; });
        else if (way == 1)
            nm.Edit([&](auto& m) { m.active.pop_back(); });
        else
            nm.Leave();
        ASSERT_TRUE(WaitFor(h, RASCS_Disconnected));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
        EXPECT_EQ(Seen().back(), (Event{h, RASCS_Disconnected, ERROR_DISCONNECTION}));
        EXPECT_EQ(State(), RASCS_Disconnected);
        EXPECT_EQ(ras.ActiveConnectionCount(), 0);
        // The dialer hangs up after the error; a connection gone already counts.
        EXPECT_EQ(ras.HangUp("My ISP"), way < 2);
        EXPECT_TRUE(bus.ClientsBecome(way < 2 ? 1 : 0));
    }
    std::string text;
    ras.ErrorText(ERROR_DISCONNECTION, 0, text);
    EXPECT_EQ(text, "The connection was closed before it could be completed.");
    RASDIALPARAMSA p;
    EXPECT_EQ(LookUp(ras, "My ISP", p), static_cast<std::uint32_t>(ERROR_RASMAN_CANNOT_INITIALIZE));
}

TEST_F(NetworkManagerDialTest, RefusedActivationIsADeviceErrorOfEachAttempt) {
    nm.Edit([](auto& m) { m.refusal = "org.freedesktop.NetworkManager.PermissionDenied"; });
    EXPECT_EQ(ras.Dial("My ISP", &Record, "", "", "", "", ""),
              static_cast<std::uint32_t>(ERROR_FROM_DEVICE));
    EXPECT_EQ(ras.connection(), 0u);

    RasDialer::ClearNotifiedError();
    RasDialer dialer;
    ScriptedMessageBox boxes;
    FakeProgressFactory progress;
    FakeClock clock;
    EXPECT_FALSE(dialer.DialEntry(boxes, progress, clock, "My ISP", "", ""));
    EXPECT_EQ(Count(progress.made.at(0)->texts,
                    "Error: The network service refused to activate the connection profile."),
              3);
    EXPECT_EQ(Calls("ActivateConnection"), 4);
    EXPECT_TRUE(Seen().empty());
}

// Waits a hundredth of what is asked, so that the dialer's one-second polls
// pass quickly while the library's watch runs in real time.
class PacedClock final : public Clock {
  public:
    [[nodiscard]] std::time_t Now() const override { return 1700000000; }
    void Sleep(std::chrono::milliseconds d) override { std::this_thread::sleep_for(d / 100); }
};

TEST_F(NetworkManagerDialTest, TheDialerConnectsAndTheNextDialFindsTheConnectionUp) {
    nm.Edit([](auto& m) { m.activationState = kActivated; });
    RasDialer::ClearNotifiedError();
    ScriptedMessageBox boxes;
    FakeProgressFactory progress;
    PacedClock clock;
    for (int dial = 0; dial < 2; ++dial) {
        RasDialer dialer;
        EXPECT_TRUE(dialer.DialEntry(boxes, progress, clock, "My ISP", "", ""));
    }
    EXPECT_EQ(boxes.Texts(), (Strings{"Connect to the Internet?"}));
    ASSERT_EQ(progress.made.size(), 1u);
    EXPECT_EQ(progress.made[0]->texts.back(), "Connect to remote server successfully!");
    EXPECT_EQ(Calls("ActivateConnection"), 1);
}

TEST(NetworkManagerAbsentTest, NoNetworkManagerIsAClearErrorAtOnce) {
    PrivateBus bus;
    ASSERT_FALSE(bus.address().empty());
    for (const std::string& address : {bus.address(), std::string("unix:path=/nonexistent/bus")}) {
        SCOPED_TRACE(address);
        ScopedSystemBus env(address);
        const auto start = std::chrono::steady_clock::now();
        RasDialer dialer;
        ASSERT_TRUE(dialer.Bind());
        RASDIALPARAMSA p;
        const std::uint32_t rc = LookUp(dialer, "My ISP", p);
        EXPECT_EQ(rc, static_cast<std::uint32_t>(ERROR_RASMAN_CANNOT_INITIALIZE));
        std::string text;
        dialer.ErrorText(rc, 0, text);
        EXPECT_NE(text.find("NetworkManager"), std::string::npos) << text;
        EXPECT_EQ(dialer.Dial("My ISP", &Record, "", "", "", "", ""), rc);
        EXPECT_EQ(dialer.ActiveConnectionCount(), 0);
        EXPECT_FALSE(dialer.HangUp("My ISP"));
        ScriptedMessageBox boxes;
        FakeProgressFactory progress;
        FakeClock clock;
        EXPECT_FALSE(dialer.DialEntry(boxes, progress, clock, "My ISP", "", ""));
        EXPECT_TRUE(progress.made.empty());
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    }
}

}  // namespace
