// The read-me line reader under fuzzed file contents, compared with a plain reading of its rules: CR
// or CR LF ends a line, LF alone stays in it, Ctrl-Z or the end of the file ends the file, and lines
// past the end are empty; over-long lines are cut, and skipped or the end of reading.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzSupport.h"
#include "runtime/TextLineReader.h"

namespace hourlink::fuzz {
namespace {

constexpr const char* kReadme = "Readme.txt";

// Every line of the file by the rules, whole; the last is the one the end of the file cuts off.
std::vector<std::string> AllLines(const std::string& content) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < content.size(); ++i) {
        const char c = content[i];
        if (c == 26) {
            break;
        }
        if (c == '\r') {
            lines.push_back(line);
            line.clear();
            if (i + 1 < content.size() && content[i + 1] == '\n') {
                ++i;
            }
            continue;
        }
        line += c;
    }
    lines.push_back(line);
    return lines;
}

TextLines Expected(const std::string& content, std::size_t count, std::size_t maxLineBytes, OverlongLine onOverlong) {
    std::vector<std::string> all = AllLines(content);
    all.resize(std::max(all.size(), count));
    TextLines expected;
    for (std::size_t i = 0; i < count; ++i) {
        std::string line = all[i];
        if (line.size() > maxLineBytes) {
            expected.overlong = true;
            line.resize(maxLineBytes);
        }
        expected.lines.push_back(line);
        if (expected.overlong && onOverlong == OverlongLine::Stop) {
            break;
        }
    }
    expected.lines.resize(count);
    return expected;
}

void Run(FuzzedDataProvider& input) {
    const std::size_t count = input.ConsumeIntegralInRange<std::size_t>(0, 6);
    const std::size_t maxLineBytes =
        input.ConsumeBool() ? input.ConsumeIntegralInRange<std::size_t>(0, 64) : std::size_t{1} << 20;
    const OverlongLine onOverlong = input.ConsumeBool() ? OverlongLine::Stop : OverlongLine::Skip;
    // A long run of one byte somewhere in the file carries the rest of it across the reader's blocks.
    const std::size_t padding =
        input.ConsumeIntegralInRange<int>(0, 3) == 0 ? input.ConsumeIntegralInRange<std::size_t>(1, 40000) : 0;
    const auto padAt = input.ConsumeIntegral<std::uint16_t>();
    const char padByte = input.ConsumeIntegral<char>();
    std::string content = input.ConsumeRemainingBytesAsString();
    if (padding > 0) {
        content.insert(std::min<std::size_t>(padAt, content.size()), padding, padByte);
    }
    WriteFile(kReadme, content);

    const TextLines expected = Expected(content, count, maxLineBytes, onOverlong);
    const TextLines read = ReadTextLines(kReadme, count, maxLineBytes, onOverlong);
    Check(read.lines.size() == count, "as many lines as asked for");
    Check(read.lines == expected.lines, "the lines differ from the rules");
    Check(read.overlong == expected.overlong, "the over-long flag differs from the rules");
    if (onOverlong == OverlongLine::Skip) {
        Check(ReadTextLines(kReadme, count, maxLineBytes) == expected.lines, "the plain reader skips over-long lines");
    }
}

} // namespace
} // namespace hourlink::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    hourlink::fuzz::EnterScratchFolder();
    FuzzedDataProvider input(data, size);
    hourlink::fuzz::Run(input);
    return 0;
}
