#pragma once
// The files that describe one's own vehicle: a motor's thrust curve in the RASP format (".eng")
// and tables of numbers (a drag coefficient over Mach, a wind over height, a pitch angle over
// time) as CSV. A file that cannot be meant is refused whole, naming the file, the line and the
// column at fault: nothing of it is used.
//
// RASP: ';' starts a comment line; the first other line is the header "NAME DIAMETER_MM LENGTH_MM
// DELAYS PROPELLANT_KG TOTAL_KG MAKER"; then one "TIME THRUST" pair a line, times rising, in s and
// N. CSV: comma-separated numbers with '.' as the decimal separator, '#' starts a comment, blank
// lines allowed, and one header line before the first row may name the columns.
#include <array>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "models/thrust_curve.h"
#include "models/vehicle_tables.h"
#include "records/errors.h"

namespace zarn {

class VehicleFileError : public Error {
 public:
  using Error::Error;
};

struct MotorFile {
  std::string Name;
  double DiameterMm = 0.0;
  double LengthMm = 0.0;
  std::string Delays;
  double PropellantKg = 0.0;
  double TotalKg = 0.0;
  std::string Maker;
  std::vector<ThrustPoint> Points;
  ThrustCurve Curve() const { return ThrustCurve(Points, PropellantKg); }
};

// `fileName` names the file in messages only.
MotorFile ParseMotorText(std::string_view text, std::string_view fileName);

// The rows of a table of `columns` numbers a row (each of them finite), the first column rising
// strictly from row to row. `what` names the columns for messages: "Mach, Cd". With maxColumns
// above `columns`, a row may hold up to that many, every row as many as the first.
std::vector<std::vector<double>> ParseTableText(std::string_view text, std::string_view fileName,
                                                std::size_t columns, std::string_view what,
                                                std::size_t maxColumns = 0);

// The names of the vehicle's files as parameters, in the order of VehiclePaths.
inline constexpr std::array<std::string_view, 8> kVehicleFileNames{
    "Motor1", "Motor2", "Motor3", "CdTable", "CdTable2", "CdTable3", "WindTable", "PitchTable"};
using VehiclePaths = std::array<std::filesystem::path, 8>;  // "" none, by kVehicleFileNames
// What each file gives, by kVehicleFileNames, for help texts and saved parameter files.
inline constexpr std::array<std::string_view, 8> kVehicleFileMeanings{
    "motor file (RASP .eng) of stage 1",
    "motor file (RASP .eng) of stage 2",
    "motor file (RASP .eng) of stage 3",
    "CSV of Mach, Cd of the vehicle (AeroModel 2)",
    "CSV of Mach, Cd from the ignition of stage 2",
    "CSV of Mach, Cd from the ignition of stage 3",
    "CSV of height [m], wind [m/s] along the azimuth[, across it]",
    "CSV of time [s], pitch [deg] above the horizontal",
};

// The index in kVehicleFileNames of that name (exact spelling), or -1.
int VehicleFileIndex(std::string_view name);
// Every name a parameter file or --set takes: kParamNames' names, then kVehicleFileNames (for hints).
std::span<const std::string_view> SettableNames();

// Reads every named file; nullptr when none is named. Throws VehicleFileError naming
// file:line:column. WindTable: height, along[, across]; CdTable*: Mach, Cd; PitchTable: t, deg.
std::shared_ptr<const VehicleTables> ReadVehicle(const VehiclePaths& paths);

}  // namespace zarn
