#pragma once

#include <string>

namespace hourlink {

// Private-profile (INI) access as the program has always had it: section and key matched without
// regard to case; a missing file, section or key gives the default and writes nothing.
[[nodiscard]] std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                                  const std::string& defaultValue, const std::string& fileName,
                                                  std::size_t bufferSize = 2048);

// Creates the file and the section when missing and replaces only the key's value, keeping every other
// section, key, comment, blank line, line end and line order. The line is written as "key=value".
// Answers false when the file cannot be written; the file is then unchanged.
[[nodiscard]] bool WritePrivateProfileString(const std::string& section, const std::string& key,
                                             const std::string& value, const std::string& fileName);

} // namespace hourlink
