#include "tray/TrayUnits.h"

namespace hourlink {

TrayUnits::~TrayUnits() {
    // The tray unit's hidden window and timers go first; they still need the timer unit.
    m_trayIcon.reset();
    m_timer.reset();
}

TrayUnits& TrayUnits::Of(TrayPlatform& platform) {
    std::unique_ptr<TrayPlatform::Attachment>& slot = platform.attachment();
    if (!slot) {
        slot = std::make_unique<TrayUnits>();
    }
    // Only this layer puts anything into the slot.
    return static_cast<TrayUnits&>(*slot);
}

} // namespace hourlink
