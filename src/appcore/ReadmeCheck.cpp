#include "appcore/ReadmeCheck.h"

#include <algorithm>

#include "runtime/RecordFile.h"
#include "runtime/TextLineReader.h"

namespace hourlink {
namespace {

// One byte more than the longest line we compare with: a longer line can never match, so reading
// stops at it instead of scanning the rest of a file that may have no line end at all.
constexpr std::size_t LongestLinePlusOne() {
    std::size_t longest = 0;
    for (const std::string_view line : kReadmeFirstLines) {
        longest = std::max(longest, line.size());
    }
    return longest + 1;
}

} // namespace

bool ReadmeCheckPasses(const std::string& fileName) {
    if (!FileExists(fileName)) {
        return false;
    }
    const TextLines read = ReadTextLines(fileName, kReadmeFirstLines.size(), LongestLinePlusOne(), OverlongLine::Stop);
    return std::equal(kReadmeFirstLines.begin(), kReadmeFirstLines.end(), read.lines.begin(), read.lines.end());
}

std::string HelpMessage() {
    return std::string("File ") + kReadmeFileName + " non trovato. Scrivere a " + kMakerContactAddress +
           " per ottenere una copia gratuita del file mancante";
}

} // namespace hourlink
