#include "platform/launch.h"

#include <chrono>
#include <string>
#include <thread>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "testing/temp_dir.h"

namespace ferrit {
namespace {

using testing::TempDir;

bool WaitForFile(const std::string& path) {
    for (int i = 0; i < 500; ++i) {
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && st.st_size > 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(LaunchTest, ProgramWithBlankInItsPathStartsInItsDirectoryWithItsArguments) {
    TempDir dir;
    const std::string script =
        dir.File("my tools/run", "#!/bin/sh\npwd > \"$1\"; echo \"$2\" >> \"$1\"\n");
    chmod(script.c_str(), 0755);
    const std::string marker = dir.Path("marker");
    const int32_t result = ExecuteCommand(script + " " + marker + " \"two words\"", 1);
    EXPECT_GT(result, 32);
    ASSERT_TRUE(WaitForFile(marker));
    // Give the script time to finish its second line.
    std::string text;
    for (int i = 0; i < 200 && text.find('\n', text.find('\n') + 1) == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        text = testing::ReadFile(marker);
    }
    EXPECT_EQ(dir.Path("my tools") + "\ntwo words\n", text);
}

TEST(LaunchTest, BuiltInCommandRunsThroughTheInterpreter) {
    TempDir dir;
    const std::string marker = dir.Path("echoed");
    unsetenv("comspec");
    unsetenv("COMSPEC");
    EXPECT_GT(LaunchCommand("echo launched > " + marker), 32);
    ASSERT_TRUE(WaitForFile(marker));
    EXPECT_EQ("launched\n", testing::ReadFile(marker));
}

TEST(LaunchTest, FailuresGiveResultsOf32OrBelow) {
    TempDir dir;
    EXPECT_LE(ShellOpen(LaunchRequest{}), 32);  // nothing to open

    setenv("comspec", dir.Path("no-shell").c_str(), 1);
    dir.File("no-shell", "not a program");
    chmod(dir.Path("no-shell").c_str(), 0755);
    EXPECT_LE(LaunchCommand("dir"), 32);  // exec of a file that is no program fails
    unsetenv("comspec");
}

TEST(LaunchTest, FileExistsIgnoresDirectories) {
    TempDir dir;
    EXPECT_TRUE(LaunchFileExists(dir.File("f")));
    EXPECT_FALSE(LaunchFileExists(dir.Dir("d")));
    EXPECT_FALSE(LaunchFileExists(dir.Path("missing")));
    EXPECT_FALSE(LaunchFileExists(""));
}

}  // namespace
}  // namespace ferrit
