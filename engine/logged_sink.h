// A status outlet that hands everything on to the front end's own outlet and also keeps every
// status-list line in the run's log, while one is open.
#pragma once

#include <string>

#include "engine/status_sink.h"
#include "platform/run_log.h"

namespace ferrit {

class LoggedSink : public StatusSink {
  public:
    explicit LoggedSink(StatusSink& inner) : inner_(inner) {}

    // The log the lines go to from now on; nullptr: none.
    void SetLog(RunLogFile* log) { log_ = log; }

    void StatusDisplay(uint8_t line, const std::string& text) override {
        inner_.StatusDisplay(line, text);
    }
    bool ShowsProgressLines() const override { return inner_.ShowsProgressLines(); }
    void StatusInfo(const std::string& text) override {
        if (log_ != nullptr) {
            log_->Line(text);
        }
        inner_.StatusInfo(text);
    }
    void ShowWalkDirectory(const std::string& path) override { inner_.ShowWalkDirectory(path); }
    void ShowAvailableSpace(const std::string& text) override { inner_.ShowAvailableSpace(text); }
    void PumpMessages() override { inner_.PumpMessages(); }
    void RunStarted() override { inner_.RunStarted(); }
    void ShowProgressPage() override { inner_.ShowProgressPage(); }
    void RunFinished() override { inner_.RunFinished(); }

  private:
    StatusSink& inner_;
    RunLogFile* log_ = nullptr;
};

}  // namespace ferrit
