// The start-up benchmark's reference: a bare Qt dialog (a label, and a line
// edit unless --idle), ended at its first paint unless --idle; it prints the
// moment of that paint (CLOCK_MONOTONIC, in nanoseconds) as it ends.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <string>

#include "bench/support/FirstPaint.h"

int main(int argc, char** argv) {
    const bool idle = argc > 1 && std::string(argv[1]) == "--idle";
    QApplication qt(argc, argv);
    QDialog dialog;
    auto* column = new QVBoxLayout(&dialog);
    column->addWidget(new QLabel(QStringLiteral("Fax number:"), &dialog));
    if (!idle) column->addWidget(new QLineEdit(&dialog));
    dialog.resize(500, 400);
    bench::FirstPaint first("QDialog");
    if (!idle) qt.installEventFilter(&first);
    dialog.show();
    return qt.exec();
}
