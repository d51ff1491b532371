#include "controls/ColorLabel.h"

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionFocusRect>

ColorLabel::ColorLabel(const QString& text, QWidget* parent, int controlId)
    : QLabel(text, parent), controlId_(controlId) {
    textColor_ = palette().color(QPalette::WindowText);
    labelFont_ = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    RebuildDefaultBrush();
    RebuildFont();
}

void ColorLabel::SetFontName(const QString& face) {
    // The face name is kept to 31 characters, as a font description holds it.
    labelFont_.setFamily(face.left(31));
    RebuildFont();
}

void ColorLabel::SetFontSize(int points) {
    labelFont_.setPointSize(points);
    RebuildFont();
}

void ColorLabel::SetFontBold(bool on) {
    labelFont_.setWeight(on ? QFont::Bold : QFont::Normal);
    RebuildFont();
}

void ColorLabel::SetFontUnderline(bool on) {
    labelFont_.setUnderline(on);
    RebuildFont();
}

void ColorLabel::SetTextColor(const QColor& color) {
    textColor_ = color;
    update();
}

void ColorLabel::SetBkColor(const QColor& color) {
    backgroundBrush_ = QBrush(color);
    update();
}

void ColorLabel::SetText(const QString& text) {
    setText(text);
    update();
}

void ColorLabel::SetLink(bool on) {
    link_ = on;
    // A link is reached with Tab and followed with Space or Enter.
    setFocusPolicy(on ? Qt::StrongFocus : Qt::NoFocus);
    update();
}

void ColorLabel::SetLinkCursor(const QCursor& cursor) {
    linkCursor_ = cursor;
    setCursor(cursor);
}

void ColorLabel::SetStyle(Style style) {
    style_ = style;
    update();
}

void ColorLabel::SetCenterImage(bool on) {
    centerImage_ = on;
    update();
}

QColor ColorLabel::backgroundColor() const {
    return backgroundBrush_ ? backgroundBrush_->color() : defaultBrush_.color();
}

int ColorLabel::TextFlags(Style style, bool centerImage, const QString& text) {
    int flags = 0;
    switch (style) {
        case Style::Center:
            flags = Qt::AlignHCenter | Qt::TextWordWrap;
            break;
        case Style::Right:
            flags = Qt::AlignRight | Qt::TextWordWrap;
            break;
        case Style::LeftNoWordWrap:
            flags = Qt::AlignLeft;
            break;
        case Style::Left:
            flags = Qt::AlignLeft | Qt::TextWordWrap;
            break;
    }
    if (centerImage && !text.contains(QStringLiteral("\r\n"))) {
        // One line, centred vertically.
        flags &= ~Qt::TextWordWrap;
        flags |= Qt::AlignVCenter | Qt::TextSingleLine;
    } else {
        flags |= Qt::AlignTop;
    }
    return flags;
}

void ColorLabel::paintEvent(QPaintEvent*) {
    // Drawn off screen first, then copied in one step, so the label never flickers.
    QPixmap buffer(size() * devicePixelRatioF());
    buffer.setDevicePixelRatio(devicePixelRatioF());
    {
        QPainter p(&buffer);
        p.fillRect(rect(), backgroundBrush_ ? *backgroundBrush_ : defaultBrush_);
        p.setFont(labelFont_);
        p.setPen(isEnabled() ? textColor_
                             : palette().color(QPalette::Disabled, QPalette::WindowText));
        QString shown = text();
        shown.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
        shown.remove(QLatin1Char('&'));
        shown.replace(QLatin1Char('\x01'), QLatin1Char('&'));
        p.drawText(rect(), TextFlags(style_, centerImage_, text()), shown);
        if (hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
        }
    }
    QPainter screen(this);
    screen.drawPixmap(0, 0, buffer);
}

void ColorLabel::mousePressEvent(QMouseEvent* event) {
    emit notify(controlId_, kPressNotification);
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void ColorLabel::mouseReleaseEvent(QMouseEvent* event) {
    bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->pos());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click && link_ && isEnabled()) emit clicked(controlId_);
}

void ColorLabel::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (link_ && isEnabled() &&
        (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)) {
        emit clicked(controlId_);
        return;
    }
    QLabel::keyPressEvent(event);
}

void ColorLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        // The system colours changed: follow the new face colour.
        RebuildDefaultBrush();
        update();
    }
    QLabel::changeEvent(event);
}

void ColorLabel::RebuildFont() {
    setFont(labelFont_);
    update();
}

void ColorLabel::RebuildDefaultBrush() {
    defaultBrush_ = QBrush(palette().color(QPalette::Button));
}
