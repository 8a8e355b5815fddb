#include "store/iodata.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "runtime/Errors.h"
#include "runtime/RecordFile.h"
#include "store/LogReader.h"
#include "support/FakeDialogs.h"
#include "support/TempDir.h"

namespace hourlink {
namespace {

// The plain definition every sum must match bit for bit: one pass over every record in file order.
std::vector<double> NaiveSums(const std::vector<ConnectionRecord>& records, const std::vector<TimeWindow>& windows) {
    std::vector<double> sums;
    for (const TimeWindow& w : windows) {
        double sum = 0.0;
        for (const ConnectionRecord& r : records) {
            if (std::isfinite(r.start) && std::isfinite(r.end)) {
                sum += std::max(0.0, std::min(r.end, w.hi) - std::max(r.start, w.lo));
            }
        }
        sums.push_back(sum);
    }
    return sums;
}

class LogIndexTest : public testing::InTempDir {
protected:
    std::mt19937_64 m_random{12345};
    testing::FakeDialogs m_dialogs;
    ConnectionLog m_log{m_dialogs};
    std::vector<ConnectionRecord> m_records;

    ConnectionRecord RandomRecord(double base) {
        std::uniform_real_distribution<double> position(0.0, 30.0);
        std::uniform_real_distribution<double> length(0.0, 0.2);
        std::uniform_int_distribution<int> odd(0, 60);
        const double start = base + position(m_random);
        ConnectionRecord r{start, start + length(m_random)};
        switch (odd(m_random)) {
        case 0:
            r.start = std::nan("");
            break;
        case 1:
            r.end = std::numeric_limits<double>::infinity();
            break;
        case 2:
            std::swap(r.start, r.end);
            break;
        default:
            break;
        }
        return r;
    }

    std::vector<TimeWindow> RandomWindows(double base) {
        std::vector<TimeWindow> windows;
        std::uniform_real_distribution<double> day(0.0, 31.0);
        for (int i = 0; i < 7; ++i) {
            const double lo = std::floor(base + day(m_random));
            windows.push_back({lo + (i == 0 ? 0.37 : 0.0), lo + 1.0});
        }
        return windows;
    }

    void WriteAll() {
        RecordFile file(ConnectionLog::kFileName, RecordFile::Mode::CreateOrTruncate);
        file.Write(m_records);
        file.Close();
    }
};

TEST_F(LogIndexTest, SumsMatchAFullPassBitForBitAcrossAppendsAndOutsideChanges) {
    const double base = 46000.0;
    for (int i = 0; i < 3 * LogIndex::kBlockRecords + 17; ++i) {
        m_records.push_back(RandomRecord(base));
    }
    WriteAll();
    for (int round = 0; round < 40; ++round) {
        const auto windows = RandomWindows(base);
        ASSERT_EQ(m_log.ConnectedTimes(windows), NaiveSums(m_records, windows)) << "round " << round;
        ASSERT_EQ(m_log.ConnectedTimes(windows), NaiveSums(m_records, windows)) << "repeat, round " << round;
        if (round % 3 == 0) {
            const ConnectionRecord r = RandomRecord(base);
            m_log.SaveConnection(r.start, r.end);
            m_records.push_back(r);
        }
        if (round % 10 == 9) {
            // Another program rewrites the log with other contents of the same size. File times tick in
            // jiffies, so a rewrite within the same few milliseconds as the last change would look unchanged.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            m_records[5] = RandomRecord(base);
            WriteAll();
        }
    }
    EXPECT_GT(m_log.Index().BlockCount(), 3u);
}

// A running connection written over in place once a minute, as the recorder does, with the remembered sums
// asked for between the writes: each must still be what a full pass over the file gives.
TEST_F(LogIndexTest, SumsMatchAFullPassBitForBitAcrossRewritesInPlace) {
    const double base = 46000.0;
    for (int i = 0; i < LogIndex::kBlockRecords + 100; ++i) {
        m_records.push_back(RandomRecord(base));
    }
    WriteAll();
    const auto windows = RandomWindows(base);
    const double start = base + 29.3;
    const std::vector<TimeWindow> reached = {{std::floor(start), std::floor(start) + 1.0},
                                             {std::floor(start) + 1.0, std::floor(start) + 2.0},
                                             {start + 0.01, start + 0.02}};
    RunningRecord running;
    for (int minute = 1; minute <= 40; ++minute) {
        // Ever longer, crossing a midnight and the third window as it grows.
        const double end = start + minute * 0.025;
        m_log.WriteRunning(running, start, end);
        if (minute == 1) {
            m_records.push_back({start, end});
        } else {
            m_records.back().end = end;
        }
        ASSERT_EQ(*running.index, static_cast<std::int64_t>(m_records.size()) - 1);
        ASSERT_EQ(m_log.ConnectedTimes(windows), NaiveSums(m_records, windows)) << "minute " << minute;
        ASSERT_EQ(m_log.ConnectedTimes(reached), NaiveSums(m_records, reached)) << "minute " << minute;
    }
    ConnectionLog fresh(m_dialogs);
    EXPECT_EQ(fresh.ConnectedTimes(reached), m_log.ConnectedTimes(reached));
}

// The oldest of the seven days starts at the time of day, so its window moves on with every tick. Each sum
// must still be a full pass's, bit for bit, on a log whose shares add up exactly and on one whose sum is
// too large for that; on the first, a tick reads only the block the start moved through.
TEST_F(LogIndexTest, TheOldestDayMovingOnStaysAFullPassBitForBit) {
    const double today = 46010.0;
    const double oldest = today - 6.0;
    std::uniform_real_distribution<double> tick(0.2, 3.0);
    std::uniform_int_distribution<int> odd(0, 30);
    // Sets `laterReads` to the blocks the ticks after the first read.
    // With `intoTheOldestDay` the saved connections lie just ahead of the oldest day's moving start.
    const auto run = [&](const char* what, int ticks, std::int64_t& laterReads, bool intoTheOldestDay = false) {
        WriteAll();
        ConnectionLog log(m_dialogs);
        double now = today + 0.4;
        for (int t = 0; t < ticks; ++t) {
            // Mostly forward; now and then the clock is set back a little, or a connection is saved.
            now += odd(m_random) == 0 ? -tick(m_random) / 86400.0 : tick(m_random) / 86400.0;
            if (odd(m_random) == 0) {
                const double at = intoTheOldestDay ? oldest + (now - today) + 2.0 / 86400 : now - 0.001;
                m_records.push_back({at, at + 0.0005});
                log.SaveConnection(m_records.back().start, m_records.back().end);
            }
            std::vector<TimeWindow> windows = {{oldest + (now - today), oldest + 1.0}};
            for (int d = 1; d < 7; ++d) {
                windows.push_back({oldest + d, oldest + d + 1.0});
            }
            ASSERT_EQ(log.ConnectedTimes(windows), NaiveSums(m_records, windows)) << what << ", tick " << t;
            if (t == 0) {
                laterReads = -log.Index().BlocksRead();
            }
        }
        laterReads += log.Index().BlocksRead();
    };

    // Eight blocks of short connections in the oldest day, sorted as the recorder writes them, and a few
    // records no date can be read from.
    for (int i = 0; i < 8 * LogIndex::kBlockRecords; ++i) {
        const double start = oldest + 0.05 + 0.9 * i / (8.0 * LogIndex::kBlockRecords);
        m_records.push_back({start, start + 0.00001 * (1 + i % 7)});
    }
    m_records.push_back({std::nan(""), oldest + 0.5});
    m_records.push_back({oldest + 0.5, std::numeric_limits<double>::infinity()});
    // The 300 ticks move the start by some eight minutes, within one block or across one border: after the
    // first tick, only a block the start moves into is read, once.
    std::int64_t laterReads = -1;
    run("exact shares", 300, laterReads);
    EXPECT_LE(laterReads, 2) << "the ticks read more than the blocks their start moved into";

    // Shares that add up to more than 2^16 days round as they are added, so the order of the additions counts.
    m_records.assign(110000, ConnectionRecord{oldest - 1.0, today + 1.0});
    run("rounded shares", 20, laterReads);

    // A log of one block: the block the start moves through is the one the saves go into.
    m_records.clear();
    for (int i = 0; i < 300; ++i) {
        m_records.push_back({oldest + 0.4 + i * 0.0001, oldest + 0.4 + i * 0.0001 + 0.00004});
    }
    run("one block", 300, laterReads, true);
}

TEST_F(LogIndexTest, SingleWindowEqualsItsShareOfTheSevenWindowPass) {
    const double base = 46000.0;
    for (int i = 0; i < 5000; ++i) {
        m_records.push_back(RandomRecord(base));
    }
    WriteAll();
    const auto windows = RandomWindows(base);
    const auto all = m_log.ConnectedTimes(windows);
    ConnectionLog fresh(m_dialogs);
    for (std::size_t i = 0; i < windows.size(); ++i) {
        EXPECT_EQ(fresh.DayConnectedTime(windows[i].hi - 1.0, windows[i].lo - (windows[i].hi - 1.0)), all[i]);
    }
}

// The report's single read-only pass finds the windows a record reaches by search; every sum must still be
// the full pass's, bit for bit, whatever the windows: overlapping, out of order, empty or turned round.
TEST_F(LogIndexTest, AReadOnlySnapshotSumsAndCountsAsAFullPass) {
    const double base = 46000.0;
    for (int i = 0; i < 2 * LogIndex::kBlockRecords + 5; ++i) {
        m_records.push_back(RandomRecord(base));
    }
    WriteAll();
    std::uniform_real_distribution<double> day(0.0, 31.0);
    for (int round = 0; round < 20; ++round) {
        std::vector<TimeWindow> windows;
        for (int d = 0; d < 21; ++d) { // consecutive whole days, as the report's table
            windows.push_back({std::floor(base) + 5 + d, std::floor(base) + 6 + d});
        }
        for (const TimeWindow& w : RandomWindows(base)) {
            windows.push_back(w);
        }
        windows.push_back({base + day(m_random), base + day(m_random)}); // either way round
        windows.push_back({base + 3.0, base + 3.0});
        const double listAfter = base + day(m_random);
        const LogSnapshot snapshot = ReadLogSnapshot(ConnectionLog::kFileName, windows, listAfter);
        ASSERT_EQ(snapshot.sums, NaiveSums(m_records, windows)) << "round " << round;
        for (std::size_t w = 0; w < windows.size(); ++w) {
            std::int64_t count = 0;
            for (const ConnectionRecord& r : m_records) {
                count += NaiveSums({r}, {windows[w]}).front() > 0.0 ? 1 : 0;
            }
            ASSERT_EQ(snapshot.counts[w], count) << "window " << w << ", round " << round;
        }
        std::vector<ConnectionRecord> listed;
        std::copy_if(m_records.begin(), m_records.end(), std::back_inserter(listed),
                     [&](const ConnectionRecord& r) { return r.end > listAfter; });
        // Compared by their bytes: a record without a start date never equals itself.
        ASSERT_EQ(snapshot.listed.size(), listed.size());
        EXPECT_EQ(std::memcmp(snapshot.listed.data(), listed.data(), listed.size() * sizeof(ConnectionRecord)), 0);
        EXPECT_EQ(snapshot.records, static_cast<std::int64_t>(m_records.size()));
        EXPECT_EQ(snapshot.errorCode, 0);
    }
}

TEST_F(LogIndexTest, AReadOnlySnapshotOfAMissingOrTruncatedLog) {
    const std::vector<TimeWindow> windows = {{46000.0, 46001.0}};
    LogSnapshot snapshot = ReadLogSnapshot(ConnectionLog::kFileName, windows, 0.0);
    EXPECT_FALSE(snapshot.exists);
    EXPECT_EQ(snapshot.sums, std::vector<double>{0.0});
    EXPECT_FALSE(FileExists(ConnectionLog::kFileName)) << "a reader creates nothing";

    m_records = {{46000.25, 46000.5}, {std::nan(""), 46000.7}, {45990.0, 45990.5}};
    WriteAll();
    std::FILE* f = std::fopen(ConnectionLog::kFileName, "ab");
    std::fputs("tail", f);
    std::fclose(f);
    snapshot = ReadLogSnapshot(ConnectionLog::kFileName, windows, 0.0);
    EXPECT_TRUE(snapshot.exists);
    EXPECT_EQ(snapshot.errorCode, IoCode::ReadBeyondEnd);
    EXPECT_EQ(snapshot.records, 3);
    EXPECT_EQ(snapshot.sums, std::vector<double>{0.25});
    EXPECT_EQ(snapshot.oldestStart, 45990.0) << "the record without a start date is passed over";
    EXPECT_EQ(snapshot.listed.size(), 3u);
}

} // namespace
} // namespace hourlink
