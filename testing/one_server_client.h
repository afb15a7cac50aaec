// A NetWare client for tests of the server copy: every path lies on one server connection,
// and the server copies through the two open files, optionally failing, stopping short,
// pausing between pieces (so that a test can kill a copy midway) or running a hook between
// them (so that a test can change the source while it is copied).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "netware/absent_client.h"

namespace ferrit {
namespace testing {

class OneServerClient : public AbsentClient {
  public:
    NWCCODE ParsePath(const std::string& path, NWCONN_HANDLE& conn, NWDIR_HANDLE& dirHandle,
                      std::string& volumePath) override;
    NWCCODE FileServerFileCopy(FileHandle source, FileHandle target, uint32_t sourceOffset,
                               uint32_t targetOffset, uint32_t count,
                               uint32_t& bytesCopied) override;

    NWCCODE copyCode = 0;           // nonzero: every copy fails with it before copying anything
    uint32_t pieceBytes = 1 << 20;  // bytes copied between two pauses
    unsigned pauseMicroseconds = 0;
    std::function<void()> betweenPieces;  // run after each piece
    int copies = 0;                       // requests served
};

}  // namespace testing
}  // namespace ferrit
