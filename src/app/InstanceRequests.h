#pragma once

#include <QObject>

#include <string>

#include "platform/InstanceProtocol.h"

class QTimer;

namespace hourlink {

class SingleInstance;
class TMainForm;

// Answers what a later start of the program asks of the running one. "raise" brings the main window
// back as a click on the tray icon does and puts it in front; while a modal box is open (or the start-up
// has not finished) it waits, and comes forward once the box is closed. "state" answers the running
// connection and the figures on show, and changes nothing.
class InstanceRequests final : public QObject {
public:
    // Answers from now on, before the main window exists: a start-up message box may be open a while.
    explicit InstanceRequests(SingleInstance& instance);
    // The window to bring forward; requests that came before it are carried out now.
    void Attach(TMainForm& form);

    [[nodiscard]] InstanceMessage Answer(const InstanceMessage& request);

private:
    void BringForwardWhenFree();

    TMainForm* m_form = nullptr;
    QTimer* m_wait = nullptr;
    std::string m_startupId;
    std::string m_activationToken;
};

} // namespace hourlink
