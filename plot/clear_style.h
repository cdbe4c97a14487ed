#pragma once
// A second look for the graphs, for reports and for reading values off them: round ticks that
// cover the data, signed labels that never run into each other, a legend naming each curve with
// its unit in the window's language, and smooth lines in a colour per curve. The classic look of
// the renderer stays the default; this one is chosen by GraphStyle.
#include <QChar>
#include <QColor>
#include <QFont>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <cstdint>
#include <vector>

#include "records/flight_data.h"

class QPainter;

namespace zarn {

enum class GraphStyle { Classic, Clear };

// Ticks at (First + i) * Step for i = 0..Intervals, with Step one of 1, 2 or 5 times a power of
// ten and First a whole number: every tick a whole multiple of the step.
struct AxisTicks {
  double Step;
  double First;
  int Intervals;
  double Tick(int i) const { return (First + i) * Step; }
  double Lo() const { return Tick(0); }
  double Hi() const { return Tick(Intervals); }
};

// The smallest round step whose ticks cover [min, max] in at most maxIntervals intervals (at
// least one). An empty range [v, v] widens to the ticks around v (around 0 and 1 for v = 0).
AxisTicks CoveringTicks(double min, double max, int maxIntervals);

// Tick label of value with the decimals the step needs, after dividing both by 10^exponent:
// a minus sign (U+2212) below zero, the given decimal separator, "0" for zero.
QString TickLabel(double value, double step, int exponent, QChar decimalSeparator);

// The name and unit of a table column for the legend, in the language of LangCode (as
// records/language.h reads it), e.g. "Height, km", in the unit the run left it in.
QString LegendName(int column, const UnitFlags& units, int32_t language);
// The short caption of an axis, "H, km", with "×10^k" before the unit when the labels are scaled.
QString AxisCaption(int column, const UnitFlags& units, int exponent);

struct PlacedText {
  QRectF Box;  //!< [px] where the text is drawn, as wide and high as the font needs
  QString Text;
};

// One axis of the clear style: its ticks, where they stand and their labels.
struct ClearAxis {
  int Column;
  QColor Colour;
  AxisTicks Ticks;
  int Exponent;                //!< labels show value / 10^Exponent
  double Pos;                  //!< [px] x of a vertical axis, y of the horizontal one
  bool Left;                   //!< a vertical axis left of the plot (labels to its left), else right
  std::vector<double> TickPx;  //!< [px] y (vertical) or x (horizontal) of each tick
  std::vector<PlacedText> Labels;
  PlacedText Caption;
};

struct LegendEntry {
  QRectF Swatch;  //!< [px] a bar in the curve's colour
  PlacedText Name;
  QColor Colour;
};

// The whole picture of a graph; a window that shows only part of it lays the graph out in that part.
inline const QSizeF kWholeGraph{800, 600};

// Everything the clear style places on the picture, inside the frame it was laid out for.
struct ClearLayout {
  QRectF Plot;  //!< [px] the plot area
  ClearAxis Horizontal;
  std::vector<ClearAxis> Vertical;  //!< one per curve, in drawing order
  std::vector<LegendEntry> Legend;
  QFont Font;
};

// Lays out the graph of the selection (2 <= Count <= 9) from rows 1..rows-1 as the renderer
// would draw them, labels measured with the style's font, everything inside the frame from the
// picture's top-left corner. Each vertical axis has ticks of its own; the grid follows the first.
ClearLayout LayOutClearGraph(const TrajectoryTable& table, const GraphSelection& selection, int rows,
                             const UnitFlags& units, QChar decimalSeparator, int32_t language,
                             QSizeF frame = kWholeGraph);

// Draws that graph with the painter on an 800 x 600 surface (a white image, an SVG or a PDF page),
// inside the frame.
void DrawClearGraph(QPainter& painter, const TrajectoryTable& table, const GraphSelection& selection,
                    int rows, const UnitFlags& units, QChar decimalSeparator, int32_t language,
                    QSizeF frame = kWholeGraph);

// Where a value stands on an axis laid out over [lo, hi] pixels, and back.
double AxisPixel(const AxisTicks& ticks, double value, double lo, double hi);
double AxisValue(const AxisTicks& ticks, double pixel, double lo, double hi);

}  // namespace zarn
