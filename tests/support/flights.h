#pragma once
// Flights as the tests build them: the parameters of a preset or a record as the runner takes
// them, and a run of them with or without its result files.
#include <filesystem>
#include <memory>

#include "flight/integrator.h"
#include "flight/presets.h"
#include "output/result_files.h"
#include "records/constants.h"

namespace zarn::test_support {

// The parameters that preset `index` (0..4) gives, as the headless runner activates it.
inline FlightParameters PresetParameters(int index) {
  PresetRecordSlots record{};
  WritePresetRecord(index, record);
  return ParametersOf(record);
}

// A ballistic body without drag or lift: 1 kg, 0.02 m^2, launched from the ground at rest, a step of
// 0.01 s, 100 s at most. Each test changes what it is about.
inline FlightParameters Ballistic() {
  FlightParameters p{};
  p.TaskKind = kTaskBallistic;
  p.MassaStart = 1;
  p.S0 = 0.02;
  p.dt0 = 0.01;
  p.Tk = 100;
  return p;
}

// p as a rocket of one stage: `fuel` of the start mass burnt at `thrust` with one Isp at every
// pressure, so that the thrust does not depend on the air.
inline FlightParameters OneStageRocket(FlightParameters p, double startMass, double fuel, double isp,
                                       double thrust) {
  p.TaskKind = kTaskRocket;
  p.MassaStart = startMass;
  p.Mt = fuel;
  p.Iud = p.IudP0 = isp;
  p.Schub = thrust;
  return p;
}

// Stage 1: 100 kg at 10 kg/s (10 s, 20000 N), engine 30 kg. Stage 2: 50 kg at 5 kg/s (10 s,
// 12500 N), engine 20 kg. Sea-level and vacuum Isp are equal, so thrust does not depend on the
// air, and a step of 1/8 s keeps every time exact.
inline FlightParameters TwoStageRocket() {
  FlightParameters p = OneStageRocket(Ballistic(), 500, 100, 2000, 20000);
  p.V0 = 50;
  p.TTO = 80;
  p.dt0 = 0.125;
  p.Tk = 30;
  p.Mdv = 30;
  p.Mt2 = 50, p.Iud2 = p.IudP2 = 2500, p.Schu2 = 12500, p.Mdv2 = 20;
  return p;
}

// The two-stage sounding rocket of the examples: 600 kg of fuel at 60 kN / 2500 N*s/kg, then
// 350 kg at 25 kN / 2600 N*s/kg.
inline FlightParameters SoundingRocket() {
  FlightParameters p{};
  p.TaskKind = kTaskRocket;
  p.MassaStart = 1800;
  p.S0 = 0.13;
  p.Cx = 0.3;
  p.V0 = 30;
  p.TTO = 86;
  p.Tk = 1000;
  p.dt0 = 0.01;
  p.Mt = 600, p.Iud = 2300, p.IudP0 = 2500, p.Mdv = 200, p.Schub = 60000;
  p.Mt2 = 350, p.Iud2 = 2400, p.IudP2 = 2600, p.Mdv2 = 100, p.Schu2 = 25000;
  return p;
}

// Flies p with both result files in `directory`.
inline std::unique_ptr<RunResult> FlyWithFiles(const FlightParameters& p,
                                               const std::filesystem::path& directory,
                                               RunOptions options = {}) {
  ResultFiles files(directory);
  options.Sink = &files;
  return ComputeTrajectory(p, options);
}

}  // namespace zarn::test_support
