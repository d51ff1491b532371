#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <fstream>

#include "app/AppSettings.h"
#include "controls/HelpService.h"
#include "imaging/ImagingEnvironment.h"
#include "support/NotifyCommand.h"
#include "support/ScriptedMessageBox.h"
#include "support/StaleSocket.h"
#include "support/TempFolder.h"
#include "wizard/CMainHostDlg.h"
#include "wizard/FaxJob.h"

namespace {

namespace fs = std::filesystem;

struct RecordingHelp final : HelpService {
    void ShowContext(std::uint32_t c) override { contexts.push_back(c); }
    void ShowControlPopup(std::uint32_t) override {}
    void Quit() override { ++quits; }
    std::vector<std::uint32_t> contexts;
    int quits = 0;
};

struct CountingImaging final : ImagingEnvironment {
    bool IsNtPlatform() override { return false; }
    bool PrinterPresent(const std::string&) override { return true; }
    bool PrinterDriverPresent(const std::string&) override { return true; }
    bool Bind() override { return true; }
    bool PrepareInitialDocument(const std::string&, const DirectorySettings&,
                                FaxMessage& m) override {
        ++handOvers;
        m.documentPath = "/printed/doc.tif";
        return true;
    }
    std::uint32_t CountImages(const std::string&) override { return 3; }
    bool MergePages(const std::string&, const std::string&, const std::string&) override {
        return false;
    }
    std::string ComposeCoverSheet(CoverSheetFields&, const FaxJob&,
                                  const DirectorySettings& directory) override {
        std::string cover = directory.LocalFolders + "outbox/Cover.tif";
        std::ofstream(cover) << "cover";
        return cover;
    }
    int handOvers = 0;
};

// One run of the host with recorded Finish steps.
class Host : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(root + "outbox");
        settings.directory.LocalFolders = root;
        attached = root + "letter.txt";
        std::ofstream(attached) << "Dear reader";
        job.attachMode = 1;
        job.faxNumbersAllowed = 1;
    }
    std::unique_ptr<CMainHostDlg> Make(bool listen = false) {
        HostEnvironment env{job, settings, imaging, boxes, "", &help, nullptr, listen, "", 0};
        FinishSteps steps;
        steps.stageAttachment = [this](const std::string& p) {
            std::string copy = root + "outbox/" + fs::path(p).filename().string();
            fs::copy_file(p, copy, fs::copy_options::overwrite_existing);
            return copy;
        };
        steps.buildRecipientLine = [this] {
            std::string line;
            for (auto& r : job.RecipientList) line += r->displayLine + ", ";
            return line.substr(0, line.size() - 2);
        };
        steps.ensureOnline = [this](QWidget*) {
            ++onlineChecks;
            return online;
        };
        steps.sendFax = [this] {
            ++sends;
            return sendResult;
        };
        steps.saveToOutbox = [this](const std::string& folder) {
            saves.push_back(folder);
            if (!saveWorks) return false;
            fs::remove(job.message.documentPath);
            return true;
        };
        steps.filePicker = [this](QWidget*) { return attached; };
        steps.preview = [this](QWidget*, const std::vector<std::string>& files) {
            previewed.push_back(files);
        };
        return std::make_unique<CMainHostDlg>(env, std::move(steps));
    }
    // Fills the three pages through their controls and ends on the schedule page.
    void Compose(CMainHostDlg& host, const char* number = "1 (212) 555-0100") {
        CNetFaxPropSheet& sheet = host.sheet();
        QTest::keyClicks(host.recipientsPage().numberEdit(), number);
        QTest::mouseClick(sheet.nextButton(), Qt::LeftButton);
        QTest::mouseClick(host.documentPage().addButton(), Qt::LeftButton);
        QTest::mouseClick(sheet.nextButton(), Qt::LeftButton);
    }
    int RunDriven(CMainHostDlg& host, std::function<void()> drive) {
        QTimer::singleShot(0, std::move(drive));
        return host.DoModal();
    }

    TempFolder tmp;
    std::string root = tmp.path(), attached;
    FaxJob job;
    AppSettings settings;
    CountingImaging imaging;
    ScriptedMessageBox boxes;
    RecordingHelp help;
    bool online = true, sendResult = true, saveWorks = true;
    int onlineChecks = 0, sends = 0;
    std::vector<std::string> saves;
    std::vector<std::vector<std::string>> previewed;
};

TEST_F(Host, ContactModeHasThreeTitledPagesWithoutHelp) {
    job.contactMode = 1;
    job.attachMode = 0;
    auto host = Make();
    host->BuildPageSet();
    CNetFaxPropSheet& sheet = host->sheet();
    ASSERT_EQ(sheet.pageCount(), 3);
    EXPECT_EQ(sheet.page(1), &host->documentPage());
    ASSERT_TRUE(sheet.SetActivePage(0));
    EXPECT_EQ(sheet.windowTitle(), "Send an Internet Fax - Enter Fax Number");
    EXPECT_TRUE(sheet.helpButton()->isHidden());
    ASSERT_TRUE(sheet.SetActivePage(1));
    EXPECT_EQ(sheet.windowTitle(), "Send an Internet Fax - Add File");
    ASSERT_TRUE(sheet.SetActivePage(2));
    EXPECT_EQ(sheet.windowTitle(), "Send an Internet Fax - Schedule Fax");
}

// The wizard opens at the size its pages ask for, which fits an 800 x 600
// screen with its frame; at its smallest the name fields keep room for a name.
TEST_F(Host, WizardOpensAtItsPagesSizeWithinASmallScreen) {
    for (int attachMode : {0, 1}) {
        job.attachMode = attachMode;
        auto host = Make();
        RunDriven(*host, [&] {
            CNetFaxPropSheet& sheet = host->sheet();
            EXPECT_EQ(sheet.size(), sheet.sizeHint()) << attachMode;
            EXPECT_LE(sheet.width() + CNetFaxPropSheet::kFrameAllowance, 800) << attachMode;
            EXPECT_LE(sheet.height() + CNetFaxPropSheet::kFrameAllowance, 600) << attachMode;
            sheet.resize(sheet.minimumSizeHint());
            QApplication::processEvents();
            const QLineEdit* first = host->recipientsPage().firstNameEdit();
            EXPECT_GE(first->width(), 50) << attachMode;
            EXPECT_EQ(first->width(), host->recipientsPage().lastNameEdit()->width());
            sheet.PressCancel();
        });
    }
}

TEST_F(Host, PageSetsAndHelpContextsFollowAttachMode) {
    job.attachMode = 0;
    auto printed = Make();
    printed->BuildPageSet();
    EXPECT_EQ(printed->sheet().page(1), &printed->coverPage());
    ASSERT_TRUE(printed->sheet().SetActivePage(0));
    EXPECT_EQ(printed->sheet().windowTitle(), "Select Recipients - Send a Fax");
    EXPECT_FALSE(printed->sheet().helpButton()->isHidden());
    QTest::mouseClick(printed->sheet().helpButton(), Qt::LeftButton);
    printed->OnHelp(2);
    printed->OnHelp(3);
    EXPECT_EQ(help.contexts, (std::vector<std::uint32_t>{175, 219}));
    job.attachMode = 1;
    auto attachedRun = Make();
    attachedRun->BuildPageSet();
    EXPECT_EQ(attachedRun->sheet().page(1), &attachedRun->documentPage());
    EXPECT_EQ(attachedRun->HelpContext(1), 220u);
    EXPECT_EQ(attachedRun->HelpContext(2), 222u);
}

// Finish with each choice and each outcome of its steps: what is checked,
// sent, stored and told.
struct FinishCase {
    const char* name;
    bool outbox, online, sendWorks, saveWorks;
    int onlineChecks, sends;
    std::size_t saves;
    std::vector<std::string> boxes;  // "@" stands for the kept document's path
};

void PrintTo(const FinishCase& c, std::ostream* out) { *out << c.name; }

class HostFinish : public Host, public testing::WithParamInterface<FinishCase> {};

TEST_P(HostFinish, StepsAndMessagesFollowTheChoice) {
    const FinishCase& c = GetParam();
    online = c.online;
    sendResult = c.sendWorks;
    saveWorks = c.saveWorks;
    auto host = Make();
    EXPECT_EQ(RunDriven(*host,
                        [&] {
                            Compose(*host);
                            if (c.outbox) host->schedulePage().outboxButton()->click();
                            QTest::mouseClick(host->sheet().finishButton(), Qt::LeftButton);
                        }),
              1);
    std::vector<std::string> expected = c.boxes;
    for (std::string& text : expected)
        if (const auto at = text.find('@'); at != std::string::npos)
            text.replace(at, 1, root + "outbox/letter.txt");
    EXPECT_EQ(boxes.Texts(), expected);
    EXPECT_EQ(onlineChecks, c.onlineChecks);
    EXPECT_EQ(sends, c.sends);
    EXPECT_EQ(saves, std::vector<std::string>(c.saves, "outbox"));
    EXPECT_EQ(job.message.to, "\"Fax Recipient\" <12125550100>");
    EXPECT_EQ(job.message.documentPath, root + "outbox/letter.txt");
    EXPECT_EQ(fs::exists(job.message.documentPath), !c.saveWorks || c.saves == 0);
    EXPECT_TRUE(fs::exists(attached));
    if (c.outbox && c.saveWorks) {
        EXPECT_EQ(boxes.boxes[0].caption, "Corvinaport");
    }
}

const char* const kWillBeSaved =
    "Your fax will be saved. You may send it later\nby accessing Corvinaport Outbox.";

INSTANTIATE_TEST_SUITE_P(
    Host, HostFinish,
    testing::Values(FinishCase{"OutboxChoice", true, true, true, true, 0, 0, 1, {kWillBeSaved}},
                    FinishCase{"SendNowOffline", false, false, true, true, 1, 0, 1, {kWillBeSaved}},
                    FinishCase{"SendNowSent", false, true, true, true, 1, 1, 0, {}},
                    FinishCase{
                        "SendNowFailedIsStoredSilently", false, true, false, true, 1, 1, 1, {}},
                    FinishCase{"FailedOutboxTellsTheUserWhereTheDocumentStays",
                               true,
                               true,
                               true,
                               false,
                               0,
                               0,
                               1,
                               {kWillBeSaved,
                                "Your fax could not be saved in the Corvinaport Outbox.\n"
                                "The document is kept in:\n@"}}),
    [](const testing::TestParamInfo<FinishCase>& info) { return std::string(info.param.name); });

TEST_F(Host, CancelAndClosingSaveNothingAndEmptyTheLists) {
    auto host = Make();
    EXPECT_EQ(RunDriven(*host,
                        [&] {
                            Compose(*host);
                            QTest::mouseClick(host->sheet().cancelButton(), Qt::LeftButton);
                        }),
              1);
    EXPECT_TRUE(saves.empty());
    EXPECT_EQ(sends, 0);
    EXPECT_TRUE(fs::is_empty(root + "outbox"));
    host.reset();
    EXPECT_TRUE(job.RecipientList.empty());
    EXPECT_TRUE(job.AttachmentList.empty());
    EXPECT_EQ(help.quits, 1);

    auto closed = Make();
    RunDriven(*closed, [&] { closed->sheet().close(); });
    EXPECT_TRUE(saves.empty());
}

TEST_F(Host, VanishedAttachmentKeepsTheWizardOnTheDocumentPage) {
    auto host = Make();
    RunDriven(*host, [&] {
        Compose(*host);
        fs::remove(attached);
        QTest::mouseClick(host->sheet().finishButton(), Qt::LeftButton);
        EXPECT_EQ(host->sheet().activeIndex(), 1);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, "The file you attached cannot be read:\n" + attached +
                                           "\nPlease add the file again.");
        host->sheet().PressCancel();
    });
    EXPECT_TRUE(saves.empty());
    EXPECT_EQ(sends, 0);
}

// What a run put into the outbox and does not send is not left there.
TEST_F(Host, PrintedDocumentAndUnsentCoverLeaveNoLooseFiles) {
    struct Case {
        const char* what;
        bool finish;        // else Cancel
        bool uncheck;       // the cover box, after the cover was composed
        bool documentKept;  // Finish: the stand-in sender leaves it
    };
    for (const Case& c : {Case{"cancel", false, false, false},
                          Case{"finish without the composed cover", true, true, true}}) {
        SCOPED_TRACE(c.what);
        job.attachMode = 0;
        const std::string printed = root + "outbox/fax-7-print.tif";
        std::ofstream(printed) << "pages";
        job.message.documentPath = printed;
        auto host = Make();
        RunDriven(*host, [&] {
            CNetFaxPropSheet& sheet = host->sheet();
            QTest::keyClicks(host->recipientsPage().numberEdit(), "5550100");
            QTest::mouseClick(sheet.nextButton(), Qt::LeftButton);
            QTest::mouseClick(sheet.nextButton(), Qt::LeftButton);
            EXPECT_TRUE(fs::exists(root + "outbox/Cover.tif"));
            if (c.uncheck) {
                QTest::mouseClick(sheet.backButton(), Qt::LeftButton);
                host->coverPage().coverCheck()->click();
                QTest::mouseClick(sheet.nextButton(), Qt::LeftButton);
            }
            if (c.finish)
                QTest::mouseClick(sheet.finishButton(), Qt::LeftButton);
            else
                sheet.PressCancel();
        });
        EXPECT_FALSE(fs::exists(root + "outbox/Cover.tif"));
        EXPECT_EQ(fs::exists(printed), c.documentKept);
        fs::remove(printed);
        job.ClearRecipients();
    }
}

// Preview on the last page shows the fax as Finish sends it: cover first.
TEST_F(Host, PreviewShowsTheCoverWhenWantedThenTheDocument) {
    const std::string printed = root + "outbox/fax-7-print.tif", cover = root + "outbox/Cover.tif";
    struct Case {
        int attachMode;
        bool uncheck;  // the cover box
        std::vector<std::string> shown;
    };
    for (const Case& c :
         {Case{0, false, {cover, printed}}, Case{0, true, {printed}}, Case{1, false, {attached}}}) {
        SCOPED_TRACE(c.attachMode * 2 + c.uncheck);
        job.attachMode = c.attachMode;
        job.message.documentPath = c.attachMode ? "" : printed;
        previewed.clear();
        auto host = Make();
        RunDriven(*host, [&] {
            CNetFaxPropSheet& sheet = host->sheet();
            if (c.attachMode) {
                Compose(*host);
            } else {
                QTest::keyClicks(host->recipientsPage().numberEdit(), "5550100");
                QTest::mouseClick(sheet.nextButton(), Qt::LeftButton);
                if (c.uncheck) host->coverPage().coverCheck()->click();
                QTest::mouseClick(sheet.nextButton(), Qt::LeftButton);
            }
            QTest::mouseClick(host->schedulePage().previewButton(), Qt::LeftButton);
            sheet.PressCancel();
        });
        EXPECT_EQ(previewed, std::vector<std::vector<std::string>>{c.shown});
        job.ClearRecipients();
    }
}

TEST_F(Host, ReloadAndHandOverMessagesArriveWhileTheWizardRuns) {
    std::string reg = root + "registry.reg";
    std::ofstream(reg) << "Windows Registry Editor Version 5.00\r\n\r\n"
                          "[HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Corvinaport\\Directory]\r\n"
                          "\"LocalFolders\"=\"/srv/fax/\"\r\n";
    qputenv("CORVINAPORT_REGISTRY", QByteArray::fromStdString(reg));
    std::string runtime = root + "run";
    fs::create_directories(runtime);
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime));
    job.attachMode = 0;  // waiting for a print
    auto host = Make(true);
    ASSERT_NE(host->listener(), nullptr);
    ASSERT_TRUE(host->listener()->listening());
    RunDriven(*host, [&] {
        // The answer, as the fax printer's watcher asks for it; "-" for none.
        auto ask = [&](WindowMessage m) {
            AskResult r;
            std::atomic<bool> done{false};
            std::thread t([&] {
                r = AskInTurn(m, MessageFolder(), nullptr, 2000);
                done = true;
            });
            EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 20000));
            t.join();
            EXPECT_EQ(r.delivered, 1);
            return r.answers.size() == 1 && r.answers[0].answer ? *r.answers[0].answer : "-";
        };
        WindowMessage reload;
        reload.id = WM_RELOADSETTINGS;
        EXPECT_EQ(ask(reload), "-");
        WindowMessage kestro;
        kestro.registeredName = kKestroMessage;
        kestro.wParam = 2;
        EXPECT_EQ(ask(kestro), "-");
        EXPECT_EQ(imaging.handOvers, 0);
        kestro.wParam = 5;
        EXPECT_EQ(ask(kestro), "taken");
        // Holding one now: a further print goes to a wizard of its own.
        kestro.wParam = 1;
        EXPECT_EQ(ask(kestro), "declined");
        host->sheet().PressCancel();
    });
    EXPECT_EQ(settings.directory.LocalFolders, "/srv/fax/");
    EXPECT_EQ(imaging.handOvers, 1);
    EXPECT_EQ(job.message.pageCount, 3u);
    qunsetenv("XDG_RUNTIME_DIR");
    qunsetenv("CORVINAPORT_REGISTRY");
}

// Two wizards of the user run at once; the notify command reaches both, and
// each acts on its own settings and job.
TEST(TwoWizards, NotifyCommandReachesEveryRunningWizard) {
    const TempFolder tmp;
    const std::string& root = tmp.path();
    fs::create_directories(root + "run");
    const std::string reg = root + "registry.reg";
    std::ofstream(reg) << "Windows Registry Editor Version 5.00\r\n\r\n"
                          "[HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Corvinaport\\General]\r\n"
                          "\"WebmailUserName\"=\"reloaded\"\r\n";
    qputenv("CORVINAPORT_REGISTRY", QByteArray::fromStdString(reg));
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(root + "run"));

    struct Wizard {
        FaxJob job;
        AppSettings settings;
        CountingImaging imaging;
        ScriptedMessageBox boxes;
        std::unique_ptr<CMainHostDlg> host;
    };
    Wizard a, b;
    long id = 501;
    a.job.attachMode = 0;  // waiting for a print
    b.job.attachMode = 1;  // for an attached file: leaves prints to others
    for (Wizard* w : {&a, &b}) {
        HostEnvironment env{w->job,  w->settings, w->imaging, w->boxes, "",
                            nullptr, nullptr,     true,       "",       0};
        env.messageId = id++;
        w->host = std::make_unique<CMainHostDlg>(env, FinishSteps{});
        ASSERT_TRUE(w->host->listener()->listening());
    }
    // A wizard that crashed left its socket behind.
    const std::string stale = SocketPathFor(MessageFolder(), 599);
    MakeStaleSocket(stale);
    // The wizards answer on this thread's loop while the command runs.
    const auto run = RunNotify;
    QTimer::singleShot(0, [&] {
        auto [rc, out] = run({QStringLiteral("reload")});
        EXPECT_EQ(rc, 0);
        EXPECT_TRUE(out.contains(QStringLiteral("sent to 2 wizards"))) << out.toStdString();
        EXPECT_TRUE(out.contains(QStringLiteral("removed 1 stale socket"))) << out.toStdString();
        EXPECT_FALSE(fs::exists(stale));
        std::tie(rc, out) = run({QStringLiteral("kestro"), QStringLiteral("0x5")});
        EXPECT_EQ(rc, 0);
        // Bits 11: not a hand-over.
        std::tie(rc, out) = run({QStringLiteral("kestro"), QStringLiteral("3")});
        EXPECT_EQ(rc, 0);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return a.imaging.handOvers == 1 && b.settings.general.WebmailUserName == "reloaded";
            },
            10000));
        a.host->sheet().PressCancel();
    });
    a.host->BuildPageSet();
    EXPECT_EQ(a.host->sheet().DoModal(), CNetFaxPropSheet::kCancelled);
    for (Wizard* w : {&a, &b}) EXPECT_EQ(w->settings.general.WebmailUserName, "reloaded");
    EXPECT_EQ(a.imaging.handOvers, 1);
    EXPECT_EQ(a.job.message.documentPath, "/printed/doc.tif");
    EXPECT_EQ(b.imaging.handOvers, 0);
    EXPECT_EQ(b.job.message.documentPath, "");
    EXPECT_EQ(run({QStringLiteral("kestro"), QStringLiteral("x")}).first, 2);
    a.host.reset();
    b.host.reset();
    auto [rc, out] = run({QStringLiteral("reload")});
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(out.contains(QStringLiteral("no running wizard"))) << out.toStdString();
    qunsetenv("XDG_RUNTIME_DIR");
    qunsetenv("CORVINAPORT_REGISTRY");
}

}  // namespace
