#include "nwemu/network.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>

#include "platform/fs_util.h"
#include "support/strings.h"

namespace ferrit {
namespace nwemu {

namespace {

constexpr const char* kTrusteesAttr = "user.netware.trustees";
constexpr const char* kOwnerAttr = "user.netware.owner";
constexpr const char* kMaskAttr = "user.netware.irm";
constexpr const char* kLimitAttr = "user.netware.limit";

// Reads an attribute whole, whatever its size (a long trustee list must never read as none).
bool GetAttr(const std::string& path, const char* name, std::string& value) {
    return ReadWholeXattr(
        [&](char* buf, size_t size) { return ::lgetxattr(path.c_str(), name, buf, size); }, value);
}

int SetAttr(const std::string& path, const char* name, const std::string& value) {
    if (::lsetxattr(path.c_str(), name, value.data(), value.size(), 0) != 0) {
        return errno;
    }
    return 0;
}

int RemoveAttr(const std::string& path, const char* name) {
    if (::lremovexattr(path.c_str(), name) != 0 && errno != ENODATA) {
        return errno;
    }
    return 0;
}

bool ParseHex(const std::string& text, uint32_t& value) {
    if (text.empty() || text.size() > 8) {
        return false;
    }
    char* end = nullptr;
    const unsigned long v = std::strtoul(text.c_str(), &end, 16);
    if (*end != '\0') {
        return false;
    }
    value = static_cast<uint32_t>(v);
    return true;
}

bool LstatOk(const std::string& path, struct stat& st) {
    return ::lstat(path.c_str(), &st) == 0;
}

// The lexically normal absolute form of a path: "." and empty names dropped, ".." taken back.
std::string AbsoluteNormal(const std::string& path) {
    std::string full = path;
    if (full.empty() || full[0] != '/') {
        char cwd[4096];
        if (::getcwd(cwd, sizeof cwd) == nullptr) {
            return std::string();
        }
        full = std::string(cwd) + "/" + full;
    }
    std::vector<std::string> parts;
    std::stringstream in(full);
    std::string part;
    while (std::getline(in, part, '/')) {
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (const std::string& p : parts) {
        out += "/" + p;
    }
    return out.empty() ? "/" : out;
}

// The name of an entry in dir that equals name without regard to ASCII case; empty if none.
std::string FindNoCase(const std::string& dir, const std::string& name) {
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) {
        return std::string();
    }
    std::string found;
    const std::string upper = UpperAscii(name);
    while (dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (UpperAscii(n) == upper) {
            found = n;
            break;
        }
    }
    ::closedir(d);
    return found;
}

std::string JoinVolumePath(const std::string& volume, const std::vector<std::string>& components) {
    std::string path = volume + ":";
    for (size_t i = 0; i < components.size(); ++i) {
        path += (i == 0 ? "" : "\\") + components[i];
    }
    return path;
}

uint64_t UsedBlocks(const std::string& dir, int depth) {
    if (depth > 64) {
        return 0;
    }
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) {
        return 0;
    }
    uint64_t blocks = 0;
    while (dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n == "." || n == "..") {
            continue;
        }
        const std::string p = dir + "/" + n;
        struct stat st;
        if (!LstatOk(p, st)) {
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            blocks += UsedBlocks(p, depth + 1);
        } else if (S_ISREG(st.st_mode)) {
            blocks += (static_cast<uint64_t>(st.st_size) + kSpaceBlockBytes - 1) / kSpaceBlockBytes;
        }
    }
    ::closedir(d);
    return blocks;
}

}  // namespace

bool ReadTrustees(const std::string& local, std::vector<Trustee>& trustees, int* error) {
    trustees.clear();
    std::string value;
    if (error != nullptr) {
        *error = 0;
    }
    if (!GetAttr(local, kTrusteesAttr, value)) {
        if (error != nullptr && errno != ENODATA) {
            *error = errno;
        }
        return false;
    }
    std::stringstream in(value);
    std::string item;
    while (std::getline(in, item, ',')) {
        const size_t colon = item.find(':');
        uint32_t id = 0;
        uint32_t rights = 0;
        if (colon == std::string::npos || !ParseHex(item.substr(0, colon), id) ||
            !ParseHex(item.substr(colon + 1), rights) || id == 0) {
            continue;  // an unreadable item is not an assignment
        }
        trustees.push_back({id, static_cast<uint16_t>(rights & kAllRights)});
    }
    return true;
}

int WriteTrustees(const std::string& local, const std::vector<Trustee>& trustees) {
    if (trustees.empty()) {
        return RemoveAttr(local, kTrusteesAttr);
    }
    std::string value;
    for (const Trustee& t : trustees) {
        value += (value.empty() ? "" : ",") + Hex(t.id) + ":" + Hex(t.rights, 4);
    }
    return SetAttr(local, kTrusteesAttr, value);
}

void AssignTrustee(std::vector<Trustee>& trustees, uint32_t id, uint16_t rights) {
    const uint16_t kept = static_cast<uint16_t>(rights & kAllRights);
    bool replaced = false;
    for (Trustee& t : trustees) {
        if (t.id == id) {
            t.rights = kept;
            replaced = true;
        }
    }
    if (!replaced) {
        trustees.push_back({id, kept});
    }
}

bool ReadOwner(const std::string& local, uint32_t& id) {
    std::string value;
    uint32_t v = 0;
    if (!GetAttr(local, kOwnerAttr, value) || !ParseHex(value, v) || v == 0) {
        return false;
    }
    id = v;
    return true;
}

int WriteOwner(const std::string& local, uint32_t id) {
    return SetAttr(local, kOwnerAttr, Hex(id));
}

bool ReadMask(const std::string& local, uint16_t& mask) {
    std::string value;
    uint32_t v = 0;
    if (!GetAttr(local, kMaskAttr, value) || !ParseHex(value, v)) {
        return false;
    }
    mask = static_cast<uint16_t>(v & kAllRights);
    return true;
}

int WriteMask(const std::string& local, uint16_t mask) {
    return SetAttr(local, kMaskAttr, Hex(mask & kAllRights, 4));
}

bool ReadLimit(const std::string& local, uint32_t& blocks) {
    std::string value;
    if (!GetAttr(local, kLimitAttr, value) || value.empty()) {
        return false;
    }
    char* end = nullptr;
    const unsigned long long v = std::strtoull(value.c_str(), &end, 10);
    if (*end != '\0' || v == 0 || v >= 0x7FFFFFFFull) {
        return false;
    }
    blocks = static_cast<uint32_t>(v);
    return true;
}

int WriteLimit(const std::string& local, uint32_t blocks) {
    if (blocks == 0 || blocks >= 0x7FFFFFFF) {
        return RemoveAttr(local, kLimitAttr);
    }
    return SetAttr(local, kLimitAttr, std::to_string(blocks));
}

bool Location::Exists() const {
    struct stat st;
    return !local.empty() && LstatOk(local, st);
}

bool Location::IsDirectory() const {
    struct stat st;
    return !local.empty() && LstatOk(local, st) && S_ISDIR(st.st_mode);
}

Network::Network(Config config) : config_(WithTreeObjects(std::move(config))) {
    for (const Server& s : config_.servers) {
        std::vector<std::string> roots;
        for (const Volume& v : s.volumes) {
            roots.push_back(ResolvePath(AbsoluteNormal(v.dir)));
        }
        roots_.push_back(roots);
    }
}

const std::string& Network::VolumeRoot(int server, int volume) const {
    return roots_[static_cast<size_t>(server)][static_cast<size_t>(volume)];
}

bool Network::LocateLocal(const std::string& path, Location& loc) const {
    loc = Location();
    if (path.empty()) {
        return false;
    }
    const std::string full = ResolvePath(AbsoluteNormal(path));
    size_t best = 0;
    for (int s = 0; s < ServerCount(); ++s) {
        for (int v = 0; v < static_cast<int>(roots_[static_cast<size_t>(s)].size()); ++v) {
            const std::string& root = VolumeRoot(s, v);
            const bool inside = full == root || (full.size() > root.size() &&
                                                 full.compare(0, root.size(), root) == 0 &&
                                                 (root == "/" || full[root.size()] == '/'));
            if (inside && root.size() >= best) {
                best = root.size();
                loc.server = s;
                loc.volume = v;
            }
        }
    }
    if (loc.server < 0) {
        return false;
    }
    const std::string& root = VolumeRoot(loc.server, loc.volume);
    std::stringstream rest(full.substr(root.size()));
    std::string part;
    while (std::getline(rest, part, '/')) {
        if (part.empty()) {
            continue;
        }
        if (part.find('\\') != std::string::npos) {
            loc = Location();
            return false;
        }
        loc.components.push_back(part);
    }
    loc.local = full;
    loc.volumePath = JoinVolumePath(
        ServerAt(loc.server).volumes[static_cast<size_t>(loc.volume)].name, loc.components);
    return true;
}

bool Network::LocateVolumePath(int server, const std::string& volumePath, Location& loc) const {
    loc = Location();
    if (server < 0 || server >= ServerCount()) {
        return false;
    }
    const size_t colon = volumePath.find(':');
    if (colon == std::string::npos) {
        return false;
    }
    std::string volume = volumePath.substr(0, colon);
    const size_t sep = volume.find_first_of("/\\");
    if (sep != std::string::npos) {
        if (UpperAscii(volume.substr(0, sep)) != ServerAt(server).name) {
            return false;
        }
        volume = volume.substr(sep + 1);
    }
    const Server& s = ServerAt(server);
    for (size_t v = 0; v < s.volumes.size(); ++v) {
        if (s.volumes[v].name == UpperAscii(volume)) {
            loc.server = server;
            loc.volume = static_cast<int>(v);
        }
    }
    if (loc.server < 0) {
        return false;
    }
    loc.local = VolumeRoot(loc.server, loc.volume);
    std::string rest = volumePath.substr(colon + 1);
    for (char& c : rest) {
        if (c == '/') {
            c = '\\';
        }
    }
    std::vector<std::string> parts;
    std::stringstream in(rest);
    std::string part;
    while (std::getline(in, part, '\\')) {
        if (part == "." || part == "..") {
            loc = Location();
            return false;
        }
        if (!part.empty()) {
            parts.push_back(part);
        }
    }
    for (size_t i = 0; i < parts.size(); ++i) {
        std::string name = parts[i];
        struct stat st;
        bool found = LstatOk(loc.local + "/" + name, st);
        if (!found) {
            const std::string other = FindNoCase(loc.local, name);
            if (!other.empty()) {
                name = other;
                found = LstatOk(loc.local + "/" + name, st);
            }
        }
        // A server never follows a link out of its volume: only the last name may be one.
        if (found && S_ISLNK(st.st_mode) && i + 1 < parts.size()) {
            loc = Location();
            return false;
        }
        loc.local += (loc.local == "/" ? "" : "/") + name;
        loc.components.push_back(name);
    }
    loc.volumePath =
        JoinVolumePath(s.volumes[static_cast<size_t>(loc.volume)].name, loc.components);
    return true;
}

bool Network::LocateRelative(const Location& base, const std::string& path, Location& loc) const {
    if (path.find(':') != std::string::npos) {
        return LocateVolumePath(base.server, path, loc);
    }
    return LocateVolumePath(base.server, base.volumePath + "\\" + path, loc);
}

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
    std::string path = VolumeRoot(loc.server, loc.volume);
    for (size_t level = 0; level <= loc.components.size(); ++level) {
        if (level > 0) {
            path += (path == "/" ? "" : "/") + loc.components[level - 1];
        }
        std::vector<Trustee> trustees;
        ReadTrustees(path, trustees);
        uint16_t mask = kAllRights;
        ReadMask(path, mask);
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
    if (ReadOwner(loc.local, id)) {
        return id;
    }
    return LoginId(loc.server);
}

uint32_t Network::BlocksUsed(const std::string& local) const {
    const uint64_t blocks = UsedBlocks(local, 0);
    return blocks >= 0x7FFFFFFF ? 0x7FFFFFFE : static_cast<uint32_t>(blocks);
}

std::string Network::ObjectLabel(int server, uint32_t id) const {
    const Object* o = ServerAt(server).FindObject(id);
    return o != nullptr ? o->name : PrefixedHex(id);
}

}  // namespace nwemu
}  // namespace ferrit
