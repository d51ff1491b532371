#include "pages/CTitledPicsWnd.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <algorithm>
#include <cstdio>

#include "controls/DocumentOpener.h"
#include "controls/WizardPage.h"

CTitledPicsWnd::CTitledPicsWnd(const QRect& rect, QWidget* parent, int controlId)
    : QAbstractScrollArea(parent), controlId_(controlId) {
    // Measures the title band only: 10 pixels, normal weight, sans serif.
    captionFont_.setStyleHint(QFont::SansSerif);
    captionFont_.setPixelSize(10);
    captionFont_.setWeight(QFont::Normal);
    SetControlId(this, controlId);
    setFrameShape(QFrame::Box);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setGeometry(rect);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    show();
}

void CTitledPicsWnd::SetCellSize(int width, int height) {
    cellWidth_ = width;
    cellHeight_ = height;
    autoSize_ = width == -1 || height == -1;
}

int CTitledPicsWnd::AddPicture(const PictureItem& item) {
    kinds_.push_back(1);
    bitmaps_.push_back(&item.bitmap);
    paths_.push_back(item.path);
    viewport()->update();
    return static_cast<int>(paths_.size()) - 1;
}

std::string CTitledPicsWnd::PathAt(int index) const {
    return ValidIndex(index) ? paths_[static_cast<std::size_t>(index)] : std::string();
}

std::string CTitledPicsWnd::SelectedPath() const { return PathAt(selected_); }

int CTitledPicsWnd::TextHeight() const {
    return QFontMetrics(captionFont_).boundingRect(QStringLiteral("X")).height();
}

void CTitledPicsWnd::Post(int code) {
    const int id = controlId_;
    QMetaObject::invokeMethod(
        this, [this, id, code] { emit notify(id, code); }, Qt::QueuedConnection);
}

void CTitledPicsWnd::Select(int index) {
    if (index != -1 && !ValidIndex(index)) return;
    const bool changed = index != selected_;
    selected_ = index;
    viewport()->update();
    if (changed) Post(kSelChanged);
}

void CTitledPicsWnd::DeleteSelected() {
    if (kinds_.empty() || bitmaps_.empty() || paths_.empty() || !ValidIndex(selected_)) return;
    const auto at = static_cast<std::size_t>(selected_);
    const std::string path = paths_[at];
    kinds_.erase(kinds_.begin() + static_cast<std::ptrdiff_t>(at));
    bitmaps_.erase(bitmaps_.begin() + static_cast<std::ptrdiff_t>(at));
    paths_.erase(paths_.begin() + static_cast<std::ptrdiff_t>(at));
    std::remove(path.c_str());
    // The picture now at this index was never chosen: nothing stays selected,
    // so nobody goes on using the deleted file's path.
    selected_ = -1;
    Post(kSelChanged);
    UpdateLayout();
    viewport()->repaint();
}

void CTitledPicsWnd::UpdateLayout() {
    const int n = count();
    const int clientWidth = viewport()->width();
    if (autoSize_) {
        if (n > 0) {
            int w = 0, h = 0;
            for (const QImage* b : bitmaps_) {
                w = std::max(w, b ? b->width() : 0);
                h = std::max(h, b ? b->height() : 0);
            }
            w += 4;
            const int available =
                std::max(1, clientWidth - style()->pixelMetric(QStyle::PM_ScrollBarExtent));
            columns_ = static_cast<unsigned>(std::max(1, available / w));
            cellWidth_ = available / static_cast<int>(columns_);
            cellHeight_ = h + 4 + 2 * TextHeight();
        }
    } else if (n > 0 && cellWidth_ > 0) {
        columns_ = static_cast<unsigned>(std::max(1, clientWidth / cellWidth_));
    }
    if (n > 0 && cellWidth_ > 0 && cellHeight_ > 0) {
        const int cols = static_cast<int>(columns_);
        const int rows = (n + cols - 1) / cols;
        scrollSize_ = QSize(cols * cellWidth_, rows * cellHeight_);
        horizontalScrollBar()->setPageStep(cellWidth_);
        horizontalScrollBar()->setSingleStep(cellWidth_);
        verticalScrollBar()->setPageStep(cellHeight_);
        verticalScrollBar()->setSingleStep(cellHeight_);
    } else {
        scrollSize_ = QSize(100, 100);
    }
    horizontalScrollBar()->setRange(0, std::max(0, scrollSize_.width() - viewport()->width()));
    verticalScrollBar()->setRange(0, std::max(0, scrollSize_.height() - viewport()->height()));
}

QRect CTitledPicsWnd::CellRect(int index) const {
    if (!ValidIndex(index) || columns_ == 0) return {};
    const int col = index % static_cast<int>(columns_);
    const int row = index / static_cast<int>(columns_);
    return QRect(cellWidth_ * col, cellHeight_ * row, cellWidth_, cellHeight_);
}

QRect CTitledPicsWnd::PictureRect(int index) const {
    if (!ValidIndex(index) || columns_ == 0) return {};
    const int col = index % static_cast<int>(columns_);
    const int row = index / static_cast<int>(columns_);
    const int t = TextHeight();
    const QImage* b = bitmaps_[static_cast<std::size_t>(index)];
    if (stretch_) {
        return QRect(cellWidth_ * col + margin_, cellHeight_ * row + margin_,
                     cellWidth_ - 2 * margin_, cellHeight_ - 2 * margin_ - 2 * t);
    }
    const int w = b ? b->width() : 0;
    const int h = b ? b->height() : 0;
    return QRect(cellWidth_ * col + margin_ + (cellWidth_ - w) / 2,
                 cellHeight_ * row + margin_ + (cellHeight_ - h - 2 * t) / 2, w, h);
}

int CTitledPicsWnd::HitTest(const QPoint& viewportPoint) const {
    if (cellWidth_ <= 0 || cellHeight_ <= 0 || viewportPoint.x() < 0 || viewportPoint.y() < 0)
        return -1;
    const int x = viewportPoint.x() + horizontalScrollBar()->value();
    const int y = viewportPoint.y() + verticalScrollBar()->value();
    const int col = x / cellWidth_;
    const long long index = static_cast<long long>(y / cellHeight_) * columns_ + col;
    if (col < static_cast<int>(columns_) && index < count()) return static_cast<int>(index);
    return -1;
}

void CTitledPicsWnd::paintEvent(QPaintEvent* event) {
    UpdateLayout();
    QPainter p(viewport());
    const QPoint offset(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const QRect area = event->rect().translated(offset);
    p.translate(-offset);
    for (int i = 0; i < count(); ++i) {
        const QImage* b = bitmaps_[static_cast<std::size_t>(i)];
        if (!b || b->isNull()) continue;
        const QRect target = PictureRect(i);
        if (!target.isValid() || !area.intersects(target)) continue;
        if (stretch_)
            p.drawImage(target, *b);
        else
            p.drawImage(target.topLeft(), *b);
    }
    if (ValidIndex(selected_)) {
        // The chosen picture keeps its frame wherever the focus is, so the
        // user sees what Delete would remove; focus adds the focus frame.
        const QRect cell = CellRect(selected_);
        p.setPen(QPen(palette().color(QPalette::Highlight), 0));
        p.setBrush(Qt::NoBrush);
        p.drawRect(cell.adjusted(0, 0, -1, -1));
        p.drawRect(cell.adjusted(1, 1, -2, -2));
        if (hasFocus()) {
            QStyleOptionFocusRect option;
            option.initFrom(this);
            option.rect = cell.adjusted(0, 0, -1, -1);
            option.backgroundColor = viewport()->palette().color(QPalette::Base);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
        }
    }
}

void CTitledPicsWnd::OnMouse(const QPoint& point, int code) {
    const int hit = HitTest(point);
    if (hit >= 0) {
        const bool changed = hit != selected_;
        selected_ = hit;
        viewport()->update();
        Post(code);
        if (changed) Post(kSelChanged);
        if (code == kDoubleClick && opener_) (void)opener_->Open(PathAt(hit));
    }
    setFocus(Qt::MouseFocusReason);
}

void CTitledPicsWnd::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        OnMouse(event->position().toPoint(), kLeftClick);
    else if (event->button() == Qt::RightButton)
        OnMouse(event->position().toPoint(), kRightClick);
    QAbstractScrollArea::mousePressEvent(event);
}

void CTitledPicsWnd::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) OnMouse(event->position().toPoint(), kDoubleClick);
    QAbstractScrollArea::mouseDoubleClickEvent(event);
}

void CTitledPicsWnd::keyPressEvent(QKeyEvent* event) {
    // The arrow keys move the selection as the mouse would pick a picture.
    const int across = columns() > 0 ? columns() : 1;
    int step = 0;
    switch (event->key()) {
        case Qt::Key_Left:
            step = -1;
            break;
        case Qt::Key_Right:
            step = 1;
            break;
        case Qt::Key_Up:
            step = -across;
            break;
        case Qt::Key_Down:
            step = across;
            break;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
    }
    if (count() == 0) return;
    const int from = selectedIndex() < 0 ? (step > 0 ? -1 : count()) : selectedIndex();
    const int to = std::clamp(from + step, 0, count() - 1);
    Select(to);
}

void CTitledPicsWnd::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateLayout();
}

void CTitledPicsWnd::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void CTitledPicsWnd::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void CTitledPicsWnd::scrollContentsBy(int, int) { viewport()->update(); }
