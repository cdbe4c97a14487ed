#include <algorithm>
#include <string>

#include "batch/batch.h"
#include "flight/parameters.h"
#include "plot/catalogue.h"

#ifndef ZARN_VERSION
#define ZARN_VERSION "unknown"
#endif

namespace zarn::batch {

const char* const kVersion = "zarn-batch " ZARN_VERSION;

const char* const kUsage =
    "Usage: zarn-batch [--preset N | --params FILE] [--set NAME=VALUE]... [--save-params FILE]\n"
    "                  [--dir DIR] [--csv FILE] [--png FILE [--graph NAME] [--style S]]\n"
    "                  [--json | --quiet] [--check-step]\n"
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
    "  --check-step        fly again with half the step (the adaptive method: a tenth of Rtol)\n"
    "                      and print each key figure's estimated error; with --json as \"check_step\"\n"
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

}  // namespace zarn::batch
