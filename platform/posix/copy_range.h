// The byte-range copy between two open files that every copy of the program goes through: the
// crash-safe copy and the emulated server's copy.
#pragma once

#include <sys/types.h>

namespace ferrit {

// Copies up to `length` bytes of `in`, from `inPos`, to `out` at `outPos`, advancing both:
// through the kernel's copy offload while it accepts these two files (`offload` turns false, for
// later calls too, where it refuses), else through a buffer. Stops early only at the end of the
// source; `copied` receives the bytes written. Returns 0 or a Windows error code. A write that
// makes no progress is a failure (31): the copy never loops without end.
int CopyFileRange(int in, off_t& inPos, int out, off_t& outPos, off_t length, bool& offload,
                  off_t& copied);

}  // namespace ferrit
