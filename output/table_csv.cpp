#include "output/table_csv.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "flight/columns.h"
#include "output/file_sink.h"
#include "output/place_figures.h"
#include "records/errors.h"

namespace zarn {
namespace {

constexpr int kColumnCount = TrajectoryTable::kColumns3D;

// The longest shortest-round-trip text of a double, "-2.2250738585072014e-308".
constexpr std::size_t kNumberRoom = 24;
constexpr std::size_t kRowRoom = kColumnCount * (kNumberRoom + 1);  // numbers, commas, line end

}  // namespace

std::string TableCsvHeader(bool place) {
  std::string header;
  for (const ColumnRow& column : kColumns) {
    if (column.Csv.empty()) continue;
    if (!header.empty()) header += ',';
    header += column.Csv;
  }
  if (place)
    for (const PlaceRow& row : kPlaceRows) header.append(",").append(row.Key);
  return header;
}

std::string TableCsvText(const TrajectoryTable& table, const UnitFlags& units, int rows, bool place) {
  rows = std::clamp(rows, 0, table.RowsPerColumn);
  // The exported columns and the factor that takes each back to its named unit.
  int columns[kColumnCount];
  double factors[kColumnCount];
  int exported = 0;
  for (int c = 0; c < TrajectoryTable::kColumns; ++c) {
    if (kColumns[static_cast<std::size_t>(c)].Csv.empty()) continue;
    columns[exported] = c;
    factors[exported] = StoredUnitFactor(c, units);
    ++exported;
  }
  if (place)
    for (const PlaceRow& row : kPlaceRows) {  // no unit switch reaches them
      columns[exported] = row.Column;
      factors[exported] = 1.0;
      ++exported;
    }

  std::string text = TableCsvHeader(place) + '\n';
  const std::size_t headerLength = text.size();
  text.resize(headerLength + kRowRoom * static_cast<std::size_t>(rows));
  char* p = text.data() + headerLength;
  for (int row = 1; row <= rows; ++row) {
    for (int i = 0; i < exported; ++i) {
      if (i > 0) *p++ = ',';
      // A table never holds inf or nan; if one got there, it is refused rather than written.
      p = std::to_chars(p, p + kNumberRoom, Checked(table.Cell(columns[i], row) * factors[i])).ptr;
    }
    *p++ = '\n';
  }
  text.resize(static_cast<std::size_t>(p - text.data()));
  return text;
}

void WriteTableCsv(const std::filesystem::path& path, const TrajectoryTable& table, const UnitFlags& units,
                   int rows, bool place) {
  // The whole text first: a fault in the data leaves no file behind.
  const std::string text = TableCsvText(table, units, rows, place);
  WriteWholeFile(path, text);
}

}  // namespace zarn
