#include "controls/IconButton.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include "res/Resources.h"

IconButton::IconButton(const QString& text, QWidget* parent, int controlId)
    : QPushButton(text, parent), controlId_(controlId) {
    wasDefault_ = isDefault();
    normalBk_ = hotBk_ = palette().color(QPalette::Button);
    normalText_ = hotText_ = palette().color(QPalette::ButtonText);
    setAttribute(Qt::WA_Hover);
    connect(this, &QPushButton::clicked, this, [this] { emit clickedId(controlId_); });
}

void IconButton::SetIcon(int hotIconId, int normalIconId) {
    QPixmap hot = res::IconPixmap(hotIconId);
    QPixmap normal = normalIconId ? res::IconPixmap(normalIconId) : hot;
    SetIcons(hot, normal);
}

void IconButton::SetIcons(const QPixmap& hot, const QPixmap& normal) {
    hotIcon_ = hot;
    normalIcon_ = normal.isNull() ? hot : normal;
    // Each dimension is kept in one byte, as the icon's hot spot gives it.
    iconWidth_ = static_cast<unsigned char>(hotIcon_.width() & 0xFF);
    iconHeight_ = static_cast<unsigned char>(hotIcon_.height() & 0xFF);
    update();
}

void IconButton::SetFlat(bool on) {
    flat_ = on;
    update();
}

void IconButton::SetShowText(bool on) {
    showText_ = on;
    update();
}

void IconButton::SetHoverBorder(bool on) { hoverBorder_ = on; }

void IconButton::SetHotBkColor(const QColor& color, bool repaint) {
    hotBk_ = color;
    if (repaint) update();
}

void IconButton::SetNormalBkColor(const QColor& color, bool repaint) {
    normalBk_ = color;
    if (repaint) update();
}

void IconButton::SetHot(bool on) {
    if (hot_ == on) return;
    hot_ = on;
    update();
}

void IconButton::enterEvent(QEnterEvent* event) {
    if (flat_ && window() && window()->isActiveWindow()) SetHot(true);
    QPushButton::enterEvent(event);
}

void IconButton::leaveEvent(QEvent* event) {
    // Keeps the hot state while the left button is held, as a capture would.
    if (!isDown()) SetHot(false);
    QPushButton::leaveEvent(event);
}

void IconButton::focusOutEvent(QFocusEvent* event) {
    SetHot(false);
    QPushButton::focusOutEvent(event);
}

void IconButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // A double click counts as one more press.
    mousePressEvent(event);
}

QRect IconButton::iconRect() const {
    QRect r = rect();
    if (!flat_ && (hasFocus() || wasDefault_ || isDefault())) r.adjust(1, 1, -1, -1);
    bool caption = showText_ && !text().isEmpty();
    int w = iconWidth_, h = iconHeight_;
    int x = caption ? r.left() + 3 : r.left() + (r.width() - w) / 2;
    int y = r.top() + (r.height() - h) / 2;
    if (isDown()) {
        x += 1;
        y += 1;
    }
    return QRect(x, y, w, h);
}

void IconButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QRect r = rect();
    const bool pressed = isDown();
    const bool focused = hasFocus();
    const QPalette& pal = palette();

    if (!flat_ && (focused || wasDefault_ || isDefault())) {
        p.setPen(Qt::black);
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(0, 0, -1, -1));
        r.adjust(1, 1, -1, -1);
    }
    p.fillRect(r, (hot_ || pressed) ? hotBk_ : normalBk_);

    auto line = [&p](const QColor& c, QPoint a, QPoint b) {
        p.setPen(c);
        p.drawLine(a, b);
    };
    const QColor light = pal.color(QPalette::Light), mid = pal.color(QPalette::Midlight);
    const QColor dark = pal.color(QPalette::Shadow), shadow = pal.color(QPalette::Dark);
    QRect e = r.adjusted(0, 0, -1, -1);
    if (!pressed) {
        if (!flat_) {
            line(light, e.topLeft(), e.topRight());
            line(light, e.topLeft(), e.bottomLeft());
            line(mid, e.topLeft() + QPoint(1, 1), e.topRight() + QPoint(-1, 1));
            line(mid, e.topLeft() + QPoint(1, 1), e.bottomLeft() + QPoint(1, -1));
            line(dark, e.bottomLeft(), e.bottomRight());
            line(dark, e.topRight(), e.bottomRight());
            line(shadow, e.bottomLeft() + QPoint(1, -1), e.bottomRight() + QPoint(-1, -1));
            line(shadow, e.topRight() + QPoint(-1, 1), e.bottomRight() + QPoint(-1, -1));
        } else if (hot_ && hoverBorder_) {
            line(light, e.topLeft(), e.topRight());
            line(light, e.topLeft(), e.bottomLeft());
            line(shadow, e.bottomLeft(), e.bottomRight());
            line(shadow, e.topRight(), e.bottomRight());
        }
    } else {
        if (!flat_) {
            p.setPen(shadow);
            p.setBrush(Qt::NoBrush);
            p.drawRect(e);
        } else if (hoverBorder_) {
            line(shadow, e.topLeft(), e.topRight());
            line(shadow, e.topLeft(), e.bottomLeft());
            line(light, e.bottomLeft(), e.bottomRight());
            line(light, e.topRight(), e.bottomRight());
        }
    }

    const QPixmap& icon = (hot_ && pressed) ? hotIcon_ : normalIcon_;
    QRect ir = iconRect();
    if (!icon.isNull()) {
        if (isEnabled()) {
            p.drawPixmap(ir.topLeft(), icon);
        } else {
            QStyleOption opt;
            opt.initFrom(this);
            p.drawPixmap(ir.topLeft(), style()->generatedIconPixmap(QIcon::Disabled, icon, &opt));
        }
    }

    if (showText_ && !text().isEmpty()) {
        QRect captionArea = r;
        captionArea.setLeft(ir.right() + 1);
        if (pressed) captionArea.translate(1, 1);
        QColor c = (hot_ || pressed) ? hotText_ : normalText_;
        if (!isEnabled()) c = pal.color(QPalette::Disabled, QPalette::ButtonText);
        p.setPen(c);
        p.drawText(captionArea, Qt::AlignCenter | Qt::TextShowMnemonic, text());
    }

    if (focused) {
        QStyleOptionFocusRect fr;
        fr.initFrom(this);
        fr.rect = r.adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &fr, &p, this);
    }
}
