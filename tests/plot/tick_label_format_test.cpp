// The tick labels' number format F(value, P): P significant digits, halves away from zero,
// trailing zeros dropped, fixed notation from 1E-4 up to below 10^P, else scientific.
#include <gtest/gtest.h>

#include "flight/number_text.h"
#include "plot/clear_style.h"

namespace zarn {
namespace {

struct Case {
  double Value;
  int Digits;
  const char* Text;
};

TEST(TickLabelFormat, MatchesTheTableOfExamples) {
  const Case cases[] = {
      {12345, 4, "1.235E4"},
      {12345, 3, "1.23E4"},
      {10000, 4, "1E4"},
      {0.00005, 3, "5E-5"},
      {2.5, 4, "2.5"},
      {0.0001, 4, "0.0001"},
      {1000, 4, "1000"},
      {9999.6, 4, "1E4"},
      {770.0000000000001, 4, "770"},
      {0.15714285714285714, 4, "0.1571"},
      {12.5, 3, "12.5"},
      {0, 4, "0"},
      {-0.0, 3, "0"},
      {125, 2, "1.3E2"},
      {0.000123456, 3, "0.000123"},
      {-37.5, 3, "-37.5"},
      {123456789, 4, "1.235E8"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatGeneral(c.Value, c.Digits, '.'), c.Text) << c.Value << " " << c.Digits;
}

TEST(TickLabelFormat, UsesTheGivenDecimalSeparator) {
  EXPECT_EQ(FormatGeneral(2.5, 4, ','), "2,5");
  EXPECT_EQ(FormatGeneral(12345, 4, ','), "1,235E4");
  EXPECT_EQ(FormatGeneral(1000, 4, ','), "1000");
}

TEST(TickLabelFormat, AxisLabelsTakeASeparatorBeyondAscii) {
  EXPECT_EQ(TickLabel(2.5, 0.5, 0, QChar(0x066B)), QStringLiteral("2\u066B5"));
  EXPECT_EQ(TickLabel(-1250, 50, 3, QChar(0x066B)), QStringLiteral("\u22121\u066B25"));
  EXPECT_EQ(TickLabel(3, 1, 0, QChar(0x066B)), QStringLiteral("3"));
}

}  // namespace
}  // namespace zarn
