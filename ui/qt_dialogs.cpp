#include "ui/qt_dialogs.h"

#include <algorithm>
#include <map>

#include <QApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>

#include "engine/run_summary.h"
#include "platform/error_codes.h"

namespace ferrit {

namespace {

QMessageBox::Icon IconOf(DialogKind kind) {
    switch (kind) {
        case DialogKind::Warning:
            return QMessageBox::Warning;
        case DialogKind::Error:
            return QMessageBox::Critical;
        case DialogKind::Information:
            return QMessageBox::Information;
        case DialogKind::Confirmation:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// "The file being copied: 1.91 MB, modified 2024-01-31 14:25:03", and the same of the file
// it would replace, with which of the two is newer.
std::string OverwriteDescription(const OverwriteFacts& f) {
    const auto line = [](const char* which, int64_t size, int64_t time, const char* newer) {
        std::string text = which;
        if (size >= 0) {
            text += " " + BytesText(size);
        }
        if (time >= 0) {
            text += (size >= 0 ? ", modified " : " modified ") +
                    QDateTime::fromSecsSinceEpoch(time)
                        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                        .toStdString();
        }
        return text + newer;
    };
    const bool known = f.newTime >= 0 && f.oldTime >= 0;
    return line("The file being copied:", f.newSize, f.newTime,
                known && f.newTime > f.oldTime ? " (newer)" : "") +
           "\n" +
           line("The file it replaces:", f.oldSize, f.oldTime,
                known && f.oldTime > f.newTime ? " (newer)" : "");
}

}  // namespace

NormalCursorWhileOpen::NormalCursorWhileOpen() : overridden_(QApplication::overrideCursor()) {
    if (overridden_) {
        QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    }
}

NormalCursorWhileOpen::~NormalCursorWhileOpen() {
    // The busy cursor may have been cleared meanwhile; only the cursor set here is taken back.
    if (overridden_ && QApplication::overrideCursor()) {
        QApplication::restoreOverrideCursor();
    }
}

void UseFontOf(QWidget* window, QWidget* dialog) {
    if (window) {
        dialog->setFont(window->window()->font());
    }
}

DialogAnswer QtDialogs::Show(DialogKind kind, const std::string& text, DialogButtons buttons) {
    return Ask(kind, text, std::string(), buttons);
}

DialogAnswer QtDialogs::ShowError(DialogKind kind, int32_t code, const std::string& text,
                                  DialogButtons buttons) {
    return Ask(kind, ErrorCodeText(code, text), ErrorDescription(code), buttons);
}

DialogAnswer QtDialogs::AskOverwrite(const std::string& text, const OverwriteFacts& facts,
                                     DialogButtons buttons) {
    return Ask(DialogKind::Confirmation, text, OverwriteDescription(facts), buttons);
}

void QtDialogs::AnswerOpenBoxes(DialogAnswer answer) {
    for (OpenBox* open : std::vector<OpenBox*>(open_)) {
        if (open->box && open->answer == Answer::None) {
            open->answer = answer;
            if (auto* dialog = qobject_cast<QDialog*>(open->box.data())) {
                dialog->done(0);
            }
        }
    }
}

DialogAnswer QtDialogs::ShowDescribedError(DialogKind kind, int32_t code, const std::string& text,
                                           const std::string& description, DialogButtons buttons) {
    return Ask(kind, ErrorCodeText(code, text), description, buttons);
}

DialogAnswer QtDialogs::Ask(DialogKind kind, const std::string& text,
                            const std::string& description, DialogButtons buttons) {
    QMessageBox box(IconOf(kind), QString::fromUtf8(DialogCaption(kind)),
                    QString::fromStdString(text), QMessageBox::NoButton, parent_);
    box.setTextFormat(Qt::PlainText);
    if (!description.empty()) {
        box.setInformativeText(QString::fromStdString(description));
    }
    std::map<QAbstractButton*, DialogAnswer> answers;
    std::map<DialogButtons, QPushButton*> byBit;
    QPushButton* first = nullptr;
    for (int b = 0; b < 16; ++b) {
        const DialogButtons bit = static_cast<DialogButtons>(1u << b);
        if (!(buttons & bit) || ButtonCaption(bit)[0] == '\0') {
            continue;
        }
        // ActionRole keeps the buttons in the order they are added on every platform style.
        QPushButton* button =
            box.addButton(QString::fromUtf8(ButtonCaption(bit)), QMessageBox::ActionRole);
        button->setObjectName(QStringLiteral("DialogButton%1").arg(bit));
        if (bit == Btn::Help) {
            // Help shows nothing here and must not close the box.
            QObject::disconnect(button, &QAbstractButton::clicked, nullptr, nullptr);
            button->setAutoDefault(false);
        } else {
            answers[button] = ButtonAnswer(bit);
            byBit[bit] = button;
            if (!first) {
                first = button;
            }
        }
    }
    if (!first) {
        first = box.addButton(QString::fromUtf8(ButtonCaption(Btn::OK)), QMessageBox::ActionRole);
        answers[first] = Answer::OK;
        byBit[Btn::OK] = first;
    }
    box.setDefaultButton(first);
    for (DialogButtons bit : {Btn::Cancel, Btn::No, Btn::OK, Btn::Abort}) {
        if (byBit.count(bit)) {
            box.setEscapeButton(byBit[bit]);
            break;
        }
    }
    UseFontOf(parent_, &box);
    const NormalCursorWhileOpen normalCursor;
    if (live_) {
        // Not modal: the window behind stays usable, and its Abort answers the box.
        OpenBox open{&box, Answer::None};
        open_.push_back(&open);
        QEventLoop wait;
        QObject::connect(&box, &QDialog::finished, &wait, &QEventLoop::quit);
        box.setWindowModality(Qt::NonModal);
        box.show();
        box.raise();
        box.activateWindow();
        if (box.isVisible()) {
            wait.exec();
        }
        open_.erase(std::find(open_.begin(), open_.end(), &open));
        if (open.answer != Answer::None) {
            return open.answer;
        }
    } else {
        box.exec();
    }
    const auto it = answers.find(box.clickedButton());
    if (it != answers.end()) {
        return it->second;
    }
    return box.escapeButton() ? answers[box.escapeButton()] : answers[first];
}

void QtDialogs::HourglassOn() {
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void QtDialogs::HourglassOff() {
    while (QApplication::overrideCursor()) {
        QApplication::restoreOverrideCursor();
    }
}

}  // namespace ferrit
