#include "addrbook/ui/CAddressBookDlg.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "addrbook/BookLoader.h"
#include "addrbook/ui/CChooseFaxNumberDlg.h"
#include "addrbook/ui/ContactListModel.h"
#include "app/core/MessageBoxService.h"
#include "app/core/Translate.h"
#include "controls/ColorLabel.h"
#include "controls/HelpService.h"
#include "controls/IconButton.h"
#include "controls/Look.h"
#include "controls/Placement.h"
#include "controls/WizardPage.h"
#include "res/Resources.h"
#include "wizard/job/FaxJob.h"

namespace {

constexpr int kRecordRole = Qt::UserRole + 1;

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

// The Contacts window runs as a program of its own, so the book it keeps is
// saved whatever becomes of this dialog.
void OpenContactsProgram() {
    const QString beside = QCoreApplication::applicationDirPath() + "/corvinaport-contacts";
    (void)QProcess::startDetached(
        QFileInfo(beside).isExecutable() ? beside : "corvinaport-contacts", {});
}

}  // namespace

CAddressBookDlg::CAddressBookDlg(FaxJob& job, const std::string& installPath,
                                 MessageBoxService& boxes, QWidget* parent)
    : QDialog(parent),
      job_(job),
      boxes_(boxes),
      chooser_(RunChooser),
      openContacts_(OpenContactsProgram) {
    setWindowTitle(tr("Select Fax Number"));

    titleLabel_ = Label(tr("Select Fax Number"), this, 1028);
    auto* hint = new QLabel(tr("Select the contacts you wish to add from the list below.  You "
                               "can select multiple contacts by holding down the \"ctrl\" key."),
                            this);
    hint->setWordWrap(true);
    searchLabel_ = Label(tr("Type name or select from list"), this, 1029);
    search_ = new QLineEdit(this);
    SetControlId(search_, 1024);
    NameField(search_, tr("Find a contact"), searchLabel_);
    contactsLabel_ = Label(tr("Contacts"), this, 1030);

    // The book is read on a worker once the dialog is made; the list fills
    // as its contacts come in.
    book_.SetFolder(installPath);
    model_ = new ContactListModel(book_, this);
    MakeContactsList();

    toButton_ = new IconButton(tr("To >>"), this, 1022);
    SetControlId(toButton_, 1022);
    removeButton_ = new IconButton(tr("<< Remove"), this, 1032);
    SetControlId(removeButton_, 1032);
    for (IconButton* b : {toButton_, removeButton_})
        b->setFixedSize(look::DialogUnits(*this, 45, 14));

    recipientsLabel_ = Label(tr("Fax Recipients"), this, 1031);
    recipients_ = new QListWidget(this);
    SetControlId(recipients_, 1020);
    recipients_->setSelectionMode(QAbstractItemView::SingleSelection);
    NameField(recipients_, tr("Fax Recipients"), recipientsLabel_);
    recipients_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    recipients_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    recipients_->installEventFilter(this);

    ok_ = new QPushButton(tr("OK"), this);
    ok_->setDefault(true);
    cancel_ = new QPushButton(tr("Cancel"), this);
    contactsButton_ = new QPushButton(tr("&Contacts..."), this);
    contactsButton_->setAccessibleName(tr("Open the Contacts window"));

    LayOut(*hint);

    look::StyleTitle(*titleLabel_);
    for (ColorLabel* label : {searchLabel_, contactsLabel_, recipientsLabel_})
        look::StyleLabel(*label);
    StyleArrowButton(*toButton_, res::IDI_ARROW_RIGHT);
    StyleArrowButton(*removeButton_, res::IDI_ARROW_LEFT);

    FillRecipients();

    ConnectControls();

    loader_ = std::make_unique<BookLoader>(
        book_.BookPath(), BookLoader::Handlers{[this](AddressBook::Part&& part, NameIndex&& index) {
                                                   TakeContacts(std::move(part), std::move(index));
                                               },
                                               [this](LoadOutcome outcome, NameIndex&& index) {
                                                   ContactsLoaded(outcome, std::move(index));
                                               }});
}

// A table shown as a list of rows: it takes in the rows of each part read at
// the cost of the part, where a tree view lays out every row again, which on
// a large book holds the dialog for longer than a frame.
void CAddressBookDlg::MakeContactsList() {
    contacts_ = new QTableView(this);
    SetControlId(contacts_, 1017);
    NameField(contacts_, tr("Contacts"), contactsLabel_);
    contacts_->verticalHeader()->hide();
    contacts_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    contacts_->verticalHeader()->setMinimumSectionSize(1);
    contacts_->verticalHeader()->setDefaultSectionSize(contacts_->fontMetrics().height() + 4);
    contacts_->setShowGrid(false);
    contacts_->setWordWrap(false);
    contacts_->setCornerButtonEnabled(false);
    contacts_->setTabKeyNavigation(false);
    contacts_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    contacts_->setSelectionBehavior(QAbstractItemView::SelectRows);
    contacts_->setModel(model_);
    contacts_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    contacts_->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {150, 125, 125, 200};
    for (int c = 0; c < ContactListModel::kColumns; ++c) contacts_->setColumnWidth(c, widths[c]);
}

void CAddressBookDlg::LayOut(QLabel& hint) {
    // The lists take what the window gains; the contacts list the larger
    // share, as its columns are the wider.
    const QSize unit = look::DialogUnits(*this, 4, 4);
    auto* lists = new QGridLayout;
    lists->setHorizontalSpacing(unit.width());
    lists->setVerticalSpacing(unit.height() / 2);
    lists->addWidget(searchLabel_, 0, 0);
    lists->addWidget(search_, 1, 0);
    lists->addWidget(contactsLabel_, 2, 0);
    lists->addWidget(recipientsLabel_, 2, 2);
    lists->addWidget(contacts_, 3, 0);
    auto* arrows = new QVBoxLayout;
    arrows->addStretch(1);
    arrows->addWidget(toButton_);
    arrows->addSpacing(unit.height());
    arrows->addWidget(removeButton_);
    arrows->addStretch(1);
    lists->addLayout(arrows, 3, 1);
    lists->addWidget(recipients_, 3, 2);
    lists->setColumnStretch(0, 3);
    lists->setColumnStretch(2, 2);
    lists->setRowStretch(3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contactsButton_);
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    buttons->addStretch(1);
    buttons->addSpacing(contactsButton_->sizeHint().width());  // OK and Cancel stay centred
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(3 * unit.width(), unit.height(), 3 * unit.width(), unit.height());
    column->addWidget(titleLabel_);
    column->addWidget(&hint);
    column->addSpacing(unit.height());
    column->addLayout(lists, 1);
    column->addSpacing(unit.height());
    column->addLayout(buttons);
    // The template's size at least; wide enough to show the contacts'
    // number columns where the screen allows.
    setMinimumSize(look::DialogUnits(*this, 331, 228));
    resize(look::DialogUnits(*this, 331, 228).expandedTo(QSize(1000, 560)));
}

void CAddressBookDlg::ConnectControls() {
    connect(toButton_, &QPushButton::clicked, this, &CAddressBookDlg::AddSelected);
    connect(contacts_, &QTableView::doubleClicked, this, [this] { AddSelected(); });
    connect(removeButton_, &QPushButton::clicked, this, &CAddressBookDlg::RemoveSelected);
    connect(search_, &QLineEdit::textChanged, this, &CAddressBookDlg::Search);
    connect(ok_, &QPushButton::clicked, this, &CAddressBookDlg::accept);
    connect(cancel_, &QPushButton::clicked, this, &CAddressBookDlg::reject);
    connect(contactsButton_, &QPushButton::clicked, this, [this] {
        if (openContacts_) openContacts_();
    });
    // A row the user picks is not taken away by a search still waiting.
    connect(contacts_, &QTableView::pressed, this, [this] { searchPending_ = false; });
    AddControlHelpKey(*this, help_);
}

CAddressBookDlg::~CAddressBookDlg() {
    loader_.reset();  // the worker is stopped before anything it feeds goes
    // Entries point into the records, and the view reads the book.
    recipients_->clear();
    contacts_->setModel(nullptr);
    (void)book_.Clear();
}

void CAddressBookDlg::showEvent(QShowEvent* event) {
    // Never larger than the screen it opens on (an 800 x 600 one included).
    if (const QScreen* screen = this->screen()) {
        const QRect room = screen->availableGeometry();
        const QSize frame = frameGeometry().size() - geometry().size();
        const QSize fits = size().boundedTo(room.size() - frame);
        setMinimumSize(minimumSize().boundedTo(fits));
        if (fits != size()) resize(fits);
    }
    CentreOver(*this, parentWidget());
    QDialog::showEvent(event);
}

bool CAddressBookDlg::loading() const { return loader_ && loader_->loading(); }

void CAddressBookDlg::TakeContacts(AddressBook::Part&& part, NameIndex&& index) {
    const int count = part.size();
    const bool first = model_->rowCount() == 0;
    book_.Take(std::move(part));
    model_->AppendRows(count, std::move(index));
    if (first) FillContacts();
    if (searchPending_) Search(search_->text());
}

void CAddressBookDlg::ContactsLoaded(LoadOutcome outcome, NameIndex&& index) {
    if (outcome == LoadOutcome::Loaded) {
        model_->SetNameIndex(std::move(index));
        return;
    }
    // A book that could not be read to its end shows empty, as one that
    // could not be read at all.
    if (book_.size() == 0) return;
    rowRecords_.clear();
    (void)book_.Clear();
    model_->Reload();
    searchPending_ = false;
}

void CAddressBookDlg::FillContacts() {
    if (model_->rowCount() == 0) return;
    const QModelIndex first = model_->index(0, 0);
    contacts_->setCurrentIndex(first);
    contacts_->selectionModel()->select(
        first, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

Recipient* CAddressBookDlg::RecordOfRow(int row) {
    auto& record = rowRecords_[row];
    if (!record) {
        record = std::make_unique<Recipient>();
        record->name = book_.GetField(row, 0);
        record->email = book_.GetField(row, 1);
        record->homePhone = book_.GetField(row, 2);
        record->homeFax = book_.GetField(row, 3);
        record->businessPhone = book_.GetField(row, 4);
        record->businessFax = book_.GetField(row, 5);
        record->mobile = book_.GetField(row, 6);
        record->pager = book_.GetField(row, 7);
    }
    return record.get();
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
    std::vector<int> rows;
    for (const QModelIndex& index : contacts_->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    for (int row : rows) {
        Recipient* record = RecordOfRow(row);
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
    const int row = model_->FindNamePrefix(text);
    searchPending_ = row < 0 && !text.isEmpty() && loading();
    if (row < 0) return;
    const QModelIndex found = model_->index(row, 0);
    contacts_->selectionModel()->setCurrentIndex(
        found, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    contacts_->scrollTo(found, QAbstractItemView::EnsureVisible);
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
