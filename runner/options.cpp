#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "flight/number_text.h"
#include "flight/parameters.h"
#include "flight/presets.h"
#include "input/param_file.h"
#include "input/user_text.h"
#include "output/param_writer.h"
#include "records/errors.h"
#include "runner/runner.h"

namespace zarn::runner {

namespace {

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

// A vehicle's file where `option` takes a number: refused as what it is, not as an unknown name.
void RefuseFileName(std::string_view option, std::string_view name) {
  if (VehicleFileIndex(name) >= 0)
    throw UsageError(std::string(option) + ": " + std::string(name) +
                     " names a file, and the cases of a sweep or search differ in numbers only (give "
                     "the file with --set or in the parameter file: every case flies it)");
}

// The name before the first '=' of NAME=..., for RefuseFileName.
std::string_view NameOf(std::string_view text) {
  return text.substr(0, text.find('='));
}

const ParamName* ParseName(std::string_view option, std::string_view name) {
  if (const ParamName* p = FindParamName(name)) return p;
  RefuseFileName(option, name);
  throw UsageError("Unknown parameter " + Quoted(name) + DidYouMean(name, SettableNames()));
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
  const ParamName* p = ParseName(option, text.substr(0, eq));
  return {p, ParseValue(*p, text.substr(eq + 1))};
}

// --set NAME=VALUE, or NAME=PATH for a vehicle's file (relative to the current folder; "": none).
void ParseSet(std::string_view text, BatchOptions& o) {
  const std::size_t eq = text.find('=');
  if (const int file = VehicleFileIndex(text.substr(0, eq)); file >= 0 && eq != std::string_view::npos) {
    o.SetPaths[static_cast<std::size_t>(file)] = std::filesystem::path(text.substr(eq + 1));
    return;
  }
  o.Settings.push_back(ParseSetting("--set", text));
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
constexpr double kFinestTolerance = 1e-12;  //!< of --tol, relative to the target

SweepAxis ParseSweep(std::string_view text) {
  const std::size_t eq = text.find('=');
  const std::size_t colon1 = text.find(':', eq == std::string_view::npos ? 0 : eq);
  const std::size_t colon2 = colon1 == std::string_view::npos ? colon1 : text.find(':', colon1 + 1);
  if (eq == std::string_view::npos || colon2 == std::string_view::npos)
    throw UsageError("--sweep needs NAME=FROM:TO:STEP, not " + Quoted(text));
  SweepAxis axis{};
  axis.Param = ParseName("--sweep", text.substr(0, eq));
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

// The picture format of a file name by its extension (any case).
const char* PictureFormatOf(std::string_view option, const std::filesystem::path& path,
                            std::string_view value) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const PictureFormat& f : kPictureFormats)
    if (f.Extension == extension) return f.Format;
  throw UsageError(std::string(option) + " FILE must end in .png, .jpg, .bmp, .svg or .pdf, not " +
                   Quoted(value));
}

void ParsePng(std::string_view value, BatchOptions& o) {
  o.Png = FileName("--png", value);
  o.PngFormat = PictureFormatOf("--png", o.Png, value);
}

// An answer's reading of the command line, with its refusals as the command line's.
template <typename F>
auto Read(F f) {
  try {
    return f();
  } catch (const Error& e) {
    throw UsageError(e.what());
  }
}

double ParsePositive(std::string_view option, std::string_view text) {
  double v = 0.0;
  if (!ParseFiniteNumber(text, v) || !(v > 0.0))
    throw UsageError(std::string(option) + " needs a number above 0, not " + Quoted(text));
  return v;
}

bool ParseStyle(std::string_view name) {
  if (name == "clear") return true;
  if (name == "classic") return false;
  throw UsageError("--style takes classic or clear, not " + Quoted(name));
}

// The kinds of command line; each option says in which it applies.
enum Mode : unsigned { kOne = 1, kSweeping = 2, kSolving = 4, kMonteCarlo = 8, kStatsOf = 16 };
constexpr unsigned kRuns = kOne | kSweeping | kSolving | kMonteCarlo;
constexpr unsigned kAll = kRuns | kStatsOf;

struct ModeText {
  Mode Kind;
  const char* Short;  //!< "... does not apply to a sweep"
  const char* Long;   //!< "... only applies to a sweep (--sweep or --case)"
};
constexpr ModeText kModeTexts[] = {
    {kOne, "a single run", "a single run"},
    {kSweeping, "a sweep", "a sweep (--sweep or --case)"},
    {kSolving, "solving", "solving (--solve, --maximize or --minimize)"},
    {kMonteCarlo, "a Monte Carlo run", "a Monte Carlo run (--monte-carlo)"},
    {kStatsOf, "--stats-of", "--stats-of"},
};

// The options, each with what it does to the parsed options.
struct OptionSpec {
  std::string_view Name;
  bool TakesValue;
  unsigned Where;  //!< the modes it applies to
  void (*Apply)(BatchOptions& options, std::string_view value);
};

std::size_t FigureOf(std::string_view option, std::string_view key) {
  return Read([&] { return ParseFigureKey(option, key, FigureKeys()); });
}

constexpr std::array<OptionSpec, 37> kOptions{{
    {"--preset", true, kRuns, [](BatchOptions& o, std::string_view v) { o.Preset = ParsePreset(v); }},
    {"--params", true, kRuns,
     [](BatchOptions& o, std::string_view v) {
       try {
         ParamFileContents contents = ReadParamContents(FileName("--params", v));
         o.ParamFile = contents.Record;
         o.ParamFilePaths = std::move(contents.Paths);
       } catch (const Error& e) {
         throw UsageError(e.what());
       }
     }},
    {"--set", true, kRuns, [](BatchOptions& o, std::string_view v) { ParseSet(v, o); }},
    {"--save-params", true, kRuns,
     [](BatchOptions& o, std::string_view v) { o.SaveParams = FileName("--save-params", v); }},
    {"--dir", true, kOne, [](BatchOptions& o, std::string_view v) { o.Directory = FileName("--dir", v); }},
    {"--csv", true, kOne | kSweeping | kMonteCarlo,
     [](BatchOptions& o, std::string_view v) { o.Csv = FileName("--csv", v); }},
    {"--events", true, kOne, [](BatchOptions& o, std::string_view v) { o.Events = FileName("--events", v); }},
    {"--png", true, kOne | kSweeping, [](BatchOptions& o, std::string_view v) { ParsePng(v, o); }},
    {"--graph", true, kOne | kSweeping, [](BatchOptions& o, std::string_view v) { o.Graph = ParseGraph(v); }},
    {"--compare", true, kOne,
     [](BatchOptions& o, std::string_view v) {
       try {
         o.Compare = ReadMeasuredData(FileName("--compare", v));
       } catch (const Error& e) {
         throw UsageError(e.what());
       }
     }},
    {"--style", true, kOne, [](BatchOptions& o, std::string_view v) { o.ClearStyle = ParseStyle(v); }},
    {"--json", false, kOne | kSolving, [](BatchOptions& o, std::string_view) { o.Json = true; }},
    {"--quiet", false, kOne, [](BatchOptions& o, std::string_view) { o.Quiet = true; }},
    {"--check-step", false, kOne, [](BatchOptions& o, std::string_view) { o.CheckStep = true; }},
    {"--sweep", true, kSweeping,
     [](BatchOptions& o, std::string_view v) { o.Sweep.push_back(ParseSweep(v)); }},
    {"--case", true, kSweeping, [](BatchOptions& o, std::string_view v) { o.Cases.push_back(ParseCase(v)); }},
    {"--jobs", true, kSweeping | kMonteCarlo,
     [](BatchOptions& o, std::string_view v) { o.Jobs = ParseJobs(v); }},
    {"--keep", true, kSweeping | kSolving | kMonteCarlo,
     [](BatchOptions& o, std::string_view v) { o.Keep = FileName("--keep", v); }},
    {"--shard", true, kSweeping | kMonteCarlo, [](BatchOptions& o, std::string_view v) { ParseShard(v, o); }},
    {"--summary", true, kSweeping | kMonteCarlo,
     [](BatchOptions& o, std::string_view v) { o.Summary = FileName("--summary", v); }},
    {"--solve", true, kSolving,
     [](BatchOptions& o, std::string_view v) {
       RefuseFileName("--solve", NameOf(v));
       o.Solve = Read([&] { return ParseParamInterval("--solve", v); });
     }},
    {"--for", true, kSolving,
     [](BatchOptions& o, std::string_view v) {
       o.Target = Read([&] { return ParseFigureTarget("--for", v, FigureKeys()); });
     }},
    {"--maximize", true, kSolving,
     [](BatchOptions& o, std::string_view v) { o.Maximize = FigureOf("--maximize", v); }},
    {"--minimize", true, kSolving,
     [](BatchOptions& o, std::string_view v) { o.Minimize = FigureOf("--minimize", v); }},
    {"--over", true, kSolving,
     [](BatchOptions& o, std::string_view v) {
       RefuseFileName("--over", NameOf(v));
       o.Over = Read([&] { return ParseParamInterval("--over", v); });
     }},
    {"--tol", true, kSolving, [](BatchOptions& o, std::string_view v) { o.Tol = ParsePositive("--tol", v); }},
    {"--xtol", true, kSolving,
     [](BatchOptions& o, std::string_view v) { o.XTol = ParsePositive("--xtol", v); }},
    {"--monte-carlo", true, kMonteCarlo,
     [](BatchOptions& o, std::string_view v) {
       if (!ParseWhole(v, o.MonteCarlo) || o.MonteCarlo < 1 || o.MonteCarlo > kMaxCases)
         throw UsageError("--monte-carlo needs a whole number of cases from 1 to " +
                          std::to_string(kMaxCases) + ", not " + Quoted(v));
     }},
    {"--vary", true, kMonteCarlo,
     [](BatchOptions& o, std::string_view v) {
       RefuseFileName("--vary", NameOf(v));
       const ParamLaw law = Read([&] { return ParseParamLaw("--vary", v); });
       for (const ParamLaw& earlier : o.Vary)
         if (earlier.Param == law.Param)
           throw UsageError("--vary gives " + std::string(law.Param->Name) + " twice");
       o.Vary.push_back(law);
     }},
    {"--seed", true, kMonteCarlo,
     [](BatchOptions& o, std::string_view v) {
       if (!ParseWhole(v, o.Seed))
         throw UsageError("--seed needs a whole number from 0 to 18446744073709551615, not " + Quoted(v));
     }},
    {"--stats", true, kMonteCarlo | kStatsOf,
     [](BatchOptions& o, std::string_view v) { o.Stats = FileName("--stats", v); }},
    {"--plot", true, kSweeping | kMonteCarlo | kStatsOf,
     [](BatchOptions& o, std::string_view v) {
       o.Plot = FileName("--plot", v);
       o.PlotFormat = PictureFormatOf("--plot", o.Plot, v);
     }},
    {"--stats-of", true, kStatsOf,
     [](BatchOptions& o, std::string_view v) { o.StatsOf.push_back(FileName("--stats-of", v)); }},
    {"--help", false, kAll, [](BatchOptions& o, std::string_view) { o.Help = true; }},
    {"-h", false, kAll, [](BatchOptions& o, std::string_view) { o.Help = true; }},
    {"--version", false, kAll, [](BatchOptions& o, std::string_view) { o.Version = true; }},
}};

// The options that choose the kind of command line, with their kinds.
struct ModeChoice {
  std::string_view Name;
  Mode Kind;
};
constexpr ModeChoice kModeChoices[] = {
    {"--sweep", kSweeping},   {"--case", kSweeping},    {"--solve", kSolving},
    {"--maximize", kSolving}, {"--minimize", kSolving}, {"--monte-carlo", kMonteCarlo},
    {"--stats-of", kStatsOf},
};

// The kind of command line the options make; UsageError for options of two kinds.
Mode ModeOfOptions(const std::vector<const OptionSpec*>& given) {
  const ModeChoice* chosen = nullptr;
  for (const OptionSpec* option : given)
    for (const ModeChoice& c : kModeChoices) {
      if (c.Name != option->Name) continue;
      if (chosen != nullptr && chosen->Name != c.Name && !(chosen->Kind == kSweeping && c.Kind == kSweeping))
        throw UsageError(std::string(chosen->Name) + " and " + std::string(c.Name) + " cannot be mixed");
      if (chosen == nullptr) chosen = &c;
    }
  return chosen != nullptr ? chosen->Kind : kOne;
}

// What solving, a Monte Carlo run and --stats-of need besides their own options.
void CheckAnswers(const BatchOptions& o, Mode mode) {
  if (mode == kSolving) {
    if (o.Maximize && o.Minimize) throw UsageError("--maximize and --minimize cannot be mixed");
    if (o.Solve && !o.Target) throw UsageError("--solve needs --for FIGURE=VALUE: the figure and its target");
    if (o.Target && !o.Solve) throw UsageError("--for goes with --solve NAME=FROM:TO");
    if ((o.Maximize || o.Minimize) && !o.Over)
      throw UsageError(std::string(o.Maximize ? "--maximize" : "--minimize") + " needs --over NAME=FROM:TO");
    if (o.Over && !(o.Maximize || o.Minimize)) throw UsageError("--over goes with --maximize or --minimize");
    if (o.Tol && !o.Solve) throw UsageError("--tol is the tolerance of --for's target");
    // Finer than the last digits a run's figures carry, no run could land within it.
    if (o.Tol && o.Target && *o.Tol < kFinestTolerance * std::fabs(o.Target->Value))
      throw UsageError("--tol " + ShortestText(*o.Tol) +
                       " is finer than a run's figures are computed: at least " +
                       ShortestText(kFinestTolerance * std::fabs(o.Target->Value)) + " for a target of " +
                       ShortestText(o.Target->Value));
  }
  if (mode == kMonteCarlo) {
    if (o.Vary.empty()) throw UsageError("--monte-carlo needs at least one --vary NAME=LAW");
    if (o.ShardCount > 1 && (!o.Stats.empty() || !o.Plot.empty()))
      throw UsageError("--stats and --plot need every case: join the shards' summaries with --stats-of");
    if (o.Stats == "-" && (o.Summary.empty() || o.Summary == "-"))
      throw UsageError("--stats - and the rows both want stdout: give --summary FILE");
  }
}

// Options that do not go together, once all are read.
void CheckCombination(const BatchOptions& o, const std::vector<const OptionSpec*>& given) {
  if (o.Preset >= 0 && o.ParamFile)
    throw UsageError("--preset and --params both give the starting values; give one of them");
  if (o.Graph != &DefaultGraph() && o.Png.empty() && (o.Plot.empty() || o.IsMonteCarlo()))
    throw UsageError("--graph only chooses what --png (or a sweep's --plot) saves");
  if (!o.Png.empty() && !o.Plot.empty() && !o.IsMonteCarlo())
    throw UsageError("--png and --plot both name the sweep's picture; give one of them");
  if (o.ClearStyle && o.Png.empty()) throw UsageError("--style only chooses how --png draws");
  if (!o.Sweep.empty() && !o.Cases.empty()) throw UsageError("--sweep and --case cannot be mixed");
  const Mode mode = ModeOfOptions(given);
  for (const OptionSpec* option : given) {
    if ((option->Where & mode) != 0) continue;
    std::string text(option->Name);
    if (mode == kOne) {
      text += " only applies to ";
      bool first = true;
      for (const ModeText& m : kModeTexts) {
        if ((option->Where & m.Kind) == 0) continue;
        text.append(first ? "" : " or ").append(m.Long);
        first = false;
      }
    } else {
      for (const ModeText& m : kModeTexts)
        if (m.Kind == mode) text.append(" does not apply to ").append(m.Short);
    }
    throw UsageError(text);
  }
  CheckAnswers(o, mode);
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
  if (o.Events == "-" && (o.Json || o.Csv == "-"))
    throw UsageError(std::string("--events - and ") + (o.Json ? "--json" : "--csv -") + " both want stdout");
}

}  // namespace

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
    const bool repeatable = name == "--set" || name == "--sweep" || name == "--case" || name == "--vary";
    if (!repeatable && std::find(given.begin(), given.end(), &*option) != given.end())
      throw UsageError("Option " + Quoted(name) + " is given twice; give it once");
    option->Apply(options, value);
    given.push_back(&*option);
    // --stats-of FILE...: the files up to the next option.
    if (name == "--stats-of")
      while (i + 1 < args.size() && !args[i + 1].starts_with("--")) option->Apply(options, args[++i]);
  }
  if (!options.Help && !options.Version) {
    CheckCombination(options, given);
    // Read once, before anything is written: a fault in one refuses the command line.
    try {
      options.Vehicle = ReadVehicle(VehicleFiles(options));
    } catch (const Error& e) {
      throw UsageError(e.what());
    }
  }
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

VehiclePaths VehicleFiles(const BatchOptions& options) {
  VehiclePaths paths = options.ParamFilePaths;
  for (std::size_t i = 0; i < paths.size(); ++i)
    if (options.SetPaths[i]) paths[i] = *options.SetPaths[i];
  return paths;
}

FlightParameters RunParameters(const BatchOptions& options, const PresetRecordSlots& record) {
  FlightParameters p = ParametersOf(record);
  p.Vehicle = options.Vehicle;
  return p;
}

void SaveParams(const BatchOptions& options, const PresetRecordSlots& record) {
  WriteParamFile(options.SaveParams, record, VehicleFiles(options));
}

}  // namespace zarn::runner
