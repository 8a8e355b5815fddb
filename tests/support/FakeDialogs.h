#pragma once

#include <string>
#include <vector>

#include "runtime/Dialogs.h"

namespace hourlink::testing {

// Answers the program's dialogs at once and remembers what they said.
class FakeDialogs final : public Dialogs {
public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void ShowError(const std::string& text) override { errors.push_back(text); }
    bool AskYesNo(const std::string& caption, const std::string& text) override {
        questions.push_back(caption + "|" + text);
        return answerYes;
    }

    std::vector<std::string> messages;
    std::vector<std::string> errors;
    std::vector<std::string> questions;
    bool answerYes = false;
};

} // namespace hourlink::testing
