#pragma once

// TIFF files for tests, written and read back with libtiff.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/FaxPages.h"
#include "support/TempFolder.h"

// Pixel rows, top row first; true = black.
using Page = std::vector<std::vector<bool>>;

// Writes a two-colour TIFF with libtiff: pages of width x height, black where
// paint answers true; compression a libtiff code (4: Group 4, 3: Group 3);
// 204 dots per inch across, yres down.
void WriteBilevelTiff(const std::string& path, int width, int height, int pages,
                      std::uint16_t compression, const Painter& paint, double yres = 196.0);
// Page `page` of a TIFF read back with libtiff, honouring its photometric tag.
[[nodiscard]] Page ReadPage(const std::string& path, int page);
[[nodiscard]] int CountPages(const std::string& path);
// A tag's value (its default when unset) on page `page`; -1 when it cannot be read.
[[nodiscard]] double TagOf(const std::string& path, int page, std::uint32_t tag);
void WriteText(const std::string& path, const std::string& text);
[[nodiscard]] std::string ReadText(const std::string& path);
[[nodiscard]] bool Exists(const std::string& path);
// Black pixels inside [x0, x1) x [y0, y1).
[[nodiscard]] long InkIn(const Page& page, int x0, int y0, int x1, int y1);
