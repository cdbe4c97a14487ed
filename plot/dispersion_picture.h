#pragma once
// The picture of a Monte Carlo run in the clear style: on the left the histogram of the impact
// range, on the right each case's impact range against its apex height with the ellipses at 1, 2
// and 3 standard deviations of the sample.
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

class QPainter;

namespace zarn {

struct DispersionPicture {
  // Histogram: Counts[i] cases in [BinLow + i * BinWidth, BinLow + (i + 1) * BinWidth).
  double BinLow = 0, BinWidth = 1;
  std::vector<double> Counts;
  // Scatter: one point per case, X the impact range, Y the apex height.
  std::vector<double> X, Y;
  // The ellipses at 1, 2 and 3 sigma, each a closed polyline in the scatter's units.
  std::array<std::vector<double>, 3> EllipseX, EllipseY;
  QString XCaption = QStringLiteral("Impact range, m");
  QString YCaption = QStringLiteral("Apex height, m");
};

// Draws onto an 800 x 600 surface.
void DrawDispersion(QPainter& painter, const DispersionPicture& picture);

}  // namespace zarn
