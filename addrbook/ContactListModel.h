#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <string>
#include <vector>

class AddressBook;

// The contacts of a loaded book as a table of four columns: name, business
// fax, home fax and e-mail. Texts are made only for the rows on show, so a
// large book opens in the time it takes to load.
class ContactListModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { kName, kBusinessFax, kHomeFax, kEmail, kColumns };

    ContactListModel(const AddressBook& book, QObject* parent = nullptr);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;

    // The first row, from the top, whose name begins with text ignoring
    // case; -1 when none does. A text that goes on from the last one asked
    // for is looked up from that one's row, so typing a name letter by
    // letter reads the book once.
    [[nodiscard]] int FindNamePrefix(const QString& text);
    // The book's rows again, after it changed.
    void Reload();

  private:
    const AddressBook& book_;
    int rows_;
    std::vector<std::string> folded_;  // case-folded names (UTF-8) of the rows searched so far
    std::string lastText_;
    int lastRow_ = -1;
};
