#include "options/copy_options.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace ferrit {
namespace {

constexpr uint16_t kFullRights = 0x01FF;
constexpr uint16_t kAllButAccessControl = kFullRights & ~Rights::AccessControl;
const std::vector<uint8_t> kNetWareItems = {KeepOwner, KeepDirectoryTrustees, KeepFileTrustees,
                                            KeepInheritedRightsMask, KeepSpaceLimitations};

LocationFacts BothOnNetWare(uint16_t sourceRights, uint16_t targetRights) {
    LocationFacts facts;
    facts.bothNetWare = facts.sourceNetWare = facts.targetNetWare = true;
    facts.sourceRights = sourceRights;
    facts.targetRights = targetRights;
    return facts;
}

std::set<int> InForce(const OptionSet& options) {
    std::set<int> result;
    for (uint8_t i = 0; i < kOptionCount; ++i) {
        if (options.cbAllowed(i))
            result.insert(i);
    }
    return result;
}

std::set<int> Disabled(const OptionSet& options) {
    std::set<int> result;
    for (uint8_t i = 0; i < kOptionCount; ++i) {
        if (!options.Enabled(i))
            result.insert(i);
    }
    return result;
}

// The operator toggles one item; the list only lets enabled items change.
bool Toggle(OptionSet& options, CopyOption item, const LocationFacts& facts) {
    EXPECT_TRUE(options.Enabled(item)) << "a disabled item cannot be toggled: " << int{item};
    options.SetTicked(item, !options.Ticked(item));
    return clbClickCheck(options, facts);
}

TEST(LacksRights, TrueWhenAnyMaskBitIsMissing) {
    struct Case {
        uint16_t rights, mask;
        bool lacks;
    };
    const std::vector<Case> cases = {
        {0x01FF, 0x000A, false}, {0x0002, 0x000A, true},  {0x0008, 0x000A, true},
        {0x000A, 0x000A, false}, {0x0000, 0x0000, false}, {0x0000, 0x0020, true},
        {0x0020, 0x0020, false}, {0x0041, 0x0041, false}, {0x0040, 0x0041, true},
        {0xFFFF, 0x0010, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LacksRights(c.rights, c.mask), c.lacks)
            << std::hex << "rights " << c.rights << " mask " << c.mask;
    }
}

TEST(CopyOptions, FirstStartWithoutNetWare) {
    OptionSet options;
    const LocationFacts local;
    EXPECT_TRUE(CheckBoxDependancies(options, local));
    for (uint8_t i = 0; i < kOptionCount; ++i) {
        EXPECT_EQ(options.Ticked(i), i != OverwriteAlways) << "item " << int{i};
    }
    EXPECT_EQ(Disabled(options), (std::set<int>{3, 8, 9, 10, 11, 12, 14}));
    EXPECT_EQ(InForce(options), (std::set<int>{0, 1, 2, 5, 6, 7, 13}));

    // The next evaluation (a keystroke in a path field) sees option 4 unticked.
    EXPECT_TRUE(CheckBoxDependancies(options, local));
    EXPECT_EQ(Disabled(options), (std::set<int>{8, 9, 10, 11, 12, 14}));
    EXPECT_EQ(InForce(options), (std::set<int>{0, 1, 2, 3, 5, 6, 7, 13}));
}

TEST(CopyOptions, OverwriteAlwaysForcesOlderFilesTickedButNotInForce) {
    OptionSet options;
    const LocationFacts local;
    options.SetTicked(CopyBidirectional, false);
    options.SetTicked(OverwriteAlways, false);
    options.SetTicked(OverwriteOlderFiles, false);
    CheckBoxDependancies(options, local);

    Toggle(options, OverwriteAlways, local);
    EXPECT_TRUE(options.cbAllowed(OverwriteAlways));
    EXPECT_TRUE(options.Ticked(OverwriteOlderFiles));
    EXPECT_FALSE(options.Enabled(OverwriteOlderFiles));
    EXPECT_FALSE(options.cbAllowed(OverwriteOlderFiles));

    Toggle(options, OverwriteAlways, local);
    EXPECT_TRUE(options.Enabled(OverwriteOlderFiles));
    EXPECT_TRUE(options.cbAllowed(OverwriteOlderFiles));
}

TEST(CopyOptions, BidirectionalUndoesOverwriteAlwaysAndDisablesOlderForOneEvaluation) {
    OptionSet options;
    const LocationFacts local;
    options.SetTicked(MoveFiles, false);
    options.SetTicked(OverwriteAlways, false);
    CheckBoxDependancies(options, local);
    ASSERT_TRUE(options.Enabled(OverwriteOlderFiles));

    Toggle(options, OverwriteAlways, local);
    EXPECT_FALSE(options.Ticked(OverwriteAlways));
    EXPECT_TRUE(options.Ticked(CopyBidirectional));
    EXPECT_FALSE(options.Enabled(OverwriteOlderFiles));

    CheckBoxDependancies(options, local);
    EXPECT_TRUE(options.cbAllowed(OverwriteOlderFiles));
}

TEST(CopyOptions, MoveFilesWinsOverBidirectional) {
    const LocationFacts local;
    {
        OptionSet options;
        options.SetTicked(CopyBidirectional, false);
        CheckBoxDependancies(options, local);
        Toggle(options, CopyBidirectional, local);  // Move Files is ticked
        EXPECT_FALSE(options.Ticked(CopyBidirectional));
        EXPECT_TRUE(options.Ticked(MoveFiles));
    }
    {
        OptionSet options;
        options.SetTicked(MoveFiles, false);
        CheckBoxDependancies(options, local);
        ASSERT_TRUE(options.Enabled(ClearArchiveBit));
        Toggle(options, MoveFiles, local);
        EXPECT_FALSE(options.Ticked(CopyBidirectional));
        EXPECT_FALSE(options.Enabled(ClearArchiveBit));
        EXPECT_TRUE(options.Ticked(ClearArchiveBit));  // greyed, the choice is kept
    }
    {
        // The rules alone, as at start-up, leave both ticked.
        OptionSet options;
        CheckBoxDependancies(options, local);
        EXPECT_TRUE(options.cbAllowed(MoveFiles));
        EXPECT_TRUE(options.cbAllowed(CopyBidirectional));
    }
}

TEST(CopyOptions, SourceWithoutWriteOrCreateDisablesBidirectionalForGood) {
    for (uint16_t rights : {uint16_t{0}, uint16_t{Rights::Write}, uint16_t{Rights::Create},
                            uint16_t{kFullRights & ~Rights::Write}}) {
        OptionSet options;
        LocationFacts facts;
        facts.sourceNetWare = true;
        facts.sourceRights = rights;
        EXPECT_TRUE(CheckBoxDependancies(options, facts));
        EXPECT_FALSE(options.Enabled(CopyBidirectional)) << std::hex << rights;
        EXPECT_TRUE(options.Ticked(CopyBidirectional));

        // A later evaluation with a local source, or full rights, does not bring it back.
        CheckBoxDependancies(options, LocationFacts{});
        CheckBoxDependancies(options, BothOnNetWare(kFullRights, kFullRights));
        options.SetTicked(MoveFiles, false);
        clbClickCheck(options, LocationFacts{});
        EXPECT_FALSE(options.Enabled(CopyBidirectional)) << std::hex << rights;
    }
    // Write and Create are enough; a local source is never judged by its (zero) rights.
    OptionSet options;
    LocationFacts facts;
    facts.sourceNetWare = true;
    facts.sourceRights = Rights::Write | Rights::Create;
    CheckBoxDependancies(options, facts);
    EXPECT_TRUE(options.Enabled(CopyBidirectional));
    CheckBoxDependancies(options, LocationFacts{});
    EXPECT_TRUE(options.Enabled(CopyBidirectional));
}

TEST(CopyOptions, TargetWithoutWriteOrCreateRefusesStart) {
    struct Case {
        bool targetNetWare;
        uint16_t rights;
        bool start;
    };
    const std::vector<Case> cases = {
        {true, 0, false},
        {true, Rights::Write, false},
        {true, Rights::Create, false},
        {true, Rights::Write | Rights::Create, true},
        {true, kFullRights, true},
        {false, 0, true},
    };
    for (const Case& c : cases) {
        OptionSet options;
        LocationFacts facts;
        facts.targetNetWare = c.targetNetWare;
        facts.targetRights = c.rights;
        EXPECT_EQ(CheckBoxDependancies(options, facts), c.start) << std::hex << c.rights;
        EXPECT_EQ(clbClickCheck(options, facts), c.start) << std::hex << c.rights;
        // Only Start is refused; the target's rights grey no option.
        EXPECT_TRUE(options.Enabled(CopyBidirectional));
    }
}

TEST(CopyOptions, NetWareItemsNeedBothSidesAccessControlAndNoSecondPass) {
    struct Case {
        LocationFacts facts;
        bool bidirectional;
        bool enabled;
    };
    LocationFacts sourceOnly;
    sourceOnly.sourceNetWare = true;
    sourceOnly.sourceRights = kFullRights;
    const std::vector<Case> cases = {
        {BothOnNetWare(kFullRights, kFullRights), false, true},
        {BothOnNetWare(kFullRights, kFullRights), true, false},
        {BothOnNetWare(kAllButAccessControl, kFullRights), false, false},
        {BothOnNetWare(kFullRights, kAllButAccessControl), false, false},
        {BothOnNetWare(Rights::AccessControl | Rights::Write | Rights::Create,
                       Rights::AccessControl),
         false, true},
        {sourceOnly, false, false},
        {LocationFacts{}, false, false},
    };
    for (std::size_t n = 0; n < cases.size(); ++n) {
        OptionSet options;
        options.SetTicked(CopyBidirectional, cases[n].bidirectional);
        CheckBoxDependancies(options, cases[n].facts);
        for (uint8_t item : kNetWareItems) {
            EXPECT_EQ(options.Enabled(item), cases[n].enabled)
                << "case " << n << " item " << int{item};
            EXPECT_TRUE(options.Ticked(item));
        }
    }
}

TEST(CopyOptions, TickingBidirectionalGreysNetWareItemsAndUntickingRestoresThem) {
    const LocationFacts facts = BothOnNetWare(kFullRights, kFullRights);
    OptionSet options;
    options.SetTicked(MoveFiles, false);
    options.SetTicked(CopyBidirectional, false);
    CheckBoxDependancies(options, facts);
    for (uint8_t item : kNetWareItems) EXPECT_TRUE(options.cbAllowed(item));

    Toggle(options, CopyBidirectional, facts);
    for (uint8_t item : kNetWareItems) EXPECT_FALSE(options.Enabled(item));

    Toggle(options, CopyBidirectional, facts);
    for (uint8_t item : kNetWareItems) EXPECT_TRUE(options.cbAllowed(item));
}

// Over every combination of ticks, the rules' documented consequences hold after one evaluation.
TEST(CopyOptions, ConsequencesHoldForEveryTickCombination) {
    const std::vector<LocationFacts> factsList = {
        LocationFacts{}, BothOnNetWare(kFullRights, kFullRights),
        BothOnNetWare(kAllButAccessControl, kFullRights), BothOnNetWare(kFullRights, 0)};
    for (const LocationFacts& facts : factsList) {
        for (unsigned mask = 0; mask < (1u << kOptionCount); ++mask) {
            OptionSet options;
            for (uint8_t i = 0; i < kOptionCount; ++i) options.SetTicked(i, (mask >> i) & 1u);
            const bool start = CheckBoxDependancies(options, facts);

            const bool bidi = (mask >> CopyBidirectional) & 1u;
            const bool always = (mask >> OverwriteAlways) & 1u;
            const bool accessBoth = !LacksRights(facts.sourceRights, Rights::AccessControl) &&
                                    !LacksRights(facts.targetRights, Rights::AccessControl);
            const bool netWareItems = facts.bothNetWare && !bidi && accessBoth;
            for (uint8_t item : kNetWareItems) {
                ASSERT_EQ(options.Enabled(item), netWareItems) << mask;
            }
            ASSERT_EQ(options.Enabled(OverwriteOlderFiles), !always) << mask;
            ASSERT_EQ(options.Ticked(OverwriteAlways), always && !bidi) << mask;
            ASSERT_EQ(options.Ticked(OverwriteOlderFiles),
                      ((mask >> OverwriteOlderFiles) & 1u) || (always && !bidi))
                << mask;
            ASSERT_EQ(options.Enabled(ClearArchiveBit), !((mask >> MoveFiles) & 1u)) << mask;
            ASSERT_EQ(start, !(facts.targetNetWare && LacksRights(facts.targetRights, 0x000A)));
            for (uint8_t item : {0, 1, 2, 4, 5, 6, 7, 13}) {
                ASSERT_TRUE(options.Enabled(item)) << mask << " item " << int{item};
            }
            // Ticks the rules do not touch stay as the operator left them.
            for (uint8_t item : {0, 1, 2, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}) {
                ASSERT_EQ(options.Ticked(item), bool((mask >> item) & 1u)) << mask;
            }
        }
    }
}

}  // namespace
}  // namespace ferrit
