// The settings file reader and writer under fuzzed file contents, sections, keys and values: a write is
// refused exactly when its names or value cannot be stored, the file written is the one a plain
// reference of the promised rules gives, what is written reads back, every other key keeps its value,
// a refused write changes nothing, and writing the same value twice leaves the file as the first did.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzSupport.h"
#include "runtime/PrivateProfile.h"
#include "runtime/RecordFile.h"

namespace hourlink::fuzz {
namespace {

constexpr const char* kIni = "hour_link.ini";
constexpr const char* kAbsent = "\x01"
                                "absent"
                                "\x01";
constexpr std::size_t kMaxNames = 6;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool SameName(std::string_view a, std::string_view b) {
    a = Trim(a);
    b = Trim(b);
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// What reading gives back for a stored value: blanks around it dropped, then one pair of enclosing quotes.
std::string AsRead(std::string_view value) {
    value = Trim(value);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

// Candidate section and key names as they appear in the file, found loosely: whatever stands between
// brackets, and whatever stands before an equals sign.
std::pair<std::vector<std::string>, std::vector<std::string>> NamesIn(std::string_view content) {
    std::vector<std::string> sections;
    std::vector<std::string> keys;
    while (!content.empty()) {
        const std::size_t lf = content.find('\n');
        std::string_view line = content.substr(0, lf);
        content.remove_prefix(lf == std::string_view::npos ? content.size() : lf + 1);
        if (const std::size_t open = line.find('['); open != std::string_view::npos && sections.size() < kMaxNames) {
            if (const std::size_t close = line.find(']', open); close != std::string_view::npos) {
                sections.emplace_back(line.substr(open + 1, close - open - 1));
            }
        }
        if (const std::size_t equals = line.find('='); equals != std::string_view::npos && keys.size() < kMaxNames) {
            keys.emplace_back(line.substr(0, equals));
        }
    }
    return {sections, keys};
}

// --- The settings file as the program promises to write it, written from those promises -------------
//
// A write is refused only when what it is given cannot be stored as one line: a section name that is
// blank, holds a ']' or a line break; a key that is blank, holds a '=' or a line break, or begins (after
// blanks) like a section or a comment ('[', ';', '#'); a value with a line break. In this scratch folder
// every other write must succeed.
//
// A successful write changes only what it must. The file is read as lines, each with its own end (LF or
// CR LF; a last line may have none); names are compared without regard to ASCII case and without the
// blanks (space, tab, CR) around them; a UTF-8 byte order mark before the first line is not part of it.
// A line is a section header when it begins with '[' and holds a ']', the name standing between them;
// a comment or blank when it begins with ';' or '#' or is empty; otherwise an entry when it holds a '=',
// the key standing before it. Then:
//  - when a section of that name holds the key, the first such entry becomes "key=value" with its own
//    line end, and nothing else changes;
//  - else, when a section of that name exists, "key=value" is put after the last entry of the first
//    such section (after its header when it has none);
//  - else the section is added at the end: "[section]" then "key=value", after a blank line when the
//    file's last line is not blank.
// New lines end as the file's first line does (LF for a new file or a file of one unended line), and a
// last line without an end gets one before anything is added after it.

bool Storable(const std::string& section, const std::string& key, const std::string& value) {
    const auto hasBreak = [](std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; };
    const std::string_view bareSection = Trim(section);
    const std::string_view bareKey = Trim(key);
    return !bareSection.empty() && !bareKey.empty() && !hasBreak(section) && !hasBreak(key) && !hasBreak(value) &&
           section.find(']') == std::string::npos && key.find('=') == std::string::npos &&
           std::string_view("[;#").find(bareKey.front()) == std::string_view::npos;
}

struct RefLine {
    std::string text;
    std::string end;
};

std::vector<RefLine> LinesOf(const std::string& content) {
    std::vector<RefLine> lines;
    std::size_t at = 0;
    while (at < content.size()) {
        const std::size_t lf = content.find('\n', at);
        if (lf == std::string::npos) {
            lines.push_back({content.substr(at), ""});
            break;
        }
        const bool crlf = lf > at && content[lf - 1] == '\r';
        const std::size_t textEnd = crlf ? lf - 1 : lf;
        lines.push_back({content.substr(at, textEnd - at), crlf ? "\r\n" : "\n"});
        at = lf + 1;
    }
    return lines;
}

enum class RefKind { Other, Header, Entry };

// What a line is, and the section or key it names.
std::pair<RefKind, std::string_view> Classify(std::string_view text, bool first) {
    if (first && text.rfind("\xEF\xBB\xBF", 0) == 0) {
        text.remove_prefix(3);
    }
    text = Trim(text);
    if (text.empty() || text.front() == ';' || text.front() == '#') {
        return {RefKind::Other, {}};
    }
    if (text.front() == '[') {
        const std::size_t close = text.find(']');
        return close == std::string_view::npos ? std::pair{RefKind::Other, std::string_view{}}
                                               : std::pair{RefKind::Header, text.substr(1, close - 1)};
    }
    const std::size_t equals = text.find('=');
    return equals == std::string_view::npos ? std::pair{RefKind::Other, std::string_view{}}
                                            : std::pair{RefKind::Entry, text.substr(0, equals)};
}

std::string ExpectedFile(const std::string& original, const std::string& section, const std::string& key,
                         const std::string& value) {
    std::vector<RefLine> lines = LinesOf(original);
    const std::string newline = lines.empty() || lines.front().end.empty() ? "\n" : lines.front().end;
    const std::string entry = key + "=" + value;

    // The sections of that name, as [header, end) ranges of lines.
    std::vector<std::pair<std::size_t, std::size_t>> sections;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto [kind, name] = Classify(lines[i].text, i == 0);
        if (kind != RefKind::Header) {
            continue;
        }
        if (!sections.empty() && sections.back().second == lines.size()) {
            sections.back().second = i;
        }
        if (SameName(name, section)) {
            sections.emplace_back(i, lines.size());
        }
    }
    for (const auto& [header, end] : sections) {
        for (std::size_t i = header + 1; i < end; ++i) {
            const auto [kind, name] = Classify(lines[i].text, false);
            if (kind == RefKind::Entry && SameName(name, key)) {
                lines[i].text = entry;
                std::string out;
                for (const RefLine& l : lines) {
                    out += l.text + l.end;
                }
                return out;
            }
        }
    }
    std::size_t after = lines.size(); // the line the new entry follows; lines.size() for a new section
    if (!sections.empty()) {
        after = sections.front().first;
        for (std::size_t i = after + 1; i < sections.front().second; ++i) {
            if (Classify(lines[i].text, false).first == RefKind::Entry) {
                after = i;
            }
        }
    }
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += lines[i].text;
        out += lines[i].end.empty() && (i == after || (i + 1 == lines.size() && after == lines.size())) ? newline
                                                                                                        : lines[i].end;
        if (i == after) {
            out += entry + newline;
        }
    }
    if (after == lines.size()) {
        if (!lines.empty() && !Trim(lines.back().text).empty()) {
            out += newline;
        }
        out += "[" + section + "]" + newline + entry + newline;
    }
    return out;
}

std::string Read(const std::string& section, const std::string& key, std::size_t buffer) {
    return GetPrivateProfileString(section, key, kAbsent, kIni, buffer);
}

void Run(FuzzedDataProvider& input) {
    const bool fileExists = input.ConsumeIntegralInRange<int>(0, 7) != 0;
    const int sectionChoice = input.ConsumeIntegralInRange<int>(0, 3);
    const int keyChoice = input.ConsumeIntegralInRange<int>(0, 3);
    const auto pick = input.ConsumeIntegral<std::uint8_t>();
    const std::size_t smallBuffer = input.ConsumeIntegralInRange<std::size_t>(0, 40);
    std::string section = input.ConsumeRandomLengthString(24);
    std::string key = input.ConsumeRandomLengthString(24);
    const std::string value = input.ConsumeRandomLengthString(64);
    const std::string content = input.ConsumeRemainingBytesAsString();

    std::remove(kIni);
    if (fileExists) {
        WriteFile(kIni, content);
    }
    // Mostly names that the file already has, so that existing entries get replaced.
    auto [sections, keys] = NamesIn(fileExists ? content : std::string());
    if (sectionChoice != 0 && !sections.empty()) {
        section = sections[pick % sections.size()];
    }
    if (keyChoice != 0 && !keys.empty()) {
        key = keys[pick % keys.size()];
    }
    sections.push_back(section);
    keys.push_back(key);
    CaseDescription() = "section " + Escaped(section) + ", key " + Escaped(key) + ", value " + Escaped(value) +
                        (fileExists ? ", file " + Escaped(content) : ", no file");
    const std::size_t bigBuffer = content.size() + value.size() + 16;

    std::vector<std::string> before;
    for (const std::string& s : sections) {
        for (const std::string& k : keys) {
            const std::string whole = Read(s, k, bigBuffer);
            const std::string cut = Read(s, k, smallBuffer);
            Check(cut.size() <= (smallBuffer == 0 ? 0 : smallBuffer - 1), "a value is cut to the buffer");
            Check(whole.compare(0, cut.size(), cut) == 0, "a cut value is the start of the whole one");
            before.push_back(whole);
        }
    }

    const std::string original = fileExists ? ReadFile(kIni) : std::string();
    const bool storable = Storable(section, key, value);
    if (!WritePrivateProfileString(section, key, value, kIni)) {
        Check(!storable, "a write of a storable section, key and value is refused");
        Check(FileExists(kIni) == fileExists, "a refused write creates no file");
        Check(!fileExists || ReadFile(kIni) == original, "a refused write leaves the file as it was");
        return;
    }
    Check(storable, "a section, key or value that cannot be stored is written");
    Check(ReadFile(kIni) == ExpectedFile(original, section, key, value), "the file is not the one the write must give");
    Check(Read(section, key, bigBuffer) == AsRead(value), "a written value reads back");
    std::size_t probe = 0;
    for (const std::string& s : sections) {
        for (const std::string& k : keys) {
            if (!(SameName(s, section) && SameName(k, key))) {
                Check(Read(s, k, bigBuffer) == before[probe], "writing one key changes another");
            }
            ++probe;
        }
    }
    const std::string written = ReadFile(kIni);
    Check(WritePrivateProfileString(section, key, value, kIni), "the same write succeeds again");
    Check(ReadFile(kIni) == written, "writing the same value again changes the file");
}

} // namespace
} // namespace hourlink::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    hourlink::fuzz::EnterScratchFolder();
    FuzzedDataProvider input(data, size);
    hourlink::fuzz::Run(input);
    return 0;
}
