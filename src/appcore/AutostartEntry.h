#pragma once

#include <string>

namespace hourlink {

// The user's start-at-login entry for this program: where it lives, what it says, and writing or removing
// it. An installed program is started through its launcher, which gives it the user's working folder; a
// portable one is started itself, in the folder it keeps its log in.

inline constexpr const char* kAutostartFileName = "hourlink.desktop";
inline constexpr const char* kLauncherName = "hourlink-launch";

struct AutostartProgram {
    // The running executable's absolute path.
    std::string executablePath;
    // The folder the program keeps its log in; used by a portable program only.
    std::string workingFolder;
    // Installed under a system folder: the launcher beside the executable starts it.
    bool installed = false;
};

// $XDG_CONFIG_HOME/autostart/hourlink.desktop, or ~/.config/autostart/hourlink.desktop when that is unset
// or not absolute; empty when there is no absolute home either.
[[nodiscard]] std::string AutostartEntryPath(const std::string& xdgConfigHome, const std::string& home);

// The desktop entry that starts the program minimised at login, with TryExec so that a desktop skips it
// once the program is gone.
[[nodiscard]] std::string AutostartEntryText(const AutostartProgram& program);

// One argument of an Exec line, quoted and escaped so that a desktop hands it over unchanged.
[[nodiscard]] std::string DesktopExecArgument(const std::string& argument);
// A value of type string in a desktop entry (backslash, newline, tab and carriage return escaped).
[[nodiscard]] std::string DesktopStringValue(const std::string& value);

[[nodiscard]] bool AutostartEntryExists(const std::string& path);
// Writes the entry, creating its folder; throws EInOutError when that fails.
void WriteAutostartEntry(const std::string& path, const std::string& text);
// Removes the entry; a missing one is no error. Throws EInOutError when it stays.
void RemoveAutostartEntry(const std::string& path);

} // namespace hourlink
