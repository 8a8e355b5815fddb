#include "platform/tray/TrayPlatform.h"

namespace hourlink {

LRESULT CallWindowProc(const WindowProc& proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!proc) {
        return 0;
    }
    return proc(window, message, wParam, lParam);
}

TrayPlatform::~TrayPlatform() = default;

} // namespace hourlink
