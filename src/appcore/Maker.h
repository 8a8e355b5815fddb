#pragma once

namespace hourlink {

// Who makes the program and where to reach them. The contact address stands in three places that must
// agree: the second rotating status text, the last of the read-me's check lines and the help message.
inline constexpr const char* kMakerWebAddress = "www.pellandra-ossilo.example";
inline constexpr const char* kMakerContactAddress = "hourlink@pellandra-ossilo.example";
inline constexpr const char* kMakerSecondAddress = "info@pellandra-ossilo.example";

// The program's title as the status line shows it; the window caption and the dialogs use the same text.
inline constexpr const char* kProgramTitle = "Pellandra Hourlink 2.0";

} // namespace hourlink
