#include "appcore/AutostartEntry.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "runtime/Errors.h"
#include "support/TempDir.h"

namespace hourlink {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct PathCase {
    std::string xdgConfigHome;
    std::string home;
    std::string expected;
};

class AutostartEntryPathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(AutostartEntryPathTest, FollowsTheXdgConfigFolder) {
    EXPECT_EQ(AutostartEntryPath(GetParam().xdgConfigHome, GetParam().home), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Places, AutostartEntryPathTest,
                         ::testing::Values(PathCase{"/cfg", "/home/u", "/cfg/autostart/hourlink.desktop"},
                                           PathCase{"/cfg//", "/home/u", "/cfg/autostart/hourlink.desktop"},
                                           PathCase{"", "/home/u", "/home/u/.config/autostart/hourlink.desktop"},
                                           // A relative XDG_CONFIG_HOME is ignored, as the base-directory rules say.
                                           PathCase{"cfg", "/home/u", "/home/u/.config/autostart/hourlink.desktop"},
                                           PathCase{"", "", ""}, PathCase{"cfg", "home", ""}));

TEST(AutostartEntryTextTest, AnInstalledProgramStartsThroughItsLauncherMinimised) {
    const std::string text = AutostartEntryText({"/usr/bin/hourlink", "/home/u/.local/share/hourlink", true});
    EXPECT_EQ(text, "[Desktop Entry]\n"
                    "Type=Application\n"
                    "Name=Hourlink\n"
                    "Comment=Measures the time this computer is connected to the internet\n"
                    "Exec=\"/usr/bin/hourlink-launch\" --minimized\n"
                    "TryExec=/usr/bin/hourlink-launch\n"
                    "Terminal=false\n"
                    "X-GNOME-Autostart-enabled=true\n");
}

TEST(AutostartEntryTextTest, APortableProgramStartsItselfInItsWorkingFolder) {
    const std::string text = AutostartEntryText({"/home/u/My Tools/hourlink", "/home/u/My Tools", false});
    EXPECT_NE(text.find("\nExec=\"/home/u/My Tools/hourlink\" --minimized\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nTryExec=/home/u/My Tools/hourlink\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nPath=/home/u/My Tools\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("launch"), std::string::npos);
}

TEST(AutostartEntryTextTest, ReservedCharactersInPathsSurviveQuotingAndEscaping) {
    // Inside quotes: \" \` \$ \\ ; a percent doubled; then every backslash doubled as a string value.
    EXPECT_EQ(DesktopExecArgument("/a \"b\"/c`d`/$HOME/e\\f/100%"),
              "\"/a \\\\\"b\\\\\"/c\\\\`d\\\\`/\\\\$HOME/e\\\\\\\\f/100%%\"");
    EXPECT_EQ(DesktopExecArgument("/x;y|z&(w)#~'q'"), "\"/x;y|z&(w)#~'q'\"");
    EXPECT_EQ(DesktopStringValue("/a\\b\nc\td\re"), "/a\\\\b\\nc\\td\\re");
    const std::string text = AutostartEntryText({"/opt/x\ny/hourlink", "/w\\v", false});
    EXPECT_NE(text.find("\nTryExec=/opt/x\\ny/hourlink\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nPath=/w\\\\v\n"), std::string::npos) << text;
}

class AutostartEntryFileTest : public testing::InTempDir {
protected:
    fs::path entry() const { return m_dir.Path() / "config" / "autostart" / kAutostartFileName; }
};

TEST_F(AutostartEntryFileTest, WritingCreatesTheFolderAndRemovingLeavesNothing) {
    EXPECT_FALSE(AutostartEntryExists(entry()));
    WriteAutostartEntry(entry(), "first\n");
    EXPECT_TRUE(AutostartEntryExists(entry()));
    WriteAutostartEntry(entry(), "second\n");
    EXPECT_EQ(ReadAll(entry()), "second\n");
    EXPECT_FALSE(fs::exists(entry().string() + ".new"));

    RemoveAutostartEntry(entry());
    EXPECT_FALSE(AutostartEntryExists(entry()));
    EXPECT_NO_THROW(RemoveAutostartEntry(entry())) << "a missing entry is no error";
    EXPECT_FALSE(AutostartEntryExists(""));
}

TEST_F(AutostartEntryFileTest, FailuresAreReportedAndLeaveNoEntry) {
    // The autostart folder cannot be made where a plain file stands.
    fs::create_directories(entry().parent_path().parent_path());
    std::ofstream(entry().parent_path()).put('x');
    EXPECT_THROW(WriteAutostartEntry(entry(), "x\n"), EInOutError);
    EXPECT_FALSE(AutostartEntryExists(entry()));
    EXPECT_THROW(WriteAutostartEntry("", "x\n"), EInOutError);

    // An entry that is a folder with something in it cannot be removed, and says so.
    const fs::path folder = m_dir.Path() / "busy";
    fs::create_directories(folder / "inside");
    EXPECT_THROW(RemoveAutostartEntry(folder.string()), EInOutError);
    EXPECT_FALSE(AutostartEntryExists(folder.string()));
}

} // namespace
} // namespace hourlink
