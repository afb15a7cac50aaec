#include "support/launch_request.h"

#include <set>
#include <string>

#include <gtest/gtest.h>

namespace ferrit {
namespace {

using Args = std::vector<std::string>;

// A file system holding exactly the given files; every path asked for is recorded.
struct FakeFiles {
    std::set<std::string> files;
    std::vector<std::string> asked;
    FileExistsFn Fn() {
        return [this](const std::string& p) {
            asked.push_back(p);
            return files.count(p) > 0;
        };
    }
};

GetEnvFn Env(const std::string& comspec) {
    return [comspec](const std::string& name) { return name == "comspec" ? comspec : ""; };
}

TEST(LauncherTest, AddressWithoutBlankIsOpenedWhole) {
    FakeFiles fs;
    const LaunchRequest r =
        BuildLaunchRequest("file:///usr/share/doc/ferrit/README.md", 1, fs.Fn(), Env(""));
    EXPECT_EQ("open", r.operation);
    EXPECT_EQ("file:///usr/share/doc/ferrit/README.md", r.file);
    EXPECT_EQ("", r.parameters);
    EXPECT_EQ("", r.directory);
    EXPECT_EQ(1, r.showState);
    EXPECT_TRUE(r.arguments.empty());
}

TEST(LauncherTest, ShortestPrefixNamingAFileIsTheProgram) {
    FakeFiles fs;
    fs.files = {"/opt/my tools/run", "/opt/my tools/run now"};
    const LaunchRequest r =
        BuildLaunchRequest("/opt/my tools/run now  -x \"a b\"", 1, fs.Fn(), Env("/bin/cmd"));
    EXPECT_EQ("/opt/my tools/run", r.file);
    EXPECT_EQ("/opt/my tools/", r.directory);
    EXPECT_EQ("now  -x \"a b\"", r.parameters);  // exactly as written
    EXPECT_EQ((Args{"now", "-x", "a b"}), r.arguments);
    EXPECT_EQ((std::vector<std::string>{"/opt/my", "/opt/my tools/run"}), fs.asked);
}

TEST(LauncherTest, BuiltInCommandRunsThroughComspec) {
    FakeFiles fs;
    const LaunchRequest r = BuildLaunchRequest("dir /tmp/x y", 1, fs.Fn(), Env("/usr/bin/cmd"));
    EXPECT_EQ("/usr/bin/cmd", r.file);
    EXPECT_EQ("/C dir /tmp/x y", r.parameters);
    EXPECT_EQ("", r.directory);
    EXPECT_EQ((Args{"/C", "dir /tmp/x y"}), r.arguments);
}

TEST(LauncherTest, BuiltInCommandWithoutComspecRunsThroughTheShell) {
    FakeFiles fs;
    const LaunchRequest r = BuildLaunchRequest("EcHo hello world", 1, fs.Fn(), Env(""));
    EXPECT_EQ("/bin/sh", r.file);
    EXPECT_EQ("-c EcHo hello world", r.parameters);
    EXPECT_EQ((Args{"-c", "EcHo hello world"}), r.arguments);
}

TEST(LauncherTest, AFileNamedLikeABuiltInCommandWins) {
    FakeFiles fs;
    fs.files = {"dir"};
    const LaunchRequest r = BuildLaunchRequest("dir /tmp", 1, fs.Fn(), Env("/usr/bin/cmd"));
    EXPECT_EQ("dir", r.file);
    EXPECT_EQ("", r.directory);
    EXPECT_EQ("/tmp", r.parameters);
}

TEST(LauncherTest, FifteenBuiltInCommandsComparedWithoutCase) {
    ASSERT_EQ(15u, InternalCommands.size());
    for (const char* word : {"cd", "COPY", "Del", "dir", "echo", "md", "path", "prompt", "rem",
                             "ren", "rd", "set", "truename", "type", "ver"}) {
        EXPECT_TRUE(IsInternalCommand(word)) << word;
    }
    for (const char* word : {"ls", "dirx", "", "cls", "mkdir", "Ä"}) {
        EXPECT_FALSE(IsInternalCommand(word)) << word;
    }
}

TEST(LauncherTest, LeadingBlankEndsThePrefixSearchAtOnce) {
    FakeFiles fs;
    fs.files = {"prog"};
    const LaunchRequest r = BuildLaunchRequest(" prog arg", 1, fs.Fn(), Env(""));
    EXPECT_EQ((std::vector<std::string>{""}), fs.asked);
    EXPECT_EQ("", r.file);
    EXPECT_EQ("prog arg", r.parameters);
}

TEST(LauncherTest, LineWithBlanksNamingNoFileSplitsAtTheFirstBlank) {
    FakeFiles fs;
    const LaunchRequest r = BuildLaunchRequest("firefox  --new-window x", 1, fs.Fn(), Env(""));
    EXPECT_EQ("firefox", r.file);
    EXPECT_EQ(" --new-window x", r.parameters);
    EXPECT_EQ((Args{"--new-window", "x"}), r.arguments);
    // The search went word by word and stopped at the empty word of the double blank.
    EXPECT_EQ((std::vector<std::string>{"firefox", "firefox"}), fs.asked);
}

TEST(LauncherTest, ArgumentSplitting) {
    EXPECT_EQ((Args{}), SplitArguments(""));
    EXPECT_EQ((Args{}), SplitArguments("   "));
    EXPECT_EQ((Args{"a", "b"}), SplitArguments(" a\tb "));
    EXPECT_EQ((Args{"one two", "x"}), SplitArguments("\"one two\" x"));
    EXPECT_EQ((Args{""}), SplitArguments("\"\""));
    EXPECT_EQ((Args{"ab c"}), SplitArguments("a\"b c\""));
}

}  // namespace
}  // namespace ferrit
