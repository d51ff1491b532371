#pragma once

// The longest gap between two turns of the event loop, the wait a user feels:
// a heartbeat timer fires every millisecond while the loop turns; the longest
// time between two beats, less the beat itself, is the longest the loop was
// held by one piece of work. Waiting for input costs nothing here, because a
// loop that blocks still answers the heartbeat.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

namespace bench {

class EventLoopGap {
  public:
    EventLoopGap() {
        beat_.setTimerType(Qt::PreciseTimer);
        beat_.setInterval(1);
        QObject::connect(&beat_, &QTimer::timeout, [this] { Beat(); });
    }

    // Starts (or starts again) measuring from now.
    void Start() {
        longest_ = 0;
        clock_.start();
        last_ = 0;
        beat_.start();
    }

    // Stops measuring; the gap from the last beat to now counts too.
    void Stop() {
        Beat();
        beat_.stop();
    }

    // The longest gap seen, in seconds.
    [[nodiscard]] double LongestSeconds() const { return longest_; }

  private:
    void Beat() {
        const qint64 now = clock_.nsecsElapsed();
        longest_ = std::max(longest_, static_cast<double>(now - last_) / 1e9 - 0.001);
        last_ = now;
    }

    QTimer beat_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    double longest_ = 0;
};

}  // namespace bench
