// File-system helpers for every layer from platform/ up: small operations by path that the
// settings file, the emulated NetWare network, its tool and the tests need alike.
#pragma once

#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "platform/file_services.h"

namespace ferrit {

// Creates a directory and its missing parents by path (a link on the way is followed), trying
// the directory itself first; each level made gets `mode`, less the umask. Returns 0 or an errno
// value: EEXIST when a non-directory stands at the path, ENOTDIR when one stands above it.
int MakeDirectoriesPlain(const std::string& path, mode_t mode = 0777);

// How SaveWholeFile treats what stands at the path already. The defaults replace the entry as a
// newly written file would.
struct WholeFileSave {
    // The mode of directories made above the file, less the umask.
    mode_t directoryMode = 0777;
    // A symbolic link at the path: the file it leads to is replaced and the link kept (else the
    // link itself is replaced).
    bool throughLink = false;
    // The file keeps its permission bits and a new one gets 0644, whatever the umask (else the
    // file gets 0666 less the umask, as a newly created one).
    bool keepMode = false;
};

// Saves the text as the whole file: written to a new temporary file beside it, flushed to the
// disk and renamed over it, so that a crash at any moment leaves the old file or the new one,
// never a part. Missing directories above it are made. False when any step fails; the
// temporary file is then removed and the file is as it was.
bool SaveWholeFile(const std::string& path, const std::string& text, const WholeFileSave& how);

// The absolute form of a path that may not exist yet: the links of its longest existing leading
// part resolved, the rest appended as written. A relative path is taken from the working
// directory; an empty one stays empty.
std::string ResolvePath(const std::string& path);

// The user's configuration directory: $XDG_CONFIG_HOME when it is an absolute path, else
// ~/.config, home being $HOME or, when that is unset or empty, the user's home directory from the
// password database ("/" if even that is unknown).
std::string ConfigDirectory();

// The universal form of a path for the path fields' hints: absolute, links resolved (for a path
// that does not exist yet, its longest existing ancestor), and a network share's local name
// replaced by the share's own (a mount point by its source, a mapped drive by its share). Empty
// for an empty path.
std::string UniversalName(const std::string& path);

// The lexically normal absolute form of a path, existing or not: a relative path is taken from
// the working directory, "." and empty names are dropped and ".." takes the name before it back
// (a link is never looked at). Windows gives its own separators. Empty when the working
// directory cannot be told or the text is no path.
std::string NormalAbsolutePath(const std::string& path);

// The facts of the entry at a path itself (a link is not followed), as tools that work by path
// need them.
struct PathFacts {
    EntryKind kind = EntryKind::Missing;
    int64_t size = 0;
    // No one may write it: no write permission bit at all (POSIX), the read-only attribute
    // (Windows).
    bool readOnly = false;
    // Together the entry's identity while it exists: device and inode (POSIX), volume serial
    // number and file index (Windows). A system may give a removed entry's numbers to a new one.
    uint64_t volume = 0;
    uint64_t index = 0;
    // When the entry was made and last modified, in the system's own units, for comparing only;
    // `created` is 0 where the file system keeps no such time. With the identity, `created` tells
    // a new entry from an old one whose numbers it was given.
    int64_t created = 0;
    int64_t modified = 0;
};

// 0, or the Windows error number of the failure (2 or 3 when nothing stands at the path).
int StatPath(const std::string& path, PathFacts& out);

// The names in a directory, "." and ".." excluded, in no particular order: 0 or a Windows error
// number.
int ReadDirectoryNames(const std::string& dir, std::vector<std::string>& names);

// Removes the entry at the path and, for a directory, everything below it, read-only files
// included. A link is removed itself, never followed; nothing on another file system is touched
// (its mount point stays, and with it the directories above). 0 when nothing stands at the path
// any more, else the Windows error number of the first failure: whatever could not be removed
// stays as it was.
int DeleteTree(const std::string& path);

// The user's directory for what programs keep between runs (logs, history): $XDG_STATE_HOME
// when it is an absolute path, else ~/.local/state, home found as for ConfigDirectory.
std::string StateDirectory();

// Opens the file for appending, made where it does not exist (its directory must exist): what it
// held is kept, and programs this one starts do not inherit it. Null with errno set when it cannot
// be opened.
std::FILE* OpenForAppending(const std::string& path);

// The moment in local time (the process's time zone); false when it cannot be told.
bool LocalTimeOf(std::time_t moment, std::tm& local);

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
