// zarn-batch: runs from the command line, writing the same result files as the windows.
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <iostream>
#include <string_view>
#include <vector>

#include "runner/runner.h"

namespace {

// Set by Ctrl-C, SIGTERM or SIGHUP to the number of the signal; the run's progress callback (or a
// sweep's threads) sees it and stops. A lock-free atomic may be stored by a signal handler and read
// by every thread.
std::atomic<int> g_cancel{0};
static_assert(std::atomic<int>::is_always_lock_free);

// The signals that stop a run with its files whole: Ctrl-C, a kill or a shutdown, a closed terminal.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void OnStopSignal(int signal) {
  int none = 0;
  g_cancel.compare_exchange_strong(none, signal);  // the first one names the end
}

// Each stop signal asks the run to stop; a second one, should the first not be answered, ends the
// program as usual (SA_RESETHAND restores the default action once the handler has run). A signal
// ignored at the start (SIGINT in the background of a script, SIGHUP under nohup) stays ignored.
void CatchStopSignals() {
  for (const int signal : kStopSignals) {
    struct sigaction old {};
    sigaction(signal, nullptr, &old);
    if (old.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(signal, &action, nullptr);
  }
}

// After a cancelled run: end by the signal that stopped it, so that the shell that started it
// sees that signal (status 130 for Ctrl-C, 143 for SIGTERM, 129 for SIGHUP) and stops its loop or
// script too.
[[noreturn]] void EndBySignal() {
  std::cout.flush();
  std::cerr.flush();
  const int signal = g_cancel != 0 ? g_cancel.load() : SIGINT;
  std::signal(signal, SIG_DFL);
  std::raise(signal);
  std::_Exit(128 + signal);  // only if the signal could not end the program
}

// The progress bar goes to stderr only when a person watches it there.
zarn::runner::Console WatchConsole() {
  zarn::runner::Console console;
  console.Cancel = &g_cancel;
  if (isatty(STDERR_FILENO) == 1) {
    console.Terminal = &std::cerr;
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) console.Columns = size.ws_col;
  }
  return console;
}

}  // namespace

int main(int argc, char** argv) {
  namespace runner = zarn::runner;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::cerr << runner::kUsage << "Try 'zarn-batch --help' for the options, parameters and graphs.\n";
    return runner::kExitUsage;
  }
  runner::BatchOptions options;
  try {
    options = runner::ParseArguments(args);
  } catch (const runner::UsageError& e) {
    std::cerr << "zarn-batch: " << e.what() << "\nTry 'zarn-batch --help' for more information.\n";
    return runner::kExitUsage;
  }
  if (options.Help) {
    std::cout << runner::HelpText();
    return runner::kExitOk;
  }
  if (options.Version) {
    std::cout << runner::kVersion << '\n';
    return runner::kExitOk;
  }

  CatchStopSignals();
  const int status = runner::Run(options, std::cout, std::cerr, WatchConsole());
  if (status == runner::kExitCancelled) EndBySignal();
  return status;
}
