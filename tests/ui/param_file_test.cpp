// Parameter files in the window: Ctrl+O, Ctrl+S and a dropped file; the start with a file; the
// figures after a run and the values under the pointer.
#include "input/param_file.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "flight/number_text.h"
#include "plot/round_even.h"
#include "windows_fixture.h"

namespace zarn::ui {
namespace {

QString Example(const char* name) {
  return QStringLiteral(ZARN_EXAMPLES_DIR "/") + QString::fromLatin1(name);
}

class ParamFileWindowTest : public WindowsTest {
 protected:
  // A shortcut of the calculation form, pressed while it is the active window as START left it;
  // the keys go where the keyboard's go, to the control with the focus (often a field).
  void PressCtrl(Qt::Key key) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(form2_.get()));
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus != nullptr ? focus : form2_.get(), key, Qt::ControlModifier);
  }
  void OpenByKeyboard(const QString& file) {
    openFile_ = file;
    PressCtrl(Qt::Key_O);
  }
  // Every field's text and every control's visibility: what the user sees of the form.
  QStringList Looks() const {
    QStringList looks;
    for (QWidget* w : form2_->findChildren<QWidget*>()) {
      if (w->objectName().isEmpty()) continue;
      QString look = w->objectName() + (w->isVisible() ? " shown" : " hidden");
      if (auto* edit = qobject_cast<QLineEdit*>(w)) look += " '" + edit->text() + "'";
      looks << look;
    }
    return looks;
  }
  // Drops the file on the control, as a file manager's drag ends there.
  void Drop(QWidget* target, const QString& file) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(file)});
    mime.setText(QUrl::fromLocalFile(file).toString());  // file managers offer the text as well
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted()) << "the drop is refused";
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
  }
  QString Figures() const { return Calc<QLabel>("RunFigures")->text(); }
  QByteArray StepFile() const { return Contents(workDir_.filePath("Zarn Daten.txt")); }
  QByteArray SampleFile() const { return Contents(workDir_.filePath("Zarn_500.txt")); }
};

TEST_F(ParamFileWindowTest, CtrlOOpensTheRocketExampleWithItsStagesAndButtonP) {
  OpenWithPreset(0, kEnglish);
  OpenByKeyboard(Example("sounding-rocket-2-stage.zarn"));
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  for (const char* control : {"EdMt", "EdSchu2", "EdS3", "Label26", "ButtonP", "Image6"})
    EXPECT_TRUE(Calc<QWidget>(control)->isVisible()) << control;
  EXPECT_EQ(Caption("Label26"), "LAUNCHING STAGE");
  EXPECT_EQ(Text("EdMt"), "600");
  EXPECT_EQ(Text("EdSchu2"), "25000");
  EXPECT_EQ(Text("edMassaStart"), "1800");
  EXPECT_EQ(Params().TaskKind, 8.0);
  EXPECT_EQ(Params().Schu2, 25000.0);
  EXPECT_EQ(Params().V0, 30.0);

  PressStart();  // the graph of thrust and mass is there to be pressed
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  EXPECT_TRUE(Uncovered("ButtonP"));
}

TEST_F(ParamFileWindowTest, CtrlOOpensTheBalloonExampleWithItsVolume) {
  OpenWithPreset(0);
  OpenByKeyboard(Example("weather-balloon.zarn"));
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  for (const char* control : {"Volumen_Start", "Label15", "EdGas", "EdHFlug", "Image3"})
    EXPECT_TRUE(Calc<QWidget>(control)->isVisible()) << control;
  // 1.5 kg / (1.225 - 0.1785) kg/m^3: neutral buoyancy in ISA sea-level air.
  EXPECT_TRUE(Text("Volumen_Start").startsWith("1.4333")) << Text("Volumen_Start").toStdString();
  EXPECT_EQ(Text("EdS0"), "1.548");  // four digits; the parameter keeps the whole area
  EXPECT_NEAR(Params().S0, 1.54771, 1e-5);
  EXPECT_EQ(Text("EdGas"), "0.1785");
  EXPECT_EQ(Text("EdHFlug"), "30000");
  EXPECT_EQ(Params().Hk, 0.0);
  EXPECT_EQ(Params().TaskKind, 3.0);
}

TEST_F(ParamFileWindowTest, OpeningAFileIsChoosingItAsAPresetAndPressingStart) {
  OpenWithPreset(0, kRussian);
  const QStringList byPreset = Looks();
  const FlightParameters preset = Params();

  RestartProgram();
  ChooseLanguage(kRussian);
  PressStartOfStartForm();  // the empty record: every field "0"
  OpenByKeyboard(Example("projectile-45deg.zarn"));
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  EXPECT_EQ(Looks(), byPreset);
  EXPECT_EQ(std::memcmp(&Params(), &preset, sizeof preset), 0) << "the parameters differ";

  // MAIN and START of the start form bring the file's values back, as they do a preset's.
  Type("edV0", "55");
  PressMain();
  PressStartOfStartForm();
  EXPECT_EQ(Text("edV0"), "100");
  EXPECT_EQ(Params().V0, 100.0);
}

TEST_F(ParamFileWindowTest, BadFileShowsItsMessageAndChangesNothing) {
  OpenWithPreset(4);
  Type("edV0", "123");  // an edit of the user's, which a refused file must keep too
  const QStringList looks = Looks();
  const FlightParameters before = Params();
  const WindowState state = *data_;

  const QString dir = workDir_.path();
  const struct {
    const char* Name;
    const char* Text;  // nullptr: no such file; "": a folder of that name
    QString Message;
  } kCases[] = {
      {"typo.zarn", "H0 = 1\n\nVo = 3\n", "/typo.zarn:3: unknown parameter 'Vo' (did you mean 'V0'?)"},
      {"word.zarn", "V0 = fast\n",
       "/word.zarn:1: the value of V0, 'fast', is not a number (the decimal separator is '.')"},
      {"twice.zarn", "Cx = 1\nCx = 2\n", "/twice.zarn:2: Cx is given twice (first on line 1)"},
      {"noeq.zarn", "# a rocket\nV0 12\n", "/noeq.zarn:2: expected NAME = VALUE, not 'V0 12'"},
      {"missing.zarn", nullptr, "missing.zarn\": " + PlatformMessage(ENOENT)},
      {"folder.zarn", "", "folder.zarn\": " + PlatformMessage(EISDIR)},
  };
  for (const auto& c : kCases) {
    const QString path = dir + "/" + c.Name;
    if (c.Text != nullptr && *c.Text == '\0') {
      ASSERT_TRUE(QDir(dir).mkdir(c.Name));
    } else if (c.Text != nullptr) {
      QFile file(path);
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write(c.Text);
    }
    for (bool dropped : {false, true}) {
      messages_.clear();
      if (dropped) {
        Drop(Calc<QLineEdit>("edV0"), path);  // onto a field, which takes other drops itself
      } else {
        OpenByKeyboard(path);
      }
      ASSERT_EQ(messages_.size(), 1u) << c.Name;
      EXPECT_TRUE(messages_[0].endsWith(c.Message)) << messages_[0].toStdString();
      EXPECT_TRUE(messages_[0].contains(c.Name)) << messages_[0].toStdString();
      EXPECT_EQ(Looks(), looks) << c.Name;
      EXPECT_EQ(std::memcmp(&before, &Params(), sizeof before), 0) << c.Name << ": the parameters changed";
      EXPECT_TRUE(state == *data_) << c.Name << ": the choices changed";
    }
  }
}

TEST_F(ParamFileWindowTest, DroppedFileOpensAndOtherDropsStayTheFields) {
  OpenWithPreset(0);
  Drop(form2_.get(), Example("glider.zarn"));
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  EXPECT_TRUE(Calc<QWidget>("EdiVopt")->isVisible());
  EXPECT_TRUE(Text("EdiVopt").startsWith("27.489")) << Text("EdiVopt").toStdString();
  EXPECT_EQ(Params().Cy, 0.7);

  // A drag without a parameter file is the field's own business: no file is opened.
  QMimeData mime;
  mime.setText(QStringLiteral("12"));
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(form2_.get(), &enter);
  EXPECT_FALSE(enter.isAccepted());
}

TEST_F(ParamFileWindowTest, SaveThenOpenGivesTheSameResultFiles) {
  OpenWithPreset(0);
  OpenByKeyboard(Example("rocket-3-stage.zarn"));
  Type("EdTTO", "75");
  Type("EdSchu3", "50000");
  PressStart();
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  const QByteArray steps = StepFile(), samples = SampleFile();

  chosenFile_ = workDir_.filePath("mine.zarn");
  QTest::mouseClick(Calc<QLineEdit>("EdSchu3"), Qt::LeftButton);  // Ctrl+S while a field has the keys
  ASSERT_EQ(QApplication::focusWidget(), Calc<QLineEdit>("EdSchu3"));
  PressCtrl(Qt::Key_S);
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  EXPECT_EQ(chooserCaptions_, std::vector<QString>{"Parameterdatei speichern"});
  const QByteArray saved = Contents(chosenFile_);
  EXPECT_TRUE(saved.contains("\nTTO = 75 ")) << saved.toStdString();
  EXPECT_TRUE(saved.contains("\nSchu3 = 50000 ")) << saved.toStdString();

  Type("EdTTO", "30");
  QFile::remove(workDir_.filePath("Zarn Daten.txt"));
  OpenByKeyboard(chosenFile_);
  EXPECT_EQ(Text("EdTTO"), "75");
  PressStart();
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  EXPECT_TRUE(StepFile() == steps) << "the step file differs";
  EXPECT_TRUE(SampleFile() == samples) << "the sample file differs";
}

TEST_F(ParamFileWindowTest, FileGivenAtStartIsTheChosenPreset) {
  form1_->ChooseParamFile(Example("weather-balloon.zarn"));
  ChooseLanguage(kEnglish);
  PressStartOfStartForm();
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  EXPECT_TRUE(Calc<QWidget>("Volumen_Start")->isVisible());
  EXPECT_EQ(Text("EdGas"), "0.1785");
  EXPECT_EQ(Caption("Label18"), "    density of gas,         kg/m3");

  const auto record = data_->PresetRecord;
  EXPECT_THROW(form1_->ChooseParamFile(workDir_.filePath("none.zarn")), ParamFileError);
  EXPECT_EQ(data_->PresetRecord, record);
}

TEST_F(ParamFileWindowTest, FiguresAfterARunAreTheRunsInTheFormsLanguage) {
  OpenWithPreset(0, kEnglish);
  EXPECT_FALSE(Calc<QWidget>("RunFigures")->isVisible());
  OpenByKeyboard(Example("sounding-rocket-2-stage.zarn"));
  PressStart();
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  ASSERT_TRUE(Calc<QWidget>("RunFigures")->isVisible());
  const RunSummary& r = Shown().Summary;
  const FlightEvent* impact = FindEvent(Shown().Events, EventKind::Impact);
  const FlightEvent* apex = FindEvent(Shown().Events, EventKind::Apex);
  ASSERT_TRUE(impact && apex);
  auto num = [](double v) { return QString::number(v, 'g', 4); };
  // The flight ends at the ground: the time, range and speed of its impact, between its last
  // steps; its apex is the apex event's.
  EXPECT_EQ(Figures(),
            QStringList({"flight time: " + num(impact->t) + " s", "range: " + num(impact->X / 1000) + " km",
                         "apex height: " + num(apex->H / 1000) + " km at " + num(apex->t) + " s",
                         "end speed: " + num(impact->V) + " m/s",
                         "max. dynamic pressure: " + num(r.MaxQ / 1000) + " kPa",
                         "peak load factor nx: " + num(r.PeakNx) + " g"})
                .join('\n'));
  EXPECT_TRUE(Figures().startsWith("flight time: 376.4 s\nrange: 47.98 km\napex height: 143.7 km at "));

  PressMain();
  EXPECT_FALSE(Calc<QWidget>("RunFigures")->isVisible());
}

TEST_F(ParamFileWindowTest, FiguresFitTheirCornerInEveryLanguageAndCoverNoControl) {
  for (Language language : {kRussian, kGerman, kEnglish}) {
    RestartProgram();
    // Six figures, the level-flight speed last; a glider that only descends has no apex.
    form1_->ChooseParamFile(Example("glider.zarn"));
    ChooseLanguage(language);
    PressStartOfStartForm();
    PressStart();
    ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
    const QLabel* figures = Calc<QLabel>("RunFigures");
    ASSERT_TRUE(figures->isVisible());
    EXPECT_EQ(figures->text().count('\n'), 5);
    EXPECT_LE(figures->sizeHint().width(), figures->width()) << figures->text().toStdString();
    EXPECT_LE(figures->sizeHint().height(), figures->height()) << figures->text().toStdString();
    for (QWidget* control : form2_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (control == figures || !control->isVisible()) continue;
      EXPECT_FALSE(control->geometry().intersects(figures->geometry()))
          << control->objectName().toStdString();
    }
  }
  EXPECT_TRUE(Figures().contains("level-flight speed: 27.49 m/s")) << Figures().toStdString();
}

// The figures in the units of the graphs' axes, each of its own: a vertical shot puts only the
// heights into km, a flat one only the range. The vertical one ends by time, still falling (its
// last step's range); the flat one at the ground (its impact's). The apex times are those of
// V0 sin(TTO) / 9.8 in vacuum, 61.22 s and 8.894 s, and the Euler step's 0.375 dt0 = 0.002 s late.
TEST_F(ParamFileWindowTest, FiguresOfAFlightWithOnlyItsHeightOrOnlyItsRangeInKm) {
  const struct {
    const char* Angle;
    const char* Speed;
    const char* Range;
    const char* Apex;
  } flights[] = {
      {"90", "600", "range: 5.534 m", "apex height: 18.37 km at 61.23 s"},
      {"5", "1000", "range: 17.73 km", "apex height: 388.7 m at 8.895 s"},
  };
  for (const auto& f : flights) {
    SCOPED_TRACE(f.Angle);
    RestartProgram();
    OpenWithPreset(0, kEnglish);
    Type("EdCx", "0");
    Type("EdTTO", f.Angle);
    Type("edV0", f.Speed);
    PressStart();
    ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
    const QStringList lines = Figures().split('\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[1], f.Range);
    EXPECT_EQ(lines[2], f.Apex);
  }
}

// A value of more than 15 significant digits in a file is what its field shows: 0.10000000000000002
// s runs as 0.1 s, 11 steps to Tk = 1 s, as the runner runs it.
TEST_F(ParamFileWindowTest, FullPrecisionValueRunsAsItsFieldShowsIt) {
  const QString body = QStringLiteral(
      "TaskKind = 1\nMassaStart = 1\nS0 = 0.02\nCx = 0.45\nH0 = 10000\nTTO = -88\nTk = 1\ndt0 = ");
  QByteArray files[2][2];
  const char* const steps[] = {"0.10000000000000002", "0.1"};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(steps[i]);
    RestartProgram();
    const QString name = workDir_.filePath(QStringLiteral("step%1.zarn").arg(i));
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write((body + QString::fromLatin1(steps[i]) + "\n").toUtf8());
    file.close();
    form1_->ChooseParamFile(name);
    PressStartOfStartForm();
    EXPECT_EQ(Text("eddt0"), "0.1");
    PressStart();
    ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
    EXPECT_EQ(Shown().Summary.StepsPerPass, 11);
    files[i][0] = StepFile();
    files[i][1] = SampleFile();
  }
  EXPECT_TRUE(files[0][0] == files[1][0]);
  EXPECT_TRUE(files[0][1] == files[1][1]);
}

TEST_F(ParamFileWindowTest, PointerOverThePlotNamesTheNearestRowsValues) {
  OpenWithPreset(0);
  OpenByKeyboard(Example("rocket-3-stage.zarn"));
  PressStart();
  PressGraph("Button3");  // H over t: one curve, so the plot area starts at x 100 and is 630 wide
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  ASSERT_EQ(Shown().Units.HeightInKm, 1);
  QLabel* plot = Calc<QLabel>("Image1");
  // The pointer reaches the topmost window at its screen position; this platform keeps the start
  // form, created first, above the calculation form, so it steps aside as a user would move it.
  form1_->move(form2_->geometry().bottomRight() + QPoint(50, 50));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form2_.get()));
  const TrajectoryTable& table = Shown().Table;
  double tmax = 0;
  for (int row = 1; row < 500; ++row) tmax = std::max(tmax, table.Cell(kColT, row));
  for (int row : {1, 137, 300, 499}) {
    const int x = 100 + RoundEven(table.Cell(kColT, row) * 630 / tmax);
    QTest::mouseMove(plot, QPoint(x, 250));
    const QString expected = "t = " + QString::fromStdString(FormatGeneral(table.Cell(kColT, row), 6, '.')) +
                             " s  (row " + QString::number(row) + ")\nH = " +
                             QString::fromStdString(FormatGeneral(table.Cell(kColH, row), 6, '.')) + " km";
    EXPECT_EQ(plot->toolTip(), expected) << "x " << x;
  }
  QTest::mouseMove(plot, QPoint(60, 250));  // over the axis labels, left of the plot area
  EXPECT_TRUE(plot->toolTip().isEmpty()) << plot->toolTip().toStdString();
}

}  // namespace
}  // namespace zarn::ui
