#include "controls/Look.h"

#include <QFontMetrics>
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
    QFontMetrics fm(widget.font());
    // The average width of the Latin letters and the line height are the
    // horizontal and vertical base units: 4 and 8 dialog units.
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    int baseX = (fm.horizontalAdvance(letters) / 26 + 1) / 2;
    int baseY = fm.height();
    return QSize(x * baseX / 4, y * baseY / 8);
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
