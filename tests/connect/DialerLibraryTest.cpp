#include "connect/DialerLibrary.h"

#include <gtest/gtest.h>

#include "ConnectTestSupport.h"
#include "tests/support/FakeClock.h"

namespace {

using Strings = std::vector<std::string>;

const char* const kAol4Key =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\America Online\\America Online\\4.0]\r\n";
const char* const kAol3Key =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\America Online\\AOL\\CurrentVersion]\r\n";

DialerLibrary::Files FakeFiles() { return {FAKE_QV40, FAKE_QV30}; }

TEST(DialerLibraryBindTest, ClientKeysChooseTheLibraryFile) {
    ScopedRegistry reg;
    FakeLib v4(FAKE_QV40), v3(FAKE_QV30);
    auto connectedOf = [](FakeLib& l) {
        return l.Fn<PFN_QvDialerIsAOLConnected>("QvDialerIsAOLConnected");
    };

    DialerLibrary dialer(FakeFiles());
    EXPECT_FALSE(dialer.Bind());  // no client installed
    EXPECT_FALSE(dialer.bound());

    for (const char* key : kDialer4Keys) {
        reg.Write(std::string("[HKEY_LOCAL_MACHINE\\") + key + "]\r\n" + kAol3Key);
        ASSERT_TRUE(dialer.Bind()) << key;
        EXPECT_EQ(dialer.IsAOLConnected, connectedOf(v4)) << key;
    }
    reg.Write(kAol3Key);
    ASSERT_TRUE(dialer.Bind());
    EXPECT_EQ(dialer.IsAOLConnected, connectedOf(v3));
    EXPECT_NE(dialer.SignOnAOL, nullptr);

    // A version 4 client without its library file: the version 3 file is not tried.
    reg.Write(std::string(kAol4Key) + kAol3Key);
    DialerLibrary missing({"libcorvinaport-no-such-dialer.so", FAKE_QV30});
    EXPECT_FALSE(missing.Bind());
    EXPECT_EQ(missing.IsAOLConnected, nullptr);
}

class SignOnTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        reg.Write(kAol4Key);
        lib.Fn<void (*)()>("FakeQv_Reset")();
        Set("cs2k", cs() ? 1 : 0);
    }
    bool cs() const { return GetParam(); }
    void Set(const char* k, int v) { lib.Fn<void (*)(const char*, int)>("FakeQv_Set")(k, v); }
    int Get(const char* k) { return lib.Fn<int (*)(const char*)>("FakeQv_Get")(k); }
    bool SignOn(const std::string& name = "screen", const std::string& pw = "secret") {
        return dialer.SignOn(progress, clock, name, pw);
    }
    const Strings& Texts() { return progress.made.at(0)->texts; }
    std::string Pick(const char* aol, const char* compuserve) const {
        return cs() ? compuserve : aol;
    }

    ScopedRegistry reg;
    FakeLib lib{FAKE_QV40};
    DialerLibrary dialer{FakeFiles()};
    RecordingProgressFactory progress;
    FakeClock clock;
};

TEST_P(SignOnTest, AlreadyConnectedNeedsNoWindow) {
    Set("connected", 1);
    EXPECT_TRUE(SignOn());
    EXPECT_TRUE(progress.made.empty());
}

TEST_P(SignOnTest, RunningClientSignsOnAndWaitsForTheConnection) {
    Set("aolWindow", 1);
    Set("signOnWindow", 1);
    Set("connectedAfter", 2);
    EXPECT_TRUE(SignOn());
    ASSERT_EQ(progress.made.size(), 1u);
    EXPECT_EQ(progress.made[0]->title, "Connecting to the Internet");
    EXPECT_TRUE(progress.made[0]->closed);
    EXPECT_EQ(progress.made[0]->prompt, "Do you want to stop connecting to the Internet?");
    EXPECT_EQ(
        Texts(),
        (Strings{Pick("Start America Online...", "Start CompuServe 2000..."),
                 Pick("Connecting to America Online server...", "Connecting to CompuServe 2000..."),
                 Pick("Connected to America Online successfully!",
                      "Connected to CompuServe 2000 successfully!")}));
    EXPECT_EQ(Get("created"), 0);
    EXPECT_STREQ(lib.Fn<const char* (*)()>("FakeQv_LastName")(), "screen");
    EXPECT_STREQ(lib.Fn<const char* (*)()>("FakeQv_LastPassword")(), "secret");
    EXPECT_EQ(clock.sleptMs, 3000);
}

TEST_P(SignOnTest, StoppedClientIsStartedThenSignedOn) {
    Set("signOnWindowAfter", 2);
    Set("connectedAfter", 0);
    EXPECT_TRUE(SignOn());
    EXPECT_EQ(Get("created"), 1);
    EXPECT_EQ(Texts(),
              (Strings{Pick("Start America Online...", "Start CompuServe 2000..."),
                       Pick("Connecting to America Online...", "Connecting to CompuServe 2000..."),
                       Pick("Connected to America Online successfully!",
                            "Connected to CompuServe 2000 successfully!")}));
    // Three polls for the sign-on window, the 2.5-second pause, one poll.
    EXPECT_EQ(clock.sleptMs, 3000 + 2500 + 1000);
}

TEST_P(SignOnTest, FailuresEndWithTheirTexts) {
    struct Case {
        std::vector<std::pair<const char*, int>> state;
        std::string last;
    };
    const std::vector<Case> cases = {
        {{{"info", 1}}, "Unable to connect..."},
        {{{"aolWindow", 1}, {"signOnWindow", 0}}, "Unable to connect..."},
        {{{"createResult", 1}},
         Pick("Unable to start America Online.", "Unable to start CompuServe 2000.")},
        {{{"aolWindow", 1}, {"signOnWindow", 1}, {"signOnResult", 5}},
         Pick("Unable to connect to America Online.", "Unable to connect to CompuServe 2000.")},
        {{{"signOnResult", 5}},
         Pick("Unable to connect to America Online.", "Unable to connect to CompuServe 2000.")},
    };
    for (const Case& c : cases) {
        SetUp();
        progress.made.clear();
        for (const auto& [k, v] : c.state) Set(k, v);
        EXPECT_FALSE(SignOn()) << c.last;
        ASSERT_EQ(progress.made.size(), 1u);
        EXPECT_EQ(Texts().back(), c.last);
    }
}

TEST_P(SignOnTest, UserStopEndsAWaitThatWouldNeverEnd) {
    Set("aolWindow", 1);
    Set("signOnWindow", 1);
    Set("connectedAfter", -1);
    progress.cancelAfterPumps = 5;
    EXPECT_FALSE(SignOn());
    EXPECT_EQ(Texts().back(), "Stop connecting to the Internet.");
    EXPECT_EQ(progress.made[0]->pumps, 5);

    // Waiting for the sign-on window of a started client likewise.
    SetUp();
    progress.made.clear();
    Set("signOnWindowAfter", -1);
    EXPECT_FALSE(SignOn());
    EXPECT_EQ(Texts().back(), "Stop connecting to the Internet.");
    EXPECT_EQ(Get("signOns"), 0);
}

INSTANTIATE_TEST_SUITE_P(Clients, SignOnTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "CompuServe" : "AOL"; });

TEST(SignOnLimitsTest, TextsAreCutTo127Bytes) {
    ScopedRegistry reg;
    reg.Write(kAol4Key);
    FakeLib lib(FAKE_QV40);
    lib.Fn<void (*)()>("FakeQv_Reset")();
    lib.Fn<void (*)(const char*, int)>("FakeQv_Set")("aolWindow", 1);
    lib.Fn<void (*)(const char*, int)>("FakeQv_Set")("signOnWindow", 1);
    DialerLibrary dialer(FakeFiles());
    RecordingProgressFactory progress;
    FakeClock clock;
    EXPECT_TRUE(dialer.SignOn(progress, clock, std::string(200, 'n'), std::string(128, 'p')));
    EXPECT_EQ(std::string(lib.Fn<const char* (*)()>("FakeQv_LastName")()), std::string(127, 'n'));
    EXPECT_EQ(std::string(lib.Fn<const char* (*)()>("FakeQv_LastPassword")()),
              std::string(127, 'p'));
}

TEST(SignOnLimitsTest, MissingLibraryOrExportsFailWithoutAWindow) {
    ScopedRegistry reg;
    RecordingProgressFactory progress;
    FakeClock clock;
    DialerLibrary none(FakeFiles());
    EXPECT_FALSE(none.SignOn(progress, clock, "a", "b"));  // no client key

    reg.Write(kAol4Key);
    DialerLibrary partial({FAKE_QV_PARTIAL, FAKE_QV30});
    EXPECT_FALSE(partial.SignOn(progress, clock, "a", "b"));
    EXPECT_TRUE(partial.bound());
    EXPECT_EQ(partial.SignOnAOL, nullptr);
    EXPECT_TRUE(progress.made.empty());

    // The CompuServe query is optional: without it the texts name America Online.
    FakeLib lib(FAKE_QV_NOCS);
    lib.Fn<void (*)()>("FakeQv_Reset")();
    lib.Fn<void (*)(const char*, int)>("FakeQv_Set")("createResult", 1);
    DialerLibrary nocs({FAKE_QV_NOCS, FAKE_QV30});
    EXPECT_FALSE(nocs.SignOn(progress, clock, "a", "b"));
    EXPECT_FALSE(nocs.IsCs());
    ASSERT_EQ(progress.made.size(), 1u);
    EXPECT_EQ(progress.made[0]->texts,
              (Strings{"Start America Online...", "Unable to start America Online."}));
}

}  // namespace
