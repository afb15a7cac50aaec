// Reading the program's own small text files (the settings file, the NetWare description):
// only regular files are read, and at most kMaxConfigFileBytes of them. A FIFO, a device, a
// directory or an endless file in their place is refused without blocking the program or
// growing its memory; nothing but a regular file is ever opened.
#pragma once

#include <cstddef>
#include <string>

namespace ferrit {

constexpr size_t kMaxConfigFileBytes = 1024 * 1024;

enum class ConfigFileStatus {
    Read,        // text holds the whole file
    Missing,     // no file of that name
    NotRegular,  // a directory, FIFO, device or socket
    TooLarge,    // more than kMaxConfigFileBytes
    Unreadable,  // it exists but cannot be opened or read
};

struct ConfigFileText {
    ConfigFileStatus status = ConfigFileStatus::Missing;
    std::string text;
    // Unless the file was read: what went wrong, naming the file ("FILE: not a regular file
    // (a FIFO)", "FILE: larger than 1 MiB", "FILE: cannot be read (Permission denied)").
    std::string problem;
};

// The refusal of a file: its status, and the problem naming the file ("FILE: " and `why`).
ConfigFileText RefusedConfigFile(const std::string& path, ConfigFileStatus status,
                                 const std::string& why);

// Reads a whole regular file. A symbolic link is followed; what it leads to must be a regular
// file too.
ConfigFileText ReadConfigFile(const std::string& path);

}  // namespace ferrit
