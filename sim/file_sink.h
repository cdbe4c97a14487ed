#pragma once
// A file written through a caller's buffers, with the program's error rules: every failure to
// create, write or close throws FileError with the platform's message and leaves the file closed;
// any later use throws the same error again. Writers put their lines straight into the buffer
// (BeginLine/EndLine) so that a line costs one room check and no copy of its own.
//
// With several buffers the sink hands each full one to a writer thread of its own and goes on in
// the next, so that lines are made while earlier ones are written. The bytes and the
// error rules are those of the single buffer: the writer thread stops at the first failure, which
// the sink reports at the next hand-over or at Close, and writes nothing after it. The first
// kInlineBytes of a file are written in the caller's thread: a file of a few megabytes gains less
// from the overlap than a thread's start and wake-ups cost, above all when no core is free. The
// thread has ended when Close or CloseSilently returns.
//
// A buffer is handed over when a window of it is full: 256 kB at first, growing with the file to
// the whole buffer. A short file so touches a few pages of memory, each of which costs a page
// fault the first time; a long one is written in large pieces.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace zarn {

// Room that BeginLine guarantees: a line of up to this many bytes needs no check of its own.
// The longest line of the result files, a step line, stays within it.
inline constexpr std::size_t kLineRoom = 1024;

// "Cannot <action> "<path>": <the platform's message for the error>".
std::string FileErrorText(const char* action, const std::filesystem::path& path, int error);

// Writes all n bytes to fd, again after an interruption; returns 0 or the error of the write that
// failed (EIO for a write that took nothing).
int WriteAll(int fd, const char* p, std::size_t n) noexcept;

// Creates or replaces the file with exactly these bytes, under the same error rules as FileSink.
void WriteWholeFile(const std::filesystem::path& path, std::string_view bytes);

// Opens `path` for writing as a new, empty file and returns the descriptor, or -1 with errno set.
// A plain file with a single link that is there already is replaced by a new one, made under a
// name of its own and renamed over it, so that the old file stays whole until the new one exists:
// truncating
// it would wait for the write-back of its old contents, and some file systems (ext4) write a file
// that was truncated to zero back as soon as it is closed. Anything else keeps its identity and is
// truncated in place: a symbolic link (the file it names is written), a device such as /dev/null,
// a file with several links (every link shows the new contents). Where no new file can be made
// beside the old one, or renamed over it, the old one is truncated. When `previous` is given, it receives a
// descriptor that holds the removed file's contents until it is closed (freeing the pages of a large file
// takes tens of milliseconds, which the caller may spend elsewhere), or -1.
int CreateOrReplace(const std::filesystem::path& path, int* previous = nullptr);

// The space of a file system, as the disk guard reads it.
struct FileSystemSpace {
  uint64_t Available;  //!< [bytes] free to the writer
  uint64_t Size;       //!< [bytes] the whole file system
};
// Reads the space of the file system that holds the open file `fd`; false when it cannot be told.
using SpaceProbe = std::function<bool(int fd, FileSystemSpace& space)>;
bool FileSystemSpaceOf(int fd, FileSystemSpace& space);  // fstatvfs

// The disk guard of a long file: the sink stops writing before less than 1 % of the file
// system, and at least kMinSpaceReserve, would be left. It reads the free space before the first
// write and again after half of what was then free above the reserve has been written, at the
// latest after kSpaceCheckEvery bytes: rarely while there is room, at every buffer close to the
// reserve. On a file system that already had less than the reserve free when the file was opened
// (a small one, or one nearly full), the file may take half of what was free then instead, so
// that a short run still writes its files there.
inline constexpr uint64_t kMinSpaceReserve = 256'000'000;         // [bytes]
inline constexpr uint64_t kSpaceReservePerMille = 10;             // [1/1000 of the file system]
inline constexpr uint64_t kSpaceCheckEvery = uint64_t{32} << 20;  // [bytes]
uint64_t SpaceReserve(const FileSystemSpace& space);

class FileSink {
 public:
  // Bytes of each file that the caller's thread writes before the writer thread starts.
  static constexpr uint64_t kInlineBytes = uint64_t{2} << 20;
  static constexpr std::size_t kFirstWindow = std::size_t{256} << 10;

  // Writes each full buffer in the caller's thread. The buffer must hold more than kLineRoom
  // bytes and outlive the sink.
  FileSink(char* buffer, std::size_t capacity) noexcept;
  // Hands each full buffer to a writer thread and goes on in the next one: `count` buffers (2 to
  // kMaxBuffers) of `capacity` bytes each, more than kLineRoom, one after the other at `buffers`,
  // that outlive the sink.
  static constexpr std::size_t kMaxBuffers = 8;
  FileSink(char* buffers, std::size_t count, std::size_t capacity);
  ~FileSink();
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;

  // Guards the space of the file system of each plain file opened from now on (devices and pipes
  // fill no disk); `probe` reads the free space. The guard stops the writing with the FileError
  // "Stopped writing "<path>": only N MB left on its file system (the run stops before less than
  // R MB remain)"; what was handed over before is written.
  void GuardSpace(SpaceProbe probe = FileSystemSpaceOf);

  // Creates or replaces the file (see CreateOrReplace).
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
  struct Writer;  // the writer thread and what it shares with the sink

  void MakeRoom();
  // Writes or hands over the buffered bytes; `last` at Close, where no thread need start.
  void Deliver(bool last);
  void CheckSpace(std::size_t bytes);
  void StartWindow() noexcept;  // room for the next lines in the current buffer
  void Release() noexcept;      // ends the writer thread, closes the descriptor
  void ReleasePrevious(int previous) noexcept;
  void JoinReleaser() noexcept;
  [[noreturn]] void Fail(const char* action, int error);
  [[noreturn]] void Fail(std::string message);

  std::array<char*, kMaxBuffers> buffers_{};
  const std::size_t count_;
  const std::size_t capacity_;
  std::size_t current_ = 0;  // the buffer that takes the lines
  char* pos_ = nullptr;
  char* flushAt_ = nullptr;
  int fd_ = -1;
  std::filesystem::path path_;
  std::string failure_;              // the message of the failure that closed the file, if any
  std::unique_ptr<Writer> writer_;   // with two buffers only
  SpaceProbe probe_;                 // empty: no guard
  bool guarded_ = false;             // the open file is guarded
  uint64_t unchecked_ = 0;           // [bytes] that may still be written before the next check
  std::optional<uint64_t> reserve_;  // [bytes] to be left free, fixed at the first check
  uint64_t delivered_ = 0;           // [bytes] of this file written or handed over
  // Frees the contents of the large file that Open replaced, while the new one is written; until it
  // is done, the guard counts that space as free.
  std::thread releaser_;
  std::atomic<bool> released_{true};
  uint64_t releasing_ = 0;  // [bytes] the replaced file's
};

}  // namespace zarn
