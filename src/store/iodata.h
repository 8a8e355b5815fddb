#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/DateTime.h"
#include "runtime/RecordFile.h"
#include "store/LogIndex.h"

namespace hourlink {

class Dialogs;

// A window of time [lo, hi) over which connected time is summed.
struct TimeWindow {
    DateTime lo = 0.0;
    DateTime hi = 0.0;
};

// Where a connection that is still running stands in the log: the index of its record and the end
// written there. Both are empty until its first record is written.
struct RunningRecord {
    std::optional<std::int64_t> index;
    std::optional<DateTime> end;
};

// The connection log datatime.dat in the working directory: appending a finished connection,
// summing the connected time inside windows, and pruning at start-up. Every operation opens the file
// read-write, does its work and closes it again; failures throw EInOutError.
class ConnectionLog {
public:
    static constexpr const char* kFileName = "datatime.dat";
    static constexpr const char* kScratchName = "temp.tmp";

    explicit ConnectionLog(Dialogs& dialogs);

    // While one of these lives, the sums share one open of the log: a tick asks for today's time and then for
    // the seven days', and opening, checking and closing the file for each was a tenth of the program's time
    // in the tray. The first sum opens the log as every sum does, so a log we could not append to still fails
    // there; each sum still compares the file's identity with what the summary holds.
    class ReadScope {
    public:
        explicit ReadScope(ConnectionLog& log) : m_log(log) { ++m_log.m_readScopes; }
        ~ReadScope();
        ReadScope(const ReadScope&) = delete;
        ReadScope& operator=(const ReadScope&) = delete;

    private:
        ConnectionLog& m_log;
    };

    // Appends {start, end}; creates the file when missing. A trailing partial record is overwritten.
    void SaveConnection(DateTime start, DateTime end);

    // Writes the running connection as {start, end}: over its record when the record at `record.index`
    // still holds `start`, else over the newest record when that one holds `start` (a write whose flush
    // failed), else appended. Never writes past the end of the file. `record` follows the file as soon
    // as the record is written, before the flush, so a failing flush cannot make the caller forget a
    // record that stands in the file.
    void WriteRunning(RunningRecord& record, DateTime start, DateTime end);

    // Takes the running connection's record off the log when it is still the newest record and still
    // holds `start`; true when it was taken off. Anything else in the log stays as it is.
    bool RemoveRunning(const RunningRecord& record, DateTime start);

    // Connected time, in days, that the logged connections spend between day + offset and day + 1;
    // 0 when the log does not exist.
    [[nodiscard]] DateTime DayConnectedTime(DateTime day, DateTime offset);

    // The sums of several windows in one pass over the log; each equals the sum of that window alone.
    [[nodiscard]] std::vector<DateTime> ConnectedTimes(const std::vector<TimeWindow>& windows);

    // Counts back from the last record in the file, which is the newest one only while the log is in
    // time order: when the first record started more than 20 days before the last one's start, keeps
    // the records that started less than 20 days before it (a log {d, d - 30, d + 1} is left as it is,
    // its 31-day-old record included). A last record holding no date prunes nothing. True when the log
    // was rewritten. Shows "File not found: datatime.dat" when there is no log.
    bool CompactDatabase();

    // The summary of the log kept between calls (exposed for tests and benchmarks).
    [[nodiscard]] const LogIndex& Index() const { return m_index; }

private:
    Dialogs& m_dialogs;
    LogIndex m_index;
    int m_readScopes = 0;
    // The log as the first sum inside the read scopes opened it.
    std::unique_ptr<RecordFile> m_scopedFile;
};

} // namespace hourlink
