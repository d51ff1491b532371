#include "wizard/ui/CNetFaxPropSheet.h"

#include <algorithm>
#include <utility>

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "res/Resources.h"

CNetFaxPropSheet::CNetFaxPropSheet(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CNetFaxPropSheet"));
    setWindowIcon(res::Icon(res::IDI_PROGRAM));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    auto* layout = new QVBoxLayout(this);
    stack_ = new QStackedWidget(this);
    layout->addWidget(stack_, 1);
    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    layout->addWidget(rule);

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    back_ = new QPushButton(tr("< &Back"), this);
    next_ = new QPushButton(tr("&Next >"), this);
    finish_ = new QPushButton(tr("Finish"), this);
    cancel_ = new QPushButton(tr("Cancel"), this);
    help_ = new QPushButton(tr("Help"), this);
    back_->setObjectName(QStringLiteral("back"));
    next_->setObjectName(QStringLiteral("next"));
    finish_->setObjectName(QStringLiteral("finish"));
    cancel_->setObjectName(QStringLiteral("cancel"));
    help_->setObjectName(QStringLiteral("help"));
    for (QPushButton* b : {back_, next_, finish_, cancel_, help_}) {
        b->setAutoDefault(false);
        row->addWidget(b);
    }
    layout->addLayout(row);

    connect(back_, &QPushButton::clicked, this, [this] { (void)PressBack(); });
    connect(next_, &QPushButton::clicked, this, [this] { (void)PressNext(); });
    connect(finish_, &QPushButton::clicked, this, [this] { (void)PressFinish(); });
    connect(cancel_, &QPushButton::clicked, this, &CNetFaxPropSheet::PressCancel);
    connect(help_, &QPushButton::clicked, this, &CNetFaxPropSheet::PressHelp);
    SetWizardButtons(0);
}

CNetFaxPropSheet::~CNetFaxPropSheet() {
    // The pages belong to their owner: hand them back before the stack goes.
    for (const Place& place : pages_) {
        if (place.page && place.page->parent() == stack_) {
            stack_->removeWidget(place.page);
            place.page->setParent(nullptr);
        }
    }
}

void CNetFaxPropSheet::AddPage(WizardPage* page) {
    page->SetSheet(this);
    pages_.push_back(Place{page, {}});
    stack_->addWidget(page);
}

void CNetFaxPropSheet::AddPage(std::function<WizardPage*()> make) {
    pages_.push_back(Place{nullptr, std::move(make)});
}

WizardPage* CNetFaxPropSheet::Made(std::size_t index) const {
    Place& place = pages_[index];
    if (place.make) {
        WizardPage* made = std::exchange(place.make, {})();
        made->SetSheet(const_cast<CNetFaxPropSheet*>(this));
        place.page = made;
        // The stack shows a page by itself, whatever its place there.
        stack_->addWidget(made);
        FitPages();
    }
    return place.page;
}

void CNetFaxPropSheet::InsertPage(int index, WizardPage* page) {
    if (IndexOf(page) >= 0) return;
    index = std::clamp(index, 0, pageCount());
    page->SetSheet(this);
    pages_.insert(pages_.begin() + index, Place{page, {}});
    stack_->insertWidget(index, page);
    if (active_ >= index) ++active_;
}

bool CNetFaxPropSheet::RemovePage(WizardPage* page) {
    const int index = IndexOf(page);
    if (index < 0 || index == active_) return false;
    pages_.erase(pages_.begin() + index);
    stack_->removeWidget(page);
    page->setParent(nullptr);
    if (active_ > index) --active_;
    return true;
}

int CNetFaxPropSheet::IndexOf(const WizardPage* page) const {
    if (!page) return -1;
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t i = 0; i < pages_.size(); ++i) {
            if (pass == 1) (void)Made(i);
            if (pages_[i].page == page) return static_cast<int>(i);
        }
    }
    return -1;
}

WizardPage* CNetFaxPropSheet::page(int index) const {
    return index >= 0 && index < pageCount() ? Made(static_cast<std::size_t>(index)) : nullptr;
}

void CNetFaxPropSheet::SetHasHelp(bool on) {
    hasHelp_ = on;
    UpdateHelpButton();
}

void CNetFaxPropSheet::UpdateHelpButton() {
    WizardPage* p = activePage();
    help_->setVisible(hasHelp_ && p && p->hasHelp());
}

void CNetFaxPropSheet::SetWizardButtons(unsigned flags) {
    buttons_ = flags;
    back_->setEnabled(flags & PSWIZB_BACK);
    const bool finish = flags & (PSWIZB_FINISH | PSWIZB_DISABLEDFINISH);
    next_->setVisible(!finish);
    next_->setEnabled(flags & PSWIZB_NEXT);
    finish_->setVisible(finish);
    finish_->setEnabled(flags & PSWIZB_FINISH);
    (finish ? finish_ : next_)->setDefault(true);
}

void CNetFaxPropSheet::Activate(int index) {
    WizardPage* p = page(index);
    if (!p) return;
    p->EnsureInitialized();
    if (!p->OnSetActive()) return;
    active_ = index;
    stack_->setCurrentWidget(p);
    setWindowTitle(p->shownCaption());
    UpdateHelpButton();
}

bool CNetFaxPropSheet::SetActivePage(int index) {
    if (!page(index)) return false;
    Activate(index);
    return active_ == index;
}

int CNetFaxPropSheet::DoModal() {
    ending_ = false;
    if (active_ < 0) Activate(0);
    if (!ending_) {
        int r = exec();
        if (r == QDialog::Rejected) r = kCancelled;
        return r;
    }
    return result();
}

void CNetFaxPropSheet::EndSheet(int result) {
    ending_ = true;
    done(result);
}

bool CNetFaxPropSheet::PressBack() {
    WizardPage* p = activePage();
    if (!p || !(buttons_ & PSWIZB_BACK) || active_ == 0) return false;
    if (!p->OnWizardBack()) return false;
    Activate(active_ - 1);
    return true;
}

bool CNetFaxPropSheet::PressNext() {
    WizardPage* p = activePage();
    if (!p || !(buttons_ & PSWIZB_NEXT) || active_ + 1 >= pageCount()) return false;
    if (!p->OnWizardNext()) return false;
    Activate(active_ + 1);
    return true;
}

bool CNetFaxPropSheet::PressFinish() {
    WizardPage* p = activePage();
    if (!p || !(buttons_ & PSWIZB_FINISH)) return false;
    if (!p->OnWizardFinish()) return false;
    if (finishCheck_ && !finishCheck_()) return false;
    EndSheet(kFinished);
    return true;
}

void CNetFaxPropSheet::PressCancel() { EndSheet(kCancelled); }

void CNetFaxPropSheet::PressHelp() {
    if (!help_->isHidden()) emit helpRequested(active_);
}

void CNetFaxPropSheet::reject() { EndSheet(kCancelled); }

void CNetFaxPropSheet::closeEvent(QCloseEvent* event) {
    event->accept();
    EndSheet(kCancelled);
}

void CNetFaxPropSheet::showEvent(QShowEvent* event) {
    // The first time, open at the size the pages ask for as far as the screen
    // allows (left alone, a window opens at most two thirds of the screen).
    if (!sized_) {
        sized_ = true;
        resize(FittingSize());
    }
    QDialog::showEvent(event);
}

QSize CNetFaxPropSheet::FittingSize() const {
    QSize size = sizeHint();
    if (const QScreen* s = screen())
        size =
            size.boundedTo(s->availableGeometry().size() - QSize(kFrameAllowance, kFrameAllowance));
    return size.expandedTo(minimumSizeHint());
}

void CNetFaxPropSheet::FitPages() const {
    if (!sized_) return;
    // The layout keeps the room the pages asked for until told otherwise.
    stack_->updateGeometry();
    layout()->invalidate();
    const QSize size = FittingSize().expandedTo(this->size());
    if (size != this->size()) const_cast<CNetFaxPropSheet*>(this)->resize(size);
}

void CNetFaxPropSheet::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
}
