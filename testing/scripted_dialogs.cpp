#include "testing/scripted_dialogs.h"

#include "testing/system.h"

namespace ferrit {
namespace testing {

namespace {

bool Offers(DialogButtons buttons, DialogAnswer answer) {
    for (int bit = 0; bit < 16; ++bit) {
        const DialogButtons b = static_cast<DialogButtons>(1u << bit);
        if ((buttons & b) && b != Btn::Help && ButtonAnswer(b) == answer)
            return true;
    }
    return false;
}

}  // namespace

DialogAnswer ScriptedDialogs::StandardAnswer(DialogButtons buttons) {
    if (buttons & Btn::Ignore)
        return Answer::Ignore;
    for (int bit = 0; bit < 16; ++bit) {
        const DialogButtons b = static_cast<DialogButtons>(1u << bit);
        if ((buttons & b) && b != Btn::Help && ButtonAnswer(b) != Answer::None) {
            return ButtonAnswer(b);
        }
    }
    return Answer::OK;
}

DialogAnswer ScriptedDialogs::Show(DialogKind kind, const std::string& text,
                                   DialogButtons buttons) {
    DialogAnswer answer;
    if (!script_.empty()) {
        answer = script_.front();
        script_.pop_front();
    } else if (auto it = defaults_.find(buttons); it != defaults_.end()) {
        answer = it->second;
    } else if (hasDefaultForAll_) {
        answer = defaultForAll_;
    } else {
        answer = StandardAnswer(buttons);
    }
    if (!Offers(buttons, answer) && !(buttons == 0 && answer == Answer::OK))
        ++unoffered_;
    asked_.push_back({kind, slashes_ ? WithSlashes(text) : text, buttons, answer});
    return answer;
}

std::vector<std::string> ScriptedDialogs::Texts() const {
    std::vector<std::string> texts;
    texts.reserve(asked_.size());
    for (const AskedDialog& d : asked_) texts.push_back(d.text);
    return texts;
}

}  // namespace testing
}  // namespace ferrit
