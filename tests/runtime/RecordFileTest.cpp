#include "runtime/RecordFile.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "runtime/Errors.h"
#include "support/TempDir.h"

namespace hourlink {
namespace {

namespace fs = std::filesystem;

class RecordFileTest : public testing::InTempDir {};

int CodeOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EInOutError& e) {
        return e.ErrorCode();
    }
    return 0;
}

TEST_F(RecordFileTest, OpeningAMissingFileIsFileNotFound) {
    EXPECT_EQ(CodeOf([] { RecordFile f("absent.dat", RecordFile::Mode::OpenExisting); }), IoCode::FileNotFound);
    EXPECT_EQ(CodeOf([] { RecordFile f("no/such/folder.dat", RecordFile::Mode::CreateOrTruncate); }),
              IoCode::InvalidFilename);

    // Asked only if present, a missing file is nothing; one that is there but cannot be opened still fails.
    EXPECT_EQ(RecordFile::OpenIfPresent("absent.dat", RecordFile::Mode::OpenExisting), nullptr);
    EXPECT_EQ(RecordFile::OpenIfPresent("no/such/folder.dat", RecordFile::Mode::OpenExisting), nullptr);
    fs::create_directory("folder.dat");
    EXPECT_NE(CodeOf([] { (void)RecordFile::OpenIfPresent("folder.dat", RecordFile::Mode::OpenExisting); }), 0);
    RecordFile("present.dat", RecordFile::Mode::CreateOrTruncate).Write(ConnectionRecord{46000.25, 46000.5});
    const auto present = RecordFile::OpenIfPresent("present.dat", RecordFile::Mode::OpenExisting);
    ASSERT_NE(present, nullptr);
    EXPECT_EQ(present->RecordCount(), 1);
}

TEST_F(RecordFileTest, BlockReadsDeliverEveryWholeRecordBeforeFailingOnATrailingPiece) {
    std::vector<ConnectionRecord> records;
    for (int i = 0; i < 10000; ++i) { // several read blocks
        records.push_back({i * 1.0, i + 0.5});
    }
    {
        RecordFile f("log.dat", RecordFile::Mode::CreateOrTruncate);
        f.Write(records);
        f.Close();
    }
    std::ofstream("log.dat", std::ios::app | std::ios::binary) << "abc";
    RecordFile f("log.dat", RecordFile::Mode::OpenExisting);
    EXPECT_EQ(f.RecordCount(), 10000);
    EXPECT_EQ(f.ByteSize(), 160003);
    std::vector<ConnectionRecord> seen;
    EXPECT_EQ(CodeOf([&] { f.ReadAll([&](const ConnectionRecord& r) { seen.push_back(r); }); }), IoCode::ReadBeyondEnd);
    EXPECT_EQ(seen, records);
    f.Seek(9999);
    EXPECT_EQ(f.Read(), records.back());
    EXPECT_FALSE(f.AtEnd()) << "three bytes are left";
    EXPECT_EQ(CodeOf([&] { (void)f.Read(); }), IoCode::ReadBeyondEnd);
}

// A reader beside the running program must never change the log, whatever it is asked to do.
TEST_F(RecordFileTest, ReadOnlyReadsButNeverWrites) {
    EXPECT_EQ(CodeOf([] { RecordFile f("absent.dat", RecordFile::Mode::ReadOnly); }), IoCode::FileNotFound);
    EXPECT_FALSE(fs::exists("absent.dat"));
    {
        RecordFile f("log.dat", RecordFile::Mode::CreateOrTruncate);
        f.Write(ConnectionRecord{1.0, 2.0});
        f.Close();
    }
    RecordFile f("log.dat", RecordFile::Mode::ReadOnly);
    EXPECT_EQ(f.Read(), (ConnectionRecord{1.0, 2.0}));
    f.Seek(1);
    EXPECT_NE(CodeOf([&] { f.Write(ConnectionRecord{3.0, 4.0}); }), 0);
    EXPECT_EQ(fs::file_size("log.dat"), 16u);
}

TEST_F(RecordFileTest, CreateEmptiesAnExistingFile) {
    std::ofstream("log.dat") << "something longer than a record";
    RecordFile f("log.dat", RecordFile::Mode::CreateOrTruncate);
    EXPECT_EQ(f.ByteSize(), 0);
    EXPECT_TRUE(f.AtEnd());
}

} // namespace
} // namespace hourlink
