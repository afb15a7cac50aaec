#include "ui/select_directory_dialog.h"

#include <sys/stat.h>

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "platform/posix/posix_file_services.h"
#include "ui/window_fixture_test.h"

namespace ferrit {
namespace {

SelectDirectoryDialog* OpenDialog() {
    return qobject_cast<SelectDirectoryDialog*>(QApplication::activeModalWidget());
}

void PressOk(QDialog* dialog) {
    auto* box = dialog->findChild<QDialogButtonBox*>();
    QTest::mouseClick(box->button(QDialogButtonBox::Ok), Qt::LeftButton);
}

void SetName(QDialog* dialog, const std::string& name) {
    dialog->findChild<QLineEdit*>(QStringLiteral("DirectoryName"))
        ->setText(QString::fromStdString(name));
}

// Opened in the middle of a run: the window's font, and the normal cursor until it closes.
TEST_F(WindowTest, SelectDirectoryShowsTheWindowsFontAndTheNormalCursor) {
    Open();
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));  // as during a run
    int pixels = 0;
    Qt::CursorShape during = Qt::BlankCursor;
    QTimer::singleShot(0, [&] {
        SelectDirectoryDialog* dialog = OpenDialog();
        ASSERT_NE(nullptr, dialog);
        pixels = dialog->font().pixelSize();
        if (QApplication::overrideCursor()) {
            during = QApplication::overrideCursor()->shape();
        }
        dialog->reject();
    });
    QTest::mouseClick(Button("BitBtn1"), Qt::LeftButton);
    EXPECT_EQ(window_->font().pixelSize(), pixels);
    EXPECT_EQ(14, pixels);
    EXPECT_EQ(Qt::ArrowCursor, during);
    ASSERT_NE(nullptr, QApplication::overrideCursor());
    EXPECT_EQ(Qt::WaitCursor, QApplication::overrideCursor()->shape());
}

TEST_F(WindowTest, SelectDirectoryCreatesANewDirectoryAfterAsking) {
    const std::string target = tree_.Dir("target");
    const std::string fresh = tree_.Path("new/deeper");
    Open();
    Type("ComboTarget", target);
    Type("ComboSource", tree_.path());
    bool startedAtField = false;
    bool openAfterNo = false;
    dialogs_.Script({Answer::No, Answer::Yes});
    QTimer::singleShot(0, [&] {
        SelectDirectoryDialog* dialog = OpenDialog();
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(QStringLiteral("Select Directory"), dialog->windowTitle());
        startedAtField = dialog->findChild<QLineEdit*>(QStringLiteral("DirectoryName"))->text() ==
                         QString::fromStdString(tree_.path());
        SetName(dialog, fresh);
        PressOk(dialog);  // answered No: the dialog stays
        openAfterNo = dialog->isVisible();
        PressOk(dialog);  // answered Yes
    });
    QTest::mouseClick(Button("BitBtn1"), Qt::LeftButton);
    EXPECT_TRUE(startedAtField);
    EXPECT_TRUE(openAfterNo);
    ASSERT_EQ(2u, dialogs_.Asked().size());
    EXPECT_EQ("The specified directory does not exist. Create it?", dialogs_.Asked()[0].text);
    EXPECT_EQ(DialogKind::Confirmation, dialogs_.Asked()[0].kind);
    EXPECT_EQ(Btn::YesNo, dialogs_.Asked()[0].buttons);
    struct stat st;
    EXPECT_EQ(0, stat(fresh.c_str(), &st));
    EXPECT_EQ(QString::fromStdString(fresh), Combo("ComboSource")->currentText());
    EXPECT_TRUE(StartEnabled());  // reassessed with the new directory
}

TEST_F(WindowTest, SelectDirectoryExistingChoiceAndCancel) {
    const std::string a = tree_.Dir("a");
    tree_.Dir("a/child");
    tree_.File("a/file.txt", "x");
    Open();
    Type("ComboTarget", a + "/missing/below");  // opens at the nearest existing parent
    QStringList dirs, files;
    QTimer::singleShot(0, [&] {
        SelectDirectoryDialog* dialog = OpenDialog();
        ASSERT_NE(nullptr, dialog);
        auto* list = dialog->findChild<QListWidget*>(QStringLiteral("Directories"));
        for (int i = 0; i < list->count(); ++i) {
            dirs << list->item(i)->text();
        }
        auto* fileList = dialog->findChild<QListWidget*>(QStringLiteral("Files"));
        for (int i = 0; i < fileList->count(); ++i) {
            files << fileList->item(i)->text();
        }
        SetName(dialog, "child");  // relative to the directory shown
        PressOk(dialog);
    });
    QTest::mouseClick(Button("BitBtn2"), Qt::LeftButton);
    EXPECT_EQ((QStringList{"..", "child"}), dirs);
    EXPECT_EQ((QStringList{"file.txt"}), files);
    EXPECT_TRUE(dialogs_.Asked().empty());
    EXPECT_EQ(QString::fromStdString(a + "/child"), Combo("ComboTarget")->currentText());

    QTimer::singleShot(0, [&] {
        SelectDirectoryDialog* dialog = OpenDialog();
        ASSERT_NE(nullptr, dialog);
        SetName(dialog, a);
        dialog->reject();
    });
    QTest::mouseClick(Button("BitBtn2"), Qt::LeftButton);
    EXPECT_EQ(QString::fromStdString(a + "/child"), Combo("ComboTarget")->currentText());
}

TEST_F(WindowTest, SelectDirectoryEmptyNameConfirmedGivesAMessage) {
    Open();
    dialogs_.Script({Answer::Yes, Answer::OK});
    bool stillOpen = false;
    QTimer::singleShot(0, [&] {
        SelectDirectoryDialog* dialog = OpenDialog();
        ASSERT_NE(nullptr, dialog);
        SetName(dialog, "");
        PressOk(dialog);
        stillOpen = dialog->isVisible();
        dialog->reject();
    });
    QTest::mouseClick(Button("BitBtn1"), Qt::LeftButton);
    ASSERT_EQ(2u, dialogs_.Asked().size());
    EXPECT_EQ("Unable to create directory", dialogs_.Asked()[1].text);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(QString(), Combo("ComboSource")->currentText());
}

}  // namespace
}  // namespace ferrit
