// Text drawing of libtiff32.so: DIBTextOverlay over FreeType and fontconfig.

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

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include "platform/dib_core/DibCore.h"
#include "platform/tiff32/Tiff32Internal.h"

using namespace dibcore;
using namespace tiff32;

namespace {

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

}  // namespace

extern "C" {

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

}  // extern "C"
