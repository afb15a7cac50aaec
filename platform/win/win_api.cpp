#include "platform/win/win_api.h"

#include <algorithm>
#include <cwctype>

namespace ferrit {
namespace win {

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool IsDriveAbsolute(const std::wstring& w) {
    return w.size() >= 3 && std::iswalpha(w[0]) && w[1] == L':' && w[2] == L'\\';
}

}  // namespace

void UniqueHandle::Reset(HANDLE h) {
    if (Valid()) {
        CloseHandle(h_);
    }
    h_ = h;
}

bool Widen(const std::string& utf8, std::wstring& out) {
    out.clear();
    if (utf8.empty()) {
        return true;
    }
    if (utf8.find('\0') != std::string::npos || utf8.size() > 0x7FFFFFFF) {
        return false;
    }
    const int size = static_cast<int>(utf8.size());
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (n <= 0) {
        return false;
    }
    out.resize(static_cast<size_t>(n));
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, &out[0], n) == n;
}

std::string Narrow(const wchar_t* text, size_t length) {
    if (length == 0 || length > 0x7FFFFFFF) {
        return std::string();
    }
    const int size = static_cast<int>(length);
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
    if (n <= 0) {
        return std::string();
    }
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, size, &out[0], n, nullptr, nullptr);
    return out;
}

int AbsolutePath(const std::string& path, std::wstring& out) {
    std::wstring w;
    if (path.empty() || !Widen(path, w)) {
        return ERROR_INVALID_NAME;
    }
    for (wchar_t& c : w) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    // The long-path forms name a drive or a share directly; device names are no directories.
    if (w.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        w = L"\\\\" + w.substr(8);
    } else if (w.compare(0, 4, L"\\\\?\\") == 0 && IsDriveAbsolute(w.substr(4))) {
        w = w.substr(4);
    } else if (w.compare(0, 4, L"\\\\?\\") == 0 || w.compare(0, 4, L"\\\\.\\") == 0) {
        return ERROR_INVALID_NAME;
    }
    const bool unc = w.size() > 2 && IsSeparator(w[0]) && IsSeparator(w[1]);
    if (!unc && !IsDriveAbsolute(w)) {
        const DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
        if (n == 0) {
            return static_cast<int>(GetLastError());
        }
        std::wstring full(n, L'\0');
        const DWORD m = GetFullPathNameW(w.c_str(), n, &full[0], nullptr);
        if (m == 0 || m >= n) {
            return ERROR_INVALID_NAME;
        }
        full.resize(m);
        w = full;
    }
    // The names after the root, one separator between them: "." dropped and ".." taking back
    // the name before it, never the root, as the system resolves them in a path it is given.
    std::vector<std::wstring> names;
    for (size_t i = 0; i < w.size();) {
        const size_t end = std::min(w.find(L'\\', i), w.size());
        names.push_back(w.substr(i, end - i));
        i = end + 1;
    }
    // The root: "C:\", or "\\server\share" (its two names).
    std::wstring clean;
    size_t first = 1;
    if (w.size() > 2 && w[0] == L'\\' && w[1] == L'\\') {
        clean = L"\\\\";
        size_t taken = 0;
        for (first = 2; first < names.size() && taken < 2; ++first) {
            if (!names[first].empty()) {
                clean += (taken++ == 0 ? L"" : L"\\") + names[first];
            }
        }
    } else {
        clean = names[0] + L"\\";
    }
    std::vector<std::wstring> kept;
    for (size_t i = first; i < names.size(); ++i) {
        if (names[i] == L"..") {
            if (!kept.empty()) {
                kept.pop_back();
            }
        } else if (!names[i].empty() && names[i] != L".") {
            kept.push_back(names[i]);
        }
    }
    for (const std::wstring& name : kept) {
        clean = JoinName(clean, name);
    }
    out = clean;
    return 0;
}

std::wstring JoinName(const std::wstring& dir, const std::wstring& name) {
    return !dir.empty() && dir.back() == L'\\' ? dir + name : dir + L'\\' + name;
}

namespace {

std::wstring Prefixed(const std::wstring& prefix, const std::wstring& absolute) {
    if (absolute.size() > 2 && absolute[0] == L'\\' && absolute[1] == L'\\') {
        return prefix + L"UNC\\" + absolute.substr(2);
    }
    return prefix + absolute;
}

}  // namespace

std::wstring LongName(const std::wstring& absolute) {
    return Prefixed(L"\\\\?\\", absolute);
}

std::wstring NtName(const std::wstring& absolute) {
    return Prefixed(L"\\??\\", absolute);
}

int ErrorOfStatus(NTSTATUS status) {
    return static_cast<int>(RtlNtStatusToDosError(status));
}

int OpenAt(HANDLE root, const std::wstring& name, const OpenRequest& request, UniqueHandle& out,
           bool* created) {
    out.Reset();
    if (created != nullptr) {
        *created = false;
    }
    if (name.size() * sizeof(wchar_t) > 0xFFFE) {
        return ERROR_FILENAME_EXCED_RANGE;
    }
    UNICODE_STRING text;
    text.Buffer = const_cast<PWSTR>(name.c_str());
    text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    text.MaximumLength = text.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, root, nullptr);
    IO_STATUS_BLOCK io;
    HANDLE h = nullptr;
    const NTSTATUS status =
        NtCreateFile(&h, request.access | SYNCHRONIZE, &attributes, &io, nullptr,
                     request.attributes, request.share, request.disposition,
                     request.options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (!NT_SUCCESS(status)) {
        return ErrorOfStatus(status);
    }
    out.Reset(h);
    if (created != nullptr) {
        *created = io.Information == FILE_CREATED;
    }
    return 0;
}

bool DeleteOnClose(HANDLE h, bool on) {
    FILE_DISPOSITION_INFO info = {static_cast<BOOLEAN>(on ? TRUE : FALSE)};
    return SetFileInformationByHandle(h, FileDispositionInfo, &info, sizeof info) != 0;
}

bool FinalPathOf(HANDLE h, std::wstring& out) {
    std::vector<wchar_t> buffer(32768);
    const DWORD n = GetFinalPathNameByHandleW(h, buffer.data(), static_cast<DWORD>(buffer.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 || n >= buffer.size()) {
        return false;
    }
    out.assign(buffer.data(), n);
    if (out.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        out = L"\\\\" + out.substr(8);
    } else if (out.compare(0, 4, L"\\\\?\\") == 0) {
        out = out.substr(4);
    }
    return true;
}

bool AttributeTag(HANDLE h, DWORD& attributes, DWORD& reparseTag) {
    FILE_ATTRIBUTE_TAG_INFO info;
    if (!GetFileInformationByHandleEx(h, FileAttributeTagInfo, &info, sizeof info)) {
        return false;
    }
    attributes = info.FileAttributes;
    reparseTag = info.ReparseTag;
    return true;
}

bool UnderWine() {
    static const bool wine =
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

int32_t DosDateTimeOfFileTime(int64_t fileTime) {
    constexpr int32_t kFirst = (1 << 5 | 1) << 16;  // 1980-01-01 00:00:00
    constexpr uint32_t kLast =
        ((127u << 9 | 12u << 5 | 31u) << 16) | (23u << 11 | 59u << 5 | 29u);  // 2107-12-31 23:59:58
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(fileTime));
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(fileTime) >> 32);
    SYSTEMTIME utc, local;
    if (fileTime < 0 || !FileTimeToSystemTime(&ft, &utc) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        return fileTime < 0 ? kFirst : static_cast<int32_t>(kLast);
    }
    if (local.wYear < 1980) {
        return kFirst;
    }
    if (local.wYear > 2107) {
        return static_cast<int32_t>(kLast);
    }
    const uint32_t date =
        static_cast<uint32_t>((local.wYear - 1980) << 9 | local.wMonth << 5 | local.wDay);
    const uint32_t time =
        static_cast<uint32_t>(local.wHour << 11 | local.wMinute << 5 | local.wSecond / 2);
    return static_cast<int32_t>(date << 16 | time);
}

bool FileTimeOfDosDateTime(int32_t dosDateTime, int64_t& fileTime) {
    const uint32_t v = static_cast<uint32_t>(dosDateTime);
    SYSTEMTIME local = {};
    local.wYear = static_cast<WORD>(((v >> 25) & 0x7F) + 1980);
    local.wMonth = static_cast<WORD>((v >> 21) & 0x0F);
    local.wDay = static_cast<WORD>((v >> 16) & 0x1F);
    local.wHour = static_cast<WORD>((v >> 11) & 0x1F);
    local.wMinute = static_cast<WORD>((v >> 5) & 0x3F);
    local.wSecond = static_cast<WORD>((v & 0x1F) * 2);
    // An impossible date-time (such as the -1 of a failed read) is refused, not normalised.
    if (local.wMonth < 1 || local.wMonth > 12 || local.wDay < 1 || local.wHour > 23 ||
        local.wMinute > 59 || local.wSecond > 59) {
        return false;
    }
    SYSTEMTIME utc;
    FILETIME ft;
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) ||
        !SystemTimeToFileTime(&utc, &ft)) {
        return false;
    }
    fileTime =
        static_cast<int64_t>(static_cast<uint64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime);
    return true;
}

}  // namespace win
}  // namespace ferrit
