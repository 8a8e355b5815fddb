#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "runtime/DateTime.h"
#include "runtime/RecordFile.h"
#include "store/iodata.h"

namespace hourlink {

// What one read-only pass over the log found. When the pass failed part way, everything the whole
// records before the failure gave is kept, and errorCode says why it stopped.
struct LogSnapshot {
    bool exists = false;
    std::int64_t records = 0;
    // The earliest start among the records that hold a real date.
    std::optional<DateTime> oldestStart;
    // One sum per window, added up in log order exactly as ConnectionLog::ConnectedTimes adds them.
    std::vector<DateTime> sums;
    // How many records spend some time inside each window.
    std::vector<std::int64_t> counts;
    // The records that ended after the list's limit, in log order.
    std::vector<ConnectionRecord> listed;
    // The input/output error code that stopped the pass, 0 when it read to the end.
    int errorCode = 0;
};

// Reads the log at `path` for a program beside the one that keeps it: opened read-only and without a
// lock, so the keeper can go on appending; nothing is ever written. A missing log is an empty snapshot
// with exists false.
[[nodiscard]] LogSnapshot ReadLogSnapshot(const std::string& path, const std::vector<TimeWindow>& windows,
                                          DateTime listAfter);

} // namespace hourlink
