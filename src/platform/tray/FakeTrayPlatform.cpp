#include "platform/tray/FakeTrayPlatform.h"

#include <algorithm>

namespace hourlink {
namespace {

std::string requestName(DWORD message) {
    switch (message) {
    case NIM_ADD:
        return "NIM_ADD";
    case NIM_MODIFY:
        return "NIM_MODIFY";
    case NIM_DELETE:
        return "NIM_DELETE";
    case NIM_SETVERSION:
        return "NIM_SETVERSION";
    default:
        return "NIM_" + std::to_string(message);
    }
}

} // namespace

FakeTrayPlatform::FakeTrayPlatform()
    : m_windows([this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
          return DefWindowProc(window, message, wParam, lParam);
      }) {}

FakeTrayPlatform::~FakeTrayPlatform() {
    dropAttachment();
}

bool FakeTrayPlatform::Shell_NotifyIcon(DWORD message, const NotifyIconData& data) {
    m_calls.push_back(requestName(message));
    const IconKey key{data.hWnd, data.uID};
    const auto found = m_shown.find(key);
    bool accepted = false;
    if (data.cbSize == sizeof(NotifyIconData)) {
        switch (message) {
        case NIM_ADD:
            if (m_trayAvailable && found == m_shown.end()) {
                apply(m_shown[key], data);
                accepted = true;
            }
            break;
        case NIM_MODIFY:
            if (found != m_shown.end()) {
                apply(found->second, data);
                accepted = true;
            }
            break;
        case NIM_DELETE:
            if (found != m_shown.end()) {
                m_shown.erase(found);
                accepted = true;
            }
            break;
        case NIM_SETVERSION:
            if (found != m_shown.end()) {
                found->second.version = data.uVersion;
                accepted = true;
            }
            break;
        default:
            break;
        }
    }
    m_requests.push_back(NotifyRequest{message, data, accepted});
    return accepted;
}

void FakeTrayPlatform::apply(ShownIcon& icon, const NotifyIconData& data) {
    if ((data.uFlags & NIF_MESSAGE) != 0) {
        icon.callbackMessage = data.uCallbackMessage;
    }
    if ((data.uFlags & NIF_ICON) != 0) {
        icon.icon = data.hIcon;
    }
    if ((data.uFlags & NIF_TIP) != 0) {
        icon.tip = FieldText(data.szTip);
    }
    if ((data.uFlags & NIF_INFO) != 0) {
        const std::string text = FieldText(data.szInfo);
        if (!text.empty()) {
            icon.balloonVisible = true;
            icon.balloonText = text;
            icon.balloonTitle = FieldText(data.szInfoTitle);
            icon.balloonTimeout = data.uTimeout;
            icon.balloonFlags = data.dwInfoFlags;
            ++icon.balloonsShown;
        } else if (icon.balloonVisible) {
            icon.balloonVisible = false;
            ++icon.balloonsWithdrawn;
        }
    }
}

const FakeTrayPlatform::ShownIcon* FakeTrayPlatform::shownIcon(HWND window, UINT id) const {
    const auto found = m_shown.find(IconKey{window, id});
    return found == m_shown.end() ? nullptr : &found->second;
}

void FakeTrayPlatform::recreateTaskbar() {
    m_shown.clear();
    if (const auto registered = m_windows.registered("TaskbarCreated")) {
        sendMessage(kApplicationWindow, *registered, 0, 0);
    }
}

bool FakeTrayPlatform::sendTrayNotification(HWND window, UINT id, UINT code) {
    const ShownIcon* icon = shownIcon(window, id);
    if (icon == nullptr) {
        return false;
    }
    sendMessage(window, icon->callbackMessage, id, static_cast<LPARAM>(code));
    return true;
}

UINT FakeTrayPlatform::RegisterWindowMessage(const std::string& name) {
    return m_windows.registerMessage(name);
}

DWORD FakeTrayPlatform::GetCommonControlsVersion() {
    ++m_commonControlsQueries;
    return m_commonControlsVersion;
}

HICON FakeTrayPlatform::CreateIcon(const IconImage& image) {
    if (m_iconCreationFails) {
        return 0;
    }
    const HICON handle = m_nextIcon++;
    m_icons[handle] = image;
    return handle;
}

void FakeTrayPlatform::DestroyIcon(HICON icon) {
    m_icons.erase(icon);
}

const IconImage* FakeTrayPlatform::iconImage(HICON icon) const {
    const auto found = m_icons.find(icon);
    return found == m_icons.end() ? nullptr : &found->second;
}

HWND FakeTrayPlatform::CreateMessageWindow(WindowProc proc) {
    return m_windows.create(std::move(proc));
}

bool FakeTrayPlatform::DestroyWindow(HWND window) {
    if (!m_windows.destroy(window)) {
        return false;
    }
    std::erase_if(m_timers, [window](const auto& entry) { return entry.first.first == window; });
    return true;
}

LRESULT FakeTrayPlatform::DefWindowProc(HWND window, UINT message, WPARAM, LPARAM) {
    m_defaultProcessed.emplace_back(window, message);
    return 0;
}

WindowProc FakeTrayPlatform::GetWindowProc(HWND window) {
    return m_windows.proc(window);
}

WindowProc FakeTrayPlatform::SetWindowProc(HWND window, WindowProc proc) {
    return m_windows.replaceProc(window, std::move(proc));
}

LRESULT FakeTrayPlatform::sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return m_windows.send(window, message, wParam, lParam);
}

bool FakeTrayPlatform::PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!m_windows.post(window, message, wParam, lParam)) {
        return false;
    }
    if (message == WM_NULL) {
        m_calls.push_back("post WM_NULL " + windowName(window));
    }
    return true;
}

void FakeTrayPlatform::deliverPostedMessages() {
    m_windows.deliverPosted([this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        sendMessage(window, message, wParam, lParam);
    });
}

bool FakeTrayPlatform::SetTimer(HWND window, UINT_PTR id, UINT elapseMs) {
    if (m_timersFail || !windowExists(window)) {
        return false;
    }
    const UINT interval = MessageWindows::TimerInterval(elapseMs);
    m_timers[TimerKey{window, id}] = Timer{interval, m_nowMs + interval, m_timerOrder++};
    return true;
}

bool FakeTrayPlatform::KillTimer(HWND window, UINT_PTR id) {
    return m_timers.erase(TimerKey{window, id}) != 0;
}

bool FakeTrayPlatform::timerRunning(HWND window, UINT_PTR id) const {
    return m_timers.count(TimerKey{window, id}) != 0;
}

UINT FakeTrayPlatform::timerInterval(HWND window, UINT_PTR id) const {
    const auto found = m_timers.find(TimerKey{window, id});
    return found == m_timers.end() ? 0 : found->second.interval;
}

void FakeTrayPlatform::advanceTime(UINT ms) {
    const std::uint64_t target = m_nowMs + ms;
    for (;;) {
        auto next = m_timers.end();
        for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
            if (it->second.due <= target &&
                (next == m_timers.end() || it->second.due < next->second.due ||
                 (it->second.due == next->second.due && it->second.order < next->second.order))) {
                next = it;
            }
        }
        if (next == m_timers.end()) {
            break;
        }
        const TimerKey key = next->first;
        m_nowMs = next->second.due;
        next->second.due += next->second.interval;
        sendMessage(key.first, WM_TIMER, key.second, 0);
    }
    m_nowMs = target;
}

std::string FakeTrayPlatform::windowName(HWND window) const {
    if (window == kApplicationWindow) {
        return "app";
    }
    if (window == kMainFormWindow) {
        return "form";
    }
    return std::to_string(window);
}

bool FakeTrayPlatform::SetForegroundWindow(HWND window) {
    m_calls.push_back("foreground " + windowName(window));
    return windowExists(window);
}

bool* FakeTrayPlatform::visibility(HWND window) {
    if (window == kApplicationWindow) {
        return &m_applicationVisible;
    }
    return window == kMainFormWindow ? &m_mainFormVisible : nullptr;
}

bool FakeTrayPlatform::ShowWindow(HWND window, int command) {
    if (!windowExists(window)) {
        return false;
    }
    bool* visible = visibility(window);
    const bool wasVisible = visible != nullptr && *visible;
    if (command == SW_HIDE) {
        m_calls.push_back("hide " + windowName(window));
        if (visible != nullptr) {
            *visible = false;
        }
    }
    return wasVisible;
}

bool FakeTrayPlatform::IsWindowVisible(HWND window) {
    const bool* visible = visibility(window);
    return visible != nullptr && *visible;
}

bool FakeTrayPlatform::GetCursorPos(TPoint& point) {
    if (m_cursorFails) {
        return false;
    }
    point = m_cursor;
    return true;
}

void FakeTrayPlatform::setKeyDown(int virtualKey, bool down) {
    if (down) {
        m_keysDown.insert(virtualKey);
    } else {
        m_keysDown.erase(virtualKey);
    }
}

std::int16_t FakeTrayPlatform::GetAsyncKeyState(int virtualKey) {
    return m_keysDown.count(virtualKey) != 0 ? INT16_MIN : 0;
}

UINT FakeTrayPlatform::GetDoubleClickTime() {
    return m_doubleClickTime;
}

int FakeTrayPlatform::TrackPopupMenu(const std::vector<MenuEntry>& entries, TPoint at) {
    m_calls.push_back("menu");
    m_menus.push_back(entries);
    m_menuPoints.push_back(at);
    return m_menuChoice < static_cast<int>(entries.size()) ? m_menuChoice : -1;
}

bool FakeTrayPlatform::MainFormVisible() {
    return IsWindowVisible(kMainFormWindow);
}

void FakeTrayPlatform::SetMainFormVisible(bool visible) {
    if (m_mainFormVisible == visible) {
        return;
    }
    m_calls.push_back(visible ? "show form" : "hide form");
    m_mainFormVisible = visible;
    if (visible) {
        // Shown by an explicit request, not by its owner.
        sendMessage(kMainFormWindow, WM_SHOWWINDOW, 1, 0);
    }
}

void FakeTrayPlatform::SetMainFormWindowState(TWindowState state) {
    switch (state) {
    case TWindowState::wsNormal:
        m_calls.push_back("state normal");
        break;
    case TWindowState::wsMinimized:
        m_calls.push_back("state minimized");
        break;
    case TWindowState::wsMaximized:
        m_calls.push_back("state maximized");
        break;
    }
    m_windowState = state;
}

void FakeTrayPlatform::ApplicationRestore() {
    m_calls.push_back("restore");
    m_applicationVisible = true;
}

void FakeTrayPlatform::SetShowMainForm(bool show) {
    m_showMainForm = show;
}

void FakeTrayPlatform::ProcessMessages() {
    m_calls.push_back("process messages");
    deliverPostedMessages();
}

void FakeTrayPlatform::minimizeApplication() {
    m_windowState = TWindowState::wsMinimized;
    sendMessage(kApplicationWindow, WM_SIZE, SIZE_MINIMIZED, 0);
}

} // namespace hourlink
