#include "platform/posix/copy_range.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/copy_progress.h"
#include "platform/error_codes.h"

namespace ferrit {

namespace {

// Where the kernel refuses copy offload between these two files, the data is copied by hand.
bool OffloadRefused(int err) {
    return err == EXDEV || err == ENOSYS || err == EINVAL || err == EOPNOTSUPP || err == ENOTSUP;
}

}  // namespace

int CopyFileRange(int in, off_t& inPos, int out, off_t& outPos, off_t length, bool& offload,
                  off_t& copied) {
    copied = 0;
    off_t left = length;
    // Pieces small enough for a large file's progress to move where it is followed.
    const off_t piece = CopyProgressFollowed() ? off_t(1) << 26 : off_t(1) << 30;
    while (left > 0 && offload) {
        const size_t chunk = static_cast<size_t>(std::min<off_t>(left, piece));
        const ssize_t n = copy_file_range(in, &inPos, out, &outPos, chunk, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (OffloadRefused(errno)) {
                offload = false;
                break;
            }
            return WinErrorFromErrno(errno);
        }
        if (n == 0)
            return 0;  // the end of the source
        copied += n;
        left -= n;
        AddCopiedBytes(n);
    }
    if (left == 0)
        return 0;
    std::vector<char> buf(static_cast<size_t>(std::min<off_t>(left, 1 << 20)));
    while (left > 0) {
        const size_t want =
            static_cast<size_t>(std::min<off_t>(left, static_cast<off_t>(buf.size())));
        const ssize_t n = pread(in, buf.data(), want, inPos);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return WinErrorFromErrno(errno);
        }
        if (n == 0)
            return 0;
        inPos += n;
        size_t done = 0;
        while (done < static_cast<size_t>(n)) {
            const ssize_t w = pwrite(out, buf.data() + done, static_cast<size_t>(n) - done, outPos);
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                return WinErrorFromErrno(errno);
            }
            if (w == 0)
                return WinErr::GenFailure;
            done += static_cast<size_t>(w);
            outPos += w;
            copied += w;
        }
        AddCopiedBytes(n);
        left -= n;
    }
    return 0;
}

}  // namespace ferrit
