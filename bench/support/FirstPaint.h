#pragma once
// The end of a start-up run: at the first paint of a widget of the given
// class, its moment goes to standard output (CLOCK_MONOTONIC, in
// nanoseconds) for the benchmark to read, and the process ends at once.

#include <time.h>
#include <unistd.h>

#include <QEvent>
#include <QObject>
#include <cstdio>

namespace bench {

class FirstPaint final : public QObject {
  public:
    explicit FirstPaint(const char* className) : className_(className) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->inherits(className_)) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::printf("%lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
            std::fflush(stdout);
            _exit(0);
        }
        return false;
    }

  private:
    const char* className_;
};

}  // namespace bench
