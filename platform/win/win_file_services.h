// The Windows file services: native calls on wide-character paths, UTF-8 inside the program,
// Windows error numbers as the system gives them. This header includes no system header, so
// the A/W macros of <windows.h> never rename the methods declared here.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/file_handles.h"
#include "platform/file_services.h"

namespace ferrit {

namespace win {
class WinConfinedPaths;
}

// Every operation on a path below the confined roots opens its directories relative to their
// parents' handles, refusing reparse points (links, junctions), so nothing is written, deleted
// or listed through a link. Listings come whole from the directory's handle, with each entry's
// file id, so an entry's identity (volume serial and file id) costs no open of its own.
// Thread rule: PrepareCopy may run on several copy workers at once, beside the walk's calls.
class WinFileServices : public FileServices, public OpenFiles {
  public:
    WinFileServices();
    ~WinFileServices() override;

    std::unique_ptr<FileServices> ConfinedTo(const std::vector<std::string>& roots) override;
    // Not here: Windows has no advisory lock on a directory (50).
    int LockTree(const std::string& root, bool exclusive, std::unique_ptr<TreeLock>& lock) override;
    int ListFiles(const std::string& dir, const std::string& pattern,
                  std::vector<ListEntry>& out) override;
    // No copy of this program on Windows is ever named stale yet: the mark that tells an
    // unfinished copy from a user's file of the same name is not made here, so nothing is swept.
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

  private:
    // One listing of a directory: every entry but "." and "..", as `admit` takes it. Sorted by
    // name when `sorted`.
    template <typename Admit>
    int List(const std::string& dir, bool sorted, Admit admit, std::vector<ListEntry>& out);
    // Gives the entry `from` the name `to` in one step; what stands at `to` is replaced only
    // when `replace` (a link is replaced, never followed).
    int RenameEntry(const std::string& from, const std::string& to, bool replace);
    // Takes the kept handle of an unfinished temporary out of `unfinished_`; null for any
    // other path.
    void* TakeUnfinished(const std::string& tempPath);

    std::unique_ptr<win::WinConfinedPaths> paths_;
    // The temporaries made by CreateTemporary that go with their handle until RenameOver puts
    // them in place: a second handle to each, by the path given to the caller, so the caller
    // may close its own. What is still here when these services end goes with its handle.
    std::mutex unfinishedLock_;
    std::map<std::string, void*> unfinished_;
    // The staged directories not yet put in place, by their absolute paths: a copy prepared
    // into one is made under its own name.
    std::mutex stagedLock_;
    std::set<std::wstring> staged_;
    std::atomic<bool> anyStaged_{false};
};

}  // namespace ferrit
