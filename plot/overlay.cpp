#include "plot/overlay.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

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
// Data shorter than this share of an axis leave too much of the plot empty to read well.
constexpr double kLeastFill = 0.6;

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

namespace {

// A legend entry: a run, a curve's pattern or the measured points.
struct Entry {
  QString Text;
  QColor Colour;
  int Curve;  // pattern, -1 for a point
};

// Everything the graph places, inside its frame.
struct Placement {
  QFont Font;
  double LineHeight = 0;
  int N = 0;  // used selection entries
  std::size_t Coloured = 0;
  bool Scale = false;
  std::vector<Entry> Entries;
  std::vector<QPointF> EntryAt;  // [px] top-left of each entry
  QRectF ScaleBar;
  double CaptionRow = 0;
  QRectF Plot;
  std::vector<Axis> Axes;  // by selection entry, 0: horizontal
};

QColor ColourOf(const ComparedGraph& g, const Placement& at, std::size_t r) {
  if (g.FirstInBlack) return r == 0 ? QColor(Qt::black) : RunColour(r - 1, at.Coloured);
  return RunColour(r, at.Coloured);
}

Placement Place(const ComparedGraph& g) {
  Placement at;
  const int n = std::clamp(g.Selection.Count - 1, 1, static_cast<int>(g.Selection.Columns.size()));
  at.N = n;
  at.Font = QFont(QStringLiteral("DejaVu Sans"));
  at.Font.setStyleHint(QFont::SansSerif);
  at.Font.setPixelSize(12);
  const QFontMetricsF fm(at.Font);
  const double lh = fm.height();
  at.LineHeight = lh;
  const std::size_t runs = g.Runs.size();
  at.Coloured = runs - (g.FirstInBlack && runs > 0 ? 1 : 0);
  at.Scale = at.Coloured > kMaxLegendRuns;
  const double width = g.Frame.width(), height = g.Frame.height();

  // Legend across the top: the runs (or a colour scale), the curves' patterns, the measured points.
  if (!at.Scale) {
    for (std::size_t r = 0; r < runs; ++r) at.Entries.push_back({g.Runs[r].Name, ColourOf(g, at, r), 0});
  } else if (g.FirstInBlack) {
    at.Entries.push_back({g.Runs[0].Name, Qt::black, 0});
  }
  if (n > 2)
    for (int f = 1; f < n; ++f)
      at.Entries.push_back({LegendName(g.Selection.Columns[static_cast<std::size_t>(f)], g.Units, g.Language),
                            QColor(0x40, 0x40, 0x40), f - 1});
  if (!g.Measured.empty()) at.Entries.push_back({g.MeasuredName, Qt::black, -1});
  double x = kMargin, y = kMargin;
  for (const Entry& e : at.Entries) {
    const double w = 30 + fm.horizontalAdvance(e.Text);
    if (x > kMargin && x + w > width - kMargin) {
      x = kMargin;
      y += lh + 4;
    }
    at.EntryAt.emplace_back(std::round(x), y);
    x += w + 16;
  }
  double top = (at.Entries.empty() ? kMargin : y + lh + 8);
  if (at.Scale) {
    at.ScaleBar = QRectF(kMargin + fm.horizontalAdvance(g.Runs.front().Name) + 8, top, 200, 10);
    top += lh + 10;
  }
  at.CaptionRow = top;
  top = at.CaptionRow + lh + 8;
  const double bottom = height - kMargin - lh - 4 - lh - (lh / 2 + 2);

  // Scales over every run and every measured point, each axis with the ticks of its own data.
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
  at.Axes.resize(static_cast<std::size_t>(n));
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
    Axis& a = at.Axes[static_cast<std::size_t>(f)];
    const Range& r = ranges[static_cast<std::size_t>(f)];
    a.Ticks = CoveringTicks(r.Min, r.Max, kMaxVerticalIntervals);
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
  const double right = width - kMargin - std::max(rightBands, 30.0);
  at.Plot = QRectF(QPointF(left, top), QPointF(right, bottom));
  for (int f = 1; f < n; ++f) {
    Axis& a = at.Axes[static_cast<std::size_t>(f)];
    a.Pos = a.Left ? left - bandStart[static_cast<std::size_t>(f)]
                   : right + bandStart[static_cast<std::size_t>(f)];
  }
  // The finest step whose labels keep their distance and whose data fill the axis; failing that,
  // the finest whose labels keep their distance.
  Axis& h = at.Axes[0];
  std::optional<AxisTicks> spaced, filled;
  const Range& hr = ranges[0];
  for (int most = kMaxHorizontalIntervals; most >= 1 && !filled; --most) {
    h.Ticks = CoveringTicks(hr.Min, hr.Max, most);
    h.Exponent = ExponentFor(h.Ticks);
    if (widest(h) + 12 > (right - left) / h.Ticks.Intervals) continue;
    if (!spaced) spaced = h.Ticks;
    if ((hr.Max - hr.Min) / (h.Ticks.Hi() - h.Ticks.Lo()) >= kLeastFill) filled = h.Ticks;
  }
  h.Ticks = filled ? *filled : spaced ? *spaced : h.Ticks;
  h.Exponent = ExponentFor(h.Ticks);
  return at;
}

}  // namespace

ComparedLayout LayOutComparedGraph(const ComparedGraph& graph) {
  const Placement at = Place(graph);
  ComparedLayout lay{at.Plot, {}};
  for (const Axis& a : at.Axes) lay.Ticks.push_back(a.Ticks);
  return lay;
}

PointedAt PointNearest(const ComparedGraph& g, QPointF pixel) {
  const Placement at = Place(g);
  PointedAt best;
  if (!at.Plot.contains(pixel)) return best;
  const Axis& h = at.Axes[0];
  double nearest = 0;
  const auto consider = [&](double hx, double vy, int f, PointedAt candidate) {
    const Axis& a = at.Axes[static_cast<std::size_t>(f)];
    const QPointF d = QPointF(AxisPixel(h.Ticks, hx, at.Plot.left(), at.Plot.right()),
                              AxisPixel(a.Ticks, vy, at.Plot.bottom(), at.Plot.top())) -
                      pixel;
    const double distance = QPointF::dotProduct(d, d);
    if (best.Found && distance >= nearest) return;
    best = candidate;
    nearest = distance;
  };
  for (std::size_t r = 0; r < g.Runs.size(); ++r) {
    const ComparedRun& run = g.Runs[r];
    for (int f = 1; f < at.N && static_cast<std::size_t>(f) < run.Columns.size(); ++f)
      for (std::size_t i = 0;
           i < run.Columns[0].size() && i < run.Columns[static_cast<std::size_t>(f)].size(); ++i)
        consider(run.Columns[0][i], run.Columns[static_cast<std::size_t>(f)][i], f, {true, false, r, i, f});
  }
  for (std::size_t m = 0; m < g.Measured.size(); ++m)
    for (int f = 1; f < at.N; ++f)
      if (g.Selection.Columns[static_cast<std::size_t>(f)] == g.Measured[m].Column)
        for (std::size_t i = 0; i < g.Measured[m].Points.size(); ++i)
          consider(g.Measured[m].Points[i].x(), g.Measured[m].Points[i].y(), f, {true, true, m, i, f});
  return best;
}

void DrawComparedGraph(QPainter& p, const ComparedGraph& g) {
  const Placement at = Place(g);
  const int n = at.N;
  const QFontMetricsF fm(at.Font);
  const double lh = at.LineHeight;
  const std::size_t runs = g.Runs.size();
  const QRectF plot = at.Plot;
  const double left = plot.left(), right = plot.right(), top = plot.top(), bottom = plot.bottom();
  const std::vector<Axis>& axes = at.Axes;
  const Axis& h = axes[0];

  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  p.setFont(at.Font);
  p.fillRect(QRectF(0, 0, kGraphWidth, kGraphHeight), Qt::white);

  // Grid on the first vertical axis's ticks and the horizontal ones, frame, horizontal axis.
  p.setPen(QPen(QColor(0xDD, 0xDD, 0xDD), 1));
  if (n > 1)
    for (int i = 0; i <= axes[1].Ticks.Intervals; ++i) {
      const double gy = bottom - (bottom - top) * i / axes[1].Ticks.Intervals;
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

  // Vertical axes in dark grey: the colours belong to the runs.
  for (int f = 1; f < n; ++f) {
    const Axis& a = axes[static_cast<std::size_t>(f)];
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
    text(a.Left ? a.Pos - cw : a.Pos, at.CaptionRow, caption);
  }

  // Curves: the last run first, so that the first (the run on show) lies on top.
  p.setClipRect(plot.adjusted(-1, -1, 1, 1));
  const auto point = [&](double hx, double vy, const Axis& a) {
    return QPointF(AxisPixel(h.Ticks, hx, left, right), AxisPixel(a.Ticks, vy, bottom, top));
  };
  for (std::size_t r = runs; r-- > 0;) {
    const ComparedRun& run = g.Runs[r];
    for (int f = 1; f < n && static_cast<std::size_t>(f) < run.Columns.size(); ++f) {
      QPainterPath path;
      const std::vector<double>& xs = run.Columns[0];
      const std::vector<double>& ys = run.Columns[static_cast<std::size_t>(f)];
      for (std::size_t i = 0; i < xs.size() && i < ys.size(); ++i) {
        const QPointF pt = point(xs[i], ys[i], axes[static_cast<std::size_t>(f)]);
        if (i == 0) {
          path.moveTo(pt);
        } else {
          path.lineTo(pt);
        }
      }
      p.setPen(CurvePen(ColourOf(g, at, r), f - 1, r == 0 && g.FirstInBlack ? 2.0 : 1.6));
      p.drawPath(path);
    }
  }
  p.setPen(QPen(Qt::black, 1.2));
  p.setBrush(Qt::white);
  for (const MeasuredPoints& m : g.Measured)
    for (int f = 1; f < n; ++f)
      if (g.Selection.Columns[static_cast<std::size_t>(f)] == m.Column)
        for (const QPointF& pt : m.Points)
          p.drawEllipse(point(pt.x(), pt.y(), axes[static_cast<std::size_t>(f)]), 3.5, 3.5);
  p.setClipping(false);

  // The legend on top of everything.
  for (std::size_t i = 0; i < at.Entries.size(); ++i) {
    const Entry& e = at.Entries[i];
    const QPointF where = at.EntryAt[i];
    const double my = std::round(where.y() + lh / 2);
    if (e.Curve < 0) {
      p.setPen(QPen(Qt::black, 1.2));
      p.setBrush(Qt::white);
      p.drawEllipse(QPointF(where.x() + 12, my), 3.5, 3.5);
    } else {
      p.setPen(CurvePen(e.Colour, e.Curve, 3.0));
      p.drawLine(QPointF(where.x(), my), QPointF(where.x() + 24, my));
    }
    p.setPen(Qt::black);
    text(where.x() + 30, where.y(), e.Text);
  }
  if (at.Scale) {
    const QRectF scaleBar = at.ScaleBar;
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
           QStringLiteral("(") + QString::number(at.Coloured) + QStringLiteral(" ") + g.ScaleTitle +
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
