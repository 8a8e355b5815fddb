#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>

class QDBusServiceWatcher;

namespace hourlink {

// Which tray a desktop offers now. A host that is replaced by another of the same kind shows as a change
// of owner.
enum class TrayHostKind { None, StatusNotifier, XEmbed };
struct TrayHost {
    TrayHostKind kind = TrayHostKind::None;
    // The bus name of the StatusNotifierWatcher; empty for the other kinds.
    QString owner;
    bool operator==(const TrayHost&) const = default;
};

// What to do when the tray host seen last differs from the one seen now.
struct TrayHostChange {
    // The old host is gone with our icons: forget them.
    bool forgetIcons = false;
    // A host is there that knows none of our icons: tell the icons' owners ("TaskbarCreated").
    bool announce = false;
    // No host is left: if none comes within the grace time, a window hidden in the tray must come back.
    bool startGrace = false;
};
[[nodiscard]] TrayHostChange DecideTrayHostChange(const TrayHost& before, const TrayHost& now);

// Watches the session bus for a StatusNotifierItem host: the owner of org.kde.StatusNotifierWatcher and
// whether it says a host is registered. Calls `changed` when the answer may have changed.
class TrayHostWatch final : public QObject {
    Q_OBJECT

public:
    explicit TrayHostWatch(std::function<void()> changed, QObject* parent = nullptr);

    // The watcher's bus name while it has a host registered, else empty, as the bus last said.
    [[nodiscard]] const QString& statusNotifierHost() const { return m_host; }
    // Asks the bus again.
    void refresh();

private Q_SLOTS:
    void hostSignal();

private:
    [[nodiscard]] QString askStatusNotifierHost() const;

    QString m_host;
    QDBusConnection m_bus;
    QDBusServiceWatcher* m_serviceWatch = nullptr;
    std::function<void()> m_changed;
};

} // namespace hourlink
