#pragma once
// Flights as the tests build them: the parameters of a preset or a record as the runner takes
// them, and a run of them with or without its result files.
#include <filesystem>
#include <memory>

#include "flight/integrator.h"
#include "flight/presets.h"
#include "output/result_files.h"

namespace zarn::test_support {

// The parameters that preset `index` (0..4) gives, as the headless runner activates it.
inline FlightParameters PresetParameters(int index) {
  PresetRecordSlots record{};
  WritePresetRecord(index, record);
  return ParametersOf(record);
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
