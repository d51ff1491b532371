#include "app/core/Clock.h"

#include <thread>

void SystemClock::Sleep(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

Clock& DefaultClock() {
    static SystemClock clock;
    return clock;
}

std::chrono::milliseconds Clock::Steady() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}
