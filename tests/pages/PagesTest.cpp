#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "app/RegistryStore.h"
#include "controls/ColorLabel.h"
#include "controls/DocumentOpener.h"
#include "controls/HyperLink.h"
#include "pages/CAttachFile.h"
#include "pages/CScheduleFax.h"
#include "pages/CSelRecipient.h"
#include "support/FakeShellLauncher.h"
#include "support/ScriptedMessageBox.h"
#include "wizard/FaxJob.h"

namespace {

constexpr const char* kInvalid = "Please enter valid Fax number or Email address!";
constexpr const char* kNoRecipient = "Please enter at least one recipient!";

struct SheetButtons final : WizardSheet {
    void SetWizardButtons(unsigned f) override { flags = f; }
    unsigned flags = 0;
};

class RecipientsPage : public testing::Test {
  protected:
    void SetUp() override {
        job.faxNumbersAllowed = 1;
        page = std::make_unique<CSelRecipient>(job);
        page->SetMessageBox(&boxes);
        page->SetSheet(&sheet);
        page->EnsureInitialized();
        page->OnSetActive();
    }
    void Type(const char* number, const char* first = "", const char* last = "") {
        page->numberEdit()->clear();
        QTest::keyClicks(page->numberEdit(), QString::fromUtf8(number));
        page->firstNameEdit()->setText(QString::fromUtf8(first));
        page->lastNameEdit()->setText(QString::fromUtf8(last));
    }
    void Add() { QTest::mouseClick(page->addButton(), Qt::LeftButton); }

    FaxJob job;
    ScriptedMessageBox boxes;
    SheetButtons sheet;
    std::unique_ptr<CSelRecipient> page;
};

TEST_F(RecipientsPage, NumbersAreReducedToDigitsAndNamedOrGenericLines) {
    EXPECT_EQ(sheet.flags, PSWIZB_NEXT);
    Type("1 (212) 555-0100", "Ann", "Lee");
    EXPECT_TRUE(page->addButton()->isEnabled());
    Add();
    Type("+1-212-555-0199", "Ann");
    Add();
    EXPECT_TRUE(boxes.boxes.empty());
    ASSERT_EQ(job.RecipientList.size(), 2u);
    const Recipient& newest = *job.RecipientList.front();
    EXPECT_EQ(newest.displayLine, "\"Fax Recipient\" <12125550199>");
    EXPECT_EQ(newest.name, "Ann ");
    const Recipient& first = *job.RecipientList.back();
    EXPECT_EQ(first.displayLine, "\"Ann Lee\" <12125550100>");
    EXPECT_EQ(first.faxNumber, "12125550100");
    EXPECT_EQ(first.businessFax, "12125550100");
    EXPECT_EQ(first.name, "Ann Lee");
    EXPECT_TRUE(first.homeFax.empty());
    // The fields are cleared and Add waits for the next number.
    EXPECT_TRUE(page->numberEdit()->text().isEmpty());
    EXPECT_FALSE(page->addButton()->isEnabled());
    // The list box sorts the lines; each line carries its record.
    ASSERT_EQ(page->list()->count(), 2);
    EXPECT_EQ(page->list()->item(0)->text().toStdString(), first.displayLine);
    EXPECT_EQ(CSelRecipient::RecipientOf(page->list()->item(0)), &first);
}

// What a typed entry becomes: a fax number by its digits (any count), an
// e-mail recipient when it holds "@" and ".", else the page's refusal.
TEST_F(RecipientsPage, TypedEntriesBecomeNumbersAddressesOrAreRefused) {
    struct Case {
        const char* typed;
        const char* line;  // nullptr: refused with the message, text kept
        const char* faxNumber;
        const char* email;
    };
    const Case cases[] = {
        {"55-12", "\"Fax Recipient\" <5512>", "5512", ""},
        {"011 44 20 7946 0958 1234", "\"Fax Recipient\" <0114420794609581234>",
         "0114420794609581234", ""},
        {" ann@example.com ", "\"Email Recipient\" <ann@example.com>", "", "ann@example.com"},
        {"FAX-ME", nullptr, "", ""},
        {"   ", nullptr, "", ""},
        {"ann@example", nullptr, "", ""},
    };
    for (const Case& c : cases) {
        boxes.boxes.clear();
        job.ClearRecipients();
        page->RefillList();
        Type(c.typed);
        Add();
        if (!c.line) {
            ASSERT_EQ(boxes.boxes.size(), 1u) << c.typed;
            EXPECT_EQ(boxes.boxes[0].text, kInvalid);
            EXPECT_EQ(boxes.boxes[0].caption, "Send a Fax - Corvinaport");
            EXPECT_EQ(boxes.boxes[0].icon, MbIcon::Exclamation);
            EXPECT_EQ(boxes.boxes[0].buttons, MbButtons::Ok);
            EXPECT_EQ(page->numberEdit()->text().toStdString(), c.typed);
            EXPECT_TRUE(job.RecipientList.empty()) << c.typed;
            // Next keeps the page instead of dropping the entry.
            EXPECT_FALSE(page->OnWizardNext()) << c.typed;
            continue;
        }
        EXPECT_TRUE(boxes.boxes.empty()) << c.typed;
        ASSERT_EQ(job.RecipientList.size(), 1u) << c.typed;
        const Recipient& r = *job.RecipientList.front();
        EXPECT_EQ(r.displayLine, c.line);
        EXPECT_EQ(r.faxNumber, c.faxNumber);
        EXPECT_EQ(r.businessFax, c.faxNumber);
        EXPECT_EQ(r.email, c.email);
        EXPECT_EQ(page->list()->count(), 1) << c.typed;
    }
}

// Every refusal of the page: the exact text in the page's warning box, and
// nothing added.
TEST_F(RecipientsPage, RefusedEmailAddressesAndAnEmptyListOnNextAreReported) {
    struct Case {
        const char* what;
        const char* email;
        bool next;  // Next instead of Add
        const char* text;
    };
    const Case cases[] = {
        {"e-mail without a dot", "ann@example", false, kInvalid},
        {"e-mail without an at sign", "ann.example.com", false, kInvalid},
        {"Next with a refused e-mail", "ann@example", true, kInvalid},
        {"Next with nothing typed", "", true, kNoRecipient},
    };
    for (const Case& c : cases) {
        boxes.boxes.clear();
        page->emailEdit()->setText(QString::fromUtf8(c.email));
        if (c.next)
            EXPECT_FALSE(page->OnWizardNext()) << c.what;
        else
            EXPECT_FALSE(page->AddRecipient()) << c.what;
        ASSERT_EQ(boxes.boxes.size(), 1u) << c.what;
        EXPECT_EQ(boxes.boxes[0].text, c.text) << c.what;
        EXPECT_EQ(boxes.boxes[0].caption, "Send a Fax - Corvinaport") << c.what;
        EXPECT_EQ(boxes.boxes[0].icon, MbIcon::Exclamation) << c.what;
        EXPECT_EQ(boxes.boxes[0].buttons, MbButtons::Ok) << c.what;
        EXPECT_EQ(page->emailEdit()->text().toStdString(), c.email) << c.what;
        EXPECT_TRUE(job.RecipientList.empty()) << c.what;
        EXPECT_EQ(page->list()->count(), 0) << c.what;
    }
    // An address with both is taken.
    boxes.boxes.clear();
    page->emailEdit()->setText("ann@example.com");
    EXPECT_TRUE(page->AddRecipient());
    EXPECT_TRUE(boxes.boxes.empty());
    ASSERT_EQ(job.RecipientList.size(), 1u);
    EXPECT_EQ(job.RecipientList.front()->displayLine, "\"Email Recipient\" <ann@example.com>");
}

TEST_F(RecipientsPage, DuplicatesGiveTwoLinesAndRemovalTakesExactlyTheChosenRecords) {
    for (const char* n : {"5551234567", "5551234567", "5559876543"}) {
        Type(n);
        Add();
    }
    ASSERT_EQ(job.RecipientList.size(), 3u);
    EXPECT_EQ(page->list()->count(), 3);
    EXPECT_FALSE(page->removeButton()->isEnabled());
    page->list()->item(0)->setSelected(true);
    page->list()->item(2)->setSelected(true);
    EXPECT_TRUE(page->removeButton()->isEnabled());
    Recipient* kept = CSelRecipient::RecipientOf(page->list()->item(1));
    QTest::mouseClick(page->removeButton(), Qt::LeftButton);
    ASSERT_EQ(job.RecipientList.size(), 1u);
    EXPECT_EQ(job.RecipientList.front().get(), kept);
    EXPECT_EQ(page->list()->count(), 1);
    EXPECT_FALSE(page->removeButton()->isEnabled());
}

TEST_F(RecipientsPage, NextTakesATypedNumberAlongAndRefusesAnEmptyList) {
    EXPECT_FALSE(page->OnWizardNext());
    ASSERT_EQ(boxes.Texts(), std::vector<std::string>{kNoRecipient});
    Type("12125550100");
    EXPECT_TRUE(page->OnWizardNext());
    EXPECT_EQ(job.RecipientList.size(), 1u);
    // A refused entry keeps the page even with recipients in the list.
    boxes.boxes.clear();
    Type("FAX-ME");
    EXPECT_FALSE(page->OnWizardNext());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{kInvalid});
    EXPECT_EQ(job.RecipientList.size(), 1u);
}

TEST_F(RecipientsPage, ToLabelRefillsTheListOnlyWhenTheAddressBookEndsWithOk) {
    EXPECT_EQ(page->serviceLink(), nullptr);
    bool answer = false;
    page->SetAddressBookRunner([&](QWidget*, FaxJob& j) {
        auto r = std::make_unique<Recipient>();
        r->displayLine = "\"Bo Kay\" <5551112222>";
        j.RecipientList.push_front(std::move(r));
        return answer;
    });
    QTest::mouseClick(page->toLabel(), Qt::LeftButton);
    EXPECT_EQ(page->list()->count(), 0);
    answer = true;
    QTest::mouseClick(page->toLabel(), Qt::LeftButton);
    EXPECT_EQ(page->list()->count(), 2);
}

TEST(RecipientsPagePresets, PresetNumberShowsReadyAndLinkStaysWhileNumbersAreNotAllowed) {
    FaxJob job;
    job.faxNumbersAllowed = 0;
    job.presetFaxNumber = "1 212 555 0100";
    job.presetFirstName = "Ann";
    CSelRecipient page(job);
    page.EnsureInitialized();
    EXPECT_EQ(page.numberEdit()->text().toStdString(), "1 212 555 0100");
    EXPECT_EQ(page.firstNameEdit()->text().toStdString(), "Ann");
    EXPECT_TRUE(page.addButton()->isEnabled());
    ASSERT_NE(page.serviceLink(), nullptr);
    EXPECT_FALSE(page.numberEdit()->isEnabled());
}

TEST(RecipientsPageLink, ClickOpensTheServiceSiteAndTheLinkIsGoneWhileNumbersAreAllowed) {
    // No .htm association to fall back on.
    SetRegistryStorePath(testing::TempDir() + "pages-test-no-registry.reg");
    ScriptedMessageBox boxes;
    FakeLauncher launcher;
    launcher.shellResult = 42;  // started
    FaxJob job;
    job.faxNumbersAllowed = 0;
    CSelRecipient page(job);
    page.SetMessageBox(&boxes);
    page.SetShellLauncher(&launcher);
    page.EnsureInitialized();
    page.show();
    HyperLink* link = page.serviceLink();
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->text(), "Get Zephrim Now");
    EXPECT_EQ(link->toolTip().toStdString(), CSelRecipient::kServiceSite);
    EXPECT_EQ(page.findChild<HyperLink*>(), link);

    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(launcher.opened, std::vector<std::string>{CSelRecipient::kServiceSite});
    EXPECT_TRUE(link->visited());
    EXPECT_TRUE(boxes.boxes.empty());
    // A failed open is reported through the page's message box.
    launcher.shellResult = 31;
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{
                                 "Unable to open hyperlink:\n\nThere is no application associated"
                                 "\nwith the given filename extension."});
    SetRegistryStorePath(std::nullopt);

    FaxJob allowed;
    allowed.faxNumbersAllowed = 1;
    CSelRecipient numbers(allowed);
    numbers.SetShellLauncher(&launcher);
    numbers.EnsureInitialized();
    EXPECT_EQ(numbers.serviceLink(), nullptr);
    EXPECT_EQ(numbers.findChild<HyperLink*>(), nullptr);
    EXPECT_TRUE(numbers.numberEdit()->isEnabled());
}

struct RecordingOpener final : DocumentOpener {
    bool Open(const std::string& t) override {
        opened.push_back(t);
        return false;
    }
    std::vector<std::string> opened;
};

TEST(DocumentPage, OneFileAtATimeWithOpenRemoveAndTheNextCheck) {
    FaxJob job;
    ScriptedMessageBox boxes;
    SheetButtons sheet;
    RecordingOpener opener;
    std::string file = testing::TempDir() + "Quarterly report.unknownext";
    std::ofstream(file) << "x";
    CAttachFile page(job);
    page.SetMessageBox(&boxes);
    page.SetSheet(&sheet);
    page.SetOpener(&opener);
    std::string pick;
    page.SetFilePicker([&](QWidget*) { return pick; });
    page.EnsureInitialized();
    page.OnSetActive();
    EXPECT_EQ(sheet.flags, PSWIZB_BACK | PSWIZB_NEXT);

    EXPECT_FALSE(page.OnWizardNext());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Please add a file"});
    QTest::mouseClick(page.addButton(), Qt::LeftButton);  // dialog cancelled
    EXPECT_TRUE(job.AttachmentList.empty());

    pick = file;
    QTest::mouseClick(page.addButton(), Qt::LeftButton);
    ASSERT_EQ(job.AttachmentList.size(), 1u);
    EXPECT_EQ(page.list()->item(0)->text().toStdString(), "Quarterly report.unknownext");
    EXPECT_FALSE(page.list()->item(0)->icon().isNull());
    EXPECT_FALSE(page.addButton()->isEnabled());
    EXPECT_FALSE(page.openButton()->isEnabled());
    page.AddFile();
    EXPECT_EQ(boxes.Texts().back(), "You cannot add more than one file.");
    EXPECT_EQ(job.AttachmentList.size(), 1u);

    page.list()->item(0)->setSelected(true);
    EXPECT_TRUE(page.openButton()->isEnabled());
    QTest::mouseClick(page.openButton(), Qt::LeftButton);
    EXPECT_EQ(opener.opened, std::vector<std::string>{file});
    EXPECT_TRUE(page.OnWizardNext());
    QTest::mouseClick(page.removeButton(), Qt::LeftButton);
    EXPECT_TRUE(job.AttachmentList.empty());
    EXPECT_TRUE(page.addButton()->isEnabled());
    // Both refusals are the page's warning box.
    ASSERT_EQ(boxes.boxes.size(), 2u);
    for (const auto& b : boxes.boxes) {
        EXPECT_EQ(b.caption, "Send a Fax - Corvinaport") << b.text;
        EXPECT_EQ(b.icon, MbIcon::Exclamation) << b.text;
        EXPECT_EQ(b.buttons, MbButtons::Ok) << b.text;
    }
}

TEST(DocumentPage, FiltersReachTheDialogWithTheirPatterns) {
    EXPECT_EQ(CAttachFile::QtFilter(CAttachFile::kFilters[0]).toStdString(),
              "Zephrim Files (*.doc *.wps *.txt *.bmp *.jpg *.jpeg)");
    EXPECT_EQ(CAttachFile::QtFilter(CAttachFile::kFilters[2]).toStdString(),
              "Word Perfect (*.doc *.wpd)");
    EXPECT_EQ(CAttachFile::QtFilter(CAttachFile::kFilters[6]).toStdString(), "All Files (*)");
}

TEST(SchedulePage, StartsWithSendNowAndKeepsTheChoice) {
    SheetButtons sheet;
    CScheduleFax page;
    page.SetSheet(&sheet);
    page.EnsureInitialized();
    page.OnSetActive();
    EXPECT_EQ(sheet.flags, PSWIZB_BACK | PSWIZB_FINISH);
    EXPECT_EQ(page.sendNow, 1);
    EXPECT_TRUE(page.sendNowButton()->isChecked());
    page.show();
    page.outboxButton()->click();
    EXPECT_EQ(page.sendNow, 0);
    page.OnSetActive();
    EXPECT_EQ(page.sendNow, 0);
    EXPECT_TRUE(page.outboxButton()->isChecked());
}

}  // namespace
