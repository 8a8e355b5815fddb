#include "platform/SystemClock.h"

#include <ctime>

namespace hourlink {
namespace {
std::int64_t Milliseconds(clockid_t id) {
    timespec ts{};
    ::clock_gettime(id, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
}
} // namespace

DateTime SystemClock::Now() const {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    ::localtime_r(&ts.tv_sec, &local);
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                          local.tm_sec < 60 ? local.tm_sec : 59, static_cast<int>(ts.tv_nsec / 1'000'000));
}

std::int64_t SystemClock::SuspendedMilliseconds() const {
    return Milliseconds(CLOCK_BOOTTIME) - Milliseconds(CLOCK_MONOTONIC);
}

std::int64_t SystemClock::RunningMilliseconds() const {
    return Milliseconds(CLOCK_MONOTONIC);
}

} // namespace hourlink
