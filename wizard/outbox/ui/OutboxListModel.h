#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QSortFilterProxyModel>
#include <QStringList>
#include <vector>

#include "wizard/outbox/core/OutboxEntries.h"

// The faxes of one list (outbox or sent) as table rows.
class OutboxListModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { Recipients, Documents, Pages, When, State, ColumnCount };
    explicit OutboxListModel(OutboxEntry::List list, QObject* parent = nullptr);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;

    void Append(std::vector<OutboxEntry> entries);
    // Replaces every row (a reload).
    void SetEntries(std::vector<OutboxEntry> entries);
    void SetPages(const std::string& name, int pages);
    [[nodiscard]] const OutboxEntry& entry(int row) const {
        return entries_[static_cast<std::size_t>(row)];
    }
    [[nodiscard]] int RowOf(const std::string& name) const;

  private:
    OutboxEntry::List list_;
    std::vector<OutboxEntry> entries_;
    QHash<QString, int> rows_;
};

// The search over a list: every word typed occurs in recipients, numbers,
// documents or date.
class OutboxFilter final : public QSortFilterProxyModel {
    Q_OBJECT
  public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void SetSearch(const QString& text);

  protected:
    [[nodiscard]] bool filterAcceptsRow(int row, const QModelIndex& parent) const override;

  private:
    QStringList words_;
};
