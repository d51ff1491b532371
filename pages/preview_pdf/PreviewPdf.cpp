#include "pages/preview_pdf/PreviewPdf.h"

#include <QPdfDocument>
#include <QSizeF>
#include <QString>
#include <memory>

struct PreviewPdfDocument {
    QPdfDocument document{nullptr};
};

namespace {

PreviewPdfDocument* Open(const char* path) {
    auto opened = std::make_unique<PreviewPdfDocument>();
    if (opened->document.load(QString::fromUtf8(path)) != QPdfDocument::Error::None) return nullptr;
    return opened.release();
}

int PageCount(const PreviewPdfDocument* document) { return document->document.pageCount(); }

bool PageSize(const PreviewPdfDocument* document, int page, double* width, double* height) {
    if (page < 0 || page >= document->document.pageCount()) return false;
    const QSizeF points = document->document.pagePointSize(page);
    *width = points.width();
    *height = points.height();
    return true;
}

QImage Render(PreviewPdfDocument* document, int page, int width, int height) {
    return document->document.render(page, QSize(width, height));
}

void Close(PreviewPdfDocument* document) { std::unique_ptr<PreviewPdfDocument> closed(document); }

constexpr PreviewPdfApi kApi{kPreviewPdfVersion, Open, PageCount, PageSize, Render, Close};

}  // namespace

const PreviewPdfApi* corvinaport_preview_pdf() { return &kApi; }
