// Whole runs: the checks before the walk, the two passes, stopping, the finishing steps, and a
// run's guarantees when something unexpected happens inside it.
#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/error_codes.h"
#include "support/format_size.h"
#include "testing/engine_fixture.h"
#include "testing/system.h"

namespace ferrit {
namespace {
using ::ferrit::testing::EngineFixture;
using ::ferrit::testing::FileOp;
using ::ferrit::testing::ListDir;
using ::ferrit::testing::ReadFile;
using ::ferrit::testing::SinkEvent;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class RunControlTest : public EngineFixture {
  protected:
    // The recorded calls as "Call line text" strings, for readable comparisons.
    std::vector<std::string> Trace() const {
        static const char* const kNames[] = {"Display", "Info",         "Walk",    "Pump",
                                             "Started", "ProgressPage", "Finished"};
        std::vector<std::string> out;
        for (const SinkEvent& e : sink.Events()) {
            std::string s = kNames[static_cast<int>(e.call)];
            if (e.line != 0) {
                s += " " + std::to_string(e.line);
            }
            if (!e.text.empty()) {
                s += " " + e.text;
            }
            out.push_back(s);
        }
        return out;
    }
};

TEST_F(RunControlTest, MissingSourceIsReportedBeforeTheTargetIsCreated) {
    Only({CreateDirectoriesOnTarget, CopySubdirectories});
    // A first run leaves lines and labels behind.
    Put("src/f.txt", "f", kT0);
    ASSERT_TRUE(Run());
    ASSERT_FALSE(List().empty());
    sink.OnPump(nullptr);
    dialogs.ClearRecord();
    const std::string missing = At("nothere");
    const std::string target = At("newtarget/deeper");
    ASSERT_TRUE(Run(missing, target, "*.*"));
    ASSERT_EQ(dialogs.Asked().size(), 1u);
    EXPECT_EQ(dialogs.Asked()[0].kind, DialogKind::Error);
    EXPECT_EQ(dialogs.Asked()[0].text, "Error 8702: " + missing + " does not exist");
    EXPECT_EQ(dialogs.Asked()[0].buttons, 0x0010);
    EXPECT_EQ(run.RunState, kRunStateAbort);
    EXPECT_FALSE(Exists("newtarget"));
    // The list was emptied and keeps the run colour; no page change, no cursor, no finish.
    EXPECT_THAT(List(), IsEmpty());
    EXPECT_TRUE(sink.RunColour());
    EXPECT_EQ(sink.RunFinishedCount(), 1);  // from the first run only
    EXPECT_EQ(dialogs.HourglassOnCount(), 0);
    EXPECT_EQ(sink.Label(1), "File:     f.txt (   1)");
    EXPECT_FALSE(engine.Running());
}

TEST_F(RunControlTest, MissingTargetWithoutCreateDirectoriesIsReported) {
    Only({});
    Put("src/f.txt", "f", kT0);
    const std::string target = At("nothere");
    ASSERT_TRUE(Run(src, target, "*.*"));
    EXPECT_THAT(DialogTexts(), ElementsAre("Error 8701: " + target + " does not exist"));
    EXPECT_EQ(dialogs.Asked()[0].buttons, 0x0010);
    EXPECT_FALSE(Exists("nothere"));
    EXPECT_THAT(Trace(), ElementsAre("Started"));
}

TEST_F(RunControlTest, MissingTargetIsCreatedWithItsParents) {
    Only({CreateDirectoriesOnTarget});
    Put("src/f.txt", "f", kT0);
    const std::string target = At("new/deeper/target");
    ASSERT_TRUE(Run(src, target, "*.*"));
    EXPECT_TRUE(dialogs.Asked().empty());
    EXPECT_EQ(Contents("new/deeper/target/f.txt"), "f");
}

TEST_F(RunControlTest, NoOptionsCopiesOnlyMissingRootFiles) {
    Only({});
    Put("src/new.txt", "n", kT0);
    Put("src/old.txt", "newer", kT0 + 100);
    Put("tgt/old.txt", "older", kT0);
    Put("src/sub/s.txt", "s", kT0);
    ASSERT_TRUE(Run());
    EXPECT_THAT(List(), ElementsAre("   new.txt copied", "   old.txt skipped"));
    EXPECT_EQ(Contents("tgt/old.txt"), "older");
    EXPECT_FALSE(Exists("tgt/sub"));
    EXPECT_EQ(sink.RunFinishedCount(), 1);
    EXPECT_EQ(dialogs.HourglassOnCount(), 1);
    EXPECT_EQ(dialogs.HourglassOffCount(), 1);
}

TEST_F(RunControlTest, WholeRunInOrder) {
    Only({CopySubdirectories, MoveFiles});
    // One copy at a time: side by side, the directory step's pump comes when the walk, ahead
    // of the reports, reaches the directory.
    engine.SetJobs(1);
    Put("src/f.txt", "f", kT0);
    Put("src/sub/g.txt", "gg", kT0);
    ASSERT_TRUE(Run());
    const std::string one = FormatSize(1), two = FormatSize(2), three = FormatSize(3);
    EXPECT_THAT(
        Trace(),
        ElementsAre("Started", "ProgressPage", "Walk " + src + "/",
                    "Display 1 File:     f.txt (" + one + ")", "Display 3 Total:    " + one,
                    "Display 2 Status:   Copying", "Display 2 Status:   copied",
                    "Info    f.txt copied", "Display 2 Status:   Moved", "Pump",
                    "Info " + src + "/sub", "Walk " + src + "/sub/",
                    "Display 1 File:     g.txt (" + two + ")", "Display 3 Total:    " + three,
                    "Display 2 Status:   Copying", "Display 2 Status:   copied",
                    "Info    g.txt copied", "Display 2 Status:   Moved", "Finished"));
    EXPECT_FALSE(Exists("src/sub"));
    EXPECT_FALSE(sink.RunColour());
    EXPECT_EQ(run.RunState, kRunStateRunning);
}

TEST_F(RunControlTest, SecondPassCopiesNewerTargetFilesBack) {
    Only({CopySubdirectories, OverwriteOlderFiles, CopyBidirectional});
    Put("src/a.txt", "a-new", kT0 + 100);
    Put("tgt/a.txt", "a-old", kT0);
    Put("src/c.txt", "c-old", kT0);
    Put("tgt/c.txt", "c-new", kT0 + 100);
    Put("tgt/b.txt", "b", kT0);
    Put("tgt/only/d.txt", "d", kT0);
    Put("src/same.txt", "s1", kT0);
    Put("tgt/same.txt", "s2", kT0);
    ASSERT_TRUE(Run());
    EXPECT_EQ(Contents("tgt/a.txt"), "a-new");
    EXPECT_EQ(Contents("src/c.txt"), "c-new");
    EXPECT_EQ(Contents("src/b.txt"), "b");
    EXPECT_EQ(Contents("src/only/d.txt"), "d");
    EXPECT_EQ(Contents("src/same.txt"), "s1");  // equal ages: neither way
    EXPECT_EQ(Contents("tgt/same.txt"), "s2");
    EXPECT_THAT(List(), ElementsAre(
                            // first pass, over the source tree
                            "   a.txt copied", "   c.txt skipped", "   same.txt skipped",
                            // second pass, over the target tree: a.txt was just copied
                            "   a.txt skipped", "   b.txt copied", "   c.txt copied",
                            "   same.txt skipped", tgt + "/only", "   d.txt copied"));
    EXPECT_THAT(sink.WalkedDirectories(), ElementsAre(src + "/", tgt + "/", tgt + "/only/"));
    // Every handled file counts, in both passes.
    EXPECT_EQ(run.TotalBytes, (5 + 5 + 2) + (5 + 1 + 5 + 2 + 1));
    EXPECT_TRUE(run.SecondPass);
}

TEST_F(RunControlTest, BidirectionalIsReadWhenTheFirstPassEnds) {
    for (bool tickedAtStart : {false, true}) {
        SCOPED_TRACE(tickedAtStart);
        Only({});
        Set(CopyBidirectional, tickedAtStart);
        Put("src/f.txt", "f", kT0);
        sink.Reset();
        sink.OnPump([&](int) {
            if (sink.Events().back().text == "   f.txt copied" ||
                sink.Events().back().text == "   f.txt skipped") {
                Set(CopyBidirectional, !tickedAtStart);
            }
        });
        ASSERT_TRUE(Run());
        if (tickedAtStart) {
            EXPECT_THAT(sink.WalkedDirectories(), ElementsAre(src + "/"));
        } else {
            EXPECT_THAT(sink.WalkedDirectories(), ElementsAre(src + "/", tgt + "/"));
        }
    }
}

TEST_F(RunControlTest, AbortInTheFirstPassLeavesTheSecondPassOnlyTheTargetRoot) {
    Only({CopySubdirectories, CopyBidirectional, OverwriteOlderFiles});
    Put("src/a.txt", "a", kT0);
    Put("src/b.txt", "b", kT0);
    Put("src/sub/c.txt", "c", kT0);
    Put("tgt/t.txt", "t", kT0);
    Put("tgt/tsub/u.txt", "u", kT0);
    // Pressed from outside, the stop comes after the file being reported; with several
    // workers, a copy put in place meanwhile would be reported too.
    engine.SetJobs(1);
    sink.OnPump([&](int) {
        if (sink.Events().back().text == "   a.txt copied") {
            engine.BitBtnAbortClick();
        }
    });
    ASSERT_TRUE(Run());
    EXPECT_THAT(sink.WalkedDirectories(), ElementsAre(src + "/", tgt + "/"));
    EXPECT_THAT(List(), ElementsAre("   a.txt copied"));
    EXPECT_FALSE(Exists("tgt/b.txt"));
    EXPECT_FALSE(Exists("src/t.txt"));
    EXPECT_EQ(run.RunState, kRunStateAbort);
    EXPECT_EQ(sink.RunFinishedCount(), 1);
    EXPECT_EQ(dialogs.HourglassOffCount(), 1);
}

TEST_F(RunControlTest, ASecondStartInsideARunIsRefused) {
    Only({});
    Put("src/a.txt", "aaa", kT0);
    Put("src/b.txt", "bb", kT0);
    int refused = 0;
    sink.OnPump([&](int) {
        if (sink.Events().back().text == "   a.txt copied") {
            EXPECT_TRUE(engine.Running());
            if (!engine.ButtonStartClick(RunRequest{tgt, src, "*"})) {
                ++refused;
            }
        }
    });
    ASSERT_TRUE(Run());
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(sink.RunStartedCount(), 1);
    EXPECT_EQ(run.TotalBytes, 5);  // not reset by the refused start
    EXPECT_EQ(run.SourceText, src);
    EXPECT_FALSE(engine.Running());
    sink.OnPump(nullptr);
    EXPECT_TRUE(Run());  // and the next run starts normally
    EXPECT_EQ(sink.RunStartedCount(), 2);
}

TEST_F(RunControlTest, FaultInsideAPassIsReportedAndTheRunStillFinishes) {
    Only({CopySubdirectories, CopyBidirectional});
    Put("src/f.txt", "f", kT0);
    files.Throw(FileOp::ListSubdirs);
    ASSERT_TRUE(Run());
    ASSERT_EQ(dialogs.Asked().size(), 1u);
    EXPECT_EQ(dialogs.Asked()[0].kind, DialogKind::Error);
    EXPECT_EQ(dialogs.Asked()[0].text, "Unexpected error: injected fault at " + src + "/");
    EXPECT_EQ(dialogs.Asked()[0].buttons, Btn::OK);
    EXPECT_THAT(sink.WalkedDirectories(), ElementsAre(src + "/"));  // no second pass
    EXPECT_EQ(sink.RunFinishedCount(), 1);
    EXPECT_FALSE(sink.RunColour());
    EXPECT_EQ(dialogs.HourglassOffCount(), 1);
    EXPECT_EQ(run.RunState, kRunStateAbort);
    EXPECT_FALSE(engine.Running());
    files.ClearFaults();
    EXPECT_TRUE(Run());
}

TEST_F(RunControlTest, FaultFromTheWindowSideIsCaughtToo) {
    Only({});
    Put("src/f.txt", "f", kT0);
    sink.OnPump([](int) { throw std::runtime_error("window gone"); });
    ASSERT_TRUE(Run());
    EXPECT_THAT(DialogTexts(), ElementsAre("Unexpected error: window gone"));
    EXPECT_EQ(sink.RunFinishedCount(), 1);
    EXPECT_EQ(dialogs.HourglassOffCount(), 1);
    EXPECT_FALSE(engine.Running());
}

TEST_F(RunControlTest, RootsAreTheCheckedDirectoriesEvenWhenLocationsAreStale) {
    Only({});
    Put("src/f.txt", "f", kT0);
    Put("elsewhere/e.txt", "e", kT0);
    tmp.Dir("elsewhere-target");
    // The front end's pair last evaluated for other paths, then never evaluated at all: the run
    // looks its roots up itself.
    locations = netware.GetNetWarePaths(At("elsewhere"), At("elsewhere-target"));
    ASSERT_TRUE(engine.ButtonStartClick(RunRequest{src, tgt, "*.*"}));
    EXPECT_EQ(run.SourceRoot, src);
    EXPECT_EQ(run.TargetRoot, tgt);
    EXPECT_TRUE(Exists("tgt/f.txt"));
    EXPECT_FALSE(Exists("elsewhere-target/e.txt"));
    locations = DirectoryPair();
    ASSERT_TRUE(engine.ButtonStartClick(RunRequest{src, tgt, "*.*"}));
    EXPECT_EQ(run.SourceRoot, src);
    EXPECT_THAT(sink.WalkedDirectories().back(), src + "/");
}

TEST_F(RunControlTest, PathExistsMeansADirectory) {
    Put("file.txt", "x", kT0);
    EXPECT_TRUE(engine.PathExists(src));
    EXPECT_TRUE(engine.PathExists(src + "/"));
    EXPECT_FALSE(engine.PathExists(At("file.txt")));
    EXPECT_FALSE(engine.PathExists(At("missing")));
    EXPECT_FALSE(engine.PathExists(""));
    if (!testing::kOnWindows) {  // no links there (testing/temp_dir.h)
        ASSERT_TRUE(testing::MakeSymlink(src, At("dirlink")));
        ASSERT_TRUE(testing::MakeSymlink(At("file.txt"), At("filelink")));
        EXPECT_TRUE(engine.PathExists(At("dirlink")));
        EXPECT_FALSE(engine.PathExists(At("filelink")));
    }
}

TEST_F(RunControlTest, SparseFileOfFiveGiBCountsInSixtyFourBits) {
    SKIP_ON_WINDOWS("a copy that keeps a sparse file's holes (its copy would write 5 GiB)");
    const int64_t size = int64_t(5) << 30;
    const std::string big = Put("src/big", "", kT0);
    if (!::ferrit::testing::SetFileSize(big, size)) {
        GTEST_SKIP() << "the file system cannot hold a sparse file of 5 GiB";
    }
    ASSERT_TRUE(::ferrit::testing::SetModTime(big, kT0));
    Only({CopyBidirectional, OverwriteOlderFiles});
    ASSERT_TRUE(Run());
    EntryStat st;
    ASSERT_EQ(native.StatEntry(At("tgt/big"), st), 0);
    EXPECT_EQ(st.size, size);
    EXPECT_THAT(List(), ElementsAre("   big copied", "   big skipped"));
    EXPECT_EQ(run.TotalBytes, 2 * size);  // both passes
    EXPECT_EQ(sink.Label(1), "File:     big (" + FormatSize(size) + ")");
    EXPECT_EQ(sink.Label(3), "Total:    " + FormatSize(2 * size));
}

// Runs that would meet over the same trees do not run at once: a move holds both roots
// exclusively, a copy shares them. The other run is stood for by a lock taken here.
TEST_F(RunControlTest, ARunMeetingAnotherOverItsTreesIsRefusedWithoutTouchingThem) {
    SKIP_ON_WINDOWS("an advisory lock on a directory tree (Windows has none)");
    struct {
        bool otherMoves;  // the other run holds its root exclusively
        bool heldOnTarget;
        bool moving;  // this run moves
        bool refused;
    } const rows[] = {
        {false, false, false, false}, {false, true, false, false}, {false, false, true, true},
        {false, true, true, true},    {true, false, false, true},  {true, true, false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.otherMoves << row.heldOnTarget << row.moving);
        ::ferrit::testing::RemoveTree(tgt);
        tmp.Dir("tgt");
        Put("src/f.txt", "f", kT0);
        std::unique_ptr<TreeLock> other;
        const std::string held = row.heldOnTarget ? tgt : src;
        ASSERT_EQ(native.LockTree(held, row.otherMoves, other), 0);
        Only(row.moving ? std::initializer_list<CopyOption>{MoveFiles}
                        : std::initializer_list<CopyOption>{});
        sink.Reset();
        dialogs.ClearRecord();
        ASSERT_TRUE(Run());
        if (row.refused) {
            EXPECT_THAT(DialogTexts(),
                        ElementsAre("Error 0020: " + held +
                                    " is in use by another run; start again when it has "
                                    "finished"));
            EXPECT_EQ(dialogs.Asked()[0].buttons, Btn::Abort);
            EXPECT_TRUE(List().empty());
            EXPECT_THAT(ListDir(tgt), IsEmpty());
        } else {
            EXPECT_THAT(List(), ElementsAre("   f.txt copied"));
        }
        EXPECT_EQ(Contents("src/f.txt"), "f");
    }
}

// --- A stop leaves the same, however many copies are made side by side ---

enum class Stop { AbortAnswered, AbortPressed };

struct StopRow {
    const char* name;
    Stop stop;
};

class StopsAlike : public RunControlTest, public ::testing::WithParamInterface<StopRow> {
  protected:
    // One move over a fresh tree of 30 files, stopped at f07, with this many copies side by
    // side: everything it showed and asked, its total, and what it left in both trees, with the
    // trees' place written as "<tree>".
    std::vector<std::string> Transcript(int jobs) {
        const std::string tree = At("j" + std::to_string(jobs));
        for (int i = 0; i < 30; ++i) {
            const std::string name = (i < 10 ? "f0" : "f") + std::to_string(i) + ".txt";
            Put("j" + std::to_string(jobs) + "/src/" + name, "data " + name, kT0 + 10);
        }
        Put("j" + std::to_string(jobs) + "/tgt/f03.txt", "newer", kT0 + 20);  // skipped, moved
        Put("j" + std::to_string(jobs) + "/tgt/f05.txt", "older", kT0);       // asked, copied
        Only({OverwriteOlderFiles, ConfirmOverwrites, MoveFiles});
        sink.Reset();
        dialogs.ClearRecord();
        files.ClearFaults();
        if (GetParam().stop == Stop::AbortAnswered) {
            files.Fail(FileOp::CopyFile, WinErr::DiskFull, 0, "f07");
            dialogs.Script({Answer::Yes, Answer::Abort});
        } else {
            dialogs.Script(Answer::Yes);
            sink.OnPump([&](int) {
                if (!sink.Events().empty() && sink.Events().back().text == "   f07.txt copied") {
                    engine.BitBtnAbortClick();
                }
            });
        }
        engine.SetJobs(jobs);
        EXPECT_TRUE(Run(tree + "/src", tree + "/tgt", "*.*"));
        sink.OnPump(nullptr);

        // The pumps are left out: how often the walk pumps while it waits for a copy depends on
        // how fast the copies are made (slow under Wine, or on a loaded machine).
        std::vector<std::string> out = Trace();
        out.erase(std::remove(out.begin(), out.end(), "Pump"), out.end());
        for (const std::string& text : DialogTexts()) {
            out.push_back("Dialog " + text);
        }
        out.push_back("Total " + std::to_string(run.TotalBytes));
        for (const char* side : {"/src", "/tgt"}) {
            for (const std::string& name : ListDir(tree + side)) {
                out.push_back(side + ("/" + name) + " " + ReadFile(tree + side + "/" + name));
            }
        }
        for (std::string& line : out) {
            for (size_t at; (at = line.find(tree)) != std::string::npos;) {
                line.replace(at, tree.size(), "<tree>");
            }
        }
        return out;
    }
};

TEST_P(StopsAlike, OneCopyAtATimeOrSixteenShowDoAndLeaveTheSame) {
    const std::vector<std::string> one = Transcript(1);
    // The run stopped after f07: nothing of the later files was shown, moved or left.
    EXPECT_THAT(one,
                ::testing::Contains(
                    "Info    f07.txt " +
                    std::string(GetParam().stop == Stop::AbortAnswered ? "not copied" : "copied")));
    for (const std::string& line : one) {
        EXPECT_TRUE(line.find("f08") == std::string::npos || line.rfind("/src/", 0) == 0) << line;
    }
    EXPECT_THAT(one, ::testing::Contains("/src/f08.txt data f08.txt"));
    EXPECT_THAT(one, ::testing::Not(::testing::Contains("/src/f03.txt data f03.txt")));
    EXPECT_EQ(Transcript(16), one);
}

INSTANTIATE_TEST_SUITE_P(Stops, StopsAlike,
                         ::testing::Values(StopRow{"AbortAnswered", Stop::AbortAnswered},
                                           StopRow{"AbortPressed", Stop::AbortPressed}),
                         [](const ::testing::TestParamInfo<StopRow>& info) {
                             return info.param.name;
                         });

}  // namespace
}  // namespace ferrit
