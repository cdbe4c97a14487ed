#pragma once
// The canvas over any QPainter device, for vector pictures (SVG, PDF): every operation becomes a
// shape of the device, laid on the pixel centres of the raster canvas, so the picture matches the
// bitmap at its own size and stays sharp when enlarged. Not pixel-exact: the raster rules of
// canvas.h hold for QPainterCanvas alone.
#include <QFont>
#include <QPainter>

#include "plot/canvas.h"

namespace zarn {

class VectorCanvas final : public Canvas {
 public:
  // Paints with `painter`, which is active on its device, in units of the 800 x 600 picture.
  // Pen black, brush white, font plain sans-serif 12 pixels high, current position (0, 0).
  explicit VectorCanvas(QPainter& painter);

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
  QPainter& painter_;
  int curX_ = 0, curY_ = 0;
  QFont font_;
  int cellHeight_ = 12;  // [px] height of the white box behind a text
};

}  // namespace zarn
