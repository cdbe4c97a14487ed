// zarn-batch: one run from the command line, writing the same result files as the windows.
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <iostream>
#include <string_view>
#include <vector>

#include "batch/batch.h"

namespace {

// Set by Ctrl-C; the run's progress callback sees it and stops the run.
volatile std::sig_atomic_t g_cancel = 0;

void OnInterrupt(int) {
  g_cancel = 1;
}

// Ctrl-C asks the run to stop; a second one, should the first not be answered, ends the program
// as usual (SA_RESETHAND restores the default action once the handler has run).
void CatchInterrupt() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
}

// The progress bar goes to stderr only when a person watches it there.
zarn::batch::Console WatchConsole() {
  zarn::batch::Console console;
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
  namespace batch = zarn::batch;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  batch::BatchOptions options;
  try {
    options = batch::ParseArguments(args);
  } catch (const batch::UsageError& e) {
    std::cerr << "zarn-batch: " << e.what() << "\n\n" << batch::kUsage;
    return batch::kExitUsage;
  }
  if (options.Help) {
    std::cout << batch::kUsage;
    return batch::kExitOk;
  }

  CatchInterrupt();
  return batch::Run(options, std::cout, std::cerr, WatchConsole());
}
