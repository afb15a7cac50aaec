#include "ui/window_status_sink.h"

#include <functional>
#include <set>
#include <string>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace ferrit {
namespace {

// A small stand-in for the Progress tab: three labels, a progress bar, the list and a status
// bar.
struct ProgressPage {
    QWidget window;
    QTabWidget* pages = new QTabWidget(&window);
    QWidget* settings = new QWidget;
    QWidget* progress = new QWidget;
    QLabel* lines[3] = {new QLabel(progress), new QLabel(progress), new QLabel(progress)};
    QProgressBar* progressBar = new QProgressBar(progress);
    QListWidget* list = new QListWidget(progress);
    QStatusBar* bar = new QStatusBar(&window);
    WindowStatusSink sink;
    int finished = 0;

    ProgressPage() {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(pages);
        layout->addWidget(bar);
        auto* inner = new QVBoxLayout(progress);
        for (QLabel* l : lines) {
            inner->addWidget(l);
        }
        inner->addWidget(progressBar);
        inner->addWidget(list);
        pages->addTab(settings, QStringLiteral("&Settings"));
        pages->addTab(progress, QStringLiteral("&Progress"));
        sink.SetLabels(lines[0], lines[1], lines[2], progress);
        sink.SetList(list);
        sink.SetStatusBar(bar);
        sink.SetPages(pages, progress);
        sink.SetRunFinishedHandler([this] { ++finished; });
        window.resize(400, 340);
        window.show();
        pages->setCurrentWidget(progress);
        QCoreApplication::processEvents();
    }
    int TopRow() { return list->indexAt(QPoint(2, 2)).row(); }
    int Visible() { return list->viewport()->height() / list->sizeHintForRow(0); }
    // A list whose outer height is one pixel more than the given rows: inside its frame the
    // last of them fits only in part.
    void HeightForRowsPlusOne(int rows) {
        list->setFixedHeight(rows * list->sizeHintForRow(0) + 1);
        QCoreApplication::processEvents();
    }
    // The last line is shown whole: its row lies inside the list's visible area.
    bool LastLineWhole() {
        const QRect row = list->visualItemRect(list->item(list->count() - 1));
        return list->viewport()->rect().contains(row);
    }
};

TEST(WindowStatusSinkTest, ListKeepsTheLast1000Lines) {
    ProgressPage page;
    for (int i = 1; i <= 1005; ++i) {
        page.sink.StatusInfo("line " + std::to_string(i));
    }
    ASSERT_EQ(1000, page.list->count());
    EXPECT_EQ(QStringLiteral("line 6"), page.list->item(0)->text());
    EXPECT_EQ(QStringLiteral("line 1005"), page.list->item(999)->text());
    // Once full, every new line scrolls: the last one is at the bottom.
    EXPECT_EQ(1000 - page.Visible(), page.TopRow());
}

TEST(WindowStatusSinkTest, ScrollsEveryTenthLineUnlessTheListHasTheFocus) {
    ProgressPage page;
    page.sink.StatusInfo("line 1");
    const int visible = page.Visible();
    ASSERT_GT(visible, 2);
    ASSERT_LT(visible, 30);
    for (int i = 2; i <= 39; ++i) {
        page.sink.StatusInfo("line " + std::to_string(i));
    }
    EXPECT_EQ(30 - visible, page.TopRow());  // scrolled at line 30, not since
    page.sink.StatusInfo("line 40");
    EXPECT_EQ(40 - visible, page.TopRow());

    page.list->setFocus();
    QCoreApplication::processEvents();
    ASSERT_TRUE(page.list->hasFocus());
    page.list->scrollToTop();
    for (int i = 41; i <= 60; ++i) {
        page.sink.StatusInfo("line " + std::to_string(i));
    }
    EXPECT_EQ(0, page.TopRow());
    EXPECT_EQ(60, page.list->count());
}

TEST(WindowStatusSinkTest, EveryTenthLineShowsTheLastLineWhole) {
    ProgressPage page;
    page.sink.StatusInfo("line 1");
    page.HeightForRowsPlusOne(8);
    for (int i = 2; i <= 30; ++i) {
        page.sink.StatusInfo("line " + std::to_string(i));
    }
    ASSERT_LT(page.Visible(), 30);
    EXPECT_TRUE(page.LastLineWhole());
}

// After the run the list shows where it stopped, whatever the line count, unless the operator
// has put the focus into it.
TEST(WindowStatusSinkTest, RunFinishedShowsTheLastLineUnlessTheListHasTheFocus) {
    struct Case {
        int lines;
        bool focused;
        bool lastWhole;
    };
    const Case cases[] = {
        {25, false, true},
        {31, false, true},
        {3, false, true},
        {25, true, false},
    };
    for (const Case& c : cases) {
        ProgressPage page;
        page.sink.StatusInfo("line 1");
        page.HeightForRowsPlusOne(8);
        if (c.focused) {
            page.list->setFocus();
            QCoreApplication::processEvents();
            ASSERT_TRUE(page.list->hasFocus());
        }
        for (int i = 2; i <= c.lines; ++i) {
            page.sink.StatusInfo("line " + std::to_string(i));
        }
        if (c.focused) {
            page.list->scrollToTop();
        }
        ASSERT_GT(page.Visible(), 3);
        page.sink.RunFinished();
        EXPECT_EQ(c.lastWhole, page.LastLineWhole()) << c.lines << " focused " << c.focused;
        if (c.focused) {
            EXPECT_EQ(0, page.TopRow()) << c.lines;
        }
    }
}

TEST(WindowStatusSinkTest, FewLinesStayAtTheTop) {
    ProgressPage page;
    for (int i = 1; i <= 10; ++i) {
        page.sink.StatusInfo("line " + std::to_string(i));
    }
    ASSERT_GE(page.Visible(), 10);
    EXPECT_EQ(0, page.TopRow());
}

TEST(WindowStatusSinkTest, LabelsStatusBarPagesAndColours) {
    ProgressPage page;
    page.sink.StatusDisplay(1, "File:     a (1)");
    page.sink.StatusDisplay(2, "Status:   Copying");
    page.sink.StatusDisplay(3, "Total:    <b>1</b>");
    page.sink.StatusDisplay(0, "nowhere");
    page.sink.StatusDisplay(4, "nowhere");
    EXPECT_EQ(QStringLiteral("File:     a (1)"), page.lines[0]->text());
    EXPECT_EQ(QStringLiteral("Status:   Copying"), page.lines[1]->text());
    EXPECT_EQ(QStringLiteral("Total:    <b>1</b>"), page.lines[2]->text());

    page.sink.ShowWalkDirectory("/data/dir/");
    EXPECT_EQ(QStringLiteral("/data/dir/"), page.bar->currentMessage());

    page.pages->setCurrentWidget(page.settings);
    page.sink.ShowProgressPage();
    EXPECT_EQ(page.progress, page.pages->currentWidget());

    page.sink.StatusInfo("old line");
    page.sink.RunFinished();
    EXPECT_EQ(1, page.finished);
    EXPECT_EQ(QColor(191, 205, 219), page.list->palette().color(QPalette::Base));
    page.sink.RunStarted();
    EXPECT_EQ(0, page.list->count());
    EXPECT_EQ(QApplication::palette(page.list).color(QPalette::Base),
              page.list->palette().color(QPalette::Base));
}

// The widgets painted, the paints of the whole window (update requests), and the paints made
// outside one.
struct PaintRecord : QObject {
    explicit PaintRecord(QWidget* w) : window(w) { qApp->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        updates += event->type() == QEvent::UpdateRequest && watched == window;
        if (event->type() == QEvent::Paint) {
            painted.insert(watched);
            alone += updates == 0;
        }
        return false;
    }
    QWidget* window;
    int updates = 0, alone = 0;
    std::set<QObject*> painted;
};

// During a run the lines and texts wait for the paint interval (or a dialog) and then appear
// together, painted in one go where they changed (the tab control is not painted again), the
// list still keeping its last 1000 lines; after the run the widgets show and paint everything
// at once again, and a change of the tab control's own that waited is laid out. The
// available-space label follows its text at every pump.
TEST(WindowStatusSinkTest, RunShowsItsTextsAtThePaintIntervalAndAfterTheRun) {
    ProgressPage page;
    QLabel avail;
    page.sink.SetAvailableSpace(&avail);
    page.sink.ShowAvailableSpace("Available Space: n/a");
    RunData run;
    run.PassesRan = true;
    run.Counts.BytesFound = 100;
    page.progressBar->setMaximum(1000);
    page.sink.SetProgress(page.progressBar, nullptr, &run, nullptr);
    QTabBar* tabs = page.pages->findChild<QTabBar*>();
    const int tabsWidth = tabs->width();
    page.lines[0]->setText(QStringLiteral("File:     a (1)"));
    page.sink.RunStarted();
    QCoreApplication::processEvents();
    PaintRecord record(&page.window);
    page.sink.StatusDisplay(1, "File:     b (2)");
    // Waiting for the interval, the label keeps painting the text it was given last.
    EXPECT_TRUE(page.lines[0]->updatesEnabled());
    EXPECT_EQ(QStringLiteral("File:     a (1)"), page.lines[0]->text());
    page.sink.ShowAvailableSpace("Available Space:   1.00 GB");
    page.sink.ShowWalkDirectory("/data/dir/");
    run.Counts.BytesDone = 50;
    for (int i = 0; i < 1005; ++i) {
        page.sink.StatusInfo("line " + std::to_string(i));
    }
    EXPECT_EQ(1005, page.sink.LinesWritten());
    EXPECT_EQ(QStringLiteral("Available Space:   1.00 GB"), avail.text());
    EXPECT_TRUE(record.painted.empty());
    page.sink.ShowPending();  // as before a dialog
    QCoreApplication::processEvents();
    EXPECT_EQ(QStringLiteral("File:     b (2)"), page.lines[0]->text());
    ASSERT_EQ(1000, page.list->count());
    EXPECT_EQ(QStringLiteral("line 5"), page.list->item(0)->text());
    EXPECT_EQ(500, page.progressBar->value());
    EXPECT_EQ(0, record.alone);
    EXPECT_EQ(1, record.updates);
    for (QObject* changed : std::initializer_list<QObject*>{page.lines[0], page.list->viewport(),
                                                            page.bar, page.progressBar}) {
        EXPECT_EQ(1u, record.painted.count(changed)) << changed->metaObject()->className();
    }
    EXPECT_EQ(0u, record.painted.count(tabs));

    tabs->setTabText(0, QStringLiteral("&Settings with a much longer caption"));
    page.sink.PumpMessages();
    page.sink.StatusInfo("last");
    page.sink.StatusDisplay(2, "Status:   copied");
    page.sink.RunFinished();
    EXPECT_EQ(QStringLiteral("Status:   copied"), page.lines[1]->text());
    ASSERT_EQ(1000, page.list->count());
    EXPECT_EQ(QStringLiteral("last"), page.list->item(999)->text());
    EXPECT_EQ(tabsWidth, tabs->width());
    page.sink.RunReturned();
    QCoreApplication::processEvents();
    EXPECT_GT(tabs->width(), tabsWidth);
    EXPECT_TRUE(page.list->updatesEnabled());
    EXPECT_TRUE(page.bar->updatesEnabled());
}

// During a run every kind of pump handles the events that wait once the pump interval has
// passed since they were last handled (the run's first line handles them at once), and the
// available space found meanwhile is shown with them.
TEST(WindowStatusSinkTest, EveryPumpOfARunHandlesWaitingEventsOnceTheIntervalHasPassed) {
    const struct {
        const char* pump;
        std::function<void(WindowStatusSink&)> call;
    } cases[] = {
        {"status line", [](WindowStatusSink& s) { s.StatusInfo("   b copied"); }},
        {"directory entered", [](WindowStatusSink& s) { s.ShowWalkDirectory("/data/sub/"); }},
        {"plain pump", [](WindowStatusSink& s) { s.PumpMessages(); }},
    };
    for (const auto& c : cases) {
        ProgressPage page;
        QLabel avail;
        page.sink.SetAvailableSpace(&avail);
        page.sink.RunStarted();
        int handled = 0;
        QTimer::singleShot(0, [&] { ++handled; });
        page.sink.StatusInfo("/data/");
        EXPECT_EQ(1, handled) << c.pump;
        QTimer::singleShot(0, [&] { ++handled; });
        page.sink.ShowAvailableSpace("Available Space:   2.00 GB");
        QTest::qSleep(WindowStatusSink::kPumpIntervalMs + 5);
        c.call(page.sink);
        EXPECT_EQ(2, handled) << c.pump;
        EXPECT_EQ(QStringLiteral("Available Space:   2.00 GB"), avail.text()) << c.pump;
        page.sink.RunReturned();
    }
}

TEST(WindowStatusSinkTest, PumpHandlesWaitingEvents) {
    ProgressPage page;
    int handled = 0;
    QTimer::singleShot(0, [&] { ++handled; });
    page.sink.StatusInfo("a line");
    EXPECT_EQ(1, handled);
}

}  // namespace
}  // namespace ferrit
