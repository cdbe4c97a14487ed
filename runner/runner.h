#pragma once
// The headless runner: its command line, one whole run over the same code as the windows, and
// sweeps of many runs on all cores. Parsing is in options.cpp, --help in help.cpp, the figures and
// their JSON in figures.cpp, a run in run.cpp and a sweep in sweep.cpp.
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "answers/requests.h"
#include "answers/stats.h"
#include "flight/integrator.h"
#include "flight/key_figures.h"
#include "flight/parameters.h"
#include "flight/step_check.h"
#include "input/measured_data.h"
#include "input/vehicle_files.h"
#include "output/file_sink.h"
#include "plot/catalogue.h"
#include "records/constants.h"
#include "records/flight_data.h"
#include "runner/png_plugin.h"
#include "runner/run_monitor.h"

namespace zarn::runner {

// Exit codes of zarn-batch.
inline constexpr int kExitOk = 0;
inline constexpr int kExitRunError = 1;  // the run, a file or a sweep's case failed; files as left
inline constexpr int kExitUsage = 2;     // the command line was refused; nothing was touched
// Ctrl-C (or SIGTERM, SIGHUP) stopped the run or the sweep. The program itself does not exit with
// it: it ends by that signal, so that a shell sees 130 (143, 129) and stops a loop or script.
inline constexpr int kExitCancelled = 130;

extern const char* const kUsage;    // the synopsis, for a refused command line
extern const char* const kVersion;  // "zarn-batch 1.1"

// --help: the synopsis, every option, every parameter name with its unit and meaning, and every
// graph name with its caption.
std::string HelpText();

// A command line that cannot be run; what() says why.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One NAME=VALUE: a slot of the preset record and the value it gets.
struct ParameterSetting {
  const ParamName* Param;
  double Value;
};

// One --sweep NAME=FROM:TO:STEP: Count values from FROM in steps of STEP, TO included. Each value
// is (First + i * Step) / Scale, with whole First and Step where the texts were plain decimals, so
// that 0.1:0.5:0.1 gives the same doubles as the texts 0.1, 0.2, ... 0.5.
struct SweepAxis {
  const ParamName* Param;
  double First;
  double Step;
  double Scale;
  int64_t Count;
  double Value(int64_t i) const { return (First + static_cast<double>(i) * Step) / Scale; }
};

struct BatchOptions {
  int Preset = -1;                             //!< 0..4, or -1: no preset
  std::optional<PresetRecordSlots> ParamFile;  //!< --params: the record the file gives
  std::vector<ParameterSetting> Settings;      //!< applied after the preset or file, in order
  VehiclePaths ParamFilePaths;                 //!< the vehicle's files the parameter file names
  //! --set NAME=PATH of the vehicle's files, the last of each name ("": none, whatever the file says)
  std::array<std::optional<std::filesystem::path>, kVehicleFileNames.size()> SetPaths;
  //! The files named, as read once before any run; shared by every run and case. nullptr: none.
  std::shared_ptr<const VehicleTables> Vehicle;
  std::filesystem::path SaveParams;           //!< write the values in effect here; empty: no
  std::filesystem::path Directory = ".";      //!< where the two result files go
  std::filesystem::path Png;                  //!< the graph as a picture; empty: none
  const char* PngFormat = "PNG";              //!< the picture's format, from its extension
  bool ClearStyle = false;                    //!< --style clear: the picture in the clear style
  const GraphEntry* Graph = &DefaultGraph();  //!< what the picture shows
  std::filesystem::path Csv;                  //!< the table as CSV; "-": stdout; empty: none
  std::optional<MeasuredData> Compare;        //!< --compare: measured values to compare the run with
  std::filesystem::path Events;               //!< the events as CSV; "-": stdout; empty: none
  bool Json = false;                          //!< the figures as one JSON object
  bool Quiet = false;                         //!< no summary
  bool CheckStep = false;                     //!< fly again with half the step and report the error
  bool Help = false;
  bool Version = false;

  // Sweeps: a grid (--sweep, the last one varying fastest) or a list of cases (--case).
  std::vector<SweepAxis> Sweep;
  std::vector<std::vector<ParameterSetting>> Cases;
  int Jobs = 0;                   //!< threads; 0: one per core
  std::filesystem::path Keep;     //!< each case's files in Keep/case-NNNN; empty: none
  std::filesystem::path Summary;  //!< the sweep's rows; empty or "-": stdout
  int64_t ShardIndex = 0;         //!< --shard K/N: K ...
  int64_t ShardCount = 1;         //!< ... and N
  // How the disk guard of a sweep's kept files reads the free space; no option sets it (a test
  // gives a file system of its own making). Empty: the file system's own figure.
  SpaceProbe Space;

  // Solving over one parameter: --solve NAME=FROM:TO --for FIGURE=VALUE, or --maximize FIGURE or
  // --minimize FIGURE --over NAME=FROM:TO.
  std::optional<ParamInterval> Solve;             //!< --solve
  std::optional<FigureTarget> Target;             //!< --for
  std::optional<ParamInterval> Over;              //!< --over
  std::optional<std::size_t> Maximize, Minimize;  //!< the figure's index in kFigures
  std::optional<double> Tol;                      //!< of the figure; default DefaultTolerance
  std::optional<double> XTol;                     //!< of the parameter; default 1e-4 of TO - FROM

  // Monte Carlo: --monte-carlo N cases, each drawing every --vary from its own stream (--seed).
  int64_t MonteCarlo = 0;
  std::vector<ParamLaw> Vary;
  uint64_t Seed = 1;
  std::filesystem::path Stats;  //!< the statistics as CSV; empty: none ("-": stdout with --stats-of)
  std::filesystem::path Plot;   //!< the histogram and scatter picture; empty: none
  const char* PlotFormat = "PNG";
  // --stats-of FILE...: the statistics of Monte Carlo summaries (shards joined).
  std::vector<std::filesystem::path> StatsOf;

  bool IsSweep() const { return !Sweep.empty() || !Cases.empty() || IsMonteCarlo(); }
  bool IsSolve() const { return Solve || Maximize || Minimize; }
  bool IsMonteCarlo() const { return MonteCarlo > 0; }
};

// Reads the arguments after the program name (--opt value and --opt=value alike). Throws
// UsageError for an empty command line, an unknown option or name (with the nearest valid one), a
// value that does not fit, an unreadable or bad parameter file, or options that do not go together.
BatchOptions ParseArguments(std::span<const std::string_view> args);

// The preset record that the options describe: the preset or the file (or all zero), then each
// --set, as if the file said NAME = VALUE.
PresetRecordSlots BaseRecord(const BatchOptions& options);
// The vehicle's files the options name: the parameter file's, then each --set's.
VehiclePaths VehicleFiles(const BatchOptions& options);
// The parameters of a run of `record` with the options' vehicle.
FlightParameters RunParameters(const BatchOptions& options, const PresetRecordSlots& record);
// --save-params: the record and the vehicle's files into the file (paths relative to its folder).
void SaveParams(const BatchOptions& options, const PresetRecordSlots& record);

// A finished run and its figures (the task's own where it has one).
struct Flight {
  std::unique_ptr<RunResult> Result;
  Figures Values;
  bool LocatedMaxima = false;     //!< max_q_kPa and peak_nx_g searched inside the steps
  bool ThreeDimensions = false;   //!< FliesInThreeDimensions: the exports carry the place
  double DegPerRad = kDegPerRad;  //!< DegreesPerRadian: the events' angles in the run's own degrees
};
// Flies the parameters. Throws Error as ComputeTrajectory does. A result given to reuse (one
// taken back from an earlier flight) saves allocating and clearing its table.
Flight Fly(const FlightParameters& p, const RunOptions& run, std::unique_ptr<RunResult> reuse = nullptr);

// Figure `id` (present in f) as text: counts as whole numbers; the rest with 10 significant digits
// for people, or as the shortest text that reads back to the same double for scripts.
std::string FigureText(const Figures& f, int id, bool forPeople);

// "Flight time: 14.155 s" and so on, one figure a line, 10 significant digits.
std::string SummaryText(const Figures& figures);
// {"steps_per_pass": 20030, "t_s": 14.155000000000001, ...}: numbers as the shortest text that
// reads back to the same double; never inf or nan.
std::string FiguresJson(const Figures& figures);
// FiguresJson with the flight's events after them: {..., "events": [{"event": "launch", ...}, ...]};
// a flight in three dimensions has its place (PlaceJson) after the figures and in each event.
std::string FlightJson(const Flight& flight);
// {"error": "..."}
std::string ErrorJson(std::string_view message);

// A double as the shortest text that reads back to it; throws FloatingPointError for inf or nan.
std::string NumberText(double value);

// Runs what the options ask for: one run, then with --csv the table and with --png the graph (drawn
// by the picture module next to the running program, see png_plugin.h), or a sweep. Writes the summary (or
// JSON, or the sweep's rows) to `out` and errors, prefixed "zarn-batch: ", to `err`. A Ctrl-C
// (console.Cancel) stops the run or sweep with "Run cancelled" and the result kExitCancelled. Returns the
// exit code.
int Run(const BatchOptions& options, std::ostream& out, std::ostream& err, const Console& console = {});

// One run as the options ask, without the report: --save-params, the result files into Directory
// (none when it is empty), --csv (to `out` for "-") and --png. `monitor` watches the run and answers
// a Ctrl-C. Throws Error as the run, a file or the picture fails, or "Run cancelled".
Flight RunWithFiles(const BatchOptions& options, RunMonitor& monitor, std::ostream& out);

// What --check-step and --compare add to a run's report: the check's finer run and the deviation
// from the measured values, each only where asked for.
struct RunReport {
  std::optional<StepCheck> Check;
  std::optional<zarn::Deviation> Deviation;
};
// Makes them for a run of RunWithFiles (the check flies again, watched by `monitor`).
RunReport ReportOf(const BatchOptions& options, const Flight& flight, RunMonitor& monitor);
// Their keys for --json after the flight's own: ", \"rms_H_m\": ..., \"check_step\": {...}", or "".
std::string ReportJson(const RunReport& report, const Flight& flight);

// Writes `text` to `out` (standard output) and flushes it; FileError with the platform's reason
// (EIO where the stream gives none) when that failed.
void WriteStdout(std::ostream& out, std::string_view text);

// The stored rows of the selected columns of a run, in the units of `units` (a run's own unit
// switches undone, those of `units` applied), for a picture of several runs.
RunCurvesData CurvesOf(const RunResult& run, const GraphSelection& selection, const UnitFlags& units,
                       std::string name);

// A sweep's case as its row is written: its number from 1, its record, and its figures or error.
struct SweepRow {
  int64_t Case;
  const std::vector<const ParamName*>& Columns;  //!< the swept names, as the summary's columns
  const PresetRecordSlots& Record;
  const Figures& Values;   //!< meaningful where Error is empty
  std::string_view Error;  //!< empty: the case ran through
};
using SweepRowSink = std::function<void(const SweepRow& row)>;

// The sweep part of Run, also of a Monte Carlo run (its cases are its draws). `onRow`, where given, sees each
// row in case order as it is written.
int RunSweep(const BatchOptions& options, std::ostream& out, std::ostream& err, const Console& console,
             const SweepRowSink& onRow = {});
// A solution as its row is written: its number from 1, the parameter's value as the run took it,
// the figures there and the runs it took.
struct SolveRow {
  int64_t Case;
  const ParamName& Param;
  double Value;
  const Figures& Values;
  int64_t Runs;
};
using SolveRowSink = std::function<void(const SolveRow& row)>;

// The solving part of Run. `onRow`, where given, sees each solution's row as it is written.
int RunSolve(const BatchOptions& options, std::ostream& out, std::ostream& err, const Console& console,
             const SolveRowSink& onRow = {});
// --stats-of.
int RunStatsOf(const BatchOptions& options, std::ostream& out, std::ostream& err, const Console& console);
// The statistics of a Monte Carlo run's cases: the table for people on `err`, the CSV into
// --stats FILE ("-": `out`) and with --plot the picture. Throws Error (a file, the picture), and
// Error "Run cancelled" once `cancel` is set, before anything is written.
void ReportStatistics(const BatchOptions& options, const SampleTable& samples, std::ostream& out,
                      std::ostream& err, const std::atomic<int>* cancel);
// Removes the statistics file of an earlier run (--stats FILE, a plain file) before a run writes its
// summary, so that a summary never lies beside the statistics of another run.
void RemoveEarlierStatistics(const BatchOptions& options);

// The folder of --keep, held while a run keeps its files there: made where missing, locked (flock)
// against a second run, and emptied of the case folders ("case-" and digits) of an earlier run, so
// that it holds the cases of one run only. The shards of one run share the folder: each holds it
// shared and removes only its own cases' folders and those past the run's `total` cases (-1: all
// are the run's to remove). A folder that cannot be read cannot be locked and is refused.
class KeepFolder {
 public:
  // Empty `directory`: no --keep.
  explicit KeepFolder(const std::filesystem::path& directory, int64_t shardIndex = 0, int64_t shardCount = 1,
                      int64_t total = -1);
  ~KeepFolder();
  KeepFolder(const KeepFolder&) = delete;
  KeepFolder& operator=(const KeepFolder&) = delete;

 private:
  int fd_ = -1;
};

// "case-0001": as many digits as the largest case number needs, at least four, so that the folders
// sort in case order.
std::string CaseFolder(int64_t number, int64_t total);
// A CSV field: quoted when it holds a comma, a quote or a line end.
std::string CsvField(std::string_view text);
// The figures' keys, in kFigures' order.
std::span<const std::string_view> FigureKeys();

// Whether a table of runs (a sweep's or Monte Carlo's summary, a search's rows) lists the figure:
// those of a launch rail or a parachute only where its runs can have one (the base record gives
// it, or the table varies it), so that every other table keeps the columns it always had.
bool FigureListed(int id, const PresetRecordSlots& base, std::span<const ParamName* const> varied);
// The same for the summary of a sweep or Monte Carlo run of these options.
bool SummaryListsFigure(const BatchOptions& options, int id);

}  // namespace zarn::runner
