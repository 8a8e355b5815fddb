#include "appcore/AutostartEntry.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "runtime/Errors.h"

namespace hourlink {
namespace {

namespace fs = std::filesystem;

bool IsAbsolute(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

[[noreturn]] void Fail(int err, IoOperation operation) {
    throw EInOutError(IoCodeFromErrno(err, operation));
}

} // namespace

std::string AutostartEntryPath(const std::string& xdgConfigHome, const std::string& home) {
    std::string config;
    if (IsAbsolute(xdgConfigHome)) {
        config = xdgConfigHome;
    } else if (IsAbsolute(home)) {
        config = home + "/.config";
    } else {
        return {};
    }
    while (config.size() > 1 && config.back() == '/') {
        config.pop_back();
    }
    return config + "/autostart/" + kAutostartFileName;
}

std::string DesktopStringValue(const std::string& value) {
    std::string escaped;
    for (const char c : value) {
        switch (c) {
        case '\\':
            escaped += "\\\\";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\t':
            escaped += "\\t";
            break;
        case '\r':
            escaped += "\\r";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::string DesktopExecArgument(const std::string& argument) {
    // Quoted whole, so no reserved character needs a thought; inside the quotes four characters take a
    // backslash, a percent sign is doubled so it is no field code, and the string escapes come last.
    std::string quoted = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        } else if (c == '%') {
            quoted += '%';
        }
        quoted += c;
    }
    quoted += '"';
    return DesktopStringValue(quoted);
}

std::string AutostartEntryText(const AutostartProgram& program) {
    const fs::path executable(program.executablePath);
    const std::string programPath =
        program.installed ? (executable.parent_path() / kLauncherName).string() : program.executablePath;
    std::string text = "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=Hourlink\n"
                       "Comment=Measures the time this computer is connected to the internet\n";
    text += "Exec=" + DesktopExecArgument(programPath) + " --minimized\n";
    text += "TryExec=" + DesktopStringValue(programPath) + "\n";
    if (!program.installed) {
        text += "Path=" + DesktopStringValue(program.workingFolder) + "\n";
    }
    text += "Terminal=false\n"
            "X-GNOME-Autostart-enabled=true\n";
    return text;
}

bool AutostartEntryExists(const std::string& path) {
    std::error_code error;
    return !path.empty() && fs::is_regular_file(path, error);
}

void WriteAutostartEntry(const std::string& path, const std::string& text) {
    if (path.empty()) {
        throw EInOutError(IoCode::FileNotFound);
    }
    std::error_code error;
    fs::create_directories(fs::path(path).parent_path(), error);
    if (error) {
        Fail(error.value(), IoOperation::Create);
    }
    // Beside the entry first, then renamed over it, so a desktop never reads half an entry.
    const std::string scratch = path + ".new";
    {
        std::ofstream out(scratch, std::ios::binary | std::ios::trunc);
        if (!out) {
            Fail(errno, IoOperation::Create);
        }
        out << text;
        out.flush();
        if (!out) {
            const int err = errno;
            fs::remove(scratch, error);
            Fail(err, IoOperation::Write);
        }
    }
    fs::rename(scratch, path, error);
    if (error) {
        const int err = error.value();
        fs::remove(scratch, error);
        Fail(err, IoOperation::Rename);
    }
}

void RemoveAutostartEntry(const std::string& path) {
    if (path.empty()) {
        return;
    }
    std::error_code error;
    fs::remove(path, error);
    if (error && error != std::errc::no_such_file_or_directory) {
        Fail(error.value(), IoOperation::Write);
    }
}

} // namespace hourlink
