// The texts that sum a run up, made from the run's counts alike for the window, ferrit-cli and
// the run log: the closing line, the reason kept for a failure, and the progress figures.
#pragma once

#include <cstdint>
#include <string>

#include <vector>

#include "engine/run_data.h"
#include "options/copy_options.h"

namespace ferrit {

// "Finished: N copied, M skipped, K failed (D directories) in T", or "Aborted after T: N copied,
// ..." for a run that was stopped. K counts the files whose copy failed, the files whose source
// a move had to keep (their copy made or not: never counted as copied or skipped as well), the
// directories that could not be read, made or removed, and the NetWare metadata that could not
// be carried. A run that never reached its passes gives "Not started: " and the error that
// stopped it.
std::string RunSummary(const RunData& run);

// The heading of a run's log: when, the two paths and the pattern as typed, and the options in
// force at the start.
std::vector<std::string> RunLogHeading(const std::string& when, const std::string& source,
                                       const std::string& target, const std::string& pattern,
                                       const OptionSet& options);

// A byte count for a sentence: "512 bytes", "1.91 MB".
std::string BytesText(int64_t bytes);

// A duration: "0.4 s" below ten seconds, then "42 s", "3 min 05 s", "2 h 07 min".
std::string FormatDuration(int64_t milliseconds);

// The status line that keeps a failure's reason below the line of what failed: the dialog's
// "Error %04X: %s" text, then the description of the code: the one given, else the system's
// where one is known.
std::string FailureLine(int32_t code, const std::string& text,
                        const std::string& description = std::string());

// How far a run has come, from 0 to 1, of what the walk has found so far; each file weighs as
// much as a few kilobytes of data, so a tree of many small files moves as steadily as one large
// file. `inFlight` is the data already written by copies not yet reported.
double ProgressFraction(const RunCounts& counts, int64_t inFlight);

// The speed and the time left once they mean something (after two seconds and some data):
// "2.05 MB/s, about 1.1 s left"; empty before. The time left is reckoned against what the walk
// has found so far.
std::string RateText(const RunCounts& counts, int64_t inFlight, int64_t elapsedMs);

// The figures under the progress bar: "98 of 129 files found so far, 2.05 MB/s, about 1.1 s
// left" while the run goes on (with RateText once it says something), "129 of 129 files" once
// it is over.
std::string ProgressFigures(const RunCounts& counts, int64_t inFlight, int64_t elapsedMs,
                            bool running);

}  // namespace ferrit
