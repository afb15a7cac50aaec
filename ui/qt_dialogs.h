// The window's dialogs: Qt message boxes with the program's captions, buttons and answers, and
// the busy cursor as an application-wide override cursor.
#pragma once

#include <vector>

#include <QPointer>
#include <QWidget>

#include "support/dialogs.h"

namespace ferrit {

// While a dialog is open the operator sees the normal cursor, also in the middle of a run; the
// busy cursor comes back when the dialog closes.
class NormalCursorWhileOpen {
  public:
    NormalCursorWhileOpen();
    ~NormalCursorWhileOpen();
    NormalCursorWhileOpen(const NormalCursorWhileOpen&) = delete;
    NormalCursorWhileOpen& operator=(const NormalCursorWhileOpen&) = delete;

  private:
    bool overridden_;
};

// A dialog of the window shows the window's font, not the smaller default of the application.
void UseFontOf(QWidget* window, QWidget* dialog);

class QtDialogs : public Dialogs {
  public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}

    // A modal box captioned by its kind, with the offered buttons in bit order ("&Yes", "&No",
    // "OK", "Cancel", "&Abort", ...). The first button is the default; Escape and the close box
    // give Cancel, else No, else OK, else Abort when offered. "&Help" does not close the box.
    DialogAnswer Show(DialogKind kind, const std::string& text, DialogButtons buttons) override;
    // The "Error %04X: %s" box, with the system's description of the code as its secondary
    // text where one is known.
    DialogAnswer ShowError(DialogKind kind, int32_t code, const std::string& text,
                           DialogButtons buttons) override;
    // The question with both files' sizes and modification times as its secondary text.
    DialogAnswer AskOverwrite(const std::string& text, const OverwriteFacts& facts,
                              DialogButtons buttons) override;

    // While set, a box leaves the window behind it usable (its Abort button above all): the
    // box waits for its answer without blocking the window, or for AnswerOpenBoxes.
    void SetWindowStaysLive(bool live) { live_ = live; }
    // Closes every box that waits with the window live, each giving this answer.
    void AnswerOpenBoxes(DialogAnswer answer);
    DialogAnswer ShowDescribedError(DialogKind kind, int32_t code, const std::string& text,
                                    const std::string& description, DialogButtons buttons) override;
    void HourglassOn() override;
    // Back to the default cursor, whatever was showing before.
    void HourglassOff() override;

  private:
    DialogAnswer Ask(DialogKind kind, const std::string& text, const std::string& description,
                     DialogButtons buttons);

    QPointer<QWidget> parent_;
    bool live_ = false;
    // The boxes waiting with the window live, innermost last, and the answers given to them.
    struct OpenBox {
        QPointer<QWidget> box;
        DialogAnswer answer = Answer::None;
    };
    std::vector<OpenBox*> open_;
};

}  // namespace ferrit
