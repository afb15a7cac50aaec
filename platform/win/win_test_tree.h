// Test helpers for the Windows services: a temporary tree built and read with the system's own
// calls, and how to tell Wine from Windows.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win/win_api.h"

namespace ferrit {
namespace win_test {

using win::UniqueHandle;

// 2020-09-13 12:26:40 UTC as a FILETIME: an even second, well inside the DOS range.
constexpr int64_t kTreeTime = 132445024000000000LL;

inline bool UnderWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

#define SKIP_UNDER_WINE(why)                               \
    if (UnderWine()) {                                     \
        GTEST_SKIP() << "Wine differs from Windows: " why; \
    }

inline std::wstring W(const std::string& s) {
    std::wstring w;
    EXPECT_TRUE(win::Widen(s, w)) << s;
    return w;
}

// A fresh directory under the user's temporary directory, removed with everything in it.
class Tree {
  public:
    Tree() {
        // The long form, as listings and final paths give it back (not "RUNNER~1").
        wchar_t temp[MAX_PATH], full[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        GetLongPathNameW(temp, full, MAX_PATH);
        // A name not taken yet: Wine gives later processes the same ids again.
        static unsigned n = GetTickCount();
        std::wstring root;
        do {
            root = std::wstring(full) + L"ferrit-test-" + std::to_wstring(GetCurrentProcessId()) +
                   L"-" + std::to_wstring(++n);
        } while (!CreateDirectoryW(root.c_str(), nullptr) &&
                 GetLastError() == ERROR_ALREADY_EXISTS);
        root_ = win::Narrow(root);
    }
    ~Tree() { Remove(W(root_)); }

    const std::string& root() const { return root_; }
    std::string Path(const std::string& relative) const {
        std::string p = root_ + "\\" + relative;
        for (char& c : p) {
            c = c == '/' ? '\\' : c;
        }
        return p;
    }
    std::string Dir(const std::string& relative) const {
        EXPECT_TRUE(CreateDirectoryW(W(Path(relative)).c_str(), nullptr)) << relative;
        return Path(relative);
    }
    std::string File(const std::string& relative, const std::string& contents, DWORD attributes = 0,
                     int64_t lastWrite = kTreeTime) const {
        const std::string path = Path(relative);
        UniqueHandle h(CreateFileW(W(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        EXPECT_TRUE(h.Valid()) << relative;
        DWORD n = 0;
        EXPECT_TRUE(
            contents.empty() ||
            WriteFile(h.Get(), contents.data(), static_cast<DWORD>(contents.size()), &n, nullptr));
        SetTime(h.Get(), lastWrite);
        h.Reset();
        if (attributes != 0) {
            EXPECT_TRUE(SetFileAttributesW(W(path).c_str(), attributes)) << relative;
        }
        return path;
    }
    std::string Read(const std::string& relative) const {
        UniqueHandle h(CreateFileW(W(Path(relative)).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
        std::string text(4096, '\0');
        DWORD n = 0;
        if (!h.Valid() || !ReadFile(h.Get(), &text[0], 4096, &n, nullptr)) {
            return "<unreadable>";
        }
        text.resize(n);
        return text;
    }
    DWORD Attributes(const std::string& relative) const {
        return GetFileAttributesW(W(Path(relative)).c_str());
    }
    int64_t LastWrite(const std::string& relative) const {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(W(Path(relative)).c_str(), GetFileExInfoStandard, &data)) {
            return -1;
        }
        return static_cast<int64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 |
               data.ftLastWriteTime.dwLowDateTime;
    }
    // Every name in the directory, the program's temporary files included, sorted.
    std::vector<std::string> RawNames(const std::string& relative) const {
        std::vector<std::string> names;
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW(W(Path(relative) + "\\*").c_str(), &data);
        for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &data)) {
            const std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") {
                names.push_back(win::Narrow(name));
            }
        }
        if (find != INVALID_HANDLE_VALUE) {
            FindClose(find);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    static void SetTime(HANDLE h, int64_t fileTime) {
        FILETIME ft;
        ft.dwLowDateTime = static_cast<DWORD>(fileTime);
        ft.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(fileTime) >> 32);
        EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &ft));
    }

  private:
    // Depth first; a reparse point is removed itself, never entered.
    static void Remove(const std::wstring& path) {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            return;
        }
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            DeleteFileW(path.c_str());
            return;
        }
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
            WIN32_FIND_DATAW data;
            HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
            for (BOOL more = find != INVALID_HANDLE_VALUE; more;
                 more = FindNextFileW(find, &data)) {
                const std::wstring name = data.cFileName;
                if (name != L"." && name != L"..") {
                    Remove(path + L"\\" + name);
                }
            }
            if (find != INVALID_HANDLE_VALUE) {
                FindClose(find);
            }
        }
        RemoveDirectoryW(path.c_str());
    }

    std::string root_;
};

}  // namespace win_test
}  // namespace ferrit
