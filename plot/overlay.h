#pragma once
// Several runs in one graph of the clear style, for comparing them: the kept runs of the window
// with the run on show, the cases of a sweep, and measured points over the curves. Each run has a
// colour of its own and each curve of the selection a line pattern of its own; the scales cover
// every drawn curve and point.
#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "plot/clear_style.h"
#include "records/flight_data.h"
#include "records/language.h"

class QPainter;

namespace zarn {

// One run's stored rows of the selected columns, in the units the graph shows.
struct ComparedRun {
  QString Name;                              //!< in the legend
  std::vector<std::vector<double>> Columns;  //!< by selection entry (0: horizontal), rows in order
};

// Measured points of one curve column: (horizontal value, value) in the graph's units.
struct MeasuredPoints {
  int Column;
  std::vector<QPointF> Points;
};

struct ComparedGraph {
  GraphSelection Selection{};
  UnitFlags Units{};                     //!< of every run's values: the axes' units
  std::vector<ComparedRun> Runs;         //!< the first in black when FirstInBlack
  bool FirstInBlack = false;             //!< the run on show among kept runs
  std::vector<MeasuredPoints> Measured;  //!< empty: none
  QString MeasuredName;                  //!< legend of the points
  QString ScaleTitle;                    //!< above a colour scale, e.g. the swept names
  QChar DecimalSeparator = QLatin1Char('.');
  int32_t Language = kLangEnglish;
  QSizeF Frame = kWholeGraph;  //!< [px] everything is drawn inside it, from the top-left corner
};

// Where the graph's plot area lies and the ticks of its axes, by selection entry (0: horizontal).
struct ComparedLayout {
  QRectF Plot;
  std::vector<AxisTicks> Ticks;
};
ComparedLayout LayOutComparedGraph(const ComparedGraph& graph);

// The drawn point nearest to a pixel of the plot area, among every run's curves and the measured
// points; nothing outside the plot area.
struct PointedAt {
  bool Found = false;
  bool Measured = false;  //!< a measured point, else a run's point
  std::size_t Set = 0;    //!< the run, or the entry of Measured
  std::size_t Index = 0;  //!< the point: a run's Index is its row Index + 1
  int Entry = 0;          //!< the selection entry of the curve
};
PointedAt PointNearest(const ComparedGraph& graph, QPointF pixel);

// Up to this many runs get a legend entry each; more get a colour scale from the first to the last.
inline constexpr std::size_t kMaxLegendRuns = 10;

// The colour of run `index` of `count` (not counting a run in black): distinct colours up to
// kMaxLegendRuns, a scale from dark blue over green to yellow beyond.
QColor RunColour(std::size_t index, std::size_t count);

// Rows 1..rows-1 of the selected columns of a table converted with `from`, in the units of `to`.
ComparedRun RunCurves(const TrajectoryTable& table, int rows, const UnitFlags& from, const UnitFlags& to,
                      const GraphSelection& selection, const QString& name);

// Draws the graph on an 800 x 600 surface.
void DrawComparedGraph(QPainter& painter, const ComparedGraph& graph);
QImage ComparedGraphImage(const ComparedGraph& graph);
// As SaveGraphPicture: "SVG" and "PDF" as vectors, other formats as Qt image formats.
void SaveComparedGraph(const ComparedGraph& graph, const std::filesystem::path& path, const char* format);

}  // namespace zarn
