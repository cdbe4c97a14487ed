#pragma once
// The step file's lines kept as records of their numbers, in blocks, and turned into text on
// whichever core has time for it. A writer thread writes the formatted blocks in order and formats
// the waiting ones whenever it has nothing to write; the caller formats waiting blocks too, once
// two or more wait. With a free core the formatting so goes to whichever side is ahead: mostly to
// the writer on a fast disk, mostly to the caller where writing is slow. With no core free the
// work is that of one thread. A block's text does not depend on the block before it, so the bytes
// are those of formatting every record in order.
//
// Error rules: those of OutputFile. A failure of the writer thread (a write, the disk guard) is
// reported at the caller's next hand-over or at Close; nothing after it is written, everything
// before it is. The first block of a file is formatted and written in the caller's thread and the
// writer thread starts after it, so that a file of a few lines needs no thread. The thread has
// ended when Close or CloseSilently returns.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "output/file_sink.h"

namespace zarn {

inline constexpr std::size_t kStepRecordValues = 16;

// One line, or one group of lines, of the step file.
struct StepRecord {
  enum class Kind : int32_t { Line, SampleMarker, ShortHeader, Opening };
  std::array<double, kStepRecordValues> Values;  // of a Line
  Kind What;
  int32_t Row;  // of a SampleMarker
};

// Writes `count` records as text at `out`, which has room for kLineRoom bytes a record; returns
// the end of the text. It runs on either thread and must not fail: the records hold only numbers
// that can be written.
using StepFormatter = char* (*)(const StepRecord* records, std::size_t count, char* out) noexcept;

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

  // The record to fill next; Commit() takes it into the file. Throws FileError once the file has
  // failed or is closed. While closed, count_ == limit_ == 0, so that the check lands in
  // HandOver, which reports it; the hot path needs no test of its own.
  StepRecord& Next() {
    if (count_ == limit_) [[unlikely]]
      HandOver(/*last=*/false);
    return records_[count_];
  }
  void Commit() noexcept { ++count_; }

  // Writes every record and closes; throws FileError on failure. Safe when nothing is open.
  void Close();
  // Keeps what can still be written and releases the file; reports nothing.
  void CloseSilently() noexcept;

 private:
  struct Shared;  // the blocks and the writer thread

  void HandOver(bool last);
  void WriteInline(std::size_t block);
  void Finish(bool report);
  [[noreturn]] void Fail();

  const StepFormatter format_;
  OutputFile file_;
  std::unique_ptr<Shared> shared_;
  void Closed() noexcept;

  StepRecord* records_ = nullptr;  // of the block being filled
  std::size_t count_ = 0;          // records in it
  std::size_t limit_ = 0;          // records it may take
  uint64_t records_total_ = 0;     // records handed over so far
  std::size_t fill_ = 0;           // the block being filled
};

}  // namespace zarn
