// Directories read ahead of a walk on a few threads of their own, for volumes where every look
// at an entry waits for a round trip: what is read warms the system's caches, and nothing else.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ferrit {

class ReadAheadPool {
  public:
    // `read` reads one directory and looks at its entries, giving up early once `ending` turns
    // true. It runs on the pool's threads, several at once.
    using Reader = std::function<void(const std::string& dir, const std::atomic<bool>& ending)>;
    ReadAheadPool(Reader read, size_t threads);
    ~ReadAheadPool();
    ReadAheadPool(const ReadAheadPool&) = delete;
    ReadAheadPool& operator=(const ReadAheadPool&) = delete;

    // The walk reaches these directories next, in this order, before any asked for earlier
    // (those lie further along a depth-first walk). Threads start with the first request.
    void Ask(const std::vector<std::string>& dirs);
    // Drops what is not yet under way and waits for what is; the pool may be asked again.
    void End();

  private:
    void Work();

    // What waits, at most this many: the farthest are dropped first.
    static constexpr size_t kMostWaiting = 1024;
    Reader read_;
    size_t threads_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<std::string> waiting_;
    size_t busy_ = 0;
    std::atomic<bool> ending_{false};
    bool quitting_ = false;
    std::vector<std::thread> running_;
};

}  // namespace ferrit
