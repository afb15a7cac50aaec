// The small services by path of fs_util.h and config_file.h, and the system's error texts, on
// Windows.
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/config_file.h"
#include "platform/error_codes.h"
#include "platform/fs_util.h"
#include "platform/temporary_names.h"
#include "platform/win/win_api.h"
#include "platform/win/win_confined_paths.h"

// After <windows.h>, which it needs.
#include <shlobj.h>

namespace ferrit {

namespace {

using win::UniqueHandle;

// The errno value fs_util.h promises for a Windows error number.
int ErrnoOf(int code) {
    switch (code) {
        case 0:
            return 0;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            return EEXIST;
        case ERROR_DIRECTORY:
            return ENOTDIR;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
            return EACCES;
        case ERROR_DISK_FULL:
            return ENOSPC;
        default:
            return EIO;
    }
}

std::wstring ParentOf(const std::wstring& absolute) {
    const size_t slash = absolute.find_last_of(L'\\');
    if (slash == std::wstring::npos) {
        return absolute;
    }
    return slash == 2 && absolute[1] == L':' ? absolute.substr(0, 3) : absolute.substr(0, slash);
}

// The final path of an existing entry (links followed), without the "\\?\" of the long form.
bool FinalPath(const std::wstring& absolute, std::wstring& out) {
    UniqueHandle h(CreateFileW(win::LongName(absolute).c_str(), FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return h.Valid() && win::FinalPathOf(h.Get(), out);
}

bool WriteAll(HANDLE h, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const DWORD want = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1 << 20));
        DWORD n = 0;
        if (!WriteFile(h, data.data() + done, want, &n, nullptr) || n == 0) {
            return false;
        }
        done += n;
    }
    return true;
}

// A new file beside the target under one of the program's temporary names, that did not exist
// before; the handle or none.
UniqueHandle CreateTemporaryBeside(const std::wstring& target, std::wstring& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring temporary;
        win::Widen(NewTemporaryName(), temporary);
        name = target.substr(0, target.find_last_of(L'\\') + 1) + temporary;
        UniqueHandle h(CreateFileW(name.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        if (h.Valid() || GetLastError() != ERROR_FILE_EXISTS) {
            return h;
        }
    }
    return UniqueHandle();
}

ConfigFileText Failed(const std::string& path, DWORD code) {
    const bool missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
    return RefusedConfigFile(path,
                             missing ? ConfigFileStatus::Missing : ConfigFileStatus::Unreadable,
                             "cannot be read (" + ErrorDescription(static_cast<int>(code)) + ")");
}

}  // namespace

int MakeDirectoriesPlain(const std::string& path, mode_t) {
    std::wstring absolute;
    if (const int err = win::AbsolutePath(path, absolute)) {
        return ErrnoOf(err);
    }
    return ErrnoOf(win::MakeDirectoriesByName(absolute));
}

bool SaveWholeFile(const std::string& path, const std::string& text, const WholeFileSave& how) {
    std::wstring target;
    if (win::AbsolutePath(path, target) != 0) {
        return false;
    }
    if (how.throughLink) {
        // A link at the path: the file it leads to is replaced and the link kept.
        std::wstring resolved;
        if (FinalPath(target, resolved)) {
            target = resolved;
        }
    }
    if (win::MakeDirectoriesByName(ParentOf(target)) != 0) {
        return false;
    }
    target = win::LongName(target);
    std::wstring temp;
    UniqueHandle out = CreateTemporaryBeside(target, temp);
    if (!out.Valid()) {
        return false;
    }
    // Until it is complete the new file goes with its handle, so a killed save leaves nothing
    // behind (where the file system cannot, a leftover keeps the program's temporary name).
    const bool disposable = win::DeleteOnClose(out.Get(), true);
    bool ok = WriteAll(out.Get(), text) && FlushFileBuffers(out.Get()) &&
              (!disposable || win::DeleteOnClose(out.Get(), false));
    out.Reset();
    if (ok) {
        // An existing file is replaced keeping its attributes and security (its permissions).
        const bool exists = GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES;
        ok = exists && how.keepMode
                 ? ReplaceFileW(target.c_str(), temp.c_str(), nullptr,
                                REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
                 : MoveFileExW(temp.c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }
    if (!ok) {
        DeleteFileW(temp.c_str());
    }
    return ok;
}

std::string ResolvePath(const std::string& path) {
    std::wstring absolute;
    if (path.empty() || win::AbsolutePath(path, absolute) != 0) {
        return path;
    }
    std::wstring head = absolute;
    std::wstring tail;
    for (;;) {
        std::wstring resolved;
        if (FinalPath(head, resolved)) {
            head = resolved;
            break;
        }
        const size_t slash = head.find_last_of(L'\\');
        if (slash == std::wstring::npos || slash < 3 || slash + 1 >= head.size()) {
            break;
        }
        tail = tail.empty() ? head.substr(slash + 1) : head.substr(slash + 1) + L'\\' + tail;
        head = head.substr(0, slash);
    }
    if (!tail.empty()) {
        head += (head.back() == L'\\' ? L"" : L"\\") + tail;
    }
    return win::Narrow(head);
}

namespace {

// A folder of the user's profile: the environment's `variable` where set, else the shell's
// folder `csidl`; empty when neither tells.
std::string ProfileFolder(const wchar_t* variable, int csidl) {
    wchar_t buffer[MAX_PATH];
    const DWORD n = GetEnvironmentVariableW(variable, buffer, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        return win::Narrow(buffer, n);
    }
    if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer) == S_OK) {
        return win::Narrow(std::wstring(buffer));
    }
    return std::string();
}

}  // namespace

// The settings live in the user's roaming application data, in a folder of the program's own:
// the Windows directory, where the private-profile service would put a bare name, is not
// writable by a standard user (and a 32-bit program would be redirected to a per-user copy
// there that the user never finds).
std::string ConfigDirectory() {
    const std::string base = ProfileFolder(L"APPDATA", CSIDL_APPDATA);
    return base.empty() ? "." : base + "\\Ferrit";
}

// What the program keeps between runs (its logs) stays on this machine: the local application
// data, which does not roam with the profile.
std::string StateDirectory() {
    const std::string base = ProfileFolder(L"LOCALAPPDATA", CSIDL_LOCAL_APPDATA);
    return base.empty() ? "." : base;
}

std::FILE* OpenForAppending(const std::string& path) {
    std::wstring wide;
    if (!win::Widen(path, wide) || wide.empty()) {
        errno = EINVAL;
        return nullptr;
    }
    // Binary: the lines end as on Linux, so a log reads the same on both systems (Windows'
    // editors take such lines). "N": not inherited by the programs this one starts.
    return _wfopen(wide.c_str(), L"abN");
}

bool LocalTimeOf(std::time_t moment, std::tm& local) {
    return localtime_s(&local, &moment) == 0;
}

ConfigFileText ReadConfigFile(const std::string& path) {
    std::wstring wide;
    if (!win::Widen(path, wide) || wide.empty()) {
        return Failed(path, ERROR_INVALID_NAME);
    }
    // Only a file on a disk is read: a directory, a console, a pipe or a device is refused
    // unopened where the name tells, and once open by its type.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
        return Failed(path, GetLastError());
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return RefusedConfigFile(path, ConfigFileStatus::NotRegular,
                                 "not a regular file (a directory)");
    }
    UniqueHandle h(CreateFileW(wide.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.Valid()) {
        return Failed(path, GetLastError());
    }
    if (GetFileType(h.Get()) != FILE_TYPE_DISK) {
        return RefusedConfigFile(path, ConfigFileStatus::NotRegular,
                                 "not a regular file (a device)");
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h.Get(), &size)) {
        return Failed(path, GetLastError());
    }
    if (size.QuadPart > static_cast<LONGLONG>(kMaxConfigFileBytes)) {
        return RefusedConfigFile(path, ConfigFileStatus::TooLarge, "larger than 1 MiB");
    }
    // Read to the end, but never past the limit, should the file grow meanwhile.
    std::string text;
    std::vector<char> buffer(65536);
    while (text.size() <= kMaxConfigFileBytes) {
        DWORD n = 0;
        if (!ReadFile(h.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr)) {
            return Failed(path, GetLastError());
        }
        if (n == 0) {
            break;
        }
        text.append(buffer.data(), n);
    }
    if (text.size() > kMaxConfigFileBytes) {
        return RefusedConfigFile(path, ConfigFileStatus::TooLarge, "larger than 1 MiB");
    }
    ConfigFileText result;
    result.status = ConfigFileStatus::Read;
    result.text = std::move(text);
    return result;
}

// The system's own wording, without the trailing full stop and line end.
std::string ErrorDescription(int code) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    if (n == 0 || text == nullptr) {
        return std::string();
    }
    std::wstring message(text, n);
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.')) {
        message.pop_back();
    }
    return win::Narrow(message);
}

}  // namespace ferrit
