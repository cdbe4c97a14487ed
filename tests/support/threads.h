#pragma once
// Threads of the test process, for tests that check that no thread is left behind.
#include <chrono>
#include <filesystem>
#include <thread>

namespace zarn::test_support {

// Threads of this process now. A thread sanitizer starts one of its own with the first thread that
// a program makes: one made and ended here first keeps that one out of the comparisons.
inline int ThreadsNow() {
  [[maybe_unused]] static const bool settled = [] {
    std::thread([] {}).join();
    return true;
  }();
  int n = 0;
  for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task")) ++n;
  return n;
}

// Threads of this process once there are `expected`, or after a second: a thread can stay listed
// for a moment after its join has returned, while the system ends it; a thread left running stays.
inline int ThreadsSettlingTo(int expected) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  int n = ThreadsNow();
  while (n != expected && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    n = ThreadsNow();
  }
  return n;
}

}  // namespace zarn::test_support
