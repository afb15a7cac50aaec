#include "platform/posix_file_services.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/error_codes.h"

namespace ferrit {

namespace {

// Hidden, system and archive live in this attribute as "0x" and hexadecimal digits.
constexpr const char* kDosAttribXattr = "user.DOSATTRIB";
// The modification time ("seconds.nanoseconds") a file had when its archive bit was cleared;
// a file whose time differs has been changed since and reads as archive set again.
constexpr const char* kArchivedXattr = "user.ferrit.archived";

constexpr uint32_t kXattrBits = Attr::Hidden | Attr::System | Attr::Archive;
// Bits of the stored word this program owns; any other bits found there are kept as they are.
constexpr uint32_t kOwnedBits = 0x3F;

std::atomic<unsigned> g_tempCounter{0};

// The process id in the temporary names, taken once; a clash after a fork is caught by O_EXCL.
const std::string& ProcessTag() {
    static const std::string tag = std::to_string(getpid());
    return tag;
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string DirOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty())
        return name;
    if (dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}

// Maps errno for an operation on `path`; a missing entry whose directory is missing too gives
// "path not found" rather than "file not found".
int ErrorForPath(int err, const std::string& path) {
    bool pathMissing = false;
    if (err == ENOENT) {
        struct stat st;
        std::string dir = DirOf(path);
        pathMissing = stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode);
    }
    return WinErrorFromErrno(err, pathMissing);
}

std::string TimeStamp(const struct timespec& t) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%lld.%09ld", static_cast<long long>(t.tv_sec),
                  static_cast<long>(t.tv_nsec));
    return buf;
}

// Reads a small extended attribute of the path itself. False when absent or unsupported.
// A stack buffer serves the usual short values; a longer one (Samba's binary form can carry
// more) is read again at its full size.
template <typename Get>
bool ReadXattrWith(Get get, std::string& value) {
    char buf[256];
    ssize_t n = get(buf, sizeof buf);
    if (n >= 0) {
        value.assign(buf, static_cast<size_t>(n));
        return true;
    }
    for (int attempt = 0; attempt < 3 && errno == ERANGE; ++attempt) {
        ssize_t size = get(nullptr, 0);
        if (size < 0 || size > 65536)
            return false;
        value.resize(static_cast<size_t>(size));
        n = get(&value[0], value.size());
        if (n >= 0) {
            value.resize(static_cast<size_t>(n));
            return true;
        }
    }
    return false;
}

// Reads an extended attribute of the path itself. False when absent or unsupported.
bool ReadXattr(const std::string& path, const char* name, std::string& value) {
    return ReadXattrWith(
        [&](char* buf, size_t size) { return lgetxattr(path.c_str(), name, buf, size); }, value);
}

// getxattrat(2) (Linux 6.13) reads an attribute of a name in an open directory, which spares the
// walk down the whole path. Its number is the same on every architecture listed here.
#if defined(__NR_getxattrat)
#define FERRIT_NR_GETXATTRAT __NR_getxattrat
#elif (defined(__x86_64__) && !defined(__ILP32__)) || defined(__aarch64__) || defined(__i386__) || \
    defined(__arm__) || (defined(__riscv) && __riscv_xlen == 64)
#define FERRIT_NR_GETXATTRAT 464
#endif

#ifdef FERRIT_NR_GETXATTRAT
struct XattrArgs {  // struct xattr_args of the kernel
    uint64_t value;
    uint32_t size;
    uint32_t flags;
};
std::atomic<bool> g_noGetxattrat{false};
#endif

// An entry met in a directory listing: its directory (path and open descriptor) and name.
struct ListedEntry {
    const std::string& dir;
    int dirFd;
    const char* name;
};

// Reads an extended attribute of a listed entry itself (a link is not followed). False when
// absent or unsupported.
bool ReadXattr(const ListedEntry& e, const char* name, std::string& value) {
#ifdef FERRIT_NR_GETXATTRAT
    if (!g_noGetxattrat.load(std::memory_order_relaxed)) {
        bool gone = false;
        bool found = ReadXattrWith(
            [&](char* buf, size_t size) -> ssize_t {
                XattrArgs args = {reinterpret_cast<uintptr_t>(buf), static_cast<uint32_t>(size), 0};
                long n = syscall(FERRIT_NR_GETXATTRAT, e.dirFd, e.name, AT_SYMLINK_NOFOLLOW, name,
                                 &args, sizeof args);
                if (n < 0 && errno == ENOSYS)
                    gone = true;
                return static_cast<ssize_t>(n);
            },
            value);
        if (!gone)
            return found;
        g_noGetxattrat.store(true, std::memory_order_relaxed);
    }
#endif
    return ReadXattr(JoinPath(e.dir, e.name), name, value);
}

bool ReadXattrFd(int fd, const char* name, std::string& value) {
    return ReadXattrWith([&](char* buf, size_t size) { return fgetxattr(fd, name, buf, size); },
                         value);
}

// Parses the leading "0x..." of the stored attribute word (Samba's binary form begins with the
// same text). False when the text has no such start.
bool ParseDosAttrib(const std::string& text, uint32_t& bits) {
    if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return false;
    uint32_t v = 0;
    size_t i = 2;
    for (; i < text.size() && i < 10; ++i) {
        char c = text[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            break;
        v = (v << 4) | static_cast<uint32_t>(d);
    }
    if (i == 2)
        return false;
    bits = v;
    return true;
}

// The DOS attribute word of an entry whose lstat result is known; `where` is its path or a
// ListedEntry.
template <typename Where>
uint32_t AttributesOf(const Where& where, const struct stat& st) {
    std::string raw;
    uint32_t stored = 0;
    bool present = ReadXattr(where, kDosAttribXattr, raw) && ParseDosAttrib(raw, stored);
    if (S_ISDIR(st.st_mode)) {
        return Attr::Directory | (present ? (stored & (Attr::Hidden | Attr::System)) : 0);
    }
    uint32_t attr = 0;
    if ((st.st_mode & S_IWUSR) == 0 && !S_ISLNK(st.st_mode))
        attr |= Attr::ReadOnly;
    if (!present)
        return attr | Attr::Archive;
    attr |= stored & (Attr::Hidden | Attr::System);
    if (stored & Attr::Archive)
        return attr | Attr::Archive;
    std::string record;
    if (ReadXattr(where, kArchivedXattr, record) && record != TimeStamp(st.st_mtim)) {
        attr |= Attr::Archive;
    }
    return attr;
}

// Where the kernel refuses copy offload between these two files, the data is copied by hand.
bool OffloadRefused(int err) {
    return err == EXDEV || err == ENOSYS || err == EINVAL || err == EOPNOTSUPP || err == ENOTSUP;
}

// Copies `length` bytes at `offset` of `in` to the same offset of `out`. Returns 0, the mapped
// errno, or 31 when the source ends early.
int CopyRange(int in, int out, off_t offset, off_t length, bool& offload) {
    off_t inPos = offset;
    off_t outPos = offset;
    off_t left = length;
    while (left > 0 && offload) {
        size_t chunk = static_cast<size_t>(std::min<off_t>(left, off_t(1) << 30));
        ssize_t n = copy_file_range(in, &inPos, out, &outPos, chunk, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (OffloadRefused(errno)) {
                offload = false;
                break;
            }
            return WinErrorFromErrno(errno);
        }
        if (n == 0)
            return WinErr::GenFailure;  // the source is shorter than it was
        left -= n;
    }
    if (left == 0)
        return 0;
    std::vector<char> buf(static_cast<size_t>(std::min<off_t>(left, 1 << 20)));
    while (left > 0) {
        size_t want = static_cast<size_t>(std::min<off_t>(left, static_cast<off_t>(buf.size())));
        ssize_t n = pread(in, buf.data(), want, inPos);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return WinErrorFromErrno(errno);
        }
        if (n == 0)
            return WinErr::GenFailure;
        inPos += n;
        size_t done = 0;
        while (done < static_cast<size_t>(n)) {
            ssize_t w = pwrite(out, buf.data() + done, static_cast<size_t>(n) - done, outPos);
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                return WinErrorFromErrno(errno);
            }
            if (w == 0)
                return WinErr::GenFailure;
            done += static_cast<size_t>(w);
            outPos += w;
        }
        left -= n;
    }
    return 0;
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

std::string NextTempPath(const std::string& dir) {
    unsigned n = g_tempCounter.fetch_add(1, std::memory_order_relaxed);
    return JoinPath(dir, std::string(kTempPrefix) + ProcessTag() + "." + std::to_string(n));
}

// Creates a new, empty temporary file in `dir`; returns its descriptor or -1 with errno set.
int CreateTempFile(const std::string& dir, std::string& tmpPath) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmpPath = NextTempPath(dir);
        int fd = open(tmpPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Gives the new file `out` the data, DOS attributes, permission bits and modification time of
// the source `in`, whose fstat is `st`.
int FillCopy(int in, int out, const struct stat& st) {
    int rc = CopyData(in, out, st);
    if (rc != 0)
        return rc;
    // Attributes before the permission bits: user attributes need a writable file.
    std::string value;
    if (ReadXattrFd(in, kDosAttribXattr, value)) {
        fsetxattr(out, kDosAttribXattr, value.data(), value.size(), 0);
        if (ReadXattrFd(in, kArchivedXattr, value))
            fsetxattr(out, kArchivedXattr, value.data(), value.size(), 0);
    }
    if (fchmod(out, st.st_mode & 0777) != 0)
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

// Set once naming an unnamed file has proved impossible here (no /proc, no linkat by
// descriptor); every later copy then goes straight to a named temporary file.
std::atomic<bool> g_unnamedUnusable{false};
// Whether linkat(AT_EMPTY_PATH) names an unnamed file for this process: -1 not yet known.
std::atomic<int> g_linkByDescriptor{-1};

// PublishUnnamed's answer when the unnamed file could not be named at all; the caller copies
// again through a named temporary file. No completion code has this value.
constexpr int kUnnamedUnpublishable = -1;

// Gives the unnamed file `fd` the name `path`; fails with EEXIST where `path` exists, whatever
// it is (a link there is not followed).
int LinkUnnamed(int fd, const std::string& path) {
    int known = g_linkByDescriptor.load(std::memory_order_relaxed);
    if (known != 0) {
        if (linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) {
            g_linkByDescriptor.store(1, std::memory_order_relaxed);
            return 0;
        }
        // Kernels before 6.10 allow this only to privileged callers and say ENOENT or EPERM.
        if (known == 1 || (errno != ENOENT && errno != EPERM))
            return -1;
        g_linkByDescriptor.store(0, std::memory_order_relaxed);
    }
    char proc[40];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
    return linkat(AT_FDCWD, proc, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
}

// Publishes the finished unnamed copy `fd` (in `dir`) as `target` and closes it. Where nothing
// stands at `target` the copy is linked there directly; otherwise (also where something
// appeared meanwhile) it is named with a temporary name and renamed over the counterpart, so a
// link there is replaced, not written through, and a directory there makes the copy fail.
// Nothing is left behind on failure.
int PublishUnnamed(int fd, const std::string& dir, const std::string& target) {
    if (LinkUnnamed(fd, target) == 0) {
        if (close(fd) != 0) {
            int err = WinErrorFromErrno(errno);
            unlink(target.c_str());
            return err;
        }
        return 0;
    }
    std::string tmpPath;
    int rc = -1;
    if (errno == EEXIST) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            tmpPath = NextTempPath(dir);
            rc = LinkUnnamed(fd, tmpPath);
            if (rc == 0 || errno != EEXIST)
                break;
        }
    }
    if (rc != 0) {
        int err = errno;
        close(fd);
        if (err == ENOENT && access("/proc/self/fd", X_OK) != 0 &&
            access(dir.c_str(), F_OK) == 0) {
            g_unnamedUnusable.store(true, std::memory_order_relaxed);
            return kUnnamedUnpublishable;
        }
        return ErrorForPath(err, target);
    }
    int err = 0;
    if (close(fd) != 0)
        err = WinErrorFromErrno(errno);
    else if (rename(tmpPath.c_str(), target.c_str()) != 0)
        err = ErrorForPath(errno, target);
    if (err != 0)
        unlink(tmpPath.c_str());
    return err;
}

int CopyLink(const std::string& source, const std::string& target, const struct stat& st) {
    std::vector<char> text(static_cast<size_t>(st.st_size > 0 ? st.st_size : 64) + 1);
    ssize_t len;
    for (;;) {
        len = readlink(source.c_str(), text.data(), text.size());
        if (len < 0)
            return ErrorForPath(errno, source);
        if (static_cast<size_t>(len) < text.size())
            break;
        text.resize(text.size() * 2);  // the link grew since it was examined
    }
    text[static_cast<size_t>(len)] = '\0';
    std::string dir = DirOf(target);
    std::string tmpPath;
    int rc = -1;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmpPath = NextTempPath(dir);
        rc = symlink(text.data(), tmpPath.c_str());
        if (rc == 0 || errno != EEXIST)
            break;
    }
    if (rc != 0)
        return ErrorForPath(errno, target);
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    int err = 0;
    if (utimensat(AT_FDCWD, tmpPath.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        err = WinErrorFromErrno(errno);
    } else if (rename(tmpPath.c_str(), target.c_str()) != 0) {
        err = ErrorForPath(errno, target);
    }
    if (err != 0)
        unlink(tmpPath.c_str());
    return err;
}

// Writes one extended attribute; a file system without user attributes is ignored silently.
void WriteXattrQuietly(const std::string& path, const char* name, const std::string& value) {
    lsetxattr(path.c_str(), name, value.data(), value.size(), 0);
}

std::string Unescape(const std::string& s) {
    // Mount points and sources escape blanks, tabs, line ends and backslashes as \ooo.
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' &&
            s[i + 2] >= '0' && s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
            out +=
                static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool IsNetworkFsType(const std::string& type) {
    static const char* const kTypes[] = {
        "nfs",   "nfs4",        "cifs",           "smb3",      "smbfs",
        "ncpfs", "ncp",         "fuse.sshfs",     "sshfs",     "9p",
        "afs",   "ceph",        "fuse.glusterfs", "glusterfs", "lustre",
        "davfs", "fuse.davfs2", "fuse.rclone",    "fuse.s3fs", "coda"};
    for (const char* t : kTypes) {
        if (type == t)
            return true;
    }
    return false;
}

// True when `mount` is `path` itself or one of its ancestor directories.
bool IsUnder(const std::string& path, const std::string& mount) {
    if (mount == "/")
        return !path.empty() && path[0] == '/';
    if (path.compare(0, mount.size(), mount) != 0)
        return false;
    return path.size() == mount.size() || path[mount.size()] == '/';
}

// The absolute form of a path that may not exist yet: its longest existing ancestor resolved,
// the rest appended unchanged.
std::string ResolvePath(const std::string& path) {
    char* real = realpath(path.c_str(), nullptr);
    if (real) {
        std::string out = real;
        std::free(real);
        return out;
    }
    std::string abs = path;
    if (abs[0] != '/') {
        char* cwd = getcwd(nullptr, 0);
        if (!cwd)
            return path;
        abs = JoinPath(cwd, path);
        std::free(cwd);
    }
    std::string head = abs;
    std::string tail;
    while (head.size() > 1) {
        size_t slash = head.find_last_of('/');
        std::string name = head.substr(slash + 1);
        head = slash == 0 ? "/" : head.substr(0, slash);
        tail = tail.empty() ? name : name + "/" + tail;
        real = realpath(head.c_str(), nullptr);
        if (real) {
            std::string out = JoinPath(real, tail);
            std::free(real);
            return out;
        }
    }
    return abs;
}

}  // namespace

void AllowUnnamedCopies(bool allowed) {
    g_unnamedUnusable.store(!allowed, std::memory_order_relaxed);
}

bool MatchPattern(const std::string& pattern, const std::string& name) {
    if (pattern == "*.*")
        return true;
    // Greedy match with a single backtrack point: the last star seen. Each star only ever moves
    // its restart point forwards, so the work is bounded by pattern length times name length.
    size_t p = 0, n = 0;
    size_t starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || AsciiLower(pattern[p]) == AsciiLower(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

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

std::string NetworkNameFromMountInfo(const std::string& resolved, const std::string& mountinfo) {
    std::istringstream lines(mountinfo);
    std::string line;
    std::string bestMount, bestSource, bestType, bestRoot;
    bool found = false;
    while (std::getline(lines, line)) {
        // id parent major:minor root mount-point options [optional...] - type source super-options
        std::istringstream fields(line);
        std::vector<std::string> f;
        std::string w;
        while (fields >> w) f.push_back(w);
        if (f.size() < 7)
            continue;
        size_t dash = 6;
        while (dash < f.size() && f[dash] != "-") ++dash;
        if (dash + 2 >= f.size())
            continue;
        std::string mount = Unescape(f[4]);
        if (!IsUnder(resolved, mount))
            continue;
        // The longest mount point wins; of equal ones the later mount hides the earlier.
        if (found && mount.size() < bestMount.size())
            continue;
        found = true;
        bestMount = mount;
        bestType = f[dash + 1];
        bestSource = Unescape(f[dash + 2]);
        bestRoot = Unescape(f[3]);  // a bind mount of a subdirectory names it here
    }
    if (!found || !IsNetworkFsType(bestType))
        return resolved;
    std::string rest = bestMount == "/" ? resolved.substr(1) : resolved.substr(bestMount.size());
    if (!rest.empty() && rest[0] == '/')
        rest.erase(0, 1);
    if (bestRoot != "/" && !bestRoot.empty()) {
        std::string root = bestRoot[0] == '/' ? bestRoot.substr(1) : bestRoot;
        rest = rest.empty() ? root : JoinPath(root, rest);
    }
    if (rest.empty())
        return bestSource;
    return JoinPath(bestSource, rest);
}

namespace {

// One sorted listing of a directory: the entries the filter admits by their kind (a link is
// never followed), the program's temporary files never among them. The size is taken for files.
template <typename Admit>
int ListDirectory(const std::string& dir, bool files, Admit admit, std::vector<ListEntry>& out) {
    out.clear();
    const std::string path = dir.empty() ? "." : dir;
    DIR* d = opendir(path.c_str());
    if (!d)
        return WinErrorFromErrno(errno, errno == ENOENT);
    const int fd = dirfd(d);
    const size_t prefixLen = std::strlen(kTempPrefix);
    for (;;) {
        errno = 0;
        struct dirent* e = readdir(d);
        if (!e) {
            if (errno != 0) {
                const int err = errno;
                closedir(d);
                out.clear();
                return WinErrorFromErrno(err);
            }
            break;
        }
        if (!admit(e->d_type, e->d_name) || std::strncmp(e->d_name, kTempPrefix, prefixLen) == 0)
            continue;
        struct stat st;
        if (fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;  // gone meanwhile
        if (files ? !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode) : !S_ISDIR(st.st_mode))
            continue;
        ListEntry entry;
        entry.name = e->d_name;
        entry.size = files ? static_cast<int64_t>(st.st_size) : 0;
        entry.attr = AttributesOf(ListedEntry{path, fd, e->d_name}, st);
        out.push_back(std::move(entry));
    }
    closedir(d);
    std::sort(out.begin(), out.end(),
              [](const ListEntry& a, const ListEntry& b) { return a.name < b.name; });
    return 0;
}

}  // namespace

int PosixFileServices::ListFiles(const std::string& dir, const std::string& pattern,
                                 std::vector<ListEntry>& out) {
    return ListDirectory(
        dir, true,
        [&pattern](unsigned char type, const char* name) {
            return (type == DT_REG || type == DT_LNK || type == DT_UNKNOWN) &&
                   MatchPattern(pattern, name);
        },
        out);
}

int PosixFileServices::ListSubdirs(const std::string& dir, std::vector<ListEntry>& out) {
    return ListDirectory(
        dir, false,
        [](unsigned char type, const char* name) {
            return (type == DT_DIR || type == DT_UNKNOWN) && std::strcmp(name, ".") != 0 &&
                   std::strcmp(name, "..") != 0;
        },
        out);
}

bool PosixFileServices::DirectoryExists(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PosixFileServices::DirectoryId(const std::string& path, DirIdentity& id) {
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    id.device = static_cast<uint64_t>(st.st_dev);
    id.inode = static_cast<uint64_t>(st.st_ino);
    return true;
}

int32_t PosixFileServices::FileAge(const std::string& path) {
    struct stat st;
    if (path.empty() || lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return -1;
    return DosDateTimeFromUnix(st.st_mtim.tv_sec);
}

int32_t PosixFileServices::GetAttributes(const std::string& path) {
    struct stat st;
    if (path.empty() || lstat(path.c_str(), &st) != 0)
        return -1;
    return static_cast<int32_t>(AttributesOf(path, st));
}

int PosixFileServices::SetAttributes(const std::string& path, uint32_t attr) {
    struct stat st;
    if (path.empty())
        return WinErr::PathNotFound;
    if (lstat(path.c_str(), &st) != 0)
        return ErrorForPath(errno, path);
    if (S_ISLNK(st.st_mode))
        return 0;  // a link has neither permission bits nor user attributes

    bool readOnly = (attr & Attr::ReadOnly) != 0;
    mode_t wanted = st.st_mode & 07777;
    if (S_ISREG(st.st_mode)) {
        wanted = readOnly ? (wanted & ~static_cast<mode_t>(0222)) : (wanted | S_IWUSR);
    }

    // What is to be stored: hidden, system, archive, plus any foreign bits found there.
    std::string raw;
    uint32_t stored = 0;
    bool present = ReadXattr(path, kDosAttribXattr, raw) && ParseDosAttrib(raw, stored);
    uint32_t word = (present ? (stored & ~kOwnedBits) : 0) | (attr & kXattrBits);
    bool clearsArchive = !S_ISDIR(st.st_mode) && (attr & Attr::Archive) == 0;
    bool writeWord = present ? word != stored : word != Attr::Archive;
    if (S_ISDIR(st.st_mode)) {
        word &= ~static_cast<uint32_t>(Attr::Archive);
        writeWord = present ? word != stored : word != 0;
    }

    auto writeXattrs = [&]() {
        if (clearsArchive)
            WriteXattrQuietly(path, kArchivedXattr, TimeStamp(st.st_mtim));
        if (writeWord) {
            char text[16];
            std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(word));
            WriteXattrQuietly(path, kDosAttribXattr, text);
        }
    };
    bool xattrWork = clearsArchive || writeWord;
    mode_t current = st.st_mode & 07777;
    int rc = 0;
    // User attributes need write permission on the file: write them while the owner may.
    if (xattrWork && (current & S_IWUSR) == 0 && geteuid() != 0 && st.st_uid == geteuid()) {
        if (chmod(path.c_str(), current | S_IWUSR) == 0) {
            writeXattrs();
            if (chmod(path.c_str(), current) != 0)
                rc = WinErrorFromErrno(errno);
        } else {
            writeXattrs();  // may still succeed for a privileged caller
        }
    } else if (xattrWork) {
        writeXattrs();
    }
    if (wanted != current && chmod(path.c_str(), wanted) != 0)
        rc = WinErrorFromErrno(errno);
    return rc;
}

int PosixFileServices::DeleteFile(const std::string& path) {
    if (path.empty())
        return WinErr::PathNotFound;
    if (unlink(path.c_str()) != 0)
        return ErrorForPath(errno, path);
    return 0;
}

int PosixFileServices::CreateDirectories(const std::string& path) {
    if (path.empty())
        return WinErr::PathNotFound;
    struct stat st;
    if (stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : WinErr::AlreadyExists;
    // Walk down the path, creating each missing component in turn.
    size_t pos = 0;
    for (;;) {
        pos = path.find('/', pos + 1);
        std::string part = path.substr(0, pos);
        if (!part.empty() && part != "/" && mkdir(part.c_str(), 0777) != 0) {
            int err = errno;
            if (err != EEXIST || stat(part.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
                return WinErrorFromErrno(err == EEXIST ? EEXIST : err, err == ENOENT);
            }
        }
        if (pos == std::string::npos)
            break;
    }
    return 0;
}

int PosixFileServices::RemoveDirectory(const std::string& path) {
    if (path.empty())
        return WinErr::PathNotFound;
    if (rmdir(path.c_str()) != 0) {
        if (errno == EEXIST)
            return WinErr::DirNotEmpty;  // the older spelling of ENOTEMPTY
        return ErrorForPath(errno, path);
    }
    return 0;
}

int PosixFileServices::CopyFile(const std::string& source, const std::string& target) {
    if (source.empty())
        return WinErr::PathNotFound;
    if (target.empty())
        return WinErr::PathNotFound;
    // Opened without a look first: a link fails with ELOOP and is copied as a link; a FIFO or
    // device opens without waiting (O_NONBLOCK) and is refused unread.
    struct stat st;
    int in = open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK);
    if (in < 0) {
        int err = errno;
        if (err == ELOOP && lstat(source.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            return CopyLink(source, target, st);
        return ErrorForPath(err, source);
    }
    if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        int err = S_ISREG(st.st_mode) ? WinErrorFromErrno(errno) : WinErr::AccessDenied;
        close(in);
        return err;
    }
    // Reads of a regular file do not wait anyway, but a network or FUSE file system could take
    // the flag literally.
    fcntl(in, F_SETFL, 0);

    const std::string dir = DirOf(target);
    if (!g_unnamedUnusable.load(std::memory_order_relaxed)) {
        int out = open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (out >= 0) {
            int rc = FillCopy(in, out, st);
            if (rc == 0) {
                rc = PublishUnnamed(out, dir, target);
            } else {
                close(out);  // the unnamed copy goes with its last descriptor
            }
            if (rc != kUnnamedUnpublishable) {
                close(in);
                return rc;
            }
        } else if (!TmpFileRefused(errno)) {
            int err = ErrorForPath(errno, target);
            close(in);
            return err;
        }
    }

    std::string tmpPath;
    int out = CreateTempFile(dir, tmpPath);
    if (out < 0) {
        int err = ErrorForPath(errno, target);
        close(in);
        return err;
    }
    int rc = FillCopy(in, out, st);
    if (close(out) != 0 && rc == 0)
        rc = WinErrorFromErrno(errno);
    close(in);
    if (rc == 0 && rename(tmpPath.c_str(), target.c_str()) != 0)
        rc = ErrorForPath(errno, target);
    if (rc != 0)
        unlink(tmpPath.c_str());
    return rc;
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
    // POSIX has no mandatory deny-write sharing; other writers are not kept out.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    return fd < 0 ? kInvalidFileHandle : static_cast<FileHandle>(fd);
}

FileHandle PosixFileServices::CreateTruncate(const std::string& path) {
    // Never written through a link standing at the path.
    int fd =
        open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0666);
    return fd < 0 ? kInvalidFileHandle : static_cast<FileHandle>(fd);
}

int32_t PosixFileServices::GetHandleAge(FileHandle handle) {
    struct stat st;
    if (handle < 0 || fstat(static_cast<int>(handle), &st) != 0)
        return -1;
    return DosDateTimeFromUnix(st.st_mtim.tv_sec);
}

int PosixFileServices::SetHandleAge(FileHandle handle, int32_t dosDateTime) {
    if (handle < 0)
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

void PosixFileServices::CloseFile(FileHandle handle) {
    if (handle >= 0)
        close(static_cast<int>(handle));
}

std::string PosixFileServices::UniversalName(const std::string& path) {
    if (path.empty())
        return std::string();
    std::string resolved = ResolvePath(path);
    std::ifstream in("/proc/self/mountinfo");
    if (!in)
        return resolved;
    std::stringstream text;
    text << in.rdbuf();
    return NetworkNameFromMountInfo(resolved, text.str());
}

}  // namespace ferrit
