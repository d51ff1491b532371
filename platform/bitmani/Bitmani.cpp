#include "platform/bitmani/Bitmani.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/dib_core/DibCore.h"

using namespace dibcore;

namespace {

const std::vector<RGBQUAD> kBlackWhite = {{0, 0, 0, 0}, {255, 255, 255, 0}};

void SetBitmapWhite(BITMAPOBJECT* bitmap, std::int32_t x, std::int32_t y) {
    std::uint8_t* row = bitmap->bmBits + static_cast<std::size_t>(bitmap->bmWidthBytes) * y;
    row[x >> 3] |= static_cast<std::uint8_t>(0x80u >> (x & 7));
}

}  // namespace

extern "C" {

HBITMAP ConvertToMonochromeBitmap(HBITMAP bitmap) {
    if (!ValidBitmap(bitmap)) return nullptr;
    HBITMAP mono = AllocateBitmap(bitmap->bmWidth, bitmap->bmHeight, 1);
    if (mono == nullptr) return nullptr;
    for (std::int32_t y = 0; y < bitmap->bmHeight; ++y)
        for (std::int32_t x = 0; x < bitmap->bmWidth; ++x)
            if (!BitmapPixelBlack(bitmap, x, y)) SetBitmapWhite(mono, x, y);
    return mono;
}

HDIB ConvertBitmapToDIB(HBITMAP bitmap, uint32_t flags) {
    if (!ValidBitmap(bitmap) || flags != 0) return nullptr;
    const bool mono = bitmap->bmBitsPixel == 1;
    HDIB dib = AllocateDib(bitmap->bmWidth, bitmap->bmHeight, mono ? 1 : 32,
                           mono ? kBlackWhite : std::vector<RGBQUAD>{});
    if (dib == nullptr) return nullptr;
    const std::size_t stride = DibStride(bitmap->bmWidth, dib->biBitCount);
    const std::size_t rowBytes =
        (static_cast<std::size_t>(bitmap->bmWidth) * bitmap->bmBitsPixel + 7) / 8;
    std::uint8_t* bits = DibBits(dib);
    for (std::int32_t y = 0; y < bitmap->bmHeight; ++y) {
        const std::uint8_t* source =
            bitmap->bmBits + static_cast<std::size_t>(bitmap->bmWidthBytes) * y;
        std::uint8_t* target = bits + stride * static_cast<std::size_t>(bitmap->bmHeight - 1 - y);
        std::memcpy(target, source, rowBytes);
        if (mono && bitmap->bmWidth % 8 != 0) {
            // Keep the padding bits of the last byte clean.
            target[rowBytes - 1] &= static_cast<std::uint8_t>(0xFFu << (8 - bitmap->bmWidth % 8));
        }
    }
    return dib;
}

int32_t CombineDIB(int32_t x, int32_t y, HDIB* base, HDIB overlay, uint32_t mode, uint32_t) {
    if (base == nullptr || !ValidDib(*base) || !ValidDib(overlay)) return 0;
    if (mode != BITMANI_COMBINE_COPY && mode != BITMANI_COMBINE_DARK_ONLY) return 0;
    const bool darkOnly = mode == BITMANI_COMBINE_DARK_ONLY;
    HDIB target = *base;
    const std::int64_t left = std::max<std::int64_t>(0, x);
    const std::int64_t top = std::max<std::int64_t>(0, y);
    const std::int64_t right =
        std::min<std::int64_t>(target->biWidth, std::int64_t{x} + overlay->biWidth);
    const std::int64_t bottom =
        std::min<std::int64_t>(target->biHeight, std::int64_t{y} + overlay->biHeight);
    DibPainter painter(target);
    for (std::int64_t ty = top; ty < bottom; ++ty)
        for (std::int64_t tx = left; tx < right; ++tx) {
            const Rgb colour = GetDibPixel(overlay, static_cast<std::int32_t>(tx - x),
                                           static_cast<std::int32_t>(ty - y));
            if (darkOnly && !IsDark(colour)) continue;
            painter.Set(static_cast<std::int32_t>(tx), static_cast<std::int32_t>(ty), colour);
        }
    return 1;
}

uint32_t PaletteSize(const BITMAPINFOHEADER* header) {
    if (header == nullptr) return 0;
    if (header->biBitCount > 8) return std::min<uint32_t>(header->biClrUsed, 256) * 4;
    if (header->biBitCount == 0) return 0;
    return PaletteEntries(*header) * static_cast<uint32_t>(sizeof(RGBQUAD));
}

HBITMAP CreateBitmapFromBits(int32_t width, int32_t height, uint16_t bitsPerPixel, int32_t stride,
                             const void* bits) {
    if (bits == nullptr) return nullptr;
    HBITMAP bitmap = AllocateBitmap(width, height, bitsPerPixel);
    if (bitmap == nullptr) return nullptr;
    const std::size_t rowBytes = (static_cast<std::size_t>(width) * bitsPerPixel + 7) / 8;
    if (stride < 0 || static_cast<std::size_t>(stride) < rowBytes) {
        std::free(bitmap);
        return nullptr;
    }
    const auto* source = static_cast<const std::uint8_t*>(bits);
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(bitmap->bmBits + static_cast<std::size_t>(bitmap->bmWidthBytes) * y,
                    source + static_cast<std::size_t>(stride) * y, rowBytes);
    return bitmap;
}

HBITMAP StretchBitmap(HBITMAP source, int32_t width, int32_t height) {
    if (!ValidBitmap(source)) return nullptr;
    HBITMAP target = AllocateBitmap(width, height, 1);
    if (target == nullptr) return nullptr;
    const std::int64_t sw = source->bmWidth;
    const std::int64_t sh = source->bmHeight;
    for (int32_t ty = 0; ty < height; ++ty) {
        const std::int64_t y0 = ty * sh / height;
        const std::int64_t y1 = std::max(y0 + 1, (ty + 1) * sh / height);
        for (int32_t tx = 0; tx < width; ++tx) {
            const std::int64_t x0 = tx * sw / width;
            const std::int64_t x1 = std::max(x0 + 1, (tx + 1) * sw / width);
            bool black = false;
            for (std::int64_t sy = y0; sy < y1 && !black; ++sy)
                for (std::int64_t sx = x0; sx < x1 && !black; ++sx)
                    black = BitmapPixelBlack(source, static_cast<std::int32_t>(sx),
                                             static_cast<std::int32_t>(sy));
            if (!black) SetBitmapWhite(target, tx, ty);
        }
    }
    return target;
}

void DeleteBitmapHandle(HBITMAP bitmap) { std::free(bitmap); }

void FreeDIB(HDIB dib) { std::free(dib); }

}  // extern "C"
