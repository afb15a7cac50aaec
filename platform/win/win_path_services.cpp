// The services by path of fs_util.h that tools use to look at and remove entries, on Windows:
// the facts of an entry, the names of a directory, the removal of a tree, the absolute and the
// universal form.
#include <vector>

#include "platform/error_codes.h"
#include "platform/fs_util.h"
#include "platform/win/win_api.h"

namespace ferrit {

namespace {

using win::UniqueHandle;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

int64_t Stamp(const FILETIME& t) {
    return static_cast<int64_t>(static_cast<uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime);
}

// The entry itself, never what a reparse point leads to.
UniqueHandle OpenEntry(const std::wstring& absolute) {
    return UniqueHandle(CreateFileW(
        win::LongName(absolute).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

bool SameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

int Names(const std::wstring& absolute, std::vector<std::wstring>& names) {
    names.clear();
    WIN32_FIND_DATAW data;
    const HANDLE find =
        FindFirstFileExW(win::LongName(win::JoinName(absolute, L"*")).c_str(), FindExInfoBasic,
                         &data, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD err = GetLastError();
        return err == ERROR_FILE_NOT_FOUND ? 0 : static_cast<int>(err);  // an empty drive root
    }
    DWORD err = 0;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(name);
        }
    } while (FindNextFileW(find, &data));
    err = GetLastError();
    FindClose(find);
    if (err != ERROR_NO_MORE_FILES) {
        names.clear();
        return static_cast<int>(err);
    }
    return 0;
}

// Removes what stands at the absolute path, which names itself (no link above it is followed):
// 0 when nothing stands there any more.
int RemoveAt(const std::wstring& path) {
    UniqueHandle h = OpenEntry(path);
    if (!h.Valid()) {
        const DWORD err = GetLastError();
        return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND ? 0
                                                                          : static_cast<int>(err);
    }
    DWORD attributes = 0;
    DWORD tag = 0;
    if (!win::AttributeTag(h.Get(), attributes, tag)) {
        return static_cast<int>(GetLastError());
    }
    const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    // Wine shows a Unix symbolic link as what it leads to, and its removal calls would remove
    // that: an entry whose final path is not its own path is left alone.
    std::wstring final;
    if (!link && (!win::FinalPathOf(h.Get(), final) || !SameText(final, path))) {
        return WinErr::CantResolveFilename;
    }
    h.Reset();
    const bool directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (directory && !link) {
        std::vector<std::wstring> names;
        if (const int err = Names(path, names)) {
            return err;
        }
        int first = 0;
        for (const std::wstring& name : names) {
            const int err = RemoveAt(win::JoinName(path, name));
            first = first != 0 ? first : err;
        }
        if (first != 0) {
            return first;
        }
    }
    const std::wstring name = win::LongName(path);
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesW(name.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    const BOOL removed = directory ? RemoveDirectoryW(name.c_str()) : DeleteFileW(name.c_str());
    return removed ? 0 : static_cast<int>(GetLastError());
}

}  // namespace

std::string NormalAbsolutePath(const std::string& path) {
    std::wstring absolute;
    return win::AbsolutePath(path, absolute) == 0 ? win::Narrow(absolute) : std::string();
}

int StatPath(const std::string& path, PathFacts& out) {
    out = PathFacts();
    std::wstring absolute;
    if (const int err = win::AbsolutePath(path, absolute)) {
        return err;
    }
    UniqueHandle h = OpenEntry(absolute);
    if (!h.Valid()) {
        return static_cast<int>(GetLastError());
    }
    if (GetFileType(h.Get()) != FILE_TYPE_DISK) {
        out.kind = EntryKind::Device;
        return 0;
    }
    BY_HANDLE_FILE_INFORMATION info;
    DWORD attributes = 0;
    DWORD tag = 0;
    if (!GetFileInformationByHandle(h.Get(), &info) ||
        !win::AttributeTag(h.Get(), attributes, tag)) {
        return static_cast<int>(GetLastError());
    }
    out.kind = win::IsNameSurrogate(attributes, tag)          ? EntryKind::Link
               : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::Directory
                                                              : EntryKind::File;
    out.size =
        static_cast<int64_t>(static_cast<uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow);
    out.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    out.volume = info.dwVolumeSerialNumber;
    out.index = static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    // Wine's "creation time" is the Unix status-change time, which moves whenever the entry (or
    // a directory's list of names) changes: no creation time is kept there.
    out.created = win::UnderWine() ? 0 : Stamp(info.ftCreationTime);
    out.modified = Stamp(info.ftLastWriteTime);
    return 0;
}

int ReadDirectoryNames(const std::string& dir, std::vector<std::string>& names) {
    names.clear();
    std::wstring absolute;
    if (const int err = win::AbsolutePath(dir, absolute)) {
        return err;
    }
    std::vector<std::wstring> wide;
    if (const int err = Names(absolute, wide)) {
        return err;
    }
    for (const std::wstring& name : wide) {
        names.push_back(win::Narrow(name));
    }
    return 0;
}

int DeleteTree(const std::string& path) {
    std::wstring absolute;
    if (const int err = win::AbsolutePath(path, absolute)) {
        return err;
    }
    // The directory above is taken as the system resolves it; below it, nothing is followed.
    const size_t slash = absolute.find_last_of(L'\\');
    const bool share = absolute.compare(0, 2, L"\\\\") == 0 &&
                       absolute.find(L'\\', absolute.find(L'\\', 2) + 1) == std::wstring::npos;
    if (slash == std::wstring::npos || slash + 1 >= absolute.size() || share) {
        return WinErr::AccessDenied;  // a drive root or a share is not removed
    }
    std::wstring above = absolute.substr(0, slash == 2 ? 3 : slash);
    UniqueHandle parent(CreateFileW(win::LongName(above).c_str(), FILE_READ_ATTRIBUTES, kShareAll,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!parent.Valid()) {
        const DWORD err = GetLastError();
        return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND ? 0
                                                                          : static_cast<int>(err);
    }
    if (!win::FinalPathOf(parent.Get(), above)) {
        return static_cast<int>(GetLastError());
    }
    return RemoveAt(win::JoinName(above, absolute.substr(slash + 1)));
}

std::string UniversalName(const std::string& path) {
    std::wstring absolute;
    if (path.empty() || win::AbsolutePath(path, absolute) != 0) {
        return std::string();
    }
    // A mapped network drive: its share's name.
    std::vector<uint64_t> buffer(1024);
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(uint64_t));
    DWORD rc =
        WNetGetUniversalNameW(absolute.c_str(), UNIVERSAL_NAME_INFO_LEVEL, buffer.data(), &size);
    if (rc == ERROR_MORE_DATA) {
        buffer.resize(size / sizeof(uint64_t) + 1);
        rc = WNetGetUniversalNameW(absolute.c_str(), UNIVERSAL_NAME_INFO_LEVEL, buffer.data(),
                                   &size);
    }
    if (rc == NO_ERROR) {
        return win::Narrow(reinterpret_cast<UNIVERSAL_NAME_INFOW*>(buffer.data())->lpUniversalName);
    }
    // Elsewhere the links of the longest existing part resolved, the rest as written.
    return ResolvePath(path);
}

}  // namespace ferrit
