// The dialer over the shipped remote access library, played from its script.
#include "connect/RasDialer.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "ConnectTestSupport.h"
#include "connect/dialer_api/QrvAolApi.h"
#include "support/FakeClock.h"
#include "support/FakeProgress.h"
#include "support/ScriptedMessageBox.h"

namespace {

class RasDialerTest : public ::testing::Test {
  protected:
    void SetUp() override { RasDialer::ClearNotifiedError(); }

    // Dials "Office" by the script; each call gets its own text so the script restarts.
    bool Dial(const std::string& text, const std::string& user = "") {
        script.Write("# " + std::to_string(++runs) + "\n" + text);
        RasDialer dialer;
        return dialer.DialEntry(boxes, progress, clock, "Office", user, "");
    }
    long Logged(const char* what) const {
        const std::string lines = log.Read();
        long n = 0;
        for (std::size_t at = 0; (at = lines.find(what, at)) != std::string::npos; ++at) ++n;
        return n;
    }

    EnvFile script{"CORVINAPORT_RAS_SCRIPT"};
    EnvFile log{"CORVINAPORT_RAS_LOG"};
    ScriptedMessageBox boxes;
    FakeProgressFactory progress;
    FakeClock clock;
    int runs = 0;
};

TEST(RasStateTextTest, ListedStatesHaveTheirSentencesOthersNone) {
    EXPECT_STREQ(RasStateText(RASCS_PasswordExpired),
                 "Change password state supported by RASPHONE.EXE.");
    for (int unlisted : {24, 4095, 4100, 8191, 8194, -1})
        EXPECT_EQ(RasStateText(unlisted), nullptr) << unlisted;
}

TEST_F(RasDialerTest, DialProcedure) {
    const std::string open = "Opening the port...", device = "Connecting to the device...",
                      retry = "Retry the connection again.", busy = "Error: The line is busy.",
                      done = "Connect to remote server successfully!",
                      unknown = "Error: Fail to get error string",
                      noAnswer =
                          "Error: The remote computer did not respond. Extended Error Code: 3";
    struct Case {
        std::string script;
        int stopAfter;  // pumps before the user stops; -1: the question is refused
        std::string outcome;
        Strings texts;  // of the progress window, if one was shown
    };
    const std::vector<Case> cases = {
        {"attempt\nstate OpenPort\nstate 2\nstate Disconnected\n"
         "attempt\nstate 0\nstate Authenticate\nstate Connected\n",
         0,
         "on-line, asked, 11000 ms, 2 dials, 0 hang-ups",
         {open, device, "Disconnected", retry, open, "Verifying the user name and password...",
          done}},
        // Only the first error of an attempt counts.
        {"state 0\nerror 678 3\nerror 680\nstate 2\n",
         0,
         "off-line, asked, 13000 ms, 3 dials, 3 hang-ups",
         {open, device, noAnswer, retry, open, device, noAnswer, retry, open, device, noAnswer}},
        {"attempt\nerror 1234\nattempt\nerror 1234 5\nattempt\nerror 691\n",
         0,
         "off-line, asked, 10000 ms, 3 dials, 3 hang-ups",
         {open, unknown, retry, unknown + " Extended Error Code: 5", retry,
          "Error: Access was denied: the user name or password is wrong."}},
        {"dial-result 676\nstate 0\n",
         0,
         "off-line, asked, 10000 ms, 3 dials, 3 hang-ups",
         {"Disconnected", busy, retry, busy, retry, busy}},
        {"state 0\nstate 2\nstate 3\n",
         3,
         "off-line, asked, 2000 ms, 1 dials, 1 hang-ups",
         {open, device, "Stop connecting to the Internet."}},
        // Attempts that never end run out after 300 polls and are hung up.
        {"state 2\n", 0, "off-line, asked, 910000 ms, 3 dials, 3 hang-ups", {device, retry, retry}},
        // An unlisted state leaves the shown text.
        {"state 3\nstate 50\nstate 13\nstate 13\nstate Connected\n",
         0,
         "on-line, asked, 5000 ms, 1 dials, 0 hang-ups",
         {"The device has connected successfully.",
          "Reauthentication (after callback) is starting. ", done}},
        {"active Elsewhere\n", 0, "on-line, 0 ms, 0 dials, 0 hang-ups", {}},
        {"state 0\n", -1, "off-line, asked, 0 ms, 0 dials, 0 hang-ups", {}},
        {"entry Home\n", 0, "off-line, asked, 0 ms, 0 dials, 0 hang-ups", {}},
        {"state Sideways\n", 0, "off-line, asked, 0 ms, 0 dials, 0 hang-ups", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        boxes = ScriptedMessageBox();
        if (c.stopAfter < 0) boxes.Answer(MbResult::Cancel);
        progress = FakeProgressFactory();
        progress.cancelAfterPumps = c.stopAfter;
        clock = FakeClock();
        log.Write("");
        const std::string entry = c.script.starts_with("entry") ? "" : "entry Office\n";
        const bool online = Dial(entry + c.script);
        EXPECT_EQ(std::string(online ? "on-line" : "off-line") +
                      (boxes.Texts() == Strings{"Connect to the Internet?"} ? ", asked, " : ", ") +
                      std::to_string(clock.sleptMs) + " ms, " + std::to_string(Logged("dial ")) +
                      " dials, " + std::to_string(Logged("hangup ")) + " hang-ups",
                  c.outcome);
        EXPECT_EQ(progress.made.empty() ? Strings{} : progress.made[0]->texts, c.texts);
    }
}

TEST_F(RasDialerTest, GivenUserNameReplacesTheStoredOneAndIsCutAndNoPasswordIsLogged) {
    const std::string entry =
        "entry Office phone=5551234 user=stored password=s3cret\nstate 8192\n";
    EXPECT_TRUE(Dial(entry));
    EXPECT_EQ(log.Read(),
              "dial Office phone=5551234 user=stored password=given phonebook=default\n");
    struct stat st {};
    ASSERT_EQ(::stat(log.path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // made by the library, for the user alone
    log.Write("");
    EXPECT_TRUE(Dial(entry, std::string(300, 'u')));
    EXPECT_EQ(log.Read().rfind("dial Office phone=5551234 user=" + std::string(256, 'u') + " ", 0),
              0u);
}

TEST_F(RasDialerTest, HangUpByNameTakesTheLastConnectionOfThatNameIgnoringCase) {
    script.Write("active Office\nactive office\nactive Home\n");
    RasDialer dialer;
    ASSERT_TRUE(dialer.Bind());
    EXPECT_EQ((std::tuple{dialer.ActiveConnectionCount(), dialer.HangUp("Elsewhere"),
                          dialer.HangUp("OFFICE"), log.Read(), dialer.ActiveConnectionCount()}),
              std::tuple(3, false, true, "hangup 2\n", 2));
}

TEST_F(RasDialerTest, MissingLibraryOrFunctionsAreNeverCalled) {
    for (const char* library : {"libcorvinaport-no-such-library.so", QRVAOL40_LIBRARY_NAME}) {
        SCOPED_TRACE(library);
        const bool loads = library == std::string(QRVAOL40_LIBRARY_NAME);
        boxes = ScriptedMessageBox();
        RasDialer dialer(library);
        EXPECT_FALSE(dialer.DialEntry(boxes, progress, clock, "Office", "", ""));
        EXPECT_EQ(boxes.boxes.size(), loads ? 1u : 0u);  // asked, then no stored parameters
        EXPECT_TRUE(progress.made.empty());
        EXPECT_EQ(dialer.Bind(), loads);
        EXPECT_EQ(dialer.ActiveConnectionCount(), 0);
        EXPECT_EQ(dialer.Dial("Office", &RasDialer::Notifier, "", "", "", "", ""),
                  RasDialer::kNoDialFunction);
        std::string text = "kept";
        bool connected = true;
        EXPECT_FALSE(dialer.StatusText(text, connected) || connected);
        dialer.ErrorText(ERROR_NO_ANSWER, 1, text);
        EXPECT_EQ(text, "kept");
        EXPECT_FALSE(dialer.HangUp("Office"));
    }
}

TEST_F(RasDialerTest, UnreadableOrMalformedScriptIsAClearError) {
    RasDialer dialer;
    ASSERT_TRUE(dialer.Bind());
    RASDIALPARAMSA p;
    auto lookUp = [&] { return LookUp(dialer, "Office", p); };
    EXPECT_EQ(lookUp(), static_cast<std::uint32_t>(ERROR_CANNOT_OPEN_PHONEBOOK));  // no file
    for (const char* bad : {"entry \"Office\n", "entry Office colour=red\n", "error 0\n",
                            "delay soon\n", "frobnicate\n", "entry Office\nerror 99999999999\n"}) {
        script.Write(bad);
        const std::uint32_t rc = lookUp();
        EXPECT_EQ(rc, static_cast<std::uint32_t>(ERROR_CANNOT_LOAD_PHONEBOOK)) << bad;
        std::string text;
        dialer.ErrorText(rc, 0, text);
        EXPECT_EQ(text, "The phone book could not be read: it is malformed.");
    }
}

}  // namespace
