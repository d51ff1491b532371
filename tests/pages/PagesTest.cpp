#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <fstream>

#include "controls/ColorLabel.h"
#include "controls/HyperLink.h"
#include "pages/CAttachFile.h"
#include "pages/CScheduleFax.h"
#include "pages/CSelRecipient.h"
#include "support/FakeShellLauncher.h"
#include "support/RecordingOpener.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempStore.h"
#include "wizard/FaxJob.h"

namespace {

constexpr const char* kInvalid = "Please enter valid Fax number or Email address!";
constexpr const char* kNoRecipient = "Please enter at least one recipient!";

struct SheetButtons final : WizardSheet {
    void SetWizardButtons(unsigned f) override { flags = f; }
    unsigned flags = 0;
};

// Every refusal is the page's warning box.
void ExpectWarnings(const ScriptedMessageBox& boxes, const std::vector<std::string>& texts) {
    EXPECT_EQ(boxes.Texts(), texts);
    for (const auto& b : boxes.boxes) {
        EXPECT_EQ(b.caption, "Send a Fax - Corvinaport") << b.text;
        EXPECT_EQ(b.icon, MbIcon::Exclamation) << b.text;
        EXPECT_EQ(b.buttons, MbButtons::Ok) << b.text;
    }
}

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

TEST_F(RecipientsPage, NumbersBecomeNamedOrGenericLinesAndRemovalTakesTheChosenOnes) {
    EXPECT_EQ(sheet.flags, PSWIZB_NEXT);
    Type("1 (212) 555-0100", "Ann", "Lee");
    EXPECT_TRUE(page->addButton()->isEnabled());
    Add();
    for (int i = 0; i < 2; ++i) {  // the same number twice gives two lines
        Type("+1-212-555-0199", "Ann");
        Add();
    }
    EXPECT_TRUE(boxes.boxes.empty());
    ASSERT_EQ(job.RecipientList.size(), 3u);
    const Recipient& newest = *job.RecipientList.front();
    EXPECT_EQ(newest.displayLine, "\"Fax Recipient\" <12125550199>");
    EXPECT_EQ(newest.name, "Ann ");
    const Recipient& first = *job.RecipientList.back();
    EXPECT_EQ(first.displayLine, "\"Ann Lee\" <12125550100>");
    EXPECT_EQ(first.businessFax, "12125550100");
    EXPECT_EQ(first.name, "Ann Lee");
    // The fields are cleared and Add waits for the next number.
    EXPECT_TRUE(page->numberEdit()->text().isEmpty());
    EXPECT_FALSE(page->addButton()->isEnabled());
    // The list box sorts the lines; each line carries its record.
    ASSERT_EQ(page->list()->count(), 3);
    EXPECT_EQ(CSelRecipient::RecipientOf(page->list()->item(0)), &first);
    // Remove takes exactly the chosen records.
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

// A typed entry is a number (its digits), an address (with "@" and "."), or refused and kept.
TEST_F(RecipientsPage, TypedEntriesBecomeNumbersAddressesOrAreRefused) {
    struct Case {
        const char* number;
        const char* email;
        bool next;            // Next instead of Add
        std::string outcome;  // the recipient's line, or the refusal
    };
    const Case cases[] = {
        {"55-12", "", false, "\"Fax Recipient\" <5512>"},
        {"011 44 20 7946 0958 1234", "", false, "\"Fax Recipient\" <0114420794609581234>"},
        {" ann@example.com ", "", false, "\"Email Recipient\" <ann@example.com>"},
        {"", "ann@example.com", false, "\"Email Recipient\" <ann@example.com>"},
        {"12125550100", "", true, "\"Fax Recipient\" <12125550100>"},
        {"FAX-ME", "", false, kInvalid},
        {"   ", "", false, kInvalid},
        {"ann@example", "", false, kInvalid},
        {"", "ann@example", false, kInvalid},
        {"", "ann.example.com", false, kInvalid},
        {"", "ann@example", true, kInvalid},
        {"", "", true, kNoRecipient},
    };
    for (const Case& c : cases) {
        const std::string what = std::string(c.number) + "|" + c.email;
        const bool accepted = c.outcome.starts_with('"');
        boxes.boxes.clear();
        job.ClearRecipients();
        page->RefillList();
        Type(c.number);
        page->emailEdit()->setText(QString::fromUtf8(c.email));
        EXPECT_EQ(c.next ? page->OnWizardNext() : page->AddRecipient(), accepted) << what;
        if (!accepted) {
            ExpectWarnings(boxes, {c.outcome});
            EXPECT_EQ(page->numberEdit()->text().toStdString(), c.number) << what;
            EXPECT_EQ(page->emailEdit()->text().toStdString(), c.email) << what;
            EXPECT_TRUE(job.RecipientList.empty()) << what;
            EXPECT_EQ(page->list()->count(), 0) << what;
            // Next keeps the page instead of dropping the entry.
            EXPECT_FALSE(page->OnWizardNext()) << what;
            continue;
        }
        EXPECT_TRUE(boxes.boxes.empty()) << what;
        ASSERT_EQ(job.RecipientList.size(), 1u) << what;
        const Recipient& r = *job.RecipientList.front();
        EXPECT_EQ(r.displayLine, c.outcome);
        // The record holds the number (also as the business fax) or the address.
        EXPECT_EQ(r.faxNumber, r.businessFax);
        EXPECT_TRUE(c.outcome.ends_with(" <" + r.faxNumber + r.email + ">")) << what;
        // A refused entry keeps the page even with recipients in the list.
        boxes.boxes.clear();
        Type("FAX-ME");
        EXPECT_FALSE(page->OnWizardNext()) << what;
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{kInvalid}) << what;
        EXPECT_EQ(job.RecipientList.size(), 1u) << what;
    }
}

TEST_F(RecipientsPage, ToLabelRefillsTheListOnlyWhenTheAddressBookEndsWithOk) {
    bool answer = false;
    const auto runner = [&](QWidget*, FaxJob& j) {
        auto r = std::make_unique<Recipient>();
        r->displayLine = "\"Bo Kay\" <5551112222>";
        j.RecipientList.push_front(std::move(r));
        return answer;
    };
    page->SetAddressBookRunner(runner);
    QTest::mouseClick(page->toLabel(), Qt::LeftButton);
    EXPECT_EQ(page->list()->count(), 0);
    answer = true;
    QTest::mouseClick(page->toLabel(), Qt::LeftButton);
    EXPECT_EQ(page->list()->count(), 2);
    // A distribution list is added the same way, by its own button.
    EXPECT_TRUE(page->listButton()->isHidden());
    page->SetListRunner(runner);
    page->listButton()->click();
    EXPECT_EQ(page->list()->count(), 3);
}

// Numbers not allowed: the preset shows locked, and the service link opens the site.
TEST(RecipientsPageLink, PresetAndServiceLinkWhileNumbersAreNotAllowed) {
    const TempStore noAssociation;
    ScriptedMessageBox boxes;
    FakeLauncher launcher;
    launcher.shellResult = 42;  // started
    FaxJob job;
    job.faxNumbersAllowed = 0;
    job.presetFaxNumber = "1 212 555 0100";
    job.presetFirstName = "Ann";
    CSelRecipient page(job);
    page.SetMessageBox(&boxes);
    page.SetShellLauncher(&launcher);
    page.EnsureInitialized();
    page.show();
    EXPECT_EQ(page.numberEdit()->text().toStdString(), "1 212 555 0100");
    EXPECT_EQ(page.firstNameEdit()->text().toStdString(), "Ann");
    EXPECT_TRUE(page.addButton()->isEnabled());
    EXPECT_FALSE(page.numberEdit()->isEnabled());
    HyperLink* link = page.serviceLink();
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->text(), "Get Zephrim Now");

    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(launcher.opened, std::vector<std::string>{CSelRecipient::kServiceSite});
    EXPECT_TRUE(link->visited());
    EXPECT_TRUE(boxes.boxes.empty());
    launcher.shellResult = 31;  // a failed open is told through the page's boxes
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(boxes.boxes.size(), 1u);
}

TEST(DocumentPage, OneFileAtATimeWithOpenRemoveAndTheNextCheck) {
    FaxJob job;
    ScriptedMessageBox boxes;
    SheetButtons sheet;
    RecordingOpener opener;
    opener.works = false;
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
    EXPECT_EQ(job.AttachmentList.size(), 1u);

    page.list()->item(0)->setSelected(true);
    QTest::mouseClick(page.openButton(), Qt::LeftButton);
    EXPECT_EQ(opener.opened, std::vector<std::string>{file});
    EXPECT_TRUE(page.OnWizardNext());
    QTest::mouseClick(page.removeButton(), Qt::LeftButton);
    EXPECT_TRUE(job.AttachmentList.empty());
    EXPECT_TRUE(page.addButton()->isEnabled());
    ExpectWarnings(boxes, {"Please add a file", "You cannot add more than one file."});
    EXPECT_EQ(CAttachFile::QtFilter(CAttachFile::kFilters[2]).toStdString(),
              "Word Perfect (*.doc *.wpd)");
}

TEST(SchedulePage, StartsWithSendNowAndKeepsTheChoice) {
    SheetButtons sheet;
    CScheduleFax page;
    page.SetSheet(&sheet);
    page.EnsureInitialized();
    page.OnSetActive();
    EXPECT_EQ(sheet.flags, PSWIZB_BACK | PSWIZB_FINISH);
    EXPECT_TRUE(page.sendNowButton()->isChecked());
    page.show();
    page.outboxButton()->click();
    EXPECT_EQ(page.sendNow, 0);
    page.OnSetActive();
    EXPECT_EQ(page.sendNow, 0);
    EXPECT_TRUE(page.outboxButton()->isChecked());
}

}  // namespace
