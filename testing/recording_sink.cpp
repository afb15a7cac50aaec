#include "testing/recording_sink.h"

#include <stdexcept>

#include "testing/system.h"

namespace ferrit {
namespace testing {

std::string RecordingSink::Recorded(const std::string& text) const {
    return slashes_ ? WithSlashes(text) : text;
}

void RecordingSink::StatusDisplay(uint8_t line, const std::string& text) {
    if (line < 1 || line > 3) {
        throw std::out_of_range("progress line " + std::to_string(line));
    }
    events_.push_back({SinkCall::StatusDisplay, line, Recorded(text)});
    labels_[line - 1] = events_.back().text;
}

void RecordingSink::StatusInfo(const std::string& text) {
    events_.push_back({SinkCall::StatusInfo, 0, Recorded(text)});
    list_.push_back(events_.back().text);
    while (list_.size() > kListCapacity) {
        list_.pop_front();
    }
    Pump();
}

void RecordingSink::ShowWalkDirectory(const std::string& path) {
    events_.push_back({SinkCall::ShowWalkDirectory, 0, Recorded(path)});
    statusBar_ = events_.back().text;
    Pump();
}

void RecordingSink::PumpMessages() {
    events_.push_back({SinkCall::PumpMessages, 0, std::string()});
    Pump();
}

void RecordingSink::RunStarted() {
    events_.push_back({SinkCall::RunStarted, 0, std::string()});
    ++runStarted_;
    runColour_ = true;
    list_.clear();
}

void RecordingSink::ShowProgressPage() {
    events_.push_back({SinkCall::ShowProgressPage, 0, std::string()});
}

void RecordingSink::RunFinished() {
    events_.push_back({SinkCall::RunFinished, 0, std::string()});
    ++runFinished_;
    runColour_ = false;
    if (onRunFinished_) {
        onRunFinished_();
    }
}

std::vector<SinkEvent> RecordingSink::EventsOf(SinkCall call) const {
    std::vector<SinkEvent> out;
    for (const SinkEvent& e : events_) {
        if (e.call == call) {
            out.push_back(e);
        }
    }
    return out;
}

std::vector<std::string> RecordingSink::LineTexts(int line) const {
    std::vector<std::string> out;
    for (const SinkEvent& e : events_) {
        if (e.call == SinkCall::StatusDisplay && e.line == line) {
            out.push_back(e.text);
        }
    }
    return out;
}

std::vector<std::string> RecordingSink::WalkedDirectories() const {
    std::vector<std::string> out;
    for (const SinkEvent& e : events_) {
        if (e.call == SinkCall::ShowWalkDirectory) {
            out.push_back(e.text);
        }
    }
    return out;
}

void RecordingSink::Reset() {
    events_.clear();
    list_.clear();
    labels_.assign(3, kEmptyLabel);
    statusBar_.clear();
    availText_.clear();
    pumps_ = runStarted_ = runFinished_ = 0;
    runColour_ = false;
}

void RecordingSink::Pump() {
    ++pumps_;
    if (onPump_) {
        onPump_(pumps_);
    }
}

}  // namespace testing
}  // namespace ferrit
