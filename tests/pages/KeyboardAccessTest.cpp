// Screen readers and the keyboard: every field and list of the pages and
// dialogs has a name, typing starts in the fax number, the address book and
// the logo pictures are reached without a mouse.
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
#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "addrbook/CAddressBookDlg.h"
#include "addrbook/CChooseFaxNumberDlg.h"
#include "app/AppSettings.h"
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
#include "wizard/FaxJob.h"

namespace {

struct World {
    FaxJob job;
    DirectorySettings directory;
    ImagingLibrary imaging;
    ScriptedMessageBox boxes;
    Recipient record;
};

struct Window {
    const char* name;
    const char* helpPage;  // the page F1 opens in it
    std::function<std::unique_ptr<QWidget>(World&)> make;
};

// The test's name in ctest's list.
void PrintTo(const Window& w, std::ostream* out) { *out << w.name; }

bool IsField(const QWidget* w) {
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QPlainTextEdit*>(w) ||
           qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractItemView*>(w) ||
           qobject_cast<const CTitledPicsWnd*>(w) || qobject_cast<const QAbstractButton*>(w);
}

// Inner parts of a field (a combo box's edit, a list's header) speak for it.
bool PartOfAField(const QWidget* w) {
    for (const QWidget* p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget())
        if (IsField(p)) return true;
    return false;
}

class EveryField : public testing::TestWithParam<Window> {};

TEST_P(EveryField, HasAnAccessibleName) {
    World world;
    world.record.homeFax = "5550100";
    std::unique_ptr<QWidget> window = GetParam().make(world);
    int fields = 0;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!IsField(w) || PartOfAField(w) || w->window() != window.get()) continue;
        ++fields;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        EXPECT_FALSE(a->text(QAccessible::Name).trimmed().isEmpty())
            << GetParam().name << ": " << w->metaObject()->className() << " "
            << w->objectName().toStdString();
    }
    EXPECT_GT(fields, 0);
    EXPECT_EQ(DesktopHelp::PageOf(window.get()), GetParam().helpPage);
}

INSTANTIATE_TEST_SUITE_P(
    PagesAndDialogs, EveryField,
    testing::Values(
        Window{"recipients", "175",
               [](World& w) {
                   auto p = std::make_unique<CSelRecipient>(w.job);
                   p->EnsureInitialized();
                   return std::unique_ptr<QWidget>(std::move(p));
               }},
        Window{"document", "220", [](World& w) { return std::make_unique<CAttachFile>(w.job); }},
        Window{"cover", "220",
               [](World& w) { return std::make_unique<CSelCover>(w.job, w.directory, w.imaging); }},
        Window{"schedule", "222", [](World&) { return std::make_unique<CScheduleFax>(); }},
        Window{"logo picker", "logo",
               [](World&) { return std::make_unique<CLogoPickerDlg>(testing::TempDir()); }},
        Window{"address book", "addressbook",
               [](World& w) {
                   return std::make_unique<CAddressBookDlg>(w.job, testing::TempDir(), w.boxes);
               }},
        Window{"fax number chooser", "addressbook",
               [](World& w) {
                   return std::make_unique<CChooseFaxNumberDlg>(w.record, "Choose fax number");
               }}),
    [](const testing::TestParamInfo<Window>& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

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
}

TEST(Keyboard, ArrowKeysPickALogoPicture) {
    CTitledPicsWnd pictures(QRect(0, 0, 300, 200), nullptr, 1234);
    for (int i = 0; i < 3; ++i)
        (void)pictures.AddPicture(
            PictureItem{QImage(20, 20, QImage::Format_RGB32), "p" + std::to_string(i)});
    struct Step {
        Qt::Key key;
        int selected;
    };
    for (const Step& s : {Step{Qt::Key_Right, 0}, Step{Qt::Key_Right, 1}, Step{Qt::Key_Right, 2},
                          Step{Qt::Key_Right, 2}, Step{Qt::Key_Left, 1}, Step{Qt::Key_Up, 0}}) {
        QTest::keyClick(&pictures, s.key);
        EXPECT_EQ(pictures.selectedIndex(), s.selected) << s.key;
    }
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
