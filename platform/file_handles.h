// Open files behind a FileHandle (a descriptor on Linux, a HANDLE on Windows), read and written
// at an offset as a server copy does, and a handle that keeps nothing written to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file_services.h"

namespace ferrit {

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
