// A small pool of worker threads for the copies of separate files, and the order in which they
// put their copies in place. A worker makes a copy and publishes it; everything the operator
// sees, and every decision, stays on the thread that runs the walk.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <unordered_set>
#include <vector>

namespace ferrit {

class CopyPool {
  public:
    // Has `workers` threads; none for 0 or 1, where every task runs at once on the caller's
    // thread; for 1 with `largeOffCallersThread`, one thread for the large copies alone, so
    // that the caller (a window's thread) never waits inside one. The threads start with the
    // first task handed to them: a run that copies nothing starts none.
    explicit CopyPool(int workers, bool largeOffCallersThread = false);
    // Waits for every task handed in, then ends the threads.
    ~CopyPool();
    CopyPool(const CopyPool&) = delete;
    CopyPool& operator=(const CopyPool&) = delete;

    // Runs the task on a worker (at once, here, where tasks run inline and it is not `large`);
    // `first`: before every task waiting. The task reports its own results and must not throw.
    void Post(std::function<void()> task, bool large = false, bool first = false);

    // Whether tasks run at once on the caller's thread, one copy at a time.
    bool Inline() const { return inline_; }

  private:
    void Work();
    // Starts the threads not yet running; throws, with none of the task handed in, where the
    // system cannot start one.
    void StartWorkers();

    size_t workers_ = 0;  // threads to start
    std::mutex startMutex_;
    std::atomic<bool> started_{false};  // no more threads are started
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

    // Made copies may wait for their turn without holding a worker: `runner` hands a task to a
    // worker (never the walk's thread). Set before any copy is handed to a worker.
    void SetRunner(std::function<void(std::function<void()>)> runner) {
        runner_ = std::move(runner);
    }
    bool Defers() const { return static_cast<bool>(runner_); }
    // `then` is handed to the runner once file `k`'s turn has come, or the run is stopped.
    void Defer(uint64_t k, std::function<void()> then);

    // The files of a run of copies handed to a worker: until each is delivered, the worker,
    // not the walk's thread, settles or delivers it.
    void Handed(const std::vector<uint64_t>& files);

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
    // a turn that only the walk's thread can let come (the first file not settled is with no
    // worker). `wanted`: the file whose delivery is worth a look.
    template <typename Enough>
    bool AwaitOutcomes(uint64_t wanted, Enough enough, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        walkWaits_ = true;
        wanted_ = wanted;
        const bool met = outcomes_.wait_for(lock, timeout, [&] { return enough(WalkAwaited()); });
        walkWaits_ = false;
        return met;
    }

  private:
    // Whether a worker, or a made copy, waits for a turn that only the walk's thread can let
    // come.
    bool WalkAwaited() const {
        return (waitingTurns_ > 0 || !deferred_.empty()) && withWorkers_.count(next_) == 0;
    }
    // Takes out of `deferred_` what may run now.
    void TakeDue(std::vector<std::function<void()>>& due);

    std::mutex mutex_;
    std::condition_variable turn_;
    std::unordered_set<uint64_t> withWorkers_;  // handed to a worker and not yet delivered
    // The files the workers wait in WaitTurn for: a settling wakes them only once one's turn
    // has come (a worker ahead would otherwise wake once for every file before its own).
    std::multiset<uint64_t> awaited_;
    uint64_t next_ = 0;       // every file before it is settled
    std::deque<bool> ahead_;  // settled files from next_ on
    bool stopped_ = false;
    std::condition_variable outcomes_;  // the walk's thread waits for outcomes
    bool walkWaits_ = false;
    uint64_t wanted_ = 0;
    int waitingTurns_ = 0;                                     // workers waiting in WaitTurn
    std::multimap<uint64_t, std::function<void()>> deferred_;  // by the file whose turn they await
    std::function<void(std::function<void()>)> runner_;
};

// How many consecutive copies of one directory one worker takes at a time, at most: each
// hand-over between threads costs more than a small file's copy, so a worker makes a run of
// them and the walk's thread finds most outcomes ready; and a run as long as a directory lets
// the next worker take the next directory, where it does not contend for the same directory's
// lock. Made copies ahead of their turn are held (each perhaps a descriptor) until their
// turn. A run is at most kCopiesInFlight divided among the workers, and the walk decides at
// most one run per worker and one more ahead of its reports: (workers + 1) runs in all, 384
// files with two workers, 272 with sixteen.
constexpr size_t kCopiesPerTask = 128;
constexpr size_t kCopiesInFlight = 256;

// The number of copies run side by side on a local disk when nothing else is asked for. The
// work per file is the file system's; workers each in a directory of their own share it well,
// and since made copies wait for their turn without their worker, two keep two processors
// busy: in alternating runs on ext4 and tmpfs two beat one and four while the machine was
// lightly loaded (load 1 to 3 on two processors); under heavier load (4 to 5) the counts
// came out about even, and one was ahead once.
constexpr int kDefaultJobs = 2;

// A copy at least this large never runs on the walk's thread.
constexpr int64_t kLargeCopyBytes = int64_t(1) << 20;

}  // namespace ferrit
