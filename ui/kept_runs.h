#pragma once
// Runs the user keeps to compare with the later ones: each finished run with the parameters it
// flew, named by what differs from the run on show.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "flight/integrator.h"
#include "records/flight_data.h"

namespace zarn::ui {

struct KeptRun {
  std::shared_ptr<const RunResult> Run;
  FlightParameters Params;
};

class KeptRuns {
 public:
  static constexpr std::size_t kMost = 8;

  // Keeps the run; past kMost the oldest goes. A run already kept (the same result) is kept once.
  void Keep(std::shared_ptr<const RunResult> run, const FlightParameters& params);
  void Clear() { runs_.clear(); }
  const std::vector<KeptRun>& Runs() const { return runs_; }
  bool Empty() const { return runs_.empty(); }

 private:
  std::vector<KeptRun> runs_;  // oldest first
};

// The legend name of a kept run: the first two parameters, in the order of the parameter table,
// whose values differ from those of the run on show, "TTO = 30, V0 = 120", with "…" after them
// when more differ; empty when none does.
std::string DifferenceName(const FlightParameters& kept, const FlightParameters& shown,
                           char decimalSeparator);

}  // namespace zarn::ui
