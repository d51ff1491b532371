#include "res/Resources.h"

#include <QCoreApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <algorithm>

namespace res {

const char* String(int id) {
    switch (id) {
        case IDS_ABOUTBOX:
            return QT_TRANSLATE_NOOP("Message", "&About Send a Fax - Corvinaport...");
        case IDS_APP_TITLE:
            return QT_TRANSLATE_NOOP("Message", "Send a Fax - Corvinaport");
        case IDS_SOCKETS_INIT_FAILED:
            return QT_TRANSLATE_NOOP("Message", "Windows sockets initialization failed.");
        default:
            return "";
    }
}

namespace {

// A sheet of paper with text lines, drawn at (x, y) with width w.
void DrawPaper(QPainter& p, qreal x, qreal y, qreal w, qreal h, const QColor& ink) {
    QPainterPath sheet;
    qreal fold = w / 5;
    sheet.moveTo(x, y);
    sheet.lineTo(x + w - fold, y);
    sheet.lineTo(x + w, y + fold);
    sheet.lineTo(x + w, y + h);
    sheet.lineTo(x, y + h);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(90, 110, 140), 1.2));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    p.setPen(QPen(ink, 1.5));
    for (qreal ly = y + fold + 6; ly < y + h - 6; ly += 7)
        p.drawLine(QPointF(x + 6, ly), QPointF(x + w - 8, ly));
}

QPixmap SidePicture(int id, QSize size) {
    // Drawn on 130 x 276 (87 x 170 dialog units of the page font), scaled as
    // a whole to cover the size asked for: scaling the finished picture
    // afterwards took longer than drawing it.
    constexpr int kWidth = 130, kHeight = 276;
    if (size.isEmpty()) size = QSize(kWidth, kHeight);
    const qreal scale = std::max(qreal(size.width()) / kWidth, qreal(size.height()) / kHeight);
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    QLinearGradient g(0, 0, 0, kHeight);
    g.setColorAt(0, QColor(0, 102, 153));
    g.setColorAt(1, QColor(224, 240, 255));
    p.fillRect(QRectF(0, 0, kWidth, kHeight), g);
    // A band of the title colour, then a motif that tells the pages apart.
    p.fillRect(QRectF(0, 236, 130, 8), QColor(204, 51, 0));
    switch (id) {
        case IDB_RECIPIENTS_SIDE: {  // people to send to
            p.setPen(Qt::NoPen);
            for (int i = 0; i < 3; ++i) {
                qreal cx = 30 + i * 35, cy = 90 + (i % 2) * 30;
                p.setBrush(i == 1 ? QColor(204, 51, 0) : QColor(255, 255, 255));
                p.drawEllipse(QPointF(cx, cy), 11, 11);
                p.drawRoundedRect(QRectF(cx - 16, cy + 14, 32, 34), 10, 10);
            }
            break;
        }
        case IDB_DOCUMENT_SIDE:  // a stack of documents
            DrawPaper(p, 40, 60, 60, 80, QColor(0, 102, 153));
            DrawPaper(p, 28, 80, 60, 80, QColor(0, 102, 153));
            DrawPaper(p, 16, 100, 60, 80, QColor(204, 51, 0));
            break;
        case IDB_SCHEDULE_SIDE: {  // a clock and a sheet leaving
            p.setPen(QPen(Qt::white, 4));
            p.setBrush(QColor(0, 102, 153));
            p.drawEllipse(QPointF(65, 90), 40, 40);
            p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(65, 90), QPointF(65, 62));
            p.drawLine(QPointF(65, 90), QPointF(88, 100));
            DrawPaper(p, 40, 150, 50, 66, QColor(204, 51, 0));
            break;
        }
        default:
            return {};
    }
    return pm;
}

QPixmap DrawIcon(int id) {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor blue(0, 102, 153), red(204, 51, 0);
    switch (id) {
        case IDI_PROGRAM:  // a fax machine with a sheet coming out
            DrawPaper(p, 9, 2, 14, 16, blue);
            p.setPen(QPen(QColor(40, 40, 60), 1.2));
            p.setBrush(QColor(200, 210, 225));
            p.drawRoundedRect(QRectF(2, 14, 28, 15), 3, 3);
            p.setBrush(red);
            p.drawRect(QRectF(6, 18, 8, 4));
            p.setBrush(blue);
            for (int i = 0; i < 3; ++i) p.drawEllipse(QPointF(19 + i * 4, 24), 1.3, 1.3);
            break;
        case IDI_ADDRESS_BOOK:  // a closed book with a tab
            p.setPen(QPen(QColor(30, 50, 80), 1.2));
            p.setBrush(blue);
            p.drawRoundedRect(QRectF(6, 3, 20, 26), 2, 2);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(10, 8, 12, 6));
            p.setBrush(red);
            p.drawRect(QRectF(26, 8, 4, 6));
            break;
        case IDI_ARROW_LEFT:
        case IDI_ARROW_RIGHT: {
            QPainterPath arrow;
            arrow.moveTo(4, 12);
            arrow.lineTo(18, 12);
            arrow.lineTo(18, 5);
            arrow.lineTo(29, 16);
            arrow.lineTo(18, 27);
            arrow.lineTo(18, 20);
            arrow.lineTo(4, 20);
            arrow.closeSubpath();
            if (id == IDI_ARROW_LEFT) {
                p.translate(32, 0);
                p.scale(-1, 1);
            }
            p.setPen(QPen(QColor(30, 50, 80), 1.2));
            p.setBrush(id == IDI_ARROW_LEFT ? red : blue);
            p.drawPath(arrow);
            break;
        }
        default:
            return {};
    }
    return pm;
}

}  // namespace

QPixmap Bitmap(int id, QSize size) { return SidePicture(id, size); }

QPixmap IconPixmap(int id) {
    // Drawn once: every window of the program carries the program's icon.
    const QString key = QStringLiteral("res-icon-%1").arg(id);
    QPixmap pm;
    if (QPixmapCache::find(key, &pm)) return pm;
    pm = DrawIcon(id);
    if (!pm.isNull()) QPixmapCache::insert(key, pm);
    return pm;
}

QIcon Icon(int id) {
    QPixmap pm = IconPixmap(id);
    return pm.isNull() ? QIcon() : QIcon(pm);
}

}  // namespace res
