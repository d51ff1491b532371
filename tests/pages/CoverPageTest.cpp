// The cover-sheet page, logo picker and thumbnail window, with real images and cover.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <limits>

#include "app/core/AppSettings.h"
#include "imaging/ImagingLibrary.h"
#include "pages/CLogoPickerDlg.h"
#include "pages/CSelCover.h"
#include "pages/CTitledPicsWnd.h"
#include "support/Command.h"
#include "support/FakeClock.h"
#include "support/RecordingOpener.h"
#include "support/Staged.h"
#include "support/TempFolder.h"
#include "support/TestTiff.h"
#include "wizard/job/FaxJob.h"

namespace fs = std::filesystem;

// Designated initializers name only the fields a case sets.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

void WriteBmp(const std::string& path, int width, int height, QColor colour = Qt::black) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    ASSERT_TRUE(image.save(QString::fromStdString(path), "BMP")) << path;
}

struct Buttons final : WizardSheet {
    void SetWizardButtons(unsigned f) override { flags = f; }
    unsigned flags = 0;
};

class Thumbnails : public ::testing::Test {
  protected:
    void SetUp() override {
        host.resize(400, 400);
        host.show();
        for (int i = 0; i < 3; ++i) {
            items[i].bitmap = QImage(40 + 10 * i, 30, QImage::Format_RGB32);
            items[i].bitmap.fill(Qt::black);
            items[i].path = dir.path() + "p" + std::to_string(i) + ".bmp";
            std::ofstream(items[i].path) << "x";
        }
        wnd = new CTitledPicsWnd(QRect(0, 0, 260, 300), &host, 1234);
        wnd->SetOpener(&opener);
        QObject::connect(wnd, &CTitledPicsWnd::notify,
                         [this](int id, int code) { codes.push_back(id == 1234 ? code : -id); });
        wnd->SetCellSize(100, 80);
        for (const PictureItem& item : items) wnd->AddPicture(item);
        wnd->UpdateLayout();
    }
    // The notifications posted so far, in order.
    std::vector<int> Posted() {
        QCoreApplication::processEvents();
        std::vector<int> out;
        out.swap(codes);
        return out;
    }
    QPoint CellCentre(int col, int row) const {
        return QPoint(col * wnd->cellWidth() + wnd->cellWidth() / 2,
                      row * wnd->cellHeight() + wnd->cellHeight() / 2);
    }

    TempFolder dir;
    QWidget host;
    PictureItem items[3];
    CTitledPicsWnd* wnd = nullptr;
    RecordingOpener opener;
    std::vector<int> codes;
};

TEST_F(Thumbnails, GridLayoutArrowKeysAndScrollArea) {
    EXPECT_EQ(wnd->columns(), 2);
    EXPECT_EQ(wnd->ScrollSize(), QSize(200, 160));  // three pictures fill two rows
    // The arrow keys move the choice along the grid of two columns.
    for (const auto& [key, selected] :
         {std::pair{Qt::Key_Right, 0}, std::pair{Qt::Key_Right, 1}, std::pair{Qt::Key_Right, 2},
          std::pair{Qt::Key_Right, 2}, std::pair{Qt::Key_Left, 1}, std::pair{Qt::Key_Up, 0},
          std::pair{Qt::Key_Down, 2}}) {
        QTest::keyClick(wnd, key);
        EXPECT_EQ(wnd->selectedIndex(), selected) << key;
    }
    // Stretched: every picture fills its cell less margins and the title band.
    wnd->SetStretch(true);
    const int t = wnd->TextHeight();
    EXPECT_EQ(wnd->PictureRect(2), QRect(2, 80 + 2, 100 - 4, 80 - 4 - 2 * t));

    // A cell wider than the window still leaves one column.
    wnd->SetCellSize(1000, 80);
    wnd->UpdateLayout();
    EXPECT_EQ(wnd->columns(), 1);

    // Automatic size: from the largest bitmap.
    wnd->SetCellSize(-1, 80);
    EXPECT_TRUE(wnd->autoSize());
    wnd->UpdateLayout();
    EXPECT_EQ(wnd->cellHeight(), 30 + 4 + 2 * t);
}

// Clicks and Select: the selection, and what the parent is told, in order.
TEST_F(Thumbnails, ClicksAndSelectNotifyTheParentInOrder) {
    constexpr int L = CTitledPicsWnd::kLeftClick, R = CTitledPicsWnd::kRightClick,
                  S = CTitledPicsWnd::kSelChanged;
    struct Step {
        Qt::MouseButton button;  // NoButton: Select(index)
        int col, row, index;     // index: Select's argument
        int selected;
        std::vector<int> posted;
    };
    const Step steps[] = {
        {Qt::NoButton, 0, 0, 5, -1, {}},
        {Qt::NoButton, 0, 0, -2, -1, {}},
        {Qt::LeftButton, 1, 0, 0, 1, {L, S}},
        {Qt::LeftButton, 1, 0, 0, 1, {L}},  // the selected picture again
        {Qt::LeftButton, 1, 1, 0, 1, {}},   // the empty cell after the last picture
        {Qt::RightButton, 0, 1, 0, 2, {R, S}},
        {Qt::NoButton, 0, 0, 2, 2, {}},
        {Qt::NoButton, 0, 0, -1, -1, {S}},
        {Qt::NoButton, 0, 0, 1, 1, {S}},
    };
    for (const Step& s : steps) {
        if (s.button == Qt::NoButton)
            wnd->Select(s.index);
        else
            QTest::mouseClick(wnd->viewport(), s.button, {}, CellCentre(s.col, s.row));
        EXPECT_EQ(wnd->selectedIndex(), s.selected) << s.col << s.row << s.index;
        // The parent may read the selection at once.
        EXPECT_EQ(wnd->SelectedPath(), s.selected < 0 ? "" : items[s.selected].path);
        EXPECT_EQ(Posted(), s.posted) << s.col << s.row << s.index;
    }
    QTest::mouseDClick(wnd->viewport(), Qt::LeftButton, {}, CellCentre(0, 0));
    const std::vector<int> posted = Posted();
    EXPECT_NE(std::find(posted.begin(), posted.end(), CTitledPicsWnd::kDoubleClick), posted.end());
    EXPECT_EQ(opener.opened, std::vector<std::string>{items[0].path});
    EXPECT_EQ(wnd->selectedIndex(), 0);
}

// The chosen cell is framed wherever the focus is; no frame without a selection.
TEST_F(Thumbnails, SelectionIsFramedWhereverTheFocusIs) {
    auto* other = new QLineEdit(&host);
    other->move(300, 0);
    other->show();
    QApplication::setActiveWindow(&host);
    const QColor frame = wnd->palette().color(QPalette::Highlight);
    auto framed = [&](int col, int row) {
        const QImage shot = wnd->viewport()->grab().toImage();
        return QColor(shot.pixel(col * 100 + 50, row * 80)) == frame &&
               QColor(shot.pixel(col * 100, row * 80 + 40)) == frame;
    };
    EXPECT_FALSE(framed(0, 0));
    struct Case {
        int col, row;
        bool focusAway;
    };
    for (const Case c : {Case{1, 0, false}, Case{0, 1, true}, Case{0, 0, true}}) {
        QTest::mouseClick(wnd->viewport(), Qt::LeftButton, {}, CellCentre(c.col, c.row));
        if (c.focusAway) other->setFocus();
        EXPECT_EQ(wnd->hasFocus(), !c.focusAway);
        EXPECT_TRUE(framed(c.col, c.row)) << c.col << "," << c.row;
        EXPECT_FALSE(framed(c.col == 1 ? 0 : 1, 0)) << c.col << "," << c.row;
    }
}

class Picker : public ::testing::Test {
  protected:
    void SetUp() override {
        images = dir.path() + "images/";
        fs::create_directories(images);
        fs::create_directories(dir.path() + "elsewhere");
        WriteBmp(images + "beta.bmp", 60, 20);
        WriteBmp(images + "Alpha.bmp", 40, 40);
        std::ofstream(images + "notes.txt") << "not a logo";
    }
    TempFolder dir;
    std::string images;
};

TEST_F(Picker, ShowsTheFolderAndChoosesTheFirstPicture) {
    CLogoPickerDlg picker(images);
    ASSERT_EQ(picker.items().size(), 2u);
    EXPECT_EQ(picker.thumbnails()->count(), 2);
    EXPECT_FALSE(picker.items()[0]->bitmap.isNull());
    QCoreApplication::processEvents();
    EXPECT_EQ(picker.chosenPath(), images + "Alpha.bmp");

    picker.thumbnails()->Select(1);
    QCoreApplication::processEvents();
    EXPECT_EQ(picker.chosenPath(), images + "beta.bmp");

    // Delete removes without asking; nothing stays chosen, so a second Delete does nothing.
    for (int i = 0; i < 2; ++i) picker.DeleteSelected();
    QCoreApplication::processEvents();
    EXPECT_TRUE(!fs::exists(images + "beta.bmp") && fs::exists(images + "Alpha.bmp"));
    EXPECT_EQ(std::tuple(picker.chosenPath(), picker.thumbnails()->count()), std::tuple("", 1));

    CLogoPickerDlg nowhere(dir.path() + "nowhere/");
    EXPECT_TRUE(nowhere.items().empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(nowhere.chosenPath(), "");
}

TEST_F(Picker, BrowseCopiesNewImagesOnly) {
    const std::string outside = dir.path() + "elsewhere/gamma.bmp";
    WriteBmp(outside, 30, 30, Qt::white);
    CLogoPickerDlg picker(images);
    std::string offered = outside;
    picker.SetFilePicker([&offered](QWidget*) { return offered; });

    picker.Browse();
    ASSERT_EQ(picker.items().size(), 3u);
    EXPECT_EQ(picker.items().back()->path, images + "gamma.bmp");
    EXPECT_TRUE(fs::exists(images + "gamma.bmp"));

    // The same name again: the copy is refused and nothing changes.
    WriteBmp(outside, 10, 10, Qt::black);
    picker.Browse();
    EXPECT_EQ(picker.items().size(), 3u);
    EXPECT_EQ(QImage(QString::fromStdString(images + "gamma.bmp")).width(), 30);

    // Cancelled, missing, or too long for the picker's buffers: nothing.
    for (const std::string& path : {std::string(), dir.path() + "elsewhere/missing.bmp",
                                    dir.path() + "elsewhere/" + std::string(130, 'n') + ".bmp"}) {
        offered = path;
        picker.Browse();
        EXPECT_EQ(picker.items().size(), 3u) << path;
    }
    // A name that fits the source buffer but not the folder's.
    fs::create_directories(dir.path() + "e");
    const std::string longName =
        std::string(CLogoPickerDlg::kMaxPath - images.size(), 'q') + ".bmp";
    offered = dir.path() + "e/" + longName;
    if (offered.size() < CLogoPickerDlg::kMaxSourcePath) {
        WriteBmp(offered, 5, 5);
        picker.Browse();
        EXPECT_TRUE(picker.items().size() == 3u && !fs::exists(images + longName));
    }
}

class CoverPage : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(imaging.Bind());
        imaging.SetClock(&clock);
        clock.Set(1772712000);
        folders = dir.path();
        for (const char* d : {"images", "templates", "outbox"}) fs::create_directories(folders + d);
        fs::copy_file(Bin("res/cover/Template.tif"), folders + "templates/Template.tif");
        WriteBmp(folders + "images/Acme.bmp", 300, 100);
        WriteBmp(folders + "images/zenith.logo.bmp", 100, 100);
        directory.LocalFolders = folders;
        job.RecipientList.push_back(
            std::make_unique<Recipient>(Recipient{.faxNumber = "5551234", .name = "Ann"}));
        job.message.pageCount = 2;
        page = std::make_unique<CSelCover>(job, directory, imaging);
        page->SetSheet(&sheet);
        page->SetOpener(&opener);
        page->SetPreviewRunner([this](QWidget*, const std::vector<std::string>& files) {
            previewed.push_back(files);
        });
        page->EnsureInitialized();
        page->OnSetActive();
    }
    void Choose(const QString& entry) {
        const int index = page->logoCombo()->findText(entry);
        ASSERT_GE(index, 0) << entry.toStdString();
        page->logoCombo()->setCurrentIndex(index);
        page->OnLogoSelected(index);
    }
    // Black pixels of rows 100 to 499 of the cover, the logo's band.
    [[nodiscard]] static long BlackInLogoBand(const std::string& path) {
        return InkIn(ReadPage(path, 0), 0, 100, std::numeric_limits<int>::max(), 500);
    }

    TempFolder dir;
    std::string folders;
    FakeClock clock;
    ImagingLibrary imaging{nullptr};
    DirectorySettings directory;
    FaxJob job;
    Buttons sheet;
    RecordingOpener opener;
    std::vector<std::vector<std::string>> previewed;
    std::unique_ptr<CSelCover> page;
};

TEST_F(CoverPage, LogoChoiceFindsTheFileAndNoneClearsIt) {
    EXPECT_EQ(sheet.flags, PSWIZB_BACK | PSWIZB_NEXT);
    EXPECT_TRUE(page->coverCheck()->isChecked());
    QStringList items;
    for (int i = 0; i < page->logoCombo()->count(); ++i) items << page->logoCombo()->itemText(i);
    EXPECT_EQ(items, (QStringList{"Acme", "none", "zenith"}));
    EXPECT_EQ(page->logoCombo()->currentText(), QStringLiteral("none"));
    Choose("Acme");
    EXPECT_EQ(page->logoPath(), folders + "images/Acme.bmp");
    Choose("zenith");  // listed up to its first dot
    EXPECT_EQ(page->logoPath(), folders + "images/zenith.logo.bmp");
    Choose("none");
    EXPECT_EQ(page->logoPath(), "");

    // The picker's choice is shown as a full path; Cancel keeps the logo.
    std::string folderSeen;
    page->SetPickerRunner([&](QWidget*, const std::string& folder, std::string& chosen) {
        folderSeen = folder;
        chosen = folder + "Acme.bmp";
        return true;
    });
    page->OnLogoButton();
    EXPECT_EQ(folderSeen, folders + "images/");
    EXPECT_EQ(page->logoPath(), folders + "images/Acme.bmp");
    EXPECT_EQ(page->logoCombo()->currentText().toStdString(), folders + "images/Acme.bmp");
    page->SetPickerRunner([](QWidget*, const std::string&, std::string& chosen) {
        chosen = "ignored";
        return false;
    });
    page->OnLogoButton();
    EXPECT_EQ(page->logoPath(), folders + "images/Acme.bmp");
}

TEST_F(CoverPage, NextHandsTheTextsOnAndComposesTheCover) {
    page->senderEdit()->setText("Jo");
    page->companyEdit()->setText("Quorvane Ltd");
    page->subjectEdit()->setText("Figures");
    page->memoEdit()->setPlainText(QString(70, QLatin1Char('m')) + "\nend");
    Choose("Acme");
    ASSERT_TRUE(page->OnWizardNext());
    EXPECT_EQ(job.message.subject, "Figures");
    // The job gets the memo as typed (CR LF); the cover and the page the wrapped one.
    EXPECT_EQ(job.message.memo, std::string(70, 'm') + "\r\nend");
    EXPECT_EQ(page->memoEdit()->toPlainText(),
              QString(60, QLatin1Char('m')) + "\n" + QString(10, QLatin1Char('m')) + "\nend");
    ASSERT_TRUE(StagedIn(page->coverFilePath(), folders + "outbox/", "Cover.tif"));
    EXPECT_TRUE(page->sendCoverSheet());
    EXPECT_EQ(imaging.CountImages(page->coverFilePath()), 1u);
    // 300 x 100 fits the band as 1200 x 400.
    EXPECT_GT(BlackInLogoBand(page->coverFilePath()), 1200L * 400 * 9 / 10);

    // Back to the page, "none", Next again: the new cover has no logo.
    Choose("none");
    ASSERT_TRUE(page->OnWizardNext());
    EXPECT_LT(BlackInLogoBand(page->coverFilePath()), 1200L * 400 / 10);
}

TEST_F(CoverPage, ClearedBoxLocksTheFieldsAndMakesNoCover) {
    const QWidget* fields[] = {page->senderEdit(), page->companyEdit(), page->subjectEdit(),
                               page->memoEdit()};
    const QPalette editable = fields[0]->palette();
    // Locked fields look locked, in their background and their text.
    auto lookEditable = [&](bool editableLook) {
        for (const QWidget* f : fields)
            for (QPalette::ColorRole role : {QPalette::Base, QPalette::Text})
                EXPECT_EQ(f->palette().color(role) == editable.color(role), editableLook)
                    << f->objectName().toStdString() << " " << role;
    };
    page->coverCheck()->click();
    EXPECT_TRUE(page->senderEdit()->isReadOnly() && page->memoEdit()->isReadOnly());
    lookEditable(false);
    EXPECT_FALSE(page->logoCombo()->isEnabled() || page->previewButton()->isEnabled());
    page->subjectEdit()->setText("kept anyway");
    ASSERT_TRUE(page->OnWizardNext());
    EXPECT_EQ(std::tuple(page->sendCoverSheet(), page->coverFilePath(), job.message.subject),
              std::tuple(false, "", "kept anyway"));
    EXPECT_FALSE(fs::exists(folders + "outbox/Cover.tif"));

    page->coverCheck()->click();
    lookEditable(true);
    EXPECT_TRUE(page->previewButton()->isEnabled());
}

TEST_F(CoverPage, PreviewComposesAndShowsWithoutLeaving) {
    page->subjectEdit()->setText("Preview me");
    page->previewButton()->click();
    ASSERT_EQ(previewed.size(), 1u);
    ASSERT_EQ(previewed[0].size(), 1u);
    EXPECT_TRUE(StagedIn(previewed[0][0], folders + "outbox/", "Cover.tif"));
    EXPECT_TRUE(imaging.CountImages(previewed[0][0]) == 1u && opener.opened.empty());
    // Only Next keeps a cover for the wizard.
    EXPECT_EQ(page->coverFilePath() + job.message.subject, "");

    // Without a template nothing is made and nothing is opened.
    fs::remove(folders + "templates/Template.tif");
    page->previewButton()->click();
    EXPECT_EQ(previewed.size(), 1u);
    ASSERT_TRUE(page->OnWizardNext());
    EXPECT_EQ(page->coverFilePath(), "");
}

}  // namespace
