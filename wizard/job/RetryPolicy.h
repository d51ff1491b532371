#pragma once

// When a stored fax that failed is tried again by itself, and when no longer:
// the back-off after each failed attempt and the limits, with the limits'
// values in the settings store.

#include <chrono>
#include <ctime>

struct SendState;

// The registry key of the outbox's own settings, and its values.
inline constexpr const char* kOutboxKeyPath = "Software\\Quorvane\\Corvinaport\\Outbox";
// Automatic attempts stop after this many failed ones (0: never).
inline constexpr const char* kRetryLimitValue = "RetryLimit";
// ... or once the first failure is this many hours old (0: never).
inline constexpr const char* kRetryHoursValue = "RetryHours";

// When automatic attempts stop: after maxAttempts failed ones, or once the
// first failure is maxAge old.
struct RetryLimits {
    int maxAttempts = 10;
    std::chrono::seconds maxAge = std::chrono::hours(24);
};

// The retry limits of the settings store, or the defaults (10 tries, 24
// hours); values beyond 100000 tries or a year are taken as those.
[[nodiscard]] RetryLimits LoadRetryLimits();

// The wait before the next automatic attempt after `attempts` failed ones:
// 1, 5, 15 and 60 minutes, then hourly.
[[nodiscard]] std::chrono::seconds RetryDelay(int attempts);
// When the next automatic attempt is due, after at least one failed one.
[[nodiscard]] std::time_t NextAttemptAt(const SendState& state);
// True when a waiting fax is due for an automatic attempt at `now`.
[[nodiscard]] bool RetryDue(const SendState& state, std::time_t now);
// True when the failures recorded reach the limits at `now`.
[[nodiscard]] bool RetryExhausted(const SendState& state, std::time_t now,
                                  const RetryLimits& limits);
