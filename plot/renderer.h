#pragma once
// The graph renderer: one column of the trajectory table on the horizontal axis, up to seven
// curves over it, each with its own scale, axis, ticks, caption, legend and marker symbols.
#include <QImage>

#include "plot/canvas.h"
#include "records/flight_data.h"

namespace zarn {

inline constexpr int kGraphWidth = 800;
inline constexpr int kGraphHeight = 600;

// The plot area for a selection of n used entries (the horizontal column included): its left
// edge L = round(37 n + 26) and its width W = 750 - L - 20 [px].
struct PlotArea {
  int Left;
  int Width;
};
PlotArea PlotAreaFor(int n);

// The end of the horizontal scale of a graph drawn from rows 1..lastRow of `column`: the largest
// of 0 and their values, or 1 when none is positive (the scale always starts at 0).
double HorizontalEnd(const TrajectoryTable& table, int column, int lastRow);

// Draws the selection from rows 1..rows-1 of the table into a new 800 x 600 image, labelling axes
// by the unit flags; numbers use the given decimal separator. `rows` is the count the drawing
// follows (points, sign scan of rows 1..rows, marker spacing round(sqrt(rows)) + adjustment, at
// least 1), apart from the table's RowsPerColumn, which only addresses its cells. Never throws for
// all-zero data: a zero extreme scales as 1, so a flat curve lies on its zero line.
QImage PlotGraph(const TrajectoryTable& table, const GraphSelection& selection, int rows,
                 const UnitFlags& units, char decimalSeparator);

// The same drawing onto any canvas, which must be a blank white surface of 800 x 600 pixels.
// Selection: 2 <= Count <= 9, columns 0..29; 1 <= rows <= RowsPerColumn <= 500. Throws
// FloatingPointError (overflow) only for data near the limits of double, where a scale or a
// tick value would leave the finite range.
void DrawGraph(Canvas& canvas, const TrajectoryTable& table, const GraphSelection& selection, int rows,
               const UnitFlags& units, char decimalSeparator);

// The row count that draws exactly the rows a run stored: RowsPerColumn once the run filled the
// table, else the stored rows plus one, since the renderer draws rows 1..rows-1.
int GraphRows(const TrajectoryTable& table, int32_t samplesStored);

}  // namespace zarn
