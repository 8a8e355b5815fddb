#include "appcore/ReadmeCheck.h"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "runtime/Errors.h"
#include "support/OpenPipe.h"
#include "support/ProcessCounters.h"
#include "support/TempDir.h"

namespace hourlink {
namespace {

namespace fs = std::filesystem;

const std::string kFirstLines = "Pellandra Hour Link\r\nby Pellandra Ossilo.\r\nScritto da Tullio Varzi.\r\n"
                                "hourlink@pellandra-ossilo.example";

void WriteBytes(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct ReadmeCase {
    const char* name;
    std::string content;
    bool passes;
};

void PrintTo(const ReadmeCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadmeContent : public hourlink::testing::InTempDir, public ::testing::WithParamInterface<ReadmeCase> {};

TEST_P(ReadmeContent, PassesOnlyWithTheFourLinesExactly) {
    WriteBytes(kReadmeFileName, GetParam().content);
    EXPECT_EQ(ReadmeCheckPasses(), GetParam().passes);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReadmeContent,
    ::testing::Values(ReadmeCase{"CrLfAndMoreText", kFirstLines + "\r\n\r\nAnything\r\nat all\n\x1A", true},
                      ReadmeCase{"NoLineEndAfterTheFourth", kFirstLines, true},
                      ReadmeCase{"LoneCr",
                                 "Pellandra Hour Link\rby Pellandra Ossilo.\rScritto da Tullio Varzi.\r"
                                 "hourlink@pellandra-ossilo.example\rmore",
                                 true},
                      ReadmeCase{"LfOnly",
                                 "Pellandra Hour Link\nby Pellandra Ossilo.\nScritto da Tullio Varzi.\n"
                                 "hourlink@pellandra-ossilo.example\n",
                                 false},
                      ReadmeCase{"ByteOrderMark", "\xEF\xBB\xBF" + kFirstLines, false},
                      ReadmeCase{"TrailingBlank",
                                 "Pellandra Hour Link \r\nby Pellandra Ossilo.\r\nScritto da Tullio Varzi.\r\n"
                                 "hourlink@pellandra-ossilo.example\r\n",
                                 false},
                      ReadmeCase{"OtherCase",
                                 "Pellandra Hour Link\r\nby Pellandra Ossilo.\r\nScritto da Tullio Varzi.\r\n"
                                 "HOURLINK@pellandra-ossilo.example\r\n",
                                 false},
                      ReadmeCase{"ThreeLines",
                                 "Pellandra Hour Link\r\nby Pellandra Ossilo.\r\nScritto da Tullio Varzi.\r\n", false},
                      ReadmeCase{"CtrlZBeforeTheFourth",
                                 "Pellandra Hour Link\r\nby Pellandra Ossilo.\r\nScritto da Tullio Varzi.\r\n\x1A"
                                 "hourlink@pellandra-ossilo.example\r\n",
                                 false},
                      ReadmeCase{"Empty", "", false}));

class ReadmeCheck : public hourlink::testing::InTempDir {};

TEST_F(ReadmeCheck, MissingFileFailsWithoutError) {
    EXPECT_FALSE(ReadmeCheckPasses());
    EXPECT_FALSE(fs::exists(kReadmeFileName));
}

TEST_F(ReadmeCheck, DirectoryOfThatNameIsAnError) {
    fs::create_directory(kReadmeFileName);
    try {
        (void)ReadmeCheckPasses();
        FAIL() << "a directory passed as a file";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), IoCode::AccessDenied);
    }
}

// A sparse file of 64 GiB without a single line end: the check must give up after its first read.
void MakeHuge(const std::string& name, const std::string& start) {
    WriteBytes(name, start);
    ASSERT_EQ(::truncate(name.c_str(), off_t{64} << 30), 0);
}

TEST_F(ReadmeCheck, HugeFileWithoutLineEndsFails) {
    MakeHuge(kReadmeFileName, "Pellandra Hour Link");
    const std::optional<std::uint64_t> before = testing::BytesRead();
    ASSERT_TRUE(before.has_value());
    EXPECT_FALSE(ReadmeCheckPasses());
    const std::optional<std::uint64_t> after = testing::BytesRead();
    ASSERT_TRUE(after.has_value());
    EXPECT_LT(*after - *before, 1u << 20) << "bytes read of a 64 GiB file";
}

using testing::OpenPipe;

TEST_F(ReadmeCheck, EndlessFourthLineIsNotReadToItsEnd) {
    // Stays below the pipe's capacity, so the writer never waits for the reader.
    const OpenPipe pipe(kReadmeFileName, kFirstLines + std::string(60000, 'x'));
    EXPECT_FALSE(ReadmeCheckPasses());
    EXPECT_FALSE(pipe.WriterClosed());
}

TEST_F(ReadmeCheck, ShippedReadmePasses) {
    const std::string shipped = ReadBytes(HOURLINK_README_PATH);
    ASSERT_FALSE(shipped.empty()) << HOURLINK_README_PATH;
    WriteBytes(kReadmeFileName, shipped);
    EXPECT_TRUE(ReadmeCheckPasses());
    // Every line ends in CR LF: a lone LF would not end a line for the check, nor for every viewer.
    for (std::size_t i = 0; i < shipped.size(); ++i) {
        if (shipped[i] == '\n' || shipped[i] == '\r') {
            ASSERT_TRUE(shipped[i] == '\r' && i + 1 < shipped.size() && shipped[i + 1] == '\n') << "byte " << i;
            ++i;
        }
    }
}

TEST(HelpMessage, NamesTheFileAndTheContactAddress) {
    EXPECT_EQ(HelpMessage(), "File Readme.txt non trovato. Scrivere a hourlink@pellandra-ossilo.example per "
                             "ottenere una copia gratuita del file mancante");
}

} // namespace
} // namespace hourlink
