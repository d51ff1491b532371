// Page copying of libtiff32.so: CopyTiffImageInFile, which keeps its source
// and destination open between consecutive calls on the same files.

#include "platform/tiff32/Tiff32.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/tiff32/Tiff32Internal.h"

using namespace tiff32;

namespace {

bool SameFile(const char* a, const char* b) {
    struct stat sa {
    }, sb{};
    if (stat(a, &sa) != 0 || stat(b, &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool HasPredictor(uint16_t compression) {
    return compression == COMPRESSION_LZW || compression == COMPRESSION_ADOBE_DEFLATE ||
           compression == COMPRESSION_DEFLATE;
}

// ---- page copy -----------------------------------------------------------

template <typename T>
void CopyField(TIFF* in, TIFF* out, ttag_t tag) {
    T value{};
    if (TIFFGetField(in, tag, &value)) TIFFSetField(out, tag, value);
}

void CopyFloatField(TIFF* in, TIFF* out, ttag_t tag) {
    float value = 0;
    if (TIFFGetField(in, tag, &value)) TIFFSetField(out, tag, static_cast<double>(value));
}

void CopyStringField(TIFF* in, TIFF* out, ttag_t tag) {
    char* value = nullptr;
    if (TIFFGetField(in, tag, &value) && value != nullptr) TIFFSetField(out, tag, value);
}

bool CopyTags(TIFF* in, TIFF* out) {
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(in, TIFFTAG_COMPRESSION, &compression);
    if (compression == COMPRESSION_OJPEG)
        return Fail(false, "old-style JPEG pages cannot be copied");
    uint32_t width = 0, length = 0;
    if (!TIFFGetField(in, TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(in, TIFFTAG_IMAGELENGTH, &length) || width == 0 || length == 0)
        return Fail(false, "page has no image size");
    TIFFSetField(out, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, length);
    for (ttag_t tag : {TIFFTAG_BITSPERSAMPLE, TIFFTAG_SAMPLESPERPIXEL, TIFFTAG_PHOTOMETRIC,
                       TIFFTAG_FILLORDER, TIFFTAG_ORIENTATION, TIFFTAG_PLANARCONFIG,
                       TIFFTAG_RESOLUTIONUNIT, TIFFTAG_THRESHHOLDING, TIFFTAG_SAMPLEFORMAT,
                       TIFFTAG_MINSAMPLEVALUE, TIFFTAG_MAXSAMPLEVALUE, TIFFTAG_YCBCRPOSITIONING})
        CopyField<uint16_t>(in, out, tag);
    CopyField<uint32_t>(in, out, TIFFTAG_SUBFILETYPE);
    for (ttag_t tag :
         {TIFFTAG_XRESOLUTION, TIFFTAG_YRESOLUTION, TIFFTAG_XPOSITION, TIFFTAG_YPOSITION})
        CopyFloatField(in, out, tag);
    for (ttag_t tag : {TIFFTAG_DOCUMENTNAME, TIFFTAG_IMAGEDESCRIPTION, TIFFTAG_MAKE, TIFFTAG_MODEL,
                       TIFFTAG_PAGENAME, TIFFTAG_SOFTWARE, TIFFTAG_DATETIME, TIFFTAG_ARTIST,
                       TIFFTAG_HOSTCOMPUTER, TIFFTAG_COPYRIGHT})
        CopyStringField(in, out, tag);
    if (IsCcitt(compression)) {
        if (compression == COMPRESSION_CCITTFAX3)
            CopyField<uint32_t>(in, out, TIFFTAG_GROUP3OPTIONS);
        if (compression == COMPRESSION_CCITTFAX4)
            CopyField<uint32_t>(in, out, TIFFTAG_GROUP4OPTIONS);
        CopyField<uint32_t>(in, out, TIFFTAG_BADFAXLINES);
        CopyField<uint16_t>(in, out, TIFFTAG_CLEANFAXDATA);
        CopyField<uint32_t>(in, out, TIFFTAG_CONSECUTIVEBADFAXLINES);
    }
    if (HasPredictor(compression)) CopyField<uint16_t>(in, out, TIFFTAG_PREDICTOR);
    uint16_t* red = nullptr;
    uint16_t* green = nullptr;
    uint16_t* blue = nullptr;
    if (TIFFGetField(in, TIFFTAG_COLORMAP, &red, &green, &blue))
        TIFFSetField(out, TIFFTAG_COLORMAP, red, green, blue);
    uint16_t extraCount = 0;
    uint16_t* extra = nullptr;
    if (TIFFGetField(in, TIFFTAG_EXTRASAMPLES, &extraCount, &extra))
        TIFFSetField(out, TIFFTAG_EXTRASAMPLES, extraCount, extra);
    uint16_t subH = 0, subV = 0;
    if (TIFFGetField(in, TIFFTAG_YCBCRSUBSAMPLING, &subH, &subV))
        TIFFSetField(out, TIFFTAG_YCBCRSUBSAMPLING, subH, subV);
    float* reference = nullptr;
    if (TIFFGetField(in, TIFFTAG_REFERENCEBLACKWHITE, &reference))
        TIFFSetField(out, TIFFTAG_REFERENCEBLACKWHITE, reference);
    uint32_t profileSize = 0;
    void* profile = nullptr;
    if (TIFFGetField(in, TIFFTAG_ICCPROFILE, &profileSize, &profile))
        TIFFSetField(out, TIFFTAG_ICCPROFILE, profileSize, profile);
    if (compression == COMPRESSION_JPEG) {
        uint32_t tablesSize = 0;
        void* tables = nullptr;
        if (TIFFGetField(in, TIFFTAG_JPEGTABLES, &tablesSize, &tables))
            TIFFSetField(out, TIFFTAG_JPEGTABLES, tablesSize, tables);
    }
    if (TIFFIsTiled(in)) {
        CopyField<uint32_t>(in, out, TIFFTAG_TILEWIDTH);
        CopyField<uint32_t>(in, out, TIFFTAG_TILELENGTH);
    } else {
        uint32_t rows = length;
        TIFFGetFieldDefaulted(in, TIFFTAG_ROWSPERSTRIP, &rows);
        TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, std::min(rows, length));
    }
    return true;
}

bool CopyData(TIFF* in, TIFF* out, std::uint64_t sourceSize) {
    const bool tiled = TIFFIsTiled(in) != 0;
    const uint32_t count = tiled ? TIFFNumberOfTiles(in) : TIFFNumberOfStrips(in);
    if (count == 0) return Fail(false, "page holds no image data");
    std::vector<uint8_t> buffer;
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t size = TIFFGetStrileByteCount(in, i);
        if (size == 0 || size > sourceSize)
            return Fail(false, "page data " + std::to_string(i) + " is missing or truncated");
        buffer.resize(static_cast<std::size_t>(size));
        const tmsize_t want = static_cast<tmsize_t>(size);
        const tmsize_t got = tiled ? TIFFReadRawTile(in, i, buffer.data(), want)
                                   : TIFFReadRawStrip(in, i, buffer.data(), want);
        if (got != want)
            return Fail(false, "page data " + std::to_string(i) + " cannot be read (truncated)");
        const tmsize_t put = tiled ? TIFFWriteRawTile(out, i, buffer.data(), want)
                                   : TIFFWriteRawStrip(out, i, buffer.data(), want);
        if (put != want) return Fail(false, "cannot write page data: " + g_lastError);
    }
    return true;
}

// ---- handles kept between page copies -------------------------------------

// What a file looked like when this library last left it.
struct Stamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = -1;
    timespec mtime{};
    bool operator==(const Stamp& o) const {
        return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec;
    }
};

bool StampOf(const struct stat& st, Stamp& out) {
    out = Stamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim};
    return true;
}

// A file that CopyTiffImageInFile keeps open for the next call, so a
// document copied page by page is opened once and never walked from its
// first page again. The handle is used again only while the file on disk is
// still as this library left it; otherwise it is let go.
class KeptFile {
  public:
    KeptFile() = default;
    KeptFile(const KeptFile&) = delete;
    KeptFile& operator=(const KeptFile&) = delete;
    ~KeptFile() { Release(); }

    // The kept handle of path, or nullptr.
    TIFF* For(const char* path) {
        if (tif_ == nullptr || path_ != path) return nullptr;
        struct stat st {};
        Stamp now;
        if (stat(path, &st) != 0 || !StampOf(st, now) || !(now == stamp_)) {
            Release();
            return nullptr;
        }
        return tif_;
    }
    void Keep(const std::string& path, TiffPtr tif) {
        if (tif.get() != tif_) Release();
        tif_ = tif.release();
        path_ = path;
        Refresh();
    }
    // Notes the file as it is now, after this library wrote to it.
    void Refresh() {
        struct stat st {};
        if (tif_ == nullptr || fstat(TIFFFileno(tif_), &st) != 0) return Release();
        (void)StampOf(st, stamp_);
    }
    // Everything was written by the calls that wrote it, so the handle is
    // freed without flushing: the file may have been renamed since.
    void Release() {
        if (tif_ != nullptr) {
            const UniqueFd fd(TIFFFileno(tif_));
            TIFFCleanup(tif_);
        }
        tif_ = nullptr;
        path_.clear();
    }
    [[nodiscard]] const Stamp& stamp() const { return stamp_; }

  private:
    std::string path_;
    Stamp stamp_;
    TIFF* tif_ = nullptr;
};

thread_local KeptFile g_keptSource;
thread_local KeptFile g_keptDestination;

// The source positioned at page, kept open for the next call.
TIFF* SourceAt(const char* source, int32_t page) {
    TIFF* in = g_keptSource.For(source);
    if (in == nullptr) {
        // Read without mapping: the file may change between calls.
        TiffPtr opened = OpenTiff(source, "rm");
        if (!opened) return nullptr;
        g_keptSource.Keep(source, std::move(opened));
        in = g_keptSource.For(source);
        if (in == nullptr) return Fail<TIFF*>(nullptr, std::string("cannot read ") + source);
    }
    const tdir_t wanted = static_cast<tdir_t>(page);
    const tdir_t current = TIFFCurrentDirectory(in);
    const bool there =
        current == wanted ||
        (current + 1 == wanted ? TIFFReadDirectory(in) != 0 : TIFFSetDirectory(in, wanted) != 0);
    if (!there) {
        g_keptSource.Release();
        return Fail<TIFF*>(nullptr, "no page " + std::to_string(page) + " in " + source);
    }
    return in;
}

}  // namespace

extern "C" {

int32_t CopyTiffImageInFile(const char* source, int32_t page, const char* destination,
                            int32_t mode) {
    if (!ValidPath(source) || !ValidPath(destination)) return Fail(0, "no path");
    if (mode != TIFF32_COPY_APPEND && mode != TIFF32_COPY_START)
        return Fail(0, "unknown copy mode " + std::to_string(mode));
    if (page < 0) return Fail(0, "negative page index");
    if (std::strcmp(source, destination) == 0 || SameFile(source, destination))
        return Fail(0, "source and destination are the same file");
    TIFF* in = SourceAt(source, page);
    if (in == nullptr) return 0;
    const std::uint64_t sourceSize = static_cast<std::uint64_t>(g_keptSource.stamp().size);

    // Appending to the file the last call wrote goes on with its handle;
    // anything else opens the destination afresh.
    TIFF* out = mode == TIFF32_COPY_APPEND ? g_keptDestination.For(destination) : nullptr;
    // A new file replaces the destination whole; appending writes into it.
    std::optional<ReplacementFile> replacement;
    if (out == nullptr) {
        g_keptDestination.Release();
        if (mode == TIFF32_COPY_START) {
            replacement.emplace(destination);
            if (replacement->fd() < 0)
                return Fail(0, std::string("cannot create a file next to ") + destination);
        }
        const char* openMode = mode == TIFF32_COPY_APPEND ? "a"
                               : TIFFIsBigTIFF(in)        ? (TIFFIsBigEndian(in) ? "wb8" : "wl8")
                               : TIFFIsBigEndian(in)      ? "wb"
                                                          : "wl";
        TiffPtr opened =
            replacement ? OpenTiffWriting(*replacement, openMode) : OpenTiff(destination, openMode);
        out = opened.get();
        if (out != nullptr) g_keptDestination.Keep(destination, std::move(opened));
    }
    bool ok = out != nullptr && CopyTags(in, out) && CopyData(in, out, sourceSize);
    if (ok && !TIFFWriteDirectory(out)) ok = Fail(false, "cannot finish the page: " + g_lastError);
    if (ok && replacement && !replacement->Commit())
        ok = Fail(false, std::string("cannot replace ") + destination);
    if (ok) {
        g_keptDestination.Refresh();
    } else {
        g_keptDestination.Release();
        g_keptSource.Release();
    }
    return ok ? 1 : 0;
}

}  // extern "C"
