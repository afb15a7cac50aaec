// The file-services seam: everything the engine does to a file system goes through here.
// Failures are reported as Windows system error numbers on every platform (see error_codes.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ferrit {

// DOS attribute bits.
namespace Attr {
constexpr uint32_t ReadOnly = 0x01;
constexpr uint32_t Hidden = 0x02;
constexpr uint32_t System = 0x04;
constexpr uint32_t VolumeLabel = 0x08;
constexpr uint32_t Directory = 0x10;
constexpr uint32_t Archive = 0x20;
}  // namespace Attr

// One entry of a directory listing.
struct ListEntry {
    std::string name;    // without a path
    uint32_t attr = 0;   // DOS attribute bits
    int64_t size = 0;    // bytes
};

// Identity of a directory (device and inode on POSIX), so that the same directory written
// differently is still recognised.
struct DirIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const DirIdentity& o) const { return device == o.device && inode == o.inode; }
    bool operator!=(const DirIdentity& o) const { return !(*this == o); }
};

// An open file, for the server copy of files on NetWare volumes (a file descriptor on POSIX).
using FileHandle = intptr_t;
constexpr FileHandle kInvalidFileHandle = -1;

class FileServices {
public:
    virtual ~FileServices() = default;

    // Files of the directory whose names match the pattern ("*" any run, "?" one character, ASCII
    // letters without case, "*.*" every name), sorted by name (byte order): regular files and
    // symbolic links of any kind; never directories, FIFOs, sockets, devices or the program's own
    // temporary files. The directory may or may not end in a separator. Returns 0, or an error
    // code when the directory cannot be listed (out is then empty).
    virtual int ListFiles(const std::string& dir, const std::string& pattern,
                          std::vector<ListEntry>& out) = 0;

    // Real subdirectories of the directory (never links), sorted by name, "." and ".." excluded.
    virtual int ListSubdirs(const std::string& dir, std::vector<ListEntry>& out) = 0;

    // True when the path names a directory (a symbolic link at the path itself is followed).
    virtual bool DirectoryExists(const std::string& path) = 0;

    // Identity of the directory the path names; false when it names none.
    virtual bool DirectoryId(const std::string& path, DirIdentity& id) = 0;

    // Modification time in local time packed as a DOS date-time (two-second resolution); -1 for
    // a missing path or a directory. A symbolic link's own time is used, never its target's.
    virtual int32_t FileAge(const std::string& path) = 0;

    // DOS attributes of the path, or -1 when they cannot be read.
    virtual int32_t GetAttributes(const std::string& path) = 0;

    // Sets read-only, hidden, system and archive from the bits; returns 0 or an error code.
    virtual int SetAttributes(const std::string& path, uint32_t attr) = 0;

    // Deletes a file (a link itself, never its target); returns 0 or an error code.
    virtual int DeleteFile(const std::string& path) = 0;

    // Creates the directory with all missing parents; returns 0 or an error code.
    virtual int CreateDirectories(const std::string& path) = 0;

    // Removes an empty directory; returns 0 or an error code (145 when not empty).
    virtual int RemoveDirectory(const std::string& path) = 0;

    // Copies one file (or link) over its counterpart without asking, crash-safe: the data goes to
    // a temporary (possibly unnamed) file beside the target that takes the target's name only
    // when complete. The
    // target gets the source's permission bits, DOS attributes and modification time. Returns 0
    // or an error code; on failure the old target is intact and no temporary file remains.
    virtual int CopyFile(const std::string& source, const std::string& target) = 0;

    // Bytes available to the user on the file system of an absolute, existing directory;
    // false ("n/a") otherwise.
    virtual bool FreeSpace(const std::string& path, int64_t& bytes) = 0;

    // Opens a file for reading, other openers denied write access where the platform can.
    virtual FileHandle OpenRead(const std::string& path) = 0;
    // Creates (or truncates) a file for reading and writing, not shared.
    virtual FileHandle CreateTruncate(const std::string& path) = 0;
    // Last-write time of an open file as a local DOS date-time; -1 on failure.
    virtual int32_t GetHandleAge(FileHandle handle) = 0;
    // Sets the last-write time of an open file from a local DOS date-time; 0 or an error code.
    virtual int SetHandleAge(FileHandle handle, int32_t dosDateTime) = 0;
    virtual void CloseFile(FileHandle handle) = 0;

    // The universal form of a path for the path fields' hints: absolute, links resolved, and a
    // network mount's mount point replaced by its source. Empty for an empty path.
    virtual std::string UniversalName(const std::string& path) = 0;
};

}  // namespace ferrit
