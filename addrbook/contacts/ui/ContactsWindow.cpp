#include "addrbook/contacts/ui/ContactsWindow.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <fstream>
#include <iterator>

#include "addrbook/contacts/ListRecipients.h"
#include "addrbook/contacts/ui/ContactEditDlg.h"
#include "addrbook/contacts/ui/CsvMappingDlg.h"
#include "addrbook/ui/ContactListModel.h"
#include "app/core/MessageBoxService.h"
#include "app/core/Translations.h"
#include "base/FileReplace.h"
#include "controls/QtMessageBoxService.h"
#include "wizard/job/FaxJob.h"

namespace {

std::optional<Contact> RunEditor(QWidget* parent, const Contact& contact) {
    ContactEditDlg dialog(contact, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.contact();
}

std::optional<CsvMapping> RunMapping(QWidget* parent, const QString& file, CsvMapping mapping) {
    CsvMappingDlg dialog(QFileInfo(file).fileName(), std::move(mapping), parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.mapping();
}

QStringList ChooseFiles(QWidget* parent, bool save) {
    const QString filter =
        ContactsWindow::tr("Address books (*.vcf *.vcard *.csv *.ldif *.ldi *.txt);;All files (*)");
    if (save) {
        const QString file = QFileDialog::getSaveFileName(
            parent, ContactsWindow::tr("Export Contacts"), QStringLiteral("contacts.vcf"),
            ContactsWindow::tr("vCard files (*.vcf)"));
        return file.isEmpty() ? QStringList() : QStringList{file};
    }
    return QFileDialog::getOpenFileNames(parent, ContactsWindow::tr("Import Contacts"), QString(),
                                         filter);
}

std::optional<QString> AskName(QWidget* parent, const QString& suggested) {
    bool ok = false;
    const QString name = QInputDialog::getText(parent, ContactsWindow::tr("Distribution List"),
                                               ContactsWindow::tr("Name of the list:"),
                                               QLineEdit::Normal, suggested, &ok);
    if (!ok || name.trimmed().isEmpty()) return std::nullopt;
    return name.trimmed();
}

std::string Caption() { return ContactsWindow::tr("Contacts").toStdString(); }

}  // namespace

ContactsWindow::ContactsWindow(const std::string& folder, std::string mappingsPath,
                               MessageBoxService& boxes, QWidget* parent)
    : QMainWindow(parent),
      book_(folder),
      mappingsPath_(std::move(mappingsPath)),
      boxes_(boxes),
      editor_(RunEditor),
      mappingChooser_(RunMapping),
      fileChooser_(ChooseFiles),
      nameAsker_(AskName) {
    setWindowTitle(tr("Contacts - Corvinaport"));
    auto* central = new QWidget(this);
    auto* searchLabel = new QLabel(tr("&Search:"), central);
    search_ = new QLineEdit(central);
    search_->setAccessibleName(tr("Find a contact"));
    searchLabel->setBuddy(search_);

    const bool readable = book_.Open();
    model_ = new ContactListModel(book_.book(), this);
    view_ = new QTreeView(central);
    view_->setAccessibleName(tr("Contacts"));
    view_->setRootIsDecorated(false);
    view_->setUniformRowHeights(true);
    view_->setAllColumnsShowFocus(true);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setModel(model_);
    view_->header()->setStretchLastSection(true);
    const int widths[] = {180, 130, 130, 200};
    for (int c = 0; c < ContactListModel::kColumns; ++c) view_->setColumnWidth(c, widths[c]);

    auto* listsLabel = new QLabel(tr("Distribution &lists:"), central);
    lists_ = new QListWidget(central);
    lists_->setAccessibleName(tr("Distribution lists"));
    listsLabel->setBuddy(lists_);

    new_ = new QPushButton(tr("&New..."), central);
    edit_ = new QPushButton(tr("&Edit..."), central);
    delete_ = new QPushButton(tr("&Delete"), central);
    import_ = new QPushButton(tr("&Import..."), central);
    export_ = new QPushButton(tr("E&xport..."), central);
    makeList_ = new QPushButton(tr("&Make List..."), central);
    deleteList_ = new QPushButton(tr("Delete Lis&t"), central);
    status_ = new QLabel(central);
    status_->setAccessibleName(tr("Status"));
    status_->setWordWrap(true);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {new_, edit_, delete_, import_, export_, makeList_, deleteList_})
        buttons->addWidget(b);
    buttons->addStretch(1);
    auto* left = new QVBoxLayout;
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(searchLabel);
    searchRow->addWidget(search_, 1);
    left->addLayout(searchRow);
    left->addWidget(view_, 1);
    left->addWidget(listsLabel);
    left->addWidget(lists_);
    auto* row = new QHBoxLayout;
    row->addLayout(left, 1);
    row->addLayout(buttons);
    auto* column = new QVBoxLayout(central);
    column->addLayout(row, 1);
    column->addWidget(status_);
    setCentralWidget(central);
    resize(880, 600);

    connect(new_, &QPushButton::clicked, this, &ContactsWindow::NewContact);
    connect(edit_, &QPushButton::clicked, this, &ContactsWindow::EditSelected);
    connect(view_, &QTreeView::doubleClicked, this, [this] { EditSelected(); });
    connect(delete_, &QPushButton::clicked, this, &ContactsWindow::DeleteSelected);
    auto* deleteKey = new QShortcut(QKeySequence::Delete, view_);
    deleteKey->setContext(Qt::WidgetShortcut);
    connect(deleteKey, &QShortcut::activated, this, &ContactsWindow::DeleteSelected);
    connect(import_, &QPushButton::clicked, this, &ContactsWindow::Import);
    connect(export_, &QPushButton::clicked, this, &ContactsWindow::Export);
    connect(makeList_, &QPushButton::clicked, this, &ContactsWindow::MakeList);
    connect(deleteList_, &QPushButton::clicked, this, &ContactsWindow::DeleteList);
    connect(lists_, &QListWidget::itemActivated, this, &ContactsWindow::ShowList);
    connect(lists_, &QListWidget::itemClicked, this, &ContactsWindow::ShowList);
    connect(search_, &QLineEdit::textChanged, this, &ContactsWindow::Search);

    // Another program (a second window, an import from the command line)
    // may save the book: it is looked at every two seconds.
    watch_ = new QTimer(this);
    watch_->setInterval(2000);
    connect(watch_, &QTimer::timeout, this, &ContactsWindow::CheckDisk);
    watch_->start();
    Refill();
    if (!readable)
        status_->setText(
            tr("The address book cannot be read. It is shown empty and is not "
               "changed."));
}

ContactsWindow::~ContactsWindow() { view_->setModel(nullptr); }

void ContactsWindow::Refill() {
    model_->Reload();
    lists_->clear();
    for (const DistributionList& l : book_.lists()) {
        const auto members = static_cast<int>(book_.Members(l).size());
        auto* item = new QListWidgetItem(
            tr("%1 (%n contacts)", nullptr, members).arg(QString::fromStdString(l.name)), lists_);
        item->setData(Qt::UserRole, QString::fromStdString(l.name));
    }
}

void ContactsWindow::CheckDisk() {
    if (!book_.ChangedOnDisk()) return;
    const bool readable = book_.Open();
    Refill();
    status_->setText(readable ? tr("The address book was changed by another program and has "
                                   "been read again.")
                              : tr("The address book cannot be read. It is shown empty and is "
                                   "not changed."));
}

std::vector<int> ContactsWindow::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& i : view_->selectionModel()->selectedRows()) rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<std::pair<int, Contact>> ContactsWindow::Shown(const std::vector<int>& rows) {
    std::vector<std::pair<int, Contact>> shown;
    for (int r : rows) {
        if (const Contact* c = book_.book().At(r)) shown.emplace_back(r, *c);
    }
    return shown;
}

bool ContactsWindow::Report(const WriteResult& result) {
    Refill();
    if (!result.ok()) {
        const char* why =
            result.status == WriteStatus::Busy
                ? QT_TRANSLATE_NOOP("ContactsWindow",
                                    "The address book is busy in another program. Try again "
                                    "in a moment.")
            : result.status == WriteStatus::Unreadable
                ? QT_TRANSLATE_NOOP("ContactsWindow",
                                    "The address book cannot be read, so it was not changed.")
                : QT_TRANSLATE_NOOP("ContactsWindow",
                                    "The address book could not be saved. It was left as it "
                                    "was.");
        (void)boxes_.Show(tr(why).toStdString(), Caption(), MbButtons::Ok, MbIcon::Exclamation);
        return false;
    }
    if (result.conflicts > 0) {
        (void)boxes_.Show(
            tr("%n of the contacts you changed had been changed or deleted by another program "
               "meanwhile. An edited contact was kept as a new contact.",
               nullptr, result.conflicts)
                .toStdString(),
            Caption(), MbButtons::Ok, MbIcon::Information);
    }
    status_->setText(result.reloaded ? tr("The address book had been changed by another "
                                          "program; your change was made on its new content.")
                                     : tr("Saved."));
    return true;
}

void ContactsWindow::NewContact() {
    const std::optional<Contact> made = editor_(this, Contact());
    if (made) (void)Report(book_.Add(*made));
}

void ContactsWindow::EditSelected() {
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) return;
    const auto shown = Shown({rows.front()});
    if (shown.empty()) return;
    const std::optional<Contact> edited = editor_(this, shown[0].second);
    if (edited && !(*edited == shown[0].second))
        (void)Report(book_.Change(shown[0].first, shown[0].second, *edited));
}

void ContactsWindow::DeleteSelected() {
    const auto shown = Shown(SelectedRows());
    if (shown.empty()) return;
    const QString question =
        shown.size() == 1
            ? tr("Delete %1 from the address book?").arg(QString::fromStdString(shown[0].second.cn))
            : tr("Delete the %n selected contacts from the address book?", nullptr,
                 static_cast<int>(shown.size()));
    if (boxes_.Show(question.toStdString(), Caption(), MbButtons::YesNo, MbIcon::Question) !=
        MbResult::Yes)
        return;
    (void)Report(book_.Remove(shown));
}

void ContactsWindow::Import() {
    const QStringList files = fileChooser_(this, false);
    if (!files.isEmpty()) (void)ImportFiles(files);
}

bool ContactsWindow::ImportFiles(const QStringList& files) {
    ImportResult all;
    QStringList skipped;
    for (const QString& file : files) {
        std::ifstream in(file.toStdString(), std::ios::binary);
        if (!in) {
            (void)boxes_.Show(
                tr("%1 cannot be read. Nothing was imported.").arg(file).toStdString(), Caption(),
                MbButtons::Ok, MbIcon::Exclamation);
            return false;
        }
        const std::string text{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
        ImportResult read;
        switch (ContactImport::Detect(text, file.toStdString())) {
            case ContactImport::Format::VCard:
                read = ContactImport::ReadVCards(text);
                break;
            case ContactImport::Format::Ldif:
                read = ContactImport::ReadLdif(text);
                break;
            case ContactImport::Format::Csv: {
                CsvMapping guess = ContactImport::GuessCsvMapping(text);
                (void)ContactBook::RecallMapping(mappingsPath_, guess);
                const std::optional<CsvMapping> mapping = mappingChooser_(this, file, guess);
                if (!mapping) return false;
                (void)ContactBook::RememberMapping(mappingsPath_, *mapping);
                read = ContactImport::ReadCsv(text, *mapping);
                break;
            }
            case ContactImport::Format::Unknown:
                (void)boxes_.Show(tr("%1 is not a vCard, CSV or LDIF file. Nothing was imported.")
                                      .arg(file)
                                      .toStdString(),
                                  Caption(), MbButtons::Ok, MbIcon::Exclamation);
                return false;
        }
        for (const SkippedItem& s : read.skipped)
            skipped << tr("%1, line %2: %3")
                           .arg(QFileInfo(file).fileName())
                           .arg(s.line)
                           .arg(QString::fromStdString(s.reason));
        all.contacts.insert(all.contacts.end(), read.contacts.begin(), read.contacts.end());
        all.lines.insert(all.lines.end(), read.lines.begin(), read.lines.end());
    }
    ImportSummary summary;
    if (!Report(book_.Import(all, summary))) return false;
    QStringList detail = skipped;
    for (const std::string& note : summary.notes) detail << QString::fromStdString(note);
    const QString text =
        tr("%n contacts added.", nullptr, summary.added) + ' ' +
        tr("%n merged, %1 already in the book, %2 kept beside a contact of the same name and fax "
           "number, %3 skipped.",
           nullptr, summary.merged)
            .arg(summary.duplicates)
            .arg(summary.keptBoth)
            .arg(skipped.size());
    (void)boxes_.ShowDetailed(text.toStdString(), Caption(), MbButtons::Ok, MbIcon::Information,
                              detail.join('\n').toStdString());
    return true;
}

void ContactsWindow::Export() {
    const QStringList file = fileChooser_(this, true);
    if (!file.isEmpty()) (void)ExportTo(file.front());
}

bool ContactsWindow::ExportTo(const QString& file) {
    std::vector<int> rows = SelectedRows();
    if (rows.empty()) {
        for (int r = 0; r < book_.book().size(); ++r) rows.push_back(r);
    }
    std::vector<Contact> contacts;
    for (auto& [row, contact] : Shown(rows)) contacts.push_back(std::move(contact));
    if (!WriteFileReplacing(file.toStdString(), ContactImport::WriteVCards(contacts),
                            FileAccess::Private)) {
        (void)boxes_.Show(tr("%1 could not be written.").arg(file).toStdString(), Caption(),
                          MbButtons::Ok, MbIcon::Exclamation);
        return false;
    }
    status_->setText(tr("%n contacts exported.", nullptr, static_cast<int>(contacts.size())));
    return true;
}

void ContactsWindow::MakeList() {
    const auto shown = Shown(SelectedRows());
    if (shown.empty()) {
        status_->setText(tr("Select the contacts of the list first."));
        return;
    }
    const QListWidgetItem* current = lists_->currentItem();
    const std::optional<QString> name =
        nameAsker_(this, current ? current->data(Qt::UserRole).toString() : QString());
    if (name) (void)Report(book_.SetList(name->toStdString(), shown));
}

void ContactsWindow::DeleteList() {
    const QListWidgetItem* current = lists_->currentItem();
    if (!current) return;
    const QString name = current->data(Qt::UserRole).toString();
    if (boxes_.Show(tr("Delete the distribution list %1? Its contacts stay in the address book.")
                        .arg(name)
                        .toStdString(),
                    Caption(), MbButtons::YesNo, MbIcon::Question) != MbResult::Yes)
        return;
    (void)Report(book_.SetList(name.toStdString(), {}));
}

void ContactsWindow::ShowList() {
    const QListWidgetItem* current = lists_->currentItem();
    if (!current) return;
    const std::string name = current->data(Qt::UserRole).toString().toStdString();
    QItemSelection selection;
    for (const DistributionList& l : book_.lists()) {
        if (l.name != name) continue;
        for (const std::string& id : l.members) {
            const int r = book_.book().IndexOfId(id);
            if (r >= 0)
                selection.select(model_->index(r, 0),
                                 model_->index(r, ContactListModel::kColumns - 1));
        }
    }
    view_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void ContactsWindow::Search(const QString& text) {
    if (text.isEmpty()) return;
    const int row = model_->FindNamePrefix(text);
    if (row < 0) return;
    const QModelIndex index = model_->index(row, 0);
    view_->selectionModel()->select(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view_->setCurrentIndex(index);
    view_->scrollTo(index);
}

int RunContactsWindow(const std::string& folder, const std::string& mappingsPath) {
    LoadTranslations(*QCoreApplication::instance());
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quorvane.corvinaport.contacts"));
    QtMessageBoxService boxes;
    ContactsWindow window(folder, mappingsPath, boxes);
    boxes.SetOwner(&window);
    window.show();
    return QApplication::exec();
}

bool RunDistributionListChooser(QWidget* parent, FaxJob& job, const std::string& folder,
                                MessageBoxService& boxes) {
    const std::string caption = ContactsWindow::tr("Distribution List").toStdString();
    ContactBook book(folder);
    (void)book.Open();
    QStringList names;
    for (const DistributionList& l : book.lists()) names << QString::fromStdString(l.name);
    if (names.isEmpty()) {
        (void)boxes.Show(ContactsWindow::tr("The address book has no distribution lists yet. Make "
                                            "one in the Contacts window.")
                             .toStdString(),
                         caption, MbButtons::Ok, MbIcon::Information);
        return false;
    }
    bool ok = false;
    const QString name =
        QInputDialog::getItem(parent, ContactsWindow::tr("Distribution List"),
                              ContactsWindow::tr("Send to the members of:"), names, 0, false, &ok);
    if (!ok) return false;
    const auto chosen = static_cast<std::size_t>(names.indexOf(name));
    const std::size_t before = job.RecipientList.size();
    const std::vector<std::string> left = AddListToJob(job, book.Members(book.lists()[chosen]));
    if (!left.empty()) {
        QStringList shown;
        for (const std::string& n : left) shown << QString::fromStdString(n);
        (void)boxes.ShowDetailed(
            ContactsWindow::tr("%n members of the list have no fax number or e-mail address and "
                               "were left out.",
                               nullptr, static_cast<int>(left.size()))
                .toStdString(),
            caption, MbButtons::Ok, MbIcon::Exclamation, shown.join(", ").toStdString());
    }
    return job.RecipientList.size() != before;
}
