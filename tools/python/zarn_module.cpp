// The Python module `zarn`: the runner's runs and sweeps for notebooks and scripts. Keyword
// arguments become the runner's command line (dir= is --dir, save_params= is --save-params), so
// that every option means what it means there and is refused with the runner's message. The work
// runs on threads of its own with the interpreter's lock released; the calling thread keeps the
// lock only to look for Ctrl-C, which stops the work through the run's progress callback.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
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
#include "flight/presets.h"
#include "output/event_text.h"
#include "output/result_files.h"
#include "output/run_note.h"
#include "records/errors.h"
#include "runner/batch.h"

namespace py = pybind11;

namespace zarn::python {
namespace {

// zarn.Error: a refused option or parameter, a failed run or file, with the runner's message.
struct ModuleError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// ---- Keyword arguments as the runner's command line ----

// A value as the runner reads it: numbers as Python writes them (the shortest text that reads
// back to the same double), paths as their text.
std::string ValueText(const py::handle& value) {
  if (py::isinstance<py::str>(value)) return value.cast<std::string>();
  if (py::hasattr(value, "__fspath__"))
    return py::module_::import("os").attr("fspath")(value).cast<std::string>();
  return py::str(value).cast<std::string>();
}

// dir= -> --dir, save_params= -> --save-params, for_= (for is Python's) -> --for.
std::string OptionName(std::string name) {
  if (name.ends_with('_')) name.pop_back();
  for (char& c : name)
    if (c == '_') c = '-';
  return "--" + name;
}

void AddOption(std::vector<std::string>& args, const std::string& name, const py::handle& value) {
  if (value.is_none()) return;
  if (py::isinstance<py::bool_>(value)) {  // a switch: given or not
    if (value.cast<bool>()) args.push_back(OptionName(name));
    return;
  }
  if (py::isinstance<py::dict>(value)) {  // {NAME: VALUE or (FROM, TO[, STEP])}: one option each, in order
    for (const auto& [param, v] : value.cast<py::dict>()) {
      std::string text = ValueText(param) + "=";
      if (py::isinstance<py::tuple>(v) || py::isinstance<py::list>(v)) {
        std::string joined;
        for (const py::handle& part : v.cast<py::sequence>()) {
          if (!joined.empty()) joined += ':';  // appended apart: g++ 12 warns (-Wrestrict) on "" + string
          joined += ValueText(part);
        }
        text += joined;
      } else {
        text += ValueText(v);
      }
      args.insert(args.end(), {OptionName(name), text});
    }
    return;
  }
  if (name == "cases") {  // [{name: value, ...}, ...]
    for (const py::handle& c : value.cast<py::sequence>()) {
      std::string text;
      for (const auto& [param, v] : c.cast<py::dict>()) {
        if (!text.empty()) text += ',';
        text.append(ValueText(param)).append("=").append(ValueText(v));
      }
      args.insert(args.end(), {"--case", text});
    }
    return;
  }
  if (name == "shard" && !py::isinstance<py::str>(value)) {  // (k, n)
    const py::sequence kn = value.cast<py::sequence>();
    if (kn.size() != 2) throw ModuleError("shard=: needs (k, n), not " + ValueText(value));
    args.insert(args.end(), {"--shard", ValueText(kn[0]) + "/" + ValueText(kn[1])});
    return;
  }
  args.insert(args.end(), {OptionName(name), ValueText(value)});
}

std::vector<std::string> Arguments(const py::object& preset, const py::object& params, const py::object& file,
                                   const py::kwargs& options) {
  std::vector<std::string> args;
  if (!preset.is_none()) args.insert(args.end(), {"--preset", ValueText(preset)});
  if (!file.is_none()) args.insert(args.end(), {"--params", ValueText(file)});
  if (!params.is_none())
    for (const auto& [name, value] : params.cast<py::dict>())
      args.insert(args.end(), {"--set", ValueText(name) + "=" + ValueText(value)});
  for (const auto& [name, value] : options) AddOption(args, name.cast<std::string>(), value);
  return args;
}

batch::BatchOptions Parse(const std::vector<std::string>& args) {
  const std::vector<std::string_view> views(args.begin(), args.end());
  try {
    return batch::ParseArguments(views);
  } catch (const std::exception& e) {
    throw ModuleError(e.what());
  }
}

// ---- Work on threads of its own, stopped by Ctrl-C ----

// Runs `work` on a thread of its own while the calling thread, holding the interpreter's lock
// only for that, looks for Ctrl-C every 20 ms. A Ctrl-C sets `cancel`, which the runs' progress
// callbacks answer within milliseconds, waits for the work to end and raises KeyboardInterrupt
// (or whatever the interpreter's signal handler raised).
template <typename Work>
void RunInterruptibly(std::atomic<int>& cancel, Work&& work) {
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
  for (;;) {
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
  }
  {
    const py::gil_scoped_release unlocked;
    worker.join();
  }
  if (interrupted) throw py::error_already_set();
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
    if (PyErr_WarnEx(PyExc_UserWarning, line.c_str(), 2) != 0) throw py::error_already_set();
  }
  if (status != 0 && status != 1) throw ModuleError("zarn-batch status " + std::to_string(status));
}

// A call of the runner that reports through rows (sweep, solve): off the interpreter's lock, Ctrl-C
// cancelling it, its stdout thrown away and its messages raised or warned as ReportRunnerLines says.
template <typename Call>
void RunRows(Call call) {
  std::atomic<int> cancel{0};
  std::ostringstream err;
  int status = 0;
  RunInterruptibly(cancel, [&] {
    Discard discard;
    std::ostream out(&discard);
    batch::Console console;
    console.Cancel = &cancel;
    status = call(out, err, console);
  });
  ReportRunnerLines(status, err.str());
}

// ---- Results ----

py::object FigureValue(const batch::Figures& f, int id) {
  const double v = *f[static_cast<std::size_t>(id)];
  if (id == batch::kFigSteps || id == batch::kFigSamples) return py::int_(static_cast<int64_t>(v));
  return py::float_(v);
}

py::dict FiguresDict(const batch::Figures& f) {
  py::dict d;
  for (int id = 0; id < batch::kFigureCount; ++id)
    if (f[static_cast<std::size_t>(id)])
      d[py::str(std::string(batch::kFigures[static_cast<std::size_t>(id)].Key))] = FigureValue(f, id);
  return d;
}

// The events as --json lists them: {"event": "apex", "t_s": ..., ...} in time order.
py::list EventList(const RunResult& r) {
  py::list events;
  for (const FlightEvent& e : r.Events) {
    py::dict d;
    d["event"] = EventName(e);
    for (const EventColumn& c : kEventColumns) d[c.Key] = c.Of(e);
    events.append(std::move(d));
  }
  return events;
}

// The stored rows by the CSV's column names, in the CSV's units and to the last bit of its numbers.
py::dict TableDict(const RunResult& r) {
  py::dict table;
  const int rows = r.Summary.SamplesStored;
  for (int c = 0; c < TrajectoryTable::kColumns; ++c) {
    const ColumnRow& entry = kColumns[static_cast<std::size_t>(c)];
    if (entry.Csv.empty()) continue;
    py::array_t<double> column(rows);
    double* out = column.mutable_data();
    const double factor = StoredUnitFactor(c, r.Units);
    for (int row = 1; row <= rows; ++row) out[row - 1] = r.Table.Cell(c, row) * factor;
    table[py::str(std::string(entry.Csv))] = std::move(column);
  }
  return table;
}

py::dict RecordDict(const PresetRecordSlots& record) {
  py::dict d;
  for (const ParamName& p : kParamNames)
    d[py::str(std::string(p.Name))] = record[static_cast<std::size_t>(p.Slot)];
  return d;
}

// What zarn.run gives: the figures, the table and the parameters of one run.
struct Flight {
  PresetRecordSlots Record{};
  std::shared_ptr<const RunResult> Result;
  batch::Figures Values{};
  std::string ReportJson;  //!< what check_step= and compare= add to --json, as its text
};

void WarnNote(const RunResult& r) {
  if (const std::string note = FewSamplesNote(r, '.'); !note.empty())
    if (PyErr_WarnEx(PyExc_UserWarning, note.c_str(), 2) != 0) throw py::error_already_set();
}

Flight Run(const py::object& preset, const py::object& params, const py::object& file, const py::kwargs& kw) {
  batch::BatchOptions options = Parse(Arguments(preset, params, file, kw));
  if (options.IsSweep())
    throw ModuleError("zarn.run flies one case; a sweep or a list of cases is zarn.sweep");
  if (!kw.contains("dir") || kw["dir"].is_none())
    options.Directory.clear();  // result files only where asked for
  Flight flight;
  flight.Record = batch::BaseRecord(options);
  std::atomic<int> cancel{0};
  std::ostringstream out;  // csv="-"
  batch::Flight done;
  RunInterruptibly(cancel, [&] {
    batch::Console console;
    console.Cancel = &cancel;
    batch::RunMonitor monitor(console);
    try {
      done = batch::RunWithFiles(options, monitor, out);
      flight.ReportJson = batch::ReportJson(batch::ReportOf(options, done, monitor), done);
    } catch (const std::exception& e) {
      throw ModuleError(e.what());
    }
  });
  if (!out.str().empty()) py::module_::import("sys").attr("stdout").attr("write")(out.str());
  flight.Values = done.Values;
  flight.Result = std::move(done.Result);
  WarnNote(*flight.Result);
  return flight;
}

// The two result files of a finished run: the same run again, its steps into the files.
void WriteFiles(const Flight& flight, const py::object& dir) {
  const std::filesystem::path directory = ValueText(dir);
  std::atomic<int> cancel{0};
  RunInterruptibly(cancel, [&] {
    try {
      ResultFiles files(directory);
      RunOptions run;
      run.Sink = &files;
      run.ProgressEvery = kProgressEvery;
      run.Progress = [&cancel](const RunProgress&) { return cancel == 0; };
      ComputeTrajectory(ParametersOf(flight.Record), run);
    } catch (const std::exception& e) {
      throw ModuleError(e.what());
    }
  });
}

// What zarn.sweep gives: one row per case in case order, as the runner's summary holds them.
struct Sweep {
  std::vector<std::string> InputNames;
  std::vector<int64_t> Cases;
  std::vector<std::vector<double>> Inputs;  //!< [input][row]
  std::vector<batch::Figures> Values;
  std::vector<std::string> Errors;
  std::vector<FigureStats> Stats;  //!< of a Monte Carlo run's cases (not of a shard)
};

Sweep Sweeping(const batch::BatchOptions& options) {
  Sweep sweep;
  RunRows([&](std::ostream& out, std::ostream& err, const batch::Console& console) {
    return batch::RunSweep(options, out, err, console, [&sweep](const batch::SweepRow& row) {
      if (sweep.InputNames.empty() && !row.Columns.empty()) {
        for (const ParamName* p : row.Columns) sweep.InputNames.emplace_back(p->Name);
        sweep.Inputs.resize(row.Columns.size());
      }
      sweep.Cases.push_back(row.Case);
      for (std::size_t i = 0; i < row.Columns.size(); ++i)
        sweep.Inputs[i].push_back(row.Record[static_cast<std::size_t>(row.Columns[i]->Slot)]);
      sweep.Values.push_back(row.Error.empty() ? row.Values : batch::Figures{});
      sweep.Errors.emplace_back(row.Error);
    });
  });
  if (options.IsMonteCarlo() && options.ShardCount == 1) {
    // The runner's statistics of the same rows.
    SampleTable samples;
    samples.Inputs = sweep.InputNames;
    for (const batch::FigureRow& f : batch::kFigures) samples.Figures.emplace_back(f.Key);
    for (std::size_t r = 0; r < sweep.Cases.size(); ++r) {
      SampleRow row{
          sweep.Cases[r], {}, {sweep.Values[r].begin(), sweep.Values[r].end()}, !sweep.Errors[r].empty()};
      for (const std::vector<double>& input : sweep.Inputs) row.Inputs.push_back(input[r]);
      AddSample(samples, std::move(row));
    }
    sweep.Stats = Statistics(samples);
  }
  return sweep;
}

Sweep RunSweep(const py::object& preset, const py::object& params, const py::object& file,
               const py::kwargs& kw) {
  const batch::BatchOptions options = Parse(Arguments(preset, params, file, kw));
  if (!options.IsSweep() || options.IsMonteCarlo())
    throw ModuleError("zarn.sweep needs sweep= or cases=; one case is zarn.run, draws zarn.monte_carlo");
  return Sweeping(options);
}

Sweep RunMonteCarlo(const py::object& preset, const py::object& params, const py::object& file,
                    const py::object& n, const py::kwargs& kw) {
  std::vector<std::string> args = Arguments(preset, params, file, kw);
  args.insert(args.end(), {"--monte-carlo", ValueText(n)});
  const batch::BatchOptions options = Parse(args);
  return Sweeping(options);
}

// The statistics as the runner's --stats CSV has them, a dict per figure by its header's names.
py::list StatsList(const Sweep& s) {
  py::list list;
  auto optional = [](const std::optional<double>& v) {
    return v ? py::object(py::float_(*v)) : py::object(py::none());
  };
  for (const FigureStats& f : s.Stats) {
    py::dict d;
    d["figure"] = f.Figure;
    d["cases"] = f.Cases;
    d["failed"] = f.Failed;
    d["absent"] = f.Absent;
    const std::pair<const char*, double> values[] = {{"mean", f.Mean}, {"sd", f.Sd},   {"min", f.Min},
                                                     {"p2.5", f.P2_5}, {"p50", f.P50}, {"p97.5", f.P97_5},
                                                     {"max", f.Max}};
    for (const auto& [key, v] : values) d[key] = v;
    d["r2"] = optional(f.R2);
    for (std::size_t i = 0; i < f.Shares.size() && i < s.InputNames.size(); ++i)
      d[py::str("share_" + s.InputNames[i])] = optional(f.Shares[i]);
    list.append(std::move(d));
  }
  return list;
}

// zarn.solve: a dict per solution with the keys of the runner's --json rows.
py::list RunSolve(const py::object& preset, const py::object& params, const py::object& file,
                  const py::kwargs& kw) {
  const batch::BatchOptions options = Parse(Arguments(preset, params, file, kw));
  if (!options.IsSolve())
    throw ModuleError("zarn.solve needs solve= with for_=, or maximize= or minimize= with over=");
  struct Row {
    int64_t Case;
    std::string Param;
    double Value;
    batch::Figures Values;
    int64_t Runs;
  };
  std::vector<Row> rows;
  RunRows([&](std::ostream& out, std::ostream& err, const batch::Console& console) {
    return batch::RunSolve(options, out, err, console, [&rows](const batch::SolveRow& r) {
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

py::dict SweepArrays(const Sweep& s) {
  py::dict d;
  d["case"] = py::array_t<int64_t>(static_cast<py::ssize_t>(s.Cases.size()), s.Cases.data());
  for (std::size_t i = 0; i < s.InputNames.size(); ++i)
    d[py::str(s.InputNames[i])] =
        py::array_t<double>(static_cast<py::ssize_t>(s.Inputs[i].size()), s.Inputs[i].data());
  const std::size_t rows = s.Values.size();
  for (int id = 0; id < batch::kFigureCount; ++id) {
    const auto at = static_cast<std::size_t>(id);
    bool any = false;
    for (const batch::Figures& f : s.Values) any = any || f[at].has_value();
    if (!any) continue;  // a task figure no case has
    py::array_t<double> column(static_cast<py::ssize_t>(rows));
    double* out = column.mutable_data();
    for (std::size_t r = 0; r < rows; ++r)
      out[r] = s.Values[r][at].value_or(std::numeric_limits<double>::quiet_NaN());
    d[py::str(std::string(batch::kFigures[at].Key))] = std::move(column);
  }
  return d;
}

}  // namespace
}  // namespace zarn::python

PYBIND11_MODULE(zarn, m) {
  using namespace zarn::python;
  namespace batch = zarn::batch;
  m.doc() = R"doc(Flight paths of a body in the vertical plane, as the zarn-batch runner computes them.

run() flies one case and gives its figures and table; sweep() flies many cases on all cores.
Keyword options are the runner's, named without the dashes: dir= is --dir, save_params= is
--save-params. Errors raise zarn.Error with the runner's message; Ctrl-C stops a long call.)doc";
  m.attr("__version__") = "1.1";
  py::register_exception<ModuleError>(m, "Error");
  m.attr("Error").attr("__doc__") =
      "A refused option or parameter, or a failed run or file; the message is the runner's.";

  py::class_<Flight>(m, "Run", "One finished run: its figures, table and parameters.")
      .def_property_readonly(
          "figures",
          [](const Flight& f) {
            py::dict d = FiguresDict(f.Values);
            d["events"] = EventList(*f.Result);
            if (!f.ReportJson.empty()) {  // the deviation's keys and the step check, read as --json has them
              const py::dict more =
                  py::module_::import("json").attr("loads")("{" + f.ReportJson.substr(2) + "}");
              for (const auto& [key, value] : more) d[key] = value;
            }
            return d;
          },
          "The key figures by the keys of zarn-batch --json (counts as int, the rest as float), its "
          "events under \"events\".")
      .def_property_readonly(
          "table", [](const Flight& f) { return TableDict(*f.Result); },
          "The stored rows as NumPy arrays by the CSV's column names (t_s, V_m_s, H_m, ...), in the "
          "CSV's units.")
      .def_property_readonly(
          "events", [](const Flight& f) { return EventList(*f.Result); },
          "The run's events as dicts ({\"event\": \"apex\", \"t_s\": ..., ...}), in time order.")
      .def_property_readonly(
          "params", [](const Flight& f) { return RecordDict(f.Record); },
          "The parameters the run flew, by the parameter files' names.")
      .def("write_files", &WriteFiles, py::arg("dir"),
           "Writes the run's two result files into `dir`, byte for byte those of zarn-batch --dir: the "
           "same run flown again, its steps into the files.")
      .def("__repr__", [](const Flight& f) { return "<zarn.Run " + batch::FiguresJson(f.Values) + ">"; });

  py::class_<Sweep>(m, "Sweep", "The rows of a sweep in case order, as the runner's summary holds them.")
      .def_property_readonly("arrays", &SweepArrays,
                             "The columns as NumPy arrays by the summary's names: case, the swept parameters "
                             "and the figures (NaN where a case has none).")
      .def_property_readonly(
          "figures",
          [](const Sweep& s) {
            py::list l;
            for (const batch::Figures& f : s.Values) l.append(FiguresDict(f));
            return l;
          },
          "Each case's figures as a dict (empty for a failed case), in case order.")
      .def_property_readonly(
          "errors", [](const Sweep& s) { return s.Errors; }, "Each case's error, \"\" where it ran through.")
      .def_property_readonly("stats", &StatsList,
                             "Of a Monte Carlo run (not of a shard): a dict per figure with the names of "
                             "the runner's --stats CSV (figure, cases, mean, sd, p2.5, ..., r2, share_NAME); "
                             "None where there is none. Empty for a sweep.")
      .def("__getitem__",
           [](const Sweep& s, const std::string& name) -> py::object {
             const py::dict d = SweepArrays(s);
             if (!d.contains(name)) throw py::key_error(name);
             return d[py::str(name)];  // held before the dict goes
           })
      .def("keys", [](const Sweep& s) { return SweepArrays(s).attr("keys")(); })
      .def("__len__", [](const Sweep& s) { return s.Cases.size(); });

  m.def("run", &Run, py::arg("preset") = py::none(), py::arg("params") = py::none(),
        py::arg("file") = py::none(),
        R"doc(Flies one case, as zarn-batch does.

preset: 0 to 4, or file: a parameter file, gives the starting values; params: {name: value} then
changes them (the parameter files' names, e.g. {"TTO": 30, "dt0": 1e-4}). Options as keywords:
dir= writes the two result files there (without it none are written), csv=, png=, graph=,
style=, save_params=, events=, check_step=True, compare=. Returns a zarn.Run. Raises zarn.Error with the runner's message.)doc");
  m.def("sweep", &RunSweep, py::arg("preset") = py::none(), py::arg("params") = py::none(),
        py::arg("file") = py::none(),
        R"doc(Flies many cases on all cores, as zarn-batch --sweep or --case does.

sweep={name: (from, to, step), ...} makes a grid whose last name varies fastest, TO included;
cases=[{name: value, ...}, ...] a list. Options as keywords: jobs=, keep=, csv=, shard=(k, n),
summary=, save_params=. Returns a zarn.Sweep whose rows are the runner's summary rows in case
order; a failed case is a row with its error.)doc");
  m.def("solve", &RunSolve, py::arg("preset") = py::none(), py::arg("params") = py::none(),
        py::arg("file") = py::none(),
        R"doc(Solves over one parameter, as zarn-batch --solve, --maximize or --minimize does.

solve={name: (from, to)} with for_={figure: value} finds every value of the parameter whose run
gives the figure that value (both angles of a range); maximize="figure" or minimize="figure" with
over={name: (from, to)} finds the extreme. tol=, xtol=, keep=, save_params= as there. Returns a
list with a dict per solution: case, the parameter's value under its name, the figures and runs,
the keys of the runner's --json. Raises zarn.Error where no value reaches the target.)doc");
  m.def("monte_carlo", &RunMonteCarlo, py::arg("preset") = py::none(), py::arg("params") = py::none(),
        py::arg("file") = py::none(), py::kw_only(), py::arg("n"),
        R"doc(Runs n Monte Carlo cases on all cores, as zarn-batch --monte-carlo n does.

vary={name: "normal(mean,sd)" | "uniform(low,high)" | "triangular(low,mode,high)"
}, seed=, jobs=,
keep=, shard=(k, n), summary=, stats=, plot= as there. Returns a zarn.Sweep of the draws' rows in
case order, with the statistics in .stats.)doc");
}
