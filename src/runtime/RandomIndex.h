#pragma once

#include <cstdint>

namespace hourlink {

// The program's pseudo-random generator: state = state * 134775813 + 1 (mod 2^32), result the upper
// 32 bits of state * n. Starts at 0 and is never seeded, so its sequence is the same at every start.
class RandomGenerator {
public:
    // A whole number from 0 to n - 1, for n > 0.
    [[nodiscard]] int RandomIndex(int n);
    [[nodiscard]] std::uint32_t State() const { return m_state; }

private:
    std::uint32_t m_state = 0;
};

} // namespace hourlink
