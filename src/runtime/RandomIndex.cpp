#include "runtime/RandomIndex.h"

namespace hourlink {

int RandomGenerator::RandomIndex(int n) {
    m_state = m_state * 134775813U + 1U;
    if (n <= 0) {
        // Nothing to choose from; the step is still taken so the sequence does not depend on the caller's n.
        return 0;
    }
    return static_cast<int>((static_cast<std::uint64_t>(m_state) * static_cast<std::uint32_t>(n)) >> 32);
}

} // namespace hourlink
