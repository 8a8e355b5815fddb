#pragma once

#include <string>

#include "runtime/DateTime.h"
#include "runtime/RecordFile.h"

namespace hourlink::bench {

// Writes a log of `count` records spread evenly over the 20 days up to `now`: a link that flaps on and
// off, half of the time connected.
inline void WriteFlappingLog(const std::string& name, std::int64_t count, DateTime now) {
    RecordFile file(name, RecordFile::Mode::CreateOrTruncate);
    const double span = 20.0;
    const double step = span / static_cast<double>(count);
    std::vector<ConnectionRecord> block;
    block.reserve(4096);
    for (std::int64_t i = 0; i < count; ++i) {
        const double start = now - span + static_cast<double>(i) * step;
        block.push_back({start, start + step / 2});
        if (block.size() == 4096) {
            file.Write(block);
            block.clear();
        }
    }
    file.Write(block);
    file.Close();
}

} // namespace hourlink::bench
