#include "plot/dispersion_picture.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "plot/clear_style.h"
#include "plot/renderer.h"

namespace zarn {
namespace {

constexpr double kMargin = 10;  // [px]
constexpr double kTick = 4;     // [px]
constexpr double kGap = 3;      // [px] between a tick and its label
const QColor kBars(0x56, 0xB4, 0xE9);
const QColor kPoints(0x00, 0x72, 0xB2);
const QColor kEllipse(0xD5, 0x5E, 0x00);

// One panel: a plot area with a round scale on both axes.
struct Panel {
  QRectF Plot;
  AxisTicks H, V;
  QPointF At(double x, double y) const {
    return {Plot.left() + Plot.width() * (x - H.Lo()) / (H.Hi() - H.Lo()),
            Plot.bottom() - Plot.height() * (y - V.Lo()) / (V.Hi() - V.Lo())};
  }
};

void DrawPanel(QPainter& p, const Panel& panel, const QString& hCaption, const QString& vCaption) {
  const QFontMetricsF fm(p.font());
  const QRectF& r = panel.Plot;
  p.setPen(QPen(QColor(0xDD, 0xDD, 0xDD), 1));
  for (int i = 0; i <= panel.H.Intervals; ++i) {
    const double x = r.left() + r.width() * i / panel.H.Intervals;
    p.drawLine(QPointF(x, r.top()), QPointF(x, r.bottom()));
  }
  for (int i = 0; i <= panel.V.Intervals; ++i) {
    const double y = r.bottom() - r.height() * i / panel.V.Intervals;
    p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
  }
  p.setPen(QPen(QColor(0x60, 0x60, 0x60), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(r);
  p.setPen(Qt::black);
  for (int i = 0; i <= panel.H.Intervals; ++i) {
    const double x = r.left() + r.width() * i / panel.H.Intervals;
    p.drawLine(QPointF(x, r.bottom()), QPointF(x, r.bottom() + kTick));
    const QString label = TickLabel(panel.H.Tick(i), panel.H.Step, 0, '.');
    const double w = fm.horizontalAdvance(label);
    p.drawText(QRectF(x - w / 2, r.bottom() + kTick + kGap, w, fm.height()),
               Qt::AlignCenter | Qt::TextDontClip, label);
  }
  for (int i = 0; i <= panel.V.Intervals; ++i) {
    const double y = r.bottom() - r.height() * i / panel.V.Intervals;
    p.drawLine(QPointF(r.left() - kTick, y), QPointF(r.left(), y));
    const QString label = TickLabel(panel.V.Tick(i), panel.V.Step, 0, '.');
    const double w = fm.horizontalAdvance(label);
    p.drawText(QRectF(r.left() - kTick - kGap - w, y - fm.height() / 2, w, fm.height()),
               Qt::AlignRight | Qt::AlignVCenter | Qt::TextDontClip, label);
  }
  const double hw = fm.horizontalAdvance(hCaption);
  p.drawText(QRectF(r.center().x() - hw / 2, r.bottom() + kTick + kGap + fm.height() + 4, hw, fm.height()),
             Qt::AlignCenter | Qt::TextDontClip, hCaption);
  p.drawText(QRectF(r.left() - 40, r.top() - fm.height() - 8, r.width(), fm.height()),
             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, vCaption);
}

std::pair<double, double> Extent(const std::vector<double>& a,
                                 const std::array<std::vector<double>, 3>& more) {
  double lo = a.empty() ? 0.0 : *std::min_element(a.begin(), a.end());
  double hi = a.empty() ? 1.0 : *std::max_element(a.begin(), a.end());
  for (const auto& v : more) {
    if (v.empty()) continue;
    lo = std::min(lo, *std::min_element(v.begin(), v.end()));
    hi = std::max(hi, *std::max_element(v.begin(), v.end()));
  }
  return {lo, hi};
}

}  // namespace

void DrawDispersion(QPainter& p, const DispersionPicture& d) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(12);
  p.setFont(font);
  const QFontMetricsF fm(font);
  const double top = kMargin + fm.height() + 14;
  const double bottom = kGraphHeight - kMargin - 2 * fm.height() - kTick - kGap - 8;
  const double half = kGraphWidth / 2.0;

  // Histogram.
  const double binHigh = d.BinLow + d.BinWidth * static_cast<double>(d.Counts.size());
  const double most = d.Counts.empty() ? 1.0 : *std::max_element(d.Counts.begin(), d.Counts.end());
  Panel hist{QRectF(QPointF(kMargin + 50, top), QPointF(half - 20, bottom)),
             CoveringTicks(d.BinLow, binHigh, 6), CoveringTicks(0, most, 8)};
  DrawPanel(p, hist, d.XCaption, QStringLiteral("Cases"));
  p.setPen(QPen(Qt::white, 0.5));
  p.setBrush(kBars);
  for (std::size_t i = 0; i < d.Counts.size(); ++i) {
    const double x0 = d.BinLow + d.BinWidth * static_cast<double>(i);
    p.drawRect(QRectF(hist.At(x0, d.Counts[i]), hist.At(x0 + d.BinWidth, 0)));
  }

  // Scatter with the sigma ellipses.
  const auto [xLo, xHi] = Extent(d.X, d.EllipseX);
  const auto [yLo, yHi] = Extent(d.Y, d.EllipseY);
  Panel scatter{QRectF(QPointF(half + 60, top), QPointF(kGraphWidth - kMargin - 10, bottom)),
                CoveringTicks(xLo, xHi, 5), CoveringTicks(yLo, yHi, 8)};
  DrawPanel(p, scatter, d.XCaption, d.YCaption);
  p.setClipRect(scatter.Plot.adjusted(-1, -1, 1, 1));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(kPoints.red(), kPoints.green(), kPoints.blue(), 90));
  for (std::size_t i = 0; i < d.X.size() && i < d.Y.size(); ++i)
    p.drawEllipse(scatter.At(d.X[i], d.Y[i]), 1.6, 1.6);
  p.setBrush(Qt::NoBrush);
  std::array<QPointF, 3> names;
  for (std::size_t k = 0; k < 3; ++k) {
    const std::vector<double>&ex = d.EllipseX[k], &ey = d.EllipseY[k];
    if (ex.empty()) continue;
    QPainterPath path(scatter.At(ex[0], ey[0]));
    for (std::size_t i = 1; i < ex.size() && i < ey.size(); ++i) path.lineTo(scatter.At(ex[i], ey[i]));
    p.setPen(QPen(kEllipse, 1.4, k == 0 ? Qt::SolidLine : k == 1 ? Qt::DashLine : Qt::DotLine));
    p.drawPath(path);
    const auto right = std::max_element(ex.begin(), ex.end()) - ex.begin();
    names[k] = scatter.At(ex[static_cast<std::size_t>(right)], ey[static_cast<std::size_t>(right)]);
  }
  p.setClipping(false);
  // Each ellipse's name at its rightmost point, kept inside the picture.
  p.setPen(kEllipse);
  for (std::size_t k = 0; k < 3; ++k) {
    if (d.EllipseX[k].empty()) continue;
    const double x = std::min(names[k].x() + 3, kGraphWidth - kMargin - 18);
    p.drawText(QRectF(x, names[k].y() - fm.height() / 2, 30, fm.height()),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip,
               QString::number(k + 1) + QStringLiteral("σ"));
  }
  p.restore();
}

}  // namespace zarn
