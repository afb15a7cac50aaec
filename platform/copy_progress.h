// How far the copies under way have come: a copy adds the bytes it has written so far to the
// counter of the thread it runs on, where the caller has given that thread one. So a front end
// can show a large file's copy moving, whatever worker makes it.
#pragma once

#include <atomic>
#include <cstdint>

namespace ferrit {

// Gives the calling thread a counter for as long as the scope lasts; the copies made on this
// thread meanwhile add each piece of data they write to it. Scopes do not nest.
class CopyProgressScope {
  public:
    explicit CopyProgressScope(std::atomic<int64_t>* written);
    ~CopyProgressScope();
    CopyProgressScope(const CopyProgressScope&) = delete;
    CopyProgressScope& operator=(const CopyProgressScope&) = delete;
};

// Adds bytes written by a copy to the calling thread's counter, if it has one.
void AddCopiedBytes(int64_t bytes);
// Whether the calling thread's copies are followed (it has a counter).
bool CopyProgressFollowed();

}  // namespace ferrit
