#include "cli/cli_app.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <regex>
#include <sstream>

#include "platform/error_codes.h"
#include "testing/odd_files.h"
#include "testing/scoped_env.h"
#include "testing/system.h"
#include "testing/temp_dir.h"

namespace ferrit {
namespace {

using testing::ReadFile;
using testing::SetModTime;
using testing::TempDir;

struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
};

Outcome RunWith(const std::vector<std::string>& args, std::istream& in,
                const CliHooks& hooks = {}) {
    std::ostringstream out, err;
    Outcome o;
    o.code = RunCli(args, out, err, in, hooks);
    // Paths as the tests spell them (testing/system.h).
    o.out = testing::WithSlashes(out.str());
    o.err = testing::WithSlashes(err.str());
    return o;
}

Outcome RunWith(const std::vector<std::string>& args, const std::string& input = "",
                const CliHooks& hooks = {}) {
    std::istringstream in(input);
    return RunWith(args, in, hooks);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream s(text);
    for (std::string line; std::getline(s, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The three progress lines as last set, written just before the summary line that ends stderr.
std::vector<std::string> ProgressAtEnd(const std::string& text) {
    std::vector<std::string> lines = Lines(text);
    if (lines.size() < 4) {
        return lines;
    }
    return std::vector<std::string>(lines.end() - 4, lines.end() - 1);
}

std::string LastLine(const std::string& text) {
    const std::vector<std::string> lines = Lines(text);
    return lines.empty() ? std::string() : lines.back();
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(RunCli, UsageErrorsExitTwoAndHelpGoesToStdout) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--bogus", "s", "t"}, {"s"}, {"--set=15", "s", "t"}}) {
        const Outcome o = RunWith(args);
        EXPECT_EQ(o.code, 2) << ::testing::PrintToString(args);
        EXPECT_TRUE(Contains(o.err, "Usage: ferrit-cli")) << o.err;
        EXPECT_EQ(o.out, "");
    }
    const Outcome o = RunWith({"--help"});
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.out.rfind("Usage: ferrit-cli", 0), 0u) << o.out;
    EXPECT_EQ(o.err, "");
}

TEST(RunCli, CopiesATreeIntoACreatedTarget) {
    TempDir tmp;
    const std::string src = tmp.Dir("src");
    tmp.File("src/a.txt", "aa");
    tmp.File("src/b.txt", "bbb");
    tmp.File("src/sub/c.txt", "cccc");
    // A FIFO is named as not copied, a known limit rather than a failure: the status stays 0.
    // (Windows has none.)
    const bool fifo = !testing::kOnWindows;
    if (fifo) {
        ASSERT_TRUE(testing::MakeOddFile(src + "/pipe", testing::OddFile::Fifo));
    }
    const std::string tgt = tmp.Path("out/deep/target");

    const Outcome o = RunWith({"--subdirs", "--create-dirs", "--progress=lines", src, tgt});
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out, "   a.txt copied\n   b.txt copied\n" +
                         std::string(fifo ? "   pipe not copied: a FIFO is not a file\n" : "") +
                         src + "/sub\n   c.txt copied\n");
    EXPECT_EQ(ReadFile(tgt + "/a.txt"), "aa");
    EXPECT_EQ(ReadFile(tgt + "/sub/c.txt"), "cccc");
    EXPECT_TRUE(Contains(o.err, "Status:   Copying\n"));
    EXPECT_EQ(
        ProgressAtEnd(o.err),
        (std::vector<std::string>{"File:     c.txt (   4)", "Status:   copied", "Total:       9"}));
    // (std::regex: googletest's own on Windows knows no brackets.)
    EXPECT_TRUE(std::regex_match(
        LastLine(o.err), std::regex(std::string("Finished: 3 copied, ") + (fifo ? "1" : "0") +
                                    " skipped, 0 failed \\(2 directories\\) in "
                                    "[0-9.]+ s, 9 bytes copied")))
        << o.err;
}

// A preview prints what the run would print, for every number of side-by-side copies, and
// leaves both trees as they were.
TEST(RunCli, DryRunPrintsTheRunsLinesAndChangesNothing) {
    TempDir tmp;
    const std::string src = tmp.Dir("src");
    tmp.File("src/a.txt", "aa");
    tmp.File("src/sub/c.txt", "cccc");
    const std::string tgt = tmp.Dir("tgt");
    tmp.File("tgt/a.txt", "old");
    const std::vector<std::string> flags = {"--subdirs", "--create-dirs", "--always", "--move"};
    for (const char* jobs : {"--jobs=1", "--jobs=8"}) {
        std::vector<std::string> args = flags;
        args.insert(args.end(), {"--dry-run", "--progress=lines", jobs, src, tgt});
        const Outcome o = RunWith(args);
        EXPECT_EQ(o.code, 0) << o.err;
        EXPECT_EQ(o.out, "   a.txt copied\n" + src + "/sub\n   c.txt copied\n");
        EXPECT_TRUE(Contains(o.err, "Status:   Moved")) << o.err;
        EXPECT_TRUE(Contains(o.err, "dry run: nothing was changed")) << o.err;
        EXPECT_EQ(ReadFile(src + "/a.txt"), "aa");
        EXPECT_EQ(ReadFile(src + "/sub/c.txt"), "cccc");
        EXPECT_EQ(ReadFile(tgt + "/a.txt"), "old");
        EXPECT_EQ(testing::ListDir(tgt), std::vector<std::string>{"a.txt"});
    }
    std::vector<std::string> args = flags;
    args.insert(args.end(), {src, tgt});
    const Outcome real = RunWith(args);
    EXPECT_EQ(real.out, "   a.txt copied\n" + src + "/sub\n   c.txt copied\n");
    EXPECT_EQ(ReadFile(tgt + "/sub/c.txt"), "cccc");
    EXPECT_EQ(testing::ListDir(src), std::vector<std::string>{});
}

TEST(RunCli, SavedStartsFromTheOptionsTheWindowSaved) {
    TempDir tmp;
    const std::string src = tmp.Dir("src");
    const std::string tgt = tmp.Dir("tgt");
    tmp.File("src/a.txt", "a");
    tmp.File("src/sub/b.txt", "b");
    // The window's first-start states, without the second pass: a move of the whole tree.
    testing::ScopedEnv env;
    testing::WriteFile(env.UseConfigDirectoryBelow(tmp.Path("config")) + "/Ferrit.Ini",
                       "[Default Options]\nCopy Bi-directional=0\nConfirm Overwrites=0\n");

    const Outcome o = RunWith({"--saved", src, tgt});
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out, "   a.txt copied\n" + src + "/sub\n   b.txt copied\n");
    EXPECT_EQ(ReadFile(tgt + "/sub/b.txt"), "b");
    EXPECT_TRUE(testing::ListDir(src).empty());  // moved, emptied directory removed
    // Saved ticks that the rules switch off (the NetWare ones here) draw no warnings.
    EXPECT_FALSE(Contains(o.err, "warning:")) << o.err;
}

// --saved needs the window's settings file with its [Default Options] section; without one it
// would tick every option, Move Files included. It refuses with status 2 and touches nothing.
struct SavedRefusal {
    const char* name;
    std::string text;  // the file's contents; ignored for an odd file
    int odd;           // -1, or a testing::OddFile in its place
    std::string why;   // after "ferrit-cli: --saved: ", with "PATH" standing for the file
};

class SavedRefusalTest : public ::testing::TestWithParam<SavedRefusal> {};

TEST_P(SavedRefusalTest, RefusesWithStatusTwoAndTouchesNothing) {
    TempDir tmp;
    const std::string src = tmp.Dir("src");
    const std::string tgt = tmp.Dir("tgt");
    tmp.File("src/a.txt", "a");
    testing::ScopedEnv env;
    const std::string config = env.UseConfigDirectoryBelow(tmp.Path("config"));
    ASSERT_TRUE(testing::MakeDirs(config));
    const std::string ini = testing::WithSlashes(config) + "/Ferrit.Ini";
    const SavedRefusal& c = GetParam();
    if (testing::kOnWindows && (c.odd == static_cast<int>(testing::OddFile::Fifo) ||
                                c.odd == static_cast<int>(testing::OddFile::DevZero))) {
        GTEST_SKIP() << "not on Windows: the row needs a FIFO or /dev/zero";
    }
    if (c.odd >= 0) {
        ASSERT_TRUE(testing::MakeOddFile(ini, static_cast<testing::OddFile>(c.odd)));
    } else if (c.name != std::string("Missing")) {
        ASSERT_TRUE(testing::WriteFile(ini, c.text));
    }

    const Outcome o = RunWith({"--saved", src, tgt});
    EXPECT_EQ(o.code, 2);
    std::string why = c.why;
    why.replace(why.find("PATH"), 4, ini);
    EXPECT_EQ(o.err, "ferrit-cli: --saved: " + why + "\n");
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(ReadFile(src + "/a.txt"), "a");
    EXPECT_TRUE(testing::ListDir(tgt).empty());
}

const std::string kNoSection = "the settings file PATH holds no [Default Options] section";

INSTANTIATE_TEST_SUITE_P(
    Files, SavedRefusalTest,
    ::testing::Values(SavedRefusal{"Missing", "", -1, "the settings file PATH does not exist"},
                      SavedRefusal{"Empty", "", -1, kNoSection},
                      SavedRefusal{"CutInTheHeading", "[Default Opt", -1, kNoSection},
                      SavedRefusal{"OtherSectionsOnly", "[SourceHistory]\n0=/x\nMove Files=0\n", -1,
                                   kNoSection},
                      SavedRefusal{"Directory", "", static_cast<int>(testing::OddFile::Directory),
                                   "PATH: not a regular file (a directory)"},
                      SavedRefusal{"Fifo", "", static_cast<int>(testing::OddFile::Fifo),
                                   "PATH: not a regular file (a FIFO)"},
                      SavedRefusal{"DevZero", "", static_cast<int>(testing::OddFile::DevZero),
                                   "PATH: not a regular file (a device)"},
                      SavedRefusal{"TooLarge", "", static_cast<int>(testing::OddFile::TooLarge),
                                   "PATH: larger than 1 MiB"}),
    [](const ::testing::TestParamInfo<SavedRefusal>& info) {
        return std::string(info.param.name);
    });

TEST(RunCli, WithoutOptionsOnlyMissingRootFilesAreCopied) {
    TempDir tmp;
    const std::string src = tmp.Dir("src");
    const std::string tgt = tmp.Dir("tgt");
    tmp.File("src/new.txt", "n");
    tmp.File("src/old.txt", "fresh");
    tmp.File("tgt/old.txt", "stale");
    tmp.File("src/sub/deep.txt", "d");

    const Outcome o = RunWith({src, tgt});
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out, "   new.txt copied\n   old.txt skipped\n");
    EXPECT_EQ(ReadFile(tgt + "/old.txt"), "stale");
    EXPECT_EQ(testing::ListDir(tgt), (std::vector<std::string>{"new.txt", "old.txt"}));
}

TEST(RunCli, MissingRootsAreReportedWithTheirErrorCodes) {
    TempDir tmp;
    const std::string src = tmp.Path("nothing-here");
    const std::string tgt = tmp.Path("tgt");

    Outcome o = RunWith({"--create-dirs", "--progress=lines", src, tgt});
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.out, "");
    EXPECT_TRUE(Contains(o.err, "Error 8702: " + src + " does not exist\n")) << o.err;
    // The source is tested first, so the target is not created.
    EXPECT_TRUE(testing::ListDir(tmp.path()).empty());
    EXPECT_EQ(ProgressAtEnd(o.err),
              (std::vector<std::string>{"[        ]", "[        ]", "[        ]"}));
    EXPECT_EQ(LastLine(o.err), "Not started: Error 8702: " + src + " does not exist");

    const std::string realSrc = tmp.Dir("src");
    tmp.File("src/a.txt", "a");
    o = RunWith({realSrc, tgt});
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.out, "");
    EXPECT_TRUE(Contains(o.err, "Error 8701: " + tgt + " does not exist\n")) << o.err;
}

// --log keeps what stdout and the summary say, run after run; a log that cannot be opened stops
// the run before anything is done.
TEST(RunCli, LogKeepsTheStatusLinesAndTheSummaryOfEveryRun) {
    TempDir tmp;
    const std::string src = tmp.Dir("src");
    tmp.File("src/a.txt", "aa");
    const std::string tgt = tmp.Dir("tgt");
    const std::string log = tmp.Path("logs/ferrit.log");
    Outcome first = RunWith({"--log=" + log, src, tgt});
    EXPECT_EQ(first.code, 0) << first.err;
    Outcome second = RunWith({"--log=" + log, src, tgt});
    const std::vector<std::string> lines = Lines(ReadFile(log));
    ASSERT_EQ(lines.size(), 14u) << ReadFile(log);
    for (size_t run = 0; run < 2; ++run) {
        const Outcome& o = run == 0 ? first : second;
        EXPECT_EQ(lines[run * 7].rfind("Ferrit run of ", 0), 0u);
        EXPECT_EQ(lines[run * 7 + 1], "From:         " + src);
        EXPECT_EQ(lines[run * 7 + 2], "To:           " + tgt);
        EXPECT_EQ(lines[run * 7 + 4], "Options:      none");
        EXPECT_EQ(lines[run * 7 + 5] + "\n", o.out);
        EXPECT_EQ(lines[run * 7 + 6], LastLine(o.err));
    }
    EXPECT_EQ(lines[5], "   a.txt copied");
    EXPECT_EQ(lines[12], "   a.txt skipped");

    tmp.File("blocker", "x");
    const Outcome refused = RunWith({"--move", "--log=" + tmp.Path("blocker/x.log"), src, tgt});
    EXPECT_EQ(refused.code, 2);
    EXPECT_TRUE(Contains(refused.err, "cannot write the log " + tmp.Path("blocker/x.log")))
        << refused.err;
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(ReadFile(src + "/a.txt"), "aa");
}

// A target tree whose a.txt and b.txt are directories: copying onto them fails.
struct FailingTree {
    TempDir tmp;
    std::string src = tmp.Dir("src");
    std::string tgt = tmp.Dir("tgt");
    FailingTree() {
        tmp.File("src/a.txt", "a");
        tmp.File("src/b.txt", "b");
        tmp.File("src/c.txt", "c");
        tmp.Dir("tgt/a.txt");
        tmp.Dir("tgt/b.txt");
    }
    // The status line that keeps the reason a file was not copied.
    std::string Reason(const std::string& name) const {
        return "      Error 0005: Could not write " + tgt + "/" + name + " \u2013 " +
               ErrorDescription(5) + "\n";
    }
};

TEST(RunCli, ErrorsIgnoredByDefaultButTheExitStatusTellsOfThem) {
    FailingTree t;
    const Outcome o = RunWith({t.src, t.tgt});
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.out, "   a.txt not copied\n" + t.Reason("a.txt") + "   b.txt not copied\n" +
                         t.Reason("b.txt") + "   c.txt copied\n");
    // Each message ends in the system's description of the code, in parentheses.
    EXPECT_TRUE(Contains(o.err, ": Could not write " + t.tgt + "/a.txt (")) << o.err;
    EXPECT_TRUE(Contains(o.err, ": Could not write " + t.tgt + "/b.txt (")) << o.err;
    EXPECT_EQ(ReadFile(t.tgt + "/c.txt"), "c");
}

TEST(RunCli, ErrorsAbortStopsAtTheFirstFailure) {
    FailingTree t;
    const Outcome o = RunWith({"--errors=abort", "--jobs=1", "--progress=lines", t.src, t.tgt});
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.out, "   a.txt not copied\n" + t.Reason("a.txt"));
    EXPECT_FALSE(Contains(o.err, "b.txt"));
    EXPECT_EQ(ProgressAtEnd(o.err),
              (std::vector<std::string>{"File:     a.txt (   1)", "Status:   not copied",
                                        "Total:       1"}));
    // Side by side, the copies made ahead are dropped: the same output, the same tree.
    FailingTree side;
    const Outcome o4 =
        RunWith({"--errors=abort", "--jobs=4", "--progress=lines", side.src, side.tgt});
    EXPECT_EQ(o4.code, 1);
    // The two trees' paths and the run's time aside, both runs say the same.
    const auto same = [](std::string text, const FailingTree& tree) {
        for (size_t at; (at = text.find(tree.tmp.path())) != std::string::npos;) {
            text.replace(at, tree.tmp.path().size(), "<tmp>");
        }
        return std::regex_replace(text, std::regex("after [0-9.]+ s"), "after T");
    };
    EXPECT_EQ(same(o4.out, side), same(o.out, t));
    EXPECT_EQ(same(o4.err, side), same(o.err, t));
    EXPECT_EQ(testing::ListDir(side.tgt), testing::ListDir(t.tgt));
}

// A source file one hour newer than its counterpart on the target.
struct NewerSource {
    TempDir tmp;
    std::string src = tmp.Dir("src");
    std::string tgt = tmp.Dir("tgt");
    NewerSource() {
        const int64_t now = static_cast<int64_t>(std::time(nullptr));
        SetModTime(tmp.File("src/a.txt", "new"), now - 60);
        SetModTime(tmp.File("tgt/a.txt", "old"), now - 3660);
    }
};

TEST(RunCli, OverwriteQuestionAnsweredByTheFlag) {
    {
        NewerSource t;
        const Outcome o = RunWith({"--older", "--confirm", "--overwrite=no", t.src, t.tgt}, "y\n");
        EXPECT_EQ(o.code, 0) << o.err;
        EXPECT_EQ(o.out, "   a.txt skipped\n");
        EXPECT_TRUE(Contains(o.err, "Overwrite " + t.tgt + "/a.txt?\n")) << o.err;
        EXPECT_EQ(ReadFile(t.tgt + "/a.txt"), "old");
    }
    {
        NewerSource t;
        const Outcome o = RunWith({"--older", "--confirm", "--overwrite=yes", t.src, t.tgt});
        EXPECT_EQ(o.code, 0) << o.err;
        EXPECT_EQ(o.out, "   a.txt copied\n");
        EXPECT_EQ(ReadFile(t.tgt + "/a.txt"), "new");
    }
    {
        // Without "Confirm Overwrites" nothing is asked.
        NewerSource t;
        const Outcome o = RunWith({"--older", "--overwrite=no", t.src, t.tgt});
        EXPECT_EQ(o.out, "   a.txt copied\n");
        EXPECT_FALSE(Contains(o.err, "Overwrite "));
    }
}

TEST(RunCli, OverwriteDefaultAsksOnlyOnATerminal) {
    {
        NewerSource t;
        const Outcome o = RunWith({"--older", "--confirm", t.src, t.tgt}, "y\n");
        EXPECT_EQ(o.out, "   a.txt skipped\n");
        EXPECT_FALSE(Contains(o.err, "[y/n]"));
    }
    {
        NewerSource t;
        CliHooks hooks;
        hooks.inputIsTerminal = true;
        const Outcome o = RunWith({"--older", "--confirm", t.src, t.tgt}, "y\n", hooks);
        EXPECT_EQ(o.code, 0) << o.err;
        EXPECT_EQ(o.out, "   a.txt copied\n");
        EXPECT_TRUE(Contains(o.err, "Overwrite " + t.tgt + "/a.txt? [y/n] ")) << o.err;
        EXPECT_EQ(ReadFile(t.tgt + "/a.txt"), "new");
    }
}

TEST(RunCli, WarnsAboutRequestedOptionsNotInForceAndStillRuns) {
    TempDir tmp;
    const std::string src = tmp.Dir("src");
    const std::string tgt = tmp.Dir("tgt");
    tmp.File("src/a.txt", "a");
    const Outcome o = RunWith({"--both-ways", "--move", "--keep-owner", src, tgt});
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_TRUE(Contains(o.err,
                         "warning: option \"Copy Bi-directional\" is not in force: \"Move "
                         "Files\" is ticked\n"))
        << o.err;
    EXPECT_TRUE(Contains(o.err,
                         "warning: option \"Keep Owner\" is not in force: both paths must "
                         "be on NetWare volumes\n"))
        << o.err;
    EXPECT_EQ(o.out, "   a.txt copied\n");
    EXPECT_TRUE(testing::ListDir(src).empty());
    EXPECT_EQ(ReadFile(tgt + "/a.txt"), "a");
}

TEST(RunCli, InterruptBeforeTheFirstFileCopiesNothing) {
    TempDir tmp;
    const std::string src = tmp.Dir("src");
    const std::string tgt = tmp.Dir("tgt");
    tmp.File("src/a.txt", "a");
    InterruptFlag flag{1};
    CliHooks hooks;
    hooks.interrupted = &flag;
    const Outcome o = RunWith({src, tgt}, "", hooks);
    EXPECT_EQ(o.code, 3);
    EXPECT_EQ(o.out, "");
    EXPECT_TRUE(testing::ListDir(tgt).empty());
}

// Input that raises the interrupt flag when the overwrite question reads its reply "y".
class InterruptingInput : public std::streambuf {
  public:
    explicit InterruptingInput(InterruptFlag& flag) : flag_(flag) {}

  protected:
    int_type underflow() override {
        if (gptr() != nullptr) {
            return traits_type::eof();
        }
        flag_ = 1;
        setg(reply_, reply_, reply_ + 2);
        return traits_type::to_int_type(reply_[0]);
    }

  private:
    InterruptFlag& flag_;
    char reply_[2] = {'y', '\n'};
};

TEST(RunCli, InterruptDuringARunFinishesTheFileAndStops) {
    NewerSource t;
    t.tmp.File("src/b.txt", "b");
    t.tmp.File("src/c.txt", "c");
    InterruptFlag flag{0};
    InterruptingInput buffer(flag);
    std::istream in(&buffer);
    CliHooks hooks;
    hooks.interrupted = &flag;
    const Outcome o =
        RunWith({"--older", "--confirm", "--overwrite=ask", "--jobs=1", t.src, t.tgt}, in, hooks);
    EXPECT_EQ(o.code, 3);
    EXPECT_EQ(o.out, "   a.txt copied\n");
    EXPECT_EQ(ReadFile(t.tgt + "/a.txt"), "new");
    EXPECT_EQ(testing::ListDir(t.tgt), std::vector<std::string>{"a.txt"});
}

}  // namespace
}  // namespace ferrit
