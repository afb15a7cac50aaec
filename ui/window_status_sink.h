// The window's side of the engine's status outlet: the three progress labels, the status list
// with its 1000-line cap, the status bar, the run colours of the list and the event pump.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QColor>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QWidget>

#include "engine/run_data.h"
#include "engine/status_sink.h"
#include "support/dialogs.h"

namespace ferrit {

// Keeps the newest line of the list in view: unless the list has the input focus, the last line
// is shown whole at the bottom (the first line stays on top while every line fits).
void ScrollToEnd(QListWidget* list);

// Keeps a widget's layout requests back while held, and hands on one at the release when any
// came meanwhile.
class LayoutRequestHold : public QObject {
  public:
    void Hold() { holding_ = true; }
    void Release();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<QObject> held_;  // the widget whose request waits
    bool holding_ = false;
};

class WindowStatusSink : public StatusSink {
  public:
    static constexpr int kMaxLines = 1000;
    // The list's colour after a run: the inactive caption colour.
    static QColor AfterRunColour() { return QColor(191, 205, 219); }

    // The progress labels, line 1 to 3, and the panel that holds them.
    void SetLabels(QLabel* line1, QLabel* line2, QLabel* line3, QWidget* panel);
    void SetList(QListWidget* list) { list_ = list; }
    void SetStatusBar(QStatusBar* bar) { bar_ = bar; }
    void SetPages(QTabWidget* pages, QWidget* progressPage);
    // The available-space label: during a run it shows, from the next pump or paint on, the
    // space the run's directory steps have found.
    void SetAvailableSpace(QLabel* label) { availLabel_ = label; }
    // What RunFinished has the window do after the colour: look at its paths again.
    void SetRunFinishedHandler(std::function<void()> handler) { onFinished_ = std::move(handler); }
    // The run's bar and the line of figures under it, fed from the run's counts and the data
    // already written by copies not yet reported.
    void SetProgress(QProgressBar* bar, QLabel* figures, const RunData* run,
                     std::function<int64_t()> inFlight) {
        progressBar_ = bar;
        figures_ = figures;
        run_ = run;
        inFlight_ = std::move(inFlight);
    }

    void StatusDisplay(uint8_t line, const std::string& text) override;
    void StatusInfo(const std::string& text) override;
    void ShowWalkDirectory(const std::string& path) override;
    void ShowAvailableSpace(const std::string& text) override;
    void PumpMessages() override;
    void RunStarted() override;
    void ShowProgressPage() override;
    void RunFinished() override;
    // The run's handler has returned, whether or not the run got as far as RunFinished: what
    // waits is shown and painted, the end of the list in view.
    void RunReturned();
    // Shows at once what waits for the next paint (before a dialog covers the window).
    void ShowPending();
    // The last line of a run: appended to the list, kept in the status bar, and in view. Given
    // before RunReturned, it is shown with RunReturned's paint.
    void ShowSummary(const std::string& text);
    // The status bar's text, shown with the other texts.
    void ShowStatusText(const std::string& text);
    // Status-list lines written since the window opened, shown or not yet.
    int LinesWritten() const { return linesWritten_; }

    // During a run the widgets are given their new texts at most this often: the texts are
    // kept at once, the screen follows at a rate a person can read, and a run over many small
    // files is not held up by painting after each one (a paint costs more than the copy of a
    // small file). A widget always paints the last text it was given, never an empty one.
    static constexpr int kPaintIntervalMs = 100;
    // During a run the pumps (a status line, a directory entered, a directory step, a copy
    // waited for) handle the window's events (Abort, the other controls, resizing) at most
    // this often: at once for a person, while a run over many small files or directories does
    // not spend its time asking the window system for news after each one. The first status
    // line of a run always handles them.
    static constexpr int kPumpIntervalMs = 10;

  private:
    void SetListColour(const QColor& colour);
    // Gives the widgets what was written since they were last given it, and paints them now.
    void ShowNow();
    // Gives the widgets what was written since they were last given it.
    void GiveTexts();
    // Paints what changed, in one go, now.
    void Paint();
    // Queues a line for the list (appended at once outside a run), without a pump.
    void QueueLine(const std::string& text);
    // ShowNow, when the interval has passed since the last time.
    void PaintIfDue();
    // Whether a pump now handles the window's events: always outside a run, during one once
    // the pump interval has passed since they were last handled.
    bool PumpDue() const;
    // Handles the window's waiting events now, the available space and a due paint first.
    void HandleEvents();
    // Gives the available-space label the text found last.
    void ApplyAvailableSpace();
    // The bar and the figures from the run's counts.
    void UpdateProgress();
    // Gives the progress labels the texts set since they were last shown.
    void ApplyPendingTexts();
    // Appends the lines written since the list was last shown, keeping it at its maximum.
    void AppendPendingLines();

    QPointer<QLabel> labels_[4];  // 1 to 3 used
    QPointer<QWidget> panel_;
    QPointer<QListWidget> list_;
    QPointer<QStatusBar> bar_;
    QPointer<QTabWidget> pages_;
    // During a run the tab control's layout requests wait: it answers each by painting itself
    // whole, and every new text of a progress label asks for one.
    LayoutRequestHold pagesLayout_;
    QPointer<QWidget> progressPage_;
    std::function<void()> onFinished_;
    QPointer<QLabel> availLabel_;
    QString availText_;  // the text the label is to show at the next pump
    bool availPending_ = false;
    // The lines not shown yet: a ring of as many as the list holds, the oldest at
    // pendingFirst_; a slot keeps its storage for the next line.
    std::vector<std::string> pendingLines_ = std::vector<std::string>(kMaxLines);
    size_t pendingFirst_ = 0;
    size_t pendingCount_ = 0;
    int linesWritten_ = 0;
    std::string pending_[4];  // the progress lines' texts not shown yet, 1 to 3 used
    bool hasPending_[4] = {false, false, false, false};
    std::string pendingBar_;  // the status bar's text not shown yet
    bool hasPendingBar_ = false;
    bool coalescing_ = false;  // during a run: texts wait for the paint interval
    QElapsedTimer sincePaint_;
    QElapsedTimer sincePump_;   // since the events were last handled; invalid: the next pump does
    bool lineHandled_ = false;  // the run's first status line has handled the events
    QPointer<QProgressBar> progressBar_;
    QPointer<QLabel> figures_;
    const RunData* run_ = nullptr;
    std::function<int64_t()> inFlight_;
};

// The dialogs of a run: before any of them covers the window, what the run has written so far
// is shown, so the operator answers with the latest lines in view. They also offer answers for
// the rest of the run: "Ignore All" beside Abort and Ignore, "Yes to All" and "No to All" in
// the overwrite question. The engine still receives the plain answers (Ignore, Yes, No).
class RunDialogs : public Dialogs {
  public:
    RunDialogs(Dialogs& inner, WindowStatusSink& sink) : inner_(inner), sink_(sink) {}
    // Forgets the answers given for the rest of the last run.
    void NewRun() {
        ignoreAll_ = false;
        overwriteAll_ = Answer::None;
    }
    DialogAnswer Show(DialogKind kind, const std::string& text, DialogButtons buttons) override;
    DialogAnswer ShowError(DialogKind kind, int32_t code, const std::string& text,
                           DialogButtons buttons) override;
    DialogAnswer ShowDescribedError(DialogKind kind, int32_t code, const std::string& text,
                                    const std::string& description, DialogButtons buttons) override;
    DialogAnswer AskOverwrite(const std::string& text, const OverwriteFacts& facts,
                              DialogButtons buttons) override;
    void HourglassOn() override { inner_.HourglassOn(); }
    void HourglassOff() override { inner_.HourglassOff(); }

  private:
    // Whether Ignore is given for the dialog without asking; else adds "Ignore All" where the
    // dialog offers Abort and Ignore.
    bool Ignored(DialogButtons& buttons) const;
    // The answer for the engine, remembering "Ignore All".
    DialogAnswer Plain(DialogAnswer answer);

    Dialogs& inner_;
    WindowStatusSink& sink_;
    bool ignoreAll_ = false;
    DialogAnswer overwriteAll_ = Answer::None;  // Yes or No for every further question
};

}  // namespace ferrit
