#include "addrbook/CAddressBookDlg.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>

#include "addrbook/CChooseFaxNumberDlg.h"
#include "app/MessageBoxService.h"
#include "app/Translate.h"
#include "controls/ColorLabel.h"
#include "controls/HelpService.h"
#include "controls/IconButton.h"
#include "controls/Look.h"
#include "controls/WizardPage.h"
#include "res/wizard/Resources.h"
#include "wizard/FaxJob.h"

namespace {

constexpr int kRecordRole = Qt::UserRole + 1;

void Place(QWidget* w, const QWidget& dlg, int x, int y, int cx, int cy) {
    const QSize pos = look::DialogUnits(dlg, x, y);
    const QSize size = look::DialogUnits(dlg, cx, cy);
    w->setGeometry(pos.width(), pos.height(), size.width(), size.height());
}

ColorLabel* Label(const QString& text, QWidget* dlg, int id) {
    auto* label = new ColorLabel(text, dlg, id);
    SetControlId(label, id);
    return label;
}

void StyleArrowButton(IconButton& button, int icon) {
    button.SetIcon(icon, icon);
    button.SetFlat(true);
    button.SetShowText(false);
    button.SetHoverBorder(false);
    button.SetHotBkColor(look::kPanel, false);
    button.SetNormalBkColor(look::kPanel, false);
}

// "Name" <address>
std::string QuotedLine(const Recipient& r, const std::string& address) {
    return "\"" + r.name + "\" <" + address + ">";
}

bool RunChooser(QWidget* parent, Recipient& record, const std::string& prompt) {
    CChooseFaxNumberDlg chooser(record, prompt, parent);
    return chooser.exec() == QDialog::Accepted;
}

}  // namespace

CAddressBookDlg::CAddressBookDlg(FaxJob& job, const std::string& installPath,
                                 MessageBoxService& boxes, QWidget* parent)
    : QDialog(parent), job_(job), boxes_(boxes), chooser_(RunChooser) {
    setWindowTitle(tr("Select Fax Number"));
    setFixedSize(look::DialogUnits(*this, 331, 228));

    titleLabel_ = Label(tr("Select Fax Number"), this, 1028);
    Place(titleLabel_, *this, 11, 5, 113, 8);
    auto* hint =
        new QLabel(tr("Select the contacts you wish to add from the list below.  You can select "
                      "multiple contacts by holding down the \"ctrl\" key."),
                   this);
    hint->setWordWrap(true);
    Place(hint, *this, 14, 18, 294, 17);
    searchLabel_ = Label(tr("Type name or select from list"), this, 1029);
    Place(searchLabel_, *this, 11, 42, 149, 9);
    search_ = new QLineEdit(this);
    SetControlId(search_, 1024);
    Place(search_, *this, 11, 53, 136, 14);
    NameField(search_, tr("Find a contact"), searchLabel_);
    contactsLabel_ = Label(tr("Contacts"), this, 1030);
    Place(contactsLabel_, *this, 11, 71, 65, 8);

    contacts_ = new QTreeWidget(this);
    SetControlId(contacts_, 1017);
    Place(contacts_, *this, 11, 82, 136, 113);
    contacts_->setRootIsDecorated(false);
    contacts_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    contacts_->setSelectionBehavior(QAbstractItemView::SelectRows);
    contacts_->setColumnCount(4);
    NameField(contacts_, tr("Contacts"), contactsLabel_);
    contacts_->setHeaderLabels({tr("Name"), tr("Business Fax"), tr("Home Fax"), tr("Email")});
    contacts_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const int widths[] = {150, 125, 125, 200};
    for (int c = 0; c < 4; ++c) contacts_->setColumnWidth(c, widths[c]);

    toButton_ = new IconButton(tr("To >>"), this, 1022);
    SetControlId(toButton_, 1022);
    Place(toButton_, *this, 150, 115, 45, 14);
    removeButton_ = new IconButton(tr("<< Remove"), this, 1032);
    SetControlId(removeButton_, 1032);
    Place(removeButton_, *this, 150, 135, 45, 14);

    recipientsLabel_ = Label(tr("Fax Recipients"), this, 1031);
    Place(recipientsLabel_, *this, 197, 71, 86, 8);
    recipients_ = new QListWidget(this);
    SetControlId(recipients_, 1020);
    Place(recipients_, *this, 201, 82, 119, 113);
    recipients_->setSelectionMode(QAbstractItemView::SingleSelection);
    NameField(recipients_, tr("Fax Recipients"), recipientsLabel_);
    recipients_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    recipients_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    recipients_->installEventFilter(this);

    ok_ = new QPushButton(tr("OK"), this);
    ok_->setDefault(true);
    Place(ok_, *this, 111, 208, 50, 14);
    cancel_ = new QPushButton(tr("Cancel"), this);
    Place(cancel_, *this, 171, 208, 50, 14);

    look::StyleTitle(*titleLabel_);
    for (ColorLabel* label : {searchLabel_, contactsLabel_, recipientsLabel_})
        look::StyleLabel(*label);
    StyleArrowButton(*toButton_, res::IDI_ARROW_RIGHT);
    StyleArrowButton(*removeButton_, res::IDI_ARROW_LEFT);

    // A missing or unreadable book leaves the contacts list empty.
    book_.SetFolder(installPath);
    (void)book_.Load();
    FillContacts();
    FillRecipients();

    connect(toButton_, &QPushButton::clicked, this, &CAddressBookDlg::AddSelected);
    connect(contacts_, &QTreeWidget::itemDoubleClicked, this, [this] { AddSelected(); });
    connect(removeButton_, &QPushButton::clicked, this, &CAddressBookDlg::RemoveSelected);
    connect(search_, &QLineEdit::textChanged, this, &CAddressBookDlg::Search);
    connect(ok_, &QPushButton::clicked, this, &CAddressBookDlg::accept);
    connect(cancel_, &QPushButton::clicked, this, &CAddressBookDlg::reject);

    auto* helpKey = new QShortcut(QKeySequence::HelpContents, this);
    helpKey->setContext(Qt::WindowShortcut);
    connect(helpKey, &QShortcut::activated, this, [this] {
        if (help_ && focusWidget()) help_->ShowControlPopup(ControlId(focusWidget()));
    });
}

CAddressBookDlg::~CAddressBookDlg() {
    // Entries and rows point into the records; take them away first.
    recipients_->clear();
    contacts_->clear();
    (void)book_.Clear();
}

void CAddressBookDlg::FillContacts() {
    const int count = book_.GetCount();
    for (int i = 0; i < count; ++i) {
        auto record = std::make_unique<Recipient>();
        record->name = book_.GetField(i, 0);
        record->email = book_.GetField(i, 1);
        record->homePhone = book_.GetField(i, 2);
        record->homeFax = book_.GetField(i, 3);
        record->businessPhone = book_.GetField(i, 4);
        record->businessFax = book_.GetField(i, 5);
        record->mobile = book_.GetField(i, 6);
        record->pager = book_.GetField(i, 7);
        auto* row = new QTreeWidgetItem(QStringList{QString::fromStdString(book_.GetField(i, 0)),
                                                    QString::fromStdString(book_.GetField(i, 5)),
                                                    QString::fromStdString(book_.GetField(i, 3)),
                                                    QString::fromStdString(book_.GetField(i, 1))});
        row->setData(0, kRecordRole, QVariant::fromValue(static_cast<void*>(record.get())));
        contacts_->addTopLevelItem(row);
        rowRecords_.push_back(std::move(record));
    }
    if (QTreeWidgetItem* first = contacts_->topLevelItem(0)) {
        contacts_->setCurrentItem(first);
        first->setSelected(true);
    }
}

void CAddressBookDlg::FillRecipients() {
    for (const auto& r : job_.RecipientList) {
        const std::string& address = r->faxNumber.empty() ? r->email : r->faxNumber;
        AppendEntry(QString::fromStdString(r->name + " (" + address + ")"), r.get());
    }
}

void CAddressBookDlg::AppendEntry(const QString& text, const Recipient* record) {
    auto* item = new QListWidgetItem(text);
    item->setData(kRecordRole,
                  QVariant::fromValue(const_cast<void*>(static_cast<const void*>(record))));
    recipients_->addItem(item);
}

const Recipient* CAddressBookDlg::RecipientOf(const QListWidgetItem* item) {
    return item ? static_cast<const Recipient*>(item->data(kRecordRole).value<void*>()) : nullptr;
}

void CAddressBookDlg::AddSelected() {
    // Row order, whatever order the rows were selected in.
    std::vector<QTreeWidgetItem*> rows;
    for (int i = 0; i < contacts_->topLevelItemCount(); ++i) {
        if (contacts_->topLevelItem(i)->isSelected()) rows.push_back(contacts_->topLevelItem(i));
    }
    for (QTreeWidgetItem* row : rows) {
        auto* record = static_cast<Recipient*>(row->data(0, kRecordRole).value<void*>());
        if (!record) continue;
        record->displayLine = record->name;
        if (job_.faxNumbersAllowed) {
            if (record->businessFax.empty() && record->homeFax.empty() &&
                record->businessPhone.empty() && record->homePhone.empty()) {
                (void)boxes_.Show(
                    QT_TRANSLATE_NOOP("Message", "No fax numbers in address book entry"),
                    QT_TRANSLATE_NOOP("Message", "Address Book"), MbButtons::Ok,
                    MbIcon::Exclamation);
                continue;
            }
            if (!chooser_ || !chooser_(this, *record, tr("Choose fax number").toStdString()))
                continue;
            // Confirmed without a number and without an e-mail address there
            // is nothing to send to: the entry would be an empty address.
            if (record->faxNumber.empty() && record->email.empty()) {
                (void)boxes_.Show(
                    QT_TRANSLATE_NOOP("Message", "No fax numbers in address book entry"),
                    QT_TRANSLATE_NOOP("Message", "Address Book"), MbButtons::Ok,
                    MbIcon::Exclamation);
                continue;
            }
        }
        record->displayLine = QuotedLine(
            *record, record->faxNumber.empty() || !job_.faxNumbersAllowed ? record->email
                                                                          : record->faxNumber);
        addedRecords_.push_back(std::make_unique<Recipient>(*record));
        AppendEntry(QString::fromStdString(record->displayLine), addedRecords_.back().get());
    }
}

void CAddressBookDlg::DeleteEntry(int row) {
    if (row < 0 || row >= recipients_->count()) return;
    delete recipients_->takeItem(row);
    const int count = recipients_->count();
    if (count > 0) recipients_->setCurrentRow(std::min(row, count - 1));
}

void CAddressBookDlg::RemoveSelected() {
    const QList<QListWidgetItem*> selected = recipients_->selectedItems();
    if (selected.isEmpty()) return;
    DeleteEntry(recipients_->row(selected.front()));
}

void CAddressBookDlg::Search(const QString& text) {
    if (text.isEmpty()) return;
    for (int i = 0; i < contacts_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = contacts_->topLevelItem(i);
        if (!row->text(0).startsWith(text, Qt::CaseInsensitive)) continue;
        contacts_->clearSelection();
        contacts_->setCurrentItem(row, 0, QItemSelectionModel::NoUpdate);
        row->setSelected(true);
        contacts_->scrollToItem(row, QAbstractItemView::EnsureVisible);
        return;
    }
}

void CAddressBookDlg::accept() {
    // Copies first: the entries may point into the records being replaced.
    std::list<std::unique_ptr<Recipient>> chosen;
    for (int i = 0; i < recipients_->count(); ++i) {
        if (const Recipient* r = RecipientOf(recipients_->item(i)))
            chosen.push_front(std::make_unique<Recipient>(*r));
    }
    recipients_->clear();
    job_.RecipientList = std::move(chosen);
    QDialog::accept();
}

bool CAddressBookDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched != recipients_ || event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    // Moving between the dialog's controls and help still work.
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab || key->key() == Qt::Key_F1 ||
        key->key() == Qt::Key_Escape || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
        return false;
    const int current = recipients_->currentRow();
    const int count = recipients_->count();
    if (current >= 0 && current < count) {
        switch (key->key()) {
            case Qt::Key_Up:
                recipients_->setCurrentRow(std::max(current - 1, 0));
                break;
            case Qt::Key_Down:
                recipients_->setCurrentRow(std::min(current + 1, count - 1));
                break;
            case Qt::Key_Delete:
                DeleteEntry(current);
                break;
            default:
                break;
        }
    }
    return true;  // the box does nothing more with any key
}

void CAddressBookDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), look::kPageBackground);
    const QRect top = searchLabel_->geometry();
    const QRect bottom = recipients_->geometry();
    QRect panel;
    panel.setLeft(top.left() - 3 * look::kFrame);
    panel.setTop(top.top() - 3 * look::kFrame);
    panel.setBottom(bottom.bottom() + 2 * look::kFrame);
    panel.setRight(bottom.right() + 3 * look::kFrame);
    p.fillRect(panel, look::kPanel);
}

bool RunAddressBookDialog(QWidget* parent, FaxJob& job, const std::string& installPath,
                          MessageBoxService& boxes, HelpService* help) {
    CAddressBookDlg dialog(job, installPath, boxes, parent);
    dialog.SetHelpService(help);
    return dialog.exec() == QDialog::Accepted;
}
