#pragma once

#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <functional>

namespace hourlink {

// Says when an XEmbed tray may have come or gone on an X11 display. A tray that starts announces itself to
// the root window with a "MANAGER" client message, and a tray that goes destroys its window; Qt's xcb platform
// listens to both for its own tray icons. This filter looks at them on their way through, so nothing is asked
// of the server while no tray is there. Elsewhere it watches nothing.
class XEmbedTrayWatch final : public QAbstractNativeEventFilter {
public:
    // `changed` is called from inside the event's delivery, before Qt itself has seen the event: it should
    // look again later, not at once.
    explicit XEmbedTrayWatch(std::function<void()> changed);
    ~XEmbedTrayWatch() override;
    XEmbedTrayWatch(const XEmbedTrayWatch&) = delete;
    XEmbedTrayWatch& operator=(const XEmbedTrayWatch&) = delete;

    // Whether the display is one this watch can follow.
    [[nodiscard]] bool Watching() const { return m_manager != 0; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    std::function<void()> m_changed;
    std::uint32_t m_manager = 0; // the atom "MANAGER"
};

} // namespace hourlink
