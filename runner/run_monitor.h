#pragma once
// The runner's watch over a run, through the run's progress callback: it answers a Ctrl-C by
// asking the run to stop, and on a terminal it draws a progress bar once the run (or a sweep of
// runs) has lasted long enough for one to help. Header-only and without Qt, so that the benchmark of whole
// runs measures exactly this callback.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <ostream>
#include <string>
#include <utility>

#include "flight/integrator.h"

namespace zarn::runner {

// A bar's line for a terminal `columns` wide, one column short of it so that the terminal never
// wraps: "<label> [########            ]  42%". Narrow terminals get the text without the bar.
inline std::string BarLine(const std::string& label, double fraction, int columns) {
  constexpr int kBarMax = 50;
  constexpr int kBarMin = 10;
  const int percent = static_cast<int>(fraction * 100.0);  // 100 only when all is through
  std::string percentText = std::to_string(percent) + "%";
  percentText.insert(0, 4 - percentText.size(), ' ');
  const int room = columns - 1;
  const int bar = std::min(kBarMax, room - static_cast<int>(label.size() + 3 + 1 + percentText.size()));
  std::string line = label;
  if (bar >= kBarMin) {
    const int filled = static_cast<int>(fraction * bar);
    line += " [" + std::string(static_cast<std::size_t>(filled), '#') +
            std::string(static_cast<std::size_t>(bar - filled), ' ') + "]";
  }
  line += " " + percentText;
  if (room > 0 && line.size() > static_cast<std::size_t>(room)) line.resize(static_cast<std::size_t>(room));
  return line;
}

// "Pass 1 of 2 [########            ]  42%"
inline std::string ProgressLine(const RunProgress& p, int columns) {
  return BarLine("Pass " + std::to_string(p.Pass + 1) + " of 2", PassFraction(p), columns);
}

// "12 of 64 cases [###               ]  18%"
inline std::string SweepLine(int64_t done, int64_t total, int columns) {
  const double fraction = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 1.0;
  return BarLine(std::to_string(done) + " of " + std::to_string(total) + " cases", fraction, columns);
}

// What the runner watches with: the flag its handler of Ctrl-C, SIGTERM and SIGHUP sets, and the
// terminal (if stderr is one) with its width.
struct Console {
  const std::atomic<int>* Cancel = nullptr;  //!< non-zero: stop the run (set by a signal handler)
  std::ostream* Terminal = nullptr;          //!< where the bar goes; nullptr: no bar
  int Columns = 80;                          //!< [characters] width of the terminal
  std::chrono::milliseconds BarAfter{1000};  //!< runs shorter than this show no bar
};

// A bar on the terminal of a console: drawn once the work has lasted Console::BarAfter, redrawn
// at most every 100 ms and only when its text changes; Erase takes it off before anything else is
// written there.
class TerminalBar {
 public:
  explicit TerminalBar(const Console& console)
      : console_(console), start_(std::chrono::steady_clock::now()) {}
  ~TerminalBar() { Erase(); }
  TerminalBar(const TerminalBar&) = delete;
  TerminalBar& operator=(const TerminalBar&) = delete;

  // `line` builds the text only when it is to be drawn.
  template <typename Line>
  void Show(Line&& line) {
    if (console_.Terminal == nullptr) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < console_.BarAfter) return;
    if (!shown_.empty() && now - drawn_ < kRedrawEvery) return;
    std::string next = line(console_.Columns);
    if (next == shown_) return;
    // Equal widths within a run, but a narrower line would leave the end of the last one.
    std::string text = '\r' + next;
    if (next.size() < shown_.size()) text.append(shown_.size() - next.size(), ' ');
    *console_.Terminal << text << std::flush;
    shown_ = std::move(next);
    drawn_ = now;
  }

  void Erase() {
    if (shown_.empty()) return;
    *console_.Terminal << '\r' + std::string(shown_.size(), ' ') + '\r' << std::flush;
    shown_.clear();
  }

 private:
  static constexpr std::chrono::milliseconds kRedrawEvery{100};

  Console console_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point drawn_{};
  std::string shown_;  // the line on the terminal now; empty: none
};

// The progress callback of zarn-batch: stops the run on Ctrl-C, and shows the pass's bar.
class RunMonitor {
 public:
  explicit RunMonitor(const Console& console) : cancel_(console.Cancel), bar_(console) {}
  RunMonitor(const RunMonitor&) = delete;
  RunMonitor& operator=(const RunMonitor&) = delete;

  bool operator()(const RunProgress& p) {
    if (Cancelled()) return false;
    bar_.Show([&p](int columns) { return ProgressLine(p, columns); });
    return true;
  }

  bool Cancelled() const noexcept { return cancel_ != nullptr && *cancel_ != 0; }

  void Erase() { bar_.Erase(); }

 private:
  const std::atomic<int>* cancel_;
  TerminalBar bar_;
};

}  // namespace zarn::runner
