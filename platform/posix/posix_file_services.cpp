#include "platform/posix/posix_file_services.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include "platform/error_codes.h"
#include "platform/posix/dos_attributes.h"
#include "platform/posix/mount_info.h"
#include "platform/set_aside.h"
#include "platform/temporary_names.h"
#include "support/strings.h"

namespace ferrit {

namespace {

EntryKind KindOf(mode_t mode) {
    if (S_ISREG(mode))
        return EntryKind::File;
    if (S_ISLNK(mode))
        return EntryKind::Link;
    if (S_ISDIR(mode))
        return EntryKind::Directory;
    if (S_ISFIFO(mode))
        return EntryKind::Fifo;
    if (S_ISSOCK(mode))
        return EntryKind::Socket;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return EntryKind::Device;
    return EntryKind::Other;
}

// The kind of a FIFO, socket or device as the directory read gives it; Missing for any other
// type, which takes a look at the entry.
EntryKind SpecialKindOf(unsigned char type) {
    switch (type) {
        case DT_FIFO:
            return EntryKind::Fifo;
        case DT_SOCK:
            return EntryKind::Socket;
        case DT_CHR:
        case DT_BLK:
            return EntryKind::Device;
        default:
            return EntryKind::Missing;
    }
}

}  // namespace

void FillEntryStat(const struct stat& st, EntryStat& out) {
    out.kind = KindOf(st.st_mode);
    out.device = static_cast<uint64_t>(st.st_dev);
    out.inode = static_cast<uint64_t>(st.st_ino);
    out.size = static_cast<int64_t>(st.st_size);
    out.mtimeSec = static_cast<int64_t>(st.st_mtim.tv_sec);
    out.mtimeNsec = static_cast<int32_t>(st.st_mtim.tv_nsec);
    out.age = S_ISDIR(st.st_mode) ? -1 : DosDateTimeFromUnix(st.st_mtim.tv_sec);
}

namespace {

// Renames an entry within or between directories without ever replacing what stands at the new
// name (EEXIST). Where the file system cannot refuse by itself, a hard link does it (a link
// never replaces); where it has neither, nothing is renamed (EOPNOTSUPP).
int RenameKeeping(int fromDir, const char* from, int toDir, const char* to) {
    if (renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return -1;
    if (linkat(fromDir, from, toDir, to, 0) != 0) {
        if (errno != EEXIST && errno != ENOENT)
            errno = EOPNOTSUPP;
        return -1;
    }
    // The old name is one the program reserved: nobody else has put anything there.
    if (unlinkat(fromDir, from, 0) != 0) {
        const int err = errno;
        unlinkat(toDir, to, 0);
        errno = err;
        return -1;
    }
    return 0;
}

// Renames without replacing anything that stands at the new name (183). A file system that
// cannot rename so (sshfs) is looked at first: what could take the name in the moment between
// is lost only where a rename replaces it, which a directory renamed replaces only when empty
// and a reserved name never meets. Returns 0 or a Windows code.
int RenameUnlessTaken(int fromDir, const char* from, int toDir, const char* to) {
    if (renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return WinErrorFromErrno(errno);
    struct stat st;
    if (fstatat(toDir, to, &st, AT_SYMLINK_NOFOLLOW) == 0)
        return WinErr::AlreadyExists;
    if (errno != ENOENT)
        return WinErrorFromErrno(errno);
    if (renameat(fromDir, from, toDir, to) != 0)
        return WinErrorFromErrno(errno);
    return 0;
}

// The path of a name made beside the entry at `path`.
std::string Beside(const std::string& path, const std::string& name) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? name : path.substr(0, slash + 1) + name;
}

// A held flock on a directory.
class FlockLock : public TreeLock {
  public:
    explicit FlockLock(UniqueFd fd) : fd_(std::move(fd)) {}

  private:
    UniqueFd fd_;
};

}  // namespace

// File systems (by their statfs magic) that show only files of their own: two entries on them
// whose identities differ are two files. They are the local disk and memory file systems.
bool ShowsOwnFilesOnly(uint32_t type) {
    static const uint32_t kTypes[] = {
        0xEF53,      // ext2, ext3, ext4
        0x58465342,  // xfs
        0x9123683E,  // btrfs
        0x01021994,  // tmpfs
        0x858458F6,  // ramfs
        0xF2F52010,  // f2fs
        0x4D44,      // vfat, msdos
        0x2011BAB0,  // exfat
        0x5346544E,  // ntfs, ntfs3
        0x3153464A,  // jfs
        0x52654973,  // reiserfs
        0x482B,      // hfsplus
        0x2FC12FC1,  // zfs
        0xCA451A4E,  // bcachefs
        0x3434,      // nilfs2
        0x15013346,  // udf
        0x9660,      // iso9660
        0x73717368,  // squashfs
    };
    for (uint32_t t : kTypes) {
        if (t == type)
            return true;
    }
    return false;
}

namespace {

constexpr uint32_t kOverlayMagic = 0x794C7630;

}  // namespace

int32_t DosDateTimeFromUnix(int64_t seconds) {
    constexpr int32_t kFirst = (1 << 5 | 1) << 16;  // 1980-01-01 00:00:00
    constexpr uint32_t kLast =
        ((127u << 9 | 12u << 5 | 31u) << 16) | (23u << 11 | 59u << 5 | 29u);  // 2107-12-31 23:59:58
    struct tm tm;
    time_t t = static_cast<time_t>(seconds);
    if (localtime_r(&t, &tm) == nullptr) {
        return seconds < 0 ? kFirst : static_cast<int32_t>(kLast);
    }
    int year = tm.tm_year + 1900;
    if (year < 1980)
        return kFirst;
    if (year > 2107)
        return static_cast<int32_t>(kLast);
    uint32_t date = static_cast<uint32_t>((year - 1980) << 9 | (tm.tm_mon + 1) << 5 | tm.tm_mday);
    int sec = tm.tm_sec > 59 ? 59 : tm.tm_sec;  // a leap second packs as the second before
    uint32_t time = static_cast<uint32_t>(tm.tm_hour << 11 | tm.tm_min << 5 | sec / 2);
    return static_cast<int32_t>(date << 16 | time);
}

// The descriptors a run may hold at once, about: every made copy waiting for its turn keeps one
// open, besides the directories resolved.
static constexpr rlim_t kRunDescriptors = 1024;

// The kernel grows the descriptor table by doubling, and while other threads share it each
// growth waits for a grace period (milliseconds), during which every thread that opens a file
// waits too. Grown once, it stays grown; the limit on open files is left as it is.
void ReserveRunDescriptors() {
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur < 2) {
        return;
    }
    const rlim_t highest = std::min(kRunDescriptors, limit.rlim_cur) - 1;
    const int probe = open("/", O_PATH | O_CLOEXEC);
    if (probe < 0) {
        return;
    }
    const int high = fcntl(probe, F_DUPFD_CLOEXEC, static_cast<int>(highest));
    if (high >= 0) {
        close(high);
    }
    close(probe);
}

std::unique_ptr<FileServices> PosixFileServices::ConfinedTo(const std::vector<std::string>& roots) {
    ReserveRunDescriptors();  // before the run's workers start
    auto run = std::make_unique<PosixFileServices>(settings_);
    run->copier_ = copier_;  // what was learned about unnamed copies holds for every run
    run->paths_.SetRoots(roots);
    run->roots_ = roots;
    return run;
}

int PosixFileServices::LockTree(const std::string& root, bool exclusive,
                                std::unique_ptr<TreeLock>& lock) {
    lock.reset();
    SharedFd at;
    if (const SystemError err = paths_.OpenDirectory(root, at))
        return err.WindowsCode();
    UniqueFd fd(openat(at.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.Valid())
        return WinErrorFromErrno(errno);
    while (flock(fd.Get(), (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        return errno == EWOULDBLOCK ? WinErr::SharingViolation : WinErrorFromErrno(errno);
    }
    lock = std::make_unique<FlockLock>(std::move(fd));
    return 0;
}

int PosixFileServices::LocateOrCode(const std::string& path, PathAt& at) {
    if (path.empty())
        return WinErr::PathNotFound;
    return paths_.Locate(path, at).WindowsCode();
}

template <typename Take>
int PosixFileServices::ReadDirectory(const std::string& dir, Take take) {
    SharedFd at;
    if (const SystemError err = paths_.OpenDirectory(dir.empty() ? std::string(".") : dir, at))
        return err.WindowsCode();
    const int readFd = openat(at.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (readFd < 0)
        return WinErrorFromErrno(errno);
    DIR* d = fdopendir(readFd);
    int err = 0;
    if (!d) {
        err = errno;
        close(readFd);
        return WinErrorFromErrno(err);
    }
    for (;;) {
        errno = 0;
        struct dirent* e = readdir(d);
        if (!e) {
            err = errno;
            break;
        }
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        // An entry a running program holds set aside is out of every other program's way.
        std::string original;
        if (e->d_type != DT_DIR && ClassifyAsideName(e->d_name, original) == AsideLeftover::InUse)
            continue;
        take(readFd, e->d_type, e->d_name);
    }
    closedir(d);
    return err == 0 ? 0 : WinErrorFromErrno(err);
}

// One sorted listing of a directory: the entries the filter admits by their kind (a link is
// never followed), never the program's temporary files. The size is taken for files. A listing
// of files holds the FIFOs, sockets and devices too, by their kind alone.
template <typename Admit>
int PosixFileServices::ListDirectory(const std::string& dir, bool files, Admit admit,
                                     std::vector<ListEntry>& out) {
    out.clear();
    const int rc = ReadDirectory(dir, [&](int readFd, unsigned char type, const char* name) {
        // What a killed move left set aside is listed under its own name, to be put back.
        std::string original;
        const bool leftover =
            files && type != DT_DIR && ClassifyAsideName(name, original) == AsideLeftover::PutBack;
        const char* listed = leftover ? original.c_str() : name;
        if (IsTemporaryName(name) || !admit(type, listed))
            return;
        ListEntry entry;
        entry.name = listed;
        if (leftover) {
            entry.setAside = name;
        }
        // A special entry is named with the kind its directory gives: no look at it is needed.
        entry.kind = files ? SpecialKindOf(type) : EntryKind::Missing;
        if (entry.kind == EntryKind::Missing) {
            struct stat st;
            if (fstatat(readFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                return;  // gone meanwhile
            const EntryKind kind = KindOf(st.st_mode);
            const bool wanted =
                files ? kind == EntryKind::File || kind == EntryKind::Link || IsSpecialKind(kind)
                      : kind == EntryKind::Directory;
            if (!wanted)
                return;
            FillEntryStat(st, entry);
            entry.size = kind == EntryKind::File || kind == EntryKind::Link
                             ? static_cast<int64_t>(st.st_size)
                             : 0;
            // The walk needs the whole attribute word of few files (the archive-bit options):
            // they read it when they need it.
            entry.attr = IsSpecialKind(kind) ? 0 : ModeAttributes(st);
            entry.attrUnread = !IsSpecialKind(kind);
        }
        out.push_back(std::move(entry));
    });
    if (rc != 0) {
        out.clear();
        return rc;
    }
    SettleSetAside(out);
    return 0;
}

int PosixFileServices::ListNames(const std::string& dir, std::vector<std::string>& out,
                                 std::vector<std::string>* stale) {
    out.clear();
    if (stale != nullptr)
        stale->clear();
    const int rc = ReadDirectory(dir, [&](int readFd, unsigned char type, const char* name) {
        out.emplace_back(name);
        // Only the names of temporaries are looked at, and only where a leftover is asked for.
        struct stat st;
        if (stale != nullptr && (type == DT_REG || type == DT_UNKNOWN) && IsTemporaryName(name) &&
            fstatat(readFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && IsStaleTemporary(name, st)) {
            stale->emplace_back(name);
        }
    });
    if (rc != 0) {
        out.clear();
        if (stale != nullptr)
            stale->clear();
    }
    return rc;
}

int PosixFileServices::RemoveStaleTemporary(const std::string& path) {
    PathAt at;
    struct stat st;
    if (const int rc = LocateAndStat(path, at, st))
        return rc;
    if (!IsStaleTemporary(at.name.c_str(), st))
        return WinErr::AccessDenied;
    if (unlinkat(at.Dir(), at.name.c_str(), 0) != 0)
        return WinErrorFromErrno(errno);
    return 0;
}

int PosixFileServices::ListFiles(const std::string& dir, const std::string& pattern,
                                 std::vector<ListEntry>& out) {
    return ListDirectory(
        dir, true,
        [&pattern](unsigned char type, const char* name) {
            return type != DT_DIR && MatchPattern(pattern, name);
        },
        out);
}

int PosixFileServices::ListSubdirs(const std::string& dir, std::vector<ListEntry>& out) {
    // Most directories of a tree hold files only: where the link count says so, no second read.
    if (HoldsNoSubdirectory(dir)) {
        out.clear();
        return 0;
    }
    return ListDirectory(
        dir, false,
        [](unsigned char type, const char*) { return type == DT_DIR || type == DT_UNKNOWN; }, out);
}

bool PosixFileServices::HoldsNoSubdirectory(const std::string& dir) {
    SharedFd at;
    struct stat st;
    if (paths_.OpenDirectory(dir.empty() ? std::string(".") : dir, at) ||
        fstat(at.Get(), &st) != 0 || st.st_nlink != 2) {
        return false;
    }
    const uint64_t device = static_cast<uint64_t>(st.st_dev);
    {
        std::lock_guard<std::mutex> lock(kindsMutex_);
        const auto known = countsSubdirLinks_.find(device);
        if (known != countsSubdirLinks_.end())
            return known->second;
    }
    // Others (btrfs, network and FUSE file systems among them) give a directory a link count
    // that says nothing certain about its subdirectories.
    struct statfs fs;
    if (fstatfs(at.Get(), &fs) != 0)
        return false;
    const uint32_t type = static_cast<uint32_t>(fs.f_type);
    const bool counts = type == 0xEF53 || type == 0x58465342 || type == 0x01021994;
    std::lock_guard<std::mutex> lock(kindsMutex_);
    countsSubdirLinks_[device] = counts;  // ext2 to ext4, xfs, tmpfs
    return counts;
}

bool PosixFileServices::DirectoryExists(const std::string& path) {
    SharedFd fd;
    return !path.empty() && !paths_.OpenDirectory(path, fd);
}

bool PosixFileServices::DirectoryId(const std::string& path, DirIdentity& id) {
    SharedFd fd;
    struct stat st;
    if (path.empty() || paths_.OpenDirectory(path, fd) || fstat(fd.Get(), &st) != 0)
        return false;
    id.device = static_cast<uint64_t>(st.st_dev);
    id.inode = static_cast<uint64_t>(st.st_ino);
    return true;
}

int PosixFileServices::LocateAndStat(const std::string& path, PathAt& at, struct stat& st) {
    if (const int rc = LocateOrCode(path, at))
        return rc;
    if (fstatat(at.Dir(), at.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return WinErrorFromErrno(errno);
    return 0;
}

int PosixFileServices::StatEntry(const std::string& path, EntryStat& out) {
    out = EntryStat();
    PathAt at;
    struct stat st;
    if (const int rc = LocateAndStat(path, at, st))
        return rc;
    FillEntryStat(st, out);
    return 0;
}

int32_t PosixFileServices::FileAge(const std::string& path) {
    EntryStat st;
    return StatEntry(path, st) == 0 ? st.age : -1;
}

int32_t PosixFileServices::GetAttributes(const std::string& path) {
    PathAt at;
    struct stat st;
    if (LocateAndStat(path, at, st) != 0)
        return -1;
    return static_cast<int32_t>(DosAttributesOf(EntryAt{at.Dir(), at.name.c_str()}, st));
}

int PosixFileServices::SetAttributes(const std::string& path, uint32_t attr) {
    PathAt at;
    if (const int rc = LocateOrCode(path, at))
        return rc;
    return SetDosAttributes(EntryAt{at.Dir(), at.name.c_str()}, attr);
}

int PosixFileServices::DeleteFile(const std::string& path) {
    PathAt at;
    if (const int rc = LocateOrCode(path, at))
        return rc;
    if (unlinkat(at.Dir(), at.name.c_str(), 0) != 0)
        return WinErrorFromErrno(errno);
    return 0;
}

int PosixFileServices::CreateDirectories(const std::string& path) {
    bool made = false;
    return CreateDirectoriesNoting(path, made);
}

int PosixFileServices::CreateDirectoriesNoting(const std::string& path, bool& made) {
    made = false;
    if (path.empty())
        return WinErr::PathNotFound;
    return paths_.MakeDirectories(path, &made).WindowsCode();
}

int PosixFileServices::RemoveDirectory(const std::string& path) {
    PathAt at;
    if (const int rc = LocateOrCode(path, at))
        return rc;
    if (unlinkat(at.Dir(), at.name.c_str(), AT_REMOVEDIR) != 0) {
        if (errno == EEXIST)
            return WinErr::DirNotEmpty;  // the older spelling of ENOTEMPTY
        return WinErrorFromErrno(errno);
    }
    paths_.Forget(path);
    if (anyStaged_.load(std::memory_order_acquire)) {
        std::lock_guard<std::mutex> lock(stagedMutex_);
        staged_.erase(path);  // a staged directory removed unpublished
    }
    return 0;
}

int PosixFileServices::PrepareCopy(const std::string& source, const std::string& target,
                                   bool targetAbsent, std::unique_ptr<PreparedCopy>& out) {
    out.reset();
    PathAt from, to;
    if (const int rc = LocateOrCode(source, from))
        return rc;
    if (const int rc = LocateOrCode(target, to))
        return rc;
    bool inPlace = false;
    if (anyStaged_.load(std::memory_order_acquire)) {
        const size_t slash = target.find_last_of('/');
        std::lock_guard<std::mutex> lock(stagedMutex_);
        inPlace = slash != std::string::npos && staged_.count(target.substr(0, slash)) != 0;
    }
    const int rc = copier_->Prepare(from, std::move(to), targetAbsent, out, inPlace);
    if (out)
        out->target = target;
    return rc;
}

int PosixFileServices::PublishCopy(std::unique_ptr<PreparedCopy> copy, EntryStat& published) {
    return SafeCopier::Publish(std::move(copy), published);
}

int PosixFileServices::StageDirectory(const std::string& within, std::string& staged) {
    staged.clear();
    SharedFd dir;
    if (within.empty())
        return WinErr::PathNotFound;
    if (const SystemError err = paths_.OpenDirectory(within, dir))
        return err.WindowsCode();
    std::string name;
    for (int attempt = 0;; ++attempt) {
        name = NewTemporaryName();
        if (mkdirat(dir.Get(), name.c_str(), 0777) == 0)
            break;
        if (errno != EEXIST || attempt == 100)
            return WinErrorFromErrno(errno);
    }
    staged = JoinPath(within, name);
    std::lock_guard<std::mutex> lock(stagedMutex_);
    staged_.insert(staged);
    anyStaged_.store(true, std::memory_order_release);
    return 0;
}

int PosixFileServices::PublishDirectory(const std::string& staged, const std::string& path) {
    PathAt from, to;
    if (const int rc = LocateOrCode(staged, from))
        return rc;
    if (const int rc = LocateOrCode(path, to))
        return rc;
    if (const int rc = RenameUnlessTaken(from.Dir(), from.name.c_str(), to.Dir(), to.name.c_str()))
        return rc;
    paths_.Forget(staged);
    std::lock_guard<std::mutex> lock(stagedMutex_);
    staged_.erase(staged);
    return 0;
}

int PosixFileServices::SetAside(const std::string& path, std::string& asidePath) {
    asidePath.clear();
    PathAt at;
    if (const int rc = LocateOrCode(path, at))
        return rc;
    const std::string aside = AsideName(at.name);
    if (const int rc = RenameUnlessTaken(at.Dir(), at.name.c_str(), at.Dir(), aside.c_str()))
        return rc;
    asidePath = Beside(path, aside);
    return 0;
}

int PosixFileServices::PutBack(const std::string& asidePath, const std::string& path) {
    PathAt from, to;
    if (const int rc = LocateOrCode(asidePath, from))
        return rc;
    if (const int rc = LocateOrCode(path, to))
        return rc;
    if (RenameKeeping(from.Dir(), from.name.c_str(), to.Dir(), to.name.c_str()) != 0)
        return WinErrorFromErrno(errno);
    return 0;
}

PosixFileServices::FsKind PosixFileServices::FsKindOf(const std::string& path, uint64_t device) {
    {
        std::lock_guard<std::mutex> lock(kindsMutex_);
        const auto it = kinds_.find(device);
        if (it != kinds_.end())
            return it->second;
    }
    FsKind kind = FsKind::View;
    PathAt at;
    struct statfs fs;
    if (LocateOrCode(path, at) == 0) {
        UniqueFd entry(openat(at.Dir(), at.name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (entry.Valid() && fstatfs(entry.Get(), &fs) == 0) {
            const uint32_t type = static_cast<uint32_t>(fs.f_type);
            kind = ShowsOwnFilesOnly(type) ? FsKind::Own
                   : type == kOverlayMagic ? FsKind::Overlay
                                           : FsKind::View;
            std::lock_guard<std::mutex> lock(kindsMutex_);
            kinds_[device] = kind;
        }
    }
    return kind;
}

bool PosixFileServices::OverlayMayShow(const std::string& onOverlay, const std::string& other) {
    PathAt ov, ot;
    struct stat ovDir, otDir;
    if (LocateOrCode(onOverlay, ov) != 0 || LocateOrCode(other, ot) != 0 ||
        fstat(ov.Dir(), &ovDir) != 0 || fstat(ot.Dir(), &otDir) != 0)
        return true;
    // An overlay's directories carry the overlay's own device, which names its mount.
    const auto key = std::make_pair(
        static_cast<uint64_t>(ovDir.st_dev),
        std::make_pair(static_cast<uint64_t>(otDir.st_dev), static_cast<uint64_t>(otDir.st_ino)));
    if (otDir.st_dev == ovDir.st_dev)
        return false;  // both in the one overlay, which shows each file once
    {
        std::lock_guard<std::mutex> lock(kindsMutex_);
        const auto it = overlayShows_.find(key);
        if (it != overlayShows_.end())
            return it->second;
    }
    bool shows = true;
    const std::vector<std::string> layers =
        OverlayLayersOf(major(ovDir.st_dev), minor(ovDir.st_dev));
    std::vector<DirIdentity> ids;
    for (const std::string& layer : layers) {
        struct stat st;
        if (stat(layer.c_str(), &st) != 0) {
            ids.clear();
            break;
        }
        ids.push_back(
            DirIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)});
    }
    if (!ids.empty()) {
        // The other entry's directory and every directory above it: one of them a layer, and
        // the overlay may show the entry.
        shows = false;
        UniqueFd dir(openat(ot.Dir(), ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
        DirIdentity here{static_cast<uint64_t>(otDir.st_dev), static_cast<uint64_t>(otDir.st_ino)};
        for (int level = 0; level < 4096; ++level) {
            if (std::find(ids.begin(), ids.end(), here) != ids.end()) {
                shows = true;
                break;
            }
            UniqueFd up(dir.Valid() ? openat(dir.Get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC)
                                    : -1);
            struct stat st;
            if (!up.Valid() || fstat(up.Get(), &st) != 0) {
                shows = true;  // the way up is not known: no proof
                break;
            }
            const DirIdentity parent{static_cast<uint64_t>(st.st_dev),
                                     static_cast<uint64_t>(st.st_ino)};
            if (parent == here)
                break;  // the root
            here = parent;
            dir = std::move(up);
        }
    }
    std::lock_guard<std::mutex> lock(kindsMutex_);
    overlayShows_[key] = shows;
    return shows;
}

bool PosixFileServices::SeparateFiles(const std::string& a, const EntryStat& aStat,
                                      const std::string& b, const EntryStat& bStat) {
    if (aStat.kind == EntryKind::Missing || bStat.kind == EntryKind::Missing ||
        aStat.SameEntryAs(bStat))
        return false;
    const FsKind ka = FsKindOf(a, aStat.device);
    const FsKind kb = FsKindOf(b, bStat.device);
    if (ka == FsKind::View || kb == FsKind::View)
        return false;
    // One file system (or one overlay) shows each of its files under one identity.
    if (aStat.device == bStat.device)
        return true;
    if (ka == FsKind::Overlay && OverlayMayShow(a, b))
        return false;
    if (kb == FsKind::Overlay && OverlayMayShow(b, a))
        return false;
    return true;
}

bool PosixFileServices::FreeSpace(const std::string& path, int64_t& bytes) {
    if (path.empty() || path[0] != '/' || !DirectoryExists(path))
        return false;
    struct statvfs vfs;
    if (statvfs(path.c_str(), &vfs) != 0)
        return false;
    unsigned long long total = static_cast<unsigned long long>(vfs.f_bavail) *
                               static_cast<unsigned long long>(vfs.f_frsize);
    bytes = total > static_cast<unsigned long long>(INT64_MAX) ? INT64_MAX
                                                               : static_cast<int64_t>(total);
    return true;
}

FileHandle PosixFileServices::OpenRead(const std::string& path) {
    // POSIX has no mandatory deny-write sharing; other writers are not kept out. A FIFO or
    // device opens without waiting and is refused unread; a link is never followed.
    PathAt at;
    if (LocateOrCode(path, at) != 0)
        return kInvalidFileHandle;
    UniqueFd fd(openat(at.Dir(), at.name.c_str(),
                       O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK));
    struct stat st;
    if (!fd.Valid() || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return kInvalidFileHandle;
    fcntl(fd.Get(), F_SETFL, 0);
    return static_cast<FileHandle>(fd.Release());
}

FileHandle PosixFileServices::CreateTemporary(const std::string& target, std::string& tempPath) {
    tempPath.clear();
    PathAt at;
    if (LocateOrCode(target, at) != 0)
        return kInvalidFileHandle;
    std::string name;
    const int fd = SafeCopier::CreateNamedTemporary(at.Dir(), name, O_RDWR, kUnfinishedMode);
    if (fd < 0)
        return kInvalidFileHandle;
    tempPath = at.dirText == "/" ? "/" + name : at.dirText + "/" + name;
    return static_cast<FileHandle>(fd);
}

bool PosixFileServices::HandleStat(FileHandle handle, EntryStat& out) {
    struct stat st;
    if (static_cast<intptr_t>(handle) < 0 || fstat(static_cast<int>(handle), &st) != 0)
        return false;
    FillEntryStat(st, out);
    return true;
}

int32_t PosixFileServices::GetHandleAge(FileHandle handle) {
    EntryStat st;
    return HandleStat(handle, st) ? DosDateTimeFromUnix(st.mtimeSec) : -1;
}

int PosixFileServices::SetHandleAge(FileHandle handle, int32_t dosDateTime) {
    if (static_cast<intptr_t>(handle) < 0)
        return WinErr::GenFailure;
    uint32_t v = static_cast<uint32_t>(dosDateTime);
    struct tm tm = {};
    tm.tm_year = static_cast<int>((v >> 25) & 0x7F) + 80;
    tm.tm_mon = static_cast<int>((v >> 21) & 0x0F) - 1;
    tm.tm_mday = static_cast<int>((v >> 16) & 0x1F);
    tm.tm_hour = static_cast<int>((v >> 11) & 0x1F);
    tm.tm_min = static_cast<int>((v >> 5) & 0x3F);
    tm.tm_sec = static_cast<int>(v & 0x1F) * 2;
    tm.tm_isdst = -1;
    // An impossible date-time (such as the -1 of a failed read) is refused, not normalised.
    if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_hour > 23 || tm.tm_min > 59 ||
        tm.tm_sec > 59) {
        return WinErr::GenFailure;
    }
    time_t t = mktime(&tm);
    if (t == static_cast<time_t>(-1))
        return WinErr::GenFailure;
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = t;
    times[1].tv_nsec = 0;
    if (futimens(static_cast<int>(handle), times) != 0)
        return WinErrorFromErrno(errno);
    return 0;
}

int PosixFileServices::CloseFile(FileHandle handle) {
    if (static_cast<intptr_t>(handle) < 0)
        return WinErr::GenFailure;
    return close(static_cast<int>(handle)) == 0 ? 0 : WinErrorFromErrno(errno);
}

int PosixFileServices::RenameOver(const std::string& from, const std::string& to) {
    PathAt a, b;
    if (const int rc = LocateOrCode(from, a))
        return rc;
    if (const int rc = LocateOrCode(to, b))
        return rc;
    // A finished temporary loses the mark of an unfinished copy: it gets the bits of a new
    // file, read-only where its attributes made it so.
    struct stat st;
    if (IsTemporaryName(a.name.c_str()) &&
        fstatat(a.Dir(), a.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        BearsUnfinishedMark(st)) {
        const mode_t bits = copier_->NewFileMode((st.st_mode & S_IWUSR) != 0 ? 0666 : 0444);
        if (fchmodat(a.Dir(), a.name.c_str(), bits, 0) != 0)
            return WinErrorFromErrno(errno);
    }
    if (renameat(a.Dir(), a.name.c_str(), b.Dir(), b.name.c_str()) != 0)
        return WinErrorFromErrno(errno);
    return 0;
}

int PosixFileServices::CopiesSideBySide(const std::string& dir) {
    // On a network or FUSE file system each call is a round trip: many copies in flight hide
    // the waits. An overlay lies over local layers.
    constexpr int kRoundTripCopies = 16;
    struct statfs fs;
    if (dir.empty() || statfs(dir.c_str(), &fs) != 0)
        return 0;
    const uint32_t type = static_cast<uint32_t>(fs.f_type);
    return ShowsOwnFilesOnly(type) || type == kOverlayMagic ? 0 : kRoundTripCopies;
}

void PosixFileServices::ReadAhead(const std::vector<std::string>& dirs) {
    // Several threads, since the look-ups of one directory go one after another while those
    // of different directories are answered side by side.
    constexpr size_t kReadAheadThreads = 4;
    std::lock_guard<std::mutex> lock(readAheadMutex_);
    if (!readAhead_) {
        readAhead_ = std::make_unique<ReadAheadPool>(
            [this](const std::string& dir, const std::atomic<bool>& ending) {
                ReadDirectory(dir, [&ending](int readFd, unsigned char, const char* name) {
                    struct stat st;
                    if (!ending) {
                        fstatat(readFd, name, &st, AT_SYMLINK_NOFOLLOW);
                    }
                });
            },
            kReadAheadThreads);
    }
    readAhead_->Ask(dirs);
}

void PosixFileServices::EndReadAhead() {
    std::lock_guard<std::mutex> lock(readAheadMutex_);
    if (readAhead_) {
        readAhead_->End();
    }
}

}  // namespace ferrit
