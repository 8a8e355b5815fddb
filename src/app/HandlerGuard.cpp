#include "app/HandlerGuard.h"

#include <exception>

#include "runtime/Dialogs.h"
#include "runtime/Errors.h"

namespace hourlink {

bool HandlerGuard::Run(const std::function<void()>& handler) {
    std::string text;
    try {
        handler();
        return true;
    } catch (const std::exception& e) {
        text = ErrorBoxText(e.what());
    }
    if (!m_openBoxes.insert(text).second) {
        return false; // that box is still open
    }
    // The box runs its own event loop, in which timers and other handlers may fail again.
    struct Closed {
        std::set<std::string>& boxes;
        const std::string& text;
        ~Closed() { boxes.erase(text); }
    } closed{m_openBoxes, text};
    m_dialogs.ShowError(text);
    return false;
}

} // namespace hourlink
