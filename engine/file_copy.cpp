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
    if (operation != kOperationCopy) {
        return kUnforeseenCopyFailure;  // the only operation this program asks for is the copy
    }
    // The copy replaces an existing target without asking and carries the source's last-write
    // time, which the age rules of the second pass rely on.
    try {
        return files_->CopyFile(source, target, targetAbsent);
    } catch (...) {
        return kUnforeseenCopyFailure;
    }
}

PreparedResult TransferEngine::PrepareShellCopy(FileServices& files, const std::string& source,
                                                const std::string& target, bool targetAbsent,
                                                bool factsWanted) {
    PreparedResult made;
    try {
        const int32_t code = files.PrepareCopy(source, target, targetAbsent, made.copy);
        if (code != 0) {
            made.copy.reset();
            made.refused = code;
        } else if (made.copy) {
            made.copy->factsWanted = factsWanted;
        }
    } catch (...) {
        made.copy.reset();
    }
    return made;
}

}  // namespace ferrit
