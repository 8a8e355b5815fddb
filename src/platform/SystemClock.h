#pragma once

#include "runtime/Clock.h"

namespace hourlink {

// The machine's local wall clock, and the time it has spent running and suspended (CLOCK_BOOTTIME
// runs on through a suspend, CLOCK_MONOTONIC does not; neither moves when the wall clock is set).
class SystemClock final : public Clock {
public:
    [[nodiscard]] DateTime Now() const override;
    [[nodiscard]] std::int64_t SuspendedMilliseconds() const override;
    [[nodiscard]] std::int64_t RunningMilliseconds() const override;
};

} // namespace hourlink
