// The terminal on which a run's live progress line is drawn, and the two streams through which
// everything else is written there without ever running into that line.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

namespace ferrit {

// The live line's text as it fits into `columns` columns: the figures, two blanks and the name.
// A name too long for the rest is shortened in the middle ("dir/lo...ame.txt"); where even the
// figures do not fit, they are cut. Control characters become '?', so no name can move the
// cursor or send the terminal a command. A character beyond ASCII is counted as two columns, so
// the line never wraps, whatever the terminal makes of it.
std::string FitProgressLine(const std::string& figures, const std::string& name, int columns);

class ProgressScreen {
  public:
    // out: the stream of the status lines; outOnTerminal: whether it shows on the same
    // terminal, where its lines are held back and written just before the live line is drawn
    // again, so that the line stays below them. err: the stream of the terminal the line is drawn
    // on. columns: the terminal's width now, 0 when it is not known (80 is taken).
    ProgressScreen(std::ostream& out, bool outOnTerminal, std::ostream& err,
                   std::function<int()> columns);
    ~ProgressScreen();
    ProgressScreen(const ProgressScreen&) = delete;
    ProgressScreen& operator=(const ProgressScreen&) = delete;

    // Where the status lines are to be written.
    std::ostream& Out() { return outOnTerminal_ ? heldOut_ : out_; }
    // Where every other text for the terminal is written (messages, questions, warnings, the
    // summary): the live line is taken off the screen first, and the held status lines are
    // written before it, so the text stands in its order, alone on its lines.
    std::ostream& Err() { return guardedErr_; }

    // Writes the held status lines, then shows the figures and the name as the live line in
    // place of the one shown before.
    void Draw(const std::string& figures, const std::string& name);
    // Takes the live line off the screen and writes the held status lines.
    void Close();
    // The cursor stands at the start of a line, though the last text written did not end one
    // (the terminal echoed the operator's Enter).
    void CursorAtLineStart() { atLineStart_ = true; }

  private:
    class TextBuf;

    // Keeps status lines for the next drawing (writes them at once past a bound).
    void Hold(const char* data, std::streamsize n);
    void WriteHeld();
    // Writes other text, the held lines first and the live line taken away.
    void WriteText(const char* data, std::streamsize n);
    void Erase();
    // Notes whether the text written last left the cursor at a line's start.
    void Wrote(const char* data, std::streamsize n);

    std::ostream& out_;
    bool outOnTerminal_;
    std::ostream& err_;
    std::function<int()> columns_;
    std::string held_;
    bool shown_ = false;
    int shownColumns_ = 0;
    bool atLineStart_ = true;
    std::unique_ptr<TextBuf> heldBuf_;
    std::unique_ptr<TextBuf> guardBuf_;
    std::ostream heldOut_;
    std::ostream guardedErr_;
};

}  // namespace ferrit
