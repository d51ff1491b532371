#include "pages/CPageViewer.h"

#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cmath>

namespace {

// The zoom steps, as scales of a page's natural size.
constexpr std::array<double, 10> kZoomSteps = {0.1, 0.25, 0.33, 0.5, 0.75, 1.0, 1.5, 2.0, 3.0, 4.0};
// Room left beside a page fitted to the width.
constexpr int kPageMargin = 8;

QPushButton* Button(const QString& text, const QString& accessible, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setAccessibleName(accessible);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

CPageViewer::CPageViewer(const std::vector<std::string>& files, QWidget* parent)
    : QDialog(parent), pages_(files) {
    setObjectName(QStringLiteral("CPageViewer"));
    setWindowTitle(tr("Preview - Send a Fax"));
    setSizeGripEnabled(true);

    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    previous_ = Button(tr("< &Previous"), tr("Previous page"), this);
    pageLabel_ = new QLabel(this);
    // Named by their text ("Page 1 of 3", "74 %"), as a screen reader reads a label.
    pageLabel_->setAccessibleDescription(tr("Page number"));
    next_ = Button(tr("Ne&xt >"), tr("Next page"), this);
    zoomOut_ = Button(tr("Zoom &out"), tr("Zoom out"), this);
    zoomLabel_ = new QLabel(this);
    zoomLabel_->setAccessibleDescription(tr("Zoom"));
    zoomIn_ = Button(tr("Zoom &in"), tr("Zoom in"), this);
    fit_ = Button(tr("Fit &width"), tr("Fit the page to the window's width"), this);
    fit_->setCheckable(true);
    bar->addWidget(previous_);
    bar->addWidget(pageLabel_);
    bar->addWidget(next_);
    bar->addStretch(1);
    bar->addWidget(zoomOut_);
    bar->addWidget(zoomLabel_);
    bar->addWidget(zoomIn_);
    bar->addWidget(fit_);
    layout->addLayout(bar);
    documentChoice_ = new QComboBox(this);
    documentChoice_->setAccessibleName(tr("Document"));
    for (const PreviewPages::Document& d : pages_.documents())
        documentChoice_->addItem(pages_.DocumentLine(d.firstPage), d.firstPage);
    documentChoice_->setVisible(documentChoice_->count() > 0);
    layout->addWidget(documentChoice_);

    scroll_ = new QScrollArea(this);
    scroll_->setAccessibleName(tr("Page"));
    scroll_->setBackgroundRole(QPalette::Dark);
    scroll_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    picture_ = new QLabel;
    picture_->setAccessibleName(tr("Page picture"));
    picture_->setAlignment(Qt::AlignCenter);
    picture_->setWordWrap(true);
    picture_->setMargin(kPageMargin);
    scroll_->setWidget(picture_);
    scroll_->setWidgetResizable(true);
    scroll_->viewport()->installEventFilter(this);
    layout->addWidget(scroll_, 1);

    auto* close = Button(tr("&Close"), tr("Close"), this);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(close);
    layout->addLayout(bottom);

    connect(previous_, &QPushButton::clicked, this, &CPageViewer::PreviousPage);
    connect(next_, &QPushButton::clicked, this, &CPageViewer::NextPage);
    connect(zoomIn_, &QPushButton::clicked, this, &CPageViewer::ZoomIn);
    connect(zoomOut_, &QPushButton::clicked, this, &CPageViewer::ZoomOut);
    connect(fit_, &QPushButton::clicked, this, &CPageViewer::SetFitWidth);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(documentChoice_, &QComboBox::activated, this,
            [this](int i) { ShowPage(documentChoice_->itemData(i).toInt()); });
    const std::pair<QKeySequence, void (CPageViewer::*)()> keys[] = {
        {QKeySequence(Qt::Key_PageDown), &CPageViewer::NextPage},
        {QKeySequence(Qt::Key_PageUp), &CPageViewer::PreviousPage},
        {QKeySequence::ZoomIn, &CPageViewer::ZoomIn},
        {QKeySequence::ZoomOut, &CPageViewer::ZoomOut},
    };
    for (const auto& [key, slot] : keys)
        connect(new QShortcut(key, this), &QShortcut::activated, this, slot);

    // A page of a fax is tall: as high as the screen allows.
    QSize size(640, 800);
    if (const QScreen* s = screen()) size = size.boundedTo(s->availableGeometry().size() * 9 / 10);
    resize(size);
    ShowPage(0);
}

CPageViewer::~CPageViewer() = default;

int CPageViewer::FitWidthPixels() const {
    return std::max(1, scroll_->viewport()->width() - 2 * kPageMargin);
}

void CPageViewer::ShowPage(int index) {
    if (index < 0 || index >= pages_.count()) return;
    current_ = index;
    Redraw();
    scroll_->verticalScrollBar()->setValue(0);
}

void CPageViewer::SetFitWidth(bool on) {
    fitWidth_ = on;
    Redraw();
}

void CPageViewer::ZoomIn() {
    const double now = zoom_;
    auto step = std::find_if(kZoomSteps.begin(), kZoomSteps.end(),
                             [now](double z) { return z > now * 1.001; });
    if (step == kZoomSteps.end()) return;
    zoom_ = *step;
    fitWidth_ = false;
    Redraw();
}

void CPageViewer::ZoomOut() {
    const double now = zoom_;
    auto step = std::find_if(kZoomSteps.rbegin(), kZoomSteps.rend(),
                             [now](double z) { return z < now * 0.999; });
    if (step == kZoomSteps.rend()) return;
    zoom_ = *step;
    fitWidth_ = false;
    Redraw();
}

void CPageViewer::Redraw() {
    const PreviewPages::Page& page = pages_.at(current_);
    pageLabel_->setText(tr("Page %1 of %2").arg(current_ + 1).arg(pages_.count()));
    if (page.document < documentChoice_->count()) {
        const QSignalBlocker quiet(documentChoice_);
        documentChoice_->setCurrentIndex(page.document);
    }
    previous_->setEnabled(current_ > 0);
    next_->setEnabled(current_ + 1 < pages_.count());
    fit_->setChecked(fitWidth_);
    const QSize natural = pages_.NaturalSize(current_);
    const bool picture = page.note.isEmpty() && !natural.isEmpty();
    zoomIn_->setEnabled(picture);
    zoomOut_->setEnabled(picture);
    fit_->setEnabled(picture);
    if (!picture) {
        picture_->setPixmap({});
        picture_->setText(page.note.isEmpty() ? tr("This page can no longer be read.") : page.note);
        zoomLabel_->clear();
        return;
    }
    if (fitWidth_) zoom_ = static_cast<double>(FitWidthPixels()) / natural.width();
    const int width = std::max(1, static_cast<int>(std::lround(natural.width() * zoom_)));
    const QImage image = pages_.Render(current_, width);
    picture_->setText({});
    picture_->setPixmap(QPixmap::fromImage(image));
    zoomLabel_->setText(tr("%1 %").arg(std::lround(zoom_ * 100)));
}

bool CPageViewer::eventFilter(QObject* watched, QEvent* event) {
    // A page fitted to the width follows the window's width.
    if (watched == scroll_->viewport() && event->type() == QEvent::Resize && fitWidth_) Redraw();
    return QDialog::eventFilter(watched, event);
}

void RunPageViewer(QWidget* parent, const std::vector<std::string>& files) {
    CPageViewer viewer(files, parent);
    viewer.exec();
}
