#pragma once

#include <QDialog>
#include <vector>

#include "addrbook/AddressBook.h"
#include "addrbook/Contact.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// Edits the fields of a contact a user knows: the names, e-mail, the fax
// numbers, the phones and the note. Identifiers and markers stay as they
// were. OK needs a display name or a first or last name; an empty display
// name is made from the others.
class ContactEditDlg : public QDialog {
    Q_OBJECT
  public:
    explicit ContactEditDlg(const Contact& contact, QWidget* parent = nullptr);

    [[nodiscard]] Contact contact() const;
    // The edit of a field, for tests; nullptr for a field not shown.
    [[nodiscard]] QLineEdit* edit(AddressBook::Field field) const;
    [[nodiscard]] QPlainTextEdit* noteEdit() const { return note_; }
    [[nodiscard]] QPushButton* okButton() const { return ok_; }

  private:
    void UpdateOk();

    Contact contact_;
    std::vector<std::pair<AddressBook::Field, QLineEdit*>> edits_;
    QPlainTextEdit* note_;
    QPushButton* ok_;
};

// The names the window gives the book's fields; empty for one it does not show.
[[nodiscard]] QString FieldLabel(const std::string& attribute);
