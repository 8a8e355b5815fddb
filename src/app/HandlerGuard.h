#pragma once

#include <functional>
#include <set>
#include <string>

namespace hourlink {

class Dialogs;

// Every handler of the window and every timer tick runs through here: what the handler throws is
// shown in the error box, the rest of the handler is skipped and control returns to the event loop.
// While an error box is open, the same failure again opens no second one.
class HandlerGuard {
public:
    explicit HandlerGuard(Dialogs& dialogs) : m_dialogs(dialogs) {}

    // True when the handler ran to its end.
    bool Run(const std::function<void()>& handler);

private:
    Dialogs& m_dialogs;
    std::set<std::string> m_openBoxes;
};

} // namespace hourlink
