// A FileServices double that wraps real file services, fails chosen operations with chosen codes
// (always, or on the Nth matching call, optionally only for paths containing a text), can throw
// instead, can run an action just before a chosen call (to stage a race at that very moment),
// and counts the calls of every operation. The object of a run (ConfinedTo) shares all of it.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/file_handles.h"
#include "platform/file_services.h"

namespace ferrit {
namespace testing {

enum class FileOp {
    ConfinedTo,
    LockTree,
    ListFiles,
    ListNames,
    RemoveStaleTemporary,
    ListSubdirs,
    DirectoryExists,
    DirectoryId,
    StatEntry,
    FileAge,
    GetAttributes,
    SetAttributes,
    DeleteFile,
    CreateDirectories,
    RemoveDirectory,
    CopyFile,  // making the copy (PrepareCopy)
    PublishCopy,
    SetAside,
    PutBack,
    SeparateFiles,
    FreeSpace,
    OpenRead,
    CreateTemporary,
    HandleStat,
    GetHandleAge,
    SetHandleAge,
    CloseFile,
    RenameOver,
    StageDirectory,    // its path: the directory it is made in
    PublishDirectory,  // its path: the staged directory
    ReadAhead,         // one call and path for each directory asked
    EndReadAhead,
    Count,
};

// The exception a fault of the throwing kind raises.
struct InjectedFault : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class FaultyFileServices : public FileServices, public OpenFiles {
  public:
    explicit FaultyFileServices(FileServices& inner)
        : inner_(inner), state_(std::make_shared<State>()) {}

    // Makes the operation fail without touching the inner services. The code is what an
    // int-returning operation returns (ListFiles/ListSubdirs return it with an empty listing,
    // FileAge/GetAttributes/GetHandleAge return it as their value); a Boolean operation returns
    // false, a handle operation kInvalidFileHandle. nthCall 0 fails
    // every matching call, N only the Nth matching one. pathContains, when not empty, restricts
    // the fault to calls whose path argument (for CopyFile: either path) contains it; calls without
    // a path never match.
    void Fail(FileOp op, int code, int nthCall = 0, const std::string& pathContains = "");
    // Like Fail, but the matching call throws InjectedFault.
    void Throw(FileOp op, int nthCall = 0, const std::string& pathContains = "");
    // Runs the action (with the call's path) just before the matching call reaches the inner
    // services; nthCall and pathContains as for Fail. The action may use the file system, but not
    // this object.
    void Before(FileOp op, std::function<void(const std::string& path)> action, int nthCall = 0,
                const std::string& pathContains = "");
    void ClearFaults() { faults_.clear(); }

    int Calls(FileOp op) const { return calls_[Index(op)]; }
    // The first path argument of every call of the operation, in order.
    const std::vector<std::string>& Paths(FileOp op) const { return paths_[Index(op)]; }
    // How many calls were made to fail (or throw).
    int Injected() const { return injected_; }
    void ResetCounts();
    // From now on paths are matched and recorded with '/' for '\' on Windows
    // (testing/system.h); the run's object (ConfinedTo) shares this.
    void SlashSeparators() { state_->slashes = true; }
    // From now on the file services answer CopiesSideBySide with `copies` (0: the inner
    // services' answer), and ReadsAhead with true, as on a network volume, for paths holding
    // `under` (any where empty); the run's object shares this.
    void SideBySide(int copies, const std::string& under = "") {
        state_->sideBySide = copies;
        state_->sideBySideUnder = under;
    }

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
    bool ReadsAhead(const std::string& dir) override;
    void ReadAhead(const std::vector<std::string>& dirs) override;
    void EndReadAhead() override;

  private:
    struct Fault {
        FileOp op;
        int code;
        int nthCall;
        std::string pathContains;
        bool throws;
        int matched = 0;
        std::function<void(const std::string&)> before;  // set: an action, not a fault
    };
    static constexpr std::size_t kOps = static_cast<std::size_t>(FileOp::Count);
    struct State {
        std::mutex mutex;  // copies may run on several threads at once
        std::vector<Fault> faults;
        std::array<int, kOps> calls{};
        std::array<std::vector<std::string>, kOps> paths;
        int injected = 0;
        bool slashes = false;
        int sideBySide = 0;
        std::string sideBySideUnder;
    };
    FaultyFileServices(std::shared_ptr<State> state, std::unique_ptr<FileServices> inner)
        : owned_(std::move(inner)), inner_(*owned_), state_(std::move(state)) {}

    static std::size_t Index(FileOp op) { return static_cast<std::size_t>(op); }
    // Whether SideBySide makes the directory's volume answer as a network volume.
    bool RemoteVolume(const std::string& dir) const;
    // Counts the call and runs the actions staged before it; true (with the code) when a fault
    // applies to it. Throws for a throwing fault.
    bool Hit(FileOp op, const std::string* path, int& code, const std::string* second = nullptr);

    std::unique_ptr<FileServices> owned_;  // the run's inner object
    FileServices& inner_;
    std::shared_ptr<State> state_;
    std::mutex& mutex_ = state_->mutex;
    std::vector<Fault>& faults_ = state_->faults;
    std::array<int, kOps>& calls_ = state_->calls;
    std::array<std::vector<std::string>, kOps>& paths_ = state_->paths;
    int& injected_ = state_->injected;
};

}  // namespace testing
}  // namespace ferrit
