#include "input/param_file.h"

#include <array>
#include <string>

#include "input/text_lines.h"
#include "input/user_text.h"

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

// The path of a vehicle's file after its '=' (the rest of the raw line): up to a '#' or in double
// quotes. An empty text or a quote left open is refused.
std::string_view PathValue(std::string_view rest, std::string_view name, std::string_view fileName,
                           std::size_t lineNumber) {
  rest = Trim(rest);
  std::string_view value;
  if (rest.starts_with('"')) {
    const std::size_t close = rest.find('"', 1);
    if (close == std::string_view::npos)
      throw ParamFileError(
          Located(fileName, lineNumber, "the path of " + std::string(name) + " has no closing '\"'"));
    value = rest.substr(1, close - 1);
    const std::string_view after = Trim(rest.substr(close + 1));
    if (!after.empty() && !after.starts_with('#'))
      throw ParamFileError(Located(fileName, lineNumber,
                                   "after the path of " + std::string(name) + ": '" + Shown(after) + "'"));
  } else {
    value = Trim(rest.substr(0, rest.find('#')));
  }
  if (value.empty())
    throw ParamFileError(Located(fileName, lineNumber, std::string(name) + " names no file"));
  return value;
}

}  // namespace

ParamFileContents ParseParamContents(std::string_view text, std::string_view fileName,
                                     const std::filesystem::path& folder) {
  ParamFileContents contents;
  PresetRecordSlots& record = contents.Record;
  std::array<std::size_t, kParamNames.size()> givenOn{};  // line of each name, 0: not yet given
  std::array<std::size_t, kVehicleFileNames.size()> pathOn{};
  std::size_t lineNumber = 0;
  if (text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
  while (!text.empty()) {
    ++lineNumber;
    const std::string_view raw = TakeLine(text);
    std::string_view line = raw;
    if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
    line = Trim(line);
    if (line.empty()) continue;

    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
      throw ParamFileError(Located(fileName, lineNumber, "expected NAME = VALUE, not '" + Shown(line) + "'"));
    const std::string_view name = Trim(line.substr(0, eq));
    const std::string_view value = Trim(line.substr(eq + 1));

    if (const int file = VehicleFileIndex(name); file >= 0) {
      const auto index = static_cast<std::size_t>(file);
      if (pathOn[index] != 0)
        throw ParamFileError(Located(
            fileName, lineNumber,
            std::string(name) + " is given twice (first on line " + std::to_string(pathOn[index]) + ")"));
      pathOn[index] = lineNumber;
      // The first '=' of the line is the one before the comment.
      const std::filesystem::path path(PathValue(raw.substr(raw.find('=') + 1), name, fileName, lineNumber));
      contents.Paths[index] = path.is_absolute() ? path : folder / path;
      continue;
    }

    const ParamName* entry = FindParamName(name);
    if (entry == nullptr) {
      throw ParamFileError(
          Located(fileName, lineNumber,
                  "unknown parameter '" + Shown(name) + "'" + DidYouMean(name, SettableNames())));
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
  return contents;
}

PresetRecordSlots ParseParamText(std::string_view text, std::string_view fileName) {
  return ParseParamContents(text, fileName, {}).Record;
}

PresetRecordSlots ReadParamFile(const std::filesystem::path& path) {
  return ReadParamContents(path).Record;
}

ParamFileContents ReadParamContents(const std::filesystem::path& path) {
  std::string text;
  try {
    text = ReadWholeFile(path, kMaxFileBytes);
  } catch (const FileError& e) {
    throw ParamFileError(e.what());
  }
  if (text.size() > kMaxFileBytes)
    throw ParamFileError(path.string() + ": too large for a parameter file (over 1 MiB)");
  return ParseParamContents(text, path.string(), path.parent_path());
}

}  // namespace zarn
