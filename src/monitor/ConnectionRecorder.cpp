#include "monitor/ConnectionRecorder.h"

#include <cmath>

#include "monitor/ConnCheck.h"
#include "runtime/Clock.h"
#include "store/iodata.h"

namespace hourlink {

ConnectionRecorder::ConnectionRecorder(ConnectionState& state, ConnectionLog& log, const Clock& clock,
                                       RecorderView& view)
    : m_state(state), m_log(log), m_clock(clock), m_view(view), m_suspendedMs(clock.SuspendedMilliseconds()),
      m_runningMs(clock.RunningMilliseconds()), m_previousTick(clock.Now()) {}

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
            m_view.SetStatus(kRecordingText);
        }
        m_lastSeen = m_clock.Now();
        m_todayTotal = TodayTime();
        m_view.LiveUpdate();
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
    m_log.SaveConnection(m_connectionStart, end);
    m_endAtGap.reset();
    m_view.ConnectionSaved();
    m_recording = false;
    m_view.SetStatus(kClosedText);
}

DateTime ConnectionRecorder::TodayTime() {
    return m_log.DayConnectedTime(Today(m_clock), 0.0) + (m_clock.Now() - m_connectionStart);
}

void ConnectionRecorder::SaveRunningConnection() {
    if (m_recording) {
        const DateTime now = m_clock.Now();
        const bool gap = GapSincePreviousTick(now, m_clock.SuspendedMilliseconds(), m_clock.RunningMilliseconds());
        m_log.SaveConnection(m_connectionStart, m_endAtGap.value_or(gap ? m_lastSeen : now));
        m_recording = false;
        m_endAtGap.reset();
    }
}

} // namespace hourlink
