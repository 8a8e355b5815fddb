#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/tray/TrayPlatform.h"

namespace hourlink {

// What every tray backend keeps the same way: the table of message windows with the chain of procedures
// of each, the two fixed windows (the application window and the main form), the numbers of registered
// messages, the queue of posted messages and the shortest timer interval. A backend adds what differs:
// icons, the clock that runs timers, visibility and the cursor.
class MessageWindows {
public:
    static constexpr HWND kApplicationWindow = 1;
    static constexpr HWND kMainFormWindow = 2;
    // The shortest interval the window system runs a timer at; a zero interval would otherwise spin.
    static constexpr UINT kMinimumTimerMs = 10;
    static constexpr UINT kFirstRegisteredMessage = 0xC000;

    // The fixed windows start with a procedure that hands every message to defaultProc.
    explicit MessageWindows(WindowProc defaultProc);

    [[nodiscard]] static bool IsFixed(HWND window) { return window == kApplicationWindow || window == kMainFormWindow; }
    [[nodiscard]] static UINT TimerInterval(UINT elapseMs) {
        return elapseMs < kMinimumTimerMs ? kMinimumTimerMs : elapseMs;
    }

    // --- The table ---
    [[nodiscard]] HWND create(WindowProc proc);
    // False for an unknown window and for the fixed ones, which live as long as the backend.
    bool destroy(HWND window);
    [[nodiscard]] bool exists(HWND window) const { return m_windows.count(window) != 0; }
    // The windows made by create() that still exist, and how many were ever made.
    [[nodiscard]] std::size_t messageWindowCount() const { return m_windows.size() - 2; }
    [[nodiscard]] int messageWindowsCreated() const { return m_created; }

    // --- The chain of procedures ---
    // The procedure in front; empty for an unknown window.
    [[nodiscard]] WindowProc proc(HWND window) const;
    // Puts a new procedure in front and answers the one it replaced (empty for an unknown window).
    WindowProc replaceProc(HWND window, WindowProc proc);
    // Runs the procedure in front; 0 for an unknown window. The procedure may replace itself or destroy
    // its window while it runs.
    LRESULT send(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // --- Registered messages: the same name always gives the same number ---
    [[nodiscard]] UINT registerMessage(const std::string& name);
    [[nodiscard]] std::optional<UINT> registered(const std::string& name) const;

    // --- Posted messages ---
    // Queues the message for a known window; answers whether it was queued and, through firstInQueue, whether
    // the queue was empty before (the backend then arranges one delivery).
    bool post(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool* firstInQueue = nullptr);
    // Delivers the messages queued so far, in order; those posted meanwhile wait for the next call.
    void deliverPosted(const std::function<void(HWND, UINT, WPARAM, LPARAM)>& deliver);
    [[nodiscard]] std::size_t postedCount() const { return m_posted.size(); }

private:
    struct Posted {
        HWND window;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };

    std::map<HWND, std::shared_ptr<WindowProc>> m_windows;
    HWND m_nextWindow = 0x100;
    int m_created = 0;
    std::map<std::string, UINT> m_registered;
    std::vector<Posted> m_posted;
};

} // namespace hourlink
