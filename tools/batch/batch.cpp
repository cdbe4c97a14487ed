#include "batch/batch.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>
#include <ostream>

#include "batch/png_plugin.h"
#include "flight/key_figures.h"
#include "flight/number_text.h"
#include "flight/presets.h"
#include "output/file_sink.h"
#include "output/result_files.h"
#include "output/run_note.h"
#include "output/table_csv.h"
#include "records/constants.h"
#include "records/errors.h"

#ifndef ZARN_VERSION
#define ZARN_VERSION "unknown"
#endif

namespace zarn::batch {

const char* const kVersion = "zarn-batch " ZARN_VERSION;

const char* const kUsage =
    "Usage: zarn-batch [--preset N | --params FILE] [--set NAME=VALUE]... [--save-params FILE]\n"
    "                  [--dir DIR] [--csv FILE] [--png FILE [--graph NAME] [--style S]]\n"
    "                  [--json | --quiet]\n"
    "       zarn-batch [--preset N | --params FILE] [--set NAME=VALUE]...\n"
    "                  (--sweep NAME=FROM:TO:STEP... | --case NAME=VALUE[,NAME=VALUE]...)\n"
    "                  [--jobs N] [--keep DIR [--csv FILE]] [--shard K/N] [--summary FILE]\n"
    "       zarn-batch --help | --version\n";

namespace {

constexpr const char* kOptionsHelp =
    "\n"
    "One run:\n"
    "  --preset N          start from preset N of the start form (0 to 4)\n"
    "  --params FILE       start from a parameter file (NAME = VALUE lines, as --save-params\n"
    "                      writes them); without --preset or --params every parameter is 0\n"
    "  --set NAME=VALUE    change a parameter after the preset or file, before the calculation\n"
    "                      form would be activated with them; '.' is the decimal separator\n"
    "  --save-params FILE  write the parameters in effect as a parameter file, then run\n"
    "  --dir DIR           write \"Zarn Daten.txt\" and \"Zarn_500.txt\" into DIR (default: .)\n"
    "  --csv FILE          the table of samples as CSV (FILE '-': stdout, instead of the summary);\n"
    "                      the same columns in the same units for every flight: t_s, V_m_s,\n"
    "                      q_kPa, H_m, Q_deg, X_m, ...\n"
    "  --png FILE          the graph as an 800x600 picture; FILE ends in .png, .jpg or .bmp,\n"
    "                      or .svg or .pdf for a vector drawing (a PDF of one page)\n"
    "  --graph NAME        the graph of the calculation form's button NAME (list below);\n"
    "                      default: the graph drawn at the end of a run\n"
    "  --style S           the picture's style: classic (default: the window's graph) or clear\n"
    "                      (round ticks, signed labels, a legend, a colour per curve)\n"
    "  --json              print the key figures as one JSON object, or {\"error\": ...}\n"
    "  --quiet             print no summary\n"
    "Sweeps (a summary row per case, CSV; the swept values, the figures of --json, the error):\n"
    "  --sweep NAME=FROM:TO:STEP  every value from FROM to TO (both included); several --sweep\n"
    "                      make a grid, the last one varying fastest\n"
    "  --case NAME=VALUE[,NAME=VALUE]...  one case; repeat for a list (not mixed with --sweep)\n"
    "  --jobs N            cases run on N threads (default: one per core)\n"
    "  --keep DIR          keep each case's result files in DIR/case-0001, ... (and --csv FILE\n"
    "                      there); without it a case writes no file\n"
    "  --shard K/N         run only cases K, K+N, K+2N, ... counting from 0; shard 0 alone\n"
    "                      writes the header, so the shards' summaries concatenate to the sweep's\n"
    "  --summary FILE      where the rows go (default and '-': stdout)\n"
    "Other:\n"
    "  --help              show this text\n"
    "  --version           show the version\n"
    "A flight of fewer steps than 500 stores fewer samples; a note on stderr says so (not in a\n"
    "sweep, whose rows give samples_stored).\n"
    "Options take their value as --opt VALUE or --opt=VALUE; only --set, --sweep and --case may\n"
    "be given more than once. FILE is relative to the current directory, not to DIR. On a\n"
    "terminal, a run or sweep longer than a second shows a progress bar on stderr. Ctrl-C,\n"
    "SIGTERM or SIGHUP stops it with \"Run cancelled\" and ends the program by that signal.\n"
    "Exit status: 0 done, 1 the run, a file or a sweep's case failed, 2 the command line was\n"
    "refused (nothing touched), 130 (SIGINT), 143 (SIGTERM) or 129 (SIGHUP) cancelled.\n";

std::string Quoted(std::string_view text) {
  // Appended piece by piece: g++ 12 warns (-Wrestrict) about a literal + std::string chain.
  std::string quoted(1, '\'');
  quoted.append(text).push_back('\'');
  return quoted;
}

// " (did you mean 'X'?)" for the nearest candidate, or "".
std::string DidYouMean(std::string_view name, std::span<const std::string_view> candidates) {
  const std::string_view nearest = NearestName(name, candidates);
  return nearest.empty() ? std::string() : " (did you mean " + Quoted(nearest) + "?)";
}

template <typename Int>
bool ParseWhole(std::string_view text, Int& out) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, out);
  return !text.empty() && ec == std::errc{} && ptr == end;
}

int ParsePreset(std::string_view text) {
  int index = -1;
  const int count = static_cast<int>(kPresets.size());
  if (!ParseWhole(text, index) || index < 0 || index >= count)
    throw UsageError("Preset must be a whole number from 0 to " + std::to_string(count - 1) + ", not " +
                     Quoted(text));
  return index;
}

const ParamName* ParseName(std::string_view name) {
  if (const ParamName* p = FindParamName(name)) return p;
  throw UsageError("Unknown parameter " + Quoted(name) + DidYouMean(name, ParamNameList()));
}

double ParseValue(const ParamName& p, std::string_view value) {
  double number = 0.0;
  if (!ParseFiniteNumber(value, number))
    throw UsageError("Value of " + std::string(p.Name) + ": " + Quoted(value) +
                     " is not a number (the decimal separator is '.')");
  return number;
}

// NAME=VALUE, for --set and each part of --case.
ParameterSetting ParseSetting(std::string_view option, std::string_view text) {
  const std::size_t eq = text.find('=');
  if (eq == std::string_view::npos)
    throw UsageError(std::string(option) + " needs NAME=VALUE, not " + Quoted(text));
  const ParamName* p = ParseName(text.substr(0, eq));
  return {p, ParseValue(*p, text.substr(eq + 1))};
}

std::vector<ParameterSetting> ParseCase(std::string_view text) {
  std::vector<ParameterSetting> settings;
  for (std::size_t start = 0;;) {
    const std::size_t comma = text.find(',', start);
    const ParameterSetting s = ParseSetting("--case", text.substr(start, comma - start));
    for (const ParameterSetting& earlier : settings)
      if (earlier.Param == s.Param)
        throw UsageError("--case gives " + std::string(s.Param->Name) + " twice: " + Quoted(text));
    settings.push_back(s);
    if (comma == std::string_view::npos) return settings;
    start = comma + 1;
  }
}

// Digits after the point of a plain decimal ("0.25": 2, "10": 0), or -1 for an exponent form.
int Decimals(std::string_view text) {
  if (text.find_first_of("eE") != std::string_view::npos) return -1;
  const std::size_t point = text.find('.');
  return point == std::string_view::npos ? 0 : static_cast<int>(text.size() - point - 1);
}

constexpr int64_t kMaxCases = 1'000'000'000;

SweepAxis ParseSweep(std::string_view text) {
  const std::size_t eq = text.find('=');
  const std::size_t colon1 = text.find(':', eq == std::string_view::npos ? 0 : eq);
  const std::size_t colon2 = colon1 == std::string_view::npos ? colon1 : text.find(':', colon1 + 1);
  if (eq == std::string_view::npos || colon2 == std::string_view::npos)
    throw UsageError("--sweep needs NAME=FROM:TO:STEP, not " + Quoted(text));
  SweepAxis axis{};
  axis.Param = ParseName(text.substr(0, eq));
  const std::string_view texts[3] = {text.substr(eq + 1, colon1 - eq - 1),
                                     text.substr(colon1 + 1, colon2 - colon1 - 1), text.substr(colon2 + 1)};
  double from = 0, to = 0, step = 0;
  from = ParseValue(*axis.Param, texts[0]);
  to = ParseValue(*axis.Param, texts[1]);
  step = ParseValue(*axis.Param, texts[2]);
  const std::string where = "--sweep " + std::string(text) + ": ";
  if (step == 0.0) throw UsageError(where + "STEP must not be 0");
  if ((to - from) / step < 0.0) throw UsageError(where + "STEP leads away from TO");

  // Plain decimals count in whole units of their last digit, so that no rounding creeps in.
  int decimals = 0;
  for (const std::string_view t : texts) decimals = Decimals(t) < 0 ? 99 : std::max(decimals, Decimals(t));
  bool whole = decimals <= 15;
  double scaled[3] = {};
  const double scale = whole ? std::pow(10.0, decimals) : 1.0;
  const double values[3] = {from, to, step};
  for (int i = 0; i < 3 && whole; ++i) {
    scaled[i] = std::nearbyint(values[i] * scale);
    whole = std::fabs(scaled[i]) <= 9007199254740992.0 && scaled[i] / scale == values[i];
  }
  double count = 0;
  if (whole) {
    axis.First = scaled[0];
    axis.Step = scaled[2];
    axis.Scale = scale;
    count = std::floor((scaled[1] - scaled[0]) / scaled[2]) + 1;
  } else {
    axis.First = from;
    axis.Step = step;
    axis.Scale = 1.0;
    count = std::floor((to - from) / step * (1 + 1e-12)) + 1;
  }
  if (!(count <= static_cast<double>(kMaxCases)))
    throw UsageError(where + "more than " + std::to_string(kMaxCases) + " values");
  axis.Count = static_cast<int64_t>(count);
  return axis;
}

void ParseShard(std::string_view text, BatchOptions& o) {
  const std::size_t slash = text.find('/');
  int64_t k = -1, n = 0;
  if (slash == std::string_view::npos || !ParseWhole(text.substr(0, slash), k) ||
      !ParseWhole(text.substr(slash + 1), n) || n < 1 || k < 0 || k >= n)
    throw UsageError("--shard needs K/N with 0 <= K < N, not " + Quoted(text));
  o.ShardIndex = k;
  o.ShardCount = n;
}

int ParseJobs(std::string_view text) {
  int jobs = 0;
  if (!ParseWhole(text, jobs) || jobs < 1 || jobs > 1024)
    throw UsageError("--jobs needs a whole number from 1 to 1024, not " + Quoted(text));
  return jobs;
}

const GraphEntry* ParseGraph(std::string_view name) {
  if (const GraphEntry* entry = FindGraph(name)) return entry;
  std::vector<std::string_view> names;
  for (const GraphEntry& e : GraphButtons()) names.push_back(e.Component);
  const std::string hint = DidYouMean(name, names);
  throw UsageError("Unknown graph " + Quoted(name) +
                   (hint.empty() ? " (zarn-batch --help lists them)" : hint));
}

std::filesystem::path FileName(std::string_view option, std::string_view value) {
  if (value.empty()) throw UsageError(std::string(option) + " needs a file name");
  return std::filesystem::path(value);
}

// The picture formats --png writes, by the file's extension (any case).
struct PictureFormat {
  std::string_view Extension;
  const char* Format;
};
constexpr std::array<PictureFormat, 6> kPictureFormats{{
    {".png", "PNG"},
    {".jpg", "JPG"},
    {".jpeg", "JPG"},
    {".bmp", "BMP"},
    {".svg", "SVG"},
    {".pdf", "PDF"},
}};

void ParsePng(std::string_view value, BatchOptions& o) {
  o.Png = FileName("--png", value);
  std::string extension = o.Png.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const PictureFormat& f : kPictureFormats) {
    if (f.Extension != extension) continue;
    o.PngFormat = f.Format;
    return;
  }
  throw UsageError("--png FILE must end in .png, .jpg, .bmp, .svg or .pdf, not " + Quoted(value));
}

bool ParseStyle(std::string_view name) {
  if (name == "clear") return true;
  if (name == "classic") return false;
  throw UsageError("--style takes classic or clear, not " + Quoted(name));
}

// Where an option applies.
enum class Scope { kAny, kRun, kSweep };

// The options, each with what it does to the parsed options.
struct OptionSpec {
  std::string_view Name;
  bool TakesValue;
  Scope Where;
  void (*Apply)(BatchOptions& options, std::string_view value);
};

constexpr std::array<OptionSpec, 20> kOptions{{
    {"--preset", true, Scope::kAny, [](BatchOptions& o, std::string_view v) { o.Preset = ParsePreset(v); }},
    {"--params", true, Scope::kAny,
     [](BatchOptions& o, std::string_view v) {
       try {
         o.ParamFile = ReadParamFile(FileName("--params", v));
       } catch (const Error& e) {
         throw UsageError(e.what());
       }
     }},
    {"--set", true, Scope::kAny,
     [](BatchOptions& o, std::string_view v) { o.Settings.push_back(ParseSetting("--set", v)); }},
    {"--save-params", true, Scope::kAny,
     [](BatchOptions& o, std::string_view v) { o.SaveParams = FileName("--save-params", v); }},
    {"--dir", true, Scope::kRun,
     [](BatchOptions& o, std::string_view v) { o.Directory = FileName("--dir", v); }},
    {"--csv", true, Scope::kAny, [](BatchOptions& o, std::string_view v) { o.Csv = FileName("--csv", v); }},
    {"--png", true, Scope::kRun, [](BatchOptions& o, std::string_view v) { ParsePng(v, o); }},
    {"--graph", true, Scope::kRun, [](BatchOptions& o, std::string_view v) { o.Graph = ParseGraph(v); }},
    {"--style", true, Scope::kRun, [](BatchOptions& o, std::string_view v) { o.ClearStyle = ParseStyle(v); }},
    {"--json", false, Scope::kRun, [](BatchOptions& o, std::string_view) { o.Json = true; }},
    {"--quiet", false, Scope::kRun, [](BatchOptions& o, std::string_view) { o.Quiet = true; }},
    {"--sweep", true, Scope::kSweep,
     [](BatchOptions& o, std::string_view v) { o.Sweep.push_back(ParseSweep(v)); }},
    {"--case", true, Scope::kSweep,
     [](BatchOptions& o, std::string_view v) { o.Cases.push_back(ParseCase(v)); }},
    {"--jobs", true, Scope::kSweep, [](BatchOptions& o, std::string_view v) { o.Jobs = ParseJobs(v); }},
    {"--keep", true, Scope::kSweep,
     [](BatchOptions& o, std::string_view v) { o.Keep = FileName("--keep", v); }},
    {"--shard", true, Scope::kSweep, [](BatchOptions& o, std::string_view v) { ParseShard(v, o); }},
    {"--summary", true, Scope::kSweep,
     [](BatchOptions& o, std::string_view v) { o.Summary = FileName("--summary", v); }},
    {"--help", false, Scope::kAny, [](BatchOptions& o, std::string_view) { o.Help = true; }},
    {"-h", false, Scope::kAny, [](BatchOptions& o, std::string_view) { o.Help = true; }},
    {"--version", false, Scope::kAny, [](BatchOptions& o, std::string_view) { o.Version = true; }},
}};

// Options that do not go together, once all are read.
void CheckCombination(const BatchOptions& o, const std::vector<const OptionSpec*>& given) {
  if (o.Preset >= 0 && o.ParamFile)
    throw UsageError("--preset and --params both give the starting values; give one of them");
  if (o.Graph != &DefaultGraph() && o.Png.empty()) throw UsageError("--graph only chooses what --png saves");
  if (o.ClearStyle && o.Png.empty()) throw UsageError("--style only chooses how --png draws");
  if (!o.Sweep.empty() && !o.Cases.empty()) throw UsageError("--sweep and --case cannot be mixed");
  for (const OptionSpec* option : given) {
    if (o.IsSweep() && option->Where == Scope::kRun)
      throw UsageError(std::string(option->Name) + " does not apply to a sweep");
    if (!o.IsSweep() && option->Where == Scope::kSweep)
      throw UsageError(std::string(option->Name) + " only applies to a sweep (--sweep or --case)");
  }
  for (std::size_t i = 0; i < o.Sweep.size(); ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (o.Sweep[i].Param == o.Sweep[j].Param)
        throw UsageError("--sweep gives " + std::string(o.Sweep[i].Param->Name) + " twice");
  if (o.IsSweep()) {
    double cases = 1;
    for (const SweepAxis& a : o.Sweep) cases *= static_cast<double>(a.Count);
    if (cases > static_cast<double>(kMaxCases))
      throw UsageError("the sweep has more than " + std::to_string(kMaxCases) + " cases");
    if (!o.Csv.empty() && (o.Keep.empty() || o.Csv.has_parent_path() || o.Csv == "-"))
      throw UsageError("in a sweep, --csv names a file in each case's folder of --keep DIR");
  }
  if (o.Json && o.Csv == "-") throw UsageError("--csv - and --json both want stdout");
}

// The picture: the one place where the runner draws.
void SavePicture(const RunResult& run, const GraphEntry& graph, const std::filesystem::path& path,
                 const char* format, bool clearStyle) {
  GraphSelection selection{};
  SelectGraph(graph, selection);
  SaveGraphThroughModule(run.Table, selection, run.Summary.SamplesStored, run.Units, path, format,
                         clearStyle);
}

}  // namespace

std::string HelpText() {
  std::string text = std::string(kUsage) + kOptionsHelp;
  text += "\nParameters (--set, --sweep, --case and parameter files; [unit]):\n";
  for (const ParamName& p : kParamNames) {
    std::string line = "  " + std::string(p.Name);
    line.resize(std::max<std::size_t>(line.size() + 1, 17), ' ');
    text += line + "[" + std::string(p.Unit) + "] " + std::string(p.Meaning) + "\n";
  }
  text += "\nGraphs (--graph NAME: caption):\n";
  for (const GraphEntry& g : GraphButtons()) {
    std::string line = "  " + std::string(g.Component);
    line.resize(std::max<std::size_t>(line.size() + 1, 13), ' ');
    text += line + std::string(g.Caption) + "\n";
  }
  return text;
}

BatchOptions ParseArguments(std::span<const std::string_view> args) {
  if (args.empty()) throw UsageError("nothing to run: give --preset N, --params FILE or --set NAME=VALUE");
  BatchOptions options;
  std::vector<const OptionSpec*> given;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view name = args[i];
    std::string_view value;
    bool inlineValue = false;
    if (name.rfind("--", 0) == 0 && name.find('=') != std::string_view::npos) {
      value = name.substr(name.find('=') + 1);
      name = name.substr(0, name.find('='));
      inlineValue = true;
    }
    const auto option =
        std::find_if(kOptions.begin(), kOptions.end(), [&](const OptionSpec& o) { return o.Name == name; });
    if (option == kOptions.end()) {
      std::vector<std::string_view> names;
      for (const OptionSpec& o : kOptions)
        if (o.Name.rfind("--", 0) == 0) names.push_back(o.Name);
      throw UsageError("Unknown option " + Quoted(name) + DidYouMean(name, names));
    }
    if (option->TakesValue && !inlineValue) {
      if (i + 1 == args.size()) throw UsageError("Option " + Quoted(name) + " needs a value");
      value = args[++i];
    } else if (!option->TakesValue && inlineValue) {
      throw UsageError("Option " + Quoted(name) + " takes no value");
    }
    // A second value of a one-value option would silently win; only these collect their values.
    const bool repeatable = name == "--set" || name == "--sweep" || name == "--case";
    if (!repeatable && std::find(given.begin(), given.end(), &*option) != given.end())
      throw UsageError("Option " + Quoted(name) + " is given twice; give it once");
    option->Apply(options, value);
    given.push_back(&*option);
  }
  if (!options.Help && !options.Version) CheckCombination(options, given);
  return options;
}

PresetRecordSlots BaseRecord(const BatchOptions& options) {
  PresetRecordSlots record{};
  if (options.ParamFile) record = *options.ParamFile;
  WritePresetRecord(options.Preset, record);  // no change for -1
  for (const ParameterSetting& s : options.Settings)
    record[static_cast<std::size_t>(s.Param->Slot)] = s.Value;
  return record;
}

const std::array<FigureSpec, kFigureCount> kFigures{{
    {"steps_per_pass", "Steps per pass", ""},
    {"samples_stored", "Samples stored", ""},
    {"t_s", "Flight time", "s"},
    {"X_m", "Range", "m"},
    {"apex_H_m", "Apex height", "m"},
    {"H_m", "End height", "m"},
    {"V_m_s", "End speed", "m/s"},
    {"Q_deg", "End angle", "deg"},
    {"Mass_kg", "End mass", "kg"},
    {"max_q_kPa", "Largest dynamic pressure", "kPa"},
    {"peak_nx_g", "Peak load factor nx", "g"},
    {"level_flight_speed_m_s", "Level-flight speed", "m/s"},
    {"buoyant_volume_m3", "Buoyant volume", "m3"},
}};

Flight Fly(const FlightParameters& p, const RunOptions& run) {
  Flight flight{ComputeTrajectory(p, run), {}};
  const RunResult& d = *flight.Result;
  const KeyFigures k = KeyFiguresOf(p, d);
  const RunSummary& sum = d.Summary;
  Figures& f = flight.Values;
  f[kFigSteps] = static_cast<double>(sum.StepsPerPass);
  f[kFigSamples] = sum.SamplesStored;
  f[kFigTime] = k.FlightTime;
  f[kFigRange] = k.Range;
  f[kFigApex] = k.ApexH;
  f[kFigEndH] = d.Final.H;
  f[kFigEndV] = k.EndSpeed;
  f[kFigEndAngle] = d.Final.Theta * kDegPerRad;
  f[kFigEndMass] = d.Final.Mass;
  f[kFigMaxQ] = k.MaxQ / 1000.0;
  f[kFigPeakNx] = k.PeakNx;
  f[kFigLevelSpeed] = k.LevelFlightSpeed;
  f[kFigVolume] = k.BuoyantVolume;
  for (const std::optional<double>& v : f)
    if (v) Checked(*v);  // no figure is ever inf or nan
  return flight;
}

std::string NumberText(double value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, Checked(value)).ptr);
}

std::string FigureText(const Figures& f, int id, bool forPeople) {
  const double v = *f[static_cast<std::size_t>(id)];
  if (id == kFigSteps || id == kFigSamples) return std::to_string(static_cast<int64_t>(v));
  return forPeople ? FormatGeneral(Checked(v), 10, '.') : NumberText(v);
}

std::string SummaryText(const Figures& figures) {
  std::string text;
  for (int id = 0; id < kFigureCount; ++id) {
    if (!figures[static_cast<std::size_t>(id)]) continue;
    const FigureSpec& figure = kFigures[static_cast<std::size_t>(id)];
    text.append(figure.Label).append(": ").append(FigureText(figures, id, true));
    if (!figure.Unit.empty()) text.append(" ").append(figure.Unit);
    text += '\n';
  }
  return text;
}

std::string FiguresJson(const Figures& figures) {
  std::string text = "{";
  for (int id = 0; id < kFigureCount; ++id) {
    if (!figures[static_cast<std::size_t>(id)]) continue;
    if (text.size() > 1) text += ", ";
    text.append("\"").append(kFigures[static_cast<std::size_t>(id)].Key).append("\": ");
    text.append(FigureText(figures, id, false));
  }
  return text + "}";
}

std::string ErrorJson(std::string_view message) {
  std::string text = "{\"error\": \"";
  for (const char c : message) {
    if (c == '"' || c == '\\') {
      text += '\\';
      text += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      static constexpr char kHex[] = "0123456789abcdef";
      text += "\\u00";
      text += kHex[(c >> 4) & 0xf];
      text += kHex[c & 0xf];
    } else {
      text += c;
    }
  }
  return text + "\"}";
}

int Run(const BatchOptions& options, std::ostream& out, std::ostream& err, const Console& console) {
  if (options.IsSweep()) return RunSweep(options, out, err, console);
  RunMonitor monitor(console);
  const bool csvToStdout = options.Csv == "-";
  try {
    const PresetRecordSlots record = BaseRecord(options);
    const FlightParameters params = ParametersOf(record);
    if (!options.SaveParams.empty()) WriteParamFile(options.SaveParams, record);

    ResultFiles files(options.Directory);
    RunOptions run;
    run.Sink = &files;
    run.ProgressEvery = kProgressEvery;
    run.Progress = [&monitor](const RunProgress& p) { return monitor(p); };
    const Flight flight = Fly(params, run);
    const RunResult* d = flight.Result.get();
    const Figures& figures = flight.Values;
    monitor.Erase();
    // A Ctrl-C after the run's last report still stops what would follow.
    if (monitor.Cancelled()) throw Error("Run cancelled");

    // The exports carry the rows the run stored, no more.
    const int32_t stored = d->Summary.SamplesStored;
    if (csvToStdout) {
      errno = 0;  // what the stream's failed write leaves there names the reason
      out << TableCsvText(d->Table, d->Units, stored) << std::flush;
      if (!out) throw FileError(FileErrorText("write", "standard output", errno != 0 ? errno : EIO));
    } else if (!options.Csv.empty()) {
      WriteTableCsv(options.Csv, d->Table, d->Units, stored);
    }
    if (!options.Png.empty())
      SavePicture(*d, *options.Graph, options.Png, options.PngFormat, options.ClearStyle);
    if (monitor.Cancelled()) throw Error("Run cancelled");
    if (options.Json) {
      out << FiguresJson(figures) << '\n';
    } else if (!options.Quiet && !csvToStdout) {
      out << SummaryText(figures);
    }
    errno = 0;  // what the stream's failed write leaves there names the reason
    out << std::flush;
    if (!out) throw FileError(FileErrorText("write", "standard output", errno != 0 ? errno : EIO));
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
