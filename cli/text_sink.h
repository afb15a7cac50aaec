// The CLI's status outlet: status-list lines to one stream, progress lines to another, and the
// abort request of Ctrl-C seen at every pump.
#pragma once

#include <array>
#include <functional>
#include <ostream>
#include <string>

#include "engine/status_sink.h"
#include "platform/interrupt.h"

namespace ferrit {

class TextSink : public StatusSink {
  public:
    // list receives every status-list line; progress receives every progress-line text.
    // interrupted, when given, is polled at every pump; while it is set, requestAbort is called.
    TextSink(std::ostream& list, std::ostream& progress,
             const InterruptFlag* interrupted = nullptr);

    // Called at a pump that sees the interrupt flag set (the engine's Abort button).
    void SetAbortHandler(std::function<void()> requestAbort) {
        requestAbort_ = std::move(requestAbort);
    }

    void StatusDisplay(uint8_t line, const std::string& text) override;
    void StatusInfo(const std::string& text) override;
    void ShowWalkDirectory(const std::string& path) override;
    void PumpMessages() override;
    void RunStarted() override {}
    void ShowProgressPage() override {}
    // Nothing to do: the CLI has no list colour to change and no path fields to evaluate again;
    // the progress lines are written once the run has returned (WriteProgressLines).
    void RunFinished() override {}

    // The three progress lines as last set ("[        ]" before any was set).
    const std::array<std::string, 3>& ProgressLines() const { return lines_; }
    // Writes the three progress lines to the progress stream.
    void WriteProgressLines();
    // Whether a pump has seen the interrupt flag.
    bool AbortRequested() const { return abortRequested_; }

  private:
    std::ostream& list_;
    std::ostream& progress_;
    const InterruptFlag* interrupted_;
    std::function<void()> requestAbort_;
    std::array<std::string, 3> lines_;
    bool abortRequested_ = false;
};

}  // namespace ferrit
