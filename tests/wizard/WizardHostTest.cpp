#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/core/AppSettings.h"
#include "base/FileReplace.h"
#include "controls/HelpService.h"
#include "imaging/ImagingEnvironment.h"
#include "support/ScopedEnv.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempFolder.h"
#include "wizard/job/FaxJob.h"
#include "wizard/ui/CMainHostDlg.h"

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
        steps.stageAttachment = [this](const std::string& p, const std::string& name) {
            std::string copy =
                root + "outbox/" + (name.empty() ? fs::path(p).filename().string() : name);
            fs::copy_file(p, copy, fs::copy_options::overwrite_existing);
            return copy;
        };
        steps.buildRecipientLine = [this] { return job.BuildRecipientLine(); };
        steps.ensureOnline = [this](QWidget*) { return ++onlineChecks > 0; };
        steps.sendFax = [this] { return ++sends > 0; };
        steps.saveToOutbox = [this](const std::string& folder) {
            saves.push_back(folder);
            if (!saveWorks) return false;
            for (const std::string& d : job.message.Documents()) fs::remove(d);
            return true;
        };
        steps.filePicker = [this](QWidget*) {
            return picked.empty() ? std::vector<std::string>{attached} : picked;
        };
        steps.preview = [this](QWidget*, const std::vector<std::string>& files) {
            previewed.push_back(files);
        };
        steps.openOutbox = [this] { ++outboxWindows; };
        return std::make_unique<CMainHostDlg>(env, std::move(steps));
    }
    // Fills the three pages and stays on the schedule page, or stores in the outbox.
    static void Compose(CMainHostDlg& host, bool toOutbox = false) {
        CNetFaxPropSheet& sheet = host.sheet();
        QTest::keyClicks(host.recipientsPage().numberEdit(), "1 (212) 555-0100");
        QTest::mouseClick(sheet.nextButton(), Qt::LeftButton);
        QTest::mouseClick(host.documentPage().addButton(), Qt::LeftButton);
        QTest::mouseClick(sheet.nextButton(), Qt::LeftButton);
        if (!toOutbox) return;
        host.schedulePage().outboxButton()->click();
        QTest::mouseClick(sheet.finishButton(), Qt::LeftButton);
    }
    int RunDriven(CMainHostDlg& host, std::function<void()> drive) {
        QTimer::singleShot(0, std::move(drive));
        return host.DoModal();
    }

    TempFolder tmp;
    std::string root = tmp.path(), attached;
    std::vector<std::string> picked;  // the file dialog's answer; the attached file when empty
    FaxJob job;
    AppSettings settings;
    CountingImaging imaging;
    ScriptedMessageBox boxes;
    RecordingHelp help;
    bool saveWorks = true;
    int onlineChecks = 0, sends = 0, outboxWindows = 0;
    std::vector<std::string> saves;
    std::vector<std::vector<std::string>> previewed;
};

// "/s" gives three pages without help; otherwise pages and help follow the attach mode.
TEST_F(Host, PageSetsAndHelpContextsFollowTheRun) {
    job.contactMode = 1;
    job.attachMode = 0;
    auto contact = Make();
    contact->BuildPageSet();
    ASSERT_EQ(contact->sheet().pageCount(), 3);
    EXPECT_EQ(contact->sheet().page(1), &contact->documentPage());
    ASSERT_TRUE(contact->sheet().SetActivePage(2));
    EXPECT_EQ(contact->sheet().windowTitle(), "Send an Internet Fax - Schedule Fax");
    EXPECT_TRUE(contact->sheet().helpButton()->isHidden());
    job.contactMode = 0;
    auto printed = Make();
    printed->BuildPageSet();
    EXPECT_EQ(printed->sheet().page(1), &printed->coverPage());
    ASSERT_TRUE(printed->sheet().SetActivePage(0));
    EXPECT_EQ(printed->sheet().windowTitle(), "Select Recipients - Send a Fax");
    QTest::mouseClick(printed->sheet().helpButton(), Qt::LeftButton);
    printed->OnHelp(2);
    printed->OnHelp(3);
    EXPECT_EQ(help.contexts, (std::vector<std::uint32_t>{175, 219}));
    job.attachMode = 1;
    auto attachedRun = Make();
    attachedRun->BuildPageSet();
    EXPECT_EQ(attachedRun->sheet().page(1), &attachedRun->documentPage());
    EXPECT_EQ(std::tuple(attachedRun->HelpContext(1), attachedRun->HelpContext(2)),
              std::tuple(220u, 222u));
    // The cover box brings the cover page in behind the document page, and takes it out again.
    attachedRun->documentPage().coverCheck()->setChecked(true);
    ASSERT_EQ(attachedRun->sheet().pageCount(), 4);
    EXPECT_EQ(attachedRun->sheet().page(2), &attachedRun->coverPage());
    EXPECT_EQ(std::tuple(attachedRun->HelpContext(2), attachedRun->HelpContext(3)),
              std::tuple(220u, 222u));
    attachedRun->documentPage().coverCheck()->setChecked(false);
    EXPECT_EQ(attachedRun->sheet().pageCount(), 3);
    EXPECT_TRUE(contact->documentPage().coverCheck()->isHidden());
}

// A wizard opens on its first page; each later page is made when first
// shown, once, in its place. A later page that needs more room than the
// first widens the shown sheet.
TEST_F(Host, PagesAfterTheFirstAreMadeWhenFirstShown) {
    auto host = Make();
    host->BuildPageSet();
    CNetFaxPropSheet& sheet = host->sheet();
    sheet.show();
    ASSERT_TRUE(sheet.SetActivePage(0));
    const auto made = [&sheet] { return sheet.findChildren<WizardPage*>().size(); };
    ASSERT_EQ(std::tuple(sheet.pageCount(), made()), std::tuple(3, qsizetype{1}));
    QTest::keyClicks(host->recipientsPage().numberEdit(), "1 (212) 555-0100");
    QTest::mouseClick(sheet.nextButton(), Qt::LeftButton);
    EXPECT_EQ(std::tuple(sheet.activeIndex(), made()), std::tuple(1, qsizetype{2}));
    EXPECT_EQ(sheet.activePage(), &host->documentPage());
    EXPECT_EQ(sheet.IndexOf(&host->schedulePage()), 2);
    EXPECT_EQ(std::tuple(sheet.page(2), made()),
              std::tuple(static_cast<WizardPage*>(&host->schedulePage()), qsizetype{3}));

    CNetFaxPropSheet bare;
    WizardPage first(1, "first"), wide(2, "wide");
    bare.AddPage(&first);
    int makes = 0;
    bare.AddPage([&]() -> WizardPage* {
        ++makes;
        return &wide;
    });
    bare.show();
    const QSize before = bare.size();
    wide.setMinimumSize(before + QSize(60, 40));
    ASSERT_EQ(makes, 0);
    ASSERT_EQ(bare.page(1), &wide);
    EXPECT_EQ(bare.IndexOf(&wide), 1);
    EXPECT_EQ(makes, 1);
    EXPECT_GE(bare.width(), before.width() + 60);
    EXPECT_GE(bare.height(), before.height() + 40);
}

// One document or two of the same name: each is kept where the user is told.
TEST_F(Host, FailedOutboxTellsTheUserWhereTheDocumentStays) {
    saveWorks = false;
    fs::create_directories(root + "other");
    std::ofstream(root + "other/letter.txt") << "Another letter";
    for (const bool two : {false, true}) {
        boxes.boxes.clear();
        saves.clear();
        job.message = FaxMessage{};
        if (two) picked = {attached, root + "other/letter.txt"};
        auto host = Make();
        RunDriven(*host, [&] { Compose(*host, true); });
        std::vector<std::string> kept = {root + "outbox/letter.txt"};
        if (two) kept.push_back(root + "outbox/letter-2.txt");
        std::string told = "Your fax could not be saved in the Corvinaport Outbox.";
        for (const std::string& k : kept) told += "\nThe document is kept in:\n" + k;
        const std::string saved =
            "Your fax will be saved. You may send it later\nby accessing Corvinaport Outbox.";
        EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{saved, told}));
        EXPECT_EQ(onlineChecks + sends, 0);
        EXPECT_EQ(saves, std::vector<std::string>{"outbox"});
        EXPECT_EQ(job.message.to, "\"Fax Recipient\" <12125550100>");
        EXPECT_EQ(job.message.Documents(), kept);
        for (const std::string& k : kept) EXPECT_TRUE(fs::exists(k)) << k;
        EXPECT_TRUE(fs::exists(attached));
    }
    // The "saved" box offers the Outbox window, which opens when taken.
    ASSERT_FALSE(boxes.offers.empty());
    EXPECT_EQ(boxes.offers[0], "Open Outbox");
    EXPECT_EQ(outboxWindows, 0);
    boxes.takeOffers = true;
    picked.clear();
    auto again = Make();
    RunDriven(*again, [&] { Compose(*again, true); });
    EXPECT_EQ(outboxWindows, 1);
}

TEST_F(Host, CancelAndClosingSaveNothingAndEmptyTheLists) {
    auto host = Make();
    const int ended = RunDriven(*host, [&] {
        Compose(*host);
        QTest::mouseClick(host->sheet().cancelButton(), Qt::LeftButton);
    });
    EXPECT_EQ(std::tuple(ended, saves.size() + sends), std::tuple(1, 0u));
    host.reset();
    EXPECT_TRUE(job.RecipientList.empty() && job.AttachmentList.empty() && help.quits == 1);

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
    EXPECT_TRUE(saves.empty() && sends == 0);
}

// What a run put into the outbox and does not send is not left there.
TEST_F(Host, PrintedDocumentAndUnsentCoverLeaveNoLooseFiles) {
    struct Case {
        const char* what;
        bool finish;          // else Cancel
        bool uncheck;         // the cover box, after the cover was composed
        bool documentKept;    // Finish: the stand-in sender leaves it
        bool staged = false;  // as the hand-over leaves it, in a staging folder
    };
    for (const Case& c : {Case{"cancel", false, false, false},
                          Case{"cancel a staged print", false, false, false, true},
                          Case{"finish without the composed cover", true, true, true}}) {
        SCOPED_TRACE(c.what);
        job.attachMode = 0;
        const std::string printed = c.staged ? StagingPath(root + "outbox/", "fax-7-print.tif")
                                             : root + "outbox/fax-7-print.tif";
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
        for (const auto& e : fs::directory_iterator(root + "outbox"))
            EXPECT_NE(e.path().filename().string().substr(0, 7), ".stage-") << e.path();
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

// A print is taken once while the wizard waits for one; the next is declined.
TEST_F(Host, HandOverIsTakenOnceWhileTheWizardWaitsForAPrint) {
    fs::create_directories(root + "run");
    const ScopedEnv runtime("XDG_RUNTIME_DIR", root + "run");
    job.attachMode = 0;
    auto host = Make(true);
    ASSERT_TRUE(host->listener() && host->listener()->listening());
    RunDriven(*host, [&] {
        // The answer, as the fax printer's watcher asks for it; "-" for none.
        auto ask = [&](std::uint64_t wParam) {
            WindowMessage kestro;
            kestro.registeredName = kKestroMessage;
            kestro.wParam = wParam;
            AskResult r;
            std::atomic<bool> done{false};
            std::thread t([&] {
                r = AskInTurn(kestro, MessageFolder(), nullptr, 2000);
                done = true;
            });
            EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 20000));
            t.join();
            EXPECT_EQ(r.delivered, 1);
            return r.answers.size() == 1 && r.answers[0].answer ? *r.answers[0].answer : "-";
        };
        EXPECT_EQ(ask(2), "-");  // bits 10: not a hand-over
        EXPECT_EQ(imaging.handOvers, 0);
        EXPECT_EQ(ask(5), "taken");
        EXPECT_EQ(ask(1), "declined");
        host->sheet().PressCancel();
    });
    EXPECT_EQ(std::tuple(imaging.handOvers, job.message.pageCount), std::tuple(1, 3u));
}

}  // namespace
