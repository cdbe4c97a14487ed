#include "plot/qpainter_canvas.h"

#include <QBrush>
#include <QPen>
#include <QPoint>
#include <QPointF>
#include <QPolygonF>
#include <QRect>
#include <QString>
#include <algorithm>
#include <cstdlib>
#include <vector>

namespace zarn {
namespace {

QRgb ToRgb(Color c) {
  return qRgb(c.R, c.G, c.B);
}

constexpr int kScreenDpi = 96;  // [px/inch] the point size of a font is taken at screen resolution

}  // namespace

QPainterCanvas::QPainterCanvas(QImage& image) : image_(image) {
  if (image_.depth() != 32) image_ = image_.convertToFormat(QImage::Format_RGB32);
  bits_ = image_.bits();  // before the painter starts: a shared image detaches here, not later
  stride_ = image_.bytesPerLine();
  painter_.begin(&image_);
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::TextAntialiasing, false);
  font_ = QFont(QStringLiteral("DejaVu Sans"));
  font_.setStyleHint(QFont::SansSerif, QFont::NoAntialias);
  font_.setWeight(QFont::Normal);
  SetPenColor(kBlack);
  SetBrushColor(kWhite);
  SetFontHeight(12);
}

QPainterCanvas::~QPainterCanvas() {
  painter_.end();
}

void QPainterCanvas::SetPenColor(Color c) {
  pen_ = ToRgb(c);
  QPen pen{QColor(pen_)};
  pen.setWidth(1);
  pen.setCosmetic(true);
  painter_.setPen(pen);
}

void QPainterCanvas::SetBrushColor(Color c) {
  brush_ = ToRgb(c);
  painter_.setBrush(QBrush(QColor(brush_)));
}

void QPainterCanvas::ApplyFont(int pixelSize, int cellHeight) {
  font_.setPixelSize(std::max(pixelSize, 1));
  painter_.setFont(font_);
  metrics_.emplace(font_, &image_);
  cellHeight_ = cellHeight;
  baseline_ = cellHeight - metrics_->descent();
}

void QPainterCanvas::SetFontSize(int points) {
  const int pixels = (points * kScreenDpi + 36) / 72;
  font_.setPixelSize(std::max(pixels, 1));
  ApplyFont(pixels, QFontMetrics(font_, &image_).height());
}

void QPainterCanvas::SetFontHeight(int pixels) {
  // The largest face whose cell (ascent plus descent) fits; the cell itself is exactly `pixels`
  // high, the spare row going above the letters as the leading of a taller face would.
  int size = std::max(pixels, 1);
  for (; size > 1; --size) {
    font_.setPixelSize(size);
    if (QFontMetrics(font_, &image_).height() <= pixels) break;
  }
  ApplyFont(size, pixels);
}

void QPainterCanvas::MoveTo(int x, int y) {
  curX_ = x;
  curY_ = y;
}

void QPainterCanvas::LineTo(int x, int y) {
  PlotSegment(curX_, curY_, x, y);
  curX_ = x;
  curY_ = y;
}

void QPainterCanvas::PlotSegment(int x0, int y0, int x1, int y1) {
  const int w = image_.width(), h = image_.height();
  // Entirely on one outer side of the image: nothing to set, however long the segment.
  if ((x0 < 0 && x1 < 0) || (y0 < 0 && y1 < 0) || (x0 >= w && x1 >= w) || (y0 >= h && y1 >= h)) return;
  const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  while (x0 != x1 || y0 != y1) {
    if (x0 >= 0 && x0 < w && y0 >= 0 && y0 < h) reinterpret_cast<QRgb*>(bits_ + y0 * stride_)[x0] = pen_;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
}

void QPainterCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  const QRect box =
      QRect(QPoint(std::min(x1, x2), std::min(y1, y2)), QPoint(std::max(x1, x2) - 1, std::max(y1, y2) - 1));
  if (box.isEmpty()) return;
  painter_.fillRect(box, QColor(pen_));
  if (box.width() > 2 && box.height() > 2) painter_.fillRect(box.adjusted(1, 1, -1, -1), QColor(brush_));
}

void QPainterCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  const int left = std::min(x1, x2), top = std::min(y1, y2);
  const int w = std::abs(x2 - x1), h = std::abs(y2 - y1);
  if (w == 0 || h == 0) return;
  // A one-pixel pen around a rectangle of w - 1 by h - 1 covers exactly w by h pixels.
  painter_.drawEllipse(QRect(left, top, w - 1, h - 1));
}

void QPainterCanvas::Polygon(std::span<const CanvasPoint> points) {
  if (points.empty()) return;
  // QPainter fills the pixels whose centres (x + 0.5, y + 0.5) lie inside; moved by half a pixel,
  // the fill takes the pixels whose own coordinates lie inside, which the outline below encloses.
  QPolygonF poly(static_cast<int>(points.size()));
  for (std::size_t i = 0; i < points.size(); ++i)
    poly[static_cast<int>(i)] = QPointF(points[i].X + 0.5, points[i].Y + 0.5);
  const QPen pen = painter_.pen();
  painter_.setPen(Qt::NoPen);
  painter_.drawPolygon(poly);
  painter_.setPen(pen);
  // The outline as a closed run of segments: each vertex is set once, as a segment's start.
  for (std::size_t i = 0; i < points.size(); ++i) {
    const CanvasPoint a = points[i], b = points[(i + 1) % points.size()];
    PlotSegment(a.X, a.Y, b.X, b.Y);
  }
}

void QPainterCanvas::TextOut(int x, int y, std::string_view text) {
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  painter_.fillRect(QRect(x, y, metrics_->horizontalAdvance(s), cellHeight_), Qt::white);
  const QPen pen = painter_.pen();
  painter_.setPen(QColor(Qt::black));
  painter_.drawText(QPoint(x, y + baseline_), s);
  painter_.setPen(pen);
}

}  // namespace zarn
