#include "platform/tray/TrayHostWatch.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

#include "platform/tray/StatusNotifierItem.h"

namespace hourlink {
namespace {

// A watcher that does not answer within this counts as no host.
constexpr int kQueryTimeoutMs = 1000;

} // namespace

TrayHostChange DecideTrayHostChange(const TrayHost& before, const TrayHost& now) {
    TrayHostChange change;
    if (before == now) {
        return change;
    }
    change.forgetIcons = true;
    change.announce = now.kind != TrayHostKind::None;
    change.startGrace = now.kind == TrayHostKind::None;
    return change;
}

TrayHostWatch::TrayHostWatch(std::function<void()> changed, QObject* parent)
    : QObject(parent), m_bus(QDBusConnection::sessionBus()), m_changed(std::move(changed)) {
    if (!m_bus.isConnected()) {
        return;
    }
    const QString service = QString::fromLatin1(kStatusNotifierWatcherService);
    m_serviceWatch = new QDBusServiceWatcher(service, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_serviceWatch, &QDBusServiceWatcher::serviceOwnerChanged, this, [this] { hostSignal(); });
    // QtDBus delivers bus signals only to slots named by their signature.
    for (const char* name : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"}) {
        m_bus.connect(service, QString::fromLatin1(kStatusNotifierWatcherPath),
                      QString::fromLatin1(kStatusNotifierWatcherInterface), QString::fromLatin1(name), this,
                      SLOT(hostSignal()));
    }
    refresh();
}

void TrayHostWatch::hostSignal() {
    refresh();
    if (m_changed) {
        m_changed();
    }
}

void TrayHostWatch::refresh() {
    m_host = askStatusNotifierHost();
}

QString TrayHostWatch::askStatusNotifierHost() const {
    if (!m_bus.isConnected()) {
        return {};
    }
    const QString service = QString::fromLatin1(kStatusNotifierWatcherService);
    const QDBusReply<QString> owner = m_bus.interface()->serviceOwner(service);
    if (!owner.isValid() || owner.value().isEmpty()) {
        return {};
    }
    QDBusMessage get =
        QDBusMessage::createMethodCall(service, QString::fromLatin1(kStatusNotifierWatcherPath),
                                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QString::fromLatin1(kStatusNotifierWatcherInterface) << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = m_bus.call(get, QDBus::Block, kQueryTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return {};
    }
    const bool registered = reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
    return registered ? owner.value() : QString();
}

} // namespace hourlink
