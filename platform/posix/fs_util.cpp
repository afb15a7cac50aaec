#include "platform/fs_util.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <sstream>
#include <vector>

#include "platform/error_codes.h"
#include "platform/posix/confined_paths.h"
#include "platform/posix/posix_file_services.h"
#include "platform/posix/safe_copy.h"
#include "support/strings.h"

namespace ferrit {

namespace {

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Removes what killed programs of this host left in the directory among the program's own
// temporary files (a save killed before its rename, a copy killed before it was put in place):
// only those the file services' own sweep takes for stale. What cannot be listed or removed
// stays; a later save tries again.
void RemoveStaleTemporaries(const std::string& dir) {
    PosixFileServices files;
    std::vector<std::string> names, stale;
    if (files.ListNames(dir, names, &stale) == 0) {
        for (const std::string& name : stale) {
            files.RemoveStaleTemporary(JoinPath(dir, name));
        }
    }
}

}  // namespace

int MakeDirectoriesPlain(const std::string& path, mode_t mode) {
    if (path.empty()) {
        return ENOENT;
    }
    // From the path upwards until a level exists or is made; `missing` holds the ends of the
    // levels found missing on the way, deepest first.
    std::vector<size_t> missing;
    size_t end = path.size();
    for (;;) {
        const std::string level = path.substr(0, end);
        if (mkdir(level.c_str(), mode) == 0) {
            break;
        }
        const int err = errno;
        if (err == EEXIST) {
            struct stat st;
            if (stat(level.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
                return missing.empty() ? EEXIST : ENOTDIR;
            }
            break;
        }
        if (err != ENOENT) {
            return err;
        }
        missing.push_back(end);
        size_t slash = path.find_last_of('/', end - 1);
        while (slash != std::string::npos && slash > 0 && path[slash - 1] == '/') {
            --slash;
        }
        if (slash == std::string::npos || slash == 0) {
            return ENOENT;  // nothing above to make it in
        }
        end = slash;
    }
    for (size_t i = missing.size(); i-- > 0;) {
        const std::string level = path.substr(0, missing[i]);
        if (mkdir(level.c_str(), mode) != 0) {
            const int err = errno;
            struct stat st;
            if (err != EEXIST || stat(level.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
                return err == EEXIST && i == 0 ? EEXIST : err;
            }
        }
    }
    return 0;
}

bool SaveWholeFile(const std::string& path, const std::string& text, const WholeFileSave& how) {
    std::string target = path;
    struct stat lst;
    if (how.throughLink && lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        if (char* resolved = realpath(path.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    const std::string dir = DirOf(target);
    if (MakeDirectoriesPlain(dir, how.directoryMode) != 0) {
        return false;
    }
    UniqueFd dirFd(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dirFd.Valid()) {
        return false;
    }
    RemoveStaleTemporaries(dir);
    // The new text is written under one of the program's temporary names, bearing the mark of an
    // unfinished copy (nobody may read it) until it is complete: what a killed save leaves is
    // known for a leftover and removed by the next save here.
    std::string temp;
    const int fd = SafeCopier::CreateNamedTemporary(dirFd.Get(), temp, O_WRONLY, kUnfinishedMode);
    if (fd < 0) {
        return false;
    }
    mode_t mode = 0644;
    if (how.keepMode) {
        struct stat st;
        if (stat(target.c_str(), &st) == 0) {
            mode = st.st_mode & 07777;
        }
    } else {
        mode = LessUmask(0666, ProcessUmask());
    }
    bool ok = WriteAll(fd, text) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    const std::string name = target.substr(target.find_last_of('/') + 1);
    if (!ok || renameat(dirFd.Get(), temp.c_str(), dirFd.Get(), name.c_str()) != 0) {
        unlinkat(dirFd.Get(), temp.c_str(), 0);
        return false;
    }
    fsync(dirFd.Get());
    return true;
}

std::string ResolvePath(const std::string& path) {
    if (path.empty()) {
        return path;
    }
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

namespace {

// $NAME when it is an absolute path, else the home directory joined with `fallback`.
std::string XdgDirectory(const char* name, const char* fallback) {
    const char* xdg = std::getenv(name);
    if (xdg && xdg[0] == '/') {
        return xdg;
    }
    std::string home;
    const char* env = std::getenv("HOME");
    if (env && *env) {
        home = env;
    } else {
        const passwd* pw = getpwuid(getuid());
        home = pw && pw->pw_dir ? pw->pw_dir : "/";
    }
    return home + fallback;
}

}  // namespace

std::string ConfigDirectory() {
    return XdgDirectory("XDG_CONFIG_HOME", "/.config");
}

std::string StateDirectory() {
    return XdgDirectory("XDG_STATE_HOME", "/.local/state");
}

std::FILE* OpenForAppending(const std::string& path) {
    return std::fopen(path.c_str(), "ae");
}

bool LocalTimeOf(std::time_t moment, std::tm& local) {
    return localtime_r(&moment, &local) != nullptr;
}

std::string NormalAbsolutePath(const std::string& path) {
    std::string full = path;
    if (full.empty() || full[0] != '/') {
        char* cwd = getcwd(nullptr, 0);
        if (cwd == nullptr) {
            return std::string();
        }
        full = std::string(cwd) + "/" + full;
        std::free(cwd);
    }
    std::vector<std::string> parts;
    std::stringstream in(full);
    std::string part;
    while (std::getline(in, part, '/')) {
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (const std::string& p : parts) {
        out += "/" + p;
    }
    return out.empty() ? "/" : out;
}

int StatPath(const std::string& path, PathFacts& out) {
    out = PathFacts();
    struct statx st;
    if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &st) !=
        0) {
        const int err = errno;
        return WinErrorFromErrno(err, err == ENOENT && access(DirOf(path).c_str(), F_OK) != 0);
    }
    const mode_t mode = st.stx_mode;
    out.kind = S_ISREG(mode)                    ? EntryKind::File
               : S_ISDIR(mode)                  ? EntryKind::Directory
               : S_ISLNK(mode)                  ? EntryKind::Link
               : S_ISFIFO(mode)                 ? EntryKind::Fifo
               : S_ISSOCK(mode)                 ? EntryKind::Socket
               : S_ISCHR(mode) || S_ISBLK(mode) ? EntryKind::Device
                                                : EntryKind::Other;
    out.size = static_cast<int64_t>(st.stx_size);
    out.readOnly = (mode & 0222) == 0;
    out.volume = (static_cast<uint64_t>(st.stx_dev_major) << 32) | st.stx_dev_minor;
    out.index = st.stx_ino;
    const auto stamp = [](const struct statx_timestamp& t) {
        return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
    };
    out.created = (st.stx_mask & STATX_BTIME) != 0 ? stamp(st.stx_btime) : 0;
    out.modified = stamp(st.stx_mtime);
    return 0;
}

int ReadDirectoryNames(const std::string& dir, std::vector<std::string>& names) {
    names.clear();
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) {
        return WinErrorFromErrno(errno, true);
    }
    errno = 0;
    while (const dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
        errno = 0;
    }
    const int err = errno;
    closedir(d);
    if (err != 0) {
        names.clear();
        return WinErrorFromErrno(err);
    }
    return 0;
}

namespace {

// The first failure of a removal by nftw, which passes no state to its callback.
thread_local int tFirstFailure = 0;

// An unreadable directory is not emptied: its own removal then fails and is the failure told.
int RemoveOne(const char* path, const struct stat*, int, struct FTW*) {
    if (remove(path) != 0 && tFirstFailure == 0) {
        tFirstFailure = WinErrorFromErrno(errno);
    }
    return 0;
}

}  // namespace

int DeleteTree(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
        return errno == ENOENT ? 0 : WinErrorFromErrno(errno);
    }
    tFirstFailure = 0;
    if (nftw(path.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS | FTW_MOUNT) != 0 &&
        tFirstFailure == 0) {
        tFirstFailure = WinErrorFromErrno(errno);
    }
    const int failure = tFirstFailure;
    tFirstFailure = 0;
    return lstat(path.c_str(), &st) != 0 && errno == ENOENT ? 0 : (failure != 0 ? failure : 31);
}

}  // namespace ferrit
