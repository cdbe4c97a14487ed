// Files whose close() fails, as on a network file system whose server refuses the data only when
// the file is closed. This process serves a small file system through the kernel's FUSE device:
// it takes every write and answers the flush that each close() sends with EIO. Where the device
// or the right to mount is missing (tests not run as root), the test is skipped.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fuse.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "flight/integrator.h"
#include "output/result_files.h"
#include "output/table_csv.h"
#include "records/errors.h"
#include "records/flight_data.h"
#include "tests/support/scratch.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;

class CloseFailingFolder {
 public:
  explicit CloseFailingFolder(const fs::path& dir) : dir_(dir) {
    fd_ = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (fd_ < 0) {
      refusal_ = errno;
      return;
    }
    const std::string options = "fd=" + std::to_string(fd_) +
                                ",rootmode=40000,user_id=" + std::to_string(::geteuid()) +
                                ",group_id=" + std::to_string(::getegid());
    if (::mount("zarn-close-fails", dir.c_str(), "fuse", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
      refusal_ = errno;
      ::close(fd_);
      fd_ = -1;
      return;
    }
    server_ = std::thread([this] { Serve(); });
  }
  ~CloseFailingFolder() {
    if (fd_ < 0) return;
    ::umount2(dir_.c_str(), MNT_DETACH);
    stop_ = true;
    server_.join();
    ::close(fd_);
  }
  CloseFailingFolder(const CloseFailingFolder&) = delete;
  CloseFailingFolder& operator=(const CloseFailingFolder&) = delete;

  bool Mounted() const { return fd_ >= 0; }
  int Refusal() const { return refusal_; }  // errno of the failed open or mount
  // Names of the files created so far, in order.
  std::vector<std::string> Created() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return created_;
  }

 private:
  static constexpr uint32_t kMaxWrite = 128 * 1024;

  void Serve() {
    std::vector<char> request(kMaxWrite + 4096);
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      if (::read(fd_, request.data(), request.size()) < static_cast<ssize_t>(sizeof(fuse_in_header))) {
        if (errno == ENODEV) return;  // unmounted
        continue;
      }
      fuse_in_header in;
      std::memcpy(&in, request.data(), sizeof in);
      Answer(in, request.data() + sizeof in);
    }
  }

  void Reply(uint64_t unique, int error, const void* out = nullptr, std::size_t size = 0) {
    fuse_out_header header{static_cast<uint32_t>(sizeof header + size), -error, unique};
    iovec parts[2] = {{&header, sizeof header}, {const_cast<void*>(out), size}};
    (void)::writev(fd_, parts, size > 0 ? 2 : 1);
  }

  static fuse_attr Attr(uint64_t node) {
    fuse_attr a{};
    a.ino = node;
    a.mode = node == FUSE_ROOT_ID ? S_IFDIR | 0755 : S_IFREG | 0644;
    a.nlink = 1;
    a.uid = ::geteuid();
    a.gid = ::getegid();
    return a;
  }

  void Answer(const fuse_in_header& in, const char* arg) {
    switch (in.opcode) {
      case FUSE_INIT: {
        fuse_init_in init;
        std::memcpy(&init, arg, offsetof(fuse_init_in, flags));
        fuse_init_out out{};
        out.major = FUSE_KERNEL_VERSION;
        out.minor = FUSE_KERNEL_MINOR_VERSION;
        out.max_readahead = init.max_readahead;
        out.max_write = kMaxWrite;
        return Reply(in.unique, 0, &out, sizeof out);
      }
      case FUSE_GETATTR: {
        fuse_attr_out out{};
        out.attr = Attr(in.nodeid);
        return Reply(in.unique, 0, &out, sizeof out);
      }
      case FUSE_LOOKUP:  // every name is new, so that every open creates its file afresh
        return Reply(in.unique, ENOENT);
      case FUSE_CREATE: {
        struct {
          fuse_entry_out entry;
          fuse_open_out open;
        } out{};
        out.entry.nodeid = ++lastNode_;
        out.entry.attr = Attr(lastNode_);
        const std::lock_guard<std::mutex> lock(mutex_);
        created_.emplace_back(arg + sizeof(fuse_create_in));
        return Reply(in.unique, 0, &out, sizeof out);
      }
      case FUSE_WRITE: {
        fuse_write_in write;
        std::memcpy(&write, arg, sizeof write);
        fuse_write_out out{};
        out.size = write.size;
        return Reply(in.unique, 0, &out, sizeof out);
      }
      case FUSE_FLUSH:  // sent by every close(): the data are refused here
        return Reply(in.unique, EIO);
      case FUSE_RELEASE:
        return Reply(in.unique, 0);
      case FUSE_FORGET:
      case FUSE_BATCH_FORGET:
      case FUSE_INTERRUPT:
        return;  // these take no answer
      default:
        return Reply(in.unique, ENOSYS);
    }
  }

  fs::path dir_;
  int fd_ = -1;
  int refusal_ = 0;
  std::thread server_;
  std::atomic<bool> stop_{false};
  uint64_t lastNode_ = FUSE_ROOT_ID;
  std::mutex mutex_;
  std::vector<std::string> created_;
};

std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const FileError& e) {
    return e.what();
  }
  return "no FileError";
}

TEST(CloseFailure, EveryFileReportsAFailedCloseAndARunStopsAtIt) {
  test_support::ScratchDir scratch{"zarn_close"};
  const fs::path dir = scratch.path();
  CloseFailingFolder folder(dir);
  if (!folder.Mounted())
    GTEST_SKIP() << "cannot mount a FUSE file system here: " << std::strerror(folder.Refusal());
  auto cannotClose = [&](const char* name) {
    return "Cannot close \"" + (dir / name).string() + "\": " + std::strerror(EIO);
  };

  // A run of one step: the step file is written whole and refused at its close, so the run ends
  // there with the platform's message, before the sample file is created.
  FlightParameters p{};
  p.TaskKind = kTaskBallistic;
  p.MassaStart = 1;
  p.V0 = 10;
  p.dt0 = 0.5;
  p.Tk = 0.5;
  ResultFiles files(dir);
  RunOptions options;
  options.Sink = &files;
  EXPECT_EQ(MessageOf([&] { ComputeTrajectory(p, options); }), cannotClose(kStepFileName));
  EXPECT_EQ(folder.Created(), std::vector<std::string>{kStepFileName});

  const auto d = ComputeTrajectory(p);  // the table of the same flight, flown without files
  EXPECT_EQ(MessageOf([&] { WriteSampleFile(dir / kSampleFileName, d->Table); }),
            cannotClose(kSampleFileName));
  EXPECT_EQ(
      MessageOf([&] { WriteTableCsv(dir / "table.csv", d->Table, d->Units, d->Summary.SamplesStored); }),
      cannotClose("table.csv"));
  EXPECT_EQ(folder.Created(), (std::vector<std::string>{kStepFileName, kSampleFileName, "table.csv"}));
}

}  // namespace
}  // namespace zarn
