#include "wizard/ui/CTaskProgressWnd.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>

#include "app/core/MessageBoxService.h"
#include "controls/Placement.h"

namespace {

constexpr int kWidth = 250;
constexpr int kHeight = 130;
constexpr const char* kCancelLabel = QT_TRANSLATE_NOOP("CTaskProgressWnd", " Cancel ");

// Cuts text to at most max bytes without splitting a UTF-8 sequence.
std::string CutUtf8(const std::string& text, std::size_t max) {
    if (text.size() <= max) return text;
    std::size_t end = max;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

}  // namespace

CTaskProgressWnd::CTaskProgressWnd(QWidget* owner, const std::string& title, bool smooth,
                                   bool showBar, MessageBoxService& messageBox)
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      messageBox_(messageBox),
      owner_(owner ? owner : QApplication::activeWindow()),
      title_(title),
      showBar_(showBar),
      smooth_(smooth) {
    // It takes the keyboard focus, so that Escape works at once.
    setFocusPolicy(Qt::StrongFocus);
    setWindowTitle(ShownText(title_));
    setCursor(Qt::BusyCursor);
    // The background is the button face, as in a message box.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    setAutoFillBackground(true);
    setFont(QApplication::font("QMessageBox"));
    resize(kWidth, kHeight);

    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("text"));
    text_->setProperty("controlId", kTextId);
    text_->setTextFormat(Qt::PlainText);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text_->setWordWrap(true);

    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("bar"));
    bar_->setProperty("controlId", kBarId);
    bar_->setTextVisible(!smooth_);
    bar_->setRange(lower_, upper_);
    bar_->setValue(0);
    bar_->setVisible(showBar_);

    cancel_ = new QPushButton(tr(kCancelLabel), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setProperty("controlId", kCancelId);
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, &CTaskProgressWnd::OnCancel);

    Layout(textLines_, kWidth);

    CentreOver(*this, owner_);
    Show();
    activateWindow();
    setFocus(Qt::ActiveWindowFocusReason);
}

CTaskProgressWnd::~CTaskProgressWnd() {
    if (pumping_ && qApp) qApp->removeEventFilter(this);
}

void CTaskProgressWnd::Layout(int lines, int width) {
    const QFontMetrics fm(font());
    const int edgeW = std::max(1, style()->pixelMetric(QStyle::PM_DefaultFrameWidth));
    const int edgeH = edgeW;

    QString sample = QStringLiteral("M");
    for (int i = 1; i < lines; ++i) sample += QStringLiteral("\nM");
    const QRect measured = fm.boundingRect(QRect(0, 0, width, 1000), Qt::TextDontClip, sample);
    const QRect textRect(10, 10, width, measured.height());

    const QString label = tr(kCancelLabel) + QStringLiteral("  ");
    const int buttonW = fm.horizontalAdvance(label) + 4 * edgeW;
    const int buttonH = fm.height() + 3 * edgeH;
    const QRect buttonRect(textRect.right() + 1 - buttonW, textRect.bottom() + 1 + 10, buttonW,
                           buttonH);
    const QRect barRect(textRect.left(), buttonRect.top() + edgeH,
                        buttonRect.left() - 10 - textRect.left(), buttonH - 2 * edgeH);

    text_->setGeometry(textRect);
    cancel_->setGeometry(buttonRect);
    bar_->setGeometry(barRect);
    setFixedSize(textRect.width() + 20, textRect.height() + buttonH + 30);
}

void CTaskProgressWnd::SetConfirmPrompt(const std::string& prompt) { prompt_ = prompt; }

void CTaskProgressWnd::SetText(const std::string& text) {
    text_->setText(QString::fromUtf8(CutUtf8(ShownText(text).toStdString(), kMaxTextBytes)));
    if (isVisible()) repaint();
}

void CTaskProgressWnd::SetRange(int lower, int upper, int step) {
    bar_->setRange(lower, upper);
    lower_ = lower;
    upper_ = upper;
    step_ = step;
}

int CTaskProgressWnd::StepIt() { return SetPos(position_ + step_); }

int CTaskProgressWnd::SetPos(int n) {
    if (!showBar_) return n;
    Show();
    position_ = n;
    // The lower bound is not subtracted: ranges in use start at 0.
    const long long span = static_cast<long long>(upper_) - lower_;
    const int percent = span > 0 ? static_cast<int>(static_cast<long long>(n) * 100 / span) : 0;
    if (percent != percent_) {
        percent_ = percent;
        setWindowTitle(QStringLiteral("%1 [%2%]").arg(ShownText(title_)).arg(percent));
    }
    bar_->setValue(n);
    return position_;
}

void CTaskProgressWnd::PumpMessages(bool cancelOnEscape) {
    if (cancelled_ || pumping_) return;
    pumping_ = true;
    escapeOnPump_ = cancelOnEscape;
    escapePressed_ = false;
    qApp->installEventFilter(this);
    // A quit request handled here ends the application's running loops as
    // soon as the wait returns to them, so it is not lost.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    qApp->removeEventFilter(this);
    pumping_ = false;
    if (escapePressed_) OnCancel();
}

void CTaskProgressWnd::keyPressEvent(QKeyEvent* event) {
    // While pumping, the event filter has handled Escape already (or was
    // told not to); otherwise Escape asks here, once.
    if (event->key() == Qt::Key_Escape) {
        if (!pumping_) OnCancel();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CTaskProgressWnd::closeEvent(QCloseEvent* event) {
    // The close button asks the same question as Cancel; the window goes
    // only when its owner ends the work. Closing by the program (the
    // application quitting) goes ahead.
    if (!event->spontaneous()) {
        QWidget::closeEvent(event);
        return;
    }
    event->ignore();
    OnCancel();
}

bool CTaskProgressWnd::eventFilter(QObject* watched, QEvent* event) {
    if (pumping_ && escapeOnPump_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        escapePressed_ = true;
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CTaskProgressWnd::OnCancel() {
    if (cancelled_ || inCancel_) return;
    inCancel_ = true;
    const MbResult answer = messageBox_.Show(prompt_, QT_TRANSLATE_NOOP("Message", "Confirm"),
                                             MbButtons::YesNo, MbIcon::None);
    inCancel_ = false;
    if (answer != MbResult::Yes) return;
    cancelled_ = true;
    // The window stays until its owner has stopped the work and destroys it.
    text_->setText(tr("Stopping..."));
    cancel_->setEnabled(false);
    if (isVisible()) repaint();
    if (owner_) {
        owner_->raise();
        owner_->activateWindow();
    }
}

void CTaskProgressWnd::Show() {
    if (mayShow_ && !isVisible()) {
        QWidget::show();
        repaint();
    }
}

void CTaskProgressWnd::Hide() {
    if (isVisible()) {
        mayShow_ = false;
        QWidget::hide();
    }
}

std::unique_ptr<TaskProgress> QtTaskProgressFactory::Create(const std::string& title, bool smooth,
                                                            bool showBar) {
    return std::make_unique<CTaskProgressWnd>(owner_, title, smooth, showBar, messageBox_);
}
