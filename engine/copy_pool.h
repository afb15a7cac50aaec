// A small pool of worker threads for the copies of separate files, and the order in which they
// put their copies in place. A worker makes a copy and publishes it; everything the operator
// sees, and every decision, stays on the thread that runs the walk.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace ferrit {

class CopyPool {
  public:
    // Starts `workers` threads; none for 0 or 1, where every task runs at once on the caller's
    // thread; for 1 with `largeOffCallersThread`, one thread for the large copies alone, so
    // that the caller (a window's thread) never waits inside one.
    explicit CopyPool(int workers, bool largeOffCallersThread = false);
    // Waits for every task handed in, then ends the threads.
    ~CopyPool();
    CopyPool(const CopyPool&) = delete;
    CopyPool& operator=(const CopyPool&) = delete;

    // Runs the task on a worker (at once, here, where tasks run inline and it is not `large`).
    // The task reports its own results and must not throw.
    void Post(std::function<void()> task, bool large = false);

    // Whether tasks run at once on the caller's thread, one copy at a time.
    bool Inline() const { return inline_; }

  private:
    void Work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    bool inline_ = true;
    std::vector<std::thread> threads_;
};

// The walk order of publication. Every file of a batch gets a number in walk order; its outcome
// is settled once it can no longer stop the run (a copy published where nothing that follows
// can ask the operator, a skip, or the report of anything else). A worker may put file k in
// place only once every file before k is settled, and not at all once the run is stopped: so a
// failure whose answer stops the run leaves behind exactly what one copy at a time would.
class PublishOrder {
  public:
    // Waits until every file before `k` is settled; false when the run was stopped meanwhile
    // (the copy is then not to be published).
    bool WaitTurn(uint64_t k);
    // Whether file `k` may be put in place now, or the run is stopped: WaitTurn would not wait.
    bool IsTurn(uint64_t k);
    // The outcome of file `k` is settled; settling twice is harmless.
    void Settle(uint64_t k);
    // No file not yet published may be published any more.
    void Stop();

    // The reports' side. A worker has made file `k`'s outcome ready to be taken. The walk's
    // thread, waiting for a run of files, is woken once the run is through `wanted` (see
    // AwaitOutcomes), or at once when `urgent`: the outcome needs the walk's thread before any
    // later file can be put in place (a failure, a file it settles itself). So the walk's
    // thread wakes about once per run of copies, not once per file.
    void Delivered(uint64_t k, bool urgent);
    // A worker ends a run: the walk's thread looks again at what it waits for.
    void RunEnded();
    // The walk's thread waits until `enough(workerWaits)` holds, looked at whenever a worker
    // wakes it, or until `timeout` has passed (false then). `workerWaits`: a worker waits for
    // a turn, perhaps for a file that only the walk's thread can settle. `wanted`: the file
    // whose delivery is worth a look.
    template <typename Enough>
    bool AwaitOutcomes(uint64_t wanted, Enough enough, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        walkWaits_ = true;
        wanted_ = wanted;
        const bool met =
            outcomes_.wait_for(lock, timeout, [&] { return enough(waitingTurns_ > 0); });
        walkWaits_ = false;
        return met;
    }

  private:
    std::mutex mutex_;
    std::condition_variable turn_;
    uint64_t next_ = 0;       // every file before it is settled
    std::deque<bool> ahead_;  // settled files from next_ on
    bool stopped_ = false;
    std::condition_variable outcomes_;  // the walk's thread waits for outcomes
    bool walkWaits_ = false;
    uint64_t wanted_ = 0;
    int waitingTurns_ = 0;  // workers waiting in WaitTurn
};

// How many consecutive copies one worker takes at a time: each hand-over between threads costs
// more than a small file's copy, so a worker makes a run of them and the walk's thread finds
// most outcomes ready.
constexpr size_t kCopiesPerTask = 16;

// The number of copies run side by side on a local disk when nothing else is asked for: one,
// on the walk's thread. On a local disk the work per file is the file system's, and threads
// that share it only add hand-overs and contention for the directory (measured by
// `make bench`: two or four workers cost more processor time and wall time than one).
constexpr int kDefaultJobs = 1;

// A copy at least this large never runs on the walk's thread.
constexpr int64_t kLargeCopyBytes = int64_t(1) << 20;

}  // namespace ferrit
