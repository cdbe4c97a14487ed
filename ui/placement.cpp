#include "ui/placement.h"

#include <algorithm>

namespace zarn::ui {
namespace {

// The start of a span of `length` moved into [lo, lo + room), the least distance.
int Into(int start, int length, int lo, int room) {
  if (length >= room) return lo;
  return std::clamp(start, lo, lo + room - length);
}

}  // namespace

QPoint PlacedInside(const QRect& frame, const QRect& available) {
  return {Into(frame.left(), frame.width(), available.left(), available.width()),
          Into(frame.top(), frame.height(), available.top(), available.height())};
}

}  // namespace zarn::ui
