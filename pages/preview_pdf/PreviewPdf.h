#pragma once

#include <QImage>

// The PDF plug-in's interface: Qt PDF behind a small table of functions over
// an opaque document, so that the programs load Qt PDF (and the libraries it
// brings) only when a PDF document is first previewed.
// The table is that of kPreviewPdfVersion; a host refuses any other.
struct PreviewPdfDocument;

inline constexpr int kPreviewPdfVersion = 1;

struct PreviewPdfApi {
    int version;  // first, so that a table of any make can be checked
    // The document at a path in UTF-8; null when it cannot be read.
    PreviewPdfDocument* (*open)(const char* path);
    int (*pageCount)(const PreviewPdfDocument* document);
    // Page size in points (1/72 inch); false for a page it does not have.
    bool (*pageSize)(const PreviewPdfDocument* document, int page, double* width, double* height);
    // The page drawn width x height pixels; null on failure.
    QImage (*render)(PreviewPdfDocument* document, int page, int width, int height);
    void (*close)(PreviewPdfDocument* document);
};

// The plug-in's one entry point, looked up by this name.
inline constexpr const char* kPreviewPdfEntry = "corvinaport_preview_pdf";
extern "C" __attribute__((visibility("default"))) const PreviewPdfApi* corvinaport_preview_pdf();
