#include "platform/dib_core/DibCore.h"

#include <cstdlib>
#include <cstring>

namespace dibcore {

std::size_t DibStride(std::int32_t width, std::uint16_t bits) {
    return ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
}

std::uint32_t PaletteEntries(const BITMAPINFOHEADER& header) {
    if (header.biBitCount > 8) return header.biClrUsed;
    const std::uint32_t full = 1u << header.biBitCount;
    return header.biClrUsed != 0 && header.biClrUsed < full ? header.biClrUsed : full;
}

static bool SizeOk(std::int32_t width, std::int32_t height) {
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
           std::int64_t{width} * height <= kMaxPixels;
}

bool ValidDib(const BITMAPINFOHEADER* header) {
    if (header == nullptr) return false;
    if (header->biSize != sizeof(BITMAPINFOHEADER) || header->biCompression != 0) return false;
    if (header->biPlanes != 1) return false;
    const auto bits = header->biBitCount;
    if (bits != 1 && bits != 8 && bits != 24 && bits != 32) return false;
    if (bits <= 8 && header->biClrUsed > (1u << bits)) return false;
    if (bits > 8 && header->biClrUsed > 256) return false;
    return SizeOk(header->biWidth, header->biHeight);
}

bool ValidBitmap(const BITMAPOBJECT* bitmap) {
    if (bitmap == nullptr) return false;
    if (bitmap->bmBits != reinterpret_cast<const std::uint8_t*>(bitmap + 1)) return false;
    if (bitmap->bmPlanes != 1 || (bitmap->bmBitsPixel != 1 && bitmap->bmBitsPixel != 32))
        return false;
    if (!SizeOk(bitmap->bmWidth, bitmap->bmHeight)) return false;
    const std::size_t minimum =
        (static_cast<std::size_t>(bitmap->bmWidth) * bitmap->bmBitsPixel + 7) / 8;
    return static_cast<std::size_t>(bitmap->bmWidthBytes) >= minimum &&
           bitmap->bmWidthBytes % 2 == 0;
}

HDIB AllocateDib(std::int32_t width, std::int32_t height, std::uint16_t bits,
                 const std::vector<RGBQUAD>& palette) {
    if (!SizeOk(width, height)) return nullptr;
    if (bits != 1 && bits != 8 && bits != 24 && bits != 32) return nullptr;
    if (bits <= 8 && palette.size() > (1u << bits)) return nullptr;
    if (bits > 8 && !palette.empty()) return nullptr;
    const std::size_t stride = DibStride(width, bits);
    const std::size_t tableEntries = bits <= 8 ? (1u << bits) : 0;
    const std::size_t size = sizeof(BITMAPINFOHEADER) + tableEntries * sizeof(RGBQUAD) +
                             stride * static_cast<std::size_t>(height);
    auto* header = static_cast<BITMAPINFOHEADER*>(std::calloc(1, size));
    if (header == nullptr) return nullptr;
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = bits;
    header->biSizeImage = static_cast<std::uint32_t>(stride * static_cast<std::size_t>(height));
    header->biXPelsPerMeter = 8031;  // 204 dpi
    header->biYPelsPerMeter = 7717;  // 196 dpi
    header->biClrUsed = 0;
    auto* table = reinterpret_cast<RGBQUAD*>(header + 1);
    if (!palette.empty()) std::memcpy(table, palette.data(), palette.size() * sizeof(RGBQUAD));
    return header;
}

HBITMAP AllocateBitmap(std::int32_t width, std::int32_t height, std::uint16_t bits) {
    if (!SizeOk(width, height) || (bits != 1 && bits != 32)) return nullptr;
    const std::size_t rowBytes = ((static_cast<std::size_t>(width) * bits + 15) / 16) * 2;
    const std::size_t size = sizeof(BITMAPOBJECT) + rowBytes * static_cast<std::size_t>(height);
    auto* bitmap = static_cast<BITMAPOBJECT*>(std::calloc(1, size));
    if (bitmap == nullptr) return nullptr;
    bitmap->bmWidth = width;
    bitmap->bmHeight = height;
    bitmap->bmWidthBytes = static_cast<std::int32_t>(rowBytes);
    bitmap->bmPlanes = 1;
    bitmap->bmBitsPixel = bits;
    bitmap->bmBits = reinterpret_cast<std::uint8_t*>(bitmap + 1);
    return bitmap;
}

RGBQUAD* DibPalette(HDIB dib) { return reinterpret_cast<RGBQUAD*>(dib + 1); }

static std::size_t TableBytes(const BITMAPINFOHEADER& header) {
    return static_cast<std::size_t>(PaletteEntries(header)) * sizeof(RGBQUAD);
}

std::uint8_t* DibBits(HDIB dib) {
    return reinterpret_cast<std::uint8_t*>(dib + 1) + TableBytes(*dib);
}

const std::uint8_t* DibBits(const BITMAPINFOHEADER* dib) {
    return reinterpret_cast<const std::uint8_t*>(dib + 1) + TableBytes(*dib);
}

Rgb GetDibPixel(const BITMAPINFOHEADER* dib, std::int32_t x, std::int32_t y) {
    const std::size_t stride = DibStride(dib->biWidth, dib->biBitCount);
    const std::uint8_t* row =
        DibBits(dib) + stride * static_cast<std::size_t>(dib->biHeight - 1 - y);
    const auto* table = reinterpret_cast<const RGBQUAD*>(dib + 1);
    const std::uint32_t entries = PaletteEntries(*dib);
    auto fromTable = [&](std::uint32_t index) {
        if (index >= entries) return Rgb{};
        return Rgb{table[index].rgbRed, table[index].rgbGreen, table[index].rgbBlue};
    };
    switch (dib->biBitCount) {
        case 1:
            return fromTable((row[x >> 3] >> (7 - (x & 7))) & 1u);
        case 8:
            return fromTable(row[x]);
        case 24:
            return Rgb{row[x * 3 + 2], row[x * 3 + 1], row[x * 3]};
        default:
            return Rgb{row[x * 4 + 2], row[x * 4 + 1], row[x * 4]};
    }
}

bool IsDark(Rgb c) { return (c.r * 299u + c.g * 587u + c.b * 114u) < 128u * 1000u; }

bool BitmapPixelBlack(const BITMAPOBJECT* bitmap, std::int32_t x, std::int32_t y) {
    const std::uint8_t* row = bitmap->bmBits + static_cast<std::size_t>(bitmap->bmWidthBytes) * y;
    if (bitmap->bmBitsPixel == 1) return ((row[x >> 3] >> (7 - (x & 7))) & 1u) == 0;
    return IsDark(Rgb{row[x * 4 + 2], row[x * 4 + 1], row[x * 4]});
}

DibPainter::DibPainter(HDIB dib)
    : dib_(dib),
      bits_(DibBits(dib)),
      stride_(DibStride(dib->biWidth, dib->biBitCount)),
      height_(dib->biHeight),
      bitCount_(dib->biBitCount) {
    if (bitCount_ <= 8) {
        const RGBQUAD* table = DibPalette(dib);
        palette_.assign(table, table + PaletteEntries(*dib));
    }
}

std::uint32_t DibPainter::Nearest(Rgb c) {
    const std::uint32_t key = (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
    if (key == lastKey_) return lastIndex_;
    std::uint32_t best = 0;
    long bestDistance = -1;
    for (std::uint32_t i = 0; i < palette_.size(); ++i) {
        const long dr = long{palette_[i].rgbRed} - c.r;
        const long dg = long{palette_[i].rgbGreen} - c.g;
        const long db = long{palette_[i].rgbBlue} - c.b;
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    lastKey_ = key;
    lastIndex_ = best;
    return best;
}

void DibPainter::SetIndex(std::int32_t x, std::int32_t y, std::uint32_t index) {
    std::uint8_t* row = bits_ + stride_ * static_cast<std::size_t>(height_ - 1 - y);
    if (bitCount_ == 1) {
        const std::uint8_t mask = static_cast<std::uint8_t>(0x80u >> (x & 7));
        if (index & 1u)
            row[x >> 3] |= mask;
        else
            row[x >> 3] &= static_cast<std::uint8_t>(~mask);
    } else {
        row[x] = static_cast<std::uint8_t>(index);
    }
}

void DibPainter::Set(std::int32_t x, std::int32_t y, Rgb c) {
    if (bitCount_ <= 8) {
        SetIndex(x, y, Nearest(c));
        return;
    }
    std::uint8_t* row = bits_ + stride_ * static_cast<std::size_t>(height_ - 1 - y);
    const std::size_t bytes = bitCount_ / 8;
    row[x * bytes] = c.b;
    row[x * bytes + 1] = c.g;
    row[x * bytes + 2] = c.r;
}

}  // namespace dibcore
