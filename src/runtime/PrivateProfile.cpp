#include "runtime/PrivateProfile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <vector>

#include "runtime/PosixFile.h"

namespace hourlink {
namespace {

// The whole file, or nothing when it cannot be read; errno tells why.
std::optional<std::string> ReadWholeFile(const std::string& fileName) {
    // Non-blocking, so a pipe or device in the file's place cannot hold the program up.
    const FileDescriptor file = OpenFile(fileName, O_RDONLY | O_NONBLOCK);
    struct stat st {};
    if (!file.Valid() || ::fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    std::string content;
    if (const int err = ReadToEnd(file.Get(), content); err != 0) {
        errno = err;
        return std::nullopt;
    }
    return content;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

// One line of the file with its own line end, so an untouched line is written back byte for byte.
struct Line {
    std::string_view text;
    std::string_view end;
};

std::vector<Line> SplitLines(std::string_view content) {
    std::vector<Line> lines;
    while (!content.empty()) {
        const std::size_t lf = content.find('\n');
        if (lf == std::string_view::npos) {
            lines.push_back({content, {}});
            break;
        }
        std::size_t textEnd = lf;
        if (textEnd > 0 && content[textEnd - 1] == '\r') {
            --textEnd;
        }
        lines.push_back({content.substr(0, textEnd), content.substr(textEnd, lf + 1 - textEnd)});
        content.remove_prefix(lf + 1);
    }
    return lines;
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

enum class LineKind { Other, Section, Entry };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name; // section name or key, trimmed
    std::string_view value;
};

ParsedLine Parse(std::string_view text, bool first) {
    if (first && text.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        text.remove_prefix(kUtf8Bom.size());
    }
    const std::string_view trimmed = Trimmed(text);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') {
        return {};
    }
    if (trimmed.front() == '[') {
        const std::size_t close = trimmed.find(']');
        if (close == std::string_view::npos) {
            return {};
        }
        return {LineKind::Section, Trimmed(trimmed.substr(1, close - 1)), {}};
    }
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) {
        return {};
    }
    return {LineKind::Entry, Trimmed(trimmed.substr(0, equals)), Trimmed(trimmed.substr(equals + 1))};
}

// Where a key stands in the file: the line of its entry, or the line after which a new entry of the
// section goes; both npos when the section is missing.
struct Place {
    std::size_t entry = std::string::npos;
    std::size_t lastOfSection = std::string::npos;
    std::string_view value;
};

Place Find(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    // The names in the file are read without blanks around them, so the names asked for are too.
    section = Trimmed(section);
    key = Trimmed(key);
    Place place;
    bool inSection = false;
    bool inFirstSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const ParsedLine line = Parse(lines[i].text, i == 0);
        if (line.kind == LineKind::Section) {
            inSection = SameName(line.name, section);
            inFirstSection = inSection && place.lastOfSection == std::string::npos;
            if (inFirstSection) {
                place.lastOfSection = i;
            }
        } else if (line.kind == LineKind::Entry && inSection) {
            if (SameName(line.name, key)) {
                place.entry = i;
                place.value = line.value;
                return place;
            }
            // A new entry joins the first section of that name, after its last entry, so comments and
            // blank lines that lead into the next section stay where they are.
            if (inFirstSection) {
                place.lastOfSection = i;
            }
        }
    }
    return place;
}

// Cuts to at most `limit` bytes without splitting a UTF-8 sequence.
std::string CutTo(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) {
        return std::string(text);
    }
    std::size_t size = limit;
    while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) {
        --size;
    }
    return std::string(text.substr(0, size));
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// The file the name finally refers to, so that a settings file reached through a link stays a link.
std::string ResolvedTarget(const std::string& fileName) {
    struct stat st {};
    if (::lstat(fileName.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return fileName;
    }
    char resolved[PATH_MAX];
    if (::realpath(fileName.c_str(), resolved) == nullptr) {
        return fileName;
    }
    return resolved;
}

} // namespace

std::string GetPrivateProfileString(const std::string& section, const std::string& key, const std::string& defaultValue,
                                    const std::string& fileName, std::size_t bufferSize) {
    const std::size_t limit = bufferSize == 0 ? 0 : bufferSize - 1;
    const std::optional<std::string> content = ReadWholeFile(fileName);
    if (!content) {
        return CutTo(defaultValue, limit);
    }
    const std::vector<Line> lines = SplitLines(*content);
    const Place place = Find(lines, section, key);
    if (place.entry == std::string::npos) {
        return CutTo(defaultValue, limit);
    }
    std::string_view value = place.value;
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
    }
    return CutTo(value, limit);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& fileName) {
    // A line break would smuggle further lines into the file, and a key that begins like a section or a
    // comment would make its own line read as one; such names cannot be stored.
    const std::string_view bareKey = Trimmed(key);
    if (Trimmed(section).empty() || bareKey.empty() || HasLineBreak(section) || HasLineBreak(key) ||
        HasLineBreak(value) || section.find(']') != std::string::npos || key.find('=') != std::string::npos ||
        bareKey.front() == '[' || bareKey.front() == ';' || bareKey.front() == '#') {
        return false;
    }
    const std::string target = ResolvedTarget(fileName);

    std::optional<mode_t> mode;
    std::string content;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            return false;
        }
        // Renaming over a file needs only the folder's permission; a file the user may not write
        // stays as it is, as it would with a write in place.
        if (const FileDescriptor probe = OpenFile(target, O_WRONLY | O_NONBLOCK); !probe.Valid()) {
            return false;
        }
        std::optional<std::string> existing = ReadWholeFile(target);
        if (!existing) {
            return false;
        }
        content = std::move(*existing);
        mode = st.st_mode & 07777;
    } else if (errno != ENOENT) {
        return false;
    }

    const std::vector<Line> lines = SplitLines(content);
    // The file's own line end for new lines; a new file gets the system's, LF.
    std::string_view newline = "\n";
    if (!lines.empty() && !lines.front().end.empty()) {
        newline = lines.front().end;
    }
    const std::string entry = key + "=" + value;
    const Place place = Find(lines, section, key);

    std::string out;
    out.reserve(content.size() + entry.size() + section.size() + 8);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i == place.entry) {
            out += entry;
            out += lines[i].end;
            continue;
        }
        out += lines[i].text;
        out += lines[i].end;
        if (place.entry == std::string::npos && i == place.lastOfSection) {
            if (lines[i].end.empty()) {
                out += newline;
            }
            out += entry;
            out += newline;
        }
    }
    if (place.lastOfSection == std::string::npos) {
        if (!lines.empty()) {
            if (lines.back().end.empty()) {
                out += newline;
            }
            if (!Trimmed(lines.back().text).empty()) {
                out += newline;
            }
        }
        out += "[" + section + "]";
        out += newline;
        out += entry;
        out += newline;
    }
    // Written beside the file and renamed over it, so a crash or a full disk leaves either the old file
    // or the new one, never half of one.
    return ReplaceFileContent(target, out, mode);
}

} // namespace hourlink
