// The parts of the test helpers that are the same on every system; the system's own calls are in
// posix_files.cpp and win/win_files.cpp.
#include "testing/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/set_aside.h"
#include "platform/temporary_names.h"
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
    // A set-up that fails silently would let a test pass for the wrong reason.
    if (!WriteFile(full, contents))
        ADD_FAILURE() << "cannot write the test file " << full;
    return full;
}

std::string TempDir::Dir(const std::string& relative) {
    std::string full = Path(relative);
    if (!MakeDirs(full))
        ADD_FAILURE() << "cannot make the test directory " << full;
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

std::string DeadProcessTemporaryName(unsigned n) {
    // <prefix><pid>.<counter>.<host>: this host's part is taken from a fresh name.
    const std::string own = NewTemporaryName();
    const size_t pidEnd = own.find('.', std::strlen(kTempPrefix));
    const std::string host = own.substr(own.find('.', pidEnd + 1) + 1);
    return std::string(kTempPrefix) + std::to_string(DeadProcessId()) + "." + std::to_string(n) +
           "." + host;
}

std::string DeadProcessAsideName(const std::string& name) {
    const std::string mine = std::string(kAsidePrefix) + std::to_string(CurrentProcessId()) + ".";
    return std::string(kAsidePrefix) + std::to_string(DeadProcessId()) + "." +
           AsideName(name).substr(mine.size());
}

}  // namespace testing
}  // namespace ferrit
