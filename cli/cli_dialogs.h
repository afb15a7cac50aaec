// The CLI's dialogs: every message goes to the error stream as the dialog would read, and the
// answers come from the flags (or, for the overwrite question, from the terminal).
#pragma once

#include <functional>
#include <istream>
#include <ostream>
#include <string>

#include "cli/cli_options.h"
#include "support/dialogs.h"

namespace ferrit {

class CliDialogs : public Dialogs {
  public:
    // overwrite must be Ask, Yes or No (Default is resolved by the caller). flush is called
    // before a prompt so that everything written so far is seen first; waiting, when given, is
    // told when the prompt starts (true) and stops (false) waiting for a reply.
    CliDialogs(std::ostream& err, std::istream& in, ErrorPolicy errors, OverwritePolicy overwrite,
               std::function<void()> flush, std::function<void(bool)> waiting = nullptr);

    // Writes the text; answers a Yes/No question by the overwrite policy, a dialog offering
    // Ignore by the error policy, Abort alone with Abort, and OK alone with OK.
    DialogAnswer Show(DialogKind kind, const std::string& text, DialogButtons buttons) override;
    // "Error %04X: %s", then the system's description of the code in parentheses where one is
    // known; answered as Show answers.
    DialogAnswer ShowError(DialogKind kind, int32_t code, const std::string& text,
                           DialogButtons buttons) override;
    void HourglassOn() override {}
    void HourglassOff() override {}

    // Number of dialogs of the error kind shown so far, whatever their answers.
    int ErrorCount() const { return errorCount_; }

  private:
    // How a reply was read: a whole line (the last one may lack its line end), a line too long
    // to be an answer, or nothing, the input being at its end or unusable from here on.
    enum class ReplyRead { Line, TooLong, Spent };

    DialogAnswer AskYesNo(const std::string& text);
    // Reads one reply line into `reply`, never more than a bounded number of bytes.
    ReplyRead ReadReply(std::string& reply);

    std::ostream& err_;
    std::istream& in_;
    ErrorPolicy errors_;
    OverwritePolicy overwrite_;
    std::function<void()> flush_;
    std::function<void(bool)> waiting_;
    int errorCount_ = 0;
};

}  // namespace ferrit
