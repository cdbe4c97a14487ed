// zarn-batch: one run from the command line, writing the same result files as the windows.
#include <iostream>
#include <optional>
#include <string_view>
#include <vector>

#include <QGuiApplication>
#include <QtGlobal>

#include "batch/batch.h"

namespace {

// stderr belongs to the run's errors. Qt's notes about the missing desktop session (no runtime
// directory, no display) say nothing about the run; only its critical messages get through.
void QtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << message.toStdString() << '\n';
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

  // Only the picture needs fonts and a paint engine; offscreen works without a display. Qt sees
  // no arguments of ours.
  int qtArgc = 1;
  std::optional<QGuiApplication> app;
  if (!options.Png.empty()) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QtMessages);
    app.emplace(qtArgc, argv);
  }
  return batch::Run(options, std::cout, std::cerr);
}
