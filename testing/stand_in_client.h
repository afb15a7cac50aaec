// The program's binding to the NetWare client libraries, bound to the stand-in libraries that
// the Windows build's tests find beside their programs (stand_ins/SET/). Windows only: elsewhere
// the class is declared, for fixtures that hold one, and never made.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "netware/netware_client.h"
#include "nwemu/config.h"
#include "testing/scoped_env.h"

namespace ferrit {
namespace testing {

// The folder of a stand-in set beside the running test program.
std::string StandInDirectory(const char* set);

// The binding to the set served by the emulated servers of a description: the description is
// written to a file, named to the stand-ins for as long as this object lives, and the client
// libraries are loaded (and released with this object, which ends the served client).
class StandInClient {
  public:
    StandInClient(const nwemu::Config& config, const std::string& descriptionFile);
    // Null when the libraries could not be bound; Problem() says why.
    NetWareClient* Get() const { return client_.get(); }
    const std::string& Problem() const { return problem_; }
    // What the served client holds: directory-services contexts, temporary directory handles.
    size_t OpenContexts() const;
    size_t HeldDirHandles(NWCONN_HANDLE conn) const;

  private:
    ScopedEnv env_;
    std::unique_ptr<NetWareClient> client_;
    std::string problem_;
};

}  // namespace testing
}  // namespace ferrit
