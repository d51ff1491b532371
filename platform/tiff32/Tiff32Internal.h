#pragma once

// What the parts of libtiff32.so share: the last error and opening files.

#include <tiffio.h>

#include <memory>
#include <string>

#include "base/FileReplace.h"
#include "platform/tiff32/Tiff32.h"

namespace tiff32 {

// Why the last call of this thread failed.
extern thread_local std::string g_lastError;

template <typename T>
T Fail(T result, const std::string& why) {
    g_lastError = why;
    return result;
}

struct TiffCloser {
    void operator()(TIFF* tif) const {
        if (tif != nullptr) TIFFClose(tif);
    }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

// libtiff's errors go to g_lastError; damaged files cannot ask for huge blocks.
TiffPtr OpenTiff(const std::string& path, const char* mode);

bool ValidPath(const char* path);

// Writes a TIFF into the file that will replace its target; libtiff closes
// its own descriptor, the replacement keeps its own for the commit.
TiffPtr OpenTiffWriting(const ReplacementFile& file, const char* mode);

bool IsCcitt(uint16_t compression);

}  // namespace tiff32
