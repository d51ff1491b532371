#include "app/Clock.h"

#include <thread>

void SystemClock::Sleep(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

Clock& DefaultClock() {
    static SystemClock clock;
    return clock;
}
