#include <gtest/gtest.h>

#include "models/drag_law.h"

namespace zarn {
namespace {

constexpr double kUntouched = 0.77;  // a CxCur the law never gives

double DragAt(double mach, double aeroModel = 1.0) {
  double cx = kUntouched;
  V2DragCoefficient(aeroModel, mach, cx);
  return cx;
}

TEST(V2DragLaw, SubsonicBelowMach08IsConstant029EvenAtRestOrMovingBackwards) {
  for (double mach : {-1.0, -0.0, 0.0, 0.5, 0.79999}) {
    SCOPED_TRACE(mach);
    EXPECT_DOUBLE_EQ(DragAt(mach), 0.29);
  }
}

TEST(V2DragLaw, TransonicRisesLinearlyFromMach08) {
  EXPECT_NEAR(DragAt(0.8), 0.29, 1e-15);  // continuous where the first two pieces meet
  EXPECT_NEAR(DragAt(0.9), 0.39, 1e-15);
  EXPECT_NEAR(DragAt(1.0), 0.49, 1e-15);
  EXPECT_NEAR(DragAt(1.0679999), 0.558, 1e-6);
}

TEST(V2DragLaw, SupersonicFromMach1068FallsTowards0091) {
  EXPECT_NEAR(DragAt(1.068), 0.559165, 5e-7);
  EXPECT_GT(DragAt(1.068), DragAt(1.0679999));  // the law steps up slightly at 1.068
  EXPECT_NEAR(DragAt(2.0), 0.341, 1e-15);
  EXPECT_NEAR(DragAt(5.0), 0.191, 1e-15);
  EXPECT_NEAR(DragAt(1e6), 0.091, 1e-6);
}

// AeroModel is rounded to the nearest integer, halves to even; only 1 selects the law.
TEST(V2DragLaw, AeroModelRoundingToOneSelectsTheLawAnythingElseLeavesCxCur) {
  struct Case {
    double AeroModel;
    bool LawApplies;
  };
  for (const Case c :
       {Case{0.0, false}, Case{0.4, false}, Case{0.5, false}, Case{0.6, true}, Case{1.0, true},
        Case{1.4, true}, Case{1.5, false}, Case{1.6, false}, Case{2.0, false}, Case{-1.0, false}}) {
    SCOPED_TRACE(c.AeroModel);
    EXPECT_DOUBLE_EQ(DragAt(2.0, c.AeroModel), c.LawApplies ? 0.341 : kUntouched);
  }
}

}  // namespace
}  // namespace zarn
