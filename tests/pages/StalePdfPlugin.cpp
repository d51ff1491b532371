// A PDF plug-in of another version: a host that called any of its entries
// would crash on the missing functions.
#include "pages/preview_pdf/PreviewPdf.h"

const PreviewPdfApi* corvinaport_preview_pdf() {
    static const PreviewPdfApi table{
        kPreviewPdfVersion + 1, nullptr, nullptr, nullptr, nullptr, nullptr};
    return &table;
}
