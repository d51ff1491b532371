#pragma once

#include <QCoreApplication>
#include <QImage>
#include <QSize>
#include <QString>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class PdfPlugin;

// The pages of the documents a preview shows, in the order given: every page
// of a TIFF file or picture that Qt's image reader takes, every page of a PDF
// document where the PDF plug-in loads. A document that cannot be shown
// stands as one note page that says why.
class PreviewPages {
    Q_DECLARE_TR_FUNCTIONS(PreviewPages)

  public:
    struct Page {
        std::string file;
        int index = 0;     // page within its file
        QString note;      // non-empty: this page is a note, not a picture
        int document = 0;  // which of the given files, from 0
    };
    // One of the given files: where its pages begin and how many it has
    // (0 when it is shown as a note).
    struct Document {
        std::string file;
        int firstPage = 0;
        int pages = 0;
    };

    explicit PreviewPages(const std::vector<std::string>& files);
    // PDF documents through pdf (which must outlive this) instead of the
    // program's plug-in.
    PreviewPages(const std::vector<std::string>& files, const PdfPlugin& pdf);
    ~PreviewPages();
    PreviewPages(const PreviewPages&) = delete;
    PreviewPages& operator=(const PreviewPages&) = delete;

    [[nodiscard]] int count() const { return static_cast<int>(pages_.size()); }
    [[nodiscard]] const std::vector<Document>& documents() const { return documents_; }
    // "Document 2 of 3: letter.pdf, 4 pages" for the document of a page.
    [[nodiscard]] QString DocumentLine(int index) const;
    [[nodiscard]] const Page& at(int index) const {
        return pages_.at(static_cast<std::size_t>(index));
    }
    // Size of the page at 100 %: a picture's pixels with its pixel aspect made
    // square (fax pages have fewer rows than columns per inch); a PDF page at
    // screen resolution. Empty for a note.
    [[nodiscard]] QSize NaturalSize(int index) const;
    // The page drawn width pixels wide, keeping its proportions; null for a
    // note or a page that can no longer be read.
    [[nodiscard]] QImage Render(int index, int width) const;

    // Whether PDF documents are shown: loads the PDF plug-in on the first ask.
    [[nodiscard]] static bool PdfSupported();
    // The pages of a TIFF file or a PDF document (where the PDF plug-in
    // loads); nullopt for a file whose pages cannot be counted here.
    [[nodiscard]] static std::optional<int> CountPages(const std::string& file);
    [[nodiscard]] static std::optional<int> CountPages(const std::string& file,
                                                       const PdfPlugin& pdf);

  private:
    void Add(const std::string& file);
    void AddNote(const std::string& file, const QString& note);
    struct PdfFile;
    [[nodiscard]] PdfFile* Pdf(const std::string& file) const;

    std::vector<Page> pages_;
    std::vector<Document> documents_;
    [[nodiscard]] QImage Decode(int index) const;

    mutable std::vector<QSize> sizes_;
    // The picture last decoded, so that sizing and drawing a page read it once.
    mutable int decodedIndex_ = -1;
    mutable QImage decoded_;
    const PdfPlugin* pdf_;
    mutable std::map<std::string, std::unique_ptr<PdfFile>> pdfs_;
};
