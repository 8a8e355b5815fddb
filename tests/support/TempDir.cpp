#include "support/TempDir.h"

#include <cstdlib>
#include <string>
#include <system_error>

namespace hourlink::testing {

TempDir::TempDir() : m_previous(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "hourlink-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    }
    m_path = pattern;
    std::filesystem::current_path(m_path);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::current_path(m_previous, ec);
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(m_path, ec);
}

} // namespace hourlink::testing
