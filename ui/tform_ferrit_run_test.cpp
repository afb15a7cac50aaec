// A run as the operator follows it in the window: the progress that always shows, the answers
// for the rest of a run, Abort while a question waits, and the keys that reach each control.
#include <functional>
#include <set>

#include <QGroupBox>
#include <QMessageBox>
#include <QProgressBar>
#include <QRegularExpression>
#include <QStatusBar>

#include "ui/window_fixture_test.h"

namespace ferrit {
namespace {

using Lines = std::vector<std::string>;

// Whether anything but the background is painted in the widget: a text shows.
bool ShowsInk(QWidget* widget) {
    const QImage image = widget->grab().toImage();
    const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != background) {
                return true;
            }
        }
    }
    return false;
}

// A copy of three files onto a target where each of them fails or is older, as the row asks.
struct AnswerRow {
    const char* name;
    bool failing;  // the counterparts are directories: every copy fails
    DialogAnswer answer;
    size_t asked;           // dialogs shown
    DialogButtons buttons;  // offered by the first
    const char* outcome;    // each file's status line ends with it
};

void PrintTo(const AnswerRow& row, std::ostream* os) {
    *os << row.name;
}

class RunAnswers : public WindowTest, public ::testing::WithParamInterface<AnswerRow> {};

TEST_P(RunAnswers, HoldForTheRestOfTheRunOnly) {
    const AnswerRow& row = GetParam();
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        tree_.File(std::string("src/") + name, "new");
        if (row.failing) {
            tree_.Dir(std::string("tgt/") + name);
        } else {
            tree_.File(std::string("tgt/") + name, "old");
            testing::SetModTime(tree_.Path(std::string("tgt/") + name), 1000000000);
        }
    }
    WriteIni(
        "[Default Options]\nMove Files=0\nCopy Bi-directional=0\nOverwrite Always=0\n"
        "Only Files with Archive bit=0\nClear Archive Bit=0\n");
    Open();
    Type("ComboSource", tree_.Path("src"));
    Type("ComboTarget", tree_.Path("tgt"));
    dialogs_.Script(row.answer);
    dialogs_.SetDefaultForAll(row.answer == Answer::IgnoreAll ? Answer::Ignore : row.answer);
    PressStart();

    ASSERT_EQ(row.asked, dialogs_.Asked().size());
    EXPECT_EQ(row.buttons, dialogs_.Asked()[0].buttons);
    EXPECT_EQ(0, dialogs_.UnofferedAnswers());
    size_t outcomes = 0;
    for (const std::string& line : StatusLines()) {
        outcomes += line.size() > 8 && line.compare(0, 3, "   ") == 0 && line[3] != ' ' &&
                    line.find(row.outcome) != std::string::npos;
    }
    EXPECT_EQ(3u, outcomes) << ::testing::PrintToString(StatusLines());
    EXPECT_NE(kRunStateAbort, window_->Run().RunState);

    // The next run asks again.
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        testing::SetModTime(tree_.Path(std::string("tgt/") + name), 1000000000);
    }
    dialogs_.ClearRecord();
    dialogs_.Script(Answer::Abort);
    PressStart();
    EXPECT_FALSE(dialogs_.Asked().empty()) << ::testing::PrintToString(StatusLines());
}

INSTANTIATE_TEST_SUITE_P(
    Window, RunAnswers,
    ::testing::Values(AnswerRow{"IgnoreAll", true, Answer::IgnoreAll, 1,
                                Btn::AbortIgnore | Btn::IgnoreAll, " not copied"},
                      AnswerRow{"IgnoreEach", true, Answer::Ignore, 3,
                                Btn::AbortIgnore | Btn::IgnoreAll, " not copied"},
                      AnswerRow{"YesToAll", false, Answer::YesToAll, 1,
                                Btn::YesNo | Btn::YesToAll | Btn::NoToAll, " copied"},
                      AnswerRow{"NoToAll", false, Answer::NoToAll, 1,
                                Btn::YesNo | Btn::YesToAll | Btn::NoToAll, " skipped"}),
    [](const ::testing::TestParamInfo<AnswerRow>& info) { return std::string(info.param.name); });

// With the window's own dialogs: while the overwrite question waits, the Progress tab shows the
// file it is about and the window's Abort answers it; the run then stops.
TEST_F(WindowTest, AbortAnswersTheQuestionThatWaits) {
    tree_.File("src/a.txt", "new");
    tree_.File("src/b.txt", "new");
    tree_.File("src/c.txt", "new");
    tree_.File("tgt/b.txt", "old");
    testing::SetModTime(tree_.Path("tgt/b.txt"), 1000000000);
    WriteIni("[Default Options]\nMove Files=0\nCopy Bi-directional=0\nOverwrite Always=0\n");
    WindowServices services;
    services.launch = [](const std::string&) { return 42; };
    window_ = std::make_unique<TFormFerrit>(services);
    window_->show();
    QCoreApplication::processEvents();
    Type("ComboSource", tree_.Path("src"));
    Type("ComboTarget", tree_.Path("tgt"));

    QString question, facts, fileLine;
    bool lineShows = false;
    bool boxClosed = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(top);
            if (!box || !box->isVisible()) {
                continue;
            }
            poll.stop();
            question = box->text();
            facts = box->informativeText();
            fileLine = LabelText("Label12");
            lineShows = Get<QWidget>("Label12")->isVisible() && ShowsInk(Get<QWidget>("Label12"));
            QPointer<QMessageBox> watched(box);
            QTest::mouseClick(Button("BitBtnAbort"), Qt::LeftButton);
            boxClosed = !watched || !watched->isVisible();
            return;
        }
    });
    poll.start();
    PressStart();

    EXPECT_EQ(QString::fromStdString("Overwrite " + tree_.Path("tgt/b.txt") + "?"), question);
    EXPECT_TRUE(facts.contains(QStringLiteral("The file being copied: 3 bytes, modified ")))
        << facts.toStdString();
    EXPECT_TRUE(facts.contains(QStringLiteral("The file it replaces: 3 bytes, modified 2001-09-")))
        << facts.toStdString();
    EXPECT_EQ(QStringLiteral("File:     b.txt (   3)"), fileLine);
    EXPECT_TRUE(lineShows);
    EXPECT_TRUE(boxClosed);
    EXPECT_EQ(kRunStateAbort, window_->Run().RunState);
    EXPECT_EQ("old", testing::ReadFile(tree_.Path("tgt/b.txt")));
    EXPECT_EQ(0u, StatusLines().back().rfind("Aborted after ", 0)) << StatusLines().back();
}

// At every pump of a run the three progress lines show a text (the last one given), painted,
// and the bar only moves forward within a directory's files.
TEST_F(WindowTest, ProgressLinesNeverShowBlankDuringARun) {
    for (int i = 0; i < 300; ++i) {
        tree_.File("src/f" + std::to_string(1000 + i) + ".txt", std::string(512, 'x'));
    }
    tree_.Dir("tgt");
    WriteIni("[Default Options]\nMove Files=0\nCopy Bi-directional=0\n");
    Open();
    Type("ComboSource", tree_.Path("src"));
    Type("ComboTarget", tree_.Path("tgt"));
    int checks = 0;
    int blank = 0;
    int backwards = 0;
    int lastValue = 0;
    QTimer probe;
    probe.setInterval(0);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (!window_->RunActive() || window_->Run().Counts.FilesDone() == 0) {
            return;
        }
        ++checks;
        for (const char* line : {"Label12", "Label13", "Label14"}) {
            QWidget* label = Get<QWidget>(line);
            if (LabelText(line).trimmed().isEmpty() || !label->updatesEnabled() ||
                !ShowsInk(label)) {
                ++blank;
            }
        }
        const int value = Get<QProgressBar>("ProgressBarRun")->value();
        backwards += value < lastValue;
        lastValue = value;
    });
    probe.start();
    PressStart();
    EXPECT_GT(checks, 0);
    EXPECT_EQ(0, blank);
    EXPECT_EQ(0, backwards);
    EXPECT_EQ(1000, Get<QProgressBar>("ProgressBarRun")->value());
}

// A run whose log cannot be made says so in the status bar, beside the summary.
TEST_F(WindowTest, ARunWithoutItsLogSaysSoInTheStatusBar) {
    tree_.File("src/a.txt", "a");
    tree_.Dir("tgt");
    Open();
    Type("ComboSource", tree_.Path("src"));
    Type("ComboTarget", tree_.Path("tgt"));
    setenv("XDG_STATE_HOME", tree_.File("not-a-directory", "").c_str(), 1);
    PressStart();
    EXPECT_THAT(
        Get<QStatusBar>("StatusBar1")->currentMessage().toStdString(),
        ::testing::StartsWith(StatusLines().back() + " (the run log could not be written: "));
}

// Every Alt letter reaches one control only, and Alt+S starts a run from the Settings tab.
TEST_F(WindowTest, EachAltLetterReachesOneControl) {
    tree_.File("src/a.txt", "a");
    tree_.Dir("tgt");
    WriteIni("[Default Options]\nMove Files=0\nCopy Bi-directional=0\n");
    Open();
    std::map<QChar, QStringList> owners;
    const QRegularExpression mnemonic(QStringLiteral("&([^&])"));
    const auto note = [&](const QString& text, const QString& who) {
        const QRegularExpressionMatch m = mnemonic.match(text);
        if (m.hasMatch()) {
            owners[m.captured(1).at(0).toLower()] << who;
        }
    };
    for (int i = 0; i < Pages()->count(); ++i) {
        note(Pages()->tabText(i), Pages()->widget(i)->objectName());
    }
    for (QAbstractButton* b : window_->findChildren<QAbstractButton*>()) {
        note(b->text(), b->objectName());
    }
    for (QGroupBox* g : window_->findChildren<QGroupBox*>()) {
        note(g->title(), g->objectName());
    }
    for (const auto& [letter, who] : owners) {
        EXPECT_EQ(1, who.size()) << "Alt+" << QString(letter).toStdString() << ": "
                                 << who.join(QStringLiteral(", ")).toStdString();
    }
    EXPECT_EQ(QStringList{QStringLiteral("BitBtnStart")}, owners[QLatin1Char('s')]);

    Type("ComboSource", tree_.Path("src"));
    Type("ComboTarget", tree_.Path("tgt"));
    ShowTab(1);
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    Combo("ComboPattern")->setFocus();
    QTest::keyClick(window_->windowHandle(), Qt::Key_S, Qt::AltModifier);
    // The button shows itself pressed for a moment, then clicks.
    for (int i = 0; i < 100 && StatusLines().empty(); ++i) {
        QTest::qWait(10);
    }
    EXPECT_EQ("a", testing::ReadFile(tree_.Path("tgt/a.txt")));
}

}  // namespace
}  // namespace ferrit
