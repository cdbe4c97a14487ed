#pragma once
// The graph as a picture file (PNG unless told otherwise), for the window's context menu and the
// batch runner alike.
#include <QImage>
#include <filesystem>

namespace zarn {

// Encodes the image in memory, then creates or replaces the file with it. A failure to create,
// write or close the file throws FileError with the platform's message, as the result files do;
// an encoding failure throws before the file is touched. `format` is a Qt image format name
// ("PNG", "JPG", "BMP").
void SaveGraphPng(const QImage& image, const std::filesystem::path& path, const char* format = "PNG");

}  // namespace zarn
