#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "DateTime.h"

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

    ConnectionRecorder(ConnectionState& state, ConnectionLog& log, const Clock& clock, RecorderView& view);

    // One tick of the main timer. A failing log operation throws and ends the tick where it failed.
    void Tick();

    // Today's logged time plus the whole running connection, also its part before midnight.
    [[nodiscard]] DateTime TodayTime();

    // Appends the running connection ending now, for an end of the session that asks no question.
    void SaveRunningConnection();

    [[nodiscard]] bool Recording() const { return m_recording; }
    [[nodiscard]] DateTime ConnectionStart() const { return m_connectionStart; }
    [[nodiscard]] DateTime TodayTotal() const { return m_todayTotal; }
    void SetTodayTotal(DateTime value) { m_todayTotal = value; }

private:
    void EndConnection(DateTime end);

    ConnectionState& m_state;
    ConnectionLog& m_log;
    const Clock& m_clock;
    RecorderView& m_view;

    bool m_recording = false;
    DateTime m_connectionStart = 0.0;
    DateTime m_todayTotal = 0.0;
    // The last tick that saw the running connection, and the end a suspend gave it until it is saved.
    DateTime m_lastSeen = 0.0;
    std::optional<DateTime> m_endBeforeSuspend;
    std::int64_t m_suspendedMs;
};

} // namespace hourlink
