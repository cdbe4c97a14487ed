#pragma once
// Every column of the trajectory table, once: how a row stores it, its CSV name, and how the
// readout, the graph's captions and markers and the clear style's legend name it. Every reader
// loops over this table; a new column is a row here (and its number in Column).
#include <array>
#include <cstdint>
#include <numbers>
#include <string_view>

#include "flight/parameters.h"
#include "records/constants.h"
#include "records/errors.h"
#include "records/flight_data.h"

namespace zarn {

// The caption of a curve column with a positive scale: AltText replaces Text when *AltFlag is 1.
struct ColumnCaption {
  std::string_view Text;
  std::string_view AltText;
  int32_t UnitFlags::*AltFlag;
  int Dx;       //!< [px] from the axis
  int Dy;       //!< [px] above the top of the scale
  int DyFirst;  //!< [px] the same for the first curve, whose labels stand left of the plot
};

// The caption of a curve column with values below zero, 20 px above the top of its scale; ""
// for none.
struct NegativeCaption {
  std::string_view Text;
  int Dx;  //!< [px] from the axis
};

// Marker symbols of a curve column: one in the legend at the foot of its axis, and one on every
// (k + Spacing)-th row of the curve, k = round(sqrt(rows)). Kind 0 draws nothing.
struct CurveMarkers {
  int LegendKind, LegendSize;
  int Spacing;  //!< [rows] added to k
  int CurveKind, CurveSize;
};

// The clear style's names of a column: a symbol and unit (before the unit switches) for axes, and
// a name in each language for the legend. UTF-8.
struct ColumnLegend {
  const char* Symbol;
  const char* Unit;
  const char* Russian;
  const char* German;
  const char* English;
};

// Degrees per radian of a run's angles: the program's 57.3 over the flat Earth, the true 180/pi
// over a round one, whose flights are compared with the world's figures.
inline double DegreesPerRadian(const FlightParameters& p) {
  return p.EarthModel != 0.0 ? 180.0 / std::numbers::pi : kDegPerRad;
}

struct ColumnRow {
  std::string_view Csv;  //!< name and stored unit for other tools; "" for a column left out
  // The value a row stores after a motion step, in the column's stored unit (before the unit
  // switches). Faults as the arithmetic raises them.
  double (*Store)(const FlightState& s, const FlightParameters& p);
  std::string_view Symbol;  //!< in the readout
  std::string_view Unit;    //!< in the readout, the stored unit
  ColumnCaption Caption;
  NegativeCaption Negative;
  CurveMarkers Markers;
  ColumnLegend Legend;
};

inline constexpr double kAuftriebOffset = 1e-9;  //!< [N] added in column 12

// In column order (Column). Columns 5, 6, 8, 11 and 18 belong to the layout but no computation
// fills them; 19 and 20 hold 0 (the run clears Volumen at each pass start and every motion step
// clears Auftrieb) and 12 holds 1e-9: the CSV leaves all of them out.
// clang-format off
inline constexpr std::array<ColumnRow, TrajectoryTable::kColumns> kColumns{{
    {"t_s",  // 0 kColT
     [](const FlightState& s, const FlightParameters&) { return s.t; },
     "t", "s",
     {" t,Min", "", nullptr, 2, 20, 20},
     {"", 0},
     {0, 0, 0, 0, 0},
     {"t", "s", "Время", "Zeit", "Time"}},
    {"V_m_s",  // 1 kColV
     [](const FlightState& s, const FlightParameters&) { return s.V; },
     "V", "m/s",
     {"V,m/s", "", nullptr, 2, 20, 42},
     {"V,m/s", -6},
     {7, 6, -3, 7, 6},
     {"V", "m/s", "Скорость", "Geschwindigkeit", "Speed"}},
    {"q_kPa",  // 2 kColQkPa
     [](const FlightState& s, const FlightParameters&) { return s.q / 1000.0; },
     "q", "kPa",
     {"q,kPa", "", nullptr, 2, 20, 20},
     {"", 0},
     {1, 6, -2, 1, 8},
     {"q", "kPa", "Скоростной напор", "Staudruck", "Dynamic pressure"}},
    {"H_m",  // 3 kColH
     [](const FlightState& s, const FlightParameters&) { return s.H < 0.0 ? 0.0 : s.H; },
     "H", "m",
     {"H,m", "H,km", &UnitFlags::HeightInKm, 2, 20, 18},
     {"", 0},
     {6, 6, 0, 6, 6},
     {"H", "m", "Высота", "Höhe", "Height"}},
    {"Q_deg",  // 4 kColAngle
     [](const FlightState& s, const FlightParameters& p) { return s.Theta * DegreesPerRadian(p); },
     "Q", "\u00b0",
     {"Q,grad", "", nullptr, 2, 20, 20},
     {"Q,*", -2},
     {5, 4, -1, 5, 6},
     {"Q", "°", "Угол траектории", "Bahnneigungswinkel", "Path angle"}},
    {"",  // 5 kColZero5
     [](const FlightState&, const FlightParameters&) { return 0.0; },
     "column 5", "",
     {"+Druck,%", "", nullptr, -3, 30, 30},
     {"Nd,g", -2},
     {12, 6, -2, 12, 8},
     {"#5", "", "Столбец 5", "Spalte 5", "Column 5"}},
    {"",  // 6 kColZero6
     [](const FlightState&, const FlightParameters&) { return 0.0; },
     "column 6", "",
     {" Gas,L", "", nullptr, 2, 30, 30},
     {"Nl,g", -2},
     {13, 6, -2, 13, 8},
     {"#6", "", "Столбец 6", "Spalte 6", "Column 6"}},
    {"X_m",  // 7 kColX
     [](const FlightState& s, const FlightParameters&) { return s.X; },
     "X", "m",
     {"X,m", "X,km", &UnitFlags::RangeInKm, 2, 20, 20},
     {"", 0},
     {3, 6, 0, 3, 6},
     {"X", "m", "Дальность", "Entfernung", "Range"}},
    {"",  // 8 kColZero8
     [](const FlightState&, const FlightParameters&) { return 0.0; },
     "column 8", "",
     {"Cl", "", nullptr, 2, 20, 20},
     {"Cl", -2},
     {14, 8, 0, 15, 9},
     {"#8", "", "Столбец 8", "Spalte 8", "Column 8"}},
    {"nx_g",  // 9 kColNx
     [](const FlightState& s, const FlightParameters&) { return s.nx; },
     "nx", "g",
     {"nx,g", "", nullptr, 2, 20, 20},
     {"nx,g", -2},
     {13, 6, 0, 13, 7},
     {"nx", "g", "Продольная перегрузка", "Längslastvielfaches", "Axial load factor"}},
    {"ny_g",  // 10 kColNy
     [](const FlightState& s, const FlightParameters&) { return s.ny; },
     "ny", "g",
     {"ny,g", "", nullptr, 2, 20, 20},
     {"ny,g", -2},
     {12, 6, -1, 12, 7},
     {"ny", "g", "Нормальная перегрузка", "Querlastvielfaches", "Normal load factor"}},
    {"",  // 11 kColZero11
     [](const FlightState&, const FlightParameters&) { return 0.0; },
     "column 11", "",
     {"Vo/Vst", "", nullptr, 2, 20, 20},
     {"a,\u0458", -2},
     {18, 8, 1, 18, 9},
     {"#11", "", "Столбец 11", "Spalte 11", "Column 11"}},
    {"",  // 12 kColAuftriebEps
     [](const FlightState& s, const FlightParameters&) { return s.Auftrieb + kAuftriebOffset; },
     "F", "N",
     {"F,N", "", nullptr, 2, 20, 20},
     {"F,N", -12},
     {16, 8, 2, 16, 9},
     {"F", "N", "Архимедова сила", "Statischer Auftrieb", "Buoyant force"}},
    {"Vwind_m_s",  // 13 kColVwind
     [](const FlightState&, const FlightParameters& p) { return p.Vwind; },
     "Vw", "m/s",
     {"T,K", "", nullptr, 2, 20, 20},
     {"", 0},
     {2, 9, 1, 2, 7},
     {"Vw", "m/s", "Скорость ветра", "Windgeschwindigkeit", "Wind speed"}},
    {"Isp_Ns_kg",  // 14 kColIsp
     [](const FlightState& s, const FlightParameters&) { return s.Isp; },
     "Isp", "N*s/kg",
     {"Iud,N*s/kg", "", nullptr, 2, 20, 20},
     {"", 0},
     {8, 8, 0, 8, 8},
     {"Isp", "N·s/kg", "Удельный импульс", "Spezifischer Impuls", "Specific impulse"}},
    {"Thrust_N",  // 15 kColThrust
     [](const FlightState& s, const FlightParameters&) { return s.Thrust; },
     "P", "N",
     {"P,N", "P,kN", &UnitFlags::ThrustInKn, 2, 20, 20},
     {"P,N", -2},
     {4, 8, 0, 4, 8},
     {"P", "N", "Тяга", "Schub", "Thrust"}},
    {"Mass_kg",  // 16 kColMass
     [](const FlightState& s, const FlightParameters&) { return s.Mass; },
     "m", "kg",
     {"m,kg", "m,t", &UnitFlags::MassInTonnes, 2, 20, 20},
     {"m,kg/s", -2},
     {10, 8, 3, 10, 8},
     {"m", "kg", "Масса", "Masse", "Mass"}},
    {"ThrustPerMass_N_kg",  // 17 kColThrustPerMass
     [](const FlightState& s, const FlightParameters&) { return Checked(Div(s.Thrust, s.Mass)); },
     "P/m", "N/kg",
     {"P/m, N/kg", "", nullptr, 2, 35, 35},
     {"P/m,N/kg", -2},
     {11, 8, -1, 11, 9},
     {"P/m", "N/kg", "Тяга на единицу массы", "Schub je Masse", "Thrust per mass"}},
    {"",  // 18 kColZero18
     [](const FlightState&, const FlightParameters&) { return 0.0; },
     "column 18", "",
     {"Vx,m/s", "", nullptr, 2, 20, 20},
     {"", 0},
     {11, 8, 1, 11, 8},
     {"#18", "", "Столбец 18", "Spalte 18", "Column 18"}},
    {"",  // 19 kColVolumen
     [](const FlightState& s, const FlightParameters&) { return s.Volumen; },
     "Volumen", "m3",
     {"Volumen,m3", "", nullptr, 2, 20, 20},
     {"", 0},
     {2, 8, -2, 2, 7},
     {"Vol", "m³", "Объём", "Volumen", "Volume"}},
    {"",  // 20 kColAuftrieb
     [](const FlightState& s, const FlightParameters&) { return s.Auftrieb; },
     "Auftrieb", "N",
     {" Auftrieb,N", "", nullptr, 2, 20, 20},
     {"", 0},
     {2, 8, -3, 1, 8},
     {"A", "N", "Выталкивающая сила", "Auftrieb (statisch)", "Buoyancy"}},
    {"Drag_N",  // 21 kColDrag
     [](const FlightState& s, const FlightParameters&) { return s.Drag; },
     "D", "N",
     {"D,N", "", nullptr, 2, 20, 20},
     {"", 0},
     {9, 8, -3, 9, 8},
     {"D", "N", "Сила сопротивления", "Widerstand", "Drag"}},
    {"Lift_N",  // 22 kColLift
     [](const FlightState& s, const FlightParameters&) { return s.Lift; },
     "L", "N",
     {"L,N", "", nullptr, 2, 20, 20},
     {"L,H", -2},
     {8, 8, -2, 8, 8},
     {"L", "N", "Подъёмная сила", "Auftrieb", "Lift"}},
    {"Cx",  // 23 kColCx
     [](const FlightState& s, const FlightParameters&) { return s.CxCur; },
     "Cx", "",
     {"Cx", "", nullptr, 2, 20, 20},
     {"", 0},
     {16, 8, -1, 16, 8},
     {"Cx", "", "Коэффициент сопротивления", "Widerstandsbeiwert", "Drag coefficient"}},
    {"Cy",  // 24 kColCy
     [](const FlightState& s, const FlightParameters&) { return s.CyCur; },
     "Cy", "",
     {"Cy", "", nullptr, 2, 20, 20},
     {"", 0},
     {17, 8, -2, 17, 8},
     {"Cy", "", "Коэффициент подъёмной силы", "Auftriebsbeiwert", "Lift coefficient"}},
    {"Mach",  // 25 kColMach
     [](const FlightState& s, const FlightParameters&) { return s.Mach; },
     "Mach", "",
     {"Mach", "", nullptr, 2, 20, 20},
     {"", 0},
     {18, 8, -3, 18, 8},
     {"Ma", "", "Число Маха", "Machzahl", "Mach number"}},
    {"T_K",  // 26 kColTemp
     [](const FlightState& s, const FlightParameters&) { return s.Atm.T; },
     "T", "K",
     {"T,K", "", nullptr, 2, 20, 20},
     {"", 0},
     {12, 8, -1, 12, 8},
     {"T", "K", "Температура воздуха", "Lufttemperatur", "Air temperature"}},
    {"P_bar",  // 27 kColPbar
     [](const FlightState& s, const FlightParameters&) { return s.Atm.Pbar; },
     "p", "bar",
     {"P,bar", "", nullptr, 2, 20, 20},
     {"", 0},
     {13, 8, -2, 13, 8},
     {"p", "bar", "Давление воздуха", "Luftdruck", "Air pressure"}},
    {"rho_kg_m3",  // 28 kColRoh
     [](const FlightState& s, const FlightParameters&) { return s.Atm.Roh; },
     "rho", "kg/m3",
     {"r,kg/m3", "", nullptr, 2, 20, 20},
     {"", 0},
     {16, 8, 0, 16, 8},
     {"ρ", "kg/m³", "Плотность воздуха", "Luftdichte", "Air density"}},
    {"Re_1e3",  // 29 kColRe
     [](const FlightState& s, const FlightParameters&) { return Checked(Div(s.Atm.Roh * s.V * 1.0, s.Atm.Mu)) / 1000.0; },
     "Re/1000", "",
     {"Re/1000(1m)", "", nullptr, 2, 20, 20},
     {"", 0},
     {4, 8, 1, 4, 8},
     {"Re/1000", "", "Число Рейнольдса / 1000", "Reynoldszahl / 1000", "Reynolds number / 1000"}},
}};
// clang-format on

// Writes row `row` of the table from the state in column order, raising each unit flag right after
// its column.
inline void StoreRow(TrajectoryTable& table, UnitFlags& units, int32_t row, const FlightState& s,
                     const FlightParameters& p) {
  for (int column = 0; column < TrajectoryTable::kColumns; ++column) {
    const double value = kColumns[static_cast<std::size_t>(column)].Store(s, p);
    table.Cell(column, row) = value;
    for (const UnitSwitch& u : kUnitSwitches)
      if (u.Column == column && value > u.Threshold) units.*u.Flag = u.Value;
  }
  if (FliesInThreeDimensions(p)) {
    table.Cell(kColZ, row) = s.Z;
    table.Cell(kColLat, row) = s.Lat;
    table.Cell(kColLon, row) = s.Lon;
  }
}

// Divides every row of each column whose switch the run's flags applied; the rows the run did not
// store hold 0 and stay 0.
inline void ConvertUnits(TrajectoryTable& table, const UnitFlags& units) {
  for (const UnitSwitch& u : kUnitSwitches) {
    if (units.*u.Flag != u.Value) continue;
    for (int32_t row = 1; row <= table.RowsPerColumn; ++row) table.Cell(u.Column, row) /= u.Divisor;
  }
}

}  // namespace zarn
