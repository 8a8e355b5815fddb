#pragma once

#include <string>
#include <vector>

namespace hourlink {

// What the settings-place rule asks of the file system; the program asks the real one, tests a table.
class FileAccess {
public:
    virtual ~FileAccess() = default;
    [[nodiscard]] virtual bool Exists(const std::string& path) const = 0;
    // Whether this user may write the file, or create files in the folder, at `path`.
    [[nodiscard]] virtual bool Writable(const std::string& path) const = 0;
};

// The real file system, as seen with this process's effective ids (a read-only mount counts as not writable).
class PosixFileAccess final : public FileAccess {
public:
    [[nodiscard]] bool Exists(const std::string& path) const override;
    [[nodiscard]] bool Writable(const std::string& path) const override;
};

// Everything the choice depends on, gathered once at start-up.
struct SettingsPlaceInput {
    // The running executable's absolute path.
    std::string executablePath;
    // Folders whose programs belong to the system, not to the user: "/usr", "/opt", the install prefix.
    std::vector<std::string> systemFolders;
    // $XDG_CONFIG_HOME and $HOME, empty when unset.
    std::string xdgConfigHome;
    std::string home;
};

// The settings file. Beside the executable in a portable layout: the program is not under a system folder
// and this user can keep hour_link.ini there (it exists and is writable, or it is missing and the folder
// is writable). Otherwise the user's own configuration folder: $XDG_CONFIG_HOME/hourlink/hour_link.ini,
// or ~/.config/hourlink/hour_link.ini when that is unset or not absolute. Without even a home folder
// the file stays beside the executable, which then says "Unable to write to" that path.
[[nodiscard]] std::string PlaceIniFile(const SettingsPlaceInput& input, const FileAccess& files);

// Whether `path` is `folder` itself or lies inside it, component by component ("/usrx" is not in "/usr").
[[nodiscard]] bool IsInsideFolder(const std::string& path, const std::string& folder);

} // namespace hourlink
