#pragma once
// Two-colour fax pages written with libtiff, for the tests and the benchmarks.

#include <tiffio.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// True where page `page` is black at (x, y).
using Painter = std::function<bool(int page, int x, int y)>;

struct BilevelPages {
    int width = 1728;
    int height = 2200;
    int pages = 1;
    std::uint16_t compression = COMPRESSION_CCITTFAX3;  // or COMPRESSION_CCITTFAX4
    double yres = 196.0;                                // 204 dots per inch across
    // Every page a copy of the first, encoded once and its strip written raw
    // for each page: documents of thousands of pages are made quickly.
    bool repeatFirst = false;
};

namespace fax_pages_detail {

using Tiff = std::unique_ptr<TIFF, void (*)(TIFF*)>;

inline Tiff Open(const std::string& path, const char* mode) {
    return Tiff(TIFFOpen(path.c_str(), mode), [](TIFF* t) {
        if (t) TIFFClose(t);
    });
}

inline void SetTags(TIFF* tif, const BilevelPages& spec, int page) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(spec.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(spec.height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, spec.compression);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 204.0);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, spec.yres);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(spec.height));
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(tif, TIFFTAG_PAGENUMBER, page, spec.pages);
}

// The first page's one strip, as encoded.
inline std::vector<unsigned char> FirstStrip(const std::string& path) {
    const Tiff in = Open(path, "r");
    if (!in) return {};
    std::vector<unsigned char> strip(static_cast<std::size_t>(TIFFRawStripSize(in.get(), 0)));
    const tmsize_t size =
        TIFFReadRawStrip(in.get(), 0, strip.data(), static_cast<tmsize_t>(strip.size()));
    strip.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
    return strip;
}

}  // namespace fax_pages_detail

// Writes the pages, black where paint answers true. False when libtiff fails.
[[nodiscard]] inline bool WriteBilevelPages(const std::string& path, const BilevelPages& spec,
                                            const Painter& paint) {
    namespace d = fax_pages_detail;
    std::vector<unsigned char> strip;
    if (spec.repeatFirst && spec.pages > 1) {
        BilevelPages one = spec;
        one.pages = 1;
        one.repeatFirst = false;
        const std::string single = path + ".one";
        const bool made = WriteBilevelPages(single, one, paint);
        if (made) strip = d::FirstStrip(single);
        std::remove(single.c_str());
        if (strip.empty()) return false;
    }
    const d::Tiff tif = d::Open(path, "w");
    if (!tif) return false;
    std::vector<std::uint8_t> row(static_cast<std::size_t>((spec.width + 7) / 8));
    for (int p = 0; p < spec.pages; ++p) {
        d::SetTags(tif.get(), spec, p);
        if (!strip.empty()) {
            const auto size = static_cast<tmsize_t>(strip.size());
            if (TIFFWriteRawStrip(tif.get(), 0, strip.data(), size) != size) return false;
        } else {
            for (int y = 0; y < spec.height; ++y) {
                std::fill(row.begin(), row.end(), 0);
                for (int x = 0; x < spec.width; ++x)
                    if (paint(p, x, y))
                        row[static_cast<std::size_t>(x / 8)] |=
                            static_cast<std::uint8_t>(0x80 >> (x % 8));
                if (TIFFWriteScanline(tif.get(), row.data(), static_cast<std::uint32_t>(y), 0) < 0)
                    return false;
            }
        }
        if (!TIFFWriteDirectory(tif.get())) return false;
    }
    return true;
}
