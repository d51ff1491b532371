// Page counting and merging a cover in front of a document.

#include <gtest/gtest.h>
#include <tiffio.h>

#include "imaging/ImagingLibrary.h"
#include "support/TestTiff.h"

namespace {

// Page p carries p + 1 black bars, so pages can be told apart.
bool Bars(int page, int x, int y) { return y % 40 < 8 && y / 40 <= page && x < 1000; }
bool Cover(int, int x, int y) { return x >= 100 && x < 300 && y >= 100 && y < 300; }

class Merge : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(lib.Bind()); }
    ImagingLibrary lib{nullptr};
    TempFolder dir;
};

TEST_F(Merge, CoverThenEveryDocumentPageInOrder) {
    WriteBilevelTiff(dir.file("cover.tif"), 1728, 400, 1, COMPRESSION_CCITTFAX3, Cover);
    WriteBilevelTiff(dir.file("doc.tif"), 1728, 300, 3, COMPRESSION_CCITTFAX3, Bars);
    EXPECT_EQ(lib.CountImages(dir.file("doc.tif")), 3u);
    EXPECT_EQ(lib.CountImages(dir.file("cover.tif")), 1u);
    ASSERT_TRUE(lib.MergePages(dir.file("cover.tif"), dir.file("doc.tif"), dir.file("fax.tif")));
    ASSERT_EQ(lib.CountImages(dir.file("fax.tif")), 4u);
    EXPECT_EQ(ReadPage(dir.file("fax.tif"), 0), ReadPage(dir.file("cover.tif"), 0));
    for (int p = 0; p < 3; ++p)
        EXPECT_EQ(ReadPage(dir.file("fax.tif"), p + 1), ReadPage(dir.file("doc.tif"), p)) << p;

    // Fax tags travel with the pages.
    const std::pair<std::uint32_t, double> tags[] = {{TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3},
                                                     {TIFFTAG_FILLORDER, FILLORDER_LSB2MSB},
                                                     {TIFFTAG_XRESOLUTION, 204},
                                                     {TIFFTAG_YRESOLUTION, 196}};
    for (const auto& [tag, value] : tags) EXPECT_EQ(TagOf(dir.file("fax.tif"), 2, tag), value);

    // Merging again replaces the destination instead of growing it.
    ASSERT_TRUE(lib.MergePages(dir.file("cover.tif"), dir.file("doc.tif"), dir.file("fax.tif")));
    EXPECT_EQ(lib.CountImages(dir.file("fax.tif")), 4u);
}

TEST_F(Merge, MixedCompressionsAndOnlyTheFirstPageOfTheCover) {
    WriteBilevelTiff(dir.file("cover.tif"), 1728, 200, 2, COMPRESSION_CCITTFAX4, Cover);
    WriteBilevelTiff(dir.file("doc.tif"), 800, 120, 2, COMPRESSION_PACKBITS, Bars);
    ASSERT_TRUE(lib.MergePages(dir.file("cover.tif"), dir.file("doc.tif"), dir.file("fax.tif")));
    EXPECT_EQ(CountPages(dir.file("fax.tif")), 3);
    EXPECT_EQ(ReadPage(dir.file("fax.tif"), 2), ReadPage(dir.file("doc.tif"), 1));
}

TEST_F(Merge, FailuresLeaveNoHalfMergedFile) {
    WriteBilevelTiff(dir.file("cover.tif"), 64, 16, 1, COMPRESSION_CCITTFAX3, Cover);
    WriteBilevelTiff(dir.file("doc.tif"), 64, 16, 2, COMPRESSION_CCITTFAX3, Bars);
    WriteText(dir.file("notes.tif"), "plain text");
    // A missing or unreadable document does not turn into a cover-only fax.
    EXPECT_FALSE(lib.MergePages(dir.file("cover.tif"), dir.file("none.tif"), dir.file("m1.tif")));
    EXPECT_FALSE(lib.MergePages(dir.file("cover.tif"), dir.file("notes.tif"), dir.file("m2.tif")));
    // Nor does a missing cover pass as a merged fax.
    EXPECT_FALSE(lib.MergePages(dir.file("none.tif"), dir.file("doc.tif"), dir.file("m3.tif")));
    // The destination must not be one of the inputs.
    EXPECT_FALSE(lib.MergePages(dir.file("cover.tif"), dir.file("doc.tif"), dir.file("doc.tif")));
    EXPECT_EQ(CountPages(dir.file("doc.tif")), 2);
    for (const char* name : {"m1.tif", "m2.tif", "m3.tif"})
        EXPECT_FALSE(Exists(dir.file(name))) << name;
}

TEST_F(Merge, PathsLongerThanTheFixedBuffersAreRefused) {
    WriteBilevelTiff(dir.file("doc.tif"), 64, 16, 2, COMPRESSION_CCITTFAX3, Bars);
    std::string deep = dir.path();
    while (deep.size() < 300) {
        deep += "abcdefghijklmnopqrstuvwxyz/";
        std::filesystem::create_directory(deep);
    }
    const std::string longPath = deep + "doc.tif";
    std::filesystem::copy_file(dir.file("doc.tif"), longPath);
    ASSERT_GE(longPath.size(), 260u);
    EXPECT_EQ(lib.CountImages(longPath), 0u);
    EXPECT_FALSE(lib.MergePages(dir.file("doc.tif"), longPath, dir.file("m.tif")));
    EXPECT_FALSE(lib.MergePages(dir.file("doc.tif"), dir.file("doc.tif"), deep + "m.tif"));
    EXPECT_FALSE(Exists(deep + "m.tif"));
    // 259 characters is still fine.
    std::string edge = dir.path();
    edge += std::string(259 - edge.size() - 4, 'x') + ".tif";
    ASSERT_EQ(edge.size(), 259u);
    std::filesystem::copy_file(dir.file("doc.tif"), edge);
    EXPECT_EQ(lib.CountImages(edge), 2u);
}

// The quick long-document writer against the one encoding every page.
TEST(FaxPages, CopiedFirstPageReadsAsEveryPageEncoded) {
    TempFolder dir;
    const Painter paint = [](int, int x, int y) { return (x * 7 + y * 3) % 11 < 4; };
    for (const int pages : {1, 2, 5}) {
        BilevelPages spec{61, 40, pages, COMPRESSION_CCITTFAX3, 196.0, false};
        ASSERT_TRUE(WriteBilevelPages(dir.file("slow.tif"), spec, paint));
        spec.repeatFirst = true;
        ASSERT_TRUE(WriteBilevelPages(dir.file("quick.tif"), spec, paint));
        ASSERT_EQ(CountPages(dir.file("quick.tif")), pages);
        for (int p = 0; p < pages; ++p)
            EXPECT_EQ(ReadPage(dir.file("quick.tif"), p), ReadPage(dir.file("slow.tif"), p)) << p;
    }
}

}  // namespace
