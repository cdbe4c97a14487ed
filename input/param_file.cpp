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

}  // namespace

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

}  // namespace zarn
