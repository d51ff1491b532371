#include "controls/HyperLink.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

namespace {

DesktopShellLauncher& DefaultLauncher() {
    static DesktopShellLauncher launcher;
    return launcher;
}

}  // namespace

HyperLink::HyperLink(const QString& text, QWidget* parent, MessageBoxService& boxes,
                     ShellLauncher* launcher)
    : QLabel(text, parent), boxes_(boxes), launcher_(launcher ? launcher : &DefaultLauncher()) {
    setMouseTracking(true);
    setAutoFillBackground(false);
    address_ = text.toStdString();
    normalFont_ = font();
    underlinedFont_ = normalFont_;
    underlinedFont_.setUnderline(true);
    setCursor(Qt::PointingHandCursor);
    setToolTip(text);
    hoverTimer_.setInterval(100);
    connect(&hoverTimer_, &QTimer::timeout, this, &HyperLink::HoverCheck);
    ApplyColor();
    FitToText();
}

void HyperLink::SetURL(const std::string& address) {
    address_ = address;
    if (text().isEmpty()) setText(QString::fromStdString(address));
    setToolTip(QString::fromStdString(address));
    FitToText();
}

void HyperLink::SetVisited(bool visited) {
    visited_ = visited;
    ApplyColor();
}

void HyperLink::SetUnderline(int mode) {
    if (mode != underline_) setFont(mode == 1 ? underlinedFont_ : normalFont_);
    underline_ = mode;
    update();
}

QColor HyperLink::CurrentColor() const {
    return over_ ? hoverColor_ : visited_ ? visitedColor_ : linkColor_;
}

void HyperLink::ApplyColor() {
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, CurrentColor());
    setPalette(pal);
    update();
}

void HyperLink::FitToText() {
    if (!fitToText_) return;
    const QSize text = QFontMetrics(underlinedFont_).size(Qt::TextSingleLine, QLabel::text());
    const QSize size(text.width() + 2 * frameWidth(), text.height() + 2 * frameWidth());
    QRect r = geometry();
    const Qt::Alignment a = alignment();
    const int right = r.right(), centreX = r.center().x(), centreY = r.center().y();
    r.setSize(size);
    if (a & Qt::AlignRight)
        r.moveRight(right);
    else if (a & Qt::AlignHCenter)
        r.moveLeft(centreX - size.width() / 2);
    if (a & Qt::AlignVCenter && !(a & Qt::AlignTop)) r.moveTop(centreY - size.height() / 2);
    setGeometry(r);
}

void HyperLink::mouseMoveEvent(QMouseEvent* event) {
    if (!over_) {
        over_ = true;
        if (underline_ == -1) setFont(underlinedFont_);
        ApplyColor();
        hoverTimer_.start();
    }
    QLabel::mouseMoveEvent(event);
}

void HyperLink::HoverCheck() {
    if (rect().contains(mapFromGlobal(QCursor::pos()))) return;
    over_ = false;
    hoverTimer_.stop();
    if (underline_ != 1) setFont(normalFont_);
    ApplyColor();
}

void HyperLink::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) Click();
}

void HyperLink::Click() {
    over_ = false;
    LinkOpener::OpenUrl(address_, kShowCommand, *launcher_,
                        [self = QPointer<HyperLink>(this)](int result) {
                            if (self) self->Opened(result);
                        });
}

void HyperLink::Opened(int result) {
    visited_ = result > 32;
    ApplyColor();
    if (!visited_) {
        QApplication::beep();
        LinkOpener::ReportOpenError(result, boxes_);
    }
}

void HyperLink::paintEvent(QPaintEvent* event) {
    {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Button));
    }
    QLabel::paintEvent(event);
}
