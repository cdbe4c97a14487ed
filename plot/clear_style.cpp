#include "plot/clear_style.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <optional>

#include "flight/columns.h"
#include "plot/renderer.h"
#include "records/errors.h"
#include "records/language.h"

namespace zarn {
namespace {

// One colour per curve in drawing order, apart for the common kinds of colour blindness and dark
// enough for labels on white.
constexpr std::array<QRgb, 7> kCurveColours{{
    0x0072B2,  // blue
    0xD55E00,  // vermilion
    0x009E73,  // bluish green
    0xCC79A7,  // reddish purple
    0xB08000,  // dark yellow
    0x56B4E9,  // sky blue
    0x000000,  // black
}};

constexpr double kMargin = 10;        // [px] around everything
constexpr double kTick = 4;           // [px] tick length
constexpr double kGap = 3;            // [px] between a tick and its label
constexpr double kAxisGap = 10;       // [px] between the bands of neighbouring axes
constexpr double kLabelSpacing = 12;  // [px] at least between neighbouring horizontal labels
constexpr int kMaxVerticalIntervals = 8;
constexpr int kMaxHorizontalIntervals = 10;

QString Utf8(const char* text) {
  return QString::fromUtf8(text);
}

QString UnitOf(int column, const UnitFlags& units) {
  const UnitSwitch* applied = AppliedSwitch(column, units);
  if (applied != nullptr)
    return QString::fromUtf8(applied->Unit.data(), static_cast<qsizetype>(applied->Unit.size()));
  return Utf8(kColumns[static_cast<std::size_t>(column)].Legend.Unit);
}

QString Superscript(int value) {
  static const char16_t kDigits[] = u"⁰¹²³⁴⁵⁶⁷⁸⁹";
  QString text = value < 0 ? QStringLiteral("⁻") : QString();
  for (const QChar c : QString::number(std::abs(value))) text += QChar(kDigits[c.digitValue()]);
  return text;
}

// Labels of magnitudes from 1e5 up or below 1e-2 show mantissas of a power of 1000.
int ExponentFor(const AxisTicks& t) {
  const double m = std::max(std::fabs(t.Lo()), std::fabs(t.Hi()));
  if (m == 0.0 || (m < 1e5 && m >= 1e-2)) return 0;
  return 3 * static_cast<int>(std::floor(std::log10(m) / 3.0));
}

struct Extremes {
  double Min = 0.0, Max = 0.0;
};

Extremes ExtremesOf(const TrajectoryTable& table, int column, int rows) {
  if (rows < 2) return {};
  Extremes e{table.Cell(column, 1), table.Cell(column, 1)};
  for (int i = 2; i < rows; ++i) {
    e.Min = std::min(e.Min, table.Cell(column, i));
    e.Max = std::max(e.Max, table.Cell(column, i));
  }
  return e;
}

PlacedText Place(const QFontMetricsF& fm, double x, double y, const QString& text) {
  return {QRectF(x, y, fm.horizontalAdvance(text), fm.height()), text};
}

double WidestLabel(const QFontMetricsF& fm, const ClearAxis& axis, QChar sep) {
  double w = 0;
  for (int i = 0; i <= axis.Ticks.Intervals; ++i)
    w = std::max(w, fm.horizontalAdvance(TickLabel(axis.Ticks.Tick(i), axis.Ticks.Step, axis.Exponent, sep)));
  return w;
}

// Data shorter than this share of its axis leave too much of the plot empty to read well.
constexpr double kLeastFill = 0.6;

double Fill(const Extremes& e, const AxisTicks& t) {
  return (e.Max - e.Min) / (t.Hi() - t.Lo());
}

}  // namespace

double AxisPixel(const AxisTicks& t, double value, double lo, double hi) {
  return lo + (hi - lo) * (value - t.Lo()) / (t.Hi() - t.Lo());
}

double AxisValue(const AxisTicks& t, double pixel, double lo, double hi) {
  return t.Lo() + (t.Hi() - t.Lo()) * (pixel - lo) / (hi - lo);
}

AxisTicks CoveringTicks(double min, double max, int maxIntervals) {
  assert(maxIntervals >= 1);
  if (max < min) std::swap(min, max);
  Checked(max - min);
  double span = max - min;
  if (span == 0.0) span = min == 0.0 ? 1.0 : std::fabs(min);
  const double raw = span / maxIntervals;
  double decade = std::pow(10.0, std::floor(std::log10(raw)));
  for (;;) {
    for (const double m : {1.0, 2.0, 5.0}) {
      const double step = Checked(m * decade);
      if (step < raw * (1 - 1e-12)) continue;
      double first = std::floor(min / step), last = std::ceil(max / step);
      // The quotients round: hold the ends outside the data all the same.
      while (first * step > min) first -= 1;
      while (last * step < max) last += 1;
      if (last == first) last += 1;
      if (last - first <= maxIntervals) return {step, first, static_cast<int>(last - first)};
    }
    decade *= 10.0;
  }
}

QString TickLabel(double value, double step, int exponent, QChar decimalSeparator) {
  const double scale = std::pow(10.0, exponent);
  const double v = value / scale, s = step / scale;
  if (std::fabs(v) < s * 1e-6) return QStringLiteral("0");
  const int decimals = std::max(0, static_cast<int>(std::ceil(-std::log10(s) - 1e-9)));
  QString text = QString::number(std::fabs(v), 'f', decimals);
  if (decimalSeparator != QLatin1Char('.')) text.replace(QLatin1Char('.'), decimalSeparator);
  return v < 0 ? QStringLiteral("−") + text : text;
}

QString LegendName(int column, const UnitFlags& units, int32_t language) {
  const ColumnLegend& c = kColumns[static_cast<std::size_t>(column)].Legend;
  QString name = Utf8(InLanguage(LanguageOf(language), c.German, c.Russian, c.English));
  const QString unit = UnitOf(column, units);
  return unit.isEmpty() ? name : name + QStringLiteral(", ") + unit;
}

QString AxisCaption(int column, const UnitFlags& units, int exponent) {
  QString text = Utf8(kColumns[static_cast<std::size_t>(column)].Legend.Symbol);
  const QString unit = UnitOf(column, units);
  if (exponent == 0 && unit.isEmpty()) return text;
  text += QStringLiteral(", ");
  if (exponent != 0) text += QStringLiteral("×10") + Superscript(exponent) + (unit.isEmpty() ? "" : " ");
  return text + unit;
}

ClearLayout LayOutClearGraph(const TrajectoryTable& table, const GraphSelection& sel, int rows,
                             const UnitFlags& units, QChar sep, int32_t language, QSizeF frame) {
  assert(sel.Count >= 2 && sel.Count <= 9);
  ClearLayout lay;
  lay.Font = QFont(QStringLiteral("DejaVu Sans"));
  lay.Font.setStyleHint(QFont::SansSerif);
  lay.Font.setPixelSize(12);
  const QFontMetricsF fm(lay.Font);
  const double lineHeight = fm.height();
  const int n = std::clamp(sel.Count - 1, 1, static_cast<int>(sel.Columns.size()));

  // Legend: the curves in drawing order, flowing in lines across the top.
  double x = kMargin, y = kMargin;
  for (int f = 1; f < n; ++f) {
    const int column = sel.Columns[f];
    const QColor colour(kCurveColours[static_cast<std::size_t>(f - 1) % kCurveColours.size()]);
    const QString name = LegendName(column, units, language);
    const double width = 24 + 6 + fm.horizontalAdvance(name);
    if (x > kMargin && x + width > frame.width() - kMargin) {
      x = kMargin;
      y += lineHeight + 4;
    }
    x = std::round(x);  // the bar on whole pixels: its colour unblended
    LegendEntry entry{QRectF(x, std::round(y + lineHeight / 2) - 2, 24, 4), Place(fm, x + 30, y, name),
                      colour};
    lay.Legend.push_back(entry);
    x += width + 18;
  }
  const double captionRow = (n > 1 ? y + lineHeight + 10 : kMargin);
  const double top = captionRow + lineHeight + 8;
  // Below the plot: the horizontal labels, clear of the half-height of the vertical axes' lowest
  // labels, then the caption.
  const double labelRow = lineHeight / 2 + 2;  // [px] below the plot
  const double bottom = frame.height() - kMargin - lineHeight - 4 - lineHeight - labelRow;

  // Vertical axes: each with the ticks of its own data, so that every curve fills most of the
  // height; the grid follows the first.
  std::vector<Extremes> extremes;
  for (int f = 1; f < n; ++f) extremes.push_back(ExtremesOf(table, sel.Columns[f], rows));
  double leftBands = 0, rightBands = 0;
  std::vector<double> bandStart;  // [px] from the plot's edge outwards
  for (int f = 1; f < n; ++f) {
    ClearAxis axis;
    axis.Column = sel.Columns[f];
    axis.Colour = lay.Legend[static_cast<std::size_t>(f - 1)].Colour;
    axis.Ticks = CoveringTicks(extremes[static_cast<std::size_t>(f - 1)].Min,
                               extremes[static_cast<std::size_t>(f - 1)].Max, kMaxVerticalIntervals);
    axis.Exponent = ExponentFor(axis.Ticks);
    axis.Left = f % 2 == 1;
    axis.Caption.Text = AxisCaption(axis.Column, units, axis.Exponent);
    const double band =
        std::max(kTick + kGap + WidestLabel(fm, axis, sep), fm.horizontalAdvance(axis.Caption.Text));
    double& bands = axis.Left ? leftBands : rightBands;
    bandStart.push_back(bands);
    bands += band + kAxisGap;
    lay.Vertical.push_back(axis);
  }
  const double left = kMargin + std::max(leftBands, 30.0);
  const double right = frame.width() - kMargin - std::max(rightBands, 30.0);
  lay.Plot = QRectF(QPointF(left, top), QPointF(right, bottom));

  for (std::size_t a = 0; a < lay.Vertical.size(); ++a) {
    ClearAxis& axis = lay.Vertical[a];
    axis.Pos = axis.Left ? left - bandStart[a] : right + bandStart[a];
    for (int i = 0; i <= axis.Ticks.Intervals; ++i) {
      const double py = bottom - (bottom - top) * i / axis.Ticks.Intervals;
      axis.TickPx.push_back(py);
      const QString text = TickLabel(axis.Ticks.Tick(i), axis.Ticks.Step, axis.Exponent, sep);
      const double w = fm.horizontalAdvance(text);
      const double lx = axis.Left ? axis.Pos - kTick - kGap - w : axis.Pos + kTick + kGap;
      axis.Labels.push_back(Place(fm, lx, py - lineHeight / 2, text));
    }
    const double cw = fm.horizontalAdvance(axis.Caption.Text);
    axis.Caption = Place(fm, axis.Left ? axis.Pos - cw : axis.Pos, captionRow, axis.Caption.Text);
  }

  // Horizontal axis: the finest round step whose labels keep their distance.
  ClearAxis& h = lay.Horizontal;
  h.Column = sel.Columns[0];
  h.Colour = Qt::black;
  h.Left = false;
  h.Pos = bottom;
  const Extremes xe = ExtremesOf(table, h.Column, rows);
  // The finest step whose labels keep their distance and whose data fill the axis; failing that,
  // the finest whose labels keep their distance.
  std::optional<AxisTicks> spaced, filled;
  for (int most = kMaxHorizontalIntervals; most >= 1 && !filled; --most) {
    h.Ticks = CoveringTicks(xe.Min, xe.Max, most);
    h.Exponent = ExponentFor(h.Ticks);
    if (WidestLabel(fm, h, sep) + kLabelSpacing > (right - left) / h.Ticks.Intervals) continue;
    if (!spaced) spaced = h.Ticks;
    if (Fill(xe, h.Ticks) >= kLeastFill) filled = h.Ticks;
  }
  h.Ticks = filled ? *filled : spaced ? *spaced : h.Ticks;
  h.Exponent = ExponentFor(h.Ticks);
  for (int i = 0; i <= h.Ticks.Intervals; ++i) {
    const double px = left + (right - left) * i / h.Ticks.Intervals;
    h.TickPx.push_back(px);
    const QString text = TickLabel(h.Ticks.Tick(i), h.Ticks.Step, h.Exponent, sep);
    h.Labels.push_back(Place(fm, px - fm.horizontalAdvance(text) / 2, bottom + labelRow, text));
  }
  const QString caption = AxisCaption(h.Column, units, h.Exponent);
  h.Caption = Place(fm, (left + right - fm.horizontalAdvance(caption)) / 2,
                    bottom + labelRow + lineHeight + 4, caption);
  return lay;
}

void DrawClearGraph(QPainter& p, const TrajectoryTable& table, const GraphSelection& sel, int rows,
                    const UnitFlags& units, QChar sep, int32_t language, QSizeF frame) {
  const ClearLayout lay = LayOutClearGraph(table, sel, rows, units, sep, language, frame);
  const QRectF plot = lay.Plot;
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  p.setFont(lay.Font);
  p.fillRect(QRectF(0, 0, kGraphWidth, kGraphHeight), Qt::white);

  // Grid on the common ticks; the axes' ticks all fall on it.
  p.setPen(QPen(QColor(0xDD, 0xDD, 0xDD), 1));
  const std::vector<double>& gridY =
      lay.Vertical.empty() ? std::vector<double>{} : lay.Vertical.front().TickPx;
  for (const double y : gridY) p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
  for (const double x : lay.Horizontal.TickPx) p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
  p.setPen(QPen(QColor(0x60, 0x60, 0x60), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(plot);

  const auto text = [&p](const PlacedText& t, const QColor& colour) {
    p.setPen(colour);
    p.drawText(t.Box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, t.Text);
  };
  const ClearAxis& h = lay.Horizontal;
  p.setPen(QPen(Qt::black, 1));
  for (const double x : h.TickPx) p.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + kTick));
  for (const PlacedText& t : h.Labels) text(t, Qt::black);
  text(h.Caption, Qt::black);

  for (const ClearAxis& axis : lay.Vertical) {
    p.setPen(QPen(axis.Colour, 1.5));
    p.drawLine(QPointF(axis.Pos, plot.top()), QPointF(axis.Pos, plot.bottom()));
    const double out = axis.Left ? -kTick : kTick;
    for (const double y : axis.TickPx) p.drawLine(QPointF(axis.Pos, y), QPointF(axis.Pos + out, y));
    for (const PlacedText& t : axis.Labels) text(t, axis.Colour);
    text(axis.Caption, axis.Colour);
  }

  // Curves: the rows in stored order, each on its own scale, clipped to the plot area.
  p.setClipRect(plot.adjusted(-1, -1, 1, 1));
  for (const ClearAxis& axis : lay.Vertical) {
    QPainterPath path;
    for (int i = 1; i < rows; ++i) {
      const QPointF point(AxisPixel(h.Ticks, table.Cell(h.Column, i), plot.left(), plot.right()),
                          AxisPixel(axis.Ticks, table.Cell(axis.Column, i), plot.bottom(), plot.top()));
      if (i == 1)
        path.moveTo(point);
      else
        path.lineTo(point);
    }
    QPen pen(axis.Colour, 1.6);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    p.drawPath(path);
  }
  p.setClipping(false);

  for (const LegendEntry& e : lay.Legend) {
    p.fillRect(e.Swatch, e.Colour);
    text(e.Name, Qt::black);
  }
  p.restore();
}

}  // namespace zarn
