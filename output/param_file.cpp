#include "output/param_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <vector>

#include "output/file_sink.h"
#include "output/text_lines.h"

namespace zarn {

namespace {

// Larger files are no parameter files; reading them whole would only cost memory.
constexpr std::size_t kMaxFileBytes = 1 << 20;

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// Edits between two names, ignoring case: insert, delete, replace, or swap two neighbours
// ("Shcub" is one edit from "Schub").
std::size_t EditDistance(std::string_view a, std::string_view b) {
  const auto same = [&](std::size_t i, std::size_t j) {
    return std::tolower(static_cast<unsigned char>(a[i])) == std::tolower(static_cast<unsigned char>(b[j]));
  };
  const std::size_t w = b.size() + 1;
  std::vector<std::size_t> d((a.size() + 1) * w);
  for (std::size_t i = 0; i <= a.size(); ++i) d[i * w] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      std::size_t best = std::min({d[(i - 1) * w + j] + 1, d[i * w + j - 1] + 1,
                                   d[(i - 1) * w + j - 1] + (same(i - 1, j - 1) ? 0 : 1)});
      if (i > 1 && j > 1 && same(i - 1, j - 2) && same(i - 2, j - 1))
        best = std::min(best, d[(i - 2) * w + j - 2] + 1);
      d[i * w + j] = best;
    }
  }
  return d[a.size() * w + b.size()];
}

std::string Located(std::string_view fileName, std::size_t line, const std::string& message) {
  return std::string(fileName) + ":" + std::to_string(line) + ": " + message;
}

// The next line and what follows it: CR LF, LF and a CR alone (old Mac editors) each end a line.
std::string_view TakeLine(std::string_view& text) {
  const std::size_t end = text.find_first_of("\r\n");
  const std::string_view line = text.substr(0, end);
  std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
  if (end != std::string_view::npos && text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
  text.remove_prefix(next);
  return line;
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";  // written first by some Windows editors

}  // namespace

std::string_view NearestName(std::string_view name, std::span<const std::string_view> candidates) {
  std::string_view best;
  std::size_t bestDistance = 0;
  for (std::string_view c : candidates) {
    const std::size_t d = EditDistance(name, c);
    if (best.empty() || d < bestDistance) {
      best = c;
      bestDistance = d;
    }
  }
  // A third of the name may be wrong, at least one character: "Vo" for "V0", "Shcub" for "Schub".
  const std::size_t allowed = std::max<std::size_t>(1, std::min(name.size(), best.size()) / 3);
  return bestDistance <= allowed ? best : std::string_view{};
}

std::string Quoted(std::string_view text) {
  // Appended piece by piece: g++ 12 warns (-Wrestrict) about a literal + std::string chain.
  std::string quoted(1, '\'');
  quoted.append(text).push_back('\'');
  return quoted;
}

std::string DidYouMean(std::string_view name, std::span<const std::string_view> candidates) {
  const std::string_view nearest = NearestName(name, candidates);
  return nearest.empty() ? std::string() : " (did you mean " + Quoted(nearest) + "?)";
}

bool ParseFiniteNumber(std::string_view text, double& out) {
  if (text.size() > 1 && text[0] == '+' && text[1] != '-') text.remove_prefix(1);
  const char* end = text.data() + text.size();
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
  if (text.empty() || ec != std::errc{} || ptr != end || !std::isfinite(value)) return false;
  out = value;
  return true;
}

PresetRecordSlots ParseParamText(std::string_view text, std::string_view fileName) {
  PresetRecordSlots record{};
  std::array<std::size_t, kParamNames.size()> givenOn{};  // line of each name, 0: not yet given
  std::size_t lineNumber = 0;
  if (text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
  while (!text.empty()) {
    ++lineNumber;
    std::string_view line = TakeLine(text);
    if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
    line = Trim(line);
    if (line.empty()) continue;

    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
      throw ParamFileError(Located(fileName, lineNumber, "expected NAME = VALUE, not '" + Shown(line) + "'"));
    const std::string_view name = Trim(line.substr(0, eq));
    const std::string_view value = Trim(line.substr(eq + 1));

    const ParamName* entry = FindParamName(name);
    if (entry == nullptr) {
      throw ParamFileError(
          Located(fileName, lineNumber,
                  "unknown parameter '" + Shown(name) + "'" + DidYouMean(name, ParamNameList())));
    }
    const auto index = static_cast<std::size_t>(entry - kParamNames.data());
    if (givenOn[index] != 0)
      throw ParamFileError(Located(
          fileName, lineNumber,
          std::string(name) + " is given twice (first on line " + std::to_string(givenOn[index]) + ")"));
    givenOn[index] = lineNumber;

    double number = 0.0;
    if (!ParseFiniteNumber(value, number))
      throw ParamFileError(Located(fileName, lineNumber,
                                   "the value of " + std::string(name) + ", '" + Shown(value) +
                                       "', is not a number (the decimal separator is '.')"));
    record[static_cast<std::size_t>(entry->Slot)] = number;
  }
  return record;
}

PresetRecordSlots ReadParamFile(const std::filesystem::path& path) {
  std::string text;
  try {
    text = ReadWholeFile(path, kMaxFileBytes);
  } catch (const FileError& e) {
    throw ParamFileError(e.what());
  }
  if (text.size() > kMaxFileBytes)
    throw ParamFileError(path.string() + ": too large for a parameter file (over 1 MiB)");
  return ParseParamText(text, path.string());
}

std::string ParamFileText(const PresetRecordSlots& record) {
  std::string text =
      "# Zarn parameter file: NAME = VALUE, one a line; '#' starts a comment; '.' is the decimal\n"
      "# separator; a name left out is 0.\n";
  for (const ParamName& p : kParamNames) {
    char number[32];
    const auto value = record[static_cast<std::size_t>(p.Slot)];
    char* end = std::to_chars(number, number + sizeof number, value).ptr;
    std::string line =
        std::string(p.Name) + " = " + std::string(number, static_cast<std::size_t>(end - number));
    line.resize(std::max<std::size_t>(line.size() + 1, 28), ' ');
    text += line + "# [" + std::string(p.Unit) + "] " + std::string(p.Meaning) + "\n";
  }
  return text;
}

void WriteParamFile(const std::filesystem::path& path, const PresetRecordSlots& record) {
  WriteWholeFile(path, ParamFileText(record));
}

}  // namespace zarn
