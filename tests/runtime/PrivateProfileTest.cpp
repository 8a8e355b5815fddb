#include "runtime/PrivateProfile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace hourlink {
namespace {

namespace fs = std::filesystem;

constexpr const char* kIni = "hour_link.ini";
constexpr const char* kSection = "SETTINGS";
constexpr const char* kKey = "Time limit";

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Names in the folder, to show that a write left nothing behind.
std::vector<std::string> FolderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct ReadCase {
    const char* name;
    std::string content;
    const char* expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class ProfileRead : public hourlink::testing::InTempDir, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ProfileRead, FindsTheValue) {
    WriteBytes(kIni, GetParam().content);
    EXPECT_EQ(GetPrivateProfileString(kSection, kKey, "AUP 1", kIni), GetParam().expected);
    EXPECT_EQ(ReadBytes(kIni), GetParam().content);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ProfileRead,
    ::testing::Values(
        ReadCase{"CrLf", "[SETTINGS]\r\nTime limit=AUP 6\r\n", "AUP 6"},
        ReadCase{"Lf", "[SETTINGS]\nTime limit=AUP 6\n", "AUP 6"},
        ReadCase{"NoFinalLineEnd", "[SETTINGS]\nTime limit=AUP 6", "AUP 6"},
        ReadCase{"OtherCase", "[settings]\nTIME LIMIT=AUP 9\n", "AUP 9"},
        ReadCase{"BlanksAround", "  [ SETTINGS ]  \n\t Time limit \t=  AUP 1:30 \t\n", "AUP 1:30"},
        ReadCase{"OtherSections",
                 "[Window]\nTime limit=X\n\n[SETTINGS]\nother=1\nTime limit=AUP 12\n[Z]\nTime limit=Y\n", "AUP 12"},
        ReadCase{"Comments", "[SETTINGS]\n;Time limit=AUP 2\n# Time limit=AUP 3\nTime limit=AUP 4\n", "AUP 4"},
        ReadCase{"OnlyCommented", "[SETTINGS]\n; Time limit=AUP 2\n", "AUP 1"},
        ReadCase{"Quoted", "[SETTINGS]\nTime limit=\"AUP 6\"\n", "AUP 6"},
        ReadCase{"OneQuoteKept", "[SETTINGS]\nTime limit=\"AUP 6\n", "\"AUP 6"},
        ReadCase{"EqualsInValue", "[SETTINGS]\nTime limit=a=b\n", "a=b"},
        ReadCase{"EmptyValue", "[SETTINGS]\nTime limit=\n", ""},
        ReadCase{"MissingKey", "[SETTINGS]\nTime=AUP 6\n", "AUP 1"},
        ReadCase{"MissingSection", "[OTHER]\nTime limit=AUP 6\n", "AUP 1"},
        ReadCase{"KeyBeforeAnySection", "Time limit=AUP 6\n[SETTINGS]\n", "AUP 1"},
        ReadCase{"ByteOrderMark", "\xEF\xBB\xBF[SETTINGS]\r\nTime limit=AUP 3\r\n", "AUP 3"},
        ReadCase{"EmptyFile", "", "AUP 1"}));

class Profile : public hourlink::testing::InTempDir {};

TEST_F(Profile, MissingFileGivesTheDefaultAndCreatesNothing) {
    EXPECT_EQ(GetPrivateProfileString(kSection, kKey, "AUP 1", kIni), "AUP 1");
    EXPECT_FALSE(fs::exists(kIni));
}

TEST_F(Profile, ValueIsCutToTheBuffer) {
    WriteBytes(kIni, "[SETTINGS]\nTime limit=" + std::string(3000, 'x') + "\n");
    EXPECT_EQ(GetPrivateProfileString(kSection, kKey, "AUP 1", kIni), std::string(2047, 'x'));
    EXPECT_EQ(GetPrivateProfileString(kSection, kKey, "AUP 1", kIni, 4), "xxx");
    EXPECT_EQ(GetPrivateProfileString(kSection, kKey, "AUP 1", kIni, 1), "");
    // A character of several bytes is not split.
    WriteBytes(kIni, "[SETTINGS]\nTime limit=ab\xC3\xA8\n");
    EXPECT_EQ(GetPrivateProfileString(kSection, kKey, "AUP 1", kIni, 4), "ab");
}

TEST_F(Profile, WriteCreatesFileAndSection) {
    ASSERT_TRUE(WritePrivateProfileString(kSection, kKey, "AUP 6", kIni));
    EXPECT_EQ(ReadBytes(kIni), "[SETTINGS]\nTime limit=AUP 6\n");
    EXPECT_EQ(GetPrivateProfileString(kSection, kKey, "AUP 1", kIni), "AUP 6");
    EXPECT_EQ(FolderEntries("."), std::vector<std::string>{kIni});
}

struct WriteCase {
    const char* name;
    std::string before;
    std::string after;
};

void PrintTo(const WriteCase& c, std::ostream* os) {
    *os << c.name;
}

class ProfileWrite : public hourlink::testing::InTempDir, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(ProfileWrite, ChangesOnlyTheEntry) {
    WriteBytes(kIni, GetParam().before);
    ASSERT_TRUE(WritePrivateProfileString(kSection, kKey, "AUP 6", kIni));
    EXPECT_EQ(ReadBytes(kIni), GetParam().after);
    EXPECT_EQ(GetPrivateProfileString(kSection, kKey, "AUP 1", kIni), "AUP 6");
}

INSTANTIATE_TEST_SUITE_P(
    Files, ProfileWrite,
    ::testing::Values(
        WriteCase{"ReplacesValueKeepingEverythingElse",
                  "; Hourlink\r\n\r\n[Window]\r\nLeft = 10\r\n\r\n[settings]\r\nother = 1\r\n  time LIMIT = AUP 1  \r\n"
                  "; tail\r\n\r\n[Last]\r\nx=y",
                  "; Hourlink\r\n\r\n[Window]\r\nLeft = 10\r\n\r\n[settings]\r\nother = 1\r\nTime limit=AUP 6\r\n"
                  "; tail\r\n\r\n[Last]\r\nx=y"},
        WriteCase{"ReplacesLastLineWithoutEnd", "[SETTINGS]\nTime limit=AUP 18", "[SETTINGS]\nTime limit=AUP 6"},
        WriteCase{"AddsKeyAfterTheSectionsLastEntry", "[SETTINGS]\nother=1\n\n; next\n[B]\nk=v\n",
                  "[SETTINGS]\nother=1\nTime limit=AUP 6\n\n; next\n[B]\nk=v\n"},
        WriteCase{"AddsKeyToEmptySection", "[A]\r\n[SETTINGS]\r\n[B]\r\n",
                  "[A]\r\n[SETTINGS]\r\nTime limit=AUP 6\r\n[B]\r\n"},
        WriteCase{"AddsKeyAfterSectionOnLastLine", "[SETTINGS]", "[SETTINGS]\nTime limit=AUP 6\n"},
        WriteCase{"AppendsSectionWithBlankLineCrLf", "[A]\r\nk=v\r\n",
                  "[A]\r\nk=v\r\n\r\n[SETTINGS]\r\nTime limit=AUP 6\r\n"},
        WriteCase{"AppendsSectionAfterLastLineWithoutEnd", "[A]\nk=v", "[A]\nk=v\n\n[SETTINGS]\nTime limit=AUP 6\n"},
        WriteCase{"AppendsSectionAfterBlankLine", "[A]\nk=v\n\n", "[A]\nk=v\n\n[SETTINGS]\nTime limit=AUP 6\n"},
        WriteCase{"EmptyFile", "", "[SETTINGS]\nTime limit=AUP 6\n"},
        WriteCase{"KeepsByteOrderMark", "\xEF\xBB\xBF[SETTINGS]\r\nTime limit=AUP 1\r\n",
                  "\xEF\xBB\xBF[SETTINGS]\r\nTime limit=AUP 6\r\n"}));

TEST_F(Profile, RefusesTextsThatWouldBreakTheFile) {
    EXPECT_FALSE(WritePrivateProfileString(kSection, kKey, "AUP 6\n[Evil]", kIni));
    EXPECT_FALSE(WritePrivateProfileString(kSection, "a=b", "x", kIni));
    EXPECT_FALSE(WritePrivateProfileString("A]B", kKey, "x", kIni));
    EXPECT_FALSE(WritePrivateProfileString(kSection, "", "x", kIni));
    EXPECT_FALSE(fs::exists(kIni));
}

TEST_F(Profile, ALastLineEndedByALoneCrKeepsNoCrInItsValue) {
    WriteBytes(kIni, "[SETTINGS]\r\nTime limit=AUP 6\r");
    EXPECT_EQ(GetPrivateProfileString(kSection, kKey, "AUP 1", kIni), "AUP 6");
    ASSERT_TRUE(WritePrivateProfileString(kSection, "Other", "x", kIni));
    EXPECT_EQ(GetPrivateProfileString(kSection, kKey, "AUP 1", kIni), "AUP 6");
}

TEST_F(Profile, NamesAskedWithBlanksAroundThemAreFoundAndNotWrittenTwice) {
    ASSERT_TRUE(WritePrivateProfileString(" S", "k ", "v", kIni));
    EXPECT_EQ(GetPrivateProfileString(" S", "k ", "none", kIni), "v");
    ASSERT_TRUE(WritePrivateProfileString(" S", "k ", "w", kIni));
    EXPECT_EQ(GetPrivateProfileString("S", "k", "none", kIni), "w");
    const std::string text = ReadBytes(kIni);
    EXPECT_EQ(text.find("[ S]"), text.rfind("[ S]")) << text;
}

TEST_F(Profile, KeysThatWouldReadAsASectionOrACommentAreRefused) {
    for (const char* key : {"[x", ";x", "#x", "  ;x"}) {
        EXPECT_FALSE(WritePrivateProfileString(kSection, key, "v", kIni)) << key;
    }
    EXPECT_FALSE(fs::exists(kIni));
}

TEST_F(Profile, WriteKeepsTheFilesPermissionsAndLink) {
    WriteBytes("real.ini", "[SETTINGS]\nTime limit=AUP 1\n");
    fs::permissions("real.ini", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("real.ini", kIni);
    ASSERT_TRUE(WritePrivateProfileString(kSection, kKey, "AUP 9", kIni));
    EXPECT_TRUE(fs::is_symlink(kIni));
    EXPECT_EQ(ReadBytes("real.ini"), "[SETTINGS]\nTime limit=AUP 9\n");
    EXPECT_EQ(fs::status("real.ini").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(Profile, WriteIntoMissingFolderFails) {
    EXPECT_FALSE(WritePrivateProfileString(kSection, kKey, "AUP 6", "missing/hour_link.ini"));
    EXPECT_FALSE(fs::exists("missing"));
}

TEST_F(Profile, NameOfAFolderFailsAndLeavesItAlone) {
    fs::create_directory(kIni);
    EXPECT_FALSE(WritePrivateProfileString(kSection, kKey, "AUP 6", kIni));
    EXPECT_EQ(GetPrivateProfileString(kSection, kKey, "AUP 1", kIni), "AUP 1");
    EXPECT_TRUE(fs::is_directory(kIni));
}

TEST_F(Profile, PipeInThePlaceOfTheFileNeitherBlocksNorIsWritten) {
    ASSERT_EQ(::mkfifo(kIni, 0600), 0);
    EXPECT_EQ(GetPrivateProfileString(kSection, kKey, "AUP 1", kIni), "AUP 1");
    EXPECT_FALSE(WritePrivateProfileString(kSection, kKey, "AUP 6", kIni));
    EXPECT_TRUE(fs::is_fifo(kIni));
}

// Runs the write as an unprivileged user, as permissions do not bind root; the answer comes back as
// the exit status of a child process.
bool WriteAsNobody(const std::string& value) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(2);
        }
        ::_exit(WritePrivateProfileString(kSection, kKey, value, kIni) ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 2) << "could not drop privileges";
    return WEXITSTATUS(status) == 1;
}

constexpr auto kAll = fs::perms::all;
constexpr auto kReadOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                           fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;

TEST_F(Profile, ReadOnlyFileIsLeftUntouched) {
    const std::string before = "[SETTINGS]\nTime limit=AUP 1\n";
    WriteBytes(kIni, before);
    fs::permissions(".", kAll);
    fs::permissions(kIni, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(WriteAsNobody("AUP 6"));
    EXPECT_EQ(ReadBytes(kIni), before);
    EXPECT_EQ(FolderEntries("."), std::vector<std::string>{kIni});
}

TEST_F(Profile, ReadOnlyFolderIsLeftUntouched) {
    const std::string before = "[SETTINGS]\nTime limit=AUP 1\n";
    WriteBytes(kIni, before);
    fs::permissions(kIni, fs::perms::all);
    fs::permissions(".", kReadOnly);
    EXPECT_FALSE(WriteAsNobody("AUP 6"));
    EXPECT_EQ(ReadBytes(kIni), before);
    EXPECT_EQ(FolderEntries("."), std::vector<std::string>{kIni});
    fs::permissions(".", kAll);
    EXPECT_TRUE(WriteAsNobody("AUP 6")) << "the same write succeeds once the folder may be written";
}

// A tiny tmpfs mounted in a private mount namespace, to run out of space for real.
class TinyDisk {
public:
    explicit TinyDisk(const fs::path& where) : m_where(where) {
        fs::create_directory(where);
        static const std::string kPrivateRefused = EnterPrivateMounts();
        if (!kPrivateRefused.empty()) {
            m_refused = kPrivateRefused;
        } else if (::mount("none", where.c_str(), "tmpfs", 0, "size=4k") != 0) {
            m_refused = std::string("mounting a tmpfs failed: ") + std::strerror(errno);
        } else {
            m_mounted = true;
        }
    }
    ~TinyDisk() {
        if (m_mounted) {
            ::umount2(m_where.c_str(), MNT_DETACH);
        }
    }
    TinyDisk(const TinyDisk&) = delete;
    TinyDisk& operator=(const TinyDisk&) = delete;
    [[nodiscard]] bool Mounted() const { return m_mounted; }
    // What failed when the disk is not mounted.
    [[nodiscard]] const std::string& RefusedBecause() const { return m_refused; }

private:
    // Empty when the process now has mounts of its own; else what failed.
    static std::string EnterPrivateMounts() {
        if (::unshare(CLONE_NEWNS) != 0) {
            return std::string("unshare(CLONE_NEWNS) failed: ") + std::strerror(errno);
        }
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            return std::string("making / a private mount failed: ") + std::strerror(errno);
        }
        return {};
    }

    fs::path m_where;
    bool m_mounted = false;
    std::string m_refused;
};

TEST_F(Profile, FullDiskLeavesTheFileUntouched) {
    const TinyDisk disk("disk");
    if (!disk.Mounted()) {
        GTEST_SKIP() << disk.RefusedBecause();
    }
    const std::string before = "[SETTINGS]\nTime limit=AUP 1\n";
    WriteBytes("disk/hour_link.ini", before);
    EXPECT_FALSE(WritePrivateProfileString(kSection, kKey, std::string(3000, 'x'), "disk/hour_link.ini"));
    EXPECT_EQ(ReadBytes("disk/hour_link.ini"), before);
    EXPECT_EQ(FolderEntries("disk"), std::vector<std::string>{kIni});
}

} // namespace
} // namespace hourlink
