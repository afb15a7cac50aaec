#include "cli/cli_options.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace ferrit {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

bool Parse(std::vector<std::string> args, CliRequest& request, std::string& error) {
    return ParseCliArgs(args, request, error);
}

TEST(ParseCliArgs, DefaultsWithOnlyTheTwoOperands) {
    CliRequest r;
    std::string error;
    ASSERT_TRUE(Parse({"/src dir", "rel/target"}, r, error)) << error;
    EXPECT_EQ(r.source, "/src dir");
    EXPECT_EQ(r.target, "rel/target");
    EXPECT_EQ(r.pattern, "*.*");
    EXPECT_EQ(r.errors, ErrorPolicy::Ignore);
    EXPECT_EQ(r.overwrite, OverwritePolicy::Default);
    EXPECT_FALSE(r.help);
    EXPECT_THAT(r.changes, IsEmpty());
}

TEST(ParseCliArgs, OperandsAreKeptExactlyAsTyped) {
    CliRequest r;
    std::string error;
    ASSERT_TRUE(Parse({"--", "-odd name/", "C:\\DATA\\"}, r, error)) << error;
    EXPECT_EQ(r.source, "-odd name/");
    EXPECT_EQ(r.target, "C:\\DATA\\");
    ASSERT_TRUE(Parse({"-", "t"}, r, error)) << error;
    EXPECT_EQ(r.source, "-");
}

TEST(ParseCliArgs, ValueFlags) {
    CliRequest r;
    std::string error;
    ASSERT_TRUE(
        Parse({"--pattern=*.TXT", "--errors=abort", "--overwrite=yes", "s", "t"}, r, error));
    EXPECT_EQ(r.pattern, "*.TXT");
    EXPECT_EQ(r.errors, ErrorPolicy::Abort);
    EXPECT_EQ(r.overwrite, OverwritePolicy::Yes);
    // The last of a repeated flag wins; an empty pattern is a pattern like any other.
    ASSERT_TRUE(
        Parse({"--overwrite=ask", "--overwrite=no", "--errors=ignore", "--pattern=", "s", "t"}, r,
              error));
    EXPECT_EQ(r.overwrite, OverwritePolicy::No);
    EXPECT_EQ(r.errors, ErrorPolicy::Ignore);
    EXPECT_EQ(r.pattern, "");
    EXPECT_EQ(r.jobs, 0);
    EXPECT_FALSE(r.dryRun);
    ASSERT_TRUE(Parse({"--jobs=1", "--dry-run", "--jobs=16", "s", "t"}, r, error)) << error;
    EXPECT_EQ(r.jobs, 16);
    EXPECT_TRUE(r.dryRun);
}

TEST(ParseCliArgs, EveryLongFlagTicksItsOwnIndex) {
    const char* flags[] = {"--subdirs",
                           "--create-dirs",
                           "--confirm",
                           "--older",
                           "--always",
                           "--read-only",
                           "--move",
                           "--both-ways",
                           "--keep-owner",
                           "--keep-dir-trustees",
                           "--keep-file-trustees",
                           "--keep-irm",
                           "--keep-limits",
                           "--archive-only",
                           "--clear-archive"};
    for (int i = 0; i < kOptionCount; ++i) {
        CliRequest r;
        std::string error;
        ASSERT_TRUE(Parse({flags[i], "s", "t"}, r, error)) << flags[i] << ": " << error;
        ASSERT_EQ(r.changes.size(), 1u) << flags[i];
        EXPECT_EQ(r.changes[0].index, i) << flags[i];
        EXPECT_TRUE(r.changes[0].ticked) << flags[i];
    }
}

TEST(ParseCliArgs, SetAndClearKeepCommandLineOrderWithLongFlags) {
    CliRequest r;
    std::string error;
    ASSERT_TRUE(Parse({"s", "--set=3,0,14", "--older", "--clear=3", "t", "--set=3"}, r, error))
        << error;
    std::vector<std::pair<int, bool>> seen;
    for (const OptionChange& c : r.changes) {
        seen.emplace_back(c.index, c.ticked);
    }
    EXPECT_THAT(seen, ElementsAre(std::make_pair(3, true), std::make_pair(0, true),
                                  std::make_pair(14, true), std::make_pair(3, true),
                                  std::make_pair(3, false), std::make_pair(3, true)));
    EXPECT_EQ(r.source, "s");
    EXPECT_EQ(r.target, "t");
}

TEST(ParseCliArgs, RejectsUnusableArguments) {
    const std::vector<std::vector<std::string>> bad = {
        {"--set=15", "s", "t"},
        {"--set=-1", "s", "t"},
        {"--set=a", "s", "t"},
        {"--set=", "s", "t"},
        {"--set=1,,2", "s", "t"},
        {"--set=1,", "s", "t"},
        {"--clear=99", "s", "t"},
        {"--clear=007", "s", "t"},
        {"--set", "s", "t"},
        {"--pattern", "s", "t"},
        {"--errors=retry", "s", "t"},
        {"--overwrite=maybe", "s", "t"},
        {"--jobs=0", "s", "t"},
        {"--jobs=65", "s", "t"},
        {"--jobs=-2", "s", "t"},
        {"--jobs=4x", "s", "t"},
        {"--jobs=", "s", "t"},
        {"--dry-run=1", "s", "t"},
        {"--progress=live", "s", "t"},
        {"--no-progress=lines", "s", "t"},
        {"--quiet=1", "s", "t"},
        {"--unknown", "s", "t"},
        {"-x", "s", "t"},
        {"--subdirs=1", "s", "t"},
        {},
        {"s"},
        {"--subdirs", "s"},
        {"s", "t", "u"},
    };
    for (const auto& args : bad) {
        CliRequest r;
        std::string error;
        EXPECT_FALSE(Parse(args, r, error)) << ::testing::PrintToString(args);
        EXPECT_FALSE(error.empty()) << ::testing::PrintToString(args);
    }
}

TEST(ParseCliArgs, HelpNeedsNoOperands) {
    CliRequest r;
    std::string error;
    ASSERT_TRUE(Parse({"--help"}, r, error));
    EXPECT_TRUE(r.help);
}

TEST(UsageText, NamesEveryFlagAndCaption) {
    const std::string usage = UsageText();
    for (const char* caption : OptionCaptions) {
        EXPECT_NE(usage.find(caption), std::string::npos) << caption;
    }
    EXPECT_NE(usage.find("--keep-file-trustees"), std::string::npos);
    EXPECT_NE(usage.find("--overwrite=ask|yes|no"), std::string::npos);
    EXPECT_EQ(usage.back(), '\n');
}

TEST(ApplyOptionChanges, StartsAllUntickedAndAppliesInOrder) {
    CliRequest r;
    r.changes = {{3, true}, {0, true}, {3, false}, {14, true}, {14, true}};
    OptionSet options;  // every item starts ticked
    options.SetEnabled(5, false);
    const OptionMask asked = ApplyOptionChanges(r, options);
    for (uint8_t i = 0; i < kOptionCount; ++i) {
        const bool want = i == 0 || i == 14;
        EXPECT_EQ(options.Ticked(i), want) << int(i);
        EXPECT_EQ(asked[i], want) << int(i);
    }
    // Enabled states belong to the rules, not to the flags.
    EXPECT_FALSE(options.Enabled(5));
}

TEST(ApplyOptionChanges, SavedStartsFromTheWindowsSettingsFile) {
    testing::TempDir config;
    testing::ScopedEnv env;
    testing::WriteFile(env.UseConfigDirectoryBelow(config.path()) + "/Ferrit.Ini",
                       "[Default Options]\nMove Files=0\nCopy Subdirectories=0\nKeep Owner=$1\n");

    CliRequest r;
    std::string error;
    ASSERT_TRUE(ParseCliArgs({"--saved", "--set=0", "--clear=13", "s", "t"}, r, error)) << error;
    EXPECT_EQ(InitialTicks::Saved, r.initialTicks);
    OptionSet options;
    for (uint8_t i = 0; i < kOptionCount; ++i) {
        options.SetTicked(i, false);
    }
    const OptionMask asked = ApplyOptionChanges(r, options);
    for (uint8_t i = 0; i < kOptionCount; ++i) {
        // Saved "Move Files" off, missing keys ticked, then the flags on top.
        const bool want = i != MoveFiles && i != OnlyFilesWithArchiveBit;
        EXPECT_EQ(want, options.Ticked(i)) << OptionCaptions[i];
        // Only what the command line ticked counts as asked for.
        EXPECT_EQ(i == CopySubdirectories, asked[i]) << OptionCaptions[i];
    }
}

// The evaluation the CLI makes: flags, one operator-toggle step, then the rules on the facts.
std::vector<std::string> Warnings(std::vector<std::string> flags, const LocationFacts& facts,
                                  bool* startEnabled = nullptr) {
    flags.push_back("s");
    flags.push_back("t");
    CliRequest r;
    std::string error;
    EXPECT_TRUE(ParseCliArgs(flags, r, error)) << error;
    OptionSet options;
    const OptionMask asked = ApplyOptionChanges(r, options);
    clbClickCheck(options, LocationFacts());
    const bool start = CheckBoxDependancies(options, facts);
    if (startEnabled != nullptr) {
        *startEnabled = start;
    }
    return NotInForceReasons(asked, options, facts);
}

LocationFacts NetWare(uint16_t sourceRights, uint16_t targetRights) {
    LocationFacts f;
    f.bothNetWare = true;
    f.sourceNetWare = true;
    f.targetNetWare = true;
    f.sourceRights = sourceRights;
    f.targetRights = targetRights;
    return f;
}

TEST(NotInForceReasons, NameTheRuleThatSwitchedTheOptionOff) {
    const LocationFacts local;
    const uint16_t full = 0x1FF;
    const uint16_t noAccessControl = 0x1FF & ~Rights::AccessControl;
    const uint16_t noWrite = 0x1FF & ~Rights::Write;
    struct Case {
        std::vector<std::string> flags;
        LocationFacts facts;
        std::vector<std::string> want;
    };
    const std::vector<Case> cases = {
        {{"--subdirs", "--create-dirs", "--confirm", "--older", "--read-only", "--archive-only"},
         local,
         {}},
        {{"--older", "--always"},
         local,
         {"warning: option \"Overwrite Older Files on Target\" is not in force: \"Overwrite "
          "Always\" is ticked"}},
        {{"--always", "--both-ways"},
         local,
         {"warning: option \"Overwrite Always\" is not in force: \"Copy Bi-directional\" is "
          "ticked"}},
        {{"--both-ways", "--move"},
         local,
         {"warning: option \"Copy Bi-directional\" is not in force: \"Move Files\" is ticked"}},
        {{"--move", "--clear-archive"},
         local,
         {"warning: option \"Clear Archive Bit\" is not in force: \"Move Files\" is ticked"}},
        {{"--keep-owner", "--keep-limits"},
         local,
         {"warning: option \"Keep Owner\" is not in force: both paths must be on NetWare volumes",
          "warning: option \"Keep Space Limitations\" is not in force: both paths must be on "
          "NetWare volumes"}},
        {{"--keep-owner", "--keep-dir-trustees", "--keep-file-trustees", "--keep-irm",
          "--keep-limits"},
         NetWare(full, full),
         {}},
        {{"--keep-irm", "--both-ways"},
         NetWare(full, full),
         {"warning: option \"Keep Inherited Rights Mask\" is not in force: \"Copy "
          "Bi-directional\" is ticked"}},
        {{"--keep-file-trustees"},
         NetWare(noAccessControl, full),
         {"warning: option \"Keep File Trustees\" is not in force: Access Control is missing on "
          "the source"}},
        {{"--keep-dir-trustees"},
         NetWare(full, noAccessControl),
         {"warning: option \"Keep Directory Trustees\" is not in force: Access Control is "
          "missing on the target"}},
        {{"--both-ways"},
         NetWare(noWrite, full),
         {"warning: option \"Copy Bi-directional\" is not in force: the source lacks Write or "
          "Create rights"}},
        // Ticked and then unticked on the command line: not asked for, so no warning.
        {{"--older", "--always", "--clear=3"}, local, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Warnings(c.flags, c.facts), c.want) << ::testing::PrintToString(c.flags);
    }
}

TEST(NotInForceReasons, TargetWithoutWriteOrCreateDisablesStart) {
    bool start = true;
    Warnings({"--subdirs"}, NetWare(0x1FF, 0x1FF & ~Rights::Create), &start);
    EXPECT_FALSE(start);
    Warnings({"--subdirs"}, NetWare(0x1FF, 0x1FF), &start);
    EXPECT_TRUE(start);
}

}  // namespace
}  // namespace ferrit
