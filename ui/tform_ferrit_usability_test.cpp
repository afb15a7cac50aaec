// What a user meets first in the window: long names, greyed controls, read-me clicks, closing
// during a run, the smallest size, and path edits in the middle of a run.
#include <QGroupBox>
#include <QHelpEvent>
#include <QLayout>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolTip>

#include "ui/elided_text.h"
#include "ui/window_fixture_test.h"

namespace ferrit {
namespace {

// Lets every posted event through, including the layout requests that a handled one posts
// in turn, up to the window.
void Settle() {
    for (int i = 0; i < 10; ++i) {
        QCoreApplication::processEvents();
    }
}

// The tooltip a widget offers when the pointer rests on it.
QString ToolTipOf(QWidget* widget) {
    const QPoint at(2, 2);
    QHelpEvent help(QEvent::ToolTip, at, widget->mapToGlobal(at));
    QCoreApplication::sendEvent(widget, &help);
    return widget->toolTip();
}

// A tooltip's text as one line, once each of its lines was found to fit on the window's screen.
QString WholeToolTip(const QString& tip, const QWidget& window) {
    const QFontMetrics metrics(QToolTip::font());
    for (const QString& part : tip.split(QLatin1Char('\n'))) {
        EXPECT_LE(metrics.horizontalAdvance(part), window.screen()->availableGeometry().width());
    }
    return QString(tip).remove(QLatin1Char('\n'));
}

// The tooltip the option list shows when the pointer rests on an item.
QString ShownItemToolTip(QListWidget* list, int row) {
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(list->viewport(), &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

// A plain copy from src to tgt below the test's tree, ready to start.
class ReadyWindowTest : public WindowTest {
  protected:
    TFormFerrit& OpenReady() {
        WriteIni("[Default Options]\nMove Files=0\nCopy Bi-directional=0\n");
        TFormFerrit& w = Open();
        Type("ComboSource", tree_.Path("src"));
        Type("ComboTarget", tree_.Path("tgt"));
        return w;
    }
};

TEST_F(ReadyWindowTest, LongNamesNeverWidenTheWindow) {
    const std::string dir(240, 'd');
    const std::string file = std::string(236, 'f') + ".txt";
    tree_.File("src/" + dir + "/" + file, "x");
    tree_.Dir("tgt");
    TFormFerrit& w = OpenReady();
    const QSize size = w.size();
    const QSize minimum = w.minimumSize();
    const int minimumWidth = w.minimumSizeHint().width();
    PressStart();
    Settle();

    EXPECT_EQ(size, w.size());
    EXPECT_EQ(minimum, w.minimumSize());
    EXPECT_EQ(minimumWidth, w.minimumSizeHint().width());
    // Abort stays inside the window.
    QWidget* abort = Button("BitBtnAbort");
    EXPECT_LE(abort->mapTo(&w, QPoint(abort->width(), 0)).x(), w.width());

    // The file line shows both ends of the text, and the whole text in its tooltip.
    auto* line = Get<ElidedLabel>("Label12");
    const QString whole = QString::fromStdString("File:     " + file + " (   1)");
    EXPECT_EQ(whole, line->text());
    EXPECT_TRUE(line->ShownText().startsWith(QStringLiteral("File:     fff")));
    EXPECT_TRUE(line->ShownText().endsWith(QStringLiteral("f.txt (   1)")));
    EXPECT_TRUE(line->ShownText().contains(QChar(0x2026)));
    EXPECT_EQ(whole, WholeToolTip(ToolTipOf(line), w));

    // The status bar likewise.
    auto* bar = w.findChild<ElidedStatusBar*>(QStringLiteral("StatusBar1"));
    ASSERT_NE(nullptr, bar);
    const QString path = QString::fromStdString(tree_.Path("src/" + dir) + "/");
    bar->showMessage(path);
    EXPECT_TRUE(bar->ShownMessage().endsWith(QStringLiteral("dd/")));
    EXPECT_LT(bar->ShownMessage().size(), path.size());
    EXPECT_EQ(path, WholeToolTip(ToolTipOf(bar), w));

    // The list's heading of that directory is as wide as the list, shortened in the middle,
    // whole in its tooltip; nothing scrolls sideways, and the last line shows whole.
    QListWidget* list = Status();
    const QString heading = QString::fromStdString(tree_.Path("src/" + dir));
    ASSERT_EQ(heading, list->item(0)->text());
    EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
    EXPECT_EQ(list->viewport()->width(), list->visualItemRect(list->item(0)).width());
    EXPECT_EQ(heading, WholeToolTip(ShownItemToolTip(list, 0), w));
    const QRect last = list->visualItemRect(list->item(list->count() - 1));
    EXPECT_TRUE(list->viewport()->rect().contains(last));

    // A text that fits is shown whole and needs no tooltip.
    auto* total = Get<ElidedLabel>("Label14");
    EXPECT_EQ(total->text(), total->ShownText());
    EXPECT_EQ(QString(), ToolTipOf(total));
}

TEST_F(WindowTest, GreyedControlsSayWhy) {
    tree_.File("src/a.txt", "a");
    tree_.Dir("tgt");
    // A settings file of an earlier start: the keys it lacks read as ticked.
    WriteIni("[Default Options]\n");
    Open();
    // No paths, "Move Files" ticked, no NetWare.
    EXPECT_EQ(QStringLiteral("Greyed because no source directory is given; no target directory is "
                             "given"),
              Button("BitBtnStart")->toolTip());
    // A greyed item still shows its tooltip.
    EXPECT_EQ(QStringLiteral("Greyed because \"Move Files\" is ticked"),
              ShownItemToolTip(Options(), ClearArchiveBit));
    EXPECT_EQ(QStringLiteral("Greyed because both paths must be on NetWare volumes"),
              Options()->item(KeepOwner)->toolTip());
    EXPECT_EQ(QString(), Options()->item(CopySubdirectories)->toolTip());

    Type("ComboSource", tree_.Path("src"));
    Type("ComboTarget", tree_.Path("tg"));
    EXPECT_EQ(QStringLiteral("Greyed because the target directory does not exist"),
              Button("BitBtnStart")->toolTip());
    Type("ComboTarget", "t");
    ASSERT_TRUE(StartEnabled());
    EXPECT_EQ(QString(), Button("BitBtnStart")->toolTip());

    // Unticking "Move Files" enables "Clear Archive Bit", and its reason goes.
    Options()->setFocus();
    Options()->setCurrentRow(MoveFiles);
    QTest::keyClick(Options(), Qt::Key_Space);
    ASSERT_TRUE(Enabled(ClearArchiveBit));
    EXPECT_EQ(QString(), Options()->item(ClearArchiveBit)->toolTip());

    QString duringRun;
    DuringRun probe(*window_, [&] { duringRun = Button("BitBtnStart")->toolTip(); });
    PressStart();
    ASSERT_TRUE(probe.Fired());
    EXPECT_EQ(QStringLiteral("Greyed because a run is under way"), duringRun);
    EXPECT_EQ(QString(), Button("BitBtnStart")->toolTip());
}

TEST_F(WindowTest, ReadmeTextKeepsItsOwnRightClick) {
    Open();
    ShowTab(0);
    // The text leaves these presses unhandled; they must not reach the page.
    auto* memo = Get<QPlainTextEdit>("Memo1");
    QTest::mouseClick(memo->viewport(), Qt::RightButton, {}, QPoint(10, 10));
    QTest::mouseClick(memo->viewport(), Qt::MiddleButton, {}, QPoint(10, 10));
    EXPECT_TRUE(launched_.empty());
    // The free area of the page still opens the address, with any button.
    QWidget* page = Get<QWidget>("TabSheetInfo");
    QTest::mouseClick(page, Qt::RightButton, {}, QPoint(page->width() - 5, 5));
    EXPECT_EQ(1u, launched_.size());
}

TEST_F(ReadyWindowTest, ExitDuringARunSaysTheWindowClosesAfterIt) {
    tree_.File("src/a.txt", "a");
    tree_.File("src/b.txt", "b");
    tree_.Dir("tgt");
    OpenReady();
    dialogs_.Script(Answer::No);  // let the run finish, then close
    auto* bar = window_->findChild<QStatusBar*>(QStringLiteral("StatusBar1"));
    QLabel* note = nullptr;
    bool shownBefore = true;
    bool shownAfter = false;
    DuringRun exitPress(*window_, [&] {
        note = bar->findChild<QLabel*>(QStringLiteral("LabelClosing"));
        shownBefore = note && note->isVisible();
        ShowTab(1);
        QTest::mouseClick(Button("BitBtnExit"), Qt::LeftButton);
        shownAfter = note && note->isVisible();
    });
    PressStart();
    ASSERT_TRUE(exitPress.Fired());
    ASSERT_NE(nullptr, note);
    EXPECT_FALSE(shownBefore);
    EXPECT_TRUE(shownAfter);
    EXPECT_EQ(QStringLiteral("The window closes when the run has finished"), note->text());
    EXPECT_EQ(3, Status()->count());
    EXPECT_FALSE(window_->isVisible());
}

// The run's NetWare steps read the location state: an edit of a path field during a run changes
// the field only, and the state follows once the run has finished.
TEST_F(ReadyWindowTest, PathEditsDuringARunWaitForItsEnd) {
    // The edit comes at the run's first line; the second look comes at the next pump that
    // handles the window's events, made due by a pause as long as the pump interval.
    for (int i = 0; i < 6; ++i) {
        tree_.File((i < 3 ? "src/f" : "src/sub/f") + std::to_string(i) + ".txt", "x");
    }
    tree_.Dir("tgt");
    tree_.Dir("other");
    OpenReady();
    const auto targetState = [this] { return window_->Location().PathInfo[kTarget].OemPath; };

    std::string afterEdit;
    DuringRun edit(
        *window_,
        [&] {
            ShowTab(1);
            Retype("ComboTarget", tree_.Path("other"));
            Retype("ComboSource", tree_.Path("other"));
            afterEdit = targetState();
            QTest::qSleep(WindowStatusSink::kPumpIntervalMs + 5);
        },
        [&] { return window_->Sink().LinesWritten() == 1; });
    std::string laterInTheRun;
    int linesAtTheLaterLook = 0;
    DuringRun later(
        *window_,
        [&] {
            laterInTheRun = targetState();
            linesAtTheLaterLook = window_->Sink().LinesWritten();
        },
        [&] { return window_->Sink().LinesWritten() > 1; });
    PressStart();
    ASSERT_TRUE(edit.Fired());
    ASSERT_TRUE(later.Fired());
    EXPECT_EQ(tree_.Path("tgt"), afterEdit);
    EXPECT_EQ(tree_.Path("tgt"), laterInTheRun);
    EXPECT_LT(linesAtTheLaterLook, 8);  // before the run's last file
    // The run went on between its own roots.
    EXPECT_EQ(4u, testing::ListDir(tree_.Path("tgt")).size());
    EXPECT_EQ(3u, testing::ListDir(tree_.Path("tgt/sub")).size());
    EXPECT_TRUE(testing::ListDir(tree_.Path("other")).empty());

    // Evaluated at the end: the state, the hints and Start follow the edited fields.
    EXPECT_EQ(tree_.Path("other"), targetState());
    EXPECT_EQ(tree_.Path("other"), window_->Location().PathInfo[kSource].OemPath);
    EXPECT_EQ(QString::fromStdString(tree_.Path("other")), Combo("ComboTarget")->toolTip());
    EXPECT_TRUE(StartEnabled());
}

// Where a widget's layout places children over each other or outside it, as a window smaller
// than its layout allows does.
void ExpectNothingOverlaps(QWidget* widget, const std::string& where) {
    if (!widget->isVisible()) {
        return;
    }
    std::vector<QWidget*> children;
    for (QWidget* child : widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisible() && !child->isWindow()) {
            children.push_back(child);
        }
    }
    if (widget->layout()) {
        for (size_t i = 0; i < children.size(); ++i) {
            const QRect a = children[i]->geometry();
            const std::string name = where + "/" + children[i]->objectName().toStdString();
            EXPECT_TRUE(widget->rect().contains(a)) << name << " lies outside its parent";
            for (size_t j = i + 1; j < children.size(); ++j) {
                EXPECT_FALSE(a.intersects(children[j]->geometry()))
                    << name << " covers " << children[j]->objectName().toStdString();
            }
        }
    }
    for (QWidget* child : children) {
        ExpectNothingOverlaps(child, where + "/" + child->objectName().toStdString());
    }
}

TEST_F(WindowTest, AtItsSmallestNothingOverlaps) {
    TFormFerrit& w = Open();
    ASSERT_GE(w.minimumWidth(), 400);
    ASSERT_GE(w.minimumHeight(), 330);
    w.resize(1, 1);  // as small as the window may get
    Settle();
    ASSERT_EQ(w.minimumSize(), w.size());
    // Also with the longest texts the labels get.
    Get<QLabel>("LabelAvail")->setText(QStringLiteral("Available Space: 1023.99 GB"));
    for (int tab : {1, 2}) {
        ShowTab(tab);
        Settle();
        ExpectNothingOverlaps(&w, "tab " + std::to_string(tab));
    }
    // The pattern field's arrow stays clear of the available-space panel.
    EXPECT_LT(Combo("ComboPattern")->geometry().right(), Get<QWidget>("Panel1")->geometry().left());
}

}  // namespace
}  // namespace ferrit
