// The Windows side of file_handles.h: the handle is a HANDLE. A read or write at an offset
// names the offset in its OVERLAPPED structure, so no file position is shared between callers.
#include "platform/file_handles.h"

#include <algorithm>

#include "platform/win/win_api.h"

namespace ferrit {

namespace {

HANDLE HandleOf(FileHandle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

OVERLAPPED At(uint64_t offset) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

// One call moves at most this much: a DWORD counts the bytes.
constexpr size_t kMaxPiece = 1u << 30;

}  // namespace

int64_t ReadAt(FileHandle handle, void* buffer, size_t count, uint64_t offset) {
    OVERLAPPED at = At(offset);
    DWORD n = 0;
    if (!ReadFile(HandleOf(handle), buffer, static_cast<DWORD>(std::min(count, kMaxPiece)), &n,
                  &at)) {
        // Reading at or beyond the end is the end, not a failure.
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    }
    return n;
}

int64_t WriteAt(FileHandle handle, const void* buffer, size_t count, uint64_t offset) {
    OVERLAPPED at = At(offset);
    DWORD n = 0;
    if (!WriteFile(HandleOf(handle), buffer, static_cast<DWORD>(std::min(count, kMaxPiece)), &n,
                   &at)) {
        return -1;
    }
    return n;
}

FileHandle OpenNullDevice() {
    HANDLE h = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    return h == INVALID_HANDLE_VALUE ? kInvalidFileHandle : reinterpret_cast<FileHandle>(h);
}

int CloseHandleOnly(FileHandle handle) {
    return CloseHandle(HandleOf(handle)) ? 0 : static_cast<int>(GetLastError());
}

}  // namespace ferrit
