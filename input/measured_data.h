#pragma once
// Measured values of a flight (a CSV with a t_s column and any of the table CSV's column names),
// and how far a run lies from them: RMS and largest difference at the measured times, and the
// differences of apex and range.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "flight/integrator.h"

namespace zarn {

// One measured quantity: a table column and its values, one per data row, in the CSV's unit (the
// column's stored unit, as the table CSV names it). An empty cell is no measurement (nullopt).
struct MeasuredColumn {
  int Column;
  std::vector<std::optional<double>> Values;
};

struct MeasuredData {
  std::string Name;                     //!< the file's name, for legends and messages
  std::vector<double> Time;             //!< [s] t_s of each data row
  std::vector<MeasuredColumn> Columns;  //!< the others, in the file's order
  const MeasuredColumn* Find(int column) const;
};

// The bounds of a table of measured data, far beyond any measured flight: memory stays below about
// 16 bytes a value (128 MiB) whatever the file, and the squares of the differences stay finite.
inline constexpr std::size_t kMaxMeasuredValues = 8'000'000;  //!< cells of the data rows, times included
inline constexpr std::size_t kMaxMeasuredLine = 64 * 1024;    //!< [bytes] of one line
inline constexpr double kMaxMeasuredMagnitude = 1e150;        //!< of one value

// Reads the CSV text: a header row of names, then rows of numbers ('.' decimal separator, LF or
// CR LF line ends, a UTF-8 byte order mark skipped, blank lines ignored). Throws Error "NAME:LINE: ..." or
// "NAME:LINE: column C (H_m): ..." for an unknown or repeated name (with the nearest valid one), a missing
// t_s, a row of the wrong length, a cell that is not a finite number (an empty t_s too) or lies beyond
// kMaxMeasuredMagnitude, or more than kMaxMeasuredValues cells. Text of the file in a message is
// shown escaped where it is not printable UTF-8.
MeasuredData ParseMeasuredData(std::string_view text, const std::string& name);
// The same from a file, read a line at a time: a line longer than kMaxMeasuredLine is refused before
// it is held. A file that cannot be read throws FileError with the platform's message.
MeasuredData ReadMeasuredData(const std::filesystem::path& path);

// Differences measured minus computed of one column at the measured times that lie within the
// flight: from its first stored row to its impact where it ends at the ground, else to its last
// row (the run's value interpolated linearly between its stored rows and the impact).
struct ColumnDeviation {
  int Column;
  int Compared;    //!< measured values within the flight
  int Outside;     //!< measured values at times outside the stored rows, skipped
  double Rms;      //!< in the column's CSV unit; 0 when none was compared
  double MaxDiff;  //!< the difference of the largest magnitude, with its sign
};

struct Deviation {
  std::vector<ColumnDeviation> Columns;  //!< in the file's order
  std::optional<double> ApexH;           //!< [m] largest measured H minus the run's apex, where it has one
  std::optional<double> RangeX;  //!< [m] X measured last minus the run's range: its impact, else X at its end
};

Deviation CompareWithRun(const MeasuredData& data, const RunResult& run);

// The value of table column `column` at time t [s], interpolated linearly between the stored rows
// of the run, in the column's CSV unit; nullopt outside the stored rows.
std::optional<double> RunValueAt(const RunResult& run, int column, double t);

// For people, one line a column, then apex and range: "H_m: RMS 1.234, largest -4.5 (12 times; 2
// outside the flight skipped)", "apex H_m: +3.2", "range X_m: -10.5"; numbers to 4 significant
// digits with the given decimal separator.
std::string DeviationText(const Deviation& deviation, char decimalSeparator);

// "H_m" and the like: the CSV name of a table column.
std::string_view CsvName(int column);

}  // namespace zarn
