// The picture module of zarn-batch: draws the graph with the same renderer as the window and saves
// it as a picture file. Only this library links Qt; zarn-batch opens it for --png alone.
#include <QGuiApplication>
#include <QtGlobal>
#include <algorithm>
#include <cstring>
#include <exception>
#include <iostream>
#include <optional>

#include "plot/dispersion_picture.h"
#include "plot/overlay.h"
#include "plot/picture_file.h"
#include "plot/renderer.h"
#include "runner/png_plugin.h"

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

// Fonts and a paint engine need an application object for the length of a drawing; offscreen
// works without a display. Qt sees no arguments of ours. A caller that has its own application
// keeps it.
class ApplicationScope {
 public:
  ApplicationScope() {
    static int argc = 1;
    static char name[] = "zarn-batch";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() != nullptr) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QtMessages);
    app_.emplace(argc, argv);
  }

 private:
  std::optional<QGuiApplication> app_;
};

// Draws with an application object and reports a failure through the runner's message buffer:
// 0 drawn, 1 failed (its message in `message`; `fallback` where the failure has none).
template <typename Draw>
int Drawn(char* message, std::size_t room, const char* fallback, Draw draw) {
  try {
    const ApplicationScope application;
    draw();
    return 0;
  } catch (const std::exception& e) {
    PutMessage(e.what(), message, room);
  } catch (...) {
    PutMessage(fallback, message, room);
  }
  return 1;
}

}  // namespace

extern "C" [[gnu::visibility("default")]] int zarn_batch_save_compared_graph(
    const zarn::runner::ComparedRequest* request, char* message, std::size_t room) {
  static_assert(std::is_same_v<decltype(&zarn_batch_save_compared_graph), zarn::runner::ComparedModuleEntry>);
  return Drawn(message, room, "Cannot save the picture", [&] {
    zarn::ComparedGraph graph;
    graph.Selection = *request->Selection;
    graph.Units = *request->Units;
    const int entries = request->Selection->Count - 1;
    for (int r = 0; r < request->RunCount; ++r) {
      const zarn::runner::ComparedCurves& c = request->Runs[r];
      zarn::ComparedRun run{QString::fromUtf8(c.Name), {}};
      for (int e = 0; e < entries; ++e)
        run.Columns.emplace_back(c.Values + static_cast<std::ptrdiff_t>(e) * c.Rows,
                                 c.Values + static_cast<std::ptrdiff_t>(e + 1) * c.Rows);
      graph.Runs.push_back(std::move(run));
    }
    for (int m = 0; m < request->MeasuredCount; ++m) {
      const zarn::runner::ComparedPoints& p = request->Measured[m];
      zarn::MeasuredPoints points{p.Column, {}};
      for (int i = 0; i < p.Count; ++i) points.Points.emplace_back(p.X[i], p.Y[i]);
      graph.Measured.push_back(std::move(points));
    }
    graph.MeasuredName = QString::fromUtf8(request->MeasuredName);
    graph.ScaleTitle = QString::fromUtf8(request->ScaleTitle);
    zarn::SaveComparedGraph(graph, request->Path, request->Format);
  });
}

extern "C" [[gnu::visibility("default")]] int zarn_batch_save_dispersion(
    const zarn::runner::DispersionRequest* request, char* message, std::size_t room) {
  static_assert(std::is_same_v<decltype(&zarn_batch_save_dispersion), zarn::runner::DispersionModuleEntry>);
  return Drawn(message, room, "Cannot save the picture", [&] {
    const zarn::runner::DispersionRequest& r = *request;
    zarn::DispersionPicture picture;
    picture.BinLow = r.BinLow;
    picture.BinWidth = r.BinWidth;
    picture.Counts.assign(r.Counts, r.Counts + r.Bins);
    picture.X.assign(r.X, r.X + r.Points);
    picture.Y.assign(r.Y, r.Y + r.Points);
    for (int k = 0; k < 3; ++k) {
      const std::ptrdiff_t from = static_cast<std::ptrdiff_t>(k) * r.EllipsePoints;
      picture.EllipseX[static_cast<std::size_t>(k)].assign(r.EllipseX + from,
                                                           r.EllipseX + from + r.EllipsePoints);
      picture.EllipseY[static_cast<std::size_t>(k)].assign(r.EllipseY + from,
                                                           r.EllipseY + from + r.EllipsePoints);
    }
    zarn::SavePictureOf([&picture](QPainter& painter) { zarn::DrawDispersion(painter, picture); }, r.Path,
                        r.Format);
  });
}

extern "C" [[gnu::visibility("default")]] int zarn_batch_save_graph_png(
    const zarn::runner::PngRequest* request, char* message, std::size_t room) {
  static_assert(std::is_same_v<decltype(&zarn_batch_save_graph_png), zarn::runner::PngModuleEntry>);
  return Drawn(message, room, "Cannot save the graph", [&] {
    const int rows = zarn::GraphRows(*request->Table, request->SamplesStored);  // the rows the run stored
    // The runner has no language of its own: the clear style's legend is in English.
    const zarn::GraphInputs graph{
        *request->Table,
        *request->Selection,
        rows,
        *request->Units,
        '.',
        request->ClearStyle == 1 ? zarn::GraphStyle::Clear : zarn::GraphStyle::Classic,
        zarn::kLangEnglish};
    zarn::SaveGraphPicture(graph, request->Path, request->Format);
  });
}
