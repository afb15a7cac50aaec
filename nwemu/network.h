// The emulated servers as the emulated client and the administration tool see them: where each
// volume lies, how a local path and a volume path ("DATA:dir\sub") name the same entry, the
// metadata each entry carries, and the NetWare rule of effective rights.
//
// Metadata lives with the entry itself, in extended attributes, so it moves and vanishes with
// the file or directory:
//   user.netware.trustees  "ID:RIGHTS,ID:RIGHTS,..." (hexadecimal, in the order of assignment)
//   user.netware.owner     "ID"                      (absent: owned by the server's login)
//   user.netware.irm       "RIGHTS"                  (absent: every right is inherited)
//   user.netware.limit     blocks of 4 KB, decimal    (absent: no space limit)
// Identifiers are those of the server the volume belongs to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "netware/server_rules.h"
#include "nwemu/config.h"
#include "options/copy_options.h"

namespace ferrit {
namespace nwemu {

// Every trustee right: what an entry without a mask of its own passes on and what Supervisor
// gives.
constexpr uint16_t kAllRights = kAllTrusteeRights;

// Rights in NetWare's letters, as the administration tool reads and writes them.
using ::ferrit::ParseRightsLetters;
using ::ferrit::RightsLetters;

// Space limits are kept in the client's unit, blocks of 4 KB.
constexpr uint32_t kSpaceBlockBytes = 4096;

struct Trustee {
    uint32_t id = 0;
    uint16_t rights = 0;
};

// Access to the metadata of one local entry. Reads answer false when the attribute is absent or
// unreadable; writes answer 0 or the errno value. ReadTrustees tells the two apart through
// `error` (0 when the entry simply has no trustees), so a list that cannot be read is never
// taken for an empty one and overwritten.
bool ReadTrustees(const std::string& local, std::vector<Trustee>& trustees, int* error = nullptr);
int WriteTrustees(const std::string& local,
                  const std::vector<Trustee>& trustees);  // empty: none
// Gives an object its rights in a trustee list: its earlier assignment is replaced, else the
// assignment is added at the end. Only real rights bits are kept.
void AssignTrustee(std::vector<Trustee>& trustees, uint32_t id, uint16_t rights);
bool ReadOwner(const std::string& local, uint32_t& id);
int WriteOwner(const std::string& local, uint32_t id);
bool ReadMask(const std::string& local, uint16_t& mask);
int WriteMask(const std::string& local, uint16_t mask);
bool ReadLimit(const std::string& local, uint32_t& blocks);
int WriteLimit(const std::string& local, uint32_t blocks);  // 0 removes the limit

// An entry on a volume, which may or may not exist.
struct Location {
    int server = -1;                      // index into the configuration's servers
    int volume = -1;                      // index into the server's volumes
    std::vector<std::string> components;  // names below the volume root, as stored locally
    std::string local;                    // the local path
    std::string volumePath;               // "VOLUME:dir\sub", "VOLUME:" for the root

    bool IsRoot() const { return components.empty(); }
    bool Exists() const;
    bool IsDirectory() const;
};

class Network {
  public:
    explicit Network(Config config);

    const Config& Configuration() const { return config_; }
    const Server& ServerAt(int i) const { return config_.servers[static_cast<size_t>(i)]; }
    int ServerCount() const { return static_cast<int>(config_.servers.size()); }
    // The volume's directory with links resolved.
    const std::string& VolumeRoot(int server, int volume) const;

    // A local path (absolute or relative, existing or not) on a volume; false when it lies on
    // no volume or holds a name the volume path cannot express (one with a backslash).
    bool LocateLocal(const std::string& path, Location& loc) const;
    // A volume path of a server: "VOLUME:dir\sub" (also with '/', and with a leading "SERVER/"
    // naming this server). Names match without regard to case when no entry of the exact name
    // exists. False for an unknown volume, a "..", a path through a link, or any other
    // malformed path.
    bool LocateVolumePath(int server, const std::string& volumePath, Location& loc) const;
    // A path relative to a directory entry: empty for the entry itself, "sub\x", or a volume
    // path (with its colon), which stands alone.
    bool LocateRelative(const Location& base, const std::string& path, Location& loc) const;

    // The object and the groups it belongs to on its server.
    std::vector<uint32_t> SecurityIds(int server, uint32_t id) const;
    uint32_t LoginId(int server) const;
    // Effective rights of an object on an existing entry, by the NetWare rule: for the object
    // and each of its groups, from the volume root down, an explicit assignment replaces what
    // was inherited and otherwise the rights at the parent pass through the entry's inherited
    // rights mask; Supervisor anywhere on the way gives every right below, whatever the masks.
    // The result is the union over the object and its groups.
    uint16_t EffectiveRights(const Location& loc, uint32_t objectId) const;
    uint16_t LoginRights(const Location& loc) const {
        return EffectiveRights(loc, LoginId(loc.server));
    }
    // The owner of an entry: its recorded owner, else the server's login.
    uint32_t OwnerOf(const Location& loc) const;
    // Blocks of 4 KB used by the files below a directory (each file rounded up to a block).
    uint32_t BlocksUsed(const std::string& local) const;

    // "NAME" of an object of a server, or its identifier in hexadecimal when it has none.
    std::string ObjectLabel(int server, uint32_t id) const;

  private:
    Config config_;
    std::vector<std::vector<std::string>> roots_;  // per server, per volume
};

}  // namespace nwemu
}  // namespace ferrit
