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
// before it is. The first kInlineBytes of a file are formatted and written in the caller's thread:
// a file of a few megabytes gains less from a second thread than its start costs, above all when no
// core is free. The thread has ended when Close or CloseSilently returns.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "sim/file_sink.h"

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
// the end of the text.
using StepFormatter = char* (*)(const StepRecord* records, std::size_t count, char* out);

class StepPipeline {
 public:
  static constexpr std::size_t kRecordsPerBlock = 2048;  // about half a megabyte of text
  static constexpr std::size_t kBlocks = 8;
  static constexpr uint64_t kInlineBytes = uint64_t{2} << 20;

  explicit StepPipeline(StepFormatter format);
  ~StepPipeline();  // keeps what can still be written, reports nothing
  StepPipeline(const StepPipeline&) = delete;
  StepPipeline& operator=(const StepPipeline&) = delete;

  // See OutputFile.
  void GuardSpace(SpaceProbe probe) { file_.GuardSpace(std::move(probe)); }
  void Open(const std::filesystem::path& path);
  bool IsOpen() const noexcept { return file_.IsOpen(); }

  // The record to fill next; Commit() takes it into the file. Throws FileError once the file has
  // failed or is closed. While closed, count_ == kRecordsPerBlock, so that the check lands in
  // HandOver, which reports it; the hot path needs no test of its own.
  StepRecord& Next() {
    if (count_ == kRecordsPerBlock) [[unlikely]]
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
  StepRecord* records_ = nullptr;         // of the block being filled
  std::size_t count_ = kRecordsPerBlock;  // records in it
  std::size_t fill_ = 0;                  // the block being filled
  uint64_t inlineBytes_ = 0;              // [bytes] written in the caller's thread
};

}  // namespace zarn
