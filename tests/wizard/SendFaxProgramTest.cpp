// The whole program as the user meets it, with a relay on loopback.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <tiffio.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "addrbook/ui/CAddressBookDlg.h"
#include "addrbook/ui/CChooseFaxNumberDlg.h"
#include "app/CNetFaxApp.h"
#include "app/program/SendFaxProgram.h"
#include "connect/NetworkState.h"
#include "imaging/ImagingLibrary.h"
#include "imaging/PrintSpooler.h"
#include "platform/relay_server/RelayServer.h"
#include "support/Command.h"
#include "support/NotifyCommand.h"
#include "support/RegText.h"
#include "support/ScopedEnv.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempFolder.h"
#include "support/TestTiff.h"
#include "transport/RelayMessage.h"
#include "wizard/job/FaxJob.h"
#include "wizard/job/FaxState.h"
#include "wizard/ui/CMainHostDlg.h"
#include "wizard/ui/CTaskProgressWnd.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kSent = "Your fax has been sent!";
constexpr const char* kNotSent =
    "Your fax could not be sent! It will be saved so you can try to send it later.";
constexpr const char* kSaved =
    "Your fax will be saved. You may send it later\nby accessing Corvinaport Outbox.";

// What the relay stored of one fax: form fields ("name: value") and files.
struct ReceivedFax {
    std::string fields;
    std::map<std::string, std::string> files;  // file name -> bytes
    [[nodiscard]] std::string Field(const std::string& name) const {
        const std::size_t at = fields.find("\n" + name + ": ");
        if (at == std::string::npos) return "(none)";
        const std::size_t begin = at + name.size() + 3;
        return fields.substr(begin, fields.find('\n', begin) - begin);
    }
};

// The stand-in relay on loopback, storing into a folder of its own.
class Relay {
  public:
    Relay() : server_(store_.path()) { EXPECT_TRUE(server_.Start()); }
    [[nodiscard]] std::string serviceUrl() const { return server_.serviceUrl(); }
    [[nodiscard]] int Count() const { return static_cast<int>(server_.ReceivedMessages().size()); }
    [[nodiscard]] ReceivedFax Last() const {
        ReceivedFax fax;
        const auto received = server_.ReceivedMessages();
        if (received.empty()) return fax;
        for (const auto& e : fs::directory_iterator(received.back())) {
            const std::string name = e.path().filename().string();
            const std::string bytes = ReadText(e.path().string());
            if (name == "fields.txt")
                fax.fields = "\n" + bytes;
            else if (name != "query.txt")
                fax.files[name] = bytes;
        }
        return fax;
    }

  private:
    TempFolder store_;
    RelayServer server_;
};

// A URL nobody answers on: port 1 is never served.
constexpr const char* kDeadUrl = "http://127.0.0.1:1/relay";

// No printers, or the fax printer "zephrim" with its driver.
struct Printers final : PrintSpooler {
    std::optional<std::vector<std::string>> LocalPrinters() override { return InstalledDrivers(); }
    std::optional<std::vector<std::string>> InstalledDrivers() override {
        return faxPrinter ? std::vector<std::string>{"zephrim"} : std::vector<std::string>{};
    }
    bool faxPrinter = false;
};

struct Network final : NetworkState {
    bool GetConnectedState(std::uint32_t& flags) override {
        flags = up ? INTERNET_CONNECTION_LAN : 0;
        return up;
    }
    std::vector<InterfaceAddress> Interfaces() override {
        if (!up) return {{"lo", "127.0.0.1", 4, true, true, false}};
        return {{"lo", "127.0.0.1", 4, true, true, false},
                {"eth0", "10.1.2.3", 4, true, false, false}};
    }
    bool up = true;
};

// Records the progress windows the waits open, which are real windows.
struct WatchedWindows final : TaskProgressFactory {
    explicit WatchedWindows(MessageBoxService& boxes) : real(boxes) {}
    std::unique_ptr<TaskProgress> Create(const std::string& title, bool smooth,
                                         bool showBar) override {
        auto w = real.Create(title, smooth, showBar);
        auto* wnd = dynamic_cast<CTaskProgressWnd*>(w.get());
        titles.push_back(title);
        shownAtCreation.push_back(wnd && wnd->isVisible());
        return w;
    }
    QtTaskProgressFactory real;
    std::vector<std::string> titles;
    std::vector<bool> shownAtCreation;
};

// Narrow Group 3 fax pages, so that a cover page in front of them stands out.
void WriteFaxTiff(const std::string& path, int pages) {
    WriteBilevelTiff(path, 64, 8, pages, COMPRESSION_CCITTFAX3,
                     [](int, int x, int) { return x % 8 >= 4; });
}

enum class End { SendNow, Outbox, Cancel };

class Program : public testing::Test {
  protected:
    void SetUp() override {
        install = root + "install/";
        folders = root + "folders/";
        for (const std::string& d : {install, folders + "outbox", root + "run", root + "windir"})
            fs::create_directories(d);
        document = root + "letter.txt";
        std::ofstream(document, std::ios::binary) << "Dear reader,\r\nthe fax itself.\r\n";
        WriteRegistry(relay.serviceUrl());
    }

    void WriteRegistry(const std::string& relayUrl, const std::string& connectionType = "",
                       const std::string& connectionValues = "", const std::string& more = "") {
        std::ofstream out(root + "registry.reg.tmp", std::ios::binary);
        out << kRegHeader << ProductKey("General") << Sz("WebmailUserName", "jane")
            << Sz("EmailSuffix", "corvinaport.example") << Sz("ProductName", "Corvinaport")
            << Sz("UserID", "1001") << Sz("Gateway", "usa_east") << ProductKey("Connection")
            << Sz("ConnectionType", connectionType) << connectionValues << ProductKey("Directory")
            << Sz("InstallPath", install) << Sz("LocalFolders", folders)
            << Sz("RmMessages", relayUrl) << more;
        out.close();
        fs::rename(root + "registry.reg.tmp", root + "registry.reg");
    }

    // Runs the program; the script plays the user once the wizard's loop runs.
    void Run(std::function<void(CMainHostDlg&)> script, const std::string& commandLine = "") {
        SendFaxOptions options;
        options.messageBox = &boxes;
        options.filePicker = [this](QWidget*) {
            ++pickerCalls;
            return std::vector<std::string>{document};
        };
        options.messageFolder = root + "run/corvinaport";
        options.messageId = 4242;
        options.network = &network;
        options.imaging = imagingOverride ? imagingOverride : &imaging;
        options.progress = &windows;
        options.documents = namedDocuments;
        options.beforeRun = [&](CMainHostDlg& host, CNetFaxApp& a) {
            running = &a;
            QTimer::singleShot(0, &host, [&host, &script] { script(host); });
        };
        options.afterRun = [this](CMainHostDlg& host, CNetFaxApp& a) {
            ended = a.message;
            pages = host.sheet().pageCount();
        };
        EXPECT_EQ(RunSendFax(commandLine, options), 0);
    }

    // The cover template the program ships, in the user's folders.
    void InstallTemplate() const {
        fs::create_directories(folders + "templates");
        fs::copy_file(Bin("res/cover/Template.tif"), folders + "templates/Template.tif");
    }
    // Types the number into the recipients page and clicks Add.
    static void Type(CMainHostDlg& host, const std::string& number) {
        QLineEdit* edit = host.recipientsPage().numberEdit();
        edit->clear();
        QTest::keyClicks(edit, QString::fromStdString(number));
        if (host.recipientsPage().addButton()->isEnabled())
            QTest::mouseClick(host.recipientsPage().addButton(), Qt::LeftButton);
    }
    // Recipients, document, schedule page; the choice given and Finish, or Cancel.
    static void Compose(CMainHostDlg& host, End end, const std::string& number = "555-0100") {
        Type(host, number);
        QTest::mouseClick(host.sheet().nextButton(), Qt::LeftButton);
        if (host.documentPage().list()->count() == 0)
            QTest::mouseClick(host.documentPage().addButton(), Qt::LeftButton);
        QTest::mouseClick(host.sheet().nextButton(), Qt::LeftButton);
        if (end == End::Cancel)
            return QTest::mouseClick(host.sheet().cancelButton(), Qt::LeftButton);
        Finish(host, end);
    }
    // The schedule page's choice, then Finish.
    static void Finish(CMainHostDlg& host, End end) {
        (end == End::SendNow ? host.schedulePage().sendNowButton()
                             : host.schedulePage().outboxButton())
            ->click();
        QTest::mouseClick(host.sheet().finishButton(), Qt::LeftButton);
    }

    // The faxes a folder (the outbox, or sent/) holds; no loose file may be there.
    [[nodiscard]] std::vector<std::string> Stored(const std::string& box = "outbox") const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(folders + box)) {
            EXPECT_TRUE(e.is_directory()) << e.path();
            out.push_back(e.path().string() + "/");
        }
        return out;
    }

    TempFolder tmp;
    std::string root = tmp.path(), install, folders, document;
    ScopedEnv registry{"CORVINAPORT_REGISTRY", root + "registry.reg"};
    ScopedEnv windir{"CORVINAPORT_WINDIR", root + "windir"};
    ScopedEnv runtime{"XDG_RUNTIME_DIR", root + "run"};
    std::vector<std::string> namedDocuments;  // named on the command line
    Relay relay;
    Network network;
    std::unique_ptr<Printers> ownedPrinters = std::make_unique<Printers>();
    Printers& printers = *ownedPrinters;
    ImagingLibrary imaging{std::move(ownedPrinters)};
    ImagingEnvironment* imagingOverride = nullptr;
    ScriptedMessageBox boxes;
    WatchedWindows windows{boxes};
    FaxMessage ended;
    CNetFaxApp* running = nullptr;  // while Run runs
    int pages = 0, pickerCalls = 0;
};

TEST_F(Program, SendNowDeliversTheFaxToTheRelay) {
    const std::string bytes = ReadText(document);
    Run([&](CMainHostDlg& host) {
        Type(host, "1 (212) 555-0100");
        host.recipientsPage().firstNameEdit()->setText("Ann");
        host.recipientsPage().lastNameEdit()->setText("Lee");
        Compose(host, End::SendNow, "030 1234-5678");
    });
    ASSERT_EQ(boxes.Texts(), std::vector<std::string>{kSent});
    ASSERT_EQ(relay.Count(), 1);
    const ReceivedFax fax = relay.Last();
    EXPECT_EQ(fax.Field("from"), "jane@corvinaport.example");
    EXPECT_EQ(fax.Field("to"), "03012345678@fax.corvinaport.net, 12125550100@fax.corvinaport.net");
    EXPECT_EQ(fax.files, (std::map<std::string, std::string>{{"letter.txt", bytes}}));
    EXPECT_EQ(ended.sendStatus, "sent");
    // Staged copy sent; the user's file stays; the history keeps what was sent.
    EXPECT_TRUE(Stored().empty() && ReadText(document) == bytes);
    const auto history = Stored("sent");
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(ReadText(history[0] + "letter.txt"), bytes);
    EXPECT_EQ(StateOf(SendState::Parse(ReadText(history[0] + "send.state")), false),
              FaxState::Sent);
    EXPECT_NE(ReadText(history[0] + "msg.qvm").find("to: 03012345678@fax.corvinaport.net"),
              std::string::npos);
    EXPECT_EQ(windows.titles, std::vector<std::string>{"Send a Fax"});
    EXPECT_EQ(windows.shownAtCreation, std::vector<bool>{true});
}

// Kept from the relay, the fax waits in the outbox; Cancel keeps nothing; a named file is attached.
struct Outcome {
    const char* name;
    enum { LiveRelay, RelayDown, OfflineNetwork, FailingDialUp } how;
    End end;
    std::vector<std::string> boxes;
    bool named = false;
    FaxState state = FaxState::Held;  // of the stored fax, with its attempts
    int attempts = 0;
    bool oneTryAllowed = false;  // the store's retry limit: 1
};

void PrintTo(const Outcome& c, std::ostream* out) { *out << c.name; }

class ProgramOutcome : public Program, public testing::WithParamInterface<Outcome> {};

TEST_P(ProgramOutcome, FaxIsKeptInTheOutboxUnlessCancelled) {
    const Outcome& c = GetParam();
    std::optional<ScopedEnv> rasScript;
    if (c.named) namedDocuments = {document};
    if (c.how == Outcome::RelayDown)
        WriteRegistry(
            kDeadUrl, "", "",
            c.oneTryAllowed ? ProductKey("Outbox") + "\"RetryLimit\"=dword:00000001\r\n" : "");
    if (c.how == Outcome::OfflineNetwork) {
        WriteRegistry(relay.serviceUrl(), "LAN");
        network.up = false;
    }
    if (c.how == Outcome::FailingDialUp) {
        const std::string script = root + "ras-script";
        std::ofstream(script) << "entry Office phone=5550199\n"
                                 "attempt\nerror 678\nattempt\nerror 678\nattempt\nerror 678\n";
        rasScript.emplace("CORVINAPORT_RAS_SCRIPT", script);
        WriteRegistry(relay.serviceUrl(), "DUN", "\"PrimaryDUN\"=\"Office\"\r\n");
    }
    Run([&](CMainHostDlg& host) { Compose(host, c.end); });
    EXPECT_EQ(pickerCalls, c.named ? 0 : 1);  // a named file is attached already
    EXPECT_EQ(boxes.Texts(), c.boxes);
    EXPECT_EQ(relay.Count(), 0);
    EXPECT_EQ(ReadText(document), "Dear reader,\r\nthe fax itself.\r\n");
    const auto stored = Stored();
    ASSERT_EQ(stored.size(), c.end == End::Cancel ? 0u : 1u);
    if (stored.empty()) return;
    EXPECT_EQ(ReadText(stored[0] + "letter.txt"), ReadText(document));
    const std::string qvm = ReadText(stored[0] + "msg.qvm");
    EXPECT_EQ(qvm.rfind("from: jane@corvinaport.example\r\nto: 5550100@fax.corvinaport.net\r\n", 0),
              0u)
        << qvm;
    EXPECT_NE(qvm.find("attachment:\r\n" + stored[0] + "letter.txt\r\n"), std::string::npos) << qvm;
    const SendState state = SendState::Parse(ReadText(stored[0] + "send.state"));
    EXPECT_EQ(std::tuple(StateOf(state, false), state.attempts), std::tuple(c.state, c.attempts));
    if (c.end == End::Outbox) {
        EXPECT_EQ(boxes.boxes[0].caption, "Corvinaport");
    }
    if (c.how == Outcome::RelayDown) {
        EXPECT_EQ(ended.sendStatus, "fail");
    }
}

std::vector<Outcome> Outcomes() {
    using O = Outcome;
    using enum End;
    using enum FaxState;
    const char *offline = "Not Connected to the Internet", *ask = "Connect to the Internet?";
    return {
        {"OutboxChoice", O::LiveRelay, Outbox, {kSaved}},
        {"OutboxWithANamedFile", O::LiveRelay, Outbox, {kSaved}, true},
        {"RelayDown", O::RelayDown, SendNow, {kNotSent}, false, Waiting, 1},
        // The wizard's own failed attempt counts against the user's limit.
        {"RelayDownWithOneTryAllowed", O::RelayDown, SendNow, {kNotSent}, false, Failed, 1, true},
        {"OfflineLocalNetwork", O::OfflineNetwork, SendNow, {offline, kSaved}, false, Waiting},
        {"FailingDialUp", O::FailingDialUp, SendNow, {ask, offline, kSaved}, false, Waiting},
        {"Cancel", O::LiveRelay, Cancel, {}}};
}

INSTANTIATE_TEST_SUITE_P(Program, ProgramOutcome, testing::ValuesIn(Outcomes()),
                         [](const auto& info) { return std::string(info.param.name); });

// Named files open one wizard; cover first, then the list's order, sent or stored.
struct Several {
    const char* name;
    End end;
    std::vector<std::pair<std::string, int>> files;  // name, TIFF pages (0: text)
    std::uint32_t coverPages = 0;
};

void PrintTo(const Several& c, std::ostream* out) { *out << c.name; }

class ProgramSeveral : public Program, public testing::WithParamInterface<Several> {};

TEST_P(ProgramSeveral, CoverAndFilesKeepTheirOrder) {
    const Several& c = GetParam();
    InstallTemplate();
    std::vector<std::string> order = {"Cover.tif"};
    for (const auto& [name, tiffPages] : c.files) {
        if (tiffPages > 0)
            WriteFaxTiff(root + name, tiffPages);
        else
            WriteText(root + name, "text of " + name);
        namedDocuments.push_back(root + name);
        order.push_back(name);
    }
    Run([&](CMainHostDlg& host) {
        Type(host, "555-0100");
        QTest::mouseClick(host.sheet().nextButton(), Qt::LeftButton);
        EXPECT_EQ(host.documentPage().list()->count(), 3);
        host.documentPage().coverCheck()->click();
        QTest::mouseClick(host.sheet().nextButton(), Qt::LeftButton);
        ASSERT_EQ(host.sheet().activePage(), &host.coverPage());
        QTest::mouseClick(host.sheet().nextButton(), Qt::LeftButton);
        Finish(host, c.end);
    });
    EXPECT_EQ(std::tie(pages, ended.pageCount), std::make_tuple(4, c.coverPages));
    std::string fields, lines;
    if (c.end == End::SendNow) {
        ASSERT_EQ(relay.Count(), 1);
        for (std::size_t i = 0; i < order.size(); ++i)
            fields += "\nattach" + std::to_string(i + 1) + ": <file " + order[i] + ">";
        EXPECT_NE(relay.Last().fields.find(fields + "\n"), std::string::npos)
            << relay.Last().fields;
        EXPECT_TRUE(Stored().empty());
    }
    // Kept in the outbox, or in the history of sent faxes, in the same order.
    const auto kept = Stored(c.end == End::SendNow ? "sent" : "outbox");
    ASSERT_EQ(kept.size(), 1u);
    const std::string& folder = kept[0];
    for (const std::string& name : order) lines += folder + name + "\r\n";
    const std::string qvm = ReadText(folder + "msg.qvm");
    EXPECT_NE(qvm.find("attachment:\r\n" + lines), std::string::npos) << qvm;
    for (const auto& [name, tiffPages] : c.files) EXPECT_TRUE(fs::exists(root + name)) << name;
}

INSTANTIATE_TEST_SUITE_P(Program, ProgramSeveral,
                         testing::Values(Several{"SentWithATextUncounted",
                                                 End::SendNow,
                                                 {{"a.txt", 0}, {"b.tif", 2}, {"c.tif", 3}}},
                                         Several{"StoredWithEveryPageCounted",
                                                 End::Outbox,
                                                 {{"c.tif", 3}, {"a.tif", 1}, {"b.tif", 2}},
                                                 6}),
                         [](const auto& info) { return std::string(info.param.name); });

// A relay that never answers: Escape and Yes stop the wait soon; the fax is kept.
TEST_F(Program, StalledRelayIsStoppedFromTheProgressWindowAndTheFaxIsKept) {
    RelayServer stalled(root + "relay-store", RelayFault::Stall);
    ASSERT_TRUE(stalled.Start());
    WriteRegistry(stalled.serviceUrl());
    boxes.Answer(MbResult::Yes);  // the stop confirmation

    // Seen alive for a while, then the user presses Escape over it.
    int ticksWhileWaiting = 0;
    bool wasVisible = false;
    QElapsedTimer sinceEscape;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* wnd = qobject_cast<CTaskProgressWnd*>(w);
            if (!wnd || wnd->Title() != "Send a Fax" || wnd->cancelled()) continue;
            wasVisible = wnd->isVisible();
            if (++ticksWhileWaiting < 5) return;
            user.stop();
            sinceEscape.start();
            QTest::keyClick(wnd, Qt::Key_Escape);
            return;
        }
    });
    user.start(50);
    Run([&](CMainHostDlg& host) { Compose(host, End::SendNow); });
    user.stop();
    const qint64 afterEscape = sinceEscape.isValid() ? sinceEscape.elapsed() : -1;

    EXPECT_TRUE(wasVisible);
    EXPECT_TRUE(afterEscape >= 0 && afterEscape < 5000) << afterEscape;
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<CTaskProgressWnd*>(w), nullptr) << "progress window left open";
    ASSERT_EQ(boxes.Texts(), (std::vector<std::string>{"Do you want to stop the task?", kNotSent}));
    EXPECT_EQ(boxes.boxes[0].buttons, MbButtons::YesNo);
    EXPECT_EQ(ended.sendStatus, "fail");
    EXPECT_TRUE(stalled.ReceivedMessages().empty());
    ASSERT_EQ(Stored().size(), 1u);
    EXPECT_EQ(ReadText(Stored()[0] + "letter.txt"), ReadText(document));
    // Stopped by the user: held, not retried behind the user's back.
    const SendState state = SendState::Parse(ReadText(Stored()[0] + "send.state"));
    EXPECT_EQ(std::tuple(StateOf(state, false), state.attempts), std::tuple(FaxState::Held, 1));
}

// The contact picked in the real address book, number confirmed, gets the fax.
TEST_F(Program, AddressBookPickIsSentToTheContactsFaxNumber) {
    std::ofstream(install + "addrbook.ldif", std::ios::binary)
        << "dn: cn=Ann Lee,mail=ann@example.com\r\ncn: Ann Lee\r\ngivenname: Ann\r\nsn: Lee\r\n"
           "mail: ann@example.com\r\nfacsimiletelephonenumber: 1 212 555 0100\r\n\r\n";
    int books = 0, choosers = 0;
    QTimer modal;
    QObject::connect(&modal, &QTimer::timeout, [&] {
        QWidget* w = QApplication::activeModalWidget();
        if (auto* chooser = qobject_cast<CChooseFaxNumberDlg*>(w)) {
            ++choosers;
            if (chooser->numberList()->topLevelItemCount() > 0)
                chooser->numberList()->setCurrentItem(chooser->numberList()->topLevelItem(0));
            chooser->accept();
        } else if (auto* book = qobject_cast<CAddressBookDlg*>(w)) {
            // The book is read on a worker: picked once it has come in.
            if (books > 0 || book->loading()) return;
            ++books;
            ASSERT_EQ(book->contactsList()->model()->rowCount(), 1);
            book->contactsList()->setCurrentIndex(book->contactsList()->model()->index(0, 0));
            // Posted, so this timer's slot is free to answer the chooser AddSelected opens.
            QTimer::singleShot(0, book, [book] {
                book->AddSelected();
                book->accept();
            });
        }
    });
    modal.start(20);
    Run([&](CMainHostDlg& host) {
        host.recipientsPage().OpenAddressBook();
        EXPECT_EQ(host.recipientsPage().lineCount(), 1);
        Compose(host, End::SendNow, "");
    });
    modal.stop();
    EXPECT_EQ(choosers, 1);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{kSent});
    ASSERT_EQ(relay.Count(), 1);
    EXPECT_EQ(relay.Last().Field("to"), "12125550100@fax.corvinaport.net");
}

// A reload takes effect; a wizard for an attached file leaves prints alone; garbage is ignored.
TEST_F(Program, ReloadAndHandOverReachTheRunningWizard) {
    WriteRegistry(kDeadUrl);
    auto run = [](const QStringList& args) { return RunNotify(args).second; };
    auto raw = [&](const QByteArray& bytes) {
        SendRaw(SocketPathFor(root + "run/corvinaport", 4242), bytes);
    };
    // What the fax printer leaves for the wizard.
    const std::string printed = root + "windir/job7.tif";
    WriteFaxTiff(printed, 2);
    std::ofstream(root + "windir/bi_group.ini", std::ios::binary)
        << "[Current setting]\r\nName and Port=zephrim,FAX:\r\n\r\n[zephrim,FAX:]\r\n"
           "Groupfile name="
        << root << "windir/job7.grp\r\n";
    Run([&](CMainHostDlg& host) {
        // Started before the print: attach mode, nothing taken over yet.
        EXPECT_EQ(host.sheet().page(1), &host.documentPage());
        std::ofstream(root + "windir/job7.grp", std::ios::binary)
            << "[Page1]\r\nPlane1=" << printed << "\r\n";
        raw("CORVMSG 1 1 0 KESTRO messages\n");  // another registered name
        raw("CORVMSG 1 2 0 KESTRO message\n");   // bits 10
        raw(QByteArray("\x00\xff garbage\nCORVMSG 9 1 0 KESTRO message\n", 40));
        raw(QByteArray(9000, 'x'));
        EXPECT_EQ(RunNotify({"kestro", "x"}).first, 2);
        // The command ends once the wizard has answered.
        EXPECT_TRUE(run({"kestro", "0x5"}).contains("sent to 1 wizard"));
        EXPECT_EQ(running->message.documentPath, "");
        WriteRegistry(relay.serviceUrl());
        EXPECT_TRUE(run({"reload"}).contains("sent to 1 wizard"));
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return running->settings.directory.RmMessages == relay.serviceUrl(); }, 5000));
        Compose(host, End::SendNow);
    });
    // The print waits where the printer left it.
    EXPECT_TRUE(fs::exists(printed) && fs::exists(root + "windir/job7.grp"));
    // After the reload the fax went to the live relay.
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{kSent});
    EXPECT_EQ(relay.Count(), 1);
    EXPECT_TRUE(run({"reload"}).contains("no running wizard"));
}

}  // namespace

// A printed document with a cover sheet reaches the relay as one TIFF, cover first.
TEST_F(Program, PrintedDocumentWithACoverSheetReachesTheRelayCoverFirst) {
    InstallTemplate();
    printers.faxPrinter = true;
    const std::string printed = root + "windir/job9.tif";
    WriteFaxTiff(printed, 2);
    std::ofstream(root + "windir/job9.grp", std::ios::binary)
        << "[Print Page Appended]\r\nImage File Name=" << printed << "\r\n";

    Run(
        [&](CMainHostDlg& host) {
            ASSERT_EQ(host.sheet().page(1), &host.coverPage());
            Type(host, "555-0100");
            QTest::mouseClick(host.sheet().nextButton(), Qt::LeftButton);
            ASSERT_TRUE(host.coverPage().coverCheck()->isChecked());
            QTest::keyClicks(host.coverPage().subjectEdit(), "Quarterly figures");
            QTest::mouseClick(host.sheet().nextButton(), Qt::LeftButton);
            Finish(host, End::SendNow);
        },
        "/print \"" + root + "windir/job9.grp\"");

    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{kSent});
    ASSERT_EQ(relay.Count(), 1);
    const ReceivedFax fax = relay.Last();
    ASSERT_EQ(fax.files.size(), 1u);
    EXPECT_EQ(fax.files.begin()->first, "job9.tif");
    // The cover is a full fax line wide; the printed pages keep their width.
    const std::string received = root + "received.tif";
    WriteText(received, fax.files.begin()->second);
    std::vector<std::size_t> widths;
    for (int i = 0; i < CountPages(received); ++i)
        widths.push_back(ReadPage(received, i)[0].size());
    EXPECT_EQ(widths, (std::vector<std::size_t>{1728, 64, 64}));
    EXPECT_FALSE(fs::exists(printed));  // taken over, sent and gone
}

namespace {

// The real binding, with a merge held after its tenth page until stopped.
struct MergeHeldAtPage final : ImagingEnvironment {
    explicit MergeHeldAtPage(ImagingEnvironment& r) : real(r) {}
    bool IsNtPlatform() override { return real.IsNtPlatform(); }
    bool PrinterPresent(const std::string& n) override { return real.PrinterPresent(n); }
    bool PrinterDriverPresent(const std::string& n) override {
        return real.PrinterDriverPresent(n);
    }
    bool Bind() override { return real.Bind(); }
    bool PrepareInitialDocument(const std::string& l, const DirectorySettings& d,
                                FaxMessage& m) override {
        return real.PrepareInitialDocument(l, d, m);
    }
    std::uint32_t CountImages(const std::string& p) override { return real.CountImages(p); }
    bool MergePages(const std::string& a, const std::string& b, const std::string& c) override {
        return real.MergePages(a, b, c);
    }
    bool MergePagesReporting(const std::string& a, const std::string& b, const std::string& c,
                             const PageProgress& progress) override {
        return real.MergePagesReporting(a, b, c, [&](std::uint32_t done, std::uint32_t total) {
            bool go = progress(done, total);
            if (done != 10) return go;
            reached = true;
            for (int i = 0; go && i < 20000; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                go = progress(done, total);
            }
            return go;
        });
    }
    std::string ComposeCoverSheet(CoverSheetFields& f, const FaxJob& j,
                                  const DirectorySettings& d) override {
        return real.ComposeCoverSheet(f, j, d);
    }
    ImagingEnvironment& real;
    std::atomic<bool> reached{false};
};

// Files may grow no further than limit bytes while it lives (a full disk).
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t limit) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit now = old_;
        now.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &now);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, old_handler_);
    }

  private:
    rlimit old_{};
    void (*old_handler_)(int) = nullptr;
};

}  // namespace

// A stop mid-merge holds the fax whole; a full disk during Finish keeps the print.
TEST_F(Program, StopDuringTheMergeOrAFullDiskKeepsThePrintWhole) {
    InstallTemplate();
    printers.faxPrinter = true;
    // Kept apart from this test's frame, which the fixture outlives.
    const auto holder = std::make_unique<MergeHeldAtPage>(imaging);
    MergeHeldAtPage& held = *holder;
    imagingOverride = holder.get();
    struct Case {
        const char* what;
        bool stop;  // else the disk fills up
    };
    for (const Case& c : {Case{"stop", true}, Case{"full disk", false}}) {
        SCOPED_TRACE(c.what);
        boxes.boxes.clear();
        held.reached = false;
        const std::string printed = root + "windir/job9.tif";
        WriteFaxTiff(printed, 40);
        const std::string bytes = ReadText(printed);
        std::ofstream(root + "windir/job9.grp", std::ios::binary)
            << "[Print Page Appended]\r\nImage File Name=" << printed << "\r\n";
        // Escape over the progress window once the merge is held, then Yes.
        if (c.stop) boxes.Answer(MbResult::Yes);
        QTimer user;
        QObject::connect(&user, &QTimer::timeout, [&] {
            if (!c.stop || !held.reached) return;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* wnd = qobject_cast<CTaskProgressWnd*>(w); wnd && !wnd->cancelled()) {
                    user.stop();
                    QTest::keyClick(wnd, Qt::Key_Escape);
                    return;
                }
        });
        user.start(10);
        std::optional<FileSizeLimit> full;
        Run(
            [&](CMainHostDlg& host) {
                Type(host, "555-0100");
                QTest::mouseClick(host.sheet().nextButton(), Qt::LeftButton);
                QTest::mouseClick(host.sheet().nextButton(), Qt::LeftButton);
                (c.stop ? host.schedulePage().sendNowButton() : host.schedulePage().outboxButton())
                    ->click();
                if (!c.stop) full.emplace(1024);
                QTest::mouseClick(host.sheet().finishButton(), Qt::LeftButton);
            },
            "/print \"" + root + "windir/job9.grp\"");
        full.reset();
        user.stop();
        EXPECT_EQ(relay.Count(), 0);
        if (c.stop) {
            EXPECT_EQ(boxes.Texts(),
                      (std::vector<std::string>{"Do you want to stop the task?", kSaved}));
            // Held in the outbox: the cover, then the printed pages as printed.
            const auto stored = Stored();
            ASSERT_EQ(stored.size(), 1u);
            EXPECT_EQ(ReadText(stored[0] + "job9.tif"), bytes);
            EXPECT_EQ(CountPages(stored[0] + "Cover.tif"), 1);
            EXPECT_NE(ReadText(stored[0] + "msg.qvm")
                          .find("attachment:\r\n" + stored[0] + "Cover.tif\r\n" + stored[0] +
                                "job9.tif\r\n"),
                      std::string::npos);
            EXPECT_EQ(StateOf(SendState::Parse(ReadText(stored[0] + "send.state")), false),
                      FaxState::Held);
            fs::remove_all(stored[0]);
        } else {
            // Kept beside the stored faxes where the user is told, not in a staging folder.
            const std::string kept = folders + "outbox/job9.tif";
            EXPECT_EQ(boxes.Texts(),
                      (std::vector<std::string>{kSaved,
                                                "Your fax could not be saved in the Corvinaport "
                                                "Outbox.\nThe document is kept in:\n" +
                                                    kept}));
            EXPECT_EQ(ReadText(kept), bytes);
            fs::remove(kept);
        }
        EXPECT_TRUE(fs::is_empty(folders + "outbox"));
    }
}
