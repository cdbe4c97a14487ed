#include "output/param_writer.h"

#include <algorithm>
#include <charconv>

#include "flight/parameters.h"
#include "output/file_sink.h"

namespace zarn {

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
