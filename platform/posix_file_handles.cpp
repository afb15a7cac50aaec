// The Linux side of file_handles.h: the handle is a file descriptor.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/error_codes.h"
#include "platform/file_handles.h"

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

FileHandle OpenNullDevice() {
    const int fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    return fd < 0 ? kInvalidFileHandle : static_cast<FileHandle>(fd);
}

int CloseHandleOnly(FileHandle handle) {
    return ::close(static_cast<int>(handle)) == 0 ? 0 : WinErrorFromErrno(errno);
}

}  // namespace ferrit
