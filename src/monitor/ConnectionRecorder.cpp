#include "monitor/ConnectionRecorder.h"

#include <algorithm>
#include <cmath>

#include "monitor/ConnCheck.h"
#include "runtime/Clock.h"
#include "store/iodata.h"

namespace hourlink {

ConnectionRecorder::ConnectionRecorder(ConnectionState& state, ConnectionLog& log, const Clock& clock,
                                       RecorderView& view, std::chrono::milliseconds checkpointInterval)
    : m_state(state), m_log(log), m_clock(clock), m_view(view), m_checkpointInterval(checkpointInterval),
      m_suspendedMs(clock.SuspendedMilliseconds()), m_runningMs(clock.RunningMilliseconds()),
      m_previousTick(clock.Now()) {}

void ConnectionRecorder::Tick() {
    const bool online = IsOnline(m_state);

    // Time spent asleep is not connected time: a connection running into a suspend ended at the last
    // tick that saw it, and one that is up after the resume is a new one. A wall clock set back or
    // forward is handled alike, since the records hold wall-clock times: a connection measured across
    // the step would end before its start, or count hours nobody saw, so it is cut there in two.
    const std::int64_t suspended = m_clock.SuspendedMilliseconds();
    const std::int64_t running = m_clock.RunningMilliseconds();
    const DateTime now = m_clock.Now();
    if (m_recording && !m_endAtGap && GapSincePreviousTick(now, suspended, running)) {
        m_endAtGap = m_lastSeen;
    }
    m_suspendedMs = suspended;
    m_runningMs = running;
    m_previousTick = now;
    if (m_endAtGap) {
        EndConnection(*m_endAtGap);
    }

    if (online) {
        if (!m_recording) {
            m_connectionStart = m_clock.Now();
            m_recording = true;
            m_record = RunningRecord{};
            m_nextCheckpoint = m_connectionStart + IntervalInDays();
            m_view.SetStatus(kRecordingText);
        }
        m_lastSeen = m_clock.Now();
        {
            const ConnectionLog::ReadScope reads(m_log);
            m_todayTotal = TodayTime();
            m_view.LiveUpdate();
        }
        Checkpoint();
    } else if (m_recording) {
        EndConnection(m_clock.Now());
    }
}

bool ConnectionRecorder::GapSincePreviousTick(DateTime now, std::int64_t suspendedMs, std::int64_t runningMs) const {
    const std::int64_t slept = suspendedMs - m_suspendedMs;
    // Awake or asleep, the wall clock moves on with the time that passes, unless somebody sets it.
    const double passedMs = static_cast<double>(runningMs - m_runningMs + slept);
    const double wallMs = (now - m_previousTick) * static_cast<double>(kMSecsPerDay);
    return slept > kSuspendThresholdMs || std::abs(wallMs - passedMs) > static_cast<double>(kClockStepThresholdMs);
}

void ConnectionRecorder::EndConnection(DateTime end) {
    // The connection's checkpoint record, if it has one, gets the true end; else it is appended.
    m_log.WriteRunning(m_record, m_connectionStart, end);
    Forget();
    m_view.ConnectionSaved();
    m_view.SetStatus(kClosedText);
}

void ConnectionRecorder::Checkpoint() {
    // Compared in whole milliseconds: ticks that add up to the interval must not miss it by a rounding.
    if (RoundToMilliseconds(m_lastSeen) < RoundToMilliseconds(m_nextCheckpoint)) {
        return;
    }
    // Due again one interval on, whether or not this write succeeds: a log that keeps failing reports
    // once an interval, and the connection stays in memory to be written later.
    m_nextCheckpoint = m_lastSeen + IntervalInDays();
    m_log.WriteRunning(m_record, m_connectionStart, m_lastSeen);
}

double ConnectionRecorder::IntervalInDays() const {
    return static_cast<double>(m_checkpointInterval.count()) / static_cast<double>(kMSecsPerDay);
}

void ConnectionRecorder::Forget() {
    m_recording = false;
    m_endAtGap.reset();
    m_record = RunningRecord{};
}

DateTime ConnectionRecorder::TodayTime() {
    const DateTime now = m_clock.Now();
    const DateTime today = DateOf(now);
    const DateTime logged = m_log.DayConnectedTime(today, 0.0);
    if (!m_recording) {
        return logged;
    }
    // The part up to the last checkpoint is in the log already and counted above.
    const DateTime from = m_record.end ? std::max(m_connectionStart, *m_record.end) : m_connectionStart;
    return logged + Contribution(ConnectionRecord{from, now}, today, today + 1.0);
}

std::optional<DateTime> ConnectionRecorder::LastCheckpoint() const {
    return m_recording ? m_record.end : std::nullopt;
}

void ConnectionRecorder::SaveRunningConnection() {
    if (m_recording) {
        const DateTime now = m_clock.Now();
        const bool gap = GapSincePreviousTick(now, m_clock.SuspendedMilliseconds(), m_clock.RunningMilliseconds());
        m_log.WriteRunning(m_record, m_connectionStart, m_endAtGap.value_or(gap ? m_lastSeen : now));
        Forget();
    }
}

void ConnectionRecorder::DiscardRunningConnection() {
    if (m_recording) {
        const RunningRecord record = m_record;
        Forget();
        m_log.RemoveRunning(record, m_connectionStart);
    }
}

} // namespace hourlink
