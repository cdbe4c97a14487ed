// Parameter files: what a user types, what a saved file holds, and every way a file is refused.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "input/param_file.h"
#include "output/param_writer.h"
#include "tests/support/scratch.h"

namespace zarn {
namespace {

using test_support::ScratchDir;

TEST(ParamFile, ReadsNamesCommentsAndBlankLinesIntoTheirSlots) {
  const PresetRecordSlots r = ParseParamText(
      "# a rocket\n\n  TaskKind = 8   # rocket\nV0=+12.5\r\nMt2 = 1e3\nS3 = -0.25\n", "rocket.zarn");
  PresetRecordSlots expected{};
  expected[kSlotTaskKind] = 8;
  expected[kSlotV0] = 12.5;
  expected[StageSlotOf(2, kStageFuelMass)] = 1000;
  expected[StageSlotOf(3, kStageArea)] = -0.25;
  EXPECT_EQ(r, expected);
}

TEST(ParamFile, RefusesEachFaultWithFileLineAndReason) {
  const struct {
    const char* Text;
    const char* Message;
  } kCases[] = {
      {"H0 = 1\n\nVo = 3\n", "rocket.zarn:3: unknown parameter 'Vo' (did you mean 'V0'?)"},
      {"Shcub = 3\n", "rocket.zarn:1: unknown parameter 'Shcub' (did you mean 'Schub'?)"},
      {"Frobnicate = 3\n", "rocket.zarn:1: unknown parameter 'Frobnicate'"},
      {"V0 = 1,5\n", "rocket.zarn:1: the value of V0, '1,5', is not a number (the decimal separator is '.')"},
      {"V0 =\n", "rocket.zarn:1: the value of V0, '', is not a number (the decimal separator is '.')"},
      {"V0 = 1e999\n",
       "rocket.zarn:1: the value of V0, '1e999', is not a number (the decimal separator is '.')"},
      {"Cx = 1\n# note\nCx = 2\n", "rocket.zarn:3: Cx is given twice (first on line 1)"},
      {"V0 12\n", "rocket.zarn:1: expected NAME = VALUE, not 'V0 12'"},
      // Control bytes are shown, never sent to the user's terminal as they are.
      {"V0\t12\n", "rocket.zarn:1: expected NAME = VALUE, not 'V0\\t12'"},
      {"V0 = 1\x01\n",
       "rocket.zarn:1: the value of V0, '1\\x01', is not a number (the decimal separator is '.')"},
      {"\x1b[2JV0 = 1\n", "rocket.zarn:1: unknown parameter '\\x1b[2JV0'"},
      {"V0 = 1\x7f\n",
       "rocket.zarn:1: the value of V0, '1\\x7f', is not a number (the decimal separator is '.')"},
  };
  for (const auto& c : kCases) {
    try {
      ParseParamText(c.Text, "rocket.zarn");
      ADD_FAILURE() << "accepted: " << c.Text;
    } catch (const ParamFileError& e) {
      EXPECT_EQ(std::string(e.what()), c.Message);
    }
  }
}

// Editors end lines in LF, CR LF or (old Mac ones) a CR alone, and some start a UTF-8 file with a
// byte order mark: each reads alike, and a message counts lines however they end.
TEST(ParamFile, EveryKindOfLineEndAndALeadingBomReadAlike) {
  const struct {
    const char* Name;
    const char* Bom;
    const char* End;
  } kKinds[] = {
      {"LF", "", "\n"},
      {"CR LF", "", "\r\n"},
      {"CR", "", "\r"},
      {"BOM, LF", "\xEF\xBB\xBF", "\n"},
      {"BOM, CR LF", "\xEF\xBB\xBF", "\r\n"},
      {"BOM, CR", "\xEF\xBB\xBF", "\r"},
  };
  const auto text = [](const auto& kind, std::initializer_list<const char*> lines) {
    std::string t = kind.Bom;
    for (const char* line : lines) t.append(line).append(kind.End);
    return t;
  };
  PresetRecordSlots expected{};
  expected[kSlotTaskKind] = 1;
  expected[kSlotDt0] = 0.01;
  expected[kSlotV0] = 12.5;
  for (const auto& kind : kKinds) {
    SCOPED_TRACE(kind.Name);
    EXPECT_EQ(
        ParseParamText(text(kind, {"TaskKind = 1", "# a comment", "", "dt0 = 0.01", "V0 = 12.5"}), "a.zarn"),
        expected);
    try {
      ParseParamText(text(kind, {"# first", "", "dt0 = 0.01", "Vo = 3"}), "a.zarn");
      ADD_FAILURE() << "accepted";
    } catch (const ParamFileError& e) {
      EXPECT_EQ(std::string(e.what()), "a.zarn:4: unknown parameter 'Vo' (did you mean 'V0'?)");
    }
  }
}

TEST(ParamFile, SavedFileReadsBackToTheSameDoublesAndNamesEverySlot) {
  ScratchDir dir("param_file");
  PresetRecordSlots record{};
  double v = 0.1;
  for (const ParamName& p : kParamNames) record[static_cast<std::size_t>(p.Slot)] = (v *= -1.7);
  record[kSlotDt0] = std::nextafter(0.001, 1.0);  // the last bit must survive
  WriteParamFile(dir.path() / "all.zarn", record);
  EXPECT_EQ(ReadParamFile(dir.path() / "all.zarn"), record);
  const std::string text = test_support::ReadFile(dir.path() / "all.zarn");
  for (const ParamName& p : kParamNames) {
    std::string line("\n");
    line.append(p.Name).append(" = ");
    EXPECT_NE(text.find(line), std::string::npos) << p.Name;
  }
  EXPECT_NE(text.find("# [m/s] initial speed"), std::string::npos);
}

TEST(ParamFile, MissingFileGivesThePlatformsMessage) {
  try {
    ReadParamFile("/nonexistent/rocket.zarn");
    ADD_FAILURE();
  } catch (const ParamFileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open \"/nonexistent/rocket.zarn\": No such file or directory");
  }
}

}  // namespace
}  // namespace zarn
