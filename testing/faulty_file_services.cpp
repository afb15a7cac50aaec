#include "testing/faulty_file_services.h"

#include "testing/system.h"

namespace ferrit {
namespace testing {

void FaultyFileServices::Fail(FileOp op, int code, int nthCall, const std::string& pathContains) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.push_back(Fault{op, code, nthCall, pathContains, false, 0, {}});
}

void FaultyFileServices::Throw(FileOp op, int nthCall, const std::string& pathContains) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.push_back(Fault{op, 0, nthCall, pathContains, true, 0, {}});
}

void FaultyFileServices::Before(FileOp op, std::function<void(const std::string&)> action,
                                int nthCall, const std::string& pathContains) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.push_back(Fault{op, 0, nthCall, pathContains, false, 0, std::move(action)});
}

void FaultyFileServices::ResetCounts() {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.fill(0);
    for (auto& p : paths_) {
        p.clear();
    }
    injected_ = 0;
}

bool FaultyFileServices::Hit(FileOp op, const std::string* path, int& code,
                             const std::string* second) {
    std::vector<std::function<void(const std::string&)>> actions;
    std::string recorded;
    bool fail = false;
    bool throws = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++calls_[Index(op)];
        const auto spelt = [this](const std::string& p) {
            return state_->slashes ? WithSlashes(p) : p;
        };
        recorded = path != nullptr ? spelt(*path) : std::string();
        const std::string recordedSecond = second != nullptr ? spelt(*second) : std::string();
        if (path != nullptr) {
            paths_[Index(op)].push_back(recorded);
        }
        for (Fault& f : faults_) {
            if (f.op != op || (!f.before && (fail || throws))) {
                continue;
            }
            if (!f.pathContains.empty()) {
                const bool first =
                    path != nullptr && recorded.find(f.pathContains) != std::string::npos;
                const bool other =
                    second != nullptr && recordedSecond.find(f.pathContains) != std::string::npos;
                if (!first && !other) {
                    continue;
                }
            }
            ++f.matched;
            if (f.nthCall != 0 && f.matched != f.nthCall) {
                continue;
            }
            if (f.before) {
                actions.push_back(f.before);
                continue;
            }
            ++injected_;
            throws = f.throws;
            fail = !f.throws;
            code = f.code;
        }
    }
    for (const auto& action : actions) {
        action(path != nullptr ? *path : std::string());
    }
    if (throws) {
        throw InjectedFault("injected fault" + (path ? " at " + recorded : std::string()));
    }
    return fail;
}

std::unique_ptr<FileServices> FaultyFileServices::ConfinedTo(
    const std::vector<std::string>& roots) {
    int code = 0;
    Hit(FileOp::ConfinedTo, nullptr, code);  // the rule itself is never skipped
    return std::unique_ptr<FileServices>(new FaultyFileServices(state_, inner_.ConfinedTo(roots)));
}

int FaultyFileServices::LockTree(const std::string& root, bool exclusive,
                                 std::unique_ptr<TreeLock>& lock) {
    int code = 0;
    if (Hit(FileOp::LockTree, &root, code)) {
        lock.reset();
        return code;
    }
    return inner_.LockTree(root, exclusive, lock);
}

int FaultyFileServices::ListFiles(const std::string& dir, const std::string& pattern,
                                  std::vector<ListEntry>& out) {
    int code = 0;
    if (Hit(FileOp::ListFiles, &dir, code)) {
        out.clear();
        return code;
    }
    return inner_.ListFiles(dir, pattern, out);
}

int FaultyFileServices::ListNames(const std::string& dir, std::vector<std::string>& out,
                                  std::vector<std::string>* stale) {
    int code = 0;
    if (Hit(FileOp::ListNames, &dir, code)) {
        out.clear();
        if (stale != nullptr) {
            stale->clear();
        }
        return code;
    }
    return inner_.ListNames(dir, out, stale);
}

int FaultyFileServices::RemoveStaleTemporary(const std::string& path) {
    int code = 0;
    if (Hit(FileOp::RemoveStaleTemporary, &path, code)) {
        return code;
    }
    return inner_.RemoveStaleTemporary(path);
}

int FaultyFileServices::ListSubdirs(const std::string& dir, std::vector<ListEntry>& out) {
    int code = 0;
    if (Hit(FileOp::ListSubdirs, &dir, code)) {
        out.clear();
        return code;
    }
    return inner_.ListSubdirs(dir, out);
}

bool FaultyFileServices::DirectoryExists(const std::string& path) {
    int code = 0;
    if (Hit(FileOp::DirectoryExists, &path, code)) {
        return false;
    }
    return inner_.DirectoryExists(path);
}

bool FaultyFileServices::DirectoryId(const std::string& path, DirIdentity& id) {
    int code = 0;
    if (Hit(FileOp::DirectoryId, &path, code)) {
        return false;
    }
    return inner_.DirectoryId(path, id);
}

int FaultyFileServices::StatEntry(const std::string& path, EntryStat& out) {
    int code = 0;
    if (Hit(FileOp::StatEntry, &path, code)) {
        out = EntryStat();
        return code;
    }
    return inner_.StatEntry(path, out);
}

int32_t FaultyFileServices::FileAge(const std::string& path) {
    int code = 0;
    if (Hit(FileOp::FileAge, &path, code)) {
        return code;
    }
    return inner_.FileAge(path);
}

int32_t FaultyFileServices::GetAttributes(const std::string& path) {
    int code = 0;
    if (Hit(FileOp::GetAttributes, &path, code)) {
        return code;
    }
    return inner_.GetAttributes(path);
}

int FaultyFileServices::SetAttributes(const std::string& path, uint32_t attr) {
    int code = 0;
    if (Hit(FileOp::SetAttributes, &path, code)) {
        return code;
    }
    return inner_.SetAttributes(path, attr);
}

int FaultyFileServices::DeleteFile(const std::string& path) {
    int code = 0;
    if (Hit(FileOp::DeleteFile, &path, code)) {
        return code;
    }
    return inner_.DeleteFile(path);
}

int FaultyFileServices::CreateDirectories(const std::string& path) {
    int code = 0;
    if (Hit(FileOp::CreateDirectories, &path, code)) {
        return code;
    }
    return inner_.CreateDirectories(path);
}

int FaultyFileServices::CreateDirectoriesNoting(const std::string& path, bool& made) {
    made = false;
    int code = 0;
    if (Hit(FileOp::CreateDirectories, &path, code)) {
        return code;
    }
    return inner_.CreateDirectoriesNoting(path, made);
}

bool FaultyFileServices::RemoteVolume(const std::string& dir) const {
    const std::string spelt = state_->slashes ? WithSlashes(dir) : dir;
    return state_->sideBySide > 0 && spelt.find(state_->sideBySideUnder) != std::string::npos;
}

int FaultyFileServices::CopiesSideBySide(const std::string& dir) {
    return RemoteVolume(dir) ? state_->sideBySide : inner_.CopiesSideBySide(dir);
}

bool FaultyFileServices::ReadsAhead(const std::string& dir) {
    return RemoteVolume(dir) || inner_.ReadsAhead(dir);
}

void FaultyFileServices::ReadAhead(const std::vector<std::string>& dirs) {
    for (const std::string& dir : dirs) {
        int code = 0;
        Hit(FileOp::ReadAhead, &dir, code);
    }
    inner_.ReadAhead(dirs);
}

void FaultyFileServices::EndReadAhead() {
    int code = 0;
    Hit(FileOp::EndReadAhead, nullptr, code);
    inner_.EndReadAhead();
}

int FaultyFileServices::StageDirectory(const std::string& within, std::string& staged) {
    int code = 0;
    if (Hit(FileOp::StageDirectory, &within, code)) {
        staged.clear();
        return code;
    }
    return inner_.StageDirectory(within, staged);
}

int FaultyFileServices::PublishDirectory(const std::string& staged, const std::string& path) {
    int code = 0;
    if (Hit(FileOp::PublishDirectory, &staged, code, &path)) {
        return code;
    }
    return inner_.PublishDirectory(staged, path);
}

int FaultyFileServices::RemoveDirectory(const std::string& path) {
    int code = 0;
    if (Hit(FileOp::RemoveDirectory, &path, code)) {
        return code;
    }
    return inner_.RemoveDirectory(path);
}

int FaultyFileServices::PrepareCopy(const std::string& source, const std::string& target,
                                    bool targetAbsent, std::unique_ptr<PreparedCopy>& out) {
    int code = 0;
    if (Hit(FileOp::CopyFile, &source, code, &target)) {
        out.reset();
        return code;
    }
    return inner_.PrepareCopy(source, target, targetAbsent, out);
}

int FaultyFileServices::PublishCopy(std::unique_ptr<PreparedCopy> copy, EntryStat& published) {
    int code = 0;
    const std::string target = copy ? copy->target : std::string();
    if (Hit(FileOp::PublishCopy, &target, code)) {
        published = EntryStat();
        return code;  // the copy is dropped, and removed with it
    }
    return inner_.PublishCopy(std::move(copy), published);
}

int FaultyFileServices::SetAside(const std::string& path, std::string& asidePath) {
    int code = 0;
    if (Hit(FileOp::SetAside, &path, code)) {
        asidePath.clear();
        return code;
    }
    return inner_.SetAside(path, asidePath);
}

int FaultyFileServices::PutBack(const std::string& asidePath, const std::string& path) {
    int code = 0;
    if (Hit(FileOp::PutBack, &path, code, &asidePath)) {
        return code;
    }
    return inner_.PutBack(asidePath, path);
}

bool FaultyFileServices::SeparateFiles(const std::string& a, const EntryStat& aStat,
                                       const std::string& b, const EntryStat& bStat) {
    int code = 0;
    if (Hit(FileOp::SeparateFiles, &a, code, &b)) {
        return false;
    }
    return inner_.SeparateFiles(a, aStat, b, bStat);
}

bool FaultyFileServices::FreeSpace(const std::string& path, int64_t& bytes) {
    int code = 0;
    if (Hit(FileOp::FreeSpace, &path, code)) {
        return false;
    }
    return inner_.FreeSpace(path, bytes);
}

FileHandle FaultyFileServices::OpenRead(const std::string& path) {
    int code = 0;
    if (Hit(FileOp::OpenRead, &path, code)) {
        return kInvalidFileHandle;
    }
    return inner_.OpenFileAccess().OpenRead(path);
}

FileHandle FaultyFileServices::CreateTemporary(const std::string& target, std::string& tempPath) {
    int code = 0;
    if (Hit(FileOp::CreateTemporary, &target, code)) {
        tempPath.clear();
        return kInvalidFileHandle;
    }
    return inner_.OpenFileAccess().CreateTemporary(target, tempPath);
}

bool FaultyFileServices::HandleStat(FileHandle handle, EntryStat& out) {
    int code = 0;
    if (Hit(FileOp::HandleStat, nullptr, code)) {
        return false;
    }
    return inner_.OpenFileAccess().HandleStat(handle, out);
}

int32_t FaultyFileServices::GetHandleAge(FileHandle handle) {
    int code = 0;
    if (Hit(FileOp::GetHandleAge, nullptr, code)) {
        return code;
    }
    return inner_.OpenFileAccess().GetHandleAge(handle);
}

int FaultyFileServices::SetHandleAge(FileHandle handle, int32_t dosDateTime) {
    int code = 0;
    if (Hit(FileOp::SetHandleAge, nullptr, code)) {
        return code;
    }
    return inner_.OpenFileAccess().SetHandleAge(handle, dosDateTime);
}

int FaultyFileServices::CloseFile(FileHandle handle) {
    int code = 0;
    const bool fail = Hit(FileOp::CloseFile, nullptr, code);
    const int rc = inner_.OpenFileAccess().CloseFile(handle);  // a handle is always released
    return fail ? code : rc;
}

int FaultyFileServices::RenameOver(const std::string& from, const std::string& to) {
    int code = 0;
    if (Hit(FileOp::RenameOver, &from, code, &to)) {
        return code;
    }
    return inner_.OpenFileAccess().RenameOver(from, to);
}

}  // namespace testing
}  // namespace ferrit
