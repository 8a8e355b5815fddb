#pragma once

#include <cstddef>
#include <string>

#include "runtime/DateTime.h"
#include "runtime/FormatSettings.h"

namespace hourlink {

// The AUP limit the user picks from the list, kept as one key of the settings file beside the program.
// The file holds the program's 8-bit Windows-1252 text; these functions take and give UTF-8.
inline constexpr const char* kIniBaseName = "hour_link.ini";
inline constexpr const char* kSettingsSection = "SETTINGS";
inline constexpr const char* kTimeLimitKey = "Time limit";
inline constexpr const char* kDefaultTimeLimitText = "AUP 1";
inline constexpr std::size_t kSettingsBufferSize = 2048;

// The settings file of the program whose executable is at `executablePath`: the folder part of the
// path, up to and including its last '/', followed by "hour_link.ini". Pass the executable's own path
// (the target of /proc/self/exe, or QCoreApplication::applicationFilePath()); a folder must end in '/'.
[[nodiscard]] std::string IniFileNameFor(const std::string& executablePath);

// The stored limit text, or "AUP 1" when the file, the section or the key is missing; writes nothing.
[[nodiscard]] std::string ReadTimeLimitText(const std::string& iniFileName);

// Stores the limit text, creating the file's folder, the file and the section when missing and leaving everything else
// in the file as it is. Throws EIniFileException "Unable to write to <iniFileName>" when it cannot.
void WriteTimeLimitText(const std::string& iniFileName, const std::string& text);

// The part of a list text that holds the hours: everything from its fourth character on, so " 12"
// for "AUP 12". Characters are counted as UTF-8 code points, which are the single bytes of the
// Windows-1252 text the file holds; a text of three characters or fewer gives "".
[[nodiscard]] std::string TimeLimitPart(const std::string& comboText);

// The limit as a fraction of a day: TimeLimitPart read as a time of day, so "AUP 12" gives 0.5 and
// "AUP 1:30" one and a half hours. Throws EConvertError "'<part>' is not a valid time" otherwise.
[[nodiscard]] DateTime ParseTimeLimit(const std::string& comboText, const FormatSettings& format);

} // namespace hourlink
