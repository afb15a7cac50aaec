// Nothing is lost, whatever stands on the other side: every shape a counterpart can have,
// against copy, move and a move whose copy fails, for the plain copy and the server copy; a
// copy killed midway; a source that changes while it is copied; links planted in either tree.
#ifndef _WIN32
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/run_summary.h"
#include "platform/error_codes.h"
#include "platform/set_aside.h"
#include "testing/engine_fixture.h"
#include "testing/one_server_client.h"
#include "testing/system.h"

namespace ferrit {
namespace {
using ::ferrit::testing::EngineFixture;
using ::ferrit::testing::FileOp;
using ::ferrit::testing::ListDir;
using ::ferrit::testing::NativeFileServices;
using ::ferrit::testing::OneServerClient;
using ::ferrit::testing::SinkCall;
using ::testing::ElementsAre;
using ::testing::StartsWith;

enum class Shape {
    Missing,
    Older,
    SameAgeSameSize,
    SameAgeOtherSize,
    Newer,
    LinkToFile,
    DanglingLink,
    Fifo,
    SourceItself,
    HardLinkElsewhere,
};
enum class Mode { Copy, Move, MoveAfterFailedCopy };
enum class Routine { Plain, Server };

struct ShapeRow {
    const char* name;
    Shape shape;
    bool copied;       // under "Overwrite Older Files on Target"
    bool moveDeletes;  // under "Move Files" without a failing copy
};

const ShapeRow kShapes[] = {
    {"Missing", Shape::Missing, true, true},
    {"Older", Shape::Older, true, true},
    {"SameAgeSameSize", Shape::SameAgeSameSize, false, true},
    {"SameAgeOtherSize", Shape::SameAgeOtherSize, false, false},
    {"Newer", Shape::Newer, false, true},
    {"LinkToFile", Shape::LinkToFile, false, false},
    {"DanglingLink", Shape::DanglingLink, false, false},
    {"Fifo", Shape::Fifo, false, false},
    {"SourceItself", Shape::SourceItself, false, false},
    {"HardLinkElsewhere", Shape::HardLinkElsewhere, true, true},
};

void PrintTo(const ShapeRow& row, std::ostream* os) {
    *os << row.name;
}

using ShapeCase = std::tuple<ShapeRow, Mode, Routine>;

std::string ShapeCaseName(const ::testing::TestParamInfo<ShapeCase>& info) {
    static const char* const kModes[] = {"Copy", "Move", "MoveAfterFailedCopy"};
    return std::string(std::get<0>(info.param).name) + "_" +
           kModes[static_cast<int>(std::get<1>(info.param))] +
           (std::get<2>(info.param) == Routine::Plain ? "_Plain" : "_Server");
}

// The engine fixture with a second engine whose NetWare services copy on one server.
class CounterpartShapesBase : public EngineFixture {
  protected:
    OneServerClient server;
    NetWareServices serverServices{server, files, dialogs};
    TransferEngine serverEngine{run, options, serverServices, files, dialogs, sink};
};

class CounterpartShapes : public CounterpartShapesBase,
                          public ::testing::WithParamInterface<ShapeCase> {
  protected:
    CounterpartShapes() {
        // The server copy needs both sides on one connection.
        if (std::get<2>(GetParam()) == Routine::Server) {
            locations.SameConnection = true;
        }
    }
    // What stands at the counterpart path, as a comparable text.
    std::string Standing(const std::string& path) const {
        switch (::ferrit::testing::KindAt(path)) {
            case EntryKind::Missing:
                return "missing";
            case EntryKind::Link:
                return "link:" + ::ferrit::testing::LinkText(path);
            case EntryKind::Fifo:
                return "fifo";
            default:
                return "file:" + ::ferrit::testing::ReadFile(path);
        }
    }
};

TEST_P(CounterpartShapes, TheSourceGoesOnlyWhenItsDataIsSafeOnTheOtherSide) {
    const ShapeRow& row = std::get<0>(GetParam());
    const Mode mode = std::get<1>(GetParam());
    const Routine routine = std::get<2>(GetParam());
    if (testing::kOnWindows &&
        (row.shape == Shape::LinkToFile || row.shape == Shape::DanglingLink ||
         row.shape == Shape::Fifo || row.shape == Shape::SourceItself)) {
        GTEST_SKIP() << "not on Windows: the row needs a symbolic link or a FIFO";
    }
    const int64_t t = kT0;
    const std::string file = Put("src/f.txt", "new data", t);
    const std::string outside = Put("outside/victim.txt", "victim!", t - 100);
    std::string counterpart = tgt + "/f.txt";
    switch (row.shape) {
        case Shape::Missing:
            break;
        case Shape::Older:
            Put("tgt/f.txt", "old", t - 10);
            break;
        case Shape::SameAgeSameSize:
            Put("tgt/f.txt", "old data", t);
            break;
        case Shape::SameAgeOtherSize:
            Put("tgt/f.txt", "old", t);
            break;
        case Shape::Newer:
            Put("tgt/f.txt", "old", t + 10);
            break;
        case Shape::LinkToFile:
            ASSERT_TRUE(::ferrit::testing::MakeSymlink(outside, counterpart));
            ASSERT_TRUE(::ferrit::testing::SetModTime(counterpart, t + 10));
            break;
        case Shape::DanglingLink:
            ASSERT_TRUE(::ferrit::testing::MakeSymlink("nowhere", counterpart));
            ASSERT_TRUE(::ferrit::testing::SetModTime(counterpart, t + 10));
            break;
        case Shape::Fifo:
            ASSERT_TRUE(::ferrit::testing::MakeFifo(counterpart));
            ASSERT_TRUE(::ferrit::testing::SetModTime(counterpart, t + 10));
            break;
        case Shape::SourceItself:
            // The target directory reached through a link into the source tree.
            ASSERT_TRUE(::ferrit::testing::MakeSymlink(src, At("alias")));
            counterpart = At("alias/f.txt");
            break;
        case Shape::HardLinkElsewhere:
            ASSERT_TRUE(::ferrit::testing::MakeHardLink(outside, counterpart));
            break;
    }
    const std::string before = Standing(counterpart);

    switch (mode) {
        case Mode::Copy:
            Only({OverwriteOlderFiles});
            break;
        case Mode::Move:
            Only({OverwriteOlderFiles, MoveFiles});
            break;
        case Mode::MoveAfterFailedCopy:
            Only({OverwriteAlways, MoveFiles});
            if (routine == Routine::Plain) {
                files.Fail(FileOp::CopyFile, WinErr::DiskFull);
            } else {
                server.copyCode = 0x8977;
            }
            dialogs.Script(Answer::Ignore);
            break;
    }
    run.RunState = kRunStateRunning;
    std::vector<ListEntry> listed;
    ASSERT_EQ(files.ListFiles(src, "*.*", listed), 0);
    ASSERT_EQ(listed.size(), 1u);
    TransferEngine& engine = routine == Routine::Server ? serverEngine : this->engine;
    engine.HandleOneFile(file, counterpart, listed[0], locations);

    // Whatever lies outside the two trees is never touched.
    EXPECT_EQ(Contents("outside/victim.txt"), "victim!");
    const bool failing = mode == Mode::MoveAfterFailedCopy;
    const bool copied = !failing && row.copied;
    if (copied) {
        EXPECT_EQ(Standing(counterpart), "file:new data");
    } else {
        EXPECT_EQ(Standing(counterpart), before);
    }
    const bool deleted = mode == Mode::Move && row.moveDeletes;
    EXPECT_EQ(Exists("src/f.txt"), !deleted);
    if (!deleted) {
        EXPECT_EQ(Contents("src/f.txt"), "new data");
    }
    if (failing) {
        ASSERT_EQ(dialogs.Asked().size(), 1u);
        EXPECT_EQ(dialogs.Asked()[0].text.find("Could not "), 12u);  // after "Error XXXX: "
    }
    // No temporary file is left on either side.
    for (const std::string& dir : {src, tgt}) {
        for (const std::string& name : ListDir(dir)) {
            EXPECT_EQ(name.find(".ferrit-tmp."), std::string::npos) << dir << "/" << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(All, CounterpartShapes,
                         ::testing::Combine(::testing::ValuesIn(kShapes),
                                            ::testing::Values(Mode::Copy, Mode::Move,
                                                              Mode::MoveAfterFailedCopy),
                                            ::testing::Values(Routine::Plain, Routine::Server)),
                         ShapeCaseName);

// --- A copy killed midway, and one whose source changes meanwhile ---

class InterruptedCopy : public EngineFixture, public ::testing::WithParamInterface<Routine> {
  protected:
    // Copies in a child process that is killed as soon as its temporary file has grown; returns
    // whether the kill came while the copy was still going on.
    bool CopyAndKill(const std::string& from, const std::string& to) {
#ifdef _WIN32
        (void)from;
        (void)to;
        return false;
#else
        const pid_t child = fork();
        if (child == 0) {
            int rc;
            if (GetParam() == Routine::Plain) {
                NativeFileServices named{NativeFileServices::Settings{false}};
                rc = named.CopyFile(from, to);
            } else {
                OneServerClient slow;
                slow.pieceBytes = 64 * 1024;
                slow.pauseMicroseconds = 2000;
                NetWareServices services{slow, native, dialogs};
                rc = services.NetWareCopyFile(from, to);
            }
            _exit(rc == 0 ? 0 : 1);
        }
        bool midway = false;
        for (int i = 0; i < 20000 && !midway; ++i) {
            for (const std::string& name : ListDir(tgt)) {
                struct stat st;
                if (name.rfind(".ferrit-tmp.", 0) == 0 &&
                    stat((tgt + "/" + name).c_str(), &st) == 0 && st.st_size > 0) {
                    midway = true;
                }
            }
            if (!midway) {
                usleep(50);
            }
        }
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        return midway && WIFSIGNALED(status);
#endif
    }
};

TEST_P(InterruptedCopy, KilledCopyLeavesTheOldCounterpartAndTheNextRunClearsTheLeftover) {
    SKIP_ON_WINDOWS("a copy in a forked child, and the mark of an unfinished copy");
    const std::string big(32 << 20, 'N');
    const std::string from = Put("src/big.bin", big, kT0 + 10);
    const std::string to = Put("tgt/big.bin", "the old contents", kT0);
    bool caught = false;
    for (int attempt = 0; attempt < 5 && !caught; ++attempt) {
        caught = CopyAndKill(from, to);
        const std::string now = Contents("tgt/big.bin");
        ASSERT_TRUE(now == "the old contents" || now == big)
            << "a mix of " << now.size() << " bytes";
        if (!caught) {
            Put("tgt/big.bin", "the old contents", kT0);
        }
    }
    ASSERT_TRUE(caught) << "no copy was caught midway";
    EXPECT_EQ(Contents("tgt/big.bin"), "the old contents");
    // The killed writer's temporary file bears the mark of an unfinished copy. A run that only
    // reads that directory leaves it; the next run that copies into it sweeps it away.
    Only({OverwriteOlderFiles});
    ASSERT_TRUE(Run(tgt, src, "*.*"));
    EXPECT_EQ(ListDir(tgt).size(), 2u);
    ASSERT_TRUE(Run(src, tgt, "*.*"));
    EXPECT_THAT(ListDir(tgt), ElementsAre("big.bin"));
    EXPECT_EQ(Contents("tgt/big.bin"), big);
}

// The server's copy runs in pieces; the source grows between two of them. (The plain copy's
// own check is exercised where the copy is.)
TEST_F(CounterpartShapesBase, SourceChangedWhileCopiedIsNeitherPublishedNorDeleted) {
    SKIP_ON_WINDOWS("a source that can change while it is copied (the copy denies writers)");
    const std::string from = Put("src/grow.bin", std::string(2 << 20, 'N'), kT0 + 10);
    Put("tgt/grow.bin", "the old contents", kT0);
    server.pieceBytes = 256 * 1024;
    int pieces = 0;
    server.betweenPieces = [&] {
        if (++pieces == 2) {
            FILE* f = fopen(from.c_str(), "a");
            ASSERT_NE(f, nullptr);
            fputs("tail", f);
            fclose(f);
        }
    };
    locations.SameConnection = true;
    Only({OverwriteAlways, MoveFiles});
    dialogs.Script(Answer::Ignore);
    run.RunState = kRunStateRunning;
    std::vector<ListEntry> listed;
    ASSERT_EQ(files.ListFiles(src, "*.*", listed), 0);
    serverEngine.HandleOneFile(from, tgt + "/grow.bin", listed[0], locations);
    EXPECT_THAT(DialogTexts(), ElementsAre("Error 0020: Could not copy " + tgt + "/grow.bin"));
    EXPECT_EQ(Contents("tgt/grow.bin"), "the old contents");
    EXPECT_TRUE(Exists("src/grow.bin"));
    EXPECT_THAT(List(), ElementsAre("   grow.bin not copied", StartsWith("      Error 0020: ")));
    EXPECT_THAT(ListDir(tgt), ElementsAre("grow.bin"));
}

INSTANTIATE_TEST_SUITE_P(Routines, InterruptedCopy,
                         ::testing::Values(Routine::Plain, Routine::Server),
                         [](const ::testing::TestParamInfo<Routine>& info) {
                             return info.param == Routine::Plain ? "Plain" : "Server";
                         });

// --- Races between the copy and the deletion of a move ---

// What lands in the middle of a move, just before the named call.
enum class Race {
    SourceSavedOver,           // an editor's save: a new file renamed over the source
    SourceSavedOverLookAlike,  // the same, with the old size and modification time
    SourceRemoved,
    CounterpartSavedOver,
    CounterpartRemoved,
    OtherRunPublishesOverSource,  // a run the other way puts its copy in the source's place
    SavedOverWhileSetAside,       // the counterpart changes and a save takes the free name
};

struct RaceRow {
    const char* name;
    Race race;
    bool copied;         // the file is copied (no counterpart), else skipped (a newer one)
    FileOp before;       // the race lands just before this call for f.txt
    int nth;             // ... the nth such call (0: each)
    const char* source;  // what src/f.txt holds afterwards ("" missing)
    const char* target;  // what tgt/f.txt holds afterwards
    const char* reason;  // the failed move's reason; "@" stands for the counterpart's path
};

const RaceRow kRaces[] = {
    {"SourceSavedOver", Race::SourceSavedOver, true, FileOp::SetAside, 0, "edited", "mine",
     "it was changed or replaced after it was copied"},
    {"SourceSavedOverLookAlike", Race::SourceSavedOverLookAlike, true, FileOp::SetAside, 0, "MINE",
     "mine", "it was changed or replaced after it was copied"},
    {"SourceRemoved", Race::SourceRemoved, true, FileOp::SetAside, 0, "", "mine",
     "it is no longer there"},
    {"CounterpartSavedOver", Race::CounterpartSavedOver, true, FileOp::SetAside, 0, "mine", "other",
     "@ was changed, replaced or removed meanwhile"},
    {"CounterpartRemoved", Race::CounterpartRemoved, false, FileOp::SetAside, 0, "mine", "",
     "@ was changed, replaced or removed meanwhile"},
    {"OtherRunPublishesOverSource", Race::OtherRunPublishesOverSource, false, FileOp::SetAside, 0,
     "theirs", "theirs", "it was changed or replaced after it was compared"},
    {"SavedOverWhileSetAside", Race::SavedOverWhileSetAside, false, FileOp::StatEntry, 2, "edited",
     "other", "@ was changed, replaced or removed meanwhile; it is kept as "},
};

void PrintTo(const RaceRow& row, std::ostream* os) {
    *os << row.name;
}

// Writes the contents to a new file beside the path and renames it over the path, as an
// editor saves.
void SaveOver(const std::string& path, const std::string& contents, int64_t mtime) {
    const std::string temp = path + ".new";
    ASSERT_TRUE(::ferrit::testing::WriteFile(temp, contents));
    ASSERT_TRUE(::ferrit::testing::SetModTime(temp, mtime));
    ASSERT_TRUE(::ferrit::testing::RenameOver(temp, path));
}

class MoveRaces : public CounterpartShapesBase,
                  public ::testing::WithParamInterface<std::tuple<RaceRow, Routine>> {};

TEST_P(MoveRaces, WhatChangedMeanwhileIsKeptAndTheMoveReportedAsFailed) {
    const RaceRow& row = std::get<0>(GetParam());
    const std::string file = Put("src/f.txt", "mine", kT0);
    const std::string counterpart = tgt + "/f.txt";
    if (!row.copied) {
        Put("tgt/f.txt", "theirs", kT0 + 10);
    }
    files.Before(
        row.before,
        [&](const std::string&) {
            switch (row.race) {
                case Race::SourceSavedOver:
                    SaveOver(file, "edited", kT0 + 4);
                    break;
                case Race::SourceSavedOverLookAlike:
                    SaveOver(file, "MINE", kT0);
                    break;
                case Race::SourceRemoved:
                    ::ferrit::testing::RemoveTree(file);
                    break;
                case Race::CounterpartSavedOver:
                    SaveOver(counterpart, "other", kT0 + 20);
                    break;
                case Race::CounterpartRemoved:
                    ::ferrit::testing::RemoveTree(counterpart);
                    break;
                case Race::OtherRunPublishesOverSource:
                    EXPECT_EQ(native.CopyFile(counterpart, file), 0);
                    break;
                case Race::SavedOverWhileSetAside:
                    SaveOver(counterpart, "other", kT0 + 20);
                    SaveOver(file, "edited", kT0 + 30);
                    break;
            }
        },
        row.nth, "f.txt");
    Only({OverwriteOlderFiles, MoveFiles});
    const bool server = std::get<1>(GetParam()) == Routine::Server;
    locations.SameConnection = server;
    serverEngine.SetJobs(engine.Jobs());
    ASSERT_TRUE((server ? serverEngine : engine).ButtonStartClick(RunRequest{src, tgt, "*.*"}));

    EXPECT_EQ(Exists("src/f.txt") ? Contents("src/f.txt") : "", row.source);
    EXPECT_EQ(Exists("tgt/f.txt") ? Contents("tgt/f.txt") : "", row.target);
    std::string reason = row.reason;
    if (reason[0] == '@') {
        reason.replace(0, 1, counterpart);
    }
    const bool keptAside = row.race == Race::SavedOverWhileSetAside;
    if (keptAside) {
        reason += src + "/" + AsideName("f.txt");
    }
    const std::string failure = "Error 8703: Could not move " + file + ": " + reason;
    EXPECT_THAT(DialogTexts(), ElementsAre(failure));
    // The reason stays in the list below the file's line.
    EXPECT_THAT(List(), ElementsAre(row.copied ? "   f.txt copied" : "   f.txt skipped",
                                    "      " + failure));
    EXPECT_EQ(sink.Label(2), "Status:   Can't delete source");
    // Nothing else is left on either side: the source set aside stays only where its name was
    // taken meanwhile, and then holds its data.
    std::vector<std::string> sourceNames, targetNames;
    if (keptAside) {
        sourceNames.push_back(AsideName("f.txt"));
        EXPECT_EQ(Contents("src/" + AsideName("f.txt")), "mine");
    }
    if (*row.source != '\0') {
        sourceNames.push_back("f.txt");
    }
    if (*row.target != '\0') {
        targetNames.push_back("f.txt");
    }
    EXPECT_EQ(ListDir(src), sourceNames);
    EXPECT_EQ(ListDir(tgt), targetNames);
}

INSTANTIATE_TEST_SUITE_P(All, MoveRaces,
                         ::testing::Combine(::testing::ValuesIn(kRaces),
                                            ::testing::Values(Routine::Plain, Routine::Server)),
                         [](const ::testing::TestParamInfo<std::tuple<RaceRow, Routine>>& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == Routine::Plain ? "_Plain"
                                                                               : "_Server");
                         });

// --- A target that shows the source itself ---

// An overlay whose lower layer is the source shows the source's files under another device.
// Files it shows as up to date are the source itself and are never deleted for it; a file the
// run copies into it lands in the upper layer and may go. The mount lives in a child's own
// mount namespace, which ends with it.
TEST_F(CounterpartShapesBase, MoveOntoAnOverlayOfTheSourceDeletesOnlyWhatItCopied) {
    SKIP_ON_WINDOWS("an overlay mount in a forked child's mount namespace");
#ifndef _WIN32
    Put("src/a.txt", "a", kT0);
    Put("src/b.txt", "b", kT0);
    Put("src/g.txt", "new g", kT0 + 10);
    Put("upper/g.txt", "old g", kT0);  // the overlay shows this older g.txt
    const std::string mnt = tmp.Dir("ovl");
    const std::string options =
        "lowerdir=" + src + ",upperdir=" + tmp.Dir("upper") + ",workdir=" + tmp.Dir("work");
    Only({OverwriteOlderFiles, MoveFiles});
    const pid_t child = fork();
    if (child == 0) {
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("overlay", mnt.c_str(), "overlay", 0, options.c_str()) != 0) {
            _exit(77);
        }
        Run(src, mnt, "*.*");
        FILE* out = fopen(At("report").c_str(), "w");
        for (const std::string& line : List()) {
            fprintf(out, "%s\n", line.c_str());
        }
        for (const std::string& line : DialogTexts()) {
            fprintf(out, "%s\n", line.c_str());
        }
        fclose(out);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) {
        GTEST_SKIP() << "mounting an overlay is not permitted here";
    }
    const std::string reason = " may be this same file seen another way";
    const std::string a =
        "Error 8703: Could not move " + src + "/a.txt: " + mnt + "/a.txt" + reason;
    const std::string b =
        "Error 8703: Could not move " + src + "/b.txt: " + mnt + "/b.txt" + reason;
    EXPECT_EQ(Contents("report"), "   a.txt skipped\n      " + a + "\n   b.txt skipped\n      " +
                                      b + "\n   g.txt copied\n" + a + "\n" + b + "\n");
    EXPECT_THAT(ListDir(src), ElementsAre("a.txt", "b.txt"));
    EXPECT_EQ(Contents("src/a.txt"), "a");
    EXPECT_EQ(Contents("upper/g.txt"), "new g");
#endif
}

// --- Links in directories of either tree ---

class LinkedDirectories : public EngineFixture {};

TEST_F(LinkedDirectories, CounterpartDirectoryThatIsALinkIsReportedAndNotWrittenThrough) {
    SKIP_ON_WINDOWS("symbolic links");
    Only({CopySubdirectories, CreateDirectoriesOnTarget, OverwriteAlways, MoveFiles});
    Put("src/sub/victim.txt", "new", kT0 + 10);
    Put("src/sub/deeper/x.txt", "x", kT0);
    Put("outside/victim.txt", "precious", kT0);
    ASSERT_TRUE(::ferrit::testing::MakeSymlink(At("outside"), At("tgt/sub")));
    dialogs.Script(Answer::Ignore);
    ASSERT_TRUE(Run());
    EXPECT_THAT(DialogTexts(), ElementsAre("Error 0781: " + tgt + "/sub does not exist"));
    EXPECT_EQ(dialogs.Asked()[0].buttons, 0x0050);
    EXPECT_EQ(Contents("outside/victim.txt"), "precious");
    EXPECT_THAT(ListDir(At("outside")), ElementsAre("victim.txt"));
    // Nothing of the skipped subtree was moved.
    EXPECT_EQ(Contents("src/sub/victim.txt"), "new");
    EXPECT_EQ(Contents("src/sub/deeper/x.txt"), "x");
}

TEST_F(LinkedDirectories, SourceDirectorySwappedForALinkDuringAMoveDeletesNothingOutside) {
    SKIP_ON_WINDOWS("symbolic links");
    Only({CopySubdirectories, CreateDirectoriesOnTarget, MoveFiles});
    Put("src/sub/a.txt", "a", kT0);
    Put("src/sub/b.txt", "b", kT0);
    Put("src/sub/c.txt", "c", kT0);
    Put("outside/b.txt", "outside b", kT0);
    Put("outside/c.txt", "outside c", kT0);
    Put("outside/d/e.txt", "outside e", kT0);
    bool swapped = false;
    sink.OnPump([&](int) {
        if (!swapped && !sink.Events().empty() && sink.Events().back().text == "   a.txt copied") {
            swapped = true;
            ASSERT_EQ(rename(At("src/sub").c_str(), At("moved").c_str()), 0);
            ASSERT_TRUE(::ferrit::testing::MakeSymlink(At("outside"), At("src/sub")));
        }
    });
    dialogs.Script(Answer::Ignore);
    ASSERT_TRUE(Run());
    ASSERT_TRUE(swapped);
    EXPECT_EQ(Contents("outside/b.txt"), "outside b");
    EXPECT_EQ(Contents("outside/c.txt"), "outside c");
    EXPECT_EQ(Contents("outside/d/e.txt"), "outside e");
    // The files that were listed are the ones carried over, wherever their directory went.
    EXPECT_EQ(Contents("tgt/sub/b.txt"), "b");
    EXPECT_EQ(Contents("tgt/sub/c.txt"), "c");
}

// Directories deeper than a path text may be long are carried whole.
TEST_F(LinkedDirectories, TreeDeeperThanThePathLimitIsCopiedWhole) {
    Only({CopySubdirectories, CreateDirectoriesOnTarget});
    // About 5,000 characters; under Wine 3,000, far beyond Windows' 260 but short of the 4,096
    // bytes of a Linux path, which Wine cannot list beyond.
    std::vector<std::string> file(testing::UnderWine() ? 15 : 25, std::string(200, 'd'));
    file.push_back("bottom.txt");
    ASSERT_TRUE(::ferrit::testing::WriteFileDeep(src, file, "deep"));
    ASSERT_TRUE(Run());
    EXPECT_THAT(DialogTexts(), ElementsAre());
    ASSERT_FALSE(List().empty());
    EXPECT_EQ(List().back(), "   bottom.txt copied");
    // The copy is there at the bottom of the target tree.
    std::string copied;
    ASSERT_TRUE(::ferrit::testing::ReadFileDeep(tgt, file, copied));
    EXPECT_EQ(copied, "deep");
}

}  // namespace
}  // namespace ferrit

namespace ferrit {
namespace {

// Copies made and put in place by several workers: what is reported, and what stands in the
// target, is what one worker leaves, whatever the count; a failed publication answered Abort
// stops the run at that file; a copy a killed run left half made is swept by the next run.
struct SideBySideRow {
    const char* what;
    int jobs;
    const char* failing;  // the file whose publication fails (nullptr: none)
    DialogAnswer answer;  // the answer to that failure
    bool killedBefore;    // a run was killed while it made a copy into the target
};

constexpr int kFiles = 40;  // more than one run of copies at sixteen workers

// The name of file i of the walk order.
std::string Name(int i) {
    return "f" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".txt";
}

class SideBySide : public EngineFixture, public ::testing::WithParamInterface<SideBySideRow> {
  protected:
    // A copy into the target made by a run that is killed before it puts the copy in place.
    void CopyKilledMidway() {
#ifndef _WIN32
        const pid_t child = fork();
        if (child == 0) {
            NativeFileServices own;
            std::unique_ptr<PreparedCopy> made;
            own.PrepareCopy(src + "/" + Name(3), tgt + "/" + Name(3), true, made);
            _exit(made ? 0 : 1);  // never published, never removed: as a killed run leaves it
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
#endif
    }
};

TEST_P(SideBySide, ReportsAndPublicationFollowTheWalkOrder) {
    const SideBySideRow& row = GetParam();
    Only({});
    for (int i = 0; i < kFiles; ++i) {
        Put("src/" + Name(i), std::string(static_cast<size_t>(100 + i), 'a' + i % 26), kT0);
    }
    if (row.killedBefore) {
        CopyKilledMidway();
    }
    engine.SetJobs(row.jobs);
    if (row.failing != nullptr) {
        files.Fail(FileOp::PublishCopy, WinErr::DiskFull, 0, row.failing);
        dialogs.Script(row.answer);
    }
    ASSERT_TRUE(Run());

    // Walk order: every file up to the failing one, that one with its reason, and the rest
    // only where the failure was ignored.
    std::vector<std::string> expected, inTarget;
    for (int i = 0; i < kFiles; ++i) {
        if (row.failing != nullptr && Name(i) == row.failing) {
            expected.push_back("   " + Name(i) + " not copied");
            expected.push_back(
                FailureLine(WinErr::DiskFull, "Could not write " + tgt + "/" + Name(i)));
            if (row.answer == Answer::Abort) {
                break;
            }
            continue;
        }
        expected.push_back("   " + Name(i) + " copied");
        inTarget.push_back(Name(i));
    }
    EXPECT_EQ(List(), expected);
    // Nothing beyond the stop was put in place, and no temporary copy is left.
    std::vector<std::string> standing = ListDir(tgt);
    std::sort(standing.begin(), standing.end());
    EXPECT_EQ(standing, inTarget);
    for (const std::string& name : inTarget) {
        EXPECT_EQ(Contents("tgt/" + name), Contents("src/" + name)) << name;
    }
}

// A table row's name for the test's name: its description, with every other character than a
// letter or digit made an underscore.
template <typename Row>
std::string RowName(const ::testing::TestParamInfo<Row>& info) {
    std::string name;
    for (const char* c = info.param.what; *c != '\0'; ++c) {
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    }
    return name;
}

// The operator's stop, pressed while the report of one file is shown: whatever the number of
// workers, every copy reported as copied stands in the target whole, and nothing else does.
struct StopPressedRow {
    const char* what;
    int jobs;
    int pressedAt;  // the file whose report line the press follows
};

class StopPressed : public EngineFixture, public ::testing::WithParamInterface<StopPressedRow> {};

TEST_P(StopPressed, EveryReportedCopyStandsAndNothingElse) {
    const StopPressedRow& row = GetParam();
    Only({});
    for (int i = 0; i < kFiles; ++i) {
        Put("src/" + Name(i), std::string(static_cast<size_t>(100 + i), 'a' + i % 26), kT0);
    }
    engine.SetJobs(row.jobs);
    const std::string pressLine = "   " + Name(row.pressedAt) + " copied";
    sink.OnPump([&](int) {
        const std::vector<std::string> shown = sink.List();
        if (!shown.empty() && shown.back() == pressLine) {
            engine.BitBtnAbortClick();
        }
    });
    ASSERT_TRUE(Run());
    EXPECT_EQ(kRunStateAbort, run.RunState);

    // The reports are a prefix of the walk order that reaches the press; exactly the files
    // reported stand in the target, each whole, and no temporary copy is left.
    const std::vector<std::string> lines = List();
    ASSERT_GT(lines.size(), static_cast<size_t>(row.pressedAt));
    std::vector<std::string> reported;
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ("   " + Name(static_cast<int>(i)) + " copied", lines[i]);
        reported.push_back(Name(static_cast<int>(i)));
    }
    std::vector<std::string> standing = ListDir(tgt);
    std::sort(standing.begin(), standing.end());
    EXPECT_EQ(reported, standing);
    for (const std::string& name : reported) {
        EXPECT_EQ(Contents("tgt/" + name), Contents("src/" + name)) << name;
    }
    if (row.jobs == 1) {
        EXPECT_EQ(static_cast<size_t>(row.pressedAt) + 1, lines.size());  // after that file
    }
}

INSTANTIATE_TEST_SUITE_P(Table, StopPressed,
                         ::testing::Values(StopPressedRow{"one at a time", 1, 5},
                                           StopPressedRow{"two workers", 2, 5},
                                           StopPressedRow{"four workers", 4, 17},
                                           StopPressedRow{"sixteen workers", 16, 0}),
                         RowName<StopPressedRow>);

// The walk runs ahead of the reports across directories: whatever the number of workers, the
// status lines (each directory's line, then its files) are those of one worker, line for line;
// what is reported copied is exactly what stands in the target; a failure or a dialog raised
// for a later directory while the copies of an earlier one are in flight, and the stop pressed
// at a directory's line, leave what one worker leaves; a move removes a source directory only
// once everything below it was moved.
struct AcrossDirectoriesRow {
    const char* what;
    int jobs;
    bool move;
    FileOp failingOp;          // the operation made to fail (FileOp::Count: none)
    const char* failing;       // the path it fails for
    DialogAnswer answer;       // the answer to every dialog
    const char* pressAt;       // the stop is pressed after this directory's line (nullptr: never)
    bool linesHidden = false;  // the outlet of the run with `jobs` shows no progress lines
};

class AcrossDirectories : public EngineFixture,
                          public ::testing::WithParamInterface<AcrossDirectoriesRow> {
  protected:
    // Six files in the root, twelve in each of d0 to d4, five in d2/e.
    void MakeTree(const std::string& root) {
        const auto files = [&](const std::string& dir, const std::string& prefix, int count) {
            for (int i = 0; i < count; ++i) {
                Put(root + "/src/" + dir + prefix + Name(i),
                    std::string(static_cast<size_t>(50 + i), 'a' + i % 26), kT0);
            }
        };
        files("", "r_", 6);
        for (int d = 0; d < 5; ++d) {
            const std::string dir = "d" + std::to_string(d);
            files(dir + "/", dir + "_", 12);
        }
        files("d2/e/", "e_", 5);
        std::filesystem::create_directories(At(root + "/tgt"));
    }

    // One run of the row from root/src to root/tgt at `jobs` workers: its status lines, with
    // the root's own path written "~".
    std::vector<std::string> RunRow(const std::string& root, int jobs, bool pressStop) {
        const AcrossDirectoriesRow& row = GetParam();
        MakeTree(root);
        engine.SetJobs(jobs);
        std::string base = At(root);
        std::replace(base.begin(), base.end(), '\\', '/');
        sink.OnPump([&](int) {
            const std::vector<std::string> shown = sink.List();
            if (pressStop && !shown.empty() && shown.back() == base + "/src/" + row.pressAt) {
                engine.BitBtnAbortClick();
            }
        });
        EXPECT_TRUE(Run(At(root + "/src"), At(root + "/tgt"), "*.*"));
        sink.OnPump([](int) {});
        std::vector<std::string> lines = List();
        for (std::string& line : lines) {
            for (size_t at = line.find(base); at != std::string::npos; at = line.find(base)) {
                line.replace(at, base.size(), "~");
            }
        }
        return lines;
    }

    // The files the lines report copied, by their paths below the tree's root.
    static std::set<std::string> Reported(const std::vector<std::string>& lines) {
        std::set<std::string> copied;
        std::string dir;
        for (const std::string& line : lines) {
            const size_t tail = line.size() - std::min<size_t>(line.size(), 7);
            if (line.rfind("~/src/", 0) == 0) {
                dir = line.substr(6) + "/";
            } else if (line.compare(tail, 7, " copied") == 0 && line.find(" not ") > tail) {
                copied.insert(dir + line.substr(3, tail - 3));
            }
        }
        return copied;
    }

    // The files standing below a directory, by their paths below it.
    std::set<std::string> Standing(const std::string& root) const {
        std::set<std::string> found;
        const std::filesystem::path top(At(root));
        for (const auto& entry : std::filesystem::recursive_directory_iterator(top)) {
            if (entry.is_regular_file()) {
                found.insert(entry.path().lexically_relative(top).generic_string());
            }
        }
        return found;
    }
};

TEST_P(AcrossDirectories, WhatIsReportedIsWhatOneWorkerReportsAndWhatStands) {
    const AcrossDirectoriesRow& row = GetParam();
    Only({CopySubdirectories});
    Set(MoveFiles, row.move);
    dialogs.SetDefaultForAll(row.answer);
    if (row.failingOp != FileOp::Count) {
        files.Fail(row.failingOp, WinErr::DiskFull, 0, row.failing);
    }

    // One worker, without the stop: the walk order.
    const std::vector<std::string> one = RunRow("one", 1, false);
    ASSERT_GT(one.size(), 20u);
    sink.HideProgressLines(row.linesHidden);
    const size_t displayedBefore = sink.EventsOf(SinkCall::StatusDisplay).size();
    const std::vector<std::string> many = RunRow("many", row.jobs, row.pressAt != nullptr);
    if (row.linesHidden) {
        EXPECT_EQ(displayedBefore, sink.EventsOf(SinkCall::StatusDisplay).size());
    }

    if (row.pressAt == nullptr) {
        EXPECT_EQ(one, many);
    } else {
        // A prefix of the walk order that reaches the press.
        EXPECT_EQ(kRunStateAbort, run.RunState);
        ASSERT_LE(many.size(), one.size());
        EXPECT_TRUE(std::equal(many.begin(), many.end(), one.begin()));
        EXPECT_NE(std::find(many.begin(), many.end(), std::string("~/src/") + row.pressAt),
                  many.end());
    }
    const std::set<std::string> reported = Reported(many);
    EXPECT_EQ(reported, Standing("many/tgt"));
    for (const std::string& name : reported) {
        EXPECT_EQ(Contents("one/tgt/" + name), Contents("many/tgt/" + name)) << name;
    }
    if (row.move) {
        // Every file reported copied left the source, every other one stayed; a directory is
        // kept exactly where something below it stayed.
        const std::set<std::string> left = Standing("many/src");
        for (const std::string& name : Standing("many/tgt")) {
            EXPECT_EQ(0u, left.count(name)) << name;
        }
        for (const char* dir : {"d0", "d1", "d2", "d2/e", "d3", "d4"}) {
            const bool keepsSomething =
                std::any_of(left.begin(), left.end(), [&](const std::string& name) {
                    return name.rfind(std::string(dir) + "/", 0) == 0;
                });
            const bool refused = row.failingOp == FileOp::RemoveDirectory &&
                                 std::string(row.failing) == std::string("src/") + dir;
            EXPECT_EQ(keepsSomething || refused, Exists("many/src/" + std::string(dir))) << dir;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, AcrossDirectories,
    ::testing::Values(
        AcrossDirectoriesRow{"two workers", 2, false, FileOp::Count, "", Answer::Abort, nullptr},
        AcrossDirectoriesRow{"four workers", 4, false, FileOp::Count, "", Answer::Abort, nullptr},
        AcrossDirectoriesRow{"sixteen workers", 16, false, FileOp::Count, "", Answer::Abort,
                             nullptr},
        AcrossDirectoriesRow{"two workers, no progress lines shown", 2, false, FileOp::Count, "",
                             Answer::Abort, nullptr, true},
        AcrossDirectoriesRow{"a publication in d2 fails, Ignore, no progress lines shown", 4, false,
                             FileOp::PublishCopy, "d2_f04", Answer::Ignore, nullptr, true},
        AcrossDirectoriesRow{"a copy in d3 fails, Abort", 4, false, FileOp::CopyFile, "d3_f00",
                             Answer::Abort, nullptr},
        // The copies of d2 are made and wait for their turn while d1's are reported.
        AcrossDirectoriesRow{"a copy in d1 fails, Abort, two workers", 2, false, FileOp::CopyFile,
                             "d1_f09", Answer::Abort, nullptr},
        AcrossDirectoriesRow{"a publication in d2/e fails, Abort", 2, false, FileOp::PublishCopy,
                             "e_f02", Answer::Abort, nullptr},
        AcrossDirectoriesRow{"a publication in d1 fails, Ignore", 16, false, FileOp::PublishCopy,
                             "d1_f11", Answer::Ignore, nullptr},
        AcrossDirectoriesRow{"d3 cannot be created, Abort", 4, false, FileOp::CreateDirectories,
                             "tgt/d3", Answer::Abort, nullptr},
        AcrossDirectoriesRow{"d2/e cannot be created, Ignore", 16, false, FileOp::CreateDirectories,
                             "tgt/d2/e", Answer::Ignore, nullptr},
        AcrossDirectoriesRow{"stop pressed at d2's line, two workers", 2, false, FileOp::Count, "",
                             Answer::Abort, "d2"},
        AcrossDirectoriesRow{"stop pressed at d4's line, sixteen workers", 16, false, FileOp::Count,
                             "", Answer::Abort, "d4"},
        AcrossDirectoriesRow{"move", 4, true, FileOp::Count, "", Answer::Ignore, nullptr},
        AcrossDirectoriesRow{"move, a copy in d2/e fails, Ignore", 4, true, FileOp::CopyFile,
                             "e_f03", Answer::Ignore, nullptr},
        AcrossDirectoriesRow{"move, a copy in d4 fails, Abort", 16, true, FileOp::CopyFile,
                             "d4_f05", Answer::Abort, nullptr},
        AcrossDirectoriesRow{"move, d1 cannot be removed, Abort", 2, true, FileOp::RemoveDirectory,
                             "src/d1", Answer::Abort, nullptr}),
    RowName<AcrossDirectoriesRow>);

// A stop while the walk runs ahead of the reports: the target is left as one worker leaves
// it. Every directory that stands on the target has its line, stood before the run, or holds
// what another program put there meanwhile (a file, a link in place of an empty directory),
// which stays as it is.
struct StopAheadRow {
    const char* what;
    int jobs;
    const char* failing;  // a file whose copy fails, answered Abort (nullptr: none)
    bool pressAtD3;       // the stop is pressed while tgt/d3 is made
    bool fill;            // a file is put into tgt/d1/x while tgt/d2 is made (which must happen)
    bool link;            // tgt/d1/x/y becomes a link to an empty directory elsewhere then
};

class StopAhead : public EngineFixture, public ::testing::WithParamInterface<StopAheadRow> {
  protected:
    // The directories standing below the target (never through a link), by relative path.
    std::vector<std::string> TargetDirectories() const {
        std::vector<std::string> found;
        const std::filesystem::path top(tgt);
        for (const auto& entry : std::filesystem::recursive_directory_iterator(top)) {
            if (entry.is_directory() && !entry.is_symlink()) {
                found.push_back(entry.path().lexically_relative(top).generic_string());
            }
        }
        return found;
    }
};

TEST_P(StopAhead, EveryDirectoryLeftOnTheTargetHasItsLine) {
    const StopAheadRow& row = GetParam();
    if (row.link) {
        SKIP_ON_WINDOWS("symbolic links");
    }
    Only({CopySubdirectories});
    engine.SetJobs(row.jobs);
    dialogs.SetDefaultForAll(Answer::Abort);
    for (const char* name : {"r_0", "r_1", "d0/d0_f0", "d0/d0_f1", "d1/d1_f0", "d1/x/x_f0",
                             "d2/d2_f0", "d3/d3_f0", "d3/z/z_f0"}) {
        Put(std::string("src/") + name, name, kT0);
    }
    tmp.Dir("src/d1/x/y");  // an empty leaf
    tmp.Dir("tgt/d2");      // stood before the run
    tmp.Dir("outside");
    if (row.failing != nullptr) {
        files.Fail(FileOp::CopyFile, WinErr::DiskFull, 0, row.failing);
    }
    bool filled = false, linked = false;
    files.Before(
        FileOp::CreateDirectories,
        [&](const std::string&) {
            if (row.fill && Exists("tgt/d1/x")) {
                Put("tgt/d1/x/foreign.txt", "theirs", kT0);
                filled = true;
            }
            if (row.link && testing::KindAt(At("tgt/d1/x/y")) == EntryKind::Directory) {
                std::filesystem::remove(At("tgt/d1/x/y"));
                linked = testing::MakeSymlink(At("outside"), At("tgt/d1/x/y"));
            }
        },
        0, "tgt/d2");
    if (row.pressAtD3) {
        files.Before(
            FileOp::CreateDirectories, [&](const std::string&) { engine.BitBtnAbortClick(); }, 0,
            "tgt/d3");
    }
    ASSERT_TRUE(Run());
    EXPECT_EQ(kRunStateAbort, run.RunState);
    EXPECT_EQ(row.fill, filled);
    EXPECT_EQ(row.link, linked);

    // What another program put there meanwhile, and the directories holding it.
    std::set<std::string> holding = {"d2"};
    if (filled) {
        EXPECT_EQ(Contents("tgt/d1/x/foreign.txt"), "theirs");
        holding.insert({"d1", "d1/x"});
    }
    if (linked) {
        EXPECT_EQ(testing::KindAt(At("tgt/d1/x/y")), EntryKind::Link);
        EXPECT_TRUE(std::filesystem::is_directory(At("outside")));
        holding.insert({"d1", "d1/x"});
    }
    const std::vector<std::string> lines = List();
    for (const std::string& dir : TargetDirectories()) {
        const bool lineShown =
            std::find(lines.begin(), lines.end(), src + "/" + dir) != lines.end();
        EXPECT_TRUE(lineShown || holding.count(dir) != 0) << dir;
    }
    EXPECT_TRUE(Exists("tgt/d2"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, StopAhead,
    ::testing::Values(
        StopAheadRow{"one worker, a copy in d0 fails", 1, "d0_f1", false, false, false},
        StopAheadRow{"one worker, the stop pressed at d3", 1, nullptr, true, true, false},
        StopAheadRow{"one worker, a copy in d3 fails", 1, "d3_f0", false, true, false},
        StopAheadRow{"two workers, a copy in the root fails", 2, "r_1", false, false, false},
        StopAheadRow{"two workers, a copy in d0 fails, d1/x filled", 2, "d0_f1", false, true,
                     false},
        StopAheadRow{"two workers, a copy in d1/x fails, d1/x filled", 2, "x_f0", false, true,
                     false},
        StopAheadRow{"two workers, the stop pressed at d3", 2, nullptr, true, false, false},
        StopAheadRow{"sixteen workers, a copy in d0 fails", 16, "d0_f1", false, false, false},
        StopAheadRow{"sixteen workers, a copy in d1 fails, d1/x filled", 16, "d1_f0", false, true,
                     false},
        StopAheadRow{"sixteen workers, a copy in d3/z fails", 16, "z_f0", false, false, false},
        StopAheadRow{"sixteen workers, the stop pressed at d3, d1/x filled", 16, nullptr, true,
                     true, false},
        StopAheadRow{"sixteen workers, a copy in d0 fails, d1/x/y became a link", 16, "d0_f1",
                     false, false, true},
        StopAheadRow{"two workers, a copy in d1/x fails, d1/x/y became a link", 2, "x_f0", false,
                     false, true}),
    RowName<StopAheadRow>);

// On a volume where every call is a round trip, a directory the copy makes is filled out of
// sight and put in place whole. Whatever ends the run, the target is left as copies put in
// place one by one would leave it: no copy stands without its line, a copy taken back is
// counted as failed, nothing temporary stays, a walked file's archive bit goes only with a
// copy that stands, and what another program put there meanwhile is kept.
struct StagedRow {
    const char* what;
    int jobs;
    const char* failing;  // a file whose copy fails, answered Abort (nullptr: none)
    int publishFails;     // the code with which putting tgt/d0/e in place fails (0: none)
    bool appears;         // tgt/d0/e is made, holding a file, just before it is put in place
    bool pressAtD0;       // the stop is pressed as tgt/d0 is put in place
    DialogAnswer answer;  // to every question
};

class Staged : public EngineFixture, public ::testing::WithParamInterface<StagedRow> {};

TEST_P(Staged, TheTargetHoldsWhatTheLinesSay) {
    const StagedRow& row = GetParam();
    Only({CopySubdirectories, ClearArchiveBit});
    engine.SetJobs(row.jobs);
    files.SideBySide(16);
    dialogs.SetDefaultForAll(row.answer);
    const std::vector<std::string> names = {"r.txt",      "d0/a.txt",   "d0/b.txt", "d0/c.txt",
                                            "d0/e/f.txt", "d0/e/g.txt", "d1/x.txt", "d1/n/y.txt"};
    for (const std::string& name : names) {
        Put("src/" + name, name, kT0);
    }
    tmp.Dir("src/d0/e/h");  // an empty leaf
    tmp.Dir("tgt/d1");      // stood before the run: not staged, but what is made in it is
    if (row.failing != nullptr) {
        files.Fail(FileOp::CopyFile, WinErr::DiskFull, 0, row.failing);
    }
    if (row.publishFails != 0) {
        files.Fail(FileOp::PublishDirectory, row.publishFails, 0, "tgt/d0/e");
    }
    if (row.appears) {
        files.Before(
            FileOp::PublishDirectory,
            [&](const std::string&) { Put("tgt/d0/e/theirs.txt", "theirs", kT0); }, 0, "tgt/d0/e");
    }
    if (row.pressAtD0) {
        files.Before(
            FileOp::PublishDirectory, [&](const std::string&) { engine.BitBtnAbortClick(); }, 0,
            "tgt/d0");
    }
    ASSERT_TRUE(Run());
    EXPECT_GT(files.Calls(FileOp::PublishDirectory), 0);

    const std::vector<std::string> lines = List();
    const auto shown = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    int64_t standing = 0;
    for (const std::string& name : names) {
        const std::string leaf = name.substr(name.find_last_of('/') + 1);
        const bool copiedLine = shown("   " + leaf + " copied");
        const bool there = Exists("tgt/" + name);
        standing += there ? 1 : 0;
        SCOPED_TRACE(name);
        if (there) {
            EXPECT_EQ(Contents("tgt/" + name), name);
        }
        // A copy taken back had its line, and is counted among the failed.
        EXPECT_TRUE(!there || copiedLine);
        if (!testing::UnderWine()) {  // there the archive bit cannot be cleared
            EXPECT_EQ((Attributes("src/" + name) & Attr::Archive) == 0, there);
        }
    }
    EXPECT_EQ(run.Counts.FilesCopied, standing);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(tgt)) {
        const std::string rel = entry.path().lexically_relative(tgt).generic_string();
        EXPECT_EQ(entry.path().filename().string().rfind(".ferrit-tmp", 0), std::string::npos)
            << rel;
        if (entry.is_directory() && rel != "d1" && !(row.appears && rel == "d0/e")) {
            EXPECT_TRUE(shown(src + "/" + rel)) << rel << " stands without its line";
        }
    }
    if (row.appears) {
        EXPECT_EQ(Contents("tgt/d0/e/theirs.txt"), "theirs");
    }
    const bool refused = row.publishFails != 0 || row.appears;
    if (refused) {
        EXPECT_FALSE(Exists("tgt/d0/e/f.txt"));
        EXPECT_GE(run.Counts.FilesFailed, 2);
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
            return line.find("the 2 files copied into it were taken back") != std::string::npos;
        }));
    }
    const bool stopped = row.failing != nullptr || row.pressAtD0 || row.answer == Answer::Abort;
    if (!stopped || (refused && row.answer == Answer::Ignore)) {
        EXPECT_TRUE(Exists("tgt/d1/n/y.txt"));  // the run went on past a refused directory
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Staged,
    ::testing::Values(StagedRow{"one worker", 1, nullptr, 0, false, false, Answer::Ignore},
                      StagedRow{"sixteen workers", 16, nullptr, 0, false, false, Answer::Ignore},
                      StagedRow{"two workers, a copy in d0 fails, Abort", 2, "b.txt", 0, false,
                                false, Answer::Abort},
                      StagedRow{"sixteen workers, a copy in d0/e fails, Abort", 16, "g.txt", 0,
                                false, false, Answer::Abort},
                      StagedRow{"sixteen workers, a copy in d1/n fails, Abort", 16, "y.txt", 0,
                                false, false, Answer::Abort},
                      StagedRow{"sixteen workers, the stop pressed as d0 is put in place", 16,
                                nullptr, 0, false, true, Answer::Ignore},
                      StagedRow{"two workers, d0/e refused, Ignore", 2, nullptr,
                                WinErr::AccessDenied, false, false, Answer::Ignore},
                      StagedRow{"sixteen workers, d0/e refused, Abort", 16, nullptr,
                                WinErr::AccessDenied, false, false, Answer::Abort},
                      StagedRow{"sixteen workers, d0/e made by another program meanwhile", 16,
                                nullptr, 0, true, false, Answer::Ignore}),
    RowName<StagedRow>);

// Copies one at a time run on the walk's thread, except a large copy: it runs on a worker
// while the walk's thread goes on pumping the front end's messages, so that the window does
// not freeze, the progress moves and the stop is taken.
struct LargeCopyRow {
    const char* what;
    size_t bytes;        // the file's size
    bool offWalkThread;  // where the copy is expected to run
};

class LargeCopy : public EngineFixture, public ::testing::WithParamInterface<LargeCopyRow> {};

TEST_P(LargeCopy, ALargeOneRunsOffTheWalksThreadWhileThePumpsGoOn) {
    const LargeCopyRow& row = GetParam();
    Only({});
    Put("src/big.dat", std::string(row.bytes, 'b'), kT0);
    engine.SetJobs(1);  // one copy at a time
    std::atomic<int> pumps{0};
    sink.OnPump([&](int) { pumps.fetch_add(1); });
    const std::thread::id walk = std::this_thread::get_id();
    std::atomic<bool> offThread{false}, pumpedMeanwhile{false};
    files.Before(FileOp::CopyFile, [&](const std::string&) {
        offThread = std::this_thread::get_id() != walk;
        if (offThread) {
            // The walk's thread pumps while it waits for the copy.
            const int before = pumps.load();
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (pumps.load() == before && std::chrono::steady_clock::now() < until) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            pumpedMeanwhile = pumps.load() != before;
        }
    });
    ASSERT_TRUE(Run());
    EXPECT_EQ(row.offWalkThread, offThread.load());
    EXPECT_EQ(row.offWalkThread, pumpedMeanwhile.load());
    EXPECT_EQ(std::vector<std::string>{"   big.dat copied"}, List());
    EXPECT_EQ(Contents("src/big.dat"), Contents("tgt/big.dat"));
}

INSTANTIATE_TEST_SUITE_P(Table, LargeCopy,
                         ::testing::Values(LargeCopyRow{"large", kLargeCopyBytes, true},
                                           LargeCopyRow{"small", kLargeCopyBytes - 1, false}),
                         [](const ::testing::TestParamInfo<LargeCopyRow>& info) {
                             return info.param.what;
                         });

INSTANTIATE_TEST_SUITE_P(
    Table, SideBySide,
    ::testing::Values(
        SideBySideRow{"one worker", 1, nullptr, Answer::Abort, false},
        SideBySideRow{"four workers", 4, nullptr, Answer::Abort, false},
        SideBySideRow{"sixteen workers", 16, nullptr, Answer::Abort, false},
        SideBySideRow{"one worker, a failure answered Abort", 1, "f21.txt", Answer::Abort, false},
        SideBySideRow{"four workers, a failure answered Abort", 4, "f21.txt", Answer::Abort, false},
        SideBySideRow{"two workers, the first file fails, Abort", 2, "f00.txt", Answer::Abort,
                      false},
        SideBySideRow{"four workers, a failure answered Ignore", 4, "f21.txt", Answer::Ignore,
                      false},
        SideBySideRow{"four workers after a killed run", 4, nullptr, Answer::Abort, true},
        SideBySideRow{"one worker after a killed run", 1, nullptr, Answer::Abort, true}),
    RowName<SideBySideRow>);

}  // namespace
}  // namespace ferrit
