#include "platform/posix/mount_info.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/fs_util.h"
#include "support/strings.h"

namespace ferrit {

namespace {

std::string Unescape(const std::string& s) {
    // Mount points and sources escape blanks, tabs, line ends and backslashes as \ooo.
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' &&
            s[i + 2] >= '0' && s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
            out +=
                static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool IsNetworkFsType(const std::string& type) {
    static const char* const kTypes[] = {
        "nfs",   "nfs4",        "cifs",           "smb3",      "smbfs",
        "ncpfs", "ncp",         "fuse.sshfs",     "sshfs",     "9p",
        "afs",   "ceph",        "fuse.glusterfs", "glusterfs", "lustre",
        "davfs", "fuse.davfs2", "fuse.rclone",    "fuse.s3fs", "coda"};
    for (const char* t : kTypes) {
        if (type == t)
            return true;
    }
    return false;
}

}  // namespace

std::string NetworkNameFromMountInfo(const std::string& resolved, const std::string& mountinfo) {
    std::istringstream lines(mountinfo);
    std::string line;
    std::string bestMount, bestSource, bestType, bestRoot;
    bool found = false;
    while (std::getline(lines, line)) {
        // id parent major:minor root mount-point options [optional...] - type source super-options
        std::istringstream fields(line);
        std::vector<std::string> f;
        std::string w;
        while (fields >> w) f.push_back(w);
        if (f.size() < 7)
            continue;
        size_t dash = 6;
        while (dash < f.size() && f[dash] != "-") ++dash;
        if (dash + 2 >= f.size())
            continue;
        std::string mount = Unescape(f[4]);
        if (!PathAtOrBelow(resolved, mount))
            continue;
        // The longest mount point wins; of equal ones the later mount hides the earlier.
        if (found && mount.size() < bestMount.size())
            continue;
        found = true;
        bestMount = mount;
        bestType = f[dash + 1];
        bestSource = Unescape(f[dash + 2]);
        bestRoot = Unescape(f[3]);  // a bind mount of a subdirectory names it here
    }
    if (!found || !IsNetworkFsType(bestType))
        return resolved;
    std::string rest = bestMount == "/" ? resolved.substr(1) : resolved.substr(bestMount.size());
    if (!rest.empty() && rest[0] == '/')
        rest.erase(0, 1);
    if (bestRoot != "/" && !bestRoot.empty()) {
        std::string root = bestRoot[0] == '/' ? bestRoot.substr(1) : bestRoot;
        rest = rest.empty() ? root : JoinPath(root, rest);
    }
    if (rest.empty())
        return bestSource;
    return JoinPath(bestSource, rest);
}

std::vector<std::string> OverlayLayersFromMountInfo(const std::string& mountinfo, unsigned major,
                                                    unsigned minor) {
    const std::string device = std::to_string(major) + ":" + std::to_string(minor);
    std::istringstream lines(mountinfo);
    std::string line;
    std::vector<std::string> layers;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::vector<std::string> f;
        std::string w;
        while (fields >> w) f.push_back(w);
        size_t dash = 6;
        while (dash < f.size() && f[dash] != "-") ++dash;
        if (f.size() < 7 || f[2] != device || dash + 3 >= f.size() || f[dash + 1] != "overlay")
            continue;
        layers.clear();
        // Super options are separated by commas (a comma in a path is escaped as \054); the
        // lower layers by colons, a colon in a path written as "\:".
        std::istringstream options(f[dash + 3]);
        std::string option;
        while (std::getline(options, option, ',')) {
            const size_t eq = option.find('=');
            if (eq == std::string::npos)
                continue;
            const std::string key = option.substr(0, eq);
            const std::string value = option.substr(eq + 1);
            if (key == "upperdir" || key == "lowerdir+" || key == "datadir+") {
                layers.push_back(Unescape(value));
            } else if (key == "lowerdir") {
                std::string layer;
                for (size_t i = 0; i <= value.size(); ++i) {
                    if (i < value.size() && value[i] == '\\' && i + 1 < value.size() &&
                        value[i + 1] == ':') {
                        layer += ':';
                        ++i;
                    } else if (i == value.size() || value[i] == ':') {
                        if (!layer.empty())
                            layers.push_back(Unescape(layer));
                        layer.clear();
                    } else {
                        layer += value[i];
                    }
                }
            }
        }
    }
    return layers;
}

std::vector<std::string> OverlayLayersOf(unsigned major, unsigned minor) {
    std::ifstream in("/proc/self/mountinfo");
    if (!in)
        return {};
    std::stringstream text;
    text << in.rdbuf();
    return OverlayLayersFromMountInfo(text.str(), major, minor);
}

std::string UniversalName(const std::string& path) {
    if (path.empty())
        return std::string();
    std::string resolved = ResolvePath(path);
    std::ifstream in("/proc/self/mountinfo");
    if (!in)
        return resolved;
    std::stringstream text;
    text << in.rdbuf();
    return NetworkNameFromMountInfo(resolved, text.str());
}

}  // namespace ferrit
