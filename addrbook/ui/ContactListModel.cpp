#include "addrbook/ui/ContactListModel.h"

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
    if (index_.size() != rows_) {
        std::vector<std::string> folded;
        folded.reserve(static_cast<std::size_t>(rows_));
        for (int row = 0; row < rows_; ++row) folded.push_back(FoldName(book_.GetField(row, 0)));
        index_ = NameIndex();
        index_.Add(0, folded);
    }
    // UTF-8 keeps prefixes: a folded name begins with the folded text exactly
    // when their bytes do.
    return index_.Find(text.toCaseFolded().toStdString(), rows_);
}

void ContactListModel::Reload() {
    beginResetModel();
    rows_ = book_.size();
    index_ = NameIndex();
    endResetModel();
}

void ContactListModel::AppendRows(int count, NameIndex&& rows) {
    if (count <= 0) return;
    beginInsertRows({}, rows_, rows_ + count - 1);
    rows_ += count;
    index_.Append(std::move(rows));
    endInsertRows();
}

void ContactListModel::SetNameIndex(NameIndex&& index) {
    if (index.size() == rows_) index_ = std::move(index);
}
