// The keyboard: help pages, the first field, reaching things without a mouse.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "addrbook/ui/CAddressBookDlg.h"
#include "addrbook/ui/CChooseFaxNumberDlg.h"
#include "app/core/AppSettings.h"
#include "controls/ColorLabel.h"
#include "controls/HelpService.h"
#include "controls/WizardPage.h"
#include "imaging/ImagingLibrary.h"
#include "pages/CAttachFile.h"
#include "pages/CLogoPickerDlg.h"
#include "pages/CScheduleFax.h"
#include "pages/CSelCover.h"
#include "pages/CSelRecipient.h"
#include "pages/CTitledPicsWnd.h"
#include "support/RecordingOpener.h"
#include "support/ScriptedMessageBox.h"
#include "wizard/job/FaxJob.h"

namespace {

// F1 on any field of a page or dialog opens its help page.
TEST(EveryWindow, HasItsHelpPage) {
    FaxJob job;
    DirectorySettings directory;
    ImagingLibrary imaging;
    ScriptedMessageBox boxes;
    Recipient record;
    auto recipients = std::make_unique<CSelRecipient>(job);
    recipients->EnsureInitialized();
    const std::pair<std::unique_ptr<QWidget>, const char*> windows[] = {
        {std::move(recipients), "175"},
        {std::make_unique<CAttachFile>(job), "220"},
        {std::make_unique<CSelCover>(job, directory, imaging), "220"},
        {std::make_unique<CScheduleFax>(), "222"},
        {std::make_unique<CLogoPickerDlg>(testing::TempDir()), "logo"},
        {std::make_unique<CAddressBookDlg>(job, testing::TempDir(), boxes), "addressbook"},
        {std::make_unique<CChooseFaxNumberDlg>(record, "Choose fax number"), "addressbook"},
    };
    for (const auto& [window, helpPage] : windows) {
        const auto inner = window->findChildren<QWidget*>();  // F1 on a field finds its window's
        ASSERT_FALSE(inner.isEmpty());
        EXPECT_EQ(DesktopHelp::PageOf(inner.back()), helpPage) << window->metaObject()->className();
    }
}

TEST(Keyboard, FirstPageStartsInTheNumberAndReachesTheAddressBook) {
    FaxJob job;
    job.faxNumbersAllowed = 1;
    CSelRecipient page(job);
    int opened = 0;
    page.SetAddressBookRunner([&](QWidget*, FaxJob&) {
        ++opened;
        return false;
    });
    page.EnsureInitialized();
    (void)page.OnSetActive();
    page.show();
    QApplication::setActiveWindow(&page);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
    EXPECT_EQ(QApplication::focusWidget(), page.numberEdit());

    // Its shortcut, and the "To:" link reached with the Tab key.
    QTest::keyClick(page.numberEdit(), Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(opened, 1);
    page.toLabel()->setFocus();
    ASSERT_TRUE(page.toLabel()->hasFocus());
    QTest::keyClick(page.toLabel(), Qt::Key_Space);
    EXPECT_EQ(opened, 2);

    // After an entry from the name fields, the next number goes to the number field.
    page.numberEdit()->setFocus();
    QTest::keyClicks(page.numberEdit(), "5550100");
    page.lastNameEdit()->setFocus();
    QTest::keyClicks(page.lastNameEdit(), "Lee");
    page.addButton()->click();
    ASSERT_EQ(job.RecipientList.size(), 1u);
    EXPECT_EQ(QApplication::focusWidget(), page.numberEdit());
}

TEST(Keyboard, LogoPickersHelpButtonAndF1OpenItsHelpPage) {
    const std::string pages = testing::TempDir() + "logo-help/";
    std::filesystem::create_directories(pages);
    std::ofstream(pages + "logo.html") << "<p>logo</p>";
    RecordingOpener opener;
    ScriptedMessageBox boxes;
    DesktopHelp help(opener, {}, {pages}, &boxes);
    CLogoPickerDlg picker(testing::TempDir());
    picker.SetHelpService(&help);
    picker.show();
    QApplication::setActiveWindow(&picker);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&picker));
    for (QPushButton* b : picker.findChildren<QPushButton*>())
        if (ControlId(b) == 1021) b->click();
    QTest::keyClick(&picker, Qt::Key_F1);
    EXPECT_EQ(opener.opened, (std::vector<std::string>{pages + "logo.html", pages + "logo.html"}));
    EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
