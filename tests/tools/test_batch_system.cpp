// zarn-batch and its system: the libraries it loads and a file system that its run would fill.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "batch_program.h"
#include "output/result_files.h"
#include "runner/runner.h"

namespace zarn::runner {
namespace {

using namespace test_support;

// A run that draws no picture loads no Qt library; --png opens the picture module, which brings
// them.
TEST_F(BatchProgram, OnlyAPictureLoadsTheToolkit) {
  for (const bool picture : {false, true}) {
    SCOPED_TRACE(picture ? "--png" : "no picture");
    // The dynamic loader lists every library it maps into <log>.<pid>.
    const fs::path log = io_ / (picture ? "libs-png" : "libs");
    std::vector<std::string> args{"--preset", "0", "--quiet"};
    if (picture) args.insert(args.end(), {"--png", "g.png"});
    ::setenv("LD_DEBUG", "libs", 1);
    ::setenv("LD_DEBUG_OUTPUT", log.c_str(), 1);
    const pid_t pid = Start(args);
    ::unsetenv("LD_DEBUG");
    ::unsetenv("LD_DEBUG_OUTPUT");
    const Outcome r = Finish(pid);
    ASSERT_EQ(r.Exit, 0) << r.Err;

    const std::string loaded = ReadFile(log.string() + "." + std::to_string(pid));
    ASSERT_NE(loaded.find("libc.so"), std::string::npos) << "no loader log";
    EXPECT_EQ(loaded.find("libQt6") != std::string::npos, picture);
    EXPECT_EQ(fs::exists(work_ / "g.png"), picture);
  }
}

// The long run (590 MB) into a tmpfs of 300 MB, which keeps 256 MB in reserve: it stops with the
// guard's message naming the step file and the space, the step file keeps its lines up to there,
// and nothing follows the run. Mounting needs root; elsewhere the writer's own test stands alone.
TEST_F(BatchProgram, RunThatWouldFillItsFileSystemStopsWithTheSpaceLeft) {
  const fs::path small = root_ / "small";
  fs::create_directories(small);
  if (::mount("zarn-test", small.c_str(), "tmpfs", 0, "size=300m") != 0)
    GTEST_SKIP() << "no tmpfs of our own here: " << std::strerror(errno);
  struct Unmount {
    const fs::path& Path;
    ~Unmount() { ::umount2(Path.c_str(), MNT_DETACH); }
  } unmount{small};

  const Outcome r = Batch({"--preset", "1", "--set", "dt0=0.0001", "--dir", small.string()});
  EXPECT_EQ(r.Exit, 1);
  EXPECT_EQ(r.Out, "");
  const std::string start = "zarn-batch: Stopped writing \"" + (small / kStepFileName).string() + "\": only ";
  const std::string end = " MB left on its file system (the run stops before less than 256 MB remain)\n";
  ASSERT_EQ(r.Err.rfind(start, 0), 0u) << r.Err;
  ASSERT_GT(r.Err.size(), start.size() + end.size());
  ASSERT_EQ(r.Err.substr(r.Err.size() - end.size()), end) << r.Err;
  const int left = std::stoi(r.Err.substr(start.size()));
  EXPECT_GE(left, 256);
  EXPECT_LT(left, 300);

  EXPECT_EQ(Listing(small), std::set<std::string>{kStepFileName});
  const std::string kept = ReadFile(small / kStepFileName);
  EXPECT_GT(kept.size(), std::size_t{30} << 20);  // it wrote until the reserve came close
  EXPECT_LE(kept.size(), 300u * 1024 * 1024 - 256'000'000);
  EXPECT_EQ(kept.substr(kept.size() - 2), "\r\n");  // whole lines, as far as they went
}

// What a script reads from standard output must not be lost in silence: a summary, its JSON or a
// sweep's rows that cannot be written are a failure with the platform's reason.
TEST_F(BatchProgram, OutputThatCannotBeWrittenIsAFailure) {
  for (const char* args : {"--preset 0", "--preset 0 --json", "--preset 0 --sweep V0=100:110:5"}) {
    const Outcome r = Finish(StartShell(std::string("\"$ZB\" ") + args + " > /dev/full"));
    EXPECT_EQ(r.Exit, 1) << args;
    EXPECT_NE(r.Err.find("zarn-batch: Cannot write \"standard output\": No space left on device"),
              std::string::npos)
        << args << ": " << r.Err;
  }
}

}  // namespace
}  // namespace zarn::runner
