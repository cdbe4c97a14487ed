#pragma once
// The trajectory table as CSV for other tools: a header row naming each column with the unit it
// is stored in after the run (t_s or t_min or t_h, H_m or H_km, ...), then one row per table row,
// every number as the shortest text that reads back to the same double, '.' as decimal separator,
// UTF-8, LF line ends.
#include <array>
#include <filesystem>
#include <string>
#include <string_view>

#include "records/flight_data.h"

namespace zarn {

// The 30 column names for the given unit flags.
std::array<std::string_view, TrajectoryTable::kColumns> TableCsvColumnNames(const UnitFlags& units);

// The whole CSV text of rows 1..rows (0 <= rows <= RowsPerColumn): the rows a run stored.
std::string TableCsvText(const TrajectoryTable& table, const UnitFlags& units, int rows);

// Writes TableCsvText to the file; throws FileError with the platform's message on any failure.
void WriteTableCsv(const std::filesystem::path& path, const TrajectoryTable& table, const UnitFlags& units,
                   int rows);

}  // namespace zarn
