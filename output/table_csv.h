#pragma once
// The trajectory table as CSV for scripts: a header row of stable English names with the unit
// (the Csv names of kColumns: t_s, V_m_s, q_kPa, H_m, ...), then one row per stored table row. Every number
// is in the named unit whatever the flight did (the run's unit switches are undone), as the shortest text
// that reads back to the same double, '.' as decimal separator; ASCII, LF line ends. The columns that no
// computation fills are left out, so the header is the same for every flight in the vertical plane; a
// flight in three dimensions adds its place (Z_m, Lat_deg, Lon_deg) after them.
#include <filesystem>
#include <string>

#include "records/flight_data.h"

namespace zarn {

// The header row, without its line end; `place`: with the place's columns.
std::string TableCsvHeader(bool place = false);

// The whole CSV text of rows 1..rows (0 <= rows <= RowsPerColumn: the rows a run stored) of a
// table converted by a run with these flags; `place` for a flight in three dimensions.
std::string TableCsvText(const TrajectoryTable& table, const UnitFlags& units, int rows, bool place = false);

// Writes TableCsvText to the file; throws FileError with the platform's message on any failure.
void WriteTableCsv(const std::filesystem::path& path, const TrajectoryTable& table, const UnitFlags& units,
                   int rows, bool place = false);

}  // namespace zarn
