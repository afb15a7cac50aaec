// A temporary directory for tests, and small helpers to build and inspect file trees with the
// system's own calls (never through the file services under test). Paths are spelt with '/'
// on every system; Windows takes '\' as well.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_services.h"

namespace ferrit {
namespace testing {

// Creates a fresh directory under the user's temporary directory ($TMPDIR or /tmp; on Windows
// the system's, spelt with '/') and removes it with everything inside on destruction, read-only
// files and directories included. Never crosses into another mount.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory itself, without a trailing separator.
    const std::string& path() const { return path_; }
    // The directory joined with a relative path ("a/b.txt"); the path alone for an empty one.
    std::string Path(const std::string& relative) const;
    // Writes a file (parents created as needed) and returns its full path; a failure fails the
    // test that asked, naming the path.
    std::string File(const std::string& relative, const std::string& contents = std::string());
    // Creates a directory with its parents and returns its full path; a failure fails the test.
    std::string Dir(const std::string& relative);

  private:
    std::string path_;
};

// Writes the contents to the file, creating or truncating it; creates missing parents.
bool WriteFile(const std::string& path, const std::string& contents);
// Makes the file this long, sparse where the file system can (no data written).
bool SetFileSize(const std::string& path, uint64_t size);
// Like `mkdir -p`; true when the directory exists afterwards.
bool MakeDirs(const std::string& path);
// Sets the modification time of the path itself (a link is not followed); the access time is
// set to the same value.
bool SetModTime(const std::string& path, int64_t seconds, long nanoseconds = 0);
// Modification time of the path itself in seconds and nanoseconds; false when it cannot be read.
bool GetModTime(const std::string& path, int64_t& seconds, long& nanoseconds);
// The whole contents of a file; empty when it cannot be read (see the overload to tell).
std::string ReadFile(const std::string& path);
bool ReadFile(const std::string& path, std::string& contents);
// Names in a directory, sorted by byte order, "." and ".." excluded; empty when unreadable.
std::vector<std::string> ListDir(const std::string& path);
// Renames the file over the path in one step, replacing what stands there, as an editor saves.
bool RenameOver(const std::string& from, const std::string& to);
// Removes a path with everything below it, making read-only directories writable first.
// Never descends into another file system or through a link. True when the path is gone.
bool RemoveTree(const std::string& path);

// A tree deeper than a path text may be long: the file at the end of the names below the root
// (each name but the last a directory) written, its directories made as needed, or read, one
// name at a time. Reading follows no link.
bool WriteFileDeep(const std::string& root, const std::vector<std::string>& names,
                   const std::string& contents);
bool ReadFileDeep(const std::string& root, const std::vector<std::string>& names,
                  std::string& contents);

// What stands at the path itself (a link, or on Windows any reparse point, is not followed).
EntryKind KindAt(const std::string& path);
// The facts of the entry itself as one comparable text: kind, identity, size, permission bits
// (Linux) or DOS attributes (Windows), modification time; "missing" when nothing is there. A
// FIFO is never opened.
std::string FactsOf(const std::string& path);
// The text of a symbolic link; empty for anything else.
std::string LinkText(const std::string& path);

// --- Entries that not every system has: false where they cannot be made ---

// A symbolic link. Never made on Windows: Wine would make a Unix link, which its deletion
// calls remove the target of; tests of links skip there (SKIP_ON_WINDOWS).
bool MakeSymlink(const std::string& target, const std::string& path);
// A second name of an existing file.
bool MakeHardLink(const std::string& existing, const std::string& path);
// A named pipe (Linux only).
bool MakeFifo(const std::string& path);
// A socket node at the path (bound, then closed); Linux only, and not where the path is too
// long for a socket address.
bool MakeSocketNode(const std::string& path);
// A character device like /dev/null (Linux only, and only with the privilege to make one).
bool MakeDeviceNode(const std::string& path);
// Sets the permission bits (Linux only).
bool SetMode(const std::string& path, unsigned mode);
// The permission bits of the entry itself; -1 where there are none (Windows) or it is missing.
int ModeOf(const std::string& path);
// Gives a file the mark of an unfinished copy of this program, as a killed copy leaves it, so
// that a run may sweep it away. Linux only: no copy on Windows bears such a mark yet.
bool MarkAsUnfinishedCopy(const std::string& path);
// A name as the program gives its temporary copies, with the counter `n`, of a process of this
// host that no longer runs (a child made and reaped for it).
std::string DeadProcessTemporaryName(unsigned n);
// The name under which a process of this host that no longer runs would have set `name` aside.
std::string DeadProcessAsideName(const std::string& name);
// The id of a process of this host that no longer runs (a child made and ended for it).
long DeadProcessId();
// Whether the file system of the directory keeps user extended attributes (never on Windows).
bool XattrsSupported(const std::string& dir);

}  // namespace testing
}  // namespace ferrit
