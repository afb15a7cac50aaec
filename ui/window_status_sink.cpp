#include "ui/window_status_sink.h"

#include <QApplication>
#include <QStringList>

#include <algorithm>
#include <chrono>

#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QStatusBar>
#include <QTabWidget>

#include "engine/run_summary.h"

namespace ferrit {

void ScrollToEnd(QListWidget* list) {
    if (!list || list->hasFocus() || list->count() == 0) {
        return;
    }
    // The last line at the bottom, whole, whatever the height of the rows; a list whose lines
    // all fit stays at its first line.
    list->scrollToBottom();
}

bool LayoutRequestHold::eventFilter(QObject* watched, QEvent* event) {
    if (holding_ && event->type() == QEvent::LayoutRequest) {
        held_ = watched;
        return true;
    }
    return false;
}

void LayoutRequestHold::Release() {
    holding_ = false;
    if (held_) {
        QCoreApplication::postEvent(held_, new QEvent(QEvent::LayoutRequest));
        held_ = nullptr;
    }
}

void WindowStatusSink::SetPages(QTabWidget* pages, QWidget* progressPage) {
    if (pages_) {
        pages_->removeEventFilter(&pagesLayout_);
    }
    pages_ = pages;
    progressPage_ = progressPage;
    if (pages_) {
        pages_->installEventFilter(&pagesLayout_);
    }
}

void WindowStatusSink::SetLabels(QLabel* line1, QLabel* line2, QLabel* line3, QWidget* panel) {
    labels_[1] = line1;
    labels_[2] = line2;
    labels_[3] = line3;
    panel_ = panel;
}

void WindowStatusSink::StatusDisplay(uint8_t line, const std::string& text) {
    // Only lines 1 to 3 exist; anything else is a caller's slip and changes nothing.
    if (line < 1 || line > 3 || !labels_[line]) {
        return;
    }
    // During a run the text waits for the next paint: giving a label its text costs more than
    // the copy of a small file.
    pending_[line].assign(text);
    hasPending_[line] = true;
    if (!coalescing_) {
        ApplyPendingTexts();
    }
    // Shown at once where a paint is due: a long copy may follow, without a pump before it.
    PaintIfDue();
}

void WindowStatusSink::StatusInfo(const std::string& text) {
    QueueLine(text);
    // A run writes a line per file: the window's events are handled at the first line and then
    // once the pump interval has passed.
    if (coalescing_ && lineHandled_ && !PumpDue()) {
        PaintIfDue();
        return;
    }
    lineHandled_ = true;
    HandleEvents();
}

bool WindowStatusSink::PumpDue() const {
    return !coalescing_ || !sincePump_.isValid() || sincePump_.elapsed() >= kPumpIntervalMs;
}

void WindowStatusSink::QueueLine(const std::string& text) {
    ++linesWritten_;
    if (list_) {
        // During a run the lines wait for the next paint and go into the list together: the
        // list lays all its lines out again for every insertion, which would cost more than
        // the copy of a small file. Only the newest lines wait, as many as the list holds; an
        // older one would leave the list's top anyway.
        if (pendingCount_ == pendingLines_.size()) {
            pendingFirst_ = (pendingFirst_ + 1) % pendingLines_.size();
            --pendingCount_;
        }
        pendingLines_[(pendingFirst_ + pendingCount_++) % pendingLines_.size()].assign(text);
        if (!coalescing_) {
            AppendPendingLines();
        }
    }
}

void WindowStatusSink::AppendPendingLines() {
    if (!list_ || pendingCount_ == 0) {
        pendingCount_ = 0;
        return;
    }
    const int before = list_->count();
    const int added = static_cast<int>(pendingCount_);
    // The oldest lines go first, so the list never holds more than its maximum.
    const int excess = std::min(before, before + added - kMaxLines);
    if (excess > 0) {
        list_->model()->removeRows(0, excess);
    }
    QStringList lines;
    lines.reserve(added);
    for (size_t i = 0; i < pendingCount_; ++i) {
        lines.push_back(
            QString::fromStdString(pendingLines_[(pendingFirst_ + i) % pendingLines_.size()]));
    }
    pendingCount_ = 0;
    list_->addItems(lines);
    // The end comes into view whenever the count passed a multiple of ten, and at every line
    // once the list is full.
    const int total = list_->count();
    if (total / 10 > before / 10 || before + added > kMaxLines) {
        ScrollToEnd(list_);
    }
}

void WindowStatusSink::ShowPending() {
    ShowNow();
    // A dialog follows: the line it is about is in view.
    ScrollToEnd(list_);
}

void WindowStatusSink::ShowWalkDirectory(const std::string& path) {
    ShowStatusText(path);
    PumpMessages();
}

void WindowStatusSink::ShowAvailableSpace(const std::string& text) {
    availText_ = QString::fromStdString(text);
    availPending_ = true;
}

void WindowStatusSink::ShowStatusText(const std::string& text) {
    if (bar_) {
        // The bar paints itself at once when its message changes: during a run the text waits
        // for the next paint with the other texts.
        pendingBar_.assign(text);
        hasPendingBar_ = true;
        if (!coalescing_) {
            ApplyPendingTexts();
        }
    }
}

void WindowStatusSink::PumpMessages() {
    // A tree of many small directories asks at every directory, twice: during a run the
    // window's events are handled once the pump interval has passed, the texts painted when due.
    if (!PumpDue()) {
        PaintIfDue();
        return;
    }
    HandleEvents();
}

void WindowStatusSink::HandleEvents() {
    sincePump_.start();
    ApplyAvailableSpace();
    PaintIfDue();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void WindowStatusSink::ApplyAvailableSpace() {
    if (availPending_ && availLabel_) {
        availPending_ = false;
        if (availLabel_->text() != availText_) {
            availLabel_->setText(availText_);
        }
    }
}

void WindowStatusSink::ApplyPendingTexts() {
    for (int line = 1; line <= 3; ++line) {
        if (hasPending_[line] && labels_[line]) {
            labels_[line]->setText(QString::fromStdString(pending_[line]));
        }
        hasPending_[line] = false;
    }
    if (hasPendingBar_ && bar_) {
        bar_->showMessage(QString::fromStdString(pendingBar_));
    }
    hasPendingBar_ = false;
}

void WindowStatusSink::ShowNow() {
    GiveTexts();
    Paint();
}

void WindowStatusSink::GiveTexts() {
    ApplyPendingTexts();
    ApplyAvailableSpace();
    AppendPendingLines();
    UpdateProgress();
}

void WindowStatusSink::Paint() {
    sincePaint_.start();
    // Painted now: a long copy may follow without a pump, and a dialog may cover the rest.
    // What changed is painted in one go, as the event loop would at its next turn.
    QWidget* window = panel_ ? panel_->window() : list_ ? list_->window() : nullptr;
    if (window) {
        QCoreApplication::sendPostedEvents(window, QEvent::UpdateRequest);
    }
}

void WindowStatusSink::PaintIfDue() {
    if (!coalescing_ || sincePaint_.elapsed() < kPaintIntervalMs) {
        return;
    }
    ShowNow();
}

void WindowStatusSink::UpdateProgress() {
    if (!run_ || !run_->PassesRan) {
        return;
    }
    const RunCounts& c = run_->Counts;
    const int64_t inFlight = coalescing_ && inFlight_ ? inFlight_() : 0;
    if (progressBar_) {
        // The bar paints itself at once whenever its value moves; it is painted with the rest.
        progressBar_->setUpdatesEnabled(false);
        progressBar_->setValue(
            static_cast<int>(ProgressFraction(c, inFlight) * progressBar_->maximum() + 0.5));
        progressBar_->setUpdatesEnabled(true);
    }
    if (figures_) {
        const int64_t elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - run_->PassesStarted)
                                    .count();
        const std::string text = ProgressFigures(c, inFlight, elapsed, coalescing_);
        figures_->setText(QString::fromStdString(text));
    }
}

void WindowStatusSink::SetListColour(const QColor& colour) {
    if (!list_) {
        return;
    }
    QPalette palette = list_->palette();
    palette.setColor(QPalette::Base, colour);
    list_->setPalette(palette);
}

void WindowStatusSink::RunStarted() {
    if (list_) {
        SetListColour(QApplication::palette(list_.data()).color(QPalette::Base));
        list_->clear();
    }
    pendingCount_ = 0;
    if (progressBar_) {
        progressBar_->setValue(0);
    }
    if (figures_) {
        figures_->clear();
    }
    coalescing_ = true;
    pagesLayout_.Hold();
    sincePaint_.start();
    sincePump_.invalidate();
    lineHandled_ = false;
}

void WindowStatusSink::ShowProgressPage() {
    if (pages_ && progressPage_) {
        pages_->setCurrentWidget(progressPage_);
    }
}

void WindowStatusSink::RunReturned() {
    coalescing_ = false;
    pagesLayout_.Release();
    GiveTexts();
    // Where the run stopped, and the summary under it, stay in view.
    ScrollToEnd(list_);
    Paint();
}

void WindowStatusSink::ShowSummary(const std::string& text) {
    QueueLine(text);
    ShowStatusText(text);
    if (!coalescing_) {
        ScrollToEnd(list_);
        Paint();
    }
}

void WindowStatusSink::RunFinished() {
    // The run's last texts go to the widgets now; they are painted when the run's handler has
    // returned (RunReturned), together with what the window adds to them.
    GiveTexts();
    SetListColour(AfterRunColour());
    // Where the run stopped stays in view, whatever the line count; a list the operator has
    // clicked into keeps its position.
    ScrollToEnd(list_);
    if (onFinished_) {
        onFinished_();
    }
}

bool RunDialogs::Ignored(DialogButtons& buttons) const {
    const bool offersIgnore = (buttons & Btn::Ignore) != 0 && (buttons & Btn::Abort) != 0;
    if (offersIgnore) {
        buttons |= Btn::IgnoreAll;
    }
    return offersIgnore && ignoreAll_;
}

DialogAnswer RunDialogs::Plain(DialogAnswer answer) {
    if (answer == Answer::IgnoreAll) {
        ignoreAll_ = true;
        return Answer::Ignore;
    }
    return answer;
}

DialogAnswer RunDialogs::Show(DialogKind kind, const std::string& text, DialogButtons buttons) {
    if (Ignored(buttons)) {
        return Answer::Ignore;
    }
    sink_.ShowPending();
    return Plain(inner_.Show(kind, text, buttons));
}

DialogAnswer RunDialogs::ShowError(DialogKind kind, int32_t code, const std::string& text,
                                   DialogButtons buttons) {
    if (Ignored(buttons)) {
        return Answer::Ignore;
    }
    sink_.ShowPending();
    return Plain(inner_.ShowError(kind, code, text, buttons));
}

DialogAnswer RunDialogs::ShowDescribedError(DialogKind kind, int32_t code, const std::string& text,
                                            const std::string& description, DialogButtons buttons) {
    if (Ignored(buttons)) {
        return Answer::Ignore;
    }
    sink_.ShowPending();
    return Plain(inner_.ShowDescribedError(kind, code, text, description, buttons));
}

DialogAnswer RunDialogs::AskOverwrite(const std::string& text, const OverwriteFacts& facts,
                                      DialogButtons buttons) {
    if (overwriteAll_ != Answer::None) {
        return overwriteAll_;
    }
    sink_.ShowPending();
    const DialogAnswer answer =
        inner_.AskOverwrite(text, facts, buttons | Btn::YesToAll | Btn::NoToAll);
    if (answer == Answer::YesToAll || answer == Answer::NoToAll) {
        overwriteAll_ = answer == Answer::YesToAll ? Answer::Yes : Answer::No;
        return overwriteAll_;
    }
    return answer;
}

}  // namespace ferrit
