#include "platform/WindowActivation.h"

#include "platform/XcbAtom.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>
#include <cstring>
#include <limits>

namespace hourlink {
namespace {

void EndStartupSequence(xcb_connection_t* connection, xcb_window_t window, const xcb_screen_t* screen,
                        const std::string& startupId) {
    // The desktop shows a busy pointer for the start that handed over until it hears that the start
    // is complete: a "remove" message of the startup-notification protocol, sent in pieces of 20 bytes.
    const xcb_atom_t begin = XcbAtom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = XcbAtom(connection, "_NET_STARTUP_INFO");
    if (begin == XCB_ATOM_NONE || more == XCB_ATOM_NONE || screen == nullptr) {
        return;
    }
    std::string message = "remove: ID=\"";
    for (const char c : startupId) {
        if (c == '"' || c == '\\') {
            message += '\\';
        }
        message += c;
    }
    message += '"';
    message += '\0';
    for (std::size_t at = 0; at < message.size(); at += 20) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = window;
        event.type = at == 0 ? begin : more;
        message.copy(reinterpret_cast<char*>(event.data.data8), 20, at);
        xcb_send_event(connection, 0, screen->root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char*>(&event));
    }
}

} // namespace

WindowActivation::WindowActivation(std::string startupId, std::string activationToken)
    : m_startupId(std::move(startupId)), m_activationToken(std::move(activationToken)) {}

unsigned long WindowActivation::StartupIdTime(const std::string& startupId) {
    const std::size_t at = startupId.rfind("_TIME");
    if (at == std::string::npos) {
        return 0;
    }
    unsigned long time = 0;
    std::size_t pos = at + 5;
    for (; pos < startupId.size() && startupId[pos] >= '0' && startupId[pos] <= '9'; ++pos) {
        time = time * 10 + static_cast<unsigned long>(startupId[pos] - '0');
        if (time > std::numeric_limits<std::uint32_t>::max()) {
            return 0;
        }
    }
    return pos == at + 5 ? 0 : time;
}

void WindowActivation::Activate(QWidget& window) const {
    if (!m_activationToken.empty() && QGuiApplication::platformName() == QLatin1String("wayland")) {
        // Qt's Wayland backend presents this token with the next activation request.
        qputenv("XDG_ACTIVATION_TOKEN", QByteArray::fromStdString(m_activationToken));
    }
    window.raise();
    window.activateWindow();
    if (!m_startupId.empty() && QGuiApplication::platformName() == QLatin1String("xcb")) {
        ActivateOnX11(window);
    }
}

void WindowActivation::ActivateOnX11(QWidget& window) const {
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) {
        return;
    }
    xcb_connection_t* connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_atom_t startupIdAtom = XcbAtom(connection, "_NET_STARTUP_ID");
    const xcb_atom_t utf8 = XcbAtom(connection, "UTF8_STRING");
    if (startupIdAtom != XCB_ATOM_NONE && utf8 != XCB_ATOM_NONE) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, startupIdAtom, utf8, 8,
                            static_cast<std::uint32_t>(m_startupId.size()), m_startupId.data());
    }
    // The window manager weighs an activation by its time; the start-up id's is the user's click.
    const unsigned long time = StartupIdTime(m_startupId);
    const xcb_atom_t activeWindow = XcbAtom(connection, "_NET_ACTIVE_WINDOW");
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (time != 0 && activeWindow != XCB_ATOM_NONE && screen != nullptr) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = id;
        event.type = activeWindow;
        event.data.data32[0] = 1; // from an application
        event.data.data32[1] = static_cast<std::uint32_t>(time);
        xcb_send_event(connection, 0, screen->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char*>(&event));
    }
    EndStartupSequence(connection, id, screen, m_startupId);
    xcb_flush(connection);
}

} // namespace hourlink
