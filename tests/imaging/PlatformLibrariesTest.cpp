// The two run-time imaging libraries, through the binding's entry points.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <sys/stat.h>

#include <cstring>

#include "app/core/AppSettings.h"
#include "imaging/ImagingLibrary.h"
#include "support/TestTiff.h"
#include "wizard/job/FaxJob.h"

namespace {

// Why the last call of the TIFF library failed (the binding has no entry for it).
std::string TiffLastError() {
    static const DynamicLibrary tiff = DynamicLibrary::Open("libtiff32.so");
    auto* get = tiff.Function<int32_t (*)(char*, int32_t)>("GetTiffLastError");
    char text[256] = {};
    if (get != nullptr) get(text, sizeof text);
    return text;
}

// A page with a black frame and a black square at (100..199, 50..99).
bool Pattern(int, int x, int y) {
    return x < 2 || y < 2 || x >= 318 || y >= 198 || (x >= 100 && x < 200 && y >= 50 && y < 100);
}

class Libraries : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(lib.Bind()); }
    const ImagingEntryPoints& e() const { return lib.entries(); }
    ImagingLibrary lib{nullptr};
    TempFolder dir;
};

// The version is cut to the caller's buffer.
TEST_F(Libraries, VersionFitsTheCallersBuffer) {
    char version[16];
    std::memset(version, 'x', sizeof version);
    const int length = e().GetTiffVersion(version, sizeof version);
    EXPECT_LE(length, 15);
    EXPECT_EQ(std::strlen(version), static_cast<std::size_t>(length));
    char tiny[4];
    EXPECT_EQ(e().GetTiffVersion(tiny, sizeof tiny), 3);
    EXPECT_EQ(tiny[3], '\0');
}

TEST(Binding, MissingLibraryFailsAndMissingExportsStayEmptyAndGuarded) {
    ImagingLibrary missing(nullptr, "libno-such-imaging.so", "libbitmani.so");
    EXPECT_FALSE(missing.Bind());
    EXPECT_EQ(missing.CountImages("/tmp/x.tif"), 0u);
    EXPECT_FALSE(missing.MergePages("/tmp/a.tif", "/tmp/b.tif", "/tmp/c.tif"));

    ImagingLibrary partial(nullptr, PARTIAL_TIFF_LIBRARY, "libbitmani.so");
    ASSERT_TRUE(partial.Bind());
    const ImagingEntryPoints& bound = partial.entries();
    EXPECT_TRUE(bound.GetTiffVersion && !bound.OpenTiffFile && !bound.GetNumberOfImagesInTiffFile &&
                bound.CombineDIB);
    TempFolder dir;
    WriteBilevelTiff(dir.file("a.tif"), 64, 16, 1, COMPRESSION_CCITTFAX4, Pattern);
    EXPECT_EQ(partial.CountImages(dir.file("a.tif")), 0u);
    EXPECT_FALSE(partial.MergePages(dir.file("a.tif"), dir.file("a.tif"), dir.file("c.tif")));
    DirectorySettings directory;
    directory.LocalFolders = dir.path();
    CoverSheetFields fields;
    FaxJob job;
    EXPECT_EQ(partial.ComposeCoverSheet(fields, job, directory), "");
    EXPECT_TRUE(partial.Render(dir.file("a.tif"), dir.file("r.tif"), ""));
    EXPECT_FALSE(partial.RenderSucceeded());
}

TEST_F(Libraries, DamagedAndForeignFilesFailClearly) {
    WriteBilevelTiff(dir.file("good.tif"), 320, 200, 3, COMPRESSION_CCITTFAX3, Pattern);
    const std::string good = ReadText(dir.file("good.tif"));
    WriteText(dir.file("text.tif"), "this is not an image\r\n");
    WriteText(dir.file("empty.tif"), "");
    WriteText(dir.file("header.tif"), good.substr(0, 8));
    WriteText(dir.file("half.tif"), good.substr(0, good.size() / 2));
    std::string garbled = good;
    for (std::size_t i = 8; i < garbled.size(); i += 7) garbled[i] = static_cast<char>(0xA5);
    WriteText(dir.file("garbled.tif"), garbled);

    for (const char* name : {"missing.tif", "text.tif", "empty.tif", "header.tif"}) {
        SCOPED_TRACE(name);
        EXPECT_LT(e().GetNumberOfImagesInTiffFile(dir.file(name).c_str()), 0);
        EXPECT_FALSE(TiffLastError().empty());
        EXPECT_EQ(e().LoadTiffIntoDIB(dir.file(name).c_str(), 0, 0), nullptr);
        EXPECT_EQ(
            e().CopyTiffImageInFile(dir.file(name).c_str(), 0, dir.file("out.tif").c_str(), 3), 0);
        EXPECT_EQ(lib.CountImages(dir.file(name)), 0u);
    }
    // Damaged data behind a readable header: copying never fully succeeds, nothing crashes.
    for (const char* name : {"half.tif", "garbled.tif"}) {
        SCOPED_TRACE(name);
        const int pages = e().GetNumberOfImagesInTiffFile(dir.file(name).c_str());
        EXPECT_LE(pages, 3);
        bool allCopied = true;
        for (int p = 0; p < 3; ++p)
            allCopied = allCopied &&
                        e().CopyTiffImageInFile(dir.file(name).c_str(), p,
                                                dir.file("o.tif").c_str(), p == 0 ? 3 : 2) != 0;
        EXPECT_FALSE(allCopied);
        if (HDIB dib = e().LoadTiffIntoDIB(dir.file(name).c_str(), 0, 0)) e().FreeDIB(dib);
    }
    EXPECT_FALSE(lib.MergePages(dir.file("good.tif"), dir.file("half.tif"), dir.file("m.tif")));
    EXPECT_FALSE(Exists(dir.file("m.tif")));
}

TEST_F(Libraries, BadHandlesAndArgumentsAreRefused) {
    WriteBilevelTiff(dir.file("doc.tif"), 320, 200, 3, COMPRESSION_CCITTFAX3, Pattern);
    const std::string path = dir.file("doc.tif");
    EXPECT_EQ(e().CopyTiffImageInFile(path.c_str(), 3, dir.file("o.tif").c_str(), 3), 0);
    EXPECT_EQ(e().CopyTiffImageInFile(path.c_str(), -1, dir.file("o.tif").c_str(), 3), 0);
    EXPECT_EQ(e().CopyTiffImageInFile(path.c_str(), 0, dir.file("o.tif").c_str(), 7), 0);
    EXPECT_EQ(e().CopyTiffImageInFile(path.c_str(), 0, path.c_str(), 3), 0);
    EXPECT_EQ(CountPages(path), 3);  // a copy onto itself did not destroy it
    EXPECT_EQ(e().CopyTiffImageInFile(nullptr, 0, path.c_str(), 3), 0);
    EXPECT_LT(e().GetNumberOfImagesInTiffFile(nullptr), 0);
    EXPECT_EQ(e().LoadTiffIntoDIB(nullptr, 0, 0), nullptr);

    EXPECT_EQ(e().OpenTiffFile(nullptr, 2), nullptr);
    EXPECT_EQ(e().OpenTiffFile(dir.file("w.tif").c_str(), 1), nullptr);
    EXPECT_EQ(e().OpenTiffFile((dir.path() + "no/such/folder/w.tif").c_str(), 2), nullptr);
    EXPECT_EQ(e().ModiTiffFileInfo(nullptr, 0, 0x4949), 0);
    EXPECT_LT(e().DefineTiffImage(nullptr), 0);
    EXPECT_EQ(e().DefineTiffImageInfo(nullptr, 0, 259, 3, 1), 0);
    EXPECT_EQ(e().DefineTiffImageInfoBuffer(nullptr, 0, 305, "x", 2, 2), 0);
    EXPECT_NE(e().DefineGeneralTags(nullptr, 0, TIFFGENERALTAGS{0, 8, 8, 1, (1u << 16) | 1, 0}), 0);
    EXPECT_EQ((std::tuple{e().EncodeTiffImage(nullptr, 0, nullptr, nullptr),
                          e().DropTiffImage(nullptr, 0), e().CloseTiffFile(nullptr)}),
              std::tuple(0, 0, 0));

    TIFFFILEHANDLE file = e().OpenTiffFile(dir.file("w.tif").c_str(), 2);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(e().ModiTiffFileInfo(file, 0, 0x1234), 0);
    EXPECT_EQ(e().DefineTiffImageInfo(file, 0, 259, 3, 1), 0);  // no image defined yet
    const int image = e().DefineTiffImage(file);
    EXPECT_EQ(e().DefineTiffImageInfo(file, image, 256, 3, 8),
              0);  // size only through the general tags
    EXPECT_EQ(e().DefineTiffImageInfo(file, image, 259, 2, 1), 0);  // wrong type
    EXPECT_NE(e().DefineGeneralTags(file, image, TIFFGENERALTAGS{0, 8, 8, 5, (1u << 16) | 1, 0}),
              0);
    EXPECT_NE(e().DefineGeneralTags(file, image, TIFFGENERALTAGS{0, 8, 8, 1, (3u << 16) | 1, 0}),
              0);
    EXPECT_EQ(e().EncodeTiffImage(file, image, nullptr, nullptr), 0);
    EXPECT_EQ(e().CloseTiffFile(file), 0);  // nothing written: no file left behind
    EXPECT_FALSE(Exists(dir.file("w.tif")));

    EXPECT_EQ((std::tuple{e().PaletteSize(nullptr), e().CombineDIB(0, 0, nullptr, nullptr, 0, 0)}),
              std::tuple(0u, 0));
    EXPECT_TRUE(!e().ConvertToMonochromeBitmap(nullptr) && !e().ConvertBitmapToDIB(nullptr, 0) &&
                !e().StretchBitmap(nullptr, 10, 10) &&
                !e().CreateBitmapFromBits(0, 10, 1, 2, "xx"));
    BITMAPINFOHEADER bogus{};
    bogus.biSize = 12;
    HDIB bogusDib = &bogus;
    EXPECT_EQ(e().DIBTextOverlay(bogusDib, 0, 0, "x", "Arial", 16), nullptr);
    EXPECT_EQ(e().CombineDIB(0, 0, &bogusDib, bogusDib, 0, 0), 0);
    EXPECT_FALSE(lib.WriteImageAsTiff(dir.file("b.tif"), nullptr, kTiffGroup3, 0, 1));
}

TEST_F(Libraries, EachWriteCodeGivesItsCompressionAndKeepsThePixels) {
    WriteBilevelTiff(dir.file("src.tif"), 320, 200, 1, COMPRESSION_CCITTFAX4, Pattern);
    HDIB dib = e().LoadTiffIntoDIB(dir.file("src.tif").c_str(), 0, 0);
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(dib->biBitCount, 1);
    const Page expected = ReadPage(dir.file("src.tif"), 0);
    struct Case {
        int code;
        std::uint16_t compression;
    } cases[] = {{201, 1}, {202, 32773}, {203, 5}, {204, 5},
                 {205, 2}, {206, 3},     {207, 3}, {208, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const std::string out = dir.file("out" + std::to_string(c.code) + ".tif");
        // The differencing predictor does not apply to one-bit samples: no file.
        const bool written = lib.WriteImageAsTiff(out, dib, c.code, 0, 1);
        if (c.code == 204) {
            EXPECT_FALSE(written || Exists(out));
            continue;
        }
        ASSERT_TRUE(written);
        EXPECT_EQ(TagOf(out, 0, TIFFTAG_COMPRESSION), c.compression);
        if (c.code == 207) {
            EXPECT_EQ(TagOf(out, 0, TIFFTAG_GROUP3OPTIONS), 1);
        }
        EXPECT_EQ(ReadPage(out, 0), expected);
    }
    EXPECT_FALSE(lib.WriteImageAsTiff(dir.file("bad.tif"), dib, 209, 0, 1));
    EXPECT_FALSE(lib.WriteImageAsTiff(dir.file("bad.tif"), dib, 200, 0, 1));
    EXPECT_FALSE(Exists(dir.file("bad.tif")));
    EXPECT_FALSE(lib.WriteImageAsTiff(dir.path() + "missing/bad.tif", dib, 206, 0, 1));

    // Fill order 2 is tagged, and the pixels still read back the same.
    ASSERT_TRUE(lib.WriteImageAsTiff(dir.file("lsb.tif"), dib, 206, 0, 2));
    EXPECT_EQ(TagOf(dir.file("lsb.tif"), 0, TIFFTAG_FILLORDER), FILLORDER_LSB2MSB);
    EXPECT_EQ(ReadPage(dir.file("lsb.tif"), 0), expected);

    // The reverse colour table (white first) is written without inversion.
    RGBQUAD* table = reinterpret_cast<RGBQUAD*>(dib + 1);
    std::swap(table[0], table[1]);
    const std::size_t stride = ((320 + 31) / 32) * 4;
    auto* bits = reinterpret_cast<std::uint8_t*>(table + 2);
    for (std::size_t i = 0; i < stride * 200; ++i) bits[i] = static_cast<std::uint8_t>(~bits[i]);
    ASSERT_TRUE(lib.WriteImageAsTiff(dir.file("rev.tif"), dib, 206, 0, 1));
    EXPECT_EQ(ReadPage(dir.file("rev.tif"), 0), expected);
    e().FreeDIB(dib);
}

TEST_F(Libraries, ColourPagesBecomeTwoColourFaxPages) {
    // A 24-bit page: dark blue square on light yellow.
    TIFF* tif = TIFFOpen(dir.file("colour.tif").c_str(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 64u);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 32u);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    std::vector<std::uint8_t> row(64 * 3);
    const std::uint8_t ink[] = {10, 20, 120}, paper[] = {250, 240, 150};
    for (std::uint32_t y = 0; y < 32; ++y) {
        for (int x = 0; x < 64 * 3; ++x)
            row[x] = x >= 16 * 3 && x < 32 * 3 && y >= 8 && y < 24 ? ink[x % 3] : paper[x % 3];
        TIFFWriteScanline(tif, row.data(), y, 0);
    }
    TIFFClose(tif);
    HDIB dib = e().LoadTiffIntoDIB(dir.file("colour.tif").c_str(), 0, 0);
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(dib->biBitCount, 24);
    ASSERT_TRUE(lib.WriteImageAsTiff(dir.file("fax.tif"), dib, 206, 0, 1));
    const Page page = ReadPage(dir.file("fax.tif"), 0);
    ASSERT_EQ(page.size(), 32u);
    EXPECT_EQ(InkIn(page, 16, 8, 32, 24), 16 * 16);
    EXPECT_EQ(InkIn(page, 0, 0, 64, 32), 16 * 16);
    // Uncompressed keeps the colours, red first in the file.
    ASSERT_TRUE(lib.WriteImageAsTiff(dir.file("rgb.tif"), dib, 201, 2, 1));
    TIFF* rgb = TIFFOpen(dir.file("rgb.tif").c_str(), "r");
    ASSERT_NE(rgb, nullptr);
    std::vector<std::uint8_t> line(static_cast<std::size_t>(TIFFScanlineSize(rgb)));
    ASSERT_GE(TIFFReadScanline(rgb, line.data(), 10, 0), 0);
    EXPECT_EQ(std::tuple(line[20 * 3], line[20 * 3 + 2]), std::tuple(10, 120));
    TIFFClose(rgb);
    e().FreeDIB(dib);
}

// A one-bit row ending inside a byte: the DIB's bits past the width are clean.
TEST_F(Libraries, MonochromeDibRowsEndWithCleanPadding) {
    struct Case {
        std::int32_t width;
        std::uint8_t lastByte;
    };
    const std::vector<std::uint8_t> white(2 * 4, 0xFF);  // two rows, every bit set
    for (const Case c : {Case{5, 0xF8}, Case{7, 0xFE}, Case{9, 0x80}}) {
        HBITMAP bitmap = e().CreateBitmapFromBits(c.width, 2, 1, 4, white.data());
        HDIB dib = e().ConvertBitmapToDIB(bitmap, 0);
        ASSERT_NE(dib, nullptr) << c.width;
        const auto* bits =
            reinterpret_cast<const std::uint8_t*>(dib) + dib->biSize + e().PaletteSize(dib);
        const std::size_t last = static_cast<std::size_t>(c.width - 1) / 8;
        for (std::size_t row = 0; row < 2; ++row)
            EXPECT_EQ(bits[row * 4 + last], c.lastByte) << c.width;
        e().DeleteBitmapHandle(bitmap);
        e().FreeDIB(dib);
    }
}

// Copy draws the overlay whole; dark-only leaves the base under its white.
TEST_F(Libraries, CombineDrawsTheOverlayClippedToTheBase) {
    // Base: white, one black column at x = 55; overlay 20 x 10, left half black.
    WriteBilevelTiff(dir.file("base.tif"), 64, 32, 1, COMPRESSION_CCITTFAX4,
                     [](int, int x, int) { return x == 55; });
    std::vector<std::uint8_t> pixels(20 * 10 * 4, 0xFF);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            for (int c = 0; c < 3; ++c) pixels[(static_cast<std::size_t>(y) * 20 + x) * 4 + c] = 0;
    HBITMAP bitmap = e().CreateBitmapFromBits(20, 10, 32, 80, pixels.data());
    ASSERT_NE(bitmap, nullptr);
    HBITMAP mono = e().ConvertToMonochromeBitmap(bitmap);
    HDIB overlay = e().ConvertBitmapToDIB(mono, 0);
    ASSERT_NE(overlay, nullptr);
    struct Case {
        std::uint32_t mode;
        long columnInk;  // of the base's column under the overlay's white (rows 25 to 31)
    };
    for (const Case c : {Case{BITMANI_COMBINE_COPY, 0}, Case{BITMANI_COMBINE_DARK_ONLY, 7}}) {
        HDIB base = e().LoadTiffIntoDIB(dir.file("base.tif").c_str(), 0, 0);
        ASSERT_NE(base, nullptr);
        ASSERT_NE(e().CombineDIB(44, 25, &base, overlay, c.mode, 0), 0);  // clipped at two edges
        ASSERT_NE(e().CombineDIB(-5, -5, &base, overlay, c.mode, 0), 0);  // clipped at the origin
        ASSERT_TRUE(lib.WriteImageAsTiff(dir.file("c.tif"), base, 208, 0, 1));
        const Page page = ReadPage(dir.file("c.tif"), 0);
        EXPECT_EQ(InkIn(page, 44, 25, 54, 32), 10 * 7) << c.mode;
        EXPECT_EQ(InkIn(page, 55, 25, 56, 32), c.columnInk) << c.mode;
        EXPECT_EQ(InkIn(page, 0, 0, 5, 5), 5 * 5) << c.mode;
        EXPECT_EQ(InkIn(page, 5, 0, 15, 5), 0) << c.mode;
        EXPECT_EQ(InkIn(page, 55, 0, 56, 25), 25) << c.mode;  // the base outside stays
        e().FreeDIB(base);
    }
    HDIB base = e().LoadTiffIntoDIB(dir.file("base.tif").c_str(), 0, 0);
    EXPECT_EQ(e().CombineDIB(0, 0, &base, overlay, 7, 0), 0);  // unknown mode
    for (HBITMAP b : {bitmap, mono}) e().DeleteBitmapHandle(b);
    e().FreeDIB(overlay);
    e().FreeDIB(base);
}

// Written and merged files follow the umask, never more readable than what they replace.
TEST_F(Libraries, WrittenFilesFollowTheUmaskAndKeepATighterReplacedMode) {
    WriteBilevelTiff(dir.file("src.tif"), 64, 16, 2, COMPRESSION_CCITTFAX3, Pattern);
    HDIB dib = e().LoadTiffIntoDIB(dir.file("src.tif").c_str(), 0, 0);
    ASSERT_NE(dib, nullptr);
    struct Case {
        mode_t umask;
        mode_t existing;  // 0: no file to replace
        mode_t expected;
    } cases[] = {{022, 0, 0644}, {077, 0, 0600}, {027, 0, 0640}, {022, 0600, 0600}};
    const auto modeOf = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : mode_t{01000};
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.umask);
        SCOPED_TRACE(c.existing);
        const std::string written = dir.file("w.tif"), merged = dir.file("m.tif");
        for (const std::string& path : {written, merged}) {
            std::remove(path.c_str());
            if (c.existing != 0) {
                WriteText(path, "old");
                ASSERT_EQ(::chmod(path.c_str(), c.existing), 0);
            }
        }
        const mode_t saved = ::umask(c.umask);
        const bool wrote = lib.WriteImageAsTiff(written, dib, 206, 0, 1);
        const bool merge = lib.MergePages(dir.file("src.tif"), dir.file("src.tif"), merged);
        ::umask(saved);
        ASSERT_TRUE(wrote && merge);
        EXPECT_EQ(std::tuple(modeOf(written), modeOf(merged)), std::tuple(c.expected, c.expected));
    }
    e().FreeDIB(dib);
}

}  // namespace
