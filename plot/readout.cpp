#include "plot/readout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "plot/renderer.h"
#include "sim/number_text.h"

namespace zarn {
namespace {

// Each column by its symbol and the unit a run stores it in; Converted replaces Unit when the
// run's unit flag ended at Value (the same switches as the table's).
struct ColumnReadout {
  std::string_view Symbol;
  std::string_view Unit;
  int32_t UnitFlags::*Flag;  // nullptr: the unit never changes
  int32_t Value;
  std::string_view Converted;
};

// clang-format off
const std::array<ColumnReadout, TrajectoryTable::kColumns> kReadouts{{
    {"t", "s", &UnitFlags::TimeUnit, 2, "min"},     // 0 (hours below)
    {"V", "m/s", nullptr, 0, ""},                   // 1
    {"q", "kPa", nullptr, 0, ""},                   // 2
    {"H", "m", &UnitFlags::HeightInKm, 1, "km"},    // 3
    {"Q", "\u00b0", nullptr, 0, ""},                // 4
    {"column 5", "", nullptr, 0, ""},               // 5
    {"column 6", "", nullptr, 0, ""},               // 6
    {"X", "m", &UnitFlags::RangeInKm, 1, "km"},     // 7
    {"column 8", "", nullptr, 0, ""},               // 8
    {"nx", "g", nullptr, 0, ""},                    // 9
    {"ny", "g", nullptr, 0, ""},                    // 10
    {"column 11", "", nullptr, 0, ""},              // 11
    {"F", "N", nullptr, 0, ""},                     // 12
    {"Vw", "m/s", nullptr, 0, ""},                  // 13
    {"Isp", "N*s/kg", nullptr, 0, ""},              // 14
    {"P", "N", &UnitFlags::ThrustInKn, 1, "kN"},    // 15
    {"m", "kg", &UnitFlags::MassInTonnes, 1, "t"},  // 16
    {"P/m", "N/kg", nullptr, 0, ""},                // 17
    {"column 18", "", nullptr, 0, ""},              // 18
    {"Volumen", "m3", nullptr, 0, ""},              // 19
    {"Auftrieb", "N", nullptr, 0, ""},              // 20
    {"D", "N", nullptr, 0, ""},                     // 21
    {"L", "N", nullptr, 0, ""},                     // 22
    {"Cx", "", nullptr, 0, ""},                     // 23
    {"Cy", "", nullptr, 0, ""},                     // 24
    {"Mach", "", nullptr, 0, ""},                   // 25
    {"T", "K", nullptr, 0, ""},                     // 26
    {"p", "bar", nullptr, 0, ""},                   // 27
    {"rho", "kg/m3", nullptr, 0, ""},               // 28
    {"Re/1000", "", nullptr, 0, ""},                // 29
}};
// clang-format on

std::string_view UnitOf(int column, const UnitFlags& units) {
  if (column == kColT && units.TimeUnit == 3) return "h";
  const ColumnReadout& r = kReadouts[static_cast<std::size_t>(column)];
  return r.Flag != nullptr && units.*r.Flag == r.Value ? r.Converted : r.Unit;
}

std::string Line(const TrajectoryTable& table, const UnitFlags& units, int column, int row, char sep) {
  std::string line(kReadouts[static_cast<std::size_t>(column)].Symbol);
  line.append(" = ").append(FormatGeneral(table.Cell(column, row), 6, sep));
  const std::string_view unit = UnitOf(column, units);
  if (!unit.empty()) line.append(" ").append(unit);
  return line;
}

}  // namespace

int RowAtPixel(const TrajectoryTable& table, const GraphSelection& selection, int lastRow, int px) {
  if (lastRow < 1 || selection.Count < 2) return 0;
  // The renderer's horizontal layout for n used entries of the selection.
  const int n = std::min<int>(selection.Count - 1, static_cast<int>(selection.Columns.size()));
  const PlotArea area = PlotAreaFor(n);
  const int L = area.Left, W = area.Width;
  if (px < L || px > L + W) return 0;
  const int column = selection.Columns[0];
  double xmax = 0.0;
  for (int i = 1; i <= lastRow; ++i) xmax = std::max(xmax, table.Cell(column, i));
  if (xmax == 0.0) xmax = 1.0;
  const double pointed = (px - L) * xmax / W;
  int best = 1;
  for (int i = 2; i <= lastRow; ++i)
    if (std::fabs(table.Cell(column, i) - pointed) < std::fabs(table.Cell(column, best) - pointed)) best = i;
  return best;
}

std::string ReadoutText(const TrajectoryTable& table, const GraphSelection& selection, const UnitFlags& units,
                        int row, char decimalSeparator) {
  std::string text = Line(table, units, selection.Columns[0], row, decimalSeparator);
  text.append("  (row ").append(std::to_string(row)).append(")");
  const int n = std::min<int>(selection.Count - 1, static_cast<int>(selection.Columns.size()));
  for (int f = 1; f < n; ++f)
    text.append("\n").append(Line(table, units, selection.Columns[f], row, decimalSeparator));
  return text;
}

}  // namespace zarn
