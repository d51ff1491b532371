#pragma once

#include <QImage>
#include <QSize>
#include <QSizeF>
#include <memory>
#include <mutex>
#include <string>

#include "base/DynamicLibrary.h"
#include "pages/preview_pdf/PreviewPdf.h"

// The PDF plug-in (libpreview_pdf.so, beside the program's other run-time
// libraries), loaded when it is first asked for and kept for the run. One
// that is missing, lacks its entry point or is of another version is refused:
// then no PDF document opens.
class PdfPlugin {
  public:
    static constexpr const char* kLibraryName = "libpreview_pdf.so";

    // Loads nothing yet: library is a bare name (found on the program's run
    // path) or a path.
    explicit PdfPlugin(std::string library);
    PdfPlugin(const PdfPlugin&) = delete;
    PdfPlugin& operator=(const PdfPlugin&) = delete;

    // The program's plug-in, loaded at most once per process.
    [[nodiscard]] static const PdfPlugin& ForRun();

    // Whether PDF documents can be opened; loads the plug-in on the first ask.
    [[nodiscard]] bool Loaded() const { return Api() != nullptr; }

    // An open PDF document, closed when it goes; null when it could not be
    // opened.
    class Document {
      public:
        [[nodiscard]] explicit operator bool() const { return handle_ != nullptr; }
        [[nodiscard]] int PageCount() const;
        // In points; empty for a page it does not have.
        [[nodiscard]] QSizeF PagePointSize(int page) const;
        // The page drawn at size; null on failure.
        [[nodiscard]] QImage Render(int page, QSize size) const;

      private:
        friend class PdfPlugin;
        struct Closer {
            const PreviewPdfApi* api;
            void operator()(PreviewPdfDocument* document) const { api->close(document); }
        };
        std::unique_ptr<PreviewPdfDocument, Closer> handle_;
    };
    // The document at path (loading the plug-in on first use).
    [[nodiscard]] Document Open(const std::string& path) const;

  private:
    [[nodiscard]] const PreviewPdfApi* Api() const;

    std::string library_;
    mutable std::once_flag once_;
    mutable DynamicLibrary loaded_;
    mutable const PreviewPdfApi* api_ = nullptr;
};
