// The platform's "open": starts a program, or hands a document or an address to the desktop's
// opener, and returns at once without waiting for what it started.
#pragma once

#include <cstdint>
#include <string>

#include "support/launch_request.h"

namespace ferrit {

// Results in the convention of the Windows shell: above 32 means started.
constexpr int32_t kLaunchStarted = 42;
constexpr int32_t kLaunchFileNotFound = 2;
constexpr int32_t kLaunchAccessDenied = 5;
constexpr int32_t kLaunchOutOfResources = 8;
constexpr int32_t kLaunchNoAssociation = 31;

// Linux: an executable regular file is started directly, as a detached process, with the
// request's arguments and working directory; anything else (a document, an address) goes to
// xdg-open. Windows: the shell's open operation (ShellExecuteW) takes the request as it is.
int32_t ShellOpen(const LaunchRequest& request);

// True for an existing file that is not a directory.
bool LaunchFileExists(const std::string& path);
// The environment variable, "" when unset; "comspec" is also found as "COMSPEC".
std::string GetEnvVar(const std::string& name);

// Builds the request with the real file test and environment, then opens it.
int32_t ExecuteCommand(const std::string& commandLine, int32_t showState);
int32_t LaunchCommand(const std::string& commandLine);

}  // namespace ferrit
