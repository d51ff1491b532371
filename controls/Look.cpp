#include "controls/Look.h"

#include <QFontMetrics>
#include <QHash>
#include <QLayout>
#include <QPainter>
#include <QWidget>
#include <algorithm>

#include "controls/ColorLabel.h"

namespace look {

void StyleTitle(ColorLabel& label) {
    label.SetFontName(kFace);
    label.SetFontSize(10);
    label.SetTextColor(kTitleText);
    label.SetBkColor(kPageBackground);
    label.SetFontBold(true);
}

void StyleLabel(ColorLabel& label) {
    label.SetFontName(kFace);
    label.SetFontSize(9);
    label.SetTextColor(kLabelText);
    label.SetBkColor(kPanel);
    label.SetFontBold(true);
}

QSize DialogUnits(const QWidget& widget, int x, int y) {
    // The average width of the Latin letters and the line height are the
    // horizontal and vertical base units: 4 and 8 dialog units. Measured once
    // a font: a window lays out dozens of controls in the same one. Widgets
    // live on the interface thread only; a thread-local table would register
    // its end under the loader's lock, and wait there for a library being
    // loaded ahead.
    static QHash<QString, QSize> measured;
    const QFont& font = widget.font();
    const QString key = font.key();
    auto found = measured.constFind(key);
    if (found == measured.constEnd()) {
        const QFontMetrics fm(font);
        const QString letters =
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        found =
            measured.insert(key, QSize((fm.horizontalAdvance(letters) / 26 + 1) / 2, fm.height()));
    }
    return QSize(x * found->width() / 4, y * found->height() / 8);
}

QRect PanelRect(const QWidget& page, const QWidget& topAnchor, const QWidget& bottomAnchor,
                int bottomFrames) {
    QRect top(topAnchor.mapTo(&page, QPoint(0, 0)), topAnchor.size());
    QRect bottom(bottomAnchor.mapTo(&page, QPoint(0, 0)), bottomAnchor.size());
    int margin = 3 * kFrame;
    QRect r;
    r.setLeft(top.left() - margin);
    r.setTop(top.top() - 2 * kFrame);
    r.setBottom(bottom.bottom() + bottomFrames * kFrame);
    // The page's controls start at the left margin of its layout; the panel
    // keeps the same distance from the right edge, and always covers the
    // bottom anchor.
    int pageMargin = page.layout() ? page.layout()->contentsMargins().right() : margin;
    r.setRight(std::max(bottom.right() + margin, page.width() - 1 - pageMargin + margin));
    return r;
}

void PaintPage(QPainter& p, const QWidget& page, const QRect& panel) {
    p.fillRect(page.rect(), kPageBackground);
    p.fillRect(panel, kPanel);
}

}  // namespace look
