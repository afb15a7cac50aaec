// Small POSIX helpers shared by the Linux file services.
#pragma once

#include <string>

namespace ferrit {

// The directory and the name joined with one separator.
std::string JoinPath(const std::string& dir, const std::string& name);

// The path by which the kernel reaches an entry of an open directory, or the open file itself
// when `name` is null, without looking its directories up again.
std::string ProcPath(int fd, const char* name);

}  // namespace ferrit
