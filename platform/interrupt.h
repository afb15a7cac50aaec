// The operator's Ctrl-C at a console.
#pragma once

#include <atomic>

namespace ferrit {

// A flag the operator's Ctrl-C raises, read where the run pumps. It is written in a signal
// handler (Linux) or on the console's control thread (Windows), beside the run's own threads:
// an atomic that needs no lock serves both.
using InterruptFlag = std::atomic<int>;
static_assert(InterruptFlag::is_always_lock_free,
              "a signal handler may write only a lock-free flag");

// From now on each Ctrl-C calls `onInterrupt`. It runs in a signal handler (Linux) or on the
// console's control thread (Windows), so it may only set lock-free flags or end the process.
void CatchInterrupts(void (*onInterrupt)());

// Whether a Ctrl-C ends a wait for input at once (the read then fails), as while a question
// waits for its answer; otherwise an interrupted read or write goes on as if nothing happened.
void SetInterruptEndsWaits(bool ends);

}  // namespace ferrit
