#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QImage>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

#include "platform/tray/TrayActivation.h"
#include "platform/tray/TrayPlatform.h"

namespace hourlink {

class DBusMenu;

// An icon picture as org.kde.StatusNotifierItem sends it (iiay): ARGB32 pixels in network byte order.
struct SniPixmap {
    int width = 0;
    int height = 0;
    QByteArray bytes;
};
using SniPixmapList = QList<SniPixmap>;
// The tooltip (sa(iiay)ss): icon name, icon pictures, title and the text below it.
struct SniToolTip {
    QString iconName;
    SniPixmapList pixmaps;
    QString title;
    QString description;
};

QDBusArgument& operator<<(QDBusArgument& argument, const SniPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& argument, const SniToolTip& toolTip);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniToolTip& toolTip);

// The picture in the item's pixel form; an empty image gives no pixmap.
[[nodiscard]] SniPixmapList SniPixmapsFor(const QImage& image);

// The names every StatusNotifierItem host knows.
inline constexpr const char* kStatusNotifierWatcherService = "org.kde.StatusNotifierWatcher";
inline constexpr const char* kStatusNotifierWatcherPath = "/StatusNotifierWatcher";
inline constexpr const char* kStatusNotifierWatcherInterface = "org.kde.StatusNotifierWatcher";

// One tray icon shown by a StatusNotifierItem host (KDE Plasma, GNOME's AppIndicator extension, the
// XFCE and LXQt panels, waybar …): the item object with its properties on a bus connection of its own,
// under the name org.kde.StatusNotifierItem-PID-N, with its popup menu beside it over
// com.canonical.dbusmenu, registered with the host's watcher. The host's clicks come back as the
// actions a tray reports. Closing the connection takes the icon away.
class StatusNotifierItem final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconThemePath READ noName)
    Q_PROPERTY(QString IconName READ noName)
    Q_PROPERTY(hourlink::SniPixmapList IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ noName)
    Q_PROPERTY(hourlink::SniPixmapList OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ noName)
    Q_PROPERTY(hourlink::SniPixmapList AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ noName)
    Q_PROPERTY(hourlink::SniToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)

public:
    using ActivationHandler = std::function<void(TrayActivation)>;

    // number: tells this item's bus name from the process's other items; title: the application's name as
    // hosts show it beside the icon.
    StatusNotifierItem(int number, QString title, ActivationHandler onActivated, NotifyIconMenu menu,
                       QObject* parent = nullptr);
    ~StatusNotifierItem() override;
    StatusNotifierItem(const StatusNotifierItem&) = delete;
    StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

    // Takes the item's name on the session bus, exports the item and its menu and registers with the
    // watcher. Answers whether the watcher accepted the item.
    [[nodiscard]] bool registerWithWatcher();
    void setIcon(const QImage& image);
    void setToolTip(const QString& text);
    [[nodiscard]] const QString& serviceName() const { return m_serviceName; }

    [[nodiscard]] QString category() const { return QStringLiteral("ApplicationStatus"); }
    [[nodiscard]] QString id() const { return QStringLiteral("hourlink"); }
    [[nodiscard]] QString title() const { return m_title; }
    [[nodiscard]] QString status() const { return QStringLiteral("Active"); }
    [[nodiscard]] int windowId() const { return 0; }
    [[nodiscard]] QString noName() const { return {}; }
    [[nodiscard]] SniPixmapList iconPixmap() const { return m_pixmaps; }
    [[nodiscard]] SniPixmapList noPixmaps() const { return {}; }
    [[nodiscard]] SniToolTip toolTip() const { return SniToolTip{{}, {}, m_toolTip, {}}; }
    [[nodiscard]] bool itemIsMenu() const { return false; }
    [[nodiscard]] QDBusObjectPath menu() const;

public Q_SLOTS:
    void ContextMenu(int x, int y);
    void Activate(int x, int y);
    void SecondaryActivate(int x, int y);
    void Scroll(int delta, const QString& orientation);

Q_SIGNALS:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    void report(TrayActivation activation);

    QString m_connectionName;
    QString m_serviceName;
    QDBusConnection m_bus;
    QString m_title;
    ActivationHandler m_onActivated;
    DBusMenu* m_menu;
    SniPixmapList m_pixmaps;
    QString m_toolTip;
    bool m_exported = false;
};

} // namespace hourlink

Q_DECLARE_METATYPE(hourlink::SniPixmap)
Q_DECLARE_METATYPE(hourlink::SniToolTip)
