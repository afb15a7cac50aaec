#include "ui/tform_ferrit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QUrl>

#include "engine/run_summary.h"
#include "nwemu/client_factory.h"
#include "options/option_reasons.h"
#include "platform/fs_util.h"
#include "platform/launch.h"
#include "platform/system_services.h"
#include "ui/elided_text.h"
#include "ui/qt_dialogs.h"
#include "ui/select_directory_dialog.h"
#include "ui/window_placement.h"
#include "ui_tform_ferrit.h"

#ifndef FERRIT_DOC_DIR
#define FERRIT_DOC_DIR "/usr/local/share/doc/Ferrit"
#endif
#ifndef FERRIT_DATA_DIR
#define FERRIT_DATA_DIR "/usr/local/share/ferrit"
#endif

namespace ferrit {

namespace {

constexpr int kLeft = 380;
constexpr int kTop = 253;
constexpr int kOuterWidth = 540;
constexpr int kOuterHeight = 518;
// The smallest inner size offered: the option list still shows a few lines, and no control
// lies over another (the layout's own minimum is kept where it asks for more).
constexpr int kMinWidth = 400;
constexpr int kMinHeight = 330;
// The run logs kept in the state directory, the newest.
constexpr int kRunLogsKept = 20;

std::string TextOf(const QComboBox* field) {
    return field->currentText().toStdString();
}

// The tooltip of a greyed control: the reason, in the words ferrit-cli warns with.
QString GreyedTip(const std::string& reason) {
    return reason.empty() ? QString() : QString::fromStdString("Greyed because " + reason);
}

}  // namespace

QString TFormFerrit::DocumentationAddress() {
    // The installed read-me first, then one beside the program, then the README of a source
    // tree the program was started in (as `make run` does), then the read-me text.
    const QString here = QDir::current().absoluteFilePath(QStringLiteral("README.md"));
    const QString candidates[] = {
        QStringLiteral(FERRIT_DOC_DIR "/README.md"),
        QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("README.md")),
        QFileInfo::exists(QStringLiteral("Ferrit.txt")) ? here : QString(),
        QStringLiteral(FERRIT_DATA_DIR "/Ferrit.txt"),
    };
    for (const QString& candidate : candidates) {
        if (!candidate.isEmpty() && QFileInfo(candidate).isFile()) {
            return QUrl::fromLocalFile(candidate).toString();
        }
    }
    return QUrl::fromLocalFile(candidates[0]).toString();
}

TFormFerrit::TFormFerrit(WindowServices services, QWidget* parent)
    : QMainWindow(parent),
      ui_(new Ui::TFormFerrit),
      ownDialogs_(services.dialogs ? nullptr : new QtDialogs(this)),
      ownFiles_(services.files ? nullptr : MakeFileServices()),
      clientChoice_(services.client ? nwemu::NetWareClientChoice() : nwemu::ChooseNetWareClient()),
      dialogs_(services.dialogs ? *services.dialogs : *ownDialogs_),
      files_(services.files ? *services.files : *ownFiles_),
      client_(services.client ? *services.client : *clientChoice_.client),
      launch_(services.launch ? services.launch : LaunchCommand),
      netware_(client_, files_, runDialogs_),
      engine_(run_, options_, netware_, files_, runDialogs_, loggedSink_) {
    ui_->setupUi(this);
    // The target's file system chooses how many copies go side by side.
    engine_.SetJobs(0);
    // Resizable and minimisable, but no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    move(kLeft, kTop);
    resize(kOuterWidth, kOuterHeight);
    ApplyFonts();

    for (QLabel* label :
         std::initializer_list<QLabel*>{ui_->Label12, ui_->Label13, ui_->Label14, ui_->LabelAvail,
                                        ui_->LabelVersion, ui_->LabelWeb, ui_->Label4}) {
        label->setTextFormat(Qt::PlainText);
    }
    ui_->LabelWeb->setText(DocumentationAddress());
    ui_->BitBtnOpenLog->setToolTip(GreyedTip("no run has written a log yet"));
    // Shown beside the walked directory once the window has been asked to close during a run.
    closeNote_ = new QLabel(QStringLiteral("The window closes when the run has finished"));
    closeNote_->setObjectName(QStringLiteral("LabelClosing"));
    closeNote_->setMinimumWidth(1);  // never widens the window; cut at the right if narrow
    closeNote_->hide();
    ui_->StatusBar1->addPermanentWidget(closeNote_);
    const QIcon folder = style()->standardIcon(QStyle::SP_DirOpenIcon);
    ui_->BitBtn1->setIcon(folder);
    ui_->BitBtn2->setIcon(folder);
    for (QComboBox* field : {ui_->ComboSource, ui_->ComboTarget, ui_->ComboPattern}) {
        // Typed text stays exactly as typed; the lists change only when a run starts.
        field->setCompleter(nullptr);
        field->setInsertPolicy(QComboBox::NoInsert);
    }

    // The Info page and its five labels open the documentation.
    ui_->TabSheetInfo->installEventFilter(this);
    for (QLabel* label : std::initializer_list<QLabel*>{ui_->Label6, ui_->Label3, ui_->Label4,
                                                        ui_->LabelWeb, ui_->LabelVersion}) {
        label->installEventFilter(this);
    }

    for (QComboBox* field : {ui_->ComboSource, ui_->ComboTarget}) {
        connect(field->lineEdit(), &QLineEdit::textEdited, this, [this] { EditPathChange(); });
        connect(field, &QComboBox::activated, this, [this] { EditPathChange(); });
    }
    connect(ui_->BitBtn1, &QAbstractButton::clicked, this, [this] { ButtonSelectSourceClick(); });
    connect(ui_->BitBtn2, &QAbstractButton::clicked, this, [this] { ButtonSelectTargetClick(); });
    connect(ui_->BitBtnStart, &QAbstractButton::clicked, this, [this] { ButtonStartClick(); });
    connect(ui_->BitBtnExit, &QAbstractButton::clicked, this, [this] { ButtonStopClick(); });
    connect(ui_->BitBtnAbort, &QAbstractButton::clicked, this, [this] { BitBtnAbortClick(); });
    connect(ui_->BitBtnOpenLog, &QAbstractButton::clicked, this, [this] { BitBtnOpenLogClick(); });
    new ElidedListLines(ui_->ListBoxStatus);
    connect(ui_->clb, &QListWidget::itemChanged, this,
            [this](QListWidgetItem* item) { OptionItemChanged(item); });

    FormCreate();
    // The described place, moved onto the screen before the window first shows.
    FitOnScreen();
}

TFormFerrit::~TFormFerrit() {
    WriteDefaults();
}

void TFormFerrit::ApplyFonts() {
    QFont base = QApplication::font();
    base.setPixelSize(14);
    setFont(base);

    QFont mono(QStringLiteral("Courier New"));
    mono.setStyleHint(QFont::TypeWriter);
    mono.setFixedPitch(true);
    mono.setPixelSize(14);
    for (QLabel* label : {ui_->Label12, ui_->Label13, ui_->Label14}) {
        label->setFont(mono);
    }

    QFont title(QStringLiteral("Arial"));
    title.setStyleHint(QFont::SansSerif);
    title.setPixelSize(45);
    title.setBold(true);
    const struct {
        QLabel* label;
        QColor colour;
    } names[] = {{ui_->Label3, QColor(255, 0, 0)}, {ui_->Label6, QColor(128, 128, 128)}};
    for (const auto& n : names) {
        n.label->setFont(title);
        QPalette palette = n.label->palette();
        palette.setColor(QPalette::WindowText, n.colour);
        n.label->setPalette(palette);
    }
}

void TFormFerrit::FormCreate() {
    // 1. The version text.
    ui_->LabelVersion->setText(QStringLiteral("Ferrit.exe (2007/02)"));

    // 2. The read-me text from the current directory; on any failure the initial line stays.
    QFile readme(QStringLiteral("Ferrit.txt"));
    if (readme.exists() && readme.open(QIODevice::ReadOnly | QIODevice::Text)) {
        const QByteArray text = readme.readAll();
        if (readme.error() == QFileDevice::NoError) {
            ui_->Memo1->setPlainText(QString::fromUtf8(text));
        }
    }

    // 3. NetWare client start-up. The client is the emulated one when its description file
    //    exists, on Windows else the installed one (named in the status bar); a description
    //    or an installed client that cannot be used is reported here and the window works
    //    without NetWare. InitNetWare reports its own failure; its result is not examined.
    //    Where no client is configured at all there is nothing to start: the status bar says
    //    so instead of a message box at every start.
    if (!clientChoice_.error.empty()) {
        ShowMessageBox(dialogs_, DialogKind::Error, clientChoice_.error);
    }
    if (clientChoice_.client && !clientChoice_.configured) {
        ui_->StatusBar1->showMessage(
            QStringLiteral("NetWare: no client configured; the NetWare options are unavailable"));
    } else {
        netware_.InitNetWare();
        if (!clientChoice_.clientText.empty()) {
            ui_->StatusBar1->showMessage(QString::fromStdString(clientChoice_.clientText));
        }
    }

    // 4. The status outlet gets the progress labels and the other Progress-tab controls.
    sink_.SetLabels(ui_->Label12, ui_->Label13, ui_->Label14, ui_->Panel2);
    sink_.SetList(ui_->ListBoxStatus);
    sink_.SetStatusBar(ui_->StatusBar1);
    sink_.SetPages(ui_->PageControl1, ui_->TabSheetProgress);
    // At the end of a run the passes are over: the paths are looked at again even though the
    // run has not returned yet, since the run may have used space or made a directory (the
    // window's own pair is never written by the run).
    sink_.SetRunFinishedHandler([this] { EvaluatePaths(); });
    sink_.SetAvailableSpace(ui_->LabelAvail);
    sink_.SetProgress(ui_->ProgressBarRun, ui_->LabelFigures, &run_,
                      [this] { return engine_.BytesInFlight(); });

    // 5. Run data and the window's pair start empty.
    run_.Clear();
    location_ = DirectoryPair();

    // 6. The settings file. One that cannot be read (not a regular file, too large) is
    //    reported; the window then starts from the defaults and never overwrites it.
    settings_ = std::make_unique<SettingsFile>("Ferrit.Ini");
    if (!settings_->LoadProblem().empty()) {
        ShowMessageBox(dialogs_, DialogKind::Error,
                       settings_->LoadProblem() + "; the default settings are used");
    }

    // 7. The option list, ticked as saved.
    CreateChecklistbox();

    // 8. Texts and histories, then one evaluation of the paths.
    ReadDefaults();

    // 9. The Settings tab.
    ui_->PageControl1->setCurrentWidget(ui_->TabSheetSettings);
}

void TFormFerrit::CreateChecklistbox() {
    {
        const QSignalBlocker block(ui_->clb);
        for (int i = 0; i < kOptionCount; ++i) {
            auto* item = new QListWidgetItem(QString::fromUtf8(OptionCaptions[i]), ui_->clb);
            item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsSelectable | Qt::ItemIsEnabled);
            item->setCheckState(Qt::Checked);
        }
    }
    LoadTickedStates(*settings_, options_);
    SyncOptionList();
}

void TFormFerrit::ReadDefaults() {
    SettingsFields fields;
    ferrit::ReadDefaults(*settings_, fields);
    SetFieldText(ui_->ComboSource, fields.source.text);
    SetFieldText(ui_->ComboTarget, fields.target.text);
    SetFieldText(ui_->ComboPattern, fields.pattern.text);
    sourceHistory_ = fields.source.items;
    targetHistory_ = fields.target.items;
    patternHistory_ = fields.pattern.items;
    SetHistory(ui_->ComboSource, sourceHistory_);
    SetHistory(ui_->ComboTarget, targetHistory_);
    SetHistory(ui_->ComboPattern, patternHistory_);
    EditPathChange();
}

void TFormFerrit::SetFieldText(QComboBox* field, const std::string& text) {
    // Setting the text from code is no operator edit: no path evaluation follows.
    field->setEditText(QString::fromStdString(text));
}

void TFormFerrit::SetHistory(QComboBox* field, const std::vector<std::string>& items) {
    const QString text = field->currentText();
    const QSignalBlocker block(field);
    field->clear();
    for (const std::string& item : items) {
        field->addItem(QString::fromStdString(item));
    }
    field->setCurrentIndex(-1);
    field->setEditText(text);
}

SettingsFields TFormFerrit::CurrentFields() const {
    SettingsFields fields;
    fields.source = {TextOf(ui_->ComboSource), sourceHistory_};
    fields.target = {TextOf(ui_->ComboTarget), targetHistory_};
    fields.pattern = {TextOf(ui_->ComboPattern), patternHistory_};
    return fields;
}

void TFormFerrit::SyncOptionList() {
    syncingOptions_ = true;
    for (int i = 0; i < kOptionCount && i < ui_->clb->count(); ++i) {
        QListWidgetItem* item = ui_->clb->item(i);
        const uint8_t index = static_cast<uint8_t>(i);
        const Qt::CheckState state = options_.Ticked(index) ? Qt::Checked : Qt::Unchecked;
        if (item->checkState() != state) {
            item->setCheckState(state);
        }
        Qt::ItemFlags flags = Qt::ItemIsUserCheckable | Qt::ItemIsSelectable;
        if (options_.Enabled(index)) {
            flags |= Qt::ItemIsEnabled;
        }
        if (item->flags() != flags) {
            item->setFlags(flags);
        }
        const QString tip = GreyedTip(DisabledReason(index, options_, FactsOf(location_)));
        if (item->toolTip() != tip) {
            item->setToolTip(tip);
        }
    }
    syncingOptions_ = false;
}

void TFormFerrit::OptionItemChanged(QListWidgetItem* item) {
    if (syncingOptions_) {
        return;
    }
    const int row = ui_->clb->row(item);
    if (row < 0 || row >= kOptionCount) {
        return;
    }
    const uint8_t index = static_cast<uint8_t>(row);
    const bool ticked = item->checkState() == Qt::Checked;
    if (!options_.Enabled(index) || ticked == options_.Ticked(index)) {
        SyncOptionList();  // a disabled item keeps its state
        return;
    }
    options_.SetTicked(index, ticked);
    clbClickCheck();
}

void TFormFerrit::clbClickCheck() {
    if (!ferrit::clbClickCheck(options_, FactsOf(location_))) {
        startPermitted_ = false;
        UpdateStartButton();
    }
    SyncOptionList();
}

void TFormFerrit::UpdateStartButton() {
    // A second run must never start inside the first through the event pump.
    ui_->BitBtnStart->setEnabled(startPermitted_ && !running_);
    std::string reason;
    if (running_) {
        reason = "a run is under way";
    } else if (!startPermitted_) {
        reason = startReason_;
    }
    ui_->BitBtnStart->setToolTip(GreyedTip(reason));
}

void TFormFerrit::EditPathChange() {
    if (running_) {
        // The options in force and the greyed ones stay those of the run's roots while it goes
        // on: the field keeps the new text, and it is looked at when the run has finished.
        pathEditDuringRun_ = true;
        return;
    }
    EvaluatePaths();
}

void TFormFerrit::EvaluatePaths() {
    pathEditDuringRun_ = false;
    location_ = netware_.GetNetWarePaths(TextOf(ui_->ComboSource), TextOf(ui_->ComboTarget));
    ui_->LabelAvail->setText(QString::fromStdString(location_.AvailText));

    const TPathInfo& source = location_.PathInfo[kSource];
    const TPathInfo& target = location_.PathInfo[kTarget];
    StartPaths paths;
    paths.sourceGiven = !source.OemPath.empty();
    paths.sourceExists = source.DirExists;
    paths.targetGiven = !target.OemPath.empty();
    paths.targetExists = target.DirExists;
    startPermitted_ =
        paths.sourceGiven && paths.sourceExists && paths.targetGiven && paths.targetExists;

    ui_->ComboSource->setToolTip(
        source.OemPath.empty() ? QString() : QString::fromStdString(UniversalName(source.OemPath)));
    ui_->ComboTarget->setToolTip(
        target.OemPath.empty() ? QString() : QString::fromStdString(UniversalName(target.OemPath)));

    const LocationFacts facts = FactsOf(location_);
    if (!CheckBoxDependancies(options_, facts)) {
        startPermitted_ = false;
    }
    startReason_ = StartDisabledReason(paths, facts);
    UpdateStartButton();
    SyncOptionList();
}

void TFormFerrit::ButtonStartClick() {
    if (running_) {
        return;
    }
    const std::string source = TextOf(ui_->ComboSource);
    const std::string target = TextOf(ui_->ComboTarget);
    const std::string pattern = TextOf(ui_->ComboPattern);
    AddHistoryItem(sourceHistory_, source);
    AddHistoryItem(targetHistory_, target);
    AddHistoryItem(patternHistory_, pattern);
    SetHistory(ui_->ComboSource, sourceHistory_);
    SetHistory(ui_->ComboTarget, targetHistory_);
    SetHistory(ui_->ComboPattern, patternHistory_);

    running_ = true;
    UpdateStartButton();
    ui_->BitBtnOpenLog->setEnabled(false);  // until this run's log is complete
    ui_->BitBtnOpenLog->setToolTip(GreyedTip("a run is under way"));
    OpenRunLog(source, target, pattern);
    runDialogs_.NewRun();
    // The run's questions leave the window usable, so that its Abort answers them.
    if (ownDialogs_) {
        ownDialogs_->SetWindowStaysLive(true);
    }
    engine_.ButtonStartClick(RunRequest{source, target, pattern});
    if (ownDialogs_) {
        ownDialogs_->SetWindowStaysLive(false);
    }
    FinishRunLog();
    sink_.RunReturned();  // a run that stopped at a missing root paints again too
    running_ = false;
    if (pathEditDuringRun_) {
        EvaluatePaths();  // a run that stopped before its end left an edit unevaluated
    }
    UpdateStartButton();

    if (closeRequested_) {
        closeRequested_ = false;
        closeNote_->hide();
        close();
    }
}

void TFormFerrit::BitBtnAbortClick() {
    engine_.BitBtnAbortClick();
    // A question of the run that waits is answered Abort.
    if (ownDialogs_ && running_) {
        ownDialogs_->AnswerOpenBoxes(Answer::Abort);
    }
}

void TFormFerrit::ButtonSelectSourceClick() {
    SelectDirectory(ui_->ComboSource);
}

void TFormFerrit::ButtonSelectTargetClick() {
    SelectDirectory(ui_->ComboTarget);
}

void TFormFerrit::SelectDirectory(QComboBox* field) {
    QString chosen;
    if (!SelectDirectoryDialog::Select(field->currentText(), dialogs_, files_, this, chosen)) {
        return;
    }
    SetFieldText(field, chosen.toStdString());
    EditPathChange();
}

void TFormFerrit::ButtonStopClick() {
    close();
}

void TFormFerrit::LaunchWebSite() {
    OpenDocument(ui_->LabelWeb->text().toStdString());
}

void TFormFerrit::BitBtnOpenLogClick() {
    if (!lastLog_.empty()) {
        OpenDocument(lastLog_);
    }
}

void TFormFerrit::OpenDocument(const std::string& address) {
    const int32_t result = launch_(address);
    if (result > 32) {
        return;
    }
    std::string why;
    switch (result) {
        case kLaunchNoAssociation:
            why = "no program to open it is set up (xdg-open)";
            break;
        case kLaunchFileNotFound:
            why = "it does not exist";
            break;
        default:
            why = "error " + std::to_string(result);
            break;
    }
    ui_->StatusBar1->showMessage(QString::fromStdString("Could not open " + address + ": " + why));
}

void TFormFerrit::OpenRunLog(const std::string& source, const std::string& target,
                             const std::string& pattern) {
    logProblem_.clear();
    if (!log_.Open(NewRunLogPath(RunLogDirectory(), kRunLogsKept), logProblem_)) {
        return;
    }
    for (const std::string& line :
         RunLogHeading(LocalTimeText(), source, target, pattern, options_)) {
        log_.Line(line);
    }
    loggedSink_.SetLog(&log_);
}

void TFormFerrit::FinishRunLog() {
    loggedSink_.SetLog(nullptr);
    const std::string summary = RunSummary(run_);
    if (log_.IsOpen()) {
        log_.Line(summary);
        if (log_.Close(logProblem_)) {
            lastLog_ = log_.Path();
        }
    }
    ui_->BitBtnOpenLog->setEnabled(!lastLog_.empty());
    ui_->BitBtnOpenLog->setToolTip(lastLog_.empty() ? GreyedTip("no run has written a log yet")
                                                    : QString::fromStdString(lastLog_));
    // A run that stopped at a missing root leaves the list as it was; its reason was asked.
    if (run_.PassesRan) {
        sink_.ShowSummary(summary);
    } else {
        sink_.ShowStatusText(summary);
    }
    if (!logProblem_.empty()) {
        sink_.ShowStatusText(summary + " (the run log could not be written: " + logProblem_ + ")");
    }
}

void TFormFerrit::WriteDefaults() {
    if (defaultsWritten_ || !settings_) {
        return;
    }
    defaultsWritten_ = true;
    ferrit::WriteDefaults(*settings_, options_, CurrentFields(), dialogs_);
    settings_.reset();
}

void TFormFerrit::closeEvent(QCloseEvent* event) {
    if (running_) {
        // The window closes when the run has returned; the operator says whether the run is
        // aborted first or finishes. Asked once: a second request waits like the first.
        event->ignore();
        if (closeRequested_ || askingToClose_) {
            return;
        }
        askingToClose_ = true;
        const DialogAnswer answer =
            runDialogs_.Show(DialogKind::Confirmation,
                             "A run is under way. Abort it and close the window?\n"
                             "No lets the run finish first; Cancel keeps the window open.",
                             Btn::Yes | Btn::No | Btn::Cancel);
        askingToClose_ = false;
        if (!running_) {
            // The run ended while the question was open: nothing is left to wait for.
            if (answer == Answer::Yes || answer == Answer::No) {
                close();
            }
            return;
        }
        if (answer == Answer::Yes) {
            BitBtnAbortClick();
        }
        if (answer == Answer::Yes || answer == Answer::No) {
            closeRequested_ = true;
            closeNote_->show();
        }
        return;
    }
    event->accept();
}

void TFormFerrit::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (placed_) {
        return;
    }
    placed_ = true;
    setMinimumSize(minimumSizeHint().expandedTo(QSize(kMinWidth, kMinHeight)));
    // 540 x 518 is the outer size, frame included, where the window system has a frame.
    const QRect frame = frameGeometry();
    const QRect inner = geometry();
    const int dw = frame.width() - inner.width();
    const int dh = frame.height() - inner.height();
    if (dw > 0 || dh > 0) {
        resize(kOuterWidth - dw, kOuterHeight - dh);
        move(kLeft, kTop);
    }
    FitOnScreen();  // now with the frame the window system gave it
}

void TFormFerrit::FitOnScreen() {
    const QRect frame = frameGeometry();
    const QRect inner = geometry();
    const QSize margins(frame.width() - inner.width(), frame.height() - inner.height());
    std::vector<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens()) {
        areas.push_back(screen->availableGeometry());
    }
    const QRect placed = PlaceOnScreen(frame, areas, minimumSize() + margins);
    if (placed.size() != frame.size()) {
        resize(placed.size() - margins);
    }
    if (placed.topLeft() != frame.topLeft()) {
        move(placed.topLeft());
    }
}

bool TFormFerrit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->TabSheetInfo) {
        if (event->type() == QEvent::MouseButtonPress ||
            event->type() == QEvent::MouseButtonDblClick) {
            // A press the read-me text left unhandled (any but the left button) comes up to
            // the page too; it belongs to the text and its own context menu.
            const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
            QWidget* hit = ui_->TabSheetInfo->childAt(at);
            if (hit && (hit == ui_->Memo1 || ui_->Memo1->isAncestorOf(hit))) {
                return false;
            }
            LaunchWebSite();  // any button, anywhere on the free area of the page
            return true;
        }
        return QMainWindow::eventFilter(watched, event);
    }
    // One of the five labels: a click (left press and release over the label).
    auto* label = qobject_cast<QLabel*>(watched);
    if (label) {
        if (event->type() == QEvent::MouseButtonPress ||
            event->type() == QEvent::MouseButtonDblClick) {
            return true;  // the label's own press, not one of the page
        }
        if (event->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton &&
                label->rect().contains(mouse->position().toPoint())) {
                LaunchWebSite();
            }
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace ferrit
