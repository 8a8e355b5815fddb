#pragma once

#include <array>
#include <string>
#include <string_view>

#include "appcore/Maker.h"

namespace hourlink {

// The read-me the help button opens, in the working directory, and the four lines that prove it is
// ours before it is handed to the viewer.
inline constexpr const char* kReadmeFileName = "Readme.txt";
inline constexpr std::array<std::string_view, 4> kReadmeFirstLines = {"Pellandra Hour Link", "by Pellandra Ossilo.",
                                                                      "Scritto da Tullio Varzi.", kMakerContactAddress};

// Whether `fileName` exists and its first four lines (CR or CR LF ends a line, a lone LF does not,
// Ctrl-Z ends the file) equal kReadmeFirstLines byte for byte. A missing file or a short or different
// one is no error. Reads no further than the comparison needs, so a huge file without line ends costs
// one small read. Throws EInOutError when the file exists but cannot be read.
[[nodiscard]] bool ReadmeCheckPasses(const std::string& fileName = kReadmeFileName);

// What the help button says when the check fails.
[[nodiscard]] std::string HelpMessage();

} // namespace hourlink
