// The engine's only outlet to whatever shows a run: the window's Progress tab, the CLI's text
// output, or a test recorder.
#pragma once

#include <cstdint>
#include <string>

namespace ferrit {

class StatusSink {
  public:
    virtual ~StatusSink() = default;
    // Sets progress line 1, 2 or 3 (file, status, total) and shows it at once, without pumping.
    virtual void StatusDisplay(uint8_t line, const std::string& text) = 0;
    // Whether the progress lines are shown at all: where they are not, the engine does not
    // make them.
    virtual bool ShowsProgressLines() const { return true; }
    // Appends a line to the status list, keeps the list's end in view, then pumps (a front end
    // may leave out the pumps that come sooner after the last one than it needs them).
    virtual void StatusInfo(const std::string& text) = 0;
    // Shows the directory being walked in the status bar, then pumps.
    virtual void ShowWalkDirectory(const std::string& path) = 0;
    // The available space of the directory pair being walked, shown at the next pump.
    virtual void ShowAvailableSpace(const std::string& text) = 0;
    // Handles every pending event (the place where Abort is seen); returns at once when there
    // is nothing to pump. During a run a front end may leave out the pumps that come sooner
    // after the last one than it needs them, here and in ShowWalkDirectory.
    virtual void PumpMessages() = 0;
    // The status list gets the run colour and is emptied.
    virtual void RunStarted() = 0;
    // The Progress tab becomes the active page.
    virtual void ShowProgressPage() = 0;
    // The status list gets the after-run colour; the front end looks at its paths again (the run
    // may have made a directory or used space).
    virtual void RunFinished() = 0;
};

}  // namespace ferrit
