// The composed cover sheet, checked with libtiff after writing.

#include <gtest/gtest.h>

#include <tiffio.h>
#include <filesystem>

#include <QImage>
#include <cstdio>

#include "app/core/AppSettings.h"
#include "imaging/ImagingLibrary.h"
#include "support/Staged.h"
#include "support/TestTiff.h"
#include "tests/support/FakeClock.h"
#include "wizard/job/FaxJob.h"

namespace {

constexpr int kWidth = 1728;
constexpr int kHeight = 2200;
constexpr int kLine = 56;  // room for one line of 16-point text at 196 dpi

// The template's own artwork: a black mark left of the company field.
bool TemplateMark(int x, int y) { return x >= 20 && x < 60 && y >= 273 && y < 313; }

struct Area {
    int x0, y0, x1, y1;
};

class CoverSheet : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(lib.Bind());
        lib.SetClock(&clock);
        clock.Set(1772712000);  // 5 March 2026, noon UTC
        std::filesystem::create_directories(dir.path() + "templates");
        std::filesystem::create_directories(dir.path() + "outbox");
        WriteBilevelTiff(dir.path() + "templates/Template.tif", kWidth, kHeight, 1,
                         COMPRESSION_CCITTFAX4,
                         [](int, int x, int y) { return TemplateMark(x, y); });
        directory.LocalFolders = dir.path();
        job.RecipientList.push_back(std::make_unique<Recipient>());
        job.RecipientList.back()->name = "Ann Smith";
        job.RecipientList.back()->faxNumber = "5551234";
        job.message.pageCount = 3;
        fields.company = "Quorvane Ltd";
        fields.sender = "Jo Sender";
        fields.subject = "Quarterly figures";
        fields.memo = "First line of the memo\r\nSecond line";
    }

    // All ink lies in the areas; each area but the template's inks its first text row.
    void ExpectInkOnlyIn(const Page& page, const std::vector<Area>& areas) {
        long stray = 0;
        for (int y = 0; y < static_cast<int>(page.size()); ++y)
            for (int x = 0; x < static_cast<int>(page[y].size()); ++x) {
                if (!page[y][x] || TemplateMark(x, y)) continue;
                const bool inside = std::any_of(areas.begin(), areas.end(), [&](const Area& a) {
                    return x >= a.x0 && x < a.x1 && y >= a.y0 && y < a.y1;
                });
                if (!inside && stray++ < 5) ADD_FAILURE() << "ink at " << x << "," << y;
            }
        EXPECT_EQ(stray, 0);
        for (const Area& a : areas)
            EXPECT_GT(InkIn(page, a.x0, a.y0, a.x0 + 400, a.y0 + kLine), 50)
                << "no ink at " << a.x0 << "," << a.y0;
    }

    // A BMP logo: all black, or white with one dark column in the middle.
    static bool SaveLogo(const std::string& path, int width, int height, bool line) {
        QImage logo(width, height, QImage::Format_RGB32);
        logo.fill(line ? Qt::white : Qt::black);
        for (int y = 0; line && y < height; ++y) logo.setPixel(width / 2, y, qRgb(0, 0, 0));
        return logo.save(QString::fromStdString(path), "BMP");
    }
    static Area TextArea(int x, int y, int lines = 1) {
        return Area{x, y, kWidth, y + kLine * lines};
    }

    ImagingLibrary lib{nullptr};
    FakeClock clock;
    TempFolder dir;
    DirectorySettings directory;
    FaxJob job;
    CoverSheetFields fields;
};

TEST_F(CoverSheet, FaxPageWithEveryFieldAtItsPlace) {
    // A cover of another run, or a link planted at the name, is not touched.
    WriteText(dir.path() + "outbox/Cover.tif", "old cover");
    const std::string path = lib.ComposeCoverSheet(fields, job, directory);
    ASSERT_TRUE(StagedIn(path, dir.path() + "outbox/", "Cover.tif")) << path;
    EXPECT_EQ(ReadText(dir.path() + "outbox/Cover.tif"), "old cover");
    EXPECT_TRUE(lib.TextItems().empty());

    // A one-page Group 3 fax at 204 x 196 dots per inch, little-endian.
    EXPECT_EQ(ReadText(path).substr(0, 4), std::string("II*\0", 4));
    EXPECT_EQ(CountPages(path), 1);
    const std::pair<std::uint32_t, double> tags[] = {{TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3},
                                                     {TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH},
                                                     {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE},
                                                     {TIFFTAG_BITSPERSAMPLE, 1},
                                                     {TIFFTAG_FILLORDER, FILLORDER_MSB2LSB},
                                                     {TIFFTAG_XRESOLUTION, 204},
                                                     {TIFFTAG_YRESOLUTION, 196}};
    for (const auto& [tag, value] : tags) EXPECT_EQ(TagOf(path, 0, tag), value) << tag;

    const Page page = ReadPage(path, 0);
    ASSERT_EQ(page.size(), static_cast<std::size_t>(kHeight));
    EXPECT_EQ(page[0].size(), static_cast<std::size_t>(kWidth));
    EXPECT_EQ(InkIn(page, 20, 273, 60, 313), 40 * 40);  // the template's artwork stays
    ExpectInkOnlyIn(page,
                    {TextArea(225, 273), TextArea(225, 338), TextArea(225, 391), TextArea(225, 459),
                     TextArea(225, 509), TextArea(225, 571), TextArea(124, 678, 2)});
    // The text starts at its position, not left of it.
    EXPECT_EQ(InkIn(page, 0, 330, 225, 640), 0);
}

TEST_F(CoverSheet, EmptyFieldsDrawNothingAndMemoIsWrappedInPlace) {
    fields.subject = "   ";
    fields.company = "";
    fields.memo = std::string(150, 'm');
    const std::string path = lib.ComposeCoverSheet(fields, job, directory);
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(fields.memo,
              std::string(60, 'm') + "\r\n" + std::string(58, 'm') + "\r\n" + std::string(32, 'm'));
    const Page page = ReadPage(path, 0);
    EXPECT_EQ(InkIn(page, 225, 571, kWidth, 571 + kLine), 0);
    EXPECT_EQ(InkIn(page, 225, 273, kWidth, 273 + kLine), 0);
    ExpectInkOnlyIn(page, {TextArea(225, 338), TextArea(225, 391), TextArea(225, 459),
                           TextArea(225, 509), TextArea(124, 678, 3)});
}

TEST_F(CoverSheet, LogoIsFittedAndCentredInItsBand) {
    // Artwork inside the band, under the tall logo below: the logo's white clears it.
    auto label = [](int x, int y) { return x >= 830 && x < 850 && y >= 150 && y < 170; };
    WriteBilevelTiff(dir.path() + "templates/Template.tif", kWidth, kHeight, 1,
                     COMPRESSION_CCITTFAX4,
                     [&](int, int x, int y) { return TemplateMark(x, y) || label(x, y); });
    ASSERT_TRUE(SaveLogo(dir.file("wide.bmp"), 3000, 400, false));
    fields.logoPath = dir.file("wide.bmp");
    Page page = ReadPage(lib.ComposeCoverSheet(fields, job, directory), 0);
    ASSERT_EQ(page.size(), static_cast<std::size_t>(kHeight));
    EXPECT_EQ(InkIn(page, 114, 200, 1614, 400), 1500 * 200);
    EXPECT_EQ(InkIn(page, 0, 0, kWidth, 200), 20 * 20);  // the label only
    EXPECT_EQ(InkIn(page, 0, 200, 114, 400), 40 * 40);   // the template's mark only
    EXPECT_EQ(InkIn(page, 1614, 200, kWidth, 400), 0);

    ASSERT_TRUE(SaveLogo(dir.file("tall.bmp"), 100, 400, true));
    fields.logoPath = dir.file("tall.bmp");
    page = ReadPage(lib.ComposeCoverSheet(fields, job, directory), 0);
    EXPECT_EQ(InkIn(page, 814 + 50, 100, 814 + 51, 500), 400);
    EXPECT_EQ(InkIn(page, 830, 150, 850, 170), 20 * 20);
    EXPECT_EQ(InkIn(page, 0, 0, kWidth, 273), 273 - 100 + 20 * 20);  // above the first text line

    // An unreadable logo leaves the band empty but the cover is made.
    WriteText(dir.file("broken.bmp"), "BM garbage");
    fields.logoPath = dir.file("broken.bmp");
    page = ReadPage(lib.ComposeCoverSheet(fields, job, directory), 0);
    ASSERT_FALSE(page.empty());
    EXPECT_EQ(InkIn(page, 0, 0, kWidth, 273), 20 * 20);
}

// A logo is prepared once per file; a changed or removed file is read anew.
TEST_F(CoverSheet, ALogoChangedUnderItsNameIsReadAgain) {
    const std::string path = dir.file("logo.bmp");
    struct Step {
        int width, height;  // 0: the file removed
        bool line;
        long wideInk, lineInk;
    };
    const Step steps[] = {
        {3000, 400, false, 700 * 70, 0},
        {3000, 400, false, 700 * 70, 0},
        {100, 400, true, 0, 100},
        {100, 400, true, 0, 100},
        {0, 0, false, 0, 0},
        {3000, 400, false, 700 * 70, 0},
    };
    int i = 0;
    for (const Step& s : steps) {
        if (s.width > 0)
            ASSERT_TRUE(SaveLogo(path, s.width, s.height, s.line)) << i;
        else
            std::filesystem::remove(path);
        fields.logoPath = path;
        const Page page = ReadPage(lib.ComposeCoverSheet(fields, job, directory), 0);
        ASSERT_EQ(page.size(), static_cast<std::size_t>(kHeight)) << i;
        EXPECT_EQ(InkIn(page, 114, 200, 814, 270), s.wideInk) << i;
        EXPECT_EQ(InkIn(page, 864, 100, 865, 200), s.lineInk) << i;
        ++i;
    }
}

TEST_F(CoverSheet, NoCoverWithoutTemplateOrWithTooLongPaths) {
    std::filesystem::remove(dir.path() + "templates/Template.tif");
    EXPECT_EQ(lib.ComposeCoverSheet(fields, job, directory), "");
    // Nothing is left behind: no staging folder either.
    EXPECT_TRUE(std::filesystem::is_empty(dir.path() + "outbox") && lib.TextItems().empty());

    directory.LocalFolders = dir.path() + std::string(250, 'f') + "/";
    EXPECT_EQ(lib.ComposeCoverSheet(fields, job, directory), "");
    directory.LocalFolders = dir.path();
    fields.logoPath = dir.path() + std::string(300, 'l') + ".bmp";
    EXPECT_EQ(lib.ComposeCoverSheet(fields, job, directory), "");
}

TEST(CoverText, RecipientLineDateAndTrimming) {
    FaxJob job;
    EXPECT_EQ(ImagingLibrary::RecipientText(job), "1 of 0 recipients");
    job.RecipientList.push_back(std::make_unique<Recipient>());
    job.RecipientList.back()->name = " ";
    job.RecipientList.back()->faxNumber = "5551234";
    ImagingLibrary lib(nullptr);
    lib.AddTextItem(ImagingLibrary::RecipientText(job), 225, 338, "Arial", 16);
    ASSERT_EQ(lib.TextItems().size(), 1u);
    EXPECT_EQ(lib.TextItems()[0].text, "5551234");
    job.RecipientList.front()->faxNumber.clear();
    job.RecipientList.front()->email = "ann@example.com";
    EXPECT_EQ(ImagingLibrary::RecipientText(job), "   ann@example.com");
    job.RecipientList.push_back(std::make_unique<Recipient>());
    EXPECT_EQ(ImagingLibrary::RecipientText(job), "1 of 2 recipients");

    std::tm day{};
    day.tm_year = 126;
    day.tm_mon = 2;
    day.tm_mday = 5;
    day.tm_hour = 12;
    EXPECT_EQ(ImagingLibrary::CoverDateText(std::mktime(&day)), "March 05, 2026");
}

TEST(CoverText, MemoWrapping) {
    using L = ImagingLibrary;
    EXPECT_EQ(L::WrapMemo("short memo", 60, 14), "short memo");
    // A long line breaks at its last blank before the width.
    const std::string words = "alpha beta gamma delta";  // 22 characters
    EXPECT_EQ(L::WrapMemo(words + "\r\nnext", 12, 14), "alpha beta\r\ngamma delta\r\nnext");
    // Every character survives a break without blanks.
    std::string digits;
    for (int i = 0; i < 150; ++i) digits += static_cast<char>('0' + i % 10);
    const std::string wrapped = L::WrapMemo(digits + "\r\n" + digits, 60, 14);
    std::string back;
    for (char c : wrapped)
        if (c != '\r' && c != '\n') back += c;
    EXPECT_EQ(back, digits + digits);
    // A line of exactly the width stays whole, whether CR LF or LF ends it.
    EXPECT_EQ(L::WrapMemo(std::string(60, 'a') + "\nb", 60, 14), std::string(60, 'a') + "\nb");
    EXPECT_EQ(L::WrapMemo(std::string(60, 'a') + "\r\nb", 60, 14), std::string(60, 'a') + "\r\nb");
    // Twenty lines keep the first fourteen.
    std::string lines;
    for (int i = 0; i < 20; ++i) lines += "line " + std::to_string(i) + "\r\n";
    const std::string kept = L::WrapMemo(lines, 60, 14);
    EXPECT_EQ(std::count(kept.begin(), kept.end(), '\n'), 13);
    EXPECT_EQ(kept.rfind("line 13\r"), kept.size() - 8);
}

}  // namespace
