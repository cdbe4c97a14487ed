#include "output/step_pipeline.h"

#include <sched.h>
#include <sys/uio.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "records/errors.h"

namespace zarn {
namespace {

enum class BlockState : uint8_t { Free, Filled, Formatting, Formatted };

// Blocks written with one call: about a megabyte.
constexpr std::size_t kBlocksPerWrite = 4;
// The caller wakes a sleeping writer once this many blocks wait for it, and formats waiting blocks
// itself while the writer, at work, has this many and more to format.
constexpr uint64_t kWakeBatch = 3;
constexpr uint64_t kHelpFrom = 4;
static_assert(kBlocksPerWrite <= OutputFile::kMaxPieces);

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Whether this thread may run on more than one core (taskset, cpusets).
bool MayUseTwoCores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) != 0) return true;
  return CPU_COUNT(&set) > 1;
}

}  // namespace

// Block k of the file lives in blocks[k % kBlocks]; Written <= every block in use < Handed.
struct StepPipeline::Shared {
  // Each block's state on its own cache lines, apart from the counters, so that handing over one
  // block does not take from the other thread a line it is reading for another block.
  struct alignas(64) Block {
    // Pages that the records never reach are never touched.
    std::unique_ptr<uint64_t[]> Words{
        std::make_unique_for_overwrite<uint64_t[]>(kRecordsPerBlock * kMaxRecordWords)};
    // Pages that the text never reaches are never touched.
    std::unique_ptr<char[]> Text{std::make_unique_for_overwrite<char[]>((kRecordsPerBlock + 1) * kLineRoom)};
    std::size_t Count = 0;  // records
    std::size_t Bytes = 0;  // of text, once formatted
    BlockState State = BlockState::Free;
  };

  std::mutex Mutex;
  // Each thread sleeps on a variable of its own and is woken only while it sleeps: a wake of a
  // sleeping core is a system call on one side and a switch on the other, and on a virtual machine
  // the signal between the cores is dearer still, so the caller wakes the writer once for
  // kWakeBatch blocks, not for every block.
  std::condition_variable WriterWake;
  std::condition_variable CallerWake;
  bool WriterAsleep = false;
  bool WriterRunning = false;  // awake and on a core: woken, it may wait a while for one
  bool CallerAsleep = false;
  std::array<Block, kBlocks> Blocks;
  alignas(64) uint64_t Handed = 0;  // blocks handed over
  // Blocks taken for formatting. Every formatting takes the oldest waiting block, so the waiting
  // ones are those from max(Claimed, Written) to Handed: no look at the other blocks' states. On
  // Handed's line: the thread that claims a block has just read Handed.
  uint64_t Claimed = 0;
  alignas(64) uint64_t Written = 0;  // blocks written, or dropped after a failure
  std::string Failure;               // the first failure; nothing is written after it
  int64_t BusyNs = 0;                // [ns] the writer has worked, not slept, since the file opened
  bool Finishing = false;            // the writer ends once everything handed over is written
  bool Abandon = false;              // the writer ends at once
  std::thread Thread;

  Block& Of(uint64_t k) { return Blocks[k % kBlocks]; }

  // Blocks handed over and waiting to be formatted.
  uint64_t Waiting() const { return Handed - std::max(Claimed, Written); }

  // Wakes the writer if it sleeps; with the lock held, which stays held, so that no one's look at
  // the blocks goes stale meanwhile.
  void WakeWriter() {
    if (!WriterAsleep) return;
    WriterAsleep = false;
    WriterWake.notify_one();
  }

  // Formats the oldest waiting block, with the mutex released meanwhile; false when none waits. A
  // writer asleep meanwhile is woken to write it.
  bool FormatOne(std::unique_lock<std::mutex>& lock, StepFormatter format) {
    if (Waiting() == 0) return false;
    const uint64_t k = std::max(Claimed, Written);
    Claimed = k + 1;
    Block& b = Of(k);
    b.State = BlockState::Formatting;
    lock.unlock();
    const char* end = format(b.Words.get(), b.Count, b.Text.get());
    lock.lock();
    b.Bytes = static_cast<std::size_t>(end - b.Text.get());
    b.State = BlockState::Formatted;
    WakeWriter();
    return true;
  }

  // The caller waits for the writer to write: wakes it, and formats a waiting block meanwhile or
  // sleeps until the writer has written something; returns the time [ns] it slept.
  int64_t CallerWaits(std::unique_lock<std::mutex>& lock, StepFormatter format) {
    WakeWriter();
    if (FormatOne(lock, format)) return 0;
    const int64_t start = NowNs();
    CallerAsleep = true;
    CallerWake.wait(lock, [this] { return !CallerAsleep; });
    return NowNs() - start;
  }

  // Ends the writer thread, at once or once everything handed over is written, and waits for it.
  void End(bool abandon) {
    if (!Thread.joinable()) return;
    {
      std::lock_guard lock(Mutex);
      Finishing = true;
      Abandon = Abandon || abandon;
      WriterAsleep = false;
    }
    WriterWake.notify_one();
    Thread.join();
  }

  // The writer thread: writes the formatted blocks in order, formats waiting ones meanwhile.
  void Run(OutputFile& file, StepFormatter format) {
    std::unique_lock lock(Mutex);
    WriterRunning = true;
    int64_t since = NowNs();
    auto worked = [&] {
      const int64_t now = NowNs();
      BusyNs += now - since;
      since = now;
    };
    while (!Abandon) {
      if (Written < Handed && (Of(Written).State == BlockState::Formatted ||
                               (!Failure.empty() && Of(Written).State == BlockState::Filled))) {
        std::array<iovec, kBlocksPerWrite> pieces{};
        int count = 0;
        for (uint64_t k = Written; k < Handed && count < static_cast<int>(pieces.size()); ++k, ++count) {
          Block& b = Of(k);
          if (b.State != BlockState::Formatted && !(b.State == BlockState::Filled && !Failure.empty())) break;
          pieces[static_cast<std::size_t>(count)] = {b.Text.get(), b.Bytes};
        }
        if (Failure.empty()) {
          lock.unlock();
          std::string failure;
          try {
            failure = file.Write(pieces.data(), count);
          } catch (const std::exception& e) {  // no memory for the message
            failure = e.what();
          }
          lock.lock();
          if (Failure.empty()) Failure = std::move(failure);
        }
        for (int i = 0; i < count; ++i) Of(Written + static_cast<uint64_t>(i)).State = BlockState::Free;
        worked();  // before the caller can see the blocks written
        Written += static_cast<uint64_t>(count);
        if (CallerAsleep) {
          CallerAsleep = false;
          CallerWake.notify_one();
        }
        continue;
      }
      if (Failure.empty() && FormatOne(lock, format)) continue;
      if (Finishing && Written == Handed) return;
      worked();
      WriterAsleep = true;
      WriterRunning = false;
      WriterWake.wait(lock, [this] { return !WriterAsleep; });
      WriterRunning = true;
      since = NowNs();
    }
  }
};

StepPipeline::StepPipeline(StepFormatter format) : format_(format) {}

StepPipeline::~StepPipeline() {
  CloseSilently();
}

void StepPipeline::Open(const std::filesystem::path& path) {
  if (file_.IsOpen()) Close();
  if (!shared_) shared_ = std::make_unique<Shared>();
  Shared& sh = *shared_;
  sh.Handed = sh.Claimed = sh.Written = 0;
  sh.Failure.clear();
  sh.Finishing = sh.Abandon = false;
  sh.WriterAsleep = sh.WriterRunning = sh.CallerAsleep = false;
  sh.BusyNs = 0;
  for (auto& b : sh.Blocks) b.State = BlockState::Free;
  file_.Open(path);
  fill_ = 0;
  at_ = sh.Blocks[0].Words.get();
  count_ = 0;
  limit_ = kFirstRecordsPerBlock;
  records_total_ = 0;
  ways_.Reset();
  window_left_ = ways_.Current().Blocks;
  window_records_ = 0;
  window_start_ = NowNs();
  writer_mark_ = 0;
}

void StepPipeline::WriteInline(std::size_t block) {
  Shared::Block& b = shared_->Blocks[block];
  const char* end = format_(b.Words.get(), b.Count, b.Text.get());
  const iovec piece{b.Text.get(), static_cast<std::size_t>(end - b.Text.get())};
  if (std::string failure = file_.Write(&piece, 1); !failure.empty()) {
    {
      // An idle writer thread still looks at the failure whenever it wakes.
      std::lock_guard lock(shared_->Mutex);
      shared_->Failure = std::move(failure);
    }
    Fail();
  }
}

void StepPipeline::HandOver(bool last) {
  if (!file_.IsOpen()) file_.ThrowClosed();
  Shared& sh = *shared_;
  sh.Blocks[fill_].Count = count_;
  records_total_ += count_;
  window_records_ += count_;
  limit_ = ways_.Warm() ? kRecordsPerBlock
                        : std::clamp<std::size_t>(static_cast<std::size_t>(records_total_ / 128),
                                                  kFirstRecordsPerBlock, kRecordsPerBlock);
  const StepWays::Window& window = ways_.Current();
  if (window.Goes == StepWays::kOwn) {
    if (count_ > 0) WriteInline(fill_);
    count_ = 0;
    at_ = sh.Blocks[fill_].Words.get();
  } else {
    HandOverShared(last);
    if (window.Trial && !window.Warming && ways_.Cost(StepWays::kOwn) > 0 && window_left_ > 1 &&
        static_cast<double>(NowNs() - window_start_) >
            2 * ways_.Cost(StepWays::kOwn) * static_cast<double>(window_records_)) {
      // A trial twice as slow as the own way ends at once: on a busy machine the writer thread may
      // wait a whole time slice for a core, and a long trial would keep this thread waiting too.
      window_left_ = 1;
    }
  }
  if (!last && --window_left_ == 0) EndWindow();
}

// Notes the time a record took in the window just ended and begins the next. The shared way's
// time is that of the busier thread: this one's, but for its sleep while the writer finishes the
// window's last blocks, or the writer's time awake. Neither counts the writer's wake nor the
// window's tail, costs that a stretch pays once and a trial as often as a stretch, so that a trial
// of a few blocks measures what a stretch of it would take.
void StepPipeline::EndWindow() {
  Shared& sh = *shared_;
  double spent = 0;  // [ns]
  if (ways_.Current().Goes == StepWays::kShared) {
    const auto [slept, writer] = Drain();
    spent = std::max(static_cast<double>(NowNs() - window_start_ - slept),
                     static_cast<double>(writer - writer_mark_));
    writer_mark_ = writer;
  } else {
    spent = static_cast<double>(NowNs() - window_start_);
  }
  const double cost = window_records_ > 0 ? spent / static_cast<double>(window_records_) : 0;
  if (ways_.Next(cost, records_total_, MayUseTwoCores()).Goes == StepWays::kShared && !sh.Thread.joinable()) {
    try {
      sh.Thread = std::thread([this] { shared_->Run(file_, format_); });
    } catch (const std::system_error&) {  // no thread to be had: this one writes, and tries again later
      ways_.NoThread();
    }
  }
  if (ways_.Warm()) limit_ = kRecordsPerBlock;
  window_left_ = ways_.Current().Blocks;
  window_records_ = 0;
  window_start_ = NowNs();
}

// Waits, formatting meanwhile, until the writer has written every block handed over; returns the
// time [ns] it slept and the writer's time awake since the file opened.
std::pair<int64_t, int64_t> StepPipeline::Drain() {
  Shared& sh = *shared_;
  std::unique_lock lock(sh.Mutex);
  int64_t slept = 0;
  while (sh.Written < sh.Handed && sh.Failure.empty()) slept += sh.CallerWaits(lock, format_);
  if (!sh.Failure.empty()) {
    lock.unlock();
    Fail();
  }
  return {slept, sh.BusyNs};
}

void StepPipeline::HandOverShared(bool last) {
  Shared& sh = *shared_;
  Shared::Block& block = sh.Blocks[fill_];
  std::unique_lock lock(sh.Mutex);
  if (!sh.Failure.empty()) {
    lock.unlock();
    Fail();
  }
  if (count_ > 0) {
    block.State = BlockState::Filled;
    ++sh.Handed;
    if (sh.Waiting() >= kWakeBatch) sh.WakeWriter();
  }
  count_ = 0;
  if (last) return;
  // The writer, at work, falls behind: take some of its formatting.
  while (sh.WriterRunning && sh.Waiting() >= kHelpFrom && sh.FormatOne(lock, format_)) {
  }
  // The next block is free once the writer has written what it held.
  fill_ = (fill_ + 1) % kBlocks;
  while (sh.Blocks[fill_].State != BlockState::Free && sh.Failure.empty()) {
    sh.CallerWaits(lock, format_);
  }
  if (!sh.Failure.empty()) {
    lock.unlock();
    Fail();
  }
  at_ = sh.Blocks[fill_].Words.get();
}

// Hands over the last records and waits, formatting meanwhile, until everything is written or a
// failure stops the writer; then ends the thread.
void StepPipeline::Finish(bool report) {
  HandOver(/*last=*/true);
  Shared& sh = *shared_;
  if (!sh.Thread.joinable()) return;  // nothing was ever handed over
  bool failed = false;
  {
    std::unique_lock lock(sh.Mutex);
    while (sh.Written < sh.Handed && sh.Failure.empty()) {
      sh.CallerWaits(lock, format_);
    }
    failed = !sh.Failure.empty();
  }
  sh.End(/*abandon=*/failed);
  if (report && failed) Fail();
}

void StepPipeline::Close() {
  if (!file_.IsOpen()) {
    file_.Close();  // throws an earlier failure again
    return;
  }
  Finish(/*report=*/true);
  Closed();
  file_.Close();
}

void StepPipeline::CloseSilently() noexcept {
  if (file_.IsOpen()) {
    try {
      Finish(/*report=*/false);
    } catch (const Error&) {  // a failed write in this thread: what it kept stays
    }
  }
  if (shared_) shared_->End(/*abandon=*/true);
  Closed();
  file_.CloseSilently();
}

void StepPipeline::Closed() noexcept {
  at_ = nullptr;
  count_ = limit_ = 0;
}

// Ends the writer at once and closes the file with the failure, which later uses report again.
void StepPipeline::Fail() {
  Shared& sh = *shared_;
  sh.End(/*abandon=*/true);
  Closed();
  file_.Fail(sh.Failure);
}

}  // namespace zarn
