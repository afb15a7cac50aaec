#include "options/copy_options.h"

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

bool LacksRights(uint16_t rights, uint16_t mask) { return (rights & mask) != mask; }

}  // namespace ferrit
