// The calculation form: activation, captions, field binding, START, graph buttons and MAIN.
#include <QFile>
#include <cstring>
#include <filesystem>

#include "flight/integrator.h"
#include "flight/number_text.h"
#include "flight/presets.h"
#include "output/table_csv.h"
#include "plot/catalogue.h"
#include "plot/renderer.h"
#include "tests/support/flights.h"
#include "tests/support/scratch.h"
#include "windows_fixture.h"

namespace zarn::ui {
namespace {

using test_support::ReadFile;

TEST_F(WindowsTest, PresetValuesReachTheFieldsAndTheParameters) {
  OpenWithPreset(0);
  EXPECT_EQ(Text("edMassaStart"), "1");
  EXPECT_EQ(Text("EdS0"), "0.02");
  EXPECT_EQ(Text("EdCx"), "0.01");
  EXPECT_EQ(Text("EdCy"), "0");
  EXPECT_EQ(Text("edH0"), "1");
  EXPECT_EQ(Text("edV0"), "100");
  EXPECT_EQ(Text("EdTTO"), "45");
  EXPECT_EQ(Text("edTk"), "100");
  EXPECT_EQ(Text("eddt0"), "0.005");
  EXPECT_EQ(Text("edHkk"), "0");
  const FlightParameters& p = Params();
  EXPECT_EQ(p.MassaStart, 1.0);
  EXPECT_EQ(p.S0, 0.02);
  EXPECT_EQ(p.Cx, 0.01);
  EXPECT_EQ(p.V0, 100.0);
  EXPECT_EQ(p.Tk, 100.0);
  EXPECT_EQ(p.dt0, 0.005);
  EXPECT_TRUE(Calc<QWidget>("Image2")->isVisible());  // the ballistic sketch
  EXPECT_FALSE(Calc<QWidget>("Button14")->isVisible());
}

TEST_F(WindowsTest, SecondPresetShowsItsHeightAndStepAndNegativeAngle) {
  OpenWithPreset(1);
  EXPECT_EQ(Text("edH0"), "10000");
  EXPECT_EQ(Text("eddt0"), "0.01");
  EXPECT_EQ(Text("EdTTO"), "-88");
  EXPECT_EQ(Text("EdCx"), "0.45");
  EXPECT_EQ(Params().H0, 10000.0);
}

TEST_F(WindowsTest, LiftingPresetShowsTheLiftGraphButton) {
  OpenWithPreset(4);
  EXPECT_EQ(Text("EdCy"), "0.05");
  EXPECT_TRUE(Calc<QWidget>("Button14")->isVisible());
}

TEST_F(WindowsTest, RussianCaptionsKeepTheirLatinLetters) {
  OpenWithPreset(0, kRussian);
  EXPECT_EQ(Caption("Label10"), QString::fromUtf8("Шаг интегрирования, с"));
  EXPECT_EQ(Caption("Label8"), QString::fromUtf8("Стартовая масса,m0,кг"));
  EXPECT_EQ(Caption("edV"), QString::fromUtf8("Скорость,Vo,м/c"));
  EXPECT_TRUE(Caption("edV").endsWith(QLatin1String("/c")));  // a Latin c after the Cyrillic м
  EXPECT_EQ(Caption("Label14"), QString::fromUtf8("Угол наклона траектории,Qo,град"));
  EXPECT_EQ(Caption("Label1"), QString::fromUtf8("Конечные условия"));
  EXPECT_EQ(Caption("Button12"), "X=f(t)");
  EXPECT_EQ(Caption("Button14"), "Y=f(t)");
  // These stay German in every language.
  EXPECT_EQ(Caption("Label15"), "Volumen, m3");
  EXPECT_EQ(Caption("Label29"), "2.STUFE");
  EXPECT_EQ(Caption("Button10"), "H,V,Q,q,nx");
}

TEST_F(WindowsTest, EnglishCaptionsReplaceTheGermanOnes) {
  OpenWithPreset(0, kEnglish);
  EXPECT_EQ(Caption("Label10"), "step of integration, s");
  EXPECT_EQ(Caption("Label7"), "windspeed,Vw,m/s");
  EXPECT_EQ(Caption("Label12"), "entry conditions");
  EXPECT_EQ(Caption("Label3"), "time,s");
  EXPECT_EQ(Caption("Button12"), "Drag=f(t)");
  EXPECT_EQ(Caption("Button14"), "Lift=f(t)");
  // Stage captions change only when a rocket record shows the stage block.
  EXPECT_EQ(Caption("Label26"), "STARTSTUFE");
}

TEST_F(WindowsTest, GermanIsTheFormsOwnText) {
  OpenWithPreset(0, kGerman);
  EXPECT_EQ(Caption("Label7"), "Windgeschwindigkeit  Vw, m/s");
  EXPECT_EQ(Caption("Label25"), "Hoehe, Ho,m .............");
  EXPECT_EQ(Caption("Button14"), "A=f(t)");
}

TEST_F(WindowsTest, CommaLocaleReadsACommaAndRefusesAPoint) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  OpenWithPreset(0);
  EXPECT_EQ(Text("EdS0"), "0,02");  // numbers are shown with the locale's separator too

  Type("EdS0", "1,5");
  EXPECT_EQ(Params().S0, 1.5);
  EXPECT_TRUE(messages_.empty()) << messages_.front().toStdString();

  Type("EdCx", "1.5");
  EXPECT_TRUE(messages_.empty());  // said inside the form, in no window of its own
  EXPECT_EQ(FieldNote(), "Cx (Widerstandszahl, Cw): '1.5' is not a valid floating point value");
  EXPECT_EQ(Params().Cx, 1.0);     // from "1", the last text that read as a number
  EXPECT_EQ(Text("EdCx"), "1.5");  // the field keeps what was typed
}

// Arabic writes U+066B, two bytes in UTF-8, where a char cannot hold it.
TEST_F(WindowsTest, ArabicLocaleShowsAndReadsItsOwnSeparator) {
  QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
  ASSERT_EQ(QLocale().decimalPoint(), QStringLiteral("\u066B"));
  OpenWithPreset(0);
  EXPECT_EQ(Text("EdS0"), QStringLiteral("0\u066B02"));
  EXPECT_EQ(Text("eddt0"), QStringLiteral("0\u066B005"));

  // The separator comes as the keyboard's text: Qt Test's typing takes Latin-1 alone.
  const auto type = [this](const char* field, const QString& text) {
    QLineEdit* edit = Calc<QLineEdit>(field);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    for (const QChar c : text) QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), {});
  };
  type("EdS0", QStringLiteral("1\u066B5"));
  EXPECT_EQ(Params().S0, 1.5);
  EXPECT_FALSE(Marked("EdS0"));
  type("EdCx", QStringLiteral("1.5"));
  EXPECT_EQ(FieldNote(), "Cx (Widerstandszahl, Cw): '1.5' is not a valid floating point value");
  EXPECT_EQ(Params().Cx, 1.0);
  type("EdCx", QStringLiteral("0\u066B01"));
  EXPECT_EQ(Params().Cx, 0.01);
  PressStart();
  EXPECT_TRUE(messages_.empty()) << messages_.front().toStdString();
  EXPECT_EQ(Shown().Summary.SamplesStored > 1, true);

  // The classic graph's labels are bytes: it writes '.', the same picture as in a locale of points.
  const QImage arabic = Plot();
  QLocale::setDefault(QLocale::c());
  RestartProgram();
  OpenWithPreset(0);
  Type("EdS0", "1.5");
  Type("EdCx", "0.01");
  PressStart();
  EXPECT_EQ(Plot(), arabic);
}

TEST_F(WindowsTest, EmptiedFieldReportsEmptyQuotesAndKeepsTheValue) {
  OpenWithPreset(0);
  Empty("edV0");
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(FieldNote(), "V0 (Geschwindigkeit, Vo, m/s): '' is not a valid floating point value");
  EXPECT_TRUE(Marked("edV0"));
  EXPECT_EQ(Params().V0, 100.0);
}

TEST_F(WindowsTest, TypedNumbersFollowTheReadingRule) {
  OpenWithPreset(0);
  Type("edV0", " 12 ");
  EXPECT_EQ(Params().V0, 12.0);
  Type("edV0", "1e3");
  EXPECT_EQ(Params().V0, 1000.0);
  Type("edV0", "1e");
  EXPECT_EQ(Params().V0, 1.0);
  Type("edH0", ".");
  EXPECT_EQ(Params().H0, 0.0);

  messages_.clear();
  Type("edV0", "-");
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(FieldNote(), "V0 (Geschwindigkeit, Vo, m/s): '-' is not a valid floating point value");
  EXPECT_EQ(Params().V0, 1.0);
  QTest::keyClicks(Calc<QLineEdit>("edV0"), "88");  // on its way to -88
  EXPECT_EQ(Params().V0, -88.0);
  EXPECT_FALSE(Marked("edV0"));
  EXPECT_FALSE(Calc<QLabel>("FieldNote")->isVisible());

  Type("EdTTO", "1e999");
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(FieldNote(), "TTO (Bahnwinkel, Qo, grad): Floating point overflow");
  EXPECT_EQ(Params().TTO, 1e99);
}

TEST_F(WindowsTest, AeroBoxChoiceSetsTheAerodynamicModel) {
  OpenWithPreset(0);
  auto* box = Calc<QComboBox>("AeroBox1");
  QTest::keyClick(box, Qt::Key_Down);
  EXPECT_EQ(box->currentText(), "V-2 Cl,Cd=f(M,alfa)");
  EXPECT_EQ(Params().AeroModel, 1.0);
  QTest::keyClick(box, Qt::Key_Up);
  EXPECT_EQ(Params().AeroModel, 0.0);
}

TEST_F(WindowsTest, DisplayFieldsChangeNoParameter) {
  data_->PresetRecord[kSlotTaskKind] = 3;  // buoyant body: gas density, altitude and volume shown
  data_->PresetRecord[kSlotMass] = 1000;
  data_->PresetRecord[kSlotGasDensity] = 0.1785;
  PressStartOfStartForm();
  const FlightParameters before = Params();
  const WindowState state = *data_;
  for (const char* field : {"EdGas", "EdHFlug", "Volumen_Start"}) {
    ASSERT_TRUE(Calc<QWidget>(field)->isVisible()) << field;
    Type(field, "x7");
  }
  EXPECT_EQ(std::memcmp(&before, &Params(), sizeof before), 0);
  EXPECT_TRUE(state == *data_);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(WindowsTest, BuoyantBodyShowsItsAreaToFourDigitsAndKeepsItWhole) {
  auto& rec = data_->PresetRecord;
  rec[kSlotTaskKind] = 3;
  rec[kSlotMass] = 1000;
  rec[kSlotGasDensity] = 0.1785;
  rec[kSlotFlightAltitude] = 5000;
  rec[kSlotHk] = 300;
  ChooseLanguage(kEnglish);
  PressStartOfStartForm();
  const Buoyancy b = ComputeBuoyancy(1000, 0.1785);
  EXPECT_EQ(Text("EdS0"), QString::fromStdString(FormatGeneral(b.Area, 4, '.')));
  EXPECT_EQ(Params().S0, b.Area);
  EXPECT_EQ(Text("Volumen_Start"), QString::fromStdString(FormatGeneral(b.Volumen, 15, '.')));
  EXPECT_EQ(Text("EdGas"), "0.1785");
  EXPECT_EQ(Text("EdHFlug"), "5000");
  EXPECT_EQ(Caption("Label20"), "flight altitude, m");
  EXPECT_EQ(Text("edHkk"), "300");
  EXPECT_EQ(Params().Hk, 0.0);
  EXPECT_EQ(Params().TaskKind, 3.0);
  EXPECT_TRUE(Calc<QWidget>("Image3")->isVisible());
}

TEST_F(WindowsTest, LevelFlightTaskShowsTheSpeedOrTheFaultOfAZeroLift) {
  auto& rec = data_->PresetRecord;
  rec[kSlotTaskKind] = 5;
  rec[kSlotMass] = 1000;
  rec[kSlotS0] = 20;
  rec[kSlotCy] = 0.5;
  rec[kSlotH0] = 1000;
  PressStartOfStartForm();
  ASSERT_TRUE(Calc<QWidget>("EdiVopt")->isVisible());
  EXPECT_EQ(Text("EdiVopt"),
            QString::fromStdString(FormatGeneral(LevelFlightSpeed(1000, 0.5, 1000, 20), 15, '.')));
  EXPECT_TRUE(messages_.empty());

  // A zero lift coefficient stops the activation at that step; the form shows what was done.
  PressMain();
  rec[kSlotCy] = 0;
  PressStartOfStartForm();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], "Floating point division by zero");
  EXPECT_TRUE(form2_->isVisible());
  EXPECT_EQ(Text("EdCy"), "0");
}

TEST_F(WindowsTest, RocketRecordShowsTheStageBlockAndItsGraphButton) {
  auto& rec = data_->PresetRecord;
  rec[kSlotTaskKind] = 8;
  for (int slot = 30; slot < 60; ++slot) rec[static_cast<std::size_t>(slot)] = 1000 + slot;
  ChooseLanguage(kEnglish);
  PressStartOfStartForm();
  for (const char* control :
       {"Label26", "Label29", "Label36", "Label23", "Label42", "EdMt", "EdS3", "ButtonP"})
    EXPECT_TRUE(Calc<QWidget>(control)->isVisible()) << control;
  EXPECT_EQ(Caption("Label26"), "LAUNCHING STAGE");
  EXPECT_EQ(Caption("Label6"), "Isp (atm)(N*s/kg)");
  EXPECT_EQ(Caption("Label31"), "Spezifischer Impuls (H=0 m) (N*s/kg)");  // stages 2 and 3 stay German
  EXPECT_EQ(Text("EdMt"), "1030");
  EXPECT_EQ(Text("EdIud"), "1031");
  EXPECT_EQ(Text("EdIudP0"), "1034");
  EXPECT_EQ(Text("EdMdv3"), "1052");
  const FlightParameters& p = Params();
  EXPECT_EQ(p.Mt, 1030.0);
  EXPECT_EQ(p.IudP2, 1044.0);
  EXPECT_EQ(p.Schu3, 1053.0);
  EXPECT_EQ(p.S3, 1055.0);
  EXPECT_EQ(p.TaskKind, 8.0);
  EXPECT_TRUE(Calc<QWidget>("Image6")->isVisible());
}

TEST_F(WindowsTest, StartDrawsTheDefaultGraphAndUncoversTheGraphButtons) {
  OpenWithPreset(0);
  const QImage background = Plot();
  for (const GraphEntry& graph : GraphButtons()) {
    if (graph.Component == "Button14" || graph.Component == "ButtonP") continue;  // not for this preset
    EXPECT_FALSE(Uncovered(graph.Component.data())) << graph.Component;
  }

  PressStart();
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  for (const GraphEntry& graph : GraphButtons()) {
    if (graph.Component == "Button14" || graph.Component == "ButtonP") continue;  // not for this preset
    EXPECT_TRUE(Uncovered(graph.Component.data())) << graph.Component;
  }
  const QImage graph = Plot();
  EXPECT_NE(graph, background);
  EXPECT_EQ(graph.size(), QSize(kGraphWidth, kGraphHeight));
  EXPECT_TRUE(QFile::exists(workDir_.filePath("Zarn Daten.txt")));
  EXPECT_TRUE(QFile::exists(workDir_.filePath("Zarn_500.txt")));
}

TEST_F(WindowsTest, GraphButtonRedrawsFromTheStoredRun) {
  OpenWithPreset(0);
  PressStart();
  const QImage endOfRun = Plot();

  PressGraph("Button3");
  EXPECT_EQ(form2_->Selection().Count, 3);
  EXPECT_EQ(form2_->Selection().Columns[1], kColH);
  const QImage heightOverTime = Plot();
  EXPECT_NE(heightOverTime, endOfRun);

  PressGraph("Button10");  // the default graph is Button10's
  EXPECT_EQ(Plot(), endOfRun);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(WindowsTest, MainBlanksThePlotAndReturnsToTheStartForm) {
  OpenWithPreset(0);
  PressStart();
  Type("edV0", "55");

  PressMain();
  EXPECT_FALSE(form2_->isVisible());
  EXPECT_TRUE(form1_->isVisible());
  QImage white(770, 515, QImage::Format_RGB32);
  white.fill(Qt::white);
  EXPECT_EQ(Plot(), white);

  // START of the start form again: the preset's values come back and the buttons are covered.
  PressStartOfStartForm();
  EXPECT_EQ(Text("edV0"), "100");
  EXPECT_EQ(Params().V0, 100.0);
  EXPECT_FALSE(Uncovered("Button10"));
  EXPECT_EQ(Plot(), white);
}

TEST_F(WindowsTest, FocusChangeBetweenTheWindowsKeepsTheEdits) {
  OpenWithPreset(0);
  Type("edV0", "55");
  form1_->activateWindow();
  QApplication::processEvents();
  form2_->activateWindow();
  QApplication::processEvents();
  EXPECT_EQ(Text("edV0"), "55");
  EXPECT_EQ(Params().V0, 55.0);
}

TEST_F(WindowsTest, MassOfZeroEndsTheRunWithTheFaultAndTheProgramGoesOn) {
  OpenWithPreset(0);
  Type("edMassaStart", "0");
  PressStart();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], "Invalid floating point operation (MassaStart = 0)");  // no thrust: 0 / 0

  Type("edMassaStart", "1");
  PressStart();
  EXPECT_EQ(messages_.size(), 1u);
  EXPECT_EQ(Plot().size(), QSize(kGraphWidth, kGraphHeight));
}

TEST_F(WindowsTest, MassOfZeroOfABuoyantBodyIsADivisionByZero) {
  auto& rec = data_->PresetRecord;
  rec[kSlotTaskKind] = 4;  // held in place: only the load factors divide by the mass
  rec[kSlotMass] = 1;
  rec[kSlotS0] = 1;
  rec[kSlotCx] = 0.5;
  rec[kSlotV0] = 10;
  rec[kSlotTk] = 1;
  rec[kSlotDt0] = 0.01;
  PressStartOfStartForm();
  Type("edMassaStart", "0");
  PressStart();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], "Floating point division by zero (MassaStart = 0)");  // drag / 0
  EXPECT_TRUE(form2_->isVisible());
}

// The window refuses what the runner refuses, with the same words, before anything is written.
TEST_F(WindowsTest, StartRefusesARunThatCouldNeverEndOrAValueWithoutAMeaning) {
  const struct {
    const char* Field;
    const char* Typed;
    const char* Message;
  } cases[] = {
      {"eddt0", "1E-320",
       "Integration step dt0 = 9.99988867182683E-321 s cannot advance the time up to the end time Tk = 100 "
       "s"},
      {"eddt0", "1E-13",
       "Integration step dt0 = 1E-13 s would take 1E15 steps up to the end time Tk = 100 s (at most "
       "1000000000)"},
      {"EdS0", "-1", "S0 = -1 cannot be negative"},
      {"EdCx", "-0.5", "Cx = -0.5 cannot be negative"},
      {"edMassaStart", "-3", "MassaStart = -3 must be more than 0"},
      {"edV0", "-100", "V0 = -100 cannot be negative"},
      {"edTk", "-5", "Tk = -5 s must be more than 0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Typed);
    RestartProgram();
    OpenWithPreset(0);
    Type(c.Field, c.Typed);
    messages_.clear();  // a lone "-" on the way is no number
    PressStart();
    ASSERT_EQ(messages_, std::vector<QString>{c.Message});
    EXPECT_FALSE(QFile::exists(workDir_.filePath("Zarn Daten.txt")));
  }
}

TEST_F(WindowsTest, RefusedStartLeavesTheGraphButtonsCovered) {
  OpenWithPreset(0);
  Type("eddt0", "0");
  const QImage before = Plot();
  PressStart();  // refused before the run: nothing new to show
  ASSERT_EQ(messages_, std::vector<QString>{"Integration step must be a positive number"});
  EXPECT_FALSE(Uncovered("Button3"));
  PressGraph("Button3");
  EXPECT_EQ(messages_.size(), 1u);
  EXPECT_EQ(Plot(), before);
}

TEST_F(WindowsTest, ShortRunAfterALongOneGivesItsOwnFilesAndGraphAndANote) {
  OpenWithPreset(0);
  PressStart();
  QLabel* note = Calc<QLabel>("SampleNote");
  EXPECT_FALSE(note->isVisible()) << "a full table needs no note";
  Type("eddt0", "0.1");
  PressStart();
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

  // The same flight in a program that ran nothing before.
  FlightParameters p = zarn::test_support::PresetParameters(0);
  p.dt0 = 0.1;
  const std::filesystem::path alone = workDir_.filePath("alone").toStdString();
  std::filesystem::create_directory(alone);
  const auto fresh = zarn::test_support::FlyWithFiles(p, alone);
  ASSERT_EQ(fresh->Summary.SamplesStored, 142);
  for (const char* file : {"Zarn Daten.txt", "Zarn_500.txt"})
    EXPECT_TRUE(ReadFile(workDir_.filePath(file).toStdString()) == ReadFile(alone / file)) << file;
  GraphSelection selection{};
  SelectGraph(DefaultGraph(), selection);
  EXPECT_EQ(Plot(), PlotGraph(fresh->Table, selection, 143, fresh->Units, '.'));
  chosenFile_ = workDir_.filePath("short.csv");
  ChooseFromPlotMenu("Save table as CSV...");
  EXPECT_TRUE(ReadFile(chosenFile_.toStdString()) == TableCsvText(fresh->Table, fresh->Units, 142));

  // The note, beside the controls rather than over them, until the next run.
  EXPECT_TRUE(note->isVisible());
  EXPECT_EQ(note->text(),  // in the form's German
            "142 von 500 Zeilen: der Flug dauerte 142 Schritte; ein Schritt von 0.028 s oder weniger füllt "
            "alle 500");
  for (QWidget* other : form2_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const bool overlaps =
        other != note && other->isVisible() && other->geometry().intersects(note->geometry());
    EXPECT_FALSE(overlaps) << other->objectName().toStdString();
  }
  Type("edV0", "1E200");
  PressStart();  // the next run goes even if it fails
  EXPECT_EQ(messages_, std::vector<QString>{"Floating point overflow"});
  EXPECT_FALSE(note->isVisible());
}

}  // namespace
}  // namespace zarn::ui
