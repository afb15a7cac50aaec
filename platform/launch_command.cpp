// The launcher's two entries, the same on every system: the request is built with the
// system's file test and environment, then handed to the system's "open".
#include "platform/launch.h"

namespace ferrit {

int32_t ExecuteCommand(const std::string& commandLine, int32_t showState) {
    return ShellOpen(BuildLaunchRequest(commandLine, showState, LaunchFileExists, GetEnvVar));
}

int32_t LaunchCommand(const std::string& commandLine) {
    return ExecuteCommand(commandLine, 1);
}

}  // namespace ferrit
