// A preview run through the remembering file services: the same lines as the real run of the
// same tree, and not one change to the tree.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/dry_run_file_services.h"
#include "platform/file_handles.h"
#include "testing/engine_fixture.h"
#include "testing/system.h"

namespace ferrit {
namespace {
using ::ferrit::testing::EngineFixture;
using ::ferrit::testing::FactsOf;
using ::ferrit::testing::KindAt;
using ::ferrit::testing::ReadFile;

// Everything a run could change below a directory, by relative path: the entry's facts (kind,
// identity, size, mode or attributes, time) and its contents (or link text).
std::map<std::string, std::string> Snapshot(const std::string& root, const std::string& rel = "") {
    std::map<std::string, std::string> out;
    const std::string dir = rel.empty() ? root : root + "/" + rel;
    for (const std::string& name : ::ferrit::testing::ListDir(dir)) {
        const std::string r = rel.empty() ? name : rel + "/" + name;
        const std::string path = root + "/" + r;
        switch (KindAt(path)) {
            case EntryKind::Directory: {
                out[r] = "dir " + FactsOf(path);
                const auto below = Snapshot(root, r);
                out.insert(below.begin(), below.end());
                break;
            }
            case EntryKind::Link:
                out[r] = "link " + ::ferrit::testing::LinkText(path);
                break;
            case EntryKind::File:
                out[r] = "file " + FactsOf(path) + " " + ReadFile(path);
                break;
            default:
                out[r] =
                    "special " + FactsOf(path);  // never opened: a FIFO would wait for a writer
        }
    }
    return out;
}

struct PreviewRow {
    const char* name;
    std::vector<CopyOption> options;
};

void PrintTo(const PreviewRow& row, std::ostream* os) {
    *os << row.name;
}

class DryRun : public EngineFixture, public ::testing::WithParamInterface<PreviewRow> {
  protected:
    // The same tree twice: one for the preview, one for the real run.
    void Plant(const std::string& top) {
        Put(top + "/src/new.txt", "new", kT0 + 20);
        Put(top + "/src/same.txt", "same", kT0);
        Put(top + "/src/newer.txt", "newer", kT0 + 20);
        Put(top + "/src/a/deep.txt", "deep", kT0);
        Put(top + "/src/a/b/deeper.txt", "deeper", kT0);
        Put(top + "/tgt/same.txt", "same", kT0);
        Put(top + "/tgt/newer.txt", "old", kT0);
        Put(top + "/tgt/only-here.txt", "back", kT0 + 40);
        Put(top + "/tgt/a/deep.txt", "other", kT0 + 40);
        // Names of the program's temporaries, of a program that no longer runs: the user's own
        // files on both sides, and one leftover of a killed copy that bears the mark.
        Put(top + "/src/" + user_[0], "the user's", kT0);
        Put(top + "/src/a/b/" + user_[1], "the user's", kT0);  // keeps its directory
        Put(top + "/tgt/" + user_[2], "the user's", kT0);
        marked_ = testing::MarkAsUnfinishedCopy(Put(top + "/tgt/a/" + leftover_, "partial", kT0));
        fifo_ = testing::MakeFifo(At(top + "/src/pipe"));
        // A file that a killed move had set aside: put back, then handled as any other.
        Put(top + "/src/" + aside_, "set aside", kT0);
    }

    const std::string user_[3] = {testing::DeadProcessTemporaryName(1),
                                  testing::DeadProcessTemporaryName(2),
                                  testing::DeadProcessTemporaryName(3)};
    const std::string leftover_ = testing::DeadProcessTemporaryName(4);
    const std::string aside_ = testing::DeadProcessAsideName("aside.txt");
    // Linux only: Windows has no FIFOs, and no copy there bears the mark of an unfinished one.
    bool marked_ = false;
    bool fifo_ = false;

    DryRunFileServices preview{files};
    TransferEngine previewEngine{run, options, netware, preview, dialogs, sink};
};

TEST_P(DryRun, ShowsTheLinesOfTheRealRunAndChangesNothing) {
    Plant("p");
    Plant("r");
    Only({});
    for (CopyOption o : GetParam().options) {
        Set(o, true);
    }
    // Any question is answered the same in both runs.
    dialogs.SetDefault(Btn::YesNo, Answer::Yes);
    const auto before = Snapshot(At("p"));

    locations = netware.GetNetWarePaths(At("p/src"), At("p/tgt"));
    ASSERT_TRUE(previewEngine.ButtonStartClick(RunRequest{At("p/src"), At("p/tgt"), "*.*"}));
    std::vector<std::string> previewLines = List();
    const auto previewDialogs = DialogTexts().size();
    EXPECT_EQ(Snapshot(At("p")), before);

    sink.Reset();
    ASSERT_TRUE(Run(At("r/src"), At("r/tgt"), "*.*"));
    std::vector<std::string> realLines = List();
    for (std::string& line : previewLines) {
        const size_t at = line.find(At("p/"));
        if (at != std::string::npos) {
            line.replace(at, At("p/").size(), At("r/"));
        }
    }
    EXPECT_EQ(previewLines, realLines);
    EXPECT_EQ(DialogTexts().size(), 2 * previewDialogs);
    EXPECT_FALSE(preview.Changes().empty());
    // The user's files named like temporaries are never listed, copied or deleted; the marked
    // leftover goes where the real run copied into its directory.
    EXPECT_EQ(Contents("r/src/" + user_[0]), "the user's");
    EXPECT_EQ(Contents("r/src/a/b/" + user_[1]), "the user's");
    EXPECT_EQ(Contents("r/tgt/" + user_[2]), "the user's");
    EXPECT_FALSE(Exists("r/tgt/" + user_[0]));
    const auto& ticked = GetParam().options;
    const bool walkedA =
        std::find(ticked.begin(), ticked.end(), CopySubdirectories) != ticked.end();
    EXPECT_EQ(Exists("r/tgt/a/" + leftover_), !(walkedA && marked_));
    EXPECT_EQ(Exists("r/src/pipe"), fifo_);
    EXPECT_EQ(marked_ && fifo_, !testing::kOnWindows);
    EXPECT_THAT(realLines, ::testing::Contains("   aside.txt put back after an interrupted move"));
    EXPECT_FALSE(Exists("r/src/" + aside_));
    EXPECT_EQ(Contents(Exists("r/src/aside.txt") ? "r/src/aside.txt" : "r/tgt/aside.txt"),
              "set aside");
}

INSTANTIATE_TEST_SUITE_P(
    Options, DryRun,
    ::testing::Values(PreviewRow{"CopyMissing", {CopySubdirectories, CreateDirectoriesOnTarget}},
                      PreviewRow{"OlderBothWays",
                                 {CopySubdirectories, CreateDirectoriesOnTarget,
                                  OverwriteOlderFiles, CopyBidirectional}},
                      PreviewRow{"MoveAlways",
                                 {CopySubdirectories, CreateDirectoriesOnTarget, OverwriteAlways,
                                  MoveFiles}},
                      PreviewRow{"MoveOlderConfirmed",
                                 {CopySubdirectories, CreateDirectoriesOnTarget,
                                  OverwriteOlderFiles, ConfirmOverwrites, MoveFiles}},
                      PreviewRow{"MoveOlderBothWays",
                                 {CopySubdirectories, CreateDirectoriesOnTarget,
                                  OverwriteOlderFiles, MoveFiles, CopyBidirectional}},
                      PreviewRow{"ClearArchive", {OverwriteOlderFiles, ClearArchiveBit}}),
    [](const ::testing::TestParamInfo<PreviewRow>& info) { return info.param.name; });

// The server copy of a preview writes into a stand-in that keeps nothing (the system's null
// device); the copy it would make is only remembered, the real counterpart left as it was.
class PreviewServerCopy : public EngineFixture {};

TEST_F(PreviewServerCopy, KeepsNothingAndRemembersTheCopy) {
    const std::string from = Put("src/f.txt", "data", kT0);
    Put("tgt/f.txt", "old", kT0 - 10);
    DryRunFileServices preview{files};
    const FileHandle in = preview.OpenRead(from);
    ASSERT_NE(in, kInvalidFileHandle);
    std::string temp;
    const FileHandle out = preview.CreateTemporary(At("tgt/f.txt"), temp);
    ASSERT_NE(out, kInvalidFileHandle);
    char buffer[16];
    ASSERT_EQ(ReadAt(in, buffer, sizeof buffer, 0), 4);
    EXPECT_EQ(ReadAt(in, buffer, sizeof buffer, 4), 0);  // the end is no failure
    EXPECT_EQ(WriteAt(out, buffer, 4, 0), 4);
    EXPECT_EQ(ReadAt(out, buffer, sizeof buffer, 0), 0);  // nothing was kept
    EntryStat st;
    ASSERT_TRUE(preview.HandleStat(out, st));
    EXPECT_EQ(st.size, 4);
    EXPECT_EQ(preview.CloseFile(out), 0);
    EXPECT_EQ(preview.CloseFile(in), 0);
    EXPECT_EQ(preview.RenameOver(temp, At("tgt/f.txt")), 0);
    ASSERT_EQ(preview.StatEntry(At("tgt/f.txt"), st), 0);
    EXPECT_EQ(st.size, 4);
    EXPECT_EQ(Contents("tgt/f.txt"), "old");
    EXPECT_THAT(::ferrit::testing::ListDir(tgt), ::testing::ElementsAre("f.txt"));
}

}  // namespace
}  // namespace ferrit
