// The graph as the window shows it: only the top-left 769 x 513 pixels of the picture are seen,
// so every graph that is not the classic one must lie inside them, in every language; the readout
// names the row under the pointer on the scale that is drawn; a parameter file opened over one of
// another task shows its own task alone.
#include <QFile>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <utility>

#include "flight/columns.h"
#include "plot/catalogue.h"
#include "windows_fixture.h"

namespace zarn::ui {
namespace {

bool Ink(QRgb c) {
  return qRed(c) < 250 || qGreen(c) < 250 || qBlue(c) < 250;
}

// Pixels drawn (not white) in the rectangle of the image.
int Drawn(const QImage& image, QRect where) {
  int n = 0;
  where = where.intersected(image.rect());
  for (int y = where.top(); y <= where.bottom(); ++y)
    for (int x = where.left(); x <= where.right(); ++x) n += Ink(image.pixel(x, y)) ? 1 : 0;
  return n;
}

// Near-black pixels, as the horizontal axis's labels are drawn.
int Dark(const QImage& image, QRect where) {
  int n = 0;
  where = where.intersected(image.rect());
  for (int y = where.top(); y <= where.bottom(); ++y)
    for (int x = where.left(); x <= where.right(); ++x) {
      const QRgb c = image.pixel(x, y);
      n += qRed(c) < 80 && qGreen(c) < 80 && qBlue(c) < 80 ? 1 : 0;
    }
  return n;
}

class VisibleGraphTest : public WindowsTest {
 protected:
  // Ctrl+O or Ctrl+S as the keyboard gives it, to the field that has the keys.
  void PressCtrl(Qt::Key key) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(form2_.get()));
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus != nullptr ? focus : form2_.get(), key, Qt::ControlModifier);
  }
  void OpenExample(const char* file) {
    openFile_ = QStringLiteral(ZARN_EXAMPLES_DIR "/") + QString::fromLatin1(file);
    PressCtrl(Qt::Key_O);
  }
  // The pointer moves over the plot, as the window system reports it; returns the readout.
  QString PointAt(QPoint at) {
    QLabel* image1 = Calc<QLabel>("Image1");
    QMouseEvent move(QEvent::MouseMove, QPointF(at), image1->mapToGlobal(QPointF(at)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(image1, &move);
    return image1->toolTip();
  }
  // Every graph button's graph lies inside the part of the picture the plot area shows, and the
  // horizontal axis's labels are drawn at its bottom.
  void ExpectEveryGraphVisible(const char* what) {
    const QSize seen = Calc<QLabel>("Image1")->size();
    ASSERT_EQ(seen, QSize(769, 513));
    for (const GraphEntry& graph : GraphButtons()) {
      SCOPED_TRACE(std::string(what) + " " + std::string(graph.Component));
      Calc<QPushButton>(std::string(graph.Component).c_str())->click();
      ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
      const QImage plot = Plot();
      EXPECT_EQ(Drawn(plot, QRect(seen.width(), 0, 800, 600)), 0) << "drawn right of the visible part";
      EXPECT_EQ(Drawn(plot, QRect(0, seen.height(), 800, 600)), 0) << "drawn below the visible part";
      EXPECT_GT(Dark(plot, QRect(40, seen.height() - 45, seen.width() - 80, 45)), 60) << "no axis labels";
      EXPECT_GT(Drawn(plot, QRect(0, 0, seen.width(), 30)), 100) << "no legend";
    }
  }
};

TEST_F(VisibleGraphTest, ClearKeptAndMeasuredGraphsLieInsideTheVisiblePlotInEveryLanguage) {
  for (const Language language : {kRussian, kGerman, kEnglish}) {
    SCOPED_TRACE(language);
    RestartProgram();
    OpenWithPreset(0, language);
    OpenExample("rocket-3-stage.zarn");  // km, t and kN: long labels
    PressStart();
    ChooseFromPlotMenu("Clear graph style");
    ExpectEveryGraphVisible("clear");
    ChooseFromPlotMenu("Keep this run");
    Type("EdTTO", "80");
    PressStart();
    ExpectEveryGraphVisible("kept runs");
    ChooseFromPlotMenu("Clear kept runs");
    QFile csv(workDir_.filePath("measured.csv"));
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write("t_s,H_m,X_m,V_m_s\n100,20000,5000,900\n200,60000,40000,2000\n400,150000,250000,4000\n");
    csv.close();
    openFile_ = csv.fileName();
    ChooseFromPlotMenu("Open measured data...");
    ExpectEveryGraphVisible("measured");
  }
}

TEST_F(VisibleGraphTest, ReadoutInTheClearStyleNamesTheRowUnderThePointer) {
  OpenWithPreset(0, kEnglish);
  PressStart();
  ChooseFromPlotMenu("Clear graph style");
  PressGraph("Button22");  // H over t alone
  const RunResult& run = Shown();
  // The apex from the table: its row and time.
  int apex = 1;
  for (int i = 2; i <= run.Summary.SamplesStored; ++i)
    if (run.Table.Cell(kColH, i) > run.Table.Cell(kColH, apex)) apex = i;
  const double apexTime = run.Table.Cell(kColT, apex);
  EXPECT_NEAR(apexTime, 6.96, 0.02);
  // The apex on the screen: the topmost pixel of the curve's colour right of its axis.
  const QImage plot = Plot();
  const QRgb blue = 0x0072B2;
  int axisX = 0, axisCount = 0;
  for (int x = 0; x < 200; ++x) {
    int n = 0;
    for (int y = 0; y < plot.height(); ++y) n += (plot.pixel(x, y) & 0xFFFFFF) == blue ? 1 : 0;
    if (n > axisCount) axisCount = n, axisX = x;
  }
  QPoint top(-1, plot.height());
  for (int y = 40; y < 513 && top.x() < 0; ++y)
    for (int x = axisX + 8; x < 760; ++x)
      if ((plot.pixel(x, y) & 0xFFFFFF) == blue) {
        top = QPoint(x, y);
        break;
      }
  ASSERT_GE(top.x(), 0) << "no curve";
  const QString tip = PointAt(top);
  // A pixel of the ~700 wide axis of 16 s is 0.023 s: the row is one of those next to the apex.
  const double t = tip.section(QLatin1Char(' '), 2, 2).toDouble();
  EXPECT_NEAR(t, apexTime, 0.1) << tip.toStdString();
  EXPECT_TRUE(tip.contains("H = 243.")) << tip.toStdString();
  EXPECT_EQ(PointAt(QPoint(2, 300)), "");  // left of the plot area
}

TEST_F(VisibleGraphTest, ReadoutAmongKeptRunsNamesTheRunWhoseCurveIsUnderThePointer) {
  OpenWithPreset(0, kEnglish);
  PressStart();  // TTO = 45
  ChooseFromPlotMenu("Keep this run");
  Type("EdTTO", "30");
  PressStart();
  PressGraph("Button22");
  const QImage plot = Plot();
  // A pixel of each run's own colour: the kept run in blue, the run on show in black.
  const auto find = [&](QRgb colour) {
    for (int y = 60; y < 480; ++y)
      for (int x = 100; x < 700; ++x)
        if ((plot.pixel(x, y) & 0xFFFFFF) == colour) return QPoint(x, y);
    return QPoint(-1, -1);
  };
  const QPoint kept = find(0x0072B2), shown = find(0x000000);
  ASSERT_GE(kept.x(), 0);
  ASSERT_GE(shown.x(), 0);
  EXPECT_TRUE(PointAt(kept).startsWith("TTO = 45:\nt = ")) << PointAt(kept).toStdString();
  EXPECT_TRUE(PointAt(shown).startsWith("this run:\nt = ")) << PointAt(shown).toStdString();

  // A measured point high above both curves late in the flight: its ring is the only black there.
  QFile csv(workDir_.filePath("point.csv"));
  ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
  csv.write("t_s,H_m\n13,240\n");
  csv.close();
  openFile_ = csv.fileName();
  ChooseFromPlotMenu("Open measured data...");
  const QImage withPoint = Plot();
  QPoint ring(-1, -1);
  for (int y = 40; y < 200 && ring.x() < 0; ++y)
    for (int x = 500; x < 700; ++x)
      if (qGray(withPoint.pixel(x, y)) < 60) {
        ring = QPoint(x, y + 3);  // the ring's top, and the point 3 px below it
        break;
      }
  ASSERT_GE(ring.x(), 0) << "no measured point drawn";
  EXPECT_EQ(PointAt(ring), "measured: point.csv\nt = 13 s\nH = 240 m");
}

TEST_F(VisibleGraphTest, FileOverAFileOfAnotherTaskShowsItsOwnTaskAlone) {
  const struct {
    const char* First;
    const char* Then;
    std::vector<const char*> Shown, Hidden;
  } cases[] = {
      {"rocket-3-stage.zarn",
       "football.zarn",
       {"Image2"},
       {"Image6", "EdMt", "Label26", "ButtonP", "EdSchub"}},
      {"weather-balloon.zarn",
       "rocket-3-stage.zarn",
       {"Image6", "EdMt", "ButtonP"},
       {"Image3", "EdGas", "EdHFlug"}},
      {"glider.zarn", "weather-balloon.zarn", {"Image3", "EdGas", "Volumen_Start"}, {"EdiVopt"}},
      {"sounding-rocket-2-stage.zarn", "glider.zarn", {"EdiVopt"}, {"Image6", "EdMt2", "ButtonP"}},
      {"weather-balloon.zarn", "buoyant-body.zarn", {"Volumen_Start"}, {"Image3", "EdGas", "EdHFlug"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.First) + " then " + c.Then);
    RestartProgram();
    OpenWithPreset(0);
    for (const char* file : {c.First, c.Then}) {
      OpenExample(file);
      ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
    }
    for (const char* control : c.Shown) EXPECT_TRUE(Calc<QWidget>(control)->isVisible()) << control;
    for (const char* control : c.Hidden) {
      EXPECT_FALSE(Calc<QWidget>(control)->isVisible()) << control;
      if (auto* field = form2_->findChild<QLineEdit*>(QString::fromLatin1(control))) {
        EXPECT_EQ(field->text(), "") << control << ": a value of the file before";
      }
    }
  }
  // What Ctrl+S writes is what the form shows: the football's values, none of the rocket's.
  RestartProgram();
  OpenWithPreset(0);
  for (const char* file : {"rocket-3-stage.zarn", "football.zarn"}) {
    OpenExample(file);
  }
  chosenFile_ = workDir_.filePath("saved.zarn");
  PressCtrl(Qt::Key_S);
  const QByteArray saved = Contents(chosenFile_);
  EXPECT_TRUE(saved.contains("\nMt = 0 ")) << saved.toStdString();
  EXPECT_TRUE(saved.contains("\nV0 = 40 ")) << saved.toStdString();
  PressStart();
  const QString figures = Calc<QLabel>("RunFigures")->text();
  EXPECT_TRUE(figures.contains("45.66 m")) << figures.toStdString();  // the football's kick
}

// The note covers no control that shows.
void ExpectCoversNothing(const QWidget& form, const QLabel& note) {
  for (const QWidget* w : form.findChildren<QWidget*>()) {
    if (w == &note || !w->isVisible() || w->parentWidget() != &form) continue;
    if (qobject_cast<const QLabel*>(w) == nullptr && qobject_cast<const QLineEdit*>(w) == nullptr &&
        qobject_cast<const QPushButton*>(w) == nullptr)
      continue;
    EXPECT_FALSE(note.geometry().intersects(w->geometry())) << w->objectName().toStdString();
  }
}

// Every line of a label in sight: no wider than the label, and all of its lines within its height.
void ExpectWhollyShown(const QLabel& label) {
  const QFontMetrics fm(label.font());
  if (label.wordWrap()) {
    EXPECT_LE(fm.boundingRect(QRect(0, 0, label.width(), 10000), Qt::TextWordWrap, label.text()).height(),
              label.height())
        << label.text().toStdString();
  } else {
    for (const QString& line : label.text().split(QLatin1Char('\n')))
      EXPECT_LE(fm.horizontalAdvance(line), label.width()) << line.toStdString();
    EXPECT_LE(fm.lineSpacing() * label.text().count(QLatin1Char('\n')) + fm.height(), label.height());
  }
}

TEST_F(VisibleGraphTest, FiguresNameTheClassicWindModelAndTheMeasuredNoteShowsEveryLine) {
  const struct {
    Language Chosen;
    const char* WindLine;
  } cases[] = {
      {kRussian, "Ветер: классич. (меню: физич.)"},
      {kGerman, "Wind klassisch; Menü: physikalisch"},
      {kEnglish, "Wind: classic model (menu: physical)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Chosen);
    RestartProgram();
    OpenWithPreset(2, c.Chosen);  // the football
    Type("edVwind", "10");
    PressStart();
    const QLabel* figures = Calc<QLabel>("RunFigures");
    EXPECT_TRUE(figures->text().endsWith(QString::fromUtf8(c.WindLine))) << figures->text().toStdString();
    ExpectWhollyShown(*figures);
    ChooseFromPlotMenu("Physical wind");
    PressStart();
    EXPECT_FALSE(figures->text().contains(QString::fromUtf8(c.WindLine))) << figures->text().toStdString();

    // Measured data of three columns, some outside the flight, and the method's note.
    QFile csv(workDir_.filePath("kick.csv"));
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write("t_s,H_m,X_m,V_m_s\n0.5,6,9,35\n1,10,17,30\n2,15,30,22\n9,0,60,1\n");
    csv.close();
    openFile_ = csv.fileName();
    ChooseFromPlotMenu("Open measured data...");
    ChooseFromPlotMenu("Runge-Kutta 4");
    PressStart();
    const QLabel* note = Calc<QLabel>("SampleNote");
    EXPECT_EQ(note->text().count(QLatin1Char('\n')), 6) << note->text().toStdString();  // 7 lines
    ExpectWhollyShown(*note);
    ExpectCoversNothing(*form2_, *note);
    ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  }
  // Beside a rocket's stage block the note keeps its place and takes a smaller face.
  RestartProgram();
  OpenWithPreset(0, kGerman);
  OpenExample("sounding-rocket-2-stage.zarn");
  openFile_ = workDir_.filePath("kick.csv");
  ChooseFromPlotMenu("Open measured data...");
  ChooseFromPlotMenu("Runge-Kutta 4");
  PressStart();
  ASSERT_TRUE(Calc<QWidget>("Label26")->isVisible());
  const QLabel* note = Calc<QLabel>("SampleNote");
  ExpectWhollyShown(*note);
  ExpectCoversNothing(*form2_, *note);
}

// The topmost pixel of the colour in the plot area, or (-1, -1).
QPoint Topmost(const QImage& plot, QRgb colour) {
  for (int y = 40; y < 480; ++y)
    for (int x = 100; x < 760; ++x)
      if ((plot.pixel(x, y) & 0xFFFFFF) == colour) return {x, y};
  return {-1, -1};
}

// The number after "H = " in a readout, and the unit after it.
std::pair<double, QString> HeightRead(const QString& tip) {
  const QString line = tip.section(QStringLiteral("H = "), 1).section(QLatin1Char('\n'), 0, 0);
  return {line.section(QLatin1Char(' '), 0, 0).toDouble(), line.section(QLatin1Char(' '), 1)};
}

TEST_F(VisibleGraphTest, KeptRunInKmUnderARunInMetresIsDrawnAndReadInMetres) {
  OpenWithPreset(0, kEnglish);
  OpenExample("rocket-3-stage.zarn");
  PressStart();
  ASSERT_EQ(Shown().Units.HeightInKm, 1);
  ChooseFromPlotMenu("Keep this run");
  Type("edTk", "30");  // 30 s of the climb: a few km, in metres
  PressStart();
  ASSERT_EQ(Shown().Units.HeightInKm, 0);
  PressGraph("Button22");  // H over t
  const QImage plot = Plot();
  // The kept run's apex (343 km, the example's own comment) tops the scale: its highest pixel lies
  // near the plot's top, far above the run on show.
  const QPoint kept = Topmost(plot, 0x0072B2), shown = Topmost(plot, 0x000000);
  ASSERT_GE(kept.x(), 0) << "no kept curve";
  EXPECT_LT(kept.y(), 90);
  const auto [keptH, keptUnit] = HeightRead(PointAt(kept));
  EXPECT_NEAR(keptH, 343000, 3000) << PointAt(kept).toStdString();
  EXPECT_EQ(keptUnit, "m");
  // The run on show, 30 s up: under 10 km, low on a scale of 350 km.
  ASSERT_GE(shown.x(), 0);
  EXPECT_GT(shown.y(), 400);

  // And the other way round: the 30 s run kept (under 10 km), the whole flight on show in km. Taken
  // as km, the kept run's metres would stretch the scale past 5000 and press the apex down.
  ChooseFromPlotMenu("Clear kept runs");
  ChooseFromPlotMenu("Keep this run");
  Type("edTk", "5000");
  PressStart();
  ASSERT_EQ(Shown().Units.HeightInKm, 1);
  PressGraph("Button22");
  const QPoint apex = Topmost(Plot(), 0x000000);
  ASSERT_GE(apex.x(), 0);
  EXPECT_LT(apex.y(), 90);
  const auto [shownH, shownUnit] = HeightRead(PointAt(apex));
  EXPECT_NEAR(shownH, 343, 3) << PointAt(apex).toStdString();
  EXPECT_EQ(shownUnit, "km");
  EXPECT_TRUE(messages_.empty());
}

// Measurements after the flight's end: the scale reaches them, so they are drawn and read out,
// and the note counts them outside the flight.
TEST_F(VisibleGraphTest, MeasuredPointsAfterTheFlightsEndLieInsideTheScale) {
  OpenWithPreset(0, kEnglish);
  PressStart();  // lands at about 14 s
  PressGraph("Button22");
  QFile csv(workDir_.filePath("late.csv"));
  ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
  csv.write("t_s,H_m\n2,60\n27,150\n");
  csv.close();
  openFile_ = csv.fileName();
  ChooseFromPlotMenu("Open measured data...");
  const QImage plot = Plot();
  // Right of the curve's end (x 360 of the plot's 50 to 711) only the late point's ring is dark.
  QPoint ring(-1, -1);
  for (int y = 40; y < 470 && ring.x() < 0; ++y)
    for (int x = 450; x < 700; ++x)
      if (qGray(plot.pixel(x, y)) < 60) {
        ring = QPoint(x, y + 3);
        break;
      }
  ASSERT_GE(ring.x(), 0) << "the point after the flight is not drawn";
  EXPECT_EQ(PointAt(ring), "measured: late.csv\nt = 27 s\nH = 150 m");
  const QString note = Calc<QLabel>("SampleNote")->text();
  EXPECT_TRUE(note.contains(QStringLiteral("(n\u00A0=\u00A01; 1 outside)"))) << note.toStdString();
}

}  // namespace
}  // namespace zarn::ui
