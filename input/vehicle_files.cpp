#include "input/vehicle_files.h"

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <string>

#include "flight/parameters.h"
#include "input/text_lines.h"
#include "input/user_text.h"

namespace zarn {
namespace {

// The text of a line and where it stands.
struct Line {
  std::string_view Text;
  std::size_t Number;  //!< from 1
};

// The lines of a text: LF, CR LF or a CR alone ends one; a UTF-8 byte order mark is skipped.
std::vector<Line> LinesOf(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<Line> lines;
  std::size_t number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find_first_of("\r\n");
    lines.push_back({text.substr(0, end), ++number});
    if (end == std::string_view::npos) break;
    std::size_t next = end + 1;
    if (text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
    text.remove_prefix(next);
  }
  return lines;
}

// A field of a line: its text and its first column (from 1).
struct Field {
  std::string_view Text;
  std::size_t Column;
};

// The pieces one after the other (a chain of std::string + literal draws a false -Wrestrict from
// g++ 12).
std::string Cat(std::initializer_list<std::string_view> pieces) {
  std::string text;
  for (std::string_view p : pieces) text.append(p);
  return text;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t';
}

std::vector<Field> SplitBySpace(std::string_view line) {
  std::vector<Field> fields;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsSpace(line[i])) ++i;
    const std::size_t start = i;
    while (i < line.size() && !IsSpace(line[i])) ++i;
    if (i > start) fields.push_back({line.substr(start, i - start), start + 1});
  }
  return fields;
}

std::vector<Field> SplitByComma(std::string_view line) {
  std::vector<Field> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = line.find(',', start);
    std::string_view raw =
        line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    std::size_t lead = 0;
    while (lead < raw.size() && IsSpace(raw[lead])) ++lead;
    raw.remove_prefix(lead);
    while (!raw.empty() && IsSpace(raw.back())) raw.remove_suffix(1);
    fields.push_back({raw, start + lead + 1});
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return fields;
}

std::string Located(std::string_view file, const Line& line, std::size_t column, const std::string& message) {
  return Cat({file, ":", std::to_string(line.Number), ":", std::to_string(column), ": ", message});
}

[[noreturn]] void Refuse(std::string_view file, const Line& line, std::size_t column,
                         const std::string& message) {
  throw VehicleFileError(Located(file, line, column, message));
}

double NumberAt(std::string_view file, const Line& line, const Field& f, std::string_view what) {
  double v = 0.0;
  if (!ParseFiniteNumber(f.Text, v))
    Refuse(file, line, f.Column,
           Cat({"the ", what, " '", f.Text, "' is not a number (the decimal separator is '.')"}));
  return v;
}

}  // namespace

MotorFile ParseMotorText(std::string_view text, std::string_view fileName) {
  MotorFile m;
  bool header = false;
  const Line* last = nullptr;
  std::string_view previous = "0";  // the time of the point before, as written
  for (const Line& line : LinesOf(text)) {
    const std::vector<Field> f = SplitBySpace(line.Text);
    if (f.empty() || f[0].Text.starts_with(';')) continue;
    last = &line;
    if (!header) {
      if (f.size() != 7)
        Refuse(fileName, line, f[0].Column,
               Cat({"expected the motor's header NAME DIAMETER LENGTH DELAYS PROPELLANT_MASS TOTAL_MASS "
                    "MAKER (7 "
                    "fields), not ",
                    std::to_string(f.size())}));
      m.Name = f[0].Text;
      m.DiameterMm = NumberAt(fileName, line, f[1], "diameter");
      m.LengthMm = NumberAt(fileName, line, f[2], "length");
      m.Delays = f[3].Text;
      m.PropellantKg = NumberAt(fileName, line, f[4], "propellant mass");
      m.TotalKg = NumberAt(fileName, line, f[5], "total mass");
      m.Maker = f[6].Text;
      if (!(m.PropellantKg > 0.0))
        Refuse(fileName, line, f[4].Column, "the propellant mass must be more than 0");
      if (m.TotalKg < m.PropellantKg)
        Refuse(fileName, line, f[5].Column, "the total mass is less than the propellant mass");
      header = true;
      continue;
    }
    if (f.size() != 2)
      Refuse(fileName, line, f[0].Column,
             Cat({"expected TIME THRUST (2 numbers), not ", std::to_string(f.size()), " fields"}));
    const double t = NumberAt(fileName, line, f[0], "time");
    const double thrust = NumberAt(fileName, line, f[1], "thrust");
    if (t < 0.0 || (!m.Points.empty() && !(t > m.Points.back().t)))
      Refuse(fileName, line, f[0].Column,
             Cat({"the times must rise from 0 (", f[0].Text, " after ", previous, ")"}));
    if (thrust < 0.0) Refuse(fileName, line, f[1].Column, "the thrust cannot be negative");
    m.Points.push_back({t, thrust});
    previous = f[0].Text;
  }
  if (!header) throw VehicleFileError(Cat({fileName, ": no motor header (the file holds no motor)"}));
  if (m.Points.empty() || m.Curve().TotalImpulse() <= 0.0)
    Refuse(fileName, *last, 1, "the thrust curve gives no impulse");
  return m;
}

std::vector<std::vector<double>> ParseTableText(std::string_view text, std::string_view fileName,
                                                std::size_t columns, std::string_view what,
                                                std::size_t maxColumns) {
  maxColumns = std::max(maxColumns, columns);
  std::vector<std::vector<double>> rows;
  bool headerAllowed = true;
  for (const Line& full : LinesOf(text)) {
    Line line = full;
    if (const std::size_t hash = line.Text.find('#'); hash != std::string_view::npos)
      line.Text = line.Text.substr(0, hash);
    if (SplitBySpace(line.Text).empty()) continue;
    const std::vector<Field> f = SplitByComma(line.Text);
    std::vector<double> row;
    for (const Field& field : f) {
      double v = 0.0;
      if (!ParseFiniteNumber(field.Text, v)) {
        // The first line may name the columns: a line whose first field is not a number.
        if (headerAllowed && &field == &f[0]) break;
        Refuse(fileName, line, field.Column,
               Cat({"'", field.Text, "' is not a number (the decimal separator is '.')"}));
      }
      row.push_back(v);
    }
    const bool header = headerAllowed && row.empty();
    headerAllowed = false;
    if (header) continue;
    // The first row decides how many columns a table of a varying width has.
    const std::size_t low = rows.empty() ? columns : rows[0].size();
    const std::size_t high = rows.empty() ? maxColumns : rows[0].size();
    if (row.size() < low || row.size() > high)
      Refuse(fileName, line, f[std::min(row.size() > high ? high : row.size(), f.size() - 1)].Column,
             Cat({"expected ", std::to_string(low), high > low ? Cat({" to ", std::to_string(high)}) : "",
                  " numbers a row (", what, "), not ", std::to_string(row.size())}));
    if (!rows.empty() && !(row[0] > rows.back()[0]))
      Refuse(fileName, line, f[0].Column, "the first column must rise from row to row");
    rows.push_back(std::move(row));
  }
  if (rows.empty()) throw VehicleFileError(Cat({fileName, ": no rows (", what, ")"}));
  return rows;
}

namespace {

// Motor files are a few kB and tables rarely more; a larger file is not one of them.
constexpr std::size_t kMaxVehicleFileBytes = 16 << 20;

std::string ReadVehicleFile(const std::filesystem::path& path) {
  std::string text;
  try {
    text = ReadWholeFile(path, kMaxVehicleFileBytes);
  } catch (const FileError& e) {
    throw VehicleFileError(e.what());
  }
  if (text.size() > kMaxVehicleFileBytes)
    throw VehicleFileError(Cat({path.string(), ": too large for a motor file or a table (over 16 MiB)"}));
  return text;
}

LinearTable Column(const std::vector<std::vector<double>>& rows, std::size_t column) {
  std::vector<LinearTable::Row> out;
  out.reserve(rows.size());
  for (const auto& row : rows) out.push_back({row[0], row[column]});
  return LinearTable(std::move(out));
}

}  // namespace

int VehicleFileIndex(std::string_view name) {
  const auto* found = std::find(kVehicleFileNames.begin(), kVehicleFileNames.end(), name);
  return found == kVehicleFileNames.end() ? -1 : static_cast<int>(found - kVehicleFileNames.begin());
}

std::span<const std::string_view> SettableNames() {
  static const auto names = [] {
    std::array<std::string_view, kParamNames.size() + kVehicleFileNames.size()> list;
    const auto& params = ParamNameList();
    std::copy(kVehicleFileNames.begin(), kVehicleFileNames.end(),
              std::copy(params.begin(), params.end(), list.begin()));
    return list;
  }();
  return names;
}

std::shared_ptr<const VehicleTables> ReadVehicle(const VehiclePaths& paths) {
  if (std::all_of(paths.begin(), paths.end(), [](const auto& p) { return p.empty(); })) return nullptr;
  auto vehicle = std::make_shared<VehicleTables>();
  for (std::size_t stage = 0; stage < 3; ++stage) {
    if (const auto& path = paths[stage]; !path.empty()) {
      const MotorFile m = ParseMotorText(ReadVehicleFile(path), path.string());
      vehicle->Motors[stage] = StageMotor{m.Name, m.Curve(), m.TotalKg - m.PropellantKg};
    }
    if (const auto& path = paths[3 + stage]; !path.empty())
      vehicle->Cd[stage] = Column(ParseTableText(ReadVehicleFile(path), path.string(), 2, "Mach, Cd"), 1);
  }
  if (const auto& path = paths[6]; !path.empty()) {
    const auto rows =
        ParseTableText(ReadVehicleFile(path), path.string(), 2, "height, wind[, cross wind]", 3);
    vehicle->WindAlong = Column(rows, 1);
    if (rows[0].size() == 3) vehicle->WindAcross = Column(rows, 2);
  }
  if (const auto& path = paths[7]; !path.empty())
    vehicle->Pitch = Column(ParseTableText(ReadVehicleFile(path), path.string(), 2, "time, pitch"), 1);
  return vehicle;
}

}  // namespace zarn
