#include "testing/one_server_client.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/file_handles.h"

namespace ferrit {
namespace testing {

NWCCODE OneServerClient::ParsePath(const std::string& path, NWCONN_HANDLE& conn,
                                   NWDIR_HANDLE& dirHandle, std::string& volumePath) {
    conn = 1;
    dirHandle = 0;
    volumePath = "DATA:" + path;
    return 0;
}

NWCCODE OneServerClient::FileServerFileCopy(FileHandle source, FileHandle target,
                                            uint32_t sourceOffset, uint32_t targetOffset,
                                            uint32_t count, uint32_t& bytesCopied) {
    ++copies;
    bytesCopied = 0;
    if (copyCode != 0) {
        return copyCode;
    }
    std::vector<char> buf(std::max<uint32_t>(pieceBytes, 1));
    uint64_t in = sourceOffset;
    uint64_t out = targetOffset;
    while (bytesCopied < count) {
        const size_t want = std::min<uint64_t>(buf.size(), count - bytesCopied);
        const int64_t n = ReadAt(source, buf.data(), want, in);
        if (n < 0) {
            return 0x8801;
        }
        if (n == 0) {
            break;
        }
        if (WriteAt(target, buf.data(), static_cast<size_t>(n), out) != n) {
            return 0x8801;
        }
        in += static_cast<uint64_t>(n);
        out += static_cast<uint64_t>(n);
        bytesCopied += static_cast<uint32_t>(n);
        if (betweenPieces) {
            betweenPieces();
        }
        if (pauseMicroseconds != 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(pauseMicroseconds));
        }
    }
    return 0;
}

}  // namespace testing
}  // namespace ferrit
