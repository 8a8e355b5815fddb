#include "runtime/TextLineReader.h"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "runtime/Errors.h"
#include "support/OpenPipe.h"
#include "support/ProcessCounters.h"
#include "support/TempDir.h"

namespace hourlink {
namespace {

using ::testing::ElementsAre;

constexpr const char* kReadme = "Readme.txt";
constexpr std::size_t kWide = 100;

void WriteBytes(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
}

struct LinesCase {
    const char* name;
    std::string content;
    std::vector<std::string> expected;
};

void PrintTo(const LinesCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadFourLines : public hourlink::testing::InTempDir, public ::testing::WithParamInterface<LinesCase> {};

TEST_P(ReadFourLines, SplitsAsTheTextInputDoes) {
    WriteBytes(kReadme, GetParam().content);
    EXPECT_EQ(ReadTextLines(kReadme, 4, kWide), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReadFourLines,
    ::testing::Values(
        LinesCase{"CrLf", "one\r\ntwo\r\nthree\r\nfour\r\nmore\r\n", {"one", "two", "three", "four"}},
        LinesCase{"LoneCr", "one\rtwo\rthree\rfour\r", {"one", "two", "three", "four"}},
        LinesCase{"LfOnlyStaysInTheLine", "one\ntwo\nthree\nfour\n", {"one\ntwo\nthree\nfour\n", "", "", ""}},
        LinesCase{"LfAfterCrLfStartsNextLine", "one\r\n\ntwo\r\n", {"one", "\ntwo", "", ""}},
        LinesCase{"CrCrLf", "one\r\r\ntwo", {"one", "", "two", ""}},
        LinesCase{"ByteOrderMarkKept", "\xEF\xBB\xBFone\r\ntwo\r\n", {"\xEF\xBB\xBFone", "two", "", ""}},
        LinesCase{"TrailingBlankKept", "one \r\n two\r\n", {"one ", " two", "", ""}},
        LinesCase{"ThreeLines", "one\r\ntwo\r\nthree\r\n", {"one", "two", "three", ""}},
        LinesCase{"NoLineEndAfterTheFourth", "one\r\ntwo\r\nthree\r\nfour", {"one", "two", "three", "four"}},
        LinesCase{"CtrlZEndsTheFile", "one\r\ntwo\x1A\r\nthree\r\nfour\r\n", {"one", "two", "", ""}},
        LinesCase{"CtrlZAfterCr", "one\r\x1A\ntwo", {"one", "", "", ""}}, LinesCase{"EmptyFile", "", {"", "", "", ""}},
        LinesCase{
            "BytesAsTheyAre", std::string("\xE8\0\xFF\r\n\t\r\n", 7), {std::string("\xE8\0\xFF", 3), "\t", "", ""}}));

class TextLines : public hourlink::testing::InTempDir {};

TEST_F(TextLines, OverLongLineIsCutAndTheRestSkipped) {
    WriteBytes(kReadme, "abcdefgh\r\nxy\r\nabc\r\n");
    EXPECT_THAT(ReadTextLines(kReadme, 3, 3), ElementsAre("abc", "xy", "abc"));
    const hourlink::TextLines skipped = ReadTextLines(kReadme, 3, 3, OverlongLine::Skip);
    EXPECT_TRUE(skipped.overlong);
    EXPECT_THAT(skipped.lines, ElementsAre("abc", "xy", "abc"));
}

TEST_F(TextLines, StopEndsAtTheFirstOverLongLine) {
    WriteBytes(kReadme, "ab\r\nabcdefgh\r\nxy\r\n");
    const hourlink::TextLines stopped = ReadTextLines(kReadme, 4, 3, OverlongLine::Stop);
    EXPECT_TRUE(stopped.overlong);
    EXPECT_THAT(stopped.lines, ElementsAre("ab", "abc", "", ""));
}

TEST_F(TextLines, LineOfExactlyTheLimitIsNotOverLong) {
    WriteBytes(kReadme, "abc\r\nxy");
    const hourlink::TextLines read = ReadTextLines(kReadme, 2, 3, OverlongLine::Stop);
    EXPECT_FALSE(read.overlong);
    EXPECT_THAT(read.lines, ElementsAre("abc", "xy"));
}

TEST_F(TextLines, CrLfSplitAcrossReadBlocks) {
    // Line ends falling on every position around the reader's block boundaries.
    for (const std::size_t length : {4095U, 4096U, 8191U, 16383U, 16384U, 65535U}) {
        WriteBytes(kReadme, std::string(length, 'x') + "\r\n" + "second\r\nthird");
        EXPECT_THAT(ReadTextLines(kReadme, 3, 70000), ElementsAre(std::string(length, 'x'), "second", "third"))
            << length;
    }
}

TEST_F(TextLines, HugeLineWithoutEndIsScannedWithinBoundedMemory) {
    {
        std::ofstream out(kReadme, std::ios::binary);
        const std::string block(1 << 20, 'x');
        for (int i = 0; i < 64; ++i) {
            out << block;
        }
        out << "\r\nsecond\r\n";
    }
    ASSERT_TRUE(testing::ResetPeakResident());
    const std::optional<std::uint64_t> before = testing::PeakResidentKiB();
    ASSERT_TRUE(before.has_value());
    const hourlink::TextLines read = ReadTextLines(kReadme, 2, 24, OverlongLine::Skip);
    const std::optional<std::uint64_t> peak = testing::PeakResidentKiB();
    ASSERT_TRUE(peak.has_value());
    EXPECT_TRUE(read.overlong);
    EXPECT_THAT(read.lines, ElementsAre(std::string(24, 'x'), "second"));
    // Holding the 64 MiB line would raise the peak by at least that much.
    EXPECT_LT(*peak - *before, 8u * 1024u) << "KiB added to the peak resident size";
}

TEST_F(TextLines, ZeroLinesReadsNothing) {
    WriteBytes(kReadme, "one\r\n");
    EXPECT_TRUE(ReadTextLines(kReadme, 0, kWide).empty());
}

using testing::OpenPipe;

TEST_F(TextLines, StopsOnceTheLinesAreComplete) {
    const OpenPipe pipe(kReadme, "one\r\ntwo\r\nthree\r\nfour\r\nfive");
    EXPECT_THAT(ReadTextLines(kReadme, 4, kWide), ElementsAre("one", "two", "three", "four"));
    EXPECT_FALSE(pipe.WriterClosed());
}

TEST_F(TextLines, StopDoesNotWaitForTheEndOfAnOverLongLine) {
    const OpenPipe pipe(kReadme, std::string(1000, 'x'));
    const hourlink::TextLines read = ReadTextLines(kReadme, 4, 25, OverlongLine::Stop);
    EXPECT_FALSE(pipe.WriterClosed());
    EXPECT_TRUE(read.overlong);
    EXPECT_THAT(read.lines, ElementsAre(std::string(25, 'x'), "", "", ""));
}

TEST_F(TextLines, APipeWithoutWriterOrWithAnIdleOneNeverHangs) {
    ASSERT_EQ(::mkfifo(kReadme, 0600), 0);
    EXPECT_THAT(ReadTextLines(kReadme, 4, kWide), ElementsAre("", "", "", "")); // no writer: at its end
    std::filesystem::remove(kReadme);
    const OpenPipe idle(kReadme, "one\r\n"); // a writer that sends no more
    try {
        (void)ReadTextLines(kReadme, 4, kWide);
        FAIL() << "waited for a writer that sends nothing";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), IoCode::ReadFault);
    }
}

TEST_F(TextLines, MissingFileFailsAtTheOpen) {
    try {
        (void)ReadTextLines(kReadme, 4, kWide);
        FAIL() << "read a missing file";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), IoCode::FileNotFound);
        EXPECT_STREQ(e.what(), "File not found");
    }
}

TEST_F(TextLines, FolderFailsAtTheRead) {
    std::filesystem::create_directory(kReadme);
    try {
        (void)ReadTextLines(kReadme, 4, kWide);
        FAIL() << "read a folder";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), IoCode::AccessDenied);
    }
}

} // namespace
} // namespace hourlink
