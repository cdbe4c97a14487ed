#pragma once
// The step file's lines kept as records of their numbers, in blocks, and turned into text and
// written either on the caller's thread (its own way) or by a writer thread that writes the blocks
// in order and formats waiting ones whenever it has nothing to write, the caller formatting too
// while it falls behind (the shared way). The shared way gains a core while the two cores are near
// each other, but every record it moves is a cache line written by one core and read by the other:
// when the host keeps the cores apart that costs more than formatting on the caller's thread, and
// on one core it is only overhead. So the pipeline measures the time a record takes both ways, in
// windows of blocks, and StepWays keeps to the faster one. A block's text does not depend on the
// block before it, so the bytes are those of formatting every record in order, whichever way each
// block went.
//
// Error rules: those of OutputFile. A failure of the writer thread (a write, the disk guard) is
// reported at the caller's next hand-over or at Close; nothing after it is written, everything
// before it is. A file goes its own way until it has some 7 MB, so that a file of a few lines needs
// no thread. The thread has ended when Close or CloseSilently returns.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <utility>

#include "output/file_sink.h"
#include "output/step_ways.h"

namespace zarn {

// A record is a run of 64-bit words whose meaning belongs to the formatter; it takes at most
// kMaxRecordWords of them.
inline constexpr std::size_t kMaxRecordWords = 17;

// Writes `count` records that start at `words` as text at `out`, which has room for kLineRoom
// bytes a record; returns the end of the text. It runs on either thread and must not fail: the
// records hold only numbers that can be written.
using StepFormatter = char* (*)(const uint64_t* words, std::size_t count, char* out) noexcept;

class StepPipeline {
 public:
  // A block takes at most kRecordsPerBlock records (about a quarter of a megabyte of text); at first it
  // takes fewer, about a 128th of the file so far, so that a short file touches few pages of memory,
  // each of which costs a page fault the first time.
  static constexpr std::size_t kRecordsPerBlock = 1024;
  static constexpr std::size_t kFirstRecordsPerBlock = 256;
  static constexpr std::size_t kBlocks = 8;

  explicit StepPipeline(StepFormatter format);
  ~StepPipeline();  // keeps what can still be written, reports nothing
  StepPipeline(const StepPipeline&) = delete;
  StepPipeline& operator=(const StepPipeline&) = delete;

  // See OutputFile.
  void GuardSpace(SpaceProbe probe) { file_.GuardSpace(std::move(probe)); }
  void Open(const std::filesystem::path& path);
  bool IsOpen() const noexcept { return file_.IsOpen(); }

  // Room for the next record (kMaxRecordWords words); Commit(end) takes the words up to `end` into
  // the file. Throws FileError once the file has failed or is closed. While closed,
  // count_ == limit_ == 0, so that the check lands in HandOver, which reports it; the hot path
  // needs no test of its own.
  uint64_t* Next() {
    if (count_ == limit_) [[unlikely]]
      HandOver(/*last=*/false);
    return at_;
  }
  void Commit(uint64_t* end) noexcept {
    at_ = end;
    ++count_;
  }

  // Writes every record and closes; throws FileError on failure. Safe when nothing is open.
  void Close();
  // Keeps what can still be written and releases the file; reports nothing.
  void CloseSilently() noexcept;

 private:
  struct Shared;  // the blocks and the writer thread

  void HandOver(bool last);
  void HandOverShared(bool last);
  void WriteInline(std::size_t block);
  std::pair<int64_t, int64_t> Drain();
  void EndWindow();
  void Finish(bool report);
  [[noreturn]] void Fail();

  const StepFormatter format_;
  OutputFile file_;
  std::unique_ptr<Shared> shared_;
  void Closed() noexcept;

  uint64_t* at_ = nullptr;      // where the next record goes
  std::size_t count_ = 0;       // records in the block being filled
  std::size_t limit_ = 0;       // records it may take
  uint64_t records_total_ = 0;  // records handed over so far
  std::size_t fill_ = 0;        // the block being filled

  // The choice of way, kept by the caller's thread alone. A window is a run of blocks one way; its
  // time per record is measured from its start until its last block is written.
  StepWays ways_{kBlocks};
  std::size_t window_left_ = 0;  // blocks still to hand over in this window
  uint64_t window_records_ = 0;  // handed over in it so far
  int64_t window_start_ = 0;     // [ns] of the steady clock
  int64_t writer_mark_ = 0;      // [ns] the writer's time awake when the window began
};

}  // namespace zarn
