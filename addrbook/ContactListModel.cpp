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
    const Contact* c = book_.At(index.row());
    if (c == nullptr) return {};
    switch (index.column()) {
        case kName:
            return QString::fromStdString(c->cn);
        case kBusinessFax:
            return QString::fromStdString(c->facsimiletelephonenumber);
        case kHomeFax:
            return QString::fromStdString(c->xqrvhomefax);
        case kEmail:
            return QString::fromStdString(c->mail);
        default:
            return {};
    }
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
    if (folded_.empty() && rows_ > 0) {
        folded_.reserve(static_cast<std::size_t>(rows_));
        for (int i = 0; i < rows_; ++i)
            folded_.push_back(QString::fromStdString(book_.At(i)->cn).toCaseFolded());
    }
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
        if (folded_[static_cast<std::size_t>(i)].startsWith(wanted)) {
            found = i;
            break;
        }
    }
    lastText_ = wanted;
    lastRow_ = found;
    return found;
}
