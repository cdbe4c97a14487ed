#include "answers/stats.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>

#include "flight/number_text.h"
#include "output/param_file.h"
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

std::vector<FigureStats> Statistics(const SampleTable& table) {
  std::vector<FigureStats> all;
  const std::size_t inputs = table.Inputs.size();
  for (std::size_t f = 0; f < table.Figures.size(); ++f) {
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
    s.Mean = MeanOf(values);
    s.Sd = SdOf(values, s.Mean);
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    s.Min = sorted.front();
    s.Max = sorted.back();
    s.P2_5 = Percentile(sorted, 0.025);
    s.P50 = Percentile(sorted, 0.5);
    s.P97_5 = Percentile(sorted, 0.975);

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
  int64_t failed = 0;
  for (const SampleRow& row : table.Rows) failed += row.Failed ? 1 : 0;
  text += std::to_string(table.Rows.size()) + " cases, " + std::to_string(failed) +
          " failed (counted apart). Shares of variance: squared standardised coefficients of a linear\n"
          "least-squares fit of each figure on all varied inputs; for independent inputs they add up\n"
          "to the fit's R2.\n";
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

SampleTable ReadSummaries(std::span<const std::string> texts, std::span<const std::string> names,
                          std::span<const std::string_view> figureKeys) {
  SampleTable table;
  std::optional<std::vector<std::string>> header;
  std::size_t headerFile = 0;
  std::vector<int> role;  // per column: 0 case, 1 input, 2 figure, 3 error
  // The header first, wherever it is.
  for (std::size_t f = 0; f < texts.size(); ++f) {
    const std::string_view text = texts[f];
    if (text.rfind("case,", 0) != 0) continue;
    std::string_view line = text.substr(0, text.find('\n'));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::vector<std::string> fields = CsvFields(line);
    if (header && *header != fields)
      throw Error(names[f] + ":1: a header other than that of " + names[headerFile]);
    if (!header) headerFile = f;
    header = fields;
  }
  if (!header || header->back() != "error")
    throw Error("no summary header (case,...,error) in the files given");
  for (std::size_t c = 0; c < header->size(); ++c) {
    const std::string& name = (*header)[c];
    const bool figure = std::find(figureKeys.begin(), figureKeys.end(), name) != figureKeys.end();
    role.push_back(c == 0 ? 0 : c + 1 == header->size() ? 3 : figure ? 2 : table.Figures.empty() ? 1 : -1);
    if (role.back() == -1)
      throw Error("summary column '" + name + "' is neither a figure nor a varied input");
    if (role.back() == 1) table.Inputs.push_back(name);
    if (role.back() == 2) table.Figures.push_back(name);
  }

  std::map<int64_t, SampleRow> rows;
  for (std::size_t f = 0; f < texts.size(); ++f) {
    std::string_view text = texts[f];
    int64_t lineNumber = 0;
    while (!text.empty()) {
      const std::size_t end = text.find('\n');
      std::string_view line = text.substr(0, end);
      text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
      ++lineNumber;
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (line.empty() || (lineNumber == 1 && line.rfind("case,", 0) == 0)) continue;
      const std::string where = names[f] + ":" + std::to_string(lineNumber) + ": ";
      const std::vector<std::string> fields = CsvFields(line);
      if (fields.size() != header->size())
        throw Error(where + std::to_string(fields.size()) + " fields where the header has " +
                    std::to_string(header->size()));
      SampleRow row;
      double number = 0.0;
      for (std::size_t c = 0; c < fields.size(); ++c) {
        const std::string& field = fields[c];
        const bool read = ParseFiniteNumber(field, number);
        if (role[c] == 3) {
          row.Failed = !field.empty();
        } else if (role[c] == 2) {
          if (!field.empty() && !read) throw Error(where + "'" + field + "' is not a number");
          row.Figures.push_back(field.empty() ? std::nullopt : std::optional<double>(number));
        } else if (!read || (role[c] == 0 && (number != std::floor(number) || number < 1))) {
          throw Error(where + "'" + field + "' is not " + (role[c] == 0 ? "a case number" : "a number"));
        } else if (role[c] == 0) {
          row.Case = static_cast<int64_t>(number);
        } else {
          row.Inputs.push_back(number);
        }
      }
      if (!rows.emplace(row.Case, row).second)
        throw Error(where + "case " + std::to_string(row.Case) + " is given twice");
    }
  }
  for (auto& [number, row] : rows) table.Rows.push_back(std::move(row));
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
