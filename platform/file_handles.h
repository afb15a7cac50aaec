// Open files, for the NetWare server copy: the workstation opens the two files (OpenFiles) and the
// server copies between them. The free functions read and write them at an offset as a server
// copy does, and give a handle that keeps nothing written to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file_services.h"

namespace ferrit {

// An open file. What stands behind it is the system's (a descriptor on Linux, a HANDLE on
// Windows): only platform/ looks inside; everyone else hands it on (the NetWare client, to copy
// between two of them on the server).
enum class FileHandle : intptr_t { Invalid = -1 };
constexpr FileHandle kInvalidFileHandle = FileHandle::Invalid;

// The open-file methods of a FileServices (FileServices::OpenFileAccess), for the server copy.
// Thread rule: the walk's thread only. Failures are Windows error numbers, as in FileServices.
class OpenFiles {
  public:
    virtual ~OpenFiles() = default;

    // Opens a regular file for reading, other openers denied write access where the platform
    // can. Anything else (a link, a FIFO, a device, a directory) is refused without waiting.
    virtual FileHandle OpenRead(const std::string& path) = 0;
    // Creates a new, empty file for reading and writing beside `target`, under a reserved name
    // that no file listing shows, bearing the mark of an unfinished copy; `tempPath` receives its
    // path. The caller renames it over the target when complete (RenameOver) or deletes it.
    virtual FileHandle CreateTemporary(const std::string& target, std::string& tempPath) = 0;
    // The facts of an open file; false when they cannot be read.
    virtual bool HandleStat(FileHandle handle, EntryStat& out) = 0;
    // Last-write time of an open file as a local DOS date-time; -1 on failure.
    virtual int32_t GetHandleAge(FileHandle handle) = 0;
    // Sets the last-write time of an open file from a local DOS date-time; 0 or an error code.
    virtual int SetHandleAge(FileHandle handle, int32_t dosDateTime) = 0;
    // Closes an open file; 0, or an error code when data written could not be stored.
    virtual int CloseFile(FileHandle handle) = 0;
    // Gives the entry `from` the name `to` in one step, replacing what stands there (a link is
    // replaced, not followed; a directory makes it fail). Both lie in one directory. A file
    // made by CreateTemporary loses the mark of an unfinished copy first: it gets the permission
    // bits of a new file (without write permission where it was made read-only).
    virtual int RenameOver(const std::string& from, const std::string& to) = 0;
};

// Reads up to `count` bytes at the offset without moving any file position shared with another
// reader: the bytes read (0 at the end of the file), or -1 on failure.
int64_t ReadAt(FileHandle handle, void* buffer, size_t count, uint64_t offset);

// Writes up to `count` bytes at the offset: the bytes written, or -1 on failure.
int64_t WriteAt(FileHandle handle, const void* buffer, size_t count, uint64_t offset);

// Copies up to `count` bytes of `in`, from `inPos`, to `out` at `outPos`: through the system's
// copy offload where it takes these two files (Linux), else through a buffer. Stops early only
// at the end of the source; `copied` receives the bytes written. 0 or a Windows error number; a
// write that makes no progress is a failure (31), so the copy never loops without end.
int CopyBetweenHandles(FileHandle in, uint64_t inPos, FileHandle out, uint64_t outPos,
                       uint64_t count, uint64_t& copied);

// The absolute path of the file an open handle stands for, as the system names it now; false
// when it cannot be told (the file was removed, the handle is no file's).
bool PathOfHandle(FileHandle handle, std::string& path);

// A handle open for reading and writing on the system's null device: what is written to it is
// dropped, a read finds its end. kInvalidFileHandle when it cannot be opened.
FileHandle OpenNullDevice();

// Closes a handle that no FileServices made (one of OpenNullDevice); 0 or an error code.
int CloseHandleOnly(FileHandle handle);

}  // namespace ferrit
