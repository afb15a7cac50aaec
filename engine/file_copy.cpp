// The plain copy of one file, and the 16-bit code a copy result is kept as.
#include <exception>
#include <string>

#include "engine/transfer_engine.h"

namespace ferrit {

namespace {
constexpr uint32_t kOperationCopy = 2;
}  // namespace

int32_t TransferEngine::ShellCopyFile(const std::string& source, const std::string& target,
                                      bool targetAbsent) {
    return ShellFileOperation(source, target, kOperationCopy, targetAbsent);
}

int32_t TransferEngine::ShellFileOperation(const std::string& source, const std::string& target,
                                           uint32_t operation, bool targetAbsent) {
    int32_t result = -1;
    if (operation != kOperationCopy) {
        return result;  // the only operation this program asks for is the copy
    }
    // The copy replaces an existing target without asking and carries the source's last-write
    // time, which the age rules of the second pass rely on.
    try {
        result = files_->CopyFile(source, target, targetAbsent);
    } catch (...) {
        result = -1;
    }
    return result;
}

PreparedResult TransferEngine::PrepareShellCopy(FileServices& files, const std::string& source,
                                                const std::string& target, bool targetAbsent) {
    PreparedResult made;
    try {
        made.code = files.PrepareCopy(source, target, targetAbsent, made.copy);
    } catch (...) {
        made.code = -1;
        made.copy.reset();
    }
    if (made.code == 0 && !made.copy) {
        made.code = -1;
    }
    return made;
}

}  // namespace ferrit
