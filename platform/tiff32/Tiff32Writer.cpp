// The tag-by-tag TIFF writer of libtiff32.so.

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
#include <string>
#include <vector>

#include "platform/dib_core/DibCore.h"
#include "platform/tiff32/Tiff32Internal.h"

using namespace dibcore;
using namespace tiff32;

namespace {

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
    std::unique_ptr<ReplacementFile> replacement;
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

TIFFFILEHANDLE OpenTiffFile(const char* path, int32_t mode) {
    if (!ValidPath(path)) return Fail<TIFFFILEHANDLE>(nullptr, "no path");
    if (mode != TIFF32_OPEN_WRITE)
        return Fail<TIFFFILEHANDLE>(nullptr, "unknown open mode " + std::to_string(mode));
    auto file = std::make_unique<Tiff32File>();
    file->path = path;
    file->replacement = std::make_unique<ReplacementFile>(path);
    if (file->replacement->fd() < 0)
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
        file->tif = OpenTiffWriting(*file->replacement, file->littleEndian ? "wl" : "wb");
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
    if (ok && !owned->replacement->Commit()) ok = Fail(false, "cannot replace " + owned->path);
    if (!ok && owned->written == 0 && !owned->failed) g_lastError = "no image was written";
    return ok ? 1 : 0;
}

}  // extern "C"
