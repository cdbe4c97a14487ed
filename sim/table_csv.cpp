#include "sim/table_csv.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <memory>

#include "records/errors.h"
#include "sim/file_sink.h"

namespace zarn {
namespace {

constexpr int kColumns = TrajectoryTable::kColumns;

// Each column by what it holds and the unit a run stores it in; the columns that always hold 0
// are named by their number, so that every name is unique.
constexpr std::array<std::string_view, kColumns> kStoredNames{{
    "t_s",                   // 0
    "V_m_s",                 // 1
    "q_kPa",                 // 2
    "H_m",                   // 3
    "Q_deg",                 // 4
    "zero_5",                // 5
    "zero_6",                // 6
    "X_m",                   // 7
    "zero_8",                // 8
    "nx_g",                  // 9
    "ny_g",                  // 10
    "zero_11",               // 11
    "Auftrieb_plus_1e-9_N",  // 12
    "Vwind_m_s",             // 13
    "Isp_Ns_kg",             // 14
    "Thrust_N",              // 15
    "Mass_kg",               // 16
    "ThrustPerMass_N_kg",    // 17
    "zero_18",               // 18
    "Volumen_m3",            // 19
    "Auftrieb_N",            // 20
    "Drag_N",                // 21
    "Lift_N",                // 22
    "Cx",                    // 23
    "Cy",                    // 24
    "Mach",                  // 25
    "T_K",                   // 26
    "P_bar",                 // 27
    "rho_kg_m3",             // 28
    "Re_per_1000",           // 29
}};

// The name a column takes once the run converted it: when Flag ended at Value.
struct ConvertedName {
  int Column;
  int32_t UnitFlags::*Flag;
  int32_t Value;
  std::string_view Name;
};
constexpr std::array<ConvertedName, 6> kConvertedNames{{
    {kColT, &UnitFlags::TimeUnit, 2, "t_min"},
    {kColT, &UnitFlags::TimeUnit, 3, "t_h"},
    {kColH, &UnitFlags::HeightInKm, 1, "H_km"},
    {kColX, &UnitFlags::RangeInKm, 1, "X_km"},
    {kColThrust, &UnitFlags::ThrustInKn, 1, "Thrust_kN"},
    {kColMass, &UnitFlags::MassInTonnes, 1, "Mass_t"},
}};

// The longest shortest-round-trip text of a double, "-2.2250738585072014e-308".
constexpr std::size_t kNumberRoom = 24;
constexpr std::size_t kRowRoom = kColumns * (kNumberRoom + 1);  // numbers, commas, line end

}  // namespace

std::array<std::string_view, TrajectoryTable::kColumns> TableCsvColumnNames(const UnitFlags& units) {
  std::array<std::string_view, kColumns> names = kStoredNames;
  for (const ConvertedName& c : kConvertedNames)
    if (units.*c.Flag == c.Value) names[static_cast<std::size_t>(c.Column)] = c.Name;
  return names;
}

std::string TableCsvText(const TrajectoryTable& table, const UnitFlags& units, int rows) {
  rows = std::clamp(rows, 0, table.RowsPerColumn);
  std::string text;
  for (const std::string_view name : TableCsvColumnNames(units)) {
    if (!text.empty()) text += ',';
    text += name;
  }
  text += '\n';

  const std::size_t headerLength = text.size();
  text.resize(headerLength + kRowRoom * static_cast<std::size_t>(rows));
  char* p = text.data() + headerLength;
  for (int row = 1; row <= rows; ++row) {
    for (int column = 0; column < kColumns; ++column) {
      if (column > 0) *p++ = ',';
      // A table never holds inf or nan; if one got there, it is refused rather than written.
      p = std::to_chars(p, p + kNumberRoom, Checked(table.Cell(column, row))).ptr;
    }
    *p++ = '\n';
  }
  text.resize(static_cast<std::size_t>(p - text.data()));
  return text;
}

void WriteTableCsv(const std::filesystem::path& path, const TrajectoryTable& table, const UnitFlags& units,
                   int rows) {
  // The whole text first: a fault in the data leaves no file behind.
  const std::string text = TableCsvText(table, units, rows);
  WriteWholeFile(path, text);
}

}  // namespace zarn
