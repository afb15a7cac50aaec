#pragma once

#include "platform/file_services.h"

namespace ferrit {

// The Linux file services.
class PosixFileServices : public FileServices {
public:
    int ListFiles(const std::string& dir, const std::string& pattern,
                  std::vector<ListEntry>& out) override;
    int ListSubdirs(const std::string& dir, std::vector<ListEntry>& out) override;
    bool DirectoryExists(const std::string& path) override;
    bool DirectoryId(const std::string& path, DirIdentity& id) override;
    int32_t FileAge(const std::string& path) override;
    int32_t GetAttributes(const std::string& path) override;
    int SetAttributes(const std::string& path, uint32_t attr) override;
    int DeleteFile(const std::string& path) override;
    int CreateDirectories(const std::string& path) override;
    int RemoveDirectory(const std::string& path) override;
    int CopyFile(const std::string& source, const std::string& target) override;
    bool FreeSpace(const std::string& path, int64_t& bytes) override;
    FileHandle OpenRead(const std::string& path) override;
    FileHandle CreateTruncate(const std::string& path) override;
    int32_t GetHandleAge(FileHandle handle) override;
    int SetHandleAge(FileHandle handle, int32_t dosDateTime) override;
    void CloseFile(FileHandle handle) override;
    std::string UniversalName(const std::string& path) override;
};

// Pattern matching of the listings: "*" any run, "?" one character, ASCII letters without
// regard to case, and "*.*" matches every name, with or without a dot.
bool MatchPattern(const std::string& pattern, const std::string& name);

// DOS date-time of a time_t in the process's local time zone, clamped to the DOS range.
int32_t DosDateTimeFromUnix(int64_t seconds);

// The universal form of an absolute, resolved path given the text of /proc/self/mountinfo: where
// the path lies on a network file system, its mount point is replaced by the mount's source;
// otherwise the path is returned unchanged.
std::string NetworkNameFromMountInfo(const std::string& resolved, const std::string& mountinfo);

// Prefix of the program's temporary files; such names are never listed.
constexpr const char* kTempPrefix = ".ferrit-tmp.";

}  // namespace ferrit
