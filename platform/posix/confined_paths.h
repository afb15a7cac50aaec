// Resolution of paths below the run's roots through open directory descriptors: no link in a
// directory below a root is ever followed, and the depth of a tree is not limited by the length
// of a path text. Paths outside every root keep their plain meaning.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ferrit {

// The path by which the kernel reaches an entry of an open directory, or the open file itself
// when `name` is null, without looking its directories up again.
std::string ProcPath(int fd, const char* name);

// A failure of a system call on the way to a path, as its errno value (0: none). It is no Windows
// number and never passes for one: WindowsCode gives the number the file services report.
struct SystemError {
    int errnoValue = 0;

    explicit operator bool() const { return errnoValue != 0; }  // a failure
    // The Windows number for it; a path whose directory is missing is "path not found".
    int WindowsCode() const;
};

// An owned file descriptor, closed on destruction.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& o) noexcept : fd_(o.Release()) {}
    UniqueFd& operator=(UniqueFd&& o) noexcept {
        if (this != &o) {
            Reset(o.Release());
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void Reset(int fd = -1);

  private:
    int fd_ = -1;
};

// A directory descriptor that may be held in several places at once (the resolution cache and
// the operations that borrowed it): closed when the last holder lets it go, so handing one out
// costs no system call, and a level dropped from the cache stays valid for whoever still uses it.
class SharedFd {
  public:
    SharedFd() = default;
    explicit SharedFd(int fd) { Reset(fd); }
    int Get() const { return fd_ ? fd_->Get() : -1; }
    bool Valid() const { return Get() >= 0; }
    void Reset(int fd = -1) {
        if (fd >= 0) {
            fd_ = std::make_shared<UniqueFd>(fd);
        } else {
            fd_.reset();
        }
    }

  private:
    std::shared_ptr<UniqueFd> fd_;
};

// Where an operation on a path takes place: an open directory and a name in it, for the *at
// calls. Outside every root the directory is the path's own directory, opened by its text.
struct PathAt {
    SharedFd held;          // the directory
    std::string name;       // the last component
    std::string dirText;    // the directory part of the path as text, for names made beside it
    bool confined = false;  // the path lies below a root
    // The device of the directory where it is known without asking (below a root); 0 else.
    uint64_t device = 0;

    int Dir() const { return held.Get(); }
};

class ConfinedPaths {
  public:
    ConfinedPaths() = default;
    ~ConfinedPaths();
    ConfinedPaths(const ConfinedPaths&) = delete;
    ConfinedPaths& operator=(const ConfinedPaths&) = delete;

    // The roots below which paths are confined; an empty list lifts the confinement. A root that
    // cannot be opened confines nothing.
    void SetRoots(const std::vector<std::string>& roots);

    // Splits the path into its open directory and its name. Fails with ELOOP where a directory
    // below a root is a link, with ENOENT or ENOTDIR where the directory is missing.
    SystemError Locate(const std::string& path, PathAt& at);

    // Opens the directory the path names (O_PATH). Below a root no link is followed, not even
    // at the path itself.
    SystemError OpenDirectory(const std::string& path, SharedFd& fd);

    // Creates the directory and whatever parents are missing, trying the directory itself first,
    // so a deep tree costs one call per new level. EEXIST when something other than a directory
    // stands at the path, ELOOP when a link does (below a root). `made`, where given, tells
    // whether this call made the directory itself (below a root).
    SystemError MakeDirectories(const std::string& path, bool* made = nullptr);

    // Forgets what is known about the directory at the path and below it (it was removed).
    void Forget(const std::string& path);

  private:
    struct Level {
        std::string name;
        SharedFd fd;  // not valid once closed to stay within the budget; opened again when needed
        uint64_t device = 0;
    };
    // A directory resolved lately, kept beside the chain: the walk and the copy workers each
    // work in a directory of their own, and would otherwise take the chain from one another
    // and open their directories again for every file.
    struct Recent {
        std::vector<std::string> parts;  // below the root
        SharedFd fd;
        uint64_t device = 0;
    };
    struct Root {
        std::string text;  // without trailing separators
        SharedFd fd;
        uint64_t device = 0;
        std::vector<Level> chain;    // the directories last resolved below the root, in order
        size_t open = 0;             // descriptors of the chain now open
        std::vector<Recent> recent;  // the latest first, at most kRecentDirectories
    };

    // A path looked up under the lock, which it holds: the innermost root the path lies below
    // (nullptr when none) and the components after it. `err` is set for a path whose components
    // cannot be taken as they stand ("." or "..").
    struct Lookup {
        std::unique_lock<std::mutex> lock;
        Root* root = nullptr;
        std::vector<std::string> parts;
        SystemError err;
    };
    Lookup LookUp(const std::string& path);
    // The descriptor of the directory made of the first `n` parts below the root (shared with
    // the cache). Missing levels are made when `create` is true; `made`, where given, tells
    // whether the last level was.
    SystemError Resolve(Root& root, const std::vector<std::string>& parts, size_t n, bool create,
                        SharedFd& fd, uint64_t* device = nullptr, bool* made = nullptr);
    void Truncate(Root& root, size_t levels);
    // The lately resolved directory made of the first `n` parts, moved to the front; null if
    // none is kept.
    const Recent* FindRecent(Root& root, const std::vector<std::string>& parts, size_t n);
    void KeepRecent(Root& root, const std::vector<std::string>& parts, size_t n);
    // Closes shallow levels beyond the budget, never those from index keepFrom to keepTo.
    void KeepWithinBudget(Root& root, size_t keepFrom, size_t keepTo);

    // A directory located lately by the text of a path, found again by that text alone: a path
    // is then not taken apart and looked up level by level once more for every file in the
    // directory, and the lock is held for a moment only. Forgotten with the rest.
    struct Located {
        std::string text;     // the path up to its last separator, exclusive
        std::string dirText;  // PathAt::dirText
        SharedFd fd;
        uint64_t device = 0;
    };
    // Fills `at` for a path whose directory's text is among `located_`; false where it is not.
    bool LocateKnown(const std::string& path, size_t slash, PathAt& at);
    void KeepLocated(const std::string& path, size_t slash, const PathAt& at);

    std::mutex mutex_;
    std::vector<Root> roots_;
    std::vector<Located> located_;  // at most kRecentDirectories
    size_t nextLocated_ = 0;        // the entry replaced next once all are in use
};

}  // namespace ferrit
