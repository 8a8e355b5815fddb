#pragma once

#include <string>

namespace hourlink {

// The program's texts are UTF-8 inside and single-byte Windows-1252 where a fixed-size record takes
// them. Characters with no Windows-1252 form become '?'.
[[nodiscard]] std::string Utf8ToWindows1252(const std::string& utf8);
[[nodiscard]] std::string Windows1252ToUtf8(const std::string& bytes);

} // namespace hourlink
