// The CSV's longest possible row: every cell a number whose shortest exact text is as wide as a
// double's can be (a sign, 17 digits, a point and a three-digit exponent: 24 characters).
#include <gtest/gtest.h>

#include <charconv>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "flight/columns.h"
#include "output/table_csv.h"
#include "records/flight_data.h"
#include "tests/support/scratch.h"

namespace zarn {
namespace {

TEST(CsvLongestRow, EveryRowOfTheWidestNumbersIsWrittenWholeAndReadsBack) {
  const std::string_view widest[] = {"-1.2345678901234568e-300", "-2.2250738585072014e-308",
                                     "-1.7976931348623157e+308"};
  auto table = std::make_unique<TrajectoryTable>();
  table->RowsPerColumn = 500;
  std::string row;
  for (int c = 0; c < TrajectoryTable::kColumns; ++c) {
    const std::string_view text = widest[c % 3];
    ASSERT_EQ(text.size(), 24u);
    double value = 0;
    ASSERT_EQ(std::from_chars(text.data(), text.data() + text.size(), value).ec, std::errc{});
    char shortest[32];
    ASSERT_EQ(std::string_view(shortest, std::to_chars(shortest, shortest + 32, value).ptr), text)
        << "not the shortest text of its value";
    for (int r = 1; r <= 500; ++r) table->Cell(c, r) = value;
    if (kColumns[static_cast<std::size_t>(c)].Csv.empty()) continue;  // not exported
    row.append(row.empty() ? "" : ",").append(text);
  }
  ASSERT_EQ(row.size(), 22u * 25u - 1u);

  test_support::ScratchDir scratch{"zarn_csv_row"};
  const auto path = scratch.path() / "widest.csv";
  WriteTableCsv(path, *table, UnitFlags{}, 500);
  const std::string text = test_support::ReadFile(path);
  // The last 500 lines are the rows, whatever header stands above them.
  std::vector<std::string_view> lines;
  for (std::size_t end = text.size(); lines.size() < 500 && end > 0;) {
    ASSERT_EQ(text[end - 1], '\n');
    const std::size_t start = text.rfind('\n', end - 2) + 1;  // npos + 1 == 0
    lines.emplace_back(text.data() + start, end - 1 - start);
    end = start;
  }
  ASSERT_EQ(lines.size(), 500u);
  for (std::size_t i = 0; i < lines.size(); ++i) ASSERT_EQ(lines[i], row) << "row " << 500 - i;
}

}  // namespace
}  // namespace zarn
