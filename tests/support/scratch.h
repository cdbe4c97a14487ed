#pragma once
// Files for tests: a folder of its own for each test, and whole-file reads.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace zarn::test_support {

// The whole file as bytes; empty when it cannot be opened.
inline std::string ReadFile(const std::filesystem::path& path) {
  std::string text;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return text;
  char chunk[65536];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) text.append(chunk, n);
  std::fclose(f);
  return text;
}

// An empty folder named after the running test, removed (whatever its modes) when it goes.
class ScratchDir {
 public:
  explicit ScratchDir(std::string_view prefix) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    // Appended piece by piece: g++ 12 warns (-Wrestrict) about chained string concatenation.
    std::string name(prefix);
    name.append("_").append(std::to_string(::getpid()));
    if (test != nullptr) name.append("_").append(test->test_suite_name()).append("_").append(test->name());
    for (char& c : name)
      if (c == '/') c = '_';  // parameterised test names
    path_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const noexcept { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace zarn::test_support
