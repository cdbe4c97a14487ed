#pragma once
// Text files read: whole where they are small, by line in pieces where memory should hold one line
// whatever the file's size; and the text of a file as a message shows it.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace zarn {

// Text of a file as a message quotes it: a control byte would move the cursor, ring the bell or
// start an escape sequence on the user's terminal, and bytes that are not UTF-8 would cut the
// message where a caller converts it (Python), so both are shown escaped ("\t", "\r", "\x1b",
// "\xff"). Valid UTF-8 other than the C1 controls stays as it is.
std::string Shown(std::string_view text);

// The file's bytes, at most maxBytes + 1 of them (more than maxBytes: the caller's limit is
// passed). FileError with the platform's message when it cannot be opened or read.
std::string ReadWholeFile(const std::filesystem::path& path, std::size_t maxBytes);

// The lines of a text file one at a time: LF or CR LF ends a line, and a UTF-8 byte order mark
// before the first line is skipped (spreadsheets write one). Reads 64 KiB at a time.
class LineReader {
 public:
  // Throws FileError with the platform's message when the file cannot be opened. A line longer
  // than maxLine bytes is refused; `cancel`, where given, stops the reading once it is non-zero.
  LineReader(const std::filesystem::path& path, std::size_t maxLine,
             const std::atomic<int>* cancel = nullptr);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line without its end, valid until the next call; false after the last. Throws Error
  // "NAME:LINE: longer than N bytes" for a long line, FileError for a failed read, and
  // Error "Run cancelled" once `cancel` is set.
  bool Next(std::string_view& line);
  int64_t Number() const { return number_; }  //!< of the line Next gave last, from 1

 private:
  bool Fill();

  std::filesystem::path path_;
  std::size_t maxLine_;
  const std::atomic<int>* cancel_;
  int fd_ = -1;
  std::string buffer_;     // what was read and not yet given
  std::size_t start_ = 0;  // of the next line in buffer_
  bool end_ = false;       // the file has no more bytes
  int64_t number_ = 0;
};

}  // namespace zarn
