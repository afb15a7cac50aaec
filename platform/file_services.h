// The file-services seam: everything the engine does to a file system goes through here.
// Failures are reported as Windows system error numbers on every platform (see error_codes.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
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

// What stands at a path, the path's own entry (a link is never followed). A FIFO, a socket and a
// device node are never opened: they are no files the program could copy.
enum class EntryKind : uint8_t { Missing, File, Link, Directory, Fifo, Socket, Device, Other };

// Whether an entry is a FIFO, a socket or a device node.
inline bool IsSpecialKind(EntryKind kind) {
    return kind == EntryKind::Fifo || kind == EntryKind::Socket || kind == EntryKind::Device;
}

// The facts of one entry that the decisions rest on.
struct EntryStat {
    EntryKind kind = EntryKind::Missing;
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;      // bytes (a link: the length of its text)
    int64_t mtimeSec = 0;  // modification time, seconds and nanoseconds since the epoch
    int32_t mtimeNsec = 0;
    int32_t age = -1;  // the modification time as a local DOS date-time; -1 when missing

    // Whether both name the same entry on the same device (one file under two names).
    bool SameEntryAs(const EntryStat& o) const {
        return kind != EntryKind::Missing && o.kind != EntryKind::Missing && device == o.device &&
               inode == o.inode;
    }
};

// One entry of a directory listing: its name, DOS attributes and the facts of its lstat.
struct ListEntry : EntryStat {
    ListEntry() = default;
    ListEntry(std::string n, uint32_t a, int64_t s) : name(std::move(n)), attr(a) { size = s; }
    std::string name;   // without a path
    uint32_t attr = 0;  // DOS attribute bits
};

// Identity of a directory (device and inode on POSIX), so that the same directory written
// differently is still recognised.
struct DirIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const DirIdentity& o) const { return device == o.device && inode == o.inode; }
    bool operator!=(const DirIdentity& o) const { return !(*this == o); }
};

// An open file, for the server copy of files on NetWare volumes. On POSIX it is a file
// descriptor: the NetWare client is handed it as such.
using FileHandle = intptr_t;
constexpr FileHandle kInvalidFileHandle = -1;

class FileServices {
  public:
    virtual ~FileServices() = default;

    // From now on, a path below one of these directories is resolved without following a link
    // in any of its directories below that root, so nothing is written, deleted or listed
    // through such a link: an operation that would pass one fails (1921). The roots themselves
    // are taken as typed (a link there is followed). Where roots nest, the innermost counts. An
    // empty list lifts the rule.
    virtual void ConfineBelow(const std::vector<std::string>& roots) = 0;

    // Files of the directory whose names match the pattern ("*" any run, "?" one character, ASCII
    // letters without case, "*.*" every name, a final dot also names without a dot), sorted by
    // name (byte order): regular files and symbolic links of any kind, and the FIFOs, sockets
    // and devices, so that the caller can say they are not copied (their kind alone is given,
    // from the directory read: they are never opened); never directories or the program's own
    // temporary files. The directory may or may not end in a separator. Returns 0, or an error
    // code when the directory cannot be listed (out is then empty).
    virtual int ListFiles(const std::string& dir, const std::string& pattern,
                          std::vector<ListEntry>& out) = 0;

    // Every name in the directory, whatever it names, the program's temporary files included,
    // unsorted; never "." or "..". `stale`, when given, receives those of the names that are
    // temporary copies a killed run of this program on this host left behind: named as the
    // temporary of a process that no longer runs, and still bearing the mark a copy carries
    // until it is put in place. A user's file named like one lacks the mark and is never among
    // them. Nothing is changed. Returns 0, or an error code when the directory cannot be listed
    // (out is then empty).
    virtual int ListNames(const std::string& dir, std::vector<std::string>& out,
                          std::vector<std::string>* stale = nullptr) = 0;

    // Removes the entry at the path if it is still a stale temporary copy as ListNames names
    // them (checked again at this moment); 0, 2 when nothing stands there, 5 when it is no such
    // copy (it is then left alone). Only a directory that a run writes into is swept.
    virtual int RemoveStaleTemporary(const std::string& path) = 0;

    // Real subdirectories of the directory (never links), sorted by name, "." and ".." excluded.
    // Returns 0, or an error code when the directory cannot be listed (out is then empty).
    virtual int ListSubdirs(const std::string& dir, std::vector<ListEntry>& out) = 0;

    // True when the path names a directory (a link is followed only where it is a root or
    // outside every root).
    virtual bool DirectoryExists(const std::string& path) = 0;

    // Identity of the directory the path names; false when it names none.
    virtual bool DirectoryId(const std::string& path, DirIdentity& id) = 0;

    // The path's own entry (a link is not followed): 0, or an error code with the kind Missing.
    // A path that names nothing gives 2 or 3.
    virtual int StatEntry(const std::string& path, EntryStat& out) = 0;

    // Modification time in local time packed as a DOS date-time (two-second resolution); -1 for
    // a missing path or a directory. A symbolic link's own time is used, never its target's.
    virtual int32_t FileAge(const std::string& path) = 0;

    // DOS attributes of the path, or -1 when they cannot be read.
    virtual int32_t GetAttributes(const std::string& path) = 0;

    // Sets read-only, hidden, system and archive from the bits; returns 0 or an error code.
    virtual int SetAttributes(const std::string& path, uint32_t attr) = 0;

    // Deletes a file (a link itself, never its target); returns 0 or an error code.
    virtual int DeleteFile(const std::string& path) = 0;

    // Creates the directory with all missing parents; returns 0 or an error code (183 when a
    // file, or a link, stands at the path).
    virtual int CreateDirectories(const std::string& path) = 0;

    // Removes an empty directory; returns 0 or an error code (145 when not empty).
    virtual int RemoveDirectory(const std::string& path) = 0;

    // Copies one file (or link) over its counterpart without asking. The data goes to a
    // temporary (possibly unnamed) file beside the target that takes the target's name only
    // when complete, so a failure or a killed program leaves the old target intact (a power
    // loss may not: nothing is flushed to the disk). A link at the target is replaced, never
    // written through. The target gets the source's permission bits, DOS attributes and
    // modification time. A source that changes while it is read, or that is the target itself,
    // is not published (32). Returns 0 or an error code; on failure no temporary file remains.
    // `targetAbsent`: the caller has just seen that nothing stands at the target; the copy then
    // takes its place without a look of its own (one round trip less on a network volume).
    virtual int CopyFile(const std::string& source, const std::string& target,
                         bool targetAbsent = false) = 0;

    // Bytes available to the user on the file system of an absolute, existing directory;
    // false ("n/a") otherwise.
    virtual bool FreeSpace(const std::string& path, int64_t& bytes) = 0;

    // --- Open files, for the server copy ---

    // Opens a regular file for reading, other openers denied write access where the platform
    // can. Anything else (a link, a FIFO, a device, a directory) is refused without waiting.
    virtual FileHandle OpenRead(const std::string& path) = 0;
    // Creates a new, empty file for reading and writing beside `target`, under a reserved name
    // that no file listing shows, bearing the mark of an unfinished copy; `tempPath` receives its
    // path. The caller renames it over the target when complete (RenameOver) or deletes it.
    virtual FileHandle CreateTemporary(const std::string& target, std::string& tempPath) = 0;
    // The facts of an open file; false when they cannot be read.
    virtual bool HandleStat(FileHandle handle, EntryStat& out) = 0;
    // Last-write time of an open file as a local DOS date-time; -1 on failure.
    virtual int32_t GetHandleAge(FileHandle handle) = 0;
    // Sets the last-write time of an open file from a local DOS date-time; 0 or an error code.
    virtual int SetHandleAge(FileHandle handle, int32_t dosDateTime) = 0;
    // Closes an open file; 0, or an error code when data written could not be stored.
    virtual int CloseFile(FileHandle handle) = 0;
    // Gives the entry `from` the name `to` in one step, replacing what stands there (a link is
    // replaced, not followed; a directory makes it fail). Both lie in one directory. A file
    // made by CreateTemporary loses the mark of an unfinished copy first: it gets the permission
    // bits of a new file (without write permission where it was made read-only).
    virtual int RenameOver(const std::string& from, const std::string& to) = 0;

    // The universal form of a path for the path fields' hints: absolute, links resolved, and a
    // network mount's mount point replaced by its source. Empty for an empty path.
    virtual std::string UniversalName(const std::string& path) = 0;
};

}  // namespace ferrit
