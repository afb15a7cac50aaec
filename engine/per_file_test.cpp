// The per-file decision on real trees: which files are copied, skipped or asked about, the
// archive bit, the move deletion, and what the operator sees for each file.
#include <string>
#include <vector>

#include "platform/error_codes.h"
#include "testing/engine_fixture.h"
#include "testing/system.h"

namespace ferrit {
namespace {
using ::ferrit::testing::EngineFixture;
using ::ferrit::testing::FileOp;
using ::ferrit::testing::ListDir;
using ::testing::_;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

class PerFileTest : public EngineFixture {};

// How the counterpart stands before the run.
enum class Cp { Missing, Older, Same, OneSecondOlder, Newer };

struct DecisionRow {
    const char* name;
    Cp counterpart;
    std::vector<CopyOption> options;
    bool archiveBit;      // the source file's archive attribute
    DialogAnswer answer;  // the answer to the overwrite question, if asked
    bool asked;
    bool copied;
};

void PrintTo(const DecisionRow& row, std::ostream* os) {
    *os << row.name;
}

class DecisionTable : public PerFileTest, public ::testing::WithParamInterface<DecisionRow> {};

TEST_P(DecisionTable, CopiesSkipsOrAsks) {
    const DecisionRow& row = GetParam();
    Only({});
    for (CopyOption o : row.options) {
        Set(o, true);
    }
    // An odd second: one second older falls into the same two-second slot.
    const int64_t fileTime = kT0 + 101;
    const std::string file = Put("src/f.txt", "new", fileTime);
    if (!row.archiveBit) {
        SKIP_UNDER_WINE("the archive bit cannot be cleared");
        ASSERT_EQ(native.SetAttributes(file, 0), 0);
        ASSERT_EQ(Attributes("src/f.txt") & Attr::Archive, 0u);
    }
    switch (row.counterpart) {
        case Cp::Missing:
            break;
        case Cp::Older:
            Put("tgt/f.txt", "old", fileTime - 10);
            break;
        case Cp::Same:
            Put("tgt/f.txt", "old", fileTime);
            break;
        case Cp::OneSecondOlder:
            Put("tgt/f.txt", "old", fileTime - 1);
            break;
        case Cp::Newer:
            Put("tgt/f.txt", "old", fileTime + 10);
            break;
    }
    dialogs.Script(row.answer);

    ASSERT_TRUE(Run());

    const std::string counterpart = tgt + "/f.txt";
    if (row.asked) {
        ASSERT_EQ(dialogs.Asked().size(), 1u);
        EXPECT_EQ(dialogs.Asked()[0].kind, DialogKind::Confirmation);
        EXPECT_EQ(dialogs.Asked()[0].text, "Overwrite " + counterpart + "?");
        EXPECT_EQ(dialogs.Asked()[0].buttons, 0x0003);
    } else {
        EXPECT_TRUE(dialogs.Asked().empty());
    }
    if (row.copied) {
        EXPECT_EQ(Contents("tgt/f.txt"), "new");
        EXPECT_THAT(List(), ElementsAre("   f.txt copied"));
        EXPECT_THAT(sink.LineTexts(2), ElementsAre("Status:   Copying", "Status:   copied"));
        EXPECT_EQ(run.LastErrorCode, 0);
    } else {
        EXPECT_EQ(Exists("tgt/f.txt") ? Contents("tgt/f.txt") : "none",
                  row.counterpart == Cp::Missing ? "none" : "old");
        EXPECT_THAT(List(), ElementsAre("   f.txt skipped"));
        EXPECT_THAT(sink.LineTexts(2), ElementsAre("Status:   skipped"));
    }
    EXPECT_EQ(Contents("src/f.txt"), "new");  // no move here: the source always stays
}

const DialogAnswer Y = Answer::Yes, N = Answer::No;

INSTANTIATE_TEST_SUITE_P(
    Rows, DecisionTable,
    ::testing::Values(
        DecisionRow{"MissingIsCopied", Cp::Missing, {}, true, Y, false, true},
        DecisionRow{"MissingNeverAsked", Cp::Missing, {ConfirmOverwrites}, true, N, false, true},
        DecisionRow{"MissingWithArchiveVeto",
                    Cp::Missing,
                    {OnlyFilesWithArchiveBit},
                    false,
                    Y,
                    false,
                    false},
        DecisionRow{
            "MissingWithArchiveBit", Cp::Missing, {OnlyFilesWithArchiveBit}, true, Y, false, true},
        DecisionRow{"AlwaysOverOlder", Cp::Older, {OverwriteAlways}, true, Y, false, true},
        DecisionRow{"AlwaysOverNewer", Cp::Newer, {OverwriteAlways}, true, Y, false, true},
        DecisionRow{"AlwaysConfirmedYes",
                    Cp::Same,
                    {OverwriteAlways, ConfirmOverwrites},
                    true,
                    Y,
                    true,
                    true},
        DecisionRow{"AlwaysConfirmedNo",
                    Cp::Same,
                    {OverwriteAlways, ConfirmOverwrites},
                    true,
                    N,
                    true,
                    false},
        DecisionRow{"OlderOverOlder", Cp::Older, {OverwriteOlderFiles}, true, Y, false, true},
        DecisionRow{"OlderSameAgeSkipped", Cp::Same, {OverwriteOlderFiles}, true, Y, false, false},
        DecisionRow{"OlderOneSecondCountsAsSame",
                    Cp::OneSecondOlder,
                    {OverwriteOlderFiles},
                    true,
                    Y,
                    false,
                    false},
        DecisionRow{"OlderNewerSkipped", Cp::Newer, {OverwriteOlderFiles}, true, Y, false, false},
        DecisionRow{"OlderConfirmedYes",
                    Cp::Older,
                    {OverwriteOlderFiles, ConfirmOverwrites},
                    true,
                    Y,
                    true,
                    true},
        DecisionRow{"OlderConfirmedNo",
                    Cp::Older,
                    {OverwriteOlderFiles, ConfirmOverwrites},
                    true,
                    N,
                    true,
                    false},
        DecisionRow{"ArchiveVetoBeforeQuestion",
                    Cp::Older,
                    {OverwriteOlderFiles, ConfirmOverwrites, OnlyFilesWithArchiveBit},
                    false,
                    Y,
                    false,
                    false},
        DecisionRow{"ArchiveVetoOverAlways",
                    Cp::Older,
                    {OverwriteAlways, OnlyFilesWithArchiveBit},
                    false,
                    Y,
                    false,
                    false},
        DecisionRow{"NoRuleNoQuestion", Cp::Older, {ConfirmOverwrites}, true, Y, false, false}),
    [](const ::testing::TestParamInfo<DecisionRow>& info) { return info.param.name; });

TEST_F(PerFileTest, ProgressLinesAndTotalForEachFile) {
    Only({});
    Put("src/a.txt", std::string(1000, 'a'), kT0);
    Put("src/b.txt", std::string(2048, 'b'), kT0);
    Put("tgt/b.txt", "kept", kT0);
    ASSERT_TRUE(Run());
    EXPECT_THAT(sink.LineTexts(1),
                ElementsAre("File:     a.txt (1000)", "File:     b.txt (   2 kB)"));
    EXPECT_THAT(sink.LineTexts(3), ElementsAre("Total:    1000", "Total:       3 kB"));
    EXPECT_EQ(run.TotalBytes, 3048);  // a skipped file counts as well
    EXPECT_THAT(List(), ElementsAre("   a.txt copied", "   b.txt skipped"));
}

TEST_F(PerFileTest, CopyCarriesTheModificationTime) {
    Only({});
    Put("src/f.txt", "x", kT0 + 7);
    ASSERT_TRUE(Run());
    EXPECT_EQ(native.FileAge(At("tgt/f.txt")), native.FileAge(At("src/f.txt")));
}

TEST_F(PerFileTest, ClearArchiveBitClearsOnlyTheWalkedFileAfterACopy) {
    SKIP_UNDER_WINE("the archive bit cannot be cleared");
    Only({ClearArchiveBit});
    const std::string file = Put("src/f.txt", "x", kT0);
    ASSERT_EQ(native.SetAttributes(file, Attr::Hidden | Attr::Archive), 0);
    ASSERT_TRUE(Run());
    EXPECT_EQ(Attributes("src/f.txt") & (Attr::Hidden | Attr::Archive), Attr::Hidden);
    EXPECT_NE(Attributes("tgt/f.txt") & Attr::Archive, 0u);  // the new copy keeps its bit
}

TEST_F(PerFileTest, ClearArchiveBitNotAfterASkipOrAFailedCopy) {
    Only({ClearArchiveBit});
    Put("src/failing.txt", "x", kT0);
    Put("src/skipped.txt", "x", kT0);
    Put("tgt/skipped.txt", "x", kT0);
    files.Fail(FileOp::CopyFile, 5, 0, "failing");
    ASSERT_TRUE(Run());
    EXPECT_NE(Attributes("src/failing.txt") & Attr::Archive, 0u);
    EXPECT_NE(Attributes("src/skipped.txt") & Attr::Archive, 0u);
    EXPECT_EQ(files.Calls(FileOp::SetAttributes), 0);
}

TEST_F(PerFileTest, ArchiveIsReadLiveSoAnIncrementalRunPicksUpEdits) {
    SKIP_UNDER_WINE("the archive bit cannot be cleared");
    Only({OnlyFilesWithArchiveBit, ClearArchiveBit, OverwriteOlderFiles});
    Put("src/f.txt", "one", kT0);
    ASSERT_TRUE(Run());
    EXPECT_EQ(Contents("tgt/f.txt"), "one");
    // Unchanged since the bit was cleared: not even a missing counterpart brings it back.
    ASSERT_TRUE(::ferrit::testing::RemoveTree(At("tgt/f.txt")));
    sink.Reset();
    ASSERT_TRUE(Run());
    EXPECT_THAT(List(), ElementsAre("   f.txt skipped"));
    // Edited later: the file reads as archive set again, so it is copied.
    Put("src/f.txt", "two", kT0 + 60);
    sink.Reset();
    ASSERT_TRUE(Run());
    EXPECT_THAT(List(), ElementsAre("   f.txt copied"));
    EXPECT_EQ(Contents("tgt/f.txt"), "two");
}

// --- Failed copies ---

struct CopyFailure {
    int code;               // what the file services return
    bool sourceUnreadable;  // the source cannot be opened for reading either
    uint16_t shown;         // the code in LastErrorCode and the dialog
    const char* dialog;     // "Error %04X", then the side that failed
    bool described;         // the system's description follows the reason in the list
};

void PrintTo(const CopyFailure& row, std::ostream* os) {
    *os << "code " << row.code << (row.sourceUnreadable ? " unreadable" : "");
}

class FailedCopy : public PerFileTest, public ::testing::WithParamInterface<CopyFailure> {};

TEST_P(FailedCopy, IsReportedWithItsSideAndCountsAsNotCopied) {
    Only({});
    Put("src/f.txt", "x", kT0);
    files.Fail(FileOp::CopyFile, GetParam().code);
    if (GetParam().sourceUnreadable) {
        files.Fail(FileOp::OpenRead, 5, 0, "src/f.txt");
    }
    ASSERT_TRUE(Run());
    ASSERT_EQ(dialogs.Asked().size(), 1u);
    EXPECT_EQ(dialogs.Asked()[0].kind, DialogKind::Error);
    // The side that failed is named where it can be told: the source's read, the target's
    // write; otherwise the copy.
    std::string text = GetParam().dialog;
    const size_t at = text.find('@');
    text.replace(at, 1, text.find("source") != std::string::npos ? src : tgt);
    EXPECT_EQ(dialogs.Asked()[0].text, text);
    EXPECT_EQ(dialogs.Asked()[0].buttons, 0x0050);
    EXPECT_EQ(run.LastErrorCode, GetParam().shown);
    EXPECT_EQ(run.RunState, Answer::Ignore);
    EXPECT_THAT(sink.LineTexts(2), ElementsAre("Status:   Copying", "Status:   not copied"));
    // The reason stays in the list below the file's line.
    EXPECT_THAT(List(), ElementsAre("   f.txt not copied",
                                    "      " + dialogs.Asked()[0].text +
                                        (GetParam().described
                                             ? " \u2013 " + ErrorDescription(GetParam().shown)
                                             : "")));
    EXPECT_FALSE(Exists("tgt/f.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, FailedCopy,
    ::testing::Values(
        CopyFailure{5, false, 5, "Error 0005: Could not write @/f.txt", true},
        CopyFailure{5, true, 5, "Error 0005: Could not read the source @/f.txt", true},
        CopyFailure{2, true, 2, "Error 0002: Could not read the source @/f.txt", true},
        CopyFailure{112, true, 112, "Error 0070: Could not write @/f.txt", true},
        CopyFailure{32, false, 32, "Error 0020: Could not copy @/f.txt", true},
        CopyFailure{0xFFFF, false, 0xFFFF, "Error FFFF: Could not copy @/f.txt", false},
        CopyFailure{0x10000, false, 0xFFFF, "Error FFFF: Could not copy @/f.txt", false},
        CopyFailure{0x12345, false, 0xFFFF, "Error FFFF: Could not copy @/f.txt", false},
        CopyFailure{-1, false, 0xFFFF, "Error FFFF: Could not copy @/f.txt", false}));

TEST_F(PerFileTest, AbortAnswerStopsAfterTheFailingFile) {
    Only({});
    Put("src/a.txt", "a", kT0);
    Put("src/b.txt", "b", kT0);
    Put("src/c.txt", "c", kT0);
    files.Fail(FileOp::CopyFile, 5, 0, "b.txt");
    dialogs.Script(Answer::Abort);
    ASSERT_TRUE(Run());
    EXPECT_EQ(run.RunState, kRunStateAbort);
    // Side by side, c was made ahead; it is dropped unpublished.
    EXPECT_THAT(List(), ElementsAre("   a.txt copied", "   b.txt not copied", _));
    EXPECT_THAT(ListDir(tgt), ElementsAre("a.txt"));
    EXPECT_EQ(run.TotalBytes, 2);
    EXPECT_EQ(sink.RunFinishedCount(), 1);
}

TEST_F(PerFileTest, CopyThatThrowsIsAFailedCopy) {
    Only({});
    Put("src/f.txt", "x", kT0);
    files.Throw(FileOp::CopyFile);
    ASSERT_TRUE(Run());
    ASSERT_EQ(dialogs.Asked().size(), 1u);
    EXPECT_EQ(dialogs.Asked()[0].text, "Error FFFF: Could not copy " + tgt + "/f.txt");
    EXPECT_THAT(List(), ElementsAre("   f.txt not copied", "      " + dialogs.Asked()[0].text));
}

TEST_F(PerFileTest, CounterpartThatIsADirectoryFailsToCopy) {
    Only({});
    Put("src/f.txt", "x", kT0);
    tmp.Dir("tgt/f.txt");
    ASSERT_TRUE(Run());
    ASSERT_EQ(dialogs.Asked().size(), 1u);
    EXPECT_EQ(dialogs.Asked()[0].buttons, 0x0050);
    EXPECT_THAT(List(), ElementsAre("   f.txt not copied", StartsWith("      Error ")));
    EXPECT_NE(run.LastErrorCode, 0);
}

// --- Move mode ---

struct MoveRow {
    const char* name;
    Cp counterpart;
    std::vector<CopyOption> options;
    DialogAnswer answer;
    bool failCopy;
    std::vector<std::string> line2;
    bool sourceStays;
};

void PrintTo(const MoveRow& row, std::ostream* os) {
    *os << row.name;
}

class MoveTable : public PerFileTest, public ::testing::WithParamInterface<MoveRow> {};

TEST_P(MoveTable, DeletesTheSourceWhenTheOtherSideIsAtLeastAsNew) {
    const MoveRow& row = GetParam();
    Only({MoveFiles});
    for (CopyOption o : row.options) {
        Set(o, true);
    }
    Put("src/f.txt", "new", kT0 + 101);
    switch (row.counterpart) {
        case Cp::Missing:
            break;
        case Cp::Older:
            Put("tgt/f.txt", "old", kT0);
            break;
        case Cp::Same:
            Put("tgt/f.txt", "old", kT0 + 101);
            break;
        case Cp::OneSecondOlder:
            Put("tgt/f.txt", "old", kT0 + 100);
            break;
        case Cp::Newer:
            Put("tgt/f.txt", "old", kT0 + 200);
            break;
    }
    dialogs.Script(row.answer);
    if (row.failCopy) {
        files.Fail(FileOp::CopyFile, 5);
    }
    ASSERT_TRUE(Run());
    EXPECT_EQ(sink.LineTexts(2), row.line2);
    EXPECT_EQ(Exists("src/f.txt"), row.sourceStays);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MoveTable,
    ::testing::Values(MoveRow{"CopiedThenMoved",
                              Cp::Missing,
                              {},
                              Y,
                              false,
                              {"Status:   Copying", "Status:   copied", "Status:   Moved"},
                              false},
                      MoveRow{"CounterpartNewerSkippedAndMoved",
                              Cp::Newer,
                              {},
                              Y,
                              false,
                              {"Status:   skipped", "Status:   Moved"},
                              false},
                      MoveRow{"SameAgeSkippedAndMoved",
                              Cp::Same,
                              {OverwriteOlderFiles},
                              Y,
                              false,
                              {"Status:   skipped", "Status:   Moved"},
                              false},
                      MoveRow{"OneSecondOlderIsSameAge",
                              Cp::OneSecondOlder,
                              {},
                              Y,
                              false,
                              {"Status:   skipped", "Status:   Moved"},
                              false},
                      MoveRow{"CounterpartOlderNotReplacedStays",
                              Cp::Older,
                              {},
                              Y,
                              false,
                              {"Status:   skipped"},
                              true},
                      MoveRow{"DeclinedOverOlderStays",
                              Cp::Older,
                              {OverwriteOlderFiles, ConfirmOverwrites},
                              N,
                              false,
                              {"Status:   skipped"},
                              true},
                      MoveRow{"DeclinedOverNewerMoved",
                              Cp::Newer,
                              {OverwriteAlways, ConfirmOverwrites},
                              N,
                              false,
                              {"Status:   skipped", "Status:   Moved"},
                              false},
                      MoveRow{"FailedCopyOfNewFileStays",
                              Cp::Missing,
                              {},
                              Y,
                              true,
                              {"Status:   Copying", "Status:   not copied"},
                              true},
                      // A copy that was tried and failed never lets the source go, however new
                      // the other side looks: it may hold anything.
                      MoveRow{"FailedCopyOverNewerStays",
                              Cp::Newer,
                              {OverwriteAlways},
                              Y,
                              true,
                              {"Status:   Copying", "Status:   not copied"},
                              true}),
    [](const ::testing::TestParamInfo<MoveRow>& info) { return info.param.name; });

// Dates from 2044 on pack with the top bit set; they must still rank as newer, and a missing
// counterpart must never look "at least as new" as such a file.
TEST_F(PerFileTest, AgesFrom2044OnCompareAsNewer) {
    SKIP_UNDER_WINE("the archive bit cannot be cleared");
    const int64_t y2050 = 2524608000;  // 2050-01-01
    ASSERT_LT(native.FileAge(Put("probe", "", y2050)), 0) << "the packed age is negative";

    Only({OverwriteOlderFiles, MoveFiles, OnlyFilesWithArchiveBit});
    Put("src/new.txt", "2050", y2050);
    Put("tgt/new.txt", "2020", kT0);
    const std::string vetoed = Put("src/vetoed.txt", "kept", y2050);
    ASSERT_EQ(native.SetAttributes(vetoed, 0), 0);
    ASSERT_TRUE(Run());

    EXPECT_EQ(Contents("tgt/new.txt"), "2050");
    EXPECT_FALSE(Exists("src/new.txt"));
    // Not copied (no archive bit) and no counterpart: it stays where it is.
    EXPECT_FALSE(Exists("tgt/vetoed.txt"));
    EXPECT_EQ(Contents("src/vetoed.txt"), "kept");
    EXPECT_THAT(List(), ElementsAre("   new.txt copied", "   vetoed.txt skipped"));
}

TEST_F(PerFileTest, ReadOnlySourceIsMovedOnlyUnderOverWriteReadOnly) {
    for (bool overwriteReadOnly : {false, true}) {
        SCOPED_TRACE(overwriteReadOnly);
        Only({MoveFiles});
        Set(OverwriteReadOnly, overwriteReadOnly);
        const std::string file = Put("src/ro.txt", "x", kT0);
        ASSERT_EQ(native.SetAttributes(file, Attr::ReadOnly | Attr::Hidden | Attr::Archive), 0);
        ::ferrit::testing::RemoveTree(At("tgt/ro.txt"));
        sink.Reset();
        ASSERT_TRUE(Run());
        EXPECT_TRUE(Exists("tgt/ro.txt"));
        if (overwriteReadOnly) {
            EXPECT_FALSE(Exists("src/ro.txt"));
            EXPECT_EQ(sink.Label(2), "Status:   Moved");
        } else {
            // Left in place without a word.
            EXPECT_TRUE(Exists("src/ro.txt"));
            EXPECT_EQ(sink.Label(2), "Status:   copied");
            EXPECT_EQ(files.Calls(FileOp::DeleteFile), 0);
        }
        EXPECT_TRUE(dialogs.Asked().empty());
        ::ferrit::testing::RemoveTree(file);
    }
}

TEST_F(PerFileTest, UnreadableAttributesCountAsReadOnly) {
    for (bool overwriteReadOnly : {false, true}) {
        SCOPED_TRACE(overwriteReadOnly);
        const std::string file = Put("src/f.txt", "x", kT0);
        MoveBasis basis;
        basis.counterpart = Put("tgt/f.txt", "x", kT0);
        ASSERT_EQ(native.StatEntry(file, basis.source), 0);
        ASSERT_EQ(native.StatEntry(basis.counterpart, basis.held), 0);
        Only({MoveFiles});
        Set(OverwriteReadOnly, overwriteReadOnly);
        files.ClearFaults();
        files.ResetCounts();
        files.Fail(FileOp::GetAttributes, -1);
        engine.DeleteOneFile(file, basis);
        EXPECT_EQ(Exists("src/f.txt"), !overwriteReadOnly);
        // Under "OverWrite Read-Only" every attribute is cleared before the deletion.
        EXPECT_EQ(files.Calls(FileOp::SetAttributes), overwriteReadOnly ? 1 : 0);
        EXPECT_EQ(files.Calls(FileOp::DeleteFile), overwriteReadOnly ? 1 : 0);
    }
}

TEST_F(PerFileTest, SourceThatCannotBeDeletedIsReportedOnLineTwoOnly) {
    Only({MoveFiles});
    Put("src/f.txt", "x", kT0);
    files.Fail(FileOp::DeleteFile, 5);
    ASSERT_TRUE(Run());
    EXPECT_THAT(sink.LineTexts(2), ElementsAre("Status:   Copying", "Status:   copied",
                                               "Status:   Can't delete source"));
    // No question, but the kept source is a failed move with its reason below the file's line.
    EXPECT_THAT(List(),
                ElementsAre("   f.txt copied", HasSubstr("Could not delete the moved source")));
    EXPECT_TRUE(dialogs.Asked().empty());
    EXPECT_EQ(run.LastErrorCode, 0);
    EXPECT_EQ(run.Counts.MovesFailed, 1);
    EXPECT_TRUE(Exists("src/f.txt"));
}

TEST_F(PerFileTest, FileReachedAfterAnAbortIsNotTouched) {
    Only({MoveFiles});
    const std::string file = Put("src/f.txt", "x", kT0);
    run.RunState = kRunStateAbort;
    run.TotalBytes = 5;
    files.ResetCounts();
    engine.HandleOneFile(file, tgt + "/f.txt", ListEntry{"f.txt", Attr::Archive, 1});
    EXPECT_EQ(run.TotalBytes, 5);
    EXPECT_TRUE(sink.Events().empty());
    EXPECT_EQ(files.Calls(FileOp::FileAge), 0);
    EXPECT_TRUE(Exists("src/f.txt"));
    EXPECT_FALSE(Exists("tgt/f.txt"));
}

TEST_F(PerFileTest, OptionsAreReadAtEachDecision) {
    Only({});
    Put("src/a.txt", "a", kT0);
    Put("src/b.txt", "b", kT0);
    Put("tgt/a.txt", "old", kT0 + 100);
    Put("tgt/b.txt", "old", kT0 + 100);
    // Ticked while the first file's line is shown: the first file's decision is made, but its
    // move test comes after the line and already sees "Move Files".
    sink.OnPump([&](int) {
        if (!sink.Events().empty() && sink.Events().back().text == "   a.txt skipped") {
            Set(OverwriteAlways, true);
            Set(MoveFiles, true);
        }
    });
    ASSERT_TRUE(Run());
    EXPECT_EQ(Contents("tgt/a.txt"), "old");
    EXPECT_FALSE(Exists("src/a.txt"));  // the counterpart is newer
    if (engine.Jobs() == 1) {
        EXPECT_THAT(List(), ElementsAre("   a.txt skipped", "   b.txt copied"));
        EXPECT_EQ(Contents("tgt/b.txt"), "b");
    } else {
        // Side by side, b was decided before a's line: with the options of that moment.
        EXPECT_THAT(List(), ElementsAre("   a.txt skipped", "   b.txt skipped"));
        EXPECT_EQ(Contents("tgt/b.txt"), "old");
    }
    EXPECT_FALSE(Exists("src/b.txt"));
}

}  // namespace
}  // namespace ferrit
