// The names of the program's temporary files, the same on every system.
#pragma once

#include <string>

namespace ferrit {

// Prefix of the program's temporary files; no file listing shows such names.
constexpr const char* kTempPrefix = ".ferrit-tmp.";

// A fresh temporary name: the prefix, this process's id, a counter and this host's name, so
// that a later run can tell a file left behind by a program that no longer runs.
std::string NewTemporaryName();

// Whether a name has the form of the program's temporary files (a user's file may have it too).
bool IsTemporaryName(const char* name);

}  // namespace ferrit
