// The window's side of the engine's status outlet: the three progress labels, the status list
// with its 1000-line cap, the status bar, the run colours of the list and the event pump.
#pragma once

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

    QPointer<QLabel> labels_[4];  // 1 to 3 used
    QPointer<QWidget> panel_;
    QPointer<QListWidget> list_;
    QPointer<QStatusBar> bar_;
    QPointer<QTabWidget> pages_;
    QPointer<QWidget> progressPage_;
    std::function<void()> onFinished_;
    bool holding_ = false;
    QElapsedTimer sincePaint_;
};

}  // namespace ferrit
