#include "input/measured_data.h"

#include <algorithm>
#include <cmath>

#include "flight/columns.h"
#include "flight/number_text.h"
#include "input/text_lines.h"
#include "input/user_text.h"
#include "records/errors.h"

namespace zarn {
namespace {

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const std::size_t comma = line.find(',', start);
    std::string_view field = line.substr(start, comma - start);
    while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
    while (!field.empty() && field.back() == ' ') field.remove_suffix(1);
    fields.push_back(field);
    if (comma == std::string_view::npos) return fields;
    start = comma + 1;
  }
}

std::vector<std::string_view> CsvNames() {
  std::vector<std::string_view> names;
  for (const ColumnRow& c : kColumns)
    if (!c.Csv.empty() && c.Csv.find(' ') == std::string_view::npos) names.push_back(c.Csv);
  return names;
}

int ColumnNamed(std::string_view name) {
  if (name.empty() || name.find(' ') != std::string_view::npos) return -1;
  for (std::size_t c = 0; c < kColumns.size(); ++c)
    if (kColumns[c].Csv == name) return static_cast<int>(c);
  return -1;
}

}  // namespace

const MeasuredColumn* MeasuredData::Find(int column) const {
  for (const MeasuredColumn& c : Columns)
    if (c.Column == column) return &c;
  return nullptr;
}

std::string_view CsvName(int column) {
  return kColumns[static_cast<std::size_t>(column)].Csv;
}

namespace {

// Reads a table of measured data one line at a time.
class MeasuredReader {
 public:
  explicit MeasuredReader(std::string name) : name_(std::move(name)) {}

  void Line(std::string_view line, int64_t number) {
    number_ = number;
    if (line.find_first_not_of(" \t") == std::string_view::npos) return;
    const std::vector<std::string_view> fields = SplitFields(line);
    if (columns_.empty()) {
      Header(fields);
      return;
    }
    if (fields.size() != columns_.size())
      Fail(std::to_string(fields.size()) + " fields, but the header names " +
           std::to_string(columns_.size()));
    // Checked before the row is kept, so that the values stay within the bound at every size.
    values_ += fields.size();
    if (values_ > kMaxMeasuredValues)
      Fail("more than " + std::to_string(kMaxMeasuredValues) + " values: not a table of measured data");
    std::size_t measured = 0;
    for (std::size_t f = 0; f < fields.size(); ++f) {
      std::string where("column ");
      where.append(std::to_string(f + 1)).append(" (").append(CsvName(columns_[f])).append("): ");
      double value = 0.0;
      const bool empty = fields[f].empty();
      if (!empty && !ParseFiniteNumber(fields[f], value))
        Fail(where + "'" + Shown(fields[f]) + "' is not a number (the decimal separator is '.')");
      // Squares of the differences add up without overflow for every row the bound allows.
      if (std::fabs(value) > kMaxMeasuredMagnitude)
        Fail(where + "'" + Shown(fields[f]) + "' lies beyond " +
             FormatGeneral(kMaxMeasuredMagnitude, 3, '.') + " in size: not a measured value");
      if (static_cast<int>(f) == timeField_) {
        if (empty) Fail(where + "the time is empty");
        data_.Time.push_back(value);
      } else {
        data_.Columns[measured++].Values.push_back(empty ? std::nullopt : std::optional<double>(value));
      }
    }
  }

  MeasuredData Finish() {
    if (columns_.empty()) throw Error(Shown(name_) + ": empty: a header row with t_s is needed");
    return std::move(data_);
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw Error(Shown(name_) + ":" + std::to_string(number_) + ": " + what);
  }

  void Header(const std::vector<std::string_view>& fields) {
    for (std::size_t f = 0; f < fields.size(); ++f) {
      std::string where("column ");
      where.append(std::to_string(f + 1)).append(": ");
      const int column = ColumnNamed(fields[f]);
      if (column < 0) {
        const std::vector<std::string_view> names = CsvNames();
        const std::string_view nearest = NearestName(fields[f], names);
        Fail(where + "unknown name '" + Shown(fields[f]) + "'" +
             (nearest.empty() ? std::string(" (the table CSV's column names: t_s, H_m, X_m, V_m_s, ...)")
                              : " (did you mean '" + std::string(nearest) + "'?)"));
      }
      if (std::find(columns_.begin(), columns_.end(), column) != columns_.end())
        Fail(where + "'" + Shown(fields[f]) + "' is named twice");
      columns_.push_back(column);
      if (column == kColT) {
        timeField_ = static_cast<int>(f);
      } else {
        data_.Columns.push_back({column, {}});
      }
    }
    if (timeField_ < 0) Fail("no t_s column: the measured times are needed");
  }

  std::string name_;
  MeasuredData data_;
  std::vector<int> columns_;  // of each field; kColT for t_s
  int timeField_ = -1;
  int64_t number_ = 0;
  std::size_t values_ = 0;
};

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace

MeasuredData ParseMeasuredData(std::string_view text, const std::string& name) {
  MeasuredReader reader(name);
  if (text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
  int64_t number = 0;
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    reader.Line(line, ++number);
  }
  MeasuredData data = reader.Finish();
  data.Name = name;
  return data;
}

MeasuredData ReadMeasuredData(const std::filesystem::path& path) {
  LineReader lines(path, kMaxMeasuredLine);
  MeasuredReader reader(path.string());
  std::string_view line;
  while (lines.Next(line)) reader.Line(line, lines.Number());
  MeasuredData data = reader.Finish();
  data.Name = path.filename().string();
  return data;
}

namespace {

// The impact's own value of a column that the event carries, in the column's CSV unit.
std::optional<double> ImpactValue(const FlightEvent& impact, int column) {
  switch (column) {
    case kColT:
      return impact.t;
    case kColX:
      return impact.X;
    case kColH:
      return impact.H;
    case kColV:
      return impact.V;
    default:
      return std::nullopt;
  }
}

}  // namespace

std::optional<double> RunValueAt(const RunResult& run, int column, double t) {
  const int stored = run.Summary.SamplesStored;
  if (stored < 1) return std::nullopt;
  const double tf = StoredUnitFactor(kColT, run.Units), cf = StoredUnitFactor(column, run.Units);
  const auto time = [&](int row) { return run.Table.Cell(kColT, row) * tf; };
  const auto value = [&](int row) { return run.Table.Cell(column, row) * cf; };
  // A flight that ends at the ground ends at its impact: its last row lies below the ground, after
  // it. Between the row before the impact and the impact, the impact's own state is the far end.
  const FlightEvent* impact = FindEvent(run.Events, EventKind::Impact);
  const double end = impact != nullptr ? std::min(impact->t, time(stored)) : time(stored);
  if (!(t >= time(1) && t <= end)) return std::nullopt;
  // The first stored row at or after t; rows are in time order.
  int lo = 1, hi = stored;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (time(mid) < t) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  if (time(lo) == t || lo == 1) return value(lo);
  const double t0 = time(lo - 1), t1 = time(lo);
  if (impact != nullptr && t1 > impact->t && t0 < impact->t) {
    if (const std::optional<double> at = ImpactValue(*impact, column))
      return value(lo - 1) + (*at - value(lo - 1)) * Div(t - t0, impact->t - t0);
  }
  return value(lo - 1) + (value(lo) - value(lo - 1)) * Div(t - t0, t1 - t0);
}

Deviation CompareWithRun(const MeasuredData& data, const RunResult& run) {
  Deviation d;
  for (const MeasuredColumn& c : data.Columns) {
    ColumnDeviation dev{c.Column, 0, 0, 0.0, 0.0};
    double sum = 0.0;
    for (std::size_t i = 0; i < c.Values.size(); ++i) {
      if (!c.Values[i]) continue;
      const std::optional<double> computed = RunValueAt(run, c.Column, data.Time[i]);
      if (!computed) {
        ++dev.Outside;
        continue;
      }
      const double diff = Checked(*c.Values[i] - *computed);
      sum = Checked(sum + diff * diff);
      if (std::fabs(diff) > std::fabs(dev.MaxDiff)) dev.MaxDiff = diff;
      ++dev.Compared;
    }
    if (dev.Compared > 0) dev.Rms = std::sqrt(sum / dev.Compared);
    d.Columns.push_back(dev);
  }
  if (const MeasuredColumn* h = data.Find(kColH)) {
    std::optional<double> apex;
    for (const std::optional<double>& v : h->Values)
      if (v && (!apex || *v > *apex)) apex = v;
    if (const FlightEvent* top = FindEvent(run.Events, EventKind::Apex); apex && top != nullptr)
      d.ApexH = Checked(*apex - top->H);
  }
  if (const MeasuredColumn* x = data.Find(kColX)) {
    std::optional<std::size_t> last;
    for (std::size_t i = 0; i < x->Values.size(); ++i)
      if (x->Values[i] && (!last || data.Time[i] >= data.Time[*last])) last = i;
    const FlightEvent* impact = FindEvent(run.Events, EventKind::Impact);
    if (last) d.RangeX = Checked(*x->Values[*last] - (impact != nullptr ? impact->X : run.Final.X));
  }
  return d;
}

std::string DeviationText(const Deviation& d, char sep) {
  const auto number = [sep](double v, bool sign) {
    std::string text(sign && v > 0 ? "+" : "");
    return text.append(FormatGeneral(v, 4, sep));
  };
  std::string text;
  for (const ColumnDeviation& c : d.Columns) {
    text.append(CsvName(c.Column)).append(": ");
    if (c.Compared == 0) {
      text += "no measured time within the flight";
    } else {
      text.append("RMS ").append(number(c.Rms, false)).append(", largest ").append(number(c.MaxDiff, true));
      text.append(" (").append(std::to_string(c.Compared)).append(c.Compared == 1 ? " time" : " times");
      if (c.Outside > 0)
        text.append("; ").append(std::to_string(c.Outside)).append(" outside the flight skipped");
      text += ")";
    }
    text += "\n";
  }
  if (d.ApexH) text.append("apex H_m: ").append(number(*d.ApexH, true)).append("\n");
  if (d.RangeX) text.append("range X_m: ").append(number(*d.RangeX, true)).append("\n");
  return text;
}

}  // namespace zarn
