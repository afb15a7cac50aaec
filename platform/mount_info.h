// The universal form of a path for the path fields' hints: where a path lies on a network file
// system, the mount point is replaced by the mount's source (//server/share/..., host:/export/...).
#pragma once

#include <string>

namespace ferrit {

// The universal form of a path: absolute, links resolved (for a path that does not exist yet,
// its longest existing ancestor), and a network mount's mount point replaced by its source.
std::string UniversalNameOf(const std::string& path);

// The universal form of an absolute, resolved path given the text of /proc/self/mountinfo: where
// the path lies on a network file system, its mount point is replaced by the mount's source;
// otherwise the path is returned unchanged.
std::string NetworkNameFromMountInfo(const std::string& resolved, const std::string& mountinfo);

}  // namespace ferrit
