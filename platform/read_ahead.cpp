#include "platform/read_ahead.h"

#include <system_error>
#include <utility>

namespace ferrit {

ReadAheadPool::ReadAheadPool(Reader read, size_t threads)
    : read_(std::move(read)), threads_(threads == 0 ? 1 : threads) {}

ReadAheadPool::~ReadAheadPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quitting_ = true;
        ending_ = true;
        waiting_.clear();
    }
    wake_.notify_all();
    for (std::thread& t : running_) {
        t.join();
    }
}

void ReadAheadPool::Ask(const std::vector<std::string>& dirs) {
    if (dirs.empty()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = false;
        waiting_.insert(waiting_.begin(), dirs.begin(), dirs.end());
        if (waiting_.size() > kMostWaiting) {
            waiting_.resize(kMostWaiting);
        }
        if (running_.empty()) {
            // A thread that cannot be started leaves the reading to the walk, as before.
            try {
                for (size_t i = 0; i < threads_; ++i) {
                    running_.emplace_back(&ReadAheadPool::Work, this);
                }
            } catch (const std::system_error&) {
                if (running_.empty()) {
                    waiting_.clear();
                    return;
                }
            }
        }
    }
    wake_.notify_all();
}

void ReadAheadPool::End() {
    std::unique_lock<std::mutex> lock(mutex_);
    waiting_.clear();
    ending_ = true;
    idle_.wait(lock, [this] { return busy_ == 0; });
}

void ReadAheadPool::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quitting_ || !waiting_.empty(); });
        if (quitting_) {
            return;
        }
        std::string dir = std::move(waiting_.front());
        waiting_.pop_front();
        ++busy_;
        lock.unlock();
        read_(dir, ending_);
        lock.lock();
        if (--busy_ == 0) {
            idle_.notify_all();
        }
    }
}

}  // namespace ferrit
