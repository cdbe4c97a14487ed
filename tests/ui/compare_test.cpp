// Comparing runs in the window, and the mends of the form: marked fields, START refused for them,
// the form inside a small screen, a parameter file that clears the graph, a chosen results folder.
#include <QScreen>
#include <QToolTip>

#include "plot/renderer.h"
#include "ui/placement.h"
#include "windows_fixture.h"

namespace zarn::ui {
namespace {

// Pixels of exactly this colour in the rectangle of the image.
int CountColour(const QImage& image, QRgb colour, QRect where) {
  int n = 0;
  where = where.intersected(image.rect());
  for (int y = where.top(); y <= where.bottom(); ++y)
    for (int x = where.left(); x <= where.right(); ++x)
      if ((image.pixel(x, y) & 0xFFFFFF) == colour) ++n;
  return n;
}

constexpr QRgb kFirstKept = 0x0072B2;    // blue
constexpr QRgb kSecondKept = 0xD55E00;   // vermilion
const QRect kLegendBand{0, 0, 769, 24};  // the legend's first line
const QRect kPlotBand{0, 60, 769, 420};

TEST_F(WindowsTest, KeptRunsAreDrawnInTheirColoursWithALegendAndReadOut) {
  OpenWithPreset(0);
  PressStart();  // TTO = 45
  const QImage classic = Plot();
  QTest::keyClick(form2_.get(), Qt::Key_K, Qt::ControlModifier);
  ASSERT_EQ(form2_->Kept().Runs().size(), 1u);
  Type("EdTTO", "30");
  PressStart();
  ChooseFromPlotMenu("Keep this run");
  Type("EdTTO", "60");
  PressStart();

  const QImage plot = Plot();
  EXPECT_GT(CountColour(plot, kFirstKept, kLegendBand), 20);  // the legend's line of TTO = 45
  EXPECT_GT(CountColour(plot, kSecondKept, kLegendBand), 20);
  EXPECT_GT(CountColour(plot, kFirstKept, kPlotBand), 200);  // its curves
  EXPECT_GT(CountColour(plot, kSecondKept, kPlotBand), 200);
  EXPECT_GT(CountColour(plot, 0x000000, kPlotBand), 300);  // the run on show, in black

  // Cleared, the graph is the classic one again, pixel for pixel.
  ChooseFromPlotMenu("Clear kept runs");
  EXPECT_TRUE(form2_->Kept().Empty());
  Type("EdTTO", "45");
  PressStart();
  EXPECT_EQ(Plot(), classic);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(WindowsTest, KeptRunsAreNamedByTheirFirstTwoDifferences) {
  FlightParameters shown{}, kept{};
  shown.TTO = 45;
  kept.TTO = 30;
  EXPECT_EQ(DifferenceName(kept, shown, '.'), "TTO = 30");
  kept.V0 = 120.5;
  EXPECT_EQ(DifferenceName(kept, shown, ','), "V0 = 120,5, TTO = 30");  // in the parameter table's order
  kept.dt0 = 0.01;
  EXPECT_EQ(DifferenceName(kept, shown, '.'), "V0 = 120.5, TTO = 30, …");
  EXPECT_EQ(DifferenceName(shown, shown, '.'), "");
  KeptRuns runs;
  for (int i = 0; i < 10; ++i) runs.Keep(std::make_shared<RunResult>(), kept);
  EXPECT_EQ(runs.Runs().size(), 8u);
}

TEST_F(WindowsTest, MeasuredDataAreComparedWithTheRunOnShow) {
  OpenWithPreset(0);
  PressStart();
  QFile csv(workDir_.filePath("measured.csv"));
  ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
  csv.write("t_s,H_m\n2,60\n99,1\n");
  csv.close();
  openFile_ = csv.fileName();
  ChooseFromPlotMenu("Open measured data...");
  const QString note = Calc<QLabel>("SampleNote")->text();
  EXPECT_TRUE(note.contains("H_m: RMS ")) << note.toStdString();
  EXPECT_TRUE(note.contains(QStringLiteral("(n\u00A0=\u00A01; 1 außerhalb)")))
      << note.toStdString();  // the form's German

  csv.open(QIODevice::WriteOnly);
  csv.write("t_s,H_m\n2,sixty\n");
  csv.close();
  ChooseFromPlotMenu("Open measured data...");
  EXPECT_EQ(messages_, std::vector<QString>{csv.fileName() + ":2: column 2 (H_m): 'sixty' is not a number "
                                                             "(the decimal separator is '.')"});
}

TEST_F(WindowsTest, StartWithAFieldHoldingNoNumberIsRefusedNamingTheField) {
  OpenWithPreset(0);
  Type("edH0", "a");
  EXPECT_TRUE(messages_.empty());
  EXPECT_TRUE(Marked("edH0"));
  EXPECT_EQ(Text("edH0"), "a");
  PressStart();
  EXPECT_EQ(messages_, std::vector<QString>{"START abgelehnt: H0 (Hoehe, Ho,m): 'a' is not a valid floating "
                                            "point value"});
  EXPECT_FALSE(QFile::exists(workDir_.filePath("Zarn Daten.txt")));
  EXPECT_EQ(form2_->ShownRun(), nullptr);
  Type("edH0", "0");
  PressStart();
  EXPECT_NE(form2_->ShownRun(), nullptr);
  EXPECT_EQ(messages_.size(), 1u);
}

TEST_F(WindowsTest, OpeningAParameterFileClearsThePreviousGraph) {
  OpenWithPreset(0);
  PressStart();
  ASSERT_NE(form2_->ShownRun(), nullptr);
  openFile_ = QStringLiteral(ZARN_EXAMPLES_DIR "/football.zarn");
  QTest::keyClick(form2_.get(), Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(form2_->ShownRun(), nullptr);
  const QImage plot = Plot();
  EXPECT_EQ(CountColour(plot, 0xFFFFFF, plot.rect()), plot.width() * plot.height());
  EXPECT_FALSE(Calc<QLabel>("RunFigures")->isVisible());
  EXPECT_TRUE(messages_.empty());
}

TEST_F(WindowsTest, StartWritesIntoTheChosenResultsFolder) {
  OpenWithPreset(0);
  QDir(workDir_.path()).mkdir("results");
  openFile_ = workDir_.filePath("results");
  ChooseFromPlotMenu("Results folder...");
  PressStart();
  EXPECT_TRUE(QFile::exists(workDir_.filePath("results/Zarn Daten.txt")));
  EXPECT_TRUE(QFile::exists(workDir_.filePath("results/Zarn_500.txt")));
  EXPECT_FALSE(QFile::exists(workDir_.filePath("Zarn_500.txt")));
  EXPECT_TRUE(messages_.empty());
}

// Run twice by ctest: on a 1600 x 1000 screen and on one of 1280 x 1024.
TEST_F(WindowsTest, FormStandsInsideTheScreenOnAnyScreen) {
  PressStartOfStartForm();
  const QRect available = form2_->screen()->availableGeometry();
  const QRect frame = form2_->frameGeometry();
  EXPECT_TRUE(available.contains(frame)) << available.width() << "x" << available.height();
  EXPECT_EQ(form2_->size(), QSize(1216, 696));
  if (available.width() >= 177 + frame.width()) {
    EXPECT_EQ(form2_->pos(), QPoint(177, 49));
  }
  if (available.width() == 1280) {
    EXPECT_EQ(frame.right(), 1279);  // moved the least distance: against the right edge
  }
}

TEST(Placement, AFrameOffTheScreenMovesTheLeastDistanceInside) {
  const QRect screen(0, 0, 1280, 1024);
  EXPECT_EQ(PlacedInside(QRect(177, 49, 1216, 720), screen), QPoint(64, 49));
  EXPECT_EQ(PlacedInside(QRect(177, 49, 1000, 720), screen), QPoint(177, 49));
  EXPECT_EQ(PlacedInside(QRect(177, 400, 1000, 720), screen), QPoint(177, 304));
  EXPECT_EQ(PlacedInside(QRect(177, 49, 1300, 720), screen), QPoint(0, 49));  // wider: its left edge
  EXPECT_EQ(PlacedInside(QRect(-50, -10, 100, 100), QRect(0, 30, 800, 600)), QPoint(0, 30));
}

}  // namespace
}  // namespace zarn::ui
