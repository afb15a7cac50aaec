// The Windows side of entry_attributes.h. Windows has no extended attributes that every program
// keeps with a file: the NTFS alternate data streams that come closest are lost on other file
// systems and cannot be made under Wine (it makes a file with a colon in its name instead).
#include "platform/entry_attributes.h"
#include "platform/error_codes.h"

namespace ferrit {

bool EntryAttributesKept() {
    return false;
}

int ReadEntryAttribute(const std::string&, const std::string&, std::string& value) {
    value.clear();
    return WinErr::NotSupported;
}

int WriteEntryAttribute(const std::string&, const std::string&, const std::string&) {
    return WinErr::NotSupported;
}

int RemoveEntryAttribute(const std::string&, const std::string&) {
    return WinErr::NotSupported;
}

}  // namespace ferrit
