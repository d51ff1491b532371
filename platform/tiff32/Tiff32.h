#pragma once

/* libtiff32.so: TIFF reading, page copying, text drawing into DIBs and a
 * tag-by-tag TIFF writer. Every function accepts null handles, bad indexes
 * and damaged files and answers with its failure value; GetTiffLastError()
 * then tells what went wrong. */

#include "platform/dib_core/Dib.h"

#define TIFF32_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* An output file opened by OpenTiffFile; NULL means failure. */
typedef struct Tiff32File* TIFFFILEHANDLE;

/* Called by EncodeTiffImage once per row, top row first: fill buffer with
 * the packed row (bytes per row of the general tags). Non-zero to go on. */
typedef int32_t (*TIFFROWPROC)(uint8_t* buffer, int32_t row, void* rowSource);

/* The general tags, passed by value. planesAndBits: low 16 bits the plane
 * count, high 16 bits the bit count (1, 8 or 24). */
typedef struct tagTIFFGENERALTAGS {
    uint32_t reserved0; /* 0 */
    uint32_t width;
    uint32_t height;
    uint32_t bytesPerRow; /* (bit count x width + 7) / 8 */
    uint32_t planesAndBits;
    uint32_t reserved5; /* 0 */
} TIFFGENERALTAGS;

/* Modes of CopyTiffImageInFile. */
#define TIFF32_COPY_APPEND 2
#define TIFF32_COPY_START 3
/* Mode of OpenTiffFile. */
#define TIFF32_OPEN_WRITE 2
/* What ModiTiffFileInfo changes. */
#define TIFF32_INFO_BYTE_ORDER 0
#define TIFF32_BYTE_ORDER_INTEL 0x4949u
#define TIFF32_BYTE_ORDER_MOTOROLA 0x4D4Du

/* Number of pages, or a negative value when the file is missing, not a TIFF
 * or damaged in its first directory. */
TIFF32_API int32_t GetNumberOfImagesInTiffFile(const char* path);

/* Copies page (from 0) of source to destination: mode 3 starts (replaces)
 * the destination with this page, mode 2 appends it. The image data are
 * copied as stored. Non-zero on success. */
TIFF32_API int32_t CopyTiffImageInFile(const char* source, int32_t page, const char* destination,
                                       int32_t mode);

/* Draws text (lines split at CR LF or LF) with its top-left corner at (x, y)
 * in the face (matched with fontconfig) at size points for the image's
 * resolution (204 x 196 dpi when the header holds none). Returns the DIB to use
 * from then on (here: dib itself), or NULL on failure (dib is left valid). */
TIFF32_API HDIB DIBTextOverlay(HDIB dib, int32_t x, int32_t y, const char* text, const char* face,
                               int32_t size);

/* First page of the file as a DIB: two-colour pages as one-bit DIBs with the
 * colour table black, white; other pages as 24-bit DIBs. NULL on failure. */
TIFF32_API HDIB LoadTiffIntoDIB(const char* path, int32_t reserved1, int32_t reserved2);

/* Writer. Use: OpenTiffFile, ModiTiffFileInfo, DefineTiffImage, the
 * Define... calls, EncodeTiffImage, DropTiffImage, CloseTiffFile. */
TIFF32_API TIFFFILEHANDLE OpenTiffFile(const char* path, int32_t mode);
TIFF32_API int32_t ModiTiffFileInfo(TIFFFILEHANDLE file, int32_t what, uint32_t value);
TIFF32_API int32_t DefineTiffImage(TIFFFILEHANDLE file); /* image index, negative on failure */
/* Values: SHORT (3) and LONG (4) as given; RATIONAL (5) as value / 1. */
TIFF32_API int32_t DefineTiffImageInfo(TIFFFILEHANDLE file, int32_t image, uint16_t tag,
                                       uint16_t type, uint32_t value);
/* ASCII (2): count bytes, terminator included; SHORT (3): uint16_t values;
 * LONG (4): uint32_t values; RATIONAL (5): uint32_t numerator, denominator
 * pairs. Non-zero on success. */
TIFF32_API int32_t DefineTiffImageInfoBuffer(TIFFFILEHANDLE file, int32_t image, uint16_t tag,
                                             const void* values, uint16_t type, uint32_t count);
TIFF32_API int32_t DefineGeneralTags(TIFFFILEHANDLE file, int32_t image,
                                     TIFFGENERALTAGS tags); /* 0 ok */
TIFF32_API int32_t EncodeTiffImage(TIFFFILEHANDLE file, int32_t image, void* rowSource,
                                   TIFFROWPROC proc);
TIFF32_API int32_t DropTiffImage(TIFFFILEHANDLE file, int32_t image);
TIFF32_API int32_t CloseTiffFile(TIFFFILEHANDLE file); /* non-zero when the file was finished */

/* The library's version text, at most size - 1 characters and a terminator;
 * answers its length. */
TIFF32_API int32_t GetTiffVersion(char* buffer, int32_t size);

/* Why the last failing call of this thread failed (size as above). */
TIFF32_API int32_t GetTiffLastError(char* buffer, int32_t size);

#ifdef __cplusplus
}
#endif
