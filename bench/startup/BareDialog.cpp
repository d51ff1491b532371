// The start-up benchmark's reference: a bare Qt dialog (a label, and a line
// edit unless --idle), ended at its first paint unless --idle; it prints the
// moment of that paint (CLOCK_MONOTONIC, in nanoseconds) as it ends.
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <cstdio>
#include <string>

namespace {

class FirstPaint final : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->inherits("QDialog")) {
            // The moment of the first paint, for the benchmark to read.
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::printf("%lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
            std::fflush(stdout);
            _exit(0);
        }
        return false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    const bool idle = argc > 1 && std::string(argv[1]) == "--idle";
    QApplication qt(argc, argv);
    QDialog dialog;
    auto* column = new QVBoxLayout(&dialog);
    column->addWidget(new QLabel(QStringLiteral("Fax number:"), &dialog));
    if (!idle) column->addWidget(new QLineEdit(&dialog));
    dialog.resize(500, 400);
    FirstPaint first;
    if (!idle) qt.installEventFilter(&first);
    dialog.show();
    return qt.exec();
}
