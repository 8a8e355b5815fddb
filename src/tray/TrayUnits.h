#pragma once

#include <memory>

#include "platform/tray/TrayPlatform.h"

namespace hourlink {

// The per-process state of the tray icon unit and the timer unit on one platform. The first use starts
// it; it ends when the platform drops it, the tray unit before the timer unit whose timers it still uses.
class TrayUnits final : public TrayPlatform::Attachment {
public:
    // What one unit keeps; each unit defines its own.
    class State {
    public:
        virtual ~State() = default;
    };

    TrayUnits() = default;
    ~TrayUnits() override;
    TrayUnits(const TrayUnits&) = delete;
    TrayUnits& operator=(const TrayUnits&) = delete;

    // The units of this platform, started on first use.
    [[nodiscard]] static TrayUnits& Of(TrayPlatform& platform);

    [[nodiscard]] std::unique_ptr<State>& trayIcon() { return m_trayIcon; }
    [[nodiscard]] std::unique_ptr<State>& timer() { return m_timer; }

private:
    std::unique_ptr<State> m_trayIcon;
    std::unique_ptr<State> m_timer;
};

} // namespace hourlink
