#include <cerrno>
#include <optional>
#include <ostream>
#include <string>

#include "batch/batch.h"
#include "batch/png_plugin.h"
#include "flight/presets.h"
#include "output/event_text.h"
#include "output/file_sink.h"
#include "output/param_file.h"
#include "output/result_files.h"
#include "output/run_note.h"
#include "output/table_csv.h"
#include "records/errors.h"

namespace zarn::batch {

namespace {

// The picture: the one place where the runner draws.
void SavePicture(const RunResult& run, const GraphEntry& graph, const std::filesystem::path& path,
                 const char* format, bool clearStyle) {
  GraphSelection selection{};
  SelectGraph(graph, selection);
  SaveGraphThroughModule(run.Table, selection, run.Summary.SamplesStored, run.Units, path, format,
                         clearStyle);
}

}  // namespace

void WriteStdout(std::ostream& out, std::string_view text) {
  errno = 0;  // what the stream's failed write leaves there names the reason
  out << text << std::flush;
  if (!out) throw FileError(FileErrorText("write", "standard output", errno != 0 ? errno : EIO));
}

Flight RunWithFiles(const BatchOptions& options, RunMonitor& monitor, std::ostream& out) {
  const PresetRecordSlots record = BaseRecord(options);
  const FlightParameters params = ParametersOf(record);
  if (!options.SaveParams.empty()) WriteParamFile(options.SaveParams, record);

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
  if (options.Csv == "-") {
    WriteStdout(out, TableCsvText(d->Table, d->Units, stored));
  } else if (!options.Csv.empty()) {
    WriteTableCsv(options.Csv, d->Table, d->Units, stored);
  }
  if (!options.Png.empty())
    SavePicture(*d, *options.Graph, options.Png, options.PngFormat, options.ClearStyle);
  if (monitor.Cancelled()) throw Error("Run cancelled");
  if (options.Events == "-") {
    WriteStdout(out, EventsCsv(d->Events));
  } else if (!options.Events.empty()) {
    WriteWholeFile(options.Events, EventsCsv(d->Events));
  }
  return flight;
}

int Run(const BatchOptions& options, std::ostream& out, std::ostream& err, const Console& console) {
  if (!options.StatsOf.empty()) return RunStatsOf(options, out, err);
  if (options.IsSolve()) return RunSolve(options, out, err, console);
  if (options.IsSweep()) return RunSweep(options, out, err, console);
  RunMonitor monitor(console);
  const bool csvToStdout = options.Csv == "-";
  try {
    const Flight flight = RunWithFiles(options, monitor, out);
    const RunResult* d = flight.Result.get();
    const Figures& figures = flight.Values;
    if (options.Json) {
      WriteStdout(out, FlightJson(flight) + '\n');
    } else if (!options.Quiet && !csvToStdout && options.Events != "-") {
      WriteStdout(out, SummaryText(figures));
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

}  // namespace zarn::batch
