// The mount table read for the universal form of a path (UniversalName of fs_util.h: where a path
// lies on a network file system, the mount point is replaced by the mount's source,
// //server/share/..., host:/export/...) and for the layers of an overlay.
#pragma once

#include <string>
#include <vector>

namespace ferrit {

// The universal form of an absolute, resolved path given the text of /proc/self/mountinfo: where
// the path lies on a network file system, its mount point is replaced by the mount's source;
// otherwise the path is returned unchanged.
std::string NetworkNameFromMountInfo(const std::string& resolved, const std::string& mountinfo);

// The layer directories (lower ones and the upper one) of the overlay mounted as device
// major:minor, from the text of /proc/self/mountinfo; empty when no such overlay is mounted.
std::vector<std::string> OverlayLayersFromMountInfo(const std::string& mountinfo, unsigned major,
                                                    unsigned minor);

// The same from this process's mount table.
std::vector<std::string> OverlayLayersOf(unsigned major, unsigned minor);

}  // namespace ferrit
