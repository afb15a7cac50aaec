// The file-services seam: everything the engine does to a file system goes through here.
// Failures are reported as Windows system error numbers on every platform (see error_codes.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ferrit {

class OpenFiles;  // platform/file_handles.h

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
    // The listing left the bits kept apart from the entry (hidden, system, and archive set or
    // cleared) unread, as reading them costs a call per entry: `attr` then holds only what
    // the entry's kind and permission bits give, with archive set. Whoever needs the whole
    // word reads it with GetAttributes.
    bool attrUnread = false;
    // Not empty: the file lies set aside under this name in the directory, left by a move that
    // was cut short; it is to be put back under `name` (PutBack) before anything else is done
    // with it. The facts are those of the entry set aside.
    std::string setAside;
};

// Identity of a directory (device and inode on POSIX), so that the same directory written
// differently is still recognised.
struct DirIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const DirIdentity& o) const { return device == o.device && inode == o.inode; }
    bool operator!=(const DirIdentity& o) const { return !(*this == o); }
};

// A complete copy of one file waiting beside its target (PrepareCopy). It takes the target's
// place only through PublishCopy; destroyed unpublished, it is removed and leaves nothing behind.
class PreparedCopy {
  public:
    virtual ~PreparedCopy() = default;
    // The source as it was read: identity, size and modification time of what was copied.
    EntryStat source;
    // The target path the copy is to take.
    std::string target;
    // Whether PublishCopy is to give the copy's facts (a move relies on them). Where they are
    // not wanted, the file services may save the look at the copy and give none.
    bool factsWanted = true;
};

// What a copy rests on, for a move that deletes its source afterwards: the source as it was
// copied, and the copy as it was put in the target's place.
struct CopyFacts {
    EntryStat source;
    EntryStat copy;
};

// A held advisory lock on a directory tree's root (LockTree); released when destroyed.
class TreeLock {
  public:
    virtual ~TreeLock() = default;
};

// Whether two entries' facts still agree: the same entry (device and inode), of the same kind,
// size and modification time.
inline bool SameFacts(const EntryStat& a, const EntryStat& b) {
    return a.kind != EntryKind::Missing && a.kind == b.kind && a.device == b.device &&
           a.inode == b.inode && a.size == b.size && a.mtimeSec == b.mtimeSec &&
           a.mtimeNsec == b.mtimeNsec;
}

// Thread rule. A run has one walk's thread and may have copy workers. On a worker only
// PrepareCopy and PublishCopy may be called (and a PreparedCopy destroyed): PrepareCopy any
// number at a time, PublishCopy on one thread at a time, its callers keeping the walk order
// between them. Every other method belongs to the walk's thread, which may call them while
// workers make and publish copies.
class FileServices {
  public:
    virtual ~FileServices() = default;

    // The file services of one run: a path below one of these directories is resolved without
    // following a link in any of its directories below that root, so nothing is written,
    // deleted or listed through such a link; an operation that would pass one fails (1921). The
    // roots themselves are taken as typed (a link there is followed). Where roots nest, the
    // innermost counts. This object is left as it was; the run's object must not outlive it.
    virtual std::unique_ptr<FileServices> ConfinedTo(const std::vector<std::string>& roots) = 0;

    // Takes an advisory lock on the directory `root` for a run over its tree: shared (a copy)
    // or exclusive (a move). Nothing is written into the tree for it, and it is released with
    // `lock`. Returns 0, 32 when another run holds a lock that conflicts (nothing is waited
    // for), or another code where the file system cannot lock (the run may go on without).
    virtual int LockTree(const std::string& root, bool exclusive,
                         std::unique_ptr<TreeLock>& lock) = 0;

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
    // unsorted; never "." or "..". `stale`, when not null, receives those of the names that are
    // temporary copies a killed run of this program on this host left behind: named as the
    // temporary of a process that no longer runs, and still bearing the mark a copy carries
    // until it is put in place. A user's file named like one lacks the mark and is never among
    // them. Nothing is changed. Returns 0, or an error code when the directory cannot be listed
    // (out is then empty).
    virtual int ListNames(const std::string& dir, std::vector<std::string>& out,
                          std::vector<std::string>* stale) = 0;

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
    // The same; `made` tells whether this call made the directory itself, which was empty
    // then (false where that is not known).
    virtual int CreateDirectoriesNoting(const std::string& path, bool& made) {
        made = false;
        return CreateDirectories(path);
    }

    // Removes an empty directory; returns 0 or an error code (145 when not empty).
    virtual int RemoveDirectory(const std::string& path) = 0;

    // Makes a complete copy of one file (or link) beside its target, to take the target's place
    // later (PublishCopy): a temporary (possibly unnamed) file that is never listed, with the
    // source's permission bits, DOS attributes and modification time. A source that changes
    // while it is read is not copied (32), nor anything but a regular file or a link. Returns 0
    // with `out` set, or an error code with nothing left behind. May run on a worker.
    // `targetAbsent`: the caller has just seen that nothing stands at the target; publishing
    // then takes its place without a look of its own (one round trip less on a network volume).
    virtual int PrepareCopy(const std::string& source, const std::string& target, bool targetAbsent,
                            std::unique_ptr<PreparedCopy>& out) = 0;

    // Puts a prepared copy in its target's place in one step, replacing what stands there
    // without asking (a link is replaced, never written through; a directory makes it fail), so
    // a failure or a killed program leaves the old target intact (a power loss may not: nothing
    // is flushed to the disk). The source itself standing at the target is never replaced (32).
    // `published` receives the copy's facts as it now stands at the target (none where they
    // were not wanted, `PreparedCopy::factsWanted`). Returns 0 or an
    // error code; either way the prepared copy is used up and no temporary file remains.
    virtual int PublishCopy(std::unique_ptr<PreparedCopy> copy, EntryStat& published) = 0;

    // Copies one file over its counterpart at once: PrepareCopy, then PublishCopy. `facts`,
    // when given, receives what the copy rests on.
    int CopyFile(const std::string& source, const std::string& target, bool targetAbsent = false,
                 CopyFacts* facts = nullptr);

    // Sets the entry at the path aside under a reserved name in its own directory: `asidePath`
    // receives its path. The entry is never replaced or changed; the name is free afterwards.
    // Returns 0 or an error code (2 when nothing stands there). Listings never show an entry
    // set aside by a program that still runs; what a killed program left set aside is the
    // user's, and the files listing names it under its own name (ListEntry::setAside), or, where
    // that name is taken meanwhile, under the set-aside name as an ordinary file.
    virtual int SetAside(const std::string& path, std::string& asidePath) = 0;
    // Puts an entry set aside back under its name, never replacing anything that took the name
    // meanwhile (183). Returns 0 or an error code.
    virtual int PutBack(const std::string& asidePath, const std::string& path) = 0;

    // Whether the two entries (at the two paths) are proven to be different files: on one file
    // system by their identities; on two only where neither can show the other's files (an
    // overlay over the other tree, a network mount of a local path or a view through a
    // user-space file system may). False for the same entry.
    virtual bool SeparateFiles(const std::string& a, const EntryStat& aStat, const std::string& b,
                               const EntryStat& bStat) = 0;

    // Bytes available to the user on the file system of an absolute, existing directory;
    // false ("n/a") otherwise.
    virtual bool FreeSpace(const std::string& path, int64_t& bytes) = 0;

    // A directory this run makes may be filled out of sight and put in place whole. Where every
    // call waits for a round trip, putting each copy in place is a rename, and the renames go
    // one after another in walk order; a directory filled first needs one rename for all of
    // its files.
    // StageDirectory makes an empty directory under a new temporary name (one that no listing
    // shows, nor any walk enters) in the existing directory `within`: `staged` receives its path.
    // A copy prepared into it (PrepareCopy with a target in it) is written under its own name
    // at once, and publishing it takes no step of its own; one destroyed unpublished is removed
    // as any other. A staged directory holds files only. Returns 0, or an error code: 50
    // where these file services do not stage directories.
    virtual int StageDirectory(const std::string& within, std::string& staged) {
        (void)within;
        staged.clear();
        return 50;
    }
    // Puts the staged directory in place at `path`, whose parent must stand, in one step;
    // never replacing anything that stands there meanwhile (183). Returns 0 or an error code,
    // the staged directory then left as it was.
    virtual int PublishDirectory(const std::string& staged, const std::string& path) {
        (void)staged;
        (void)path;
        return 50;
    }

    // How many copies into the directory are best made side by side: 0 where the file system
    // answers at once (a local disk: the caller's own count applies), more where every call
    // waits for a round trip (a network or user-space file system). A hint, never a failure.
    virtual int CopiesSideBySide(const std::string& dir) {
        (void)dir;
        return 0;
    }

    // Whether these file services read ahead the directories of the volume holding `dir`.
    virtual bool ReadsAhead(const std::string& dir) {
        (void)dir;
        return false;
    }
    // The walk reaches these directories soon, in this order, before any it asked for earlier,
    // and looks at the entries in them. Where every look waits for a round trip, the file
    // services may read them ahead, side by side, so that the walk finds the answers in the
    // system's caches. A hint: nothing is changed, and nothing the walk is told depends on it.
    virtual void ReadAhead(const std::vector<std::string>& dirs) { (void)dirs; }
    // Drops what was asked ahead and is not yet under way, and waits for what is.
    virtual void EndReadAhead() {}

    // The open-file access of these file services (the same confinement), which the NetWare
    // server copy needs; the object lives as long as this one.
    virtual OpenFiles& OpenFileAccess() = 0;
};

// Makes room ahead for the descriptors a run holds at once. Every run does this before its
// workers start; a program that starts threads of its own before any run (the window) calls it
// first, while it has one thread: made later, with other threads running, the room costs a
// wait of a few milliseconds.
void ReserveRunDescriptors();

}  // namespace ferrit
