#include "cli/text_sink.h"

#include "cli/progress_screen.h"
#include "engine/run_summary.h"
#include "support/strings.h"

namespace ferrit {

namespace {

// The file's name in progress line 1, "File:     NAME (SIZE)".
std::string NameInFileLine(const std::string& text) {
    constexpr size_t kPrefix = 10;
    const size_t size = text.rfind(" (");
    if (text.compare(0, 5, "File:") != 0 || size == std::string::npos || size < kPrefix) {
        return std::string();
    }
    return text.substr(kPrefix, size - kPrefix);
}

}  // namespace

TextSink::TextSink(std::ostream& list, std::ostream& progress, const InterruptFlag* interrupted)
    : list_(list), progress_(progress), interrupted_(interrupted) {
    lines_.fill("[        ]");
}

void TextSink::SetLiveLine(ProgressScreen& screen, const RunData& run,
                           std::function<int64_t()> inFlight, std::function<int64_t()> nowMs) {
    mode_ = ProgressMode::Live;
    screen_ = &screen;
    run_ = &run;
    inFlight_ = std::move(inFlight);
    nowMs_ = std::move(nowMs);
}

void TextSink::StatusDisplay(uint8_t line, const std::string& text) {
    switch (mode_) {
        case ProgressMode::Off:
            return;
        case ProgressMode::Live:
            if (line == 1) {
                name_ = NameInFileLine(text);
            }
            Tick();
            return;
        case ProgressMode::Lines:
            break;
    }
    // Only lines 1 to 3 exist; anything else is dropped rather than written out of range.
    if (line < 1 || line > 3) {
        return;
    }
    lines_[line - 1] = text;
    progress_ << text << '\n';
}

void TextSink::StatusInfo(const std::string& text) {
    // Every line is kept: a text stream needs no cap, unlike the window's list.
    if (!quiet_) {
        list_ << text << '\n';
    }
    PumpMessages();
}

void TextSink::ShowWalkDirectory(const std::string& path) {
    if (mode_ == ProgressMode::Live) {
        // Shown below its root: the root is the same for every file and would crowd the name out.
        directory_ = path;
        for (const std::string* root : {&run_->SourceRoot, &run_->TargetRoot}) {
            const std::string top = WithTrailingSlash(*root);
            if (!root->empty() && path.compare(0, top.size(), top) == 0) {
                directory_ = path.substr(top.size());
                break;
            }
        }
        name_.clear();
    }
    PumpMessages();
}

void TextSink::PumpMessages() {
    // The abort is requested again at every pump while the flag is set, so an Ignore answer to a
    // later dialog cannot let an interrupted run go on.
    if (interrupted_ != nullptr && *interrupted_ != 0) {
        abortRequested_ = true;
        if (requestAbort_) {
            requestAbort_();
        }
    }
    if (mode_ == ProgressMode::Live) {
        Tick();
    }
}

void TextSink::RunStarted() {
    if (mode_ == ProgressMode::Live) {
        startMs_ = nowMs_();
    }
}

void TextSink::Tick() {
    const int64_t now = nowMs_();
    if (drawn_ && now - drawnMs_ < kLiveIntervalMs) {
        return;
    }
    drawn_ = true;
    drawnMs_ = now;
    const RunCounts& c = run_->Counts;
    const int64_t inFlight = inFlight_ ? inFlight_() : 0;
    std::string figures = std::to_string(c.FilesDone()) + " files, " +
                          BytesText(c.BytesCopied + inFlight) + " copied";
    const std::string rate = RateText(c, inFlight, now - startMs_);
    if (!rate.empty()) {
        figures += ", " + rate;
    }
    screen_->Draw(figures, directory_ + name_);
}

void TextSink::WriteProgressLines() {
    switch (mode_) {
        case ProgressMode::Off:
            return;
        case ProgressMode::Live:
            screen_->Close();
            return;
        case ProgressMode::Lines:
            break;
    }
    for (const std::string& line : lines_) {
        progress_ << line << '\n';
    }
}

}  // namespace ferrit
