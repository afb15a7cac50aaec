// A directory pair, a plain value: where a source and a target directory lie; for each, whether
// it exists, whether it is on a NetWare volume, the connection, the volume path and the
// operator's effective rights there. NetWareServices::GetNetWarePaths makes one from two path
// texts (location_lookup.cpp); the window keeps one for what it shows, a run one per directory
// step, handed to the per-file step and to the NetWare services.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "options/copy_options.h"

namespace ferrit {

struct TPathInfo {
    uint32_t ConnHandle = 0;    // 0 = not on NetWare
    std::string OemPath;        // the path text in the OEM code page; empty for an empty text
    uint8_t TempDirHandle = 0;  // temporary handle held by the pair's metadata steps, 0 = none
    std::string NetWarePath;    // volume path from the path parse; empty when it failed
    std::string ServerName;
    uint32_t EffectiveRights = 0;  // 16-bit rights word; 0 when not asked or failed
    bool OnNetWare = false;        // ServerName is not empty
    bool DirExists = false;        // the text, before conversion, names an existing directory
    bool PathTooLong = false;  // the text (or its volume path) does not fit the client's buffers
};

// The longest path text, and volume path, the client's buffers take.
constexpr size_t kMaxNetWarePath = 511;

// PathInfo[1] is the source, PathInfo[2] the target (PathInfo[0] is unused).
struct DirectoryPair {
    TPathInfo PathInfo[3];
    bool BothNetWare = false;
    bool SameConnection = false;
    int64_t FreeSpace = 0;
    std::string AvailText = "Available";  // the text of the available-space label
};

constexpr int kSource = 1;
constexpr int kTarget = 2;

// The facts the option rules read.
LocationFacts FactsOf(const DirectoryPair& state);

// Converts at most the first 511 characters to the OEM code page (or back); the identity
// conversion here, apart from the cut.
std::string OemConvert(const std::string& text, bool toOem);

}  // namespace ferrit
