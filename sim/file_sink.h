#pragma once
// A file written through a caller's buffer, with the program's error rules: every failure to
// create, write or close throws FileError with the platform's message and leaves the file closed;
// any later use throws the same error again. Writers put their lines straight into the buffer
// (BeginLine/EndLine) so that a line costs one room check and one copy.
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

namespace zarn {

// Room that BeginLine guarantees: a line of up to this many bytes needs no check of its own.
// The longest line of the result files, a step line, stays within it.
inline constexpr std::size_t kLineRoom = 1024;

// "Cannot <action> "<path>": <the platform's message for the error>".
std::string FileErrorText(const char* action, const std::filesystem::path& path, int error);

// Creates or replaces the file with exactly these bytes, under the same error rules as FileSink.
void WriteWholeFile(const std::filesystem::path& path, std::string_view bytes);

class FileSink {
 public:
  // The buffer must hold more than kLineRoom bytes and outlive the sink.
  FileSink(char* buffer, std::size_t capacity) noexcept : buffer_(buffer), bufferEnd_(buffer + capacity) {}
  ~FileSink() { CloseSilently(); }
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;

  // Creates or replaces the file.
  void Open(const std::filesystem::path& path);
  bool IsOpen() const noexcept { return fd_ >= 0; }

  // Start of room for one line of at most kLineRoom bytes; EndLine commits what was put there.
  // While closed, pos_ == flushAt_ == nullptr, so that the room check lands in MakeRoom, which
  // reports it; the hot path needs no test of its own.
  char* BeginLine() {
    if (pos_ >= flushAt_) [[unlikely]]
      MakeRoom();
    return pos_;
  }
  void EndLine(char* end) noexcept { pos_ = end; }

  // Text of at most kLineRoom bytes, as it is (line ends included by the caller).
  void PutText(std::string_view text) {
    char* p = BeginLine();
    std::memcpy(p, text.data(), text.size());
    EndLine(p + text.size());
  }

  // Writes what is buffered and closes; throws FileError on failure. Safe when nothing is open.
  void Close();
  // Keeps what can still be written and releases the file; reports nothing.
  void CloseSilently() noexcept;

 private:
  void MakeRoom();
  void WriteBuffer();
  [[noreturn]] void Fail(const char* action, int error);

  char* const buffer_;
  char* const bufferEnd_;
  char* pos_ = nullptr;
  char* flushAt_ = nullptr;
  int fd_ = -1;
  std::filesystem::path path_;
  std::string failure_;  // the message of the failure that closed the file, if any
};

}  // namespace zarn
