#include "wizard/job/RetryPolicy.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "app/core/RegistryKey.h"
#include "wizard/job/FaxState.h"

RetryLimits LoadRetryLimits() {
    RetryLimits limits;
    RegistryKey key;
    const RegistryKey::ReadOnce once(key);
    if (!key.SetRootKey(HKEY_LOCAL_MACHINE) || !key.SetKeyPath(kOutboxKeyPath)) return limits;
    limits.maxAttempts =
        static_cast<int>(std::min<std::uint32_t>(key.ReadNumber(kRetryLimitValue, 10), 100000));
    limits.maxAge =
        std::chrono::hours(std::min<std::uint32_t>(key.ReadNumber(kRetryHoursValue, 24), 24 * 365));
    return limits;
}

std::chrono::seconds RetryDelay(int attempts) {
    static constexpr std::array<int, 4> kMinutes = {1, 5, 15, 60};
    if (attempts <= 0) return std::chrono::seconds(0);
    const auto index = static_cast<std::size_t>(attempts - 1);
    return std::chrono::minutes(index < kMinutes.size() ? kMinutes[index] : 60);
}

std::time_t NextAttemptAt(const SendState& state) {
    return state.lastAttempt + RetryDelay(state.attempts).count();
}

bool RetryDue(const SendState& state, std::time_t now) {
    if (state.attempts <= 0 || state.lastAttempt > now) return true;
    return now >= NextAttemptAt(state);
}

bool RetryExhausted(const SendState& state, std::time_t now, const RetryLimits& limits) {
    if (limits.maxAttempts > 0 && state.attempts >= limits.maxAttempts) return true;
    return limits.maxAge.count() > 0 && state.firstFailure != 0 &&
           now - state.firstFailure >= limits.maxAge.count();
}
