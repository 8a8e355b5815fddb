#include "platform/tray/StatusNotifierItem.h"

#include <unistd.h>

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QtEndian>

#include "platform/tray/DBusMenu.h"

namespace hourlink {
namespace {

constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kMenuPath = "/MenuBar";
// A watcher answers at once; one that does not is treated as no host rather than holding the window.
constexpr int kRegisterTimeoutMs = 2000;

void RegisterTypes() {
    qDBusRegisterMetaType<SniPixmap>();
    qDBusRegisterMetaType<SniPixmapList>();
    qDBusRegisterMetaType<SniToolTip>();
    qRegisterMetaType<SniPixmapList>("hourlink::SniPixmapList");
}

} // namespace

QDBusArgument& operator<<(QDBusArgument& argument, const SniPixmap& pixmap) {
    argument.beginStructure();
    argument << pixmap.width << pixmap.height << pixmap.bytes;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, SniPixmap& pixmap) {
    argument.beginStructure();
    argument >> pixmap.width >> pixmap.height >> pixmap.bytes;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const SniToolTip& toolTip) {
    argument.beginStructure();
    argument << toolTip.iconName << toolTip.pixmaps << toolTip.title << toolTip.description;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, SniToolTip& toolTip) {
    argument.beginStructure();
    argument >> toolTip.iconName >> toolTip.pixmaps >> toolTip.title >> toolTip.description;
    argument.endStructure();
    return argument;
}

SniPixmapList SniPixmapsFor(const QImage& image) {
    if (image.isNull()) {
        return {};
    }
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    QByteArray bytes(static_cast<qsizetype>(argb.width()) * argb.height() * 4, Qt::Uninitialized);
    uchar* out = reinterpret_cast<uchar*>(bytes.data());
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const quint32*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            qToBigEndian(line[x], out);
            out += 4;
        }
    }
    return {SniPixmap{argb.width(), argb.height(), bytes}};
}

StatusNotifierItem::StatusNotifierItem(int number, QString title, ActivationHandler onActivated, NotifyIconMenu menu,
                                       QObject* parent)
    : QObject(parent), m_connectionName(QStringLiteral("hourlink-tray-%1").arg(number)),
      m_serviceName(QStringLiteral("org.kde.StatusNotifierItem-%1-%2").arg(::getpid()).arg(number)),
      m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName)), m_title(std::move(title)),
      m_onActivated(std::move(onActivated)), m_menu(new DBusMenu(std::move(menu), this)) {
    RegisterTypes();
}

StatusNotifierItem::~StatusNotifierItem() {
    if (m_exported) {
        m_bus.unregisterObject(QString::fromLatin1(kMenuPath));
        m_bus.unregisterObject(QString::fromLatin1(kItemPath));
    }
    // The watcher sees the name go and forgets the item.
    QDBusConnection::disconnectFromBus(m_connectionName);
}

QDBusObjectPath StatusNotifierItem::menu() const {
    return QDBusObjectPath(QString::fromLatin1(kMenuPath));
}

bool StatusNotifierItem::registerWithWatcher() {
    if (!m_bus.isConnected()) {
        return false;
    }
    if (!m_exported) {
        const auto options =
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals | QDBusConnection::ExportAllProperties;
        if (!m_bus.registerObject(QString::fromLatin1(kItemPath), this, options) ||
            !m_bus.registerObject(QString::fromLatin1(kMenuPath), m_menu, options)) {
            return false;
        }
        m_exported = true;
    }
    if (!m_bus.registerService(m_serviceName)) {
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kStatusNotifierWatcherService), QString::fromLatin1(kStatusNotifierWatcherPath),
        QString::fromLatin1(kStatusNotifierWatcherInterface), QStringLiteral("RegisterStatusNotifierItem"));
    call << m_serviceName;
    return m_bus.call(call, QDBus::Block, kRegisterTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

void StatusNotifierItem::setIcon(const QImage& image) {
    m_pixmaps = SniPixmapsFor(image);
    Q_EMIT NewIcon();
}

void StatusNotifierItem::setToolTip(const QString& text) {
    m_toolTip = text;
    Q_EMIT NewToolTip();
}

void StatusNotifierItem::report(TrayActivation activation) {
    // After the host has its answer: a menu or a dialog opened by the action must not hold the host.
    QMetaObject::invokeMethod(
        this,
        [this, activation] {
            if (m_onActivated) {
                m_onActivated(activation);
            }
        },
        Qt::QueuedConnection);
}

void StatusNotifierItem::ContextMenu(int, int) {
    report(TrayActivation::Context);
}

void StatusNotifierItem::Activate(int, int) {
    report(TrayActivation::Trigger);
}

void StatusNotifierItem::SecondaryActivate(int, int) {
    report(TrayActivation::MiddleClick);
}

void StatusNotifierItem::Scroll(int, const QString&) {
    // The icon has nothing to scroll through.
}

} // namespace hourlink
