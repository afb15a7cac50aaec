// Test helpers for the Windows services: a temporary tree built and read with the system's own
// calls (how to tell Wine from Windows is in testing/system.h).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win/win_api.h"
#include "testing/system.h"
#include "testing/temp_dir.h"

namespace ferrit {
namespace testing {

using win::UniqueHandle;

// 2020-09-13 12:26:40 UTC as a FILETIME: an even second, well inside the DOS range.
constexpr int64_t kTreeTime = 132445024000000000LL;

inline std::wstring W(const std::string& s) {
    std::wstring w;
    EXPECT_TRUE(win::Widen(s, w)) << s;
    return w;
}

// Runs this test program again for the tests of the gtest filter alone, printing nowhere, and
// waits for it to end: the ended process's handle (its exit code, its id), none when it could not
// be started.
UniqueHandle RunThisProgram(const std::string& filter);

// A fresh directory under the user's temporary directory, removed with everything in it, spelt
// natively (with '\').
class Tree {
  public:
    Tree() : root_(Native(dir_.path())) {}

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
        // The system's WriteFile, not the helper of that name beside this one.
        EXPECT_TRUE(contents.empty() ||
                    ::WriteFile(h.Get(), contents.data(), static_cast<DWORD>(contents.size()), &n,
                                nullptr));
        SetTime(h.Get(), lastWrite);
        h.Reset();
        if (attributes != 0) {
            EXPECT_TRUE(SetFileAttributesW(W(path).c_str(), attributes)) << relative;
        }
        return path;
    }
    std::string Read(const std::string& relative) const {
        std::string text;
        return ::ferrit::testing::ReadFile(Path(relative), text) ? text : "<unreadable>";
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
        return ::ferrit::testing::ListDir(Path(relative));
    }
    static void SetTime(HANDLE h, int64_t fileTime) {
        FILETIME ft;
        ft.dwLowDateTime = static_cast<DWORD>(fileTime);
        ft.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(fileTime) >> 32);
        EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &ft));
    }

  private:
    static std::string Native(std::string path) {
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    }

    ::ferrit::testing::TempDir dir_;
    std::string root_;
};

}  // namespace testing
}  // namespace ferrit
