#include "addrbook/ui/CChooseFaxNumberDlg.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <algorithm>

#include "app/core/Translate.h"
#include "controls/ColorLabel.h"
#include "controls/HelpService.h"
#include "controls/Look.h"
#include "controls/WizardPage.h"
#include "wizard/job/FaxJob.h"

namespace {

// The number list. A press on empty space clears the selection, as the
// platform's list view does, and every click is reported after the
// selection has followed it.
class NumberList final : public QTreeWidget {
  public:
    using QTreeWidget::QTreeWidget;
    std::function<void()> onClick;
    std::function<void()> onDoubleClick;

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (!itemAt(event->position().toPoint())) clearSelection();
        QTreeWidget::mousePressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        QTreeWidget::mouseReleaseEvent(event);
        if (onClick) onClick();
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        QTreeWidget::mouseDoubleClickEvent(event);
        if (itemAt(event->position().toPoint()) && onDoubleClick) onDoubleClick();
    }
};

void Place(QWidget* w, const QWidget& dlg, int x, int y, int cx, int cy) {
    const QSize pos = look::DialogUnits(dlg, x, y);
    const QSize size = look::DialogUnits(dlg, cx, cy);
    w->setGeometry(pos.width(), pos.height(), size.width(), size.height());
}

}  // namespace

CChooseFaxNumberDlg::CChooseFaxNumberDlg(Recipient& record, const std::string& prompt,
                                         QWidget* parent)
    : QDialog(parent), record_(record) {
    // Several contacts may be asked about in a row: the caption says which.
    setWindowTitle(record.name.empty()
                       ? tr("Choose Fax Number")
                       : tr("Choose Fax Number - %1").arg(QString::fromStdString(record.name)));
    setFixedSize(look::DialogUnits(*this, 186, 111));

    label_ = new ColorLabel(QString(), this, 1033);
    SetControlId(label_, 1033);
    Place(label_, *this, 5, 5, 170, 8);
    look::StyleTitle(*label_);
    label_->SetText(QString::fromStdString(prompt));

    auto* list = new NumberList(this);
    list_ = list;
    SetControlId(list_, 1006);
    Place(list_, *this, 5, 20, 175, 60);
    list_->setColumnCount(2);
    NameField(list_, tr("Fax numbers"), label_);
    list_->setHeaderLabels({tr("Location"), QString()});
    // The number column's heading stays empty on the screen; a screen reader
    // still names it.
    list_->headerItem()->setData(1, Qt::AccessibleTextRole, tr("Number"));
    list_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list_->setColumnWidth(0, 100);
    list_->setColumnWidth(1, 159);
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);

    // Each row goes to the top, so the list reads Business Fax, Home Fax,
    // Business Phone, Home Phone.
    const std::pair<const char*, const std::string*> rows[] = {
        {QT_TRANSLATE_NOOP("CChooseFaxNumberDlg", "Home Phone"), &record.homePhone},
        {QT_TRANSLATE_NOOP("CChooseFaxNumberDlg", "Business Phone"), &record.businessPhone},
        {QT_TRANSLATE_NOOP("CChooseFaxNumberDlg", "Home Fax"), &record.homeFax},
        {QT_TRANSLATE_NOOP("CChooseFaxNumberDlg", "Business Fax"), &record.businessFax},
    };
    for (const auto& [location, number] : rows) {
        if (number->empty()) continue;
        list_->insertTopLevelItem(
            0, new QTreeWidgetItem(QStringList{tr(location), QString::fromStdString(*number)}));
    }
    list_->setCurrentItem(nullptr);
    list_->clearSelection();
    // A longer location (in another language) is not cut short.
    list_->resizeColumnToContents(0);
    list_->setColumnWidth(0, std::max(100, list_->columnWidth(0)));

    list->onClick = [this] { TakeSelectedRow(); };
    // A double-click confirms the row at once, reduced to its digits like
    // OK: the gateway takes digits only.
    list->onDoubleClick = [this] {
        TakeSelectedRow();
        accept();
    };
    // The keyboard moves the selection too; the number follows it, so a row
    // picked with the arrow keys is what OK confirms.
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &CChooseFaxNumberDlg::TakeSelectedRow);

    ok_ = new QPushButton(tr("OK"), this);
    ok_->setDefault(true);
    Place(ok_, *this, 75, 90, 50, 14);
    cancel_ = new QPushButton(tr("Cancel"), this);
    Place(cancel_, *this, 130, 90, 50, 14);
    connect(ok_, &QPushButton::clicked, this, &CChooseFaxNumberDlg::accept);
    connect(cancel_, &QPushButton::clicked, this, &CChooseFaxNumberDlg::reject);
    AddControlHelpKey(*this, help_);
}

void CChooseFaxNumberDlg::TakeSelectedRow() {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    record_.faxNumber =
        selected.isEmpty() ? std::string() : selected.front()->text(1).toStdString();
}

void CChooseFaxNumberDlg::accept() {
    if (!record_.faxNumber.empty()) {
        const std::string chosen = record_.faxNumber;
        record_.SetFaxNumber(chosen);
    }
    QDialog::accept();
}

void CChooseFaxNumberDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), look::kPageBackground);
}
