#include "platform/copy_progress.h"

namespace ferrit {

namespace {
// The counter of the scope the thread is in; each thread sees only its own.
thread_local std::atomic<int64_t>* tWritten = nullptr;
}  // namespace

CopyProgressScope::CopyProgressScope(std::atomic<int64_t>* written) {
    tWritten = written;
}

CopyProgressScope::~CopyProgressScope() {
    tWritten = nullptr;
}

void AddCopiedBytes(int64_t bytes) {
    if (tWritten != nullptr) {
        tWritten->fetch_add(bytes, std::memory_order_relaxed);
    }
}

bool CopyProgressFollowed() {
    return tWritten != nullptr;
}

}  // namespace ferrit
