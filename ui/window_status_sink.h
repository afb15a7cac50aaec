// The window's side of the engine's status outlet: the three progress labels, the status list
// with its 1000-line cap, the status bar, the run colours of the list and the event pump.
#pragma once

#include <deque>
#include <functional>

#include <QColor>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QStatusBar>
#include <QTabWidget>
#include <QWidget>

#include "engine/status_sink.h"
#include "support/dialogs.h"

namespace ferrit {

// Keeps the newest line of the list in view: unless the list has the input focus, the top line
// becomes the line count minus the whole lines that fit into the list's visible area.
void ScrollToEnd(QListWidget* list);

class WindowStatusSink : public StatusSink {
  public:
    static constexpr int kMaxLines = 1000;
    // The list's colour after a run: the inactive caption colour.
    static QColor AfterRunColour() { return QColor(191, 205, 219); }

    // The progress labels, line 1 to 3, and the panel that holds them.
    void SetLabels(QLabel* line1, QLabel* line2, QLabel* line3, QWidget* panel);
    void SetList(QListWidget* list) { list_ = list; }
    void SetStatusBar(QStatusBar* bar) { bar_ = bar; }
    void SetPages(QTabWidget* pages, QWidget* progressPage) {
        pages_ = pages;
        progressPage_ = progressPage;
    }
    // The available-space label and the text the location state keeps for it: the label
    // follows the text at every pump, so the directory steps' evaluations show during a run.
    void SetAvailableSpace(QLabel* label, const std::string* text) {
        availLabel_ = label;
        availText_ = text;
    }
    // What RunFinished has the window do after the colour: evaluate the paths again.
    void SetRunFinishedHandler(std::function<void()> handler) { onFinished_ = std::move(handler); }

    void StatusDisplay(uint8_t line, const std::string& text) override;
    void StatusInfo(const std::string& text) override;
    void ShowWalkDirectory(const std::string& path) override;
    void PumpMessages() override;
    void RunStarted() override;
    void ShowProgressPage() override;
    void RunFinished() override;
    // The run's handler has returned, whether or not the run got as far as RunFinished.
    void RunReturned() { HoldPaints(false); }
    // Shows at once what waits for the next paint (before a dialog covers the window).
    void ShowPending();
    // Status-list lines written since the window opened, shown or not yet.
    int LinesWritten() const { return linesWritten_; }

    // Paints are made at most this often during a run: the texts change at once, the screen
    // follows at a rate a person can read, and a run over many small files is not held up by
    // painting after each one.
    static constexpr int kPaintIntervalMs = 40;

  private:
    void SetListColour(const QColor& colour);
    // The widgets the run writes to, painted only when PaintIfDue lets them.
    void HoldPaints(bool hold);
    // Paints what changed since the last paint, when the interval has passed.
    void PaintIfDue();
    // Gives the progress labels the texts set since they were last shown.
    void ApplyPendingTexts();
    // Appends the lines written since the list was last shown, keeping it at its maximum.
    void AppendPendingLines();

    QPointer<QLabel> labels_[4];  // 1 to 3 used
    QPointer<QWidget> panel_;
    QPointer<QListWidget> list_;
    QPointer<QStatusBar> bar_;
    QPointer<QTabWidget> pages_;
    QPointer<QWidget> progressPage_;
    std::function<void()> onFinished_;
    QPointer<QLabel> availLabel_;
    const std::string* availText_ = nullptr;
    std::deque<QString> pendingLines_;
    int linesWritten_ = 0;
    QString pending_[4];  // the progress lines' texts not shown yet, 1 to 3 used
    bool hasPending_[4] = {false, false, false, false};
    bool holding_ = false;
    QElapsedTimer sincePaint_;
};

// The dialogs of a run: before any of them covers the window, what the run has written so far
// is shown, so the operator answers with the latest lines in view.
class RunDialogs : public Dialogs {
  public:
    RunDialogs(Dialogs& inner, WindowStatusSink& sink) : inner_(inner), sink_(sink) {}
    DialogAnswer Show(DialogKind kind, const std::string& text, DialogButtons buttons) override {
        sink_.ShowPending();
        return inner_.Show(kind, text, buttons);
    }
    DialogAnswer ShowError(DialogKind kind, int32_t code, const std::string& text,
                           DialogButtons buttons) override {
        sink_.ShowPending();
        return inner_.ShowError(kind, code, text, buttons);
    }
    DialogAnswer ShowDescribedError(DialogKind kind, int32_t code, const std::string& text,
                                    const std::string& description,
                                    DialogButtons buttons) override {
        sink_.ShowPending();
        return inner_.ShowDescribedError(kind, code, text, description, buttons);
    }
    void HourglassOn() override { inner_.HourglassOn(); }
    void HourglassOff() override { inner_.HourglassOff(); }

  private:
    Dialogs& inner_;
    WindowStatusSink& sink_;
};

}  // namespace ferrit
