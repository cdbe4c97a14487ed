#pragma once
// Where a window of fixed size goes on a screen smaller than the one it was drawn for.
#include <QPoint>
#include <QRect>

namespace zarn::ui {

// The top-left corner for a window whose frame is `frame`, so that the frame lies inside
// `available` (the screen less its panels): unchanged when it already does; otherwise moved the
// least distance that brings it inside, and to the available area's left or top edge where the
// frame is wider or taller than that area, so that the title bar and the commands at the top stay
// in reach.
QPoint PlacedInside(const QRect& frame, const QRect& available);

}  // namespace zarn::ui
