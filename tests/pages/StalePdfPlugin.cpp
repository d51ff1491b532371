// A PDF plug-in of another version, missing functions a caller would crash on.
#include "pages/preview_pdf/PreviewPdf.h"

const PreviewPdfApi* corvinaport_preview_pdf() {
    static const PreviewPdfApi table{
        kPreviewPdfVersion + 1, nullptr, nullptr, nullptr, nullptr, nullptr};
    return &table;
}
