// The CLI's status outlet: status-list lines to one stream, the progress to another (as one live
// line on a terminal, as the old per-change lines, or not at all), and the abort request of
// Ctrl-C seen at every pump.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "engine/run_data.h"
#include "engine/status_sink.h"
#include "platform/interrupt.h"

namespace ferrit {

class ProgressScreen;

// How the progress reaches the error stream.
enum class ProgressMode {
    Off,    // not at all: only the summary tells how the run went
    Live,   // one line, drawn again in place at most every kLiveIntervalMs
    Lines,  // every progress-line text as a line of its own, and the three lines at the end
};

class TextSink : public StatusSink {
  public:
    // The live line is drawn again no sooner than this after its last drawing.
    static constexpr int64_t kLiveIntervalMs = 100;

    // list receives every status-list line; progress receives every progress-line text (the
    // Lines mode, until another is chosen). interrupted, when given, is polled at every pump;
    // while it is set, requestAbort is called.
    TextSink(std::ostream& list, std::ostream& progress,
             const InterruptFlag* interrupted = nullptr);

    // Called at a pump that sees the interrupt flag set (the engine's Abort button).
    void SetAbortHandler(std::function<void()> requestAbort) {
        requestAbort_ = std::move(requestAbort);
    }
    // No progress at all.
    void SetNoProgress() { mode_ = ProgressMode::Off; }
    // The live line on `screen`, made from the run's counts and the data already written by
    // copies not yet reported (`inFlight`); `nowMs` is a steady clock in milliseconds.
    void SetLiveLine(ProgressScreen& screen, const RunData& run, std::function<int64_t()> inFlight,
                     std::function<int64_t()> nowMs);
    // Status-list lines are not written.
    void SetQuiet() { quiet_ = true; }

    void StatusDisplay(uint8_t line, const std::string& text) override;
    bool ShowsProgressLines() const override { return mode_ != ProgressMode::Off; }
    void StatusInfo(const std::string& text) override;
    void ShowWalkDirectory(const std::string& path) override;
    void ShowAvailableSpace(const std::string& /*text*/) override {}
    void PumpMessages() override;
    void RunStarted() override;
    void ShowProgressPage() override {}
    // Nothing to do: the CLI has no list colour to change and no path fields to evaluate again;
    // the progress lines are written once the run has returned (WriteProgressLines).
    void RunFinished() override {}

    // In the Lines mode, writes the three progress lines to the progress stream; in the Live
    // mode, takes the line off the screen.
    void WriteProgressLines();
    // Whether a pump has seen the interrupt flag.
    bool AbortRequested() const { return abortRequested_; }

  private:
    // Draws the live line when it is due.
    void Tick();

    std::ostream& list_;
    std::ostream& progress_;
    const InterruptFlag* interrupted_;
    std::function<void()> requestAbort_;
    ProgressMode mode_ = ProgressMode::Lines;
    bool quiet_ = false;
    std::array<std::string, 3> lines_;
    bool abortRequested_ = false;
    // The live line.
    ProgressScreen* screen_ = nullptr;
    const RunData* run_ = nullptr;
    std::function<int64_t()> inFlight_;
    std::function<int64_t()> nowMs_;
    int64_t startMs_ = 0;
    int64_t drawnMs_ = 0;
    bool drawn_ = false;
    std::string directory_;  // the directory being walked, below its root
    std::string name_;       // the file being handled
};

}  // namespace ferrit
