// The data one transfer run shares between its steps.
#pragma once

#include <cstdint>
#include <string>

namespace ferrit {

constexpr int16_t kRunStateRunning = 1;
constexpr int16_t kRunStateAbort = 3;  // also the dialog answer Abort

constexpr uint16_t ErrTargetMissing = 0x8701;
constexpr uint16_t ErrSourceMissing = 0x8702;
// A move that kept its source: the source or its counterpart was not what the move rested on.
constexpr uint16_t ErrMoveRefused = 0x8703;

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

    void Clear() { *this = RunData(); }
};

}  // namespace ferrit
