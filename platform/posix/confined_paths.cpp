#include "platform/posix/confined_paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/error_codes.h"
#include "platform/fs_util.h"
#include "support/strings.h"

namespace ferrit {

namespace {

// Descriptors kept open per root; beyond it the shallow levels are closed (every sixteenth
// stays as a point to resolve from again), so a tree thousands of levels deep stays within the
// process's limit.
constexpr size_t kOpenBudget = 128;
constexpr size_t kKeepDeepest = 48;
constexpr size_t kCheckpointEvery = 16;
// Lately resolved directories kept per root beside the chain: enough for the walk and every
// copy worker each in a directory of its own.
constexpr size_t kRecentDirectories = 24;

// Opens one directory level below `parent` without following a link there; makes it first when
// `create` is set and it is missing (`made` is then set). Returns the descriptor, or -errno.
int OpenLevel(int parent, const std::string& name, bool create, bool& made) {
    made = false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = openat(parent, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) {
            return fd;
        }
        int err = errno;
        if (err == ENOENT && create && attempt == 0) {
            if (mkdirat(parent, name.c_str(), 0777) == 0) {
                made = true;
                continue;  // made: open it
            }
            if (errno == EEXIST) {
                continue;  // made meanwhile by someone else: open it
            }
            return -errno;
        }
        if (err == ENOTDIR) {
            struct stat st;
            if (fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
                if (S_ISLNK(st.st_mode)) {
                    err = ELOOP;
                } else if (create) {
                    err = EEXIST;
                }
            }
        }
        return -err;
    }
    return -ENOENT;
}

// The position of the separator before a path's last component where that component is a plain
// name (not "." or ".."), else npos: only such a path may be one of a directory located lately.
size_t SlashBeforePlainName(const std::string& path) {
    const size_t last = path.find_last_of('/');
    if (last == std::string::npos || last + 1 == path.size() ||
        path.compare(last + 1, std::string::npos, ".") == 0 ||
        path.compare(last + 1, std::string::npos, "..") == 0) {
        return std::string::npos;
    }
    return last;
}

}  // namespace

std::string ProcPath(int fd, const char* name) {
    std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (name != nullptr) {
        path += '/';
        path += name;
    }
    return path;
}

int SystemError::WindowsCode() const {
    return WinErrorFromErrno(errnoValue, true);
}

void UniqueFd::Reset(int fd) {
    if (fd_ >= 0) {
        close(fd_);
    }
    fd_ = fd;
}

ConfinedPaths::~ConfinedPaths() {
    SetRoots({});
}

void ConfinedPaths::SetRoots(const std::vector<std::string>& roots) {
    std::lock_guard<std::mutex> lock(mutex_);
    located_.clear();
    nextLocated_ = 0;
    for (Root& root : roots_) {
        Truncate(root, 0);
        root.recent.clear();
    }
    roots_.clear();
    for (const std::string& text : roots) {
        if (text.empty()) {
            continue;
        }
        Root root;
        root.text = WithoutTrailingSlash(text);
        // The root as typed: a link there is the user's own choice and is followed.
        root.fd.Reset(open(root.text.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        struct stat st;
        if (root.fd.Valid() && fstat(root.fd.Get(), &st) == 0) {
            root.device = static_cast<uint64_t>(st.st_dev);
            roots_.push_back(std::move(root));
        }
    }
}

ConfinedPaths::Lookup ConfinedPaths::LookUp(const std::string& path) {
    Lookup found;
    found.lock = std::unique_lock<std::mutex>(mutex_);
    for (Root& root : roots_) {
        if (PathAtOrBelow(path, root.text) &&
            (found.root == nullptr || root.text.size() > found.root->text.size())) {
            found.root = &root;
        }
    }
    if (found.root == nullptr) {
        return found;
    }
    size_t pos = found.root->text.size();
    while (pos < path.size()) {
        while (pos < path.size() && path[pos] == '/') {
            ++pos;
        }
        if (pos >= path.size()) {
            break;
        }
        size_t end = path.find('/', pos);
        if (end == std::string::npos) {
            end = path.size();
        }
        found.parts.emplace_back(path, pos, end - pos);
        if (found.parts.back() == "." || found.parts.back() == "..") {
            found.err = SystemError{EINVAL};  // never produced by a walk; refused, not resolved
        }
        pos = end;
    }
    return found;
}

void ConfinedPaths::Truncate(Root& root, size_t levels) {
    while (root.chain.size() > levels) {
        if (root.chain.back().fd.Valid()) {
            --root.open;
        }
        root.chain.pop_back();
    }
}

void ConfinedPaths::KeepWithinBudget(Root& root, size_t keepFrom, size_t keepTo) {
    if (root.open <= kOpenBudget || root.chain.size() <= kKeepDeepest) {
        return;
    }
    const size_t shallowEnd = root.chain.size() - kKeepDeepest;
    for (size_t i = 0; i < shallowEnd && root.open > kOpenBudget - kKeepDeepest / 2; ++i) {
        const bool kept = i >= keepFrom && i < keepTo;
        if (root.chain[i].fd.Valid() && i % kCheckpointEvery != kCheckpointEvery - 1 && !kept) {
            root.chain[i].fd.Reset();
            --root.open;
        }
    }
}

const ConfinedPaths::Recent* ConfinedPaths::FindRecent(Root& root,
                                                       const std::vector<std::string>& parts,
                                                       size_t n) {
    for (size_t i = 0; i < root.recent.size(); ++i) {
        const std::vector<std::string>& kept = root.recent[i].parts;
        if (kept.size() == n && std::equal(kept.begin(), kept.end(), parts.begin())) {
            std::rotate(root.recent.begin(), root.recent.begin() + static_cast<ptrdiff_t>(i),
                        root.recent.begin() + static_cast<ptrdiff_t>(i) + 1);
            return &root.recent.front();
        }
    }
    return nullptr;
}

void ConfinedPaths::KeepRecent(Root& root, const std::vector<std::string>& parts, size_t n) {
    if (root.recent.size() >= kRecentDirectories) {
        root.recent.pop_back();
    }
    Recent kept{std::vector<std::string>(parts.begin(), parts.begin() + static_cast<ptrdiff_t>(n)),
                root.chain[n - 1].fd, root.chain[n - 1].device};
    root.recent.insert(root.recent.begin(), std::move(kept));
}

SystemError ConfinedPaths::Resolve(Root& root, const std::vector<std::string>& parts, size_t n,
                                   bool create, SharedFd& fd, uint64_t* device, bool* made) {
    if (made != nullptr) {
        *made = false;
    }
    size_t common = 0;
    while (common < root.chain.size() && common < n && root.chain[common].name == parts[common]) {
        ++common;
    }
    if (common < n) {
        if (const Recent* kept = FindRecent(root, parts, n)) {
            fd = kept->fd;
            if (device != nullptr) {
                *device = kept->device;
            }
            return SystemError();
        }
        Truncate(root, common);  // another branch: what was below the common part goes
    }
    // The deepest level still open to resolve from.
    size_t from = std::min(common, n);
    while (from > 0 && !root.chain[from - 1].fd.Valid()) {
        --from;
    }
    int current = from == 0 ? root.fd.Get() : root.chain[from - 1].fd.Get();
    for (size_t i = from; i < n; ++i) {
        bool madeLevel = false;
        const int next = OpenLevel(current, parts[i], create, madeLevel);
        if (made != nullptr && i + 1 == n) {
            *made = madeLevel;
        }
        if (next < 0) {
            Truncate(root, i);
            return SystemError{-next};
        }
        // Its device is asked once, when it is opened: asked per file it would cost a round
        // trip each time on a network volume, where every new entry makes the kernel forget
        // the directory's attributes.
        struct stat st;
        const uint64_t dev = fstat(next, &st) == 0 ? static_cast<uint64_t>(st.st_dev) : 0;
        if (i < root.chain.size()) {
            root.chain[i].fd.Reset(next);  // a level closed for the budget, open again
            root.chain[i].device = dev;
        } else {
            root.chain.push_back(Level{parts[i], SharedFd(next), dev});
        }
        ++root.open;
        current = next;
        KeepWithinBudget(root, i, n);  // never the level walked from, nor the one wanted
    }
    if (common < n) {
        KeepRecent(root, parts, n);
    }
    fd = n == 0 ? root.fd : root.chain[n - 1].fd;
    if (device != nullptr) {
        *device = n == 0 ? root.device : root.chain[n - 1].device;
    }
    return SystemError();
}

bool ConfinedPaths::LocateKnown(const std::string& path, size_t slash, PathAt& at) {
    for (const Located& known : located_) {
        if (known.text.size() == slash && path.compare(0, slash, known.text) == 0) {
            at.held = known.fd;
            at.device = known.device;
            at.name.assign(path, slash + 1, std::string::npos);
            at.confined = true;
            at.dirText = known.dirText;
            return true;
        }
    }
    return false;
}

void ConfinedPaths::KeepLocated(const std::string& path, size_t slash, const PathAt& at) {
    Located kept{path.substr(0, slash), at.dirText, at.held, at.device};
    if (located_.size() < kRecentDirectories) {
        located_.push_back(std::move(kept));
    } else {
        located_[nextLocated_] = std::move(kept);
        nextLocated_ = (nextLocated_ + 1) % kRecentDirectories;
    }
}

SystemError ConfinedPaths::Locate(const std::string& path, PathAt& at) {
    at = PathAt();
    // A path whose last component is a plain name may be one of a directory located lately.
    const size_t last = SlashBeforePlainName(path);
    const bool plainName = last != std::string::npos;
    if (plainName) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (LocateKnown(path, last, at)) {
            return SystemError();
        }
    }
    Lookup found = LookUp(path);
    if (found.err) {
        return found.err;
    }
    if (found.root == nullptr || found.parts.empty()) {
        const std::string whole = WithoutTrailingSlash(path);
        const size_t slash = whole.find_last_of('/');
        at.name = slash == std::string::npos ? whole : whole.substr(slash + 1);
        at.dirText = DirOf(whole);
        at.held.Reset(open(at.dirText.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        return SystemError{at.held.Valid() ? 0 : errno};
    }
    const std::vector<std::string>& parts = found.parts;
    // The directory's descriptor is shared with the cache: no call to duplicate or close it.
    if (const SystemError err =
            Resolve(*found.root, parts, parts.size() - 1, false, at.held, &at.device)) {
        return err;
    }
    at.name = parts.back();
    at.confined = true;
    at.dirText = WithoutTrailingSlash(path.substr(0, path.size() - at.name.size()));
    if (plainName) {
        KeepLocated(path, last, at);
    }
    return SystemError();
}

SystemError ConfinedPaths::OpenDirectory(const std::string& path, SharedFd& out) {
    out.Reset();
    Lookup found = LookUp(path);
    if (found.err) {
        return found.err;
    }
    if (found.root == nullptr) {
        out.Reset(open(path.empty() ? "." : path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        return SystemError{out.Valid() ? 0 : errno};
    }
    return Resolve(*found.root, found.parts, found.parts.size(), false, out);
}

SystemError ConfinedPaths::MakeDirectories(const std::string& path, bool* made) {
    if (made != nullptr) {
        *made = false;
    }
    // The usual case, a new directory in one located lately, is made without the lock: making
    // a directory may wait for the file system's journal, and every copy would wait with it.
    // Anything else (the directory or something else there already, a parent missing, a
    // failure) is made or answered by the resolution below.
    const size_t last = SlashBeforePlainName(path);
    if (last != std::string::npos) {
        PathAt parent;
        bool known = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            known = LocateKnown(path, last, parent);
        }
        if (known && mkdirat(parent.Dir(), parent.name.c_str(), 0777) == 0) {
            if (made != nullptr) {
                *made = true;
            }
            return SystemError();
        }
    }
    Lookup found = LookUp(path);
    if (found.err) {
        return found.err;
    }
    if (found.root == nullptr || found.parts.empty()) {
        found.lock.unlock();
        return SystemError{MakeDirectoriesPlain(path)};
    }
    SharedFd fd;
    return Resolve(*found.root, found.parts, found.parts.size(), true, fd, nullptr, made);
}

void ConfinedPaths::Forget(const std::string& path) {
    Lookup found = LookUp(path);
    located_.clear();  // whichever of them lay at or below the path
    nextLocated_ = 0;
    const std::vector<std::string>& parts = found.parts;
    if (found.root == nullptr || found.err || parts.empty()) {
        return;
    }
    // The directory and whatever was kept below it.
    std::vector<Recent>& recent = found.root->recent;
    recent.erase(std::remove_if(recent.begin(), recent.end(),
                                [&parts](const Recent& kept) {
                                    return kept.parts.size() >= parts.size() &&
                                           std::equal(parts.begin(), parts.end(),
                                                      kept.parts.begin());
                                }),
                 recent.end());
    if (found.root->chain.size() < parts.size()) {
        return;
    }
    for (size_t i = 0; i < parts.size(); ++i) {
        if (found.root->chain[i].name != parts[i]) {
            return;
        }
    }
    Truncate(*found.root, parts.size() - 1);
}

}  // namespace ferrit
