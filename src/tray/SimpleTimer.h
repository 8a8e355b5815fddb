#pragma once

#include <cstdint>
#include <functional>
#include <map>

#include "platform/tray/TrayPlatform.h"
#include "tray/Component.h"
#include "tray/SharedHandler.h"

namespace hourlink {

using TSimpleTimerCallback = std::function<void(TObject* CallbackData)>;

// A light repeating timer: no component, no window of its own. All simple timers of a process tick through
// one shared hidden window, which lives as long as any of them does.
class TSimpleTimer {
public:
    TSimpleTimer(TrayPlatform& platform, TObject* callbackData, TSimpleTimerCallback callback);
    ~TSimpleTimer();
    TSimpleTimer(const TSimpleTimer&) = delete;
    TSimpleTimer& operator=(const TSimpleTimer&) = delete;

    // (Re)starts the timer; answers whether the window system runs it.
    bool Start(std::uint32_t interval);
    // Answers whether the window system had it to stop.
    bool Stop();

    [[nodiscard]] bool Active() const { return m_active; }
    [[nodiscard]] std::uint32_t Interval() const { return m_interval; }
    [[nodiscard]] UINT_PTR TimerId() const { return m_timerId; }
    [[nodiscard]] TObject* CallbackData() const { return m_callbackData; }

private:
    friend class TSimpleTimerHandler;

    TrayPlatform& m_platform;
    TObject* m_callbackData;
    TSimpleTimerCallback m_callback;
    UINT_PTR m_timerId;
    bool m_active = false;
    std::uint32_t m_interval = 0;
};

// The one hidden window per process that receives the ticks of every simple timer, with the number of live
// timers using it.
class TSimpleTimerHandler : public TSharedHandler {
public:
    explicit TSimpleTimerHandler(TrayPlatform& platform);
    ~TSimpleTimerHandler() override;

    [[nodiscard]] HWND WindowHandle() const { return m_windowHandle; }

private:
    friend class TSimpleTimer;

    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    TrayPlatform& m_platform;
    HWND m_windowHandle = 0;
    // Live timers by identifier: a tick that arrives for a timer already gone finds nothing.
    std::map<UINT_PTR, TSimpleTimer*> m_timers;
};

// Creates the shared timer window on first use and counts one more user.
void AcquireTimerHandler(TrayPlatform& platform);
// Counts one user less; the last one destroys the handler and its window.
void ReleaseTimerHandler(TrayPlatform& platform);
// The platform's timer handler, or nullptr when no simple timer lives.
[[nodiscard]] TSimpleTimerHandler* TimerHandler(TrayPlatform& platform);

} // namespace hourlink
