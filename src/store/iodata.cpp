#include "store/iodata.h"

#include "runtime/Dialogs.h"
#include "runtime/Errors.h"
#include "runtime/PosixFile.h"

namespace hourlink {
namespace {

constexpr double kKeepDays = 20.0;
// The calendar ends with 9999-12-31; a start at or after this, an infinite one or one that is not a
// number is no date at all.
constexpr double kEndOfCalendar = 2958466.0;
// Written first under this name and renamed to the scratch name only when complete and on disk, so a
// temp.tmp that exists is always a whole copy.
constexpr const char* kPartialScratchName = "temp.tmp.part";

} // namespace

ConnectionLog::ConnectionLog(Dialogs& dialogs) : m_dialogs(dialogs) {}

void ConnectionLog::SaveConnection(DateTime start, DateTime end) {
    const bool existed = FileExists(kFileName);
    RecordFile file(kFileName, existed ? RecordFile::Mode::OpenExisting : RecordFile::Mode::CreateOrTruncate);
    // If the append fails part way the file's identity changes, and the next sum reads it afresh.
    const bool indexed = m_index.ValidFor(IdentityOf(file));
    file.Seek(file.RecordCount());
    const ConnectionRecord record{start, end};
    file.Write(record);
    file.Sync();
    const FileIdentity after = IdentityOf(file);
    file.Close();
    if (indexed) {
        m_index.Appended(record, after);
    }
}

void ConnectionLog::WriteRunning(RunningRecord& record, DateTime start, DateTime end) {
    const bool existed = FileExists(kFileName);
    RecordFile file(kFileName, existed ? RecordFile::Mode::OpenExisting : RecordFile::Mode::CreateOrTruncate);
    const bool indexed = m_index.ValidFor(IdentityOf(file));
    const std::int64_t count = file.RecordCount();
    // The record at `at` when it is a whole record holding this connection's start.
    const auto ours = [&](std::int64_t at) -> std::optional<ConnectionRecord> {
        if (at < 0 || at >= count) {
            return std::nullopt;
        }
        file.Seek(at);
        const ConnectionRecord found = file.Read();
        return found.start == start ? std::optional<ConnectionRecord>(found) : std::nullopt;
    };
    std::int64_t at = count;
    if (record.index && ours(*record.index)) {
        at = *record.index;
    } else if (ours(count - 1)) {
        at = count - 1;
    }
    const std::optional<ConnectionRecord> replaced = ours(at);
    if (!replaced) {
        // Not in the log yet, or no more: a log replaced or cut behind our back lost what it held of it.
        record = RunningRecord{};
    }
    const ConnectionRecord written{start, end};
    file.Seek(at);
    file.Write(written);
    record.index = at;
    record.end = end;
    file.Sync();
    const FileIdentity after = IdentityOf(file);
    file.Close();
    if (indexed) {
        if (replaced) {
            m_index.Rewritten(at, *replaced, written, after);
        } else {
            m_index.Appended(written, after);
        }
    }
}

bool ConnectionLog::RemoveRunning(const RunningRecord& record, DateTime start) {
    if (!record.index || !FileExists(kFileName)) {
        return false;
    }
    RecordFile file(kFileName, RecordFile::Mode::OpenExisting);
    const std::int64_t count = file.RecordCount();
    // Only the newest whole record is ours to take; a trailing piece after it stays for the next append.
    if (*record.index != count - 1 || count == 0) {
        file.Close();
        return false;
    }
    file.Seek(*record.index);
    if (file.Read().start != start) {
        file.Close();
        return false;
    }
    m_index.Reset();
    file.Truncate(*record.index);
    file.Sync();
    file.Close();
    return true;
}

DateTime ConnectionLog::DayConnectedTime(DateTime day, DateTime offset) {
    return ConnectedTimes({TimeWindow{day + offset, day + 1.0}}).front();
}

ConnectionLog::ReadScope::~ReadScope() {
    if (--m_log.m_readScopes == 0) {
        m_log.m_scopedFile.reset();
    }
}

std::vector<DateTime> ConnectionLog::ConnectedTimes(const std::vector<TimeWindow>& windows) {
    std::unique_ptr<RecordFile> opened;
    if (!m_scopedFile) {
        // Opened read-write like every use of the log, so a log we could not append to fails here already.
        opened = RecordFile::OpenIfPresent(kFileName, RecordFile::Mode::OpenExisting);
        if (!opened) {
            return std::vector<DateTime>(windows.size(), 0.0);
        }
    }
    std::vector<std::pair<double, double>> bounds;
    bounds.reserve(windows.size());
    for (const TimeWindow& w : windows) {
        bounds.emplace_back(w.lo, w.hi);
    }
    RecordFile& file = m_scopedFile ? *m_scopedFile : *opened;
    std::vector<DateTime> sums =
        m_index.ValidFor(IdentityOf(file)) ? m_index.Sums(file, bounds) : m_index.FullPass(file, bounds);
    if (opened && m_readScopes > 0) {
        m_scopedFile = std::move(opened);
    } else if (opened) {
        opened->Close();
    }
    return sums;
}

bool ConnectionLog::CompactDatabase() {
    if (!FileExists(kFileName)) {
        m_dialogs.ShowMessage(std::string("File not found: ") + kFileName);
        return false;
    }
    // The summary needs no reset here: a replaced log has another inode, which the summary notices.
    bool rewritten = false;
    {
        RecordFile log(kFileName, RecordFile::Mode::OpenExisting);
        const std::int64_t count = log.RecordCount();
        if (count > 0) {
            log.Seek(0);
            const ConnectionRecord first = log.Read();
            log.Seek(count - 1);
            const ConnectionRecord last = log.Read();
            const double cutoff = last.start - kKeepDays;
            // A newest record that holds no date cannot say what is old: counting back from it would
            // throw away every record before it, so nothing is pruned.
            if (last.start < kEndOfCalendar && first.start < cutoff) {
                // A half-written copy must never replace the log: until it is complete and on disk it
                // stays under its partial name, and a failure removes it.
                FileReplacement scratchCopy(kPartialScratchName, kScratchName);
                {
                    RecordFile scratch(scratchCopy.Temporary(), RecordFile::Mode::CreateOrTruncate);
                    std::vector<ConnectionRecord> kept;
                    kept.reserve(LogIndex::kBlockRecords);
                    log.Seek(0);
                    log.ReadAll([&](const ConnectionRecord& record) {
                        if (record.start > cutoff) {
                            kept.push_back(record);
                            if (kept.size() == kept.capacity()) {
                                scratch.Write(kept);
                                kept.clear();
                            }
                        }
                    });
                    scratch.Write(kept);
                    scratch.Sync();
                    scratch.Close();
                }
                if (const int err = scratchCopy.Commit(); err != 0) {
                    throw EInOutError(IoCodeFromErrno(err, IoOperation::Rename));
                }
                rewritten = true;
            }
        }
        log.Close();
    }
    if (FileExists(kScratchName)) {
        // One atomic step: a crash leaves either the old log or the new one. A failure is not reported
        // and the scratch file stays for the next start.
        (void)RenameDurably(kScratchName, kFileName);
    }
    return rewritten;
}

} // namespace hourlink
