// The names of the program's temporary files, the same on every system.
#pragma once

namespace ferrit {

// Prefix of the program's temporary files; no file listing shows such names.
constexpr const char* kTempPrefix = ".ferrit-tmp.";

// Whether a name has the form of the program's temporary files (a user's file may have it too).
bool IsTemporaryName(const char* name);

}  // namespace ferrit
