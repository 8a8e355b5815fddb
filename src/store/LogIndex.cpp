#include "store/LogIndex.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sys/stat.h>

#include "runtime/Errors.h"

namespace hourlink {
namespace {
// Windows remembered between calls; a day's worth of refreshes asks for far fewer distinct ones that matter.
constexpr std::size_t kMaxRememberedSums = 64;

// Every date from 1989-09-17 to 2079-06-06 lies in [2^15, 2^16], where doubles are whole multiples of
// 2^-37 days. Inside a window there, every record's share is an exact difference of two such dates, and
// every sum of shares below 2^16 days is exact too: such sums come out the same whatever the order of their
// additions, and one can be taken from another without a rounding.
constexpr double kExactFrom = 32768.0;
constexpr double kExactTo = 65536.0;
} // namespace

FileIdentity IdentityOf(const RecordFile& file) {
    struct stat st {};
    if (::fstat(file.Descriptor(), &st) != 0) {
        throw EInOutError(IoCodeFromErrno(errno, IoOperation::Read));
    }
    FileIdentity id;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.size = st.st_size;
    id.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    id.changedNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
    return id;
}

void LogIndex::Block::Add(const ConnectionRecord& record) {
    ++count;
    if (!std::isfinite(record.start) || !std::isfinite(record.end)) {
        return;
    }
    if (!anyFinite) {
        minStart = record.start;
        maxEnd = record.end;
        anyFinite = true;
        return;
    }
    minStart = std::min(minStart, record.start);
    maxEnd = std::max(maxEnd, record.end);
}

void LogIndex::Reset() {
    m_blocksRead = 0;
    m_keptIndex = kNoBlock;
    m_identity.reset();
    m_blocks.clear();
    m_sums.clear();
}

std::vector<double> LogIndex::FullPass(RecordFile& file, const std::vector<std::pair<double, double>>& windows) {
    Reset();
    std::vector<double> sums(windows.size(), 0.0);
    std::vector<Block> blocks;
    file.Seek(0);
    // A record outside the span of all windows adds +0.0 to each of them and is passed over.
    double spanLo = std::numeric_limits<double>::infinity();
    double spanHi = -std::numeric_limits<double>::infinity();
    for (const auto& [lo, hi] : windows) {
        spanLo = std::min(spanLo, lo);
        spanHi = std::max(spanHi, hi);
    }
    file.ReadAllBlocks([&](std::span<const ConnectionRecord> records) {
        for (const ConnectionRecord& record : records) {
            if (blocks.empty() || blocks.back().count == kBlockRecords) {
                blocks.emplace_back();
            }
            blocks.back().Add(record);
            if (!(record.end > spanLo && record.start < spanHi)) {
                continue;
            }
            for (std::size_t w = 0; w < windows.size(); ++w) {
                sums[w] += Contribution(record, windows[w].first, windows[w].second);
            }
        }
    });
    // Reaching here means the file holds whole records only.
    m_blocks = std::move(blocks);
    m_identity = IdentityOf(file);
    for (std::size_t w = 0; w < windows.size(); ++w) {
        m_sums[windows[w]] = sums[w];
    }
    return sums;
}

const std::vector<ConnectionRecord>& LogIndex::BlockRecords(const RecordFile& file, std::size_t b) {
    if (m_keptIndex != b) {
        m_keptIndex = kNoBlock; // until the read has succeeded
        m_kept.resize(static_cast<std::size_t>(m_blocks[b].count));
        file.ReadBlock(static_cast<std::int64_t>(b) * kBlockRecords, m_kept);
        ++m_blocksRead;
        m_keptIndex = b;
    }
    return m_kept;
}

void LogIndex::ForgetKeptBlock(std::size_t b) {
    if (m_keptIndex == b) {
        m_keptIndex = kNoBlock;
    }
}

template <class Add> void LogIndex::ForRecordsReaching(const RecordFile& file, double lo, double hi, Add add) {
    for (std::size_t b = 0; b < m_blocks.size(); ++b) {
        if (!m_blocks[b].MayReach(lo, hi)) {
            continue;
        }
        for (const ConnectionRecord& record : BlockRecords(file, b)) {
            add(record);
        }
    }
}

double LogIndex::SumOfWindow(const RecordFile& file, double lo, double hi) {
    double sum = 0.0;
    ForRecordsReaching(file, lo, hi, [&](const ConnectionRecord& record) { sum += Contribution(record, lo, hi); });
    return sum;
}

std::optional<double> LogIndex::SlideSum(const RecordFile& file, double lo, double hi) {
    // The oldest of the seven days starts at the time of day, so its start moves every second while its end
    // stays: the remembered sum nearest to it needs only the records between the two starts.
    auto from = m_sums.end();
    for (auto it = m_sums.begin(); it != m_sums.end(); ++it) {
        if (it->first.second == hi && it->first.first >= kExactFrom &&
            (from == m_sums.end() || std::abs(it->first.first - lo) < std::abs(from->first.first - lo))) {
            from = it;
        }
    }
    if (from == m_sums.end() || !(lo >= kExactFrom && lo < hi && hi <= kExactTo) || !(from->second < kExactTo)) {
        return std::nullopt;
    }
    const double a = std::min(lo, from->first.first);
    const double b = std::max(lo, from->first.first);
    // What the records lose of the window when it starts at b instead of a: they reach [a, b), or add the
    // same to both.
    double lost = 0.0;
    ForRecordsReaching(file, a, b, [&](const ConnectionRecord& record) {
        if (record.end > a && record.start < b) { // the others lose exactly nothing
            lost += Contribution(record, a, hi) - Contribution(record, b, hi);
        }
    });
    const double sum = lo > from->first.first ? from->second - lost : from->second + lost;
    if (!(lost < kExactTo && sum < kExactTo)) {
        return std::nullopt;
    }
    m_sums.erase(from);
    return sum;
}

std::vector<double> LogIndex::Sums(const RecordFile& file, const std::vector<std::pair<double, double>>& windows) {
    std::vector<double> sums;
    sums.reserve(windows.size());
    for (const auto& window : windows) {
        if (const auto known = m_sums.find(window); known != m_sums.end()) {
            sums.push_back(known->second);
            continue;
        }
        const std::optional<double> slid = SlideSum(file, window.first, window.second);
        const double sum = slid ? *slid : SumOfWindow(file, window.first, window.second);
        if (m_sums.size() >= kMaxRememberedSums) {
            m_sums.clear();
        }
        m_sums[window] = sum;
        sums.push_back(sum);
    }
    return sums;
}

void LogIndex::Appended(const ConnectionRecord& record, const FileIdentity& identity) {
    if (m_blocks.empty() || m_blocks.back().count == kBlockRecords) {
        m_blocks.emplace_back();
    }
    m_blocks.back().Add(record);
    ForgetKeptBlock(m_blocks.size() - 1);
    // The new record comes last in file order, so adding its share last gives the full pass's sum.
    for (auto& [window, sum] : m_sums) {
        sum += Contribution(record, window.first, window.second);
    }
    m_identity = identity;
}

void LogIndex::Rewritten(std::int64_t index, const ConnectionRecord& before, const ConnectionRecord& after,
                         const FileIdentity& identity) {
    const auto block = static_cast<std::size_t>(index / kBlockRecords);
    if (index < 0 || block >= m_blocks.size()) {
        Reset();
        return;
    }
    // A block's bounds may stay wider than its records: that only costs a read, never a wrong sum. Its
    // count stays, as the rewrite adds no record.
    ForgetKeptBlock(block);
    Block& b = m_blocks[block];
    const std::int64_t count = b.count;
    b.Add(after);
    b.count = count;
    // A sum the record reaches cannot be corrected by adding and taking away without losing the full
    // pass's order of additions, so it is forgotten and read again when asked for; the others are
    // untouched, since the record added +0.0 to them before and after.
    for (auto it = m_sums.begin(); it != m_sums.end();) {
        const auto [lo, hi] = it->first;
        if (Contribution(before, lo, hi) != 0.0 || Contribution(after, lo, hi) != 0.0) {
            it = m_sums.erase(it);
        } else {
            ++it;
        }
    }
    m_identity = identity;
}

} // namespace hourlink
