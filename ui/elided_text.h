// One-line texts that never widen the window: a label and a status bar that ask for no more
// width than an ellipsis, show a text too wide for them shortened in the middle ("abc…xyz"),
// and offer the whole text as their tooltip. The stored text stays whole (QLabel::text(),
// QStatusBar::currentMessage()); only what is painted is shortened.
#pragma once

#include <QLabel>
#include <QListWidget>
#include <QStatusBar>
#include <QStyledItemDelegate>

namespace ferrit {

// A tooltip text that stays on the screen near the widget: a line wider than the screen is
// broken into lines that fit (a long path has no blanks to break at).
QString ToolTipLines(const QString& text, const QWidget* near);

class ElidedLabel : public QLabel {
    Q_OBJECT
  public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

    // The text as it is painted at the label's present width.
    QString ShownText() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

  private:
    QRect TextRect() const;
};

class ElidedStatusBar : public QStatusBar {
    Q_OBJECT
  public:
    explicit ElidedStatusBar(QWidget* parent = nullptr);

    // The message as it is painted at the bar's present width.
    QString ShownMessage() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

  private:
    QRect MessageRect() const;
};

// The status list's lines: each as wide as the list, never wider (no horizontal scroll bar), a
// line too long for it shortened in the middle, the whole line as its tooltip.
class ElidedListLines : public QStyledItemDelegate {
    Q_OBJECT
  public:
    // Installs itself on the list and sets the list up for it.
    explicit ElidedListLines(QListWidget* list);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};

}  // namespace ferrit
