#pragma once

#include <QString>

#include "runtime/Dialogs.h"

namespace hourlink {

// The program's modal messages as Qt message boxes, centred on the screen. Each runs its own event
// loop, so timers keep ticking while one is open.
class QtDialogs final : public Dialogs {
public:
    explicit QtDialogs(QString applicationTitle);

    void ShowMessage(const std::string& text) override;
    void ShowError(const std::string& text) override;
    [[nodiscard]] bool AskYesNo(const std::string& caption, const std::string& text) override;

private:
    QString m_title;
};

} // namespace hourlink
