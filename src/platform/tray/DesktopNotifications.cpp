#include "platform/tray/DesktopNotifications.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QStringList>

#include <utility>

namespace hourlink {
namespace {

// A show that the server never answers is given up after this long, so later ones are not held forever;
// the first one may have to wait for a server that the bus starts on demand.
constexpr int kNotifyTimeoutMs = 5000;

} // namespace

DesktopNotifications::DesktopNotifications(const QDBusConnection& bus, QString appName, QString appIcon,
                                           QObject* parent)
    : QObject(parent), m_bus(bus), m_appName(std::move(appName)), m_appIcon(std::move(appIcon)),
      m_watcher(
          new QDBusServiceWatcher(QString::fromLatin1(kService), bus, QDBusServiceWatcher::WatchForOwnerChange, this)) {
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString&) { m_available.reset(); });
    m_bus.connect(QString(), QString::fromLatin1(kPath), QString::fromLatin1(kInterface),
                  QStringLiteral("NotificationClosed"), this, SLOT(closedSignal(uint, uint)));
    m_bus.connect(QString(), QString::fromLatin1(kPath), QString::fromLatin1(kInterface),
                  QStringLiteral("ActionInvoked"), this, SLOT(actionSignal(uint, QString)));
}

DesktopNotifications::~DesktopNotifications() = default;

bool DesktopNotifications::available() {
    if (m_available) {
        return *m_available;
    }
    bool present = false;
    if (m_bus.isConnected()) {
        if (const QDBusConnectionInterface* bus = m_bus.interface()) {
            present = bus->isServiceRegistered(QString::fromLatin1(kService)).value();
            if (!present) {
                // A server that the bus starts at the first call counts as there.
                const QDBusReply<QStringList> activatable = bus->activatableServiceNames();
                present = activatable.isValid() && activatable.value().contains(QString::fromLatin1(kService));
            }
        }
    }
    m_available = present;
    return present;
}

QVariantList DesktopNotifications::notifyArguments(const BalloonRequest& balloon, std::uint32_t replacesId) const {
    const NotificationFields fields = NotificationFieldsFor(balloon);
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(fields.urgency)));
    if (!fields.iconName.empty()) {
        // The kind's picture; the program's own icon is the application icon beside it.
        hints.insert(QStringLiteral("image-path"), QString::fromStdString(fields.iconName));
    }
    if (!m_appIcon.isEmpty()) {
        hints.insert(QStringLiteral("desktop-entry"), m_appIcon);
    }
    const QStringList actions{QStringLiteral("default"), QString()};
    return {m_appName,
            QVariant::fromValue(static_cast<uint>(replacesId)),
            m_appIcon,
            QString::fromStdString(balloon.title),
            QString::fromStdString(balloon.text),
            actions,
            hints,
            QVariant::fromValue(static_cast<int>(fields.expireMs))};
}

void DesktopNotifications::show(const BalloonRequest& balloon, Listener& listener) {
    Slot& slot = m_slots[&listener];
    slot.closeAfterReply = false;
    if (slot.pending) {
        slot.queued = balloon;
        return;
    }
    send(listener, slot, balloon);
}

void DesktopNotifications::send(Listener& listener, Slot& slot, const BalloonRequest& balloon) {
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                                       QString::fromLatin1(kInterface), QStringLiteral("Notify"));
    call.setArguments(notifyArguments(balloon, slot.id));
    slot.pending = true;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kNotifyTimeoutMs), this);
    Listener* target = &listener;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, target](QDBusPendingCallWatcher* finished) { answered(target, finished); });
}

void DesktopNotifications::answered(Listener* listener, QDBusPendingCallWatcher* call) {
    call->deleteLater();
    const auto found = m_slots.find(listener);
    if (found == m_slots.end()) {
        return;
    }
    Slot& slot = found->second;
    slot.pending = false;
    const QDBusPendingReply<uint> reply = *call;
    if (reply.isError()) {
        // Nothing was shown; the listener learns it as a balloon that went without a reason.
        slot.id = 0;
        slot.queued.reset();
        listener->balloonClosed(BalloonClose::Undefined);
        return;
    }
    slot.id = reply.value();
    if (slot.closeAfterReply) {
        slot.closeAfterReply = false;
        closeNow(slot);
    } else if (slot.queued) {
        const BalloonRequest next = *slot.queued;
        slot.queued.reset();
        send(*listener, slot, next);
    }
}

void DesktopNotifications::close(Listener& listener) {
    const auto found = m_slots.find(&listener);
    if (found == m_slots.end()) {
        return;
    }
    Slot& slot = found->second;
    slot.queued.reset();
    if (slot.pending) {
        slot.closeAfterReply = true;
        return;
    }
    closeNow(slot);
}

void DesktopNotifications::closeNow(Slot& slot) {
    if (slot.id == 0) {
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                       QString::fromLatin1(kInterface), QStringLiteral("CloseNotification"));
    call.setArguments({QVariant::fromValue(static_cast<uint>(slot.id))});
    m_bus.asyncCall(call);
    slot.closing.insert(slot.id);
    slot.id = 0;
}

void DesktopNotifications::forget(Listener& listener) {
    m_slots.erase(&listener);
}

void DesktopNotifications::onClosed(std::uint32_t id, std::uint32_t reason) {
    for (auto& [listener, slot] : m_slots) {
        const bool current = id != 0 && id == slot.id;
        const bool asked = slot.closing.erase(id) != 0;
        if (!current && !asked) {
            continue;
        }
        if (current) {
            slot.id = 0;
        } else if (slot.id != 0 || slot.pending) {
            // A newer notification of this listener is up or on its way; the old one's end is no news.
            return;
        }
        const auto why = reason >= 1 && reason <= 3 ? static_cast<BalloonClose>(reason) : BalloonClose::Undefined;
        listener->balloonClosed(why);
        return;
    }
}

void DesktopNotifications::onAction(std::uint32_t id, const QString& action) {
    if (action != QLatin1String("default")) {
        return;
    }
    for (auto& [listener, slot] : m_slots) {
        if (id != 0 && id == slot.id) {
            listener->balloonClicked();
            return;
        }
    }
}

} // namespace hourlink
