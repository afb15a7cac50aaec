// The dialog model: kinds, button sets and answers shared by every modal dialog of the program,
// and the Dialogs seam through which the engine and the NetWare services ask the operator.
#pragma once

#include <cstdint>
#include <string>

namespace ferrit {

enum class DialogKind : uint8_t { Warning = 0, Error = 1, Information = 2, Confirmation = 3 };

// Caption of a dialog of the given kind: "Warning", "Error", "Information", "Confirm".
const char* DialogCaption(DialogKind kind);

// One bit per button; buttons appear in bit order.
using DialogButtons = uint16_t;
namespace Btn {
constexpr DialogButtons Yes = 0x0001;
constexpr DialogButtons No = 0x0002;
constexpr DialogButtons OK = 0x0004;
constexpr DialogButtons Cancel = 0x0008;
constexpr DialogButtons Abort = 0x0010;
constexpr DialogButtons Retry = 0x0020;
constexpr DialogButtons Ignore = 0x0040;
constexpr DialogButtons All = 0x0080;
constexpr DialogButtons NoToAll = 0x0100;
constexpr DialogButtons YesToAll = 0x0200;
constexpr DialogButtons Help = 0x0400;
// The window's answer for the rest of a run: every later error that offers Ignore is ignored.
constexpr DialogButtons IgnoreAll = 0x0800;
constexpr DialogButtons AbortIgnore = Abort | Ignore;  // 0x0050
constexpr DialogButtons YesNo = Yes | No;              // 0x0003
}  // namespace Btn

using DialogAnswer = uint16_t;
namespace Answer {
constexpr DialogAnswer None = 0;  // the Help button; it does not close a dialog
constexpr DialogAnswer OK = 1;
constexpr DialogAnswer Cancel = 2;
constexpr DialogAnswer Abort = 3;
constexpr DialogAnswer Retry = 4;
constexpr DialogAnswer Ignore = 5;
constexpr DialogAnswer Yes = 6;
constexpr DialogAnswer No = 7;
constexpr DialogAnswer All = 8;
constexpr DialogAnswer NoToAll = 9;
constexpr DialogAnswer YesToAll = 10;
constexpr DialogAnswer IgnoreAll = 11;
constexpr DialogAnswer NotShown = 0xFFFF;
}  // namespace Answer

// Caption of the button with the given single bit ("&Yes", "&Abort", ...), and the answer it gives.
const char* ButtonCaption(DialogButtons bit);
DialogAnswer ButtonAnswer(DialogButtons bit);

// What the overwrite question shows of the two files besides its text: sizes in bytes and
// modification times in seconds since the epoch; -1 where not known.
struct OverwriteFacts {
    int64_t newSize = -1;  // the file that would be copied
    int64_t newTime = -1;
    int64_t oldSize = -1;  // the file it would replace
    int64_t oldTime = -1;
};

// The seam to whatever shows dialogs: Qt message boxes in the window, flag answers in the CLI,
// a script of answers in tests.
class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // Shows a modal dialog with the given text and buttons and returns the answer of the button
    // that closed it (one of the answers of the buttons offered).
    virtual DialogAnswer Show(DialogKind kind, const std::string& text, DialogButtons buttons) = 0;
    // Shows the "Error %04X: %s" dialog for a non-zero code. A front end that can describe the
    // code in the system's words adds the description; by default only the message is shown.
    virtual DialogAnswer ShowError(DialogKind kind, int32_t code, const std::string& text,
                                   DialogButtons buttons);
    // The overwrite question ("Overwrite X?"), of the confirmation kind. A front end that can
    // shows the two files' facts; by default only the text is shown.
    virtual DialogAnswer AskOverwrite(const std::string& text, const OverwriteFacts& facts,
                                      DialogButtons buttons);
    // The same dialog for a code whose description only the caller knows (a NetWare server's
    // code, in the server's words). By default the description follows the message in
    // parentheses, as the front ends show the system's descriptions.
    virtual DialogAnswer ShowDescribedError(DialogKind kind, int32_t code, const std::string& text,
                                            const std::string& description, DialogButtons buttons);
    // The busy cursor over every window of the program, and back to the default cursor.
    virtual void HourglassOn() = 0;
    virtual void HourglassOff() = 0;
};

// "Error %04X: %s": the 32-bit value of the code in upper-case hexadecimal, at least four digits.
std::string ErrorCodeText(int32_t code, const std::string& text);

// Shows "Error %04X: %s" with the given buttons and returns the answer; a code of 0 shows nothing
// and returns Answer::NotShown.
DialogAnswer ShowErrorCode(Dialogs& dialogs, DialogKind kind, int32_t code, const std::string& text,
                           DialogButtons buttons);

// Shows the text with the OK button alone.
void ShowMessageBox(Dialogs& dialogs, DialogKind kind, const std::string& text);

}  // namespace ferrit
