#pragma once
// The graph renderer: one column of the trajectory table on the horizontal axis, up to seven
// curves over it, each with its own scale, axis, ticks, caption, legend and marker symbols.
#include <QImage>

#include "sim/flight_data.h"

namespace zarn {

inline constexpr int kGraphWidth = 800;
inline constexpr int kGraphHeight = 600;

// Draws the selection from the table (RowsPerColumn rows per column) into a new 800 x 600 image,
// labelling axes by the unit flags; numbers use the given decimal separator. Never throws for
// all-zero data: a zero extreme scales as 1, so a flat curve lies on its zero line.
QImage PlotGraph(const TrajectoryTable& table, const GraphSelection& selection, const UnitFlags& units,
                 char decimalSeparator);

}  // namespace zarn
