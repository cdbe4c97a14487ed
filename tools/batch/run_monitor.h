#pragma once
// The runner's watch over a run, through the run's progress callback: it answers a Ctrl-C by
// asking the run to stop, and on a terminal it draws a progress bar once the run has lasted long
// enough for one to help. Header-only and without Qt, so that the benchmark of whole runs measures
// exactly this callback.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <ostream>
#include <string>
#include <utility>

#include "sim/integrator.h"

namespace zarn::batch {

// Steps between two progress calls. A step takes well under a microsecond, so a Ctrl-C is answered
// within a few milliseconds even on slow runs, and one call per 4096 steps costs nothing measurable.
inline constexpr int64_t kProgressEvery = 4096;

// How far the pass of this report has come, 0..1. The probe pass does not yet know where the
// flight ends, only its end time: t / Tk, which a flight that lands early never fills. The
// recording pass flies the duration the probe found.
inline double PassFraction(const RunProgress& p) {
  const double end = p.Pass == 0 ? p.Tk : p.Duration;
  if (!(end > 0.0)) return 1.0;  // a flight of one step
  return std::clamp(p.t / end, 0.0, 1.0);
}

// The bar's line for a terminal `columns` wide, one column short of it so that the terminal never
// wraps: "Pass 1 of 2 [########            ]  42%". Narrow terminals get the text without the bar.
inline std::string ProgressLine(const RunProgress& p, int columns) {
  constexpr int kBarMax = 50;
  constexpr int kBarMin = 10;
  const double fraction = PassFraction(p);
  const int percent = static_cast<int>(fraction * 100.0);  // 100 only when the pass is through
  std::string percentText = std::to_string(percent) + "%";
  percentText.insert(0, 4 - percentText.size(), ' ');
  const std::string label = "Pass " + std::to_string(p.Pass + 1) + " of 2";
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

// What the runner watches with: the flag its SIGINT handler sets, and the terminal (if stderr is
// one) with its width.
struct Console {
  const volatile std::sig_atomic_t* Cancel = nullptr;  //!< non-zero: stop the run
  std::ostream* Terminal = nullptr;                    //!< where the bar goes; nullptr: no bar
  int Columns = 80;                                    //!< [characters] width of the terminal
  std::chrono::milliseconds BarAfter{1000};            //!< runs shorter than this show no bar
};

// The progress callback of zarn-batch; Erase takes the bar off the terminal before anything else
// is written there.
class RunMonitor {
 public:
  explicit RunMonitor(const Console& console) : console_(console), start_(std::chrono::steady_clock::now()) {}
  ~RunMonitor() { Erase(); }
  RunMonitor(const RunMonitor&) = delete;
  RunMonitor& operator=(const RunMonitor&) = delete;

  bool operator()(const RunProgress& p) {
    if (Cancelled()) return false;
    if (console_.Terminal != nullptr) Show(p);
    return true;
  }

  bool Cancelled() const noexcept { return console_.Cancel != nullptr && *console_.Cancel != 0; }

  void Erase() {
    if (shown_.empty()) return;
    *console_.Terminal << '\r' + std::string(shown_.size(), ' ') + '\r' << std::flush;
    shown_.clear();
  }

 private:
  static constexpr std::chrono::milliseconds kRedrawEvery{100};

  void Show(const RunProgress& p) {
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < console_.BarAfter) return;
    if (!shown_.empty() && now - drawn_ < kRedrawEvery) return;
    std::string line = ProgressLine(p, console_.Columns);
    if (line == shown_) return;
    // Equal widths within a run, but a narrower line would leave the end of the last one.
    std::string text = '\r' + line;
    if (line.size() < shown_.size()) text.append(shown_.size() - line.size(), ' ');
    *console_.Terminal << text << std::flush;
    shown_ = std::move(line);
    drawn_ = now;
  }

  Console console_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point drawn_{};
  std::string shown_;  // the line on the terminal now; empty: none
};

}  // namespace zarn::batch
