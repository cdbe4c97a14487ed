// zarn-batch starts without the window toolkit: a run that draws no picture loads no Qt library,
// and --png opens the picture module, which brings them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "batch_program.h"

namespace zarn::batch {
namespace {

using namespace test_support;

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
    ASSERT_EQ(r.Exit, kExitOk) << r.Err;

    const std::string loaded = ReadFile(log.string() + "." + std::to_string(pid));
    ASSERT_NE(loaded.find("libc.so"), std::string::npos) << "no loader log";
    EXPECT_EQ(loaded.find("libQt6") != std::string::npos, picture);
    EXPECT_EQ(fs::exists(work_ / "g.png"), picture);
  }
}

}  // namespace
}  // namespace zarn::batch
