#include "engine/copy_pool.h"

#include <utility>

namespace ferrit {

CopyPool::CopyPool(int workers) {
    if (workers > 1) {
        threads_.reserve(static_cast<size_t>(workers));
        for (int i = 0; i < workers; ++i) {
            threads_.emplace_back([this] { Work(); });
        }
    }
}

CopyPool::~CopyPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) {
        t.join();
    }
}

void CopyPool::Enqueue(std::function<void()> job) {
    if (threads_.empty()) {
        job();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(job));
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
    turn_.wait(lock, [&] { return stopped_ || next_ >= k; });
    return !stopped_;
}

bool PublishOrder::IsTurn(uint64_t k) {
    std::lock_guard<std::mutex> lock(mutex_);
    return stopped_ || next_ >= k;
}

void PublishOrder::Settle(uint64_t k) {
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
    }
    turn_.notify_all();
}

void PublishOrder::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
    }
    turn_.notify_all();
}

}  // namespace ferrit
