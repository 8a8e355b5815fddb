#include "ConnectionRecorder.h"

#include "Clock.h"
#include "ConnCheck.h"
#include "iodata.h"

namespace hourlink {

ConnectionRecorder::ConnectionRecorder(ConnectionState& state, ConnectionLog& log, const Clock& clock,
                                       RecorderView& view)
    : m_state(state), m_log(log), m_clock(clock), m_view(view), m_suspendedMs(clock.SuspendedMilliseconds()) {}

void ConnectionRecorder::Tick() {
    const bool online = IsOnline(m_state);

    // Time spent asleep is not connected time: a connection running into a suspend ended at the last
    // tick that saw it, and one that is up after the resume is a new one.
    const std::int64_t suspended = m_clock.SuspendedMilliseconds();
    if (suspended - m_suspendedMs > kSuspendThresholdMs && m_recording && !m_endBeforeSuspend) {
        m_endBeforeSuspend = m_lastSeen;
    }
    m_suspendedMs = suspended;
    if (m_endBeforeSuspend) {
        EndConnection(*m_endBeforeSuspend);
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

void ConnectionRecorder::EndConnection(DateTime end) {
    m_log.SaveConnection(m_connectionStart, end);
    m_endBeforeSuspend.reset();
    m_view.ConnectionSaved();
    m_recording = false;
    m_view.SetStatus(kClosedText);
}

DateTime ConnectionRecorder::TodayTime() {
    return m_log.DayConnectedTime(Today(m_clock), 0.0) + (m_clock.Now() - m_connectionStart);
}

void ConnectionRecorder::SaveRunningConnection() {
    if (m_recording) {
        m_log.SaveConnection(m_connectionStart, m_endBeforeSuspend.value_or(m_clock.Now()));
        m_recording = false;
        m_endBeforeSuspend.reset();
    }
}

} // namespace hourlink
