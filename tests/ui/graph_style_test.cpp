// The plot menu's "Clear graph style" and the vector files of "Save graph as...": the shown graph
// is drawn again in the style the check mark chooses, in the window's language, and saved as an
// SVG drawing or a PDF page of that style.
#include <QFile>
#include <QMenu>
#include <string>

#include "plot/clear_style.h"
#include "plot/picture_file.h"
#include "plot/renderer.h"
#include "tests/support/scratch.h"
#include "tests/support/vector_pictures.h"
#include "windows_fixture.h"

namespace zarn::ui {
namespace {

constexpr char kClearStyle[] = "Clear graph style";
constexpr char kSaveGraph[] = "Save graph as...";

// The graph drawn inside the frame: the window's visible plot area, or the whole picture.
QImage Drawn(const RunResult& d, const GraphSelection& selection, GraphStyle style, int32_t language,
             QSizeF frame = QSizeF(769, 513)) {
  return GraphImage({d.Table, selection, 500, d.Units, '.', style, language, frame})
      .convertToFormat(QImage::Format_RGB32);
}

TEST_F(WindowsTest, ClearStyleRedrawsTheShownGraphAndTheButtonsKeepItUntilUnchecked) {
  OpenWithPreset(0, kRussian);
  QMenu* menu = OpenPlotMenu();
  ASSERT_NE(menu, nullptr);
  QAction* entry = MenuEntry(menu, kClearStyle);
  ASSERT_NE(entry, nullptr);
  EXPECT_TRUE(entry->isCheckable());
  EXPECT_FALSE(entry->isChecked());  // the classic style until the user asks
  EXPECT_TRUE(entry->isEnabled());   // chosen before a run, it applies to the run's graph
  menu->close();

  PressStart();
  const QImage classic = Plot();
  EXPECT_EQ(classic, PlotGraph(Shown().Table, form2_->Selection(), 500, Shown().Units, '.')
                         .convertToFormat(QImage::Format_RGB32));
  ChooseFromPlotMenu(kClearStyle);
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  ASSERT_EQ(data_->LangCode, 1);
  EXPECT_EQ(Plot(), Drawn(Shown(), form2_->Selection(), GraphStyle::Clear, 1));  // the legend in Russian
  EXPECT_NE(Plot(), Drawn(Shown(), form2_->Selection(), GraphStyle::Classic, 1));

  PressGraph("Button4");
  EXPECT_EQ(Plot(), Drawn(Shown(), form2_->Selection(), GraphStyle::Clear, 1));
  ChooseFromPlotMenu(kClearStyle);  // unchecked: the classic graph again, pixel for pixel
  EXPECT_EQ(Plot(), PlotGraph(Shown().Table, form2_->Selection(), 500, Shown().Units, '.')
                        .convertToFormat(QImage::Format_RGB32));
  EXPECT_TRUE(messages_.empty());
}

// A program started with a parameter file may go to the calculation form before a language is
// chosen: the form then speaks German, its own language, and so do its figures and the clear
// style's legend.
TEST_F(WindowsTest, ClearStyleBeforeALanguageIsChosenSpeaksTheFormsGerman) {
  form1_->ChooseParamFile(QStringLiteral(ZARN_EXAMPLES_DIR "/projectile-45deg.zarn"));
  PressStartOfStartForm();
  ASSERT_EQ(data_->LangCode, 0);
  PressStart();
  ChooseFromPlotMenu(kClearStyle);
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  EXPECT_TRUE(Caption("RunFigures").startsWith("Flugzeit: ")) << Caption("RunFigures").toStdString();
  EXPECT_EQ(Plot(), Drawn(Shown(), form2_->Selection(), GraphStyle::Clear, 2));  // the legend in German
  EXPECT_NE(Plot(), Drawn(Shown(), form2_->Selection(), GraphStyle::Clear, 3));
}

TEST_F(WindowsTest, SaveGraphAsWritesSvgAndPdfDrawingsOfTheShownStyle) {
  OpenWithPreset(0, kEnglish);
  PressStart();
  ChooseFromPlotMenu(kClearStyle);
  for (const char* name : {"graph.svg", "graph.PDF", "graph.png"}) {
    SCOPED_TRACE(name);
    chosenFile_ = workDir_.filePath(name);
    ChooseFromPlotMenu(kSaveGraph);
    ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  }
  EXPECT_EQ(chooserFilters_.front(), "PNG images (*.png);;SVG drawings (*.svg);;PDF documents (*.pdf)");
  ASSERT_EQ(Calc<QLabel>("Image1")->size(), QSize(769, 513));

  const std::string svg = test_support::ReadFile(workDir_.filePath("graph.svg").toStdString());
  const test_support::SvgSummary summary = test_support::ReadSvg(svg);
  EXPECT_EQ(summary.Root, "svg");
  EXPECT_EQ(summary.Images, 0);
  EXPECT_NE(svg.find("Height, m"), std::string::npos) << "the clear style's legend";
  const std::string pdf = test_support::ReadFile(workDir_.filePath("graph.PDF").toStdString());
  EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
  EXPECT_EQ(test_support::PdfPages(pdf), 1);
  QImage png;
  ASSERT_TRUE(png.load(workDir_.filePath("graph.png"), "PNG"));
  // The window lays the graph out in the part of the picture it shows; the file takes it whole.
  EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32),
            Drawn(Shown(), form2_->Selection(), GraphStyle::Clear, 3, kWholeGraph));
  EXPECT_EQ(Plot(), Drawn(Shown(), form2_->Selection(), GraphStyle::Clear, 3));

  // Into a missing folder: the platform's message, as for the bitmap.
  chosenFile_ = workDir_.filePath("no such folder/graph.pdf");
  ChooseFromPlotMenu(kSaveGraph);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], "Cannot create \"" + chosenFile_ + "\": " + PlatformMessage(ENOENT));
}

}  // namespace
}  // namespace zarn::ui
