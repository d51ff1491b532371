#pragma once

#include <chrono>
#include <ctime>

#include "app/core/Clock.h"

// A clock that stands still unless the code under test sleeps: Sleep advances
// the time instead of waiting.
class FakeClock final : public Clock {
  public:
    explicit FakeClock(std::time_t start = 1700000000) : now_(start) {}
    std::time_t Now() const override { return now_ + static_cast<std::time_t>(sleptMs / 1000); }
    std::chrono::milliseconds Steady() const override {
        return std::chrono::milliseconds(static_cast<long long>(now_) * 1000 + sleptMs);
    }
    void Sleep(std::chrono::milliseconds d) override {
        sleptMs += d.count();
        ++sleeps;
    }
    void Set(std::time_t t) {
        now_ = t;
        sleptMs = 0;
    }

    long long sleptMs = 0;
    int sleeps = 0;

  private:
    std::time_t now_;
};
