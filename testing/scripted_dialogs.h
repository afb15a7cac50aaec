// A Dialogs double for tests: answers from a script, records every dialog it was asked to show,
// and counts the busy-cursor calls.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "support/dialogs.h"

namespace ferrit {
namespace testing {

// One dialog as it was asked for, with the answer the double gave.
struct AskedDialog {
    DialogKind kind;
    std::string text;
    DialogButtons buttons;
    DialogAnswer answer;
};

class ScriptedDialogs : public Dialogs {
  public:
    // Answers used in order, one per dialog, before any default applies.
    void Script(DialogAnswer answer) { script_.push_back(answer); }
    void Script(std::initializer_list<DialogAnswer> answers) {
        script_.insert(script_.end(), answers.begin(), answers.end());
    }
    std::size_t ScriptLeft() const { return script_.size(); }

    // Once the script is used up: the answer for dialogs offering exactly these buttons.
    void SetDefault(DialogButtons buttons, DialogAnswer answer) { defaults_[buttons] = answer; }
    // Once the script is used up: the answer for any button set without its own default.
    void SetDefaultForAll(DialogAnswer answer) {
        defaultForAll_ = answer;
        hasDefaultForAll_ = true;
    }

    // Ignore when offered, else the answer of the first button that closes the dialog (Help
    // does not); OK for an empty button set.
    static DialogAnswer StandardAnswer(DialogButtons buttons);

    DialogAnswer Show(DialogKind kind, const std::string& text, DialogButtons buttons) override;
    void HourglassOn() override { ++hourglassOn_; }
    void HourglassOff() override { ++hourglassOff_; }

    const std::vector<AskedDialog>& Asked() const { return asked_; }
    std::vector<std::string> Texts() const;
    int HourglassOnCount() const { return hourglassOn_; }
    int HourglassOffCount() const { return hourglassOff_; }
    // Answers that were not among the buttons offered: a script out of step with the code.
    int UnofferedAnswers() const { return unoffered_; }

    // From now on texts are recorded with '/' for '\' on Windows (testing/system.h).
    void SlashSeparators() { slashes_ = true; }

    void ClearRecord() {
        asked_.clear();
        hourglassOn_ = hourglassOff_ = unoffered_ = 0;
    }

  private:
    std::deque<DialogAnswer> script_;
    std::map<DialogButtons, DialogAnswer> defaults_;
    DialogAnswer defaultForAll_ = Answer::None;
    bool hasDefaultForAll_ = false;
    std::vector<AskedDialog> asked_;
    int hourglassOn_ = 0;
    int hourglassOff_ = 0;
    int unoffered_ = 0;
    bool slashes_ = false;
};

}  // namespace testing
}  // namespace ferrit
