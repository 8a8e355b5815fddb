#pragma once

#include <string>

#include "runtime/DateTime.h"
#include "runtime/FormatSettings.h"
#include "runtime/RandomIndex.h"

namespace hourlink {

inline constexpr int kStatusTextCount = 4;

// One of the rotating texts of the status line, k from 0 to kStatusTextCount - 1: the maker's web
// address, the maker's e-mail addresses, the program's title, or the date and time `now`.
// Throws std::out_of_range for any other k.
[[nodiscard]] std::string StatusText(int k, DateTime now, const FormatSettings& format);

// The rotation shown while no connection is recorded: each call draws the next index from the
// program's never-seeded generator, so the texts come in the same order at every start.
class StatusRotation {
public:
    // Advances the generator by one step; call it only for a tick that shows its text.
    [[nodiscard]] std::string NextText(DateTime now, const FormatSettings& format);

private:
    RandomGenerator m_random;
};

} // namespace hourlink
