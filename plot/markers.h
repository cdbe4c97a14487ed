#pragma once
// Curve markers: a small symbol centred on a pixel, one kind per curve, so that several curves
// in one graph can be told apart.
#include "plot/canvas.h"

namespace zarn {

// Draws marker `kind` centred on (x, y) with nominal width `size` [px]. Kinds 1..18, 21, 22 and
// 31..34 exist (14 and above have a fixed size of 15, except the strokes of 17 and 18); any
// other kind draws nothing. Leaves the pen black and the brush silver, whatever they were.
void DrawMarker(Canvas& canvas, int x, int y, int size, int kind);

}  // namespace zarn
