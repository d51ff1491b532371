#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <filesystem>
#include <string>

#include "app/core/AppSettings.h"
#include "app/core/PasswordStore.h"
#include "app/secret_store/SecretServiceStore.h"
#include "app/settings/ui/SettingsWindow.h"
#include "platform/relay_server/RelayServer.h"
#include "support/RegText.h"
#include "support/ScopedEnv.h"
#include "support/SecretServiceBus.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

const std::string kGeneral = ProductKey("General");
// A user's store with lines and values the window does not show.
const std::string kKept = kRegHeader + "; kept by hand\r\n" + kGeneral +
                          "\"WebmailUserName\"=\"ann\"\r\n\"Bundle\"=hex(2):61,00,62,00,00,00\r\n"
                          "\"AutoStart\"=dword:00000000\r\nthis line is not understood\r\n\r\n"
                          "[HKEY_CURRENT_USER\\Other]\r\n@=\"x\"\r\n\r\n" +
                          ProductKey("Directory") + "\"RmMessages\"=\"http://old/r\"\r\n";

fs::perms Mode(const std::string& path) { return fs::status(path).permissions() & fs::perms::all; }

// The store the settings read the password through, for one test.
struct Installed {
    explicit Installed(PasswordStore* store) { InstallPasswordStore(store); }
    ~Installed() { InstallPasswordStore(nullptr); }
    Installed(const Installed&) = delete;
    Installed& operator=(const Installed&) = delete;
};

class Settings : public ::testing::Test {
  protected:
    static AppSettings Loaded() {
        AppSettings s;
        s.general.Load();
        s.connection.Load();
        s.directory.Load();
        return s;
    }
    void WriteStore(const std::string& text) const {
        fs::create_directories(dir.file("config/corvinaport"));
        dir.Write("config/corvinaport/registry.reg", text);
    }
    [[nodiscard]] std::string Stored() const { return dir.Read("config/corvinaport/registry.reg"); }
    // True when no file under the test's folder holds text.
    [[nodiscard]] bool NoFileHolds(const std::string& text) const {
        for (const auto& e : fs::recursive_directory_iterator(dir.path())) {
            if (e.is_regular_file() &&
                dir.Read(fs::relative(e.path(), dir.path()).string()).find(text) !=
                    std::string::npos)
                return false;
        }
        return true;
    }

    TempFolder dir;
    ScopedEnv home{"HOME", dir.file("home")};
    ScopedEnv config{"XDG_CONFIG_HOME", dir.file("config")};
    ScopedEnv one{"CORVINAPORT_REGISTRY", ""};
    ScopedEnv system{"CORVINAPORT_SYSTEM_REGISTRY", dir.file("etc.reg")};
    const std::string store = dir.file("config/corvinaport/registry.reg");
};

// Saving writes only what changed, nothing otherwise; other users' stores untouched.
TEST_F(Settings, TheWindowRoundTripsTheStoreUntouched) {
    WriteStore(kKept);
    SettingsWindow(Loaded(), nullptr).accept();
    EXPECT_EQ(Stored(), kKept);
    EXPECT_EQ(Mode(dir.file("home/Corvinaport/Local Folders")), fs::perms::owner_all);

    SettingsWindow window(Loaded(), nullptr);
    window.serviceEdit()->setText("http://new/r");
    window.accept();
    std::string expected = kKept;
    expected.replace(expected.find("http://old/r"), 12, "http://new/r");
    EXPECT_EQ(Stored(), expected);
    EXPECT_EQ(Mode(store), fs::perms::owner_read | fs::perms::owner_write);

    // A folder typed from the home folder is made whole; a relative one is refused.
    SettingsWindow folders(Loaded(), nullptr);
    folders.addressBookEdit()->setText("~/Book");
    EXPECT_EQ(folders.Edited().installPath, dir.file("home/Book/"));
    folders.localFoldersEdit()->setText("relative/");
    folders.accept();
    EXPECT_NE(folders.result(), QDialog::Accepted);
    EXPECT_NE(folders.checkResult()->text().indexOf("relative/ is not a full path"), -1);
    EXPECT_EQ(Stored(), expected);

    const ScopedEnv other("XDG_CONFIG_HOME", dir.file("other"));
    EXPECT_EQ(Loaded().general.WebmailUserName, "");
    EXPECT_FALSE(fs::exists(dir.file("other")));
}

// Check runs the location request alone and says what came of it.
TEST_F(Settings, CheckTellsAnsweredRefusedAndDown) {
    struct Case {
        RelayFault fault;
        bool down;
        ServiceCheck::Outcome outcome;
        std::string words;
    };
    const Case cases[] = {
        {RelayFault::None, false, ServiceCheck::Outcome::Accepted, kCheckAcceptedText},
        {RelayFault::NoLocation, false, ServiceCheck::Outcome::Refused, kCheckRefusedText},
        {RelayFault::None, true, ServiceCheck::Outcome::NoAnswer,
         "The service did not answer: the connection was refused"},
    };
    WriteStore(kKept);
    for (const Case& c : cases) {
        RelayServer relay(dir.file("received"), c.fault);
        ASSERT_TRUE(relay.Start());
        const std::string url = relay.serviceUrl();
        if (c.down) relay.Stop();
        SettingsWindow window(Loaded(), nullptr);
        window.serviceEdit()->setText(QString::fromStdString(url));
        EXPECT_EQ(window.RunCheck().outcome, c.outcome) << c.words;
        EXPECT_EQ(window.checkResult()->text().toStdString().rfind(c.words, 0), 0u)
            << window.checkResult()->text().toStdString();
        EXPECT_TRUE(relay.ReceivedMessages().empty()) << "no fax is sent";
    }
    EXPECT_EQ(Stored(), kKept);
}

// A scrambled password moves to the secret store once; no file ever holds it clear.
TEST_F(Settings, ThePasswordMovesToTheSecretStore) {
    const SecretServiceBus bus;
    SecretServicePasswordStore secrets;
    ASSERT_TRUE(secrets.Available());
    const Installed installed(&secrets);
    const std::string old = "0ld pa55&word";
    WriteStore(kKept + kGeneral + "\"WebmailPassword\"=\"" + *ScramblePassword(old, 0x5a) +
               "\"\r\n");
    EXPECT_EQ(Loaded().general.WebmailPassword, old);
    EXPECT_EQ(Stored(), kKept + kGeneral) << "moved out of the file, the rest kept";
    EXPECT_EQ(secrets.Lookup("ann"), old);
    EXPECT_EQ(Loaded().general.WebmailPassword, old) << "read back from the secret store";

    SettingsWindow window(Loaded(), &secrets);
    EXPECT_EQ(window.passwordPlace()->text(),
              "The password is kept in the desktop's secret store.");
    const std::string typed = "n3w s3cret";
    window.passwordEdit()->setText(QString::fromStdString(typed));
    window.accept();
    EXPECT_EQ(secrets.Lookup("ann"), typed);
    EXPECT_EQ(Loaded().general.WebmailPassword, typed);
    EXPECT_EQ(Stored().find("WebmailPassword"), std::string::npos);
    EXPECT_TRUE(NoFileHolds(typed) && NoFileHolds(old));
}

// Without a secret store the window says so and keeps the password scrambled.
TEST_F(Settings, WithoutASecretStoreThePasswordIsKeptScrambled) {
    const SecretServiceBus bus(false);
    SecretServicePasswordStore secrets;
    EXPECT_FALSE(secrets.Available());
    const Installed installed(&secrets);
    WriteStore(kKept);
    SettingsWindow window(Loaded(), &secrets);
    EXPECT_NE(window.passwordPlace()->text().indexOf("scrambled"), -1);
    window.passwordEdit()->setText("typed s3cret");
    window.accept();
    EXPECT_EQ(Loaded().general.WebmailPassword, "typed s3cret");
    EXPECT_TRUE(NoFileHolds("typed s3cret"));
    EXPECT_EQ(Mode(store), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Mode(dir.file("config/corvinaport")), fs::perms::owner_all);
}

}  // namespace
