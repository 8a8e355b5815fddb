#pragma once

#include <string>

class QWidget;

namespace hourlink {

// Lets a window that another start of the program asked for come to the front on desktops that guard
// the focus: the start-up id the desktop gave that start (DESKTOP_STARTUP_ID on X11, an
// XDG_ACTIVATION_TOKEN on Wayland) is what such a desktop accepts as the user's wish.
// Call before the window is shown and activated; then call Activate.
class WindowActivation final {
public:
    WindowActivation(std::string startupId, std::string activationToken);

    // Shows the token to the windowing system, then raises and activates the window.
    void Activate(QWidget& window) const;

    // The time stamp an X11 start-up id carries after "_TIME", or 0 when it carries none.
    [[nodiscard]] static unsigned long StartupIdTime(const std::string& startupId);

private:
    void ActivateOnX11(QWidget& window) const;

    std::string m_startupId;
    std::string m_activationToken;
};

} // namespace hourlink
