#include "appcore/SettingsPlace.h"

#include <unistd.h>

#include <fcntl.h>

#include "appcore/LimitSettings.h"

namespace hourlink {
namespace {

constexpr const char* kConfigFolderName = "hourlink";

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

bool IsPortable(const SettingsPlaceInput& input, const FileAccess& files) {
    for (const std::string& folder : input.systemFolders) {
        if (!folder.empty() && IsInsideFolder(input.executablePath, folder)) {
            return false;
        }
    }
    const std::string beside = IniFileNameFor(input.executablePath);
    if (files.Exists(beside)) {
        return files.Writable(beside);
    }
    return files.Writable(FolderOf(input.executablePath));
}

// The base of the user's configuration, or "" when there is none. A relative $XDG_CONFIG_HOME is not
// a configuration folder and is ignored.
std::string ConfigHome(const SettingsPlaceInput& input) {
    if (!input.xdgConfigHome.empty() && input.xdgConfigHome.front() == '/') {
        return WithoutTrailingSlashes(input.xdgConfigHome);
    }
    if (!input.home.empty() && input.home.front() == '/') {
        const std::string home = WithoutTrailingSlashes(input.home);
        return (home == "/" ? std::string() : home) + "/.config";
    }
    return {};
}

} // namespace

bool PosixFileAccess::Exists(const std::string& path) const {
    return ::faccessat(AT_FDCWD, path.c_str(), F_OK, AT_EACCESS) == 0;
}

bool PosixFileAccess::Writable(const std::string& path) const {
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

bool IsInsideFolder(const std::string& path, const std::string& folder) {
    const std::string base = WithoutTrailingSlashes(folder);
    if (base == "/") {
        return !path.empty() && path.front() == '/';
    }
    return path.compare(0, base.size(), base) == 0 && (path.size() == base.size() || path[base.size()] == '/');
}

std::string PlaceIniFile(const SettingsPlaceInput& input, const FileAccess& files) {
    if (IsPortable(input, files)) {
        return IniFileNameFor(input.executablePath);
    }
    const std::string configHome = ConfigHome(input);
    if (configHome.empty()) {
        return IniFileNameFor(input.executablePath);
    }
    return configHome + "/" + kConfigFolderName + "/" + kIniBaseName;
}

} // namespace hourlink
