#include "platform/launch.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/strings.h"

namespace ferrit {

namespace {

int32_t ResultOfErrno(int err) {
    switch (err) {
        case ENOENT:
        case ENOTDIR:
            return kLaunchFileNotFound;
        case EACCES:
        case EPERM:
            return kLaunchAccessDenied;
        case ENOMEM:
        case EAGAIN:
            return kLaunchOutOfResources;
        default:
            return kLaunchNoAssociation;
    }
}

bool IsExecutableFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// Starts argv as a grandchild in its own session, so it outlives nothing of ours and leaves no
// zombie; a failed exec comes back through a close-on-exec pipe. Waits only for the short-lived
// middle process, never for the program.
int32_t SpawnDetached(const std::vector<std::string>& argv, const std::string& directory) {
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);

    int pipefd[2];
    if (pipe2(pipefd, O_CLOEXEC) != 0) {
        return kLaunchOutOfResources;
    }
    const pid_t middle = fork();
    if (middle < 0) {
        close(pipefd[0]);
        close(pipefd[1]);
        return kLaunchOutOfResources;
    }
    if (middle == 0) {
        close(pipefd[0]);
        setsid();
        const pid_t child = fork();
        if (child == 0) {
            signal(SIGPIPE, SIG_DFL);
            int err = 0;
            if (!directory.empty() && chdir(directory.c_str()) != 0) {
                err = errno;
            } else {
                execv(args[0], args.data());
                err = errno;
            }
            ssize_t ignored = write(pipefd[1], &err, sizeof err);
            (void)ignored;
            _exit(127);
        }
        if (child < 0) {
            const int err = errno;
            ssize_t ignored = write(pipefd[1], &err, sizeof err);
            (void)ignored;
        }
        _exit(0);
    }
    close(pipefd[1]);
    int status = 0;
    while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    int err = 0;
    ssize_t n;
    do {
        n = read(pipefd[0], &err, sizeof err);
    } while (n < 0 && errno == EINTR);
    close(pipefd[0]);
    return n == static_cast<ssize_t>(sizeof err) ? ResultOfErrno(err) : kLaunchStarted;
}

std::string FindInPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = dirs.find(':', start);
        const std::string dir =
            dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (IsExecutableFile(candidate)) {
            return candidate;
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return std::string();
}

}  // namespace

bool LaunchFileExists(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string GetEnvVar(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (!value) {
        value = std::getenv(UpperAscii(name).c_str());
    }
    return value ? value : std::string();
}

int32_t ShellOpen(const LaunchRequest& request) {
    if (request.file.empty()) {
        return kLaunchFileNotFound;
    }
    if (IsExecutableFile(request.file)) {
        std::vector<std::string> argv{request.file};
        argv.insert(argv.end(), request.arguments.begin(), request.arguments.end());
        return SpawnDetached(argv, request.directory);
    }
    const std::string opener = FindInPath("xdg-open");
    if (opener.empty()) {
        return kLaunchNoAssociation;
    }
    return SpawnDetached({opener, request.file}, request.directory);
}

}  // namespace ferrit
