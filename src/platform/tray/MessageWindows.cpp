#include "platform/tray/MessageWindows.h"

#include <utility>

namespace hourlink {

MessageWindows::MessageWindows(WindowProc defaultProc) {
    m_windows[kApplicationWindow] = std::make_shared<WindowProc>(defaultProc);
    m_windows[kMainFormWindow] = std::make_shared<WindowProc>(std::move(defaultProc));
}

HWND MessageWindows::create(WindowProc proc) {
    const HWND window = m_nextWindow++;
    m_windows[window] = std::make_shared<WindowProc>(std::move(proc));
    ++m_created;
    return window;
}

bool MessageWindows::destroy(HWND window) {
    if (IsFixed(window) || m_windows.erase(window) == 0) {
        return false;
    }
    // A message still queued for it goes nowhere.
    std::erase_if(m_posted, [window](const Posted& posted) { return posted.window == window; });
    return true;
}

WindowProc MessageWindows::proc(HWND window) const {
    const auto found = m_windows.find(window);
    return found == m_windows.end() ? WindowProc{} : *found->second;
}

WindowProc MessageWindows::replaceProc(HWND window, WindowProc proc) {
    const auto found = m_windows.find(window);
    if (found == m_windows.end()) {
        return {};
    }
    WindowProc previous = *found->second;
    // A fresh holder, so a procedure that replaces itself while it runs keeps running on the old one.
    found->second = std::make_shared<WindowProc>(std::move(proc));
    return previous;
}

LRESULT MessageWindows::send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto found = m_windows.find(window);
    if (found == m_windows.end()) {
        return 0;
    }
    // Held here: the procedure may replace itself or destroy its window while it runs.
    const std::shared_ptr<WindowProc> held = found->second;
    return CallWindowProc(*held, window, message, wParam, lParam);
}

UINT MessageWindows::registerMessage(const std::string& name) {
    const auto [found, added] =
        m_registered.try_emplace(name, kFirstRegisteredMessage + static_cast<UINT>(m_registered.size()));
    return found->second;
}

std::optional<UINT> MessageWindows::registered(const std::string& name) const {
    const auto found = m_registered.find(name);
    return found == m_registered.end() ? std::nullopt : std::optional<UINT>(found->second);
}

bool MessageWindows::post(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool* firstInQueue) {
    if (!exists(window)) {
        return false;
    }
    if (firstInQueue != nullptr) {
        *firstInQueue = m_posted.empty();
    }
    m_posted.push_back(Posted{window, message, wParam, lParam});
    return true;
}

void MessageWindows::deliverPosted(const std::function<void(HWND, UINT, WPARAM, LPARAM)>& deliver) {
    std::vector<Posted> posted;
    posted.swap(m_posted);
    for (const Posted& message : posted) {
        deliver(message.window, message.message, message.wParam, message.lParam);
    }
}

} // namespace hourlink
