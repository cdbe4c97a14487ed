#include "answers/stats.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <numeric>

#include "flight/number_text.h"
#include "input/text_lines.h"
#include "input/user_text.h"
#include "records/errors.h"

namespace zarn {
namespace {

// Hyndman and Fan's type 7: linear between the sorted values at rank p (n - 1).
double Percentile(const std::vector<double>& sorted, double p) {
  const double rank = p * static_cast<double>(sorted.size() - 1);
  const auto low = static_cast<std::size_t>(std::floor(rank));
  const std::size_t high = std::min(low + 1, sorted.size() - 1);
  return sorted[low] + (rank - static_cast<double>(low)) * (sorted[high] - sorted[low]);
}

double MeanOf(const std::vector<double>& v) {
  return std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
}

double SdOf(const std::vector<double>& v, double mean) {
  if (v.size() < 2) return 0.0;
  double sum = 0.0;
  for (const double x : v) sum += (x - mean) * (x - mean);
  return std::sqrt(sum / static_cast<double>(v.size() - 1));
}

// The standardised coefficients of y on the columns xs (each with spread): C b = r, where C holds
// the inputs' correlations and r their correlations with y; R^2 = r . b. Solved by LU with full
// pivoting (Eigen); nothing where C is singular (inputs that move together).
struct Fit {
  std::vector<double> Beta;
  double R2;
};
std::optional<Fit> StandardisedFit(const std::vector<std::vector<double>>& xs, const std::vector<double>& y) {
  const std::size_t k = xs.size(), n = y.size();
  if (k == 0 || n < k + 2) return std::nullopt;
  auto standardised = [n](const std::vector<double>& v) {
    const double m = MeanOf(v), s = SdOf(v, m);
    std::vector<double> z(n);
    for (std::size_t i = 0; i < n; ++i) z[i] = (v[i] - m) / s;
    return z;
  };
  std::vector<std::vector<double>> zx;
  for (const auto& x : xs) zx.push_back(standardised(x));
  const std::vector<double> zy = standardised(y);
  auto correlation = [n](const std::vector<double>& a, const std::vector<double>& b) {
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) sum += a[i] * b[i];
    return sum / static_cast<double>(n - 1);
  };
  const auto size = static_cast<Eigen::Index>(k);
  Eigen::MatrixXd c(size, size);
  Eigen::VectorXd r(size);
  for (Eigen::Index i = 0; i < size; ++i) {
    const auto& zi = zx[static_cast<std::size_t>(i)];
    for (Eigen::Index j = 0; j < size; ++j)
      c(i, j) = i == j ? 1.0 : correlation(zi, zx[static_cast<std::size_t>(j)]);
    r(i) = correlation(zi, zy);
  }
  const Eigen::FullPivLU<Eigen::MatrixXd> lu(c);
  if (!lu.isInvertible()) return std::nullopt;
  const Eigen::VectorXd beta = lu.solve(r);
  Fit fit{std::vector<double>(beta.data(), beta.data() + k), r.dot(beta)};
  for (const double b : fit.Beta)
    if (!std::isfinite(b)) return std::nullopt;
  return fit;
}

std::string Optional(const std::optional<double>& v) {
  return v ? ShortestText(*v) : std::string();
}

}  // namespace

std::vector<FigureStats> Statistics(const SampleTable& table, const std::atomic<int>* cancel) {
  std::vector<FigureStats> all;
  const std::size_t inputs = table.Inputs.size();
  for (std::size_t f = 0; f < table.Figures.size(); ++f) {
    // A figure takes a sort of its values: a Ctrl-C is answered within one.
    if (cancel != nullptr && *cancel != 0) throw Error("Run cancelled");
    FigureStats s;
    s.Figure = table.Figures[f];
    std::vector<double> values;
    std::vector<std::vector<double>> xs(inputs);
    for (const SampleRow& row : table.Rows) {
      if (row.Failed) {
        ++s.Failed;
      } else if (!row.Figures[f]) {
        ++s.Absent;
      } else {
        values.push_back(*row.Figures[f]);
        for (std::size_t i = 0; i < inputs; ++i) xs[i].push_back(row.Inputs[i]);
      }
    }
    if (values.empty()) continue;
    s.Cases = static_cast<int64_t>(values.size());
    s.Sampled = s.Cases;
    s.Mean = MeanOf(values);
    s.Sd = SdOf(values, s.Mean);
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    s.Min = sorted.front();
    s.Max = sorted.back();
    s.P2_5 = Percentile(sorted, 0.025);
    s.P50 = Percentile(sorted, 0.5);
    s.P97_5 = Percentile(sorted, 0.975);
    if (f < table.Beyond.size() && table.BeyondCases > 0) {
      const FigureTally& t = table.Beyond[f];
      s.Failed += t.Failed;
      s.Absent += t.Absent;
      s.Cases += t.Cases;
      if (t.Cases > 0) {
        s.Min = std::min(s.Min, t.Min);
        s.Max = std::max(s.Max, t.Max);
      }
    }

    s.Shares.assign(inputs, std::nullopt);
    if (s.Sd > 0.0) {
      // Inputs that never varied over these cases take no part in the fit.
      std::vector<std::vector<double>> varied;
      std::vector<std::size_t> which;
      for (std::size_t i = 0; i < inputs; ++i) {
        if (SdOf(xs[i], MeanOf(xs[i])) > 0.0) {
          varied.push_back(xs[i]);
          which.push_back(i);
        }
      }
      if (const std::optional<Fit> fit = StandardisedFit(varied, values)) {
        s.R2 = fit->R2;
        for (std::size_t j = 0; j < which.size(); ++j) s.Shares[which[j]] = fit->Beta[j] * fit->Beta[j];
      }
    }
    all.push_back(std::move(s));
  }
  return all;
}

std::string StatisticsCsv(const SampleTable& table, const std::vector<FigureStats>& stats) {
  // Appended piece by piece: g++ 12 warns (-Wrestrict) about a literal + std::string chain.
  std::string text = "figure,cases,failed,absent,mean,sd,min,p2.5,p50,p97.5,max,r2";
  for (const std::string& name : table.Inputs) text.append(",share_").append(name);
  text += '\n';
  for (const FigureStats& s : stats) {
    text.append(s.Figure);
    for (const int64_t count : {s.Cases, s.Failed, s.Absent}) text.append(",").append(std::to_string(count));
    for (const double v : {s.Mean, s.Sd, s.Min, s.P2_5, s.P50, s.P97_5, s.Max})
      text.append(",").append(ShortestText(v));
    text.append(",").append(Optional(s.R2));
    for (const auto& share : s.Shares) text.append(",").append(Optional(share));
    text += '\n';
  }
  return text;
}

std::string StatisticsText(const SampleTable& table, const std::vector<FigureStats>& stats) {
  std::vector<std::vector<std::string>> cells;
  std::vector<std::string> head = {"figure", "cases", "mean",  "sd",  "min",
                                   "2.5%",   "50%",   "97.5%", "max", "R2"};
  for (const std::string& name : table.Inputs) head.push_back("share " + name);
  cells.push_back(head);
  auto general = [](double v) { return FormatGeneral(v, 6, '.'); };
  for (const FigureStats& s : stats) {
    std::vector<std::string> row = {s.Figure, std::to_string(s.Cases)};
    for (const double v : {s.Mean, s.Sd, s.Min, s.P2_5, s.P50, s.P97_5, s.Max}) row.push_back(general(v));
    row.push_back(s.R2 ? general(*s.R2) : "-");
    for (const auto& share : s.Shares) row.push_back(share ? general(*share) : "-");
    cells.push_back(row);
  }
  std::vector<std::size_t> width(head.size(), 0);
  for (const auto& row : cells)
    for (std::size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], row[c].size());
  std::string text;
  for (const auto& row : cells) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      const std::string pad(width[c] - row[c].size(), ' ');
      line += c == 0 ? row[c] + pad : "  " + pad + row[c];
    }
    text += line + "\n";
  }
  int64_t failed = table.BeyondFailed;
  for (const SampleRow& row : table.Rows) failed += row.Failed ? 1 : 0;
  const auto cases = static_cast<int64_t>(table.Rows.size()) + table.BeyondCases;
  text += std::to_string(cases) + " cases, " + std::to_string(failed) +
          " failed (counted apart). Shares of variance: squared standardised coefficients of a linear\n"
          "least-squares fit of each figure on all varied inputs; for independent inputs they add up\n"
          "to the fit's R2.\n";
  if (table.BeyondCases > 0)
    text +=
        "The counts, min and max are those of all cases; the mean, sd, percentiles and shares those of\n"
        "cases 1 to " +
        std::to_string(kKeptCases) + ", a sample of the draws (an estimate for the whole run).\n";
  return text;
}

namespace {

// The fields of one CSV line (RFC 4180 quoting; no line ends inside fields).
std::vector<std::string> CsvFields(std::string_view line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        fields.back() += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

}  // namespace

namespace {

constexpr std::string_view kSummaryHeader = "case,";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// From 2^53 on a double no longer holds every whole number, so no case number lies there.
constexpr double kMaxCaseNumber = 9007199254740992.0;

// The header's columns and their roles, then each file's rows into the table.
class SummaryReader {
 public:
  SummaryReader(SampleTable& table, std::span<const std::string_view> figureKeys)
      : table_(table), keys_(figureKeys) {}

  // The first line of each file; the header wherever it is, the same in every file that has one.
  void First(std::string_view line, const std::string& name) {
    if (!line.starts_with(kSummaryHeader)) return;
    std::vector<std::string> fields = CsvFields(line);
    if (header_ && *header_ != fields)
      throw Error(Shown(name) + ":1: a header other than that of " + Shown(headerName_));
    if (!header_) headerName_ = name;
    header_ = std::move(fields);
  }

  void Roles() {
    if (!header_ || header_->back() != "error")
      throw Error("no summary header (case,...,error) in the files given");
    for (std::size_t c = 0; c < header_->size(); ++c) {
      const std::string& name = (*header_)[c];
      const bool figure = std::find(keys_.begin(), keys_.end(), name) != keys_.end();
      role_.push_back(c == 0                     ? 0
                      : c + 1 == header_->size() ? 3
                      : figure                   ? 2
                      : table_.Figures.empty()   ? 1
                                                 : -1);
      if (role_.back() == -1)
        throw Error("summary column '" + Shown(name) + "' is neither a figure nor a varied input");
      // The names go into the statistics' table and CSV as they are.
      if (name.empty() || Shown(name) != name)
        throw Error(Shown(headerName_) + ":1: '" + Shown(name) + "' is not a column's name");
      if (role_.back() == 1) table_.Inputs.push_back(name);
      if (role_.back() == 2) table_.Figures.push_back(name);
    }
  }

  void Row(std::string_view line, const std::string& name, int64_t lineNumber) {
    if (line.empty() || (lineNumber == 1 && line.starts_with(kSummaryHeader))) return;
    const auto where = [&] { return Shown(name) + ":" + std::to_string(lineNumber) + ": "; };
    const std::vector<std::string> fields = CsvFields(line);
    if (fields.size() != header_->size())
      throw Error(where() + std::to_string(fields.size()) + " fields where the header has " +
                  std::to_string(header_->size()));
    SampleRow row;
    row.Failed = !fields.back().empty();
    double number = 0.0;
    for (std::size_t c = 0; c + 1 < fields.size(); ++c) {
      const std::string& field = fields[c];
      const bool read = ParseFiniteNumber(field, number);
      if (role_[c] == 2) {
        if (!field.empty() && !read) throw Error(where() + "'" + Shown(field) + "' is not a number");
        row.Figures.push_back(field.empty() ? std::nullopt : std::optional<double>(number));
      } else if (role_[c] == 1 && field.empty() && row.Failed) {
        row.Inputs.push_back(0.0);  // a case whose draw failed has no value; failed rows take no part
      } else if (!read || (role_[c] == 0 &&
                           (number != std::floor(number) || number < 1 || number >= kMaxCaseNumber))) {
        throw Error(where() + "'" + Shown(field) + "' is not " +
                    (role_[c] == 0 ? "a case number" : "a number"));
      } else if (role_[c] == 0) {
        row.Case = static_cast<int64_t>(number);
      } else {
        row.Inputs.push_back(number);
      }
    }
    if (row.Case > kKeptCases) {
      AddBeyond(table_, row);
    } else if (!rows_.emplace(row.Case, std::move(row)).second) {
      throw Error(where() + "case " + std::to_string(row.Case) + " is given twice");
    }
  }

  void Finish() {
    for (auto& [number, row] : rows_) table_.Rows.push_back(std::move(row));
  }

 private:
  SampleTable& table_;
  std::span<const std::string_view> keys_;
  std::optional<std::vector<std::string>> header_;
  std::string headerName_;
  std::vector<int> role_;  // per column: 0 case, 1 input, 2 figure, 3 error
  std::map<int64_t, SampleRow> rows_;
};

std::string_view FirstLine(std::string_view text) {
  if (text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
  std::string_view line = text.substr(0, text.find('\n'));
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

}  // namespace

void AddBeyond(SampleTable& table, const SampleRow& row) {
  if (table.Beyond.empty()) table.Beyond.resize(table.Figures.size());
  ++table.BeyondCases;
  if (row.Failed) ++table.BeyondFailed;
  for (std::size_t f = 0; f < table.Figures.size(); ++f) {
    FigureTally& t = table.Beyond[f];
    if (row.Failed) {
      ++t.Failed;
    } else if (!row.Figures[f]) {
      ++t.Absent;
    } else {
      const double v = *row.Figures[f];
      t.Min = t.Cases == 0 ? v : std::min(t.Min, v);
      t.Max = t.Cases == 0 ? v : std::max(t.Max, v);
      ++t.Cases;
    }
  }
}

void AddSample(SampleTable& table, SampleRow row) {
  if (row.Case > kKeptCases) {
    AddBeyond(table, row);
  } else {
    table.Rows.push_back(std::move(row));
  }
}

SampleTable ReadSummaries(std::span<const std::string> texts, std::span<const std::string> names,
                          std::span<const std::string_view> figureKeys) {
  SampleTable table;
  SummaryReader reader(table, figureKeys);
  for (std::size_t f = 0; f < texts.size(); ++f) reader.First(FirstLine(texts[f]), names[f]);
  reader.Roles();
  for (std::size_t f = 0; f < texts.size(); ++f) {
    std::string_view text = texts[f];
    if (text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
    int64_t lineNumber = 0;
    while (!text.empty()) {
      const std::size_t end = text.find('\n');
      std::string_view line = text.substr(0, end);
      text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      reader.Row(line, names[f], ++lineNumber);
    }
  }
  reader.Finish();
  return table;
}

SampleTable ReadSummaryFiles(std::span<const std::filesystem::path> paths,
                             std::span<const std::string_view> figureKeys, const std::atomic<int>* cancel) {
  SampleTable table;
  SummaryReader reader(table, figureKeys);
  // Every file open at once and read once, so that a pipe (a shell's <(...)) serves as well: the
  // first lines decide the header, and each file goes on from its second.
  std::vector<std::unique_ptr<LineReader>> files;
  std::vector<std::string> firsts;
  std::string_view line;
  for (const std::filesystem::path& path : paths) {
    files.push_back(std::make_unique<LineReader>(path, kMaxSummaryLine, cancel));
    firsts.emplace_back(files.back()->Next(line) ? line : std::string_view());
    reader.First(firsts.back(), path.string());
  }
  reader.Roles();
  for (std::size_t f = 0; f < paths.size(); ++f) {
    const std::string name = paths[f].string();
    if (files[f]->Number() == 1) reader.Row(firsts[f], name, 1);
    while (files[f]->Next(line)) reader.Row(line, name, files[f]->Number());
    files[f].reset();
  }
  reader.Finish();
  return table;
}

std::vector<PlanePoint> SigmaEllipse(double mx, double my, double vx, double vy, double cxy, double k,
                                     int segments) {
  // The covariance's eigenvalues are the squared half-axes at 1 sigma; the angle is that of the
  // first eigenvector.
  const double mean = (vx + vy) / 2, half = std::hypot((vx - vy) / 2, cxy);
  const double a = std::sqrt(std::max(mean + half, 0.0)) * k, b = std::sqrt(std::max(mean - half, 0.0)) * k;
  const double angle = std::atan2(2 * cxy, vx - vy) / 2;
  std::vector<PlanePoint> points;
  for (int i = 0; i <= segments; ++i) {
    const double phi = 2 * 3.141592653589793 * (i == segments ? 0 : i) / segments;
    const double u = a * std::cos(phi), v = b * std::sin(phi);
    points.push_back(
        {mx + u * std::cos(angle) - v * std::sin(angle), my + u * std::sin(angle) + v * std::cos(angle)});
  }
  return points;
}

Histogram HistogramOf(std::span<const double> values) {
  Histogram h;
  if (values.empty()) return h;
  std::vector<double> sorted(values.begin(), values.end());
  std::sort(sorted.begin(), sorted.end());
  const double low = sorted.front(), high = sorted.back();
  const double iqr = Percentile(sorted, 0.75) - Percentile(sorted, 0.25);
  const double n = static_cast<double>(sorted.size());
  double bins = iqr > 0.0 ? std::ceil((high - low) / (2 * iqr / std::cbrt(n))) : 5.0;
  bins = std::clamp(bins, 5.0, 100.0);
  h.Low = low;
  h.Width = high > low ? (high - low) / bins : 1.0;
  h.Counts.assign(static_cast<std::size_t>(bins), 0);
  for (const double v : sorted) {
    const auto bin = static_cast<std::size_t>(std::floor((v - low) / h.Width));
    ++h.Counts[std::min(bin, h.Counts.size() - 1)];
  }
  return h;
}

}  // namespace zarn
