#include "options/settings_file.h"

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "testing/odd_files.h"
#include "testing/scoped_env.h"
#include "testing/system.h"
#include "testing/temp_dir.h"

namespace ferrit {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(SettingsFileTest, BareNameLivesInXdgConfigHomeElseDotConfig) {
    SKIP_ON_WINDOWS("the configuration directory of Linux (Windows's is tested with its services)");
    TempDir dir;
    testing::ScopedEnv env;
    env.Set("XDG_CONFIG_HOME", dir.Path("cfg").c_str());
    EXPECT_EQ(dir.Path("cfg") + "/Ferrit.Ini", SettingsFile("Ferrit.Ini").FileName());

    // Unset, or not absolute: ~/.config.
    env.Set("HOME", dir.path().c_str());
    env.Set("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(dir.path() + "/.config/Ferrit.Ini", SettingsFile("Ferrit.Ini").FileName());
    env.Set("XDG_CONFIG_HOME", "relative/dir");
    EXPECT_EQ(dir.path() + "/.config/Ferrit.Ini", SettingsFile("Ferrit.Ini").FileName());
}

TEST(SettingsFileTest, NameWithAPlaceOfItsOwnIsUsedAsGiven) {
    TempDir dir;
    testing::ScopedEnv env;
    const std::string config = env.UseConfigDirectoryBelow(dir.Path("cfg"));
    struct Case {
        std::string name;
        std::string file;
    } cases[] = {
        {"Ferrit.Ini", config + (testing::kOnWindows ? "\\" : "/") + "Ferrit.Ini"},
        {dir.Path("elsewhere/Ferrit.Ini"), dir.Path("elsewhere/Ferrit.Ini")},
        {"relative/Ferrit.Ini", "relative/Ferrit.Ini"},
        // On Windows a '\\' or a drive names a place too; on Linux they are parts of a name.
        {"sub\\Ferrit.Ini", testing::kOnWindows ? "sub\\Ferrit.Ini" : config + "/sub\\Ferrit.Ini"},
        {"C:Ferrit.Ini", testing::kOnWindows ? "C:Ferrit.Ini" : config + "/C:Ferrit.Ini"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SettingsFile(c.name).FileName(), c.file) << c.name;
    }
}

TEST(SettingsFileTest, MissingDirectoryIsCreatedOnSave) {
    TempDir dir;
    const std::string path = dir.Path("a/b/Ferrit.Ini");
    SettingsFile file(path);
    EXPECT_EQ("dflt", file.ReadString("Default Options", "Source Dir", "dflt"));
    file.WriteString("Default Options", "Source Dir", "/data");
    ASSERT_TRUE(file.Flush());
    EXPECT_EQ("[Default Options]\nSource Dir=/data\n", ReadFile(path));
}

TEST(SettingsFileTest, LookupIgnoresCaseOfSectionAndKey) {
    TempDir dir;
    const std::string path = dir.File("Ferrit.Ini",
                                      "[default options]\r\n"
                                      "  SOURCE DIR = /a b \r\n"
                                      "; a comment=not a key\r\n"
                                      "[Other]\n"
                                      "Source Dir=/other\n");
    SettingsFile file(path);
    // The value stands as written after the equals sign, without the blanks around it.
    EXPECT_EQ("/a b", file.ReadString("Default Options", "Source Dir", ""));
    EXPECT_EQ("/other", file.ReadString("OTHER", "source dir", ""));
    EXPECT_EQ("none", file.ReadString("Default Options", "; a comment", "none"));
    EXPECT_EQ("none", file.ReadString("Missing", "Source Dir", "none"));
}

TEST(SettingsFileTest, ValuesAreCutAt2047Characters) {
    TempDir dir;
    const std::string longValue(3000, 'x');
    SettingsFile file(dir.File("Ferrit.Ini", "[S]\nK=" + longValue + "\n"));
    EXPECT_EQ(std::string(2047, 'x'), file.ReadString("S", "K", ""));
    EXPECT_EQ(std::string(2047, 'x'), file.ReadString("S", "L", longValue));
}

TEST(SettingsFileTest, BooleansReadAsIntegers) {
    struct Case {
        const char* value;
        bool defaultValue;
        bool expected;
    };
    const Case cases[] = {
        {"1", false, true},    {"0", true, false},
        {"0x1", false, true},  {"0X0", true, false},
        {"$1", false, true},   {"$0", true, false},
        {"$ff", false, true},  {"-1", false, true},
        {"2", false, true},    {"yes", true, true},
        {"yes", false, false}, {"", true, true},
        {"", false, false},    {"0x", true, true},
        {"0x", false, false},  {"1a", false, false},
        {"$", true, true},     {"00", true, false},
        {" 1 ", false, true},  {"99999999999", false, false},
    };
    TempDir dir;
    std::string text = "[Default Options]\n";
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        text += "K" + std::to_string(i) + "=" + cases[i].value + "\n";
    }
    SettingsFile file(dir.File("Ferrit.Ini", text));
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        EXPECT_EQ(cases[i].expected,
                  file.ReadBool("Default Options", "K" + std::to_string(i), cases[i].defaultValue))
            << "value \"" << cases[i].value << "\"";
    }
    EXPECT_TRUE(file.ReadBool("Default Options", "Missing", true));
    EXPECT_FALSE(file.ReadBool("Default Options", "Missing", false));
}

TEST(SettingsFileTest, NewKeysInWriteOrderLaterSavesReplaceInPlace) {
    TempDir dir;
    const std::string path = dir.Path("Ferrit.Ini");
    {
        SettingsFile file(path);
        file.WriteBool("Default Options", "Move Files", true);
        file.WriteString("Default Options", "Pattern", "*.*");
        file.WriteString("SourceHistory", "0", "/a");
        ASSERT_TRUE(file.Flush());
    }
    EXPECT_EQ("[Default Options]\nMove Files=1\nPattern=*.*\n\n[SourceHistory]\n0=/a\n",
              ReadFile(path));

    // Unknown sections, keys and comments survive; known keys change where they stand, and a
    // key new to an existing section joins the end of that section.
    WriteFile(path,
              "; written by hand\n[Default Options]\nExtra=keep\nmove files=1\nPattern=*.*\n\n"
              "[SourceHistory]\n0=/a\n\n[Mine]\nx=y\n");
    SettingsFile file(path);
    file.WriteBool("Default Options", "Move Files", false);
    file.WriteString("SOURCEHISTORY", "1", "/b");
    file.WriteString("Default Options", "Source Dir", "/src");
    ASSERT_TRUE(file.Flush());
    EXPECT_EQ(
        "; written by hand\n[Default Options]\nExtra=keep\nMove Files=0\nPattern=*.*\n"
        "Source Dir=/src\n\n[SourceHistory]\n0=/a\n1=/b\n\n[Mine]\nx=y\n",
        ReadFile(path));
}

TEST(SettingsFileTest, ValueWithLineBreakCannotStartANewLine) {
    TempDir dir;
    SettingsFile file(dir.Path("Ferrit.Ini"));
    file.WriteString("S", "K", "first\n[Evil]\nK=2");
    ASSERT_TRUE(file.Flush());
    SettingsFile again(dir.Path("Ferrit.Ini"));
    EXPECT_EQ("first", again.ReadString("S", "K", ""));
    EXPECT_EQ("none", again.ReadString("Evil", "K", "none"));
}

TEST(SettingsFileTest, SaveReplacesTheFileWholeAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string path = dir.File("Ferrit.Ini", "[S]\nK=old\n");
    const bool modes = testing::SetMode(path, 0640);  // Linux only
    SettingsFile file(path);
    file.WriteString("S", "K", "new");
    ASSERT_TRUE(file.Flush());
    EXPECT_EQ("[S]\nK=new\n", ReadFile(path));
    EXPECT_EQ(std::vector<std::string>{"Ferrit.Ini"}, testing::ListDir(dir.path()));
    EXPECT_EQ(modes, !testing::kOnWindows);
    if (modes) {
        EXPECT_EQ(0640, testing::ModeOf(path));
    }
}

TEST(SettingsFileTest, SaveThroughALinkKeepsTheLink) {
    SKIP_ON_WINDOWS("symbolic links");
    TempDir dir;
    const std::string real = dir.File("real/Ferrit.Ini", "[S]\nK=old\n");
    const std::string link = dir.Path("Ferrit.Ini");
    ASSERT_TRUE(testing::MakeSymlink(real, link));
    SettingsFile file(link);
    file.WriteString("S", "K", "new");
    ASSERT_TRUE(file.Flush());
    EXPECT_EQ(EntryKind::Link, testing::KindAt(link));
    EXPECT_EQ("[S]\nK=new\n", ReadFile(real));
}

TEST(SettingsFileTest, FailedSaveReportsFailureAndKeepsTheOldFile) {
    if (!testing::PermissionBitsBind()) {
        // Root writes into read-only directories, and Windows has no such directories; use a
        // path whose parent is a file instead.
        TempDir dir;
        dir.File("blocker", "x");
        SettingsFile file(dir.Path("blocker/Ferrit.Ini"));
        file.WriteString("S", "K", "v");
        EXPECT_FALSE(file.Flush());
        EXPECT_EQ("x", ReadFile(dir.Path("blocker")));
        return;
    }
    TempDir dir;
    const std::string path = dir.File("ro/Ferrit.Ini", "[S]\nK=old\n");
    ASSERT_TRUE(testing::SetMode(dir.Path("ro"), 0500));
    SettingsFile file(path);
    file.WriteString("S", "K", "new");
    EXPECT_FALSE(file.Flush());
    ASSERT_TRUE(testing::SetMode(dir.Path("ro"), 0700));
    EXPECT_EQ("[S]\nK=old\n", ReadFile(path));
}

TEST(SettingsFileTest, TwoCopiesSavingInTurnKeepEachOthersKeys) {
    TempDir dir;
    const std::string path = dir.File("Ferrit.Ini", "[S]\nA=0\nB=0\n");
    SettingsFile first(path);
    SettingsFile second(path);
    first.WriteString("S", "A", "first");
    first.WriteString("S", "C", "first");
    ASSERT_TRUE(first.Flush());
    second.WriteString("S", "B", "second");
    second.WriteString("S", "C", "second");
    ASSERT_TRUE(second.Flush());
    EXPECT_EQ("[S]\nA=first\nB=second\nC=second\n", ReadFile(path));
}

TEST(SettingsFileTest, FlushWithoutChangesWritesNothing) {
    TempDir dir;
    SettingsFile file(dir.Path("Ferrit.Ini"));
    EXPECT_TRUE(file.Flush());
    EXPECT_TRUE(testing::ListDir(dir.path()).empty());
}

// A settings file that is not a regular file of reasonable size reads as the defaults, names
// itself in LoadProblem, and is never replaced by a save.
class SettingsFileRefusal : public ::testing::TestWithParam<testing::OddFile> {};

TEST_P(SettingsFileRefusal, ReadsAsDefaultsAndIsNeverReplaced) {
    TempDir dir;
    const std::string path = dir.Path("Ferrit.Ini");
    ASSERT_TRUE(testing::MakeOddFile(path, GetParam()));
    const std::string before = testing::FactsOf(path);

    SettingsFile file(path);
    EXPECT_EQ(path + ": " + testing::OddFileProblem(GetParam()), file.LoadProblem());
    EXPECT_FALSE(file.HasSection("Default Options"));
    EXPECT_EQ("*.*", file.ReadString("Default Options", "Pattern", "*.*"));
    EXPECT_TRUE(file.ReadBool("Default Options", "Move Files", true));
    file.WriteString("Default Options", "Pattern", "*.txt");
    EXPECT_FALSE(file.Flush());

    EXPECT_EQ(before, testing::FactsOf(path));
}

INSTANTIATE_TEST_SUITE_P(Odd, SettingsFileRefusal, ::testing::ValuesIn(testing::AllOddFiles()),
                         [](const ::testing::TestParamInfo<testing::OddFile>& info) {
                             return std::string(testing::OddFileName(info.param));
                         });

TEST(SettingsFileTest, AMissingFileHasNoProblemAndNoSection) {
    TempDir dir;
    SettingsFile file(dir.Path("Ferrit.Ini"));
    EXPECT_EQ(ConfigFileStatus::Missing, file.Status());
    EXPECT_EQ("", file.LoadProblem());
    EXPECT_FALSE(file.HasSection("Default Options"));
    file.WriteString("Default Options", "Pattern", "*.txt");
    EXPECT_TRUE(file.Flush());
    EXPECT_TRUE(SettingsFile(dir.Path("Ferrit.Ini")).HasSection("default options"));
}

TEST(SettingsFileTest, ValuesAreReadWithoutTheBlanksAroundThem) {
    TempDir dir;
    const std::string path = dir.File("Ferrit.Ini",
                                      "[Default Options]\n"
                                      "Target Dir=  /data/backup  \n"
                                      "Source Dir=\t/home/a b\t \n"
                                      "Pattern = *.txt\n"
                                      "Move Files=  0\t\n"
                                      "Blank=   \n"
                                      "[SourceHistory]\n"
                                      "0= /x \n");
    const SettingsFile file(path);
    struct Case {
        const char* section;
        const char* key;
        std::string expected;
    } cases[] = {
        {"Default Options", "Target Dir", "/data/backup"},
        {"Default Options", "Source Dir", "/home/a b"},  // blanks inside stay
        {"Default Options", "Pattern", "*.txt"},
        {"Default Options", "Move Files", "0"},
        {"Default Options", "Blank", ""},
        {"SourceHistory", "0", "/x"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, file.ReadString(c.section, c.key, "default")) << c.key;
    }
    EXPECT_FALSE(file.ReadBool("Default Options", "Move Files", true));
}

}  // namespace
}  // namespace ferrit
