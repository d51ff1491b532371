#pragma once

#include <chrono>
#include <ctime>

// Wall clock and waiting, behind an interface so that tests can fix the time
// and run one-second polls without waiting for real.
class Clock {
  public:
    virtual ~Clock() = default;
    [[nodiscard]] virtual std::time_t Now() const = 0;
    virtual void Sleep(std::chrono::milliseconds duration) = 0;
    // A steady count of milliseconds for measuring waits; unaffected by
    // changes of the wall clock.
    [[nodiscard]] virtual std::chrono::milliseconds Steady() const;
};

class SystemClock final : public Clock {
  public:
    [[nodiscard]] std::time_t Now() const override { return std::time(nullptr); }
    void Sleep(std::chrono::milliseconds duration) override;
};

// The process's clock unless a test installs another one.
Clock& DefaultClock();
