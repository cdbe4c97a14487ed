// The few-samples note's suggested step: the sample interval cut to two significant digits of its
// shortest decimal text, downward, whatever the number of digits it has.
#include "output/run_note.h"

#include <gtest/gtest.h>

namespace zarn {
namespace {

TEST(RunNote, TheSuggestedStepKeepsItsSecondDigit) {
  const struct {
    double Interval;  //!< [s]
    const char* Step;
  } cases[] = {
      {0.0024, "0.0024"},                       // two digits exactly: kept as they are
      {0.00248, "0.0024"},                      // three: the third cut, never rounded up
      {0.0029999, "0.0029"}, {0.003, "0.003"},  // one digit
      {2.75e-5, "2.7E-5"},                      // small
      {31.5, "31"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Step);
    RunResult run{};
    run.Table.RowsPerColumn = 500;
    run.Summary.SamplesStored = 10;
    run.Summary.StepsPerPass = 10;
    run.Summary.SampleInterval = c.Interval;
    EXPECT_EQ(FewSamplesNote(run, '.'),
              std::string("10 of 500 samples: the flight took 10 steps; a step of ") + c.Step +
                  " s or less fills all 500");
  }
}

}  // namespace
}  // namespace zarn
