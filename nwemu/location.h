// An entry of an emulated volume, by its local path and by its volume path.
#pragma once

#include <string>
#include <vector>

namespace ferrit {
namespace nwemu {

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

}  // namespace nwemu
}  // namespace ferrit
