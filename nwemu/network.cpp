#include "nwemu/network.h"

#include <sstream>

#include "platform/fs_util.h"
#include "support/strings.h"

namespace ferrit {
namespace nwemu {

namespace {

// The name of an entry in dir that equals name without regard to ASCII case; empty if none.
std::string FindNoCase(const std::string& dir, const std::string& name) {
    std::vector<std::string> names;
    ReadDirectoryNames(dir, names);
    const std::string upper = UpperAscii(name);
    for (const std::string& n : names) {
        if (UpperAscii(n) == upper) {
            return n;
        }
    }
    return std::string();
}

std::string JoinVolumePath(const std::string& volume, const std::vector<std::string>& components) {
    std::string path = volume + ":";
    for (size_t i = 0; i < components.size(); ++i) {
        path += (i == 0 ? "" : "\\") + components[i];
    }
    return path;
}

uint64_t UsedBlocks(const std::string& dir, int depth) {
    std::vector<std::string> names;
    if (depth > 64 || ReadDirectoryNames(dir, names) != 0) {
        return 0;
    }
    uint64_t blocks = 0;
    for (const std::string& name : names) {
        const std::string path = WithTrailingSlash(dir) + name;
        PathFacts facts;
        if (StatPath(path, facts) != 0) {
            continue;
        }
        if (facts.kind == EntryKind::Directory) {
            blocks += UsedBlocks(path, depth + 1);
        } else if (facts.kind == EntryKind::File) {
            blocks += (static_cast<uint64_t>(facts.size) + kSpaceBlockBytes - 1) / kSpaceBlockBytes;
        }
    }
    return blocks;
}

}  // namespace

bool Location::Exists() const {
    PathFacts facts;
    return !local.empty() && StatPath(local, facts) == 0;
}

bool Location::IsDirectory() const {
    PathFacts facts;
    return !local.empty() && StatPath(local, facts) == 0 && facts.kind == EntryKind::Directory;
}

Network::Network(Config config, MetadataKeeping keeping)
    : config_(WithTreeObjects(std::move(config))), store_(MakeMetadataStore(keeping)) {
    for (const Server& s : config_.servers) {
        std::vector<std::string> roots;
        for (const Volume& v : s.volumes) {
            roots.push_back(ResolvePath(NormalAbsolutePath(v.dir)));
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
    const std::string full = ResolvePath(NormalAbsolutePath(path));
    size_t best = 0;
    for (int s = 0; s < ServerCount(); ++s) {
        for (int v = 0; v < static_cast<int>(roots_[static_cast<size_t>(s)].size()); ++v) {
            const std::string& root = VolumeRoot(s, v);
            if (PathAtOrBelow(full, root) && root.size() >= best) {
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
    while (std::getline(rest, part, kPathSeparator)) {
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
        PathFacts facts;
        bool found = StatPath(WithTrailingSlash(loc.local) + name, facts) == 0;
        if (!found) {
            const std::string other = FindNoCase(loc.local, name);
            if (!other.empty()) {
                name = other;
                found = StatPath(WithTrailingSlash(loc.local) + name, facts) == 0;
            }
        }
        // A server never follows a link out of its volume: only the last name may be one.
        if (found && facts.kind == EntryKind::Link && i + 1 < parts.size()) {
            loc = Location();
            return false;
        }
        loc.local = WithTrailingSlash(loc.local) + name;
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

EntryMetadata Network::Metadata(const Location& loc) const {
    if (loc.server < 0) {
        return EntryMetadata();
    }
    return EntryMetadata(store_, VolumeRoot(loc.server, loc.volume), loc);
}

EntryMetadata Network::Metadata(const std::string& local) const {
    Location loc;
    return LocateLocal(local, loc) ? Metadata(loc) : EntryMetadata();
}

uint32_t Network::BlocksUsed(const std::string& local) const {
    const uint64_t blocks = UsedBlocks(local, 0);
    return blocks >= 0x7FFFFFFF ? 0x7FFFFFFE : static_cast<uint32_t>(blocks);
}

}  // namespace nwemu
}  // namespace ferrit
