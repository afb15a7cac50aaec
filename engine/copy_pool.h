// A small pool of worker threads for the copies of separate files. Only copies run there:
// everything the operator sees, and every decision, stays on the thread that runs the walk.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace ferrit {

class CopyPool {
  public:
    // Starts `workers` threads; none for 0 or 1, where every task runs at once on the caller's
    // thread.
    explicit CopyPool(int workers);
    // Waits for every task handed in, then ends the threads.
    ~CopyPool();
    CopyPool(const CopyPool&) = delete;
    CopyPool& operator=(const CopyPool&) = delete;

    // Runs the task on a worker; its result (or what it threw) arrives through the future.
    template <typename Task>
    auto Submit(Task task) -> std::future<decltype(task())> {
        using Result = decltype(task());
        auto packaged = std::make_shared<std::packaged_task<Result()>>(std::move(task));
        std::future<Result> result = packaged->get_future();
        Enqueue([packaged] { (*packaged)(); });
        return result;
    }

  private:
    void Enqueue(std::function<void()> job);
    void Work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

// The number of copies run side by side when nothing else is asked for.
constexpr int kDefaultJobs = 4;

}  // namespace ferrit
