// The tree walk on real trees: order, patterns, the other-root guard, the directory step, the
// removal of emptied directories in move mode, and trees that try to trip the walk up.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/error_codes.h"
#include "testing/engine_fixture.h"
#include "testing/system.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace ferrit {
namespace {
using testing::AskedDialog;
using testing::EngineFixture;
using testing::FileOp;
using testing::SinkCall;

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

class TreeWalkTest : public EngineFixture {};

TEST_F(TreeWalkTest, FilesBeforeSubdirectoriesDepthFirstWithHeadings) {
    Only({CopySubdirectories});
    Put("src/z.txt", "z", kT0);
    Put("src/a/x.txt", "x", kT0);
    Put("src/a/deep/y.txt", "y", kT0);
    Put("src/b/w.txt", "w", kT0);
    ASSERT_TRUE(Run());
    EXPECT_THAT(List(),
                ElementsAre("   z.txt copied", src + "/a", "   x.txt copied", src + "/a/deep",
                            "   y.txt copied", src + "/b", "   w.txt copied"));
    EXPECT_THAT(sink.WalkedDirectories(),
                ElementsAre(src + "/", src + "/a/", src + "/a/deep/", src + "/b/"));
    EXPECT_EQ(sink.StatusBar(), src + "/b/");  // the last walked directory stays
    EXPECT_EQ(Contents("tgt/a/deep/y.txt"), "y");
    EXPECT_EQ(Contents("tgt/b/w.txt"), "w");
}

TEST_F(TreeWalkTest, WithoutSubdirectoriesOnlyTheRootIsWalked) {
    Only({});
    Put("src/f.txt", "f", kT0);
    Put("src/a/x.txt", "x", kT0);
    ASSERT_TRUE(Run());
    EXPECT_THAT(List(), ElementsAre("   f.txt copied"));
    EXPECT_FALSE(Exists("tgt/a"));
}

TEST_F(TreeWalkTest, PatternSelectsFilesButEveryDirectoryIsWalked) {
    Only({CopySubdirectories});
    Put("src/one.txt", "1", kT0);
    Put("src/two.TXT", "2", kT0);
    Put("src/three.doc", "3", kT0);
    Put("src/sub/four.Txt", "4", kT0);
    Put("src/other/five.doc", "5", kT0);
    ASSERT_TRUE(Run("*.txt"));
    EXPECT_EQ(run.RunPattern, "*.TXT");
    EXPECT_THAT(List(), ElementsAre("   one.txt copied", "   two.TXT copied", src + "/other",
                                    src + "/sub", "   four.Txt copied"));
    EXPECT_TRUE(Exists("tgt/other"));
    EXPECT_FALSE(Exists("tgt/three.doc"));
}

TEST_F(TreeWalkTest, HiddenAndSystemFilesAndDirectoriesAreHandledLikeAnyOther) {
    Only({CopySubdirectories});
    const std::string h = Put("src/hidden.txt", "h", kT0);
    const std::string s = Put("src/system.txt", "s", kT0);
    const std::string d = tmp.Dir("src/hiddendir");
    Put("src/hiddendir/in.txt", "i", kT0);
    ASSERT_EQ(native.SetAttributes(h, Attr::Hidden | Attr::Archive), 0);
    ASSERT_EQ(native.SetAttributes(s, Attr::System | Attr::Archive), 0);
    native.SetAttributes(d, Attr::Hidden);
    ASSERT_TRUE(Run());
    EXPECT_EQ(Attributes("tgt/hidden.txt") & Attr::Hidden, Attr::Hidden);
    EXPECT_EQ(Attributes("tgt/system.txt") & Attr::System, Attr::System);
    EXPECT_EQ(Contents("tgt/hiddendir/in.txt"), "i");
}

TEST_F(TreeWalkTest, DotDirectoriesAreNeitherWalkedNorCreatedNorRemoved) {
    Only({CopySubdirectories, MoveFiles});
    Put("src/.profile", "p", kT0);
    Put("src/.cache/c.txt", "c", kT0);
    ASSERT_TRUE(Run());
    EXPECT_THAT(List(), ElementsAre("   .profile copied"));
    EXPECT_FALSE(Exists("tgt/.cache"));
    EXPECT_TRUE(Exists("src/.cache/c.txt"));
    EXPECT_EQ(files.Calls(FileOp::RemoveDirectory), 0);
}

TEST_F(TreeWalkTest, HostileNamesAreCarriedByteForByte) {
    SKIP_ON_WINDOWS("names that Windows forbids (a line feed, '*', '?', '\\', bytes beyond UTF-8)");
    Only({CopySubdirectories});
    const std::vector<std::string> names = {
        " leading and trailing blanks ", "new\nline",      "bytes \xff\xfe\x80 not UTF-8",
        std::string(255, 'n'),           "star*question?", "back\\slash"};
    for (const std::string& name : names) {
        Put("src/" + name, name, kT0);
        tmp.Dir("src/dir " + name.substr(0, 200));
    }
    ASSERT_TRUE(Run());
    for (const std::string& name : names) {
        EXPECT_EQ(Contents("tgt/" + name), name) << name;
        EXPECT_TRUE(Exists("tgt/dir " + name.substr(0, 200))) << name;
    }
    std::vector<std::string> lines = List();
    for (const std::string& name : names) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), "   " + name + " copied"), lines.end())
            << name;
    }
    EXPECT_TRUE(dialogs.Asked().empty());
}

TEST_F(TreeWalkTest, SymbolicLinksAreNeverDescendedSoLoopsEnd) {
    SKIP_ON_WINDOWS("symbolic links");
    Only({CopySubdirectories});
    Put("src/a/f.txt", "f", kT0);
    ASSERT_TRUE(testing::MakeSymlink("..", At("src/a/up")));    // back to src
    ASSERT_TRUE(testing::MakeSymlink(src, At("src/a/root")));   // absolute loop
    ASSERT_TRUE(testing::MakeSymlink("self", At("src/self")));  // a link to itself
    ASSERT_TRUE(Run());
    // Each link is carried as a link and nothing below it is visited.
    EXPECT_THAT(sink.WalkedDirectories(), ElementsAre(src + "/", src + "/a/"));
    EXPECT_EQ(testing::LinkText(At("tgt/a/up")), "..");
    EXPECT_EQ(testing::KindAt(At("tgt/self")), EntryKind::Link);
}

// FIFOs, sockets and devices are never opened (a FIFO would hold the run forever); each one is
// named in its place among the files, with why it is not copied, and left where it is.
TEST_F(TreeWalkTest, SpecialEntriesAreReportedInTheirPlaceAndNeverOpened) {
    SKIP_ON_WINDOWS("FIFOs, sockets and device nodes");
    Only({CopySubdirectories, MoveFiles});
    Put("src/a.txt", "a", kT0);
    Put("src/c.txt", "c", kT0);
    ASSERT_TRUE(testing::MakeFifo(At("src/b-pipe")));
    std::vector<std::string> want = {
        "   a.txt copied", "   b-pipe not copied: a FIFO is not a file", "   c.txt copied"};
    if (testing::MakeSocketNode(At("src/d-sock"))) {
        want.push_back("   d-sock not copied: a socket is not a file");
    }
    // A device node needs the privilege to make one.
    if (testing::MakeDeviceNode(At("src/e-null"))) {
        want.push_back("   e-null not copied: a device is not a file");
    }
    ASSERT_TRUE(Run());
    EXPECT_EQ(List(), want);
    EXPECT_TRUE(Exists("src/b-pipe"));
    EXPECT_THAT(::ferrit::testing::ListDir(tgt), ElementsAre("a.txt", "c.txt"));
    EXPECT_THAT(DialogTexts(), IsEmpty());
}

TEST_F(TreeWalkTest, DeepTreeIsWalkedToTheBottom) {
    Only({CopySubdirectories, MoveFiles});
    std::string rel = "src";
    for (int i = 0; i < 150; ++i) {
        rel += "/d";
    }
    Put(rel + "/bottom.txt", "b", kT0);
    ASSERT_TRUE(Run());
    EXPECT_EQ(Contents("tgt" + rel.substr(3) + "/bottom.txt"), "b");
    EXPECT_FALSE(Exists("src/d"));  // every emptied level removed
    EXPECT_EQ(files.Calls(FileOp::RemoveDirectory), 150);
}

// --- The other-root guard ---

TEST_F(TreeWalkTest, TargetInsideTheSourceIsNotEnteredHoweverItIsWritten) {
    Put("src/f.txt", "f", kT0);
    Put("src/sub/g.txt", "g", kT0);
    tmp.Dir("src/backup");
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(tmp.path());
    std::vector<std::string> spellings = {src + "/backup", src + "/backup/", src + "//backup",
                                          "src/backup", src + "/sub/../backup"};
    if (!testing::kOnWindows) {  // no links there (testing/temp_dir.h)
        ASSERT_TRUE(testing::MakeSymlink(At("src/backup"), At("link")));
        spellings.push_back(At("link"));
    }
    for (const std::string& target : spellings) {
        SCOPED_TRACE(target);
        Only({CopySubdirectories});
        sink.Reset();
        ASSERT_TRUE(Run(src, target, "*.*"));
        EXPECT_EQ(Contents("src/backup/f.txt"), "f");
        EXPECT_EQ(Contents("src/backup/sub/g.txt"), "g");
        // The target is passed over before anything is made for it: no heading, no stray
        // counterpart of it inside itself.
        EXPECT_THAT(sink.WalkedDirectories(), ElementsAre(src + "/", src + "/sub/"));
        EXPECT_THAT(List(), ElementsAre("   f.txt copied", src + "/sub", "   g.txt copied"));
        EXPECT_FALSE(Exists("src/backup/backup"));
        ::ferrit::testing::RemoveTree(At("src/backup"));
        tmp.Dir("src/backup");
    }
    std::filesystem::current_path(cwd);
}

TEST_F(TreeWalkTest, SiblingDifferingOnlyInCaseIsStillWalked) {
    SKIP_ON_WINDOWS("names that differ only in case (its file systems take them for one)");
    Only({CopySubdirectories});
    Put("src/backup/x.txt", "x", kT0);
    const std::string target = tmp.Dir("src/Backup");
    ASSERT_TRUE(Run(src, target, "*.*"));
    EXPECT_EQ(Contents("src/Backup/backup/x.txt"), "x");
}

TEST_F(TreeWalkTest, SameDirectoryForBothRootsHandlesNothing) {
    Only({CopySubdirectories, CopyBidirectional, MoveFiles});
    Put("src/f.txt", "f", kT0);
    for (const std::string& target : {src, src + "/", src + "/."}) {
        SCOPED_TRACE(target);
        sink.Reset();
        ASSERT_TRUE(Run(src, target, "*.*"));
        EXPECT_THAT(sink.WalkedDirectories(), IsEmpty());
        EXPECT_THAT(List(), IsEmpty());
        EXPECT_EQ(Contents("src/f.txt"), "f");
        EXPECT_EQ(sink.RunFinishedCount(), 1);
    }
}

TEST_F(TreeWalkTest, SourceInsideTheTargetIsNotEnteredInTheSecondPass) {
    Only({CopySubdirectories, CopyBidirectional, OverwriteOlderFiles});
    const std::string source = tmp.Dir("tgt/inner");
    Put("tgt/inner/f.txt", "f", kT0);
    Put("tgt/t.txt", "t", kT0);
    ASSERT_TRUE(Run(source, tgt, "*.*"));
    // First pass: inner/f.txt to the target root. Second pass: the target root's files back
    // into inner, without entering inner itself.
    EXPECT_EQ(Contents("tgt/f.txt"), "f");
    EXPECT_EQ(Contents("tgt/inner/t.txt"), "t");
    EXPECT_THAT(sink.WalkedDirectories(), ElementsAre(source + "/", tgt + "/"));
    EXPECT_FALSE(Exists("tgt/inner/inner"));
}

// --- The directory step ---

TEST_F(TreeWalkTest, CounterpartThatCannotBeCreatedIsReportedWithItsCode) {
    Only({CopySubdirectories, CreateDirectoriesOnTarget});
    Put("src/a/x.txt", "x", kT0);
    Put("src/b/y.txt", "y", kT0);
    files.Fail(FileOp::CreateDirectories, 5, 0, "tgt/a");
    dialogs.Script(Answer::Ignore);
    ASSERT_TRUE(Run());
    ASSERT_EQ(dialogs.Asked().size(), 1u);
    // A directory that was to be made and could not be says so, and the reason stays in the
    // list below its heading.
    EXPECT_EQ(dialogs.Asked()[0].text, "Error 0005: Could not create " + tgt + "/a");
    EXPECT_EQ(dialogs.Asked()[0].buttons, 0x0050);
    EXPECT_THAT(List(), ElementsAre(src + "/a",
                                    "      Error 0005: Could not create " + tgt + "/a \u2013 " +
                                        ErrorDescription(5),
                                    src + "/b", "   y.txt copied"));
    EXPECT_FALSE(Exists("tgt/a"));
}

TEST_F(TreeWalkTest, MissingCounterpartWithoutCreateDirectoriesIsReported) {
    Only({CopySubdirectories});
    Put("src/a/x.txt", "x", kT0);
    Put("src/b/y.txt", "y", kT0);
    files.Fail(FileOp::CreateDirectories, 5, 0, "tgt/a");
    dialogs.Script(Answer::Abort);
    ASSERT_TRUE(Run());
    ASSERT_EQ(dialogs.Asked().size(), 1u);
    EXPECT_EQ(dialogs.Asked()[0].kind, DialogKind::Error);
    EXPECT_EQ(dialogs.Asked()[0].text, "Error 8701: " + tgt + "/a does not exist");
    EXPECT_EQ(dialogs.Asked()[0].buttons, 0x0010);
    EXPECT_EQ(run.RunState, kRunStateAbort);
    // Abort: b is not taken.
    EXPECT_THAT(List(), ElementsAre(src + "/a", "      Error 8701: " + tgt + "/a does not exist"));
}

TEST_F(TreeWalkTest, SubdirectoriesFixedAtStartButCreationReadLive) {
    Only({CopySubdirectories, CreateDirectoriesOnTarget});
    Put("src/f.txt", "f", kT0);
    Put("src/a/x.txt", "x", kT0);
    // Unticked during the run: the walk still descends, but no longer creates counterparts.
    // (Side by side the walk reads the option when it reaches the directory, ahead of the
    // report of f.txt.)
    engine.SetJobs(1);
    sink.OnPump([&](int) {
        if (!sink.Events().empty() && sink.Events().back().text == "   f.txt copied") {
            Set(CopySubdirectories, false);
        }
    });
    ASSERT_TRUE(Run());
    EXPECT_TRUE(run.Recurse);
    EXPECT_THAT(List(), ElementsAre("   f.txt copied", src + "/a", EndsWith("/a does not exist")));
    EXPECT_FALSE(Exists("tgt/a"));
}

TEST_F(TreeWalkTest, UnlistableDirectoryIsReportedOnce) {
    Only({CopySubdirectories});
    Put("src/a/x.txt", "x", kT0);
    Put("src/b/y.txt", "y", kT0);
    files.Fail(FileOp::ListFiles, 5, 0, "src/a");
    files.Fail(FileOp::ListSubdirs, 5, 0, "src/a");
    dialogs.Script(Answer::Ignore);
    ASSERT_TRUE(Run());
    EXPECT_THAT(List(), ElementsAre(src + "/a", StartsWith("      Error 0005: Could not read "),
                                    src + "/b", "   y.txt copied"));
    EXPECT_THAT(DialogTexts(), ElementsAre("Error 0005: Could not read " + src + "/a/"));
    EXPECT_EQ(dialogs.Asked()[0].buttons, 0x0050);
}

// --- Removal of emptied directories in move mode ---

TEST_F(TreeWalkTest, MoveRemovesEmptiedDirectoriesDeepestFirstAndKeepsTheRoot) {
    Only({CopySubdirectories, MoveFiles});
    Put("src/root.txt", "r", kT0);
    Put("src/a/b/f.txt", "f", kT0);
    Put("src/a/g.txt", "g", kT0);
    Put("src/d/h.txt", "h", kT0);
    ASSERT_TRUE(Run());
    EXPECT_THAT(files.Paths(FileOp::RemoveDirectory),
                ElementsAre(src + "/a/b", src + "/a", src + "/d"));
    EXPECT_THAT(::ferrit::testing::ListDir(src), IsEmpty());
    EXPECT_TRUE(Exists("src"));
    EXPECT_EQ(Contents("tgt/a/b/f.txt"), "f");
    EXPECT_EQ(run.LastErrorCode, 0);
    EXPECT_TRUE(dialogs.Asked().empty());
}

TEST_F(TreeWalkTest, SourceRootWrittenDifferentlyIsStillKept) {
    Only({CopySubdirectories, MoveFiles});
    Put("src/a/f.txt", "f", kT0);
    ASSERT_TRUE(Run(src + "/", tgt, "*.*"));
    EXPECT_TRUE(Exists("src"));
    EXPECT_FALSE(Exists("src/a"));
    EXPECT_THAT(files.Paths(FileOp::RemoveDirectory), ElementsAre(src + "/a"));
}

TEST_F(TreeWalkTest, MoveBothWaysNeverRemovesEitherRoot) {
    // Where both are in force after all, the second pass moves everything back, but the target
    // root the user chose stays, as the source root does.
    Only({CopySubdirectories, MoveFiles, CopyBidirectional});
    Put("src/f.txt", "f", kT0);
    Put("src/a/g.txt", "g", kT0);
    ASSERT_TRUE(Run());
    EXPECT_EQ(Contents("src/f.txt"), "f");
    EXPECT_EQ(Contents("src/a/g.txt"), "g");
    EXPECT_TRUE(Exists("tgt"));
    EXPECT_THAT(files.Paths(FileOp::RemoveDirectory), ElementsAre(src + "/a", tgt + "/a"));
    EXPECT_TRUE(dialogs.Asked().empty());
}

TEST_F(TreeWalkTest, OnlyTheExactPatternStarDotStarRemovesDirectories) {
    for (const char* pattern : {"*", "*.TXT", "*.*"}) {
        SCOPED_TRACE(pattern);
        Only({CopySubdirectories, MoveFiles});
        Put("src/a/f.txt", "f", kT0);
        files.ResetCounts();
        ASSERT_TRUE(Run(pattern));
        EXPECT_FALSE(Exists("src/a/f.txt"));
        const bool removes = std::string(pattern) == "*.*";
        EXPECT_EQ(Exists("src/a"), !removes);
        EXPECT_EQ(files.Calls(FileOp::RemoveDirectory), removes ? 1 : 0);
    }
}

TEST_F(TreeWalkTest, SkippedFileDeepDownFailsEachRemovalUpToBelowTheRoot) {
    Only({CopySubdirectories, MoveFiles});
    Put("src/a/b/keep.txt", "new", kT0 + 100);
    Put("tgt/a/b/keep.txt", "old", kT0);  // older and no overwrite rule: skipped, kept
    Put("src/c/go.txt", "g", kT0);
    ASSERT_TRUE(Run());
    EXPECT_THAT(DialogTexts(), ElementsAre("Error 0091: Could not Delete " + src + "/a/b",
                                           "Error 0091: Could not Delete " + src + "/a"));
    for (const AskedDialog& d : dialogs.Asked()) {
        EXPECT_EQ(d.kind, DialogKind::Error);
        EXPECT_EQ(d.buttons, 0x0050);
    }
    EXPECT_FALSE(Exists("src/c"));    // Ignore went on with the next directory
    EXPECT_EQ(run.LastErrorCode, 0);  // the last removal, of c, succeeded
}

TEST_F(TreeWalkTest, AbortAtARemovalStopsTheWalkButTheAncestorsAreStillTried) {
    // Whatever the answer to the ancestor's failure, it does not take the stop back.
    for (const DialogAnswer second : {Answer::Abort, Answer::Ignore}) {
        SCOPED_TRACE(second == Answer::Abort ? "Abort" : "Ignore");
        dialogs.ClearRecord();
        Only({CopySubdirectories, MoveFiles});
        Put("src/a/b/keep.txt", "new", kT0 + 100);
        Put("tgt/a/b/keep.txt", "old", kT0);
        Put("src/c/go.txt", "g", kT0);
        dialogs.Script({Answer::Abort, second});
        ASSERT_TRUE(Run());
        // The removal step does not test for an abort, so the ancestor's failure still shows.
        EXPECT_THAT(DialogTexts(), ElementsAre("Error 0091: Could not Delete " + src + "/a/b",
                                               "Error 0091: Could not Delete " + src + "/a"));
        EXPECT_EQ(run.RunState, kRunStateAbort);
        EXPECT_EQ(run.LastErrorCode, 145);
        EXPECT_TRUE(Exists("src/c/go.txt"));  // no further subdirectory taken
    }
}

TEST_F(TreeWalkTest, InjectedRemovalFailureIsShownWithItsCode) {
    Only({CopySubdirectories, MoveFiles});
    Put("src/a/f.txt", "f", kT0);
    Put("src/b/g.txt", "g", kT0);
    Put("src/c/h.txt", "h", kT0);
    files.Fail(FileOp::RemoveDirectory, 5, 2);  // the second removal only
    ASSERT_TRUE(Run());
    EXPECT_THAT(DialogTexts(), ElementsAre("Error 0005: Could not Delete " + src + "/b"));
    EXPECT_EQ(run.RunState, Answer::Ignore);
    EXPECT_FALSE(Exists("src/a"));
    EXPECT_TRUE(Exists("src/b"));
    EXPECT_FALSE(Exists("src/c"));
    EXPECT_EQ(run.LastErrorCode, 0);  // the last removal succeeded
    files.ClearFaults();
    Put("src/d/i.txt", "i", kT0);
    files.Fail(FileOp::RemoveDirectory, 0x10005, 0, "src/d");  // wider than the kept code
    ASSERT_TRUE(Run());
    EXPECT_EQ(run.LastErrorCode, 0xFFFF);
    EXPECT_EQ(DialogTexts().back(), "Error FFFF: Could not Delete " + src + "/d");
}

// A counterpart directory the run makes holds nothing; one that stands is taken as it is (its
// file compared, a killed run's leftover swept). Workers start with the first copy, however
// late: a run that copies little or nothing leaves what one copy at a time would.
TEST_F(TreeWalkTest, CounterpartDirectoriesMadeOrStandingAreFilledByWhatTheyHold) {
    Only({CopySubdirectories, OverwriteOlderFiles});
    const std::string leftover = ::ferrit::testing::DeadProcessTemporaryName(3);
    struct Row {
        int jobs;
        const char* standing;  // tgt/sub/f.txt before the run ("" no file, nullptr no sub)
        int64_t age;
        const char* line;
    };
    const Row rows[] = {{1, nullptr, 0, "copied"},    {16, nullptr, 0, "copied"},
                        {16, "", 0, "copied"},        {16, "newer", 200, "skipped"},
                        {2, "newer", 200, "skipped"}, {16, "older", 0, "copied"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message()
                     << row.jobs << " " << (row.standing ? row.standing : "-"));
        for (const std::string& root : {src, tgt}) {
            ::ferrit::testing::RemoveTree(root);
            ::ferrit::testing::MakeDirs(root);
        }
        Put("src/sub/f.txt", "new", kT0 + 100);
        if (row.standing != nullptr) {
            ::ferrit::testing::MakeDirs(tgt + "/sub");
#ifndef _WIN32
            Put("tgt/sub/" + leftover, "partial", kT0);  // marked by its bits here
            ASSERT_EQ(chmod(At("tgt/sub/" + leftover).c_str(), 0200), 0);
#endif
        }
        if (row.standing != nullptr && *row.standing != '\0') {
            Put("tgt/sub/f.txt", row.standing, kT0 + row.age);
        }
        engine.SetJobs(row.jobs);
        ASSERT_TRUE(Run());
        EXPECT_THAT(List(), ElementsAre(src + "/sub", std::string("   f.txt ") + row.line));
        EXPECT_EQ(Contents("tgt/sub/f.txt"), row.age > 100 ? row.standing : "new");
        EXPECT_THAT(::ferrit::testing::ListDir(tgt + "/sub"), ElementsAre("f.txt"));
    }
}

// --- Stopping ---

TEST_F(TreeWalkTest, AbortInTheFileLoopStopsBeforeTheNextFile) {
    Only({CopySubdirectories});
    Put("src/a.txt", "a", kT0);
    Put("src/b.txt", "b", kT0);
    Put("src/sub/c.txt", "c", kT0);
    sink.OnPump([&](int) {
        if (sink.Events().back().text == "   a.txt copied") {
            engine.BitBtnAbortClick();
        }
    });
    for (const int jobs : {1, 4}) {
        SCOPED_TRACE(jobs);
        ::ferrit::testing::RemoveTree(tgt);
        ::ferrit::testing::MakeDirs(tgt);
        engine.SetJobs(jobs);
        ASSERT_TRUE(Run());
        // One after another, b is never reached, nor the subdirectory. Side by side, the walk
        // runs ahead into the subdirectory, and a worker may have put b, and even c, in place
        // before the stop reached it: then, and only then, they are reported in walk order, as
        // what they are, and their sizes counted; a copy made ahead and not yet in place is
        // dropped.
        std::string subLine = src + "/sub";
        std::replace(subLine.begin(), subLine.end(), '\\', '/');
        const std::vector<std::string> walkOrder = {"   a.txt copied", "   b.txt copied", subLine,
                                                    "   c.txt copied"};
        const std::vector<std::string> lines = List();
        ASSERT_GE(lines.size(), 1u);
        ASSERT_LE(lines.size(), jobs == 1 ? 1u : walkOrder.size());
        EXPECT_TRUE(std::equal(lines.begin(), lines.end(), walkOrder.begin()));
        EXPECT_EQ(Exists("tgt/b.txt"), lines.size() >= 2);
        EXPECT_EQ(Exists("tgt/sub/c.txt"), lines.size() >= 4);
        EXPECT_EQ(run.TotalBytes, lines.size() >= 4 ? 3 : std::min<int64_t>(2, lines.size()));
        EXPECT_FALSE(jobs == 1 && Exists("tgt/sub"));
        EXPECT_THAT(::ferrit::testing::ListDir(tgt), Each(Not(StartsWith(".ferrit-tmp"))));
    }
}

TEST_F(TreeWalkTest, AbortInASubdirectoryStopsTheParentsSubdirectoryLoop) {
    Only({CopySubdirectories});
    Put("src/a/x.txt", "x", kT0);
    Put("src/b/y.txt", "y", kT0);
    sink.OnPump([&](int) {
        if (sink.Events().back().text == "   x.txt copied") {
            engine.BitBtnAbortClick();
        }
    });
    ASSERT_TRUE(Run());
    EXPECT_THAT(List(), ElementsAre(src + "/a", "   x.txt copied"));
    // Side by side the walk may have made b's counterpart ahead of the reports: empty.
    EXPECT_TRUE(engine.Jobs() != 1
                    ? !Exists("tgt/b") || ::ferrit::testing::ListDir(tgt + "/b").empty()
                    : !Exists("tgt/b"));
}

TEST_F(TreeWalkTest, AbortSeenByTheDirectoryStepStillShowsThatDirectoryOnly) {
    Only({CopySubdirectories});
    Put("src/a/x.txt", "x", kT0);
    Put("src/b/y.txt", "y", kT0);
    // The directory step's own pump is the first explicit pump of the run.
    sink.OnPump([&](int) {
        if (sink.Events().back().call == SinkCall::PumpMessages) {
            engine.BitBtnAbortClick();
        }
    });
    ASSERT_TRUE(Run());
    EXPECT_THAT(List(), IsEmpty());  // no heading
    EXPECT_FALSE(Exists("tgt/a"));   // no counterpart
    // The walk still enters a, shows it and handles nothing there; b is not taken.
    EXPECT_THAT(sink.WalkedDirectories(), ElementsAre(src + "/", src + "/a/"));
    EXPECT_FALSE(Exists("tgt/a/x.txt"));
}

// Where a tree lies on a volume of round trips, the walk asks for the directories it enters next
// to be read ahead: the walked ones, and the counterparts that stand (by the names the files'
// step read, or by a listing of its own where the directory holds no files). The run's outcome
// is that of any other run.
struct ReadAheadRow {
    const char* what;
    const char* remote;  // the part of the paths on such a volume ("": both trees; null: none)
    std::vector<std::string> asked;
};

class ReadAhead : public EngineFixture, public ::testing::WithParamInterface<ReadAheadRow> {};

TEST_P(ReadAhead, AsksForTheDirectoriesTheWalkEntersNext) {
    const ReadAheadRow& row = GetParam();
    Only({CopySubdirectories, OverwriteOlderFiles});
    if (row.remote != nullptr) {
        files.SideBySide(16, row.remote);
    }
    const std::vector<std::string> names = {"f.txt", "d0/a.txt", "d0/e/b.txt", "d1/n/c.txt",
                                            "d2/m/g.txt"};
    for (const std::string& name : names) {
        Put("src/" + name, name, kT0 + 10);
    }
    for (const char* older : {"d0/a.txt", "d0/e/b.txt", "d2/m/g.txt"}) {  // tgt/d1 is missing
        Put(std::string("tgt/") + older, "older", kT0);
    }
    ASSERT_TRUE(Run());
    std::vector<std::string> asked;
    for (const std::string& dir : files.Paths(FileOp::ReadAhead)) {
        asked.push_back(std::filesystem::path(dir).lexically_relative(tmp.path()).generic_string());
    }
    EXPECT_EQ(asked, row.asked);
    EXPECT_GE(files.Calls(FileOp::EndReadAhead), 1);
    for (const std::string& name : names) {
        EXPECT_EQ(Contents("tgt/" + name), name);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadAhead,
    ::testing::Values(
        ReadAheadRow{"LocalTrees", nullptr, {}},
        ReadAheadRow{"RemoteSource",
                     "/src",
                     {"src/d0", "src/d1", "src/d2", "src/d0/e", "src/d1/n", "src/d2/m"}},
        ReadAheadRow{"RemoteTarget", "/tgt", {"tgt/d0", "tgt/d2", "tgt/d0/e", "tgt/d2/m"}},
        ReadAheadRow{"BothRemote",
                     "",
                     {"src/d0", "tgt/d0", "src/d1", "src/d2", "tgt/d2", "src/d0/e", "tgt/d0/e",
                      "src/d1/n", "src/d2/m", "tgt/d2/m"}}),
    [](const ::testing::TestParamInfo<ReadAheadRow>& info) { return info.param.what; });

}  // namespace
}  // namespace ferrit
