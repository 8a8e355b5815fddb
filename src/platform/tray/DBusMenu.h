#pragma once

#include <QDBusArgument>
#include <QDBusVariant>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <vector>

#include "platform/tray/TrayPlatform.h"

namespace hourlink {

// One line of the menu tree in com.canonical.dbusmenu's form (ia{sv}av): the children travel as variants.
struct DBusMenuLayoutItem {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayoutItem> children;
};
// (ia{sv}): a line's properties.
struct DBusMenuItemProperties {
    int id = 0;
    QVariantMap properties;
};
// (ias): the names of properties a line has lost.
struct DBusMenuItemKeys {
    int id = 0;
    QStringList names;
};
// (isvu): one event of EventGroup.
struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuItemPropertiesList = QList<DBusMenuItemProperties>;
using DBusMenuItemKeysList = QList<DBusMenuItemKeys>;
using DBusMenuEventList = QList<DBusMenuEvent>;

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayoutItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayoutItem& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemProperties& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemProperties& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemKeys& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemKeys& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& event);

// The properties a menu line is drawn with: its label, and a check box when it has one. The root (id 0)
// only says that it has children.
[[nodiscard]] QVariantMap DBusMenuProperties(const MenuEntry& entry);
// The whole tree: the root with one child per entry, ids 1, 2, … in order.
[[nodiscard]] DBusMenuLayoutItem DBusMenuLayout(const std::vector<MenuEntry>& entries);

// A tray icon's popup menu exported over com.canonical.dbusmenu for a host that draws it itself. The lines
// are read from the icon's menu each time the host is about to show them; a line the host reports as
// clicked is run once the call has been answered, so a dialog it opens does not hold the host waiting.
class DBusMenu final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

public:
    explicit DBusMenu(NotifyIconMenu menu, QObject* parent = nullptr);

    // The D-Bus types above, known to QtDBus; once per process is enough, more does no harm.
    static void registerTypes();

    [[nodiscard]] uint version() const { return 3; }
    [[nodiscard]] QString textDirection() const { return QStringLiteral("ltr"); }
    [[nodiscard]] QString status() const { return QStringLiteral("normal"); }
    [[nodiscard]] QStringList iconThemePath() const { return {}; }
    [[nodiscard]] uint revision() const { return m_revision; }

public Q_SLOTS:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                   hourlink::DBusMenuLayoutItem& layout);
    hourlink::DBusMenuItemPropertiesList GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames);
    QDBusVariant GetProperty(int id, const QString& name);
    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
    QList<int> EventGroup(const hourlink::DBusMenuEventList& events);
    bool AboutToShow(int id);
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

Q_SIGNALS:
    void ItemsPropertiesUpdated(const hourlink::DBusMenuItemPropertiesList& updatedProps,
                                const hourlink::DBusMenuItemKeysList& removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    // Reads the lines again; a change counts a new revision. Answers whether they changed.
    bool refresh();
    [[nodiscard]] bool known(int id) const { return id >= 0 && id <= static_cast<int>(m_entries.size()); }
    void clicked(int id);

    NotifyIconMenu m_menu;
    std::vector<MenuEntry> m_entries;
    uint m_revision = 1;
};

} // namespace hourlink

Q_DECLARE_METATYPE(hourlink::DBusMenuLayoutItem)
Q_DECLARE_METATYPE(hourlink::DBusMenuItemProperties)
Q_DECLARE_METATYPE(hourlink::DBusMenuItemKeys)
Q_DECLARE_METATYPE(hourlink::DBusMenuEvent)
