// The graph as a picture file: SVG and PDF are drawings of the graph in either style (no bitmap
// pasted in), the classic style's drawing lies where the bitmap's pixels are, and a file that
// cannot be written fails as the result files do.
#include "plot/picture_file.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cmath>
#include <fstream>
#include <string>

#include "plot/catalogue.h"
#include "plot/renderer.h"
#include "records/errors.h"
#include "tests/plot/plot_test_support.h"
#include "tests/support/scratch.h"
#include "tests/support/vector_pictures.h"

namespace zarn {
namespace {

using test_support::PdfHasImage;
using test_support::PdfPages;
using test_support::ReadFile;
using test_support::ReadSvg;

class PictureFileTest : public testing::Test {
 protected:
  void SetUp() override {
    table_ = test::MakeTable();
    test::FillFlight({.H0 = 0, .V0 = 100, .AngleDeg = 45}, *table_, units_);
    SelectGraph(DefaultGraph(), sel_);
  }
  GraphInputs Graph(GraphStyle style) const { return {*table_, sel_, 500, units_, '.', style, 1}; }

  test_support::ScratchDir dir_{"zarn_picture_file"};
  std::unique_ptr<TrajectoryTable> table_;
  UnitFlags units_{};
  GraphSelection sel_{};
};

TEST_F(PictureFileTest, SvgAndPdfAreDrawingsOfTheGraphInBothStyles) {
  for (const GraphStyle style : {GraphStyle::Classic, GraphStyle::Clear}) {
    SCOPED_TRACE(style == GraphStyle::Clear ? "clear" : "classic");
    const auto svgPath = dir_.path() / "g.svg", pdfPath = dir_.path() / "g.pdf";
    SaveGraphPicture(Graph(style), svgPath, "SVG");
    SaveGraphPicture(Graph(style), pdfPath, "PDF");

    const test_support::SvgSummary svg = ReadSvg(ReadFile(svgPath));
    EXPECT_EQ(svg.Root, "svg");
    EXPECT_EQ(svg.Images, 0);
    EXPECT_GT(svg.Shapes, 5);  // grid, axes and curves as shapes of their own
    EXPECT_GT(svg.Texts, 20);  // labels stay text

    const std::string pdf = ReadFile(pdfPath);
    EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
    EXPECT_EQ(PdfPages(pdf), 1);
    EXPECT_FALSE(PdfHasImage(pdf));
    EXPECT_NE(pdf.find("/MediaBox [0 0 600.000000 450.000000]"), std::string::npos)
        << "800 x 600 px at 96 per inch";
  }
}

TEST_F(PictureFileTest, ClassicDrawingCoversTheBitmapsLinesWhenRasterised) {
  // Every catalogue graph: of the bitmap's black pixels outside the texts (which another text
  // engine shapes its own way) nearly all are dark in the drawing rendered back at 800 x 600.
  for (const GraphEntry& graph : kGraphCatalogue) {
    SCOPED_TRACE(std::string(graph.Component));
    SelectGraph(graph, sel_);
    const auto path = dir_.path() / "g.svg";
    SaveGraphPicture(Graph(GraphStyle::Classic), path, "SVG");
    QSvgRenderer renderer(QString::fromStdString(path.string()));
    ASSERT_TRUE(renderer.isValid());
    QImage drawn(kGraphWidth, kGraphHeight, QImage::Format_RGB32);
    drawn.fill(Qt::white);
    QPainter painter(&drawn);
    renderer.render(&painter);
    painter.end();
    const QImage bitmap = PlotGraph(*table_, sel_, 500, units_, '.');
    int black = 0, kept = 0;
    for (int y = 0; y < kGraphHeight; ++y)
      for (int x = 0; x < kGraphWidth; ++x) {
        if (!test::IsBlack(bitmap, x, y) || y > 462) continue;  // below the plot: the horizontal labels
        ++black;
        kept += qGray(drawn.pixel(x, y)) < 160 ? 1 : 0;
      }
    EXPECT_GT(black, 1000);
    EXPECT_GT(kept, black * 0.85) << kept << " of " << black;
  }
}

TEST_F(PictureFileTest, FileIsReplacedOrFailsWithThePlatformsMessage) {
  const auto path = dir_.path() / "old.pdf";
  std::ofstream(path) << "an older and much longer file than a graph would ever need to be";
  SaveGraphPicture(Graph(GraphStyle::Clear), path, "PDF");
  EXPECT_EQ(ReadFile(path).substr(0, 5), "%PDF-");

  const auto nowhere = dir_.path() / "missing" / "g.svg";
  try {
    SaveGraphPicture(Graph(GraphStyle::Classic), nowhere, "SVG");
    FAIL() << "no error";
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create \"" + nowhere.string() + "\": No such file or directory");
  }
}

TEST_F(PictureFileTest, ClassicBitmapIsTheRenderersAndTheClearOneDiffers) {
  const QImage classic = GraphImage(Graph(GraphStyle::Classic));
  EXPECT_EQ(classic, PlotGraph(*table_, sel_, 500, units_, '.'));
  const QImage clear = GraphImage(Graph(GraphStyle::Clear));
  EXPECT_EQ(clear.size(), QSize(kGraphWidth, kGraphHeight));
  EXPECT_NE(clear, classic);
}

}  // namespace
}  // namespace zarn
