#include "input/text_lines.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "records/errors.h"

namespace zarn {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::size_t kReadBytes = 64 * 1024;

// The length of the valid UTF-8 sequence at text[i] (RFC 3629: no overlong forms, no surrogates,
// nothing above U+10FFFF), or 0.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
  const unsigned char b = byte(0);
  std::size_t n = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3;
    if (b == 0xE0) low = 0xA0;
    if (b == 0xED) high = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4;
    if (b == 0xF0) low = 0x90;
    if (b == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + n > text.size() || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t k = 2; k < n; ++k)
    if (byte(k) < 0x80 || byte(k) > 0xBF) return 0;
  return n;
}

}  // namespace

std::string Shown(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string shown;
  const auto escaped = [&](unsigned char byte) {
    shown += "\\x";
    shown += kHex[byte >> 4];
    shown += kHex[byte & 0xf];
  };
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '\t') {
      shown += "\\t";
    } else if (byte == '\r') {
      shown += "\\r";
    } else if (byte < 0x20 || byte == 0x7f) {
      escaped(byte);
    } else if (byte < 0x80) {
      shown += text[i];
    } else if (const std::size_t n = Utf8Length(text, i); n == 0) {
      escaped(byte);
    } else if (byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      // A C1 control (U+0080..U+009F), which some terminals obey as ESC [ and the like.
      escaped(byte);
      escaped(static_cast<unsigned char>(text[i + 1]));
      i += 2;
      continue;
    } else {
      shown.append(text, i, n);
      i += n;
      continue;
    }
    ++i;
  }
  return shown;
}

std::string ReadWholeFile(const std::filesystem::path& path, std::size_t maxBytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw FileError(FileErrorText("open", path, errno));
  std::string text;
  char chunk[16 * 1024];
  while (text.size() <= maxBytes) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      throw FileError(FileErrorText("read", path, error));
    }
    if (n == 0) break;
    text.append(chunk, static_cast<std::size_t>(n));
  }
  ::close(fd);
  if (text.size() > maxBytes) text.resize(maxBytes + 1);
  return text;
}

LineReader::LineReader(const std::filesystem::path& path, std::size_t maxLine, const std::atomic<int>* cancel)
    : path_(path), maxLine_(maxLine), cancel_(cancel) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw FileError(FileErrorText("open", path, errno));
}

LineReader::~LineReader() {
  if (fd_ >= 0) ::close(fd_);
}

bool LineReader::Fill() {
  if (cancel_ != nullptr && *cancel_ != 0) throw Error("Run cancelled");
  buffer_.erase(0, start_);
  start_ = 0;
  const std::size_t had = buffer_.size();
  buffer_.resize(had + kReadBytes);
  // A pipe may hold back its bytes for long: waited for in short turns, so that a Ctrl-C is
  // answered (the signal's handler restarts a read that it interrupts).
  if (cancel_ != nullptr) {
    pollfd ready{fd_, POLLIN, 0};
    while (::poll(&ready, 1, 100) == 0 || (ready.revents == 0 && errno == EINTR))
      if (*cancel_ != 0) throw Error("Run cancelled");
  }
  ssize_t n = 0;
  do {
    n = ::read(fd_, buffer_.data() + had, kReadBytes);
  } while (n < 0 && errno == EINTR && (cancel_ == nullptr || *cancel_ == 0));
  if (n < 0) {
    const int error = errno;
    buffer_.resize(had);
    if (error == EINTR) throw Error("Run cancelled");
    throw FileError(FileErrorText("read", path_, error));
  }
  buffer_.resize(had + static_cast<std::size_t>(n));
  if (n == 0) end_ = true;
  if (number_ == 0 && had < kUtf8Bom.size() && buffer_.size() >= kUtf8Bom.size() &&
      buffer_.starts_with(kUtf8Bom))
    start_ = kUtf8Bom.size();
  return n > 0;
}

bool LineReader::Next(std::string_view& line) {
  std::size_t scanned = start_;  // no LF before this
  for (;;) {
    const std::size_t lf = buffer_.find('\n', scanned);
    const std::size_t end = lf == std::string::npos ? buffer_.size() : lf;
    if (end - start_ > maxLine_) {
      throw Error(Shown(path_.string()) + ":" + std::to_string(number_ + 1) + ": longer than " +
                  std::to_string(maxLine_) + " bytes: not a line of a table");
    }
    if (lf != std::string::npos || (end_ && start_ < buffer_.size())) {
      line = std::string_view(buffer_).substr(start_, end - start_);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      start_ = lf == std::string::npos ? buffer_.size() : lf + 1;
      ++number_;
      return true;
    }
    if (end_) return false;
    scanned = buffer_.size() - start_;
    Fill();
    scanned += start_;
  }
}

}  // namespace zarn
