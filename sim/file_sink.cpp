#include "sim/file_sink.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <system_error>
#include <utility>

#include "records/errors.h"

namespace zarn {

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

void FileSink::Open(const std::filesystem::path& path) {
  if (fd_ >= 0) Close();
  failure_.clear();
  path_ = path;
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd_ < 0) Fail("create", errno);
  pos_ = buffer_;
  flushAt_ = bufferEnd_ - kLineRoom;
}

void FileSink::Close() {
  if (fd_ < 0) {
    if (!failure_.empty()) throw FileError(failure_);
    return;  // nothing open
  }
  WriteBuffer();
  const int fd = std::exchange(fd_, -1);
  pos_ = flushAt_ = nullptr;
  if (::close(fd) != 0) Fail("close", errno);  // the descriptor is released even then
}

void FileSink::CloseSilently() noexcept {
  if (fd_ < 0) return;
  for (const char* p = buffer_; p < pos_;) {
    const ssize_t n = ::write(fd_, p, static_cast<std::size_t>(pos_ - p));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    p += n;
  }
  ::close(fd_);
  fd_ = -1;
  pos_ = flushAt_ = nullptr;
}

void FileSink::MakeRoom() {
  if (fd_ < 0) {
    if (!failure_.empty()) throw FileError(failure_);
    throw FileError(FileErrorText("write", path_, EBADF));  // never opened
  }
  WriteBuffer();
}

void FileSink::WriteBuffer() {
  for (const char* p = buffer_; p < pos_;) {
    const ssize_t n = ::write(fd_, p, static_cast<std::size_t>(pos_ - p));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail("write", n < 0 ? errno : EIO);
    p += n;
  }
  pos_ = buffer_;
}

void FileSink::Fail(const char* action, int error) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  pos_ = flushAt_ = nullptr;
  failure_ = FileErrorText(action, path_, error);
  throw FileError(failure_);
}

}  // namespace zarn
