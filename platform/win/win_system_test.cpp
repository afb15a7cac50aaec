// The services by path that the settings file and the launcher use, on Windows.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/config_file.h"
#include "platform/error_codes.h"
#include "platform/fs_util.h"
#include "platform/launch.h"
#include "platform/win/win_api.h"
#include "platform/win/win_test_tree.h"

namespace ferrit {
namespace {

using testing::Tree;
using testing::W;

TEST(WinSystem, SettingsFilesAreSavedWholeAndReadWithLimits) {
    Tree t;
    const std::string dir = t.root();
    const std::string file = dir + "\\new\\Ferrit.Ini";  // its directory is made on the way
    ASSERT_TRUE(SaveWholeFile(file, "[Default Options]\r\nPattern=*.*\r\n", WholeFileSave()));
    WholeFileSave keep;
    keep.keepMode = true;
    ASSERT_TRUE(SaveWholeFile(file, "second\n", keep));

    struct Case {
        std::string path;
        ConfigFileStatus status;
        std::string text;
    };
    const std::string big = dir + "\\big.ini";
    ASSERT_TRUE(SaveWholeFile(big, std::string(kMaxConfigFileBytes + 1, 'x'), WholeFileSave()));
    const std::vector<Case> cases = {
        {file, ConfigFileStatus::Read, "second\n"},
        {dir + "/new/Ferrit.Ini", ConfigFileStatus::Read, "second\n"},
        {dir + "\\none.ini", ConfigFileStatus::Missing, ""},
        {dir + "\\none\\x.ini", ConfigFileStatus::Missing, ""},
        {dir, ConfigFileStatus::NotRegular, ""},
        {big, ConfigFileStatus::TooLarge, ""},
    };
    for (const Case& c : cases) {
        const ConfigFileText read = ReadConfigFile(c.path);
        EXPECT_EQ(read.status, c.status) << c.path << ": " << read.problem;
        EXPECT_EQ(read.text, c.text) << c.path;
        EXPECT_EQ(read.problem.empty(), c.status == ConfigFileStatus::Read) << c.path;
    }
    // No temporary file is left beside the file.
    EXPECT_EQ(t.RawNames("new"), std::vector<std::string>{"Ferrit.Ini"});
}

TEST(WinSystem, DirectoriesPathsAndTexts) {
    Tree t;
    const std::string dir = t.root();
    EXPECT_EQ(MakeDirectoriesPlain(dir + "\\a\\b\\c"), 0);
    EXPECT_EQ(MakeDirectoriesPlain(dir + "/a/b"), 0);
    ASSERT_TRUE(SaveWholeFile(dir + "\\f", "x", WholeFileSave()));
    EXPECT_EQ(MakeDirectoriesPlain(dir + "\\f"), EEXIST);
    EXPECT_EQ(MakeDirectoriesPlain(dir + "\\f\\g"), ENOTDIR);

    EXPECT_EQ(ResolvePath(dir + "/a/b/not yet/x"), dir + "\\a\\b\\not yet\\x");
    EXPECT_EQ(ResolvePath(""), "");

    wchar_t appData[MAX_PATH] = {};
    const DWORD had = GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH);
    SetEnvironmentVariableW(L"APPDATA", W(dir).c_str());
    EXPECT_EQ(ConfigDirectory(), dir + "\\Ferrit");
    SetEnvironmentVariableW(L"APPDATA", had > 0 ? appData : nullptr);

    // The system's wording (Wine's differs from Windows'), as one line without its full stop.
    for (int code : {2, 5, 112, 145}) {
        const std::string text = ErrorDescription(code);
        ASSERT_FALSE(text.empty()) << code;
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
        EXPECT_NE(text.back(), '.') << text;
    }
    EXPECT_EQ(ErrorDescription(0x7FFFFFF0), "");

    EXPECT_TRUE(LaunchFileExists(dir + "\\f"));
    EXPECT_FALSE(LaunchFileExists(dir + "\\a"));  // a directory does not count
    EXPECT_FALSE(LaunchFileExists(dir + "\\none"));
    EXPECT_FALSE(GetEnvVar("comspec").empty());
    EXPECT_EQ(GetEnvVar("comspec"), GetEnvVar("COMSPEC"));
    EXPECT_LE(ExecuteCommand(dir + "\\none.exe", 1), 32);  // not started
}

}  // namespace
}  // namespace ferrit
