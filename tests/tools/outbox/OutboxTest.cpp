// Sending stored faxes later: the outbox read back, send state, the command, the retry.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QSignalSpy>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "app/core/AppSettings.h"
#include "app/core/RegistryStore.h"
#include "app/fax_watch/DesktopNotifier.h"
#include "app/fax_watch/OutboxRetry.h"
#include "app/window_messages/WindowMessage.h"
#include "base/FileReplace.h"
#include "platform/relay_server/RelayServer.h"
#include "support/Command.h"
#include "support/FakeClock.h"
#include "support/ScopedEnv.h"
#include "support/SessionBus.h"
#include "support/StoredFax.h"
#include "support/TempFolder.h"
#include "wizard/job/Outbox.h"
#include "wizard/job/OutboxReader.h"
#include "wizard/outbox/sender/OutboxActions.h"
#include "wizard/outbox/sender/OutboxSender.h"

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
        return StoreFax(local, m, when);
    }
    bool StartRelay() {
        if (!relay.Start()) return false;
        settings.directory.RmMessages = relay.serviceUrl();
        return true;
    }
    // The registry store the command reads, for the current settings.
    std::string Registry() const {
        WriteOutboxRegistry(root.path() + "registry.reg", local, settings.directory.RmMessages);
        return "CORVINAPORT_REGISTRY='" + root.path() + "registry.reg' XDG_RUNTIME_DIR='" +
               root.path() + "' ";
    }

    // The retries as the desktop runs them: the command, the notifier, the session bus.
    struct Desktop {
        Desktop(const OutboxTest& t, const PrivateBus& bus)
            : registry("CORVINAPORT_REGISTRY",
                       ((void)t.Registry(), t.root.path() + "registry.reg")),
              runtime("XDG_RUNTIME_DIR", t.root.path()),
              session("DBUS_SESSION_BUS_ADDRESS", bus.address()),
              retry(std::make_unique<OutboxRetry>(Bin("tools/outbox"), std::chrono::hours(1))) {
            retry->notifier().SetProgram(Bin("tools/faxwatch/corvinaport-desktop-notify"));
        }
        ScopedEnv registry, runtime, session;
        std::unique_ptr<OutboxRetry> retry;
    };

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
        const auto parsed = OutboxMessage::Parse(text);
        EXPECT_TRUE(!parsed && !parsed.failure().cause.empty()) << name;
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

    for (const auto& r : sender.Send({}, OutboxSender::Mode::User))
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

    const auto failed = sender.SendOne(name, OutboxSender::Mode::User);
    EXPECT_EQ(failed.kind, Kind::Failed);
    EXPECT_EQ(failed.failure.cause,
              "Getting the upload address failed: the connection was refused.");
    const auto stored = OutboxReader(local).Read(name, std::time(nullptr));
    EXPECT_EQ(stored->state.attempts, 1);
    EXPECT_EQ(stored->state.lastError, failed.failure.cause);
    EXPECT_EQ(root.Read("local/outbox/" + name + "/msg.qvm"), msg);  // never written into
    EXPECT_EQ(sender.SendOne(name, OutboxSender::Mode::Due).kind, Kind::NotDue);

    ASSERT_TRUE(StartRelay());
    const auto results = sender.Send({}, OutboxSender::Mode::User);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].kind, Kind::Sent);
    EXPECT_TRUE(sender.Send({}, OutboxSender::Mode::User).empty());
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

    EXPECT_EQ(sender.SendOne(accepted, OutboxSender::Mode::User).kind, Kind::Moved);
    EXPECT_EQ(sender.SendOne(locked, OutboxSender::Mode::User).kind, Kind::Busy);
    EXPECT_TRUE(relay.ReceivedMessages().empty());
    EXPECT_TRUE(fs::exists(local + "sent/" + accepted + "-1/msg.qvm"));
    EXPECT_TRUE(fs::exists(local + "outbox/" + locked + "/msg.qvm"));
    EXPECT_EQ(sender.SendOne("no-such", OutboxSender::Mode::User).kind, Kind::Missing);
}

// The command's lines and usage (two commands at once: OutboxWindowTest).
TEST_F(OutboxTest, TheCommandListsSendsAndRefusesBadUsage) {
    ASSERT_TRUE(StartRelay());
    constexpr int kFaxes = 6;
    for (int i = 0; i < kFaxes; ++i) (void)Store(1700000000 + i * 10);
    const std::string command = Registry() + Bin("tools/outbox/corvinaport-outbox");
    const CommandResult listed = RunCommand(command + " list");
    EXPECT_EQ(listed.status, 0);
    EXPECT_NE(listed.out.find("1700000000: to 5551234@fax.corvinaport.net; document "
                              "fax1700000000.tif; waiting to be sent; 0 attempts\n"),
              std::string::npos)
        << listed.out;

    const std::pair<int, std::vector<const char*>> statuses[] = {
        {0, {" send", " --help", " --version"}},
        {1, {" send 9999"}},
        {2,
         {"", " frobnicate", " list extra", " send --now", " send --again", " send --due --again x",
          " mark-sent"}}};
    for (const auto& [status, calls] : statuses)
        for (const char* args : calls)
            EXPECT_EQ(RunCommand(command + args + " 2>&1").status, status) << args;
    EXPECT_EQ(relay.ReceivedMessages().size(), static_cast<std::size_t>(kFaxes));
}

// The listing in the user's language and plural forms; C keeps its bytes for scripts.
TEST_F(OutboxTest, ListSpeaksTheUsersLanguageWithPluralFormsAndCKeepsItsBytes) {
    const std::string once = Store(1700000000);
    const std::string twice = Store(1700000100);
    for (const auto& [name, attempts] : {std::pair{once, 1}, std::pair{twice, 2}}) {
        SendState state;
        state.attempts = attempts;
        state.lastAttempt = 1700000000;
        state.lastError = "the connection was refused";
        ASSERT_TRUE(WriteSendState(local + "outbox/" + name, state));
    }
    const std::string command = Registry() + Bin("tools/outbox/corvinaport-outbox") + " list";
    struct Case {
        const char* language;
        const char* one;
        const char* two;
    };
    const Case cases[] = {
        {"C", "; waiting: due now; 1 attempts; last error: the connection was refused\n",
         "; waiting: due now; 2 attempts; last error:"},
        {"en_GB.UTF-8", "; waiting: due now; 1 attempt; last error: the connection was refused\n",
         "; 2 attempts;"},
        {"de_DE.UTF-8",
         "; wartet: jetzt f\xc3\xa4llig; 1 Versuch; letzter Fehler: the connection was refused\n",
         "; 2 Versuche;"},
    };
    for (const Case& c : cases) {
        const std::string language =
            std::string("LANGUAGE= LC_ALL= LC_MESSAGES= LANG=") + c.language;
        const CommandResult listed = RunCommand(language + " " + command);
        EXPECT_EQ(listed.status, 0) << c.language;
        EXPECT_NE(listed.out.find(once + ": "), std::string::npos) << listed.out;
        EXPECT_NE(listed.out.find(c.one), std::string::npos) << c.language << "\n" << listed.out;
        EXPECT_NE(listed.out.find(c.two), std::string::npos) << c.language << "\n" << listed.out;
    }
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
    const std::string folder = local + "outbox/" + StoreFax(local, m, 1700000000);
    const std::string qvm = root.Read("local/outbox/1700000000/msg.qvm");
    EXPECT_NE(qvm.find("attachment:\r\n" + folder + "/Cover.tif\r\n" + folder + "/b.pdf\r\n" +
                       folder + "/b-2.pdf\r\n" + folder + "/msg-2.qvm\r\n"),
              std::string::npos)
        << qvm;
    for (const auto& [name, bytes] : docs) EXPECT_FALSE(fs::exists(root.file(name))) << name;

    ASSERT_TRUE(StartRelay());
    const std::string command = Registry() + Bin("tools/outbox/corvinaport-outbox");
    EXPECT_NE(RunCommand(command + " list")
                  .out.find("; documents Cover.tif, b.pdf, b-2.pdf, msg-2.qvm; "),
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

// What each end of an attempt leaves, and what a plain send does with it next.
TEST_F(OutboxTest, EachOutcomeLeavesItsStateAndOnlyTheUserResendsAnUnknownOne) {
    const struct {
        RelayFault fault;
        Kind first;
        FaxState after;
        std::size_t received;  // by the relay, after the first attempt
    } kCases[] = {
        {RelayFault::None, Kind::Sent, FaxState::Sent, 1},
        {RelayFault::Status500, Kind::Failed, FaxState::Waiting, 0},
        {RelayFault::NoLocation, Kind::Failed, FaxState::Waiting, 0},
        // The relay kept the fax and the connection broke before its answer.
        {RelayFault::BrokenReply, Kind::Unknown, FaxState::Unknown, 1},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        TempFolder received;
        RelayServer faulty(received.path(), c.fault);
        ASSERT_TRUE(faulty.Start());
        settings.directory.RmMessages = faulty.serviceUrl();
        const std::string name = Store(1700000000);
        const auto first = sender.SendOne(name, OutboxSender::Mode::User);
        EXPECT_EQ(first.kind, c.first) << first.failure.text();
        EXPECT_EQ(faulty.ReceivedMessages().size(), c.received);
        const auto left = OutboxReader(local).Read(name, std::time(nullptr));
        if (c.after == FaxState::Sent) {
            EXPECT_FALSE(left) << "moved to sent/";
            continue;
        }
        ASSERT_TRUE(left);
        EXPECT_EQ(std::tie(left->faxState, left->state.attempts), std::make_tuple(c.after, 1));
        if (c.after != FaxState::Unknown) {
            fs::remove_all(left->folder);
            continue;
        }
        EXPECT_EQ(DescribeUnknown(left->state).rfind("May have been sent: ", 0), 0u);
        // Neither the watcher nor a plain send sends it again; the user can.
        EXPECT_EQ(sender.SendOne(name, OutboxSender::Mode::Due).kind, Kind::Undecided);
        EXPECT_EQ(sender.Send({}, OutboxSender::Mode::User).at(0).kind, Kind::Undecided);
        EXPECT_EQ(sender.SendOne(name, OutboxSender::Mode::Again).kind, Kind::Unknown);
        EXPECT_EQ(faulty.ReceivedMessages().size(), 2u);
        EXPECT_EQ(sender.MarkSent(name).kind, Kind::Moved);
        EXPECT_TRUE(fs::exists(local + "sent/" + name + "/msg.qvm"));
    }
}

// A sender that stopped after recording its upload leaves an unknown fax;
// one that stopped before it leaves a waiting one.
TEST_F(OutboxTest, ASenderThatStoppedLeavesTheStateItHadRecorded) {
    ASSERT_TRUE(StartRelay());
    const std::string uploading = Store(1700000000), counted = Store(1700000100);
    SendState state;
    send_state::BeginAttempt(state, 1700000200);
    ASSERT_TRUE(WriteSendState(local + "outbox/" + counted, state));
    send_state::BeginUpload(state, 1700000200);
    ASSERT_TRUE(WriteSendState(local + "outbox/" + uploading, state));

    const auto results = sender.Send({}, OutboxSender::Mode::User);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].kind, Kind::Undecided);
    EXPECT_EQ(results[0].failure.text().rfind(
                  "May have been sent: the program stopped while sending at ", 0),
              0u)
        << results[0].failure.text();
    EXPECT_EQ(results[1].kind, Kind::Sent);
    EXPECT_EQ(relay.ReceivedMessages().size(), 1u);
}

// Accepted but not movable (sent/ cannot be made): sent, said once, moved later.
TEST_F(OutboxTest, AcceptedFaxThatCannotMoveCountsAsSentAndIsNeverSentAgain) {
    ASSERT_TRUE(StartRelay());
    const std::string name = Store(1700000000);
    root.Write("local/sent", "a file where the history belongs");

    const auto first = sender.SendOne(name, OutboxSender::Mode::Due);
    EXPECT_EQ(first.kind, Kind::SentNotMoved);
    EXPECT_EQ(DescribeResult(first).rfind("sent; could not be moved to sent/: ", 0), 0u);
    const auto stored = OutboxReader(local).Read(name, std::time(nullptr));
    ASSERT_TRUE(stored);
    EXPECT_TRUE(stored->faxState == FaxState::Sent && !stored->state.moveError.empty());
    for (auto mode : {OutboxSender::Mode::Due, OutboxSender::Mode::User, OutboxSender::Mode::Again})
        EXPECT_EQ(sender.SendOne(name, mode).kind, Kind::MoveFailed);
    EXPECT_EQ(relay.ReceivedMessages().size(), 1u);

    fs::remove(local + "sent");
    EXPECT_EQ(sender.SendOne(name, OutboxSender::Mode::Due).kind, Kind::Moved);
    EXPECT_TRUE(fs::exists(local + "sent/" + name + "/msg.qvm"));
}

// A name in the history is never reused; a lock is bound to its folder.
TEST_F(OutboxTest, NamesInTheHistoryAreNotReusedAndLocksKnowTheirFolder) {
    fs::create_directories(local + "sent/1700000000");
    EXPECT_EQ(Store(1700000000), "1700000001");
    EXPECT_EQ(OutboxLock(local + "outbox/1700000001").result(), OutboxLock::Result::Held);
    EXPECT_EQ(OutboxLock(local + "outbox/none").result(), OutboxLock::Result::Missing);
    const OutboxLock first(local + "outbox/1700000001");
    EXPECT_EQ(OutboxLock(local + "outbox/1700000001").result(), OutboxLock::Result::Busy);
    EXPECT_TRUE(OutboxFolderBusy(local + "outbox/1700000001"));
}

// Body files whose writer is gone are removed; a live or young one stays.
TEST(AbandonedBodyFiles, OnlyOldUnlockedBodyFilesGo) {
    TempFolder runtime;
    const ScopedEnv env("XDG_RUNTIME_DIR", runtime.path());
    const std::string folder = MessageFolder() + "/";
    ASSERT_TRUE(EnsurePrivateFolder(MessageFolder()));
    const ScratchFile live(folder + kBodyFilePrefix, kBodyFileSuffix);
    ASSERT_TRUE(live.made());
    const std::map<std::string, bool> kept = {
        {std::string(kBodyFilePrefix) + "old123" + kBodyFileSuffix, false},
        {std::string(kBodyFilePrefix) + "young1" + kBodyFileSuffix, true},
        {"sendfax-1.sock", true},
        {fs::path(live.path()).filename().string(), true},
    };
    for (const auto& [name, stays] : kept) {
        if (name != fs::path(live.path()).filename()) std::ofstream(folder + name) << "password";
        if (name != std::string(kBodyFilePrefix) + "young1" + kBodyFileSuffix) Age(folder + name);
    }
    EXPECT_EQ(RemoveAbandonedBodyFiles(), 1);
    for (const auto& [name, stays] : kept) EXPECT_EQ(fs::exists(folder + name), stays) << name;
}

// Another user's (here: anything but a folder) private folder never stops a send.
TEST_F(OutboxTest, AnUnusablePrivateFolderFallsBackToOneOfItsOwn) {
    ASSERT_TRUE(StartRelay());
    const std::string name = Store(1700000000);
    const ScopedEnv runtime("XDG_RUNTIME_DIR", root.path() + "runtime");
    const ScopedEnv tmp("TMPDIR", root.path());
    root.Write("runtime", "not a folder");
    OutboxSender own(settings);
    EXPECT_EQ(own.SendOne(name, OutboxSender::Mode::User).kind, Kind::Sent);
    for (const auto& e : fs::directory_iterator(root.path()))
        EXPECT_EQ(e.path().filename().string().find("corvinaport-"), std::string::npos) << e.path();
}

// Hold keeps a fax from the retries; Delete keeps it 30 days; Send again makes a new one.
TEST_F(OutboxTest, HoldDeleteAndSendAgainKeepWhatTheyPromise) {
    ASSERT_TRUE(StartRelay());
    const std::string held = Store(1700000000), gone = Store(1700000100);
    ASSERT_TRUE(HoldFax(local, held));
    EXPECT_EQ(sender.SendOne(held, OutboxSender::Mode::Due).kind, Kind::Held);
    {
        const OutboxLock busy(local + "outbox/" + gone);
        EXPECT_EQ(DeleteFax(local, "outbox", gone, 1700000000).failure().cause,
                  "it is being sent now");
        EXPECT_FALSE(HoldFax(local, gone));
    }
    ASSERT_TRUE(DeleteFax(local, "outbox", gone, 1700000000));
    EXPECT_TRUE(fs::exists(local + "deleted/" + gone + "/msg.qvm"));
    for (const auto& [age, kept] :
         {std::pair{kDeletedKeepSeconds - 1, true}, std::pair{kDeletedKeepSeconds, false}}) {
        (void)PurgeDeleted(local, 1700000000 + age);
        EXPECT_EQ(fs::exists(local + "deleted/" + gone), kept) << age;
    }

    EXPECT_EQ(sender.SendOne(held, OutboxSender::Mode::User).kind, Kind::Sent);
    const std::string msg = root.Read("local/sent/" + held + "/msg.qvm");
    const auto again = SendAgain(local, held, FakeClock(1700000200));
    ASSERT_TRUE(again) << again.failure().cause;
    EXPECT_EQ(sender.SendOne(*again, OutboxSender::Mode::Due).kind, Kind::Sent);
    ASSERT_EQ(relay.ReceivedMessages().size(), 2u);
    EXPECT_EQ(root.Read("local/sent/" + held + "/msg.qvm"), msg);  // the history stays
    const std::string sentAgain = root.Read("local/sent/" + *again + "/msg.qvm");
    EXPECT_EQ(sentAgain.substr(0, sentAgain.find("dir: ")), msg.substr(0, msg.find("dir: ")));
    EXPECT_FALSE(SendAgain(local, "../outbox", FakeClock(1700000300)));
}

// Removed with its package, the outbox command is gone: the retries end quietly.
TEST(OutboxRetryGone, AMissingCommandEndsTheRetries) {
    TempFolder dir;
    OutboxRetry retry(dir.path(), std::chrono::hours(1));
    retry.SetProgram(dir.path() + "corvinaport-outbox");
    QSignalSpy done(&retry, &OutboxRetry::roundDone);
    QSignalSpy said(&retry, &OutboxRetry::report);
    retry.RunNow();
    ASSERT_TRUE(done.wait(10000));
    EXPECT_TRUE(retry.stopped());
    retry.RunNow();
    EXPECT_FALSE(done.wait(300));
    ASSERT_EQ(said.size(), 1);
    EXPECT_TRUE(said.at(0).at(0).toString().endsWith("is gone; no more retries"));
}

namespace {

// The desktop's notification service on a private bus, recording each call.
class RecordingNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
  public:
    struct Call {
        uint replaces;
        QString summary, body;
        QStringList actions;
        QVariantMap hints;
    };
    std::vector<Call> calls;

  public slots:
    uint Notify(const QString&, uint replaces, const QString&, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int) {
        calls.push_back({replaces, summary, body, actions, hints});
        return replaces != 0 ? replaces : 40 + static_cast<uint>(calls.size());
    }
};

}  // namespace

// One notification a round, replacing the last; "Try now" sends; quiet rounds say nothing.
TEST_F(OutboxTest, NotificationsReplaceEachOtherAndTryNowSendsTheFailedFax) {
    PrivateBus bus;
    ASSERT_FALSE(bus.address().empty());
    QDBusConnection service = QDBusConnection::connectToBus(QString::fromStdString(bus.address()),
                                                            QStringLiteral("recording"));
    RecordingNotifications recorder;
    ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")));
    ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &recorder,
                                       QDBusConnection::ExportAllSlots));
    const std::string name = Store(1700000000);
    const Desktop desktop(*this, bus);
    OutboxRetry& retry = *desktop.retry;
    QSignalSpy done(&retry, &OutboxRetry::roundDone);
    QSignalSpy shown(&retry.notifier(), &DesktopNotifier::shown);

    retry.RunNow();  // the relay is down
    ASSERT_TRUE(done.wait(30000));
    ASSERT_TRUE(shown.wait(10000));
    ASSERT_EQ(recorder.calls.size(), 1u);
    const auto& failed = recorder.calls[0];
    EXPECT_EQ(failed.replaces, 0u);
    EXPECT_EQ(failed.actions, (QStringList{"show-outbox", "Show outbox", "try-now", "Try now"}));
    EXPECT_EQ(failed.hints.value("desktop-entry").toString(), "corvinaport-outbox");
    EXPECT_TRUE(failed.body.startsWith("1 stored fax(es) could not be sent yet"))
        << failed.body.toStdString();

    ASSERT_TRUE(StartRelay());
    (void)Registry();
    QDBusMessage action = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
    action << 41u << QStringLiteral("try-now");
    ASSERT_TRUE(service.send(action));
    ASSERT_TRUE(done.wait(30000));
    ASSERT_TRUE(shown.wait(10000));
    EXPECT_EQ(relay.ReceivedMessages().size(), 1u);
    EXPECT_TRUE(fs::exists(local + "sent/" + name));
    ASSERT_EQ(recorder.calls.size(), 2u);
    EXPECT_EQ(recorder.calls[1].replaces, 41u);
    EXPECT_EQ(recorder.calls[1].body, "1 stored fax(es) sent.");
    EXPECT_EQ(recorder.calls[1].actions, (QStringList{"show-outbox", "Show outbox"}));

    retry.RunNow();  // nothing left: nothing to say
    ASSERT_TRUE(done.wait(30000));
    EXPECT_FALSE(shown.wait(1500));
    EXPECT_EQ(recorder.calls.size(), 2u);
    service.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    QDBusConnection::disconnectFromBus(QStringLiteral("recording"));
}

// A session bus that does not answer costs the notification, never a round.
TEST_F(OutboxTest, AStoppedSessionBusNeverHoldsUpTheRetries) {
    PrivateBus bus;
    ASSERT_GT(bus.pid(), 0);
    ASSERT_EQ(::kill(bus.pid(), SIGSTOP), 0);
    ASSERT_TRUE(StartRelay());
    (void)Store(1700000000);
    const Desktop desktop(*this, bus);
    OutboxRetry& retry = *desktop.retry;
    retry.notifier().limitMs = 300;
    QSignalSpy done(&retry, &OutboxRetry::roundDone);
    QSignalSpy unshown(&retry.notifier(), &DesktopNotifier::failed);
    for (int round = 0; round < 2; ++round) {
        if (round == 1) (void)Store(1700000100);
        retry.RunNow();
        ASSERT_TRUE(done.wait(30000)) << round;
        EXPECT_EQ(done.last().at(0).toInt(), 1) << round;
        ASSERT_TRUE(unshown.wait(5000)) << round;
    }
    EXPECT_EQ(relay.ReceivedMessages().size(), 2u);
    ::kill(bus.pid(), SIGCONT);
}

#include "OutboxTest.moc"
