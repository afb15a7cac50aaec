// The parts of the test helpers that are the same on every system; the system's own calls are in
// posix_files.cpp and win/win_files.cpp.
#include "testing/temp_dir.h"

#include "testing/system.h"

namespace ferrit {
namespace testing {

TempDir::~TempDir() {
    if (!path_.empty())
        RemoveTree(path_);
}

std::string TempDir::Path(const std::string& relative) const {
    if (relative.empty())
        return path_;
    return path_ + "/" + relative;
}

std::string TempDir::File(const std::string& relative, const std::string& contents) {
    std::string full = Path(relative);
    WriteFile(full, contents);
    return full;
}

std::string TempDir::Dir(const std::string& relative) {
    std::string full = Path(relative);
    MakeDirs(full);
    return full;
}

std::string ReadFile(const std::string& path) {
    std::string contents;
    ReadFile(path, contents);
    return contents;
}

std::string WithSlashes(std::string text) {
    if (kOnWindows) {
        for (char& c : text) {
            c = c == '\\' ? '/' : c;
        }
    }
    return text;
}

}  // namespace testing
}  // namespace ferrit
