// zarn._core: the runner's runs, sweeps and answers for the Python package zarn, which turns its
// keywords into the runner's command line (as bytes, so that any path the system has gets through)
// and its results into Python's own types. Every option means what it means to zarn-batch and is
// refused with its message. The work runs on threads of its own with the interpreter's lock
// released; the calling thread keeps the lock only to look for Ctrl-C (or a shard's stop), which
// stops the work through the run's progress callback.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

#include "answers/stats.h"
#include "flight/columns.h"
#include "flight/integrator.h"
#include "flight/presets.h"
#include "input/user_text.h"
#include "output/event_text.h"
#include "output/place_figures.h"
#include "output/result_files.h"
#include "output/run_note.h"
#include "records/errors.h"
#include "runner/runner.h"

namespace py = pybind11;

namespace zarn::python {
namespace {

// What the package tells apart: a refused command line, parameters a run refuses, and the rest (a
// failed run or file). Each carries the runner's message.
struct ModuleError : std::runtime_error {
  using std::runtime_error::runtime_error;
};
struct UsageFault : ModuleError {
  using ModuleError::ModuleError;
};
struct RefusedFault : ModuleError {
  using ModuleError::ModuleError;
};

runner::BatchOptions Parse(const std::vector<std::string>& args) {
  const std::vector<std::string_view> views(args.begin(), args.end());
  try {
    return runner::ParseArguments(views);
  } catch (const std::exception& e) {
    throw UsageFault(e.what());
  }
}

// Refuses, before anything runs, the parameters that the run would refuse: bad values, told apart
// from a run that fails on its way.
void Validate(const FlightParameters& params) {
  try {
    ValidateRun(params);
  } catch (const std::exception& e) {
    throw RefusedFault(e.what());
  }
}

// ---- Work on threads of its own, stopped by Ctrl-C or by `stop` ----

// Runs `work` on a thread of its own while the calling thread, holding the interpreter's lock
// only for that, looks for Ctrl-C every 20 ms and asks `stop` (where given) every 200 ms. Either
// sets `cancel`, which the runs' progress callbacks answer within milliseconds; the call waits
// for the work to end and raises KeyboardInterrupt (or whatever the signal handler raised), or
// for a stop, the work's own "Run cancelled".
template <typename Work>
void RunInterruptibly(std::atomic<int>& cancel, const py::object& stop, Work&& work) {
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    const std::lock_guard lock(mutex);
    done = true;
    ended.notify_all();
  });
  bool interrupted = false;
  std::exception_ptr stopFailure;  // `stop` itself failed (its cluster gone): the work stops all the same
  for (int tick = 1;; ++tick) {
    {
      const py::gil_scoped_release unlocked;
      std::unique_lock lock(mutex);
      if (ended.wait_for(lock, std::chrono::milliseconds(20), [&] { return done; })) break;
    }
    if (PyErr_CheckSignals() != 0) {
      interrupted = true;
      cancel = SIGINT;
      break;
    }
    try {
      if (!stop.is_none() && tick % 10 == 0 && stop().cast<bool>()) {
        cancel = SIGINT;
        break;
      }
    } catch (...) {
      stopFailure = std::current_exception();
      cancel = SIGINT;
      break;
    }
  }
  {
    const py::gil_scoped_release unlocked;
    worker.join();  // never left running: a joinable std::thread would end the process
  }
  if (interrupted) throw py::error_already_set();
  if (stopFailure) std::rethrow_exception(stopFailure);
  if (failure) std::rethrow_exception(failure);
}

// An output stream that keeps nothing: a sweep's rows reach Python through its row callback.
class Discard : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// What the runner said on stderr, each line without its "zarn-batch: ". A failure (status not 0)
// raises its first line, except what only sums up failed cases, whose rows give their errors; any
// other note is a warning.
void ReportRunnerLines(int status, const std::string& err) {
  std::istringstream lines(err);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("zarn-batch: ", 0) != 0) continue;  // a table for people (the statistics)
    line.erase(0, 12);
    if (line.ends_with("(see the summary's error column)") || line.ends_with("cases not run")) continue;
    if (status != 0) throw ModuleError(line);
    if (PyErr_WarnEx(PyExc_UserWarning, line.c_str(), 4) != 0) throw py::error_already_set();
  }
  if (status != 0 && status != 1) throw ModuleError("zarn-batch status " + std::to_string(status));
}

// A call of the runner that reports through rows (sweep, solve): off the interpreter's lock, Ctrl-C
// cancelling it, its stdout thrown away and its messages raised or warned as ReportRunnerLines says.
template <typename Call>
void RunRows(const py::object& stop, Call call) {
  std::atomic<int> cancel{0};
  std::ostringstream err;
  int status = 0;
  RunInterruptibly(cancel, stop, [&] {
    Discard discard;
    std::ostream out(&discard);
    runner::Console console;
    console.Cancel = &cancel;
    status = call(out, err, console);
  });
  ReportRunnerLines(status, err.str());
}

// ---- Results ----

py::object FigureValue(const zarn::Figures& f, int id) {
  const double v = *f[static_cast<std::size_t>(id)];
  if (zarn::kFigures[static_cast<std::size_t>(id)].Unit.empty()) return py::int_(static_cast<int64_t>(v));
  return py::float_(v);
}

py::dict FiguresDict(const zarn::Figures& f) {
  py::dict d;
  for (int id = 0; id < zarn::kFigureCount; ++id)
    if (f[static_cast<std::size_t>(id)])
      d[py::str(std::string(zarn::kFigures[static_cast<std::size_t>(id)].Key))] = FigureValue(f, id);
  return d;
}

// The events as --json lists them: {"event": "apex", "t_s": ..., ...} in time order, with the place
// of a flight in three dimensions.
py::list EventList(const RunResult& r, bool place, double degPerRad) {
  py::list events;
  for (const FlightEvent& e : r.Events) {
    py::dict d;
    d["event"] = EventName(e);
    for (const EventColumn& c : kEventColumns) d[c.Key] = c.Of(e, degPerRad);
    if (place) {
      const PlaceFigures figures = PlaceOfEvent(e);
      for (std::size_t i = 0; i < kPlaceRows.size(); ++i)
        d[py::str(std::string(kPlaceRows[i].Key))] = figures[i];
    }
    events.append(std::move(d));
  }
  return events;
}

// The stored rows by the CSV's column names, in the CSV's units and to the last bit of its numbers;
// `place`: with the place's columns, as the CSV of a flight in three dimensions.
py::dict TableDict(const RunResult& r, bool place) {
  py::dict table;
  const int rows = r.Summary.SamplesStored;
  auto add = [&](int c, std::string_view name) {
    py::array_t<double> column(rows);
    double* out = column.mutable_data();
    const double factor = StoredUnitFactor(c, r.Units);
    for (int row = 1; row <= rows; ++row) out[row - 1] = r.Table.Cell(c, row) * factor;
    table[py::str(std::string(name))] = std::move(column);
  };
  for (int c = 0; c < TrajectoryTable::kColumns; ++c)
    if (const ColumnRow& entry = kColumns[static_cast<std::size_t>(c)]; !entry.Csv.empty()) add(c, entry.Csv);
  if (place)
    for (const PlaceRow& row : kPlaceRows) add(row.Column, row.Key);
  return table;
}

py::dict RecordDict(const PresetRecordSlots& record) {
  py::dict d;
  for (const ParamName& p : kParamNames)
    d[py::str(std::string(p.Name))] = record[static_cast<std::size_t>(p.Slot)];
  return d;
}

// One finished run: the figures, the table and the parameters.
struct Flight {
  PresetRecordSlots Record{};
  std::shared_ptr<const VehicleTables> Vehicle;  //!< the vehicle's files as read, for write_files
  std::shared_ptr<const RunResult> Result;
  zarn::Figures Values{};
  bool LocatedMaxima = false;
  bool ThreeDimensions = false;
  double DegPerRad = kDegPerRad;
  std::string ReportJson;  //!< what check_step= and compare= add to --json, as its text
};

void WarnNote(const RunResult& r) {
  if (const std::string note = FewSamplesNote(r, '.'); !note.empty())
    if (PyErr_WarnEx(PyExc_UserWarning, note.c_str(), 4) != 0) throw py::error_already_set();
}

// `files`: the result files into --dir (the current folder without it); otherwise none.
Flight Run(const std::vector<std::string>& args, bool files) {
  runner::BatchOptions options = Parse(args);
  if (options.IsSweep() || options.IsSolve())
    throw UsageFault("zarn.run flies one case; a sweep or a list of cases is zarn.sweep");
  if (!files) options.Directory.clear();
  Flight flight;
  flight.Record = runner::BaseRecord(options);
  flight.Vehicle = options.Vehicle;
  Validate(runner::RunParameters(options, flight.Record));
  std::atomic<int> cancel{0};
  std::ostringstream out;  // csv="-"
  runner::Flight done;
  RunInterruptibly(cancel, py::none(), [&] {
    runner::Console console;
    console.Cancel = &cancel;
    runner::RunMonitor monitor(console);
    try {
      done = runner::RunWithFiles(options, monitor, out);
      flight.ReportJson = runner::ReportJson(runner::ReportOf(options, done, monitor), done);
    } catch (const std::exception& e) {
      throw ModuleError(e.what());
    }
  });
  if (!out.str().empty()) py::module_::import("sys").attr("stdout").attr("write")(out.str());
  flight.Values = done.Values;
  flight.LocatedMaxima = done.LocatedMaxima;
  flight.ThreeDimensions = done.ThreeDimensions;
  flight.DegPerRad = done.DegPerRad;
  flight.Result = std::move(done.Result);
  WarnNote(*flight.Result);
  return flight;
}

// The two result files of a finished run: the same run again, its steps into the files.
void WriteFiles(const Flight& flight, const std::string& dir) {
  const std::filesystem::path directory = dir;
  std::atomic<int> cancel{0};
  RunInterruptibly(cancel, py::none(), [&] {
    try {
      ResultFiles files(directory);
      RunOptions run;
      run.Sink = &files;
      run.ProgressEvery = kProgressEvery;
      run.Progress = [&cancel](const RunProgress&) { return cancel == 0; };
      FlightParameters params = ParametersOf(flight.Record);
      params.Vehicle = flight.Vehicle;
      ComputeTrajectory(params, run);
    } catch (const std::exception& e) {
      throw ModuleError(e.what());
    }
  });
}

// The options of zarn.sweep ("sweep") or zarn.monte_carlo.
runner::BatchOptions ParseSweep(const std::vector<std::string>& args, const std::string& kind) {
  runner::BatchOptions options = Parse(args);
  if (kind == "sweep" && (!options.IsSweep() || options.IsMonteCarlo()))
    throw UsageFault("zarn.sweep needs sweep= or cases=; one case is zarn.run, draws zarn.monte_carlo");
  return options;
}

// The rows of a sweep or a Monte Carlo run (or of one shard) in case order, as the runner's
// summary holds them: {"inputs": names, "case": [n], "input_values": [n, inputs],
// "values": [n, figures] (NaN where a case has no such figure), "errors": [n]}. Plain data, so
// that a shard's rows travel between processes as they are.
py::dict SweepRows(const std::vector<std::string>& args, const std::string& kind, const py::object& stop) {
  const runner::BatchOptions options = ParseSweep(args, kind);
  std::vector<std::string> names;
  std::vector<int64_t> cases;
  std::vector<double> inputs, values;
  std::vector<std::string> errors;
  RunRows(stop, [&](std::ostream& out, std::ostream& err, const runner::Console& console) {
    return runner::RunSweep(options, out, err, console, [&](const runner::SweepRow& row) {
      if (names.empty())
        for (const ParamName* p : row.Columns) names.emplace_back(p->Name);
      cases.push_back(row.Case);
      for (const ParamName* p : row.Columns) inputs.push_back(row.Record[static_cast<std::size_t>(p->Slot)]);
      for (const std::optional<double>& v : row.Values)
        values.push_back(row.Error.empty() && v ? *v : std::numeric_limits<double>::quiet_NaN());
      errors.emplace_back(row.Error);
    });
  });
  if (names.empty()) {  // no row: the columns as the options name them
    for (const ParamLaw& v : options.Vary) names.emplace_back(v.Param->Name);
    for (const runner::SweepAxis& a : options.Sweep) names.emplace_back(a.Param->Name);
  }
  const auto n = static_cast<py::ssize_t>(cases.size());
  const auto width = static_cast<py::ssize_t>(names.size());
  py::dict d;
  d["inputs"] = names;
  d["case"] = py::array_t<int64_t>(n, cases.data());
  d["input_values"] = py::array_t<double>({n, width}, inputs.data());
  d["values"] = py::array_t<double>({n, static_cast<py::ssize_t>(zarn::kFigureCount)}, values.data());
  d["errors"] = errors;
  std::vector<std::string> listed;  // the figures the runner's summary has columns for
  for (int id = 0; id < zarn::kFigureCount; ++id)
    if (runner::SummaryListsFigure(options, id))
      listed.emplace_back(zarn::kFigures[static_cast<std::size_t>(id)].Key);
  d["listed"] = listed;
  return d;
}

// The runner's statistics of rows as SweepRows gives them (shards joined in case order): a dict per
// figure with the names of the --stats CSV, None where there is none.
py::list StatsOfRows(const std::vector<std::string>& names, const py::array_t<int64_t>& cases,
                     const py::array_t<double, py::array::c_style | py::array::forcecast>& inputs,
                     const py::array_t<double, py::array::c_style | py::array::forcecast>& values,
                     const std::vector<std::string>& errors) {
  SampleTable samples;
  samples.Inputs = names;
  for (const zarn::FigureRow& f : zarn::kFigures) samples.Figures.emplace_back(f.Key);
  const auto in = inputs.unchecked<2>();
  const auto v = values.unchecked<2>();
  const auto c = cases.unchecked<1>();
  for (py::ssize_t r = 0; r < c.shape(0); ++r) {
    SampleRow row{c(r), {}, {}, !errors.at(static_cast<std::size_t>(r)).empty()};
    for (py::ssize_t i = 0; i < in.shape(1); ++i) row.Inputs.push_back(in(r, i));
    for (py::ssize_t f = 0; f < v.shape(1); ++f)
      row.Figures.push_back(v(r, f) == v(r, f) ? std::optional<double>(v(r, f)) : std::nullopt);
    AddSample(samples, std::move(row));
  }
  auto optional = [](const std::optional<double>& x) {
    return x ? py::object(py::float_(*x)) : py::object(py::none());
  };
  py::list list;
  for (const FigureStats& f : Statistics(samples)) {
    py::dict d;
    d["figure"] = f.Figure;
    d["cases"] = f.Cases;
    d["failed"] = f.Failed;
    d["absent"] = f.Absent;
    const std::pair<const char*, double> numbers[] = {{"mean", f.Mean}, {"sd", f.Sd},   {"min", f.Min},
                                                      {"p2.5", f.P2_5}, {"p50", f.P50}, {"p97.5", f.P97_5},
                                                      {"max", f.Max}};
    for (const auto& [key, x] : numbers) d[key] = x;
    d["r2"] = optional(f.R2);
    for (std::size_t i = 0; i < f.Shares.size() && i < names.size(); ++i)
      d[py::str("share_" + names[i])] = optional(f.Shares[i]);
    list.append(std::move(d));
  }
  return list;
}

// zarn.solve: a dict per solution with the keys of the runner's --json rows.
py::list RunSolve(const std::vector<std::string>& args) {
  const runner::BatchOptions options = Parse(args);
  if (!options.IsSolve())
    throw UsageFault("zarn.solve needs solve= with for_=, or maximize= or minimize= with over=");
  struct Row {
    int64_t Case;
    std::string Param;
    double Value;
    zarn::Figures Values;
    int64_t Runs;
  };
  std::vector<Row> rows;
  RunRows(py::none(), [&](std::ostream& out, std::ostream& err, const runner::Console& console) {
    return runner::RunSolve(options, out, err, console, [&rows](const runner::SolveRow& r) {
      rows.push_back({r.Case, std::string(r.Param.Name), r.Value, r.Values, r.Runs});
    });
  });
  py::list solutions;
  for (const Row& r : rows) {
    py::dict d;
    d["case"] = r.Case;
    d[py::str(r.Param)] = r.Value;
    for (const auto& [key, value] : FiguresDict(r.Values)) d[key] = value;
    d["runs"] = r.Runs;
    solutions.append(std::move(d));
  }
  return solutions;
}

// A message as Python text: the runner's bytes, where they are not UTF-8 (a path's name) shown
// as \xNN rather than lost.
py::str MessageText(const char* text) {
  PyObject* decoded =
      PyUnicode_DecodeUTF8(text, static_cast<Py_ssize_t>(std::strlen(text)), "backslashreplace");
  if (decoded == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(decoded);
}

}  // namespace
}  // namespace zarn::python

PYBIND11_MODULE(_core, m) {
  using namespace zarn::python;
  namespace runner = zarn::runner;
  m.doc() = "The runner's runs and sweeps under the package zarn, which is what scripts call.";
  m.attr("__version__") = ZARN_VERSION;

  static py::exception<ModuleError> error(m, "Error");
  static py::exception<UsageFault> usage(m, "UsageError", error.ptr());
  static py::exception<RefusedFault> refused(m, "RefusedError", error.ptr());
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const UsageFault& e) {
      PyErr_SetObject(usage.ptr(), MessageText(e.what()).ptr());
    } catch (const RefusedFault& e) {
      PyErr_SetObject(refused.ptr(), MessageText(e.what()).ptr());
    } catch (const ModuleError& e) {
      PyErr_SetObject(error.ptr(), MessageText(e.what()).ptr());
    }
  });

  m.def("parameter_names", [] {
    std::vector<std::string> names;
    for (const zarn::ParamName& p : zarn::kParamNames) names.emplace_back(p.Name);
    return names;
  });
  m.def("vehicle_file_names", [] {
    std::vector<std::string> names;
    for (const std::string_view name : zarn::kVehicleFileNames) names.emplace_back(name);
    return names;
  });
  m.def("figure_keys", [] {
    std::vector<std::string> keys;
    for (const zarn::FigureRow& f : zarn::kFigures) keys.emplace_back(f.Key);
    return keys;
  });
  m.def("whole_figures", [] {
    std::vector<std::string> keys;  // counts
    for (const zarn::FigureRow& f : zarn::kFigures)
      if (f.Unit.empty()) keys.emplace_back(f.Key);
    return keys;
  });
  m.def("did_you_mean", [](const std::string& name, const std::vector<std::string>& candidates) {
    const std::vector<std::string_view> views(candidates.begin(), candidates.end());
    return zarn::DidYouMean(name, views);
  });

  py::class_<Flight>(m, "Flight")
      .def_property_readonly("figures",
                             [](const Flight& f) {
                               py::dict d = FiguresDict(f.Values);
                               if (f.ThreeDimensions)
                                 for (const auto& [key, value] : PlaceKeys(*f.Result))
                                   d[py::str(key)] = value;
                               d["maxima"] = f.LocatedMaxima ? "located" : "step ends";
                               d["events"] = EventList(*f.Result, f.ThreeDimensions, f.DegPerRad);
                               if (!f.ReportJson.empty()) {  // read as --json has them
                                 const py::dict more = py::module_::import("json").attr("loads")(
                                     "{" + f.ReportJson.substr(2) + "}");
                                 for (const auto& [key, value] : more) d[key] = value;
                               }
                               return d;
                             })
      .def_property_readonly("table", [](const Flight& f) { return TableDict(*f.Result, f.ThreeDimensions); })
      .def_property_readonly(
          "events", [](const Flight& f) { return EventList(*f.Result, f.ThreeDimensions, f.DegPerRad); })
      .def_property_readonly("params", [](const Flight& f) { return RecordDict(f.Record); })
      .def("write_files", &WriteFiles, py::arg("dir"))
      .def_property_readonly("json", [](const Flight& f) { return runner::FiguresJson(f.Values); });

  m.def("run", &Run, py::arg("args"), py::arg("files"));
  m.def("sweep", &SweepRows, py::arg("args"), py::arg("kind"), py::arg("stop") = py::none());
  m.def("check",
        [](const std::vector<std::string>& args, const std::string& kind) { ParseSweep(args, kind); });
  m.def("statistics", &StatsOfRows, py::arg("inputs"), py::arg("case"), py::arg("input_values"),
        py::arg("values"), py::arg("errors"));
  m.def("solve", &RunSolve, py::arg("args"));
}
