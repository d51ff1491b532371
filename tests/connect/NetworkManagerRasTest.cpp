// The remote access library's NetworkManager back-end, loaded as the program
// loads it, over a private message bus on which the test plays NetworkManager.
#include <dlfcn.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ConnectTestSupport.h"
#include "PrivateBus.h"
#include "app/Clock.h"
#include "app/DynamicLibrary.h"
#include "connect/RasApi.h"
#include "connect/RasDialer.h"
#include "tests/support/FakeClock.h"
#include "tests/support/ScriptedMessageBox.h"

namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

struct Event {
    HRASCONN handle;
    std::int32_t state;
    std::uint32_t error;
    bool operator==(const Event&) const = default;
};

// What the library told the notifier, on its own threads.
class Events {
  public:
    void Add(Event e) {
        {
            std::lock_guard lock(m_);
            list_.push_back(e);
        }
        cv_.notify_all();
    }
    [[nodiscard]] std::vector<Event> Seen() {
        std::lock_guard lock(m_);
        return list_;
    }
    // True once an event for `h` in `state` has come (within a bound).
    bool WaitFor(HRASCONN h, std::int32_t state) {
        std::unique_lock lock(m_);
        return cv_.wait_for(lock, 5s, [&] {
            return std::any_of(list_.begin(), list_.end(),
                               [&](const Event& e) { return e.handle == h && e.state == state; });
        });
    }
    void Clear() {
        std::lock_guard lock(m_);
        list_.clear();
    }

  private:
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<Event> list_;
};

Events g_events;

void Record(HRASCONN h, std::uint32_t message, std::int32_t state, std::uint32_t error,
            std::uint32_t) {
    EXPECT_EQ(message, WM_RASDIALEVENT);
    g_events.Add({h, state, error});
}

// The shipped library and its six functions.
class RasLibrary {
  public:
    RasLibrary() : lib_(DynamicLibrary::Open(RASAPI_LIBRARY_NAME, RTLD_NODELETE)) {
        getParams_ = lib_.Function<PFN_RasGetEntryDialParamsA>("RasGetEntryDialParamsA");
        dial_ = lib_.Function<PFN_RasDialA>("RasDialA");
        status_ = lib_.Function<PFN_RasGetConnectStatusA>("RasGetConnectStatusA");
        errorString_ = lib_.Function<PFN_RasGetErrorStringA>("RasGetErrorStringA");
        enum_ = lib_.Function<PFN_RasEnumConnectionsA>("RasEnumConnectionsA");
        hangUp_ = lib_.Function<PFN_RasHangUpA>("RasHangUpA");
    }
    [[nodiscard]] bool bound() const {
        return getParams_ && dial_ && status_ && errorString_ && enum_ && hangUp_;
    }

    std::uint32_t Params(const std::string& entry, RASDIALPARAMSA& p, std::int32_t& stored) {
        p = RASDIALPARAMSA{};
        p.dwSize = sizeof p;
        std::strcpy(p.szEntryName, entry.c_str());
        std::strcpy(p.szPassword, "left over");
        stored = 1;
        return getParams_(nullptr, &p, &stored);
    }
    std::uint32_t Dial(const std::string& entry, HRASCONN& h) {
        RASDIALPARAMSA p{};
        p.dwSize = sizeof p;
        std::strcpy(p.szEntryName, entry.c_str());
        h = 0xBAD;
        return dial_(nullptr, nullptr, &p, 1, reinterpret_cast<void*>(&Record), &h);
    }
    std::uint32_t Status(HRASCONN h, std::int32_t& state) {
        RASCONNSTATUSA s{};
        s.dwSize = sizeof s;
        s.rasconnstate = -1;
        std::uint32_t rc = status_(h, &s);
        state = s.rasconnstate;
        return rc;
    }
    [[nodiscard]] std::string ErrorText(std::uint32_t error) {
        char buffer[RAS_ErrorStringBuffer] = {};
        return errorString_(error, buffer, sizeof buffer) == 0 ? buffer : "?";
    }
    // The listed connections as handle and entry name; rc receives the result.
    std::vector<std::pair<HRASCONN, std::string>> Enum(std::uint32_t& rc) {
        std::vector<RASCONNA> list(8);
        list[0].dwSize = sizeof(RASCONNA);
        std::uint32_t bytes = static_cast<std::uint32_t>(list.size() * sizeof(RASCONNA));
        std::uint32_t count = 0xFF;
        rc = enum_(list.data(), &bytes, &count);
        std::vector<std::pair<HRASCONN, std::string>> out;
        for (std::uint32_t i = 0; rc == 0 && i < count && i < list.size(); ++i)
            out.emplace_back(list[i].hrasconn, list[i].szEntryName);
        if (rc != 0) {
            EXPECT_EQ(count, 0u);
        }
        return out;
    }
    std::vector<std::pair<HRASCONN, std::string>> Enum() {
        std::uint32_t rc = 0;
        auto out = Enum(rc);
        EXPECT_EQ(rc, 0u);
        return out;
    }
    std::uint32_t HangUp(HRASCONN h) { return hangUp_(h); }

  private:
    DynamicLibrary lib_;
    PFN_RasGetEntryDialParamsA getParams_ = nullptr;
    PFN_RasDialA dial_ = nullptr;
    PFN_RasGetConnectStatusA status_ = nullptr;
    PFN_RasGetErrorStringA errorString_ = nullptr;
    PFN_RasEnumConnectionsA enum_ = nullptr;
    PFN_RasHangUpA hangUp_ = nullptr;
};

constexpr std::uint32_t kActivating = 1, kActivated = 2, kDeactivated = 4;
constexpr std::uint32_t kDevicePrepare = 40, kDeviceNeedAuth = 60;

class NetworkManagerDialTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::unsetenv("CORVINAPORT_RAS_SCRIPT");
        ASSERT_FALSE(bus.address().empty());
        ASSERT_TRUE(nm.running());
        ASSERT_TRUE(ras.bound());
        g_events.Clear();
        isp = nm.AddProfile("My ISP", "gsm",
                            {{"gsm", {{"number", "*99#"}, {"username", "alice"}, {"apn", "web"}}}});
        nm.AddProfile("DSL", "pppoe", {{"pppoe", {{"username", "bob"}}}});
        device = nm.AddDevice(kDevicePrepare);
    }
    // The object path NetworkManager handed out for the last activation.
    std::string LastActivated() {
        auto made = nm.Activated();
        return made.empty() ? "" : made.back();
    }
    int Count(const std::string& method) {
        auto calls = nm.Calls();
        return static_cast<int>(std::count_if(calls.begin(), calls.end(),
                                              [&](const auto& c) { return c.method == method; }));
    }
    // Dials "My ISP" and waits for the first state NetworkManager's
    // activating device gives.
    HRASCONN DialUntilPortOpened() {
        HRASCONN h = 0;
        EXPECT_EQ(ras.Dial("My ISP", h), 0u);
        EXPECT_NE(h, 0u);
        EXPECT_TRUE(g_events.WaitFor(h, RASCS_PortOpened));
        return h;
    }

    PrivateBus bus;
    ScopedSystemBus env{bus.address()};
    FakeNetworkManager nm{bus.address()};
    RasLibrary ras;
    std::string isp, device;
};

TEST_F(NetworkManagerDialTest, ProfilesAreTheEntries) {
    nm.AddProfile("Mobile", "cdma",
                  {{"cdma", {{"number", "#777"}}}, {"ppp", {{"username", "dave"}}}});
    RASDIALPARAMSA p;
    std::int32_t stored = 0;
    ASSERT_EQ(ras.Params("My ISP", p, stored), 0u);
    EXPECT_STREQ(p.szPhoneNumber, "*99#");
    EXPECT_STREQ(p.szUserName, "alice");
    EXPECT_STREQ(p.szPassword, "");  // secrets stay with NetworkManager
    EXPECT_EQ(stored, 0);

    ASSERT_EQ(ras.Params("Mobile", p, stored), 0u);
    EXPECT_STREQ(p.szPhoneNumber, "#777");
    EXPECT_STREQ(p.szUserName, "dave");

    const std::uint32_t missing = ras.Params("Nowhere", p, stored);
    EXPECT_EQ(missing, static_cast<std::uint32_t>(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY));
    EXPECT_EQ(ras.ErrorText(missing), "The connection entry was not found.");
    HRASCONN h = 0;
    EXPECT_EQ(ras.Dial("Nowhere", h),
              static_cast<std::uint32_t>(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY));
    EXPECT_EQ(h, 0u);
    // Looking entries up never activates anything.
    EXPECT_EQ(Count("ActivateConnection"), 0);
    EXPECT_GE(Count("ListConnections"), 4);
    EXPECT_TRUE(g_events.Seen().empty());
}

TEST_F(NetworkManagerDialTest, ActivationGoesThroughItsStatesAndTheConnectionIsListed) {
    nm.AddActive({std::string(FakeNetworkManager::kActivePrefix) + "1",
                  "802-3-ethernet",
                  kActivated,
                  "Wired",
                  {}});
    nm.AddActive({std::string(FakeNetworkManager::kActivePrefix) + "2",
                  "802-11-wireless",
                  kActivated,
                  "Cafe",
                  {}});
    const std::string dslActive = std::string(FakeNetworkManager::kActivePrefix) + "3";
    nm.AddActive({dslActive, "pppoe", kActivating, "DSL", {}});
    EXPECT_TRUE(ras.Enum().empty());  // neither a LAN nor a dial-up still coming up counts

    const HRASCONN h = DialUntilPortOpened();
    const std::string active = LastActivated();
    ASSERT_EQ(Count("ActivateConnection"), 1);
    EXPECT_EQ(nm.Calls().back().argument, isp);
    std::int32_t state = -1;
    EXPECT_EQ(ras.Status(h, state), 0u);
    EXPECT_EQ(state, RASCS_PortOpened);
    EXPECT_TRUE(ras.Enum().empty());

    nm.SetDeviceState(device, kDeviceNeedAuth);
    ASSERT_TRUE(g_events.WaitFor(h, RASCS_Authenticate));
    EXPECT_EQ(ras.Status(h, state), 0u);
    EXPECT_EQ(state, RASCS_Authenticate);

    nm.SetActiveState(active, kActivated);
    ASSERT_TRUE(g_events.WaitFor(h, RASCS_Connected));
    EXPECT_EQ(ras.Status(h, state), 0u);
    EXPECT_EQ(state, RASCS_Connected);
    EXPECT_EQ(g_events.Seen(),
              (std::vector<Event>{
                  {h, RASCS_PortOpened, 0}, {h, RASCS_Authenticate, 0}, {h, RASCS_Connected, 0}}));
    using Listed = std::vector<std::pair<HRASCONN, std::string>>;
    EXPECT_EQ(ras.Enum(), (Listed{{h, "My ISP"}}));

    // A dial-up connection made elsewhere counts as well and can be hung up
    // by its name.
    nm.SetActiveState(dslActive, kActivated);
    Listed both = ras.Enum();
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(std::count(both.begin(), both.end(), std::pair<HRASCONN, std::string>(h, "My ISP")),
              1);
    EXPECT_EQ(std::count_if(both.begin(), both.end(),
                            [&](const auto& c) { return c.first != h && c.second == "DSL"; }),
              1);
    EXPECT_EQ(ras.Enum(), both);  // the same handle every time
    RasDialer dialer;
    ASSERT_TRUE(dialer.Bind());
    EXPECT_EQ(dialer.ActiveConnectionCount(), 2);
    EXPECT_TRUE(dialer.HangUp("dsl"));
    EXPECT_EQ(nm.Calls().back().method, "DeactivateConnection");
    EXPECT_EQ(nm.Calls().back().argument, dslActive);
    EXPECT_EQ(ras.Enum(), (Listed{{h, "My ISP"}}));

    EXPECT_EQ(ras.HangUp(h), 0u);
    EXPECT_EQ(nm.Calls().back().method, "DeactivateConnection");
    EXPECT_EQ(nm.Calls().back().argument, active);
    EXPECT_EQ(ras.Status(h, state), static_cast<std::uint32_t>(ERROR_INVALID_PORT_HANDLE));
    EXPECT_EQ(state, RASCS_Disconnected);
    EXPECT_TRUE(ras.Enum().empty());
    EXPECT_EQ(g_events.Seen().size(), 3u);
    EXPECT_TRUE(bus.ClientsBecome(1));  // no bus connection of the library's left open
}

TEST_F(NetworkManagerDialTest, HangUpDuringActivationDeactivatesAndStopsWatching) {
    const HRASCONN h = DialUntilPortOpened();
    const std::string active = LastActivated();
    EXPECT_EQ(ras.HangUp(h), 0u);
    ASSERT_FALSE(nm.Calls().empty());
    EXPECT_EQ(nm.Calls().back().method, "DeactivateConnection");
    EXPECT_EQ(nm.Calls().back().argument, active);
    std::int32_t state = -1;
    EXPECT_EQ(ras.Status(h, state), static_cast<std::uint32_t>(ERROR_INVALID_PORT_HANDLE));
    EXPECT_EQ(state, RASCS_Disconnected);

    // The watch has ended: no more questions to NetworkManager, and no
    // late report of a connection that went away.
    std::this_thread::sleep_for(600ms);
    const int gets = nm.Gets();
    std::this_thread::sleep_for(600ms);
    EXPECT_EQ(nm.Gets(), gets);
    EXPECT_EQ(g_events.Seen(), (std::vector<Event>{{h, RASCS_PortOpened, 0}}));
    EXPECT_TRUE(bus.ClientsBecome(1));

    const int deactivations = Count("DeactivateConnection");
    EXPECT_EQ(ras.HangUp(h), static_cast<std::uint32_t>(ERROR_INVALID_PORT_HANDLE));
    EXPECT_EQ(ras.HangUp(0xDEAD), static_cast<std::uint32_t>(ERROR_INVALID_PORT_HANDLE));
    EXPECT_EQ(Count("DeactivateConnection"), deactivations);
}

TEST_F(NetworkManagerDialTest, FailedOrVanishedActivationEndsWithDisconnection) {
    const std::string closed = "The connection was closed before it could be completed.";
    {
        const HRASCONN h = DialUntilPortOpened();
        nm.SetActiveState(LastActivated(), kDeactivated);
        ASSERT_TRUE(g_events.WaitFor(h, RASCS_Disconnected));
        EXPECT_EQ(g_events.Seen().back(), (Event{h, RASCS_Disconnected, ERROR_DISCONNECTION}));
        std::int32_t state = -1;
        EXPECT_EQ(ras.Status(h, state), 0u);
        EXPECT_EQ(state, RASCS_Disconnected);
        EXPECT_EQ(ras.ErrorText(ERROR_DISCONNECTION), closed);
        EXPECT_TRUE(ras.Enum().empty());
        // The dialer hangs up after the error; the connection had gone already.
        EXPECT_EQ(ras.HangUp(h), 0u);
        EXPECT_EQ(ras.Status(h, state), static_cast<std::uint32_t>(ERROR_INVALID_PORT_HANDLE));
    }
    {
        g_events.Clear();
        const HRASCONN h = DialUntilPortOpened();
        nm.RemoveActive(LastActivated());
        ASSERT_TRUE(g_events.WaitFor(h, RASCS_Disconnected));
        EXPECT_EQ(g_events.Seen().back(), (Event{h, RASCS_Disconnected, ERROR_DISCONNECTION}));
        EXPECT_TRUE(bus.ClientsBecome(1));
    }
    {
        // NetworkManager stops in the middle of the activation.
        g_events.Clear();
        const HRASCONN h = DialUntilPortOpened();
        const auto start = std::chrono::steady_clock::now();
        nm.Leave();
        ASSERT_TRUE(g_events.WaitFor(h, RASCS_Disconnected));
        EXPECT_EQ(g_events.Seen().back(), (Event{h, RASCS_Disconnected, ERROR_DISCONNECTION}));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
        RASDIALPARAMSA p;
        std::int32_t stored = 0;
        EXPECT_EQ(ras.Params("My ISP", p, stored),
                  static_cast<std::uint32_t>(ERROR_RASMAN_CANNOT_INITIALIZE));
    }
}

// Waits a hundredth of what is asked, so that the dialer's one-second polls
// pass quickly while the library's watch runs in real time.
class PacedClock final : public Clock {
  public:
    [[nodiscard]] std::time_t Now() const override { return 1700000000; }
    void Sleep(std::chrono::milliseconds d) override { std::this_thread::sleep_for(d / 100); }
};

TEST_F(NetworkManagerDialTest, TheDialerConnectsAndThenFindsTheConnectionUp) {
    nm.SetActivationState(kActivated);
    RasDialer::ClearNotifiedError();
    ScriptedMessageBox boxes;
    RecordingProgressFactory progress;
    PacedClock clock;
    {
        RasDialer dialer;
        EXPECT_TRUE(dialer.DialEntry(boxes, progress, clock, "My ISP", "", ""));
    }
    EXPECT_EQ(boxes.Texts(), (Strings{"Connect to the Internet?"}));
    ASSERT_EQ(progress.made.size(), 1u);
    const Strings& texts = progress.made[0]->texts;
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), "Connect to remote server successfully!");
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                            [](const std::string& t) { return t.rfind("Error", 0) == 0; }),
              0);
    EXPECT_EQ(Count("ActivateConnection"), 1);

    // The connection outlives the dialer: the next dial finds it up.
    RasDialer again;
    EXPECT_TRUE(again.DialEntry(boxes, progress, clock, "My ISP", "", ""));
    EXPECT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(Count("ActivateConnection"), 1);
}

TEST_F(NetworkManagerDialTest, RefusedActivationIsADeviceError) {
    nm.RefuseActivation("org.freedesktop.NetworkManager.PermissionDenied");
    HRASCONN h = 0;
    const std::uint32_t rc = ras.Dial("My ISP", h);
    EXPECT_EQ(rc, static_cast<std::uint32_t>(ERROR_FROM_DEVICE));
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(ras.ErrorText(rc), "The network service refused to activate the connection profile.");
    EXPECT_TRUE(ras.Enum().empty());

    // The dialer's whole procedure: three refused attempts, each shown.
    RasDialer::ClearNotifiedError();
    RasDialer dialer;
    ScriptedMessageBox boxes;
    RecordingProgressFactory progress;
    FakeClock clock;
    EXPECT_FALSE(dialer.DialEntry(boxes, progress, clock, "My ISP", "", ""));
    ASSERT_EQ(progress.made.size(), 1u);
    const Strings& texts = progress.made[0]->texts;
    EXPECT_EQ(std::count(texts.begin(), texts.end(),
                         "Error: The network service refused to activate the connection profile."),
              3);
    EXPECT_EQ(Count("ActivateConnection"), 4);
    EXPECT_TRUE(g_events.Seen().empty());
}

TEST(NetworkManagerAbsentDialTest, ABusWithoutNetworkManagerIsAClearErrorAtOnce) {
    ::unsetenv("CORVINAPORT_RAS_SCRIPT");
    PrivateBus bus;
    ASSERT_FALSE(bus.address().empty());
    ScopedSystemBus env(bus.address());
    RasLibrary ras;
    ASSERT_TRUE(ras.bound());
    const auto start = std::chrono::steady_clock::now();

    RASDIALPARAMSA p;
    std::int32_t stored = 0;
    const std::uint32_t rc = ras.Params("My ISP", p, stored);
    EXPECT_EQ(rc, static_cast<std::uint32_t>(ERROR_RASMAN_CANNOT_INITIALIZE));
    EXPECT_NE(ras.ErrorText(rc).find("NetworkManager"), std::string::npos);
    HRASCONN h = 0;
    EXPECT_EQ(ras.Dial("My ISP", h), static_cast<std::uint32_t>(ERROR_RASMAN_CANNOT_INITIALIZE));
    EXPECT_EQ(h, 0u);
    std::uint32_t enumRc = 0;
    EXPECT_TRUE(ras.Enum(enumRc).empty());
    EXPECT_EQ(enumRc, static_cast<std::uint32_t>(ERROR_RASMAN_CANNOT_INITIALIZE));
    EXPECT_EQ(ras.HangUp(0x1000), static_cast<std::uint32_t>(ERROR_INVALID_PORT_HANDLE));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

}  // namespace
