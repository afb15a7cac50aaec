#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <regex>

#include <QGroupBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QStyle>

#include "netware/absent_client.h"
#include "platform/launch.h"
#include "support/format_size.h"
#include "tools/nwemu/admin.h"
#include "ui/window_fixture_test.h"

namespace ferrit {
namespace {

using testing::ReadFile;
using testing::TempDir;
using Lines = std::vector<std::string>;

TEST_F(WindowTest, ControlsCarryTheirNamesAndTexts) {
    TFormFerrit& w = Open();
    EXPECT_EQ(QStringLiteral("  Ferrit/Copy/Move  Directories and NetWare Info"), w.windowTitle());
    ASSERT_EQ(3, Pages()->count());
    EXPECT_EQ(QStringLiteral("&Info"), Pages()->tabText(0));
    EXPECT_EQ(QStringLiteral("Se&ttings"), Pages()->tabText(1));
    EXPECT_EQ(QStringLiteral("&Progress"), Pages()->tabText(2));
    EXPECT_EQ(QStringLiteral("TabSheetInfo"), Pages()->widget(0)->objectName());
    EXPECT_EQ(QStringLiteral("TabSheetSettings"), Pages()->widget(1)->objectName());
    EXPECT_EQ(QStringLiteral("TabSheetProgress"), Pages()->widget(2)->objectName());

    EXPECT_EQ(QStringLiteral("From:"), LabelText("Label1"));
    EXPECT_EQ(QStringLiteral("To:"), LabelText("Label2"));
    EXPECT_EQ(QStringLiteral("File Pattern:"), LabelText("Label5"));
    EXPECT_EQ(QStringLiteral("So&urce / Target"), Get<QGroupBox>("GroupBox1")->title());
    EXPECT_EQ(QStringLiteral("Copy &Options"), Get<QGroupBox>("GroupBox2")->title());
    EXPECT_EQ(QStringLiteral("&Control"), Get<QGroupBox>("GroupBoxStop")->title());
    EXPECT_EQ(QStringLiteral("&Start"), Button("BitBtnStart")->text());
    EXPECT_EQ(QStringLiteral("E&xit"), Button("BitBtnExit")->text());
    EXPECT_EQ(QStringLiteral("&Abort"), Button("BitBtnAbort")->text());
    EXPECT_EQ(QStringLiteral("Open &log"), Button("BitBtnOpenLog")->text());
    EXPECT_FALSE(Button("BitBtnOpenLog")->isEnabled());
    EXPECT_EQ(QStringLiteral("Greyed because no run has written a log yet"),
              Button("BitBtnOpenLog")->toolTip());
    EXPECT_TRUE(Button("BitBtn1")->text().isEmpty());
    EXPECT_FALSE(Button("BitBtn1")->icon().isNull());
    EXPECT_FALSE(Button("BitBtn2")->icon().isNull());
    for (const char* line : {"Label12", "Label13", "Label14"}) {
        EXPECT_EQ(QStringLiteral("[        ]"), LabelText(line)) << line;
    }
    EXPECT_EQ(QStringLiteral("Available"), LabelText("LabelAvail").left(9));
    EXPECT_EQ(QStringLiteral("Ferrit.exe (2007/02)"), LabelText("LabelVersion"));
    EXPECT_EQ(QStringLiteral("Ferrit"), LabelText("Label3"));
    EXPECT_EQ(QStringLiteral("Ferrit"), LabelText("Label6"));
    EXPECT_TRUE(LabelText("LabelWeb").startsWith(QStringLiteral("file:///")));
    EXPECT_TRUE(LabelText("LabelWeb").endsWith(QStringLiteral("README.md")));
    EXPECT_EQ(0, Status()->count());
    EXPECT_NE(nullptr, w.findChild<QStatusBar*>(QStringLiteral("StatusBar1")));
    EXPECT_EQ(Pages()->widget(1), Pages()->currentWidget());
}

TEST_F(WindowTest, OpensAt380By253With540By518AndNoMaximiseButton) {
    TFormFerrit& w = Open();
    EXPECT_EQ(QPoint(380, 253), w.frameGeometry().topLeft());
    EXPECT_EQ(QSize(540, 518), w.frameGeometry().size());
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowCloseButtonHint);

    // Wider and taller: the fields and the options stretch, the control group keeps its width
    // at the right edge, and the status list grows with the window.
    const int fieldWidth = Combo("ComboSource")->width();
    QWidget* options = Get<QWidget>("GroupBox2");
    QWidget* control = Get<QWidget>("GroupBoxStop");
    const QSize optionsSize = options->size();
    const int controlWidth = control->width();
    w.resize(w.width() + 200, w.height() + 100);
    QCoreApplication::processEvents();
    EXPECT_EQ(fieldWidth + 200, Combo("ComboSource")->width());
    EXPECT_EQ(optionsSize + QSize(200, 100), options->size());
    EXPECT_EQ(controlWidth, control->width());
    EXPECT_GT(control->x(), options->geometry().right());
    EXPECT_EQ(control->parentWidget()->width() - control->geometry().right(),
              Get<QWidget>("GroupBox1")->parentWidget()->width() -
                  Get<QWidget>("GroupBox1")->geometry().right());
}

TEST_F(WindowTest, FontsColoursAndCursors) {
    Open();
    EXPECT_EQ(14, window_->font().pixelSize());
    for (const char* line : {"Label12", "Label13", "Label14"}) {
        QLabel* label = Get<QLabel>(line);
        // What the window asks for; which family answers depends on the fonts installed.
        EXPECT_EQ(14, label->font().pixelSize()) << line;
        EXPECT_EQ(QStringLiteral("Courier New"), label->font().family()) << line;
        EXPECT_EQ(QFont::TypeWriter, label->font().styleHint()) << line;
        EXPECT_TRUE(label->font().fixedPitch()) << line;
    }
    QLabel* name = Get<QLabel>("Label3");
    QLabel* shadow = Get<QLabel>("Label6");
    EXPECT_EQ(45, name->font().pixelSize());
    EXPECT_TRUE(name->font().bold());
    EXPECT_EQ(QStringLiteral("Arial"), name->font().family());
    EXPECT_EQ(QFont::SansSerif, name->font().styleHint());
    EXPECT_EQ(QColor(255, 0, 0), name->palette().color(QPalette::WindowText));
    EXPECT_EQ(QColor(128, 128, 128), shadow->palette().color(QPalette::WindowText));
    EXPECT_EQ(name->pos() + QPoint(3, 3), shadow->pos());
    // The red name stands in front of its shadow.
    EXPECT_EQ(name, name->parentWidget()->childAt(name->pos() + QPoint(20, 30)));

    for (const char* label :
         {"TabSheetInfo", "Label3", "Label6", "Label4", "LabelWeb", "LabelVersion"}) {
        EXPECT_EQ(Qt::PointingHandCursor, Get<QWidget>(label)->cursor().shape()) << label;
    }
}

TEST_F(WindowTest, ReadmeComesFromTheCurrentDirectory) {
    char old[4096];
    ASSERT_NE(nullptr, getcwd(old, sizeof old));
    {
        Open();
        EXPECT_EQ(QStringLiteral("< Cannot read Ferrit.txt >"),
                  Get<QPlainTextEdit>("Memo1")->toPlainText());
        EXPECT_TRUE(Get<QPlainTextEdit>("Memo1")->isReadOnly());
        Destroy();
    }
    TempDir here;
    testing::WriteFile(here.Path("Ferrit.txt"), "Line one\nLine two\n");
    ASSERT_EQ(0, chdir(here.path().c_str()));
    Open();
    EXPECT_EQ(QStringLiteral("Line one\nLine two\n"), Get<QPlainTextEdit>("Memo1")->toPlainText());
    Destroy();
    ASSERT_EQ(0, chdir(old));
}

// The first start without a settings file and without NetWare.
TEST_F(WindowTest, FirstStartState) {
    Open();
    // No client is configured: the status bar says so, no message box stands in the way.
    EXPECT_TRUE(startupDialogs_.empty()) << ::testing::PrintToString(StartupTexts());
    EXPECT_EQ(QStringLiteral("NetWare: no client configured; the NetWare options are unavailable"),
              window_->findChild<QStatusBar*>(QStringLiteral("StatusBar1"))->currentMessage());
    EXPECT_EQ(QString(), Combo("ComboSource")->currentText());
    EXPECT_EQ(QString(), Combo("ComboTarget")->currentText());
    EXPECT_EQ(QStringLiteral("*.*"), Combo("ComboPattern")->currentText());
    EXPECT_EQ(0, Combo("ComboSource")->count());
    EXPECT_EQ(0, Combo("ComboTarget")->count());
    EXPECT_EQ(0, Combo("ComboPattern")->count());
    EXPECT_FALSE(StartEnabled());
    EXPECT_EQ(Pages()->widget(1), Pages()->currentWidget());

    ASSERT_EQ(kOptionCount, Options()->count());
    for (int i = 0; i < kOptionCount; ++i) {
        EXPECT_EQ(QString::fromUtf8(OptionCaptions[i]), Options()->item(i)->text());
        // Nothing that moves, copies back into or marks the source before the operator asks.
        const bool changesSource = i == MoveFiles || i == CopyBidirectional ||
                                   i == OnlyFilesWithArchiveBit || i == ClearArchiveBit;
        EXPECT_EQ(!changesSource, Ticked(i)) << OptionCaptions[i];
    }
    // "Overwrite Always" holds "Overwrite Older Files on Target" greyed.
    const std::vector<int> disabled = {3, 8, 9, 10, 11, 12};
    for (int i = 0; i < kOptionCount; ++i) {
        const bool expectDisabled =
            std::find(disabled.begin(), disabled.end(), i) != disabled.end();
        EXPECT_EQ(!expectDisabled, Enabled(i)) << OptionCaptions[i];
    }
    const std::vector<int> inForce = {0, 1, 2, 4, 5};
    for (int i = 0; i < kOptionCount; ++i) {
        const bool expectInForce = std::find(inForce.begin(), inForce.end(), i) != inForce.end();
        EXPECT_EQ(expectInForce, window_->Options().cbAllowed(static_cast<uint8_t>(i)))
            << OptionCaptions[i];
    }

    // A keystroke runs the rules again and changes nothing of this.
    Type("ComboSource", "x");
    for (int i = 0; i < kOptionCount; ++i) {
        const bool expectInForce = std::find(inForce.begin(), inForce.end(), i) != inForce.end();
        EXPECT_EQ(expectInForce, window_->Options().cbAllowed(static_cast<uint8_t>(i)))
            << OptionCaptions[i];
    }
}

TEST_F(WindowTest, UnusableNetWareDescriptionIsReportedAtStartAndTheWindowWorksWithoutIt) {
    config_->File("ferrit-netware.ini", "[server FS1\nthis is no description\n");
    Open();
    // The description's fault, then the start-up failure of the client left: none at all.
    ASSERT_EQ(2u, startupDialogs_.size());
    EXPECT_EQ(DialogKind::Error, startupDialogs_[0].kind);
    EXPECT_NE(std::string::npos, startupDialogs_[0].text.find("ferrit-netware.ini:1"))
        << startupDialogs_[0].text;
    EXPECT_EQ("Could not initialize NetWare Client. InitNetWare returned error 0xFFFF",
              startupDialogs_[1].text);
    for (int i = KeepOwner; i <= KeepSpaceLimitations; ++i) {
        EXPECT_FALSE(Enabled(i)) << OptionCaptions[i];
    }
    EXPECT_EQ(Pages()->widget(1), Pages()->currentWidget());
}

TEST_F(WindowTest, NetWareOptionsFollowTheEmulatedLocationsAndRights) {
    const nwemu::AdminResult demo =
        nwemu::BuildDemo(tree_.Path("nw"), config_->Path("ferrit-netware.ini"), false);
    ASSERT_EQ(0, demo.status) << demo.err;
    WriteIni("[Default Options]\nMove Files=0\nCopy Bi-directional=0\n");
    Open();
    EXPECT_TRUE(startupDialogs_.empty());  // the emulated client starts without a word
    Type("ComboSource", tree_.Path("nw/FS1/DATA/PROJECTS"));
    Type("ComboTarget", tree_.Path("nw/FS2/DATA/TARGET"));
    EXPECT_TRUE(StartEnabled());
    for (int i = KeepOwner; i <= KeepSpaceLimitations; ++i) {
        EXPECT_TRUE(Enabled(i)) << OptionCaptions[i];
    }
    // Ticking "Copy Bi-directional" greys them; unticking brings them back.
    Options()->setFocus();
    Options()->setCurrentRow(CopyBidirectional);
    QTest::keyClick(Options(), Qt::Key_Space);
    EXPECT_FALSE(Enabled(KeepOwner));
    QTest::keyClick(Options(), Qt::Key_Space);
    EXPECT_TRUE(Enabled(KeepOwner));
    // A target without Access Control: the NetWare items are greyed.
    Retype("ComboTarget", tree_.Path("nw/FS2/DATA/LOCKED"));
    for (int i = KeepOwner; i <= KeepSpaceLimitations; ++i) {
        EXPECT_FALSE(Enabled(i)) << OptionCaptions[i];
    }
}

TEST_F(WindowTest, StartFollowsTheTypedPathKeyByKey) {
    const std::string target = tree_.Dir("target");
    tree_.Dir("d");
    tree_.Dir("dd");
    Open();
    Type("ComboTarget", target);
    EXPECT_FALSE(StartEnabled());

    const std::string source = tree_.path() + "/ddx";
    std::string typed;
    for (char c : source) {
        Type("ComboSource", std::string(1, c));
        typed += c;
        struct stat st;
        const bool isDir = stat(typed.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        EXPECT_EQ(isDir, StartEnabled()) << "after typing " << typed;
    }
    EXPECT_FALSE(StartEnabled());
    QTest::keyClick(Combo("ComboSource")->lineEdit(), Qt::Key_Backspace);
    EXPECT_TRUE(StartEnabled());  // .../dd
    QTest::keyClick(Combo("ComboSource")->lineEdit(), Qt::Key_Backspace);
    EXPECT_TRUE(StartEnabled());  // .../d
    // The target goes away: Start follows at the next evaluation.
    Retype("ComboTarget", target + "-gone");
    EXPECT_FALSE(StartEnabled());

    // The hints carry the universal form of the paths.
    EXPECT_EQ(QString::fromStdString(tree_.path() + "/d"), Combo("ComboSource")->toolTip());
}

TEST_F(WindowTest, CodeSettingTheTextIsNoOperatorEdit) {
    const std::string dir = tree_.Dir("x");
    Open();
    Combo("ComboSource")->setEditText(QString::fromStdString(dir));
    Combo("ComboTarget")->setEditText(QString::fromStdString(dir));
    EXPECT_FALSE(StartEnabled());  // nothing evaluated yet
    window_->EditPathChange();
    EXPECT_TRUE(StartEnabled());
}

TEST_F(WindowTest, ChoosingFromTheHistoryEvaluatesThePaths) {
    const std::string a = tree_.Dir("a");
    WriteIni("[Default Options]\nTarget Dir=" + a + "\n[SourceHistory]\n0=/nowhere\n1=" + a + "\n");
    Open();
    EXPECT_FALSE(StartEnabled());
    QComboBox* source = Combo("ComboSource");
    ASSERT_EQ(2, source->count());
    // Choosing an entry with the keyboard from the closed list.
    source->setFocus();
    QTest::keyClick(source, Qt::Key_Down);
    QTest::keyClick(source, Qt::Key_Down);
    EXPECT_EQ(QString::fromStdString(a), source->currentText());
    EXPECT_TRUE(StartEnabled());
}

void MakeRunTree(TempDir& tree) {
    tree.File("src/a.txt", "aaaa");
    tree.File("src/b.txt", "bb");
    tree.File("src/sub/c.txt", "ccc");
    tree.File("src/skip.doc", "not matched");
    tree.File("tgt/b.txt", "old");
    testing::SetModTime(tree.Path("tgt/b.txt"), 1000000000);
    testing::SetModTime(tree.Path("src/b.txt"), 1100000000);
}

TEST_F(WindowTest, WholeRunThroughTheWindow) {
    MakeRunTree(tree_);
    WriteIni("[Default Options]\nMove Files=0\nCopy Bi-directional=0\nOverwrite Always=0\n");
    Open();
    Type("ComboSource", tree_.Path("src"));
    Type("ComboTarget", tree_.Path("tgt"));
    Retype("ComboPattern", "*.txt");
    ASSERT_TRUE(StartEnabled());
    dialogs_.Script(Answer::Yes);  // overwrite the older b.txt

    QColor colourDuring;
    Qt::CursorShape cursorDuring = Qt::ArrowCursor;
    bool startDuring = true;
    DuringRun probe(*window_, [&] {
        colourDuring = Status()->palette().color(QPalette::Base);
        cursorDuring = QApplication::overrideCursor() ? QApplication::overrideCursor()->shape()
                                                      : Qt::ArrowCursor;
        startDuring = StartEnabled();
    });
    PressStart();
    ASSERT_TRUE(probe.Fired());

    // The last line sums the run up, and the status bar keeps it.
    const Lines lines = StatusLines();
    ASSERT_EQ(5u, lines.size());
    EXPECT_EQ(
        (Lines{"   a.txt copied", "   b.txt copied", tree_.Path("src/sub"), "   c.txt copied"}),
        Lines(lines.begin(), lines.end() - 1));
    EXPECT_THAT(lines.back(), ::testing::MatchesRegex("Finished: 3 copied, 0 skipped, 0 failed "
                                                      "\\(2 directories\\) in [0-9.]+ s"));
    EXPECT_EQ(QStringLiteral("File:     c.txt (   3)"), LabelText("Label12"));
    EXPECT_EQ(QStringLiteral("Status:   copied"), LabelText("Label13"));
    EXPECT_EQ(QString::fromStdString("Total:    " + FormatSize(9)), LabelText("Label14"));
    EXPECT_EQ(QString::fromStdString(lines.back()),
              window_->findChild<QStatusBar*>(QStringLiteral("StatusBar1"))->currentMessage());
    EXPECT_EQ(1000, Get<QProgressBar>("ProgressBarRun")->value());
    EXPECT_EQ(QStringLiteral("3 of 3 files"), LabelText("LabelFigures"));

    // The log in the state directory holds the heading, every line and the summary; the
    // Progress tab opens it.
    const std::string log = window_->LastLog();
    ASSERT_EQ(0u, log.rfind(config_->Path("state/ferrit/run-"), 0)) << log;
    const std::string logText = ReadFile(log);
    EXPECT_EQ(0u, logText.rfind("Ferrit run of ", 0)) << logText;
    EXPECT_EQ(lines.back() + "\n", logText.substr(logText.size() - lines.back().size() - 1));
    ASSERT_TRUE(Button("BitBtnOpenLog")->isEnabled());
    QTest::mouseClick(Button("BitBtnOpenLog"), Qt::LeftButton);
    EXPECT_EQ((Lines{log}), launched_);
    EXPECT_EQ("aaaa", ReadFile(tree_.Path("tgt/a.txt")));
    EXPECT_EQ("bb", ReadFile(tree_.Path("tgt/b.txt")));
    EXPECT_EQ("ccc", ReadFile(tree_.Path("tgt/sub/c.txt")));

    ASSERT_EQ(1u, dialogs_.Asked().size());
    EXPECT_EQ(DialogKind::Confirmation, dialogs_.Asked()[0].kind);
    // With the answers for the rest of the run beside Yes and No.
    EXPECT_EQ(Btn::YesNo | Btn::NoToAll | Btn::YesToAll, dialogs_.Asked()[0].buttons);
    EXPECT_EQ(1, dialogs_.HourglassOnCount());
    EXPECT_EQ(1, dialogs_.HourglassOffCount());

    // The run's look, and the idle look after it.
    EXPECT_EQ(QApplication::palette(Status()).color(QPalette::Base), colourDuring);
    EXPECT_FALSE(startDuring);
    EXPECT_EQ(QColor(191, 205, 219), Status()->palette().color(QPalette::Base));
    EXPECT_EQ(Pages()->widget(2), Pages()->currentWidget());
    EXPECT_TRUE(StartEnabled());

    // The three texts went into their histories.
    EXPECT_EQ(QString::fromStdString(tree_.Path("src")), Combo("ComboSource")->itemText(0));
    EXPECT_EQ(QString::fromStdString(tree_.Path("tgt")), Combo("ComboTarget")->itemText(0));
    EXPECT_EQ(QStringLiteral("*.txt"), Combo("ComboPattern")->itemText(0));
    EXPECT_EQ(QStringLiteral("*.txt"), Combo("ComboPattern")->currentText());
}

TEST_F(WindowTest, BusyCursorFramesTheRealRun) {
    // With the window's own dialogs: the override cursor is the busy one during the run only.
    tree_.File("src/a.txt", "a");
    tree_.Dir("tgt");
    WriteIni("[Default Options]\nMove Files=0\nCopy Bi-directional=0\n");
    // Real dialogs and launcher; no dialog is expected in this run, so the NetWare client
    // must start.
    struct StartingClient : AbsentClient {
        NWCCODE CallsInit() override { return 0; }
        NWCCODE ConnLayerInit(uint32_t&) override { return 0; }
        NWCCODE GetPrimaryConnRef(uint32_t&) override { return 0; }
        NWCCODE OpenConnByReference(uint32_t, uint32_t, uint32_t, NWCONN_HANDLE& c) override {
            c = 1;
            return 0;
        }
    } client;
    WindowServices services;
    services.client = &client;
    TFormFerrit w(services);
    w.show();
    w.findChild<QComboBox*>(QStringLiteral("ComboSource"))
        ->setEditText(QString::fromStdString(tree_.Path("src")));
    w.findChild<QComboBox*>(QStringLiteral("ComboTarget"))
        ->setEditText(QString::fromStdString(tree_.Path("tgt")));
    w.EditPathChange();
    Qt::CursorShape during = Qt::ArrowCursor;
    DuringRun probe(w, [&] {
        if (QApplication::overrideCursor()) {
            during = QApplication::overrideCursor()->shape();
        }
    });
    w.ButtonStartClick();
    ASSERT_TRUE(probe.Fired());
    EXPECT_EQ(Qt::WaitCursor, during);
    EXPECT_EQ(nullptr, QApplication::overrideCursor());
}

TEST_F(WindowTest, MissingSourceLeavesTheListEmptyInTheRunColour) {
    tree_.Dir("src");
    tree_.Dir("tgt");
    WriteIni("[Default Options]\nMove Files=0\nCopy Bi-directional=0\n");
    Open();
    Type("ComboSource", tree_.Path("src"));
    Type("ComboTarget", tree_.Path("tgt"));
    ASSERT_TRUE(StartEnabled());
    testing::RemoveTree(tree_.Path("src"));  // vanishes after the evaluation
    dialogs_.Script(Answer::Abort);
    PressStart();
    ASSERT_EQ(1u, dialogs_.Asked().size());
    EXPECT_EQ("Error 8702: " + tree_.Path("src") + " does not exist", dialogs_.Asked()[0].text);
    EXPECT_EQ(0, Status()->count());
    EXPECT_EQ(QApplication::palette(Status()).color(QPalette::Base),
              Status()->palette().color(QPalette::Base));
    EXPECT_EQ(Pages()->widget(1), Pages()->currentWidget());
    EXPECT_EQ(QStringLiteral("[        ]"), LabelText("Label12"));
    EXPECT_EQ(QString::fromStdString(tree_.Path("src")), Combo("ComboSource")->itemText(0));
}

TEST_F(WindowTest, AbortPressedDuringARunStopsItAfterTheCurrentFile) {
    for (int i = 0; i < 40; ++i) {
        tree_.File("src/f" + std::to_string(100 + i) + ".txt", "x");
    }
    tree_.Dir("tgt");
    // Bi-directional stays ticked: the second pass must stop at once as well.
    WriteIni("[Default Options]\nMove Files=0\n");
    Open();
    Type("ComboSource", tree_.Path("src"));
    Type("ComboTarget", tree_.Path("tgt"));
    // The press is handled in the pump that follows the first status line.
    DuringRun abort(
        *window_, [&] { QTest::mouseClick(Button("BitBtnAbort"), Qt::LeftButton); },
        [&] { return window_->Sink().LinesWritten() == 1; });
    PressStart();
    ASSERT_TRUE(abort.Fired());
    EXPECT_EQ(kRunStateAbort, window_->Run().RunState);
    // The run stops after the current file; copies that workers put in place before the
    // press reached them are reported as copied, in walk order, and nothing else stands in the
    // target (copies made ahead and not yet in place are dropped). The second pass began at
    // the target root (the second directory) and handled nothing.
    Lines lines = StatusLines();
    ASSERT_GE(lines.size(), 2u);
    const size_t copied = lines.size() - 1;
    Lines expected;
    std::vector<std::string> inTarget;
    for (size_t i = 0; i < copied; ++i) {
        inTarget.push_back("f" + std::to_string(100 + i) + ".txt");
        expected.push_back("   " + inTarget.back() + " copied");
    }
    expected.push_back("Aborted after T: " + std::to_string(copied) +
                       " copied, 0 skipped, 0 failed (2 directories)");
    lines.back() = std::regex_replace(lines.back(), std::regex("[0-9]+\\.[0-9] s"), "T");
    EXPECT_EQ(expected, lines);
    EXPECT_EQ(inTarget, testing::ListDir(tree_.Path("tgt")));
    EXPECT_EQ(QColor(191, 205, 219), Status()->palette().color(QPalette::Base));
    EXPECT_TRUE(StartEnabled());
}

TEST_F(WindowTest, ExitDuringARunLetsItFinishThenClosesAndSaves) {
    for (int i = 0; i < 5; ++i) {
        tree_.File("src/f" + std::to_string(i) + ".txt", "x");
    }
    tree_.Dir("tgt");
    WriteIni("[Default Options]\nMove Files=0\nCopy Bi-directional=0\n");
    Open();
    Type("ComboSource", tree_.Path("src"));
    Type("ComboTarget", tree_.Path("tgt"));
    dialogs_.Script(Answer::No);  // let the run finish, then close
    DuringRun exitPress(*window_, [&] {
        ShowTab(1);
        QTest::mouseClick(Button("BitBtnExit"), Qt::LeftButton);
        EXPECT_TRUE(window_->isVisible());
    });
    PressStart();
    ASSERT_TRUE(exitPress.Fired());
    EXPECT_EQ(6, Status()->count());  // every file, and the summary
    EXPECT_FALSE(window_->isVisible());
    Destroy();
    SettingsFile saved(IniPath());
    EXPECT_EQ(tree_.Path("src"), saved.ReadString("Default Options", "Source Dir", ""));
    EXPECT_EQ(tree_.Path("src"), saved.ReadString("SourceHistory", "0", ""));
    EXPECT_EQ(tree_.Path("tgt"), saved.ReadString("TargetHistory", "0", ""));
}

TEST_F(WindowTest, CloseBoxDuringARunClosesAfterTheRun) {
    tree_.File("src/a.txt", "x");
    tree_.File("src/b.txt", "x");
    tree_.Dir("tgt");
    WriteIni("[Default Options]\nMove Files=0\nCopy Bi-directional=0\n");
    Open();
    Type("ComboSource", tree_.Path("src"));
    Type("ComboTarget", tree_.Path("tgt"));
    dialogs_.Script(Answer::No);
    DuringRun closeBox(*window_, [&] { window_->close(); });
    PressStart();
    ASSERT_TRUE(closeBox.Fired());
    EXPECT_EQ(3, Status()->count());
    EXPECT_FALSE(window_->isVisible());
}

TEST_F(WindowTest, SettingsSurviveACloseAndANewWindow) {
    const std::string src = tree_.Dir("src");
    const std::string tgt = tree_.Dir("tgt");
    WriteIni("[Default Options]\nCopy Bi-directional=0\n");
    Open();
    Type("ComboSource", src);
    Type("ComboTarget", tgt);
    Retype("ComboPattern", "*.dat");
    // Untick "Move Files" with the Space key on the selected item.
    Options()->setFocus();
    Options()->setCurrentRow(MoveFiles);
    QTest::keyClick(Options(), Qt::Key_Space);
    ASSERT_FALSE(Ticked(MoveFiles));
    PressStart();
    Retype("ComboSource", src + "/typed-later");  // "Source Dir" keeps the last text
    ShowTab(1);
    QTest::mouseClick(Button("BitBtnExit"), Qt::LeftButton);
    EXPECT_FALSE(window_->isVisible());
    Destroy();

    Open();
    EXPECT_EQ(QString::fromStdString(src + "/typed-later"), Combo("ComboSource")->currentText());
    EXPECT_EQ(QString::fromStdString(tgt), Combo("ComboTarget")->currentText());
    EXPECT_EQ(QStringLiteral("*.dat"), Combo("ComboPattern")->currentText());
    ASSERT_EQ(1, Combo("ComboSource")->count());
    EXPECT_EQ(QString::fromStdString(src), Combo("ComboSource")->itemText(0));
    ASSERT_EQ(1, Combo("ComboPattern")->count());
    EXPECT_EQ(QStringLiteral("*.dat"), Combo("ComboPattern")->itemText(0));
    EXPECT_FALSE(Ticked(MoveFiles));
    EXPECT_FALSE(Ticked(CopyBidirectional));
    EXPECT_TRUE(Ticked(ClearArchiveBit));
    EXPECT_TRUE(Enabled(ClearArchiveBit));  // "Move Files" is off now
    EXPECT_FALSE(StartEnabled());           // the source text names no directory

    SettingsFile saved(IniPath());
    EXPECT_EQ("0", saved.ReadString("Default Options", "Move Files", ""));
    EXPECT_EQ("1", saved.ReadString("Default Options", "Clear Archive Bit", ""));
}

TEST_F(WindowTest, SettingsThatCannotBeWrittenAreReportedOnce) {
    config_->File("blocker", "a file where the directory should be");
    setenv("XDG_CONFIG_HOME", config_->Path("blocker").c_str(), 1);
    Open();
    ShowTab(1);
    QTest::mouseClick(Button("BitBtnExit"), Qt::LeftButton);
    Destroy();
    ASSERT_EQ(1u, dialogs_.Asked().size());
    EXPECT_EQ("Unable to write to " + config_->Path("blocker/Ferrit.Ini"),
              dialogs_.Asked()[0].text);
    EXPECT_EQ(Btn::OK, dialogs_.Asked()[0].buttons);
}

TEST_F(WindowTest, DisabledOptionsRefuseClicksAndSpace) {
    // A settings file of an earlier start: the keys it lacks read as ticked.
    WriteIni("[Default Options]\n");
    Open();
    ASSERT_FALSE(Enabled(ClearArchiveBit));  // "Move Files" is ticked
    ASSERT_TRUE(Ticked(ClearArchiveBit));
    QListWidget* list = Options();
    list->setFocus();
    list->setCurrentRow(ClearArchiveBit);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_TRUE(Ticked(ClearArchiveBit));
    // A click in the check box: it toggles an enabled item, and does nothing to a disabled one.
    const auto clickBox = [list](int row) {
        const QRect rect = list->visualItemRect(list->item(row));
        const int box = list->style()->pixelMetric(QStyle::PM_IndicatorWidth);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          rect.topLeft() + QPoint(box / 2 + 3, rect.height() / 2));
    };
    clickBox(CopySubdirectories);
    ASSERT_FALSE(Ticked(CopySubdirectories));
    EXPECT_FALSE(window_->Options().Ticked(CopySubdirectories));
    clickBox(ClearArchiveBit);
    EXPECT_TRUE(Ticked(ClearArchiveBit));
    EXPECT_TRUE(window_->Options().Ticked(ClearArchiveBit));
}

TEST_F(WindowTest, OperatorTogglesApplyTheMoveAndBidirectionalRules) {
    // A settings file of an earlier start: the keys it lacks read as ticked.
    WriteIni("[Default Options]\n");
    Open();
    ASSERT_TRUE(Ticked(MoveFiles));
    ASSERT_FALSE(Ticked(CopyBidirectional));  // never ticked together with "Move Files"
    QListWidget* list = Options();
    list->setFocus();
    // Ticking "Copy Bi-directional" while "Move Files" is ticked: the tick is removed at once.
    list->setCurrentRow(CopyBidirectional);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_FALSE(Ticked(CopyBidirectional));
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_FALSE(Ticked(CopyBidirectional));
    // With "Move Files" off, ticking "Overwrite Always" greys "Overwrite Older Files on Target".
    list->setCurrentRow(MoveFiles);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_FALSE(Ticked(MoveFiles));
    EXPECT_TRUE(Enabled(ClearArchiveBit));
    list->setCurrentRow(OverwriteAlways);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_TRUE(Ticked(OverwriteAlways));
    EXPECT_TRUE(Ticked(OverwriteOlderFiles));
    EXPECT_FALSE(Enabled(OverwriteOlderFiles));
}

TEST_F(WindowTest, HistoryKeepsAKnownTextInItsPlace) {
    const std::string src = tree_.Dir("src");
    const std::string tgt = tree_.Dir("tgt");
    WriteIni(
        "[Default Options]\nMove Files=0\nCopy Bi-directional=0\n[SourceHistory]\n0=/one\n"
        "1=/two\n2=" +
        src + "\n3=/four\n");
    Open();
    Type("ComboSource", src);
    Type("ComboTarget", tgt);
    PressStart();
    QComboBox* source = Combo("ComboSource");
    ASSERT_EQ(4, source->count());
    EXPECT_EQ(QStringLiteral("/one"), source->itemText(0));
    EXPECT_EQ(QString::fromStdString(src), source->itemText(2));
    EXPECT_EQ(QString::fromStdString(src), source->currentText());
}

TEST_F(WindowTest, InfoPageAndLabelsOpenTheDocumentation) {
    Open();
    ShowTab(0);
    const std::string address = LabelText("LabelWeb").toStdString();
    QWidget* page = Get<QWidget>("TabSheetInfo");
    // A right-button press on the free area of the page.
    QTest::mousePress(page, Qt::RightButton, {}, QPoint(page->width() - 5, 5));
    ASSERT_EQ(1u, launched_.size());
    EXPECT_EQ(address, launched_[0]);
    for (const char* name : {"Label3", "Label6", "Label4", "LabelWeb", "LabelVersion"}) {
        QTest::mouseClick(Get<QWidget>(name), Qt::LeftButton, {}, QPoint(2, 2));
    }
    EXPECT_EQ(6u, launched_.size());
    // The read-me text box does not react.
    auto* memo = Get<QPlainTextEdit>("Memo1");
    QTest::mouseClick(memo->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(6u, launched_.size());
    Destroy();

    // Where nothing can open it, the status bar says so.
    WindowServices services;
    services.dialogs = &dialogs_;
    services.launch = [](const std::string&) { return kLaunchNoAssociation; };
    window_ = std::make_unique<TFormFerrit>(services);
    window_->show();
    window_->LaunchWebSite();
    EXPECT_EQ(QString::fromStdString("Could not open " + address +
                                     ": no program to open it is set up (xdg-open)"),
              window_->findChild<QStatusBar*>(QStringLiteral("StatusBar1"))->currentMessage());
}

}  // namespace
}  // namespace ferrit
