// Open files behind a FileHandle (a descriptor on Linux, a HANDLE on Windows), read and written
// at an offset as a server copy does, and a handle that keeps nothing written to it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file_services.h"

namespace ferrit {

// Reads up to `count` bytes at the offset without moving any file position shared with another
// reader: the bytes read (0 at the end of the file), or -1 on failure.
int64_t ReadAt(FileHandle handle, void* buffer, size_t count, uint64_t offset);

// Writes up to `count` bytes at the offset: the bytes written, or -1 on failure.
int64_t WriteAt(FileHandle handle, const void* buffer, size_t count, uint64_t offset);

// A handle open for reading and writing on the system's null device: what is written to it is
// dropped, a read finds its end. kInvalidFileHandle when it cannot be opened.
FileHandle OpenNullDevice();

// Closes a handle that no FileServices made (one of OpenNullDevice); 0 or an error code.
int CloseHandleOnly(FileHandle handle);

}  // namespace ferrit
