#include "platform/run_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "testing/temp_dir.h"

namespace ferrit {
namespace {

using testing::ListDir;
using testing::TempDir;

// Room is made by removing the oldest logs of the program's own naming only; the new name is
// never one that is taken.
TEST(RunLogTest, ANewLogMakesRoomAmongItsOwnLogsOnly) {
    TempDir dir;
    std::vector<std::string> logs;
    for (int second = 10; second < 35; ++second) {
        logs.push_back("run-20240101-1200" + std::to_string(second) + ".log");
        dir.File(logs.back(), "x");
    }
    dir.File("run-20240101-120010-2.log", "the second log of that second");
    const std::vector<std::string> others = {"run-notes.log", "run-20240101-120000.txt",
                                             "run-2024011-120000.log", "notes.txt"};
    for (const std::string& other : others) {
        dir.File(other, "the user's");
    }
    const std::string path = NewRunLogPath(dir.path(), 20);
    const std::vector<std::string> left = ListDir(dir.path());
    for (const std::string& other : others) {
        EXPECT_NE(std::find(left.begin(), left.end(), other), left.end()) << other;
    }
    // 26 logs, the newest 19 kept: the oldest seven (two of them from one second) went.
    EXPECT_EQ(left.size(), others.size() + 19);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(std::find(left.begin(), left.end(), logs[i]), left.end()) << logs[i];
    }
    EXPECT_NE(std::find(left.begin(), left.end(), logs[6]), left.end());
    EXPECT_EQ(std::find(left.begin(), left.end(), "run-20240101-120010-2.log"), left.end());
    EXPECT_EQ(path.rfind(dir.path() + "/run-", 0), 0u) << path;
    EXPECT_EQ(path.substr(path.size() - 4), ".log");

    // The name of this second taken: a counter follows it.
    testing::WriteFile(path, "");
    const std::string next = NewRunLogPath(dir.path(), 20);
    EXPECT_NE(next, path);
    EXPECT_EQ(next.substr(0, path.size() - 4), path.substr(0, path.size() - 4));
}

// A line that cannot be stored is told when the log is closed.
TEST(RunLogTest, AWriteFailureIsToldAtClose) {
    RunLogFile full;
    std::string problem;
    ASSERT_TRUE(full.Open("/dev/full", problem));
    full.Line(std::string(100000, 'x'));
    EXPECT_FALSE(full.Close(problem));
    EXPECT_NE(problem.find("/dev/full"), std::string::npos) << problem;
}

}  // namespace
}  // namespace ferrit
