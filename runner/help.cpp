#include <algorithm>
#include <string>

#include "flight/parameters.h"
#include "input/vehicle_files.h"
#include "plot/catalogue.h"
#include "runner/runner.h"

#ifndef ZARN_VERSION
#define ZARN_VERSION "unknown"
#endif

namespace zarn::runner {

const char* const kVersion = "zarn-batch " ZARN_VERSION;

const char* const kUsage =
    "Usage: zarn-batch [--preset N | --params FILE] [--set NAME=VALUE]... [--save-params FILE]\n"
    "                  [--dir DIR] [--csv FILE] [--png FILE [--graph NAME] [--style S]]\n"
    "                  [--events FILE] [--json | --quiet] [--check-step]\n"
    "       zarn-batch [--preset N | --params FILE] [--set NAME=VALUE]...\n"
    "                  (--sweep NAME=FROM:TO:STEP... | --case NAME=VALUE[,NAME=VALUE]...)\n"
    "                  [--jobs N] [--keep DIR [--csv FILE]] [--shard K/N] [--summary FILE]\n"
    "       zarn-batch [--preset N | --params FILE] [--set NAME=VALUE]...\n"
    "                  (--solve NAME=FROM:TO --for FIGURE=VALUE [--tol T] |\n"
    "                   --maximize FIGURE | --minimize FIGURE --over NAME=FROM:TO)\n"
    "                  [--xtol X] [--keep DIR] [--json]\n"
    "       zarn-batch [--preset N | --params FILE] [--set NAME=VALUE]...\n"
    "                  --monte-carlo N --vary NAME=LAW... [--seed S] [--jobs N] [--keep DIR]\n"
    "                  [--shard K/N] [--summary FILE] [--stats FILE] [--plot FILE]\n"
    "       zarn-batch --stats-of FILE... [--stats FILE] [--plot FILE]\n"
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
    "  --json              print the key figures as one JSON object with the flight's events,\n"
    "                      or {\"error\": ...}\n"
    "  --events FILE       the events as CSV (FILE '-': stdout, instead of the summary): launch,\n"
    "                      burnout_N, staging_N, mach_1_up/down, max_q, apex, impact, rail_exit,\n"
    "                      chute_open, landing, each at its moment inside its step:\n"
    "                      event,t_s,X_m,H_m,V_m_s,Q_deg\n"
    "  --quiet             print no summary\n"
    "  --check-step        fly again with half the step (the adaptive method: a tenth of Rtol)\n"
    "                      and print each key figure's estimated error; with --json as \"check_step\"\n"
    "Sweeps (a summary row per case, CSV; the swept values, the figures of --json, the error):\n"
    "  --sweep NAME=FROM:TO:STEP  every value from FROM to TO (both included); several --sweep\n"
    "                      make a grid, the last one varying fastest\n"
    "  --case NAME=VALUE[,NAME=VALUE]...  one case; repeat for a list (not mixed with --sweep)\n"
    "  --jobs N            cases run on N threads (default: one per core)\n"
    "  --keep DIR          keep each case's result files in DIR/case-0001, ... (and --csv FILE\n"
    "                      there); without it a case writes no file. An earlier run's case\n"
    "                      folders there are removed first, and one run at a time keeps files there\n"
    "  --shard K/N         run only cases K, K+N, K+2N, ... counting from 0; shard 0 alone\n"
    "                      writes the header, so the shards' summaries concatenate to the sweep's\n"
    "  --summary FILE      where the rows go (default and '-': stdout)\n"
    "Solving (a row per solution: case, the value, the figures of --json, runs):\n"
    "  --solve NAME=FROM:TO  every value of NAME in FROM..TO whose run gives --for's target\n"
    "  --for FIGURE=VALUE  the figure (a key of --json) and its target\n"
    "  --tol T             the figure's tolerance (default 1 mm for metres, else 1e-9 of VALUE)\n"
    "  --maximize FIGURE, --minimize FIGURE  the extreme of the figure and where it is\n"
    "  --over NAME=FROM:TO the parameter and interval of --maximize or --minimize\n"
    "  --xtol X            the parameter's tolerance (default 1e-4 of TO - FROM)\n"
    "  --keep DIR          keep each run's result files in DIR/case-0001, ... in run order\n"
    "  --json              the solutions as a JSON array of objects with the same keys\n"
    "Monte Carlo (rows as a sweep's: case, the drawn values, the figures, error):\n"
    "  --monte-carlo N     N cases; --jobs, --keep, --shard and --summary as for sweeps\n"
    "  --vary NAME=LAW     LAW: normal(MEAN,SD), uniform(LOW,HIGH) or triangular(LOW,MODE,HIGH)\n"
    "  --seed S            case n draws from its own stream of (S, n); default 1\n"
    "  --stats FILE        the statistics as CSV ('-': stdout); a table of them goes to stderr:\n"
    "                      mean, SD, min, 2.5/50/97.5 % percentiles, max, each input's share\n"
    "                      of the variance (squared standardised coefficient of a linear\n"
    "                      least-squares fit) and the fit's R2\n"
    "  --plot FILE         the impact range's histogram and its scatter against the apex\n"
    "                      height with the 1, 2 and 3 sigma ellipses (formats as --png)\n"
    "  --stats-of FILE...  the statistics of summaries (shards joined), on stdout\n"
    "  Beyond 1000000 cases the counts, min and max are of all cases, the rest of cases 1..1000000\n"
    "Other:\n"
    "  --help              show this text\n"
    "  --version           show the version\n"
    "A flight of fewer steps than 500 stores fewer samples; a note on stderr says so (not in a\n"
    "sweep, whose rows give samples_stored).\n"
    "Options take their value as --opt VALUE or --opt=VALUE; only --set, --sweep, --case and\n"
    "--vary may be given more than once. FILE is relative to the current directory, not to DIR.\n"
    "On a terminal, a run or sweep longer than a second shows a progress bar on stderr. Ctrl-C,\n"
    "SIGTERM or SIGHUP stops it with \"Run cancelled\" and ends the program by that signal.\n"
    "Exit status: 0 done, 1 the run, a file or a sweep's case failed, 2 the command line was\n"
    "refused (nothing touched), 130 (SIGINT), 143 (SIGTERM) or 129 (SIGHUP) cancelled.\n";

}  // namespace

std::string HelpText() {
  std::string text = std::string(kUsage) + kOptionsHelp;
  text += "\nParameters (--set, --sweep, --case and parameter files; [unit]):\n";
  for (const ParamName& p : kParamNames) {
    std::string line = "  " + std::string(p.Name);
    line.resize(std::max<std::size_t>(line.size() + 1, 17), ' ');
    text += line + "[" + std::string(p.Unit) + "] " + std::string(p.Meaning) + "\n";
  }
  text +=
      "In three dimensions (EarthModel 1 to 3, or a VwindCross) the wind is always the air's motion,\n"
      "whatever WindModel says: Vwind along the azimuth and VwindCross toward its right, drag and lift\n"
      "acting on the speed relative to that air; over the flat Earth a VwindCross needs WindModel 1.\n";
  text +=
      "\nThe vehicle's files (--set NAME=PATH from the current folder, NAME = PATH in a parameter file\n"
      "from the file's folder; --set NAME= names none). Each is read once before the run: a missing or\n"
      "malformed one is refused with its line and column, nothing written. CSV: comma-separated\n"
      "numbers, '.' as the decimal separator, the first column rising, with or without one header\n"
      "line; '#' starts a comment. Sweeps and searches vary numbers only; their cases share the files.\n";
  for (std::size_t i = 0; i < kVehicleFileNames.size(); ++i) {
    std::string line = "  " + std::string(kVehicleFileNames[i]);
    line.resize(std::max<std::size_t>(line.size() + 1, 17), ' ');
    text += line + std::string(kVehicleFileMeanings[i]) + "\n";
  }
  text += "\nGraphs (--graph NAME: caption):\n";
  for (const GraphEntry& g : GraphButtons()) {
    std::string line = "  " + std::string(g.Component);
    line.resize(std::max<std::size_t>(line.size() + 1, 13), ' ');
    text += line + std::string(g.Caption) + "\n";
  }
  return text;
}

}  // namespace zarn::runner
