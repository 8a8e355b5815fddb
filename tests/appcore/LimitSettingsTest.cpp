#include "appcore/LimitSettings.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include <gtest/gtest.h>

#include "appcore/SettingsPlace.h"
#include "runtime/Errors.h"
#include "support/TempDir.h"

namespace hourlink {
namespace {

namespace fs = std::filesystem;

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct PathCase {
    const char* executable;
    const char* expected;
};

class IniFileNameTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(IniFileNameTest, SitsBesideTheExecutable) {
    EXPECT_EQ(IniFileNameFor(GetParam().executable), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Paths, IniFileNameTest,
                         ::testing::Values(PathCase{"/opt/hourlink/bin/hourlink", "/opt/hourlink/bin/hour_link.ini"},

                                           PathCase{"/opt/hourlink/", "/opt/hourlink/hour_link.ini"},

                                           PathCase{"hourlink", "hour_link.ini"}));

class LimitFile : public hourlink::testing::InTempDir {
protected:
    const std::string m_ini = (m_dir.Path() / kIniBaseName).string();
};

TEST_F(LimitFile, MissingFileGivesTheDefaultAndCreatesNothing) {
    EXPECT_EQ(ReadTimeLimitText(m_ini), "AUP 1");
    EXPECT_FALSE(fs::exists(m_ini));
}

TEST_F(LimitFile, EightBitTextBecomesUtf8AndTheBufferCountsBytes) {
    WriteBytes(m_ini, "[SETTINGS]\r\nTime limit=" + std::string(3000, '\xE8') + "\r\n");
    std::string expected;
    for (int i = 0; i < 2047; ++i) {
        expected += "\xC3\xA8";
    }
    EXPECT_EQ(ReadTimeLimitText(m_ini), expected);
}

TEST_F(LimitFile, WriteCreatesTheSectionAndTheNextReadFindsIt) {
    WriteTimeLimitText(m_ini, "AUP 6");
    const std::string content = ReadBytes(m_ini);
    EXPECT_NE(content.find("[SETTINGS]"), std::string::npos) << content;
    EXPECT_NE(content.find("Time limit=AUP 6"), std::string::npos) << content;
    EXPECT_EQ(ReadTimeLimitText(m_ini), "AUP 6");
}

TEST_F(LimitFile, WriteStoresEightBitText) {
    WriteTimeLimitText(m_ini, "AUP \xC3\xA8");
    EXPECT_NE(ReadBytes(m_ini).find("Time limit=AUP \xE8"), std::string::npos);
    EXPECT_EQ(ReadTimeLimitText(m_ini), "AUP \xC3\xA8");
}

TEST_F(LimitFile, FailedWriteNamesTheFile) {
    // A folder that cannot be made: a plain file stands where it would go.
    WriteBytes(m_dir.Path() / "blocked", "");
    const std::string nowhere = (m_dir.Path() / "blocked" / "hourlink" / kIniBaseName).string();
    try {
        WriteTimeLimitText(nowhere, "AUP 2");
        FAIL() << "the write went through";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + nowhere);
    }
    EXPECT_EQ(ReadBytes(m_dir.Path() / "blocked"), "");
}

TEST_F(LimitFile, TheFirstWriteMakesTheSettingsFolder) {
    const fs::path config = m_dir.Path() / "config" / "hourlink";
    const std::string ini = (config / kIniBaseName).string();
    EXPECT_EQ(ReadTimeLimitText(ini), "AUP 1");
    EXPECT_FALSE(fs::exists(config)) << "reading makes nothing";
    WriteTimeLimitText(ini, "AUP 9");
    EXPECT_EQ(ReadTimeLimitText(ini), "AUP 9");
}

// A file system described by its writable paths and existing files.
class TableFiles final : public FileAccess {
public:
    TableFiles(std::set<std::string> existing, std::set<std::string> writable)
        : m_existing(std::move(existing)), m_writable(std::move(writable)) {}
    bool Exists(const std::string& path) const override { return m_existing.count(path) != 0; }
    bool Writable(const std::string& path) const override { return m_writable.count(path) != 0; }

private:
    std::set<std::string> m_existing;
    std::set<std::string> m_writable;
};

struct PlaceCase {
    const char* name;
    const char* executable;
    std::set<std::string> existing;
    std::set<std::string> writable;
    const char* xdgConfigHome;
    const char* home;
    const char* expected;
};

class SettingsPlaceTest : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(SettingsPlaceTest, ChoosesThePortableFileOrTheUsersOwn) {
    const PlaceCase& c = GetParam();
    const TableFiles files(c.existing, c.writable);
    const SettingsPlaceInput input{c.executable, {"/usr", "/opt", "/usr/local/"}, c.xdgConfigHome, c.home};
    EXPECT_EQ(PlaceIniFile(input, files), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Places, SettingsPlaceTest,
    ::testing::Values(
        PlaceCase{"WritableBuildFolder",
                  "/home/u/src/build/hourlink",
                  {},
                  {"/home/u/src/build/"},
                  "",
                  "/home/u",
                  "/home/u/src/build/hour_link.ini"},
        PlaceCase{"WritableFileInAReadOnlyFolder",
                  "/media/stick/hourlink",
                  {"/media/stick/hour_link.ini"},
                  {"/media/stick/hour_link.ini"},
                  "",
                  "/home/u",
                  "/media/stick/hour_link.ini"},
        PlaceCase{"ReadOnlyFileInAWritableFolder",
                  "/home/u/unpacked/hourlink",
                  {"/home/u/unpacked/hour_link.ini"},
                  {"/home/u/unpacked/"},
                  "",
                  "/home/u",
                  "/home/u/.config/hourlink/hour_link.ini"},
        PlaceCase{
            "ReadOnlyFolder", "/srv/shared/hourlink", {}, {}, "", "/home/u", "/home/u/.config/hourlink/hour_link.ini"},
        PlaceCase{"SystemFolderEvenForRoot",
                  "/usr/bin/hourlink",
                  {},
                  {"/usr/bin/"},
                  "",
                  "/root",
                  "/root/.config/hourlink/hour_link.ini"},
        PlaceCase{"OptIsASystemFolder",
                  "/opt/hourlink/bin/hourlink",
                  {},
                  {"/opt/hourlink/bin/"},
                  "",
                  "/home/u",
                  "/home/u/.config/hourlink/hour_link.ini"},
        PlaceCase{"TheInstallPrefix",
                  "/usr/local/bin/hourlink",
                  {},
                  {"/usr/local/bin/"},
                  "",
                  "/home/u",
                  "/home/u/.config/hourlink/hour_link.ini"},
        PlaceCase{"ANameThatOnlyStartsLikeASystemFolder",
                  "/usrdata/hourlink",
                  {},
                  {"/usrdata/"},
                  "",
                  "/home/u",
                  "/usrdata/hour_link.ini"},
        PlaceCase{"XdgConfigHomeSet",
                  "/usr/bin/hourlink",
                  {},
                  {},
                  "/home/u/cfg/",
                  "/home/u",
                  "/home/u/cfg/hourlink/hour_link.ini"},
        PlaceCase{"XdgConfigHomeRelativeIsIgnored",
                  "/usr/bin/hourlink",
                  {},
                  {},
                  "cfg",
                  "/home/u",
                  "/home/u/.config/hourlink/hour_link.ini"},
        PlaceCase{"HomeIsTheRoot", "/usr/bin/hourlink", {}, {}, "", "/", "/.config/hourlink/hour_link.ini"},
        PlaceCase{"NoHomeAtAll", "/usr/bin/hourlink", {}, {}, "", "", "/usr/bin/hour_link.ini"}),
    [](const auto& info) { return std::string(info.param.name); });

class RealFileAccess : public hourlink::testing::InTempDir {};

TEST_F(RealFileAccess, SeesExistingFilesAndWritableFolders) {
    const PosixFileAccess files;
    const std::string folder = m_dir.Path().string() + "/";
    EXPECT_TRUE(files.Writable(folder));
    EXPECT_FALSE(files.Exists(folder + kIniBaseName));
    WriteBytes(m_dir.Path() / kIniBaseName, "");
    EXPECT_TRUE(files.Exists(folder + kIniBaseName));
    EXPECT_TRUE(files.Writable(folder + kIniBaseName));
    EXPECT_FALSE(files.Writable(folder + "missing/"));
    const SettingsPlaceInput input{folder + "hourlink", {"/usr", "/opt"}, "", "/home/u"};
    EXPECT_EQ(PlaceIniFile(input, files), folder + kIniBaseName);
}

FormatSettings WithTimeSeparator(const char* separator) {
    FormatSettings format;
    format.timeSeparator = separator;
    return format;
}

struct ParseCase {
    const char* name;
    std::string text;
    FormatSettings format;
    double expected; // fraction of a day; negative when the text must fail
    const char* error = "";
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.name;
}

class ParseLimit : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseLimit, ReadsTheHoursAfterTheLabel) {
    const ParseCase& c = GetParam();
    if (c.expected >= 0) {
        EXPECT_DOUBLE_EQ(ParseTimeLimit(c.text, c.format), c.expected);
        return;
    }
    try {
        (void)ParseTimeLimit(c.text, c.format);
        FAIL() << "converted";
    } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()), c.error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseLimit,
    ::testing::Values(ParseCase{"Aup1", "AUP 1", {}, 1.0 / 24}, ParseCase{"Aup12IsHalfADay", "AUP 12", {}, 0.5},
                      ParseCase{"HandEditedWithColon", "AUP 1:30", WithTimeSeparator(":"), 1.5 / 24},
                      ParseCase{"HandEditedWithDot", "AUP 1.30", WithTimeSeparator("."), 1.5 / 24},
                      ParseCase{"ColonWhereTheLocaleHasDot", "AUP 1:30", WithTimeSeparator("."), -1,
                                "' 1:30' is not a valid time"},
                      ParseCase{"Aup25KeepsItsBlank", "AUP 25", {}, -1, "' 25' is not a valid time"},
                      ParseCase{"ThreeCharacters", "AUP", {}, -1, "'' is not a valid time"},
                      ParseCase{"ShortText", "AU", {}, -1, "'' is not a valid time"},
                      ParseCase{"WideCharactersCountOnce", "\xC3\x80\xC3\x88\xC3\x8C 2", {}, 2.0 / 24},
                      ParseCase{"WideCharacterInThePart", "AUP\xC3\xA8", {}, -1, "'\xC3\xA8' is not a valid time"}));

} // namespace
} // namespace hourlink
