#pragma once
// The canvas over a QImage: QPainter fills the shapes and draws the text; lines are set pixel by
// pixel, because QPainter's one-pixel lines leave out the bottom-right end of a segment whichever
// way it runs, where the canvas must leave out the end point it moves to.
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <optional>

#include "plot/canvas.h"

namespace zarn {

class QPainterCanvas final : public Canvas {
 public:
  // Paints on `image` (Format_RGB32 or Format_ARGB32*) until destroyed. Pen black, brush white,
  // font plain sans-serif 12 pixels high, current position (0, 0).
  explicit QPainterCanvas(QImage& image);
  ~QPainterCanvas() override;
  QPainterCanvas(const QPainterCanvas&) = delete;
  QPainterCanvas& operator=(const QPainterCanvas&) = delete;

  void SetPenColor(Color c) override;
  void SetBrushColor(Color c) override;
  void SetFontSize(int points) override;
  void SetFontHeight(int pixels) override;

  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Rectangle(int x1, int y1, int x2, int y2) override;
  void Ellipse(int x1, int y1, int x2, int y2) override;
  void Polygon(std::span<const CanvasPoint> points) override;
  void TextOut(int x, int y, std::string_view text) override;

 private:
  // Pixels of the segment from (x0, y0) towards (x1, y1), the end point left out.
  void PlotSegment(int x0, int y0, int x1, int y1);
  void ApplyFont(int pixelSize, int cellHeight);

  QImage& image_;
  QPainter painter_;
  uchar* bits_;       // first scan line of image_
  qsizetype stride_;  // [bytes] between scan lines
  QRgb pen_;
  QRgb brush_;
  int curX_ = 0, curY_ = 0;
  QFont font_;
  std::optional<QFontMetrics> metrics_;
  int cellHeight_ = 12;  // [px] height of the white box behind a text
  int baseline_ = 10;    // [px] from the top of the cell to the base line
};

}  // namespace zarn
