// The system's part of the set-aside names on POSIX systems.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/set_aside.h"

namespace ferrit {

long CurrentProcessId() {
    return static_cast<long>(getpid());
}

std::string HostName() {
    char host[256] = {};
    return gethostname(host, sizeof host - 1) == 0 ? std::string(host) : std::string("localhost");
}

bool ProcessRuns(long pid) {
    return !(kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH);
}

}  // namespace ferrit
