#include "store/LogReader.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "runtime/Errors.h"
#include "store/LogIndex.h"

namespace hourlink {

LogSnapshot ReadLogSnapshot(const std::string& path, const std::vector<TimeWindow>& windows, DateTime listAfter) {
    LogSnapshot snapshot;
    snapshot.sums.assign(windows.size(), 0.0);
    snapshot.counts.assign(windows.size(), 0);
    if (!FileExists(path)) {
        return snapshot;
    }
    snapshot.exists = true;
    // Records outside every window add +0.0 to each sum, so passing over them keeps the sums bit for bit.
    double spanLo = std::numeric_limits<double>::infinity();
    double spanHi = -std::numeric_limits<double>::infinity();
    for (const TimeWindow& w : windows) {
        spanLo = std::min(spanLo, w.lo);
        spanHi = std::max(spanHi, w.hi);
    }
    double oldest = std::numeric_limits<double>::infinity();
    try {
        RecordFile file(path, RecordFile::Mode::ReadOnly);
        file.ReadAllBlocks([&](std::span<const ConnectionRecord> block) {
            snapshot.records += static_cast<std::int64_t>(block.size());
            for (const ConnectionRecord& record : block) {
                if (std::isfinite(record.start)) {
                    oldest = std::min(oldest, record.start);
                }
                if (record.end > listAfter) {
                    snapshot.listed.push_back(record);
                }
                if (!(record.end > spanLo && record.start < spanHi)) {
                    continue;
                }
                for (std::size_t w = 0; w < windows.size(); ++w) {
                    const double share = Contribution(record, windows[w].lo, windows[w].hi);
                    snapshot.sums[w] += share;
                    snapshot.counts[w] += share > 0.0 ? 1 : 0;
                }
            }
        });
        file.Close();
    } catch (const EInOutError& error) {
        snapshot.errorCode = error.ErrorCode();
    }
    if (std::isfinite(oldest)) {
        snapshot.oldestStart = oldest;
    }
    return snapshot;
}

} // namespace hourlink
