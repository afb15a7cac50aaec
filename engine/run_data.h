// The data one transfer run shares between its steps.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace ferrit {

constexpr int16_t kRunStateRunning = 1;
constexpr int16_t kRunStateAbort = 3;  // also the dialog answer Abort

constexpr uint16_t ErrTargetMissing = 0x8701;
constexpr uint16_t ErrSourceMissing = 0x8702;
// A move that kept its source: the source or its counterpart was not what the move rested on.
constexpr uint16_t ErrMoveRefused = 0x8703;

// What a run has done so far, over both passes, counted where the outcome of each file and
// directory is decided. Every front end reads its progress and its summary from here, so the
// window and ferrit-cli always tell the same.
struct RunCounts {
    int64_t FilesFound = 0;  // files the walk listed for the per-file step
    int64_t BytesFound = 0;
    // Each reported file lands in one of the four counts below.
    int64_t FilesCopied = 0;        // copied (and, in a move, let go)
    int64_t FilesSkipped = 0;       // not copied (and, in a move, let go or kept as it may be)
    int64_t FilesFailed = 0;        // a copy was tried and failed
    int64_t MovesFailed = 0;        // a move had to keep the source, copied or not
    int64_t BytesCopied = 0;        // sizes of the files copied, a kept source's copy included
    int64_t BytesDone = 0;          // sizes of the files whose outcome is reported
    int64_t Directories = 0;        // directories walked, the roots included
    int64_t DirectoryFailures = 0;  // directories that could not be read, made or removed

    int64_t FilesDone() const { return FilesCopied + FilesSkipped + FilesFailed + MovesFailed; }
    int64_t Failures() const { return FilesFailed + DirectoryFailures + MovesFailed; }
};

struct RunData {
    int16_t RunState = 0;        // 1 at Start, 3 = stop; receives every error dialog's answer
    uint16_t LastErrorCode = 0;  // last copy or directory removal result
    bool SecondPass = false;
    std::string RunPattern;  // the pattern with a to z in capitals
    int64_t TotalBytes = 0;  // sizes of the files handed to the per-file step, both passes
    bool Recurse = false;    // "Copy Subdirectories", read once at Start
    std::string SourceRoot, TargetRoot;
    std::string SourceText, TargetText;
    int NetWareFailures = 0;  // NetWare metadata steps that failed, each shown as a status line

    RunCounts Counts;
    // Whether the passes were reached (both roots were there), when, and how long they took.
    bool PassesRan = false;
    std::string RefusedBecause;  // where the passes were not reached: the error shown
    std::chrono::steady_clock::time_point PassesStarted{};
    int64_t ElapsedMs = 0;

    void Clear() { *this = RunData(); }
};

}  // namespace ferrit
