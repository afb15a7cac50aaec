#include "platform/win/win_confined_paths.h"

namespace ferrit {
namespace win {

namespace {

bool SameTextNoCase(const wchar_t* a, const wchar_t* b, size_t n) {
    return n == 0 ||
           CompareStringOrdinal(a, static_cast<int>(n), b, static_cast<int>(n), TRUE) == CSTR_EQUAL;
}

std::vector<std::wstring> SplitNames(const std::wstring& text) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L'\\', start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        if (end > start) {
            parts.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

// A missing or non-directory level on the way reads as "path not found".
int LevelError(int err) {
    return err == ERROR_FILE_NOT_FOUND || err == ERROR_DIRECTORY ? ERROR_PATH_NOT_FOUND : err;
}

// Opens (or, with `create`, makes) the directory `name` in `parent`, refusing a reparse point.
// `created` tells whether this open made it.
int OpenLevel(HANDLE parent, const std::wstring& name, bool create, bool last, UniqueHandle& out,
              bool& created) {
    OpenRequest request = DirectoryRequest(false);
    request.disposition = create ? FILE_OPEN_IF : FILE_OPEN;
    int err = OpenAt(parent, name, request, out, &created);
    if (err == ERROR_DIRECTORY && create) {
        // Something other than a directory stands there: a link (a reparse point) or a file.
        UniqueHandle probe;
        OpenRequest look;
        look.options = FILE_OPEN_REPARSE_POINT;
        DWORD attributes = 0, tag = 0;
        if (OpenAt(parent, name, look, probe) == 0 && AttributeTag(probe.Get(), attributes, tag) &&
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            return ERROR_CANT_RESOLVE_FILENAME;
        }
        return last ? ERROR_ALREADY_EXISTS : ERROR_PATH_NOT_FOUND;
    }
    if (err != 0) {
        return create && last ? err : LevelError(err);
    }
    DWORD attributes = 0, tag = 0;
    if (!AttributeTag(out.Get(), attributes, tag)) {
        const int e = static_cast<int>(GetLastError());
        out.Reset();
        return e;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        out.Reset();
        return ERROR_CANT_RESOLVE_FILENAME;
    }
    return 0;
}

bool StartsWithParts(const std::vector<std::wstring>& whole, const std::vector<std::wstring>& head,
                     size_t n) {
    if (head.size() > n) {
        return false;
    }
    for (size_t i = 0; i < head.size(); ++i) {
        if (head[i] != whole[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

OpenRequest DirectoryRequest(bool followLink) {
    OpenRequest request;
    request.access = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    request.options = FILE_DIRECTORY_FILE | (followLink ? 0 : FILE_OPEN_REPARSE_POINT);
    return request;
}

int MakeDirectoriesByName(const std::wstring& absolute, bool* made) {
    if (made != nullptr) {
        *made = false;
    }
    // Each level from the top, opened or made, links followed.
    size_t start = 3;  // after "C:\"
    if (absolute.compare(0, 2, L"\\\\") == 0) {
        // After "\\server\share": the share itself is never made.
        const size_t server = absolute.find(L'\\', 2);
        const size_t share =
            server == std::wstring::npos ? server : absolute.find(L'\\', server + 1);
        if (share == std::wstring::npos) {
            return 0;
        }
        start = share + 1;
    }
    UniqueHandle level;
    size_t end = start;
    while (end <= absolute.size() && start < absolute.size()) {
        end = absolute.find(L'\\', end);
        if (end == std::wstring::npos) {
            end = absolute.size();
        }
        OpenRequest request = DirectoryRequest(true);
        request.disposition = FILE_OPEN_IF;
        const bool last = end == absolute.size();
        bool created = false;
        const int err = OpenAt(nullptr, NtName(absolute.substr(0, end)), request, level, &created);
        if (err != 0) {
            return err == ERROR_DIRECTORY && last ? ERROR_ALREADY_EXISTS : err;
        }
        if (last && made != nullptr) {
            *made = created;
        }
        ++end;
    }
    return 0;
}

void WinConfinedPaths::SetRoots(const std::vector<std::string>& roots) {
    std::vector<Root> opened;
    for (const std::string& text : roots) {
        Root root;
        if (AbsolutePath(text, root.text) != 0) {
            continue;
        }
        auto handle = std::make_shared<UniqueHandle>();
        if (OpenAt(nullptr, NtName(root.text), DirectoryRequest(true), *handle) != 0) {
            continue;
        }
        root.handle = std::move(handle);
        opened.push_back(std::move(root));
    }
    std::lock_guard<std::mutex> lock(mutex_);
    roots_ = std::move(opened);
}

WinConfinedPaths::Root* WinConfinedPaths::Below(const std::wstring& absolute,
                                                std::vector<std::wstring>& parts, int& err) {
    Root* best = nullptr;
    size_t rest = 0;
    for (Root& root : roots_) {
        const size_t n = root.text.size();
        if (absolute.size() < n || !SameTextNoCase(absolute.c_str(), root.text.c_str(), n)) {
            continue;
        }
        const bool rootEndsInSeparator = root.text.back() == L'\\';
        if (absolute.size() > n && !rootEndsInSeparator && absolute[n] != L'\\') {
            continue;  // another name that merely begins like the root
        }
        if (best == nullptr || n > best->text.size()) {
            best = &root;
            rest = n;
        }
    }
    parts.clear();
    if (best != nullptr) {
        parts = SplitNames(absolute.substr(rest));
        for (const std::wstring& part : parts) {
            if (part == L"." || part == L"..") {
                err = ERROR_INVALID_NAME;
                return nullptr;
            }
        }
    }
    return best;
}

int WinConfinedPaths::Resolve(Root& root, const std::vector<std::wstring>& parts, size_t n,
                              bool create, SharedHandle& dir, bool* made) {
    if (made != nullptr) {
        *made = false;
    }
    if (n == 0) {
        dir = root.handle;
        return 0;
    }
    size_t i = 0;
    SharedHandle at = root.handle;
    if (root.lastDir && StartsWithParts(parts, root.lastParts, n)) {
        i = root.lastParts.size();
        at = root.lastDir;
    }
    for (; i < n; ++i) {
        auto next = std::make_shared<UniqueHandle>();
        bool created = false;
        const int err = OpenLevel(at->Get(), parts[i], create, i + 1 == n, *next, created);
        if (err != 0) {
            return err;
        }
        if (i + 1 == n && made != nullptr) {
            *made = created;
        }
        at = std::move(next);
    }
    root.lastParts.assign(parts.begin(), parts.begin() + static_cast<std::ptrdiff_t>(n));
    root.lastDir = at;
    dir = at;
    return 0;
}

int WinConfinedPaths::ResolveBelowRoot(const std::wstring& absolute, bool create, SharedHandle& dir,
                                       bool& below, bool* made) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::wstring> parts;
    int err = 0;
    Root* root = Below(absolute, parts, err);
    below = root != nullptr || err != 0;
    if (root == nullptr) {
        return err;
    }
    return Resolve(*root, parts, parts.size(), create, dir, made);
}

int WinConfinedPaths::Locate(const std::string& path, WinPathAt& at) {
    std::wstring absolute;
    if (const int err = AbsolutePath(path, absolute)) {
        return err;
    }
    std::vector<std::wstring> parts;
    int err = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Root* root = Below(absolute, parts, err);
        if (err != 0) {
            return err;
        }
        if (root != nullptr && !parts.empty()) {
            at.name = parts.back();
            at.dirText = absolute.substr(0, absolute.size() - at.name.size());
            if (at.dirText.size() > 3 && at.dirText.back() == L'\\') {
                at.dirText.pop_back();
            }
            return Resolve(*root, parts, parts.size() - 1, false, at.dir);
        }
    }
    const size_t slash = absolute.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash + 1 >= absolute.size()) {
        return ERROR_INVALID_NAME;  // a drive or share root has no name in a directory
    }
    at.name = absolute.substr(slash + 1);
    at.dirText = absolute.substr(0, slash);
    if (at.dirText.size() == 2 && at.dirText[1] == L':') {
        at.dirText += L'\\';
    }
    auto dir = std::make_shared<UniqueHandle>();
    err = OpenAt(nullptr, NtName(at.dirText), DirectoryRequest(true), *dir);
    if (err != 0) {
        return LevelError(err);
    }
    at.dir = std::move(dir);
    return 0;
}

int WinConfinedPaths::OpenDirectory(const std::string& path, SharedHandle& dir) {
    std::wstring absolute;
    if (const int err = AbsolutePath(path, absolute)) {
        return err;
    }
    bool below = false;
    const int err = ResolveBelowRoot(absolute, false, dir, below);
    if (below) {
        return err;
    }
    auto opened = std::make_shared<UniqueHandle>();
    if (const int e = OpenAt(nullptr, NtName(absolute), DirectoryRequest(true), *opened)) {
        return e;
    }
    dir = std::move(opened);
    return 0;
}

int WinConfinedPaths::MakeDirectories(const std::string& path, bool* made) {
    if (made != nullptr) {
        *made = false;
    }
    std::wstring absolute;
    if (const int err = AbsolutePath(path, absolute)) {
        return err;
    }
    SharedHandle dir;
    bool below = false;
    const int err = ResolveBelowRoot(absolute, true, dir, below, made);
    if (below) {
        return err;
    }
    const int rc = MakeDirectoriesByName(absolute, made);
    return rc == ERROR_DIRECTORY ? ERROR_PATH_NOT_FOUND : rc;
}

void WinConfinedPaths::Forget(const std::string& path) {
    std::wstring absolute;
    if (AbsolutePath(path, absolute) != 0) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::wstring> parts;
    int err = 0;
    Root* root = Below(absolute, parts, err);
    if (root != nullptr && root->lastDir &&
        StartsWithParts(root->lastParts, parts, root->lastParts.size())) {
        root->lastDir.reset();
        root->lastParts.clear();
    }
}

}  // namespace win
}  // namespace ferrit
