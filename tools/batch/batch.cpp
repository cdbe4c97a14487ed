#include "batch/batch.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <memory>
#include <ostream>

#include "batch/png_plugin.h"
#include "models/errors.h"
#include "sim/integrator.h"
#include "sim/number_text.h"
#include "sim/presets.h"
#include "sim/table_csv.h"

namespace zarn::batch {

const char* const kUsage =
    "Usage: zarn-batch [--preset N] [--set NAME=VALUE]... [--dir DIR] [--csv FILE]\n"
    "                  [--png FILE] [--graph NAME] [--quiet]\n"
    "  --preset N        start from preset N of the start form (0 to 4); without it every\n"
    "                    parameter starts at 0\n"
    "  --set NAME=VALUE  set the flight parameter NAME (H0, V0, TTO, MassaStart, S0, Cx, Cy,\n"
    "                    Vwind, dt0, Tk, Hk, Vk, AeroModel, TaskKind, Mt, Iud, IudP0, Mdv,\n"
    "                    Schub, S1, ... and their stage-2 and stage-3 names) after the preset;\n"
    "                    '.' is the decimal separator\n"
    "  --dir DIR         write \"Zarn Daten.txt\" and \"Zarn_500.txt\" into DIR (default: .)\n"
    "  --csv FILE        save the table of the 500 samples as CSV; the header names each\n"
    "                    column with the unit the run chose for it (t_s or t_min or t_h,\n"
    "                    H_m or H_km, ...)\n"
    "  --png FILE        save the graph as an 800x600 PNG picture\n"
    "  --graph NAME      the graph of the calculation form's button NAME (e.g. Button3);\n"
    "                    default: the graph drawn at the end of a run\n"
    "  --quiet           print no summary line\n"
    "  --help            show this text\n"
    "FILE is relative to the current directory, not to DIR. On a terminal, runs longer than a\n"
    "second show a progress bar on stderr; Ctrl-C stops the run with \"Run cancelled\".\n"
    "Exit status: 0 done, 1 the run or a file failed, 2 the command line was refused.\n";

namespace {

struct ParameterName {
  std::string_view Name;
  double FlightParameters::*Field;
};

// Every real of the parameters, by its own name. BuoyancyMode is not here: it follows TaskKind.
constexpr std::array<ParameterName, 34> kParameterNames{{
    {"H0", &FlightParameters::H0},
    {"V0", &FlightParameters::V0},
    {"TTO", &FlightParameters::TTO},
    {"MassaStart", &FlightParameters::MassaStart},
    {"S0", &FlightParameters::S0},
    {"Cx", &FlightParameters::Cx},
    {"Cy", &FlightParameters::Cy},
    {"Vwind", &FlightParameters::Vwind},
    {"dt0", &FlightParameters::dt0},
    {"Tk", &FlightParameters::Tk},
    {"Hk", &FlightParameters::Hk},
    {"Vk", &FlightParameters::Vk},
    {"PresetHk", &FlightParameters::PresetHk},
    {"PresetVk", &FlightParameters::PresetVk},
    {"AeroModel", &FlightParameters::AeroModel},
    {"TaskKind", &FlightParameters::TaskKind},
    {"Mt", &FlightParameters::Mt},
    {"Mt2", &FlightParameters::Mt2},
    {"Mt3", &FlightParameters::Mt3},
    {"Iud", &FlightParameters::Iud},
    {"Iud2", &FlightParameters::Iud2},
    {"Iud3", &FlightParameters::Iud3},
    {"IudP0", &FlightParameters::IudP0},
    {"IudP2", &FlightParameters::IudP2},
    {"IudP3", &FlightParameters::IudP3},
    {"Mdv", &FlightParameters::Mdv},
    {"Mdv2", &FlightParameters::Mdv2},
    {"Mdv3", &FlightParameters::Mdv3},
    {"Schub", &FlightParameters::Schub},
    {"Schu2", &FlightParameters::Schu2},
    {"Schu3", &FlightParameters::Schu3},
    {"S1", &FlightParameters::S1},
    {"S2", &FlightParameters::S2},
    {"S3", &FlightParameters::S3},
}};

std::string Quoted(std::string_view text) {
  return "'" + std::string(text) + "'";
}

// A finite number with '.' as the decimal separator and nothing around it; an optional '+'.
bool ParseReal(std::string_view text, double& out) {
  if (text.size() > 1 && text[0] == '+' && text[1] != '-') text.remove_prefix(1);
  const char* end = text.data() + text.size();
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
  if (text.empty() || ec != std::errc{} || ptr != end || !std::isfinite(value)) return false;
  out = value;
  return true;
}

int ParsePreset(std::string_view text) {
  int index = -1;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, index);
  const int count = static_cast<int>(kPresets.size());
  if (text.empty() || ec != std::errc{} || ptr != end || index < 0 || index >= count)
    throw UsageError("Preset must be a whole number from 0 to " + std::to_string(count - 1) + ", not " +
                     Quoted(text));
  return index;
}

ParameterSetting ParseSetting(std::string_view text) {
  const std::size_t eq = text.find('=');
  if (eq == std::string_view::npos) throw UsageError("--set needs NAME=VALUE, not " + Quoted(text));
  const std::string_view name = text.substr(0, eq);
  const std::string_view value = text.substr(eq + 1);
  for (const ParameterName& p : kParameterNames) {
    if (p.Name != name) continue;
    ParameterSetting setting{p.Name, p.Field, 0.0};
    if (!ParseReal(value, setting.Value))
      throw UsageError("Value of " + std::string(name) + ": " + Quoted(value) +
                       " is not a number (the decimal separator is '.')");
    return setting;
  }
  throw UsageError("Unknown parameter " + Quoted(name));
}

const GraphEntry* ParseGraph(std::string_view name) {
  if (const GraphEntry* entry = FindGraph(name)) return entry;
  std::string known;
  for (const GraphEntry& e : GraphButtons()) known += (known.empty() ? "" : ", ") + std::string(e.Component);
  throw UsageError("Unknown graph " + Quoted(name) + " (known: " + known + ")");
}

// The options, each with what it does to the parsed options.
struct OptionSpec {
  std::string_view Name;
  bool TakesValue;
  void (*Apply)(BatchOptions& options, std::string_view value);
};
std::filesystem::path FileName(std::string_view option, std::string_view value) {
  if (value.empty()) throw UsageError(std::string(option) + " needs a file name");
  return std::filesystem::path(value);
}

constexpr std::array<OptionSpec, 9> kOptions{{
    {"--preset", true, [](BatchOptions& o, std::string_view v) { o.Preset = ParsePreset(v); }},
    {"--set", true, [](BatchOptions& o, std::string_view v) { o.Settings.push_back(ParseSetting(v)); }},
    {"--dir", true, [](BatchOptions& o, std::string_view v) { o.Directory = std::filesystem::path(v); }},
    {"--csv", true, [](BatchOptions& o, std::string_view v) { o.Csv = FileName("--csv", v); }},
    {"--png", true, [](BatchOptions& o, std::string_view v) { o.Png = FileName("--png", v); }},
    {"--graph", true, [](BatchOptions& o, std::string_view v) { o.Graph = ParseGraph(v); }},
    {"--quiet", false, [](BatchOptions& o, std::string_view) { o.Quiet = true; }},
    {"--help", false, [](BatchOptions& o, std::string_view) { o.Help = true; }},
    {"-h", false, [](BatchOptions& o, std::string_view) { o.Help = true; }},
}};

}  // namespace

BatchOptions ParseArguments(std::span<const std::string_view> args) {
  BatchOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const auto option = std::find_if(kOptions.begin(), kOptions.end(),
                                     [&](const OptionSpec& o) { return o.Name == args[i]; });
    if (option == kOptions.end()) throw UsageError("Unknown option " + Quoted(args[i]));
    std::string_view value;
    if (option->TakesValue) {
      if (i + 1 == args.size()) throw UsageError("Option " + Quoted(args[i]) + " needs a value");
      value = args[++i];
    }
    option->Apply(options, value);
  }
  // FindGraph never yields the end-of-run entry, so a different entry means --graph was given.
  if (options.Graph != &DefaultGraph() && options.Png.empty())
    throw UsageError("--graph only chooses what --png saves");
  return options;
}

void PrepareParameters(const BatchOptions& options, ZarnData& d) {
  d.PresetRecord.fill(0.0);
  WritePresetRecord(options.Preset, d.PresetRecord);  // no change for -1: the all-zero record
  ApplyPresetRecord(d);
  for (const ParameterSetting& s : options.Settings) {
    d.Params.*s.Field = s.Value;
    if (s.Field == &FlightParameters::TaskKind)
      d.Params.BuoyancyMode = (s.Value == 3.0 || s.Value == 4.0) ? 1 : 0;
  }
}

std::string Summary(const FlightState& s, int64_t stepsPerPass) {
  constexpr int kDigits = 10;
  auto num = [](double v) { return FormatGeneral(v, kDigits, '.'); };
  return "Steps per pass: " + std::to_string(stepsPerPass) + "  t = " + num(s.t) + " s  X = " + num(s.X) +
         " m  H = " + num(s.H) + " m  V = " + num(s.V) + " m/s";
}

int Run(const BatchOptions& options, std::ostream& out, std::ostream& err, const Console& console) {
  RunMonitor monitor(console);
  try {
    const auto d = std::make_unique<ZarnData>();  // 400 kB: zero, as at program start
    PrepareParameters(options, *d);

    int64_t stepsPerPass = 0;
    RunOptions run;
    run.Directory = options.Directory;
    run.ProgressEvery = kProgressEvery;
    run.Progress = [&](const RunProgress& p) {
      if (p.Pass == 0) stepsPerPass = p.Steps;  // the last report of the pass is its end
      return monitor(p);
    };
    ComputeTrajectory(*d, run);
    monitor.Erase();
    // A Ctrl-C after the run's last report still stops what would follow.
    if (monitor.Cancelled()) throw Error("Run cancelled");

    if (!options.Csv.empty()) WriteTableCsv(options.Csv, d->Table, d->Units);
    if (!options.Png.empty()) {
      SelectGraph(*options.Graph, d->Selection);
      SaveGraphPngThroughModule(d->Table, d->Selection, d->Units, options.Png);
    }
    if (!options.Quiet) out << Summary(d->State, stepsPerPass) << '\n';
    return kExitOk;
  } catch (const std::exception& e) {
    monitor.Erase();
    err << e.what() << '\n';
    return kExitRunError;
  }
}

}  // namespace zarn::batch
