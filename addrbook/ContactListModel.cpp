#include "addrbook/ContactListModel.h"

#include <QCoreApplication>

#include "addrbook/AddressBook.h"

ContactListModel::ContactListModel(const AddressBook& book, QObject* parent)
    : QAbstractTableModel(parent), book_(book), rows_(book.size()) {}

int ContactListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int ContactListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant ContactListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    // The book's field numbers of the columns.
    static constexpr int kFields[kColumns] = {0, 5, 3, 1};
    if (index.column() < 0 || index.column() >= kColumns) return {};
    return QString::fromStdString(book_.GetField(index.row(), kFields[index.column()]));
}

// The column titles are the dialog's own texts (and translations).
QVariant ContactListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case kName:
            return QCoreApplication::translate("CAddressBookDlg", "Name");
        case kBusinessFax:
            return QCoreApplication::translate("CAddressBookDlg", "Business Fax");
        case kHomeFax:
            return QCoreApplication::translate("CAddressBookDlg", "Home Fax");
        case kEmail:
            return QCoreApplication::translate("CAddressBookDlg", "Email");
        default:
            return {};
    }
}

int ContactListModel::FindNamePrefix(const QString& text) {
    if (text.isEmpty()) return -1;
    const QString wanted = text.toCaseFolded();
    // Every name that begins with the longer text begins with the shorter
    // one: nothing above the shorter text's row can match.
    int from = 0;
    if (!lastText_.isEmpty() && wanted.startsWith(lastText_)) {
        if (lastRow_ < 0) return -1;
        from = lastRow_;
    }
    int found = -1;
    for (int i = from; i < rows_; ++i) {
        // Names are folded as far as a search reads, once each.
        while (folded_.size() <= static_cast<std::size_t>(i)) {
            const int row = static_cast<int>(folded_.size());
            folded_.push_back(QString::fromStdString(book_.GetField(row, 0)).toCaseFolded());
        }
        if (folded_[static_cast<std::size_t>(i)].startsWith(wanted)) {
            found = i;
            break;
        }
    }
    lastText_ = wanted;
    lastRow_ = found;
    return found;
}
