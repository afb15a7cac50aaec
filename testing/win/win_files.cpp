// The Windows side of the test helpers (temp_dir.h, system.h): the system's own calls on
// wide-character paths. No helper follows a reparse point or makes a link: under Wine a link
// is a Unix link, and deleting it there deletes what it leads to.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/temporary_names.h"
#include "platform/win/win_api.h"
#include "platform/win/win_test_tree.h"
#include "support/strings.h"
#include "testing/system.h"
#include "testing/temp_dir.h"

// After <windows.h>, which it needs.
#include <winioctl.h>

namespace ferrit {
namespace testing {

namespace {

using win::UniqueHandle;

constexpr int64_t kUnixEpochAsFileTime = 116444736000000000LL;

// The long form of the absolute path, which the path-based calls take beyond MAX_PATH; empty
// for a text that is no path.
std::wstring Wide(const std::string& path) {
    std::wstring absolute;
    return win::AbsolutePath(path, absolute) == 0 ? win::LongName(absolute) : std::wstring();
}

// Opens the entry itself, a directory or a reparse point included, for reading its facts or
// setting its times.
UniqueHandle OpenEntry(const std::wstring& path, DWORD access) {
    return UniqueHandle(CreateFileW(
        path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

int64_t FileTimeOf(const FILETIME& ft) {
    return static_cast<int64_t>(static_cast<uint64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime);
}

// Every name in the directory but "." and "..", unsorted.
std::vector<std::wstring> Names(const std::wstring& dir) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW((dir + L"\\*").c_str(), FindExInfoBasic, &data,
                                   FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if (std::wcscmp(data.cFileName, L".") != 0 && std::wcscmp(data.cFileName, L"..") != 0) {
            names.emplace_back(data.cFileName);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

// Depth first; read-only entries are made writable first; a reparse point is removed itself,
// never entered (a volume mounted in a folder is one too).
bool Remove(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return DeleteFileW(path.c_str()) != 0;
    }
    bool ok = true;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        for (const std::wstring& name : Names(path)) {
            ok = Remove(path + L"\\" + name) && ok;
        }
    }
    return RemoveDirectoryW(path.c_str()) != 0 && ok;
}

}  // namespace

bool UnderWine() {
    return win::UnderWine();
}

bool PermissionBitsBind() {
    return false;
}

TempDir::TempDir() {
    // The long form, as listings and final paths give it back (not "RUNNER~1").
    wchar_t temp[MAX_PATH], full[MAX_PATH];
    const DWORD n = GetTempPathW(MAX_PATH, temp);
    if (n == 0 || n >= MAX_PATH) {
        return;
    }
    const DWORD m = GetLongPathNameW(temp, full, MAX_PATH);
    std::wstring base = m > 0 && m < MAX_PATH ? full : temp;
    // A name not taken yet: Wine gives later processes the same ids again.
    static unsigned counter = GetTickCount();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::wstring dir = base + L"ferrit-test-" + std::to_wstring(GetCurrentProcessId()) +
                                 L"-" + std::to_wstring(++counter);
        if (CreateDirectoryW(dir.c_str(), nullptr)) {
            path_ = win::Narrow(dir);
            std::replace(path_.begin(), path_.end(), '\\', '/');
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            return;
        }
    }
}

bool WriteFile(const std::string& path, const std::string& contents) {
    MakeDirs(DirOf(WithSlashes(path)));
    UniqueHandle h(CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.Valid()) {
        return false;
    }
    size_t done = 0;
    while (done < contents.size()) {
        DWORD n = 0;
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(contents.size() - done, 1 << 20));
        if (!::WriteFile(h.Get(), contents.data() + done, piece, &n, nullptr) || n == 0) {
            return false;
        }
        done += n;
    }
    return CloseHandle(h.Release()) != 0;
}

bool SetFileSize(const std::string& path, uint64_t size) {
    UniqueHandle h(CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.Valid()) {
        return false;
    }
    DWORD n = 0;  // sparse where the file system can: no gigabytes of disk needed
    DeviceIoControl(h.Get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &n, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    return SetFilePointerEx(h.Get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(h.Get());
}

bool MakeDirs(const std::string& path) {
    const std::wstring wide = Wide(path);
    if (wide.empty()) {
        return false;
    }
    // Each missing directory from the top down; the long form's prefix and the drive stay.
    for (size_t at = wide.find(L'\\', 7); at != std::wstring::npos; at = wide.find(L'\\', at + 1)) {
        CreateDirectoryW(wide.substr(0, at).c_str(), nullptr);
    }
    CreateDirectoryW(wide.c_str(), nullptr);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool SetModTime(const std::string& path, int64_t seconds, long nanoseconds) {
    UniqueHandle h = OpenEntry(Wide(path), FILE_WRITE_ATTRIBUTES);
    if (!h.Valid()) {
        return false;
    }
    const int64_t t = kUnixEpochAsFileTime + seconds * 10000000 + nanoseconds / 100;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(t);
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(t) >> 32);
    return SetFileTime(h.Get(), nullptr, &ft, &ft) != 0;
}

bool GetModTime(const std::string& path, int64_t& seconds, long& nanoseconds) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) {
        return false;
    }
    // Rounded down also before 1970.
    const int64_t t = FileTimeOf(data.ftLastWriteTime) - kUnixEpochAsFileTime;
    seconds = t / 10000000;
    int64_t rest = t % 10000000;
    if (rest < 0) {
        --seconds;
        rest += 10000000;
    }
    nanoseconds = static_cast<long>(rest * 100);
    return true;
}

bool ReadFile(const std::string& path, std::string& contents) {
    contents.clear();
    UniqueHandle h(CreateFileW(Wide(path).c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.Valid()) {
        return false;
    }
    char buf[65536];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(h.Get(), buf, sizeof buf, &n, nullptr)) {
            return false;
        }
        if (n == 0) {
            return true;
        }
        contents.append(buf, n);
    }
}

std::vector<std::string> ListDir(const std::string& path) {
    std::vector<std::string> names;
    for (const std::wstring& name : Names(Wide(path))) {
        names.push_back(win::Narrow(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool RemoveTree(const std::string& path) {
    const std::wstring wide = Wide(path);
    return !wide.empty() && Remove(wide);
}

namespace {

// The last name's file below the root, each directory on the way opened relative to the one
// before (made first when `make`), never through a reparse point; invalid on failure.
UniqueHandle OpenDeepFile(const std::string& root, const std::vector<std::string>& names,
                          bool make) {
    std::wstring absolute;
    win::OpenRequest request;
    request.access = FILE_TRAVERSE | SYNCHRONIZE;
    request.options = FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT;
    UniqueHandle dir;
    if (names.empty() || win::AbsolutePath(root, absolute) != 0 ||
        win::OpenAt(nullptr, win::NtName(absolute), request, dir) != 0) {
        return UniqueHandle();
    }
    request.disposition = make ? FILE_OPEN_IF : FILE_OPEN;
    for (size_t i = 0; i + 1 < names.size(); ++i) {
        std::wstring name;
        UniqueHandle next;
        if (!win::Widen(names[i], name) || win::OpenAt(dir.Get(), name, request, next) != 0) {
            return UniqueHandle();
        }
        dir = std::move(next);
    }
    std::wstring name;
    request.access = make ? GENERIC_WRITE | SYNCHRONIZE : GENERIC_READ | SYNCHRONIZE;
    request.disposition = make ? FILE_OVERWRITE_IF : FILE_OPEN;
    request.options =
        FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT;
    UniqueHandle file;
    if (!win::Widen(names.back(), name) || win::OpenAt(dir.Get(), name, request, file) != 0) {
        return UniqueHandle();
    }
    return file;
}

}  // namespace

bool WriteFileDeep(const std::string& root, const std::vector<std::string>& names,
                   const std::string& contents) {
    UniqueHandle h = OpenDeepFile(root, names, true);
    DWORD n = 0;
    return h.Valid() &&
           (contents.empty() || (::WriteFile(h.Get(), contents.data(),
                                             static_cast<DWORD>(contents.size()), &n, nullptr) &&
                                 n == contents.size()));
}

bool ReadFileDeep(const std::string& root, const std::vector<std::string>& names,
                  std::string& contents) {
    contents.clear();
    UniqueHandle h = OpenDeepFile(root, names, false);
    char buf[65536];
    DWORD n = 0;
    while (h.Valid() && ::ReadFile(h.Get(), buf, sizeof buf, &n, nullptr)) {
        if (n == 0) {
            return true;
        }
        contents.append(buf, n);
    }
    return false;
}

EntryKind KindAt(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return EntryKind::Missing;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return EntryKind::Link;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::Directory : EntryKind::File;
}

std::string FactsOf(const std::string& path) {
    const EntryKind kind = KindAt(path);
    UniqueHandle h = OpenEntry(Wide(path), FILE_READ_ATTRIBUTES);
    BY_HANDLE_FILE_INFORMATION info;
    if (kind == EntryKind::Missing || !h.Valid() || !GetFileInformationByHandle(h.Get(), &info)) {
        return "missing";
    }
    const uint64_t size = static_cast<uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    const uint64_t id = static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    return std::to_string(static_cast<int>(kind)) + " " +
           std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(id) + " " +
           std::to_string(size) + " " + std::to_string(info.dwFileAttributes) + " " +
           std::to_string(FileTimeOf(info.ftLastWriteTime));
}

std::string LinkText(const std::string&) {
    return std::string();  // no helper makes a link on Windows
}

bool MakeSymlink(const std::string&, const std::string&) {
    return false;
}

bool RenameOver(const std::string& from, const std::string& to) {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool MakeHardLink(const std::string& existing, const std::string& path) {
    return CreateHardLinkW(Wide(path).c_str(), Wide(existing).c_str(), nullptr) != 0;
}

bool MakeFifo(const std::string&) {
    return false;
}

bool MakeSocketNode(const std::string&) {
    return false;
}

bool MakeDeviceNode(const std::string&) {
    return false;
}

bool SetMode(const std::string&, unsigned) {
    return false;
}

int ModeOf(const std::string&) {
    return -1;
}

bool MarkAsUnfinishedCopy(const std::string&) {
    return false;
}

UniqueHandle RunThisProgram(const std::string& filter) {
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring wideFilter;
    if (length == 0 || length >= MAX_PATH || !win::Widen(filter, wideFilter)) {
        return UniqueHandle();
    }
    std::wstring command = L"\"" + std::wstring(self, length) + L"\" --gtest_filter=" + wideFilter;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;  // no handles: the child prints nowhere
    PROCESS_INFORMATION child = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &child)) {
        return UniqueHandle();
    }
    CloseHandle(child.hThread);
    WaitForSingleObject(child.hProcess, INFINITE);
    return UniqueHandle(child.hProcess);
}

long DeadProcessId() {
    // One child serves every name (a process start costs a quarter second under Wine): this
    // program, asked for no test, which ends at once. Its handle stays open, so the system
    // gives its id to no other process while the tests run.
    static const DWORD pid = [] {
        UniqueHandle child = RunThisProgram("-*");
        return child.Valid() ? GetProcessId(child.Release()) : DWORD(0);
    }();
    return static_cast<long>(pid);
}

bool XattrsSupported(const std::string&) {
    return false;
}

}  // namespace testing
}  // namespace ferrit
