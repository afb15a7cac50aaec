#include "options/histories.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/scripted_dialogs.h"
#include "testing/temp_dir.h"

namespace ferrit {
namespace {
using testing::ScriptedDialogs;

using testing::ReadFile;
using testing::TempDir;
using Items = std::vector<std::string>;

Items Numbered(int count, const std::string& prefix = "t") {
    Items items;
    for (int i = 0; i < count; ++i) {
        items.push_back(prefix + std::to_string(i));
    }
    return items;
}

TEST(AddHistoryItemTest, NewTextGoesToTheHeadAndKnownTextStaysWhereItIs) {
    Items items = {"a", "b", "c", "d"};
    AddHistoryItem(items, "c");
    EXPECT_EQ((Items{"a", "b", "c", "d"}), items);
    AddHistoryItem(items, "C");  // compared with case
    EXPECT_EQ((Items{"C", "a", "b", "c", "d"}), items);
}

TEST(AddHistoryItemTest, TwelveTextsLeaveTheElevenMostRecent) {
    Items items;
    for (int i = 0; i < 12; ++i) {
        AddHistoryItem(items, "/target" + std::to_string(i));
    }
    ASSERT_EQ(11u, items.size());
    EXPECT_EQ("/target11", items.front());
    EXPECT_EQ("/target1", items.back());
}

TEST(AddHistoryItemTest, EmptyTextEntersOnlyAFullList) {
    Items items = Numbered(10);
    AddHistoryItem(items, "");
    EXPECT_EQ(Numbered(10), items);  // position 10 reads as empty

    items = Numbered(11);
    AddHistoryItem(items, "");
    ASSERT_EQ(11u, items.size());
    EXPECT_EQ("", items[0]);
    EXPECT_EQ("t9", items[10]);

    // A full list holding the empty text at its head keeps it there.
    AddHistoryItem(items, "");
    EXPECT_EQ("", items[0]);
    EXPECT_EQ("t9", items[10]);
}

TEST(HistorySectionTest, ReadsKeysZeroToTenInKeyOrderSkippingEmptyValues) {
    TempDir dir;
    SettingsFile file(
        dir.File("Ferrit.Ini", "[SourceHistory]\n5=/five\n0=/zero\n1=/one\n2=\n11=/eleven\n"));
    Items items = {"kept"};
    ComboReadHistory(file, "SourceHistory", items);
    EXPECT_EQ((Items{"kept", "/zero", "/one", "/five"}), items);
}

TEST(HistorySectionTest, SaveWritesEntriesByPositionAndNeverDeletesHigherKeys) {
    TempDir dir;
    const std::string path = dir.File("Ferrit.Ini", "[TargetHistory]\n0=old0\n1=old1\n2=old2\n");
    SettingsFile file(path);
    ComboSaveHistory(file, "TargetHistory", Items{"new0"});
    ComboSaveHistory(file, "PatternHistory", Items{});
    ASSERT_TRUE(file.Flush());
    EXPECT_EQ("[TargetHistory]\n0=new0\n1=old1\n2=old2\n", ReadFile(path));
}

TEST(HistorySectionTest, EmptyHeadOfAFullPatternHistoryIsSavedAndSkippedOnTheNextStart) {
    TempDir dir;
    const std::string path = dir.Path("Ferrit.Ini");
    Items items = Numbered(11, "*.p");
    AddHistoryItem(items, "");
    {
        SettingsFile file(path);
        ComboSaveHistory(file, "PatternHistory", items);
        ASSERT_TRUE(file.Flush());
    }
    SettingsFile file(path);
    EXPECT_EQ("", file.ReadString("PatternHistory", "0", "missing"));
    Items loaded;
    ComboReadHistory(file, "PatternHistory", loaded);
    EXPECT_EQ(Numbered(10, "*.p"), loaded);
}

TEST(DefaultsTest, FirstStartWithoutAFile) {
    TempDir dir;
    SettingsFile file(dir.Path("Ferrit.Ini"));
    OptionSet options;
    for (int i = 0; i < kOptionCount; ++i) {
        options.SetTicked(static_cast<uint8_t>(i), false);
    }
    LoadTickedStates(file, options);
    // Nothing that moves, copies back into or marks the source is ticked before the operator
    // says so; everything else is.
    for (uint8_t i = 0; i < kOptionCount; ++i) {
        const bool changesSource = i == MoveFiles || i == CopyBidirectional ||
                                   i == OnlyFilesWithArchiveBit || i == ClearArchiveBit;
        EXPECT_EQ(!changesSource, options.Ticked(i)) << OptionCaptions[i];
    }
    // A file that cannot be read counts as none.
    OptionSet refused;
    LoadTickedStates(SettingsFile(dir.Dir("Refused.Ini")), refused);
    EXPECT_FALSE(refused.Ticked(MoveFiles));
    SettingsFields fields;
    ReadDefaults(file, fields);
    EXPECT_EQ("", fields.source.text);
    EXPECT_EQ("", fields.target.text);
    EXPECT_EQ("*.*", fields.pattern.text);
    EXPECT_TRUE(fields.source.items.empty());
    EXPECT_TRUE(fields.target.items.empty());
    EXPECT_TRUE(fields.pattern.items.empty());
}

TEST(DefaultsTest, OptionStatesAreReadByCaption) {
    TempDir dir;
    SettingsFile file(dir.File("Ferrit.Ini",
                               "[Default Options]\nMove Files=0\ncopy bi-directional=$0\n"
                               "Keep Owner=0x1\nClear Archive Bit=yes\nOverwrite Always=0x0\n"));
    OptionSet options;
    LoadTickedStates(file, options);
    EXPECT_FALSE(options.Ticked(MoveFiles));
    EXPECT_FALSE(options.Ticked(CopyBidirectional));
    // Keys the file lacks read as ticked, source-changing ones included.
    EXPECT_TRUE(options.Ticked(OnlyFilesWithArchiveBit));
    EXPECT_FALSE(options.Ticked(OverwriteAlways));
    EXPECT_TRUE(options.Ticked(KeepOwner));
    EXPECT_TRUE(options.Ticked(ClearArchiveBit));
    EXPECT_TRUE(options.Ticked(CopySubdirectories));
}

TEST(DefaultsTest, WriteThenReadRestoresEverything) {
    TempDir dir;
    const std::string path = dir.Path("Ferrit.Ini");
    OptionSet options;
    options.SetTicked(MoveFiles, false);
    options.SetEnabled(ClearArchiveBit, false);  // ticked but disabled: saved as ticked
    SettingsFields fields;
    fields.source = {"/typed but never run ", {"/s1", "/s0"}};
    fields.target = {"/t", {"/t"}};
    fields.pattern = {"*.TXT", {"*.TXT", "*.*"}};
    ScriptedDialogs dialogs;
    {
        SettingsFile file(path);
        EXPECT_TRUE(WriteDefaults(file, options, fields, dialogs));
    }
    EXPECT_TRUE(dialogs.Asked().empty());
    const std::string text = ReadFile(path);
    // Keys in table order when the file is first created.
    std::string expected = "[Default Options]\n";
    for (int i = 0; i < kOptionCount; ++i) {
        expected += std::string(OptionCaptions[i]) + (i == MoveFiles ? "=0\n" : "=1\n");
    }
    expected += "Source Dir=/typed but never run \nTarget Dir=/t\nPattern=*.TXT\n\n";
    expected += "[SourceHistory]\n0=/s1\n1=/s0\n\n[TargetHistory]\n0=/t\n\n";
    expected += "[PatternHistory]\n0=*.TXT\n1=*.*\n";
    EXPECT_EQ(expected, text);

    SettingsFile again(path);
    OptionSet loaded;
    LoadTickedStates(again, loaded);
    EXPECT_FALSE(loaded.Ticked(MoveFiles));
    EXPECT_TRUE(loaded.Ticked(ClearArchiveBit));
    SettingsFields read;
    ReadDefaults(again, read);
    // Written as typed, read without the blank at its end.
    EXPECT_EQ("/typed but never run", read.source.text);
    EXPECT_EQ(fields.source.items, read.source.items);
    EXPECT_EQ(fields.target.items, read.target.items);
    EXPECT_EQ(fields.pattern.text, read.pattern.text);
    EXPECT_EQ(fields.pattern.items, read.pattern.items);
}

TEST(DefaultsTest, FailedSaveShowsTheMessageAndEndsTheSave) {
    TempDir dir;
    dir.File("blocker", "x");  // a file where the directory should be
    const std::string path = dir.Path("blocker/Ferrit.Ini");
    SettingsFile file(path);
    OptionSet options;
    SettingsFields fields;
    ScriptedDialogs dialogs;
    EXPECT_FALSE(WriteDefaults(file, options, fields, dialogs));
    ASSERT_EQ(1u, dialogs.Asked().size());
    EXPECT_EQ("Unable to write to " + path, dialogs.Asked()[0].text);
    EXPECT_EQ(DialogKind::Error, dialogs.Asked()[0].kind);
    EXPECT_EQ(Btn::OK, dialogs.Asked()[0].buttons);
}

}  // namespace
}  // namespace ferrit
