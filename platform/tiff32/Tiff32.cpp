// libtiff32.so: TIFF page counting and copying, first-page loading into DIBs,
// text drawing into DIBs and a tag-by-tag TIFF writer, over libtiff, FreeType
// and fontconfig.

#include "platform/tiff32/Tiff32.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dib_core/DibCore.h"
#include "platform/tiff32/Tiff32Internal.h"

using namespace dibcore;

namespace tiff32 {

thread_local std::string g_lastError;

namespace {

constexpr const char* kVersion = "tiff32 1.0.0";
// Refuse single allocations larger than this when reading damaged files.
constexpr tmsize_t kMaxSingleAlloc = tmsize_t{256} << 20;

int32_t CopyText(const std::string& text, char* buffer, int32_t size) {
    if (buffer == nullptr || size <= 0) return 0;
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<int32_t>(n);
}

int OnTiffError(TIFF*, void*, const char* module, const char* fmt, va_list ap) {
    char message[512];
    std::vsnprintf(message, sizeof message, fmt, ap);
    g_lastError = std::string(module != nullptr ? module : "tiff") + ": " + message;
    return 1;
}

int OnTiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct OptionsDeleter {
    void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};

// Options that take libtiff's messages into g_lastError and cap allocations.
std::unique_ptr<TIFFOpenOptions, OptionsDeleter> OpenOptions() {
    std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
    if (!options) return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), OnTiffError, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), OnTiffWarning, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxSingleAlloc);
    g_lastError.clear();
    return options;
}

}  // namespace

TiffPtr OpenTiff(const std::string& path, const char* mode) {
    const auto options = OpenOptions();
    if (!options) return nullptr;
    TiffPtr tif(TIFFOpenExt(path.c_str(), mode, options.get()));
    if (!tif && g_lastError.empty()) g_lastError = "cannot open " + path;
    return tif;
}

bool ValidPath(const char* path) { return path != nullptr && path[0] != '\0'; }

TiffPtr OpenTiffWriting(const ReplacementFile& file, const char* mode) {
    UniqueFd fd(::fcntl(file.fd(), F_DUPFD_CLOEXEC, 0));
    if (!fd) return Fail<TiffPtr>(nullptr, "cannot write " + file.name());
    const auto options = OpenOptions();
    TiffPtr tif(options ? TIFFFdOpenExt(fd.get(), file.name().c_str(), mode, options.get())
                        : nullptr);
    if (!tif)
        return Fail<TiffPtr>(nullptr,
                             g_lastError.empty() ? "cannot write " + file.name() : g_lastError);
    (void)fd.release();  // libtiff closes it
    return tif;
}

bool IsCcitt(uint16_t compression) {
    return compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTFAX3 ||
           compression == COMPRESSION_CCITTFAX4 || compression == COMPRESSION_CCITTRLEW;
}

}  // namespace tiff32

using namespace tiff32;

extern "C" {

int32_t GetNumberOfImagesInTiffFile(const char* path) {
    if (!ValidPath(path)) return Fail(-2, "no path");
    TiffPtr tif = OpenTiff(path, "r");
    if (!tif) return -1;
    g_lastError.clear();
    const tdir_t count = TIFFNumberOfDirectories(tif.get());
    if (count == 0) return Fail(-1, "no pages in " + std::string(path));
    // A chain of pages that breaks off (truncated or damaged file) is not a
    // shorter document.
    if (!g_lastError.empty()) return Fail(-1, "damaged page chain: " + g_lastError);
    return static_cast<int32_t>(std::min<tdir_t>(count, 0x7FFFFFFF));
}

HDIB LoadTiffIntoDIB(const char* path, int32_t, int32_t) {
    if (!ValidPath(path)) return Fail<HDIB>(nullptr, "no path");
    TiffPtr tif = OpenTiff(path, "r");
    if (!tif) return nullptr;
    uint32_t width = 0, height = 0;
    if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height) || width == 0 || height == 0 ||
        width > static_cast<uint32_t>(kMaxSide) || height > static_cast<uint32_t>(kMaxSide) ||
        std::uint64_t{width} * height > static_cast<std::uint64_t>(kMaxPixels))
        return Fail<HDIB>(nullptr, "the page size is missing or too large");
    uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISWHITE;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    const bool hasPhotometric = TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric) != 0;
    if (!hasPhotometric) photometric = PHOTOMETRIC_MINISWHITE;
    const auto w = static_cast<int32_t>(width);
    const auto h = static_cast<int32_t>(height);

    HDIB dib = nullptr;
    if (bits == 1 && samples == 1 && !TIFFIsTiled(tif.get()) &&
        (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK)) {
        dib = AllocateDib(w, h, 1, {{0, 0, 0, 0}, {255, 255, 255, 0}});
        if (dib == nullptr) return Fail<HDIB>(nullptr, "out of memory");
        const tmsize_t lineSize = TIFFScanlineSize(tif.get());
        const std::size_t rowBytes = (width + 7) / 8;
        if (lineSize < static_cast<tmsize_t>(rowBytes)) {
            std::free(dib);
            return Fail<HDIB>(nullptr, "unexpected row size");
        }
        std::vector<uint8_t> line(static_cast<std::size_t>(lineSize));
        const std::size_t stride = DibStride(w, 1);
        uint8_t* bitsOut = DibBits(dib);
        const bool invert = photometric == PHOTOMETRIC_MINISWHITE;
        const uint8_t lastMask = static_cast<uint8_t>(0xFFu << ((8 - width % 8) % 8));
        for (uint32_t row = 0; row < height; ++row) {
            if (TIFFReadScanline(tif.get(), line.data(), row, 0) < 0) {
                std::free(dib);
                return Fail<HDIB>(nullptr,
                                  "row " + std::to_string(row) + " cannot be read: " + g_lastError);
            }
            uint8_t* target = bitsOut + stride * (height - 1 - row);
            for (std::size_t i = 0; i < rowBytes; ++i)
                target[i] = invert ? static_cast<uint8_t>(~line[i]) : line[i];
            target[rowBytes - 1] &= lastMask;
        }
    } else {
        char message[1024] = {};
        if (!TIFFRGBAImageOK(tif.get(), message))
            return Fail<HDIB>(nullptr, std::string("unsupported page: ") + message);
        std::vector<uint32_t> raster(static_cast<std::size_t>(width) * height);
        if (!TIFFReadRGBAImageOriented(tif.get(), width, height, raster.data(), ORIENTATION_BOTLEFT,
                                       0))
            return Fail<HDIB>(nullptr, "the page cannot be read: " + g_lastError);
        dib = AllocateDib(w, h, 24, {});
        if (dib == nullptr) return Fail<HDIB>(nullptr, "out of memory");
        const std::size_t stride = DibStride(w, 24);
        uint8_t* bitsOut = DibBits(dib);
        for (uint32_t row = 0; row < height; ++row) {
            uint8_t* target = bitsOut + stride * row;
            const uint32_t* source = raster.data() + static_cast<std::size_t>(width) * row;
            for (uint32_t col = 0; col < width; ++col) {
                target[col * 3] = static_cast<uint8_t>(TIFFGetB(source[col]));
                target[col * 3 + 1] = static_cast<uint8_t>(TIFFGetG(source[col]));
                target[col * 3 + 2] = static_cast<uint8_t>(TIFFGetR(source[col]));
            }
        }
    }
    float xres = 0, yres = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_RESOLUTIONUNIT, &unit);
    const double perMeter = unit == RESUNIT_CENTIMETER ? 100.0
                            : unit == RESUNIT_INCH     ? 1 / 0.0254
                                                       : 0;
    if (perMeter > 0 && TIFFGetField(tif.get(), TIFFTAG_XRESOLUTION, &xres) &&
        TIFFGetField(tif.get(), TIFFTAG_YRESOLUTION, &yres) && xres > 0 && yres > 0 &&
        xres < 100000 && yres < 100000) {
        dib->biXPelsPerMeter = static_cast<int32_t>(std::lround(xres * perMeter));
        dib->biYPelsPerMeter = static_cast<int32_t>(std::lround(yres * perMeter));
    }
    return dib;
}

int32_t GetTiffVersion(char* buffer, int32_t size) { return CopyText(kVersion, buffer, size); }

int32_t GetTiffLastError(char* buffer, int32_t size) { return CopyText(g_lastError, buffer, size); }

}  // extern "C"
