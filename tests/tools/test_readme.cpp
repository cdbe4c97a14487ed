// The README's examples of zarn-batch as a user copies them: every `sh` block of its section on
// the runner, run in order from a folder laid out as the repository root after the run command.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "batch_program.h"

namespace zarn::runner {
namespace {

using namespace test_support;

// The ```sh blocks between the section's heading and the next heading of its level.
std::vector<std::string> ShellBlocks(const std::string& readme, std::string_view heading) {
  std::vector<std::string> blocks;
  const std::size_t start = readme.find("\n" + std::string(heading) + "\n");
  if (start == std::string::npos) return blocks;
  const std::size_t end = std::min(readme.find("\n## ", start + 1), readme.size());
  const std::string_view section = std::string_view(readme).substr(start, end - start);
  for (std::size_t at = section.find("\n```sh\n"); at != std::string_view::npos;
       at = section.find("\n```sh\n", at + 1)) {
    const std::size_t body = at + 7;
    const std::size_t close = section.find("\n```\n", body - 1);
    if (close == std::string_view::npos) break;
    blocks.emplace_back(section.substr(body, close + 1 - body));
  }
  return blocks;
}

TEST_F(BatchProgram, ReadmeExamplesRunAsWrittenFromTheRepositoryRoot) {
  const std::string readme = ReadFile(fs::path(ZARN_SOURCE_DIR) / "README.md");
  const std::vector<std::string> blocks = ShellBlocks(readme, "## Running without the windows: `zarn-batch`");
  ASSERT_GE(blocks.size(), 5u) << "the section or its sh blocks are gone";

  // The repository root as the run command leaves it, as far as the examples use it.
  fs::create_directories(work_ / "build" / "tools");
  fs::create_symlink(ZARN_BATCH_EXE, work_ / "build" / "tools" / "zarn-batch");
  fs::create_directory_symlink(fs::path(ZARN_SOURCE_DIR) / "examples", work_ / "examples");
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    SCOPED_TRACE(blocks[i]);
    const fs::path script = io_ / ("block" + std::to_string(i) + ".sh");
    std::ofstream(script) << blocks[i];
    const Outcome r = Finish(Spawn({"/bin/bash", "-euo", "pipefail", script.string()}, false, false));
    EXPECT_EQ(r.Exit, 0) << r.Err;
  }
}

}  // namespace
}  // namespace zarn::runner
