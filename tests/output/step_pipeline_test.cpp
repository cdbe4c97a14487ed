// The step file's two ways on real threads, each measured by the pipeline itself: a formatter that
// costs more on the caller's thread than on the other stands for a caller whose formatting is dear
// beside its work per record. The costs differ tenfold, so that other work of the machine cannot
// turn the choice; the choice window by window is followed in step_ways_test.cpp.
#include "output/step_pipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/support/scratch.h"
#include "tests/support/threads.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;

// [ns] a record costs: the caller's work before it, its formatting on the caller's thread and on
// any other.
std::atomic<int64_t> gWorkNs{0}, gCallerNs{0}, gOtherNs{0};
std::atomic<uint64_t> gOffThread{0};  // records formatted off the caller's thread
std::atomic<std::thread::id> gCaller;

void Spin(int64_t ns) {
  if (ns <= 0) return;
  const auto end = std::chrono::steady_clock::now() + std::chrono::nanoseconds(ns);
  while (std::chrono::steady_clock::now() < end) {
  }
}

char* FormatNumbers(const uint64_t* words, std::size_t count, char* out) noexcept {
  const bool caller = std::this_thread::get_id() == gCaller.load();
  if (!caller) gOffThread += count;
  for (std::size_t i = 0; i < count; ++i) {
    Spin(caller ? gCallerNs : gOtherNs);
    out += std::snprintf(out, 24, "%llu\n", static_cast<unsigned long long>(words[i]));
  }
  return out;
}

// Writes the records 0 .. count-1 and returns the share of them formatted off this thread.
double WriteCounting(const fs::path& path, uint64_t count) {
  gCaller = std::this_thread::get_id();
  gOffThread = 0;
  StepPipeline pipeline(FormatNumbers);
  pipeline.Open(path);
  for (uint64_t i = 0; i < count; ++i) {
    Spin(gWorkNs);
    uint64_t* at = pipeline.Next();
    *at = i;
    pipeline.Commit(at + 1);
  }
  pipeline.Close();
  return static_cast<double>(gOffThread.load()) / static_cast<double>(count);
}

std::string Counted(uint64_t count) {
  std::string text;
  for (uint64_t i = 0; i < count; ++i) text += std::to_string(i) + "\n";
  return text;
}

class StepPipelineWays : public ::testing::Test {
 protected:
  test_support::ScratchDir scratch_{"zarn_pipeline"};
};

// Formatting dear beside the caller's other work: from its first 32 768 records on, most of the
// file is formatted by the writer thread.
TEST_F(StepPipelineWays, TheWriterThreadFormatsMostOfTheFileWhenThatIsCheaper) {
  if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "needs two cores";
  constexpr uint64_t kRecords = 160000;  // some 125 blocks after the first 32 768 records
  gWorkNs = 500, gCallerNs = 2500, gOtherNs = 250;
  const fs::path path = scratch_.path() / "steps.txt";
  const double off = WriteCounting(path, kRecords);
  EXPECT_GE(off, 0.6);
  EXPECT_LE(off, 0.8);
  EXPECT_TRUE(test_support::ReadFile(path) == Counted(kRecords)) << "the file is not the records in order";
}

// Many windows of both ways, each ended by waiting for the writer thread, with records that cost
// next to nothing either way, so that the writer often finishes just as the caller begins to wait:
// no wake may be lost. A lost one leaves both threads asleep; the watch ends the test then.
TEST_F(StepPipelineWays, NoWakeIsLostBetweenTheThreads) {
  gWorkNs = 100, gCallerNs = 0, gOtherNs = 0;
  std::atomic<bool> done{false};
  std::thread watch([&] {
    for (int i = 0; i < 600 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!done) {
      std::fprintf(stderr, "the pipeline hangs: a wake between its threads was lost\n");
      std::_Exit(1);
    }
  });
  for (int i = 0; i < 40; ++i) WriteCounting("/dev/null", 200'000);
  done = true;
  watch.join();
}

TEST_F(StepPipelineWays, OnOneCoreNoThreadStarts) {
  gWorkNs = 500, gCallerNs = 2500, gOtherNs = 250;  // the shared way would win on two cores
  constexpr uint64_t kRecords = 60000;
  const fs::path path = scratch_.path() / "steps.txt";
  double off = -1;
  {
    test_support::OnOneCore pinned;
    off = WriteCounting(path, kRecords);
  }
  EXPECT_EQ(off, 0.0);
  EXPECT_TRUE(test_support::ReadFile(path) == Counted(kRecords));
}

}  // namespace
}  // namespace zarn
