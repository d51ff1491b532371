#include "addrbook/contacts/ui/CsvMappingDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "addrbook/contacts/ui/ContactEditDlg.h"

CsvMappingDlg::CsvMappingDlg(const QString& fileName, CsvMapping mapping, QWidget* parent)
    : QDialog(parent), mapping_(std::move(mapping)) {
    setWindowTitle(tr("Import Columns"));
    auto* hint = new QLabel(
        tr("Choose the field each column of %1 goes to. The same choice is used the next "
           "time a file with these columns is imported.")
            .arg(fileName),
        this);
    hint->setWordWrap(true);
    table_ = new QTableWidget(static_cast<int>(mapping_.headings.size()), 3, this);
    table_->setHorizontalHeaderLabels({tr("Column"), tr("First row"), tr("Field")});
    table_->setAccessibleName(tr("Columns of the file"));
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    const std::vector<std::string>& fields = ContactImport::MappableFields();
    for (std::size_t row = 0; row < mapping_.headings.size(); ++row) {
        const int r = static_cast<int>(row);
        auto cell = [](const std::string& text) {
            auto* item = new QTableWidgetItem(QString::fromStdString(text));
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            return item;
        };
        table_->setItem(r, 0, cell(mapping_.headings[row]));
        table_->setItem(
            r, 1, cell(row < mapping_.example.size() ? mapping_.example[row] : std::string()));
        auto* choice = new QComboBox(table_);
        choice->setAccessibleName(
            tr("Field for column %1").arg(QString::fromStdString(mapping_.headings[row])));
        for (const std::string& f : fields)
            choice->addItem(FieldLabel(f), QString::fromStdString(f));
        const std::string current = row < mapping_.fields.size() ? mapping_.fields[row] : "";
        choice->setCurrentIndex(std::max(0, choice->findData(QString::fromStdString(current))));
        table_->setCellWidget(r, 2, choice);
        choices_.push_back(choice);
    }
    table_->resizeColumnsToContents();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* column = new QVBoxLayout(this);
    column->addWidget(hint);
    column->addWidget(table_, 1);
    column->addWidget(buttons);
    resize(640, 480);
}

CsvMapping CsvMappingDlg::mapping() const {
    CsvMapping m = mapping_;
    m.fields.clear();
    for (const QComboBox* c : choices_)
        m.fields.push_back(c->currentData().toString().toStdString());
    return m;
}
