#pragma once
// The drawing surface the graphs and marker symbols paint on: exactly the operations they use,
// with the raster rules of a classic off-screen bitmap (see Canvas below). The renderer and the
// markers know only this interface; the toolkit stays behind one implementation.
#include <cstdint>
#include <span>
#include <string_view>

namespace zarn {

struct Color {
  uint8_t R, G, B;
  friend constexpr bool operator==(Color, Color) = default;
};

inline constexpr Color kBlack{0, 0, 0};
inline constexpr Color kWhite{255, 255, 255};
inline constexpr Color kGrey{128, 128, 128};
inline constexpr Color kSilver{192, 192, 192};
inline constexpr Color kYellow{255, 255, 0};
inline constexpr Color kLime{0, 255, 0};
inline constexpr Color kAqua{0, 255, 255};
inline constexpr Color kRed{255, 0, 0};
inline constexpr Color kPaleBlue{174, 245, 249};
inline constexpr Color kPaleCyan{204, 255, 255};

struct CanvasPoint {
  int X, Y;  //!< [px] x to the right, y downwards
};

// Raster rules every implementation keeps (the pictures are compared pixel by pixel):
// - pens are 1 pixel wide, nothing is antialiased;
// - a box (x1, y1, x2, y2) of Rectangle or Ellipse covers x1..x2-1 and y1..y2-1 (corners in any
//   order), its outline in the pen colour and its inside in the brush colour;
// - LineTo paints every pixel of the segment from the current position except its end point,
//   which becomes the new current position;
// - a polygon is filled with the brush and outlined with the pen through all its points;
// - TextOut puts the top-left corner of the text cell at (x, y), black on white.
class Canvas {
 public:
  virtual ~Canvas() = default;

  virtual void SetPenColor(Color c) = 0;
  virtual void SetBrushColor(Color c) = 0;
  virtual void SetFontSize(int points) = 0;
  // Cell height of the font in pixels (ascent plus descent); overrides SetFontSize.
  virtual void SetFontHeight(int pixels) = 0;

  virtual void MoveTo(int x, int y) = 0;
  virtual void LineTo(int x, int y) = 0;
  virtual void Rectangle(int x1, int y1, int x2, int y2) = 0;
  virtual void Ellipse(int x1, int y1, int x2, int y2) = 0;
  virtual void Polygon(std::span<const CanvasPoint> points) = 0;
  // text is UTF-8.
  virtual void TextOut(int x, int y, std::string_view text) = 0;
};

}  // namespace zarn
