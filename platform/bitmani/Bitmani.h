#pragma once

/* libbitmani.so: bitmap conversion and combination. Every function accepts
 * null or malformed handles and answers with its failure value. */

#include "platform/dib_core/Dib.h"

#define BITMANI_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* A new one-bit copy of the bitmap (dark pixels black), or NULL. */
BITMANI_API HBITMAP ConvertToMonochromeBitmap(HBITMAP bitmap);

/* A new DIB of the bitmap (same bit count; a one-bit DIB gets the colour
 * table black, white), or NULL. flags must be 0. */
BITMANI_API HDIB ConvertBitmapToDIB(HBITMAP bitmap, uint32_t flags);

/* How CombineDIB draws the overlay. */
#define BITMANI_COMBINE_COPY 0u      /* every pixel, white included */
#define BITMANI_COMBINE_DARK_ONLY 1u /* dark pixels only: white lets the base show */

/* Draws overlay into *base with its top-left corner at (x, y), clipped to
 * the base image, as mode says; pixels are converted to the base's format.
 * *base may be replaced by a new block (the old one is then freed). Non-zero
 * on success; an unknown mode fails. */
BITMANI_API int32_t CombineDIB(int32_t x, int32_t y, HDIB* base, HDIB overlay, uint32_t mode,
                               uint32_t reserved);

/* Size in bytes of the colour table that follows the header; 0 for NULL. */
BITMANI_API uint32_t PaletteSize(const BITMAPINFOHEADER* header);

/* Stand-ins for the platform's drawing contexts. */

/* A bitmap with the given rows (top row first; stride bytes apart) copied in;
 * bitsPerPixel 1 or 32. NULL on bad arguments. */
BITMANI_API HBITMAP CreateBitmapFromBits(int32_t width, int32_t height, uint16_t bitsPerPixel,
                                         int32_t stride, const void* bits);

/* The whole source stretched into a new one-bit bitmap of width x height.
 * When shrinking, a target pixel is black if any source pixel it covers is
 * black, so thin dark lines survive. NULL on bad arguments. */
BITMANI_API HBITMAP StretchBitmap(HBITMAP source, int32_t width, int32_t height);

BITMANI_API void DeleteBitmapHandle(HBITMAP bitmap);
BITMANI_API void FreeDIB(HDIB dib);

#ifdef __cplusplus
}
#endif
