#pragma once

#include <cmath>
#include <cstdint>

#include "runtime/DateTime.h"

namespace hourlink {

// Where "Now" comes from. Everything that reads the local wall-clock time asks a Clock, so tests can
// drive time across midnights, weekdays and suspends.
class Clock {
public:
    virtual ~Clock() = default;
    // The local wall-clock time, with millisecond resolution.
    [[nodiscard]] virtual DateTime Now() const = 0;
    // Milliseconds the machine has spent suspended since boot; grows only across a suspend.
    [[nodiscard]] virtual std::int64_t SuspendedMilliseconds() const = 0;
    // Milliseconds the machine has been running, from some fixed start: stands still during a suspend
    // and is not moved when somebody sets the wall clock, so the two together tell a set clock apart.
    [[nodiscard]] virtual std::int64_t RunningMilliseconds() const = 0;
};

// Today's date at 00:00.
[[nodiscard]] inline DateTime Today(const Clock& clock) {
    return DateOf(clock.Now());
}

// A clock that stands still until a test moves it.
class ManualClock final : public Clock {
public:
    explicit ManualClock(DateTime now = 0.0) : m_now(now) {}
    [[nodiscard]] DateTime Now() const override { return m_now; }
    [[nodiscard]] std::int64_t SuspendedMilliseconds() const override { return m_suspendedMs; }
    [[nodiscard]] std::int64_t RunningMilliseconds() const override { return m_runningMs; }

    // Somebody sets the wall clock; no time passes.
    void Set(DateTime now) { m_now = now; }
    void StepWallClock(double seconds) { m_now += seconds / 86400.0; }
    // Time passes while the machine runs.
    void AdvanceSeconds(double seconds) {
        m_now += seconds / 86400.0;
        m_runningMs += std::llround(seconds * 1000.0);
    }
    // The wall clock moves on by the given time while the machine sleeps.
    void Suspend(double seconds) {
        m_now += seconds / 86400.0;
        m_suspendedMs += static_cast<std::int64_t>(seconds * 1000.0);
    }

private:
    DateTime m_now;
    std::int64_t m_suspendedMs = 0;
    std::int64_t m_runningMs = 0;
};

} // namespace hourlink
