#include "platform/fs_util.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/posix_util.h"

namespace ferrit {

int MakeDirectoriesPlain(const std::string& path, mode_t mode) {
    if (path.empty()) {
        return ENOENT;
    }
    // From the path upwards until a level exists or is made; `missing` holds the ends of the
    // levels found missing on the way, deepest first.
    std::vector<size_t> missing;
    size_t end = path.size();
    for (;;) {
        const std::string level = path.substr(0, end);
        if (mkdir(level.c_str(), mode) == 0) {
            break;
        }
        const int err = errno;
        if (err == EEXIST) {
            struct stat st;
            if (stat(level.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
                return missing.empty() ? EEXIST : ENOTDIR;
            }
            break;
        }
        if (err != ENOENT) {
            return err;
        }
        missing.push_back(end);
        size_t slash = path.find_last_of('/', end - 1);
        while (slash != std::string::npos && slash > 0 && path[slash - 1] == '/') {
            --slash;
        }
        if (slash == std::string::npos || slash == 0) {
            return ENOENT;  // nothing above to make it in
        }
        end = slash;
    }
    for (size_t i = missing.size(); i-- > 0;) {
        const std::string level = path.substr(0, missing[i]);
        if (mkdir(level.c_str(), mode) != 0) {
            const int err = errno;
            struct stat st;
            if (err != EEXIST || stat(level.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
                return err == EEXIST && i == 0 ? EEXIST : err;
            }
        }
    }
    return 0;
}

std::string ResolvePath(const std::string& path) {
    if (path.empty()) {
        return path;
    }
    char* real = realpath(path.c_str(), nullptr);
    if (real) {
        std::string out = real;
        std::free(real);
        return out;
    }
    std::string abs = path;
    if (abs[0] != '/') {
        char* cwd = getcwd(nullptr, 0);
        if (!cwd)
            return path;
        abs = JoinPath(cwd, path);
        std::free(cwd);
    }
    std::string head = abs;
    std::string tail;
    while (head.size() > 1) {
        size_t slash = head.find_last_of('/');
        std::string name = head.substr(slash + 1);
        head = slash == 0 ? "/" : head.substr(0, slash);
        tail = tail.empty() ? name : name + "/" + tail;
        real = realpath(head.c_str(), nullptr);
        if (real) {
            std::string out = JoinPath(real, tail);
            std::free(real);
            return out;
        }
    }
    return abs;
}

std::string ConfigDirectory() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        return xdg;
    }
    std::string home;
    const char* env = std::getenv("HOME");
    if (env && *env) {
        home = env;
    } else {
        const passwd* pw = getpwuid(getuid());
        home = pw && pw->pw_dir ? pw->pw_dir : "/";
    }
    return home + "/.config";
}

}  // namespace ferrit
