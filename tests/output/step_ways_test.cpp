// The choice of way followed window by window through a file of 2 000 whole blocks, with the time a
// record takes each way given: the windows it makes, written "o32" (own way, 32 blocks), "s12t" (shared
// way, a trial of 12), "s8w" (the shared way's first round of the 8 blocks), and the blocks each way
// carried.
#include "output/step_ways.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace zarn {
namespace {

constexpr uint64_t kRecordsPerBlock = 1024;

struct Followed {
  std::string Windows;  // the first ones
  uint64_t Own = 0, Shared = 0;
};

// `cost(way, block)`: [ns] a record of the window that starts at `block` takes that way.
Followed Follow(const std::function<double(StepWays::Way, uint64_t)>& cost, bool twoCores = true,
                uint64_t blocks = 2000, int shown = 12) {
  StepWays ways(8);
  Followed f;
  uint64_t block = 0;
  for (int n = 0; block < blocks; ++n) {
    const StepWays::Window w = ways.Current();
    if (n < shown) {
      // Appended piece by piece: g++ 12 warns (-Wrestrict) about chained string concatenation.
      if (!f.Windows.empty()) f.Windows += ' ';
      f.Windows += w.Goes == StepWays::kOwn ? 'o' : 's';
      f.Windows.append(std::to_string(w.Blocks)).append(w.Warming ? "w" : w.Trial ? "t" : "");
    }
    (w.Goes == StepWays::kOwn ? f.Own : f.Shared) += w.Blocks;
    const double c = cost(w.Goes, block);
    block += w.Blocks;
    ways.Next(c, block * kRecordsPerBlock, twoCores);
  }
  return f;
}

TEST(StepWays, TheFasterWayCarriesTheFileAndTheOtherIsTriedLessAndLessOften) {
  const Followed close =
      Follow([](StepWays::Way w, uint64_t) { return w == StepWays::kShared ? 50.0 : 65.0; });
  EXPECT_EQ(close.Windows, "o1 o32 s8w s12t s32 o4t s128 o4t s512 o4t s1024 o4t");
  EXPECT_EQ(close.Own, 33 + 4 * 4);

  const Followed apart =
      Follow([](StepWays::Way w, uint64_t) { return w == StepWays::kShared ? 120.0 : 65.0; });
  EXPECT_EQ(apart.Windows, "o1 o32 s8w s12t o32 s12t o128 s12t o512 s12t o1024 s12t");
  EXPECT_EQ(apart.Shared, 8 + 5 * 12);

  const Followed oneCore = Follow([](StepWays::Way, uint64_t) { return 65.0; }, /*twoCores=*/false);
  EXPECT_EQ(oneCore.Shared, 0U);
}

// The cores move apart at block 100, in a stretch of the shared way, and close again at block
// 2 000, in one of the own way: each time the trial after that stretch turns the way.
TEST(StepWays, TheWayFollowsTheCoresWhenTheyMove) {
  const Followed f = Follow(
      [](StepWays::Way w, uint64_t block) {
        const bool apart = block >= 100 && block < 2000;
        return w == StepWays::kOwn ? 65.0 : apart ? 120.0 : 50.0;
      },
      true, 4000, 40);
  EXPECT_EQ(
      f.Windows,
      "o1 o32 s8w s12t s32 o4t s128 o4t s512 o4t o32 s12t o128 s12t o512 s12t o1024 s12t s32 o4t s128 o4t "
      "s512 o4t s1024");
}

}  // namespace
}  // namespace zarn
