#include <cerrno>
#include <optional>
#include <ostream>
#include <string>

#include "flight/columns.h"
#include "flight/presets.h"
#include "flight/step_check.h"
#include "input/measured_data.h"
#include "output/event_text.h"
#include "output/file_sink.h"
#include "output/param_writer.h"
#include "output/result_files.h"
#include "output/run_note.h"
#include "output/table_csv.h"
#include "records/errors.h"
#include "runner/png_plugin.h"
#include "runner/runner.h"

namespace zarn::runner {

namespace {

// The picture: the one place where the runner draws.
void SavePicture(const RunResult& run, const GraphEntry& graph, const std::filesystem::path& path,
                 const char* format, bool clearStyle) {
  GraphSelection selection{};
  SelectGraph(graph, selection);
  SaveGraphThroughModule(run.Table, selection, run.Summary.SamplesStored, run.Units, path, format,
                         clearStyle);
}

// The run with the measured points over its curves.
void SaveComparedPicture(const RunResult& run, const MeasuredData& data, const BatchOptions& o) {
  GraphSelection selection{};
  SelectGraph(*o.Graph, selection);
  std::vector<MeasuredCurveData> points;
  const int h = selection.Columns[0];
  const MeasuredColumn* across = h == kColT ? nullptr : data.Find(h);
  for (int f = 1; f < selection.Count - 1 && (h == kColT || across != nullptr); ++f) {
    const int column = selection.Columns[static_cast<std::size_t>(f)];
    const MeasuredColumn* m = data.Find(column);
    if (m == nullptr) continue;
    MeasuredCurveData& p = points.emplace_back(MeasuredCurveData{column, {}, {}});
    for (std::size_t i = 0; i < m->Values.size(); ++i) {
      const std::optional<double> x = across ? across->Values[i] : std::optional<double>(data.Time[i]);
      if (!x || !m->Values[i]) continue;
      p.X.push_back(*x / StoredUnitFactor(h, run.Units));
      p.Y.push_back(*m->Values[i] / StoredUnitFactor(column, run.Units));
    }
  }
  SaveComparedThroughModule(selection, run.Units, {CurvesOf(run, selection, run.Units, "computed")}, points,
                            "measured: " + data.Name, "", o.Png, o.PngFormat);
}

// The deviation's keys for --json: rms_H_m, max_diff_H_m, compared_H_m, skipped_H_m per column;
// diff_apex_H_m, and the X measured last minus the impact range (diff_impact_X_m) where the flight
// ends at the ground, else minus the range at its end (diff_X_m).
std::string DeviationJson(const Deviation& d, const Figures& figures) {
  std::string text;
  const auto key = [&text](std::string_view name, const std::string& value) {
    text.append(", \"").append(name).append("\": ").append(value);
  };
  for (const ColumnDeviation& c : d.Columns) {
    const std::string name(CsvName(c.Column));
    if (c.Compared > 0) {
      key("rms_" + name, NumberText(c.Rms));
      key("max_diff_" + name, NumberText(c.MaxDiff));
    }
    key("compared_" + name, std::to_string(c.Compared));
    key("skipped_" + name, std::to_string(c.Outside));
  }
  if (d.ApexH) key("diff_apex_H_m", NumberText(*d.ApexH));
  if (d.RangeX && figures[kFigImpactX]) {
    key("diff_impact_X_m", NumberText(*d.RangeX));
  } else if (d.RangeX) {
    key("diff_X_m", NumberText(*d.RangeX));
  }
  return text;
}

}  // namespace

RunCurvesData CurvesOf(const RunResult& run, const GraphSelection& selection, const UnitFlags& units,
                       std::string name) {
  RunCurvesData curves{std::move(name), {}};
  const int rows = run.Summary.SamplesStored;  // rows 1..rows
  for (int e = 0; e < selection.Count - 1; ++e) {
    const int column = selection.Columns[static_cast<std::size_t>(e)];
    const double factor = StoredUnitFactor(column, run.Units) / StoredUnitFactor(column, units);
    std::vector<double>& values = curves.Columns.emplace_back();
    for (int i = 1; i <= rows; ++i) values.push_back(Checked(run.Table.Cell(column, i) * factor));
  }
  return curves;
}

void WriteStdout(std::ostream& out, std::string_view text) {
  errno = 0;  // what the stream's failed write leaves there names the reason
  out << text << std::flush;
  if (!out) throw FileError(FileErrorText("write", "standard output", errno != 0 ? errno : EIO));
}

Flight RunWithFiles(const BatchOptions& options, RunMonitor& monitor, std::ostream& out) {
  const PresetRecordSlots record = BaseRecord(options);
  const FlightParameters params = RunParameters(options, record);
  // A check that cannot fly its finer run is refused before a file of the first is written.
  if (options.CheckStep) ValidateStepCheck(params);
  if (!options.SaveParams.empty()) SaveParams(options, record);

  // An empty directory writes no result files: the same run, its steps going nowhere.
  std::optional<ResultFiles> files;
  RunOptions run;
  if (!options.Directory.empty()) run.Sink = &files.emplace(options.Directory);
  run.ProgressEvery = kProgressEvery;
  run.Progress = [&monitor](const RunProgress& p) { return monitor(p); };
  Flight flight = Fly(params, run);
  const RunResult* d = flight.Result.get();
  monitor.Erase();
  // A Ctrl-C after the run's last report still stops what would follow.
  if (monitor.Cancelled()) throw Error("Run cancelled");

  // The exports carry the rows the run stored, no more.
  const int32_t stored = d->Summary.SamplesStored;
  const bool place = flight.ThreeDimensions;
  if (options.Csv == "-") {
    WriteStdout(out, TableCsvText(d->Table, d->Units, stored, place));
  } else if (!options.Csv.empty()) {
    WriteTableCsv(options.Csv, d->Table, d->Units, stored, place);
  }
  if (!options.Png.empty() && options.Compare) {
    SaveComparedPicture(*d, *options.Compare, options);
  } else if (!options.Png.empty()) {
    SavePicture(*d, *options.Graph, options.Png, options.PngFormat, options.ClearStyle);
  }
  if (monitor.Cancelled()) throw Error("Run cancelled");
  if (options.Events == "-") {
    WriteStdout(out, EventsCsv(d->Events, place, flight.DegPerRad));
  } else if (!options.Events.empty()) {
    WriteWholeFile(options.Events, EventsCsv(d->Events, place, flight.DegPerRad));
  }
  return flight;
}

RunReport ReportOf(const BatchOptions& options, const Flight& flight, RunMonitor& monitor) {
  RunReport report;
  if (options.CheckStep) {
    RunOptions run;  // progress and Ctrl-C only: the check writes no file
    run.ProgressEvery = kProgressEvery;
    run.Progress = [&monitor](const RunProgress& p) { return monitor(p); };
    report.Check = CheckStep(RunParameters(options, BaseRecord(options)), *flight.Result, run);
  }
  monitor.Erase();
  if (options.Compare) report.Deviation = CompareWithRun(*options.Compare, *flight.Result);
  return report;
}

std::string ReportJson(const RunReport& report, const Flight& flight) {
  std::string json;
  if (report.Deviation) json += DeviationJson(*report.Deviation, flight.Values);
  if (report.Check) json += ", \"check_step\": " + StepCheckJson(*report.Check);
  return json;
}

int Run(const BatchOptions& options, std::ostream& out, std::ostream& err, const Console& console) {
  if (!options.StatsOf.empty()) return RunStatsOf(options, out, err, console);
  if (options.IsSolve()) return RunSolve(options, out, err, console);
  if (options.IsSweep()) return RunSweep(options, out, err, console);
  RunMonitor monitor(console);
  const bool csvToStdout = options.Csv == "-";
  try {
    const Flight flight = RunWithFiles(options, monitor, out);
    const RunResult* d = flight.Result.get();
    const Figures& figures = flight.Values;
    const FlightParameters params = RunParameters(options, BaseRecord(options));
    const RunReport report = ReportOf(options, flight, monitor);
    const std::optional<StepCheck>& check = report.Check;
    const std::optional<Deviation>& deviation = report.Deviation;
    if (options.Json) {
      std::string json = FlightJson(flight);
      json.insert(json.size() - 1, ReportJson(report, flight));
      WriteStdout(out, json + '\n');
    } else if (!options.Quiet && !csvToStdout && options.Events != "-") {
      std::string text = SummaryText(figures);
      // The classic method with the classic wind says nothing of either, as it always did.
      if (MethodOf(params) != Method::kEuler || params.WindModel != 0.0)
        text += "Method: " + std::string(MethodName(MethodOf(params))) +
                (params.WindModel != 0.0 ? ", wind relative to the air" : "") + "\n";
      if (flight.ThreeDimensions) text.append("Earth: ").append(EarthModelName(params)).append("\n");
      if (deviation)
        text.append("Measured minus computed (")
            .append(options.Compare->Name)
            .append("):\n")
            .append(DeviationText(*deviation, '.'));
      if (check) text += StepCheckText(*check);
      WriteStdout(out, text);
    } else if (check && !csvToStdout && options.Events != "-") {
      WriteStdout(out, StepCheckText(*check));
    } else {
      WriteStdout(out, {});
    }
    // Not an error: the files are right, only coarser than a user may expect.
    if (const std::string note = FewSamplesNote(*d, '.'); !note.empty())
      err << "zarn-batch: " << note << '\n';
    return kExitOk;
  } catch (const std::exception& e) {
    monitor.Erase();
    const bool cancelled = monitor.Cancelled();
    const std::string message = cancelled ? "Run cancelled" : e.what();
    err << "zarn-batch: " << message << '\n';
    if (options.Json) out << ErrorJson(message) << '\n' << std::flush;
    return cancelled ? kExitCancelled : kExitRunError;
  }
}

}  // namespace zarn::runner
