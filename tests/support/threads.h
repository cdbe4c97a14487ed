#pragma once
// Threads of the test process, for tests that check that no thread is left behind, and this
// thread kept to one core.
#include <gtest/gtest.h>
#include <sched.h>

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

// Threads of this process once there are `expected` or fewer, or after half a minute: a thread can
// stay listed for a while after its join has returned, longer on a busy machine, while the system
// ends it; one of an earlier test may still have been listed when `expected` was counted. A thread
// left running stays.
inline int ThreadsSettlingTo(int expected) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  int n = ThreadsNow();
  while (n > expected && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    n = ThreadsNow();
  }
  return n;
}

// Keeps this thread, and the threads it starts, to the first of its cores while it lives.
class OnOneCore {
 public:
  OnOneCore() {
    EXPECT_EQ(::sched_getaffinity(0, sizeof before_, &before_), 0);
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int c = 0; c < CPU_SETSIZE; ++c) {
      if (CPU_ISSET(c, &before_)) {
        CPU_SET(c, &one);
        break;
      }
    }
    EXPECT_EQ(::sched_setaffinity(0, sizeof one, &one), 0);
  }
  ~OnOneCore() { EXPECT_EQ(::sched_setaffinity(0, sizeof before_, &before_), 0); }
  OnOneCore(const OnOneCore&) = delete;
  OnOneCore& operator=(const OnOneCore&) = delete;

 private:
  cpu_set_t before_;
};

}  // namespace zarn::test_support
