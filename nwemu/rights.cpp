// Who may do what on the emulated servers: the objects a login acts as, and the NetWare rule of
// effective rights.
#include "nwemu/network.h"
#include "support/strings.h"

namespace ferrit {
namespace nwemu {

std::vector<uint32_t> Network::SecurityIds(int server, uint32_t id) const {
    std::vector<uint32_t> ids{id};
    const Server& s = ServerAt(server);
    const Object* who = s.FindObject(id);
    if (who == nullptr) {
        return ids;
    }
    for (const Object& o : s.objects) {
        for (const std::string& m : o.members) {
            if (m == who->name) {
                ids.push_back(o.id);
            }
        }
    }
    return ids;
}

uint32_t Network::LoginId(int server) const {
    const Object* who = ServerAt(server).LoggedIn();
    return who != nullptr ? who->id : 0;
}

uint16_t Network::EffectiveRights(const Location& loc, uint32_t objectId) const {
    if (loc.server < 0 || !loc.Exists()) {
        return 0;
    }
    const std::vector<uint32_t> ids = SecurityIds(loc.server, objectId);
    std::vector<uint16_t> rights(ids.size(), 0);
    std::vector<bool> supervisor(ids.size(), false);
    Location at = loc;
    at.components.clear();
    at.local = VolumeRoot(loc.server, loc.volume);
    for (size_t level = 0; level <= loc.components.size(); ++level) {
        if (level > 0) {
            at.components.push_back(loc.components[level - 1]);
            at.local = WithTrailingSlash(at.local) + at.components.back();
        }
        const EntryMetadata metadata = Metadata(at);
        std::vector<Trustee> trustees;
        metadata.ReadTrustees(trustees);
        uint16_t mask = kAllRights;
        metadata.ReadMask(mask);
        for (size_t i = 0; i < ids.size(); ++i) {
            bool explicitHere = false;
            for (const Trustee& t : trustees) {
                if (t.id == ids[i]) {
                    rights[i] = t.rights;
                    explicitHere = true;
                }
            }
            if (!explicitHere && level > 0) {
                rights[i] &= mask;
            }
            if ((rights[i] & Rights::Supervisor) != 0) {
                supervisor[i] = true;
            }
        }
    }
    uint16_t result = 0;
    for (size_t i = 0; i < ids.size(); ++i) {
        result |= supervisor[i] ? kAllRights : rights[i];
    }
    return result;
}

uint32_t Network::OwnerOf(const Location& loc) const {
    uint32_t id = 0;
    if (Metadata(loc).ReadOwner(id)) {
        return id;
    }
    return LoginId(loc.server);
}

std::string Network::ObjectLabel(int server, uint32_t id) const {
    const Object* o = ServerAt(server).FindObject(id);
    return o != nullptr ? o->name : PrefixedHex(id);
}

}  // namespace nwemu
}  // namespace ferrit
