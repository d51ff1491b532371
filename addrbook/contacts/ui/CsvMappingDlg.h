#pragma once

#include <QDialog>
#include <vector>

#include "addrbook/contacts/ContactImport.h"

class QComboBox;
class QTableWidget;

// Shows which field each column of a CSV file goes to, with the first row
// as an example, before the file is imported; the user may change any.
class CsvMappingDlg : public QDialog {
    Q_OBJECT
  public:
    CsvMappingDlg(const QString& fileName, CsvMapping mapping, QWidget* parent = nullptr);

    [[nodiscard]] CsvMapping mapping() const;
    [[nodiscard]] QComboBox* choice(int column) const { return choices_.at(column); }

  private:
    CsvMapping mapping_;
    QTableWidget* table_;
    std::vector<QComboBox*> choices_;
};
