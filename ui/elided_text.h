// One-line texts that never widen the window: a label and a status bar that ask for no more
// width than an ellipsis, show a text too wide for them shortened in the middle ("abc…xyz"),
// and offer the whole text as their tooltip. The stored text stays whole (QLabel::text(),
// QStatusBar::currentMessage()); only what is painted is shortened.
#pragma once

#include <QLabel>
#include <QStatusBar>

namespace ferrit {

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

}  // namespace ferrit
