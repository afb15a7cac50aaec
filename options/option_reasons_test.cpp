#include "options/option_reasons.h"

#include <initializer_list>
#include <string>

#include <gtest/gtest.h>

namespace ferrit {
namespace {

constexpr uint16_t kAll = 0x01FF;

// Every option ticked except those listed, then one evaluation of the rules, as the window and
// ferrit-cli do it.
OptionSet Evaluated(std::initializer_list<CopyOption> unticked, const LocationFacts& facts) {
    OptionSet options;
    for (CopyOption option : unticked) {
        options.SetTicked(option, false);
    }
    CheckBoxDependancies(options, facts);
    return options;
}

TEST(DisabledReason, NamesTheRuleThatGreysTheItem) {
    struct Case {
        const char* what;
        std::initializer_list<CopyOption> unticked;
        LocationFacts facts;
        CopyOption item;
        std::string reason;
    };
    const Case cases[] = {
        {"enabled", {}, {}, CopySubdirectories, ""},
        {"moving", {}, {}, ClearArchiveBit, "\"Move Files\" is ticked"},
        {"local", {}, {}, KeepOwner, "both paths must be on NetWare volumes"},
        {"one side on NetWare",
         {CopyBidirectional},
         {false, true, kAll, false, 0},
         KeepFileTrustees,
         "both paths must be on NetWare volumes"},
        {"unticked NetWare item",
         {KeepSpaceLimitations},
         {},
         KeepSpaceLimitations,
         "both paths must be on NetWare volumes"},
        {"overwrite always",
         {CopyBidirectional},
         {},
         OverwriteOlderFiles,
         "\"Overwrite Always\" is ticked"},
        // The first evaluation after both were ticked: "Overwrite Always" is unticked by then.
        {"overwrite always unticked in the same evaluation",
         {},
         {},
         OverwriteOlderFiles,
         "\"Overwrite Always\" was ticked when the options were checked"},
        {"second pass",
         {},
         LocationFacts{true, true, kAll, true, kAll},
         KeepDirectoryTrustees,
         "\"Copy Bi-directional\" is ticked"},
        {"no Access Control on the source",
         {CopyBidirectional},
         LocationFacts{true, true, 0x1DF, true, kAll},
         KeepInheritedRightsMask,
         "Access Control is missing on the source"},
        {"no Access Control on the target",
         {CopyBidirectional},
         LocationFacts{true, true, kAll, true, 0x0B},
         KeepOwner,
         "Access Control is missing on the target"},
        {"no Access Control on either side",
         {CopyBidirectional},
         LocationFacts{true, true, 0x0B, true, 0x0B},
         KeepOwner,
         "Access Control is missing on the source and on the target"},
        {"full rights",
         {CopyBidirectional},
         LocationFacts{true, true, kAll, true, kAll},
         KeepOwner,
         ""},
        {"source without Create",
         {MoveFiles},
         LocationFacts{true, true, 0x03, true, kAll},
         CopyBidirectional,
         "the source lacks Write or Create rights"},
    };
    for (const Case& c : cases) {
        const OptionSet options = Evaluated(c.unticked, c.facts);
        EXPECT_EQ(c.reason.empty(), options.Enabled(c.item)) << c.what;
        EXPECT_EQ(c.reason, DisabledReason(c.item, options, c.facts)) << c.what;
    }
}

TEST(StartDisabledReason, MissingDirectoriesThenTheTargetRights) {
    const StartPaths ready{true, true, true, true};
    LocationFacts targetRights;
    targetRights.targetNetWare = true;
    targetRights.targetRights = 0x0A;
    LocationFacts targetWithoutCreate = targetRights;
    targetWithoutCreate.targetRights = 0x03;
    LocationFacts sourceWithoutCreate;
    sourceWithoutCreate.sourceNetWare = true;
    sourceWithoutCreate.sourceRights = 0x03;
    struct Case {
        StartPaths paths;
        LocationFacts facts;
        std::string reason;
    };
    const Case cases[] = {
        {ready, {}, ""},
        {ready, targetRights, ""},
        {ready, sourceWithoutCreate, ""},
        {{false, false, true, true}, {}, "no source directory is given"},
        {{true, true, false, false}, {}, "no target directory is given"},
        {{true, false, true, false},
         {},
         "the source directory does not exist; the target directory does not exist"},
        {ready, targetWithoutCreate, "the target lacks Write or Create rights"},
        {{true, true, true, false},
         targetWithoutCreate,
         "the target directory does not exist; the target lacks Write or Create rights"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.reason, StartDisabledReason(c.paths, c.facts)) << c.reason;
        // The rules' share is what ferrit-cli reports when it refuses to start.
        OptionSet options;
        EXPECT_EQ(CheckBoxDependancies(options, c.facts), StartRefusedReason(c.facts).empty());
    }
}

}  // namespace
}  // namespace ferrit
