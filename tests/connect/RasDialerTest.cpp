#include "connect/RasDialer.h"

#include <algorithm>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ConnectTestSupport.h"
#include "tests/support/FakeClock.h"
#include "tests/support/ScriptedMessageBox.h"

namespace {

using Strings = std::vector<std::string>;

class RasDialerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        lib.Fn<void (*)()>("FakeRas_Reset")();
        AddEntry("Office", "5551234", "stored-user", "stored-pw");
        RasDialer::ClearNotifiedError();
    }

    void AddEntry(const char* n, const char* p, const char* u, const char* pw) {
        lib.Fn<void (*)(const char*, const char*, const char*, const char*)>("FakeRas_AddEntry")(
            n, p, u, pw);
    }
    void AddActive(const char* entry, HRASCONN h) {
        lib.Fn<void (*)(const char*, HRASCONN)>("FakeRas_AddActive")(entry, h);
    }
    void Script(const char* s) { lib.Fn<void (*)(const char*)>("FakeRas_ScriptAttempt")(s); }
    int Count(const char* fn) { return lib.Fn<int (*)()>(fn)(); }
    HRASCONN HungUp(int i) { return lib.Fn<HRASCONN (*)(int)>("FakeRas_HungUp")(i); }
    RASDIALPARAMSA LastParams(int& phonebookGiven) {
        RASDIALPARAMSA p{};
        lib.Fn<void (*)(RASDIALPARAMSA*, int*)>("FakeRas_LastParams")(&p, &phonebookGiven);
        return p;
    }

    bool DialOffice(const std::string& user = "", const std::string& password = "") {
        RasDialer dialer(FAKE_RAS);
        return dialer.DialEntry(boxes, progress, clock, "Office", user, password);
    }
    const Strings& Texts() { return progress.made.at(0)->texts; }
    long Occurrences(const std::string& t) { return std::count(Texts().begin(), Texts().end(), t); }

    FakeLib lib{FAKE_RAS};
    ScriptedMessageBox boxes;
    RecordingProgressFactory progress;
    FakeClock clock;
};

TEST(RasStateTextTest, ListedStatesHaveTheirSentencesOthersNone) {
    EXPECT_STREQ(RasStateText(RASCS_OpenPort), "Opening the port...");
    EXPECT_STREQ(RasStateText(RASCS_ReAuthenticate),
                 "Reauthentication (after callback) is starting. ");
    EXPECT_STREQ(RasStateText(RASCS_SubEntryDisconnected), "Subentry has been disconnected");
    EXPECT_STREQ(RasStateText(RASCS_PasswordExpired),
                 "Change password state supported by RASPHONE.EXE.");
    EXPECT_STREQ(RasStateText(RASCS_Connected), "Connect to remote server successfully!");
    EXPECT_STREQ(RasStateText(RASCS_Disconnected), "Disconnected");
    for (int unlisted : {24, 100, 4095, 4100, 8191, 8194, -1})
        EXPECT_EQ(RasStateText(unlisted), nullptr);
}

TEST_F(RasDialerTest, ConnectsOnTheSecondAttemptAfterADisconnect) {
    Script("0 2 8193");
    Script("0 5 8192");
    EXPECT_TRUE(DialOffice());

    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Connect to the Internet?");
    EXPECT_EQ(boxes.boxes[0].caption, "Send a Fax - Corvinaport");
    EXPECT_EQ(boxes.boxes[0].buttons, MbButtons::OkCancel);
    EXPECT_EQ(boxes.boxes[0].icon, MbIcon::Question);

    ASSERT_EQ(progress.made.size(), 1u);
    EXPECT_EQ(progress.made[0]->title, "Connecting to the Internet");
    EXPECT_EQ(progress.made[0]->prompt, "Do you want to stop connecting to the Internet?");
    EXPECT_EQ(progress.made[0]->upper, 300);
    EXPECT_TRUE(progress.made[0]->closed);
    EXPECT_EQ(Texts(), (Strings{"Opening the port...", "Connecting to the device...",
                                "Disconnected", "Retry the connection again.",
                                "Opening the port...", "Verifying the user name and password...",
                                "Connect to remote server successfully!"}));
    EXPECT_EQ(Count("FakeRas_DialCount"), 2);
    EXPECT_EQ(Count("FakeRas_HangUpCount"), 0);
    // Three one-second polls, the 5-second pause, three polls.
    EXPECT_EQ(clock.sleptMs, 11000);

    int phonebookGiven = -1;
    RASDIALPARAMSA p = LastParams(phonebookGiven);
    EXPECT_EQ(phonebookGiven, 0);
    EXPECT_EQ(p.dwSize, 1052u);
    EXPECT_STREQ(p.szEntryName, "Office");
    EXPECT_STREQ(p.szPhoneNumber, "5551234");
    EXPECT_STREQ(p.szUserName, "stored-user");
    EXPECT_STREQ(p.szPassword, "stored-pw");
    EXPECT_STREQ(p.szCallbackNumber, "");
    EXPECT_STREQ(p.szDomain, "");
}

TEST_F(RasDialerTest, GivenCredentialsReplaceTheStoredOnesAndAreCut) {
    Script("8192");
    const std::string longPassword(300, 'p');
    EXPECT_TRUE(DialOffice("me", longPassword));
    int phonebookGiven = 0;
    RASDIALPARAMSA p = LastParams(phonebookGiven);
    EXPECT_STREQ(p.szUserName, "me");
    EXPECT_EQ(std::string(p.szPassword), std::string(256, 'p'));
}

TEST_F(RasDialerTest, UnlistedStateLeavesTheShownText) {
    Script("3 50 13 13 8192");
    EXPECT_TRUE(DialOffice());
    EXPECT_EQ(Texts(), (Strings{"The device has connected successfully.",
                                "Reauthentication (after callback) is starting. ",
                                "Connect to remote server successfully!"}));
}

TEST_F(RasDialerTest, ThreeFailedAttemptsHangUpEachAndFail) {
    Script("0 !678");
    EXPECT_FALSE(DialOffice());
    EXPECT_EQ(Count("FakeRas_DialCount"), 3);
    EXPECT_EQ(Count("FakeRas_HangUpCount"), 3);
    EXPECT_EQ(HungUp(0), 100u);
    EXPECT_EQ(HungUp(2), 102u);
    EXPECT_EQ(Occurrences("Error: The remote computer did not respond."), 3);
    EXPECT_EQ(Occurrences("Retry the connection again."), 2);
    // One poll per attempt before the error shows, and the two pauses.
    EXPECT_EQ(clock.sleptMs, 3 * 1000 + 2 * 5000);
}

TEST_F(RasDialerTest, StopDuringTheDialHangsUpOnceAndDoesNotRedial) {
    Script("0 2 3");
    progress.cancelAfterPumps = 3;
    EXPECT_FALSE(DialOffice());
    EXPECT_EQ(Texts().back(), "Stop connecting to the Internet.");
    EXPECT_EQ(Count("FakeRas_DialCount"), 1);
    ASSERT_EQ(Count("FakeRas_HangUpCount"), 1);
    EXPECT_EQ(HungUp(0), 100u);
    EXPECT_EQ(Occurrences("Retry the connection again."), 0);
}

TEST_F(RasDialerTest, OnlyTheFirstNotifiedErrorOfAnAttemptCounts) {
    Script("0 !680/7 !678/9 3");
    Script("8192");
    EXPECT_TRUE(DialOffice());
    EXPECT_EQ(Occurrences("Error: There is no dial tone. Extended Error Code: 7"), 1);
    EXPECT_EQ(Occurrences("Error: The remote computer did not respond. Extended Error Code: 9"), 0);
    // The error was cleared before the second attempt, which connected.
    EXPECT_EQ(Texts().back(), "Connect to remote server successfully!");
    EXPECT_EQ(Count("FakeRas_NotifierOnCallerThread"), 0);
}

TEST_F(RasDialerTest, ErrorWithoutPlatformTextStillShowsAndFails) {
    Script("!1234");
    Script("!1234/5");
    Script("!691");
    EXPECT_FALSE(DialOffice());
    EXPECT_EQ(Occurrences("Error: Fail to get error string"), 1);
    EXPECT_EQ(Occurrences("Error: Fail to get error string Extended Error Code: 5"), 1);
    EXPECT_EQ(Occurrences("Error: Access was denied."), 1);
}

TEST_F(RasDialerTest, DialThatCannotStartFailsTheAttemptAtOnce) {
    lib.Fn<void (*)(std::uint32_t)>("FakeRas_SetDialResult")(ERROR_LINE_BUSY);
    Script("0");
    EXPECT_FALSE(DialOffice());
    EXPECT_EQ(Occurrences("Error: The line is busy."), 3);
    EXPECT_EQ(clock.sleptMs, 2 * 5000);
}

TEST_F(RasDialerTest, AttemptsWithoutAnEndRunOutAndAreHungUp) {
    Script("2");
    EXPECT_FALSE(DialOffice());
    EXPECT_EQ(Count("FakeRas_StatusQueries"), 900);
    EXPECT_EQ(clock.sleptMs, 900LL * 1000 + 2 * 5000);
    EXPECT_EQ(Count("FakeRas_DialCount"), 3);
    EXPECT_EQ(Count("FakeRas_HangUpCount"), 3);
    EXPECT_EQ(progress.made[0]->pumps, 900);
}

TEST_F(RasDialerTest, ActiveConnectionOfAnyEntryMeansOnlineWithoutAsking) {
    AddActive("Somewhere else", 7);
    EXPECT_TRUE(DialOffice());
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(progress.made.empty());
    EXPECT_EQ(Count("FakeRas_DialCount"), 0);
}

TEST_F(RasDialerTest, RefusedQuestionOrUnknownEntryEndsBeforeAnyDial) {
    boxes.Answer(MbResult::Cancel);
    EXPECT_FALSE(DialOffice());
    ASSERT_EQ(boxes.boxes.size(), 1u);

    RasDialer dialer(FAKE_RAS);
    EXPECT_FALSE(dialer.DialEntry(boxes, progress, clock, "Nowhere", "", ""));
    EXPECT_EQ(boxes.boxes.size(), 2u);
    EXPECT_TRUE(progress.made.empty());
    EXPECT_EQ(Count("FakeRas_DialCount"), 0);
    EXPECT_FALSE(dialer.bound());
}

TEST_F(RasDialerTest, HangUpWithoutAHandleFindsTheLastEntryOfThatNameIgnoringCase) {
    AddActive("Office", 11);
    AddActive("office", 12);
    AddActive("Home", 13);
    RasDialer dialer(FAKE_RAS);
    ASSERT_TRUE(dialer.Bind());
    EXPECT_EQ(dialer.ActiveConnectionCount(), 3);
    EXPECT_FALSE(dialer.HangUp("Elsewhere"));
    EXPECT_TRUE(dialer.HangUp("OFFICE"));
    ASSERT_EQ(Count("FakeRas_HangUpCount"), 1);
    EXPECT_EQ(HungUp(0), 12u);
    EXPECT_EQ(dialer.ActiveConnectionCount(), 2);

    // With a handle of its own the dialer hangs that one up.
    (void)dialer.Dial("Home", &RasDialer::Notifier, "1", "u", "p", "", "");
    EXPECT_TRUE(dialer.HangUp("Home"));
    EXPECT_EQ(HungUp(1), dialer.connection());
}

TEST_F(RasDialerTest, ErrorTextForms) {
    RasDialer dialer(FAKE_RAS);
    ASSERT_TRUE(dialer.Bind());
    std::string text = "old";
    dialer.ErrorText(0, 3, text);
    EXPECT_EQ(text, "Fail to get error string");
    dialer.ErrorText(ERROR_NO_ANSWER, 0, text);
    EXPECT_EQ(text, "The remote computer did not respond.");
    dialer.ErrorText(ERROR_NO_ANSWER, 42, text);
    EXPECT_EQ(text, "The remote computer did not respond. Extended Error Code: 42");
}

TEST(RasDialerNotifierTest, KeepsTheFirstErrorWithItsOwnExtendedCode) {
    RasDialer::ClearNotifiedError();
    RasDialer::Notifier(1, WM_RASDIALEVENT, RASCS_OpenPort, 0, 99);
    EXPECT_EQ(RasDialer::NotifiedError(), std::make_pair(0u, 0u));

    std::vector<std::thread> threads;
    for (std::uint32_t i = 1; i <= 8; ++i)
        threads.emplace_back([i] {
            for (int k = 0; k < 1000; ++k)
                RasDialer::Notifier(1, WM_RASDIALEVENT, RASCS_OpenPort, 600 + i, i);
        });
    for (auto& t : threads) t.join();
    auto [error, extended] = RasDialer::NotifiedError();
    EXPECT_GE(error, 601u);
    EXPECT_EQ(error - 600, extended);
    RasDialer::Notifier(1, WM_RASDIALEVENT, RASCS_OpenPort, 700, 1);
    EXPECT_EQ(RasDialer::NotifiedError().first, error);
    RasDialer::ClearNotifiedError();
    EXPECT_EQ(RasDialer::NotifiedError().first, 0u);
}

TEST(RasDialerMissingTest, NoLibraryFailsWithoutAsking) {
    ScriptedMessageBox boxes;
    RecordingProgressFactory progress;
    FakeClock clock;
    RasDialer dialer("libcorvinaport-no-such-library.so");
    EXPECT_FALSE(dialer.Bind());
    EXPECT_FALSE(dialer.DialEntry(boxes, progress, clock, "Office", "", ""));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(progress.made.empty());
    EXPECT_EQ(dialer.ActiveConnectionCount(), 0);
}

TEST(RasDialerMissingTest, MissingFunctionsAreNeverCalled) {
    ScriptedMessageBox boxes;
    RecordingProgressFactory progress;
    FakeClock clock;
    {
        // Only enumeration and error texts are there.
        RasDialer dialer(FAKE_RAS_PARTIAL);
        ASSERT_TRUE(dialer.Bind());
        EXPECT_EQ(dialer.ActiveConnectionCount(), 0);
        RASDIALPARAMSA p{};
        p.dwSize = sizeof p;
        std::int32_t stored = 0;
        EXPECT_EQ(dialer.GetEntryDialParams(p, stored), 621u);
        EXPECT_EQ(dialer.Dial("Office", &RasDialer::Notifier, "", "", "", "", ""),
                  RasDialer::kNoDialFunction);
        std::string text = "kept";
        bool connected = true;
        EXPECT_FALSE(dialer.StatusText(text, connected));
        EXPECT_FALSE(connected);
        EXPECT_EQ(text, "kept");
        EXPECT_FALSE(dialer.HangUp("Office"));
        EXPECT_FALSE(dialer.DialEntry(boxes, progress, clock, "Office", "", ""));
        EXPECT_EQ(boxes.boxes.size(), 1u);  // asked, then no stored parameters
        EXPECT_TRUE(progress.made.empty());
    }
    {
        // A library with none of the six functions.
        RasDialer dialer(FAKE_QV40);
        ASSERT_TRUE(dialer.Bind());
        std::string text = "kept";
        dialer.ErrorText(ERROR_NO_ANSWER, 1, text);
        EXPECT_EQ(text, "kept");
        EXPECT_EQ(dialer.ActiveConnectionCount(), 0);
        EXPECT_FALSE(dialer.HangUp("x"));
    }
}

}  // namespace
