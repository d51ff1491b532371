#include <sys/stat.h>

#include <QImage>
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iomanip>
#include <locale>
#include <optional>
#include <sstream>

#include "app/core/AppSettings.h"
#include "app/core/Clock.h"
#include "base/FileReplace.h"
#include "base/Text.h"
#include "imaging/ImagingLibrary.h"
#include "imaging/ImagingLibraryPaths.h"
#include "wizard/job/FaxJob.h"

using imaging_paths::FitsPathBuffer;
using imaging_paths::Folder;

namespace {

constexpr int kPageWidth = 1728;
constexpr int kLogoBoxWidth = 1500;
constexpr int kLogoBoxHeight = 400;
constexpr int kLogoBandTop = 100;

// What the row callback of the TIFF writer reads.
struct RowSource {
    std::uint32_t unused = 0;
    const std::uint8_t* bits = nullptr;
    std::uint32_t height = 0;
    std::uint32_t bytesPerRow = 0;
    std::uint32_t stride = 0;
    std::uint32_t invert = 0;
    // Two-colour output from a DIB of more bits: threshold each pixel.
    const BITMAPINFOHEADER* thresholdFrom = nullptr;
};

bool Dark(const BITMAPINFOHEADER* dib, const std::uint8_t* row, std::int32_t x) {
    const auto* table = reinterpret_cast<const RGBQUAD*>(dib + 1);
    std::uint8_t r = 0, g = 0, b = 0;
    switch (dib->biBitCount) {
        case 8: {
            const RGBQUAD& q = table[row[x]];
            r = q.rgbRed, g = q.rgbGreen, b = q.rgbBlue;
            break;
        }
        case 24:
            b = row[x * 3], g = row[x * 3 + 1], r = row[x * 3 + 2];
            break;
        default:
            b = row[x * 4], g = row[x * 4 + 1], r = row[x * 4 + 2];
            break;
    }
    return (r * 299u + g * 587u + b * 114u) < 128u * 1000u;
}

std::int32_t FillRow(std::uint8_t* buffer, std::int32_t row, void* context) {
    const auto* source = static_cast<const RowSource*>(context);
    if (source == nullptr || row < 0 || static_cast<std::uint32_t>(row) >= source->height) return 0;
    const std::uint8_t* line =
        source->bits + static_cast<std::size_t>(source->stride) * (source->height - row - 1);
    if (source->thresholdFrom != nullptr) {
        // One bit per pixel, 1 = black (written as white-is-zero).
        const std::int32_t width = source->thresholdFrom->biWidth;
        for (std::int32_t x = 0; x < width; ++x)
            if (Dark(source->thresholdFrom, line, x))
                buffer[x >> 3] |= static_cast<std::uint8_t>(0x80u >> (x & 7));
        return 1;
    }
    if (source->bytesPerRow <= source->stride && source->stride % 4 == 0 &&
        source->bytesPerRow * 8 <= source->stride * 8) {
        const bool rgb = source->bytesPerRow > 0 && source->invert == 2;
        if (rgb) {
            // Blue, green, red in the DIB; red, green, blue in the file.
            for (std::uint32_t i = 0; i + 2 < source->bytesPerRow; i += 3) {
                buffer[i] = line[i + 2];
                buffer[i + 1] = line[i + 1];
                buffer[i + 2] = line[i];
            }
        } else {
            for (std::uint32_t i = 0; i < source->bytesPerRow; ++i)
                buffer[i] = source->invert ? static_cast<std::uint8_t>(~line[i]) : line[i];
        }
        return 1;
    }
    return 0;
}

}  // namespace

// ---- cover sheet ----------------------------------------------------------

void ImagingLibrary::AddTextItem(const std::string& text, int x, int y, const std::string& fontFace,
                                 int size) {
    if (text.empty()) return;
    textItems_.push_back(TextItem{std::string(Trim(text)), fontFace, size, x, y});
}

std::string ImagingLibrary::WrapMemo(std::string text, std::size_t width, std::size_t limit) {
    if (width == 0) return text;
    // Breaks the line that starts at start, at a blank before start + width
    // when there is one after start, else at start + width. Answers where the
    // inserted line break begins.
    auto breakLine = [&text, width](std::size_t start) {
        const std::size_t at = start + width;
        std::size_t blank = std::string::npos;
        for (std::size_t i = std::min(at, text.size() - 1) + 1; i-- > 0;)
            if (text[i] == ' ') {
                blank = i;
                break;
            }
        if (blank != std::string::npos && blank > start) {
            text.replace(blank, 1, "\r\n");
            return blank;
        }
        text.insert(at, "\r\n");
        return at;
    };
    std::size_t start = 0;
    for (std::size_t feed = text.find('\n', start); feed != std::string::npos;
         feed = text.find('\n', start)) {
        std::size_t length = feed - start;
        if (length > 0 && text[feed - 1] == '\r') --length;
        if (length > width)
            start = breakLine(start) + 2;
        else
            start = feed + 1;
    }
    while (text.size() - start > width) start = breakLine(start);
    if (limit > 0) {
        std::size_t feeds = 0;
        for (std::size_t i = 0; i < text.size(); ++i)
            if (text[i] == '\n' && ++feeds == limit) {
                text.resize(i);
                break;
            }
    }
    return text;
}

ImagingLibrary::LogoPlacement ImagingLibrary::PlaceLogo(int logoWidth, int logoHeight) {
    LogoPlacement place;
    if (logoWidth <= 0 || logoHeight <= 0) return place;
    const double w = logoWidth, h = logoHeight;
    if (kLogoBoxHeight / h >= kLogoBoxWidth / w) {
        place.width = kLogoBoxWidth;
        place.height = static_cast<int>(h * kLogoBoxWidth / w);
    } else {
        place.height = kLogoBoxHeight;
        place.width = static_cast<int>(w * kLogoBoxHeight / h);
    }
    place.x = (kPageWidth - place.width) / 2;
    place.y = (kLogoBoxHeight - place.height) / 2 + kLogoBandTop;
    return place;
}

HBITMAP ImagingLibrary::ScaleBitmap(HBITMAP source, int width, int height) {
    if (entries_.StretchBitmap == nullptr || source == nullptr || width <= 0 || height <= 0)
        return nullptr;
    return entries_.StretchBitmap(source, width, height);
}

HBITMAP ImagingLibrary::LoadLogo(const std::string& path) {
    if (entries_.CreateBitmapFromBits == nullptr) return nullptr;
    QImage image;
    if (!image.load(QString::fromStdString(path))) return nullptr;
    image = image.convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) return nullptr;
    return entries_.CreateBitmapFromBits(image.width(), image.height(), 32,
                                         static_cast<std::int32_t>(image.bytesPerLine()),
                                         image.constBits());
}

const ImagingLibrary::PreparedLogo* ImagingLibrary::PrepareLogo(const std::string& path) {
    const ImagingEntryPoints& e = entries_;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return nullptr;
    const std::int64_t modified =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    if (logo_.overlay && logo_.path == path && logo_.size == info.st_size &&
        logo_.modifiedNs == modified && logo_.inode == static_cast<std::int64_t>(info.st_ino))
        return &logo_;
    logo_ = PreparedLogo{};
    if (e.ConvertToMonochromeBitmap == nullptr || e.ConvertBitmapToDIB == nullptr) return nullptr;
    auto freeBitmap = [&e](HBITMAP bitmap) {
        if (bitmap != nullptr && e.DeleteBitmapHandle != nullptr) e.DeleteBitmapHandle(bitmap);
    };
    HBITMAP original = LoadLogo(path);
    HBITMAP mono = original != nullptr ? e.ConvertToMonochromeBitmap(original) : nullptr;
    freeBitmap(original);
    if (mono == nullptr) return nullptr;
    const LogoPlacement place = PlaceLogo(mono->bmWidth, mono->bmHeight);
    HBITMAP scaled = place.width > 0 && place.height > 0
                         ? ScaleBitmap(mono, place.width, place.height)
                         : nullptr;
    freeBitmap(mono);
    HDIB overlay = scaled != nullptr ? e.ConvertBitmapToDIB(scaled, 0) : nullptr;
    freeBitmap(scaled);
    if (overlay == nullptr) return nullptr;
    const auto freeDib = e.FreeDIB;
    logo_.overlay.reset(overlay, [freeDib](HDIB dib) {
        if (freeDib != nullptr)
            freeDib(dib);
        else
            std::free(dib);
    });
    logo_.path = path;
    logo_.size = info.st_size;
    logo_.modifiedNs = modified;
    logo_.inode = static_cast<std::int64_t>(info.st_ino);
    logo_.place = place;
    return &logo_;
}

bool ImagingLibrary::Render(const std::string& templatePath, const std::string& resultPath,
                            const std::string& logoPath) {
    lastRenderOk_ = false;
    const ImagingEntryPoints& e = entries_;
    auto freeDib = [&e](HDIB dib) {
        if (dib == nullptr) return;
        if (e.FreeDIB != nullptr)
            e.FreeDIB(dib);
        else
            std::free(dib);
    };
    HDIB dib =
        e.LoadTiffIntoDIB != nullptr ? e.LoadTiffIntoDIB(templatePath.c_str(), 0, 0) : nullptr;
    // Only the logo's black is drawn: its white must not blank the template's
    // artwork in the band.
    if (dib != nullptr && !logoPath.empty() && e.CombineDIB != nullptr)
        if (const PreparedLogo* logo = PrepareLogo(logoPath))
            e.CombineDIB(logo->place.x, logo->place.y, &dib, logo->overlay.get(),
                         BITMANI_COMBINE_DARK_ONLY, 0);
    bool textOk = true;
    for (const TextItem& item : textItems_) {
        if (dib == nullptr || e.DIBTextOverlay == nullptr) break;
        if (HDIB drawn = e.DIBTextOverlay(dib, item.x, item.y, item.text.c_str(),
                                          item.fontFace.c_str(), item.size))
            dib = drawn;
        else
            textOk = false;
    }
    ClearTextItems();
    if (dib != nullptr) {
        lastRenderOk_ = WriteImageAsTiff(resultPath, dib, kTiffGroup3, 0, 1) && textOk;
        freeDib(dib);
    }
    return true;
}

namespace {

// How a DIB is written: its compression and the one tag some codings add (the
// LZW predictor, the Group 3 options), its depth and colours, and where its
// rows come from.
struct TiffPlan {
    std::uint16_t compression = 1;
    std::uint16_t extraTag = 0;
    std::uint32_t extraValue = 0;
    std::uint32_t width = 0, height = 0, bits = 0, planes = 0;
    int photometric = 0;
    bool hasTable = false;
    const RGBQUAD* table = nullptr;
    std::uint32_t tableBytes = 0;
    RowSource source;
};

std::optional<TiffPlan> PlanTiff(HDIB dib, std::uint32_t tableBytes, int compressionCode,
                                 int photometric) {
    const BITMAPINFOHEADER& header = *dib;
    if (header.biSize != sizeof(BITMAPINFOHEADER) || header.biWidth <= 0 || header.biHeight <= 0)
        return std::nullopt;
    struct Coding {
        std::int32_t code;
        std::uint16_t compression;
        std::uint16_t extraTag;
        std::uint32_t extraValue;
    };
    static constexpr Coding kCodings[] = {
        {kTiffNone, 1, 0, 0},
        {kTiffPackBits, 32773, 0, 0},
        {kTiffLzw, 5, 0, 0},
        {kTiffLzwPredictor, 5, 317, 2},
        {kTiffModifiedHuffman, 2, 0, 0},
        {kTiffGroup3, 3, 0, 0},
        {kTiffGroup3Options, 3, 292, 1},
        {kTiffGroup4, 4, 0, 0},
    };
    const auto coding = std::find_if(std::begin(kCodings), std::end(kCodings),
                                     [&](const Coding& c) { return c.code == compressionCode; });
    if (coding == std::end(kCodings)) return std::nullopt;

    TiffPlan plan;
    plan.compression = coding->compression;
    plan.extraTag = coding->extraTag;
    plan.extraValue = coding->extraValue;
    plan.width = static_cast<std::uint32_t>(header.biWidth);
    plan.height = static_cast<std::uint32_t>(header.biHeight);
    plan.bits = header.biBitCount;
    plan.planes = header.biPlanes;
    plan.tableBytes = tableBytes;
    plan.table = reinterpret_cast<const RGBQUAD*>(dib + 1);
    plan.source.bits = reinterpret_cast<const std::uint8_t*>(dib + 1) + tableBytes;
    plan.source.height = plan.height;
    plan.source.stride = ((plan.width * plan.bits + 31) / 32) * 4;
    if (compressionCode >= kTiffModifiedHuffman) {  // two colours
        photometric = 0;
        if (plan.bits != 1) {
            if (plan.bits != 8 && plan.bits != 24 && plan.bits != 32) return std::nullopt;
            plan.source.thresholdFrom = dib;
        }
        plan.bits = 1;
        plan.planes = 1;
    }
    if (photometric == 3 && plan.bits > 8) photometric = 2;
    const RGBQUAD* table = plan.table;
    plan.hasTable = tableBytes >= sizeof(RGBQUAD) && plan.source.thresholdFrom == nullptr;
    if (plan.hasTable && photometric == 0 && table[0].rgbRed == 0 && table[0].rgbGreen == 0 &&
        table[0].rgbBlue == 0)
        photometric = 1;
    if (plan.hasTable && table[0].rgbBlue < 127 && table[0].rgbGreen < 127 &&
        table[0].rgbRed < 127) {
        plan.source.invert = 1;
        photometric = 0;
    }
    if (plan.bits > 8) {
        if (plan.bits != 24) return std::nullopt;
        plan.source.invert = 2;  // swap blue and red
    }
    plan.source.bytesPerRow = (plan.bits * plan.width + 7) / 8;
    plan.photometric = photometric;
    return plan;
}

// The image's tags, the palette of a palette image included.
bool DefineTiffTags(const ImagingEntryPoints& e, TIFFFILEHANDLE file, std::int32_t image,
                    const TiffPlan& plan, int fillOrder) {
    char version[16] = {};
    if (e.GetTiffVersion != nullptr) e.GetTiffVersion(version, sizeof version);
    const std::string software = std::string(ImagingLibrary::kSoftwareIdent) + version;
    const std::uint32_t xResolution[2] = {204, 1};
    const std::uint32_t yResolution[2] = {196, 1};
    bool ok = e.DefineTiffImageInfo(file, image, 259, 3, plan.compression) != 0 &&
              e.DefineTiffImageInfoBuffer(file, image, 305, software.c_str(), 2,
                                          static_cast<std::uint32_t>(software.size() + 1)) != 0 &&
              e.DefineTiffImageInfo(file, image, 296, 3, 2) != 0 &&
              e.DefineTiffImageInfoBuffer(file, image, 282, xResolution, 5, 1) != 0 &&
              e.DefineTiffImageInfoBuffer(file, image, 283, yResolution, 5, 1) != 0;
    if (ok && fillOrder == 2) ok = e.DefineTiffImageInfo(file, image, 266, 3, 2) != 0;
    if (ok && plan.extraTag != 0)
        ok = e.DefineTiffImageInfo(file, image, plan.extraTag, plan.extraTag == 292 ? 4 : 3,
                                   plan.extraValue) != 0;
    if (ok) {
        const TIFFGENERALTAGS general{
            0, plan.width, plan.height, plan.source.bytesPerRow, (plan.bits << 16) | plan.planes,
            0};
        ok = e.DefineGeneralTags(file, image, general) == 0;
    }
    if (ok)
        ok = e.DefineTiffImageInfo(file, image, 262, 3,
                                   static_cast<std::uint32_t>(plan.photometric)) != 0;
    if (ok && plan.photometric == 3 && plan.hasTable) {
        const std::uint32_t entries = 1u << plan.bits;
        std::vector<std::uint16_t> map(entries * 3, 0);
        const std::uint32_t present = std::min(entries, plan.tableBytes / 4);
        for (std::uint32_t i = 0; i < present; ++i) {
            map[i] = static_cast<std::uint16_t>(plan.table[i].rgbRed << 8);
            map[entries + i] = static_cast<std::uint16_t>(plan.table[i].rgbGreen << 8);
            map[2 * entries + i] = static_cast<std::uint16_t>(plan.table[i].rgbBlue << 8);
        }
        ok = e.DefineTiffImageInfoBuffer(file, image, 320, map.data(), 3,
                                         static_cast<std::uint32_t>(map.size())) != 0;
    }
    return ok;
}

}  // namespace

bool ImagingLibrary::WriteImageAsTiff(const std::string& path, HDIB dib, int compressionCode,
                                      int photometric, int fillOrder) {
    const ImagingEntryPoints& e = entries_;
    if (dib == nullptr || !FitsPathBuffer(path) || e.PaletteSize == nullptr ||
        e.OpenTiffFile == nullptr || e.ModiTiffFileInfo == nullptr ||
        e.DefineTiffImage == nullptr || e.DefineTiffImageInfo == nullptr ||
        e.DefineTiffImageInfoBuffer == nullptr || e.DefineGeneralTags == nullptr ||
        e.EncodeTiffImage == nullptr || e.DropTiffImage == nullptr || e.CloseTiffFile == nullptr)
        return false;
    std::optional<TiffPlan> plan = PlanTiff(dib, e.PaletteSize(dib), compressionCode, photometric);
    if (!plan) return false;

    TIFFFILEHANDLE file = e.OpenTiffFile(path.c_str(), TIFF32_OPEN_WRITE);
    if (file == nullptr) return false;
    const std::int32_t image =
        e.ModiTiffFileInfo(file, TIFF32_INFO_BYTE_ORDER, TIFF32_BYTE_ORDER_INTEL) == 0
            ? -1
            : e.DefineTiffImage(file);
    if (image < 0 || !DefineTiffTags(e, file, image, *plan, fillOrder)) {
        e.CloseTiffFile(file);
        return false;
    }
    const bool encoded = e.EncodeTiffImage(file, image, &plan->source, FillRow) != 0;
    e.DropTiffImage(file, image);
    const bool closed = e.CloseTiffFile(file) != 0;
    return encoded && closed;
}

std::string ImagingLibrary::RecipientText(const FaxJob& job) {
    if (job.RecipientList.size() == 1) {
        const Recipient& only = *job.RecipientList.front();
        return only.name + "  " + (only.faxNumber.empty() ? only.email : only.faxNumber);
    }
    return "1 of " + std::to_string(job.RecipientList.size()) + " recipients";
}

std::string ImagingLibrary::CoverDateText(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    std::ostringstream date;
    date.imbue(std::locale::classic());
    date << std::put_time(&local, "%B %d, %Y");
    return date.str();
}

std::string ImagingLibrary::ComposeCoverSheet(CoverSheetFields& fields, const FaxJob& job,
                                              const DirectorySettings& directory) {
    const std::string folders = Folder(directory.LocalFolders);
    const std::string templatePath = folders + "templates/Template.tif";
    if (directory.LocalFolders.empty() || !FitsPathBuffer(templatePath) ||
        (!fields.logoPath.empty() && !FitsPathBuffer(fields.logoPath)))
        return {};
    // Each cover is composed in a staging folder of its own.
    std::string result = StagingPath(folders + "outbox/", "Cover.tif");
    if (!FitsPathBuffer(result)) {
        RemoveStaged(result);
        return {};
    }

    const char* face = "Arial";
    const int size = 16;
    AddTextItem(fields.company, 225, 273, face, size);
    AddTextItem(fields.sender, 225, 391, face, size);
    AddTextItem(std::to_string(job.message.pageCount), 225, 509, face, size);
    AddTextItem(fields.subject, 225, 571, face, size);
    fields.memo = WrapMemo(fields.memo, 60, 14);
    AddTextItem(fields.memo, 124, 678, face, size);
    AddTextItem(RecipientText(job), 225, 338, face, size);
    const std::time_t now = clock_ != nullptr ? clock_->Now() : DefaultClock().Now();
    AddTextItem(CoverDateText(now), 225, 459, face, size);

    Render(templatePath, result, fields.logoPath);
    if (lastRenderOk_) return result;
    RemoveStaged(result);
    return {};
}
