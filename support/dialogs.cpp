#include "support/dialogs.h"

#include <cstdio>

namespace ferrit {

namespace {

struct ButtonInfo {
    DialogButtons bit;
    const char* caption;
    DialogAnswer answer;
};

// In bit order, which is also the order the buttons appear in.
constexpr ButtonInfo kButtons[] = {
    {Btn::Yes, "&Yes", Answer::Yes},
    {Btn::No, "&No", Answer::No},
    {Btn::OK, "OK", Answer::OK},
    {Btn::Cancel, "Cancel", Answer::Cancel},
    {Btn::Abort, "&Abort", Answer::Abort},
    {Btn::Retry, "&Retry", Answer::Retry},
    {Btn::Ignore, "&Ignore", Answer::Ignore},
    {Btn::All, "&All", Answer::All},
    {Btn::NoToAll, "N&o to All", Answer::NoToAll},
    {Btn::YesToAll, "Yes to &All", Answer::YesToAll},
    {Btn::Help, "&Help", Answer::None},
    {Btn::IgnoreAll, "Ignore A&ll", Answer::IgnoreAll},
};

const ButtonInfo* FindButton(DialogButtons bit) {
    for (const ButtonInfo& info : kButtons) {
        if (info.bit == bit)
            return &info;
    }
    return nullptr;
}

}  // namespace

const char* DialogCaption(DialogKind kind) {
    switch (kind) {
        case DialogKind::Warning:
            return "Warning";
        case DialogKind::Error:
            return "Error";
        case DialogKind::Information:
            return "Information";
        case DialogKind::Confirmation:
            return "Confirm";
    }
    return "";
}

// Anything but a single known bit has no caption and closes nothing.
const char* ButtonCaption(DialogButtons bit) {
    const ButtonInfo* info = FindButton(bit);
    return info ? info->caption : "";
}

DialogAnswer ButtonAnswer(DialogButtons bit) {
    const ButtonInfo* info = FindButton(bit);
    return info ? info->answer : Answer::None;
}

std::string ErrorCodeText(int32_t code, const std::string& text) {
    char number[16];
    std::snprintf(number, sizeof number, "%04X",
                  static_cast<unsigned>(static_cast<uint32_t>(code)));
    return std::string("Error ") + number + ": " + text;
}

DialogAnswer ShowErrorCode(Dialogs& dialogs, DialogKind kind, int32_t code, const std::string& text,
                           DialogButtons buttons) {
    // Callers pass completion codes untested; success must stay silent.
    if (code == 0)
        return Answer::NotShown;
    return dialogs.ShowError(kind, code, text, buttons);
}

DialogAnswer Dialogs::ShowError(DialogKind kind, int32_t code, const std::string& text,
                                DialogButtons buttons) {
    return Show(kind, ErrorCodeText(code, text), buttons);
}

DialogAnswer Dialogs::AskOverwrite(const std::string& text, const OverwriteFacts& /*facts*/,
                                   DialogButtons buttons) {
    return Show(DialogKind::Confirmation, text, buttons);
}

DialogAnswer Dialogs::ShowDescribedError(DialogKind kind, int32_t code, const std::string& text,
                                         const std::string& description, DialogButtons buttons) {
    if (description.empty())
        return ShowError(kind, code, text, buttons);
    return Show(kind, ErrorCodeText(code, text) + " (" + description + ")", buttons);
}

void ShowMessageBox(Dialogs& dialogs, DialogKind kind, const std::string& text) {
    dialogs.Show(kind, text, Btn::OK);
}

}  // namespace ferrit
