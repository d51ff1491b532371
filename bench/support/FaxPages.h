#pragma once
// Large G3 fax documents made quickly, for the benchmarks.

#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

// A fax page that looks like printed text: rows of word-like black runs.
inline bool TextLike(int page, int x, int y) {
    const int line = y / 48;
    if (y % 48 >= 30 || x < 120 || x > 1600) return false;
    const int word = (x + line * 37 + page * 11) / 90;
    return (x % 90) < 70 && ((word * 7 + line) % 5 != 0) && ((x / 3 + y / 2) % 4 != 0);
}

inline void SetPageTags(TIFF* tif, int height) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1728u);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<unsigned>(height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 204.0);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, 196.0);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<unsigned>(height));
}

// Writes pages copies of one G3 page: the page is encoded once and its strip
// written raw for every page, so large documents are made quickly.
inline bool WritePages(const std::string& path, int pages, int height,
                       bool (*paint)(int, int, int)) {
    const std::string single = path + ".one";
    {
        TIFF* tif = TIFFOpen(single.c_str(), "wl");
        if (tif == nullptr) return false;
        std::vector<unsigned char> row(1728 / 8);
        SetPageTags(tif, height);
        for (int y = 0; y < height; ++y) {
            std::fill(row.begin(), row.end(), 0);
            for (int x = 0; x < 1728; ++x)
                if (paint(0, x, y)) row[x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
            TIFFWriteScanline(tif, row.data(), static_cast<unsigned>(y), 0);
        }
        TIFFWriteDirectory(tif);
        TIFFClose(tif);
    }
    TIFF* in = TIFFOpen(single.c_str(), "r");
    if (in == nullptr) return false;
    std::vector<unsigned char> strip(TIFFRawStripSize(in, 0));
    const tmsize_t size =
        TIFFReadRawStrip(in, 0, strip.data(), static_cast<tmsize_t>(strip.size()));
    TIFFClose(in);
    std::remove(single.c_str());
    if (size <= 0) return false;
    TIFF* tif = TIFFOpen(path.c_str(), "wl");
    if (tif == nullptr) return false;
    bool ok = true;
    for (int p = 0; ok && p < pages; ++p) {
        SetPageTags(tif, height);
        ok = TIFFWriteRawStrip(tif, 0, strip.data(), size) == size && TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return ok;
}

}  // namespace bench
