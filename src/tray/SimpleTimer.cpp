#include "tray/SimpleTimer.h"

#include <memory>
#include <utility>

#include "tray/TrayUnits.h"

namespace hourlink {
namespace {

struct SimpleTimerUnit final : TrayUnits::State {
    std::unique_ptr<TSimpleTimerHandler> handler;
};

SimpleTimerUnit& unitOf(TrayPlatform& platform) {
    auto& state = TrayUnits::Of(platform).timer();
    if (!state) {
        state = std::make_unique<SimpleTimerUnit>();
    }
    return static_cast<SimpleTimerUnit&>(*state);
}

} // namespace

TSimpleTimerHandler::TSimpleTimerHandler(TrayPlatform& platform) : m_platform(platform) {
    m_windowHandle = m_platform.CreateMessageWindow([this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        return WndProc(window, message, wParam, lParam);
    });
}

TSimpleTimerHandler::~TSimpleTimerHandler() {
    if (m_windowHandle != 0) {
        m_platform.DestroyWindow(m_windowHandle);
    }
}

LRESULT TSimpleTimerHandler::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_TIMER) {
        return m_platform.DefWindowProc(window, message, wParam, lParam);
    }
    const auto found = m_timers.find(wParam);
    if (found != m_timers.end() && found->second->m_callback) {
        // A copy: the callback may destroy its own timer.
        const TSimpleTimerCallback callback = found->second->m_callback;
        callback(found->second->m_callbackData);
    }
    return 0;
}

void AcquireTimerHandler(TrayPlatform& platform) {
    TSharedHandler::Acquire(unitOf(platform).handler, platform);
}

void ReleaseTimerHandler(TrayPlatform& platform) {
    TSharedHandler::Release(unitOf(platform).handler);
}

TSimpleTimerHandler* TimerHandler(TrayPlatform& platform) {
    return unitOf(platform).handler.get();
}

TSimpleTimer::TSimpleTimer(TrayPlatform& platform, TObject* callbackData, TSimpleTimerCallback callback)
    : m_platform(platform), m_callbackData(callbackData), m_callback(std::move(callback)),
      m_timerId(reinterpret_cast<UINT_PTR>(this)) {
    AcquireTimerHandler(m_platform);
    TimerHandler(m_platform)->m_timers[m_timerId] = this;
}

TSimpleTimer::~TSimpleTimer() {
    if (m_active) {
        Stop();
    }
    if (TSimpleTimerHandler* handler = TimerHandler(m_platform)) {
        handler->m_timers.erase(m_timerId);
    }
    ReleaseTimerHandler(m_platform);
}

bool TSimpleTimer::Start(std::uint32_t interval) {
    if (m_active) {
        Stop();
    }
    m_interval = interval;
    TSimpleTimerHandler* handler = TimerHandler(m_platform);
    m_active = handler != nullptr && m_platform.SetTimer(handler->WindowHandle(), m_timerId, interval);
    return m_active;
}

bool TSimpleTimer::Stop() {
    m_active = false;
    TSimpleTimerHandler* handler = TimerHandler(m_platform);
    return handler != nullptr && m_platform.KillTimer(handler->WindowHandle(), m_timerId);
}

} // namespace hourlink
