#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <string>
#include <vector>

#include "addrbook/NameIndex.h"

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
    // case; -1 when none does. Found in the sorted index of the names, which
    // is made from the book when it does not cover every row.
    [[nodiscard]] int FindNamePrefix(const QString& text);
    // The book's rows again, after it changed.
    void Reload();
    // Shows count more rows of the book (appended to it meanwhile), whose
    // names are indexed in rows.
    void AppendRows(int count, NameIndex&& rows);
    // The names of every row, indexed afresh; ignored unless it covers them.
    void SetNameIndex(NameIndex&& index);

  private:
    const AddressBook& book_;
    int rows_;
    NameIndex index_;
};
