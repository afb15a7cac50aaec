#include "ui/qt_dialogs.h"

#include <functional>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace ferrit {
namespace {

struct Seen {
    QString caption;
    QString text;
    QStringList buttons;  // in the order they are laid out
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Shows the dialog and, once it is up, records it and lets `act` close it.
DialogAnswer ShowAndAct(DialogKind kind, const std::string& text, DialogButtons buttons, Seen& seen,
                        const std::function<void(QMessageBox*)>& act) {
    QtDialogs dialogs;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            ADD_FAILURE() << "no message box";
            return;
        }
        seen.caption = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        QList<QAbstractButton*> list = box->buttons();
        std::sort(list.begin(), list.end(), [](QAbstractButton* a, QAbstractButton* b) {
            return a->mapToGlobal(QPoint(0, 0)).x() < b->mapToGlobal(QPoint(0, 0)).x();
        });
        for (QAbstractButton* b : list) {
            seen.buttons << b->text();
        }
        act(box);
    });
    return dialogs.Show(kind, text, buttons);
}

QAbstractButton* ButtonNamed(QMessageBox* box, const QString& text) {
    for (QAbstractButton* b : box->buttons()) {
        if (b->text() == text) {
            return b;
        }
    }
    return nullptr;
}

TEST(QtDialogsTest, CaptionsIconsButtonsAndAnswers) {
    struct Case {
        DialogKind kind;
        DialogButtons buttons;
        const char* press;
        QString caption;
        QStringList captions;
        DialogAnswer answer;
    };
    const Case cases[] = {
        {DialogKind::Warning, Btn::OK, "OK", "Warning", {"OK"}, Answer::OK},
        {DialogKind::Error,
         Btn::AbortIgnore,
         "&Ignore",
         "Error",
         {"&Abort", "&Ignore"},
         Answer::Ignore},
        {DialogKind::Error,
         Btn::AbortIgnore,
         "&Abort",
         "Error",
         {"&Abort", "&Ignore"},
         Answer::Abort},
        {DialogKind::Information, Btn::Abort, "&Abort", "Information", {"&Abort"}, Answer::Abort},
        {DialogKind::Confirmation, Btn::YesNo, "&No", "Confirm", {"&Yes", "&No"}, Answer::No},
        {DialogKind::Confirmation,
         0x07FF,
         "Yes to &All",
         "Confirm",
         {"&Yes", "&No", "OK", "Cancel", "&Abort", "&Retry", "&Ignore", "&All", "N&o to All",
          "Yes to &All", "&Help"},
         Answer::YesToAll},
        {DialogKind::Error,
         Btn::Retry | Btn::Cancel,
         "&Retry",
         "Error",
         {"Cancel", "&Retry"},
         Answer::Retry},
    };
    for (const Case& c : cases) {
        Seen seen;
        const DialogAnswer answer = ShowAndAct(
            c.kind, "Error 8702: /x does not exist", c.buttons, seen, [&](QMessageBox* box) {
                QTest::mouseClick(ButtonNamed(box, c.press), Qt::LeftButton);
            });
        EXPECT_EQ(c.caption, seen.caption);
        EXPECT_EQ(QStringLiteral("Error 8702: /x does not exist"), seen.text);
        EXPECT_EQ(c.captions, seen.buttons) << c.caption.toStdString();
        EXPECT_EQ(c.answer, answer) << c.press;
    }
}

TEST(QtDialogsTest, KindsHaveTheirSymbols) {
    const std::pair<DialogKind, QMessageBox::Icon> kinds[] = {
        {DialogKind::Warning, QMessageBox::Warning},
        {DialogKind::Error, QMessageBox::Critical},
        {DialogKind::Information, QMessageBox::Information},
        {DialogKind::Confirmation, QMessageBox::Question},
    };
    for (const auto& k : kinds) {
        Seen seen;
        ShowAndAct(k.first, "x", Btn::OK, seen, [](QMessageBox* box) { box->accept(); });
        EXPECT_EQ(k.second, seen.icon);
    }
}

TEST(QtDialogsTest, HelpDoesNotCloseAndEscapeGivesTheSafeAnswer) {
    Seen seen;
    bool stillOpen = false;
    const DialogAnswer answer =
        ShowAndAct(DialogKind::Error, "x", Btn::OK | Btn::Help, seen, [&](QMessageBox* box) {
            QTest::mouseClick(ButtonNamed(box, "&Help"), Qt::LeftButton);
            stillOpen = box->isVisible();
            QTest::mouseClick(ButtonNamed(box, "OK"), Qt::LeftButton);
        });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(Answer::OK, answer);

    const std::pair<DialogButtons, DialogAnswer> escapes[] = {
        {Btn::YesNo, Answer::No},
        {Btn::AbortIgnore, Answer::Abort},
        {Btn::OK | Btn::Cancel, Answer::Cancel},
        // Escape never lets a run go on: the answers for the rest of a run are no way out.
        {Btn::AbortIgnore | Btn::IgnoreAll, Answer::Abort},
        {Btn::YesNo | Btn::YesToAll | Btn::NoToAll, Answer::No},
        {Btn::Yes | Btn::No | Btn::Cancel, Answer::Cancel},
    };
    for (const auto& e : escapes) {
        const DialogAnswer a =
            ShowAndAct(DialogKind::Confirmation, "x", e.first, seen,
                       [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
        EXPECT_EQ(e.second, a) << e.first;
    }
}

TEST(QtDialogsTest, ErrorCodesGetTheSystemsDescriptionAsSecondaryText) {
    const std::pair<int32_t, QString> cases[] = {
        {112, QStringLiteral("No space left on device")},
        {5, QStringLiteral("Permission denied")},
        {0x8702, QString()},
        {31, QString()},
    };
    for (const auto& c : cases) {
        QtDialogs dialogs;
        QString text;
        QString informative;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                ADD_FAILURE() << "no message box";
                return;
            }
            text = box->text();
            informative = box->informativeText();
            box->escapeButton()->click();
        });
        EXPECT_EQ(Answer::Abort, ShowErrorCode(dialogs, DialogKind::Error, c.first,
                                               "Could not copy /t/x", Btn::AbortIgnore));
        EXPECT_EQ(QString::fromStdString(ErrorCodeText(c.first, "Could not copy /t/x")), text);
        EXPECT_EQ(c.second, informative) << c.first;
    }
}

// Over a dialog the operator sees the normal cursor, and the busy one again once it is answered.
TEST(QtDialogsTest, NormalCursorWhileADialogWaitsForAnAnswer) {
    for (const bool busy : {true, false}) {
        QtDialogs dialogs;
        if (busy) {
            dialogs.HourglassOn();
        }
        bool shown = false;
        bool overridden = false;
        Qt::CursorShape shapeDuring = Qt::BlankCursor;
        QTimer::singleShot(0, [&] {
            shown = true;
            overridden = QApplication::overrideCursor() != nullptr;
            if (overridden) {
                shapeDuring = QApplication::overrideCursor()->shape();
            }
            QApplication::activeModalWidget()->close();
        });
        dialogs.Show(DialogKind::Confirmation, "Overwrite /t/x?", Btn::YesNo);
        ASSERT_TRUE(shown);
        if (busy) {
            ASSERT_TRUE(overridden);
            EXPECT_EQ(Qt::ArrowCursor, shapeDuring);
            ASSERT_NE(nullptr, QApplication::overrideCursor());
            EXPECT_EQ(Qt::WaitCursor, QApplication::overrideCursor()->shape());
            dialogs.HourglassOff();
        } else {
            EXPECT_FALSE(overridden);
        }
        EXPECT_EQ(nullptr, QApplication::overrideCursor());
    }
}

TEST(QtDialogsTest, BoxesUseTheWindowsFont) {
    QWidget window;
    QFont font = window.font();
    font.setPixelSize(23);
    window.setFont(font);
    QtDialogs dialogs(&window);
    int pixels = 0;
    QTimer::singleShot(0, [&] {
        pixels = QApplication::activeModalWidget()->font().pixelSize();
        QApplication::activeModalWidget()->close();
    });
    dialogs.Show(DialogKind::Error, "x", Btn::OK);
    EXPECT_EQ(23, pixels);
}

TEST(QtDialogsTest, BusyCursorOnAndBackToTheDefault) {
    QtDialogs dialogs;
    QApplication::setOverrideCursor(Qt::CrossCursor);  // whatever showed before
    dialogs.HourglassOn();
    ASSERT_NE(nullptr, QApplication::overrideCursor());
    EXPECT_EQ(Qt::WaitCursor, QApplication::overrideCursor()->shape());
    dialogs.HourglassOff();
    EXPECT_EQ(nullptr, QApplication::overrideCursor());
}

}  // namespace
}  // namespace ferrit
