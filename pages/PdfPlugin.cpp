#include "pages/PdfPlugin.h"

#include <utility>

PdfPlugin::PdfPlugin(std::string library) : library_(std::move(library)) {}

const PdfPlugin& PdfPlugin::ForRun() {
    static const PdfPlugin run(kLibraryName);
    return run;
}

const PreviewPdfApi* PdfPlugin::Api() const {
    std::call_once(once_, [this] {
        loaded_ = DynamicLibrary::OpenForRun(library_);
        using Entry = const PreviewPdfApi* (*)();
        const auto entry = loaded_.Function<Entry>(kPreviewPdfEntry);
        const PreviewPdfApi* api = entry ? entry() : nullptr;
        // A plug-in of another make has another table: not one entry is called.
        if (api && api->version == kPreviewPdfVersion) api_ = api;
    });
    return api_;
}

PdfPlugin::Document PdfPlugin::Open(const std::string& path) const {
    Document document;
    if (const PreviewPdfApi* api = Api())
        document.handle_ =
            decltype(document.handle_)(api->open(path.c_str()), Document::Closer{api});
    return document;
}

int PdfPlugin::Document::PageCount() const {
    return handle_ ? handle_.get_deleter().api->pageCount(handle_.get()) : 0;
}

QSizeF PdfPlugin::Document::PagePointSize(int page) const {
    double width = 0, height = 0;
    if (!handle_ || !handle_.get_deleter().api->pageSize(handle_.get(), page, &width, &height))
        return {};
    return {width, height};
}

QImage PdfPlugin::Document::Render(int page, QSize size) const {
    if (!handle_) return {};
    return handle_.get_deleter().api->render(handle_.get(), page, size.width(), size.height());
}
