// The shipped remote access and dialer libraries, loaded by bare name as the
// program loads them, driven by their script and state files.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ConnectTestSupport.h"
#include "PrivateBus.h"
#include "app/AppSettings.h"
#include "connect/ConnectionManager.h"
#include "connect/DialerLibrary.h"
#include "connect/RasDialer.h"
#include "tests/support/FakeClock.h"
#include "tests/support/ScriptedMessageBox.h"

namespace {

using Strings = std::vector<std::string>;

// A temporary file named by an environment variable while the object lives.
class EnvFile {
  public:
    EnvFile(const char* variable, const std::string& content) : variable_(variable) {
        char tmpl[] = "/tmp/connect-env-XXXXXX";
        int fd = ::mkstemp(tmpl);
        if (fd >= 0) ::close(fd);
        path_ = tmpl;
        Write(content);
        ::setenv(variable_, path_.c_str(), 1);
    }
    ~EnvFile() {
        ::unsetenv(variable_);
        ::unlink(path_.c_str());
    }
    void Write(const std::string& content) {
        std::ofstream(path_, std::ios::binary | std::ios::trunc) << content;
    }
    [[nodiscard]] std::string Read() const {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    [[nodiscard]] const std::string& path() const { return path_; }

  private:
    const char* variable_;
    std::string path_;
};

// Looks an entry up through the bound library; the result code.
std::uint32_t LookUp(RasDialer& dialer, const char* entry) {
    RASDIALPARAMSA p{};
    p.dwSize = sizeof p;
    std::strcpy(p.szEntryName, entry);
    std::int32_t stored = 0;
    return dialer.GetEntryDialParams(p, stored);
}

class ScriptedRasTest : public ::testing::Test {
  protected:
    void SetUp() override { RasDialer::ClearNotifiedError(); }
    bool Dial(EnvFile& script, const std::string& user = "", const std::string& pw = "") {
        (void)script;
        RasDialer dialer;
        return dialer.DialEntry(boxes, progress, clock, "Office", user, pw);
    }
    long Count(const std::string& t) {
        const Strings& texts = progress.made.at(0)->texts;
        return std::count(texts.begin(), texts.end(), t);
    }

    EnvFile log{"CORVINAPORT_RAS_LOG", ""};
    ScriptedMessageBox boxes;
    RecordingProgressFactory progress;
    FakeClock clock;
};

TEST_F(ScriptedRasTest, SecondAttemptConnectsAndTheConnectionCanBeHungUpByName) {
    EnvFile script("CORVINAPORT_RAS_SCRIPT",
                   "# two attempts\n"
                   "entry \"Office\" phone=5551234 user=stored password=\"pw with blank\"\n"
                   "attempt\n"
                   "state OpenPort\n"
                   "state 2\n"
                   "state Disconnected\n"
                   "attempt\n"
                   "state 0\n"
                   "delay 0\n"
                   "state Connected\n");
    ::unlink(log.path().c_str());  // the library creates it
    EXPECT_TRUE(Dial(script, "me"));
    EXPECT_EQ(progress.made.at(0)->texts,
              (Strings{"Opening the port...", "Connecting to the device...", "Disconnected",
                       "Retry the connection again.", "Opening the port...",
                       "Connect to remote server successfully!"}));
    EXPECT_EQ(log.Read(),
              "dial Office phone=5551234 user=me password=given phonebook=default\n"
              "dial Office phone=5551234 user=me password=given phonebook=default\n");
    struct stat st {};
    ASSERT_EQ(::stat(log.path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    RasDialer other;
    ASSERT_TRUE(other.Bind());
    EXPECT_EQ(other.ActiveConnectionCount(), 1);
    EXPECT_FALSE(other.HangUp("Home"));
    EXPECT_TRUE(other.HangUp("OFFICE"));
    EXPECT_EQ(other.ActiveConnectionCount(), 0);
}

TEST_F(ScriptedRasTest, ErrorsFailEachAttemptAndListedConnectionsCountAsOnline) {
    EnvFile script("CORVINAPORT_RAS_SCRIPT",
                   "entry Office phone=1\n"
                   "state 0\n"
                   "error 678 3\n"
                   "error 680\n"
                   "state 2\n");
    EXPECT_FALSE(Dial(script));
    EXPECT_EQ(Count("Error: The remote computer did not respond. Extended Error Code: 3"), 3);
    EXPECT_EQ(Count("Error: There is no dial tone."), 0);
    const std::string lines = log.Read();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 6);  // 3 dials, 3 hang-ups

    script.Write("entry Office\nactive Elsewhere\n");
    ScriptedMessageBox quiet;
    RasDialer dialer;
    EXPECT_TRUE(dialer.DialEntry(quiet, progress, clock, "Office", "", ""));
    EXPECT_TRUE(quiet.boxes.empty());
}

TEST_F(ScriptedRasTest, DialResultFailsTheAttemptAtOnce) {
    EnvFile script("CORVINAPORT_RAS_SCRIPT", "entry Office\ndial-result 676\nstate 0\n");
    EXPECT_FALSE(Dial(script));
    EXPECT_EQ(Count("Error: The line is busy."), 3);
    EXPECT_EQ(clock.sleptMs, 2 * 5000);
}

TEST_F(ScriptedRasTest, MalformedOrMissingScriptIsAClearError) {
    for (const char* bad :
         {"entry Office\nstate Sideways\n", "entry \"Office\n", "entry Office colour=red\n",
          "error 0\n", "delay soon\n", "frobnicate\n", "entry Office\nerror 99999999999\n"}) {
        EnvFile script("CORVINAPORT_RAS_SCRIPT", bad);
        RasDialer dialer;
        ASSERT_TRUE(dialer.Bind());
        const std::uint32_t rc = LookUp(dialer, "Office");
        EXPECT_EQ(rc, static_cast<std::uint32_t>(ERROR_CANNOT_LOAD_PHONEBOOK)) << bad;
        std::string text;
        dialer.ErrorText(rc, 0, text);
        EXPECT_EQ(text, "The phone book could not be read: it is malformed.");
        EXPECT_EQ(dialer.ActiveConnectionCount(), 0);
        EXPECT_FALSE(Dial(script)) << bad;
    }
    ::setenv("CORVINAPORT_RAS_SCRIPT", "/nonexistent/corvinaport/script", 1);
    RasDialer dialer;
    ASSERT_TRUE(dialer.Bind());
    EXPECT_EQ(LookUp(dialer, ""), static_cast<std::uint32_t>(ERROR_CANNOT_OPEN_PHONEBOOK));
    ::unsetenv("CORVINAPORT_RAS_SCRIPT");
}

TEST(NetworkManagerRasTest, NoSystemBusGivesAClearError) {
    ::unsetenv("CORVINAPORT_RAS_SCRIPT");
    ScopedSystemBus noBus("unix:path=/nonexistent/corvinaport-bus");

    RasDialer dialer;
    ASSERT_TRUE(dialer.Bind());
    const std::uint32_t rc = LookUp(dialer, "Office");
    EXPECT_EQ(rc, static_cast<std::uint32_t>(ERROR_RASMAN_CANNOT_INITIALIZE));
    std::string text;
    dialer.ErrorText(rc, 0, text);
    EXPECT_NE(text.find("NetworkManager"), std::string::npos) << text;
    EXPECT_EQ(dialer.Dial("Office", &RasDialer::Notifier, "", "", "", "", ""),
              static_cast<std::uint32_t>(ERROR_RASMAN_CANNOT_INITIALIZE));
    EXPECT_EQ(dialer.ActiveConnectionCount(), 0);
    EXPECT_FALSE(dialer.HangUp("Office"));

    ScriptedMessageBox boxes;
    RecordingProgressFactory progress;
    FakeClock clock;
    EXPECT_FALSE(dialer.DialEntry(boxes, progress, clock, "Office", "", ""));
    EXPECT_TRUE(progress.made.empty());
}

const char* const kAol4Key =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\America Online\\America Online\\4.0]\r\n";

class SimulatedClientTest : public ::testing::Test {
  protected:
    void SetUp() override { reg.Write(kAol4Key); }
    bool SignOn(const std::string& name = "screen", const std::string& pw = "pw") {
        DialerLibrary dialer;
        return dialer.SignOn(progress, clock, name, pw);
    }
    const Strings& Texts() { return progress.made.at(0)->texts; }

    ScopedRegistry reg;
    RecordingProgressFactory progress;
    FakeClock clock;
};

TEST_F(SimulatedClientTest, RunningAmericaOnlineClientSignsOn) {
    EnvFile state("CORVINAPORT_QRVAOL_STATE",
                  "running=1\r\nsignon-window=yes\r\nconnected-after=2\r\n"
                  "screen-name=screen\r\npassword=pw\r\n");
    DialerLibrary dialer;
    EXPECT_TRUE(dialer.SignOn(progress, clock, "screen", "pw"));
    EXPECT_EQ(Texts(), (Strings{"Start America Online...", "Connecting to America Online server...",
                                "Connected to America Online successfully!"}));
    // The connection lasts while the library stays loaded: a later sign-on
    // finds it at once.
    RecordingProgressFactory again;
    EXPECT_TRUE(dialer.SignOn(again, clock, "screen", "pw"));
    EXPECT_TRUE(again.made.empty());
}

TEST_F(SimulatedClientTest, StoppedCompuServeClientIsStartedThenSignedOn) {
    EnvFile state("CORVINAPORT_QRVAOL_STATE",
                  "# the client is installed but not running\ncs2k = 1\nsignon-window-after=1\n");
    EXPECT_TRUE(SignOn());
    EXPECT_EQ(Texts(), (Strings{"Start CompuServe 2000...", "Connecting to CompuServe 2000...",
                                "Connected to CompuServe 2000 successfully!"}));
    EXPECT_EQ(clock.sleptMs, 2000 + 2500 + 1000);
}

TEST_F(SimulatedClientTest, RefusalsAndBadFilesFailWithoutACrash) {
    struct Case {
        std::string file;
        std::string last;
    };
    const std::vector<Case> cases = {
        {"running=1\nsignon-window=1\npassword=right\n", "Unable to connect to America Online."},
        {"start-result=3\n", "Unable to start America Online."},
        {"running=1\n", "Unable to connect..."},
        {"info=1\n", "Unable to connect..."},
        // Malformed: the client's information is unavailable.
        {"running=maybe\n", "Unable to connect..."},
        {"runnning=1\n", "Unable to connect..."},
        {"connected-after=-5\n", "Unable to connect..."},
        {"no equals sign\n", "Unable to connect..."},
        {std::string("\0\xff\x01", 3), "Unable to connect..."},
    };
    for (const Case& c : cases) {
        progress.made.clear();
        EnvFile state("CORVINAPORT_QRVAOL_STATE", c.file);
        EXPECT_FALSE(SignOn()) << c.file;
        ASSERT_EQ(progress.made.size(), 1u) << c.file;
        EXPECT_EQ(Texts().back(), c.last) << c.file;
    }
    // No state file: no client that could be started.
    progress.made.clear();
    ::unsetenv("CORVINAPORT_QRVAOL_STATE");
    EXPECT_FALSE(SignOn());
    EXPECT_EQ(Texts().back(), "Unable to start America Online.");
}

TEST(VersionThreeClientTest, IsNeverCompuServe) {
    ScopedRegistry reg;
    reg.Write("[HKEY_LOCAL_MACHINE\\SOFTWARE\\America Online\\AOL\\CurrentVersion]\r\n");
    EnvFile state("CORVINAPORT_QRVAOL_STATE", "cs2k=1\nrunning=1\nsignon-window=1\n");
    DialerLibrary dialer;
    ASSERT_TRUE(dialer.Bind());
    EXPECT_NE(dialer.IsCs2k, nullptr);
    EXPECT_FALSE(dialer.IsCs());
}

TEST(ShippedLibrariesManagerTest, DialUpAndOnlineServiceEndToEnd) {
    ScopedRegistry reg;
    FakeNetworkState network;
    FakeClock clock;
    ConnectionManager manager(network, clock);
    RecordingProgressFactory progress;
    RasDialer::ClearNotifiedError();

    reg.Write(
        "[HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Corvinaport\\Connection]\r\n"
        "\"ConnectionType\"=\"DUN\"\r\n\"PrimaryDUN\"=\"My ISP\"\r\n");
    {
        EnvFile script("CORVINAPORT_RAS_SCRIPT",
                       "entry \"My ISP\" phone=0800\nstate 5\nerror 691\nattempt\nstate 8192\n");
        ScriptedMessageBox boxes;
        EXPECT_TRUE(manager.EnsureOnline(boxes, progress));
        EXPECT_EQ(boxes.Texts(), (Strings{"Connect to the Internet?"}));
        EXPECT_EQ(progress.made.at(0)->texts.at(1),
                  "Error: Access was denied: the user name or password is wrong.");
    }

    reg.Write(
        "[HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Corvinaport\\Connection]\r\n"
        "\"ConnectionType\"=\"AOL\"\r\n\"AOLUserName\"=\"screen\"\r\n"
        "\"AOLPassword\"=\"" +
        *ScramblePassword("wrong", 0x5A) + "\"\r\n\r\n" +
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\CompuServe\\CompuServe\\CurrentVersion]\r\n");
    EnvFile state("CORVINAPORT_QRVAOL_STATE",
                  "cs2k=1\nrunning=1\nsignon-window=1\npassword=right\n");
    ScriptedMessageBox boxes;
    EXPECT_FALSE(manager.EnsureOnline(boxes, progress));
    EXPECT_EQ(boxes.Texts(), (Strings{"Connect to CompuServe?", "Not Connected to CompuServe"}));
}

}  // namespace
