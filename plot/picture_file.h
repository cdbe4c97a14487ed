#pragma once
// The graph in either style as a bitmap or as a picture file (bitmap or vector), for the window
// and the batch runner alike.
#include <QImage>
#include <cstdint>
#include <filesystem>
#include <functional>

#include "plot/clear_style.h"
#include "records/flight_data.h"
#include "records/language.h"

namespace zarn {

// What a graph is drawn from: the renderer's inputs, the style and, for the clear style's legend,
// the language (LangCode: 1 Russian, 2 German, 3 English, 0 counts as English).
struct GraphInputs {
  const TrajectoryTable& Table;
  const GraphSelection& Selection;
  int Rows;  //!< rows 1..Rows-1 are drawn (see PlotGraph)
  const UnitFlags& Units;
  QChar DecimalSeparator;  //!< the classic style writes '.' for one beyond ASCII
  GraphStyle Style = GraphStyle::Classic;
  int32_t Language = kLangEnglish;
  QSizeF Frame = kWholeGraph;  //!< [px] the clear style lies inside it; the classic one ignores it
};

// The 800 x 600 bitmap; in the classic style exactly PlotGraph's.
QImage GraphImage(const GraphInputs& graph);

// True for the formats SaveGraphPicture draws as vectors: "SVG" and "PDF".
bool IsVectorFormat(const char* format);

// Draws the graph and creates or replaces the file with it: "SVG" and "PDF" are drawn onto the
// vector device (an 800 x 600 drawing, a PDF of one page of that size at 96 pixels per inch);
// other formats are Qt's image formats ("PNG", "JPG", "BMP") of GraphImage. Failures as
// SaveGraphPng: an encoding failure throws before the file is touched, a file failure throws
// FileError with the platform's message.
void SaveGraphPicture(const GraphInputs& graph, const std::filesystem::path& path, const char* format);

// Any drawing of the graph's size saved the same way: `draw` paints onto a white 800 x 600 bitmap,
// SVG drawing or PDF page.
void SavePictureOf(const std::function<void(QPainter&)>& draw, const std::filesystem::path& path,
                   const char* format);

}  // namespace zarn
