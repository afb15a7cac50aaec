// Where the window stands when it opens: on a screen, whole, whatever the screens' sizes and
// scale factors.
#pragma once

#include <vector>

#include <QRect>
#include <QSize>

namespace ferrit {

// The frame of a window that would stand at `wanted`, placed on the available area (of those
// given, in the same device-independent pixels) that holds most of it, or the first where none
// does: shrunk to that area where it is larger (never below `minimum`), then moved as little as
// needed to lie wholly inside it. Without any area the wanted frame is kept.
QRect PlaceOnScreen(const QRect& wanted, const std::vector<QRect>& areas, const QSize& minimum);

}  // namespace ferrit
