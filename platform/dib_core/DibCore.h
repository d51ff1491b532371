#pragma once

// Pixel access shared by the two imaging libraries (linked into each, hidden).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/dib_core/Dib.h"

namespace dibcore {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

// Largest image either library makes or accepts: 64 Mi pixels, 32767 a side.
inline constexpr std::int64_t kMaxPixels = std::int64_t{1} << 26;
inline constexpr std::int32_t kMaxSide = 32767;

[[nodiscard]] std::size_t DibStride(std::int32_t width, std::uint16_t bits);
[[nodiscard]] std::uint32_t PaletteEntries(const BITMAPINFOHEADER& header);
// Header says something both libraries can work with.
[[nodiscard]] bool ValidDib(const BITMAPINFOHEADER* header);
[[nodiscard]] bool ValidBitmap(const BITMAPOBJECT* bitmap);

// A zeroed DIB; palette is copied in (its size must fit the bit count).
[[nodiscard]] HDIB AllocateDib(std::int32_t width, std::int32_t height, std::uint16_t bits,
                               const std::vector<RGBQUAD>& palette);
[[nodiscard]] HBITMAP AllocateBitmap(std::int32_t width, std::int32_t height, std::uint16_t bits);

[[nodiscard]] RGBQUAD* DibPalette(HDIB dib);
[[nodiscard]] std::uint8_t* DibBits(HDIB dib);
[[nodiscard]] const std::uint8_t* DibBits(const BITMAPINFOHEADER* dib);

// Rows counted from the top in both calls.
[[nodiscard]] Rgb GetDibPixel(const BITMAPINFOHEADER* dib, std::int32_t x, std::int32_t y);
[[nodiscard]] bool IsDark(Rgb colour);
[[nodiscard]] bool BitmapPixelBlack(const BITMAPOBJECT* bitmap, std::int32_t x, std::int32_t y);

// Writes colours into a DIB, mapping to the nearest colour-table entry for
// indexed DIBs (the mapping is cached per colour).
class DibPainter {
  public:
    explicit DibPainter(HDIB dib);
    void Set(std::int32_t x, std::int32_t y, Rgb colour);
    void SetIndex(std::int32_t x, std::int32_t y, std::uint32_t index);
    [[nodiscard]] std::uint32_t Nearest(Rgb colour);

  private:
    HDIB dib_;
    std::uint8_t* bits_;
    std::size_t stride_;
    std::int32_t height_;
    std::uint16_t bitCount_;
    std::vector<RGBQUAD> palette_;
    std::uint32_t lastKey_ = 0xFFFFFFFFu;
    std::uint32_t lastIndex_ = 0;
};

}  // namespace dibcore
