#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace hourlink {

// Reads the first `count` lines of a text file as the program's text-file input reads them: a line ends
// at CR, a LF right after it is taken with it; a LF alone stays in the line; Ctrl-Z (26) or the end of
// the file ends the file, and reading there gives empty lines. Bytes are kept as they are.
// At most `maxLineBytes` bytes of each line are kept (the rest of the line is skipped without storing
// it), so a huge file without line ends neither exhausts memory nor is read further than needed.
// Throws EInOutError when the file cannot be opened or read.
[[nodiscard]] std::vector<std::string> ReadTextLines(const std::string& fileName, std::size_t count,
                                                     std::size_t maxLineBytes);

// What to do on meeting a line longer than maxLineBytes.
enum class OverlongLine {
    Skip, // skip the rest of it, however long, and read on
    Stop, // stop reading there: the line is returned cut to maxLineBytes, the lines after it empty
};

struct TextLines {
    std::vector<std::string> lines; // always `count` of them
    bool overlong = false;          // some line read was longer than maxLineBytes
};

// As above, with a choice for over-long lines. A caller that compares the lines with texts shorter
// than maxLineBytes already knows the answer at the first over-long line; Stop then spares it the
// scan of the rest of a huge file, which would otherwise keep the user waiting.
[[nodiscard]] TextLines ReadTextLines(const std::string& fileName, std::size_t count, std::size_t maxLineBytes,
                                      OverlongLine onOverlong);

} // namespace hourlink
