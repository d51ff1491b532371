// The page viewer and the pages it finds in real TIFF, picture, PDF and other files.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>

#include "pages/CPageViewer.h"
#include "pages/PdfPlugin.h"
#include "pages/PreviewPages.h"
#include "support/TempFolder.h"
#include "support/TestTiff.h"

namespace {

class Preview : public ::testing::Test {
  protected:
    void SetUp() override {
        // A three-page fax at 204 x 98 dots per inch and a cover page.
        WriteBilevelTiff(
            dir.file("doc.tif"), 1728, 1100, 3, COMPRESSION_CCITTFAX4,
            [](int page, int x, int) { return x < 100 * (page + 1); }, 98.0);
        WriteBilevelTiff(dir.file("cover.tif"), 1728, 2200, 1, COMPRESSION_CCITTFAX3,
                         [](int, int, int y) { return y < 10; });
        QImage picture(300, 200, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        ASSERT_TRUE(picture.save(QString::fromStdString(dir.file("photo.png"))));
        QPdfWriter pdf(QString::fromStdString(dir.file("letter.pdf")));
        QPainter painter(&pdf);
        painter.drawText(100, 100, QStringLiteral("first"));
        pdf.newPage();
        painter.drawText(100, 100, QStringLiteral("second"));
        painter.end();
        WriteText(dir.file("notes.txt"), "plain words");
        WriteText(dir.file("broken.tif"), std::string("II*\0", 4) + "not a picture");
    }
    TempFolder dir;
};

// What each kind of file gives: its pages, or one note saying why not.
TEST_F(Preview, EveryDocumentGivesItsPagesOrANote) {
    struct Case {
        const char* file;
        int pages;         // picture pages; 0: one note
        const char* note;  // part of the note
        int counted = -1;  // pages the cover may count on; -1: none
    };
    const bool pdf = PreviewPages::PdfSupported();
    const Case cases[] = {
        {"doc.tif", 3, "", 3},
        {"photo.png", 1, ""},
        {"letter.pdf", pdf ? 2 : 0, pdf ? "" : "cannot show PDF", pdf ? 2 : -1},
        {"notes.txt", 0, "the service converts it into fax pages"},
        {"broken.tif", 0, "cannot be read"},
        {"gone.tif", 0, "is missing"},
    };
    for (const Case& c : cases) {
        const PreviewPages pages({dir.file(c.file)});
        ASSERT_EQ(pages.count(), std::max(1, c.pages)) << c.file;
        EXPECT_EQ(PreviewPages::CountPages(dir.file(c.file)).value_or(-1), c.counted) << c.file;
        for (int i = 0; i < pages.count(); ++i) {
            EXPECT_EQ(pages.at(i).file, dir.file(c.file));
            EXPECT_EQ(pages.at(i).index, i);
            if (c.pages == 0) {
                EXPECT_TRUE(pages.at(i).note.contains(QString::fromUtf8(c.note)))
                    << c.file << ": " << pages.at(i).note.toStdString();
                EXPECT_TRUE(pages.Render(i, 100).isNull()) << c.file;
            } else {
                EXPECT_TRUE(pages.at(i).note.isEmpty()) << c.file;
                EXPECT_EQ(pages.Render(i, 100).width(), 100) << c.file << " page " << i;
            }
        }
    }
    EXPECT_TRUE(PreviewPages({}).at(0).note.contains("nothing to preview"));
}

// PDF needs this version's plug-in: missing or other is refused with a note page.
TEST_F(Preview, PdfDocumentsNeedThePlugInOfThisVersion) {
    const PdfPlugin missing("libcorvinaport-no-such-plugin.so"), stale(STALE_PDF_PLUGIN);
    struct Case {
        const PdfPlugin& plugin;
        bool shows;
    };
    const Case cases[] = {
        {PdfPlugin::ForRun(), PDF_PLUGIN_BUILT}, {missing, false}, {stale, false}};
    for (const Case& c : cases) {
        const PreviewPages pages({dir.file("letter.pdf")}, c.plugin);
        EXPECT_EQ(c.plugin.Loaded(), c.shows);
        ASSERT_EQ(pages.count(), c.shows ? 2 : 1);
        EXPECT_EQ(pages.at(0).note.contains("cannot show PDF"), !c.shows);
        EXPECT_EQ(pages.NaturalSize(1), c.shows ? QSize(793, 1123) : QSize());  // A4 at 96 dpi
        EXPECT_EQ(PreviewPages::CountPages(dir.file("letter.pdf"), c.plugin).value_or(-1),
                  c.shows ? 2 : -1);
    }
}

TEST_F(Preview, CoverComesFirstAndFaxPagesKeepTheirProportions) {
    const PreviewPages pages({dir.file("cover.tif"), dir.file("doc.tif"), dir.file("notes.txt")});
    ASSERT_EQ(pages.count(), 5);
    // Each document in order with its pages; one the viewer cannot draw is a note.
    std::vector<std::string> lines;
    for (const PreviewPages::Document& d : pages.documents())
        lines.push_back(pages.DocumentLine(d.firstPage).toStdString());
    EXPECT_EQ(lines, (std::vector<std::string>{"Document 1 of 3: cover.tif, 1 page",
                                               "Document 2 of 3: doc.tif, 3 pages",
                                               "Document 3 of 3: notes.txt, pages not known"}));
    EXPECT_EQ(pages.DocumentLine(3).toStdString(), "Document 2 of 3: doc.tif, 3 pages");
    EXPECT_EQ(pages.at(0).file, dir.file("cover.tif"));
    EXPECT_EQ(pages.at(3).file, dir.file("doc.tif"));
    EXPECT_EQ(pages.at(3).index, 2);
    // 1100 rows at 98 per inch stand as high as 2289 rows at 204.
    EXPECT_EQ(pages.NaturalSize(1), QSize(1728, 1100 * 204 / 98));
    EXPECT_EQ(pages.NaturalSize(0), QSize(1728, 2200 * 204 / 196));
    // Each page is its own: the third page's black band is three times the first's.
    auto band = [&](int i) {
        const QImage page = pages.Render(i, 864);
        int x = 0;
        while (x < page.width() && qGray(page.pixel(x, 20)) < 128) ++x;
        return x;
    };
    EXPECT_NEAR(band(1), 50, 2);
    EXPECT_NEAR(band(3), 150, 2);
}

// A page drawn at half its width shows in each grey dot how many of the four
// dots under it are black, whatever the pattern: sparse, dense, at the right
// edge, in widths that end inside a byte.
TEST_F(Preview, HalvedPagesCountTheBlackDotsUnderEachGreyDot) {
    struct Case {
        int width;
        bool (*black)(int x, int y);
    };
    const Case cases[] = {
        {1728, [](int x, int y) { return (x * 7 + y * 13) % 97 == 0; }},
        {1728, [](int x, int y) { return (x ^ y) % 3 != 0; }},
        {1726, [](int x, int y) { return x >= 1700 || y % 50 == 0; }},
        {38, [](int x, int y) { return (x + y) % 5 < 2; }},
    };
    for (const Case& c : cases) {
        const std::string file = dir.file("pattern.tif");
        WriteBilevelTiff(
            file, c.width, 60, 1, COMPRESSION_CCITTFAX4,
            [&c](int, int x, int y) { return c.black(x, y); }, 204.0);
        const PreviewPages pages({file});
        const QImage shown = pages.Render(0, c.width / 2);
        ASSERT_EQ(shown.size(), QSize(c.width / 2, 30)) << c.width;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < c.width / 2; ++x) {
                int black = 0;
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx) black += c.black(2 * x + dx, 2 * y + dy);
                ASSERT_EQ(qGray(shown.pixel(x, y)), 255 - 255 * black / 4)
                    << c.width << " at " << x << "," << y;
            }
    }
}

TEST_F(Preview, ViewerPagesThroughZoomsAndFitsTheWidth) {
    CPageViewer viewer({dir.file("doc.tif"), dir.file("notes.txt")});
    viewer.show();
    QApplication::processEvents();
    auto shownWidth = [&] { return viewer.picture()->pixmap().width(); };
    const int fit = viewer.scrollArea()->viewport()->width() - 16;
    EXPECT_TRUE(viewer.fitWidth() && shownWidth() == fit) << shownWidth();
    EXPECT_EQ(viewer.pageLabel()->text(), QStringLiteral("Page 1 of 4"));
    EXPECT_FALSE(viewer.previousButton()->isEnabled());

    QTest::keyClick(&viewer, Qt::Key_PageDown);
    EXPECT_EQ(viewer.currentPage(), 1);
    QTest::mouseClick(viewer.zoomInButton(), Qt::LeftButton);
    EXPECT_FALSE(viewer.fitWidth());
    EXPECT_GT(shownWidth(), fit);
    const int zoomed = shownWidth();
    QTest::mouseClick(viewer.zoomOutButton(), Qt::LeftButton);
    EXPECT_LT(shownWidth(), zoomed);
    QTest::mouseClick(viewer.fitWidthButton(), Qt::LeftButton);
    EXPECT_TRUE(viewer.fitWidth() && shownWidth() == fit) << shownWidth();
    // Wider window, wider page.
    viewer.resize(viewer.width() + 100, viewer.height());
    QApplication::processEvents();
    EXPECT_EQ(shownWidth(), fit + 100);

    // The last page is the note about the text file; nothing lies beyond.
    viewer.ShowPage(3);
    viewer.NextPage();
    EXPECT_EQ(viewer.currentPage(), 3);
    EXPECT_FALSE(viewer.nextButton()->isEnabled() || viewer.zoomInButton()->isEnabled());
    EXPECT_TRUE(viewer.picture()->text().contains("notes.txt") &&
                viewer.picture()->pixmap().isNull());
}

}  // namespace
