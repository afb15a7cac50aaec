// What a run counts and how it is summed up: every outcome lands in exactly one count, and the
// closing line says how the run ended.
#include "engine/run_summary.h"

#include <functional>
#include <regex>
#include <string>

#include "testing/engine_fixture.h"
#include "testing/temp_dir.h"

namespace ferrit {
namespace {
using testing::EngineFixture;
using testing::FileOp;

// The rows prepare the run through these.
class RunSummaryTest : public EngineFixture {
  public:
    using EngineFixture::At;
    using EngineFixture::dialogs;
    using EngineFixture::files;
    using EngineFixture::kT0;
    using EngineFixture::Put;
    using EngineFixture::Set;
    using EngineFixture::src;
    using EngineFixture::tgt;
};

struct SummaryRow {
    const char* name;
    std::function<void(RunSummaryTest&)> prepare;  // trees, faults and answers
    int64_t copied, skipped, failed, directories, bytesCopied;
    const char* summary;  // a regular expression; "T" stands for the time
};

void PrintTo(const SummaryRow& row, std::ostream* os) {
    *os << row.name;
}

class SummaryTable : public RunSummaryTest, public ::testing::WithParamInterface<SummaryRow> {};

TEST_P(SummaryTable, CountsEveryOutcomeOnce) {
    const SummaryRow& row = GetParam();
    Only({CopySubdirectories, CreateDirectoriesOnTarget});
    Put("src/a.txt", "aa", kT0);
    Put("src/sub/b.txt", "bbb", kT0);
    row.prepare(*this);
    Run();
    const RunCounts& c = run.Counts;
    EXPECT_EQ(c.FilesCopied, row.copied);
    EXPECT_EQ(c.FilesSkipped, row.skipped);
    EXPECT_EQ(c.Failures(), row.failed);
    EXPECT_EQ(c.Directories, row.directories);
    EXPECT_EQ(c.BytesCopied, row.bytesCopied);
    // Whatever was found and reported is done, to the byte.
    if (run.RunState != kRunStateAbort) {
        EXPECT_EQ(c.FilesDone(), c.FilesFound);
        EXPECT_EQ(c.BytesDone, c.BytesFound);
        EXPECT_DOUBLE_EQ(ProgressFraction(c, 0), c.FilesFound > 0 ? 1.0 : 0.0);
    }
    std::string pattern = row.summary;
    const size_t t = pattern.find('T');
    if (t != std::string::npos) {
        pattern.replace(t, 1, "[0-9]+\\.[0-9] s");
    }
    // (std::regex: googletest's own on Windows knows no brackets.)
    EXPECT_TRUE(std::regex_match(RunSummary(run), std::regex(pattern))) << RunSummary(run);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, SummaryTable,
    ::testing::Values(
        SummaryRow{"AllNew", [](RunSummaryTest&) {}, 2, 0, 0, 2, 5,
                   "Finished: 2 copied, 0 skipped, 0 failed \\(2 directories\\) in T"},
        SummaryRow{"OneUpToDateOneFailing",
                   [](RunSummaryTest& t) {
                       t.Put("tgt/a.txt", "aa", t.kT0);
                       t.files.Fail(FileOp::CopyFile, 5, 0, "b.txt");
                       t.dialogs.Script(Answer::Ignore);
                   },
                   0, 1, 1, 2, 0,
                   "Finished: 0 copied, 1 skipped, 1 failed \\(2 directories\\) in T"},
        SummaryRow{"AbortedAtAFailure",
                   [](RunSummaryTest& t) {
                       t.files.Fail(FileOp::CopyFile, 112, 0, "a.txt");
                       t.dialogs.Script(Answer::Abort);
                   },
                   0, 0, 1, 1, 0,
                   "Aborted after T: 0 copied, 0 skipped, 1 failed \\(1 directory\\)"},
        SummaryRow{"DirectoryNotMade",
                   [](RunSummaryTest& t) {
                       t.files.Fail(FileOp::CreateDirectories, 5, 0, "tgt/sub");
                       t.dialogs.Script(Answer::Ignore);
                   },
                   1, 0, 1, 1, 2, "Finished: 1 copied, 0 skipped, 1 failed \\(1 directory\\) in T"},
        // A move: each file counts once, a source the move had to keep as a failure only.
        SummaryRow{"Moved", [](RunSummaryTest& t) { t.Set(MoveFiles, true); }, 2, 0, 0, 2, 5,
                   "Finished: 2 copied, 0 skipped, 0 failed \\(2 directories\\) in T"},
        SummaryRow{"CopiedSourceKept",
                   [](RunSummaryTest& t) {
                       t.Set(MoveFiles, true);
                       t.Set(CopySubdirectories, false);
                       t.files.Fail(FileOp::DeleteFile, 5);
                   },
                   0, 0, 1, 1, 2, "Finished: 0 copied, 0 skipped, 1 failed \\(1 directory\\) in T"},
        SummaryRow{"SkippedAndMoved",
                   [](RunSummaryTest& t) {
                       t.Set(MoveFiles, true);
                       t.Set(CopySubdirectories, false);
                       t.Put("tgt/a.txt", "aa", t.kT0);
                   },
                   0, 1, 0, 1, 0, "Finished: 0 copied, 1 skipped, 0 failed \\(1 directory\\) in T"},
        SummaryRow{"SkippedSourceKept",
                   [](RunSummaryTest& t) {
                       t.Set(MoveFiles, true);
                       t.Set(CopySubdirectories, false);
                       t.Put("tgt/a.txt", "aa", t.kT0);
                       t.files.Fail(FileOp::SetAside, 5);
                   },
                   0, 0, 1, 1, 0, "Finished: 0 copied, 0 skipped, 1 failed \\(1 directory\\) in T"},
        // The identity check: the source is changed between its copy and its deletion.
        SummaryRow{"CopiedSourceChanged",
                   [](RunSummaryTest& t) {
                       t.Set(MoveFiles, true);
                       t.Set(CopySubdirectories, false);
                       t.files.Before(FileOp::SetAside, [](const std::string& path) {
                           testing::WriteFile(path, "changed");
                       });
                       t.dialogs.Script(Answer::Ignore);
                   },
                   0, 0, 1, 1, 2, "Finished: 0 copied, 0 skipped, 1 failed \\(1 directory\\) in T"},
        SummaryRow{"MoveWhoseCopyFailed",
                   [](RunSummaryTest& t) {
                       t.Set(MoveFiles, true);
                       t.Set(CopySubdirectories, false);
                       t.files.Fail(FileOp::CopyFile, 5);
                       t.dialogs.Script(Answer::Ignore);
                   },
                   0, 0, 1, 1, 0, "Finished: 0 copied, 0 skipped, 1 failed \\(1 directory\\) in T"},
        SummaryRow{"SourceMissing", [](RunSummaryTest& t) { t.src = t.At("gone"); }, 0, 0, 0, 0, 0,
                   "Not started: Error 8702: .*/gone does not exist"},
        // A target that was to be made and could not be says so, with the reason's code.
        SummaryRow{"TargetNotMade",
                   [](RunSummaryTest& t) {
                       t.Put("blocker", "x", t.kT0);
                       t.tgt = t.At("blocker/target");
                   },
                   0, 0, 0, 0, 0,
                   "Not started: Error [0-9A-F]{4}: Could not create .*/blocker/target"}));

// The figures under the bar: the speed and the time left appear only once they mean
// something, and the data on its way in a large file counts.
struct FiguresRow {
    int64_t found, done, bytesFound, bytesDone, inFlight, elapsedMs;
    bool running;
    const char* text;
};

TEST(ProgressFigures, SayWhatIsKnown) {
    const FiguresRow rows[] = {
        {1, 0, 0, 0, 0, 0, true, "0 of 1 file found so far"},
        {10, 4, 40 << 20, 16 << 20, 0, 1500, true, "4 of 10 files found so far"},
        {10, 4, 40 << 20, 16 << 20, 0, 4000, true,
         "4 of 10 files found so far, 4.00 MB/s, about 6.0 s left"},
        {1, 0, 100 << 20, 0, 25 << 20, 5000, true,
         "0 of 1 file found so far, 5.00 MB/s, about 15 s left"},
        {10, 0, 40 << 20, 0, 1000, 9000, true, "0 of 10 files found so far"},
        {10, 10, 40 << 20, 40 << 20, 0, 9000, false, "10 of 10 files"},
    };
    for (const FiguresRow& row : rows) {
        RunCounts c;
        c.FilesFound = row.found;
        c.FilesCopied = row.done;
        c.BytesFound = row.bytesFound;
        c.BytesDone = c.BytesCopied = row.bytesDone;
        EXPECT_EQ(row.text, ProgressFigures(c, row.inFlight, row.elapsedMs, row.running));
    }
}

}  // namespace
}  // namespace ferrit
