// The operator's Ctrl-C at a console.
#pragma once

namespace ferrit {

// From now on each Ctrl-C calls `onInterrupt`. It runs in a signal handler (Linux) or on the
// console's control thread (Windows), so it may only set lock-free flags or end the process.
void CatchInterrupts(void (*onInterrupt)());

// Whether a Ctrl-C ends a wait for input at once (the read then fails), as while a question
// waits for its answer; otherwise an interrupted read or write goes on as if nothing happened.
void SetInterruptEndsWaits(bool ends);

}  // namespace ferrit
