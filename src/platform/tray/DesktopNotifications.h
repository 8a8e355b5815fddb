#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <map>
#include <optional>
#include <set>

#include "platform/tray/BalloonTracker.h"

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

namespace hourlink {

// Balloons as freedesktop desktop notifications on the session bus. Each listener keeps one notification:
// a show while it has one replaces it (replaces_id), so a balloon asked for every second stays one
// notification. A show while the server has not yet answered the previous one waits for that answer and
// then replaces it, the latest request only. The server's NotificationClosed and ActionInvoked of the
// default action come back to the listener whose notification it was.
class DesktopNotifications final : public QObject, public BalloonSink {
    Q_OBJECT
public:
    static constexpr const char* kService = "org.freedesktop.Notifications";
    static constexpr const char* kPath = "/org/freedesktop/Notifications";
    static constexpr const char* kInterface = "org.freedesktop.Notifications";

    // appName goes with every notification; appIcon is the program's icon name, or empty.
    DesktopNotifications(const QDBusConnection& bus, QString appName, QString appIcon, QObject* parent = nullptr);
    ~DesktopNotifications() override;

    // Whether a notification server runs on the bus or would be started on demand. Asked of the bus once,
    // then kept up to date from the bus's reports of the name's owner.
    [[nodiscard]] bool available();

    void show(const BalloonRequest& balloon, Listener& listener) override;
    void close(Listener& listener) override;
    void forget(Listener& listener) override;

    // The arguments of a Notify call, in order, for a balloon that replaces the notification replacesId.
    [[nodiscard]] QVariantList notifyArguments(const BalloonRequest& balloon, std::uint32_t replacesId) const;

private slots:
    // The server's signals, as the bus delivers them.
    void closedSignal(uint id, uint reason) { onClosed(id, reason); }
    void actionSignal(uint id, const QString& action) { onAction(id, action); }

private:
    struct Slot {
        std::uint32_t id = 0; // the notification shown now, 0 for none
        bool pending = false; // a Notify whose answer has not come
        std::optional<BalloonRequest> queued;
        bool closeAfterReply = false;
        std::set<std::uint32_t> closing; // asked to close, not yet reported closed
    };

    void send(Listener& listener, Slot& slot, const BalloonRequest& balloon);
    void answered(Listener* listener, QDBusPendingCallWatcher* call);
    void closeNow(Slot& slot);
    void onClosed(std::uint32_t id, std::uint32_t reason);
    void onAction(std::uint32_t id, const QString& action);

    QDBusConnection m_bus;
    QString m_appName;
    QString m_appIcon;
    std::map<Listener*, Slot> m_slots;
    std::optional<bool> m_available;
    QDBusServiceWatcher* m_watcher;
};

} // namespace hourlink
