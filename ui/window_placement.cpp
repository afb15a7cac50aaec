#include "ui/window_placement.h"

#include <algorithm>

namespace ferrit {

namespace {

// The position along one axis that keeps [start, start + length) inside [low, high]; the low end
// where the length does not fit, so that the title bar and the top-left controls stay reachable.
int Fit(int start, int length, int low, int high) {
    return std::max(low, std::min(start, high - length + 1));
}

int64_t Overlap(const QRect& a, const QRect& b) {
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0 : static_cast<int64_t>(common.width()) * common.height();
}

}  // namespace

QRect PlaceOnScreen(const QRect& wanted, const std::vector<QRect>& areas, const QSize& minimum) {
    if (areas.empty()) {
        return wanted;
    }
    QRect area = areas.front();
    int64_t best = Overlap(wanted, area);
    for (const QRect& candidate : areas) {
        const int64_t overlap = Overlap(wanted, candidate);
        if (overlap > best) {
            best = overlap;
            area = candidate;
        }
    }
    const QSize size(std::max(minimum.width(), std::min(wanted.width(), area.width())),
                     std::max(minimum.height(), std::min(wanted.height(), area.height())));
    return QRect(QPoint(Fit(wanted.x(), size.width(), area.left(), area.right()),
                        Fit(wanted.y(), size.height(), area.top(), area.bottom())),
                 size);
}

}  // namespace ferrit
