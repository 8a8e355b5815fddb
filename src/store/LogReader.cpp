#include "store/LogReader.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "runtime/Errors.h"
#include "store/LogIndex.h"

namespace hourlink {

namespace {

// The windows split into runs in which each window starts at or after the end of the one before, so that
// within a run the windows a record reaches are found by a binary search and lie next to each other.
std::vector<std::vector<TimeWindow>> DisjointRuns(const std::vector<TimeWindow>& windows,
                                                  std::vector<std::vector<std::size_t>>& indices) {
    std::vector<std::vector<TimeWindow>> runs;
    for (std::size_t w = 0; w < windows.size(); ++w) {
        // A window that ends before it starts (or holds no date) takes nothing from any record.
        if (!(windows[w].hi >= windows[w].lo)) {
            continue;
        }
        if (runs.empty() || !(windows[w].lo >= runs.back().back().hi)) {
            runs.emplace_back();
            indices.emplace_back();
        }
        runs.back().push_back(windows[w]);
        indices.back().push_back(w);
    }
    return runs;
}

} // namespace

LogSnapshot ReadLogSnapshot(const std::string& path, const std::vector<TimeWindow>& windows, DateTime listAfter) {
    LogSnapshot snapshot;
    snapshot.sums.assign(windows.size(), 0.0);
    snapshot.counts.assign(windows.size(), 0);
    if (!FileExists(path)) {
        return snapshot;
    }
    snapshot.exists = true;
    std::vector<std::vector<std::size_t>> indices;
    const std::vector<std::vector<TimeWindow>> runs = DisjointRuns(windows, indices);
    double oldest = std::numeric_limits<double>::infinity();
    // Each window gets the contributions of the records that reach it, in log order. A record that does not
    // reach a window, or holds no date, would add exactly +0.0 to it, so passing over it keeps every sum
    // bit for bit the sum ConnectionLog::ConnectedTimes takes.
    // Records stand in the order connections ended, so the window the last one reached is the first guess.
    std::vector<std::size_t> hints(runs.size(), 0);
    const auto add = [&](const ConnectionRecord& record) {
        for (std::size_t r = 0; r < runs.size(); ++r) {
            const std::vector<TimeWindow>& run = runs[r];
            // The first window of the run that ends after the record starts.
            std::size_t first = hints[r];
            if (!(run[first].hi > record.start && (first == 0 || !(run[first - 1].hi > record.start)))) {
                first = static_cast<std::size_t>(
                    std::partition_point(run.begin(), run.end(),
                                         [&](const TimeWindow& w) { return !(w.hi > record.start); }) -
                    run.begin());
                hints[r] = std::min(first, run.size() - 1);
            }
            for (auto it = run.begin() + static_cast<std::ptrdiff_t>(first); it != run.end() && it->lo < record.end;
                 ++it) {
                const double share = Contribution(record, it->lo, it->hi);
                const std::size_t w = indices[r][static_cast<std::size_t>(it - run.begin())];
                snapshot.sums[w] += share;
                snapshot.counts[w] += share > 0.0 ? 1 : 0;
            }
        }
    };
    try {
        RecordFile file(path, RecordFile::Mode::ReadOnly);
        file.ReadAllBlocks([&](std::span<const ConnectionRecord> block) {
            snapshot.records += static_cast<std::int64_t>(block.size());
            for (const ConnectionRecord& record : block) {
                if (record.end > listAfter) {
                    snapshot.listed.push_back(record);
                }
                if (!std::isfinite(record.start) || !std::isfinite(record.end)) {
                    continue;
                }
                oldest = std::min(oldest, record.start);
                add(record);
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
