#include "plot/vector_canvas.h"

#include <QFontMetricsF>
#include <QPen>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <algorithm>
#include <cstdlib>

namespace zarn {
namespace {

QColor ToQColor(Color c) {
  return QColor(c.R, c.G, c.B);
}

// The centre of raster pixel (x, y).
QPointF Centre(int x, int y) {
  return QPointF(x + 0.5, y + 0.5);
}

constexpr int kScreenDpi = 96;  // [px/inch] the point size of a font is taken at screen resolution

}  // namespace

VectorCanvas::VectorCanvas(QPainter& painter) : painter_(painter) {
  painter_.setRenderHint(QPainter::Antialiasing, false);
  font_ = QFont(QStringLiteral("DejaVu Sans"));
  font_.setStyleHint(QFont::SansSerif);
  font_.setWeight(QFont::Normal);
  SetPenColor(kBlack);
  SetBrushColor(kWhite);
  SetFontHeight(12);
}

void VectorCanvas::SetPenColor(Color c) {
  QPen pen{ToQColor(c)};
  pen.setWidthF(1.0);
  pen.setCapStyle(Qt::FlatCap);
  painter_.setPen(pen);
}

void VectorCanvas::SetBrushColor(Color c) {
  painter_.setBrush(ToQColor(c));
}

void VectorCanvas::SetFontSize(int points) {
  font_.setPixelSize(std::max((points * kScreenDpi + 36) / 72, 1));
  painter_.setFont(font_);
  cellHeight_ = static_cast<int>(QFontMetricsF(font_).height() + 0.5);
}

void VectorCanvas::SetFontHeight(int pixels) {
  // The largest face whose cell fits, as on the raster canvas.
  int size = std::max(pixels, 1);
  for (; size > 1; --size) {
    font_.setPixelSize(size);
    if (QFontMetricsF(font_).height() <= pixels) break;
  }
  painter_.setFont(font_);
  cellHeight_ = pixels;
}

void VectorCanvas::MoveTo(int x, int y) {
  curX_ = x;
  curY_ = y;
}

void VectorCanvas::LineTo(int x, int y) {
  if (x != curX_ || y != curY_) painter_.drawLine(Centre(curX_, curY_), Centre(x, y));
  curX_ = x;
  curY_ = y;
}

void VectorCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  const int w = std::abs(x2 - x1), h = std::abs(y2 - y1);
  if (w == 0 || h == 0) return;
  painter_.drawRect(QRectF(Centre(std::min(x1, x2), std::min(y1, y2)), QSizeF(w - 1, h - 1)));
}

void VectorCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  const int w = std::abs(x2 - x1), h = std::abs(y2 - y1);
  if (w == 0 || h == 0) return;
  painter_.drawEllipse(QRectF(Centre(std::min(x1, x2), std::min(y1, y2)), QSizeF(w - 1, h - 1)));
}

void VectorCanvas::Polygon(std::span<const CanvasPoint> points) {
  if (points.empty()) return;
  QPolygonF poly;
  for (const CanvasPoint& p : points) poly << Centre(p.X, p.Y);
  painter_.drawPolygon(poly);
}

void VectorCanvas::TextOut(int x, int y, std::string_view text) {
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  const QFontMetricsF metrics(font_);
  painter_.fillRect(QRectF(x, y, metrics.horizontalAdvance(s), cellHeight_), Qt::white);
  const QPen pen = painter_.pen();
  painter_.setPen(QColor(Qt::black));
  painter_.drawText(QPointF(x, y + cellHeight_ - metrics.descent()), s);
  painter_.setPen(pen);
}

}  // namespace zarn
