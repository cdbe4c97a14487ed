#include "plot/picture_file.h"

#include <QBuffer>
#include <QByteArray>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

#include "output/file_sink.h"
#include "plot/graph_png.h"
#include "plot/renderer.h"
#include "plot/vector_canvas.h"
#include "records/errors.h"

namespace zarn {
namespace {

constexpr int kVectorDpi = 96;  // [px/inch] one pixel of the bitmap is one unit of the drawing

// The classic style's labels are bytes of one char each: a separator beyond ASCII is written '.'.
char ClassicSeparator(QChar separator) {
  return separator.unicode() < 0x80 ? static_cast<char>(separator.unicode()) : '.';
}

void Draw(QPainter& painter, const GraphInputs& g) {
  painter.fillRect(0, 0, kGraphWidth, kGraphHeight, Qt::white);
  if (g.Style == GraphStyle::Clear) {
    DrawClearGraph(painter, g.Table, g.Selection, g.Rows, g.Units, g.DecimalSeparator, g.Language, g.Frame);
  } else {
    VectorCanvas canvas(painter);
    DrawGraph(canvas, g.Table, g.Selection, g.Rows, g.Units, ClassicSeparator(g.DecimalSeparator));
  }
}

using Drawing = std::function<void(QPainter&)>;

// Draws onto the device and ends the painter, which flushes the device into its buffer.
template <typename Device>
void PaintAndEnd(Device& device, const Drawing& draw, const std::filesystem::path& path, const char* format) {
  QPainter painter;
  if (!painter.begin(&device))
    throw Error("Cannot encode the graph of \"" + path.string() + "\" as " + format);
  try {
    draw(painter);
  } catch (...) {
    painter.end();
    throw;
  }
  painter.end();
}

QByteArray VectorBytes(const Drawing& g, const std::filesystem::path& path, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (std::strcmp(format, "SVG") == 0) {
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(QSize(kGraphWidth, kGraphHeight));
    svg.setViewBox(QRect(0, 0, kGraphWidth, kGraphHeight));
    svg.setResolution(kVectorDpi);
    svg.setTitle(QStringLiteral("Zarn graph"));
    PaintAndEnd(svg, g, path, format);
  } else {
    QPdfWriter pdf(&buffer);
    pdf.setResolution(kVectorDpi);
    pdf.setPageSize(QPageSize(QSizeF(kGraphWidth * 72.0 / kVectorDpi, kGraphHeight * 72.0 / kVectorDpi),
                              QPageSize::Point, QString(), QPageSize::ExactMatch));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setTitle(QStringLiteral("Zarn graph"));
    pdf.setCreator(QStringLiteral("Zarn"));
    PaintAndEnd(pdf, g, path, format);
  }
  return bytes;
}

}  // namespace

QImage GraphImage(const GraphInputs& g) {
  if (g.Style == GraphStyle::Classic)
    return PlotGraph(g.Table, g.Selection, g.Rows, g.Units, ClassicSeparator(g.DecimalSeparator));
  QImage image(kGraphWidth, kGraphHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  DrawClearGraph(painter, g.Table, g.Selection, g.Rows, g.Units, g.DecimalSeparator, g.Language, g.Frame);
  return image;
}

bool IsVectorFormat(const char* format) {
  return std::strcmp(format, "SVG") == 0 || std::strcmp(format, "PDF") == 0;
}

namespace {

void SaveVectors(const Drawing& draw, const std::filesystem::path& path, const char* format) {
  const QByteArray bytes = VectorBytes(draw, path, format);
  WriteWholeFile(path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

}  // namespace

void SaveGraphPicture(const GraphInputs& g, const std::filesystem::path& path, const char* format) {
  if (!IsVectorFormat(format)) {
    SaveGraphPng(GraphImage(g), path, format);
    return;
  }
  SaveVectors([&g](QPainter& painter) { Draw(painter, g); }, path, format);
}

void SavePictureOf(const std::function<void(QPainter&)>& draw, const std::filesystem::path& path,
                   const char* format) {
  const Drawing onWhite = [&draw](QPainter& painter) {
    painter.fillRect(0, 0, kGraphWidth, kGraphHeight, Qt::white);
    draw(painter);
  };
  if (IsVectorFormat(format)) {
    SaveVectors(onWhite, path, format);
    return;
  }
  QImage image(kGraphWidth, kGraphHeight, QImage::Format_RGB32);
  {
    QPainter painter(&image);
    onWhite(painter);
  }
  SaveGraphPng(image, path, format);
}

}  // namespace zarn
