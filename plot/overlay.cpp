#include "plot/overlay.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <algorithm>
#include <array>
#include <cmath>

#include "plot/clear_style.h"
#include "plot/picture_file.h"
#include "plot/renderer.h"
#include "records/errors.h"

namespace zarn {
namespace {

// Distinct colours, apart for the common kinds of colour blindness where the palette allows, and
// dark enough on white. Black is kept for the run on show.
constexpr std::array<QRgb, kMaxLegendRuns> kRunColours{{
    0x0072B2,  // blue
    0xD55E00,  // vermilion
    0x009E73,  // bluish green
    0xCC79A7,  // reddish purple
    0xB08000,  // dark yellow
    0x56B4E9,  // sky blue
    0xE69F00,  // orange
    0x7F3C8D,  // violet
    0x8C564B,  // brown
    0x808080,  // grey
}};

// Stops of the colour scale for many runs: dark blue, teal, green, yellow (viridis-like, readable
// in grey too).
constexpr std::array<QRgb, 5> kScaleStops{{0x440154, 0x3B528B, 0x21908C, 0x5DC863, 0xD8C21A}};

// A line pattern per curve of the selection, so that runs keep their colour across curves.
constexpr std::array<Qt::PenStyle, 5> kPatterns{
    {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine, Qt::DashDotDotLine}};

constexpr double kMargin = 10, kTick = 4, kGap = 3, kAxisGap = 10;
constexpr int kMaxVerticalIntervals = 8, kMaxHorizontalIntervals = 10;

struct Range {
  double Min = 0, Max = 0;
  bool Any = false;
  void Add(double v) {
    if (!Any) {
      Min = Max = v;
      Any = true;
    }
    Min = std::min(Min, v);
    Max = std::max(Max, v);
  }
};

struct Axis {
  AxisTicks Ticks{};
  int Exponent = 0;
  double Pos = 0;
  bool Left = true;
};

int ExponentFor(const AxisTicks& t) {
  const double m = std::max(std::fabs(t.Lo()), std::fabs(t.Hi()));
  if (m == 0.0 || (m < 1e5 && m >= 1e-2)) return 0;
  return 3 * static_cast<int>(std::floor(std::log10(m) / 3.0));
}

double Fraction(double v, const AxisTicks& t) {
  return (v - t.Lo()) / (t.Hi() - t.Lo());
}

QPen CurvePen(const QColor& colour, int curve, double width) {
  QPen pen(colour, width);
  pen.setStyle(kPatterns[static_cast<std::size_t>(curve) % kPatterns.size()]);
  pen.setJoinStyle(Qt::RoundJoin);
  pen.setCapStyle(Qt::FlatCap);
  return pen;
}

}  // namespace

QColor RunColour(std::size_t index, std::size_t count) {
  if (count <= kMaxLegendRuns) return QColor(kRunColours[index % kRunColours.size()]);
  const double f = count > 1 ? static_cast<double>(index) / static_cast<double>(count - 1) : 0.0;
  const double at = f * static_cast<double>(kScaleStops.size() - 1);
  const std::size_t i = std::min(static_cast<std::size_t>(at), kScaleStops.size() - 2);
  const double w = at - static_cast<double>(i);
  const QColor a(kScaleStops[i]), b(kScaleStops[i + 1]);
  return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * w),
                          static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * w),
                          static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * w));
}

ComparedRun RunCurves(const TrajectoryTable& table, int rows, const UnitFlags& from, const UnitFlags& to,
                      const GraphSelection& selection, const QString& name) {
  ComparedRun run{name, {}};
  for (int e = 0; e < selection.Count - 1; ++e) {
    const int column = selection.Columns[static_cast<std::size_t>(e)];
    const double factor = StoredUnitFactor(column, from) / StoredUnitFactor(column, to);
    std::vector<double>& values = run.Columns.emplace_back();
    for (int i = 1; i < rows; ++i) values.push_back(Checked(table.Cell(column, i) * factor));
  }
  return run;
}

void DrawComparedGraph(QPainter& p, const ComparedGraph& g) {
  const int n = std::clamp(g.Selection.Count - 1, 1, static_cast<int>(g.Selection.Columns.size()));
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(12);
  const QFontMetricsF fm(font);
  const double lh = fm.height();
  const std::size_t runs = g.Runs.size();
  const std::size_t coloured = runs - (g.FirstInBlack && runs > 0 ? 1 : 0);
  const auto colourOf = [&](std::size_t r) {
    if (g.FirstInBlack) return r == 0 ? QColor(Qt::black) : RunColour(r - 1, coloured);
    return RunColour(r, coloured);
  };
  const bool scale = coloured > kMaxLegendRuns;

  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  p.setFont(font);
  p.fillRect(QRectF(0, 0, kGraphWidth, kGraphHeight), Qt::white);

  // Legend across the top: the runs (or a colour scale), the curves' patterns, the measured points.
  struct Entry {
    QString Text;
    QColor Colour;
    int Curve;  // pattern, -1 for a point
  };
  std::vector<Entry> entries;
  if (!scale) {
    for (std::size_t r = 0; r < runs; ++r) entries.push_back({g.Runs[r].Name, colourOf(r), 0});
  } else if (g.FirstInBlack) {
    entries.push_back({g.Runs[0].Name, Qt::black, 0});
  }
  if (n > 2)
    for (int f = 1; f < n; ++f)
      entries.push_back({LegendName(g.Selection.Columns[static_cast<std::size_t>(f)], g.Units, g.Language),
                         QColor(0x40, 0x40, 0x40), f - 1});
  if (!g.Measured.empty()) entries.push_back({g.MeasuredName, Qt::black, -1});
  double x = kMargin, y = kMargin;
  std::vector<std::pair<QPointF, const Entry*>> placed;
  for (const Entry& e : entries) {
    const double width = 30 + fm.horizontalAdvance(e.Text);
    if (x > kMargin && x + width > kGraphWidth - kMargin) {
      x = kMargin;
      y += lh + 4;
    }
    placed.push_back({QPointF(std::round(x), y), &e});
    x += width + 16;
  }
  double top = (entries.empty() ? kMargin : y + lh + 8);
  QRectF scaleBar;
  if (scale) {
    scaleBar = QRectF(kMargin + fm.horizontalAdvance(g.Runs.front().Name) + 8, top, 200, 10);
    top += lh + 10;
  }
  const double captionRow = top;
  top = captionRow + lh + 8;
  const double bottom = kGraphHeight - kMargin - lh - 4 - lh - (lh / 2 + 2);

  // Scales over every run and every measured point.
  std::vector<Range> ranges(static_cast<std::size_t>(n));
  for (const ComparedRun& run : g.Runs)
    for (std::size_t e = 0; e < run.Columns.size() && e < ranges.size(); ++e)
      for (const double v : run.Columns[e]) ranges[e].Add(v);
  for (const MeasuredPoints& m : g.Measured)
    for (int f = 1; f < n; ++f)
      if (g.Selection.Columns[static_cast<std::size_t>(f)] == m.Column)
        for (const QPointF& pt : m.Points) {
          ranges[0].Add(pt.x());
          ranges[static_cast<std::size_t>(f)].Add(pt.y());
        }
  int intervals = 4;
  for (int f = 1; f < n; ++f)
    intervals =
        std::max(intervals, CoveringTicks(ranges[static_cast<std::size_t>(f)].Min,
                                          ranges[static_cast<std::size_t>(f)].Max, kMaxVerticalIntervals)
                                .Intervals);
  std::vector<Axis> axes(static_cast<std::size_t>(n));
  double leftBands = 0, rightBands = 0;
  std::vector<double> bandStart(static_cast<std::size_t>(n), 0.0);
  const auto widest = [&](const Axis& a) {
    double w = 0;
    for (int i = 0; i <= a.Ticks.Intervals; ++i)
      w = std::max(
          w, fm.horizontalAdvance(TickLabel(a.Ticks.Tick(i), a.Ticks.Step, a.Exponent, g.DecimalSeparator)));
    return w;
  };
  for (int f = 1; f < n; ++f) {
    Axis& a = axes[static_cast<std::size_t>(f)];
    const Range& r = ranges[static_cast<std::size_t>(f)];
    a.Ticks = PaddedTicks(r.Min, r.Max, intervals);
    a.Exponent = ExponentFor(a.Ticks);
    a.Left = f % 2 == 1;
    const QString caption =
        AxisCaption(g.Selection.Columns[static_cast<std::size_t>(f)], g.Units, a.Exponent);
    const double band = std::max(kTick + kGap + widest(a), fm.horizontalAdvance(caption));
    double& bands = a.Left ? leftBands : rightBands;
    bandStart[static_cast<std::size_t>(f)] = bands;
    bands += band + kAxisGap;
  }
  const double left = kMargin + std::max(leftBands, 30.0);
  const double right = kGraphWidth - kMargin - std::max(rightBands, 30.0);
  const QRectF plot(QPointF(left, top), QPointF(right, bottom));
  Axis& h = axes[0];
  for (int most = kMaxHorizontalIntervals; most >= 1; --most) {
    h.Ticks = CoveringTicks(ranges[0].Min, ranges[0].Max, most);
    h.Exponent = ExponentFor(h.Ticks);
    if (widest(h) + 12 <= (right - left) / h.Ticks.Intervals) break;
  }

  // Grid, frame, horizontal axis.
  p.setPen(QPen(QColor(0xDD, 0xDD, 0xDD), 1));
  for (int i = 0; i <= intervals && n > 1; ++i) {
    const double gy = bottom - (bottom - top) * i / intervals;
    p.drawLine(QPointF(left, gy), QPointF(right, gy));
  }
  for (int i = 0; i <= h.Ticks.Intervals; ++i) {
    const double gx = left + (right - left) * i / h.Ticks.Intervals;
    p.drawLine(QPointF(gx, top), QPointF(gx, bottom));
  }
  p.setPen(QPen(QColor(0x60, 0x60, 0x60), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(plot);
  p.setPen(Qt::black);
  const auto text = [&p, &fm](double tx, double ty, const QString& t) {
    p.drawText(QRectF(tx, ty, fm.horizontalAdvance(t), fm.height()),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, t);
  };
  for (int i = 0; i <= h.Ticks.Intervals; ++i) {
    const double gx = left + (right - left) * i / h.Ticks.Intervals;
    p.drawLine(QPointF(gx, bottom), QPointF(gx, bottom + kTick));
    const QString t = TickLabel(h.Ticks.Tick(i), h.Ticks.Step, h.Exponent, g.DecimalSeparator);
    text(gx - fm.horizontalAdvance(t) / 2, bottom + lh / 2 + 2, t);
  }
  const QString hCaption = AxisCaption(g.Selection.Columns[0], g.Units, h.Exponent);
  text((left + right - fm.horizontalAdvance(hCaption)) / 2, bottom + lh / 2 + 2 + lh + 4, hCaption);

  // Vertical axes in dark grey: the colours belong to the runs. A short line of the curve's pattern
  // stands under each caption.
  for (int f = 1; f < n; ++f) {
    Axis& a = axes[static_cast<std::size_t>(f)];
    a.Pos = a.Left ? left - bandStart[static_cast<std::size_t>(f)]
                   : right + bandStart[static_cast<std::size_t>(f)];
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1.5));
    p.drawLine(QPointF(a.Pos, top), QPointF(a.Pos, bottom));
    const double out = a.Left ? -kTick : kTick;
    for (int i = 0; i <= a.Ticks.Intervals; ++i) {
      const double ty = bottom - (bottom - top) * i / a.Ticks.Intervals;
      p.drawLine(QPointF(a.Pos, ty), QPointF(a.Pos + out, ty));
      const QString t = TickLabel(a.Ticks.Tick(i), a.Ticks.Step, a.Exponent, g.DecimalSeparator);
      const double w = fm.horizontalAdvance(t);
      text(a.Left ? a.Pos - kTick - kGap - w : a.Pos + kTick + kGap, ty - lh / 2, t);
    }
    const QString caption =
        AxisCaption(g.Selection.Columns[static_cast<std::size_t>(f)], g.Units, a.Exponent);
    const double cw = fm.horizontalAdvance(caption);
    text(a.Left ? a.Pos - cw : a.Pos, captionRow, caption);
  }

  // Curves: the last run first, so that the first (the run on show) lies on top.
  p.setClipRect(plot.adjusted(-1, -1, 1, 1));
  const auto at = [&](double hx, double vy, const Axis& a) {
    return QPointF(left + (right - left) * Fraction(hx, h.Ticks),
                   bottom - (bottom - top) * Fraction(vy, a.Ticks));
  };
  for (std::size_t r = runs; r-- > 0;) {
    const ComparedRun& run = g.Runs[r];
    for (int f = 1; f < n && static_cast<std::size_t>(f) < run.Columns.size(); ++f) {
      QPainterPath path;
      const std::vector<double>& xs = run.Columns[0];
      const std::vector<double>& ys = run.Columns[static_cast<std::size_t>(f)];
      for (std::size_t i = 0; i < xs.size() && i < ys.size(); ++i) {
        const QPointF pt = at(xs[i], ys[i], axes[static_cast<std::size_t>(f)]);
        if (i == 0) {
          path.moveTo(pt);
        } else {
          path.lineTo(pt);
        }
      }
      p.setPen(CurvePen(colourOf(r), f - 1, r == 0 && g.FirstInBlack ? 2.0 : 1.6));
      p.drawPath(path);
    }
  }
  p.setPen(QPen(Qt::black, 1.2));
  p.setBrush(Qt::white);
  for (const MeasuredPoints& m : g.Measured)
    for (int f = 1; f < n; ++f)
      if (g.Selection.Columns[static_cast<std::size_t>(f)] == m.Column)
        for (const QPointF& pt : m.Points)
          p.drawEllipse(at(pt.x(), pt.y(), axes[static_cast<std::size_t>(f)]), 3.5, 3.5);
  p.setClipping(false);

  // The legend on top of everything.
  for (const auto& [where, e] : placed) {
    const double my = std::round(where.y() + lh / 2);
    if (e->Curve < 0) {
      p.setPen(QPen(Qt::black, 1.2));
      p.setBrush(Qt::white);
      p.drawEllipse(QPointF(where.x() + 12, my), 3.5, 3.5);
    } else {
      p.setPen(CurvePen(e->Colour, e->Curve, 3.0));
      p.drawLine(QPointF(where.x(), my), QPointF(where.x() + 24, my));
    }
    p.setPen(Qt::black);
    text(where.x() + 30, where.y(), e->Text);
  }
  if (scale) {
    const std::size_t first = g.FirstInBlack ? 1 : 0;
    QLinearGradient ramp(scaleBar.topLeft(), scaleBar.topRight());
    for (std::size_t i = 0; i < kScaleStops.size(); ++i)
      ramp.setColorAt(static_cast<double>(i) / static_cast<double>(kScaleStops.size() - 1),
                      QColor(kScaleStops[i]));
    p.fillRect(scaleBar, ramp);
    p.setPen(Qt::black);
    text(kMargin, scaleBar.top() + 5 - lh / 2, g.Runs[first].Name);
    text(scaleBar.right() + 8, scaleBar.top() + 5 - lh / 2, g.Runs.back().Name);
    if (!g.ScaleTitle.isEmpty())
      text(scaleBar.right() + 16 + fm.horizontalAdvance(g.Runs.back().Name), scaleBar.top() + 5 - lh / 2,
           QStringLiteral("(") + QString::number(coloured) + QStringLiteral(" ") + g.ScaleTitle +
               QStringLiteral(")"));
  }
  p.restore();
}

QImage ComparedGraphImage(const ComparedGraph& graph) {
  QImage image(kGraphWidth, kGraphHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  DrawComparedGraph(painter, graph);
  return image;
}

void SaveComparedGraph(const ComparedGraph& graph, const std::filesystem::path& path, const char* format) {
  SavePictureOf([&graph](QPainter& painter) { DrawComparedGraph(painter, graph); }, path, format);
}

}  // namespace zarn
