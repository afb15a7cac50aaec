// The progress of ferrit-cli on its error stream: one live line where a person watches a
// terminal, nothing where a program reads a pipe, and no trace of the line in what is left.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "cli/cli_app.h"
#include "cli/progress_screen.h"
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
        if (c == '\r') {
            column = 0;
        } else if (c == '\n') {
            lines.emplace_back();
            column = 0;
        } else {
            std::string& line = lines.back();
            line.resize(std::max(line.size(), column + 1), ' ');
            line[column++] = c;
        }
    }
    for (std::string& line : lines) {
        line.erase(line.find_last_not_of(' ') + 1);
        line = std::regex_replace(line, std::regex(" in [0-9.]+ s,"), " in T,");
    }
    if (lines.back().empty()) {
        lines.pop_back();
    }
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

// Reply text read from a terminal: the terminal shows (echoes) each byte as it is read.
class EchoedInput : public std::streambuf {
  public:
    EchoedInput(const std::string& typed, std::ostream& screen) : typed_(typed), screen_(screen) {}

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

// Where the three streams go, and the clock: every reading of it moves it on by stepMs.
struct Setting {
    bool errTerminal = false;
    bool outTerminal = false;  // stdout shows on the same terminal: one stream for both
    int columns = 40;
    int64_t stepMs = 30;
};

struct Ran {
    int code = -1;
    std::string out, err;  // with outTerminal, everything is in err
    int64_t clockMs = 0;   // the clock at the end
};

Ran RunAt(const std::vector<std::string>& args, const Setting& setting,
          const std::string& typed = "") {
    std::ostringstream out, err;
    std::ostream& outStream = setting.outTerminal ? err : out;
    EchoedInput echo(typed, err);
    std::istringstream piped(typed);
    std::istream echoed(&echo);
    Ran ran;
    CliHooks hooks;
    hooks.errorIsTerminal = setting.errTerminal;
    hooks.outputIsTerminal = setting.outTerminal;
    hooks.inputIsTerminal = setting.outTerminal;
    hooks.terminalColumns = [&] { return setting.columns; };
    hooks.nowMs = [&] { return ran.clockMs += setting.stepMs; };
    ran.code = RunCli(args, outStream, err, setting.outTerminal ? echoed : piped, hooks);
    ran.out = out.str();
    ran.err = err.str();
    return ran;
}

// Two files and one in a subdirectory; the long name and the one with a terminal command in it
// must be shortened and defused in the live line.
struct Tree {
    TempDir tmp;
    std::string src = tmp.Dir("src");
    std::string tgt = tmp.Path("tgt");
    const std::string longName = "a-name-far-too-long-for-the-live-line-of-forty-columns.txt";
    Tree() {
        tmp.File("src/" + longName, "aa");
        tmp.File("src/b.txt", "bbb");
        tmp.File("src/sub/c\x1b[2J.txt", "cccc");
    }
    std::string StatusLines() const {
        return "   " + longName + " copied\n   b.txt copied\n" + src +
               "/sub\n   c\x1b[2J.txt copied\n";
    }
};

TEST(Progress, IsShownOnlyWhereItIsWatched) {
    struct Row {
        const char* name;
        std::vector<std::string> flags;
        bool errTerminal;
        bool live;         // the live line is drawn
        bool changeLines;  // the old line per change of the progress
        bool statusLines;  // stdout carries the status lines
    } rows[] = {
        {"a pipe", {}, false, false, false, true},
        {"a terminal", {}, true, true, false, true},
        {"--no-progress on a terminal", {"--no-progress"}, true, false, false, true},
        {"--progress into a pipe", {"--progress"}, false, true, false, true},
        {"--quiet on a terminal", {"--quiet"}, true, false, false, false},
        {"--quiet --progress", {"--quiet", "--progress"}, false, true, false, false},
        {"--progress=lines", {"--progress=lines"}, true, false, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Tree tree;
        std::vector<std::string> args = {"--subdirs", "--create-dirs", "--jobs=1"};
        args.insert(args.end(), row.flags.begin(), row.flags.end());
        args.insert(args.end(), {tree.src, tree.tgt});
        Setting setting;
        setting.errTerminal = row.errTerminal;
        const Ran ran = RunAt(args, setting);
        EXPECT_EQ(ran.code, 0) << ran.err;
        EXPECT_EQ(ran.out, row.statusLines ? tree.StatusLines() : "");
        const std::vector<std::string> drawn = Drawings(ran.err);
        EXPECT_EQ(!drawn.empty(), row.live) << ran.err;
        for (const std::string& line : drawn) {
            EXPECT_LE(line.size(), 39u) << line;
            EXPECT_EQ(line.find('\x1b'), std::string::npos) << line;
        }
        EXPECT_EQ(ran.err.find("Status:   Copying\n") != std::string::npos, row.changeLines);
        const std::vector<std::string> screen = Screen(ran.err);
        ASSERT_FALSE(screen.empty());
        EXPECT_EQ(screen.back(),
                  "Finished: 3 copied, 0 skipped, 0 failed (2 directories) in T, 9 bytes copied");
        if (!row.changeLines) {
            EXPECT_EQ(screen.size(), 1u) << ran.err;  // the live line left no trace
        }
    }
}

// On a terminal the line is taken away before every other text, so the screen at the end
// shows exactly what a run without it shows: each status line, message and question whole.
TEST(Progress, LeavesATerminalAsARunWithoutItWould) {
    struct Row {
        const char* name;
        std::vector<std::string> flags;
        const char* typed;
        bool failing;  // the target's a.txt and b.txt are directories: their copies fail
    } rows[] = {
        {"a tree", {"--subdirs", "--create-dirs"}, "", false},
        {"failed copies", {"--subdirs"}, "", true},
        {"an overwrite question", {"--always", "--confirm"}, "y\n", false},
        {"replies that are no answer", {"--always", "--confirm"}, "maybe\nwhat\nn\n", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Setting setting;
        setting.errTerminal = true;
        setting.outTerminal = true;
        setting.stepMs = 150;  // every chance to draw is taken
        // The same work on a fresh pair of trees, with and without the line.
        const auto run = [&](const std::vector<std::string>& more) {
            Tree tree;
            tree.tmp.Dir("tgt");
            if (row.failing) {
                tree.tmp.Dir("tgt/b.txt");
            } else if (row.typed[0] != '\0') {
                tree.tmp.File("tgt/b.txt", "old");
            }
            std::vector<std::string> args = row.flags;
            args.insert(args.end(), more.begin(), more.end());
            args.insert(args.end(), {"--jobs=1", tree.src, tree.tgt});
            Ran ran = RunAt(args, setting, row.typed);
            // The trees' place written "TMP", the same for both runs.
            ran.err = std::regex_replace(ran.err, std::regex(tree.tmp.path()), "TMP");
            return ran;
        };
        const Ran without = run({"--no-progress"});
        const Ran live = run({});
        EXPECT_EQ(live.code, without.code);
        EXPECT_FALSE(Drawings(live.err).empty()) << live.err;
        EXPECT_EQ(Screen(live.err), Screen(without.err)) << live.err;
    }
}

TEST(Progress, IsDrawnAtMostTenTimesASecond) {
    TempDir tmp;
    const std::string src = tmp.Dir("src");
    for (int i = 0; i < 200; ++i) {
        tmp.File("src/f" + std::to_string(i), "x");
    }
    Setting setting;
    setting.errTerminal = true;
    setting.stepMs = 7;
    const Ran ran = RunAt({"--jobs=1", src, tmp.Dir("tgt")}, setting);
    const int64_t drawn = static_cast<int64_t>(Drawings(ran.err).size());
    // Often enough to follow the run, never more often than every 100 ms of the clock.
    EXPECT_LE(drawn, ran.clockMs / 100 + 1);
    EXPECT_GE(drawn, ran.clockMs / 200);
    EXPECT_GE(drawn, 5);
}

TEST(Progress, TheLineFitsTheTerminal) {
    struct Row {
        const char* figures;
        const char* name;
        int columns;
        const char* line;
    } rows[] = {
        {"3 files", "a.txt", 40, "3 files  a.txt"},
        {"3 files", "", 40, "3 files"},
        {"3 files", "abcdefghijklmnopqrstuvwxyz.txt", 25, "3 files  abcdef...xyz.txt"},
        // Characters beyond ASCII are cut whole, and counted as two columns.
        {"1", "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4.txt", 16,
         "1  \xC3\xA4\xC3\xA4....txt"},
        {"1", "a\x1b[31mb\nc\x7f", 40, "1  a?[31mb?c?"},
        {"123 files done", "name", 8, "123 file"},
        {"123 files done", "name", 0, ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(FitProgressLine(row.figures, row.name, row.columns), row.line) << row.line;
    }
}

#ifdef FERRIT_CLI_PROGRAM

// Runs the program with stdout into a file and stderr on `errFd` (closed here), and returns what
// `readFd` delivers until the program has closed it.
std::string RunProgram(const std::vector<std::string>& args, int errFd, int readFd,
                       const std::string& outFile, int& status) {
    const pid_t child = fork();
    if (child == 0) {
        const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        dup2(out, 1);
        dup2(errFd, 2);
        close(readFd);
        std::vector<char*> argv = {const_cast<char*>(FERRIT_CLI_PROGRAM)};
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(errFd);
    std::string got;
    char buffer[4096];
    ssize_t n = 0;
    // A pseudo-terminal whose other side is closed reports an error rather than the end.
    while ((n = read(readFd, buffer, sizeof buffer)) > 0) {
        got.append(buffer, static_cast<size_t>(n));
    }
    close(readFd);
    waitpid(child, &status, 0);
    return got;
}

// The program itself finds out what its error stream is connected to, and how wide it is.
TEST(Progress, TheProgramDrawsOnATerminalAndNotIntoAPipe) {
    Tree tree;
    const std::vector<std::string> args = {"--subdirs", "--create-dirs", tree.src, tree.tgt};

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    struct winsize size {};
    size.ws_row = 24;
    size.ws_col = 20;
    ASSERT_EQ(ioctl(terminal, TIOCSWINSZ, &size), 0);
    struct termios mode {};
    ASSERT_EQ(tcgetattr(terminal, &mode), 0);
    mode.c_oflag &= ~static_cast<tcflag_t>(OPOST);  // the bytes as written, no "\r\n" for "\n"
    ASSERT_EQ(tcsetattr(terminal, TCSANOW, &mode), 0);
    int status = -1;
    const std::string shown = RunProgram(args, terminal, master, tree.tmp.Path("out1"), status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(testing::ReadFile(tree.tmp.Path("out1")), tree.StatusLines());
    const std::vector<std::string> drawn = Drawings(shown);
    ASSERT_FALSE(drawn.empty()) << shown;
    EXPECT_EQ(drawn.front(), "0 files, 0 bytes co");  // cut to 20 columns, less one
    EXPECT_THAT(Screen(shown), ::testing::ElementsAre(::testing::StartsWith("Finished: 3 copied")));

    testing::RemoveTree(tree.tgt);
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const std::string piped =
        RunProgram(args, pipeEnds[1], pipeEnds[0], tree.tmp.Path("out2"), status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(testing::ReadFile(tree.tmp.Path("out2")), tree.StatusLines());
    EXPECT_THAT(piped, ::testing::MatchesRegex("Finished: 3 copied[^\r\n]*\n"));
}

#endif

}  // namespace
}  // namespace ferrit
