// The connection log under fuzzed file contents: the windowed sums against a plain reference sum,
// the one-pass sums against the one-window sums, the kept summary across an append, and the pruning
// against the subsequence it must keep.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzSupport.h"
#include "runtime/DateTime.h"
#include "runtime/Dialogs.h"
#include "runtime/Errors.h"
#include "runtime/RecordFile.h"
#include "store/iodata.h"

namespace hourlink::fuzz {
namespace {

constexpr const char* kLog = ConnectionLog::kFileName;
constexpr const char* kScratch = ConnectionLog::kScratchName;
constexpr double kEndOfCalendar = 2958466.0;
// More records than two blocks of the log's summary, so that whole blocks are passed over.
constexpr std::size_t kManyRecords = 2 * 4096 + 100;

class QuietDialogs final : public Dialogs {
public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void ShowError(const std::string& text) override { messages.push_back(text); }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    std::vector<std::string> messages;
};

std::string Encode(const std::vector<ConnectionRecord>& records) {
    std::string bytes(records.size() * kRecordSize, '\0');
    for (std::size_t i = 0; i < records.size(); ++i) {
        std::memcpy(bytes.data() + i * kRecordSize, &records[i].start, 8);
        std::memcpy(bytes.data() + i * kRecordSize + 8, &records[i].end, 8);
    }
    return bytes;
}

std::vector<ConnectionRecord> Decode(const std::string& bytes) {
    std::vector<ConnectionRecord> records(bytes.size() / kRecordSize);
    for (std::size_t i = 0; i < records.size(); ++i) {
        std::memcpy(&records[i].start, bytes.data() + i * kRecordSize, 8);
        std::memcpy(&records[i].end, bytes.data() + i * kRecordSize + 8, 8);
    }
    return records;
}

// The sum as the log's rules state it, one record after the other; records that are not finite add nothing.
double ReferenceSum(const std::vector<ConnectionRecord>& records, const TimeWindow& window) {
    double sum = 0.0;
    for (const ConnectionRecord& r : records) {
        if (std::isfinite(r.start) && std::isfinite(r.end)) {
            sum += std::max(0.0, std::min(r.end, window.hi) - std::max(r.start, window.lo));
        }
    }
    return sum;
}

bool SameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

int ErrorCodeOf(const auto& call) {
    try {
        call();
    } catch (const EInOutError& e) {
        return e.ErrorCode();
    }
    return 0;
}

struct Window {
    DateTime day = 0.0;
    DateTime offset = 0.0;
    [[nodiscard]] TimeWindow Span() const { return {day + offset, day + 1.0}; }
};

std::string Describe(const std::vector<ConnectionRecord>& records, const std::string& tail,
                     const std::string* scratch) {
    std::string text = std::to_string(records.size()) + " records";
    for (std::size_t i = 0; i < records.size() && i < 8; ++i) {
        char line[80];
        std::snprintf(line, sizeof line, "\n  {%.17g, %.17g}", records[i].start, records[i].end);
        text += line;
    }
    text += "\nbroken last piece of " + std::to_string(tail.size()) + " bytes";
    if (scratch != nullptr) {
        text += "\ntemp.tmp of " + std::to_string(scratch->size()) + " bytes: " + Escaped(*scratch);
    }
    return text;
}

// How to place a window, read from the input before the file's contents; the windows themselves are
// placed near the records, so that they cut through them rather than miss them all.
struct WindowChoice {
    std::uint16_t pick = 0;
    int dayShift = 0;
    int fallbackDay = 0;
    double offset = 0.0;
};

std::vector<WindowChoice> ChooseWindows(FuzzedDataProvider& input) {
    std::vector<WindowChoice> choices(input.ConsumeIntegralInRange<std::size_t>(1, 8));
    for (WindowChoice& c : choices) {
        c.pick = input.ConsumeIntegral<std::uint16_t>();
        c.dayShift = input.ConsumeIntegralInRange<int>(-1, 1);
        c.fallbackDay = input.ConsumeIntegralInRange<int>(-1000, 80000);
        if (!input.ConsumeBool()) {
            c.offset = static_cast<double>(input.ConsumeIntegralInRange<std::int64_t>(0, kMSecsPerDay - 1)) /
                       static_cast<double>(kMSecsPerDay);
        }
    }
    return choices;
}

std::vector<Window> PlaceWindows(const std::vector<WindowChoice>& choices,
                                 const std::vector<ConnectionRecord>& records) {
    std::vector<double> anchors;
    for (const ConnectionRecord& r : records) {
        for (const double v : {r.start, r.end}) {
            if (std::isfinite(v) && std::fabs(v) < 1e15) {
                anchors.push_back(v);
            }
        }
    }
    std::vector<Window> windows;
    for (const WindowChoice& c : choices) {
        const double base = anchors.empty() ? c.fallbackDay : anchors[c.pick % anchors.size()];
        windows.push_back({DateOf(base) + c.dayShift, c.offset});
    }
    return windows;
}

// Checks every way of asking for the sums against the reference; the log must hold `records` and,
// when `brokenTail`, a piece shorter than a record after them.
void CheckSums(ConnectionLog& log, const std::vector<Window>& windows, const std::vector<ConnectionRecord>& records,
               bool brokenTail) {
    std::vector<TimeWindow> spans;
    for (const Window& w : windows) {
        spans.push_back(w.Span());
    }
    if (brokenTail) {
        Check(ErrorCodeOf([&] { (void)log.ConnectedTimes(spans); }) == IoCode::ReadBeyondEnd,
              "a broken last record must fail the sums with 'Read beyond end of file'");
        Check(ErrorCodeOf([&] { (void)log.DayConnectedTime(windows[0].day, windows[0].offset); }) ==
                  IoCode::ReadBeyondEnd,
              "a broken last record must fail DayConnectedTime with 'Read beyond end of file'");
        return;
    }
    // Half of the windows in one pass, the others one by one from the kept summary.
    const std::size_t half = (spans.size() + 1) / 2;
    const std::vector<DateTime> first =
        log.ConnectedTimes(std::vector<TimeWindow>(spans.begin(), spans.begin() + static_cast<std::ptrdiff_t>(half)));
    Check(first.size() == half, "one sum per window");
    for (std::size_t w = 0; w < spans.size(); ++w) {
        const double expected = ReferenceSum(records, spans[w]);
        Check(!std::isnan(expected) && expected >= 0.0, "a sum is a non-negative number");
        if (w < half) {
            Check(SameBits(first[w], expected), "ConnectedTimes differs from the record-by-record sum");
        }
        Check(SameBits(log.DayConnectedTime(windows[w].day, windows[w].offset), expected),
              "DayConnectedTime differs from the record-by-record sum");
    }
    const std::vector<DateTime> all = log.ConnectedTimes(spans);
    for (std::size_t w = 0; w < spans.size(); ++w) {
        Check(SameBits(all[w], ReferenceSum(records, spans[w])), "ConnectedTimes of all windows differs");
    }
}

// The pruning rule as the program states it, written from that statement. L is the start of the last
// record in the file (the newest one while the log is in time order) and the cutoff is L - 20 days. The
// log is rewritten when its first record started before the cutoff, and then keeps, in their order,
// the records that started after it. A last record without a date (not a number, infinite, or past
// 9999-12-31) gives nothing to count back from: the log stays as it is.
struct PruneExpectation {
    bool rewrite = false;
    std::vector<ConnectionRecord> kept;
};

PruneExpectation ByTheRule(const std::vector<ConnectionRecord>& records) {
    if (records.empty()) {
        return {};
    }
    const double last = records.back().start;
    if (!std::isfinite(last) || last >= kEndOfCalendar) {
        return {};
    }
    const double cutoff = last - 20.0;
    PruneExpectation expected;
    expected.rewrite = records.front().start < cutoff;
    std::copy_if(records.begin(), records.end(), std::back_inserter(expected.kept),
                 [cutoff](const ConnectionRecord& r) { return r.start > cutoff; });
    return expected;
}

// Prunes the log that holds `before` and checks the answer and the files left behind.
void CheckCompact(ConnectionLog& log, QuietDialogs& dialogs, const std::string& before, bool leftoverScratch) {
    const std::string scratchBefore = leftoverScratch ? ReadFile(kScratch) : std::string();
    const std::vector<ConnectionRecord> records = Decode(before);
    const bool brokenTail = before.size() % kRecordSize != 0;

    const PruneExpectation expected = ByTheRule(records);
    const bool prune = expected.rewrite;
    const std::vector<ConnectionRecord>& kept = expected.kept;

    bool rewritten = false;
    const int code = ErrorCodeOf([&] { rewritten = log.CompactDatabase(); });
    Check(dialogs.messages.empty(), "an existing log is pruned without a message");
    Check(!FileExists("temp.tmp.part"), "no half-written copy is left behind");
    if (prune && brokenTail) {
        Check(code == IoCode::ReadBeyondEnd, "copying a log with a broken last record fails at that record");
        Check(ReadFile(kLog) == before, "a failed pruning leaves the log as it was");
        Check(FileExists(kScratch) == leftoverScratch, "a failed pruning neither makes nor uses temp.tmp");
        return;
    }
    Check(code == 0, "pruning a readable log raises nothing");
    Check(rewritten == prune, "CompactDatabase answers whether it pruned");
    Check(!FileExists(kScratch), "temp.tmp replaces the log");
    if (prune) {
        Check(ReadFile(kLog) == Encode(kept), "pruning keeps exactly the records of the last 20 days, in order");
    } else {
        Check(ReadFile(kLog) == (leftoverScratch ? scratchBefore : before),
              "without pruning the log stays, unless an earlier temp.tmp replaces it");
    }
}

void Run(FuzzedDataProvider& input) {
    const bool missingLog = input.ConsumeIntegralInRange<int>(0, 15) == 0;
    const bool leftoverScratch = input.ConsumeIntegralInRange<int>(0, 7) == 0;
    const int copiesKind = input.ConsumeIntegralInRange<int>(0, 7);
    const double copyShift = input.ConsumeIntegralInRange<int>(0, 40);
    const bool append = input.ConsumeBool();
    const auto appendPick = input.ConsumeIntegral<std::uint16_t>();
    const double appendDelay = input.ConsumeIntegralInRange<int>(-2000, 2000) / 86400.0;
    const double appendLength = input.ConsumeIntegralInRange<int>(0, 90000) / 86400.0;
    const std::vector<WindowChoice> windowChoices = ChooseWindows(input);
    const std::string scratch = input.ConsumeBytesAsString(input.ConsumeIntegralInRange<std::size_t>(0, 64));
    const std::string content = input.ConsumeRemainingBytesAsString();

    std::remove(kLog);
    std::remove(kScratch);
    if (leftoverScratch) {
        WriteFile(kScratch, scratch);
    }
    QuietDialogs dialogs;
    ConnectionLog log(dialogs);

    if (missingLog) {
        CaseDescription() = "no log";
        const std::vector<Window> windows = PlaceWindows(windowChoices, {});
        for (const DateTime sum : log.ConnectedTimes({windows[0].Span()})) {
            Check(SameBits(sum, 0.0), "without a log every sum is 0");
        }
        Check(!log.CompactDatabase(), "without a log nothing is pruned");
        Check(dialogs.messages == std::vector<std::string>{"File not found: datatime.dat"}, "the missing log is told");
        Check(!FileExists(kLog) && FileExists(kScratch) == leftoverScratch, "without a log no file is touched");
        return;
    }

    // The fuzzed records, repeated and shifted in time when asked, then any broken last piece.
    const std::vector<ConnectionRecord> once = Decode(content);
    const std::string tail = content.substr(once.size() * kRecordSize);
    std::size_t copies = 1;
    if (copiesKind == 6) {
        copies = 2;
    } else if (copiesKind == 7 && !once.empty()) {
        copies = (kManyRecords + once.size() - 1) / once.size();
    }
    std::vector<ConnectionRecord> records;
    for (std::size_t c = 0; c < copies; ++c) {
        for (ConnectionRecord r : once) {
            r.start += static_cast<double>(c) * copyShift;
            r.end += static_cast<double>(c) * copyShift;
            records.push_back(r);
        }
    }
    WriteFile(kLog, Encode(records) + tail);
    CaseDescription() = Describe(records, tail, leftoverScratch ? &scratch : nullptr);

    const std::vector<Window> windows = PlaceWindows(windowChoices, records);
    CheckSums(log, windows, records, !tail.empty());

    if (append) {
        const double base = records.empty() || !std::isfinite(records[appendPick % records.size()].end)
                                ? windows[0].day
                                : records[appendPick % records.size()].end;
        const ConnectionRecord added{base + appendDelay, base + appendDelay + appendLength};
        log.SaveConnection(added.start, added.end);
        records.push_back(added);
        // The append overwrites a broken last piece with the whole record.
        Check(ReadFile(kLog) == Encode(records), "SaveConnection appends exactly one record");
        CheckSums(log, windows, records, false);
    }

    CheckCompact(log, dialogs, ReadFile(kLog), leftoverScratch);
    const std::string after = ReadFile(kLog);
    CheckSums(log, windows, Decode(after), after.size() % kRecordSize != 0);
}

} // namespace
} // namespace hourlink::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    hourlink::fuzz::EnterScratchFolder();
    FuzzedDataProvider input(data, size);
    hourlink::fuzz::Run(input);
    return 0;
}
