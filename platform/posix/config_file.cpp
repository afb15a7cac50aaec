#include "platform/config_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ferrit {

namespace {

const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a directory";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "not a file";
}

ConfigFileText Failed(const std::string& path, int error) {
    const bool missing = error == ENOENT || error == ENOTDIR;
    return RefusedConfigFile(path,
                             missing ? ConfigFileStatus::Missing : ConfigFileStatus::Unreadable,
                             std::string("cannot be read (") + std::strerror(error) + ")");
}

// The checks made before and again after opening, so a file swapped in between is caught too.
bool Acceptable(const std::string& path, const struct stat& st, ConfigFileText& refusal) {
    if (!S_ISREG(st.st_mode)) {
        refusal = RefusedConfigFile(path, ConfigFileStatus::NotRegular,
                                    std::string("not a regular file (") + KindOf(st.st_mode) + ")");
        return false;
    }
    if (st.st_size > static_cast<off_t>(kMaxConfigFileBytes)) {
        refusal = RefusedConfigFile(path, ConfigFileStatus::TooLarge, "larger than 1 MiB");
        return false;
    }
    return true;
}

}  // namespace

ConfigFileText ReadConfigFile(const std::string& path) {
    ConfigFileText result;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        return Failed(path, errno);
    }
    if (!Acceptable(path, st, result)) {
        return result;
    }
    // Non-blocking and without a controlling terminal, in case something other than a regular
    // file took the name's place since the test above.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return Failed(path, errno);
    }
    if (::fstat(fd, &st) != 0 || !Acceptable(path, st, result)) {
        const int error = errno;
        ::close(fd);
        return result.problem.empty() ? Failed(path, error) : result;
    }
    // Read to the end, but never past the limit: a file that grows while it is read (or a
    // special file posing as a regular one) cannot make the text grow without bound.
    std::string text;
    char buffer[65536];
    while (text.size() <= kMaxConfigFileBytes) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            ::close(fd);
            return Failed(path, error);
        }
        if (n == 0) {
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    if (text.size() > kMaxConfigFileBytes) {
        return RefusedConfigFile(path, ConfigFileStatus::TooLarge, "larger than 1 MiB");
    }
    result.status = ConfigFileStatus::Read;
    result.text = std::move(text);
    return result;
}

}  // namespace ferrit
