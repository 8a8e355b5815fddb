#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/tray/MessageWindows.h"
#include "platform/tray/TrayPlatform.h"

namespace hourlink {

// A notification area, window system and application that answer what a test scripted and record what
// they were asked. The application window (carrying the taskbar button) and the main form are two
// windows here, as on the system the program was made for; time moves only when the test says so.
class FakeTrayPlatform final : public TrayPlatform {
public:
    static constexpr HWND kApplicationWindow = MessageWindows::kApplicationWindow;
    static constexpr HWND kMainFormWindow = MessageWindows::kMainFormWindow;

    FakeTrayPlatform();
    ~FakeTrayPlatform() override;

    // --- TrayPlatform ---
    [[nodiscard]] bool Shell_NotifyIcon(DWORD message, const NotifyIconData& data) override;
    [[nodiscard]] UINT RegisterWindowMessage(const std::string& name) override;
    [[nodiscard]] DWORD GetCommonControlsVersion() override;
    [[nodiscard]] HICON CreateIcon(const IconImage& image) override;
    void DestroyIcon(HICON icon) override;
    [[nodiscard]] HWND CreateMessageWindow(WindowProc proc) override;
    bool DestroyWindow(HWND window) override;
    LRESULT DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    [[nodiscard]] WindowProc GetWindowProc(HWND window) override;
    WindowProc SetWindowProc(HWND window, WindowProc proc) override;
    bool PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    bool SetTimer(HWND window, UINT_PTR id, UINT elapseMs) override;
    bool KillTimer(HWND window, UINT_PTR id) override;
    bool SetForegroundWindow(HWND window) override;
    bool ShowWindow(HWND window, int command) override;
    [[nodiscard]] bool IsWindowVisible(HWND window) override;
    bool GetCursorPos(TPoint& point) override;
    [[nodiscard]] std::int16_t GetAsyncKeyState(int virtualKey) override;
    [[nodiscard]] UINT GetDoubleClickTime() override;
    int TrackPopupMenu(const std::vector<MenuEntry>& entries, TPoint at) override;
    [[nodiscard]] HWND ApplicationWindow() override { return kApplicationWindow; }
    [[nodiscard]] HWND MainFormWindow() override { return m_hasMainForm ? kMainFormWindow : 0; }
    [[nodiscard]] bool MainFormVisible() override;
    void SetMainFormVisible(bool visible) override;
    [[nodiscard]] TWindowState MainFormWindowState() override { return m_windowState; }
    void SetMainFormWindowState(TWindowState state) override;
    [[nodiscard]] bool MainFormIsMdiForm() override { return m_mdiForm; }
    void ApplicationRestore() override;
    void SetShowMainForm(bool show) override;
    void ProcessMessages() override;

    // --- The notification area ---
    struct NotifyRequest {
        DWORD message;
        NotifyIconData data;
        bool accepted;
    };
    // What one icon in the notification area shows now.
    struct ShownIcon {
        UINT callbackMessage = 0;
        HICON icon = 0;
        std::string tip;
        UINT version = 0;
        bool balloonVisible = false;
        std::string balloonTitle;
        std::string balloonText;
        UINT balloonTimeout = 0;
        DWORD balloonFlags = 0;
        int balloonsShown = 0;
        int balloonsWithdrawn = 0;
    };
    [[nodiscard]] const std::vector<NotifyRequest>& requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }
    [[nodiscard]] const ShownIcon* shownIcon(HWND window, UINT id) const;
    [[nodiscard]] std::size_t shownIconCount() const { return m_shown.size(); }
    // Without a notification area every add request is refused.
    void setTrayAvailable(bool available) { m_trayAvailable = available; }
    // The notification area is made anew: it forgets its icons, and the application window is told with
    // the "TaskbarCreated" message when someone registered it.
    void recreateTaskbar();
    // The user acts on a shown icon: its callback message with the action code goes to its window.
    // Answers false when no such icon is shown.
    bool sendTrayNotification(HWND window, UINT id, UINT code);
    void setCommonControlsVersion(DWORD version) { m_commonControlsVersion = version; }
    [[nodiscard]] int commonControlsQueries() const { return m_commonControlsQueries; }

    // --- Windows ---
    LRESULT sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void deliverPostedMessages();
    [[nodiscard]] bool windowExists(HWND window) const { return m_windows.exists(window); }
    [[nodiscard]] std::size_t messageWindowCount() const { return m_windows.messageWindowCount(); }
    [[nodiscard]] int messageWindowsCreated() const { return m_windows.messageWindowsCreated(); }
    // Messages that reached default processing, as (window, message).
    [[nodiscard]] const std::vector<std::pair<HWND, UINT>>& defaultProcessed() const { return m_defaultProcessed; }

    // --- Timers ---
    // Moves time on, firing every due tick in time order.
    void advanceTime(UINT ms);
    [[nodiscard]] bool timerRunning(HWND window, UINT_PTR id) const;
    [[nodiscard]] UINT timerInterval(HWND window, UINT_PTR id) const;
    [[nodiscard]] std::size_t runningTimerCount() const { return m_timers.size(); }
    void setTimersFail(bool fail) { m_timersFail = fail; }

    // --- Icons ---
    [[nodiscard]] std::size_t liveIconCount() const { return m_icons.size(); }
    [[nodiscard]] const IconImage* iconImage(HICON icon) const;
    void setIconCreationFails(bool fail) { m_iconCreationFails = fail; }

    // --- Mouse, keyboard, menu ---
    void setCursorPos(TPoint point) { m_cursor = point; }
    void setCursorPosFails(bool fail) { m_cursorFails = fail; }
    void setKeyDown(int virtualKey, bool down);
    void setDoubleClickTime(UINT ms) { m_doubleClickTime = ms; }
    // The index the next popup menus answer, or -1 for closing them without a choice.
    void setMenuChoice(int index) { m_menuChoice = index; }
    [[nodiscard]] const std::vector<std::vector<MenuEntry>>& menusShown() const { return m_menus; }
    [[nodiscard]] const std::vector<TPoint>& menuPoints() const { return m_menuPoints; }

    // --- The application ---
    // The user minimises the application: the main form's state becomes minimised and the application
    // window gets WM_SIZE with SIZE_MINIMIZED.
    void minimizeApplication();
    void setHasMainForm(bool has) { m_hasMainForm = has; }
    void setMdiForm(bool mdi) { m_mdiForm = mdi; }
    [[nodiscard]] bool showMainForm() const { return m_showMainForm; }
    // The changes made to windows and the application, in order: "hide form", "show form", "hide app",
    // "restore", "state normal", "state minimized", "foreground app", "foreground form", "process messages",
    // "menu", "post WM_NULL form", and each request as "NIM_ADD", "NIM_MODIFY", "NIM_DELETE", "NIM_SETVERSION".
    [[nodiscard]] const std::vector<std::string>& calls() const { return m_calls; }
    void clearCalls() { m_calls.clear(); }

private:
    struct Timer {
        UINT interval = 0;
        std::uint64_t due = 0;
        std::uint64_t order = 0;
    };
    using IconKey = std::pair<HWND, UINT>;
    using TimerKey = std::pair<HWND, UINT_PTR>;

    [[nodiscard]] std::string windowName(HWND window) const;
    [[nodiscard]] bool* visibility(HWND window);
    void apply(ShownIcon& icon, const NotifyIconData& data);

    MessageWindows m_windows;
    // Message windows are never visible; the application window and the main form start shown.
    bool m_applicationVisible = true;
    bool m_mainFormVisible = true;
    std::vector<std::pair<HWND, UINT>> m_defaultProcessed;

    std::vector<NotifyRequest> m_requests;
    std::map<IconKey, ShownIcon> m_shown;
    bool m_trayAvailable = true;
    DWORD m_commonControlsVersion = 0x00060000;
    int m_commonControlsQueries = 0;

    std::map<TimerKey, Timer> m_timers;
    std::uint64_t m_nowMs = 0;
    std::uint64_t m_timerOrder = 0;
    bool m_timersFail = false;

    std::map<HICON, IconImage> m_icons;
    HICON m_nextIcon = 0x1000;
    bool m_iconCreationFails = false;

    TPoint m_cursor;
    bool m_cursorFails = false;
    std::set<int> m_keysDown;
    UINT m_doubleClickTime = 500;
    int m_menuChoice = -1;
    std::vector<std::vector<MenuEntry>> m_menus;
    std::vector<TPoint> m_menuPoints;

    bool m_hasMainForm = true;
    bool m_mdiForm = false;
    TWindowState m_windowState = TWindowState::wsNormal;
    bool m_showMainForm = true;
    std::vector<std::string> m_calls;
};

} // namespace hourlink
