#include "pages/PreviewPages.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <vector>

#include "pages/PdfPlugin.h"
#include "wizard/outbox/core/OutboxEntries.h"

namespace {

QByteArray Head(const std::string& file) {
    QFile f(QString::fromStdString(file));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.read(8);
}

bool IsTiff(const QByteArray& head) {
    return head.startsWith(QByteArray("II*\0", 4)) || head.startsWith(QByteArray("MM\0*", 4));
}

// The pages of a TIFF file, by following its chain of directories without
// reading them (Qt's reader reads every page's directory to count them).
std::optional<int> TiffPages(const std::string& file) {
    const int pages = CountDocumentPages(file);
    return pages > 0 ? std::optional<int>(pages) : std::nullopt;
}

// A two-colour page made factor times smaller in one pass over its bits: each
// grey dot tells how many of the page's dots under it are black, so thin
// strokes stay visible. Much faster than converting the whole page to grey
// first, which matters for pages as large as a fax page.
QImage ReduceBilevel(const QImage& page, int factor) {
    const int width = page.width() / factor, height = page.height() / factor;
    QImage grey(width, height, QImage::Format_Grayscale8);
    if (grey.isNull()) return grey;
    const bool lsb = page.format() == QImage::Format_MonoLSB;
    const int blackIndex = page.colorCount() > 1 && qGray(page.color(1)) < qGray(page.color(0));
    const int area = factor * factor;
    const uchar whiteByte = blackIndex == 1 ? 0x00 : 0xFF;
    std::vector<int> black(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        std::fill(black.begin(), black.end(), 0);
        for (int row = y * factor; row < (y + 1) * factor; ++row) {
            const uchar* bits = page.constScanLine(row);
            // A fax page is mostly white: bytes of eight white dots are passed
            // over whole.
            const int used = width * factor;
            for (int x = 0; x < used; x += 8) {
                const uchar byte = bits[x >> 3];
                if (byte == whiteByte) continue;
                for (int k = x; k < std::min(x + 8, used); ++k) {
                    const int bit = lsb ? (byte >> (k & 7)) & 1 : (byte >> (7 - (k & 7))) & 1;
                    black[static_cast<std::size_t>(k / factor)] += bit == blackIndex;
                }
            }
        }
        uchar* out = grey.scanLine(y);
        for (int x = 0; x < width; ++x)
            out[x] = static_cast<uchar>(255 - 255 * black[static_cast<std::size_t>(x)] / area);
    }
    return grey;
}

// Screen pixels per PDF point at 100 %.
constexpr double kPdfPixelsPerPoint = 96.0 / 72.0;

}  // namespace

struct PreviewPages::PdfFile {
    PdfPlugin::Document document;
};

PreviewPages::PreviewPages(const std::vector<std::string>& files)
    : PreviewPages(files, PdfPlugin::ForRun()) {}

PreviewPages::PreviewPages(const std::vector<std::string>& files, const PdfPlugin& pdf)
    : pdf_(&pdf) {
    for (const std::string& file : files) {
        const int first = count();
        documents_.push_back(Document{file, first, 0});
        Add(file);
        Document& added = documents_.back();
        for (int i = first; i < count(); ++i) {
            pages_[static_cast<std::size_t>(i)].document = static_cast<int>(documents_.size()) - 1;
            if (pages_[static_cast<std::size_t>(i)].note.isEmpty()) ++added.pages;
        }
    }
    if (pages_.empty()) AddNote({}, tr("There is nothing to preview yet."));
}

QString PreviewPages::DocumentLine(int index) const {
    if (index < 0 || index >= count() || documents_.empty()) return {};
    const int which = at(index).document;
    const Document& d = documents_.at(static_cast<std::size_t>(which));
    const QString name = QFileInfo(QString::fromStdString(d.file)).fileName();
    const QString pages = d.pages == 1  ? tr("1 page")
                          : d.pages > 1 ? tr("%1 pages").arg(d.pages)
                                        : tr("pages not known");
    return tr("Document %1 of %2: %3, %4")
        .arg(which + 1)
        .arg(static_cast<int>(documents_.size()))
        .arg(name, pages);
}

std::optional<int> PreviewPages::CountPages(const std::string& file) {
    return CountPages(file, PdfPlugin::ForRun());
}

std::optional<int> PreviewPages::CountPages(const std::string& file, const PdfPlugin& pdf) {
    const QByteArray head = Head(file);
    if (head.startsWith("%PDF-")) {
        const PdfPlugin::Document document = pdf.Open(file);
        const int pages = document.PageCount();
        return pages > 0 ? std::optional<int>(pages) : std::nullopt;
    }
    if (!IsTiff(head)) return std::nullopt;
    QImageReader reader(QString::fromStdString(file));
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead() || !reader.size().isValid()) return std::nullopt;
    return TiffPages(file);
}

PreviewPages::~PreviewPages() = default;

bool PreviewPages::PdfSupported() { return PdfPlugin::ForRun().Loaded(); }

void PreviewPages::AddNote(const std::string& file, const QString& note) {
    pages_.push_back(Page{file, 0, note});
    sizes_.emplace_back();
}

void PreviewPages::Add(const std::string& file) {
    const QString name = QFileInfo(QString::fromStdString(file)).fileName();
    if (!QFileInfo(QString::fromStdString(file)).isFile()) {
        AddNote(file, tr("The document %1 is missing.").arg(name));
        return;
    }
    const QByteArray head = Head(file);
    if (head.startsWith("%PDF-")) {
        if (!pdf_->Loaded()) {
            AddNote(file, tr("%1 is a PDF document; this program cannot show PDF documents. "
                             "The service converts it into fax pages when the fax is sent.")
                              .arg(name));
            return;
        }
        const PdfFile* pdf = Pdf(file);
        const int pages = pdf ? pdf->document.PageCount() : 0;
        if (pages <= 0) {
            AddNote(file, tr("The PDF document %1 cannot be read.").arg(name));
            return;
        }
        for (int i = 0; i < pages; ++i) {
            pages_.push_back(Page{file, i, {}});
            sizes_.emplace_back();
        }
        return;
    }
    if (IsTiff(head) && !QImageReader::supportedImageFormats().contains("tiff")) {
        AddNote(file, tr("%1 is a TIFF picture, but Qt's TIFF reader is not installed "
                         "(package qt6-image-formats-plugins).")
                          .arg(name));
        return;
    }
    QImageReader reader(QString::fromStdString(file));
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead()) {
        AddNote(file, tr("Documents like %1 cannot be shown here; the service converts it into "
                         "fax pages when the fax is sent.")
                          .arg(name));
        return;
    }
    // Every page of a TIFF file; other pictures have one.
    const int pages = reader.format() == "tiff" ? TiffPages(file).value_or(0) : 1;
    if (pages <= 0 || !reader.size().isValid()) {
        AddNote(file, tr("The picture %1 cannot be read.").arg(name));
        return;
    }
    for (int i = 0; i < pages; ++i) {
        pages_.push_back(Page{file, i, {}});
        sizes_.emplace_back();
    }
}

PreviewPages::PdfFile* PreviewPages::Pdf(const std::string& file) const {
    auto found = pdfs_.find(file);
    if (found != pdfs_.end()) return found->second.get();
    auto pdf = std::make_unique<PdfFile>(PdfFile{pdf_->Open(file)});
    if (!pdf->document) pdf.reset();
    return pdfs_.emplace(file, std::move(pdf)).first->second.get();
}

QImage PreviewPages::Decode(int index) const {
    if (index != decodedIndex_) {
        const Page& page = at(index);
        QImageReader reader(QString::fromStdString(page.file));
        reader.setDecideFormatFromContent(true);
        decoded_ = page.index > 0 && !reader.jumpToImage(page.index) ? QImage() : reader.read();
        decodedIndex_ = index;
    }
    return decoded_;
}

QSize PreviewPages::NaturalSize(int index) const {
    if (index < 0 || index >= count() || !at(index).note.isEmpty()) return {};
    QSize& size = sizes_[static_cast<std::size_t>(index)];
    if (size.isValid()) return size;
    const Page& page = at(index);
    if (PdfFile* pdf = Head(page.file).startsWith("%PDF-") ? Pdf(page.file) : nullptr) {
        const QSizeF points = pdf->document.PagePointSize(page.index);
        size = (points * kPdfPixelsPerPoint).toSize();
        return size;
    }
    const QImage image = Decode(index);
    if (image.isNull()) return {};
    size = image.size();
    // A fax page of 204 x 98 dots per inch is drawn twice as high as its rows.
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0)
        size.setHeight(static_cast<int>(static_cast<long long>(size.height()) *
                                        image.dotsPerMeterX() / image.dotsPerMeterY()));
    return size;
}

QImage PreviewPages::Render(int index, int width) const {
    const QSize natural = NaturalSize(index);
    if (natural.isEmpty() || width <= 0) return {};
    const int height =
        static_cast<int>(static_cast<long long>(natural.height()) * width / natural.width());
    if (height <= 0) return {};
    const Page& page = at(index);
    if (PdfFile* pdf = Head(page.file).startsWith("%PDF-") ? Pdf(page.file) : nullptr) {
        QImage drawn = pdf->document.Render(page.index, QSize(width, height));
        if (!drawn.isNull()) {
            // Pages without a background of their own are shown on white.
            QImage paper(drawn.size(), QImage::Format_RGB32);
            paper.fill(Qt::white);
            QPainter(&paper).drawImage(0, 0, drawn);
            return paper;
        }
        return drawn;
    }
    QImage image = Decode(index);
    if (image.isNull()) return {};
    // Two-colour pages are scaled in grey so that thin strokes stay visible.
    if (image.depth() == 1) {
        const int factor = std::min(image.width() / width, image.height() / std::max(1, height));
        image = factor >= 2 ? ReduceBilevel(image, factor)
                            : image.convertToFormat(QImage::Format_Grayscale8);
    }
    return image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}
