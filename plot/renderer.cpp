#include "plot/renderer.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <string>
#include <string_view>

#include "flight/columns.h"
#include "flight/number_text.h"
#include "plot/markers.h"
#include "plot/qpainter_canvas.h"
#include "plot/round_even.h"
#include "records/errors.h"

namespace zarn {
namespace {

// Layout of the 800 x 600 picture [px]; x grows to the right, y downwards.
constexpr int kBottom = 460;                           // bottom line of the plot (B)
constexpr int kPlotHeight = 440;                       // full plot height (Hp)
constexpr int kNegativeDepth = 147;                    // round(440 / 3): strip below a moved zero line (u)
constexpr int kRaisedZero = kBottom - kNegativeDepth;  // 313: zero line when some value is negative
constexpr int kRaisedHeight = 293;                     // round(2 * 440 / 3): plot height above it
constexpr int kTickLabelRow = 469;                     // top of the horizontal tick labels
constexpr int kCaptionRow = 490;                       // top of the horizontal caption
constexpr int kTickLength = 3;
// Pixel offsets are held to this range before they become integers, so that data far outside
// the scale (negative values of the horizontal column) still give drawable coordinates.
constexpr double kFarOffset = 30000.0;

std::string_view HorizontalCaption(int column, const UnitFlags& units) {
  switch (column) {
    case kColT:
      return units.TimeUnit == 3 ? "t,h" : units.TimeUnit == 2 ? "t,min" : "t,s";
    case kColV:
      return "V,m/s";
    case kColX:
      return units.RangeInKm == 1 ? "X,km" : "X,m";
    default:
      return {};
  }
}

// A scaled value as a pixel offset; the product is checked because a scale built on an extreme
// near the smallest double can overflow.
int PixelOffset(double value, double scale) {
  return RoundEven(std::clamp(Checked(value * scale), -kFarOffset, kFarOffset));
}

std::string Label(double value, int digits, char sep) {
  return FormatGeneral(Checked(value), digits, sep);
}

void Line(Canvas& c, int x1, int y1, int x2, int y2) {
  c.MoveTo(x1, y1);
  c.LineTo(x2, y2);
}

// Everything one call shares between its curves.
struct Layout {
  int Rows;     // rows 1..Rows-1 are drawn, rows 1..Rows take part in the sign scan
  int L, W, N;  // [px] left edge and width of the plot area, width of one axis band
  int V, T;     // [px] zero line and plot height above it
  char Sep;
  std::array<int, TrajectoryTable::kMaxRows + 1> Px;  // [px] x of each row's point
};

void DrawCurve(Canvas& c, const TrajectoryTable& table, const UnitFlags& units, const Layout& lay, int f,
               int column) {
  const int rows = lay.Rows, L = lay.L, v = lay.V;
  double ymax = 0.0, ymin = 0.0;
  for (int i = 1; i < rows; ++i) {
    const double y = table.Cell(column, i);
    ymax = std::max(ymax, y);
    ymin = std::min(ymin, y);
  }
  const int axisX = L - f * lay.N;
  double ky = 0.0;
  if (ymin < 0.0) {
    // Both signs share one scale: the larger magnitude reaches a pixels from the zero line, and
    // the labels below the line show magnitudes.
    Line(c, axisX, kBottom, axisX, kBottom - 2 * kNegativeDepth);
    const int a = RoundEven(0.9 * kNegativeDepth);
    const double range = std::max(-ymin, ymax);
    ky = Checked(a / range);
    c.TextOut(axisX + 9, v, "0.0");
    const int s = RoundEven(a / 4.0);
    for (int I = 1; I <= 4; ++I) {
      Line(c, axisX, v - I * s, axisX + kTickLength, v - I * s);
      Line(c, axisX, v + I * s, axisX + kTickLength, v + I * s);
      const std::string text = Label(I * range / 4, 3, lay.Sep);
      c.TextOut(axisX + 6, v - I * s, text);
      c.TextOut(axisX + 6, v + I * s, text);
    }
    const NegativeCaption& cap = kColumns[static_cast<std::size_t>(column)].Negative;
    if (!cap.Text.empty()) c.TextOut(axisX + cap.Dx, v - a - 20, cap.Text);
  } else {
    const int a = RoundEven(0.9 * lay.T);
    if (ymax == 0.0) ymax = 1.0;  // an all-zero curve lies on its zero line
    ky = Checked(a / ymax);
    if (f == 1) {
      // The grid's left edge is this curve's axis: ticks and labels sit on the grid lines, the
      // labels left of the plot area, reaching 1.1 times the largest value at the top line.
      const int g = RoundEven(lay.T / 7.0);
      for (int I = 0; I <= 7; ++I) {
        Line(c, L, v - I * g, L - kTickLength, v - I * g);
        c.TextOut(L - 19 - RoundEven(lay.N / 2.0), v - I * g - 5, Label(I * ymax / 7 * 1.1, 4, lay.Sep));
      }
    } else {
      Line(c, axisX, v, axisX, v - a);
      const int s = RoundEven(a / 7.0);
      for (int I = 0; I <= 7; ++I) {
        Line(c, axisX, v - I * s, axisX + kTickLength, v - I * s);
        c.TextOut(axisX + 6, v - I * s, Label(I * ymax / 7, 4, lay.Sep));
      }
    }
    const ColumnCaption& cap = kColumns[static_cast<std::size_t>(column)].Caption;
    const bool alt = cap.AltFlag != nullptr && units.*cap.AltFlag == 1;
    c.TextOut(axisX + cap.Dx, v - a - (f == 1 ? cap.DyFirst : cap.Dy), alt ? cap.AltText : cap.Text);
  }

  const CurveMarkers& mk = kColumns[static_cast<std::size_t>(column)].Markers;
  const bool hasSymbols = column != kColT;
  if (hasSymbols) {
    const int xl = f == 1 ? L : axisX;
    c.Ellipse(xl - 6, v - 6, xl + 6, v + 6);
    DrawMarker(c, xl, v, mk.LegendSize, mk.LegendKind);
  }

  std::array<int, TrajectoryTable::kMaxRows + 1> py;  // [px] y of each row's point
  for (int i = 1; i < rows; ++i) py[i] = v - PixelOffset(table.Cell(column, i), ky);
  // The first point always stands on the vertical axis, whatever its horizontal value.
  c.SetPenColor(kBlack);
  if (rows > 1) c.MoveTo(L, py[1]);
  for (int i = 2; i < rows; ++i) c.LineTo(lay.Px[i], py[i]);

  // At least every row: a table of few rows still carries its symbols.
  const int spacing = std::max(1, RoundEven(std::sqrt(static_cast<double>(rows))) + mk.Spacing);
  if (hasSymbols)
    for (int i = spacing; i < rows; i += spacing) DrawMarker(c, lay.Px[i], py[i], mk.CurveSize, mk.CurveKind);
  c.SetBrushColor(kWhite);
}

}  // namespace

double HorizontalEnd(const TrajectoryTable& table, int column, int lastRow) {
  double xmax = 0.0;
  for (int i = 1; i <= lastRow; ++i) xmax = std::max(xmax, table.Cell(column, i));
  return xmax == 0.0 ? 1.0 : xmax;
}

PlotArea PlotAreaFor(int n) {
  const int left = RoundEven(37.0 * n + 26);
  return {left, 750 - left - 20};
}

void DrawGraph(Canvas& c, const TrajectoryTable& table, const GraphSelection& sel, int rows,
               const UnitFlags& units, char decimalSeparator) {
  assert(sel.Count >= 2 && sel.Count <= 9);
  assert(rows >= 1 && rows <= table.RowsPerColumn && table.RowsPerColumn <= TrajectoryTable::kMaxRows);
  const int n = std::clamp(sel.Count - 1, 1, static_cast<int>(sel.Columns.size()));  // used entries
  for ([[maybe_unused]] int e = 0; e < n; ++e)
    assert(sel.Columns[e] >= 0 && sel.Columns[e] < TrajectoryTable::kColumns);

  Layout lay{};
  lay.Rows = std::clamp(rows, 0, std::min(table.RowsPerColumn, TrajectoryTable::kMaxRows));
  const PlotArea area = PlotAreaFor(n);
  lay.L = area.Left;
  lay.W = area.Width;
  lay.N = n >= 2 ? RoundEven((37.0 * n + 15) / (n - 1)) : 0;
  lay.Sep = decimalSeparator;
  const int L = lay.L, W = lay.W;

  c.SetPenColor(kBlack);

  // A value below zero anywhere in the selection (the last row included) moves the zero line up
  // and leaves a strip below it for the negative parts of the curves.
  bool negativeZone = false;
  for (int e = 0; e < n && !negativeZone; ++e)
    for (int i = 1; i <= lay.Rows; ++i)
      if (table.Cell(sel.Columns[e], i) < 0.0) {
        negativeZone = true;
        break;
      }
  lay.V = negativeZone ? kRaisedZero : kBottom;
  lay.T = negativeZone ? kRaisedHeight : kPlotHeight;
  const int v = lay.V;
  if (negativeZone) {
    c.SetBrushColor(kWhite);
    c.Rectangle(L, kBottom, L + W + 1, kRaisedZero);
  }

  // Grid over the zone above the zero line only.
  const int g = RoundEven(lay.T / 7.0);
  c.SetPenColor(kGrey);
  for (int C = 0; C <= 7; ++C) Line(c, L, v - C * g, L + W, v - C * g);
  for (int C = 0; C <= 8; ++C) {
    const int x = L + RoundEven(C * W / 8.0);
    Line(c, x, v, x, v - 7 * g);
  }
  c.SetPenColor(kBlack);

  // The horizontal scale starts at 0 and ends at the largest value; none is widened to a round
  // number. With no positive value the end counts as 1, so the points gather on the left edge.
  const int xColumn = sel.Columns[0];
  const double xmax = HorizontalEnd(table, xColumn, lay.Rows - 1);
  const double kx = Checked(W / xmax);
  for (int i = 1; i < lay.Rows; ++i) lay.Px[i] = L + PixelOffset(table.Cell(xColumn, i), kx);

  c.SetFontSize(12);
  c.SetFontHeight(12);
  c.SetBrushColor(kWhite);

  const std::string_view caption = HorizontalCaption(xColumn, units);
  if (!caption.empty()) c.TextOut(L + RoundEven(W / 2.0), kCaptionRow, caption);
  const int xStep = RoundEven(W / 8.0);
  for (int I = 0; I <= 8; ++I)
    c.TextOut(L + I * xStep - 8, kTickLabelRow, Label(I * xmax / 8, 4, decimalSeparator));

  for (int f = 1; f < n; ++f) DrawCurve(c, table, units, lay, f, sel.Columns[f]);
}

QImage PlotGraph(const TrajectoryTable& table, const GraphSelection& selection, int rows,
                 const UnitFlags& units, char decimalSeparator) {
  QImage image(kGraphWidth, kGraphHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainterCanvas canvas(image);
    DrawGraph(canvas, table, selection, rows, units, decimalSeparator);
  }
  return image;
}

int GraphRows(const TrajectoryTable& table, int32_t samplesStored) {
  return samplesStored >= table.RowsPerColumn ? table.RowsPerColumn : samplesStored + 1;
}

}  // namespace zarn
