#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>

#include "app/fax_watch/FaxWatcher.h"
#include "app/window_messages/WindowMessage.h"
#include "imaging/IniFile.h"
#include "support/TempFolder.h"
#include "support/TestTiff.h"

namespace {

namespace fs = std::filesystem;

int argc = 1;
char arg0[] = "fax_watcher_test";
char* argv[] = {arg0, nullptr};
QCoreApplication app(argc, argv);

// A wizard on its own thread, taking over the print bi_group.ini names as wizards do.
class FakeWizard : public QThread {
  public:
    enum Kind { Takes, Declines, SilentTakes, Silent };
    FakeWizard(std::string messages, std::string folder, long id, Kind kind)
        : messages_(std::move(messages)), folder_(std::move(folder)), id_(id), kind_(kind) {
        start();
        while (!ready_) QThread::msleep(5);
    }
    ~FakeWizard() override {
        quit();
        wait();
    }
    std::atomic<int> told{0}, took{0};

  protected:
    void run() override {
        WindowMessageListener listener;
        (void)listener.Listen(messages_, id_);
        auto take = [this] {
            const std::string settings = folder_ + "bi_group.ini";
            const auto section = ReadProfileString(settings, "Current setting", "Name and Port");
            const auto group = ReadProfileString(settings, section.value_or(""), "Groupfile name");
            if (took > 0 || !group || !fs::remove(*group)) return false;
            ++took;
            return true;
        };
        if (kind_ == Takes || kind_ == Declines)
            listener.SetAnswerer([&](const WindowMessage&) -> std::string {
                ++told;
                return kind_ == Takes && take() ? kAnswerTaken : kAnswerDeclined;
            });
        else
            connect(&listener, &WindowMessageListener::messageReceived, [&] {
                ++told;
                if (kind_ == SilentTakes) take();
            });
        ready_ = true;
        exec();
    }

  private:
    std::string messages_, folder_;
    long id_;
    Kind kind_;
    std::atomic<bool> ready_{false};
};

// A driver folder, a socket folder and a stand-in wizard logging how it was started.
class FaxWatcherTest : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = root_ + "driver/";
        fs::create_directories(folder_);
        chmod(folder_.c_str(), 0700);
        messages_ = root_ + "sockets";
        ASSERT_TRUE(EnsurePrivateFolder(messages_));
        record_ = root_ + "started.txt";
        wizard_ = root_ + "wizard.sh";
        WriteText(
            wizard_,
            "#!/bin/sh\nprintf '%s|%s|%s|%s\\n' \"$PWD\" \"$CORVINAPORT_WINDIR\" \"$1\" \"$2\" >>" +
                record_ + "\n");
        chmod(wizard_.c_str(), 0755);
    }

    FaxWatchOptions Options(std::chrono::milliseconds grace = std::chrono::milliseconds(300)) {
        FaxWatchOptions options;
        options.folder = folder_;
        options.wizard = wizard_;
        options.messageFolder = messages_;
        options.grace = grace;
        options.answer = std::chrono::milliseconds(200);
        options.retry = std::chrono::milliseconds(50);
        return options;
    }

    // As the printer does: group file, then bi_group.ini, each renamed into place.
    std::string Print(const std::string& name, bool named = true) {
        Place(name, "[Page1]\r\nPlane1=" + folder_ + "x.tif\r\n");
        if (named) Name(name);
        return folder_ + name;
    }
    void Name(const std::string& name) {
        Place("bi_group.ini",
              "[Current setting]\r\nName and Port=zephrim,zephrim:\r\n\r\n"
              "[zephrim,zephrim:]\r\nGroupfile name=" +
                  folder_ + name + "\r\n");
    }
    void Place(const std::string& name, const std::string& text) {
        const std::string tmp = folder_ + ".zephrim-ini.tmp";
        WriteText(tmp, text);
        fs::rename(tmp, folder_ + name);
    }

    std::string Started() { return ReadText(record_); }
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

    TempFolder tmp_;
    std::string root_ = tmp_.path(), folder_, messages_, record_, wizard_;
};

TEST_F(FaxWatcherTest, EachPrintReachesExactlyOneWizard) {
    using K = FakeWizard::Kind;
    struct Case {
        const char* what;
        std::vector<K> running;
        std::vector<int> told;  // per running wizard
        bool started;           // a new wizard for the print
    };
    const std::vector<Case> cases = {
        {"taken by the only wizard", {K::Takes}, {1}, false},
        {"declined: started at once", {K::Declines}, {1}, true},
        {"the first declines, the next takes", {K::Declines, K::Takes}, {1, 1}, false},
        {"one at a time: the first takes", {K::Takes, K::Takes}, {1, 0}, false},
        {"an old wizard takes it in time", {K::SilentTakes}, {1}, false},
        {"an old wizard that does nothing", {K::Silent}, {1}, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(record_);
        for (const auto& entry : fs::directory_iterator(folder_)) fs::remove(entry.path());
        std::vector<std::unique_ptr<FakeWizard>> running;
        for (K kind : c.running)
            running.push_back(std::make_unique<FakeWizard>(messages_, folder_,
                                                           100 * ++n + long(running.size()), kind));
        FaxWatcher watcher(Options(std::chrono::milliseconds(600)));
        ASSERT_TRUE(watcher.Start());
        const std::string name = "fax-" + std::to_string(n) + ".grp";
        Print(name);
        ASSERT_TRUE(QTest::qWaitFor([&] { return running.front()->told > 0; }, 3000));
        // Declined: started well before the grace time; otherwise not at all.
        if (c.started) {
            const bool silent = c.running.front() == K::Silent;
            ASSERT_TRUE(WaitStarted(1, silent ? 3000 : 400));
            EXPECT_EQ(Started(), StartLine(name));
        } else {
            QTest::qWait(900);
            EXPECT_EQ(Started(), "");
            EXPECT_FALSE(fs::exists(folder_ + name));
        }
        for (std::size_t i = 0; i < running.size(); ++i)
            EXPECT_EQ(running[i]->told, c.told[i]) << i;
        running.clear();
    }
}

TEST_F(FaxWatcherTest, ActsOnlyOnCompletePrintsAndEveryOneOnce) {
    FakeWizard running(messages_, folder_, 4242, FakeWizard::Takes);
    FaxWatcher watcher(Options(std::chrono::milliseconds(800)));
    ASSERT_TRUE(watcher.Start());
    // The group file is there, bi_group.ini not yet: nobody is told.
    Print("fax-1-half.grp", false);
    QTest::qWait(300);
    EXPECT_EQ(running.told, 0);
    Name("fax-1-half.grp");
    ASSERT_TRUE(QTest::qWaitFor([&] { return running.took == 1; }, 3000));

    // Two prints: the older gets a wizard of its own; the newer is offered and declined.
    Print("fax-2-a.grp", false);
    Print("fax-3-b.grp");
    ASSERT_TRUE(WaitStarted(2));
    EXPECT_EQ(Started(), StartLine("fax-2-a.grp") + StartLine("fax-3-b.grp"));
    EXPECT_EQ(running.told, 2);

    // A group file bi_group.ini never names still reaches a wizard.
    Print("fax-4-lost.grp", false);
    ASSERT_TRUE(WaitStarted(3, 3000));
    EXPECT_EQ(running.told, 2);
    QTest::qWait(300);
    EXPECT_EQ(std::tuple(StartCount(), watcher.pendingCount()), std::tuple(3, 0u));
}

// Prints made unwatched go over at start, each once; other users' files never.
TEST_F(FaxWatcherTest, StartsTheWizardForEachPrintOfThisUserOnly) {
    Print("fax-1-old.grp");
    FaxWatcher watcher(Options());
    ASSERT_TRUE(watcher.Start());
    ASSERT_TRUE(WaitStarted(1));
    Print(".zephrim-half.grp");  // a temporary name
    Print("fax-5.tif");
    Print("quote\"d.grp");  // cannot be quoted on the command line
    WriteText(root_ + "elsewhere.grp", "[Page1]\r\n");
    fs::create_symlink(root_ + "elsewhere.grp", folder_ + "fax-6-link.grp");
    fs::create_hard_link(root_ + "elsewhere.grp", folder_ + "fax-7-hard.grp");
    if (getuid() == 0) {
        // Another user's file in this user's folder.
        const std::string foreign = root_ + "foreign.grp";
        WriteText(foreign, "[Page1]\r\n");
        ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
        fs::rename(foreign, folder_ + "fax-8-foreign.grp");
    }
    Print("fax-9-good.grp");
    ASSERT_TRUE(WaitStarted(2));
    WriteText(folder_ + "fax-9-good.grp", "[Page1]\r\n");
    QTest::qWait(400);
    // Relative name in double quotes after a first word, run in the folder.
    EXPECT_EQ(Started(), StartLine("fax-1-old.grp") + StartLine("fax-9-good.grp"));
}

// The folder comes with the first print; a link there is never watched; a failed start keeps it.
TEST_F(FaxWatcherTest, WaitsForItsOwnFolderAndKeepsAPrintNoWizardTook) {
    fs::remove_all(folder_);
    FaxWatchOptions options = Options();
    options.wizard = root_ + "no-such-wizard";
    FaxWatcher watcher(options);
    QSignalSpy reports(&watcher, &FaxWatcher::report);
    ASSERT_TRUE(watcher.Start());
    EXPECT_FALSE(watcher.watching());
    fs::create_directories(folder_);
    ASSERT_TRUE(QTest::qWaitFor([&] { return watcher.watching(); }, 3000));
    const std::string kept = Print("fax-11.grp");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (const auto& r : reports)
                if (r.at(0).toString().contains(QStringLiteral("cannot start"))) return true;
            return false;
        },
        3000));
    EXPECT_TRUE(fs::exists(kept));

    fs::create_directory_symlink(folder_, root_ + "link");
    options.folder = root_ + "link/";
    FaxWatcher linked(options);
    ASSERT_TRUE(linked.Start());
    QTest::qWait(200);
    EXPECT_FALSE(linked.watching());
}

}  // namespace
