#include "ui/elided_text.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QEvent>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QScreen>
#include <QSizeGrip>
#include <QStyle>
#include <QStyleOption>
#include <QToolTip>

namespace ferrit {

namespace {

const QString kEllipsis = QStringLiteral("\u2026");

QString Elided(const QWidget* widget, const QString& text, int width) {
    return widget->fontMetrics().elidedText(text, Qt::ElideMiddle, std::max(0, width));
}

// Sets the whole text as the tooltip just before one is shown, and only when the painted text
// is shortened; a text that fits needs no tooltip.
void PrepareToolTip(QWidget* widget, const QString& whole, const QString& shown) {
    widget->setToolTip(shown == whole ? QString() : ToolTipLines(whole, widget));
}

}  // namespace

QString ToolTipLines(const QString& text, const QWidget* near) {
    const QScreen* screen = near ? near->screen() : QGuiApplication::primaryScreen();
    const int width = screen ? screen->availableGeometry().width() * 3 / 4 : 600;
    const QFontMetrics metrics(QToolTip::font());
    QString lines;
    QString line;
    for (const QChar c : text) {
        if (c == QLatin1Char('\n')) {
            lines += line + c;
            line.clear();
            continue;
        }
        if (!line.isEmpty() && metrics.horizontalAdvance(line + c) > width) {
            lines += line + QLatin1Char('\n');
            line.clear();
        }
        line += c;
    }
    return lines + line;
}

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

QSize ElidedLabel::minimumSizeHint() const {
    const int frame = 2 * (frameWidth() + std::max(0, margin()));
    return QSize(fontMetrics().horizontalAdvance(kEllipsis) + frame,
                 QLabel::minimumSizeHint().height());
}

QSize ElidedLabel::sizeHint() const {
    // The same as the minimum: a text that changes during a run never moves the controls.
    return minimumSizeHint();
}

QRect ElidedLabel::TextRect() const {
    const int m = std::max(0, margin());
    return contentsRect().adjusted(m, m, -m, -m);
}

QString ElidedLabel::ShownText() const {
    return Elided(this, text(), TextRect().width());
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, TextRect(),
                          QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                          isEnabled(), ShownText(), foregroundRole());
}

bool ElidedLabel::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        PrepareToolTip(this, text(), ShownText());
    }
    return QLabel::event(event);
}

ElidedStatusBar::ElidedStatusBar(QWidget* parent) : QStatusBar(parent) {}

QRect ElidedStatusBar::MessageRect() const {
    // The free room left of the permanent widgets and the size grip, which a message leaves
    // visible, with the margins the bar keeps around its own message.
    int right = width() - 12;
    for (const QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisible() && !child->isWindow()) {
            right = std::min(right, child->x() - (qobject_cast<const QSizeGrip*>(child) ? 0 : 4));
        }
    }
    const int left = 6;
    return QRect(left, 0, std::max(0, right - left), height());
}

QString ElidedStatusBar::ShownMessage() const {
    return Elided(this, currentMessage(), MessageRect().width());
}

void ElidedStatusBar::paintEvent(QPaintEvent* event) {
    if (currentMessage().isEmpty()) {
        QStatusBar::paintEvent(event);
        return;
    }
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_PanelStatusBar, &option, &painter, this);
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisible() && !child->isWindow() && !qobject_cast<QSizeGrip*>(child)) {
            QStyleOption frame(0);
            frame.rect = child->geometry().adjusted(-2, -1, 2, 1);
            frame.palette = palette();
            frame.state = QStyle::State_None;
            style()->drawPrimitive(QStyle::PE_FrameStatusBarItem, &frame, &painter, child);
        }
    }
    painter.setPen(palette().windowText().color());
    painter.drawText(MessageRect(), Qt::AlignLeading | Qt::AlignVCenter | Qt::TextSingleLine,
                     ShownMessage());
}

bool ElidedStatusBar::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        PrepareToolTip(this, currentMessage(), ShownMessage());
    }
    return QStatusBar::event(event);
}

ElidedListLines::ElidedListLines(QListWidget* list) : QStyledItemDelegate(list) {
    list->setItemDelegate(this);
    list->setTextElideMode(Qt::ElideMiddle);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setWordWrap(false);
}

QSize ElidedListLines::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    // As narrow as can be: the list then gives every line its own width, and nothing scrolls
    // sideways. The height is the line's own.
    return QSize(1, QStyledItemDelegate::sizeHint(option, index).height());
}

bool ElidedListLines::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip || !index.isValid()) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    const QString text = index.data(Qt::DisplayRole).toString();
    const int room = option.rect.width() - 8;  // the item's margins
    if (view->fontMetrics().horizontalAdvance(text) <= room) {
        QToolTip::hideText();
        return true;
    }
    QToolTip::showText(event->globalPos(), ToolTipLines(text, view), view, option.rect);
    return true;
}

}  // namespace ferrit
