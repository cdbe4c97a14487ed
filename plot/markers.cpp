#include "plot/markers.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "plot/round_even.h"

namespace zarn {
namespace {

// The filled body of a marker; h, t, q are half, third and quarter of the size, H and r of the
// fixed size 15.
enum class Body : uint8_t {
  None,
  Square,        // (x-h, y-h, x+h, y+h)
  WideSquare,    // (x-h, y-h, x+h+1, y+h): one pixel wider to the right
  SquareInset,   // Square in silver, then (x-h+2, y-h+2, x+h-2, y+h-2) in the fill colour
  TriangleUp,    // (x-h, y+t), (x+h, y+t), (x, y-h)
  TriangleDown,  // (x-h, y-t), (x+h, y-t), (x, y+h)
  UprightBar,    // (x-q, y-h, x+q, y+h)
  FlatBar,       // (x-h, y-q, x+h, y+q)
  Circle,        // ellipse (x-r, y-r, x+r, y+r)
  FixedSquare,   // (x-H, y-H, x+H, y+H)
};

// Strokes over the body, in this order; their lengths follow `size` for every kind.
enum Stroke : uint8_t {
  kDiagonals = 1,       // (x-h, y-h)->(x+h, y+h) and (x-h, y+h)->(x+h, y-h)
  kHorizontal = 2,      // (x-h, y)->(x+h, y)
  kWideHorizontal = 4,  // (x-h, y)->(x+h+1, y)
  kVertical = 8,        // (x, y+h)->(x, y-h)
};

struct MarkerKind {
  Body Shape;
  Color Fill;
  uint8_t Strokes;
  std::string_view Letter;  // drawn at (x-3, y-H+1) with the canvas's font
};

constexpr MarkerKind kNothing{Body::None, kSilver, 0, ""};

// clang-format off
constexpr std::array<MarkerKind, 35> kMarkerKinds{{
    kNothing,                                                  // 0
    {Body::Square, kYellow, kDiagonals, ""},                   // 1
    {Body::WideSquare, kLime, kWideHorizontal | kVertical, ""},  // 2
    {Body::Square, kAqua, kHorizontal, ""},                    // 3
    {Body::SquareInset, kYellow, 0, ""},                       // 4
    {Body::None, kSilver, kDiagonals | kWideHorizontal | kVertical, ""},  // 5
    {Body::Square, kRed, 0, ""},                               // 6
    {Body::Square, kLime, 0, ""},                              // 7
    {Body::TriangleUp, kBlack, 0, ""},                         // 8
    {Body::TriangleDown, kBlack, 0, ""},                       // 9
    {Body::UprightBar, kRed, 0, ""},                           // 10
    {Body::FlatBar, kSilver, 0, ""},                           // 11
    {Body::TriangleUp, kYellow, 0, ""},                        // 12
    {Body::TriangleDown, kAqua, 0, ""},                        // 13
    {Body::Circle, kBlack, 0, ""},                             // 14
    {Body::FixedSquare, kAqua, 0, "l"},                        // 15
    {Body::Circle, kAqua, 0, ""},                              // 16
    {Body::Circle, kPaleBlue, kHorizontal, ""},                // 17
    {Body::Circle, kPaleCyan, kVertical, ""},                  // 18
    kNothing,                                                  // 19
    kNothing,                                                  // 20
    {Body::FixedSquare, kAqua, 0, "D"},                        // 21
    {Body::FixedSquare, kAqua, 0, "L"},                        // 22
    kNothing, kNothing, kNothing, kNothing,                    // 23..26
    kNothing, kNothing, kNothing, kNothing,                    // 27..30
    {Body::FixedSquare, kYellow, 0, "1"},                      // 31
    {Body::FixedSquare, kYellow, 0, "2"},                      // 32
    {Body::FixedSquare, kYellow, 0, "3"},                      // 33
    {Body::FixedSquare, kYellow, 0, "4"},                      // 34
}};
// clang-format on

constexpr int kFixedSize = 15;  // [px] nominal width of the kinds 14 and above

void Line(Canvas& c, int x1, int y1, int x2, int y2) {
  c.MoveTo(x1, y1);
  c.LineTo(x2, y2);
}

}  // namespace

void DrawMarker(Canvas& canvas, int x, int y, int size, int kind) {
  canvas.SetPenColor(kBlack);
  canvas.SetBrushColor(kSilver);
  if (kind < 0 || kind >= static_cast<int>(kMarkerKinds.size())) return;
  const MarkerKind& m = kMarkerKinds[static_cast<std::size_t>(kind)];

  const int h = RoundEven(size / 2.0), t = RoundEven(size / 3.0), q = RoundEven(size / 4.0);
  const int H = RoundEven(kFixedSize / 2.0), r = RoundEven(kFixedSize / 4.0);

  if (m.Shape != Body::SquareInset) canvas.SetBrushColor(m.Fill);
  switch (m.Shape) {
    case Body::None:
      break;
    case Body::Square:
      canvas.Rectangle(x - h, y - h, x + h, y + h);
      break;
    case Body::WideSquare:
      canvas.Rectangle(x - h, y - h, x + h + 1, y + h);
      break;
    case Body::SquareInset:
      canvas.Rectangle(x - h, y - h, x + h, y + h);
      canvas.SetBrushColor(m.Fill);
      canvas.Rectangle(x - h + 2, y - h + 2, x + h - 2, y + h - 2);
      break;
    case Body::TriangleUp: {
      const CanvasPoint p[] = {{x - h, y + t}, {x + h, y + t}, {x, y - h}};
      canvas.Polygon(p);
      break;
    }
    case Body::TriangleDown: {
      const CanvasPoint p[] = {{x - h, y - t}, {x + h, y - t}, {x, y + h}};
      canvas.Polygon(p);
      break;
    }
    case Body::UprightBar:
      canvas.Rectangle(x - q, y - h, x + q, y + h);
      break;
    case Body::FlatBar:
      canvas.Rectangle(x - h, y - q, x + h, y + q);
      break;
    case Body::Circle:
      canvas.Ellipse(x - r, y - r, x + r, y + r);
      break;
    case Body::FixedSquare:
      canvas.Rectangle(x - H, y - H, x + H, y + H);
      break;
  }
  if (m.Strokes & kDiagonals) {
    Line(canvas, x - h, y - h, x + h, y + h);
    Line(canvas, x - h, y + h, x + h, y - h);
  }
  if (m.Strokes & kHorizontal) Line(canvas, x - h, y, x + h, y);
  if (m.Strokes & kWideHorizontal) Line(canvas, x - h, y, x + h + 1, y);
  if (m.Strokes & kVertical) Line(canvas, x, y + h, x, y - h);
  if (!m.Letter.empty()) canvas.TextOut(x - 3, y - H + 1, m.Letter);

  canvas.SetBrushColor(kSilver);
}

}  // namespace zarn
