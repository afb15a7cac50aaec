// The Linux side of the test helpers (temp_dir.h, system.h).
#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/fs_util.h"
#include "platform/posix/posix_file_services.h"
#include "platform/posix/safe_copy.h"
#include "support/strings.h"
#include "testing/system.h"
#include "testing/temp_dir.h"

namespace ferrit {
namespace testing {

namespace {

// Removes the entry `name` of the directory `dir` with everything below it, one level at a time
// through descriptors, so a tree deeper than a path text may be long goes too.
bool RemoveTreeAt(int dir, const std::string& name, dev_t device) {
    struct stat st;
    if (fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return unlinkat(dir, name.c_str(), 0) == 0 || errno == ENOENT;
    if (st.st_dev != device)
        return false;  // a mount left behind: leave it alone
    // A read-only or unsearchable directory cannot be emptied until its owner bits come back.
    if ((st.st_mode & S_IRWXU) != S_IRWXU)
        fchmodat(dir, name.c_str(), st.st_mode | S_IRWXU, 0);
    bool ok = true;
    const int fd = openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        std::vector<std::string> names;
        if (DIR* d = fdopendir(dup(fd))) {
            while (struct dirent* e = readdir(d)) {
                if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                    names.emplace_back(e->d_name);
            }
            closedir(d);
        }
        for (const std::string& child : names) {
            if (!RemoveTreeAt(fd, child, device))
                ok = false;
        }
        close(fd);
    }
    if (unlinkat(dir, name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT)
        ok = false;
    return ok;
}

// The whole contents of an open file, which is closed; false for a descriptor of -1.
bool ReadAll(int fd, std::string& contents) {
    contents.clear();
    if (fd < 0)
        return false;
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            close(fd);
            return false;
        }
        if (n == 0)
            break;
        contents.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return true;
}

// The kind of the entry as the file services tell it from the same facts.
EntryKind KindOf(const struct stat& st) {
    EntryStat entry;
    FillEntryStat(st, entry);
    return entry.kind;
}

}  // namespace

bool UnderWine() {
    return false;
}

bool PermissionBitsBind() {
    return geteuid() != 0;
}

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    const std::string root = WithoutTrailingSlash((base && *base) ? base : "/tmp");
    std::string templ = root + "/ferrit-test-XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) != nullptr)
        path_ = buf.data();
}

bool WriteFile(const std::string& path, const std::string& contents) {
    MakeDirs(DirOf(path));
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < contents.size()) {
        ssize_t n = write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            close(fd);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return close(fd) == 0;
}

bool SetFileSize(const std::string& path, uint64_t size) {
    return truncate(path.c_str(), static_cast<off_t>(size)) == 0;
}

bool MakeDirs(const std::string& path) {
    return MakeDirectoriesPlain(path, 0755) == 0;
}

bool SetModTime(const std::string& path, int64_t seconds, long nanoseconds) {
    struct timespec times[2];
    times[0].tv_sec = static_cast<time_t>(seconds);
    times[0].tv_nsec = nanoseconds;
    times[1] = times[0];
    return utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

bool GetModTime(const std::string& path, int64_t& seconds, long& nanoseconds) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return false;
    seconds = st.st_mtim.tv_sec;
    nanoseconds = st.st_mtim.tv_nsec;
    return true;
}

bool ReadFile(const std::string& path, std::string& contents) {
    return ReadAll(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK), contents);
}

std::vector<std::string> ListDir(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = opendir(path.c_str());
    if (!dir)
        return names;
    while (struct dirent* e = readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        names.emplace_back(e->d_name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool RemoveTree(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return errno == ENOENT;
    return RemoveTreeAt(AT_FDCWD, path, st.st_dev);
}

namespace {

// The directory of the last name: each directory before it opened below the last one (made
// first when `make`), never through a link. -1 on failure.
int OpenDeepDirectory(const std::string& root, const std::vector<std::string>& names, bool make) {
    int dir = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (size_t i = 0; dir >= 0 && i + 1 < names.size(); ++i) {
        if (make) {
            mkdirat(dir, names[i].c_str(), 0755);
        }
        const int next =
            openat(dir, names[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        close(dir);
        dir = next;
    }
    return dir;
}

}  // namespace

bool WriteFileDeep(const std::string& root, const std::vector<std::string>& names,
                   const std::string& contents) {
    const int dir = OpenDeepDirectory(root, names, true);
    if (dir < 0 || names.empty()) {
        return false;
    }
    const int fd =
        openat(dir, names.back().c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0644);
    close(dir);
    if (fd < 0) {
        return false;
    }
    const bool written =
        write(fd, contents.data(), contents.size()) == static_cast<ssize_t>(contents.size());
    return close(fd) == 0 && written;
}

bool ReadFileDeep(const std::string& root, const std::vector<std::string>& names,
                  std::string& contents) {
    const int dir = OpenDeepDirectory(root, names, false);
    if (dir < 0 || names.empty()) {
        return false;
    }
    const int fd =
        openat(dir, names.back().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    close(dir);
    return ReadAll(fd, contents);
}

EntryKind KindAt(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) != 0 ? EntryKind::Missing : KindOf(st);
}

std::string FactsOf(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return "missing";
    return std::to_string(static_cast<int>(KindOf(st))) + " " + std::to_string(st.st_dev) + ":" +
           std::to_string(st.st_ino) + " " + std::to_string(st.st_size) + " " +
           std::to_string(st.st_mode) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec);
}

std::string LinkText(const std::string& path) {
    char text[4096];
    const ssize_t n = readlink(path.c_str(), text, sizeof text);
    return n > 0 ? std::string(text, static_cast<size_t>(n)) : std::string();
}

bool MakeSymlink(const std::string& target, const std::string& path) {
    return symlink(target.c_str(), path.c_str()) == 0;
}

bool RenameOver(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

bool MakeHardLink(const std::string& existing, const std::string& path) {
    return link(existing.c_str(), path.c_str()) == 0;
}

bool MakeFifo(const std::string& path) {
    return mkfifo(path.c_str(), 0644) == 0;
}

bool MakeSocketNode(const std::string& path) {
    struct sockaddr_un addr = {};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        return false;
    }
    std::strcpy(addr.sun_path, path.c_str());
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    if (sock < 0) {
        return false;
    }
    const bool bound = bind(sock, reinterpret_cast<struct sockaddr*>(&addr), sizeof addr) == 0;
    close(sock);
    return bound;
}

bool MakeDeviceNode(const std::string& path) {
    return mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
}

bool SetMode(const std::string& path, unsigned mode) {
    return chmod(path.c_str(), static_cast<mode_t>(mode)) == 0;
}

int ModeOf(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) != 0 ? -1 : static_cast<int>(st.st_mode & 07777);
}

bool MarkAsUnfinishedCopy(const std::string& path) {
    return SetMode(path, kUnfinishedMode);
}

long DeadProcessId() {
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    return static_cast<long>(child);
}

bool XattrsSupported(const std::string& dir) {
    const std::string probe = dir + "/.xattr-probe";
    WriteFile(probe, "");
    const bool ok = lsetxattr(probe.c_str(), "user.DOSATTRIB", "0x20", 4, 0) == 0;
    unlink(probe.c_str());
    return ok;
}

}  // namespace testing
}  // namespace ferrit
