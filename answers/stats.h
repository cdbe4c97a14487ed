#pragma once
// The statistics of a Monte Carlo run: for each figure its mean, spread and percentiles, and how
// its variance divides among the varied inputs. The shares come from a linear least-squares fit of
// the figure on all inputs, each standardised: an input's share is its squared standardised
// regression coefficient, and the shares add up to the fit's R^2 where the inputs are independent
// (as drawn); an R^2 well below 1 says that the figure does not follow its inputs linearly and the
// shares tell less.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zarn {

// One case: the values drawn for it and the figures of its run.
struct SampleRow {
  int64_t Case;                                //!< 1, 2, ... in draw order
  std::vector<double> Inputs;                  //!< one per input
  std::vector<std::optional<double>> Figures;  //!< one per figure; nothing where the run has none
  bool Failed = false;                         //!< the run refused the draw
};

// Memory stays bounded whatever the number of cases: the rows of cases 1 to kKeptCases are kept
// whole (about 400 bytes each, 400 MB at most), and of the cases beyond only their counts and
// extremes. Every case draws anew from a stream of its own, so cases 1 to kKeptCases are a random
// sample of the draws, the same whichever threads or shards ran them.
inline constexpr int64_t kKeptCases = 1'000'000;

// Of one figure over the cases beyond kKeptCases.
struct FigureTally {
  int64_t Cases = 0, Failed = 0, Absent = 0;
  double Min = 0, Max = 0;
};

struct SampleTable {
  std::vector<std::string> Inputs;   //!< the varied parameters' names
  std::vector<std::string> Figures;  //!< the figures' keys
  std::vector<SampleRow> Rows;       //!< cases 1 to kKeptCases, in case order
  int64_t BeyondCases = 0;           //!< cases after kKeptCases
  int64_t BeyondFailed = 0;
  std::vector<FigureTally> Beyond;  //!< one per figure, once a case beyond kKeptCases came
};

// A case into the table: its row where it is one of cases 1 to kKeptCases (the caller adds those
// in case order), else into the tallies.
void AddSample(SampleTable& table, SampleRow row);
void AddBeyond(SampleTable& table, const SampleRow& row);

struct FigureStats {
  std::string Figure;
  int64_t Cases = 0;    //!< runs that gave the figure
  int64_t Failed = 0;   //!< runs that failed
  int64_t Absent = 0;   //!< runs through without the figure (no impact in a flight ended by time)
  int64_t Sampled = 0;  //!< of Cases, those of the kept rows that the mean, sd, percentiles and fit are of
  double Mean = 0, Sd = 0, Min = 0, P2_5 = 0, P50 = 0, P97_5 = 0, Max = 0;
  // Where a fit is possible: the figure varies and the cases outnumber the inputs.
  std::optional<double> R2;
  std::vector<std::optional<double>> Shares;  //!< one per input; nothing for an input that never varies
};

// The statistics of every figure that some case gave, in the table's order. Sd is the sample
// standard deviation (divisor n - 1); the percentiles interpolate linearly between the sorted
// values at rank p (n - 1) (R's and NumPy's default). The result depends only on the rows, taken
// in case order. The counts, min and max are of every case; the rest of the kept rows (all of them
// up to kKeptCases cases). Throws Error "Run cancelled" once `cancel`, where given, is non-zero.
std::vector<FigureStats> Statistics(const SampleTable& table, const std::atomic<int>* cancel = nullptr);

// As CSV: figure,cases,failed,absent,mean,sd,min,p2.5,p50,p97.5,max,r2,share_NAME...; numbers as
// the shortest text that reads back to the same double, empty where there is none.
std::string StatisticsCsv(const SampleTable& table, const std::vector<FigureStats>& stats);
// As a table for people, 6 significant digits, with a line on how the shares were found.
std::string StatisticsText(const SampleTable& table, const std::vector<FigureStats>& stats);

// The summaries of a Monte Carlo run or its shards as `texts` (each a CSV file's contents; the
// header "case,INPUT...,FIGURE...,error" in at least one of them, the same wherever it appears),
// joined and put in case order. `figureKeys` tells the figures' columns from the inputs'. Throws
// Error naming the file (`names`) and line of a row that does not read, or a case given twice.
// A case number of 2^53 or more is refused (a double holds no larger whole numbers one by one); in a
// failed row an input may be empty (a draw that failed has no value). A leading UTF-8 byte order
// mark is skipped; text of the files in messages is shown escaped where it is not printable.
SampleTable ReadSummaries(std::span<const std::string> texts, std::span<const std::string> names,
                          std::span<const std::string_view> figureKeys);
// The same from files, each read a line at a time (twice: the header first), so that memory holds
// one line and the kept rows (kMaxSummaryLine bytes a line at most). A case given twice beyond
// kKeptCases is not found. Throws Error "Run cancelled" once `cancel`, where given, is non-zero.
inline constexpr std::size_t kMaxSummaryLine = 1024 * 1024;
SampleTable ReadSummaryFiles(std::span<const std::filesystem::path> paths,
                             std::span<const std::string_view> figureKeys, const std::atomic<int>* cancel);

// The points of the ellipse at k standard deviations (Mahalanobis distance k) of a bivariate
// sample: centre (mx, my), variances vx, vy, covariance cxy; `segments` + 1 points, closed.
struct PlanePoint {
  double X, Y;
};
std::vector<PlanePoint> SigmaEllipse(double mx, double my, double vx, double vy, double cxy, double k,
                                     int segments = 96);

// Equal bins over [min, max] by the Freedman-Diaconis rule (width 2 IQR / n^(1/3)), between 5 and
// 100 of them; counts per bin, the last bin closed.
struct Histogram {
  double Low = 0, Width = 1;
  std::vector<int64_t> Counts;
};
Histogram HistogramOf(std::span<const double> values);

}  // namespace zarn
