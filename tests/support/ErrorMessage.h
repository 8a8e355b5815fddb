#pragma once

#include <functional>
#include <string>

#include "runtime/Errors.h"

namespace hourlink::testing {

// The message of the program's error that the action raises, or "no error".
inline std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& e) {
        return e.what();
    }
    return "no error";
}

} // namespace hourlink::testing
