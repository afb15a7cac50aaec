// The progress of ferrit-cli on its error stream: one live line where a person watches a
// terminal, nothing where a program reads a pipe, and no trace of the line in what is left.
#ifndef _WIN32
#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "cli/cli_app.h"
#include "cli/progress_screen.h"
#include "testing/system.h"
#include "testing/temp_dir.h"

namespace ferrit {
namespace {

using testing::TempDir;

// What a terminal shows of the bytes written to it: '\r' returns to the start of the line, '\n'
// starts the next one, any other byte overwrites what stands under the cursor. Trailing blanks
// are dropped, and the summary's time is written "T".
std::vector<std::string> Screen(const std::string& written) {
    std::vector<std::string> lines(1);
    size_t column = 0;
    for (char c : written) {
        if (c == '\r' || c == '\n') {
            column = 0;
            if (c == '\n') {
                lines.emplace_back();
            }
            continue;
        }
        lines.back().resize(std::max(lines.back().size(), column + 1), ' ');
        lines.back()[column++] = c;
    }
    for (std::string& line : lines) {
        line.erase(line.find_last_not_of(' ') + 1);
        line = std::regex_replace(line, std::regex(" in [0-9.]+ s,"), " in T,");
    }
    lines.pop_back();  // what follows the last line end
    return lines;
}

// The live lines drawn: each text after a '\r' that begins with the figures.
std::vector<std::string> Drawings(const std::string& written) {
    std::vector<std::string> drawn;
    std::istringstream s(written);
    for (std::string piece; std::getline(s, piece, '\r');) {
        if (piece.find(" files, ") != std::string::npos) {
            drawn.push_back(piece.substr(0, piece.find('\n')));
        }
    }
    return drawn;
}

// Replies typed at a terminal, which shows (echoes) each byte as it is read.
class TypedInput : public std::streambuf {
  public:
    TypedInput(const std::string& typed, std::ostream& screen) : typed_(typed), screen_(screen) {}

  protected:
    int_type underflow() override {
        return next_ < typed_.size() ? traits_type::to_int_type(typed_[next_]) : traits_type::eof();
    }
    int_type uflow() override {
        const int_type c = underflow();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            screen_ << typed_[next_++];
        }
        return c;
    }

  private:
    std::string typed_;
    size_t next_ = 0;
    std::ostream& screen_;
};

struct Ran {
    int code = -1;
    std::string out, err;  // on one terminal, everything is in err
    int64_t clockMs = 0;   // the clock at the end: every reading moves it on by the step
};

// A run with stderr a terminal of 40 columns or not, and stdout and stdin on the same terminal
// (one stream for stdout and stderr, as there) or not.
Ran RunAt(const std::vector<std::string>& args, bool errTerminal, bool allOnTerminal = false,
          int64_t stepMs = 30, const std::string& typed = "") {
    std::ostringstream out, err;
    TypedInput typedIn(typed, err);
    std::istream terminalIn(&typedIn);
    std::istringstream pipedIn(typed);
    Ran ran;
    CliHooks hooks;
    hooks.errorIsTerminal = errTerminal;
    hooks.outputIsTerminal = hooks.inputIsTerminal = allOnTerminal;
    hooks.terminalColumns = [] { return 40; };
    hooks.nowMs = [&] { return ran.clockMs += stepMs; };
    ran.code =
        RunCli(args, allOnTerminal ? err : out, err, allOnTerminal ? terminalIn : pipedIn, hooks);
    // Paths as the tests spell them (testing/system.h).
    ran.out = testing::WithSlashes(out.str());
    ran.err = testing::WithSlashes(err.str());
    // A Windows workstation without a NetWare client says so once, before the run: not a part of
    // the progress.
    const size_t startup = ran.err.find("Could not initialize NetWare Client.");
    if (testing::kOnWindows && startup != std::string::npos) {
        ran.err.erase(startup, ran.err.find('\n', startup) + 1 - startup);
    }
    return ran;
}

// Two files and one in a subdirectory; the long name and the one with a terminal command in it
// must be shortened and defused in the live line. (Windows takes no control characters in a
// name: there the third name is plain, and the defusing is left to TheLineFitsTheTerminal.)
struct Tree {
    TempDir tmp;
    std::string src = tmp.Dir("src");
    std::string tgt = tmp.Path("tgt");
    const std::string longName = "a-name-far-too-long-for-the-live-line-of-forty-columns.txt";
    const std::string commandName = testing::kOnWindows ? "c[2J.txt" : "c\x1b[2J.txt";
    Tree() {
        tmp.File("src/" + longName, "aa");
        tmp.File("src/b.txt", "bbb");
        tmp.File("src/sub/" + commandName, "cccc");
    }
    std::vector<std::string> Args(const std::vector<std::string>& flags) const {
        std::vector<std::string> args = flags;
        args.insert(args.end(), {"--jobs=1", src, tgt});
        return args;
    }
    std::string StatusLines() const {
        return "   " + longName + " copied\n   b.txt copied\n" + src + "/sub\n   " + commandName +
               " copied\n";
    }
};

const char kSummary[] =
    "Finished: 3 copied, 0 skipped, 0 failed (2 directories) in T, 9 bytes copied";

TEST(Progress, IsShownOnlyWhereItIsWatched) {
    struct Row {
        std::vector<std::string> flags;
        bool errTerminal;
        bool live;         // the live line is drawn
        bool changeLines;  // the old line per change of the progress
        bool statusLines;  // stdout carries the status lines
    } rows[] = {
        {{}, false, false, false, true},
        {{}, true, true, false, true},
        {{"--no-progress"}, true, false, false, true},
        {{"--progress"}, false, true, false, true},
        {{"--quiet"}, true, false, false, false},
        {{"--quiet", "--progress"}, false, true, false, false},
        {{"--progress=lines"}, true, false, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.flags) + (row.errTerminal ? " terminal" : ""));
        Tree tree;
        std::vector<std::string> flags = {"--subdirs", "--create-dirs"};
        flags.insert(flags.end(), row.flags.begin(), row.flags.end());
        const Ran ran = RunAt(tree.Args(flags), row.errTerminal);
        ASSERT_EQ(ran.code, 0) << ran.err;
        EXPECT_EQ(ran.out, row.statusLines ? tree.StatusLines() : "");
        const std::vector<std::string> drawn = Drawings(ran.err);
        EXPECT_EQ(!drawn.empty(), row.live) << ran.err;
        for (const std::string& line : drawn) {
            EXPECT_LE(line.size(), 39u) << line;
            EXPECT_EQ(line.find('\x1b'), std::string::npos) << line;
        }
        EXPECT_EQ(ran.err.find("Status:   Copying\n") != std::string::npos, row.changeLines);
        // Without the old lines, the summary alone is left: the live line left no trace.
        const std::vector<std::string> screen = Screen(ran.err);
        EXPECT_EQ(screen.back(), kSummary);
        EXPECT_EQ(screen.size() == 1, !row.changeLines) << ran.err;
    }
}

// On a terminal the line is taken away before every other text, so the screen at the end
// shows exactly what a run without it shows: each status line, message and question whole.
TEST(Progress, LeavesATerminalAsARunWithoutItWould) {
    struct Row {
        std::vector<std::string> flags;
        const char* typed;
        bool failing;  // the target's b.txt is a directory: its copy fails
    } rows[] = {
        {{"--subdirs", "--create-dirs"}, "", false},
        {{"--subdirs"}, "", true},
        {{"--always", "--confirm"}, "y\n", false},
        {{"--always", "--confirm"}, "maybe\nwhat\nn\n", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.flags) + row.typed);
        // The same work on a fresh pair of trees, with and without the line.
        const auto run = [&](const std::string& flag) {
            Tree tree;
            row.failing ? tree.tmp.Dir("tgt/b.txt") : tree.tmp.File("tgt/b.txt", "old");
            std::vector<std::string> flags = row.flags;
            flags.push_back(flag);
            Ran ran = RunAt(tree.Args(flags), true, true, 150, row.typed);
            ran.err = std::regex_replace(ran.err, std::regex(tree.tmp.path()), "TMP");
            return ran;
        };
        const Ran without = run("--no-progress");
        const Ran live = run("--progress");
        EXPECT_EQ(live.code, without.code);
        EXPECT_FALSE(Drawings(live.err).empty()) << live.err;
        EXPECT_EQ(Screen(live.err), Screen(without.err)) << live.err;
    }
}

TEST(Progress, IsDrawnAtMostTenTimesASecond) {
    TempDir tmp;
    for (int i = 0; i < 200; ++i) {
        tmp.File("src/f" + std::to_string(i), "x");
    }
    const Ran ran = RunAt({"--jobs=1", tmp.Path("src"), tmp.Dir("tgt")}, true, false, 7);
    const int64_t drawn = static_cast<int64_t>(Drawings(ran.err).size());
    // Often enough to follow the run, never more often than every 100 ms of the clock.
    EXPECT_LE(drawn, ran.clockMs / 100 + 1);
    EXPECT_GE(drawn, std::max<int64_t>(5, ran.clockMs / 200));
}

TEST(Progress, TheLineFitsTheTerminal) {
    struct Row {
        const char* figures;
        const char* name;
        int columns;
        const char* line;
    } rows[] = {
        {"3 files", "abcdefghijklmnopqrstuvwxyz.txt", 25, "3 files  abcdef...xyz.txt"},
        // Characters beyond ASCII are cut whole, and counted as two columns.
        {"1", "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4.txt", 16,
         "1  \xC3\xA4\xC3\xA4....txt"},
        {"1", "a\x1b[31mb\nc\x7f", 40, "1  a?[31mb?c?"},
        {"123 files", "name", 8, "123 file"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(FitProgressLine(row.figures, row.name, row.columns), row.line) << row.line;
    }
}

#ifdef FERRIT_CLI_PROGRAM

#ifndef _WIN32
// Runs the program with stdout into a file and stderr on a pseudo-terminal of 20 columns, or on
// a pipe; returns what stderr received.
std::string RunProgram(const Tree& tree, bool terminal, int& status) {
    const std::vector<std::string> args = {"--subdirs", "--create-dirs", tree.src, tree.tgt};
    int ends[2] = {-1, -1};
    struct winsize size {};
    size.ws_col = 20;
    const pid_t child =
        terminal ? forkpty(&ends[0], nullptr, nullptr, &size) : (pipe(ends) == 0 ? fork() : -1);
    if (child == 0) {
        const int out = open(tree.tmp.Path("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        if (!terminal) {
            dup2(ends[1], 2);
        }
        std::vector<char*> argv = {const_cast<char*>(FERRIT_CLI_PROGRAM)};
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (!terminal) {
        close(ends[1]);
    }
    std::string got;
    char buffer[4096];
    // A pseudo-terminal whose other side is closed reports an error rather than the end.
    for (ssize_t n; (n = read(ends[0], buffer, sizeof buffer)) > 0;) {
        got.append(buffer, static_cast<size_t>(n));
    }
    close(ends[0]);
    waitpid(child, &status, 0);
    return std::regex_replace(got, std::regex("\r\n"), "\n");  // the terminal's line ends
}
#endif

// The program itself finds out what its error stream is connected to, and how wide it is.
TEST(Progress, TheProgramDrawsOnATerminalAndNotIntoAPipe) {
    SKIP_ON_WINDOWS("a pseudo-terminal and a forked child");
#ifndef _WIN32
    for (const bool terminal : {true, false}) {
        Tree tree;
        int status = -1;
        const std::string err = RunProgram(tree, terminal, status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(testing::ReadFile(tree.tmp.Path("out")), tree.StatusLines());
        const std::vector<std::string> drawn = Drawings(err);
        EXPECT_EQ(Screen(err), std::vector<std::string>{kSummary}) << err;
        EXPECT_EQ(drawn.empty() ? "" : drawn.front(), terminal ? "0 files, 0 bytes co" : "");
    }
#endif
}

#endif

}  // namespace
}  // namespace ferrit
