#include "platform/file_services.h"

#include <utility>

namespace ferrit {

int FileServices::CopyFile(const std::string& source, const std::string& target, bool targetAbsent,
                           CopyFacts* facts) {
    std::unique_ptr<PreparedCopy> copy;
    if (const int rc = PrepareCopy(source, target, targetAbsent, copy)) {
        return rc;
    }
    if (!copy) {
        return 31;  // no copy, yet no failure: counted as a general failure
    }
    CopyFacts made;
    made.source = copy->source;
    const int rc = PublishCopy(std::move(copy), made.copy);
    if (rc == 0 && facts != nullptr) {
        *facts = made;
    }
    return rc;
}

}  // namespace ferrit
