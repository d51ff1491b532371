#pragma once
// Large G3 fax documents that look printed, for the benchmarks.

#include <string>

#include "tests/support/FaxPages.h"

namespace bench {

// A fax page that looks like printed text: rows of word-like black runs.
inline bool TextLike(int page, int x, int y) {
    const int line = y / 48;
    if (y % 48 >= 30 || x < 120 || x > 1600) return false;
    const int word = (x + line * 37 + page * 11) / 90;
    return (x % 90) < 70 && ((word * 7 + line) % 5 != 0) && ((x / 3 + y / 2) % 4 != 0);
}

// pages copies of one G3 page of the given height, made quickly.
inline bool WritePages(const std::string& path, int pages, int height,
                       bool (*paint)(int, int, int)) {
    return WriteBilevelPages(path, {1728, height, pages, COMPRESSION_CCITTFAX3, 196.0, true},
                             paint);
}

}  // namespace bench
