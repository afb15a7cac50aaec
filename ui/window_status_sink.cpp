#include "ui/window_status_sink.h"

#include <QApplication>
#include <QStringList>

#include <algorithm>

#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QStatusBar>
#include <QTabWidget>

namespace ferrit {

void ScrollToEnd(QListWidget* list) {
    if (!list || list->hasFocus() || list->count() == 0) {
        return;
    }
    const int rowHeight = list->sizeHintForRow(0);
    if (rowHeight <= 0) {
        return;
    }
    // Whole rows that fit into the visible area (inside the frame), so the last one is never
    // cut off at the bottom.
    const int visible = list->viewport()->height() / rowHeight;
    const int top = std::max(0, list->count() - visible);
    list->scrollToItem(list->item(top), QAbstractItemView::PositionAtTop);
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
    // During a run the text waits for the next paint: setting a label's text lays the page out
    // again, which would cost more than the copy of a small file.
    pending_[line] = QString::fromStdString(text);
    hasPending_[line] = true;
    if (!holding_) {
        ApplyPendingTexts();
    }
    // Shown at once where a paint is due: a long copy may follow, without a pump before it.
    PaintIfDue();
}

void WindowStatusSink::StatusInfo(const std::string& text) {
    ++linesWritten_;
    if (list_) {
        // During a run the lines wait for the next paint and go into the list together: the
        // list lays all its lines out again for every insertion, which would cost more than
        // the copy of a small file.
        pendingLines_.push_back(QString::fromStdString(text));
        if (pendingLines_.size() > static_cast<size_t>(kMaxLines)) {
            pendingLines_.pop_front();  // would leave the list's top anyway
        }
        if (!holding_) {
            AppendPendingLines();
        }
    }
    PumpMessages();
}

void WindowStatusSink::AppendPendingLines() {
    if (!list_ || pendingLines_.empty()) {
        pendingLines_.clear();
        return;
    }
    const int before = list_->count();
    const int added = static_cast<int>(pendingLines_.size());
    // The oldest lines go first, so the list never holds more than its maximum.
    const int excess = std::min(before, before + added - kMaxLines);
    if (excess > 0) {
        list_->model()->removeRows(0, excess);
    }
    QStringList lines;
    lines.reserve(added);
    for (QString& line : pendingLines_) {
        lines.push_back(std::move(line));
    }
    pendingLines_.clear();
    list_->addItems(lines);
    // The end comes into view whenever the count passed a multiple of ten, and at every line
    // once the list is full.
    const int total = list_->count();
    if (total / 10 > before / 10 || before + added > kMaxLines) {
        ScrollToEnd(list_);
    }
}

void WindowStatusSink::ShowPending() {
    if (holding_) {
        HoldPaints(false);
        HoldPaints(true);
    }
}

void WindowStatusSink::ShowWalkDirectory(const std::string& path) {
    if (bar_) {
        bar_->showMessage(QString::fromStdString(path));
    }
    PumpMessages();
}

void WindowStatusSink::PumpMessages() {
    if (availLabel_ && availText_ != nullptr) {
        const QString text = QString::fromStdString(*availText_);
        if (availLabel_->text() != text) {
            availLabel_->setText(text);
        }
    }
    PaintIfDue();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void WindowStatusSink::ApplyPendingTexts() {
    for (int line = 1; line <= 3; ++line) {
        if (hasPending_[line] && labels_[line]) {
            labels_[line]->setText(pending_[line]);
        }
        hasPending_[line] = false;
    }
}

void WindowStatusSink::HoldPaints(bool hold) {
    if (!hold) {
        ApplyPendingTexts();
        AppendPendingLines();
    }
    holding_ = hold;
    for (QWidget* w : {static_cast<QWidget*>(labels_[1]), static_cast<QWidget*>(labels_[2]),
                       static_cast<QWidget*>(labels_[3]), static_cast<QWidget*>(list_),
                       static_cast<QWidget*>(bar_)}) {
        if (w != nullptr) {
            w->setUpdatesEnabled(!hold);
        }
    }
    sincePaint_.start();
}

void WindowStatusSink::PaintIfDue() {
    if (!holding_ || sincePaint_.elapsed() < kPaintIntervalMs) {
        return;
    }
    // Letting the widgets paint again gives them their texts and asks for their paint; it is
    // made now, then they wait.
    HoldPaints(false);
    if (panel_) {
        panel_->repaint();
    }
    if (list_) {
        list_->viewport()->repaint();
    }
    if (bar_) {
        bar_->repaint();
    }
    HoldPaints(true);
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
    HoldPaints(true);
}

void WindowStatusSink::ShowProgressPage() {
    if (pages_ && progressPage_) {
        pages_->setCurrentWidget(progressPage_);
    }
}

void WindowStatusSink::RunFinished() {
    HoldPaints(false);
    SetListColour(AfterRunColour());
    // Where the run stopped stays in view, whatever the line count; a list the operator has
    // clicked into keeps its position.
    ScrollToEnd(list_);
    if (onFinished_) {
        onFinished_();
    }
}

}  // namespace ferrit
