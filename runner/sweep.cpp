// Sweeps: the cases of a grid or a list, each a whole run on its own data, on a pool of threads;
// one summary row per case, written in case order as soon as the cases before it are through.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <thread>

#include "answers/draws.h"
#include "answers/stats.h"
#include "flight/presets.h"
#include "input/text_lines.h"
#include "output/file_sink.h"
#include "output/param_writer.h"
#include "output/result_files.h"
#include "output/table_csv.h"
#include "records/errors.h"
#include "runner/runner.h"

namespace zarn::runner {

std::string CaseFolder(int64_t number, int64_t total) {
  std::string digits = std::to_string(number);
  const std::size_t width = std::max<std::size_t>(4, std::to_string(total).size());
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return "case-" + digits;
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string field = "\"";
  for (const char c : text) {
    if (c == '"') field += '"';
    field += c;
  }
  return field + "\"";
}

namespace fs = std::filesystem;

namespace {

// "case-" and digits only: a folder of CaseFolder's.
bool IsCaseFolder(const std::string& name) {
  return name.size() > 5 && name.starts_with("case-") &&
         name.find_first_not_of("0123456789", 5) == std::string::npos;
}

}  // namespace

KeepFolder::KeepFolder(const fs::path& directory, int64_t shardIndex, int64_t shardCount, int64_t total) {
  if (directory.empty()) return;
  std::error_code ec;
  fs::create_directories(directory, ec);
  if (ec) throw FileError(FileErrorText("create", directory, ec.value()));
  const std::string quoted = "\"" + Shown(directory.string()) + "\"";
  fd_ = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) {
    const int error = errno;
    if (error == EACCES)
      throw FileError("Cannot keep the runs' files in " + quoted +
                      ": the folder cannot be read, so it cannot be kept from another run");
    throw FileError(FileErrorText("open", directory, error));
  }
  if (::flock(fd_, (shardCount > 1 ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    ::close(std::exchange(fd_, -1));
    throw FileError("Cannot keep the runs' files in " + quoted + ": another run keeps its files there");
  }
  // Where the lock is not to be had (some network file systems) the run goes on without it.
  for (const fs::directory_entry& entry : fs::directory_iterator(directory, ec)) {
    const std::string name = entry.path().filename().string();
    if (!IsCaseFolder(name) || !entry.is_directory(ec) || entry.is_symlink(ec)) continue;
    // Digits past any case number are no case of this run's.
    const int64_t number = name.size() > 5 + 18 ? INT64_MAX : std::stoll(name.substr(5));
    if (shardCount > 1 && number <= total && (number - 1) % shardCount != shardIndex)
      continue;  // a sibling's
    fs::remove_all(entry.path(), ec);
    if (ec) {
      ::close(std::exchange(fd_, -1));
      throw FileError(FileErrorText("remove the earlier run's", entry.path(), ec.value()));
    }
  }
  if (ec) {
    ::close(std::exchange(fd_, -1));
    throw FileError(FileErrorText("read", directory, ec.value()));
  }
}

KeepFolder::~KeepFolder() {
  if (fd_ >= 0) ::close(fd_);
}

void RemoveEarlierStatistics(const BatchOptions& o) {
  if (!o.IsMonteCarlo() || o.Stats.empty() || o.Stats == "-") return;
  struct stat st {};
  if (::lstat(o.Stats.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;  // none, or not a file of ours
  if (::unlink(o.Stats.c_str()) != 0 && errno != ENOENT)
    throw FileError(FileErrorText("remove the earlier", o.Stats, errno));
}

namespace {

// The cases of the sweep, by their index in the grid's order (0-based); of a Monte Carlo run, by
// their draw.
class CaseGrid {
 public:
  explicit CaseGrid(const BatchOptions& o) : options_(o), base_(BaseRecord(o)) {
    for (const ParamLaw& v : o.Vary) {
      columns_.push_back(v.Param);
      laws_.push_back(v.Draw);
    }
    for (const SweepAxis& a : o.Sweep) columns_.push_back(a.Param);
    for (const auto& c : o.Cases)
      for (const ParameterSetting& s : c)
        if (std::find(columns_.begin(), columns_.end(), s.Param) == columns_.end())
          columns_.push_back(s.Param);
    count_ = o.Sweep.empty() ? static_cast<int64_t>(o.Cases.size()) : 1;
    for (const SweepAxis& a : o.Sweep) count_ *= a.Count;
    if (o.IsMonteCarlo()) count_ = o.MonteCarlo;
  }

  int64_t Count() const { return count_; }
  // The swept names, as the summary's columns.
  const std::vector<const ParamName*>& Columns() const { return columns_; }
  // Whether the summary lists figure `id` (FigureListed).
  bool Lists(int id) const { return FigureListed(id, base_, columns_); }

  // The preset record of case `index`: the base (preset or file, then --set), then the case's values.
  PresetRecordSlots Record(int64_t index) const {
    PresetRecordSlots record = base_;
    if (!laws_.empty()) {
      // Case n draws from the stream of (seed, n), whichever thread or shard runs it.
      const std::vector<double> drawn = DrawCase(options_.Seed, index + 1, laws_);
      for (std::size_t i = 0; i < drawn.size(); ++i)
        record[static_cast<std::size_t>(columns_[i]->Slot)] = drawn[i];
      return record;
    }
    if (options_.Sweep.empty()) {
      for (const ParameterSetting& s : options_.Cases[static_cast<std::size_t>(index)])
        record[static_cast<std::size_t>(s.Param->Slot)] = s.Value;
      return record;
    }
    for (auto a = options_.Sweep.rbegin(); a != options_.Sweep.rend(); ++a) {  // the last varies fastest
      record[static_cast<std::size_t>(a->Param->Slot)] = a->Value(index % a->Count);
      index /= a->Count;
    }
    return record;
  }

 private:
  const BatchOptions& options_;
  PresetRecordSlots base_;
  std::vector<const ParamName*> columns_;
  std::vector<Law> laws_;  //!< of a Monte Carlo run, one per column
  int64_t count_ = 0;
};

struct CaseOutcome {
  PresetRecordSlots Record;
  Figures Result{};
  std::string Error;                    //!< empty: the case ran through
  bool Cancelled = false;               //!< stopped by Ctrl-C: neither a result nor a failure
  bool NotRun = false;                  //!< not started: an earlier case ran out of disk space
  std::optional<RunCurvesData> Curves;  //!< for the sweep's picture: the graph's columns in stored units
  bool Drawn = true;                    //!< false: the case's values could not be drawn (Record is empty)
};

// "TTO = 30, Vwind = -5": the case's swept values.
std::string CaseName(const std::vector<const ParamName*>& columns, const PresetRecordSlots& record) {
  std::string name;
  for (const ParamName* p : columns) {
    if (!name.empty()) name += ", ";
    name.append(p->Name).append(" = ").append(NumberText(record[static_cast<std::size_t>(p->Slot)]));
  }
  return name;
}

// The sweep's picture of every case's curves: --png, or --plot (a Monte Carlo run's --plot is a
// picture of its own).
std::pair<fs::path, const char*> SweepPicture(const BatchOptions& o) {
  if (!o.Png.empty()) return {o.Png, o.PngFormat};
  if (!o.Plot.empty() && !o.IsMonteCarlo()) return {o.Plot, o.PlotFormat};
  return {fs::path(), nullptr};
}

CaseOutcome RunCase(const BatchOptions& options, const CaseGrid& grid, int64_t index, int64_t total,
                    const std::atomic<int>* cancel, const SharedSpaceGuard& space) {
  CaseOutcome outcome;
  const int64_t number = index + 1;
  try {
    outcome.Record = grid.Record(index);
  } catch (const std::exception& e) {
    outcome.Error = e.what();  // a draw beyond the numbers a field holds
    outcome.Drawn = false;
    return outcome;
  }
  const PresetRecordSlots& record = outcome.Record;
  // The reserve is the sweep's: once a case has met it, a further case would only fail the same way.
  if (!space.Refusal().empty()) {
    outcome.NotRun = true;
    outcome.Error = "Not run: an earlier case stopped for lack of disk space";
    return outcome;
  }
  Console quiet;  // no bar of its own: the sweep's bar counts cases
  quiet.Cancel = cancel;
  RunMonitor monitor(quiet);
  try {
    const FlightParameters params = RunParameters(options, record);
    // Without --keep a case writes no file: its steps go nowhere.
    std::optional<ResultFiles> files;
    fs::path directory;
    RunOptions run;
    if (!options.Keep.empty()) {
      directory = options.Keep / CaseFolder(number, total);
      std::error_code ec;
      fs::create_directories(directory, ec);
      if (ec) throw FileError(FileErrorText("create", directory, ec.value()));
      run.Sink = &files.emplace(directory);
      files->SetSpaceProbe(space.Probe());  // the sweep's one reserve
    }
    run.ProgressEvery = kProgressEvery;
    run.Progress = [&monitor](const RunProgress& p) { return monitor(p); };
    // A case whose rows nothing reads (no files, no table, no curve in a picture) flies without
    // them, into the result its thread flew the case before into.
    const bool pictured = SweepPicture(options).second != nullptr;
    run.Rows = files.has_value() || !options.Csv.empty() || pictured;
    thread_local std::unique_ptr<RunResult> spare;
    Flight flight = Fly(params, run, std::move(spare));
    outcome.Result = flight.Values;
    const RunResult& d = *flight.Result;
    if (!options.Csv.empty())
      WriteTableCsv(directory / options.Csv, d.Table, d.Units, d.Summary.SamplesStored,
                    flight.ThreeDimensions);
    // The picture needs only the graph's columns of the stored rows, not the whole table.
    if (pictured) {
      GraphSelection selection{};
      SelectGraph(*options.Graph, selection);
      outcome.Curves = CurvesOf(d, selection, UnitFlags{}, CaseName(grid.Columns(), record));
    }
    spare = std::move(flight.Result);
  } catch (const std::exception& e) {
    outcome.Cancelled = monitor.Cancelled();
    outcome.Error = e.what();
  }
  return outcome;
}

}  // namespace

bool SummaryListsFigure(const BatchOptions& options, int id) {
  return CaseGrid(options).Lists(id);
}

namespace {

std::string HeaderRow(const CaseGrid& grid) {
  std::string row = "case";
  for (const ParamName* p : grid.Columns()) row.append(",").append(p->Name);
  for (int id = 0; id < kFigureCount; ++id)
    if (grid.Lists(id)) row.append(",").append(kFigures[static_cast<std::size_t>(id)].Key);
  return row + ",error\n";
}

std::string CaseRow(const CaseGrid& grid, int64_t number, const CaseOutcome& c) {
  std::string row = std::to_string(number);
  for (const ParamName* p : grid.Columns()) {
    row += ',';
    if (c.Drawn) row += NumberText(c.Record[static_cast<std::size_t>(p->Slot)]);
  }
  for (int id = 0; id < kFigureCount; ++id) {
    if (!grid.Lists(id)) continue;
    row += ',';
    if (c.Error.empty() && c.Result[static_cast<std::size_t>(id)]) row += FigureText(c.Result, id, false);
  }
  return row + "," + CsvField(c.Error) + "\n";
}

// Where the rows go: a stream (stdout) or a file, each row written whole as it comes.
class SummaryOut {
 public:
  SummaryOut(const fs::path& path, std::ostream& out) : out_(out) {
    if (path.empty() || path == "-") return;
    path_ = path;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) throw FileError(FileErrorText("create", path, errno));
  }
  ~SummaryOut() {
    if (fd_ >= 0) ::close(fd_);
  }
  SummaryOut(const SummaryOut&) = delete;
  SummaryOut& operator=(const SummaryOut&) = delete;

  void Write(const std::string& text) {
    if (fd_ < 0) {
      WriteStdout(out_, text);
      return;
    }
    if (const int error = WriteAll(fd_, text.data(), text.size()); error != 0)
      throw FileError(FileErrorText("write", path_, error));
  }

  void Close() {
    const int fd = fd_;
    fd_ = -1;
    if (fd >= 0 && ::close(fd) != 0) throw FileError(FileErrorText("close", path_, errno));
  }

 private:
  std::ostream& out_;
  fs::path path_;
  int fd_ = -1;
};

// Every case's curves in one picture, in the units of the first case that ran: a legend of the
// swept values, or a colour scale for many cases.
void SaveSweepPicture(const BatchOptions& options, const CaseGrid& grid, std::vector<RunCurvesData> cases) {
  if (cases.empty()) throw Error("No case ran: the sweep has no curve to draw");
  GraphSelection selection{};
  SelectGraph(*options.Graph, selection);
  // The unit switches of the first case: a column above the switch's threshold there is in its
  // larger unit.
  UnitFlags units{};
  for (const UnitSwitch& u : kUnitSwitches) {
    for (int e = 0; e < selection.Count - 1; ++e) {
      if (selection.Columns[static_cast<std::size_t>(e)] != u.Column) continue;
      const std::vector<double>& values = cases.front().Columns[static_cast<std::size_t>(e)];
      if (std::any_of(values.begin(), values.end(), [&](double v) { return v > u.Threshold; }))
        units.*u.Flag = u.Value;
    }
  }
  for (RunCurvesData& c : cases)
    for (int e = 0; e < selection.Count - 1; ++e) {
      const double factor = StoredUnitFactor(selection.Columns[static_cast<std::size_t>(e)], units);
      for (double& v : c.Columns[static_cast<std::size_t>(e)]) v /= factor;
    }
  std::string title = "cases of";
  for (const ParamName* p : grid.Columns()) title.append(title.back() == 'f' ? " " : ", ").append(p->Name);
  const auto [path, format] = SweepPicture(options);
  SaveComparedThroughModule(selection, units, cases, {}, "", title, path, format);
}

}  // namespace

int RunSweep(const BatchOptions& options, std::ostream& out, std::ostream& err, const Console& console,
             const SweepRowSink& onRow) {
  const CaseGrid grid(options);
  const int64_t total = grid.Count();
  // This shard's cases: K, K+N, K+2N, ... of the grid's order.
  const int64_t k = options.ShardIndex;
  const int64_t n = options.ShardCount;
  const int64_t mine = k < total ? (total - k + n - 1) / n : 0;
  auto caseIndex = [&](int64_t position) { return k + position * n; };
  const bool cancelledBefore = console.Cancel != nullptr && *console.Cancel != 0;
  auto cancelled = [&] { return console.Cancel != nullptr && *console.Cancel != 0; };

  TerminalBar bar(console);
  int64_t written = 0;
  int64_t failed = 0;
  int64_t notRun = 0;
  const SharedSpaceGuard space(options.Space ? options.Space : SpaceProbe(FileSystemSpaceOf));
  try {
    if (!options.SaveParams.empty()) SaveParams(options, BaseRecord(options));
    const KeepFolder kept(options.Keep, k, n, total);
    RemoveEarlierStatistics(options);
    SummaryOut summary(options.Summary, out);
    if (k == 0) summary.Write(HeaderRow(grid));
    // A whole Monte Carlo run keeps its cases for the statistics (a shard has none).
    const bool statistics = options.IsMonteCarlo() && options.ShardCount == 1;
    SampleTable samples;
    for (const ParamName* p : grid.Columns()) samples.Inputs.emplace_back(p->Name);
    for (const FigureRow& f : kFigures) samples.Figures.emplace_back(f.Key);
    auto keep = [&](int64_t number, const CaseOutcome& c) {
      if (!statistics) return;
      SampleRow row{number, {}, {c.Result.begin(), c.Result.end()}, !c.Error.empty()};
      for (const ParamName* p : grid.Columns())
        row.Inputs.push_back(c.Record[static_cast<std::size_t>(p->Slot)]);
      AddSample(samples, std::move(row));
    };

    std::mutex mutex;
    std::condition_variable finished;
    std::map<int64_t, CaseOutcome> done;  // cases through but not yet written, by position
    std::vector<RunCurvesData> pictured;  // the curves of the cases that ran, in case order
    std::atomic<int64_t> next{0};
    std::atomic<bool> stop{cancelledBefore};
    unsigned jobs =
        options.Jobs > 0 ? static_cast<unsigned>(options.Jobs) : std::thread::hardware_concurrency();
    jobs = static_cast<unsigned>(std::clamp<int64_t>(std::min<int64_t>(jobs, mine), 1, 1024));
    {
      std::vector<std::jthread> workers;
      // Cases go to the threads in blocks, so that a case of some microseconds does not wait on
      // the lock and the writer's wake-up each time: blocks small enough that every thread gets
      // several and the rows still come out steadily.
      const int64_t block = std::clamp<int64_t>(mine / (static_cast<int64_t>(jobs) * 16), 1, 64);
      auto work = [&] {
        std::vector<std::pair<int64_t, CaseOutcome>> through;
        while (!stop) {
          const int64_t first = next.fetch_add(block);
          if (first >= mine) return;
          through.clear();
          for (int64_t position = first; position < std::min(first + block, mine) && !stop; ++position)
            through.emplace_back(position,
                                 RunCase(options, grid, caseIndex(position), total, console.Cancel, space));
          const std::lock_guard lock(mutex);
          for (auto& [position, outcome] : through) done.emplace(position, std::move(outcome));
          finished.notify_one();
        }
      };
      // Write each row once the rows before it are written; stop on Ctrl-C, a failed write or a
      // thread the system would not give.
      std::unique_lock lock(mutex);
      try {
        for (unsigned i = 0; i < jobs && mine > 0; ++i) workers.emplace_back(work);
        while (written < mine && !cancelled()) {
          finished.wait_for(lock, std::chrono::milliseconds(50), [&] { return done.contains(written); });
          while (done.contains(written) && !done.at(written).Cancelled) {
            CaseOutcome outcome = std::move(done.at(written));
            done.erase(written);
            lock.unlock();
            if (!outcome.Error.empty()) ++failed;
            if (outcome.NotRun) ++notRun;
            bar.Erase();
            summary.Write(CaseRow(grid, caseIndex(written) + 1, outcome));
            if (onRow)
              onRow({caseIndex(written) + 1, grid.Columns(), outcome.Record, outcome.Result, outcome.Error});
            keep(caseIndex(written) + 1, outcome);
            if (outcome.Curves) pictured.push_back(std::move(*outcome.Curves));
            ++written;
            lock.lock();
          }
          if (done.contains(written) && done.at(written).Cancelled) break;
          lock.unlock();
          bar.Show([&](int columns) { return SweepLine(written, mine, columns); });
          lock.lock();
        }
      } catch (...) {
        stop = true;
        throw;  // the workers end their cases as the pool goes
      }
      stop = true;
      lock.unlock();
    }  // the workers finish the cases they hold; a Ctrl-C ends those within a few milliseconds

    bar.Erase();
    if (written < mine) {
      // Cancelled: the rows of the cases that finished before the first stopped one still count.
      for (auto it = done.find(written); it != done.end() && it->first == written && !it->second.Cancelled;
           it = done.find(written)) {
        if (!it->second.Error.empty()) ++failed;
        if (it->second.NotRun) ++notRun;
        summary.Write(CaseRow(grid, caseIndex(written) + 1, it->second));
        if (onRow)
          onRow({caseIndex(written) + 1, grid.Columns(), it->second.Record, it->second.Result,
                 it->second.Error});
        ++written;
      }
      summary.Close();
      err << "zarn-batch: Run cancelled: the summary holds " << written << " of " << mine << " cases\n";
      return kExitCancelled;
    }
    summary.Close();
    if (statistics) {
      try {
        ReportStatistics(options, samples, out, err, console.Cancel);
      } catch (const std::exception&) {
        if (!cancelled()) throw;
        err << "zarn-batch: Run cancelled: the summary holds all " << mine
            << " cases, without their statistics\n";
        return kExitCancelled;
      }
    }
    if (SweepPicture(options).second != nullptr) SaveSweepPicture(options, grid, std::move(pictured));
  } catch (const std::exception& e) {
    bar.Erase();
    err << "zarn-batch: " << e.what() << '\n';
    return kExitRunError;
  }
  if (notRun > 0) {
    err << "zarn-batch: " << space.Refusal() << "; the sweep started no case after that, " << notRun << " of "
        << mine << " cases not run\n";
  }
  if (failed > 0) {
    err << "zarn-batch: " << failed << " of " << mine << " cases failed (see the summary's error column)\n";
    return kExitRunError;
  }
  return kExitOk;
}

}  // namespace zarn::runner
