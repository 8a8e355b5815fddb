#pragma once

#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iomanip>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "runtime/Errors.h"
#include "runtime/RecordFile.h"
#include "store/iodata.h"
#include "support/ErrorMessage.h"

namespace hourlink {

// Records print as their two times, so a failing comparison of logs can be read.
inline void PrintTo(const ConnectionRecord& record, std::ostream* out) {
    *out << std::setprecision(17) << "{" << record.start << ", " << record.end << "}";
}

} // namespace hourlink

namespace hourlink::testing {

inline constexpr double kHour = 1.0 / 24.0;
inline constexpr double kSecond = 1.0 / 86400.0;

inline void WriteLog(const std::vector<ConnectionRecord>& records, const std::string& name = ConnectionLog::kFileName) {
    RecordFile file(name, RecordFile::Mode::CreateOrTruncate);
    file.Write(records);
    file.Close();
}

// The bytes of a file; empty when it does not exist.
inline std::string Bytes(const std::string& name = ConnectionLog::kFileName) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The whole records of a log, read only, so that a read-only file or folder can be looked at too; a
// trailing piece is left out.
inline std::vector<ConnectionRecord> ReadLog(const std::string& name = ConnectionLog::kFileName) {
    const std::string bytes = Bytes(name);
    static_assert(std::endian::native == std::endian::little, "the log holds little-endian doubles");
    std::vector<ConnectionRecord> out(bytes.size() / kRecordSize);
    for (std::size_t i = 0; i < out.size(); ++i) {
        std::memcpy(&out[i].start, bytes.data() + i * kRecordSize, 8);
        std::memcpy(&out[i].end, bytes.data() + i * kRecordSize + 8, 8);
    }
    return out;
}

inline void AppendBytes(const std::string& name, std::size_t count) {
    std::ofstream out(name, std::ios::binary | std::ios::app);
    out << std::string(count, '\x7f');
}

// No scratch file of the pruning is left, complete or partial.
inline bool NoScratchLeft() {
    return !std::filesystem::exists(ConnectionLog::kScratchName) && !std::filesystem::exists("temp.tmp.part");
}

// `count` half-hour connections with starts spread evenly over `days` days, the last starting at `newest`.
inline std::vector<ConnectionRecord> SpreadLog(std::size_t count, double days, double newest) {
    std::vector<ConnectionRecord> records;
    records.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double start = newest - days + days * static_cast<double>(i + 1) / static_cast<double>(count);
        records.push_back({start, start + kHour / 2});
    }
    return records;
}

// The records that pruning keeps: those that start less than 20 days before the newest one.
inline std::vector<ConnectionRecord> KeptByPruning(const std::vector<ConnectionRecord>& records) {
    std::vector<ConnectionRecord> kept;
    const double cutoff = records.back().start - 20.0;
    for (const ConnectionRecord& r : records) {
        if (r.start > cutoff) {
            kept.push_back(r);
        }
    }
    return kept;
}

} // namespace hourlink::testing
