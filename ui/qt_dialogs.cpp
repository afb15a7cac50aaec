#include "ui/qt_dialogs.h"

#include <map>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

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
    box.exec();
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
