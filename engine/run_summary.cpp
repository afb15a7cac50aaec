#include "engine/run_summary.h"

#include <algorithm>
#include <cstdio>

#include "platform/error_codes.h"
#include "support/dialogs.h"
#include "support/format_size.h"
#include "support/strings.h"

namespace ferrit {

namespace {

// What a file weighs in the progress besides its data: its listing, opening and naming.
constexpr int64_t kFileWeight = 4096;
// Before this much time and data the speed says nothing yet.
constexpr int64_t kRateAfterMs = 2000;
constexpr int64_t kRateAfterBytes = 64 * 1024;

std::string Counted(int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string RunSummary(const RunData& run) {
    if (!run.PassesRan) {
        return "Not started: " + run.RefusedBecause;
    }
    const RunCounts& c = run.Counts;
    const std::string counts = std::to_string(c.FilesCopied) + " copied, " +
                               std::to_string(c.FilesSkipped) + " skipped, " +
                               std::to_string(c.Failures() + run.NetWareFailures) + " failed (" +
                               Counted(c.Directories, "directory", "directories") + ")";
    const std::string time = FormatDuration(run.ElapsedMs);
    if (run.RunState == kRunStateAbort) {
        return "Aborted after " + time + ": " + counts;
    }
    return "Finished: " + counts + " in " + time;
}

std::vector<std::string> RunLogHeading(const std::string& when, const std::string& source,
                                       const std::string& target, const std::string& pattern,
                                       const OptionSet& options) {
    std::string inForce;
    for (uint8_t i = 0; i < kOptionCount; ++i) {
        if (options.cbAllowed(i)) {
            inForce += (inForce.empty() ? "" : ", ") + std::string(OptionCaptions[i]);
        }
    }
    return {"Ferrit run of " + when, "From:         " + source, "To:           " + target,
            "File Pattern: " + pattern, "Options:      " + (inForce.empty() ? "none" : inForce)};
}

std::string BytesText(int64_t bytes) {
    if (bytes >= 0 && bytes < 1024) {
        return Counted(bytes, "byte", "bytes");
    }
    return TrimLeftChars(FormatSize(bytes), " ");
}

std::string FormatDuration(int64_t ms) {
    ms = std::max<int64_t>(0, ms);
    char text[48];
    if (ms < 10000) {
        std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ms) / 1000.0);
    } else if (ms < 60000) {
        std::snprintf(text, sizeof text, "%lld s", static_cast<long long>(ms / 1000));
    } else if (ms < 3600000) {
        const long long s = ms / 1000;
        std::snprintf(text, sizeof text, "%lld min %02lld s", s / 60, s % 60);
    } else {
        const long long m = ms / 60000;
        std::snprintf(text, sizeof text, "%lld h %02lld min", m / 60, m % 60);
    }
    return text;
}

std::string FailureLine(int32_t code, const std::string& text, const std::string& given) {
    const std::string description = given.empty() ? ErrorDescription(code) : given;
    return "      " + ErrorCodeText(code, text) +
           (description.empty() ? std::string() : " \u2013 " + description);
}

double ProgressFraction(const RunCounts& c, int64_t inFlight) {
    const double found =
        static_cast<double>(c.BytesFound) + static_cast<double>(c.FilesFound) * kFileWeight;
    if (found <= 0) {
        return 0.0;
    }
    const double done = static_cast<double>(c.BytesDone) + static_cast<double>(inFlight) +
                        static_cast<double>(c.FilesDone()) * kFileWeight;
    return std::min(1.0, std::max(0.0, done / found));
}

std::string RateText(const RunCounts& c, int64_t inFlight, int64_t elapsedMs) {
    const int64_t copied = c.BytesCopied + inFlight;
    if (elapsedMs < kRateAfterMs || copied < kRateAfterBytes) {
        return std::string();
    }
    std::string text = BytesText(copied * 1000 / elapsedMs) + "/s";
    const double f = ProgressFraction(c, inFlight);
    if (f > 0.0 && f < 1.0) {
        const double left = static_cast<double>(elapsedMs) * (1.0 - f) / f;
        text += ", about " + FormatDuration(static_cast<int64_t>(left)) + " left";
    }
    return text;
}

std::string ProgressFigures(const RunCounts& c, int64_t inFlight, int64_t elapsedMs, bool running) {
    std::string text =
        std::to_string(c.FilesDone()) + " of " + Counted(c.FilesFound, "file", "files");
    if (!running) {
        return text;
    }
    text += " found so far";
    const std::string rate = RateText(c, inFlight, elapsedMs);
    return rate.empty() ? text : text + ", " + rate;
}

}  // namespace ferrit
