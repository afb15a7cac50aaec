// DOS attributes on Linux: read-only from the owner's write permission; hidden, system and
// archive in the extended attribute user.DOSATTRIB ("0x" and hexadecimal digits), with the
// modification time at the moment the archive bit was cleared kept beside it, so that a file
// changed since reads as archive set again.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

namespace ferrit {

// An entry addressed as a name in an open directory (`dir` may be AT_FDCWD with a whole path).
struct EntryAt {
    int dir;
    const char* name;
};

// The DOS attribute word of an entry whose lstat result is `st` (a link is never followed).
uint32_t DosAttributesOf(const EntryAt& entry, const struct stat& st);
// What DosAttributesOf gives an entry that has no attribute word stored: read from the kind and
// the permission bits alone, without a call.
uint32_t ModeAttributes(const struct stat& st);

// Sets read-only, hidden, system and archive of the entry from the bits; a link is left alone.
// Attribute words that would not change are not written. Returns 0 or a Windows error code.
int SetDosAttributes(const EntryAt& entry, uint32_t attr);

// Carries the stored attribute word (and the archive record) of the open file `in` to `out`;
// a file system without user attributes is passed over silently.
void CopyDosAttributes(int in, int out);

// Reads an extended attribute of an open file; false when absent or unsupported.
bool ReadXattrFd(int fd, const char* name, std::string& value);

}  // namespace ferrit
