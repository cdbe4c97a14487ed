#include "output/param_writer.h"

#include <algorithm>
#include <charconv>

#include "flight/parameters.h"
#include "output/file_sink.h"
#include "records/errors.h"

namespace zarn {

namespace {

// The line "NAME = VALUE", its comment from column 29.
std::string Line(std::string_view name, std::string_view value, std::string_view unit,
                 std::string_view meaning) {
  std::string line = std::string(name) + " = " + std::string(value);
  line.resize(std::max<std::size_t>(line.size() + 1, 28), ' ');
  return line + "# [" + std::string(unit) + "] " + std::string(meaning) + "\n";
}

// `path` as seen from `folder`: relative where it can be, through the folders as they are on disk
// (a link among them would make a lexical "../" lead elsewhere).
std::filesystem::path FromFolder(const std::filesystem::path& path, const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path target = fs::weakly_canonical(fs::absolute(path, ec), ec);
  if (ec) return fs::absolute(path);
  const fs::path base = fs::weakly_canonical(fs::absolute(folder.empty() ? fs::path(".") : folder, ec), ec);
  if (ec) return target;
  const fs::path relative = target.lexically_relative(base);
  return relative.empty() ? target : relative;
}

// The path as a parameter file holds it.
std::string PathText(std::string_view name, const std::string& path) {
  if (path.find_first_of("\r\n") != std::string::npos)
    throw Error("Cannot save " + std::string(name) + " in a parameter file: its path holds a line end");
  const bool quoted = path.find('#') != std::string::npos || path.front() == '"' || path.front() == ' ' ||
                      path.front() == '\t' || path.back() == ' ' || path.back() == '\t';
  if (!quoted) return path;
  if (path.find('"') != std::string::npos)
    throw Error("Cannot save " + std::string(name) +
                " in a parameter file: its path holds both '\"' and '#'" + " or spaces at an end");
  return '"' + path + '"';
}

}  // namespace

std::string ParamFileText(const PresetRecordSlots& record) {
  std::string text =
      "# Zarn parameter file: NAME = VALUE, one a line; '#' starts a comment; '.' is the decimal\n"
      "# separator; a name left out is 0.\n";
  for (const ParamName& p : kParamNames) {
    char number[32];
    const auto value = record[static_cast<std::size_t>(p.Slot)];
    char* end = std::to_chars(number, number + sizeof number, value).ptr;
    text += Line(p.Name, std::string_view(number, static_cast<std::size_t>(end - number)), p.Unit, p.Meaning);
  }
  return text;
}

std::string ParamFileText(const PresetRecordSlots& record, const VehiclePaths& paths,
                          const std::filesystem::path& folder) {
  std::string text = ParamFileText(record);
  for (std::size_t i = 0; i < paths.size(); ++i)
    if (!paths[i].empty())
      text +=
          Line(kVehicleFileNames[i], PathText(kVehicleFileNames[i], FromFolder(paths[i], folder).string()),
               "file", kVehicleFileMeanings[i]);
  return text;
}

void WriteParamFile(const std::filesystem::path& path, const PresetRecordSlots& record,
                    const VehiclePaths& paths) {
  WriteWholeFile(path, ParamFileText(record, paths, path.parent_path()));
}

}  // namespace zarn
