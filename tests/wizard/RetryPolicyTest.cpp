// The back-off and limits of automatic attempts, and their values from the store.
#include <gtest/gtest.h>

#include "support/TempStore.h"
#include "wizard/job/FaxState.h"
#include "wizard/job/RetryPolicy.h"

namespace {

constexpr std::time_t kT = 1700000000;

TEST(RetryPolicy, BackOffAndLimitsAtTheirEdges) {
    const int minutes[] = {0, 1, 5, 15, 60, 60, 60};
    for (int attempts = 0; attempts < 7; ++attempts) {
        SendState due;
        due.attempts = attempts;
        due.lastAttempt = kT;
        EXPECT_TRUE(RetryDue(due, kT + minutes[attempts] * 60)) << attempts;
        EXPECT_EQ(RetryDue(due, kT + minutes[attempts] * 60 - 1), attempts == 0) << attempts;
    }
    const RetryLimits limits;  // 10 tries, 24 hours
    const std::time_t day = 24 * 3600;
    const struct {
        int attempts;
        std::time_t age;
        bool exhausted;
    } kEdges[] = {
        {9, day - 1, false}, {10, 0, true},  {11, 0, true},
        {1, day - 1, false}, {1, day, true}, {1, day + 1, true},
    };
    for (const auto& e : kEdges) {
        SendState s;
        s.attempts = e.attempts;
        s.firstFailure = kT;
        EXPECT_EQ(RetryExhausted(s, kT + e.age, limits), e.exhausted) << e.attempts << " " << e.age;
        EXPECT_FALSE(RetryExhausted(s, kT + e.age, RetryLimits{0, std::chrono::seconds(0)}));
    }
}

// Store values capped (100000 tries, a year) at, -1, +1; missing or garbled: default.
TEST(RetryPolicy, LimitsComeFromTheStoreWithinTheirCaps) {
    const struct {
        const char* values;
        int attempts;
        long long hours;
    } kCases[] = {
        {"", 10, 24},
        {"\"RetryLimit\"=dword:00000000\r\n\"RetryHours\"=dword:00000000\r\n", 0, 0},
        {"\"RetryLimit\"=dword:0001869f\r\n", 99999, 24},
        {"\"RetryLimit\"=dword:000186a0\r\n", 100000, 24},
        {"\"RetryLimit\"=dword:000186a1\r\n", 100000, 24},
        {"\"RetryHours\"=dword:00002237\r\n", 10, 8759},
        {"\"RetryHours\"=dword:00002238\r\n", 10, 8760},
        {"\"RetryHours\"=dword:00002239\r\n", 10, 8760},
        {"\"RetryHours\"=dword:ffffffff\r\n", 10, 8760},
        {"\"RetryLimit\"=\"three\"\r\n", 10, 24},
    };
    for (const auto& c : kCases) {
        TempStore store;
        store.Write(kRegHeader + ProductKey("Outbox") + c.values);
        const RetryLimits limits = LoadRetryLimits();
        EXPECT_EQ(limits.maxAttempts, c.attempts) << c.values;
        EXPECT_EQ(std::chrono::duration_cast<std::chrono::hours>(limits.maxAge).count(), c.hours)
            << c.values;
    }
}

}  // namespace
