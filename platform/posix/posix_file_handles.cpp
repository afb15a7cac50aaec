// The Linux side of file_handles.h: the handle is a file descriptor.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/error_codes.h"
#include "platform/file_handles.h"
#include "platform/posix/confined_paths.h"
#include "platform/posix/copy_range.h"

namespace ferrit {

int64_t ReadAt(FileHandle handle, void* buffer, size_t count, uint64_t offset) {
    for (;;) {
        const ssize_t n =
            ::pread(static_cast<int>(handle), buffer, count, static_cast<off_t>(offset));
        if (n >= 0 || errno != EINTR) {
            return n;
        }
    }
}

int64_t WriteAt(FileHandle handle, const void* buffer, size_t count, uint64_t offset) {
    for (;;) {
        const ssize_t n =
            ::pwrite(static_cast<int>(handle), buffer, count, static_cast<off_t>(offset));
        if (n >= 0 || errno != EINTR) {
            return n;
        }
    }
}

int CopyBetweenHandles(FileHandle in, uint64_t inPos, FileHandle out, uint64_t outPos,
                       uint64_t count, uint64_t& copied) {
    off_t from = static_cast<off_t>(inPos);
    off_t to = static_cast<off_t>(outPos);
    off_t done = 0;
    bool offload = true;
    const int err = CopyFileRange(static_cast<int>(in), from, static_cast<int>(out), to,
                                  static_cast<off_t>(count), offload, done);
    copied = static_cast<uint64_t>(done);
    return err;
}

bool PathOfHandle(FileHandle handle, std::string& path) {
    path.clear();
    if (static_cast<intptr_t>(handle) < 0) {
        return false;
    }
    char link[4096];
    const ssize_t n =
        ::readlink(ProcPath(static_cast<int>(handle), nullptr).c_str(), link, sizeof link - 1);
    if (n <= 0 || link[0] != '/') {
        return false;  // not a file of a directory tree (a pipe, a socket)
    }
    path.assign(link, static_cast<size_t>(n));
    return true;
}

FileHandle OpenNullDevice() {
    const int fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    return fd < 0 ? kInvalidFileHandle : static_cast<FileHandle>(fd);
}

int CloseHandleOnly(FileHandle handle) {
    return ::close(static_cast<int>(handle)) == 0 ? 0 : WinErrorFromErrno(errno);
}

}  // namespace ferrit
