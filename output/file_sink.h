#pragma once
// Output files under the program's error rules: OutputFile creates or replaces a file, guards the
// disk and writes; FileSink writes lines through a buffer of the caller's.
#include <sys/uio.h>

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

#include "records/errors.h"

namespace zarn {

// Room that BeginLine guarantees: a line of up to this many bytes needs no check of its own.
// The longest line of the result files, a step line, stays within it.
inline constexpr std::size_t kLineRoom = 1024;

// Writes all n bytes to fd, again after an interruption; returns 0 or the error of the write that
// failed (EIO for a write that took nothing).
int WriteAll(int fd, const char* p, std::size_t n) noexcept;

// Creates or replaces the file with exactly these bytes, under the same error rules as FileSink.
void WriteWholeFile(const std::filesystem::path& path, std::string_view bytes);

// Opens `path` for writing as a new, empty file and returns the descriptor, or -1 with errno set.
// A file that the user could not write in place is not replaced (EACCES, or the error that
// writing it would meet, such as EROFS), even where the folder would allow it. A plain file of the
// user's with a single link is replaced by a new one with its permission bits and group, made
// under a name of its own and renamed over it, so that the old file stays whole until the new one
// exists: truncating it would wait for the write-back of its old contents, and some file systems
// (ext4) write a file that was truncated to zero back as soon as it is closed. Anything else keeps
// its identity and is truncated in place: a symbolic link (the file it names is written), a device
// such as /dev/null, a file with several links (every link shows the new contents), a file of
// another owner (it stays theirs). Where no new file can be made beside the old one, or renamed
// over it, the old one is truncated. A file made where none was takes the bits that the umask
// leaves of 0666, or exactly `newMode` when that is given (0..07777). When `previous` is given, it
// receives a descriptor that holds the removed file's contents until it is closed (freeing the
// pages of a large file takes tens of milliseconds, which the caller may spend elsewhere), or -1.
int CreateOrReplace(const std::filesystem::path& path, int* previous = nullptr, int newMode = -1);

// 0 when the user may write the file that is at `path` (or nothing is there), else the error that
// writing it would meet: EACCES, EPERM, EROFS or ETXTBSY.
int WritableInPlace(const std::filesystem::path& path) noexcept;

struct SharedSpace;  // see SharedSpaceGuard

// The space of a file system, as the disk guard reads it.
struct FileSystemSpace {
  uint64_t Available;             //!< [bytes] free to the writer
  uint64_t Size;                  //!< [bytes] the whole file system
  SharedSpace* Shared = nullptr;  //!< set by the probe of a SharedSpaceGuard: the reserve it shares
};
// Reads the space of the file system that holds the open file `fd`; false when it cannot be told.
using SpaceProbe = std::function<bool(int fd, FileSystemSpace& space)>;
bool FileSystemSpaceOf(int fd, FileSystemSpace& space);  // fstatvfs

// The disk guard of a long file: writing stops before less than 1 % of the file system, and at
// least kMinSpaceReserve, would be left. It reads the free space before the first write and again
// after half of what was then free above the reserve has been written, at the latest after
// kSpaceCheckEvery bytes: rarely while there is room, at every write close to the reserve. On a
// file system that already had less than the reserve free when the file was opened (a small one,
// or one nearly full), the file may take half of what was free then instead, so that a short run
// still writes its files there.
inline constexpr uint64_t kMinSpaceReserve = 256'000'000;         // [bytes]
inline constexpr uint64_t kSpaceReservePerMille = 10;             // [1/1000 of the file system]
inline constexpr uint64_t kSpaceCheckEvery = uint64_t{32} << 20;  // [bytes]
uint64_t SpaceReserve(const FileSystemSpace& space);

// The disk guard of the step files of many runs, one after another or side by side (a sweep's
// cases): one reserve for all of them, fixed at the first look (on a file system that had less
// than the reserve free then, half of what was free, for all files together); what one file may
// still write before its next look counts as taken for the others. Each file gets Probe() where a
// SpaceProbe goes (the file learns of the sharing at its first look); the guard must outlive
// those files. It
// remembers the first refusal, so that no further run need start.
class SharedSpaceGuard {
 public:
  explicit SharedSpaceGuard(SpaceProbe probe = FileSystemSpaceOf);
  ~SharedSpaceGuard();
  SharedSpaceGuard(const SharedSpaceGuard&) = delete;
  SharedSpaceGuard& operator=(const SharedSpaceGuard&) = delete;

  SpaceProbe Probe() const;
  // The message of the first write it refused, or "".
  std::string Refusal() const;

 private:
  std::unique_ptr<SharedSpace> state_;
};

// An output file under the program's error rules: every failure to create, write or close throws
// FileError with the platform's message and leaves the file closed; any later use throws the same
// error again.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();  // releases the file without reporting
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Guards the space of the file system of each plain file opened from now on (devices and pipes
  // fill no disk); `probe` reads the free space. The guard refuses a write with the message
  // "Stopped writing "<path>": only N MB left on its file system (the run stops before less than
  // R MB remain)", in kB below 1 MB; what was written before stays. A SharedSpaceGuard as the
  // probe shares the reserve with the other files it guards.
  void GuardSpace(SpaceProbe probe = FileSystemSpaceOf);

  // Creates or replaces the file (see CreateOrReplace); closes an open one first.
  void Open(const std::filesystem::path& path, int newMode = -1);
  bool IsOpen() const noexcept { return fd_ >= 0; }

  // Writes the pieces (at most kMaxPieces) whole and in order, after the guard's look at the space;
  // returns the message of the failure, or an empty text. Reports rather than throws, so that a
  // writer thread may call it while the file is open; one thread at a time.
  static constexpr int kMaxPieces = 16;
  std::string Write(const struct iovec* pieces, int count);

  // Closes; throws FileError on failure (the descriptor is released even then). Safe when nothing
  // is open, unless an earlier failure closed the file: that is thrown again.
  void Close();
  // Releases the file without reporting.
  void CloseSilently() noexcept;
  // Releases the file and throws FileError(message); later uses throw it again.
  [[noreturn]] void Fail(std::string message);
  // Throws what a use of the closed file reports: the failure that closed it, or a bad descriptor.
  [[noreturn]] void ThrowClosed() const;

 private:
  std::string CheckSpace(uint64_t bytes);
  std::string WritePieces(struct iovec* pieces, int count);  // all of them, again after an interruption
  void ReturnGrant() noexcept;
  void ReleasePrevious(int previous) noexcept;
  void JoinReleaser() noexcept;

  int fd_ = -1;
  std::filesystem::path path_;
  std::string failure_;              // the message of the failure that closed the file, if any
  SpaceProbe probe_;                 // empty: no guard
  bool guarded_ = false;             // the open file is guarded
  uint64_t unchecked_ = 0;           // [bytes] that may still be written before the next check
  std::optional<uint64_t> reserve_;  // [bytes] to be left free, fixed at the first check
  SharedSpace* shared_ = nullptr;    // the reserve of several files, or none
  // Frees the contents of the large file that Open replaced, while the new one is written; until it
  // is done, the guard counts that space as free.
  std::thread releaser_;
  std::atomic<bool> released_{true};
  uint64_t releasing_ = 0;  // [bytes] the replaced file's
};

// A file written through the caller's buffer, in the caller's thread, under OutputFile's rules.
// Writers put their lines straight into the buffer (BeginLine/EndLine) so that a line costs one
// room check and no copy of its own.
class FileSink {
 public:
  // The buffer must hold more than kLineRoom bytes and outlive the sink.
  FileSink(char* buffer, std::size_t capacity) noexcept;
  ~FileSink();
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;

  void Open(const std::filesystem::path& path, int newMode = -1);  // see OutputFile::Open
  bool IsOpen() const noexcept { return file_.IsOpen(); }

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
  void Flush();

  OutputFile file_;
  char* const buffer_;
  const std::size_t capacity_;
  char* pos_ = nullptr;
  char* flushAt_ = nullptr;
};

}  // namespace zarn
