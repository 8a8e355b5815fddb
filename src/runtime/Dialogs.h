#pragma once

#include <string>

namespace hourlink {

// The program's modal messages, all centred on the screen and captioned with the application title
// (the close question excepted). The platform layer shows real dialogs; tests answer them directly.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Plain message: no icon, one "OK" button.
    virtual void ShowMessage(const std::string& text) = 0;
    // Error box: stop icon, one "OK" button; the text is shown as given.
    virtual void ShowError(const std::string& text) = 0;
    // Warning dialog captioned "Warning" with "&Yes" (default) and "&No" (cancel); true for Yes.
    [[nodiscard]] virtual bool AskYesNo(const std::string& caption, const std::string& text) = 0;
};

} // namespace hourlink
