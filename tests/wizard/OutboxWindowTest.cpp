// The outbox window on real folders: states, search, actions, concurrent sends.
#include <gtest/gtest.h>
#include <sys/time.h>

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/relay_server/RelayServer.h"
#include "support/FakeClock.h"
#include "support/FakeShellLauncher.h"
#include "support/ScopedEnv.h"
#include "support/ScriptedMessageBox.h"
#include "support/StoredFax.h"
#include "support/TempFolder.h"
#include "support/TestTiff.h"
#include "wizard/job/Outbox.h"
#include "wizard/job/OutboxReader.h"
#include "wizard/outbox/ui/OutboxWindow.h"

namespace fs = std::filesystem;
using List = OutboxEntry::List;

namespace {

// The real time: the reader tells young folders by it.
const std::time_t kNow = std::time(nullptr);

QString HourMinute(std::time_t t) {
    return QDateTime::fromSecsSinceEpoch(t).toString(QStringLiteral("HH:mm"));
}

class OutboxWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        local = root.path() + "local/";
        fs::create_directories(local + "outbox");
    }
    // A fax stored by the wizard's own writer, with a record when given.
    std::string Store(std::time_t when, const std::string& to, const SendState* state = nullptr,
                      int pages = 0) {
        const std::string doc = root.file("offer" + std::to_string(when) + ".tif");
        if (pages > 0)
            WriteBilevelTiff(doc, 64, 64, pages, 4, [](int, int, int) { return false; });
        else
            root.Write(fs::path(doc).filename(), "not a picture");
        FaxMessage m;
        m.from = "jane@example.com";
        m.to = to;
        m.documentPath = doc;
        return StoreFax(local, m, when, state);
    }
    std::unique_ptr<OutboxWindow> Open() {
        OutboxWindowOptions o;
        o.localFolders = local;
        o.outboxCommand = QString::fromStdString(Bin("tools/outbox/corvinaport-outbox"));
        o.messageBox = &boxes;
        o.shell = &shell;
        o.preview = [this](QWidget*, const std::vector<std::string>& files) { previewed = files; };
        o.clock = &clock;
        o.openSettings = [this] { opened.emplace_back("settings"); };
        o.openContacts = [this] { opened.emplace_back("contacts"); };
        auto w = std::make_unique<OutboxWindow>(o);
        QSignalSpy loaded(w.get(), &OutboxWindow::loaded);
        EXPECT_TRUE(loaded.wait(10000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !w->loading(); }, 10000));
        return w;
    }
    // Each shown row of a list: folder name -> column text.
    static std::map<std::string, QString> Rows(const OutboxWindow& w, List list, int column) {
        std::map<std::string, QString> rows;
        const OutboxFilter* f = w.filter(list);
        for (int r = 0; r < f->rowCount(); ++r) {
            const QModelIndex source = f->mapToSource(f->index(r, column));
            rows[w.model(list)->entry(source.row()).name] = source.data().toString();
        }
        return rows;
    }
    // A relay on loopback, named in the settings store the commands run read.
    RelayServer& UseRelay() {
        EXPECT_TRUE(relay.Start());
        WriteOutboxRegistry(root.path() + "registry.reg", local, relay.serviceUrl());
        env.push_back(
            std::make_unique<ScopedEnv>("CORVINAPORT_REGISTRY", root.path() + "registry.reg"));
        env.push_back(std::make_unique<ScopedEnv>("XDG_RUNTIME_DIR", root.path()));
        return relay;
    }
    static void Select(OutboxWindow& w, List list, const std::vector<std::string>& names) {
        w.tabs()->setCurrentWidget(w.view(list));
        QItemSelection s;
        for (const auto& n : names) {
            const QModelIndex i =
                w.filter(list)->mapFromSource(w.model(list)->index(w.model(list)->RowOf(n), 0));
            s.select(i, i);
        }
        w.view(list)->selectionModel()->select(
            s, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    TempFolder root;
    std::string local;
    FakeClock clock{kNow};
    ScriptedMessageBox boxes;
    FakeLauncher shell;
    std::vector<std::string> opened;
    std::vector<std::string> previewed;
    std::vector<std::unique_ptr<ScopedEnv>> env;
    TempFolder received;
    RelayServer relay{received.path()};
};

SendState Record(int attempts, const std::string& error, bool held = false, bool failed = false) {
    SendState s;
    s.attempts = attempts;
    s.lastAttempt = attempts ? kNow - 60 : 0;
    s.firstFailure = s.lastAttempt;
    s.lastError = error;
    s.held = held;
    s.failed = failed;
    return s;
}

}  // namespace

TEST_F(OutboxWindowTest, ListsEveryStateInWordsWithRecipientsDocumentsAndPages) {
    SendState unknown = Record(1, "");
    unknown.sendingSince = kNow - 30;
    const SendState held = Record(0, "", true),
                    waiting = Record(2, "Sending the fax failed: the service did not answer."),
                    status = Record(2, "HTTP 500"),
                    failed = Record(10, "Signing in failed: The account was refused.", false, true),
                    fresh = Record(0, "");
    const struct {
        const SendState* state;
        QString words;
    } kCases[] = {
        {&held, "Held"},
        {&waiting,
         "Waiting: next try at " + HourMinute(kNow - 60 + 300) + " (the service did not answer)"},
        {&status, "Waiting: next try at " + HourMinute(kNow - 60 + 300) + " (HTTP 500)"},
        {&failed, "Failed after 10 tries: the account was refused"},
        {&unknown,
         "May have been sent: the program stopped while sending at " + HourMinute(kNow - 30)},
        {&fresh, "Waiting to be sent"},
    };
    std::map<std::string, QString> expected;
    std::time_t when = 1600000000;
    for (const auto& c : kCases)
        expected[Store(when += 100, "\"Bob\" <5551234>", c.state)] = c.words;
    const std::string sending = Store(when += 100, "5551234", nullptr, 3);
    expected[sending] = "Sending now";
    fs::create_directories(local + "outbox/garbage");
    std::ofstream(local + "outbox/garbage/msg.qvm") << "not a message\r\n";
    Age(local + "outbox/garbage/msg.qvm");
    expected["garbage"] = "Cannot be sent: msg.qvm is malformed: line 1 is not \"from: ...\"";
    const std::string sent = Store(when += 100, "\"Ann\" <ann@example.com>, \"Bob\" <5551234>");
    ASSERT_TRUE(MoveToSent(local + "outbox/" + sent, sent, local + "sent/"));

    const OutboxLock lock(local + "outbox/" + sending);
    const auto w = Open();
    EXPECT_EQ(Rows(*w, List::Outbox, OutboxListModel::State), expected);
    EXPECT_EQ(Rows(*w, List::Sent, OutboxListModel::State),
              (std::map<std::string, QString>{{sent, "Sent"}}));
    EXPECT_EQ(Rows(*w, List::Sent, OutboxListModel::Recipients)[sent], "Ann; 5551234");
    EXPECT_EQ(Rows(*w, List::Outbox, OutboxListModel::Documents)[sending],
              QString::fromStdString("offer" + std::to_string(when - 100) + ".tif"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return Rows(*w, List::Outbox, OutboxListModel::Pages)[sending] == "3"; }, 5000));
}

TEST_F(OutboxWindowTest, SearchFiltersBothListsAndContactsAndSettingsAreOneClickAway) {
    const std::string ann = Store(1700000000, "\"Ann Lee\" <ann@example.com>");
    const std::string bob = Store(1700090000, "\"Bob\" <5551234>");
    const std::string old = Store(1600000000, "\"Cy\" <5559876>");
    ASSERT_TRUE(MoveToSent(local + "outbox/" + old, old, local + "sent/"));
    const auto w = Open();
    const QString annDay =
        QDateTime::fromSecsSinceEpoch(1700000000).toString(QStringLiteral("yyyy-MM-dd"));
    const std::map<QString, std::pair<std::set<std::string>, std::set<std::string>>> kCases = {
        {"", {{ann, bob}, {old}}},        {"ANN", {{ann}, {}}},
        {"5551234", {{bob}, {}}},         {"555", {{bob}, {old}}},
        {"offer1700090000", {{bob}, {}}}, {annDay, {{ann}, {}}},
        {"lee ann", {{ann}, {}}},         {"lee bob", {{}, {}}},
    };
    for (const auto& [text, lists] : kCases) {
        w->searchField()->setText(text);
        std::set<std::string> shown[2];
        for (const List list : {List::Outbox, List::Sent})
            for (const auto& [name, _] : Rows(*w, list, 0)) shown[list == List::Sent].insert(name);
        EXPECT_EQ(std::pair(shown[0], shown[1]), lists) << text.toStdString();
    }
    // The Contacts and settings windows are one click away.
    for (QPushButton* b : w->findChildren<QPushButton*>())
        if (b->accessibleName() == "Contacts" || b->accessibleName() == "Settings") b->click();
    EXPECT_EQ(opened, (std::vector<std::string>{"contacts", "settings"}));
}

// Hold, Preview, Show in folder; Delete asks first, and a deleted fax is kept.
TEST_F(OutboxWindowTest, ActionsKeepWhatTheyPromise) {
    const SendState waiting = Record(1, "the service did not answer");
    const std::string fax = Store(1700000000, "5551234", &waiting);
    const std::string sent = Store(1700000100, "5551234");
    ASSERT_TRUE(MoveToSent(local + "outbox/" + sent, sent, local + "sent/"));
    auto w = Open();

    shell.shellResult = 42;
    Select(*w, List::Outbox, {fax});
    w->Preview();
    EXPECT_EQ(previewed,
              std::vector<std::string>{local + "outbox/" + fax + "/offer1700000000.tif"});
    w->ShowInFolder();
    EXPECT_EQ(shell.opened, std::vector<std::string>{local + "outbox/" + fax});
    w->Hold();
    EXPECT_TRUE(OutboxReader(local).Read(fax, kNow)->state.held);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return Rows(*w, List::Outbox, OutboxListModel::State)[fax] == "Held"; }, 5000));

    const struct {
        List list;
        std::string name, folder;
    } kDeletes[] = {{List::Outbox, fax, "outbox/"}, {List::Sent, sent, "sent/"}};
    for (const auto& d : kDeletes) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !w->loading(); }, 5000));
        Select(*w, d.list, {d.name});
        boxes.Answer(MbResult::No);
        w->Delete();
        ASSERT_EQ(boxes.boxes.size(), 1u) << boxes.Texts().front();
        EXPECT_EQ(boxes.boxes.back().buttons, MbButtons::YesNo);
        EXPECT_NE(boxes.boxes.back().text.find("30 days"), std::string::npos);
        EXPECT_TRUE(fs::exists(local + d.folder + d.name + "/msg.qvm"));
        boxes.Answer(MbResult::Yes);
        w->Delete();
        EXPECT_FALSE(fs::exists(local + d.folder + d.name));
        EXPECT_TRUE(fs::exists(local + "deleted/" + d.name + "/msg.qvm")) << d.name;
        EXPECT_TRUE(QTest::qWaitFor([&] { return w->model(d.list)->RowOf(d.name) < 0; }, 5000));
        boxes.boxes.clear();
    }
}

// Two windows' Send now and the watcher's round, all at once: each fax once.
TEST_F(OutboxWindowTest, TwoWindowsAndTheWatcherSendEachFaxOnce) {
    UseRelay();
    constexpr int kFaxes = 6;
    std::vector<std::string> names;
    for (int i = 0; i < kFaxes; ++i) names.push_back(Store(1700000000 + i * 10, "5551234"));

    auto first = Open(), second = Open();
    QProcess watcher;
    watcher.start(QString::fromStdString(Bin("tools/outbox/corvinaport-outbox")),
                  {"send", "--due", "--tab"});
    for (auto* w : {first.get(), second.get()}) {
        Select(*w, List::Outbox, names);
        w->SendNow();
    }
    ASSERT_TRUE(watcher.waitForFinished(60000));
    for (auto* w : {first.get(), second.get()}) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return w->runningSends() == 0; }, 60000));
        // Each window follows the others' and the watcher's sends.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return w->model(List::Outbox)->rowCount() == 0 &&
                       w->model(List::Sent)->rowCount() == kFaxes;
            },
            10000));
    }
    EXPECT_EQ(relay.ReceivedMessages().size(), static_cast<std::size_t>(kFaxes));
    for (const auto& n : names) EXPECT_TRUE(fs::exists(local + "sent/" + n + "/msg.qvm")) << n;
}

// A maybe-sent fax goes again, or is marked sent, only after the user says yes.
TEST_F(OutboxWindowTest, AnUndecidedFaxGoesAgainOnlyAtTheUsersWord) {
    UseRelay();
    SendState unknown = Record(1, "");
    unknown.sendingSince = kNow - 30;
    const std::string again = Store(1700000000, "5551234", &unknown);
    const std::string mark = Store(1700000100, "5551234", &unknown);
    const auto w = Open();
    const struct {
        std::string name;
        MbResult answer;
        void (OutboxWindow::*act)();
        std::size_t received;
        std::string folder;
    } kCases[] = {
        {again, MbResult::No, &OutboxWindow::SendNow, 0, "outbox/"},
        {again, MbResult::Yes, &OutboxWindow::SendNow, 1, "sent/"},
        {mark, MbResult::No, &OutboxWindow::MarkSent, 1, "outbox/"},
        {mark, MbResult::Yes, &OutboxWindow::MarkSent, 1, "sent/"},
    };
    for (const auto& c : kCases) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !w->loading(); }, 5000));
        Select(*w, List::Outbox, {c.name});
        boxes.Answer(c.answer);
        (w.get()->*c.act)();
        EXPECT_EQ(boxes.boxes.size(), 1u) << c.name;
        boxes.boxes.clear();
        EXPECT_TRUE(QTest::qWaitFor([&] { return w->runningSends() == 0; }, 30000));
        EXPECT_EQ(relay.ReceivedMessages().size(), c.received);
        EXPECT_TRUE(fs::exists(local + c.folder + c.name + "/msg.qvm")) << c.name;
    }
}
