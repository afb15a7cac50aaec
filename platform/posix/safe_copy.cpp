#include "platform/posix/safe_copy.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/error_codes.h"
#include "platform/posix/confined_paths.h"
#include "platform/posix/copy_range.h"
#include "platform/posix/dos_attributes.h"
#include "platform/posix/posix_file_services.h"
#include "support/strings.h"

namespace ferrit {

namespace {

std::atomic<unsigned> g_tempCounter{0};

// The process id that goes into temporary names: asked once, and again in a forked child (a
// system call per copy otherwise).
std::atomic<pid_t> g_ownPid{0};

pid_t OwnPid() {
    static const bool forgetInChild = [] {
        return pthread_atfork(nullptr, nullptr, [] { g_ownPid.store(0); }) == 0;
    }();
    pid_t pid = g_ownPid.load(std::memory_order_relaxed);
    if (pid == 0 || !forgetInChild) {
        pid = getpid();
        g_ownPid.store(pid, std::memory_order_relaxed);
    }
    return pid;
}

// This host's name as it goes into temporary names: letters, digits and '-' only, so that the
// name parses back whatever the host is called.
const std::string& HostTag() {
    static const std::string tag = [] {
        char buf[256] = {};
        if (gethostname(buf, sizeof buf - 1) != 0) {
            return std::string("localhost");
        }
        std::string out;
        for (const char* p = buf; *p != '\0' && out.size() < 63; ++p) {
            const char c = *p;
            const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                               (c >= '0' && c <= '9') || c == '-';
            out += plain ? c : '-';
        }
        return out.empty() ? std::string("localhost") : out;
    }();
    return tag;
}

// Copies `length` bytes at `offset` of `in` to the same offset of `out`. Returns 0, the mapped
// errno, or 31 when the source ends early.
int CopyRange(int in, int out, off_t offset, off_t length, bool& offload) {
    off_t inPos = offset;
    off_t outPos = offset;
    off_t copied = 0;
    const int rc = CopyFileRange(in, inPos, out, outPos, length, offload, copied);
    if (rc != 0)
        return rc;
    return copied < length ? WinErr::GenFailure : 0;  // the source is shorter than it was
}

// Copies the data of a file of `size` bytes. A file with fewer blocks than its size may have
// holes: only its data runs are copied and the size is set at the end, so it stays sparse.
int CopyData(int in, int out, const struct stat& st) {
    off_t size = st.st_size;
    if (size <= 0)
        return 0;
    bool offload = true;
    if (static_cast<off_t>(st.st_blocks) * 512 >= size)
        return CopyRange(in, out, 0, size, offload);
    off_t pos = 0;
    while (pos < size) {
        off_t data = lseek(in, pos, SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO)
                break;  // only a hole remains
            // No hole information: copy the rest whole.
            int rc = CopyRange(in, out, pos, size - pos, offload);
            if (rc != 0)
                return rc;
            pos = size;
            break;
        }
        if (data >= size)
            break;
        off_t hole = lseek(in, data, SEEK_HOLE);
        if (hole < 0 || hole > size)
            hole = size;
        int rc = CopyRange(in, out, data, hole - data, offload);
        if (rc != 0)
            return rc;
        pos = hole;
    }
    if (ftruncate(out, size) != 0)
        return WinErrorFromErrno(errno);
    return 0;
}

// Whether the source changed while it was read: another size or modification time than when
// it was opened. Such a copy may be torn (old and new parts) and must not take the target's
// place.
bool ChangedSince(int in, const struct stat& before) {
    struct stat now;
    if (fstat(in, &now) != 0)
        return true;
    return now.st_size != before.st_size || now.st_mtim.tv_sec != before.st_mtim.tv_sec ||
           now.st_mtim.tv_nsec != before.st_mtim.tv_nsec;
}

// Copies of at least this size always bear the mark of an unfinished copy while they are made.
constexpr off_t kMarkedFromBytes = off_t(1) << 20;

// The permission bits a copy is created with: the source's, writable by the owner while the
// copy is filled (user attributes need that).
mode_t CreationMode(const struct stat& st) {
    return (st.st_mode & 0777) | S_IWUSR;
}

}  // namespace

int ProcessUmask() {
    FILE* status = std::fopen("/proc/self/status", "re");
    if (status == nullptr)
        return -1;
    char line[256];
    int mask = -1;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        unsigned value = 0;
        if (std::sscanf(line, "Umask: %o", &value) == 1) {
            mask = static_cast<int>(value & 0777);
            break;
        }
    }
    std::fclose(status);
    return mask;
}

namespace {

// Gives the new file `out` the data, DOS attributes, permission bits and modification time of
// the source `in`, whose fstat is `st`. `modeSet`: the creation already gave the final bits
// (the usual case: the file-creation mask took nothing away), so they are not set again, one
// round trip less on a network volume.
int FillCopy(int in, int out, const struct stat& st, bool modeSet) {
    int rc = CopyData(in, out, st);
    if (rc != 0)
        return rc;
    if (ChangedSince(in, st))
        return WinErr::SharingViolation;
    // Attributes before the permission bits: user attributes need a writable file.
    CopyDosAttributes(in, out);
    if (!modeSet && fchmod(out, st.st_mode & 0777) != 0)
        return WinErrorFromErrno(errno);
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (futimens(out, times) != 0)
        return WinErrorFromErrno(errno);
    return 0;
}

// Errors by which open(O_TMPFILE) says the file system (or kernel) cannot make unnamed files.
bool TmpFileRefused(int err) {
    return err == EOPNOTSUPP || err == ENOTSUP || err == EISDIR || err == EINVAL;
}

// Whether the entry `name` of `dir` is the source itself (the same file reached by another name
// or mount): a copy put in its place and a source deleted then would lose it.
bool IsSameEntry(int dir, const std::string& name, const struct stat& source) {
    struct stat st;
    return fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           st.st_dev == source.st_dev && st.st_ino == source.st_ino;
}

}  // namespace

std::string NewTemporaryName() {
    // A child forked after a first copy has its own id.
    const std::string pid = std::to_string(OwnPid());
    const unsigned n = g_tempCounter.fetch_add(1, std::memory_order_relaxed);
    return std::string(kTempPrefix) + pid + "." + std::to_string(n) + "." + HostTag();
}

bool IsStaleTemporary(const char* name, const struct stat& st) {
    if (!BearsUnfinishedMark(st) || !IsTemporaryName(name))
        return false;
    // <pid>.<counter>.<host>
    const char* p = name + std::strlen(kTempPrefix);
    char* end = nullptr;
    errno = 0;
    const long pid = std::strtol(p, &end, 10);
    if (end == p || *end != '.' || errno != 0 || pid <= 0)
        return false;
    p = end + 1;
    std::strtoul(p, &end, 10);
    if (end == p || *end != '.' || HostTag() != end + 1)
        return false;  // another workstation's may still be being written
    if (pid == static_cast<long>(OwnPid()))
        return false;
    return kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

int SafeCopier::CreateNamedTemporary(int dir, std::string& name, int flags, mode_t mode) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = NewTemporaryName();
        int fd = openat(dir, name.c_str(), flags | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

int SafeCopier::LinkUnnamed(int fd, int dir, const std::string& name) {
    int known = linkByDescriptor_.load(std::memory_order_relaxed);
    if (known != 0) {
        if (linkat(fd, "", dir, name.c_str(), AT_EMPTY_PATH) == 0) {
            linkByDescriptor_.store(1, std::memory_order_relaxed);
            return 0;
        }
        // Kernels before 6.10 allow this only to privileged callers and say ENOENT or EPERM.
        if (known == 1 || (errno != ENOENT && errno != EPERM))
            return -1;
        linkByDescriptor_.store(0, std::memory_order_relaxed);
    }
    const std::string proc = ProcPath(fd, nullptr);
    return linkat(AT_FDCWD, proc.c_str(), dir, name.c_str(), AT_SYMLINK_FOLLOW);
}

// A finished copy waiting beside its target: an unnamed file (still open) or a named
// temporary file or link. Destroyed unpublished, it is removed.
class SafeCopier::Prepared : public PreparedCopy {
  public:
    Prepared(SafeCopier& copier, SharedFd dir, std::string targetName, const struct stat& source)
        : copier_(copier),
          dir_(std::move(dir)),
          targetName_(std::move(targetName)),
          source_(source) {
        FillEntryStat(source, this->source);
    }
    ~Prepared() override {
        if (unnamed_.Valid())
            unnamed_.Reset();  // an unnamed copy goes with its last descriptor
        else if (!tmpName_.empty())
            unlinkat(dir_.Get(), tmpName_.c_str(), 0);
    }
    // Puts the copy in the target's place in one step; 0 or an error code, after which the
    // target is as it was.
    int Publish();
    int Dir() const { return dir_.Get(); }
    // Takes the facts of the finished copy, as they will stand at the target.
    int Learn(int fd) {
        struct stat st;
        if (fstat(fd, &st) != 0)
            return WinErrorFromErrno(errno);
        FillEntryStat(st, copy);
        learned_ = true;
        return 0;
    }

    UniqueFd unnamed_;
    std::string tmpName_;
    bool inPlace_ = false;       // made under the target's name in a staged directory
    bool targetAbsent_ = false;  // nothing stood at the target when the copy was decided
    EntryStat copy;              // the finished copy

  private:
    bool learned_ = false;  // `copy` holds the facts
    int PublishUnnamed();
    // Names the unnamed copy by copying it once more into a named temporary file, for a system
    // on which an unnamed file cannot be named.
    int NameByCopy();
    int Rename();

    SafeCopier& copier_;
    SharedFd dir_;
    std::string targetName_;
    struct stat source_;  // what was copied: the target must not turn out to be it
};

int SafeCopier::Prepared::Publish() {
    if (inPlace_) {
        // Already under its name: the directory it lies in is put in place whole.
        struct stat st;
        if (factsWanted && !learned_) {
            if (fstatat(dir_.Get(), tmpName_.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                return WinErrorFromErrno(errno);  // the copy goes with this object
            FillEntryStat(st, copy);
            learned_ = true;
        }
        tmpName_.clear();
        return 0;
    }
    // The facts of a copy still open are taken only where they are wanted.
    if (factsWanted && !learned_ && unnamed_.Valid()) {
        if (const int rc = Learn(unnamed_.Get()))
            return rc;
    }
    return unnamed_.Valid() ? PublishUnnamed() : Rename();
}

int SafeCopier::Prepared::Rename() {
    // Only a copy that replaces something can replace the source itself; where nothing stood
    // (linked directly, or seen absent just before) no look is needed.
    const bool itself = !targetAbsent_ && IsSameEntry(dir_.Get(), targetName_, source_);
    if (itself || renameat(dir_.Get(), tmpName_.c_str(), dir_.Get(), targetName_.c_str()) != 0) {
        const int err = itself ? WinErr::SharingViolation : WinErrorFromErrno(errno);
        unlinkat(dir_.Get(), tmpName_.c_str(), 0);
        tmpName_.clear();
        return err;
    }
    tmpName_.clear();
    return 0;
}

// Where nothing stands at the target the copy is linked there directly; otherwise (also where
// something appeared meanwhile) it is named with a temporary name and renamed over the
// counterpart, so a link there is replaced, not written through, and a directory there makes
// the copy fail.
int SafeCopier::Prepared::PublishUnnamed() {
    const int fd = unnamed_.Get();
    if (copier_.LinkUnnamed(fd, dir_.Get(), targetName_) == 0) {
        unnamed_.Reset();
        return 0;
    }
    int rc = -1;
    if (errno == EEXIST) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            tmpName_ = NewTemporaryName();
            rc = copier_.LinkUnnamed(fd, dir_.Get(), tmpName_);
            if (rc == 0 || errno != EEXIST)
                break;
        }
    }
    if (rc != 0) {
        const int err = errno;
        tmpName_.clear();
        if (err == ENOENT && access("/proc/self/fd", X_OK) != 0) {
            copier_.unnamedUnusable_.store(true, std::memory_order_relaxed);
            return NameByCopy();
        }
        unnamed_.Reset();
        return WinErrorFromErrno(err);
    }
    unnamed_.Reset();
    return Rename();
}

int SafeCopier::Prepared::NameByCopy() {
    struct stat st;
    if (fstat(unnamed_.Get(), &st) != 0) {
        const int err = WinErrorFromErrno(errno);
        unnamed_.Reset();
        return err;
    }
    const int out = CreateNamedTemporary(dir_.Get(), tmpName_, O_WRONLY, kUnfinishedMode);
    if (out < 0) {
        const int err = WinErrorFromErrno(errno);
        unnamed_.Reset();
        tmpName_.clear();
        return err;
    }
    int rc = FillCopy(unnamed_.Get(), out, st, false);
    if (rc == 0)
        rc = Learn(out);
    if (close(out) != 0 && rc == 0)
        rc = WinErrorFromErrno(errno);
    unnamed_.Reset();
    if (rc != 0) {
        unlinkat(dir_.Get(), tmpName_.c_str(), 0);
        tmpName_.clear();
        return rc;
    }
    return Rename();
}

int SafeCopier::PrepareLink(const PathAt& source, Prepared& ready, const struct stat& st,
                            bool keepMadeTime, const std::string* inPlace) {
    std::vector<char> text(static_cast<size_t>(st.st_size > 0 ? st.st_size : 64) + 1);
    ssize_t len;
    for (;;) {
        len = readlinkat(source.Dir(), source.name.c_str(), text.data(), text.size());
        if (len < 0)
            return WinErrorFromErrno(errno);
        if (static_cast<size_t>(len) < text.size())
            break;
        text.resize(text.size() * 2);  // the link grew since it was examined
    }
    text[static_cast<size_t>(len)] = '\0';
    const int dir = ready.Dir();
    std::string tmpName;
    int rc = -1;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmpName = inPlace != nullptr ? *inPlace : NewTemporaryName();
        rc = symlinkat(text.data(), dir, tmpName.c_str());
        if (rc == 0 || errno != EEXIST || inPlace != nullptr)
            break;
    }
    if (rc != 0)
        return WinErrorFromErrno(errno);
    ready.tmpName_ = tmpName;
    ready.inPlace_ = inPlace != nullptr;
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    struct stat made;
    if ((!keepMadeTime && utimensat(dir, tmpName.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) ||
        fstatat(dir, tmpName.c_str(), &made, AT_SYMLINK_NOFOLLOW) != 0)
        return WinErrorFromErrno(errno);  // the link goes with `ready`
    FillEntryStat(made, ready.copy);
    return 0;
}

// The device of the directory `dir`: `known` where its resolution gave it, else asked.
static uint64_t DeviceOf(int dir, uint64_t known) {
    if (known != 0)
        return known;
    struct stat st;
    return fstat(dir, &st) == 0 ? static_cast<uint64_t>(st.st_dev) : 0;
}

bool SafeCopier::RefusesUnnamed(int dir, uint64_t knownDevice) {
    if (!anyRefusal_.load(std::memory_order_acquire))
        return false;
    const uint64_t device = DeviceOf(dir, knownDevice);
    std::lock_guard<std::mutex> lock(refusalMutex_);
    return std::find(refusingDevices_.begin(), refusingDevices_.end(), device) !=
           refusingDevices_.end();
}

void SafeCopier::LearnRefusal(int dir, uint64_t knownDevice) {
    const uint64_t device = DeviceOf(dir, knownDevice);
    std::lock_guard<std::mutex> lock(refusalMutex_);
    refusingDevices_.push_back(device);
    anyRefusal_.store(true, std::memory_order_release);
}

// The statfs magic of user-space (FUSE) file systems.
constexpr uint32_t kFuseMagic = 0x65735546;

SafeCopier::DeviceWays SafeCopier::WaysOf(int fd, uint64_t device) {
    device = DeviceOf(fd, device);
    {
        std::lock_guard<std::mutex> lock(waysMutex_);
        for (const DeviceWays& known : ways_) {
            if (known.device == device)
                return known;
        }
    }
    DeviceWays ways;
    ways.device = device;
    struct statfs fs;
    if (device != 0 && fstatfs(fd, &fs) == 0) {
        const uint32_t type = static_cast<uint32_t>(fs.f_type);
        ways.plainReads = ShowsOwnFilesOnly(type);
        ways.linkTimesMayFollow = type == kFuseMagic;
        std::lock_guard<std::mutex> lock(waysMutex_);
        ways_.push_back(ways);
    }
    return ways;
}

SafeCopier::SafeCopier(bool allowUnnamed)
    : unnamedUnusable_(!allowUnnamed), umask_(ProcessUmask()) {}

mode_t SafeCopier::NewFileMode(mode_t bits) const {
    return LessUmask(bits, umask_);
}

bool SafeCopier::CreatedFinal(const struct stat& st) const {
    return umask_ >= 0 && (CreationMode(st) & ~static_cast<mode_t>(umask_)) == (st.st_mode & 0777);
}

int SafeCopier::Prepare(const PathAt& source, PathAt&& target, bool targetAbsent,
                        std::unique_ptr<PreparedCopy>& out, bool inPlace) {
    out.reset();
    // Opened without a look first: a link fails with ELOOP and is copied as a link; a FIFO or
    // device opens without waiting (O_NONBLOCK) and is refused unread.
    struct stat st;
    UniqueFd in(openat(source.Dir(), source.name.c_str(),
                       O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK));
    const bool link = !in.Valid() && errno == ELOOP &&
                      fstatat(source.Dir(), source.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                      S_ISLNK(st.st_mode);
    if (!in.Valid() && !link)
        return WinErrorFromErrno(errno);
    if (!link) {
        if (fstat(in.Get(), &st) != 0)
            return WinErrorFromErrno(errno);
        if (!S_ISREG(st.st_mode))
            return WinErr::AccessDenied;
    }
    const std::string name = target.name;
    const uint64_t device = target.device;
    auto ready = std::make_unique<Prepared>(*this, std::move(target.held), name, st);
    ready->targetAbsent_ = targetAbsent;
    ready->target = target.dirText == "/" ? "/" + name : JoinPath(target.dirText, name);
    const int dir = ready->Dir();
    if (link) {
        // Where setting a link's times could reach what it points to, the copy keeps the time
        // of its making rather than touch another entry.
        const int rc = PrepareLink(source, *ready, st, WaysOf(dir, device).linkTimesMayFollow,
                                   inPlace ? &name : nullptr);
        if (rc == 0)
            out = std::move(ready);
        return rc;
    }
    // Reads of a regular file do not wait anyway, but a network or FUSE file system could take
    // the flag literally.
    if (!WaysOf(in.Get(), static_cast<uint64_t>(st.st_dev)).plainReads)
        fcntl(in.Get(), F_SETFL, 0);
    if (inPlace) {
        // In a staged directory the name itself is out of sight: the copy is made under it, with
        // its final bits (no mark: the directory holds nothing but this run's copies).
        const int fd =
            openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                   CreationMode(st));
        if (fd < 0)
            return WinErrorFromErrno(errno);
        ready->tmpName_ = name;  // from here on removed again unless published
        ready->inPlace_ = true;
        int rc = FillCopy(in.Get(), fd, st, CreatedFinal(st));
        if (close(fd) != 0 && rc == 0)
            rc = WinErrorFromErrno(errno);
        if (rc == 0)
            out = std::move(ready);
        return rc;
    }
    // An unnamed copy wherever the file system can make one, ext4 included: it touches the
    // directory once, when it is linked into place, where a named temporary is made there and
    // renamed (two more searches of the directory, and the mark to take off). On ext4 the
    // unnamed copy's pass through the orphan list costs less than that (measured with 1, 2, 4
    // and 16 workers).
    if (!unnamedUnusable_.load(std::memory_order_relaxed) && !RefusesUnnamed(dir, device)) {
        UniqueFd unnamed(openat(dir, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, CreationMode(st)));
        if (unnamed.Valid()) {
            const int rc = FillCopy(in.Get(), unnamed.Get(), st, CreatedFinal(st));
            if (rc != 0)
                return rc;  // the unnamed copy goes with its descriptor
            ready->unnamed_ = std::move(unnamed);
            out = std::move(ready);
            return 0;
        }
        if (!TmpFileRefused(errno))
            return WinErrorFromErrno(errno);
        LearnRefusal(dir, device);
    }

    // The named copy bears the mark of an unfinished copy wherever that costs nothing: where
    // its bits are set before it is put in place anyway, and where its data takes so long that
    // one call more is lost in it. A small copy that its creation gives its final bits goes
    // unmarked: on a network volume each call is a round trip. A leftover without the mark is
    // never swept away (nor ever listed).
    const bool mark = !CreatedFinal(st) || st.st_size >= kMarkedFromBytes;
    std::string tmpName;
    const int fd =
        CreateNamedTemporary(dir, tmpName, O_WRONLY, mark ? kUnfinishedMode : CreationMode(st));
    if (fd < 0)
        return WinErrorFromErrno(errno);
    ready->tmpName_ = tmpName;  // from here on removed again unless published
    int rc = FillCopy(in.Get(), fd, st, !mark);
    if (rc == 0)
        rc = ready->Learn(fd);
    if (close(fd) != 0 && rc == 0)
        rc = WinErrorFromErrno(errno);
    if (rc == 0)
        out = std::move(ready);
    return rc;
}

int SafeCopier::Publish(std::unique_ptr<PreparedCopy> copy, EntryStat& published) {
    published = EntryStat();
    auto* ready = dynamic_cast<Prepared*>(copy.get());
    if (ready == nullptr)
        return WinErr::GenFailure;  // not a copy of these file services
    const int rc = ready->Publish();
    if (rc == 0)
        published = ready->copy;
    return rc;
}

}  // namespace ferrit
