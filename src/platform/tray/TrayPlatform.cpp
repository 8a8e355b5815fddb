#include "platform/tray/TrayPlatform.h"

namespace hourlink {

LRESULT CallWindowProc(const WindowProc& proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!proc) {
        return 0;
    }
    return proc(window, message, wParam, lParam);
}

TrayPlatform::~TrayPlatform() = default;

void TrayPlatform::endUnits() noexcept {
    // The tray unit's hidden window and timers go first; they still need the timer unit.
    unitState(Unit::SysTrayIcon).reset();
    unitState(Unit::SimpleTimer).reset();
}

} // namespace hourlink
