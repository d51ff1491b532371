#include "support/TestTiff.h"

#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

void WriteBilevelTiff(const std::string& path, int width, int height, int pages,
                      std::uint16_t compression, const Painter& paint, double yres) {
    ASSERT_TRUE(WriteBilevelPages(path, {width, height, pages, compression, yres, false}, paint))
        << path;
}

Page ReadPage(const std::string& path, int page) {
    Page result;
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (tif == nullptr) return result;
    if (!TIFFSetDirectory(tif, static_cast<tdir_t>(page))) {
        TIFFClose(tif);
        return result;
    }
    std::uint32_t width = 0, height = 0;
    std::uint16_t photometric = PHOTOMETRIC_MINISWHITE, bits = 1;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    EXPECT_EQ(bits, 1);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(TIFFScanlineSize(tif)));
    for (std::uint32_t y = 0; y < height; ++y) {
        if (TIFFReadScanline(tif, row.data(), y, 0) < 0) break;
        std::vector<bool> line(width);
        for (std::uint32_t x = 0; x < width; ++x) {
            const bool set = (row[x / 8] >> (7 - x % 8)) & 1;
            line[x] = photometric == PHOTOMETRIC_MINISWHITE ? set : !set;
        }
        result.push_back(std::move(line));
    }
    TIFFClose(tif);
    return result;
}

int CountPages(const std::string& path) {
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (tif == nullptr) return -1;
    const int count = TIFFNumberOfDirectories(tif);
    TIFFClose(tif);
    return count;
}

double TagOf(const std::string& path, int page, std::uint32_t tag) {
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (tif == nullptr) return -1;
    double value = -1;
    const TIFFField* field = TIFFFieldWithTag(tif, tag);
    std::uint16_t u16 = 0;
    std::uint32_t u32 = 0;
    float f = 0;
    if (field != nullptr && TIFFSetDirectory(tif, static_cast<tdir_t>(page))) {
        if (TIFFFieldDataType(field) == TIFF_SHORT && TIFFGetFieldDefaulted(tif, tag, &u16))
            value = u16;
        else if (TIFFFieldDataType(field) == TIFF_LONG && TIFFGetFieldDefaulted(tif, tag, &u32))
            value = u32;
        else if (TIFFFieldDataType(field) == TIFF_RATIONAL && TIFFGetFieldDefaulted(tif, tag, &f))
            value = f;
    }
    TIFFClose(tif);
    return value;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

long InkIn(const Page& page, int x0, int y0, int x1, int y1) {
    long ink = 0;
    for (int y = std::max(0, y0); y < std::min<int>(y1, static_cast<int>(page.size())); ++y)
        for (int x = std::max(0, x0); x < std::min<int>(x1, static_cast<int>(page[y].size())); ++x)
            ink += page[y][x] ? 1 : 0;
    return ink;
}
