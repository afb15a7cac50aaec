#include "cli/text_sink.h"

namespace ferrit {

TextSink::TextSink(std::ostream& list, std::ostream& progress, const InterruptFlag* interrupted)
    : list_(list), progress_(progress), interrupted_(interrupted) {
    lines_.fill("[        ]");
}

void TextSink::StatusDisplay(uint8_t line, const std::string& text) {
    // Only lines 1 to 3 exist; anything else is dropped rather than written out of range.
    if (line < 1 || line > 3) {
        return;
    }
    lines_[line - 1] = text;
    progress_ << text << '\n';
}

void TextSink::StatusInfo(const std::string& text) {
    // Every line is kept: a text stream needs no cap, unlike the window's list.
    list_ << text << '\n';
    PumpMessages();
}

void TextSink::ShowWalkDirectory(const std::string& /*path*/) {
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
}

void TextSink::WriteProgressLines() {
    for (const std::string& line : lines_) {
        progress_ << line << '\n';
    }
}

}  // namespace ferrit
