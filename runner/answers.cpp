// Answers from many runs: solving over one parameter, and the statistics and picture of a Monte
// Carlo run's cases (its cases themselves run as a sweep's, in sweep.cpp).
#include <cerrno>
#include <cmath>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "answers/solve.h"
#include "answers/stats.h"
#include "flight/number_text.h"
#include "flight/presets.h"
#include "output/file_sink.h"
#include "output/param_writer.h"
#include "output/result_files.h"
#include "records/errors.h"
#include "runner/png_plugin.h"
#include "runner/runner.h"

namespace zarn::runner {
namespace {

namespace fs = std::filesystem;

std::string People(double v) {
  return FormatGeneral(v, 10, '.');
}

// The parts one after the other (g++ 12 warns, -Wrestrict, about chains of + on strings).
std::string Cat(std::initializer_list<std::string_view> parts) {
  std::string text;
  for (const std::string_view p : parts) text.append(p);
  return text;
}

// The runs of a search, one at a time: each the base record with the parameter's value, its
// figures kept by value for the rows of the solutions.
class Searcher {
 public:
  Searcher(const BatchOptions& o, const ParamName& param, std::size_t figure, const Console& console)
      : options_(o), base_(BaseRecord(o)), param_(param), figure_(figure), monitor_(console) {}

  std::optional<double> operator()(double x) {
    if (!std::isfinite(x)) return std::nullopt;  // no field holds it: never flown as anything else
    PresetRecordSlots record = base_;
    record[static_cast<std::size_t>(param_.Slot)] = x;
    ++runs_;
    try {
      std::optional<ResultFiles> files;
      RunOptions run;
      if (!options_.Keep.empty()) {
        const fs::path directory = options_.Keep / CaseFolder(runs_, 9999);
        std::error_code ec;
        fs::create_directories(directory, ec);
        if (ec) throw FileError(FileErrorText("create", directory, ec.value()));
        run.Sink = &files.emplace(directory);
      }
      run.ProgressEvery = kProgressEvery;
      run.Progress = [this](const RunProgress& p) { return monitor_(p); };
      run.Rows = files.has_value();  // the search reads figures only
      const Flight flight = Fly(RunParameters(options_, record), run);
      seen_[x] = flight.Values;
      return flight.Values[figure_];
    } catch (const FileError&) {
      throw;
    } catch (const Error&) {
      if (monitor_.Cancelled()) throw;
      return std::nullopt;  // a run refused or failed there gives no figure
    }
  }

  // The figures of the run at x (one of the runs made).
  const Figures& At(double x) const { return seen_.at(x); }
  RunMonitor& Monitor() { return monitor_; }
  // Whether the rows list figure `id` (FigureListed).
  bool Lists(int id) const {
    const ParamName* const varied[] = {&param_};
    return FigureListed(id, base_, varied);
  }

 private:
  const BatchOptions& options_;
  const PresetRecordSlots base_;
  const ParamName& param_;
  const std::size_t figure_;
  RunMonitor monitor_;
  std::map<double, Figures> seen_;
  int64_t runs_ = 0;
};

// The rows of the solutions: case, the parameter under its name, the figures, runs.
std::string SolutionRows(const std::vector<Solution>& found, const ParamName& param, const Searcher& s,
                         bool json) {
  std::string text = json ? "[" : Cat({"case,", param.Name});
  if (!json) {
    for (int id = 0; id < kFigureCount; ++id)
      if (s.Lists(id)) text.append(",").append(kFigures[static_cast<std::size_t>(id)].Key);
    text += ",runs\n";
  }
  int64_t number = 0;
  for (const Solution& solution : found) {
    ++number;
    const Figures& figures = s.At(solution.X);
    const std::string value = NumberText(FieldValue(solution.X));  // as the run took it
    if (json) {
      std::string object = FiguresJson(figures);
      object.erase(0, 1);
      text.append(number > 1 ? ", " : "").append("{\"case\": ").append(std::to_string(number));
      text.append(", \"").append(param.Name).append("\": ").append(value).append(", ");
      text.append(object, 0, object.size() - 1).append(", \"runs\": ").append(std::to_string(solution.Runs));
      text += '}';
      continue;
    }
    text.append(std::to_string(number)).append(",").append(value);
    for (int id = 0; id < kFigureCount; ++id) {
      if (!s.Lists(id)) continue;
      text += ',';
      if (figures[static_cast<std::size_t>(id)]) text += FigureText(figures, id, false);
    }
    text.append(",").append(std::to_string(solution.Runs)).append("\n");
  }
  return json ? text + "]\n" : text;
}

}  // namespace

int RunSolve(const BatchOptions& o, std::ostream& out, std::ostream& err, const Console& console,
             const SolveRowSink& onRow) {
  const ParamInterval& over = o.Solve ? *o.Solve : *o.Over;
  const std::size_t figure = o.Target ? o.Target->Figure : o.Maximize ? *o.Maximize : *o.Minimize;
  const FigureRow& row = kFigures[figure];
  const std::string unit = row.Unit.empty() ? "" : Cat({" ", row.Unit});
  const std::string where = Cat({" over ", over.Param->Name, " ", People(over.From), "..", People(over.To)});
  Searcher searcher(o, *over.Param, figure, console);
  const Objective objective = [&searcher](double x) { return searcher(x); };
  // A range across most of the doubles has no finite width, but its parts have.
  const double xtol = o.XTol                               ? *o.XTol
                      : std::isfinite(over.To - over.From) ? 1e-4 * (over.To - over.From)
                                                           : 1e-4 * over.To - 1e-4 * over.From;
  try {
    if (!o.SaveParams.empty()) SaveParams(o, BaseRecord(o));
    const KeepFolder kept(o.Keep);
    std::vector<Solution> found;
    std::string refusal;
    if (o.Target) {
      const double target = o.Target->Value;
      const double tol = o.Tol ? *o.Tol : DefaultTolerance(row.Key, target);
      const TargetAnswer a = SolveForTarget(objective, over.From, over.To, target, tol, xtol);
      found = a.Solutions;
      const std::string at = " at " + std::string(over.Param->Name) + " = ";
      if (a.NoFigure) {
        refusal = Cat({"no run", where, " gives ", row.Key});
      } else if (a.Unreached) {
        refusal = std::string(row.Key) + " reaches at " + (a.Unreached->Above ? "most " : "least ") +
                  People(a.Unreached->Extreme) + unit + where + "," + at +
                  People(FieldValue(a.Unreached->At));
      }
      for (const double x : a.NoFigureAt) {
        const std::string none =
            Cat({"no ", row.Key, " near ", over.Param->Name, " = ", People(FieldValue(x)),
                 ": a run there gives none, so ", People(target), unit, " cannot be followed across it"});
        if (found.empty() && refusal.empty())
          refusal = none;
        else
          err << "zarn-batch: " << none << '\n';
      }
      for (const double x : a.JumpsAt) {
        const std::string jump = std::string(row.Key) + " jumps across " + People(target) + unit + " near " +
                                 std::string(over.Param->Name) + " = " + People(FieldValue(x));
        if (found.empty() && refusal.empty())
          refusal = jump;
        else
          err << "zarn-batch: " << jump << '\n';
      }
    } else {
      if (const auto best = FindExtreme(objective, over.From, over.To, xtol, o.Maximize.has_value()))
        found.push_back(*best);
      else
        refusal = Cat({"no run", where, " gives ", row.Key});
    }
    searcher.Monitor().Erase();
    if (!refusal.empty()) {
      err << "zarn-batch: " << refusal << '\n';
      if (o.Json) WriteStdout(out, ErrorJson(refusal) + '\n');
      return kExitRunError;
    }
    WriteStdout(out, SolutionRows(found, *over.Param, searcher, o.Json));
    if (onRow)
      for (std::size_t i = 0; i < found.size(); ++i)
        onRow({static_cast<int64_t>(i + 1), *over.Param, FieldValue(found[i].X), searcher.At(found[i].X),
               found[i].Runs});
    return kExitOk;
  } catch (const std::exception& e) {
    searcher.Monitor().Erase();
    const bool cancelled = searcher.Monitor().Cancelled();
    const std::string message = cancelled ? "Run cancelled" : e.what();
    err << "zarn-batch: " << message << '\n';
    if (o.Json) out << ErrorJson(message) << '\n' << std::flush;
    return cancelled ? kExitCancelled : kExitRunError;
  }
}

namespace {

// The picture of the cases: the impact range's histogram and its scatter against the apex height.
void PlotCases(const BatchOptions& o, const SampleTable& samples) {
  std::size_t xi = samples.Figures.size(), yi = samples.Figures.size();
  for (std::size_t i = 0; i < samples.Figures.size(); ++i) {
    if (samples.Figures[i] == kFigures[kFigImpactX].Key) xi = i;
    if (samples.Figures[i] == kFigures[kFigApex].Key) yi = i;
  }
  std::vector<double> x, y;
  for (const SampleRow& r : samples.Rows) {
    if (r.Failed || xi == samples.Figures.size() || yi == samples.Figures.size()) continue;
    if (!r.Figures[xi] || !r.Figures[yi]) continue;
    x.push_back(*r.Figures[xi]);
    y.push_back(*r.Figures[yi]);
  }
  if (x.empty()) throw Error("--plot draws the impact range: no case has an impact");
  const double n = static_cast<double>(x.size());
  double mx = 0, my = 0;
  for (std::size_t i = 0; i < x.size(); ++i) mx += x[i], my += y[i];
  mx /= n, my /= n;
  double vx = 0, vy = 0, cxy = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    vx += (x[i] - mx) * (x[i] - mx);
    vy += (y[i] - my) * (y[i] - my);
    cxy += (x[i] - mx) * (y[i] - my);
  }
  const double d = x.size() > 1 ? n - 1 : 1;
  const Histogram h = HistogramOf(x);
  std::vector<double> counts(h.Counts.begin(), h.Counts.end());
  std::vector<double> ex, ey;
  constexpr int kSegments = 96;
  for (const double k : {1.0, 2.0, 3.0})
    for (const PlanePoint& p : SigmaEllipse(mx, my, vx / d, vy / d, cxy / d, k, kSegments)) {
      ex.push_back(p.X);
      ey.push_back(p.Y);
    }
  const std::string path = o.Plot.string();
  const DispersionRequest request{h.Low,
                                  h.Width,
                                  counts.data(),
                                  static_cast<int32_t>(counts.size()),
                                  x.data(),
                                  y.data(),
                                  static_cast<int32_t>(x.size()),
                                  ex.data(),
                                  ey.data(),
                                  kSegments + 1,
                                  path.c_str(),
                                  o.PlotFormat};
  SaveDispersionThroughModule(request);
}

}  // namespace

void ReportStatistics(const BatchOptions& o, const SampleTable& samples, std::ostream& out, std::ostream& err,
                      const std::atomic<int>* cancel) {
  const std::vector<FigureStats> stats = Statistics(samples, cancel);
  if (cancel != nullptr && *cancel != 0) throw Error("Run cancelled");  // nothing written yet
  err << StatisticsText(samples, stats);
  if (o.Stats == "-") {
    WriteStdout(out, StatisticsCsv(samples, stats));
  } else if (!o.Stats.empty()) {
    WriteWholeFile(o.Stats, StatisticsCsv(samples, stats));
  }
  if (!o.Plot.empty()) PlotCases(o, samples);
}

int RunStatsOf(const BatchOptions& o, std::ostream& out, std::ostream& err, const Console& console) {
  try {
    const SampleTable samples = ReadSummaryFiles(o.StatsOf, FigureKeys(), console.Cancel);
    BatchOptions shown = o;
    if (shown.Stats.empty()) shown.Stats = "-";  // the statistics are what --stats-of is for
    ReportStatistics(shown, samples, out, err, console.Cancel);
    return kExitOk;
  } catch (const std::exception& e) {
    const bool cancelled = console.Cancel != nullptr && *console.Cancel != 0;
    err << "zarn-batch: " << (cancelled ? "Run cancelled" : e.what()) << '\n';
    return cancelled ? kExitCancelled : kExitRunError;
  }
}

}  // namespace zarn::runner
