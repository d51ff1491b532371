// Draws the cover-sheet template and the sample logo images.
//
//   cover-artwork <output folder>
//
// writes Template.tif (one bilevel fax page, 1728 x 2156 pixels at 204 x 196
// dpi, CCITT Group 3) and a few sample logos (*.bmp, one bit per pixel).
// The template leaves the value column free: the composer draws the values
// (text top-left corner) at these positions:
//   company 225,273  recipient 225,338  sender 225,391  date 225,459
//   pages 225,509    subject 225,571    memo 124,678 (up to 14 lines)
// and centres the logo in the band y = 100..500 (at most 1500 x 400).
#include <tiffio.h>
#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QString>

#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <string>

namespace {

constexpr int kPageWidth = 1728;
constexpr int kPageHeight = 2156;  // 11 inches at 196 lines per inch
constexpr int kLabelRight = 205;   // labels end left of the value column (x = 225)
constexpr int kValueX = 225;
constexpr int kRuleRight = 1640;
// Nominal height of one value line (16 points at 196 dpi) and its baseline.
constexpr int kValueBaseline = 40;

QFont Face(int pixelSize, bool bold) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

QImage Canvas(int width, int height) {
    QImage image(width, height, QImage::Format_Grayscale8);
    image.fill(Qt::white);
    return image;
}

// Threshold to one bit: index 0 white, index 1 black.
QImage ToBilevel(const QImage& gray) {
    QImage mono(gray.width(), gray.height(), QImage::Format_Mono);
    mono.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    mono.fill(0);
    for (int y = 0; y < gray.height(); ++y) {
        const uchar* row = gray.constScanLine(y);
        for (int x = 0; x < gray.width(); ++x)
            if (row[x] < 128) mono.setPixel(x, y, 1);
    }
    return mono;
}

struct TiffCloser {
    void operator()(TIFF* tif) const {
        if (tif != nullptr) TIFFClose(tif);
    }
};

bool WriteFaxTiff(const QImage& mono, const std::string& path) {
    std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpen(path.c_str(), "w"));
    if (!tif) return false;
    TIFF* t = tif.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(mono.width()));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(mono.height()));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
    TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, 0);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(mono.height()));
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, 204.0f);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, 196.0f);
    TIFFSetField(t, TIFFTAG_SOFTWARE, "corvinaport cover-artwork");
    const auto rowBytes = static_cast<size_t>((mono.width() + 7) / 8);
    for (int y = 0; y < mono.height(); ++y) {
        // Format_Mono rows are MSB first with 1 = black, as MINISWHITE wants.
        auto* row = const_cast<uchar*>(mono.constScanLine(y));
        if (TIFFWriteScanline(t, row, static_cast<uint32_t>(y), 0) < 0) return false;
    }
    (void)rowBytes;
    return TIFFWriteDirectory(t) != 0;
}

void Label(QPainter& p, int valueY, const QString& text) {
    p.setFont(Face(27, true));
    const QFontMetrics fm(p.font());
    const int width = fm.horizontalAdvance(text);
    p.drawText(kLabelRight - width, valueY + kValueBaseline, text);
}

void Rule(QPainter& p, int valueY) {
    const int y = valueY + kValueBaseline + 8;
    p.fillRect(QRect(kValueX - 6, y, kRuleRight - kValueX + 6, 2), Qt::black);
}

QImage DrawTemplate() {
    QImage page = Canvas(kPageWidth, kPageHeight);
    QPainter p(&page);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setPen(Qt::black);

    // Frame: a heavy outer line with a thin inner line.
    p.fillRect(QRect(24, 24, kPageWidth - 48, 5), Qt::black);
    p.fillRect(QRect(24, kPageHeight - 29, kPageWidth - 48, 5), Qt::black);
    p.fillRect(QRect(24, 24, 5, kPageHeight - 48), Qt::black);
    p.fillRect(QRect(kPageWidth - 29, 24, 5, kPageHeight - 48), Qt::black);
    p.fillRect(QRect(38, 38, kPageWidth - 76, 1), Qt::black);
    p.fillRect(QRect(38, kPageHeight - 39, kPageWidth - 76, 1), Qt::black);
    p.fillRect(QRect(38, 38, 1, kPageHeight - 76), Qt::black);
    p.fillRect(QRect(kPageWidth - 39, 38, 1, kPageHeight - 76), Qt::black);

    // Heading: a black bar above the logo band with "FAX" in white.
    const QRect bar(48, 46, kPageWidth - 96, 50);
    p.fillRect(bar, Qt::black);
    p.setPen(Qt::white);
    QFont heading = Face(44, true);
    heading.setLetterSpacing(QFont::AbsoluteSpacing, 14);
    p.setFont(heading);
    p.drawText(bar.adjusted(22, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("FAX"));
    p.setFont(Face(24, true));
    p.drawText(bar.adjusted(0, 0, -22, 0), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("COVER SHEET"));
    p.setPen(Qt::black);

    // Field labels. Rows inside the logo band (y < 500) get no rule, because a
    // logo is copied over the band opaquely; the label column stays clear of
    // logos up to three times as wide as high.
    Label(p, 273, QStringLiteral("Company:"));
    Label(p, 338, QStringLiteral("To:"));
    Label(p, 391, QStringLiteral("From:"));
    Label(p, 459, QStringLiteral("Date:"));
    Label(p, 509, QStringLiteral("Pages:"));
    Label(p, 571, QStringLiteral("Subject:"));
    Rule(p, 459);
    Rule(p, 509);
    Rule(p, 571);
    // A thin separator between the label column and the values.
    p.fillRect(QRect(kLabelRight + 8, 262, 2, 571 + kValueBaseline + 10 - 262), Qt::black);

    // Memo box: fourteen lines from y = 678 at x = 124, sixty characters wide.
    const QRect memo(100, 640, kPageWidth - 200, 760);
    p.fillRect(QRect(memo.left(), memo.top(), memo.width(), 3), Qt::black);
    p.fillRect(QRect(memo.left(), memo.bottom() - 2, memo.width(), 3), Qt::black);
    p.fillRect(QRect(memo.left(), memo.top(), 3, memo.height()), Qt::black);
    p.fillRect(QRect(memo.right() - 2, memo.top(), 3, memo.height()), Qt::black);
    p.setFont(Face(22, true));
    p.fillRect(QRect(memo.right() - 150, memo.top(), 150, 34), Qt::black);
    p.setPen(Qt::white);
    p.drawText(QRect(memo.right() - 150, memo.top(), 150, 34), Qt::AlignCenter,
               QStringLiteral("MEMO"));
    p.setPen(Qt::black);
    // Light guide dots under each memo line.
    for (int line = 1; line <= 14; ++line) {
        const int y = 678 + line * 50 - 4;
        if (y >= memo.bottom() - 8) break;
        for (int x = 124; x < memo.right() - 24; x += 12) p.fillRect(QRect(x, y, 2, 2), Qt::black);
    }

    // Footer.
    p.fillRect(QRect(100, 1990, kPageWidth - 200, 2), Qt::black);
    p.setFont(Face(26, false));
    p.drawText(QRect(100, 2004, kPageWidth - 200, 40), Qt::AlignHCenter | Qt::AlignTop,
               QStringLiteral("If any page is missing or hard to read, please tell the sender."));
    p.setFont(Face(20, false));
    p.drawText(
        QRect(100, 2048, kPageWidth - 200, 34), Qt::AlignHCenter | Qt::AlignTop,
        QStringLiteral("The page count above is the number of pages following this cover sheet."));
    p.end();
    return ToBilevel(page);
}

// Logos: 1200 x 400 pixels, copied 1:1 by the composer into x = 264..1464,
// y = 100..500 of the page. The mark and the name sit in the right part and
// top strip so the values written from x = 225 stay readable.
using MarkPainter = void (*)(QPainter&, const QRectF&);

void RingsMark(QPainter& p, const QRectF& box) {
    p.setBrush(Qt::NoBrush);
    const QPointF c = box.center();
    for (int i = 0; i < 3; ++i) {
        const double r = box.width() / 2 - 14 - i * 42;
        p.setPen(QPen(Qt::black, 20));
        p.drawEllipse(c + QPointF(i * 16, 0), r, r);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawEllipse(c + QPointF(48, 0), 26, 26);
}

void TrianglesMark(QPainter& p, const QRectF& box) {
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    const double w = box.width(), h = box.height();
    const QPointF o = box.topLeft();
    p.drawPolygon(QPolygonF({o + QPointF(0, h), o + QPointF(w * 0.5, 0), o + QPointF(w, h)}));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF(
        {o + QPointF(w * 0.25, h), o + QPointF(w * 0.5, h * 0.5), o + QPointF(w * 0.75, h)}));
    p.setBrush(Qt::black);
    p.drawPolygon(QPolygonF(
        {o + QPointF(w * 0.375, h), o + QPointF(w * 0.5, h * 0.75), o + QPointF(w * 0.625, h)}));
}

void GridMark(QPainter& p, const QRectF& box) {
    p.setPen(Qt::NoPen);
    const double cell = box.width() / 3;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            const QRectF r(box.left() + col * cell + 8, box.top() + row * cell + 8, cell - 16,
                           cell - 16);
            p.setBrush(Qt::black);
            if ((row + col) % 2 == 0)
                p.drawRect(r);
            else
                p.drawEllipse(r.adjusted(10, 10, -10, -10));
        }
}

void HexagonMark(QPainter& p, const QRectF& box) {
    const QPointF c = box.center();
    auto hexagon = [&](double r) {
        QPolygonF poly;
        for (int i = 0; i < 6; ++i) {
            const double a = std::numbers::pi / 3 * i + std::numbers::pi / 6;
            poly << c + QPointF(r * std::cos(a), r * std::sin(a));
        }
        return poly;
    };
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawPolygon(hexagon(box.width() / 2));
    p.setBrush(Qt::white);
    p.drawPolygon(hexagon(box.width() / 2 - 26));
    p.setBrush(Qt::black);
    p.drawPolygon(hexagon(box.width() / 2 - 70));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(c.x() - 14, box.top(), 28, box.height()));
}

QImage DrawLogo(MarkPainter mark, const QString& name, const QString& line) {
    QImage logo = Canvas(1200, 400);
    QPainter p(&logo);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    mark(p, QRectF(880, 60, 280, 280));
    p.setPen(Qt::black);
    QFont word = Face(74, true);
    word.setLetterSpacing(QFont::AbsoluteSpacing, 6);
    p.setFont(word);
    p.drawText(QRect(300, 18, 550, 100), Qt::AlignRight | Qt::AlignVCenter, name);
    p.setFont(Face(28, false));
    p.drawText(QRect(300, 112, 550, 36), Qt::AlignRight | Qt::AlignVCenter, line);
    p.end();
    return ToBilevel(logo);
}

bool WriteBmp(const QImage& mono, const std::string& path) {
    return mono.save(QString::fromStdString(path), "BMP");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    std::string out = argv[1];
    if (!out.empty() && out.back() != '/') out += '/';

    bool ok = WriteFaxTiff(DrawTemplate(), out + "Template.tif");
    ok =
        WriteBmp(DrawLogo(RingsMark, QStringLiteral("ORVELLE"), QStringLiteral("survey & mapping")),
                 out + "Orvelle.bmp") &&
        ok;
    ok = WriteBmp(DrawLogo(TrianglesMark, QStringLiteral("TANRIDGE"),
                           QStringLiteral("builders since 1962")),
                  out + "Tanridge.bmp") &&
         ok;
    ok = WriteBmp(DrawLogo(GridMark, QStringLiteral("MOSSELY"), QStringLiteral("office supplies")),
                  out + "Mossely.bmp") &&
         ok;
    ok = WriteBmp(
             DrawLogo(HexagonMark, QStringLiteral("KELDRAN"), QStringLiteral("freight & storage")),
             out + "Keldran.bmp") &&
         ok;
    if (!ok) {
        std::fprintf(stderr, "cover-artwork: could not write the artwork into %s\n", out.c_str());
        return 1;
    }
    return 0;
}
