// Named values kept with a file-system entry itself (extended attributes), so that they move
// with the entry when it is renamed and vanish when it is removed. Linux keeps them in the user
// namespace ("user." before the name); a system that has none answers every call with 50 (not
// supported).
#pragma once

#include <string>

namespace ferrit {

// Whether this system keeps named values with its entries at all (a file system may still lack
// them: its calls then fail with 50).
bool EntryAttributesKept();

// The value of the named attribute of the entry at the path itself (a link is not followed): 0,
// 1168 when the entry has none of that name, else a Windows error number. The value is read
// whole, however long.
int ReadEntryAttribute(const std::string& path, const std::string& name, std::string& value);

// Sets the named attribute of the entry itself: 0 or a Windows error number.
int WriteEntryAttribute(const std::string& path, const std::string& name, const std::string& value);

// Removes the named attribute of the entry itself: 0, also when it had none, or a Windows error
// number.
int RemoveEntryAttribute(const std::string& path, const std::string& name);

}  // namespace ferrit
