#pragma once
// Which way the step file's blocks go, window by window: formatted and written on the caller's
// thread (its own way) or handed to a writer thread (the shared way). Each window's time a record
// goes in; out comes the next window's way and length. The faster way goes for a stretch after a
// trial, the other way for a trial after a stretch, and a way not measured yet is tried first. The
// faster way's stretch grows fourfold while it keeps winning, so that trying the slower one costs a
// few per cent at first and less and less after: in a file of two thousand blocks it is tried five
// times. Other work of the machine only ever makes a window slower, so a trial counts with the
// faster of its last two; a stretch, long enough to be no accident, counts alone, so that a way
// that has become slower throughout its stretch gives way at its next trial. On one core there is
// nothing to try.
//
// The shared way is tried once the file has kSharedFrom records (some 7 MB), so that a file of a few
// lines needs no thread. Its first window goes once round the blocks and is not measured: it
// touches their memory for the first time, which costs a page fault every few records.
#include <array>
#include <cstddef>
#include <cstdint>

namespace zarn {

class StepWays {
 public:
  enum Way : int { kOwn, kShared };
  struct Window {
    Way Goes = kOwn;
    std::size_t Blocks = 1;
    bool Trial = false;    // it tries the way that lost last time, or one not measured yet
    bool Warming = false;  // the shared way's first round of the blocks, not measured
  };

  static constexpr uint64_t kSharedFrom = 32 * 1024;  // records
  static constexpr std::size_t kOwnTrial = 4;         // blocks
  static constexpr std::size_t kFirstStretch = 32;
  static constexpr std::size_t kLongestStretch = 1024;

  // `blocks`: how many blocks the shared way goes round. Its trial goes round them more than once,
  // or it would not see the cost of taking back blocks the writer has read.
  explicit StepWays(std::size_t blocks) : blocks_(blocks), sharedTrial_(blocks + 4) { Reset(); }

  // A new file: its first block goes its own way, unmeasured.
  void Reset();

  const Window& Current() const { return window_; }
  // Whether the shared way has begun: from then on every block is whole.
  bool Warm() const { return warm_; }

  // [ns] a record of `way` took: its last stretch, or the faster of its last two trials; 0 while
  // not measured.
  double Cost(Way way) const;

  // Ends the current window, whose records took `cost` [ns] each, and begins the next; `records`:
  // of the file so far; `twoCores`: whether this thread may use more than one core.
  const Window& Next(double cost, uint64_t records, bool twoCores);

  // The window just begun cannot go the shared way (no thread to be had): it goes its own way,
  // and the shared way is tried again after it.
  void NoThread();

 private:
  const std::size_t blocks_, sharedTrial_;
  Window window_;
  bool measured_ = false;            // the current window's time counts
  bool warm_ = false;                // the shared way has gone round the blocks once
  std::array<double, 2> cost_{};     // [ns] a record took the last time, each way
  std::array<double, 2> earlier_{};  // [ns] the time before
  std::size_t stretch_ = 0;          // blocks of the next stretch of the faster way
};

}  // namespace zarn
