#include "options/copy_options.h"

#include <initializer_list>

namespace ferrit {

const std::array<const char*, kOptionCount> OptionCaptions = {
    "Copy Subdirectories",
    "Create Directories on Target",
    "Confirm Overwrites",
    "Overwrite Older Files on Target",
    "Overwrite Always",
    "OverWrite Read-Only",
    "Move Files",
    "Copy Bi-directional",
    "Keep Owner",
    "Keep Directory Trustees",
    "Keep File Trustees",
    "Keep Inherited Rights Mask",
    "Keep Space Limitations",
    "Only Files with Archive bit",
    "Clear Archive Bit",
};

OptionSet::OptionSet() {
    ticked_.fill(true);
    enabled_.fill(true);
}

bool LacksRights(uint16_t rights, uint16_t mask) {
    return (rights & mask) != mask;
}

namespace {

constexpr uint16_t kWriteCreate = Rights::Write | Rights::Create;

void SetEnabledAll(OptionSet& options, std::initializer_list<CopyOption> items, bool enabled) {
    for (CopyOption item : items) options.SetEnabled(item, enabled);
}

}  // namespace

// The steps run in this fixed order and each sees what the earlier ones did; several outcomes
// (item 3 disabled for one evaluation, item 7 never re-enabled) follow from that order.
bool CheckBoxDependancies(OptionSet& options, const LocationFacts& facts) {
    bool startAllowed = true;

    // NetWare metadata can be carried only between two NetWare locations, and not on a second
    // pass back.
    SetEnabledAll(options,
                  {KeepDirectoryTrustees, KeepFileTrustees, KeepInheritedRightsMask,
                   KeepSpaceLimitations, KeepOwner},
                  facts.bothNetWare && !options.Ticked(CopyBidirectional));
    // A moved file is deleted, so its archive bit is of no interest.
    options.SetEnabled(ClearArchiveBit, !options.Ticked(MoveFiles));
    options.SetEnabled(OverwriteOlderFiles, !options.Ticked(OverwriteAlways));
    // Overwriting always in both directions would copy every file back and forth.
    if (options.Ticked(CopyBidirectional))
        options.SetTicked(OverwriteAlways, false);
    if (options.Ticked(OverwriteAlways))
        options.SetTicked(OverwriteOlderFiles, true);
    // The second pass writes into the source; without Write and Create there it cannot work.
    // Nothing enables the item again.
    if (facts.sourceNetWare && LacksRights(facts.sourceRights, kWriteCreate)) {
        options.SetEnabled(CopyBidirectional, false);
    }
    if (facts.targetNetWare && LacksRights(facts.targetRights, kWriteCreate)) {
        startAllowed = false;
    }
    // Trustees, owner, rights mask and limits need Access Control on both sides.
    if (facts.bothNetWare && (LacksRights(facts.sourceRights, Rights::AccessControl) ||
                              LacksRights(facts.targetRights, Rights::AccessControl))) {
        SetEnabledAll(options,
                      {KeepFileTrustees, KeepDirectoryTrustees, KeepInheritedRightsMask,
                       KeepSpaceLimitations, KeepOwner},
                      false);
    }
    return startAllowed;
}

bool clbClickCheck(OptionSet& options, const LocationFacts& facts) {
    // Moving deletes the source, so a pass back from the target makes no sense.
    if (options.Ticked(MoveFiles))
        options.SetTicked(CopyBidirectional, false);
    return CheckBoxDependancies(options, facts);
}

}  // namespace ferrit
