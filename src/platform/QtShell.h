#pragma once

#include "platform/Shell.h"

namespace hourlink {

// Opens documents through the desktop's URL handler (xdg-open on Linux), relative to the working folder.
class QtShell final : public Shell {
public:
    void OpenDocument(const std::string& fileName) override;
};

} // namespace hourlink
