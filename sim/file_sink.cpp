#include "sim/file_sink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "records/errors.h"

namespace zarn {
int WriteAll(int fd, const char* p, std::size_t n) noexcept {
  for (const char* end = p + n; p < end;) {
    const ssize_t written = ::write(fd, p, static_cast<std::size_t>(end - p));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return written < 0 ? errno : EIO;
    p += written;
  }
  return 0;
}

namespace {

constexpr uint64_t kBytesPerMB = 1'000'000;

}  // namespace

std::string FileErrorText(const char* action, const std::filesystem::path& path, int error) {
  return std::string("Cannot ") + action + " \"" + path.string() +
         "\": " + std::system_category().message(error);
}

void WriteWholeFile(const std::filesystem::path& path, std::string_view bytes) {
  constexpr std::size_t kBufferBytes = 64 * 1024;
  auto buffer = std::make_unique_for_overwrite<char[]>(kBufferBytes);
  FileSink file(buffer.get(), kBufferBytes);
  file.Open(path);
  for (std::size_t at = 0; at < bytes.size(); at += kLineRoom) file.PutText(bytes.substr(at, kLineRoom));
  file.Close();
}

int CreateOrReplace(const std::filesystem::path& path, int* previous) {
  if (previous != nullptr) *previous = -1;
  struct stat old {};
  if (::lstat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode) && old.st_nlink == 1) {
    // The new file is made under a name of its own and renamed over the old one, so that the old
    // file stays whole should the new one not come about. A descriptor of the old file keeps its
    // contents past the rename, until it is closed.
    std::filesystem::path fresh = path;
    fresh += ".new-" + std::to_string(::getpid());
    const int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      const int held = previous != nullptr ? ::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC) : -1;
      if (::rename(fresh.c_str(), path.c_str()) == 0) {
        if (previous != nullptr) *previous = held;
        return fd;
      }
      ::close(fd);  // no rename here: replace in place below, which reports any error
      ::unlink(fresh.c_str());
      if (held >= 0) ::close(held);
    }
  }
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

bool FileSystemSpaceOf(int fd, FileSystemSpace& space) {
  struct statvfs fs {};
  if (::fstatvfs(fd, &fs) != 0 || fs.f_frsize == 0) return false;
  space.Available = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
  space.Size = static_cast<uint64_t>(fs.f_blocks) * fs.f_frsize;
  return true;
}

uint64_t SpaceReserve(const FileSystemSpace& space) {
  return std::max(space.Size / 1000 * kSpaceReservePerMille, kMinSpaceReserve);
}

// The buffers are filled and written in turn: piece k of the file goes into buffer k % count. The
// sink hands a piece over and goes on in the next buffer once the writer has written the piece that
// buffer held before, so that up to count - 1 pieces wait for the writer while the sink fills the
// next; a few of them even out the moments when one side is slower than the other.
struct FileSink::Writer {
  std::mutex Mutex;
  std::condition_variable Changed;
  std::array<std::size_t, kMaxBuffers> Bytes{};  // of the piece each buffer holds
  uint64_t Handed = 0;                           // pieces handed over
  uint64_t Written = 0;                          // pieces written (or skipped after a failure)
  int Error = 0;  // the first failed write's error; nothing is written after it
  bool Stop = false;
  std::thread Thread;

  void Run(int fd, char* const* buffers, std::size_t count) noexcept {
    std::unique_lock lock(Mutex);
    for (;;) {
      Changed.wait(lock, [&] { return Written < Handed || Stop; });
      if (Written == Handed) return;
      const auto buffer = static_cast<std::size_t>(Written % count);
      const char* data = buffers[buffer];
      const std::size_t bytes = Bytes[buffer];
      int error = Error;
      lock.unlock();
      if (error == 0) error = WriteAll(fd, data, bytes);
      lock.lock();
      Error = error;
      ++Written;
      // Woken after the unlock, the sink need not wait for the mutex as well.
      lock.unlock();
      Changed.notify_one();
      lock.lock();
    }
  }

  // Waits until everything handed over is written; returns the first failure so far.
  int Idle() {
    std::unique_lock lock(Mutex);
    Changed.wait(lock, [&] { return Written == Handed; });
    return Error;
  }

  // Hands over the piece of `bytes` in `buffer`, then waits until `next` (of `count`) is free;
  // returns the first failure so far, in which case nothing is handed over.
  int HandOver(std::size_t buffer, std::size_t bytes, std::size_t count) {
    std::unique_lock lock(Mutex);
    if (Error != 0) return Error;
    Bytes[buffer] = bytes;
    ++Handed;
    lock.unlock();
    Changed.notify_one();
    lock.lock();
    Changed.wait(lock, [&] { return Written + count > Handed; });  // the next buffer's piece is written
    return Error;
  }

  // Starts the thread for the file `fd`; false when the system has no thread to give, and the
  // sink then writes in the caller's thread.
  bool Start(int fd, char* const* buffers, std::size_t count) noexcept {
    Handed = Written = 0;
    Error = 0;
    Stop = false;
    try {
      Thread = std::thread([this, fd, buffers, count] { Run(fd, buffers, count); });
    } catch (const std::system_error&) {
      return false;
    }
    return true;
  }

  // Lets the writer finish what it was handed and waits for its end.
  void Join() noexcept {
    if (!Thread.joinable()) return;
    {
      std::lock_guard lock(Mutex);
      Stop = true;
    }
    Changed.notify_one();
    Thread.join();
  }
};

FileSink::FileSink(char* buffer, std::size_t capacity) noexcept
    : buffers_{buffer}, count_(1), capacity_(capacity) {}

FileSink::FileSink(char* buffers, std::size_t count, std::size_t capacity)
    : count_(std::clamp<std::size_t>(count, 1, kMaxBuffers)), capacity_(capacity) {
  for (std::size_t i = 0; i < count_; ++i) buffers_[i] = buffers + i * capacity;
  if (count_ > 1) writer_ = std::make_unique<Writer>();
}

FileSink::~FileSink() {
  CloseSilently();
}

void FileSink::GuardSpace(SpaceProbe probe) {
  probe_ = std::move(probe);
}

void FileSink::Open(const std::filesystem::path& path) {
  if (fd_ >= 0) Close();
  failure_.clear();
  path_ = path;
  int previous = -1;
  fd_ = CreateOrReplace(path, &previous);
  if (fd_ < 0) Fail("create", errno);
  ReleasePrevious(previous);
  struct stat st {};
  guarded_ = probe_ && ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
  unchecked_ = 0;  // the first write checks
  reserve_.reset();
  delivered_ = 0;
  current_ = 0;
  StartWindow();
}

void FileSink::Close() {
  if (fd_ < 0) {
    if (!failure_.empty()) throw FileError(failure_);
    return;  // nothing open
  }
  Deliver(/*last=*/true);
  if (writer_ && writer_->Thread.joinable()) {
    if (const int error = writer_->Idle(); error != 0) Fail("write", error);
    writer_->Join();
  }
  JoinReleaser();
  const int fd = std::exchange(fd_, -1);
  pos_ = flushAt_ = nullptr;
  if (::close(fd) != 0) Fail("close", errno);  // the descriptor is released even then
}

void FileSink::CloseSilently() noexcept {
  if (fd_ < 0) return;
  const char* data = buffers_[current_];
  if (pos_ > data) {
    const auto bytes = static_cast<std::size_t>(pos_ - data);
    if (writer_ && writer_->Thread.joinable()) {
      writer_->HandOver(current_, bytes, count_);
    } else {
      WriteAll(fd_, data, bytes);
    }
  }
  Release();
}

void FileSink::MakeRoom() {
  if (fd_ < 0) {
    if (!failure_.empty()) throw FileError(failure_);
    throw FileError(FileErrorText("write", path_, EBADF));  // never opened
  }
  Deliver(/*last=*/false);
}

void FileSink::Deliver(bool last) {
  char* const data = buffers_[current_];
  const auto bytes = static_cast<std::size_t>(pos_ - data);
  if (bytes == 0) return;
  if (guarded_) CheckSpace(bytes);
  if (writer_ && !last && !writer_->Thread.joinable() && delivered_ >= kInlineBytes &&
      !writer_->Start(fd_, buffers_.data(), count_)) {
    writer_.reset();
  }
  if (writer_ && writer_->Thread.joinable()) {
    current_ = (current_ + 1) % count_;  // free once HandOver returns
    if (const int error = writer_->HandOver((current_ + count_ - 1) % count_, bytes, count_); error != 0)
      Fail("write", error);
  } else if (const int error = WriteAll(fd_, data, bytes); error != 0) {
    Fail("write", error);
  }
  delivered_ += bytes;
  StartWindow();
}

void FileSink::StartWindow() noexcept {
  pos_ = buffers_[current_];
  const std::size_t window =
      std::clamp<std::size_t>(delivered_ / 32, std::min(kFirstWindow, capacity_), capacity_);
  flushAt_ = pos_ + window - kLineRoom;
}

void FileSink::CheckSpace(std::size_t bytes) {
  if (bytes <= unchecked_) {
    unchecked_ -= bytes;
    return;
  }
  FileSystemSpace space{};
  if (!probe_(fd_, space)) {  // a file system that does not tell: no guard
    guarded_ = false;
    return;
  }
  // The file that Open replaced is about to give its space back.
  if (!released_.load(std::memory_order_acquire)) space.Available += releasing_;
  // The free space does not yet show the buffers that the writer thread may still be writing.
  const uint64_t inFlight = writer_ && writer_->Thread.joinable() ? (count_ - 1) * capacity_ : 0;
  if (!reserve_) {
    reserve_ = SpaceReserve(space);
    if (space.Available < *reserve_)
      reserve_ = space.Available / 2;  // already within it: half of what is free
  }
  const uint64_t reserve = *reserve_;
  const uint64_t needed = reserve + inFlight + bytes;
  if (space.Available < needed) {
    Fail("Stopped writing \"" + path_.string() + "\": only " + std::to_string(space.Available / kBytesPerMB) +
         " MB left on its file system (the run stops before less than " +
         std::to_string(reserve / kBytesPerMB) + " MB remain)");
  }
  // Half the margin may go before the next look, and no more than kSpaceCheckEvery.
  unchecked_ = std::min((space.Available - needed) / 2, kSpaceCheckEvery);
}

void FileSink::ReleasePrevious(int previous) noexcept {
  if (previous < 0) return;
  constexpr blkcnt_t kBackgroundBlocks = (8 << 20) / 512;  // smaller files are freed at once
  struct stat st {};
  if (::fstat(previous, &st) == 0 && st.st_blocks >= kBackgroundBlocks && !releaser_.joinable()) {
    releasing_ = static_cast<uint64_t>(st.st_blocks) * 512;
    released_.store(false, std::memory_order_release);
    try {
      releaser_ = std::thread([this, previous] {
        ::close(previous);
        released_.store(true, std::memory_order_release);
      });
      return;
    } catch (const std::system_error&) {
      released_.store(true, std::memory_order_release);
    }
  }
  ::close(previous);
}

void FileSink::JoinReleaser() noexcept {
  if (releaser_.joinable()) releaser_.join();
}

void FileSink::Release() noexcept {
  JoinReleaser();
  if (writer_) writer_->Join();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  pos_ = flushAt_ = nullptr;
}

void FileSink::Fail(const char* action, int error) {
  Fail(FileErrorText(action, path_, error));
}

void FileSink::Fail(std::string message) {
  Release();
  failure_ = std::move(message);
  throw FileError(failure_);
}

}  // namespace zarn
