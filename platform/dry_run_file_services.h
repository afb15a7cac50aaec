// File services for a preview: every read goes to the real file system, every write is only
// remembered, and later reads see what the writes would have made. A run through them decides
// and reports exactly as a real run would, and changes nothing.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/file_handles.h"
#include "platform/file_services.h"

namespace ferrit {

// What a preview did at a path: nothing (what the file system holds there stands), made a new
// entry there (a copy or a directory, in place of whatever stood), or removed it.
enum class PreviewMark { Untouched, Made, Removed };

class DryRunFileServices : public FileServices, public OpenFiles {
  public:
    explicit DryRunFileServices(FileServices& inner)
        : inner_(inner), state_(std::make_shared<State>()) {}

    // The run's object remembers into the same state as this one.
    std::unique_ptr<FileServices> ConfinedTo(const std::vector<std::string>& roots) override;
    // A preview reads only: it takes the shared lock, whatever the run would take.
    int LockTree(const std::string& root, bool exclusive, std::unique_ptr<TreeLock>& lock) override;
    int ListFiles(const std::string& dir, const std::string& pattern,
                  std::vector<ListEntry>& out) override;
    int ListNames(const std::string& dir, std::vector<std::string>& out,
                  std::vector<std::string>* stale) override;
    // The leftover goes in what the preview remembers only; the real entry is never touched.
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

    // What the preview did at a path.
    PreviewMark MarkOf(const std::string& path) const;

    // What the run would have done, one line per change, in order ("copy SOURCE -> TARGET",
    // "delete PATH", "mkdir PATH", "rmdir PATH", "attributes PATH 0xNN").
    std::vector<std::string> Changes() const;

  private:
    // What a remembered write left at a path.
    struct Node {
        EntryStat stat;  // kind Missing: the entry is gone
        uint32_t attr = 0;
        bool made = false;  // a directory made by the preview (nothing real below it)
    };

    // The remembered state of a path: the node itself, or Missing when it lies below a
    // directory that is gone or was only made by the preview. Null when nothing is remembered.
    const Node* Remembered(const std::string& path) const;
    // Children of a directory that the preview knows of, by name.
    std::map<std::string, const Node*> RememberedChildren(const std::string& dir) const;
    int StatLocked(const std::string& path, EntryStat& out, uint32_t* attr);
    // The real listing of a directory (`readInner`), unless the preview made it or it is gone,
    // with what the preview remembers of its entries laid over it (`take` adds one).
    template <typename Entry, typename ReadInner, typename Take>
    int Overlaid(const std::string& dir, std::vector<Entry>& out, ReadInner readInner, Take take);
    int CheckCopy(const std::string& source, const std::string& target, Node& copy);
    void Record(const std::string& change);

    // What the preview remembers, shared by the objects of its runs.
    struct State {
        std::mutex mutex;  // copies may be prepared on several threads at once
        std::map<std::string, Node> nodes;
        std::vector<std::string> changes;
        std::map<FileHandle, std::string> temporaries;  // open stand-ins for server-copy files
        std::set<std::string> staleSeen;  // leftovers of killed runs that the real listing named
        EntryStat lastRead;               // the file last opened for reading
        uint64_t nextInode = 1;
        std::map<std::string, std::string> asides;  // set-aside path -> the entry's own path
    };
    class PreviewCopy;

    DryRunFileServices(std::shared_ptr<State> state, std::unique_ptr<FileServices> inner)
        : owned_(std::move(inner)), inner_(*owned_), state_(std::move(state)) {}

    std::unique_ptr<FileServices> owned_;  // the run's inner object
    FileServices& inner_;
    std::shared_ptr<State> state_;
    std::mutex& mutex_ = state_->mutex;
    std::map<std::string, Node>& nodes_ = state_->nodes;
    std::vector<std::string>& changes_ = state_->changes;
    std::map<FileHandle, std::string>& temporaries_ = state_->temporaries;
    std::set<std::string>& staleSeen_ = state_->staleSeen;
    EntryStat& lastRead_ = state_->lastRead;
    uint64_t& nextInode_ = state_->nextInode;
    std::map<std::string, std::string>& asides_ = state_->asides;
};

}  // namespace ferrit
