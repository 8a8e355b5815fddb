#include "appcore/LimitSettings.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

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
    const std::string nowhere = (m_dir.Path() / "missing" / kIniBaseName).string();
    try {
        WriteTimeLimitText(nowhere, "AUP 2");
        FAIL() << "the write went through";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + nowhere);
    }
    EXPECT_FALSE(fs::exists(m_dir.Path() / "missing"));
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
