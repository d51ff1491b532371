#pragma once

/* Device-independent bitmaps (DIBs) and bitmap handles shared by libtiff32.so
 * and libbitmani.so.
 *
 * A DIB is one heap block allocated with malloc(): a BITMAPINFOHEADER, then its
 * colour table (PaletteSize() bytes of RGBQUAD entries), then the pixel rows,
 * bottom row first, each row padded to a multiple of 4 bytes. An HDIB points at
 * the start of that block, so "locking" a DIB is using the pointer. Supported
 * bit counts are 1, 8, 24 and 32 with biCompression 0 (uncompressed RGB).
 * Release a DIB with FreeDIB() from libbitmani.so (or free()).
 *
 * A bitmap handle (HBITMAP) points at a BITMAPOBJECT: a small record followed
 * in the same block by its rows, top row first. One bit per pixel (most
 * significant bit first, 1 = white, 0 = black) or 32 bits per pixel (bytes blue,
 * green, red, unused). Release it with DeleteBitmapHandle() from libbitmani.so.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct tagBITMAPINFOHEADER {
    uint32_t biSize; /* 40 */
    int32_t biWidth;
    int32_t biHeight; /* positive: rows are stored bottom-up */
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression; /* 0 only */
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed; /* 0: the full table for the bit count */
    uint32_t biClrImportant;
} BITMAPINFOHEADER;

typedef struct tagRGBQUAD {
    uint8_t rgbBlue;
    uint8_t rgbGreen;
    uint8_t rgbRed;
    uint8_t rgbReserved;
} RGBQUAD;

typedef BITMAPINFOHEADER* HDIB;

typedef struct tagBITMAPOBJECT {
    int32_t bmWidth;
    int32_t bmHeight;
    int32_t bmWidthBytes; /* bytes per row, top row first */
    uint16_t bmPlanes;    /* 1 */
    uint16_t bmBitsPixel; /* 1 or 32 */
    uint8_t* bmBits;      /* the rows, inside the same block */
} BITMAPOBJECT;

typedef BITMAPOBJECT* HBITMAP;

#ifdef __cplusplus
}
#endif
