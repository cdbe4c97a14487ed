#pragma once
// What the pointer over a graph points at: the stored row nearest to it on the horizontal scale,
// and that row's values of the drawn columns with their units.
#include <string>

#include "plot/picture_file.h"
#include "records/flight_data.h"

namespace zarn {

// The row of a graph drawn from rows 1..lastRow whose horizontal value lies nearest to what image
// column px stands for on the renderer's scale (plot area from L = round(37 n + 26), W pixels wide,
// 0 at its left edge, the largest horizontal value at its right). 0 when px lies outside the plot
// area or lastRow < 1. Ties go to the lower row.
int RowAtPixel(const TrajectoryTable& table, const GraphSelection& selection, int lastRow, int px);

// The row of a graph drawn from rows 1..Rows-1 in either style whose horizontal value lies nearest
// to what image column px stands for on that style's scale; 0 outside the plot area.
int RowUnderPointer(const GraphInputs& graph, double px);

// "H = 268.2 km": a column's symbol, the value to 6 significant digits and the unit.
std::string ReadoutLine(int column, double value, const UnitFlags& units, char decimalSeparator);

// One line for the horizontal column, then one for each curve in drawing order, as
// "H = 268.2 km": the symbol, the value to 6 significant digits and the unit the run left the
// column in; the first line ends with the row, "(row 250)".
std::string ReadoutText(const TrajectoryTable& table, const GraphSelection& selection, const UnitFlags& units,
                        int row, char decimalSeparator);

}  // namespace zarn
