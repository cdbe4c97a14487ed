#include "output/file_sink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <mutex>
#include <string>
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
constexpr uint64_t kBytesPerKB = 1'000;

// "3 MB", or "750 kB" below a megabyte, where "0 MB" would say nothing.
std::string SpaceText(uint64_t bytes) {
  return bytes < kBytesPerMB ? std::to_string(bytes / kBytesPerKB) + " kB"
                             : std::to_string(bytes / kBytesPerMB) + " MB";
}

std::string SpaceRefusal(const std::filesystem::path& path, uint64_t available, uint64_t reserve) {
  return "Stopped writing \"" + path.string() + "\": only " + SpaceText(available) +
         " left on its file system (the run stops before less than " + SpaceText(reserve) + " remain)";
}

}  // namespace

void WriteWholeFile(const std::filesystem::path& path, std::string_view bytes) {
  constexpr std::size_t kBufferBytes = 64 * 1024;
  auto buffer = std::make_unique_for_overwrite<char[]>(kBufferBytes);
  FileSink file(buffer.get(), kBufferBytes);
  file.Open(path);
  for (std::size_t at = 0; at < bytes.size(); at += kLineRoom) file.PutText(bytes.substr(at, kLineRoom));
  file.Close();
}

int WritableInPlace(const std::filesystem::path& path) noexcept {
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0) return 0;
  const int error = errno;
  return error == EACCES || error == EPERM || error == EROFS || error == ETXTBSY ? error : 0;
}

int CreateOrReplace(const std::filesystem::path& path, int* previous, int newMode) {
  if (previous != nullptr) *previous = -1;
  struct stat old {};
  const bool there = ::lstat(path.c_str(), &old) == 0;
  // Renaming over a file needs only the folder's permission; the file's own is what the user set.
  if (there) {
    if (const int error = WritableInPlace(path); error != 0) {
      errno = error;
      return -1;
    }
  }
  // A file of another owner is written in place, so that it stays theirs.
  if (there && S_ISREG(old.st_mode) && old.st_nlink == 1 && old.st_uid == ::geteuid()) {
    // The new file is made under a name of its own and renamed over the old one, so that the old
    // file stays whole should the new one not come about. A descriptor of the old file keeps its
    // contents past the rename, until it is closed.
    std::filesystem::path fresh = path;
    fresh += ".new-" + std::to_string(::getpid());
    const int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      // The old file's permission bits and group, as writing it in place would have kept them.
      struct stat made {};
      // The group first: changing it clears the set-ID bits.
      const bool same =
          ::fstat(fd, &made) == 0 &&
          (made.st_gid == old.st_gid || ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0) &&
          ::fchmod(fd, old.st_mode & 07777) == 0;
      const int held =
          same && previous != nullptr ? ::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC) : -1;
      if (same && ::rename(fresh.c_str(), path.c_str()) == 0) {
        if (previous != nullptr) *previous = held;
        return fd;
      }
      ::close(fd);  // no rename here: replace in place below, which reports any error
      ::unlink(fresh.c_str());
      if (held >= 0) ::close(held);
    }
  }
  if (!there && newMode >= 0) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::fchmod(fd, static_cast<mode_t>(newMode) & 07777);  // as far as it goes: the file is made either way
      return fd;
    }
    if (errno != EEXIST) return -1;
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

namespace {

// The reserve of a file system as the guard first sees it.
uint64_t FirstReserve(const FileSystemSpace& space) {
  const uint64_t reserve = SpaceReserve(space);
  return space.Available < reserve ? space.Available / 2
                                   : reserve;  // already within it: half of what is free
}

}  // namespace

struct SharedSpace {
  SpaceProbe Probe;
  std::mutex Mutex;
  std::optional<uint64_t> Reserve;  // [bytes] fixed at the first look of any file
  uint64_t Granted = 0;             // [bytes] the files may still write before their next look
  std::string Refusal;              // the first

  // Draws a file's next grant; `grant` holds what it had not written of the last one.
  std::string Check(int fd, uint64_t bytes, uint64_t freeing, const std::filesystem::path& path,
                    uint64_t& grant, bool& guarded) {
    const std::lock_guard lock(Mutex);
    Granted -= grant;
    grant = 0;
    FileSystemSpace space{};
    if (!Probe(fd, space)) {  // a file system that does not tell: no guard
      guarded = false;
      return {};
    }
    space.Available += freeing;
    if (!Reserve) Reserve = FirstReserve(space);
    // The other files' grants are as good as written.
    const uint64_t available = space.Available > Granted ? space.Available - Granted : 0;
    const uint64_t needed = *Reserve + bytes;
    if (available < needed) {
      std::string refusal = SpaceRefusal(path, available, *Reserve);
      if (Refusal.empty()) Refusal = refusal;
      return refusal;
    }
    grant = std::min((available - needed) / 2, kSpaceCheckEvery);
    // The bytes of this write count as granted until they are on the disk, where the probe sees them.
    Granted += grant + bytes;
    return {};
  }
};

SharedSpaceGuard::SharedSpaceGuard(SpaceProbe probe) : state_(std::make_unique<SharedSpace>()) {
  state_->Probe = std::move(probe);
}

SharedSpaceGuard::~SharedSpaceGuard() = default;

SpaceProbe SharedSpaceGuard::Probe() const {
  return [shared = state_.get()](int fd, FileSystemSpace& space) {
    if (!shared->Probe(fd, space)) return false;
    space.Shared = shared;
    return true;
  };
}

std::string SharedSpaceGuard::Refusal() const {
  const std::lock_guard lock(state_->Mutex);
  return state_->Refusal;
}

OutputFile::~OutputFile() {
  CloseSilently();
}

void OutputFile::GuardSpace(SpaceProbe probe) {
  ReturnGrant();
  shared_ = nullptr;  // until the new probe's first look tells
  probe_ = std::move(probe);
}

void OutputFile::ReturnGrant() noexcept {
  if (shared_ != nullptr) {
    const std::lock_guard lock(shared_->Mutex);
    shared_->Granted -= unchecked_;
  }
  unchecked_ = 0;
}

void OutputFile::Open(const std::filesystem::path& path, int newMode) {
  if (fd_ >= 0) Close();
  failure_.clear();
  path_ = path;
  int previous = -1;
  fd_ = CreateOrReplace(path, &previous, newMode);
  if (fd_ < 0) Fail(FileErrorText("create", path_, errno));
  ReleasePrevious(previous);
  struct stat st {};
  guarded_ = probe_ && ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
  ReturnGrant();  // the first write checks
  reserve_.reset();
}

std::string OutputFile::Write(const struct iovec* pieces, int count) {
  std::array<iovec, kMaxPieces> left{};
  if (count > kMaxPieces) return FileErrorText("write", path_, EINVAL);  // a caller's fault
  uint64_t bytes = 0;
  for (int i = 0; i < count; ++i) {
    left[static_cast<std::size_t>(i)] = pieces[i];
    bytes += pieces[i].iov_len;
  }
  if (guarded_) {
    if (std::string refusal = CheckSpace(bytes); !refusal.empty()) return refusal;
  }
  std::string failure = WritePieces(left.data(), count);
  if (shared_ != nullptr && guarded_) {
    // Another file's look at the disk sees these bytes now, written or not.
    const std::lock_guard lock(shared_->Mutex);
    shared_->Granted -= bytes;
  }
  return failure;
}

std::string OutputFile::WritePieces(iovec* v, int count) {
  for (; count > 0;) {
    const ssize_t written = ::writev(fd_, v, count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return FileErrorText("write", path_, written < 0 ? errno : EIO);
    auto taken = static_cast<std::size_t>(written);
    for (; count > 0 && taken >= v->iov_len; ++v, --count) taken -= v->iov_len;
    if (count > 0) {
      v->iov_base = static_cast<char*>(v->iov_base) + taken;
      v->iov_len -= taken;
    }
  }
  return {};
}

void OutputFile::Close() {
  if (fd_ < 0) {
    if (!failure_.empty()) throw FileError(failure_);
    return;  // nothing open
  }
  JoinReleaser();
  ReturnGrant();
  const int fd = std::exchange(fd_, -1);
  if (::close(fd) != 0) Fail(FileErrorText("close", path_, errno));  // the descriptor is released even then
}

void OutputFile::CloseSilently() noexcept {
  JoinReleaser();
  ReturnGrant();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void OutputFile::Fail(std::string message) {
  CloseSilently();
  failure_ = std::move(message);
  throw FileError(failure_);
}

void OutputFile::ThrowClosed() const {
  if (!failure_.empty()) throw FileError(failure_);
  throw FileError(FileErrorText("write", path_, EBADF));  // never opened
}

std::string OutputFile::CheckSpace(uint64_t bytes) {
  if (bytes <= unchecked_) {
    unchecked_ -= bytes;  // a shared grant gives these bytes back once they are written (Write)
    return {};
  }
  // The file that Open replaced is about to give its space back.
  const uint64_t freeing = released_.load(std::memory_order_acquire) ? 0 : releasing_;
  if (shared_ != nullptr) return shared_->Check(fd_, bytes, freeing, path_, unchecked_, guarded_);
  FileSystemSpace space{};
  if (!probe_(fd_, space)) {  // a file system that does not tell: no guard
    guarded_ = false;
    return {};
  }
  if (space.Shared != nullptr) {  // a reserve shared with other files: looks again under its lock
    shared_ = space.Shared;
    return shared_->Check(fd_, bytes, freeing, path_, unchecked_, guarded_);
  }
  space.Available += freeing;
  if (!reserve_) reserve_ = FirstReserve(space);
  const uint64_t reserve = *reserve_;
  const uint64_t needed = reserve + bytes;
  if (space.Available < needed) return SpaceRefusal(path_, space.Available, reserve);
  // Half the margin may go before the next look, and no more than kSpaceCheckEvery.
  unchecked_ = std::min((space.Available - needed) / 2, kSpaceCheckEvery);
  return {};
}

void OutputFile::ReleasePrevious(int previous) noexcept {
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

void OutputFile::JoinReleaser() noexcept {
  if (releaser_.joinable()) releaser_.join();
}

FileSink::FileSink(char* buffer, std::size_t capacity) noexcept : buffer_(buffer), capacity_(capacity) {}

FileSink::~FileSink() {
  CloseSilently();
}

void FileSink::Open(const std::filesystem::path& path, int newMode) {
  if (file_.IsOpen()) Close();
  file_.Open(path, newMode);
  pos_ = buffer_;
  flushAt_ = buffer_ + capacity_ - kLineRoom;
}

void FileSink::Flush() {
  const iovec piece{buffer_, static_cast<std::size_t>(pos_ - buffer_)};
  pos_ = buffer_;
  if (piece.iov_len == 0) return;
  if (std::string failure = file_.Write(&piece, 1); !failure.empty()) {
    flushAt_ = pos_ = nullptr;
    file_.Fail(std::move(failure));
  }
}

void FileSink::MakeRoom() {
  if (!file_.IsOpen()) file_.ThrowClosed();
  Flush();
}

void FileSink::Close() {
  if (file_.IsOpen()) Flush();
  flushAt_ = pos_ = nullptr;
  file_.Close();
}

void FileSink::CloseSilently() noexcept {
  if (file_.IsOpen() && pos_ > buffer_) {
    const iovec piece{buffer_, static_cast<std::size_t>(pos_ - buffer_)};
    try {
      file_.Write(&piece, 1);
    } catch (...) {  // a message that could not be made: nothing to report anyway
    }
  }
  flushAt_ = pos_ = nullptr;
  file_.CloseSilently();
}

}  // namespace zarn
