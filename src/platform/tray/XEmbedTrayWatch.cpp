#include "platform/tray/XEmbedTrayWatch.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include "platform/XcbAtom.h"

namespace hourlink {

XEmbedTrayWatch::XEmbedTrayWatch(std::function<void()> changed) : m_changed(std::move(changed)) {
    const auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr) {
        return;
    }
    m_manager = XcbAtom(x11->connection(), "MANAGER");
    if (m_manager != XCB_ATOM_NONE) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
}

XEmbedTrayWatch::~XEmbedTrayWatch() {
    if (m_manager != XCB_ATOM_NONE && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

bool XEmbedTrayWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/) {
    if (eventType != "xcb_generic_event_t" || message == nullptr) {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    switch (event->response_type & 0x7f) {
    case XCB_CLIENT_MESSAGE:
        if (static_cast<const xcb_client_message_event_t*>(message)->type == m_manager) {
            m_changed();
        }
        break;
    case XCB_DESTROY_NOTIFY:
        // Any window of ours or the tray's; which one is Qt's to know.
        m_changed();
        break;
    default:
        break;
    }
    return false;
}

} // namespace hourlink
