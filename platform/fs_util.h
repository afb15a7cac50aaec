// File-system helpers for every layer from platform/ up: small operations by path that the
// settings file, the emulated NetWare network, its tool and the tests need alike.
#pragma once

#include <sys/types.h>

#include <string>

namespace ferrit {

// Creates a directory and its missing parents by path (a link on the way is followed), trying
// the directory itself first; each level made gets `mode`, less the umask. Returns 0 or an errno
// value: EEXIST when a non-directory stands at the path, ENOTDIR when one stands above it.
int MakeDirectoriesPlain(const std::string& path, mode_t mode = 0777);

}  // namespace ferrit
