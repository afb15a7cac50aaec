// The emulated servers as the emulated client and the administration tool see them: where each
// volume lies, how a local path and a volume path ("DATA:dir\sub") name the same entry, the
// metadata each entry carries (metadata.h), and the NetWare rule of effective rights.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "netware/server_rules.h"
#include "nwemu/config.h"
#include "nwemu/location.h"
#include "nwemu/metadata.h"
#include "options/copy_options.h"

namespace ferrit {
namespace nwemu {

// Rights in NetWare's letters, as the administration tool reads and writes them.
using ::ferrit::ParseRightsLetters;
using ::ferrit::RightsLetters;

// Used by one thread at a time.
class Network {
  public:
    explicit Network(Config config, MetadataKeeping keeping = SystemMetadataKeeping());

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

    // The metadata of an entry on a volume; of a local path on no volume, nothing (every read
    // finds nothing, every write fails).
    EntryMetadata Metadata(const Location& loc) const;
    EntryMetadata Metadata(const std::string& local) const;

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
    std::shared_ptr<MetadataStore> store_;
};

}  // namespace nwemu
}  // namespace ferrit
