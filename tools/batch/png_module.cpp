// The picture module of zarn-batch: draws the graph with the same renderer as the window and saves
// it as a picture file. Only this library links Qt; zarn-batch opens it for --png alone.
#include <QGuiApplication>
#include <QtGlobal>
#include <algorithm>
#include <cstring>
#include <exception>
#include <iostream>
#include <optional>

#include "batch/png_plugin.h"
#include "plot/picture_file.h"
#include "plot/renderer.h"

namespace {

// stderr belongs to the run's errors. Qt's notes about the missing desktop session (no runtime
// directory, no display) say nothing about the run; only its critical messages get through.
void QtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << message.toStdString() << '\n';
}

void PutMessage(const char* text, char* message, std::size_t room) {
  if (room == 0) return;
  const std::size_t n = std::min(std::strlen(text), room - 1);
  std::memcpy(message, text, n);
  message[n] = '\0';
}

}  // namespace

extern "C" [[gnu::visibility("default")]] int zarn_batch_save_graph_png(
    const zarn::batch::PngRequest* request, char* message, std::size_t room) {
  static_assert(std::is_same_v<decltype(&zarn_batch_save_graph_png), zarn::batch::PngModuleEntry>);
  try {
    // Fonts and a paint engine need an application object; offscreen works without a display. Qt
    // sees no arguments of ours. A caller that has its own application keeps it.
    static int argc = 1;
    static char name[] = "zarn-batch";
    static char* argv[] = {name, nullptr};
    std::optional<QGuiApplication> app;
    if (QCoreApplication::instance() == nullptr) {
      if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
      qInstallMessageHandler(QtMessages);
      app.emplace(argc, argv);
    }
    const int rows = zarn::GraphRows(*request->Table, request->SamplesStored);  // the rows the run stored
    // The runner has no language of its own: the clear style's legend is in English.
    const zarn::GraphInputs graph{
        *request->Table,
        *request->Selection,
        rows,
        *request->Units,
        '.',
        request->ClearStyle == 1 ? zarn::GraphStyle::Clear : zarn::GraphStyle::Specified,
        3};
    zarn::SaveGraphPicture(graph, request->Path, request->Format);
    return 0;
  } catch (const std::exception& e) {
    PutMessage(e.what(), message, room);
  } catch (...) {
    PutMessage("Cannot save the graph", message, room);
  }
  return 1;
}
