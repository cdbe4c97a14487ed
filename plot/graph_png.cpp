#include "plot/graph_png.h"

#include <QBuffer>
#include <QByteArray>
#include <string_view>

#include "output/file_sink.h"
#include "records/errors.h"

namespace zarn {

void SaveGraphPng(const QImage& image, const std::filesystem::path& path, const char* format) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, format))
    throw Error("Cannot encode the graph of \"" + path.string() + "\" as " + format);
  WriteWholeFile(path, std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
}

}  // namespace zarn
