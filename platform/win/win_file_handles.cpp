// The Windows side of file_handles.h: the handle is a HANDLE. A read or write at an offset
// names the offset in its OVERLAPPED structure, so no file position is shared between callers.
#include "platform/file_handles.h"

#include <algorithm>
#include <vector>

#include "platform/error_codes.h"

#include "platform/win/win_api.h"

namespace ferrit {

namespace {

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
    if (!ReadFile(win::HandleOf(handle), buffer, static_cast<DWORD>(std::min(count, kMaxPiece)), &n,
                  &at)) {
        // Reading at or beyond the end is the end, not a failure.
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    }
    return n;
}

int64_t WriteAt(FileHandle handle, const void* buffer, size_t count, uint64_t offset) {
    OVERLAPPED at = At(offset);
    DWORD n = 0;
    if (!WriteFile(win::HandleOf(handle), buffer, static_cast<DWORD>(std::min(count, kMaxPiece)),
                   &n, &at)) {
        return -1;
    }
    return n;
}

int CopyBetweenHandles(FileHandle in, uint64_t inPos, FileHandle out, uint64_t outPos,
                       uint64_t count, uint64_t& copied) {
    copied = 0;
    std::vector<char> buffer(static_cast<size_t>(std::min<uint64_t>(count, 1u << 20)));
    while (copied < count) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(count - copied, buffer.size()));
        const int64_t n = ReadAt(in, buffer.data(), want, inPos + copied);
        if (n < 0) {
            return static_cast<int>(GetLastError());
        }
        if (n == 0) {
            return 0;  // the end of the source
        }
        for (int64_t done = 0; done < n;) {
            const int64_t w =
                WriteAt(out, buffer.data() + done, static_cast<size_t>(n - done), outPos + copied);
            if (w < 0) {
                // A full disk is told as one number whichever way the file system says it.
                const int err = static_cast<int>(GetLastError());
                return err == ERROR_HANDLE_DISK_FULL ? ERROR_DISK_FULL : err;
            }
            if (w == 0) {
                return WinErr::GenFailure;
            }
            done += w;
            copied += static_cast<uint64_t>(w);
        }
    }
    return 0;
}

bool PathOfHandle(FileHandle handle, std::string& path) {
    path.clear();
    std::wstring wide;
    if (handle == kInvalidFileHandle || GetFileType(win::HandleOf(handle)) != FILE_TYPE_DISK ||
        !win::FinalPathOf(win::HandleOf(handle), wide)) {
        return false;
    }
    path = win::Narrow(wide);
    return true;
}

FileHandle OpenNullDevice() {
    HANDLE h = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    return h == INVALID_HANDLE_VALUE ? kInvalidFileHandle : win::FileHandleOf(h);
}

int CloseHandleOnly(FileHandle handle) {
    return CloseHandle(win::HandleOf(handle)) ? 0 : static_cast<int>(GetLastError());
}

}  // namespace ferrit
