// Sending stored faxes later: the outbox read back, send state, the command, the retry.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "app/AppSettings.h"
#include "app/RegistryStore.h"
#include "support/Command.h"
#include "support/FakeClock.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"
#include "tools/faxwatch/OutboxRetry.h"
#include "tools/outbox/OutboxSender.h"
#include "tools/relay/RelayServer.h"
#include "wizard/Outbox.h"
#include "wizard/OutboxReader.h"

namespace fs = std::filesystem;
using Kind = OutboxSender::Result::Kind;

namespace {

int argc = 1;
char arg0[] = "outbox_test";
char* argv[] = {arg0, nullptr};
QCoreApplication app(argc, argv);

const bool kNoProxy = [] {
    for (const char* v : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) ::unsetenv(v);
    return true;
}();

std::string Bin(const std::string& path) {
    const char* dir = std::getenv("CORVINAPORT_TEST_BINDIR");
    return std::string(dir ? dir : ".") + "/" + path;
}

// Makes a file or folder look written an hour ago, past the writing grace.
void Age(const std::string& path) {
    const timeval old[2] = {{std::time(nullptr) - 3600, 0}, {std::time(nullptr) - 3600, 0}};
    ::lutimes(path.c_str(), old);
}

// A user's folders, faxes stored by the wizard's own writer, the relay on loopback.
class OutboxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        local = root.path() + "local/";
        fs::create_directories(local + "outbox");
        settings.general.WebmailUserName = "jane";
        settings.general.WebmailPassword = "s3cret";
        settings.directory.LocalFolders = local;
        settings.directory.RmMessages = "http://127.0.0.1:1/relay";  // down
        sender.bodyFolder = root.path();
    }
    // Stores a fax as the wizard does and returns its folder name.
    std::string Store(std::time_t when) {
        const std::string doc = "fax" + std::to_string(when) + ".tif";
        root.Write(doc, std::string("II*\0", 4) + " pages of " + std::to_string(when));
        FaxMessage m;
        m.from = "jane@example.com";
        m.to = "\"Bob\" <5551234>";
        m.documentPath = root.file(doc);
        std::string folder;
        EXPECT_TRUE(SaveToOutbox(local, "outbox", m, FakeClock(when), kFaxGatewayDomain, &folder));
        Age(folder + "/msg.qvm");
        Age(folder);
        return fs::path(folder).filename();
    }
    bool StartRelay() {
        if (!relay.Start()) return false;
        settings.directory.RmMessages = relay.serviceUrl();
        return true;
    }
    // The registry store the command reads, for the current settings.
    std::string Registry() const {
        const std::string key = "[HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Corvinaport\\";
        std::ofstream(root.path() + "registry.reg", std::ios::binary)
            << "Windows Registry Editor Version 5.00\r\n\r\n"
            << key << "General]\r\n\"WebmailUserName\"=\"jane\"\r\n\r\n"
            << key << "Directory]\r\n\"LocalFolders\"=\"" << local << "\"\r\n\"RmMessages\"=\""
            << settings.directory.RmMessages << "\"\r\n\r\n";
        return "CORVINAPORT_REGISTRY='" + root.path() + "registry.reg' XDG_RUNTIME_DIR='" +
               root.path() + "' ";
    }

    TempFolder root;
    TempFolder store;
    std::string local;
    AppSettings settings;
    OutboxSender sender{settings};
    RelayServer relay{store.path()};
};

}  // namespace

TEST(OutboxMessageParse, ReadsBackWhatTheWriterWritesAndRejectsTheRest) {
    const std::string good =
        "from: jane@example.com\r\nto: 5551234@fax.example, \"Ann\" <ann@example.com>\r\n"
        "cc: \r\nbcc: \r\nsubject: Offer\r\ndir: 1700000000\r\nyear: 2023\r\nmonth: 0\r\n"
        "day: 0\r\nhour: 0\r\nminute: 0\r\nsecond: 0\r\nmsgtype: 1\r\nsize: 812\r\n"
        "body:\r\ntwo\r\nlines\r\nattachment:\r\n/home/jane/local/outbox/1700000000/offer.tif\r\n";
    const auto back = OutboxMessage::Parse(good);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Render(), good);

    const std::map<std::string, std::string> bad = {
        {"empty", ""},
        {"garbage", "hello\r\nworld\r\n"},
        {"a line missing", good.substr(good.find("to: "))},
        {"no number", std::string(good).replace(good.find("2023"), 4, "20x3")},
        {"no attachment line", good.substr(0, good.find("attachment:"))},
        {"cut inside a line", good.substr(0, good.size() - 3)},
        {"a NUL byte", std::string(good).insert(10, 1, '\0')},
    };
    for (const auto& [name, text] : bad) {
        std::string problem;
        EXPECT_FALSE(OutboxMessage::Parse(text, &problem)) << name;
        EXPECT_FALSE(problem.empty()) << name;
    }
}

TEST(SendStateAndBackOff, RoundTripAndDelays) {
    SendState s;
    s.attempts = 3;
    s.lastAttempt = 1700000000;
    s.lastError = "The upload failed:\nbroken";
    const SendState back = SendState::Parse(s.Render());
    EXPECT_EQ(back.Render(),
              "attempts: 3\nlast-attempt: 1700000000\n"
              "last-error: The upload failed: broken\naccepted: no\n");
    const SendState odd = SendState::Parse("attempts: -4\ngarbage\naccepted: yes");
    EXPECT_EQ(odd.attempts, 0);
    EXPECT_TRUE(odd.accepted);

    const int minutes[] = {0, 1, 5, 15, 60, 60, 60};
    for (int attempts = 0; attempts < 7; ++attempts) {
        const SendState due{attempts, 1000000, {}, false};
        EXPECT_TRUE(RetryDue(due, 1000000 + minutes[attempts] * 60)) << attempts;
        EXPECT_EQ(RetryDue(due, 1000000 + minutes[attempts] * 60 - 1), attempts == 0) << attempts;
    }
}

// Malformed and foreign entries are reported, never sent and never deleted.
TEST_F(OutboxTest, ListTellsReadyFromBrokenAndLeavesEverythingInPlace) {
    const std::string ready = Store(1700000000);
    const std::string outbox = local + "outbox/";
    auto folder = [&](const std::string& name, const std::string& message) {
        fs::create_directories(outbox + name);
        if (!message.empty()) std::ofstream(outbox + name + "/msg.qvm") << message;
        Age(outbox + name + "/msg.qvm");
        Age(outbox + name);
    };
    const std::string good = root.Read("local/outbox/" + ready + "/msg.qvm");
    folder(".staging", good);
    folder("empty", "");
    folder("garbage", "this is not a message\r\n");
    folder("nodoc", good);
    fs::remove(outbox + "nodoc/fax1700000000.tif");
    folder("outside", good.substr(0, good.find("attachment:")) + "attachment:\r\n/etc/passwd\r\n");
    folder("second", good + outbox + ready + "/gone.pdf\r\n");  // its second document is gone
    fs::copy_file(outbox + ready + "/fax1700000000.tif", outbox + "second/fax1700000000.tif");
    Age(outbox + "second");
    folder("huge", "x");
    ::truncate((outbox + "huge/msg.qvm").c_str(), 1LL << 30);  // sparse: 1 GB, no disk
    fs::create_directory_symlink(outbox + ready, outbox + "link");
    std::ofstream(outbox + "staged.tif") << "the job being composed";
    folder("young", good);
    ::utimes((outbox + "young/msg.qvm").c_str(), nullptr);

    std::map<std::string, std::string> seen;
    for (const StoredFax& fax : OutboxReader(local).List(std::time(nullptr))) {
        const char* status[] = {"ready", "accepted", "writing", "broken"};
        seen[fax.name] = std::string(status[static_cast<int>(fax.status)]) + " " + fax.problem;
    }
    const std::map<std::string, std::string> expected = {
        {ready, "ready "},
        {"empty", "broken msg.qvm is missing"},
        {"garbage", "broken msg.qvm is malformed: line 1 is not \"from: ...\""},
        {"nodoc", "broken its document fax1700000000.tif is missing"},
        {"outside", "broken its document passwd is missing"},
        {"second", "broken its document gone.pdf is missing"},
        {"huge", "broken msg.qvm is too large (1073741824 bytes)"},
        {"link", "broken is a symbolic link; left alone"},
        {"young", "writing still being written"},
    };
    EXPECT_EQ(seen, expected);

    for (const auto& r : sender.Send({}, false))
        if (r.name != ready) {
            EXPECT_EQ(r.kind, Kind::Skipped) << r.name;
        }
    for (const char* name :
         {".staging", "empty", "garbage", "nodoc", "second", "huge", "link", "staged.tif"})
        EXPECT_TRUE(fs::exists(fs::symlink_status(outbox + name))) << name;
}

// Relay down: the cause is recorded and the back-off kept; once back, one delivery.
TEST_F(OutboxTest, FaxStoredWhileTheRelayIsDownIsDeliveredOnceWhenItIsBack) {
    const std::string name = Store(1700000000);
    const std::string folder = local + "outbox/" + name;
    const std::string msg = root.Read("local/outbox/" + name + "/msg.qvm");

    const auto failed = sender.SendOne(name, false);
    EXPECT_EQ(failed.kind, Kind::Failed);
    EXPECT_EQ(failed.text, "Getting the upload address failed: the connection was refused.");
    const auto stored = OutboxReader(local).Read(name, std::time(nullptr));
    EXPECT_EQ(stored->state.attempts, 1);
    EXPECT_EQ(stored->state.lastError, failed.text);
    EXPECT_EQ(root.Read("local/outbox/" + name + "/msg.qvm"), msg);  // never written into
    EXPECT_EQ(sender.SendOne(name, true).kind, Kind::NotDue);

    ASSERT_TRUE(StartRelay());
    const auto results = sender.Send({}, false);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].kind, Kind::Sent);
    EXPECT_TRUE(sender.Send({}, false).empty());
    ASSERT_EQ(relay.ReceivedMessages().size(), 1u);
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_EQ(root.Read("local/sent/" + name + "/msg.qvm"), msg);
    EXPECT_TRUE(SendState::Parse(root.Read("local/sent/" + name + "/send.state")).accepted);
    // Nothing of the exchange (the password) stays behind.
    for (const auto& e : fs::recursive_directory_iterator(root.path()))
        EXPECT_EQ(e.path().filename().string().find("qrvmsg"), std::string::npos);
}

// Accepted before a crash: moved, not sent again. A busy folder is left to its holder.
TEST_F(OutboxTest, AcceptedFaxIsOnlyMovedAndALockedOneIsBusy) {
    ASSERT_TRUE(StartRelay());
    const std::string accepted = Store(1700000000);
    const std::string locked = Store(1700000100);
    fs::create_directories(local + "sent/" + accepted);  // an older fax of that name
    SendState state;
    state.attempts = 1;
    state.accepted = true;
    ASSERT_TRUE(WriteSendState(local + "outbox/" + accepted, state));
    OutboxLock other(local + "outbox/" + locked);
    ASSERT_TRUE(other.held());

    EXPECT_EQ(sender.SendOne(accepted, false).kind, Kind::Moved);
    EXPECT_EQ(sender.SendOne(locked, false).kind, Kind::Busy);
    EXPECT_TRUE(relay.ReceivedMessages().empty());
    EXPECT_TRUE(fs::exists(local + "sent/" + accepted + "-1/msg.qvm"));
    EXPECT_TRUE(fs::exists(local + "outbox/" + locked + "/msg.qvm"));
    EXPECT_EQ(sender.SendOne("no-such", false).kind, Kind::Missing);
}

// Two commands at once deliver every fax exactly once; the command's lines and usage.
TEST_F(OutboxTest, TwoConcurrentCommandsDeliverEachFaxOnce) {
    ASSERT_TRUE(StartRelay());
    constexpr int kFaxes = 6;
    for (int i = 0; i < kFaxes; ++i) (void)Store(1700000000 + i * 10);
    const std::string env = Registry();
    const std::string command = env + Bin("tools/outbox/corvinaport-outbox");

    const CommandResult listed = RunCommand(command + " list");
    EXPECT_EQ(listed.status, 0);
    EXPECT_NE(listed.out.find("1700000000: to 5551234@fax.corvinaport.net; document "
                              "fax1700000000.tif; 0 attempts\n"),
              std::string::npos)
        << listed.out;

    const std::string both = RunCommand("(" + command + " send & " + command + " send; wait)").out;
    std::size_t sentLines = 0;
    for (std::size_t at = both.find(": sent\n"); at != std::string::npos;
         at = both.find(": sent\n", at + 1))
        ++sentLines;
    EXPECT_EQ(sentLines, static_cast<std::size_t>(kFaxes)) << both;

    const std::pair<const char*, int> statuses[] = {
        {" send", 0},       {" send 9999", 1},  {"", 2},       {" frobnicate", 2},
        {" list extra", 2}, {" send --now", 2}, {" --help", 0}};
    for (const auto& [args, status] : statuses)
        EXPECT_EQ(RunCommand(command + args + " 2>&1").status, status) << args;
    EXPECT_EQ(relay.ReceivedMessages().size(), static_cast<std::size_t>(kFaxes)) << both;
}

// The watcher's automatic retry runs the command and counts its outcome.
TEST_F(OutboxTest, AutomaticRetryDeliversTheStoredFax) {
    const std::string name = Store(1700000000);
    ASSERT_TRUE(StartRelay());
    (void)Registry();
    const ScopedEnv registry("CORVINAPORT_REGISTRY", root.path() + "registry.reg");
    const ScopedEnv runtime("XDG_RUNTIME_DIR", root.path());
    const ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + root.path() + "no-bus");
    OutboxRetry retry(Bin("tools/outbox"), std::chrono::hours(1));
    QSignalSpy done(&retry, &OutboxRetry::roundDone);
    retry.RunNow();
    ASSERT_TRUE(done.wait(30000));
    EXPECT_EQ(done.at(0).at(0).toInt(), 1);
    EXPECT_EQ(done.at(0).at(1).toInt(), 0);
    EXPECT_EQ(relay.ReceivedMessages().size(), 1u);
    EXPECT_TRUE(fs::exists(local + "sent/" + name));
}

// A fax of several documents (two of the same name) is stored and sent by the command in order.
TEST_F(OutboxTest, SeveralDocumentsAreStoredAndSentByTheCommandInTheirOrder) {
    fs::create_directories(root.path() + "other");
    const std::vector<std::pair<std::string, std::string>> docs = {
        {"Cover.tif", "cover"},
        {"b.pdf", "%PDF b"},
        {"other/b.pdf", "%PDF other b"},
        {"msg.qvm", "a document named like the message file"}};
    FaxMessage m;
    m.from = "jane@example.com";
    m.to = "\"Bob\" <5551234>";
    for (const auto& [name, bytes] : docs) {
        root.Write(name, bytes);
        m.documentPaths.push_back(root.file(name));
    }
    m.documentPath = m.documentPaths.front();
    std::string folder;
    ASSERT_TRUE(
        SaveToOutbox(local, "outbox", m, FakeClock(1700000000), kFaxGatewayDomain, &folder));
    Age(folder + "/msg.qvm");
    Age(folder);
    const std::string qvm = root.Read("local/outbox/1700000000/msg.qvm");
    EXPECT_NE(qvm.find("attachment:\r\n" + folder + "/Cover.tif\r\n" + folder + "/b.pdf\r\n" +
                       folder + "/b-2.pdf\r\n" + folder + "/msg-2.qvm\r\n"),
              std::string::npos)
        << qvm;
    for (const auto& [name, bytes] : docs) EXPECT_FALSE(fs::exists(root.file(name))) << name;

    ASSERT_TRUE(StartRelay());
    const std::string command = Registry() + Bin("tools/outbox/corvinaport-outbox");
    EXPECT_NE(RunCommand(command + " list")
                  .out.find("documents Cover.tif, b.pdf, b-2.pdf, msg-2.qvm; 0 attempts"),
              std::string::npos);
    EXPECT_EQ(RunCommand(command + " send").status, 0);
    ASSERT_EQ(relay.ReceivedMessages().size(), 1u);
    const std::string received = relay.ReceivedMessages()[0].string() + "/";
    auto read = [&received](const std::string& name) {
        std::ifstream in(received + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string fields = read("fields.txt");
    EXPECT_NE(fields.find("attach1: <file Cover.tif>\nattach2: <file b.pdf>\n"
                          "attach3: <file b-2.pdf>\nattach4: <file msg-2.qvm>\n"),
              std::string::npos)
        << fields;
    EXPECT_EQ(read("b-2.pdf"), "%PDF other b");
}
