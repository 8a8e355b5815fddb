#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "runtime/DateTime.h"

namespace hourlink {

class Clock;
class ConnectionLog;
class ConnectionState;

// What the recorder asks of the window around it.
class RecorderView {
public:
    virtual ~RecorderView() = default;
    // Replaces the whole status line.
    virtual void SetStatus(const std::string& text) = 0;
    // Runs on every tick that sees the connection, after TodayTotal is current.
    virtual void LiveUpdate() = 0;
    // Runs right after a finished connection has been saved.
    virtual void ConnectionSaved() = 0;
};

// Turns the once-a-second answers of the probe into connections: a start when the answer turns to
// yes, an end (and a record in the log) when it turns to no. A running connection lives only here
// until it ends.
class ConnectionRecorder {
public:
    static constexpr const char* kRecordingText = "Recording...";
    static constexpr const char* kClosedText = "Remote Connection closed";
    // A growth of the suspended time beyond this between two ticks means the machine slept.
    static constexpr std::int64_t kSuspendThresholdMs = 2000;
    // A wall clock that moves between two ticks by more than this beyond the time that passed was set.
    static constexpr std::int64_t kClockStepThresholdMs = 2000;

    ConnectionRecorder(ConnectionState& state, ConnectionLog& log, const Clock& clock, RecorderView& view);

    // One tick of the main timer. A failing log operation throws and ends the tick where it failed.
    void Tick();

    // Today's logged time plus the whole running connection, also its part before midnight.
    [[nodiscard]] DateTime TodayTime();

    // Appends the running connection ending now, for an end of the session that asks no question; after
    // a suspend or a clock step since the last tick it ends at the last tick that saw it.
    void SaveRunningConnection();

    [[nodiscard]] bool Recording() const { return m_recording; }
    [[nodiscard]] DateTime ConnectionStart() const { return m_connectionStart; }
    [[nodiscard]] DateTime TodayTotal() const { return m_todayTotal; }
    void SetTodayTotal(DateTime value) { m_todayTotal = value; }

private:
    void EndConnection(DateTime end);
    // Whether the machine slept or the wall clock was set since the previous tick.
    [[nodiscard]] bool GapSincePreviousTick(DateTime now, std::int64_t suspendedMs, std::int64_t runningMs) const;

    ConnectionState& m_state;
    ConnectionLog& m_log;
    const Clock& m_clock;
    RecorderView& m_view;

    bool m_recording = false;
    DateTime m_connectionStart = 0.0;
    DateTime m_todayTotal = 0.0;
    // The last tick that saw the running connection, and the end a suspend or a clock step gave it
    // until it is saved.
    DateTime m_lastSeen = 0.0;
    std::optional<DateTime> m_endAtGap;
    // What the clock said at the previous tick.
    std::int64_t m_suspendedMs;
    std::int64_t m_runningMs;
    DateTime m_previousTick;
};

} // namespace hourlink
