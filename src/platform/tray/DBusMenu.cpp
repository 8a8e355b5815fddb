#include "platform/tray/DBusMenu.h"

#include <QDBusMetaType>
#include <QMetaObject>

#include <algorithm>

namespace hourlink {
namespace {

bool SameEntries(const std::vector<MenuEntry>& a, const std::vector<MenuEntry>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const MenuEntry& x, const MenuEntry& y) {
        return x.caption == y.caption && x.isDefault == y.isDefault && x.checkable == y.checkable &&
               x.checked == y.checked;
    });
}

QVariantMap RootProperties() {
    return {{QStringLiteral("children-display"), QStringLiteral("submenu")}};
}

} // namespace

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayoutItem& item) {
    argument.beginStructure();
    argument << item.id << item.properties;
    argument.beginArray(qMetaTypeId<QDBusVariant>());
    for (const DBusMenuLayoutItem& child : item.children) {
        argument << QDBusVariant(QVariant::fromValue(child));
    }
    argument.endArray();
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayoutItem& item) {
    argument.beginStructure();
    argument >> item.id >> item.properties;
    item.children.clear();
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        DBusMenuLayoutItem childItem;
        child.variant().value<QDBusArgument>() >> childItem;
        item.children.append(childItem);
    }
    argument.endArray();
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemProperties& item) {
    argument.beginStructure();
    argument << item.id << item.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemProperties& item) {
    argument.beginStructure();
    argument >> item.id >> item.properties;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemKeys& item) {
    argument.beginStructure();
    argument << item.id << item.names;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemKeys& item) {
    argument.beginStructure();
    argument >> item.id >> item.names;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& event) {
    argument.beginStructure();
    argument << event.id << event.eventId << event.data << event.timestamp;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& event) {
    argument.beginStructure();
    argument >> event.id >> event.eventId >> event.data >> event.timestamp;
    argument.endStructure();
    return argument;
}

QVariantMap DBusMenuProperties(const MenuEntry& entry) {
    QVariantMap properties{{QStringLiteral("label"), QString::fromStdString(entry.caption)},
                           {QStringLiteral("enabled"), true},
                           {QStringLiteral("visible"), true}};
    if (entry.checkable) {
        properties.insert(QStringLiteral("toggle-type"), QStringLiteral("checkmark"));
        properties.insert(QStringLiteral("toggle-state"), entry.checked ? 1 : 0);
    }
    return properties;
}

DBusMenuLayoutItem DBusMenuLayout(const std::vector<MenuEntry>& entries) {
    DBusMenuLayoutItem root{0, RootProperties(), {}};
    int id = 1;
    for (const MenuEntry& entry : entries) {
        root.children.append(DBusMenuLayoutItem{id++, DBusMenuProperties(entry), {}});
    }
    return root;
}

void DBusMenu::registerTypes() {
    qDBusRegisterMetaType<DBusMenuLayoutItem>();
    qDBusRegisterMetaType<DBusMenuItemProperties>();
    qDBusRegisterMetaType<DBusMenuItemPropertiesList>();
    qDBusRegisterMetaType<DBusMenuItemKeys>();
    qDBusRegisterMetaType<DBusMenuItemKeysList>();
    qDBusRegisterMetaType<DBusMenuEvent>();
    qDBusRegisterMetaType<DBusMenuEventList>();
    qDBusRegisterMetaType<QList<int>>();
    // The slots and signals name the lists by these names, which QtDBus looks up as written.
    qRegisterMetaType<DBusMenuItemPropertiesList>("hourlink::DBusMenuItemPropertiesList");
    qRegisterMetaType<DBusMenuItemKeysList>("hourlink::DBusMenuItemKeysList");
    qRegisterMetaType<DBusMenuEventList>("hourlink::DBusMenuEventList");
}

DBusMenu::DBusMenu(NotifyIconMenu menu, QObject* parent) : QObject(parent), m_menu(std::move(menu)) {
    registerTypes();
}

bool DBusMenu::refresh() {
    std::vector<MenuEntry> entries = m_menu.entries ? m_menu.entries() : std::vector<MenuEntry>{};
    if (SameEntries(entries, m_entries)) {
        return false;
    }
    m_entries = std::move(entries);
    ++m_revision;
    return true;
}

uint DBusMenu::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                         DBusMenuLayoutItem& layout) {
    (void)propertyNames; // every line has few properties; all of them are sent
    refresh();
    const DBusMenuLayoutItem whole = DBusMenuLayout(m_entries);
    if (parentId > 0 && parentId <= whole.children.size()) {
        layout = whole.children.at(parentId - 1);
    } else {
        layout = whole;
        if (recursionDepth == 0) {
            layout.children.clear();
        }
    }
    return m_revision;
}

DBusMenuItemPropertiesList DBusMenu::GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames) {
    (void)propertyNames;
    DBusMenuItemPropertiesList answer;
    for (const int id : ids) {
        if (id == 0) {
            answer.append({0, RootProperties()});
        } else if (known(id)) {
            answer.append({id, DBusMenuProperties(m_entries.at(static_cast<std::size_t>(id - 1)))});
        }
    }
    return answer;
}

QDBusVariant DBusMenu::GetProperty(int id, const QString& name) {
    if (id == 0) {
        return QDBusVariant(RootProperties().value(name));
    }
    if (!known(id)) {
        return QDBusVariant(QVariant());
    }
    return QDBusVariant(DBusMenuProperties(m_entries.at(static_cast<std::size_t>(id - 1))).value(name));
}

void DBusMenu::Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp) {
    (void)data;
    (void)timestamp;
    if (eventId == QLatin1String("clicked") && id > 0 && known(id)) {
        QMetaObject::invokeMethod(
            this, [this, id] { clicked(id); }, Qt::QueuedConnection);
    }
}

QList<int> DBusMenu::EventGroup(const DBusMenuEventList& events) {
    QList<int> idErrors;
    for (const DBusMenuEvent& event : events) {
        if (known(event.id)) {
            Event(event.id, event.eventId, event.data, event.timestamp);
        } else {
            idErrors.append(event.id);
        }
    }
    return idErrors;
}

bool DBusMenu::AboutToShow(int id) {
    (void)id;
    return refresh();
}

QList<int> DBusMenu::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
    const bool changed = refresh();
    QList<int> updatesNeeded;
    for (const int id : ids) {
        if (!known(id)) {
            idErrors.append(id);
        } else if (changed) {
            updatesNeeded.append(id);
        }
    }
    return updatesNeeded;
}

void DBusMenu::clicked(int id) {
    // The lines may have changed since the host drew them; the index is the one it saw.
    if (m_menu.choose) {
        m_menu.choose(id - 1);
    }
    // A tick the choice changed shows the next time the host draws the menu.
    if (refresh()) {
        Q_EMIT LayoutUpdated(m_revision, 0);
    }
}

} // namespace hourlink
