#include "ui/graph_export.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <string>

#include "sim/result_files.h"

namespace zarn::ui {
namespace {

[[noreturn]] void Fail(const char* action, const QString& fileName, const QString& message) {
  throw FileError(std::string("Cannot ") + action + " \"" + LocalPath(fileName).string() +
                  "\": " + message.toStdString());
}

}  // namespace

std::filesystem::path LocalPath(const QString& fileName) {
  return std::filesystem::path(QFile::encodeName(fileName).toStdString());
}

void SaveGraphPng(const QImage& image, const QString& fileName) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) Fail("write", fileName, QStringLiteral("the PNG encoder failed"));

  // QFile's messages are the platform's error texts. Some write errors only show when the buffered
  // bytes are flushed (a file under /proc accepts the open and refuses the data), so flush and
  // close are checked as well as the write.
  QFile file(fileName);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) Fail("create", fileName, file.errorString());
  if (file.write(png) != png.size() || !file.flush()) Fail("write", fileName, file.errorString());
  file.close();
  if (file.error() != QFileDevice::NoError) Fail("write", fileName, file.errorString());
}

}  // namespace zarn::ui
