#include "platform/posix/posix_util.h"

namespace ferrit {

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty())
        return name;
    if (dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}

std::string ProcPath(int fd, const char* name) {
    std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (name != nullptr) {
        path += '/';
        path += name;
    }
    return path;
}

}  // namespace ferrit
