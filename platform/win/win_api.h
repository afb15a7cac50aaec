// The Windows system headers and the small helpers every Windows implementation shares: owned
// handles, UTF-8 and UTF-16 text, opens relative to a directory handle, DOS date-times.
//
// Only .cpp files include this header. <windows.h> defines DeleteFile, CopyFile and
// RemoveDirectory as macros for their -A/-W variants, which would rename the file services'
// methods of that name; they are undefined here, the one place the header is included, and
// the Windows code calls the -W functions by their full names.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winternl.h>
#undef DeleteFile
#undef CopyFile
#undef RemoveDirectory

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_handles.h"

namespace ferrit {
namespace win {

// An owned handle, closed on destruction. Both null and INVALID_HANDLE_VALUE count as none.
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : h_(h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& o) noexcept : h_(o.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) {
            Reset(o.Release());
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const { return h_; }
    bool Valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    HANDLE Release() {
        HANDLE h = h_;
        h_ = nullptr;
        return h;
    }
    void Reset(HANDLE h = nullptr);

  private:
    HANDLE h_ = nullptr;
};

// UTF-8 to UTF-16; false for text that is not valid UTF-8 (or holds a NUL).
bool Widen(const std::string& utf8, std::wstring& out);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Narrow(const wchar_t* text, size_t length);
inline std::string Narrow(const std::wstring& text) {
    return Narrow(text.data(), text.size());
}

// The absolute form of a path with backslashes: a relative path is taken from the working
// directory; the names are kept exactly, repeated separators and a trailing one dropped (a drive
// root keeps its "\"), "." and ".." resolved as the system resolves them.
// 0, or 123 for a text that is no path (invalid UTF-8, a NUL, empty).
int AbsolutePath(const std::string& path, std::wstring& out);

// The directory and the name joined with one separator.
std::wstring JoinName(const std::wstring& dir, const std::wstring& name);

// The long form of an absolute path for the path-based calls, which then take paths beyond
// MAX_PATH characters: "\\?\C:\dir", "\\?\UNC\srv\share".
std::wstring LongName(const std::wstring& absolute);

// The native name of an absolute path for the NT open calls: "\??\C:\dir", "\??\UNC\srv\share".
std::wstring NtName(const std::wstring& absolute);

// What an open asks for.
struct OpenRequest {
    ACCESS_MASK access = FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    ULONG share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    ULONG disposition = FILE_OPEN;
    ULONG options = FILE_SYNCHRONOUS_IO_NONALERT;
    ULONG attributes = FILE_ATTRIBUTE_NORMAL;
};

// Opens `name` relative to the directory handle `root`, or, with a null root, the NT name
// `name` itself. Returns 0 or the Windows error number of the failure. `created`, when given,
// tells whether this open made the entry (a disposition that may create).
int OpenAt(HANDLE root, const std::wstring& name, const OpenRequest& request, UniqueHandle& out,
           bool* created = nullptr);

// The Windows error number of an NT status.
int ErrorOfStatus(NTSTATUS status);

// The attributes and reparse tag of an open entry; false when they cannot be read.
bool AttributeTag(HANDLE h, DWORD& attributes, DWORD& reparseTag);

// The final path of an open entry as the system names it (links it was opened through resolved),
// without the "\\?\" of the long form; false when it cannot be told.
bool FinalPathOf(HANDLE h, std::wstring& out);

// Has the system delete the open entry (opened with DELETE) when its last handle closes (`on`),
// or keep it again; false where the file system refuses. An unfinished file so marked goes with
// the process that made it, killed or not; the mark must be off before the file takes its final
// name, or that name would go too.
bool DeleteOnClose(HANDLE h, bool on);

// Whether an entry with these attributes and tag stands for another one (a symbolic link, a
// junction): it is never followed or descended, and is copied as itself.
inline bool IsNameSurrogate(DWORD attributes, DWORD reparseTag) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           IsReparseTagNameSurrogate(reparseTag);
}

// Whether the program runs under Wine, which gives Windows programs a Unix file system: it
// reports an entry's status-change time as its creation time, and deletes what a Unix symbolic
// link leads to where Windows deletes the link.
bool UnderWine();

// A FILETIME (100 ns since 1601, UTC) as a local DOS date-time, the local offset being the one
// in force at that moment; clamped to the DOS range (1980-01-01 to 2107-12-31 23:59:58).
int32_t DosDateTimeOfFileTime(int64_t fileTime);
// A local DOS date-time as a FILETIME; false for a date-time that does not exist.
bool FileTimeOfDosDateTime(int32_t dosDateTime, int64_t& fileTime);

// The system's handle behind an open file, and the open file of a system handle.
inline HANDLE HandleOf(FileHandle handle) {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle));
}
inline FileHandle FileHandleOf(HANDLE handle) {
    return static_cast<FileHandle>(reinterpret_cast<intptr_t>(handle));
}

}  // namespace win
}  // namespace ferrit
