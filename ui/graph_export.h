#pragma once
// Writing what the plot shows to files: the graph as PNG (the table's CSV comes from
// sim/table_csv.h). Failures throw FileError with the platform's message, like the result files.
#include <QImage>
#include <QString>
#include <filesystem>

namespace zarn::ui {

// The file name as the file system spells it (the local 8-bit encoding of the name).
std::filesystem::path LocalPath(const QString& fileName);

// Writes the image as a PNG file, creating or replacing it. A failure to create, write or close
// the file throws FileError "Cannot create|write "<file>": <the platform's message>"; the image is
// encoded in memory first, so an encoding failure never leaves a half-written file.
void SaveGraphPng(const QImage& image, const QString& fileName);

}  // namespace zarn::ui
