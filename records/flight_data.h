#pragma once
// The records of a flight: its parameters (records/parameters.h), its state, its table of samples
// with their unit switches, and the summary of a run. Plain values that a run takes and gives;
// nothing here allocates.
#include <array>
#include <cstdint>
#include <string_view>

#include "records/constants.h"
#include "records/parameters.h"

namespace zarn {

// The air at one height, as the standard atmosphere gives it.
struct AtmosphereState {
  double T;       //!< [K] temperature
  double Pbar;    //!< [bar] static pressure (1.013 at sea level)
  double Vsound;  //!< [m/s] speed of sound
  double Roh;     //!< [kg/m^3] density
  double Mu;      //!< [poise] dynamic viscosity
};

// State the integrator advances; keeps its last values after a run.
struct FlightState {
  double t;             //!< [s] model time
  double X;             //!< [m] horizontal distance from the start
  double H;             //!< [m] height
  double V;             //!< [m/s] speed along the path
  double Theta;         //!< [rad] trajectory angle (degrees / 57.3), within +-90/57.3
  double Mass;          //!< [kg] current mass
  double Area;          //!< [m^2] reference area of the forces (= S0)
  double Thrust;        //!< [N] current thrust along the path
  double Isp;           //!< [N*s/kg] current specific impulse, 0 without thrust
  double Stage;         //!< [-] stage that burned most recently, 0 at each pass start
  double AngleHold;     //!< [-] latch 0/1 of the rocket's vertical hold
  double CxCur;         //!< [-] drag coefficient of this step
  double CyCur;         //!< [-] lift coefficient of this step
  double Mach;          //!< [-] V / Vsound
  AtmosphereState Atm;  //!< the air at the current height
  double q;             //!< [Pa] dynamic pressure Roh*V^2/2
  double Drag;          //!< [N] CxCur*q*Area
  double Lift;          //!< [N] CyCur*q*Area
  double nx;            //!< [g] (Thrust - Drag)/(Mass*9.8)
  double ny;            //!< [g] Lift/(Mass*9.8)
  double dVdt;          //!< [m/s^2] tangential acceleration of the last step
  double Re;            //!< [-] Reynolds number for 1 m: Roh*V/Mu
  double Auftrieb;      //!< [N] buoyancy force (cleared by every motion step)
  double Volumen;       //!< [m^3] buoyant volume
  // Of a flight in three dimensions (a round Earth, or a cross wind); 0 in the vertical plane.
  double Z;    //!< [m] cross range, positive to the right of the azimuth
  double Lat;  //!< [deg] latitude
  double Lon;  //!< [deg] longitude
};

// Working data of one rocket stage, filled at each pass start.
struct StageData {
  double FuelMass;     //!< [kg]
  double IspSeaLevel;  //!< [N*s/kg]
  double IspVacuum;    //!< [N*s/kg]
  double DryMass;      //!< [kg] dropped at staging
  double MassFlow;     //!< [kg/s] vacuum thrust / IspVacuum
  double BurnTime;     //!< [s] FuelMass / MassFlow
};

// Column numbers of the trajectory table, with the unit each is stored in before the unit
// conversion after a run. What each holds and how it is named: kColumns (flight/columns.h).
enum Column : int {
  kColT = 0,               //!< [s] t (min or h after the conversion)
  kColV = 1,               //!< [m/s] V
  kColQkPa = 2,            //!< [kPa] q / 1000
  kColH = 3,               //!< [m] H, 0 below sea level (km after the conversion)
  kColAngle = 4,           //!< [deg] Theta * 57.3
  kColZero5 = 5,           //!< always 0
  kColZero6 = 6,           //!< always 0
  kColX = 7,               //!< [m] X (km after the conversion)
  kColZero8 = 8,           //!< always 0
  kColNx = 9,              //!< [g] nx
  kColNy = 10,             //!< [g] ny
  kColZero11 = 11,         //!< always 0
  kColAuftriebEps = 12,    //!< [N] Auftrieb + 1e-9
  kColVwind = 13,          //!< [m/s] Vwind
  kColIsp = 14,            //!< [N*s/kg] Isp
  kColThrust = 15,         //!< [N] Thrust (kN after the conversion)
  kColMass = 16,           //!< [kg] Mass (t after the conversion)
  kColThrustPerMass = 17,  //!< [N/kg] Thrust / Mass
  kColZero18 = 18,         //!< always 0
  kColVolumen = 19,        //!< [m^3] Volumen
  kColAuftrieb = 20,       //!< [N] Auftrieb
  kColDrag = 21,           //!< [N] Drag
  kColLift = 22,           //!< [N] Lift
  kColCx = 23,             //!< [-] CxCur
  kColCy = 24,             //!< [-] CyCur
  kColMach = 25,           //!< [-] Mach
  kColTemp = 26,           //!< [K] atmosphere T
  kColPbar = 27,           //!< [bar] atmosphere Pbar
  kColRoh = 28,            //!< [kg/m^3] atmosphere Roh
  kColRe = 29,             //!< [-] Re / 1000 for a length of 1 m
  // Beyond the 30 columns of the result files, filled by a flight in three dimensions alone.
  kColZ = 30,    //!< [m] Z
  kColLat = 31,  //!< [deg] Lat
  kColLon = 32,  //!< [deg] Lon
};

// 30 columns of RowsPerColumn rows in one block of 50000 doubles numbered from 1:
// column c (0..29), row r (1..RowsPerColumn) is element c * RowsPerColumn + r.
struct TrajectoryTable {
  static constexpr int kColumns = 30;
  static constexpr int kColumns3D = 33;  //!< with kColZ, kColLat and kColLon
  static constexpr int kMaxRows = 500;
  static constexpr int kElements = 50000;

  std::array<double, kElements + 1> Elements;  // [0] unused, so that numbering starts at 1
  int32_t RowsPerColumn;

  double& Cell(int column, int row) noexcept { return Elements[column * RowsPerColumn + row]; }
  double Cell(int column, int row) const noexcept { return Elements[column * RowsPerColumn + row]; }
};

// Units in which five table columns ended up after a run (0 = base unit).
struct UnitFlags {
  int32_t HeightInKm;    //!< column 3 in km
  int32_t TimeUnit;      //!< column 0: 0 s, 2 min, 3 h
  int32_t RangeInKm;     //!< column 7 in km
  int32_t ThrustInKn;    //!< column 15 in kN
  int32_t MassInTonnes;  //!< column 16 in t
};

// A unit switch of the table: a stored value above Threshold raises Flag to Value; after the run
// the column is divided by Divisor when Flag ended at Value. Listed in the order of conversion.
struct UnitSwitch {
  int Column;
  int32_t UnitFlags::*Flag;
  int32_t Value;
  double Threshold;
  double Divisor;
  std::string_view Unit;  //!< the column's unit after the switch
};
inline constexpr std::array<UnitSwitch, 6> kUnitSwitches{{
    {kColH, &UnitFlags::HeightInKm, 1, 10000.0, 1000.0, "km"},       // from m
    {kColT, &UnitFlags::TimeUnit, 2, 3600.0, 60.0, "min"},           // from s
    {kColT, &UnitFlags::TimeUnit, 3, 36000.0, 3600.0, "h"},          // from s (after the test for minutes)
    {kColX, &UnitFlags::RangeInKm, 1, 10000.0, 1000.0, "km"},        // from m
    {kColThrust, &UnitFlags::ThrustInKn, 1, 10000.0, 1000.0, "kN"},  // from N
    {kColMass, &UnitFlags::MassInTonnes, 1, 10000.0, 1000.0, "t"},   // from kg
}};

// The switch that the run's flags applied to the column, or nullptr.
constexpr const UnitSwitch* AppliedSwitch(int column, const UnitFlags& units) {
  for (const UnitSwitch& u : kUnitSwitches)
    if (u.Column == column && units.*u.Flag == u.Value) return &u;
  return nullptr;
}

// The factor that takes a column of a converted table back to the unit it was stored in.
constexpr double StoredUnitFactor(int column, const UnitFlags& units) {
  const UnitSwitch* u = AppliedSwitch(column, units);
  return u != nullptr ? u->Divisor : 1.0;
}

// What a run gave besides the table and its final state, for the callers that report on a run
// (the runner's summary and note, the window's note and graphs).
struct RunSummary {
  int64_t StepsPerPass;     //!< steps of the probe pass (the recording pass repeats them)
  int32_t SamplesStored;    //!< rows 1..SamplesStored of the table hold the run (0..RowsPerColumn)
  double ApexH;             //!< [m] largest H after any step of the recording pass
  double MaxQ;              //!< [Pa] largest dynamic pressure q of any step
  double PeakNx;            //!< [g] load factor nx of the largest magnitude of any step, with its sign
  double SampleInterval;    //!< [s] flight duration / RowsPerColumn: the time between samples
  int32_t Method;           //!< the integrator that flew the run (the parameter Integrator, rounded)
  int64_t RateEvaluations;  //!< evaluations of the forces in one pass (one per step for Euler)
};

// What the graph renderer draws: Columns[0] horizontal, Columns[1..Count-2] the curves.
struct GraphSelection {
  std::array<int32_t, 8> Columns;
  int32_t Count;  //!< number of used entries plus one
};

}  // namespace zarn
