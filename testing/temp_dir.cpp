#include "testing/temp_dir.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
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
#include "platform/safe_copy.h"
#include "platform/set_aside.h"
#include "support/strings.h"

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

}  // namespace

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string root = (base && *base) ? base : "/tmp";
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    std::string templ = root + "/ferrit-test-XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) != nullptr)
        path_ = buf.data();
}

TempDir::~TempDir() {
    if (!path_.empty())
        RemoveTree(path_);
}

std::string TempDir::Path(const std::string& relative) const {
    if (relative.empty())
        return path_;
    return path_ + "/" + relative;
}

std::string TempDir::File(const std::string& relative, const std::string& contents) {
    std::string full = Path(relative);
    WriteFile(full, contents);
    return full;
}

std::string TempDir::Dir(const std::string& relative) {
    std::string full = Path(relative);
    MakeDirs(full);
    return full;
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
    contents.clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
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

std::string ReadFile(const std::string& path) {
    std::string contents;
    ReadFile(path, contents);
    return contents;
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

std::string DeadProcessTemporaryName(unsigned n) {
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    // <prefix><pid>.<counter>.<host>: this host's part is taken from a fresh name.
    const std::string own = NewTemporaryName();
    const size_t pidEnd = own.find('.', std::strlen(kTempPrefix));
    const std::string host = own.substr(own.find('.', pidEnd + 1) + 1);
    return std::string(kTempPrefix) + std::to_string(child) + "." + std::to_string(n) + "." + host;
}

std::string DeadProcessAsideName(const std::string& name) {
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    const std::string mine = std::string(kAsidePrefix) + std::to_string(getpid()) + ".";
    return std::string(kAsidePrefix) + std::to_string(child) + "." +
           AsideName(name).substr(mine.size());
}

bool XattrsSupported(const std::string& dir) {
    const std::string probe = dir + "/.xattr-probe";
    WriteFile(probe, "");
    const bool ok = lsetxattr(probe.c_str(), "user.DOSATTRIB", "0x20", 4, 0) == 0;
    unlink(probe.c_str());
    return ok;
}

bool RemoveTree(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return errno == ENOENT;
    return RemoveTreeAt(AT_FDCWD, path, st.st_dev);
}

}  // namespace testing
}  // namespace ferrit
