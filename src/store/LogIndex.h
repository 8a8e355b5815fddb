#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "runtime/RecordFile.h"

namespace hourlink {

// What the log looked like when it was last read: identity, size and change times. Any difference
// means the file changed behind our back. File times tick in jiffies, so a second outside change of
// the same size within a few milliseconds of the previous one would go unnoticed; nothing but this
// program writes the log.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;
    bool operator==(const FileIdentity&) const = default;
};

[[nodiscard]] FileIdentity IdentityOf(const RecordFile& file);

// The contribution of one record to a window: the part of [start, end) inside [lo, hi), never
// negative; records that are not finite add nothing.
[[nodiscard]] inline double Contribution(const ConnectionRecord& record, double lo, double hi) {
    if (!std::isfinite(record.start) || !std::isfinite(record.end)) {
        return 0.0;
    }
    return std::max(0.0, std::min(record.end, hi) - std::max(record.start, lo));
}

// A summary of the log, block by block, that lets a sum skip the blocks whose records cannot reach a
// window, plus the sums already taken. Skipped records would each add exactly +0.0, so every sum is
// bit for bit the sum a full pass gives. Valid only while the file keeps the identity it had when the
// summary was built; our own appends keep it up to date.
class LogIndex {
public:
    static constexpr std::int64_t kBlockRecords = 1024;

    // Forgets everything.
    void Reset();
    [[nodiscard]] bool ValidFor(const FileIdentity& identity) const {
        return m_identity.has_value() && *m_identity == identity;
    }

    // Sums the windows while reading the whole file, and keeps the summary of what it read.
    [[nodiscard]] std::vector<double> FullPass(RecordFile& file, const std::vector<std::pair<double, double>>& windows);

    // Sums the windows from the summary, reading only the blocks that can reach them.
    [[nodiscard]] std::vector<double> Sums(const RecordFile& file,
                                           const std::vector<std::pair<double, double>>& windows);

    // A record was appended at the end of the file, which now has the given identity.
    void Appended(const ConnectionRecord& record, const FileIdentity& identity);

    // The record at `index` was written over in place; the file now has the given identity.
    void Rewritten(std::int64_t index, const ConnectionRecord& before, const ConnectionRecord& after,
                   const FileIdentity& identity);

    [[nodiscard]] std::size_t BlockCount() const { return m_blocks.size(); }
    // Blocks read from the file by `Sums` since the summary was built.
    [[nodiscard]] std::int64_t BlocksRead() const { return m_blocksRead; }

private:
    struct Block {
        std::int64_t count = 0;
        double minStart = 0.0; // over the finite records only
        double maxEnd = 0.0;
        bool anyFinite = false;
        void Add(const ConnectionRecord& record);
        [[nodiscard]] bool MayReach(double lo, double hi) const { return anyFinite && maxEnd > lo && minStart < hi; }
    };

    // Calls `add` for each record of the blocks that may reach [lo, hi), in file order.
    template <class Add> void ForRecordsReaching(const RecordFile& file, double lo, double hi, Add add);
    // The records of block `b`, read from the file unless it is the block read last.
    [[nodiscard]] const std::vector<ConnectionRecord>& BlockRecords(const RecordFile& file, std::size_t b);
    void ForgetKeptBlock(std::size_t b);
    [[nodiscard]] double SumOfWindow(const RecordFile& file, double lo, double hi);
    // The sum of [lo, hi) from a remembered sum of a window with the same end and another start, reading only
    // the records between the two starts; empty where that could differ from a full pass in the last bit.
    [[nodiscard]] std::optional<double> SlideSum(const RecordFile& file, double lo, double hi);

    std::optional<FileIdentity> m_identity;
    std::vector<Block> m_blocks;
    std::map<std::pair<double, double>, double> m_sums;
    std::int64_t m_blocksRead = 0;
    // The block read last, as the file holds it while the identity holds. The oldest day's start moves through
    // one block for hours, so a tick finds its records here instead of reading and decoding them again.
    static constexpr std::size_t kNoBlock = static_cast<std::size_t>(-1);
    std::size_t m_keptIndex = kNoBlock;
    std::vector<ConnectionRecord> m_kept;
};

} // namespace hourlink
