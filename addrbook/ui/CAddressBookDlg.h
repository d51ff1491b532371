#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "addrbook/AddressBook.h"

class BookLoader;
class NameIndex;
class ColorLabel;
class ContactListModel;
class HelpService;
class IconButton;
class MessageBoxService;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTableView;
struct FaxJob;
struct Recipient;

// Lets the user pick recipients from the address book: contacts on the left,
// the fax job's recipients on the right. OK replaces the job's RecipientList
// with the entries shown; Cancel leaves it as it was. The book itself is only
// read.
class CAddressBookDlg : public QDialog {
    Q_OBJECT
  public:
    // Asks which number of the record to fax to (the fax-number chooser by
    // default); true when confirmed.
    using NumberChooser =
        std::function<bool(QWidget* parent, Recipient& record, const std::string& prompt)>;

    CAddressBookDlg(FaxJob& job, const std::string& installPath, MessageBoxService& boxes,
                    QWidget* parent = nullptr);
    ~CAddressBookDlg() override;

    void SetNumberChooser(NumberChooser chooser) { chooser_ = std::move(chooser); }
    void SetHelpService(HelpService* help) { help_ = help; }
    // Opens the Contacts window, where the book is kept ("Contacts...");
    // by default the corvinaport-contacts program beside this one.
    void SetContactsOpener(std::function<void()> opener) { openContacts_ = std::move(opener); }

    // "To >>": every selected contact, in row order, goes to the recipients.
    void AddSelected();
    // "<< Remove": the selected recipient entry.
    void RemoveSelected();
    // Selects the first contact whose name begins with text, ignoring case.
    void Search(const QString& text);
    // Rebuilds RecipientList from the entries shown and closes with OK.
    void accept() override;

    [[nodiscard]] const AddressBook& book() const { return book_; }
    // True while the book is still being read; its contacts come in as they
    // are read, in book order.
    [[nodiscard]] bool loading() const;
    [[nodiscard]] QTableView* contactsList() const { return contacts_; }
    [[nodiscard]] QListWidget* recipientsBox() const { return recipients_; }
    [[nodiscard]] QLineEdit* searchEdit() const { return search_; }
    [[nodiscard]] IconButton* toButton() const { return toButton_; }
    [[nodiscard]] IconButton* removeButton() const { return removeButton_; }
    [[nodiscard]] QPushButton* okButton() const { return ok_; }
    [[nodiscard]] QPushButton* cancelButton() const { return cancel_; }
    [[nodiscard]] QPushButton* contactsButton() const { return contactsButton_; }
    // The record an entry of the recipients box stands for.
    [[nodiscard]] static const Recipient* RecipientOf(const QListWidgetItem* item);

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void MakeContactsList();
    void LayOut(QLabel& hint);
    void ConnectControls();
    void FillContacts();
    // Rows read from the book on the loader's worker.
    void TakeContacts(AddressBook::Part&& part, NameIndex&& index);
    void ContactsLoaded(LoadOutcome outcome, NameIndex&& index);
    void FillRecipients();
    // The record of a contact row, made when the row is first moved across
    // and kept for the dialog's life (the chooser remembers its choice).
    Recipient* RecordOfRow(int row);
    void AppendEntry(const QString& text, const Recipient* record);
    // Deletes the entry at row and selects the one now there, or the last.
    void DeleteEntry(int row);

    FaxJob& job_;
    MessageBoxService& boxes_;
    HelpService* help_ = nullptr;
    NumberChooser chooser_;
    std::function<void()> openContacts_;
    AddressBook book_;
    // Records of the contact rows moved across so far, by row.
    std::map<int, std::unique_ptr<Recipient>> rowRecords_;
    // What each added entry stands for: a copy of its contact's record taken
    // when it was added, so two entries of one contact keep their own number.
    std::vector<std::unique_ptr<Recipient>> addedRecords_;
    std::unique_ptr<BookLoader> loader_;
    // A search text no contact read so far begins with: looked for again in
    // the rows that come in, until the user picks a row.
    bool searchPending_ = false;

    ColorLabel *titleLabel_, *searchLabel_, *contactsLabel_, *recipientsLabel_;
    QLineEdit* search_;
    ContactListModel* model_;
    QTableView* contacts_;
    QListWidget* recipients_;
    IconButton *toButton_, *removeButton_;
    QPushButton *ok_, *cancel_, *contactsButton_;
};

// Runs the address-book dialog modally over parent on the book in
// installPath. True when it ended with OK; RecipientList has then been
// rebuilt from the user's choice. This is what the recipients page runs.
[[nodiscard]] bool RunAddressBookDialog(QWidget* parent, FaxJob& job,
                                        const std::string& installPath, MessageBoxService& boxes,
                                        HelpService* help = nullptr);
