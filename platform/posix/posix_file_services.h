#pragma once

#include <sys/stat.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_handles.h"
#include "platform/file_services.h"
#include "platform/name_pattern.h"
#include "platform/posix/confined_paths.h"
#include "platform/posix/mount_info.h"
#include "platform/posix/safe_copy.h"
#include "platform/read_ahead.h"

namespace ferrit {

// The Linux file services. Every operation on a path below the confined roots goes through
// open directory descriptors (see ConfinedPaths), so no link in a directory below a root is
// followed and a tree may be deeper than a path text can be long.
class PosixFileServices : public FileServices, public OpenFiles {
  public:
    struct Settings {
        // Whether a copy may be written as an unnamed file and linked into place (where the
        // file system can); off, every copy goes through a named temporary file.
        bool allowUnnamedCopies = true;
    };

    PosixFileServices() : PosixFileServices(Settings()) {}
    explicit PosixFileServices(const Settings& settings)
        : settings_(settings), copier_(std::make_shared<SafeCopier>(settings.allowUnnamedCopies)) {}

    std::unique_ptr<FileServices> ConfinedTo(const std::vector<std::string>& roots) override;
    int LockTree(const std::string& root, bool exclusive, std::unique_ptr<TreeLock>& lock) override;
    int ListFiles(const std::string& dir, const std::string& pattern,
                  std::vector<ListEntry>& out) override;
    int ListNames(const std::string& dir, std::vector<std::string>& out,
                  std::vector<std::string>* stale) override;
    int RemoveStaleTemporary(const std::string& path) override;
    int ListSubdirs(const std::string& dir, std::vector<ListEntry>& out) override;
    bool DirectoryExists(const std::string& path) override;
    bool DirectoryId(const std::string& path, DirIdentity& id) override;
    int StatEntry(const std::string& path, EntryStat& out) override;
    int32_t FileAge(const std::string& path) override;
    int32_t GetAttributes(const std::string& path) override;
    int SetAttributes(const std::string& path, uint32_t attr) override;
    int DeleteFile(const std::string& path) override;
    int CreateDirectories(const std::string& path) override;
    int CreateDirectoriesNoting(const std::string& path, bool& made) override;
    int RemoveDirectory(const std::string& path) override;
    int PrepareCopy(const std::string& source, const std::string& target, bool targetAbsent,
                    std::unique_ptr<PreparedCopy>& out) override;
    int PublishCopy(std::unique_ptr<PreparedCopy> copy, EntryStat& published) override;
    int SetAside(const std::string& path, std::string& asidePath) override;
    int PutBack(const std::string& asidePath, const std::string& path) override;
    bool SeparateFiles(const std::string& a, const EntryStat& aStat, const std::string& b,
                       const EntryStat& bStat) override;
    bool FreeSpace(const std::string& path, int64_t& bytes) override;
    OpenFiles& OpenFileAccess() override { return *this; }
    FileHandle OpenRead(const std::string& path) override;
    FileHandle CreateTemporary(const std::string& target, std::string& tempPath) override;
    bool HandleStat(FileHandle handle, EntryStat& out) override;
    int32_t GetHandleAge(FileHandle handle) override;
    int SetHandleAge(FileHandle handle, int32_t dosDateTime) override;
    int CloseFile(FileHandle handle) override;
    int RenameOver(const std::string& from, const std::string& to) override;
    int CopiesSideBySide(const std::string& dir) override;
    int StageDirectory(const std::string& within, std::string& staged) override;
    int PublishDirectory(const std::string& staged, const std::string& path) override;
    bool ReadsAhead(const std::string& dir) override { return CopiesSideBySide(dir) > 0; }
    void ReadAhead(const std::vector<std::string>& dirs) override;
    void EndReadAhead() override;

  private:
    // Reads the directory's entries, handing each name and type but "." and ".." to `take`,
    // never an entry that a running program holds set aside. Returns 0 or an error code;
    // `readFd` is the directory's descriptor while `take` runs.
    template <typename Take>
    int ReadDirectory(const std::string& dir, Take take);
    // One sorted listing of a directory, the entries `admit` takes by kind and name.
    template <typename Admit>
    int ListDirectory(const std::string& dir, bool files, Admit admit, std::vector<ListEntry>& out);
    // Locates a path; a failure is returned as its Windows code (3 for a missing directory).
    int LocateOrCode(const std::string& path, PathAt& at);
    // Locates a path and reads its own entry's facts (a link is not followed); 0 or a code.
    int LocateAndStat(const std::string& path, PathAt& at, struct stat& st);

    // Whether the directory surely holds no subdirectory, by its link count (its name and its
    // "." alone) on a file system known to count the ".." of each subdirectory in it.
    bool HoldsNoSubdirectory(const std::string& dir);

    // How far the files of a file system can be told apart by their identities alone.
    enum class FsKind { Own, Overlay, View };
    // The kind of the file system holding the entry at the path (whose device is `device`).
    FsKind FsKindOf(const std::string& path, uint64_t device);
    // Whether the overlay holding the entry at `onOverlay` may show files of the directory
    // holding the entry at `other`.
    bool OverlayMayShow(const std::string& onOverlay, const std::string& other);

    Settings settings_;
    ConfinedPaths paths_;
    std::vector<std::string> roots_;  // the run's roots, for an object of one run
    std::shared_ptr<SafeCopier> copier_;
    std::mutex kindsMutex_;
    std::map<uint64_t, FsKind> kinds_;  // by device
    std::map<std::pair<uint64_t, std::pair<uint64_t, uint64_t>>, bool> overlayShows_;
    std::map<uint64_t, bool> countsSubdirLinks_;  // by device, under kindsMutex_
    // The staged directories not yet put in place, by the paths StageDirectory gave.
    std::mutex stagedMutex_;
    std::set<std::string> staged_;
    std::atomic<bool> anyStaged_{false};
    // Reads directories ahead of the walk (made with the first request). Its threads use the
    // members above, so it is declared last: it is destroyed, and its threads end, first.
    std::mutex readAheadMutex_;
    std::unique_ptr<ReadAheadPool> readAhead_;
};

// Whether a file system (its statfs magic) shows only files of its own: the local disk and
// memory file systems, never a network, FUSE or overlay one.
bool ShowsOwnFilesOnly(uint32_t type);

// The facts of an lstat as an entry's facts.
void FillEntryStat(const struct stat& st, EntryStat& out);

// DOS date-time of a time_t in the process's local time zone, clamped to the DOS range.
int32_t DosDateTimeFromUnix(int64_t seconds);

}  // namespace ferrit
