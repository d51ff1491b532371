#include "wizard/outbox/ui/OutboxListModel.h"

#include <QDateTime>
#include <QLocale>

OutboxListModel::OutboxListModel(OutboxEntry::List list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {}

int OutboxListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int OutboxListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant OutboxListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const OutboxEntry& e = entry(index.row());
    if (role == Qt::TextAlignmentRole && index.column() == Pages)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    switch (index.column()) {
        case Recipients:
            return e.recipients;
        case Documents:
            return e.documents;
        case Pages:
            return e.pages >= 0 ? QVariant(e.pages) : QVariant();
        case When:
            return e.when ? QLocale().toString(QDateTime::fromSecsSinceEpoch(e.when),
                                               QLocale::ShortFormat)
                          : QString();
        case State:
            return e.stateText;
        default:
            return {};
    }
}

QVariant OutboxListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case Recipients:
            return tr("Recipients");
        case Documents:
            return tr("Document");
        case Pages:
            return tr("Pages");
        case When:
            return list_ == OutboxEntry::List::Outbox ? tr("Stored") : tr("Sent");
        case State:
            return tr("State");
        default:
            return {};
    }
}

void OutboxListModel::Append(std::vector<OutboxEntry> entries) {
    if (entries.empty()) return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(entries.size()) - 1);
    for (auto& e : entries) {
        rows_.insert(QString::fromStdString(e.name), static_cast<int>(entries_.size()));
        entries_.push_back(std::move(e));
    }
    endInsertRows();
}

void OutboxListModel::SetEntries(std::vector<OutboxEntry> entries) {
    beginResetModel();
    entries_ = std::move(entries);
    rows_.clear();
    for (std::size_t i = 0; i < entries_.size(); ++i)
        rows_.insert(QString::fromStdString(entries_[i].name), static_cast<int>(i));
    endResetModel();
}

void OutboxListModel::SetPages(const std::string& name, int pages) {
    const int row = RowOf(name);
    if (row < 0 || entries_[static_cast<std::size_t>(row)].pages == pages) return;
    entries_[static_cast<std::size_t>(row)].pages = pages;
    emit dataChanged(index(row, Pages), index(row, Pages));
}

int OutboxListModel::RowOf(const std::string& name) const {
    return rows_.value(QString::fromStdString(name), -1);
}

void OutboxFilter::SetSearch(const QString& text) {
    QStringList words = text.toLower().split(QChar(' '), Qt::SkipEmptyParts);
    if (words == words_) return;
    words_ = std::move(words);
    invalidateRowsFilter();
}

bool OutboxFilter::filterAcceptsRow(int row, const QModelIndex&) const {
    if (words_.isEmpty()) return true;
    const auto* model = static_cast<const OutboxListModel*>(sourceModel());
    return MatchesSearch(model->entry(row), words_);
}
