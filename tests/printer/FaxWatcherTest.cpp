#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/faxwatch/FaxWatcher.h"
#include "tools/notify/WindowMessage.h"

namespace {

namespace fs = std::filesystem;

int argc = 1;
char arg0[] = "fax_watcher_test";
char* argv[] = {arg0, nullptr};
QCoreApplication app(argc, argv);

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// A driver folder, a folder for the wizards' sockets and a stand-in wizard
// that writes down how it was started.
class FaxWatcherTest : public testing::Test {
  protected:
    void SetUp() override {
        root_ = testing::TempDir() + "faxwatch-" + std::to_string(getpid()) + "/";
        fs::remove_all(root_);
        folder_ = root_ + "driver/";
        fs::create_directories(folder_);
        chmod(folder_.c_str(), 0700);
        messages_ = root_ + "sockets";
        ASSERT_TRUE(EnsurePrivateFolder(messages_));
        record_ = root_ + "started.txt";
        wizard_ = root_ + "wizard.sh";
        WriteFile(
            wizard_,
            "#!/bin/sh\nprintf '%s|%s|%s|%s\\n' \"$PWD\" \"$CORVINAPORT_WINDIR\" \"$1\" \"$2\" >>" +
                record_ + "\n");
        chmod(wizard_.c_str(), 0755);
    }
    void TearDown() override { fs::remove_all(root_); }

    FaxWatchOptions Options(std::chrono::milliseconds grace = std::chrono::milliseconds(300)) {
        FaxWatchOptions options;
        options.folder = folder_;
        options.wizard = wizard_;
        options.messageFolder = messages_;
        options.grace = grace;
        options.retry = std::chrono::milliseconds(50);
        return options;
    }

    // As the printer does: written aside, renamed into place.
    std::string Print(const std::string& name) {
        const std::string tmp = folder_ + ".zephrim-ini.tmp";
        WriteFile(tmp, "[Print Page Appended]\r\nImage File Name=" + folder_ + "x.tif\r\n");
        fs::rename(tmp, folder_ + name);
        return folder_ + name;
    }

    std::string Started() { return ReadAll(record_); }
    long StartCount() {
        const std::string text = Started();
        return std::count(text.begin(), text.end(), '\n');
    }
    bool WaitStarted(long lines, int ms = 5000) {
        return QTest::qWaitFor([&] { return StartCount() >= lines; }, ms);
    }
    std::string StartLine(const std::string& name) {
        std::string dir = folder_.substr(0, folder_.size() - 1);
        return dir + "|" + folder_ + "|/print|\"" + name + "\"\n";
    }

    std::string root_, folder_, messages_, record_, wizard_;
};

TEST_F(FaxWatcherTest, StartsTheWizardForEachPrintWhenNoneRuns) {
    Print("fax-1-old.grp");  // printed while nobody watched
    FaxWatcher watcher(Options());
    ASSERT_TRUE(watcher.Start());
    ASSERT_TRUE(watcher.watching());
    ASSERT_TRUE(WaitStarted(1));
    Print("fax-2-new.grp");
    ASSERT_TRUE(WaitStarted(2));
    // Relative name in double quotes after a first word, run in the folder.
    EXPECT_EQ(Started(), StartLine("fax-1-old.grp") + StartLine("fax-2-new.grp"));
    // Each print once, however often its file is touched.
    WriteFile(folder_ + "fax-2-new.grp", "[Page1]\r\n");
    QTest::qWait(200);
    EXPECT_EQ(StartCount(), 2);
}

TEST_F(FaxWatcherTest, TellsARunningWizardAndStartsOneOnlyWhenItDoesNotTakeThePrint) {
    WindowMessageListener running;
    ASSERT_TRUE(running.Listen(messages_, 4242));
    QSignalSpy told(&running, &WindowMessageListener::messageReceived);
    FaxWatcher watcher(Options());
    ASSERT_TRUE(watcher.Start());

    // Taken over: the wizard deletes the group file within the grace time.
    const std::string taken = Print("fax-3-a.grp");
    ASSERT_TRUE(told.wait(3000));
    const auto message = told.takeFirst().at(0).value<WindowMessage>();
    EXPECT_EQ(message.registeredName, "KESTRO message");
    EXPECT_EQ(message.wParam & 3u, 1u);
    fs::remove(taken);
    QTest::qWait(600);
    EXPECT_EQ(Started(), "");
    EXPECT_EQ(watcher.pendingCount(), 0u);

    // Not taken over: still there after the grace time.
    Print("fax-4-b.grp");
    ASSERT_TRUE(told.wait(3000));
    ASSERT_TRUE(WaitStarted(1));
    EXPECT_EQ(Started(), StartLine("fax-4-b.grp"));
}

TEST_F(FaxWatcherTest, IgnoresWhatIsNotAPrintOfThisUser) {
    FaxWatcher watcher(Options());
    ASSERT_TRUE(watcher.Start());
    Print(".zephrim-half.grp");  // a temporary name
    Print("fax-5.tif");
    Print("quote\"d.grp");  // cannot be quoted on the command line
    WriteFile(root_ + "elsewhere.grp", "[Page1]\r\n");
    fs::create_symlink(root_ + "elsewhere.grp", folder_ + "fax-6-link.grp");
    fs::create_hard_link(root_ + "elsewhere.grp", folder_ + "fax-7-hard.grp");
    if (getuid() == 0) {
        // Another user's file in this user's folder.
        const std::string foreign = root_ + "foreign.grp";
        WriteFile(foreign, "[Page1]\r\n");
        ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
        fs::rename(foreign, folder_ + "fax-8-foreign.grp");
    }
    QTest::qWait(400);
    EXPECT_EQ(Started(), "");
    Print("fax-9-good.grp");
    ASSERT_TRUE(WaitStarted(1));
    EXPECT_EQ(Started(), StartLine("fax-9-good.grp"));
}

TEST_F(FaxWatcherTest, WaitsForTheFolderAndRefusesOneThatIsNotOwn) {
    fs::remove_all(folder_);
    FaxWatcher watcher(Options());
    ASSERT_TRUE(watcher.Start());
    EXPECT_FALSE(watcher.watching());
    // The printer makes the folder with its first print.
    fs::create_directories(folder_);
    ASSERT_TRUE(QTest::qWaitFor([&] { return watcher.watching(); }, 3000));
    Print("fax-10.grp");
    ASSERT_TRUE(WaitStarted(1));

    // A symbolic link in place of the folder is never watched.
    const std::string linked = root_ + "link/";
    fs::create_directory_symlink(folder_, root_ + "link");
    FaxWatchOptions options = Options();
    options.folder = linked;
    FaxWatcher other(options);
    ASSERT_TRUE(other.Start());
    QTest::qWait(200);
    EXPECT_FALSE(other.watching());
}

TEST_F(FaxWatcherTest, AMissingWizardProgramIsReportedAndThePrintKept) {
    FaxWatchOptions options = Options();
    options.wizard = root_ + "no-such-wizard";
    FaxWatcher watcher(options);
    QSignalSpy reports(&watcher, &FaxWatcher::report);
    ASSERT_TRUE(watcher.Start());
    const std::string kept = Print("fax-11.grp");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (const auto& r : reports)
                if (r.at(0).toString().contains(QStringLiteral("cannot start"))) return true;
            return false;
        },
        3000));
    EXPECT_TRUE(fs::exists(kept));
}

}  // namespace
