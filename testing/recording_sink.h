// A StatusSink double: records every call in order, models the status list, the three progress
// lines and the status bar, and can run a callback at every pump (to press Abort, change an
// option or check the trees in the middle of a run).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "engine/status_sink.h"

namespace ferrit {
namespace testing {

enum class SinkCall {
    StatusDisplay,
    StatusInfo,
    ShowWalkDirectory,
    PumpMessages,  // an explicit pump only; the pumps inside StatusInfo and ShowWalkDirectory
                   // are counted by PumpCount but not recorded as calls of their own
    RunStarted,
    ShowProgressPage,
    RunFinished,
};

struct SinkEvent {
    SinkCall call;
    int line = 0;  // the progress line of StatusDisplay, else 0
    std::string text;
};

class RecordingSink : public StatusSink {
  public:
    static constexpr std::size_t kListCapacity = 1000;
    static constexpr const char* kEmptyLabel = "[        ]";

    // Throws std::out_of_range for a line outside 1 to 3 (a programming error of the caller).
    void StatusDisplay(uint8_t line, const std::string& text) override;
    void StatusInfo(const std::string& text) override;
    bool ShowsProgressLines() const override { return !linesHidden_; }
    void ShowWalkDirectory(const std::string& path) override;
    void ShowAvailableSpace(const std::string& text) override { availText_ = text; }
    void PumpMessages() override;
    void RunStarted() override;
    void ShowProgressPage() override;
    void RunFinished() override;

    // Runs at every pump with the pump's number (1 for the first since the last Reset).
    void OnPump(std::function<void(int)> callback) { onPump_ = std::move(callback); }
    // Runs inside RunFinished, where the window would evaluate the locations again.
    void OnRunFinished(std::function<void()> callback) { onRunFinished_ = std::move(callback); }

    const std::vector<SinkEvent>& Events() const { return events_; }
    // Every call of one kind, in order.
    std::vector<SinkEvent> EventsOf(SinkCall call) const;
    // The status list as shown: emptied by RunStarted, at most the last 1000 lines.
    std::vector<std::string> List() const { return {list_.begin(), list_.end()}; }
    // Every text written to progress line n (1 to 3), in order.
    std::vector<std::string> LineTexts(int line) const;
    // The progress line's text as last set ("[        ]" before any).
    const std::string& Label(int line) const { return labels_.at(line - 1); }
    const std::string& StatusBar() const { return statusBar_; }
    // The available-space text last shown.
    const std::string& AvailText() const { return availText_; }
    // Every path shown in the status bar, in order.
    std::vector<std::string> WalkedDirectories() const;
    int PumpCount() const { return pumps_; }
    int RunStartedCount() const { return runStarted_; }
    int RunFinishedCount() const { return runFinished_; }
    // True between RunStarted and RunFinished (the list's run colour).
    bool RunColour() const { return runColour_; }

    // Forgets the record (the labels, list and status bar as well); the callbacks stay.
    void Reset();

    // From now on the sink says whether it shows the progress lines (it records what comes).
    void HideProgressLines(bool hidden) { linesHidden_ = hidden; }

    // From now on texts are recorded with '/' for '\' on Windows (testing/system.h).
    void SlashSeparators() { slashes_ = true; }

  private:
    void Pump();
    std::string Recorded(const std::string& text) const;

    std::vector<SinkEvent> events_;
    std::deque<std::string> list_;
    std::vector<std::string> labels_{kEmptyLabel, kEmptyLabel, kEmptyLabel};
    std::string statusBar_;
    std::string availText_;
    int pumps_ = 0;
    int runStarted_ = 0;
    int runFinished_ = 0;
    bool runColour_ = false;
    bool slashes_ = false;
    bool linesHidden_ = false;
    std::function<void(int)> onPump_;
    std::function<void()> onRunFinished_;
};

}  // namespace testing
}  // namespace ferrit
