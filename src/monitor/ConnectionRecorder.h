#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "runtime/DateTime.h"
#include "store/iodata.h"

namespace hourlink {

class Clock;
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
// yes, an end when it turns to no. A running connection is written to the log as its newest record once
// it has run for one checkpoint interval, and that record is written over with a later end at least once
// an interval, so a crash loses at most an interval of it; its end writes the same record a last time.
class ConnectionRecorder {
public:
    static constexpr const char* kRecordingText = "Recording...";
    static constexpr const char* kClosedText = "Remote Connection closed";
    // A growth of the suspended time beyond this between two ticks means the machine slept.
    static constexpr std::int64_t kSuspendThresholdMs = 2000;
    // A wall clock that moves between two ticks by more than this beyond the time that passed was set.
    static constexpr std::int64_t kClockStepThresholdMs = 2000;

    // How often the program writes the running connection to the log.
    static constexpr std::chrono::milliseconds kCheckpointInterval{60000};

    ConnectionRecorder(ConnectionState& state, ConnectionLog& log, const Clock& clock, RecorderView& view,
                       std::chrono::milliseconds checkpointInterval = kCheckpointInterval);

    // One tick of the main timer. A failing log operation throws and ends the tick where it failed; the
    // checkpoint is the tick's last step, so its failure skips nothing else.
    void Tick();

    // Today's logged time plus the running connection's part since today's midnight that the log does
    // not hold yet.
    [[nodiscard]] DateTime TodayTime();

    // Writes the running connection ending now, for an end of the session that asks no question; after
    // a suspend or a clock step since the last tick it ends at the last tick that saw it.
    void SaveRunningConnection();

    // Forgets the running connection and takes its record off the log, when it is still the log's
    // newest record and still this connection's: a close that the user confirmed loses it.
    void DiscardRunningConnection();

    // The end written in the log for the running connection; empty while it has no record there yet, or
    // when no connection is being recorded.
    [[nodiscard]] std::optional<DateTime> LastCheckpoint() const;

    [[nodiscard]] bool Recording() const { return m_recording; }
    [[nodiscard]] DateTime ConnectionStart() const { return m_connectionStart; }
    [[nodiscard]] DateTime TodayTotal() const { return m_todayTotal; }
    void SetTodayTotal(DateTime value) { m_todayTotal = value; }

private:
    void EndConnection(DateTime end);
    // Writes the running connection up to the last tick that saw it, once an interval has passed since
    // the previous write (or since its start).
    void Checkpoint();
    void Forget();
    [[nodiscard]] double IntervalInDays() const;
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
    std::chrono::milliseconds m_checkpointInterval;
    // The running connection's record in the log, and when the next checkpoint is due.
    RunningRecord m_record;
    DateTime m_nextCheckpoint = 0.0;
    // What the clock said at the previous tick.
    std::int64_t m_suspendedMs;
    std::int64_t m_runningMs;
    DateTime m_previousTick;
};

} // namespace hourlink
