#pragma once

#include <string>

namespace hourlink {

// The desktop's "open" of a document with the viewer the user associates with it. Whether a viewer
// could be started is not reported.
class Shell {
public:
    virtual ~Shell() = default;
    virtual void OpenDocument(const std::string& fileName) = 0;
};

} // namespace hourlink
