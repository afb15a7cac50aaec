// A temporary directory for tests, and small helpers to build and inspect file trees.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ferrit {
namespace testing {

// Creates a fresh directory under $TMPDIR (or /tmp) and removes it with everything inside on
// destruction, read-only files and directories included. Never crosses into another mount.
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
    // Writes a file (parents created as needed) and returns its full path.
    std::string File(const std::string& relative, const std::string& contents = std::string());
    // Creates a directory with its parents and returns its full path.
    std::string Dir(const std::string& relative);

  private:
    std::string path_;
};

// Writes the contents to the file, creating or truncating it; creates missing parents.
bool WriteFile(const std::string& path, const std::string& contents);
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
// Makes a socket node at the path (bound, then closed); false where that cannot be done (a path
// too long for a socket address).
bool MakeSocketNode(const std::string& path);
// A name as the program gives its temporary copies, with the counter `n`, of a process of this
// host that no longer runs (a child made and reaped for it).
std::string DeadProcessTemporaryName(unsigned n);
// The name under which a process of this host that no longer runs would have set `name` aside.
std::string DeadProcessAsideName(const std::string& name);
// Whether the file system of the directory keeps user extended attributes.
bool XattrsSupported(const std::string& dir);
// Removes a path with everything below it, making read-only directories writable first.
// Never descends into another file system. True when the path is gone afterwards.
bool RemoveTree(const std::string& path);

}  // namespace testing
}  // namespace ferrit
