#include "addrbook/ContactListModel.h"

#include <QCoreApplication>

#include "addrbook/AddressBook.h"

namespace {

// The case-folded UTF-8 of a name; ASCII ones, the most, fold without the
// round trip through QString.
std::string Folded(std::string name) {
    for (char& c : name) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return QString::fromStdString(name).toCaseFolded().toStdString();
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

}  // namespace

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
    // UTF-8 keeps prefixes: a folded name begins with the folded text exactly
    // when their bytes do.
    const std::string wanted = text.toCaseFolded().toStdString();
    // Every name that begins with the longer text begins with the shorter
    // one: nothing above the shorter text's row can match.
    int from = 0;
    if (!lastText_.empty() && wanted.starts_with(lastText_)) {
        if (lastRow_ < 0) return -1;
        from = lastRow_;
    }
    int found = -1;
    for (int i = from; i < rows_; ++i) {
        // Names are folded as far as a search reads, once each.
        while (folded_.size() <= static_cast<std::size_t>(i)) {
            const int row = static_cast<int>(folded_.size());
            folded_.push_back(Folded(book_.GetField(row, 0)));
        }
        if (folded_[static_cast<std::size_t>(i)].starts_with(wanted)) {
            found = i;
            break;
        }
    }
    lastText_ = wanted;
    lastRow_ = found;
    return found;
}

void ContactListModel::Reload() {
    beginResetModel();
    rows_ = book_.size();
    folded_.clear();
    lastText_.clear();
    lastRow_ = -1;
    endResetModel();
}
