#pragma once
// The headless runner: its command line, and one whole run over the same code as the windows.
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "batch/run_monitor.h"
#include "plot/catalogue.h"
#include "sim/flight_data.h"

namespace zarn::batch {

// Exit codes of zarn-batch.
inline constexpr int kExitOk = 0;
inline constexpr int kExitRunError = 1;  // the run (or the picture) failed; files as it left them
inline constexpr int kExitUsage = 2;     // the command line was refused; nothing was touched

extern const char* const kUsage;

// A command line that cannot be run; what() says why.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One --set: a parameter and the value it gets.
struct ParameterSetting {
  std::string_view Name;
  double FlightParameters::*Field;
  double Value;
};

struct BatchOptions {
  int Preset = -1;                            //!< 0..4, or -1: the all-zero preset record
  std::vector<ParameterSetting> Settings;     //!< applied after the preset, in the given order
  std::filesystem::path Directory = ".";      //!< where the two result files go
  std::filesystem::path Png;                  //!< the graph as a picture; empty: none
  const GraphEntry* Graph = &DefaultGraph();  //!< what the picture shows
  std::filesystem::path Csv;                  //!< the table as CSV; empty: none
  bool Quiet = false;                         //!< no summary line
  bool Help = false;
};

// Reads the arguments after the program name. Throws UsageError for an unknown option or
// parameter name, a missing or non-numeric value, a preset out of range or an unknown graph.
BatchOptions ParseArguments(std::span<const std::string_view> args);

// The parameters as the calculation form would hold them: the preset applied as its activation
// applies it, then each --set. Setting TaskKind also sets BuoyancyMode.
void PrepareParameters(const BatchOptions& options, ZarnData& d);

// "Steps per pass: N  t = ... s  X = ... m  H = ... m  V = ... m/s" of the final state.
std::string Summary(const FlightState& s, int64_t stepsPerPass);

// Runs the computation and then, with --csv, saves the table and, with --png, the graph (drawn by
// the picture module next to the running program, see png_plugin.h). Writes the summary line to `out` and a
// run error's message to `err`; a Ctrl-C (console.Cancel) ends the run as the error "Run cancelled". Returns
// the exit code.
int Run(const BatchOptions& options, std::ostream& out, std::ostream& err, const Console& console = {});

}  // namespace zarn::batch
