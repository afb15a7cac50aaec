// Resolution of paths below the run's roots through open directory handles, on Windows: every
// directory below a root is opened relative to its parent's handle without following a reparse
// point (a symbolic link, a junction), and one that is a reparse point is refused, so nothing is
// written, deleted or listed through a link. Paths outside every root keep their plain meaning.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win/win_api.h"

namespace ferrit {
namespace win {

using SharedHandle = std::shared_ptr<UniqueHandle>;

// Where an operation on a path takes place: an open directory and a name in it.
struct WinPathAt {
    SharedHandle dir;      // the directory, open for opens relative to it
    std::wstring name;     // the last component
    std::wstring dirText;  // the directory as absolute text, for names made beside it

    HANDLE Dir() const { return dir->Get(); }
};

class WinConfinedPaths {
  public:
    // The roots below which paths are confined; an empty list lifts the confinement. A root that
    // cannot be opened confines nothing.
    void SetRoots(const std::vector<std::string>& roots);

    // Splits the path into its open directory and its last name. Returns 0 or a Windows error
    // number: 3 where a directory of the path is missing, 1921 where one below a root is a
    // reparse point, 123 for a text that is no path or a path without a name.
    int Locate(const std::string& path, WinPathAt& at);

    // Opens the directory the path names. Below a root no reparse point is followed, not even
    // at the path itself; elsewhere the path has its plain meaning. 0 or a Windows error number.
    int OpenDirectory(const std::string& path, SharedHandle& dir);

    // Creates the directory and whatever parents are missing. 183 where something other than a
    // directory stands at the path, 1921 where a reparse point stands in the way below a root.
    // `made`, when given, tells whether this call made the directory itself (it was empty then).
    int MakeDirectories(const std::string& path, bool* made = nullptr);

    // Lets go of every handle kept on the directory at the path or below it, so that it can be
    // removed at once (an open handle would keep a removed directory pending).
    void Forget(const std::string& path);

  private:
    struct Root {
        std::wstring text;  // absolute, without a trailing separator (a drive root keeps its "\")
        SharedHandle handle;
        // The directory last resolved below the root: consecutive operations mostly take place
        // in one directory, or in a subdirectory of it.
        std::vector<std::wstring> lastParts;
        SharedHandle lastDir;
    };

    // The innermost root the absolute path lies at or below, with the names after it; nullptr
    // when none. `err` is set (123) for a name that cannot be taken as it stands ("." or "..").
    Root* Below(const std::wstring& absolute, std::vector<std::wstring>& parts, int& err);
    // The whole absolute path resolved (missing levels made with `create`) when it lies at or
    // below a root (`below`); otherwise nothing is done.
    int ResolveBelowRoot(const std::wstring& absolute, bool create, SharedHandle& dir, bool& below,
                         bool* made = nullptr);
    // The handle of the directory made of the first `n` names below the root; missing levels are
    // made when `create` is set (`made`, when given, tells whether the last one was). Called
    // with the lock held.
    int Resolve(Root& root, const std::vector<std::wstring>& parts, size_t n, bool create,
                SharedHandle& dir, bool* made = nullptr);

    std::mutex mutex_;
    std::vector<Root> roots_;
};

// Creates the directory at the absolute path and whatever parents are missing, following links
// (the plain meaning of a path). 0, 183 where a non-directory stands at the path, 267 where one
// stands above it, or another Windows error number. `made`, when given, tells whether this call
// made the directory at the path itself.
int MakeDirectoriesByName(const std::wstring& absolute, bool* made = nullptr);

// The request for opening a directory: for listing and for opens relative to it.
OpenRequest DirectoryRequest(bool followLink);

}  // namespace win
}  // namespace ferrit
