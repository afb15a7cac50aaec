// File-system helpers for every layer from platform/ up: small operations by path that the
// settings file, the emulated NetWare network, its tool and the tests need alike.
#pragma once

#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>

namespace ferrit {

// Creates a directory and its missing parents by path (a link on the way is followed), trying
// the directory itself first; each level made gets `mode`, less the umask. Returns 0 or an errno
// value: EEXIST when a non-directory stands at the path, ENOTDIR when one stands above it.
int MakeDirectoriesPlain(const std::string& path, mode_t mode = 0777);

// The absolute form of a path that may not exist yet: the links of its longest existing leading
// part resolved, the rest appended as written. A relative path is taken from the working
// directory; an empty one stays empty.
std::string ResolvePath(const std::string& path);

// The user's configuration directory: $XDG_CONFIG_HOME when it is an absolute path, else
// ~/.config, home being $HOME or, when that is unset or empty, the user's home directory from the
// password database ("/" if even that is unknown).
std::string ConfigDirectory();

// Reads an extended attribute whole through `get`, a getxattr(2)-like call reduced to its buffer
// and size (size 0 asks for the length). False when the attribute is absent or unsupported, with
// errno as the call left it (ENODATA: absent), or longer than `maxBytes` (E2BIG). A value that
// grows while it is read is asked for again, so a long one never reads as missing or cut.
template <typename Get>
bool ReadWholeXattr(Get get, std::string& value, size_t maxBytes = SIZE_MAX) {
    char buf[256];  // the usual short values take one call
    ssize_t n = get(buf, sizeof buf);
    if (n >= 0) {
        value.assign(buf, static_cast<size_t>(n));
        return true;
    }
    for (int attempt = 0; attempt < 3 && errno == ERANGE; ++attempt) {
        const ssize_t size = get(nullptr, 0);
        if (size < 0) {
            return false;
        }
        if (static_cast<size_t>(size) > maxBytes) {
            errno = E2BIG;
            return false;
        }
        // One byte spare: a value that shrank to nothing meanwhile is read, not asked for its
        // length by a size of 0.
        std::string buffer(static_cast<size_t>(size) + 1, '\0');
        n = get(&buffer[0], buffer.size());
        if (n >= 0 && static_cast<size_t>(n) <= maxBytes) {
            value.assign(buffer.data(), static_cast<size_t>(n));
            return true;
        }
        if (n >= 0) {
            errno = E2BIG;
            return false;
        }
    }
    return false;
}

}  // namespace ferrit
