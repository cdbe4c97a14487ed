#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "flight/columns.h"
#include "flight/integrator.h"
#include "flight/presets.h"
#include "output/result_files.h"
#include "output/table_csv.h"
#include "records/errors.h"
#include "records/flight_data.h"
#include "tests/support/flights.h"
#include "tests/support/scratch.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;

using test_support::ReadFile;

// The CSV as a reader sees it: the header's names and each row's numbers, read with from_chars.
// Fails the test on a CR, a missing last LF, a field that is not wholly a number, or a short row.
struct ParsedCsv {
  std::vector<std::string> Names;
  std::vector<std::vector<double>> Rows;
};

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const std::size_t comma = line.find(',', start);
    fields.push_back(line.substr(start, comma - start));
    if (comma == std::string_view::npos) return fields;
    start = comma + 1;
  }
}

ParsedCsv ParseCsv(std::string_view text) {
  ParsedCsv csv;
  EXPECT_EQ(text.find('\r'), std::string_view::npos) << "line ends are LF only";
  EXPECT_TRUE(!text.empty() && text.back() == '\n') << "the last line ends with LF";
  bool header = true;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::vector<std::string_view> fields = Fields(text.substr(start, end - start));
    start = end + 1;
    if (header) {
      csv.Names.assign(fields.begin(), fields.end());
      header = false;
      continue;
    }
    EXPECT_EQ(fields.size(), csv.Names.size()) << "row " << csv.Rows.size() + 1;
    std::vector<double>& row = csv.Rows.emplace_back();
    for (const std::string_view f : fields) {
      double value = std::numeric_limits<double>::quiet_NaN();
      const auto [ptr, ec] = std::from_chars(f.data(), f.data() + f.size(), value);
      EXPECT_TRUE(ec == std::errc{} && ptr == f.data() + f.size()) << "'" << f << "'";
      row.push_back(value);
    }
  }
  return csv;
}

// The table's column behind each field of a CSV row.
std::vector<int> ExportedColumns() {
  std::vector<int> columns;
  for (int c = 0; c < TrajectoryTable::kColumns; ++c)
    if (!kColumns[static_cast<std::size_t>(c)].Csv.empty()) columns.push_back(c);
  return columns;
}

// Bit for bit: -0 stays -0, and no rounding hides behind a tolerance. Each cell is taken back to
// its stored unit by `factors` (column -> factor; 1 where not named).
void ExpectSameBits(const TrajectoryTable& table, const ParsedCsv& csv,
                    const std::map<int, double>& factors = {}) {
  ASSERT_EQ(csv.Rows.size(), static_cast<std::size_t>(table.RowsPerColumn));
  const std::vector<int> columns = ExportedColumns();
  int mismatches = 0;
  for (int row = 1; row <= table.RowsPerColumn; ++row) {
    const std::vector<double>& got = csv.Rows[static_cast<std::size_t>(row - 1)];
    if (got.size() != columns.size()) continue;  // reported by ParseCsv
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const auto factor = factors.find(columns[i]);
      const double want = table.Cell(columns[i], row) * (factor == factors.end() ? 1.0 : factor->second);
      if (std::bit_cast<uint64_t>(got[i]) != std::bit_cast<uint64_t>(want) && ++mismatches <= 5)
        ADD_FAILURE() << "row " << row << " column " << columns[i] << ": " << got[i] << " != " << want;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// Every flight, whatever units the run switched to, gets this header.
constexpr std::string_view kHeader =
    "t_s,V_m_s,q_kPa,H_m,Q_deg,X_m,nx_g,ny_g,Vwind_m_s,Isp_Ns_kg,Thrust_N,Mass_kg,ThrustPerMass_N_kg,Drag_N,"
    "Lift_N,Cx,Cy,Mach,T_K,P_bar,rho_kg_m3,Re_1e3";

class TableCsvTest : public ::testing::Test {
 protected:
  test_support::ScratchDir scratch_{"zarn_table_csv"};
  const fs::path dir_ = scratch_.path();
};

TEST_F(TableCsvTest, LongHighLobReadsBackInSecondsAndMetresUnderTheSameHeader) {
  // A drag-free lob at 20 km/s: about 67 minutes of flight, up to some 20000 km high and 14000 km
  // far. One-second steps keep the run to some 4000 steps per pass.
  FlightParameters p = zarn::test_support::PresetParameters(0);
  p.V0 = 20000;
  p.TTO = 80;
  p.Cx = 0;
  p.Tk = 100000;
  p.dt0 = 1;
  const auto d = zarn::test_support::FlyWithFiles(p, dir_);
  ASSERT_EQ(d->Units.TimeUnit, 2);
  ASSERT_EQ(d->Units.HeightInKm, 1);
  ASSERT_EQ(d->Units.RangeInKm, 1);
  ASSERT_EQ(d->Units.ThrustInKn, 0);
  ASSERT_EQ(d->Units.MassInTonnes, 0);

  const fs::path path = dir_ / "table.csv";
  WriteTableCsv(path, d->Table, d->Units, d->Summary.SamplesStored);
  const std::string text = ReadFile(path);
  EXPECT_EQ(text, TableCsvText(d->Table, d->Units, 500));
  const ParsedCsv csv = ParseCsv(text);

  EXPECT_EQ(text.substr(0, text.find('\n')), kHeader);
  ExpectSameBits(d->Table, csv, {{kColT, 60.0}, {kColH, 1000.0}, {kColX, 1000.0}});

  // The names say what the numbers are: the last row is the last step, in seconds and metres.
  ASSERT_EQ(csv.Rows.size(), 500u);
  EXPECT_DOUBLE_EQ(csv.Rows[499][0], d->Final.t);
  EXPECT_DOUBLE_EQ(csv.Rows[499][5], d->Final.X);
  EXPECT_GT(csv.Rows[250][3], 1e7);  // metres: the top of a flight of some 20000 km
  EXPECT_LT(csv.Rows[250][3], 3e7);
}

TEST_F(TableCsvTest, EachUnitFlagIsUndoneInItsOwnColumnOnly) {
  auto table = std::make_unique<TrajectoryTable>();
  table->Elements.fill(1.5);
  table->RowsPerColumn = 3;
  struct Case {
    int32_t UnitFlags::*Flag;
    int32_t Value;
    int Column;
    double Factor;
  } const cases[] = {
      {&UnitFlags::TimeUnit, 2, kColT, 60.0},          {&UnitFlags::TimeUnit, 3, kColT, 3600.0},
      {&UnitFlags::HeightInKm, 1, kColH, 1000.0},      {&UnitFlags::RangeInKm, 1, kColX, 1000.0},
      {&UnitFlags::ThrustInKn, 1, kColThrust, 1000.0}, {&UnitFlags::MassInTonnes, 1, kColMass, 1000.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Column);
    UnitFlags units{};
    units.*c.Flag = c.Value;
    const std::string text = TableCsvText(*table, units, 3);
    EXPECT_EQ(text.substr(0, text.find('\n')), kHeader);
    ExpectSameBits(*table, ParseCsv(text), {{c.Column, c.Factor}});
  }
  // The columns that no computation fills are not there at all.
  EXPECT_EQ(ExportedColumns().size(), 22u);
  for (const int c :
       {kColZero5, kColZero6, kColZero8, kColZero11, kColAuftriebEps, kColZero18, kColVolumen, kColAuftrieb})
    EXPECT_EQ(kColumns[static_cast<std::size_t>(c)].Csv, "") << c;
}

TEST_F(TableCsvTest, ExtremeNumbersKeepEveryBitInTheShortestText) {
  auto table = std::make_unique<TrajectoryTable>();
  table->Elements.fill(0.0);
  table->RowsPerColumn = 13;
  const double values[] = {0.1,
                           1.0 / 3.0,
                           -0.0,
                           1e-9,
                           5e-324,
                           -2.2250738585072014e-308,
                           std::numeric_limits<double>::max(),
                           -1e300,
                           12345678.901234567,
                           2.5,
                           101325.0,
                           1e21,
                           123456789012345680.0};
  int i = 0;
  for (int row = 1; row <= table->RowsPerColumn; ++row)
    for (int c = 0; c < TrajectoryTable::kColumns; ++c) table->Cell(c, row) = values[i++ % std::size(values)];
  const std::string text = TableCsvText(*table, UnitFlags{}, table->RowsPerColumn);
  ExpectSameBits(*table, ParseCsv(text));

  // Shortest round trip, not a fixed count of digits; '.' and no thousands separators.
  table->Cell(0, 1) = 0.1;
  table->Cell(1, 1) = -0.0;
  table->Cell(2, 1) = 1e21;
  table->Cell(3, 1) = 101325.0;
  const std::string first = TableCsvText(*table, UnitFlags{}, table->RowsPerColumn);
  const std::string_view rows = std::string_view(first).substr(first.find('\n') + 1);
  const std::vector<std::string_view> row1 = Fields(rows.substr(0, rows.find('\n')));
  ASSERT_EQ(row1.size(), 22u);
  EXPECT_EQ(row1[0], "0.1");
  EXPECT_EQ(row1[1], "-0");
  EXPECT_EQ(row1[2], "1e+21");
  EXPECT_EQ(row1[3], "101325");
}

TEST_F(TableCsvTest, NonFiniteCellIsRefusedBeforeTheFileIsTouched) {
  auto table = std::make_unique<TrajectoryTable>();
  table->Elements.fill(1.0);
  table->RowsPerColumn = 500;
  table->Cell(17, 321) = std::numeric_limits<double>::infinity();
  const fs::path path = dir_ / "t.csv";
  EXPECT_THROW(WriteTableCsv(path, *table, UnitFlags{}, 500), FloatingPointError);
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(TableCsvTest, WriteFailuresThrowFileErrorWithThePlatformsMessage) {
  auto table = std::make_unique<TrajectoryTable>();
  table->Elements.fill(0.5);
  table->RowsPerColumn = 500;
  struct Case {
    fs::path Path;
    std::string Message;
  } const cases[] = {
      {dir_ / "missing" / "t.csv",
       "Cannot create \"" + (dir_ / "missing" / "t.csv").string() + "\": " + std::strerror(ENOENT)},
      {dir_, "Cannot create \"" + dir_.string() + "\": " + std::strerror(EISDIR)},
      // Opens, then every write fails: the disk is full.
      {"/dev/full", std::string("Cannot write \"/dev/full\": ") + std::strerror(ENOSPC)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Path.string());
    if (c.Path == "/dev/full" && !fs::is_character_file(c.Path)) continue;  // not the full device here
    try {
      WriteTableCsv(c.Path, *table, UnitFlags{}, 500);
      ADD_FAILURE() << "no error";
    } catch (const FileError& e) {
      EXPECT_EQ(std::string(e.what()), c.Message);
    }
  }
}

}  // namespace
}  // namespace zarn
