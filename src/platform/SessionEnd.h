#pragma once

#include <QObject>

class QSocketNotifier;

namespace hourlink {

// Tells the program that it must end now without asking anything: the session manager's log-off or
// shut-down, or SIGTERM, SIGINT or SIGHUP. Signals reach the event loop through a pipe, so the
// program's reaction runs on the GUI thread like every other handler. One per process.
class SessionEnd final : public QObject {
    Q_OBJECT
public:
    explicit SessionEnd(QObject* parent = nullptr);
    ~SessionEnd() override;

signals:
    void Ending();

private:
    QSocketNotifier* m_notifier = nullptr;
    bool m_emitted = false;
};

} // namespace hourlink
