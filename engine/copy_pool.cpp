#include "engine/copy_pool.h"

#include <utility>

namespace ferrit {

CopyPool::CopyPool(int workers, bool largeOffCallersThread)
    : workers_(workers > 1 || (workers == 1 && largeOffCallersThread) ? static_cast<size_t>(workers)
                                                                      : 0),
      inline_(workers <= 1) {}

void CopyPool::StartWorkers() {
    if (started_.load(std::memory_order_acquire)) {
        return;
    }
    std::lock_guard<std::mutex> lock(startMutex_);
    if (started_.load(std::memory_order_relaxed)) {
        return;
    }
    threads_.reserve(workers_);
    while (threads_.size() < workers_) {
        threads_.emplace_back([this] { Work(); });
    }
    started_.store(true, std::memory_order_release);
}

CopyPool::~CopyPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    // A worker handing on a task meanwhile starts no thread any more.
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> lock(startMutex_);
        started_.store(true, std::memory_order_release);
        threads.swap(threads_);
    }
    for (std::thread& t : threads) {
        t.join();
    }
}

void CopyPool::Post(std::function<void()> task, bool large, bool first) {
    if (workers_ == 0 || (inline_ && !large)) {
        task();
        return;
    }
    StartWorkers();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (first) {
            tasks_.push_front(std::move(task));
        } else {
            tasks_.push_back(std::move(task));
        }
    }
    wake_.notify_one();
}

void CopyPool::Work() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (tasks_.empty()) {
                return;  // stopping, and every task handed in has run
            }
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

bool PublishOrder::WaitTurn(uint64_t k) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (stopped_ || next_ >= k) {
        return !stopped_;
    }
    // What this worker waits for may be the walk's thread's to settle: it looks again.
    ++waitingTurns_;
    if (walkWaits_ && WalkAwaited()) {
        outcomes_.notify_one();
    }
    const auto awaited = awaited_.insert(k);
    turn_.wait(lock, [&] { return stopped_ || next_ >= k; });
    awaited_.erase(awaited);
    --waitingTurns_;
    return !stopped_;
}

bool PublishOrder::IsTurn(uint64_t k) {
    std::lock_guard<std::mutex> lock(mutex_);
    return stopped_ || next_ >= k;
}

void PublishOrder::Settle(uint64_t k) {
    std::vector<std::function<void()>> due;
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (k < next_) {
            return;
        }
        const size_t at = static_cast<size_t>(k - next_);
        if (ahead_.size() <= at) {
            ahead_.resize(at + 1, false);
        }
        ahead_[at] = true;
        while (!ahead_.empty() && ahead_.front()) {
            ahead_.pop_front();
            ++next_;
        }
        TakeDue(due);
        if (walkWaits_ && WalkAwaited()) {
            outcomes_.notify_one();
        }
        wake = !awaited_.empty() && *awaited_.begin() <= next_;  // a worker's turn has come
    }
    if (wake) {
        turn_.notify_all();
    }
    for (std::function<void()>& then : due) {
        runner_(std::move(then));
    }
}

void PublishOrder::Defer(uint64_t k, std::function<void()> then) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!stopped_ && next_ < k) {
            deferred_.emplace(k, std::move(then));
            if (walkWaits_ && WalkAwaited()) {
                outcomes_.notify_one();
            }
            return;
        }
    }
    runner_(std::move(then));
}

void PublishOrder::TakeDue(std::vector<std::function<void()>>& due) {
    while (!deferred_.empty() && (stopped_ || deferred_.begin()->first <= next_)) {
        due.push_back(std::move(deferred_.begin()->second));
        deferred_.erase(deferred_.begin());
    }
}

void PublishOrder::Handed(const std::vector<uint64_t>& files) {
    std::lock_guard<std::mutex> lock(mutex_);
    withWorkers_.insert(files.begin(), files.end());
}

void PublishOrder::Delivered(uint64_t k, bool urgent) {
    std::lock_guard<std::mutex> lock(mutex_);
    withWorkers_.erase(k);
    if (walkWaits_ && (urgent || stopped_ || k >= wanted_ || WalkAwaited())) {
        outcomes_.notify_one();
    }
}

void PublishOrder::RunEnded() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (walkWaits_) {
        outcomes_.notify_one();
    }
}

void PublishOrder::Stop() {
    std::vector<std::function<void()>> due;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
        TakeDue(due);  // every made copy waiting is dropped
    }
    turn_.notify_all();
    for (std::function<void()>& then : due) {
        runner_(std::move(then));
    }
}

}  // namespace ferrit
