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

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include "platform/bitmani/DibCore.h"

using namespace dibcore;

namespace {

constexpr const char* kVersion = "tiff32 1.0.0";
// Refuse single allocations larger than this when reading damaged files.
constexpr tmsize_t kMaxSingleAlloc = tmsize_t{256} << 20;

thread_local std::string g_lastError;

template <typename T>
T Fail(T result, const std::string& why) {
    g_lastError = why;
    return result;
}

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

struct TiffCloser {
    void operator()(TIFF* tif) const {
        if (tif != nullptr) TIFFClose(tif);
    }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

struct OptionsDeleter {
    void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};

TiffPtr OpenTiff(const std::string& path, const char* mode) {
    std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
    if (!options) return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), OnTiffError, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), OnTiffWarning, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxSingleAlloc);
    g_lastError.clear();
    TiffPtr tif(TIFFOpenExt(path.c_str(), mode, options.get()));
    if (!tif && g_lastError.empty()) g_lastError = "cannot open " + path;
    return tif;
}

bool ValidPath(const char* path) { return path != nullptr && path[0] != '\0'; }

bool SameFile(const char* a, const char* b) {
    struct stat sa {
    }, sb{};
    if (stat(a, &sa) != 0 || stat(b, &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// A temporary file next to path, closed, with ordinary permissions.
std::string MakeTempNextTo(const std::string& path) {
    std::string pattern = path + ".XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkstemp(buffer.data());
    if (fd < 0) return {};
    fchmod(fd, 0644);
    close(fd);
    return std::string(buffer.data());
}

bool IsCcitt(uint16_t compression) {
    return compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTFAX3 ||
           compression == COMPRESSION_CCITTFAX4 || compression == COMPRESSION_CCITTRLEW;
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
            const int fd = TIFFFileno(tif_);
            TIFFCleanup(tif_);
            if (fd >= 0) close(fd);
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

// ---- text ----------------------------------------------------------------

struct FontCache {
    std::mutex mutex;
    FT_Library library = nullptr;
    std::map<std::string, FT_Face> faces;
    bool fontconfigReady = false;
};

FontCache& Fonts() {
    static FontCache cache;
    return cache;
}

// Caller holds the cache's mutex.
FT_Face FindFace(FontCache& cache, const std::string& family) {
    if (auto found = cache.faces.find(family); found != cache.faces.end()) return found->second;
    if (cache.library == nullptr && FT_Init_FreeType(&cache.library) != 0) {
        cache.library = nullptr;
        return Fail<FT_Face>(nullptr, "the font engine cannot start");
    }
    if (!cache.fontconfigReady) {
        if (!FcInit()) return Fail<FT_Face>(nullptr, "fontconfig cannot start");
        cache.fontconfigReady = true;
    }
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) return Fail<FT_Face>(nullptr, "no font matches " + family);
    FcChar8* file = nullptr;
    int index = 0;
    FT_Face face = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        if (FT_New_Face(cache.library, reinterpret_cast<const char*>(file), index, &face) != 0)
            face = nullptr;
    }
    FcPatternDestroy(match);
    if (face == nullptr)
        return Fail<FT_Face>(nullptr, "the font for " + family + " cannot be loaded");
    cache.faces.emplace(family, face);
    return face;
}

// UTF-8 to code points; a byte that is not part of a valid sequence stands for
// itself (Latin-1).
std::vector<char32_t> DecodeText(const std::string& text) {
    std::vector<char32_t> out;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int extra = lead >= 0xF0 && lead < 0xF5   ? 3
                          : lead >= 0xE0 && lead < 0xF0 ? 2
                          : lead >= 0xC2 && lead < 0xE0 ? 1
                                                        : 0;
        char32_t code = lead;
        bool ok = extra > 0 && i + static_cast<std::size_t>(extra) < text.size();
        if (ok) {
            code = lead & (0x3Fu >> extra);
            for (int k = 1; k <= extra && ok; ++k) {
                const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
                ok = (next & 0xC0u) == 0x80u;
                code = (code << 6) | (next & 0x3Fu);
            }
        }
        if (ok) {
            out.push_back(code);
            i += static_cast<std::size_t>(extra) + 1;
        } else {
            out.push_back(lead);
            ++i;
        }
    }
    return out;
}

int DpiFromPels(int32_t pelsPerMeter, int fallback) {
    if (pelsPerMeter <= 0) return fallback;
    const int dpi = static_cast<int>(std::lround(pelsPerMeter * 0.0254));
    return dpi >= 50 && dpi <= 2400 ? dpi : fallback;
}

// ---- writer --------------------------------------------------------------

struct TagValue {
    uint16_t type = 0;
    std::vector<uint32_t> numbers;  // SHORT, LONG; RATIONAL as numerator, denominator pairs
    std::string text;               // ASCII
};

struct ImageDef {
    bool dropped = false;
    bool encoded = false;
    bool hasGeneral = false;
    TIFFGENERALTAGS general{};
    std::map<uint16_t, TagValue> tags;
};

enum class TagKind { Number, Rational, Text, PageNumber, ColorMap };

bool KindOf(uint16_t tag, TagKind& kind) {
    switch (tag) {
        case TIFFTAG_SUBFILETYPE:
        case TIFFTAG_COMPRESSION:
        case TIFFTAG_PHOTOMETRIC:
        case TIFFTAG_THRESHHOLDING:
        case TIFFTAG_FILLORDER:
        case TIFFTAG_ORIENTATION:
        case TIFFTAG_ROWSPERSTRIP:
        case TIFFTAG_PLANARCONFIG:
        case TIFFTAG_GROUP3OPTIONS:
        case TIFFTAG_GROUP4OPTIONS:
        case TIFFTAG_RESOLUTIONUNIT:
        case TIFFTAG_PREDICTOR:
            kind = TagKind::Number;
            return true;
        case TIFFTAG_XRESOLUTION:
        case TIFFTAG_YRESOLUTION:
            kind = TagKind::Rational;
            return true;
        case TIFFTAG_DOCUMENTNAME:
        case TIFFTAG_IMAGEDESCRIPTION:
        case TIFFTAG_MAKE:
        case TIFFTAG_MODEL:
        case TIFFTAG_PAGENAME:
        case TIFFTAG_SOFTWARE:
        case TIFFTAG_DATETIME:
        case TIFFTAG_ARTIST:
        case TIFFTAG_HOSTCOMPUTER:
            kind = TagKind::Text;
            return true;
        case TIFFTAG_PAGENUMBER:
            kind = TagKind::PageNumber;
            return true;
        case TIFFTAG_COLORMAP:
            kind = TagKind::ColorMap;
            return true;
        default:
            return false;
    }
}

}  // namespace

struct Tiff32File {
    std::string path;
    std::string tempPath;
    bool littleEndian = true;
    TiffPtr tif;
    std::vector<ImageDef> images;
    bool failed = false;
    int written = 0;
};

namespace {

ImageDef* FindImage(TIFFFILEHANDLE file, int32_t image) {
    if (file == nullptr) return Fail<ImageDef*>(nullptr, "no file handle");
    if (image < 0 || static_cast<std::size_t>(image) >= file->images.size())
        return Fail<ImageDef*>(nullptr, "no image " + std::to_string(image) + " in this file");
    ImageDef& def = file->images[static_cast<std::size_t>(image)];
    if (def.dropped)
        return Fail<ImageDef*>(nullptr, "image " + std::to_string(image) + " was dropped");
    return &def;
}

uint32_t BitCount(const TIFFGENERALTAGS& general) { return general.planesAndBits >> 16; }

bool ApplyTag(TIFF* tif, uint16_t tag, const TagValue& value, uint16_t bitsPerSample) {
    TagKind kind{};
    KindOf(tag, kind);
    int ok = 0;
    switch (kind) {
        case TagKind::Number:
            if (tag == TIFFTAG_SUBFILETYPE || tag == TIFFTAG_ROWSPERSTRIP ||
                tag == TIFFTAG_GROUP3OPTIONS || tag == TIFFTAG_GROUP4OPTIONS)
                ok = TIFFSetField(tif, tag, static_cast<uint32_t>(value.numbers[0]));
            else
                ok = TIFFSetField(tif, tag,
                                  static_cast<int>(static_cast<uint16_t>(value.numbers[0])));
            break;
        case TagKind::Rational: {
            const uint32_t denominator = value.numbers[1] == 0 ? 1 : value.numbers[1];
            ok = TIFFSetField(tif, tag, static_cast<double>(value.numbers[0]) / denominator);
            break;
        }
        case TagKind::Text:
            ok = TIFFSetField(tif, tag, value.text.c_str());
            break;
        case TagKind::PageNumber:
            ok = TIFFSetField(tif, tag, static_cast<int>(value.numbers[0]),
                              static_cast<int>(value.numbers[1]));
            break;
        case TagKind::ColorMap: {
            const std::size_t entries = std::size_t{1} << bitsPerSample;
            if (bitsPerSample > 8 || value.numbers.size() != entries * 3)
                return Fail(false, "colour map does not fit the bit count");
            std::vector<uint16_t> map(value.numbers.begin(), value.numbers.end());
            ok = TIFFSetField(tif, tag, map.data(), map.data() + entries, map.data() + 2 * entries);
            break;
        }
    }
    if (!ok)
        return Fail(false, "tag " + std::to_string(tag) + " cannot be written: " + g_lastError);
    return true;
}

bool NumberOf(const ImageDef& def, uint16_t tag, uint32_t& out) {
    auto it = def.tags.find(tag);
    if (it == def.tags.end() || it->second.numbers.empty()) return false;
    out = it->second.numbers[0];
    return true;
}

}  // namespace

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
    std::string temp;
    if (out == nullptr) {
        g_keptDestination.Release();
        std::string target = destination;
        if (mode == TIFF32_COPY_START) {
            temp = MakeTempNextTo(destination);
            if (temp.empty())
                return Fail(0, std::string("cannot create a file next to ") + destination);
            target = temp;
        }
        const char* openMode = mode == TIFF32_COPY_APPEND ? "a"
                               : TIFFIsBigTIFF(in)        ? (TIFFIsBigEndian(in) ? "wb8" : "wl8")
                               : TIFFIsBigEndian(in)      ? "wb"
                                                          : "wl";
        TiffPtr opened = OpenTiff(target, openMode);
        out = opened.get();
        if (out != nullptr) g_keptDestination.Keep(destination, std::move(opened));
    }
    bool ok = out != nullptr && CopyTags(in, out) && CopyData(in, out, sourceSize);
    if (ok && !TIFFWriteDirectory(out)) ok = Fail(false, "cannot finish the page: " + g_lastError);
    if (!temp.empty()) {
        if (ok && std::rename(temp.c_str(), destination) != 0)
            ok = Fail(false, std::string("cannot replace ") + destination);
        if (!ok) std::remove(temp.c_str());
    }
    if (ok) {
        g_keptDestination.Refresh();
    } else {
        g_keptDestination.Release();
        g_keptSource.Release();
    }
    return ok ? 1 : 0;
}

HDIB DIBTextOverlay(HDIB dib, int32_t x, int32_t y, const char* text, const char* face,
                    int32_t size) {
    if (!ValidDib(dib)) return Fail<HDIB>(nullptr, "not a valid DIB");
    if (text == nullptr || face == nullptr || face[0] == '\0')
        return Fail<HDIB>(nullptr, "no text or no font face");
    if (size <= 0 || size > 1000) return Fail<HDIB>(nullptr, "text size out of range");
    if (text[0] == '\0') return dib;

    FontCache& cache = Fonts();
    std::lock_guard<std::mutex> lock(cache.mutex);
    FT_Face ft = FindFace(cache, face);
    if (ft == nullptr) return nullptr;
    const int hdpi = DpiFromPels(dib->biXPelsPerMeter, 204);
    const int vdpi = DpiFromPels(dib->biYPelsPerMeter, 196);
    if (FT_Set_Char_Size(ft, 0, static_cast<FT_F26Dot6>(size) * 64, hdpi, vdpi) != 0)
        return Fail<HDIB>(nullptr, "the font cannot be sized");
    const long ascender = (ft->size->metrics.ascender + 63) >> 6;
    const long lineHeight = (ft->size->metrics.height + 63) >> 6;
    const bool kerning = FT_HAS_KERNING(ft);

    DibPainter painter(dib);
    const std::int32_t width = dib->biWidth;
    const std::int32_t height = dib->biHeight;
    const std::vector<char32_t> codes = DecodeText(text);
    long baseline = y + ascender;
    FT_Pos penX = static_cast<FT_Pos>(x) * 64;
    FT_UInt previous = 0;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        char32_t code = codes[i];
        if (code == U'\r') continue;
        if (code == U'\n') {
            baseline += lineHeight;
            penX = static_cast<FT_Pos>(x) * 64;
            previous = 0;
            continue;
        }
        if (code == U'\t') code = U' ';
        const FT_UInt glyph = FT_Get_Char_Index(ft, code);
        if (kerning && previous != 0 && glyph != 0) {
            FT_Vector delta{};
            if (FT_Get_Kerning(ft, previous, glyph, FT_KERNING_DEFAULT, &delta) == 0)
                penX += delta.x;
        }
        previous = glyph;
        if (FT_Load_Glyph(ft, glyph, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) continue;
        const FT_GlyphSlot slot = ft->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const long left = (penX >> 6) + slot->bitmap_left;
        const long top = baseline - slot->bitmap_top;
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            const long py = top + static_cast<long>(row);
            if (py < 0 || py >= height) continue;
            const unsigned char* line = bitmap.buffer + static_cast<long>(row) * bitmap.pitch;
            for (unsigned col = 0; col < bitmap.width; ++col) {
                const long px = left + static_cast<long>(col);
                if (px < 0 || px >= width) continue;
                const bool ink = bitmap.pixel_mode == FT_PIXEL_MODE_MONO
                                     ? ((line[col >> 3] >> (7 - (col & 7))) & 1u) != 0
                                     : line[col] >= 128;
                if (ink)
                    painter.Set(static_cast<std::int32_t>(px), static_cast<std::int32_t>(py),
                                Rgb{0, 0, 0});
            }
        }
        penX += slot->advance.x;
    }
    return dib;
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

TIFFFILEHANDLE OpenTiffFile(const char* path, int32_t mode) {
    if (!ValidPath(path)) return Fail<TIFFFILEHANDLE>(nullptr, "no path");
    if (mode != TIFF32_OPEN_WRITE)
        return Fail<TIFFFILEHANDLE>(nullptr, "unknown open mode " + std::to_string(mode));
    auto file = std::make_unique<Tiff32File>();
    file->path = path;
    file->tempPath = MakeTempNextTo(path);
    if (file->tempPath.empty())
        return Fail<TIFFFILEHANDLE>(nullptr, std::string("cannot write next to ") + path);
    return file.release();
}

int32_t ModiTiffFileInfo(TIFFFILEHANDLE file, int32_t what, uint32_t value) {
    if (file == nullptr) return Fail(0, "no file handle");
    if (what != TIFF32_INFO_BYTE_ORDER)
        return Fail(0, "unknown file setting " + std::to_string(what));
    if (file->tif) return Fail(0, "the byte order is fixed once an image was written");
    if (value == TIFF32_BYTE_ORDER_INTEL)
        file->littleEndian = true;
    else if (value == TIFF32_BYTE_ORDER_MOTOROLA)
        file->littleEndian = false;
    else
        return Fail(0, "unknown byte order mark");
    return 1;
}

int32_t DefineTiffImage(TIFFFILEHANDLE file) {
    if (file == nullptr) return Fail(-1, "no file handle");
    if (file->images.size() >= 65535) return Fail(-1, "too many images");
    file->images.emplace_back();
    return static_cast<int32_t>(file->images.size() - 1);
}

int32_t DefineTiffImageInfo(TIFFFILEHANDLE file, int32_t image, uint16_t tag, uint16_t type,
                            uint32_t value) {
    ImageDef* def = FindImage(file, image);
    if (def == nullptr) return 0;
    TagKind kind{};
    if (!KindOf(tag, kind)) return Fail(0, "tag " + std::to_string(tag) + " is not supported");
    TagValue stored;
    stored.type = type;
    if (kind == TagKind::Number && (type == TIFF_SHORT || type == TIFF_LONG)) {
        if (type == TIFF_SHORT && value > 0xFFFF) return Fail(0, "value does not fit a SHORT");
        stored.numbers = {value};
    } else if (kind == TagKind::Rational && type == TIFF_RATIONAL) {
        stored.numbers = {value, 1};
    } else {
        return Fail(0, "tag " + std::to_string(tag) + " does not take this type");
    }
    def->tags[tag] = std::move(stored);
    return 1;
}

int32_t DefineTiffImageInfoBuffer(TIFFFILEHANDLE file, int32_t image, uint16_t tag,
                                  const void* values, uint16_t type, uint32_t count) {
    ImageDef* def = FindImage(file, image);
    if (def == nullptr) return 0;
    if (values == nullptr || count == 0 || count > 3 * 65536)
        return Fail(0, "no values or too many");
    TagKind kind{};
    if (!KindOf(tag, kind)) return Fail(0, "tag " + std::to_string(tag) + " is not supported");
    TagValue stored;
    stored.type = type;
    if (type == TIFF_ASCII && kind == TagKind::Text) {
        const auto* text = static_cast<const char*>(values);
        stored.text.assign(text, strnlen(text, count));
    } else if (type == TIFF_SHORT && (kind == TagKind::Number || kind == TagKind::PageNumber ||
                                      kind == TagKind::ColorMap)) {
        const auto* shorts = static_cast<const uint16_t*>(values);
        stored.numbers.assign(shorts, shorts + count);
    } else if (type == TIFF_LONG && kind == TagKind::Number) {
        const auto* longs = static_cast<const uint32_t*>(values);
        stored.numbers.assign(longs, longs + count);
    } else if (type == TIFF_RATIONAL && kind == TagKind::Rational) {
        const auto* pairs = static_cast<const uint32_t*>(values);
        stored.numbers.assign(pairs, pairs + 2);
    } else {
        return Fail(0, "tag " + std::to_string(tag) + " does not take this type");
    }
    if (kind == TagKind::PageNumber && stored.numbers.size() != 2)
        return Fail(0, "page number needs two values");
    if (kind == TagKind::Number && stored.numbers.size() != 1)
        return Fail(0, "tag " + std::to_string(tag) + " takes one value");
    def->tags[tag] = std::move(stored);
    return 1;
}

int32_t DefineGeneralTags(TIFFFILEHANDLE file, int32_t image, TIFFGENERALTAGS tags) {
    ImageDef* def = FindImage(file, image);
    if (def == nullptr) return -1;
    const uint32_t planes = tags.planesAndBits & 0xFFFFu;
    const uint32_t bits = tags.planesAndBits >> 16;
    if (tags.width == 0 || tags.height == 0 || tags.width > static_cast<uint32_t>(kMaxSide) ||
        tags.height > static_cast<uint32_t>(kMaxSide))
        return Fail(-2, "image size out of range");
    if (planes != 1) return Fail(-3, "only one plane is supported");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
        return Fail(-4, "bit count " + std::to_string(bits) + " is not supported");
    if (tags.bytesPerRow != (bits * tags.width + 7) / 8)
        return Fail(-5, "bytes per row do not match width and bit count");
    def->general = tags;
    def->hasGeneral = true;
    return 0;
}

int32_t EncodeTiffImage(TIFFFILEHANDLE file, int32_t image, void* rowSource, TIFFROWPROC proc) {
    ImageDef* def = FindImage(file, image);
    if (def == nullptr) return 0;
    if (proc == nullptr) return Fail(0, "no row callback");
    if (!def->hasGeneral) return Fail(0, "general tags are not defined");
    if (def->encoded) return Fail(0, "image was written already");
    if (file->failed) return Fail(0, "an earlier image of this file failed");
    if (!file->tif) {
        file->tif = OpenTiff(file->tempPath, file->littleEndian ? "wl" : "wb");
        if (!file->tif) {
            file->failed = true;
            return 0;
        }
    }
    TIFF* tif = file->tif.get();
    const uint32_t bits = BitCount(def->general);
    const uint16_t samples = bits == 24 ? 3 : 1;
    const uint16_t bitsPerSample = bits == 24 ? 8 : static_cast<uint16_t>(bits);
    uint32_t compression = COMPRESSION_NONE;
    NumberOf(*def, TIFFTAG_COMPRESSION, compression);
    auto failed = [&](const std::string& why) {
        file->failed = true;
        return Fail(0, why);
    };
    if (!TIFFIsCODECConfigured(static_cast<uint16_t>(compression)))
        return failed("compression " + std::to_string(compression) + " cannot be written");
    if (IsCcitt(static_cast<uint16_t>(compression)) && bits != 1)
        return failed("fax compression needs a two-colour image");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, def->general.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, def->general.height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, static_cast<int>(bitsPerSample));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, static_cast<int>(samples));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    if (!TIFFSetField(tif, TIFFTAG_COMPRESSION, static_cast<int>(compression)))
        return failed("compression cannot be set: " + g_lastError);
    uint32_t photometric = 0;
    if (!NumberOf(*def, TIFFTAG_PHOTOMETRIC, photometric))
        photometric = bits == 24  ? PHOTOMETRIC_RGB
                      : bits == 1 ? PHOTOMETRIC_MINISWHITE
                                  : PHOTOMETRIC_MINISBLACK;
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, static_cast<int>(photometric));
    for (const auto& [tag, value] : def->tags) {
        if (tag == TIFFTAG_COMPRESSION || tag == TIFFTAG_PHOTOMETRIC) continue;
        if (!ApplyTag(tif, tag, value, bitsPerSample)) return failed(g_lastError);
    }
    if (photometric == PHOTOMETRIC_PALETTE && def->tags.count(TIFFTAG_COLORMAP) == 0)
        return failed("a palette image needs a colour map");
    if (def->tags.count(TIFFTAG_ROWSPERSTRIP) == 0) {
        const uint32_t rows = IsCcitt(static_cast<uint16_t>(compression))
                                  ? def->general.height
                                  : TIFFDefaultStripSize(tif, 0);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rows);
    }
    if (TIFFScanlineSize64(tif) != def->general.bytesPerRow)
        return failed("row size does not match the tags");
    std::vector<uint8_t> row(def->general.bytesPerRow);
    for (uint32_t r = 0; r < def->general.height; ++r) {
        std::fill(row.begin(), row.end(), 0);
        if (proc(row.data(), static_cast<int32_t>(r), rowSource) == 0)
            return failed("the row source stopped at row " + std::to_string(r));
        if (TIFFWriteScanline(tif, row.data(), r, 0) < 0)
            return failed("row " + std::to_string(r) + " cannot be written: " + g_lastError);
    }
    if (!TIFFWriteDirectory(tif)) return failed("the image cannot be finished: " + g_lastError);
    def->encoded = true;
    ++file->written;
    return 1;
}

int32_t DropTiffImage(TIFFFILEHANDLE file, int32_t image) {
    ImageDef* def = FindImage(file, image);
    if (def == nullptr) return 0;
    def->dropped = true;
    def->tags.clear();
    return 1;
}

int32_t CloseTiffFile(TIFFFILEHANDLE file) {
    if (file == nullptr) return Fail(0, "no file handle");
    std::unique_ptr<Tiff32File> owned(file);
    owned->tif.reset();
    bool ok = !owned->failed && owned->written > 0;
    if (ok && std::rename(owned->tempPath.c_str(), owned->path.c_str()) != 0)
        ok = Fail(false, "cannot replace " + owned->path);
    if (!ok) {
        if (owned->written == 0 && !owned->failed) g_lastError = "no image was written";
        std::remove(owned->tempPath.c_str());
    }
    return ok ? 1 : 0;
}

int32_t GetTiffVersion(char* buffer, int32_t size) { return CopyText(kVersion, buffer, size); }

int32_t GetTiffLastError(char* buffer, int32_t size) { return CopyText(g_lastError, buffer, size); }

}  // extern "C"
