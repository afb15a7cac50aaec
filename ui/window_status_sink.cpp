#include "ui/window_status_sink.h"

#include <QApplication>
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
    labels_[line]->setText(QString::fromStdString(text));
    // Shown at once where a paint is due: a long copy may follow, without a pump before it.
    PaintIfDue();
}

void WindowStatusSink::StatusInfo(const std::string& text) {
    if (list_) {
        list_->addItem(QString::fromStdString(text));
        while (list_->count() > kMaxLines) {
            delete list_->takeItem(0);
        }
        if (list_->count() % 10 == 0) {
            ScrollToEnd(list_);
        }
    }
    PumpMessages();
}

void WindowStatusSink::ShowWalkDirectory(const std::string& path) {
    if (bar_) {
        bar_->showMessage(QString::fromStdString(path));
    }
    PumpMessages();
}

void WindowStatusSink::PumpMessages() {
    PaintIfDue();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void WindowStatusSink::HoldPaints(bool hold) {
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
    // Letting the widgets paint again asks for their paint; it is made now, then they wait.
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
