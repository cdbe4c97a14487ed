// The plot menu's vehicle files dialog as a user meets it: it reads each file as it is chosen and
// shows what it read, refuses a malformed one at once with the reader's place of the fault, and
// START flies the files its OK left, read again then.
#include <QDialog>
#include <QDialogButtonBox>
#include <cmath>

#include "models/vehicle_tables.h"
#include "windows_fixture.h"

namespace zarn::ui {
namespace {

class VehicleFilesTest : public WindowsTest {
 protected:
  QString Write(const char* name, const char* text) {
    const QString path = workDir_.filePath(QString::fromLatin1(name));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    return path;
  }
  QDialog* OpenDialog() {
    ChooseFromPlotMenu("Vehicle files…");
    QDialog* dialog = nullptr;
    const bool shown = QTest::qWaitFor(
        [&] {
          dialog = form2_->findChild<QDialog*>("VehicleFiles");
          return dialog != nullptr && dialog->isVisible();
        },
        10000);
    return shown ? dialog : nullptr;
  }
  // Clicks a button of the dialog by its name ("Motor1Choose") or its box's button.
  static void Click(QDialog* dialog, const char* name) {
    ClickThroughWindow(dialog->findChild<QPushButton*>(QString::fromLatin1(name)));
  }
  static void Press(QDialog* dialog, QDialogButtonBox::StandardButton which) {
    ClickThroughWindow(dialog->findChild<QDialogButtonBox*>()->button(which));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog->isVisible(); }, 10000));
  }
  static std::string Shown(QDialog* dialog, const char* name) {
    const auto* label = dialog->findChild<QLabel*>(QString::fromLatin1(name));
    return label->isVisible() ? label->text().toStdString() : std::string();
  }
  static QString PathOf(QDialog* dialog, const char* name) {
    return dialog->findChild<QLineEdit*>(QString::fromLatin1(name))->text();
  }
};

// A trapezoid of thrust: 20 N for 0.8 s between ramps of 0.1 s: 1 + 16 + 1 = 18 N s in 1 s.
constexpr char kMotor[] = "; a test motor\nT18 29 124 0-5-7 0.02 0.05 Test\n0 0\n0.1 20\n0.9 20\n1 0\n";
constexpr char kDrag[] = "Mach,Cd\n0,0.5\n0.8,0.55\n1.2,0.8\n";

TEST_F(VehicleFilesTest, EachFileIsReadAsItIsChosenAndStartFliesWhatOkLeft) {
  OpenWithPreset(0, kEnglish);
  ChooseFromPlotMenu("Physical wind");  // a wind profile is the air's own motion
  QDialog* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), "Vehicle files");
  openFile_ = Write("t18.eng", kMotor);
  Click(dialog, "Motor1Choose");
  EXPECT_EQ(Shown(dialog, "Motor1View"), "T18: total impulse 18 N·s, burn time 1 s");
  // A malformed table is refused there and then, with its line and column; its row stays empty.
  openFile_ = Write("bad.csv", "Mach,Cd\n0,0.5\n0.8, O.55\n");
  Click(dialog, "CdTableChoose");
  EXPECT_EQ(Shown(dialog, "VehicleFilesFault"),
            openFile_.toStdString() + ":3:6: 'O.55' is not a number (the decimal separator is '.')");
  EXPECT_EQ(PathOf(dialog, "CdTable"), "");
  openFile_ = Write("drag.csv", kDrag);
  Click(dialog, "CdTableChoose");
  EXPECT_EQ(Shown(dialog, "VehicleFilesFault"), "");
  EXPECT_EQ(Shown(dialog, "CdTableView"), "3 rows, Mach from 0 to 1.2");
  EXPECT_EQ(PathOf(dialog, "CdTable"), openFile_);
  openFile_ = Write("wind.csv", "h,w,c\n0,2,1\n1500,8,-3\n");
  Click(dialog, "WindTableChoose");
  EXPECT_EQ(Shown(dialog, "WindTableView"), "2 rows, height from 0 to 1500 m, with cross wind");
  Press(dialog, QDialogButtonBox::Ok);
  EXPECT_EQ(data_->Vehicle[0].string(), workDir_.filePath("t18.eng").toStdString());

  PressStart();
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  ASSERT_NE(Params().Vehicle, nullptr);
  ASSERT_TRUE(Params().Vehicle->Motors[0]);
  EXPECT_NEAR(Params().Vehicle->Motors[0]->Curve.TotalImpulse(), 18.0, 1e-12);
  ASSERT_TRUE(Params().Vehicle->Cd[0]);
  EXPECT_NEAR(Params().Vehicle->Cd[0]->At(1.0), 0.675, 1e-12);  // halfway between 0.55 and 0.8
  EXPECT_NEAR(Params().Vehicle->WindAcross->At(750.0), -1.0, 1e-12);

  // Cleared and cancelled: nothing changes. Cleared and taken: the run flies without it.
  dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Shown(dialog, "Motor1View"), "T18: total impulse 18 N·s, burn time 1 s");
  Click(dialog, "Motor1Clear");
  EXPECT_EQ(PathOf(dialog, "Motor1"), "");
  Press(dialog, QDialogButtonBox::Cancel);
  EXPECT_FALSE(data_->Vehicle[0].empty());
  dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(PathOf(dialog, "Motor1"), workDir_.filePath("t18.eng"));
  Click(dialog, "Motor1Clear");
  Click(dialog, "WindTableClear");
  Press(dialog, QDialogButtonBox::Ok);
  PressStart();
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  ASSERT_NE(Params().Vehicle, nullptr);
  EXPECT_FALSE(Params().Vehicle->Motors[0]);
  EXPECT_FALSE(Params().Vehicle->WindAlong);
  EXPECT_TRUE(Params().Vehicle->Cd[0]);
}

TEST_F(VehicleFilesTest, AFileSpoiledAfterItWasChosenIsRefusedAtStartAndNothingIsWritten) {
  OpenWithPreset(0, kGerman);
  QDialog* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), "Fahrzeugdateien");
  openFile_ = Write("pitch.csv", "t,deg\n0,90\n10,60\n");
  Click(dialog, "PitchTableChoose");
  EXPECT_EQ(Shown(dialog, "PitchTableView"), "2 Zeilen, Zeit von 0 bis 10 s");
  Press(dialog, QDialogButtonBox::Ok);
  Write("pitch.csv", "t,deg\n0,90\n10,60\n5,70\n");
  PressStart();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_.front().toStdString(), workDir_.filePath("pitch.csv").toStdString() +
                                                 ":4:1: the first column must rise from row to row");
  EXPECT_FALSE(QFile::exists(workDir_.filePath("Zarn Daten.txt")));
  EXPECT_EQ(form2_->ShownRun(), nullptr);
  // The step check flies the files as START would, and refuses the same file.
  ChooseFromPlotMenu("Check the step");
  ASSERT_EQ(messages_.size(), 2u);
  EXPECT_EQ(messages_.back(), messages_.front());
  EXPECT_EQ(form2_->findChild<QDialog*>("StepCheck"), nullptr);
}

TEST_F(VehicleFilesTest, AParameterFileNamesTheFilesFromItsFolderAndOpeningItChoosesThemAgain) {
  OpenWithPreset(0, kEnglish);
  QDialog* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(QDir(workDir_.path()).mkpath("files"));
  openFile_ = Write("files/t18.eng", kMotor);
  Click(dialog, "Motor2Choose");
  openFile_ = Write("files/drag.csv", kDrag);
  Click(dialog, "CdTable3Choose");
  Press(dialog, QDialogButtonBox::Ok);
  chosenFile_ = workDir_.filePath("mine.zarn");
  ChooseFromPlotMenu("Save parameter file...");
  const QByteArray saved = Contents(chosenFile_);
  EXPECT_TRUE(saved.contains("\nMotor2 = files/t18.eng ")) << saved.toStdString();
  EXPECT_TRUE(saved.contains("\nCdTable3 = files/drag.csv ")) << saved.toStdString();
  EXPECT_FALSE(saved.contains("Motor1")) << saved.toStdString();

  RestartProgram();
  OpenWithPreset(0, kGerman);
  openFile_ = chosenFile_;
  ChooseFromPlotMenu("Open parameter file...");
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Shown(dialog, "Motor2View"), "T18: Gesamtimpuls 18 N·s, Brenndauer 1 s");
  EXPECT_EQ(Shown(dialog, "CdTable3View"), "3 Zeilen, Mach von 0 bis 1.2");
  EXPECT_EQ(PathOf(dialog, "Motor1"), "");
  Press(dialog, QDialogButtonBox::Cancel);
  PressStart();
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  ASSERT_NE(Params().Vehicle, nullptr);
  EXPECT_NEAR(Params().Vehicle->Motors[1]->Curve.TotalImpulse(), 18.0, 1e-12);
  // A preset of the start form flies no files of the vehicle before.
  PressMain();
  ChoosePreset(1);
  PressStartOfStartForm();
  PressStart();
  EXPECT_EQ(Params().Vehicle, nullptr);
}

// The stage block of a stage on a motor names the motor; the fields the curve replaces are greyed
// and keep their values, and apply again when the motor is cleared.
TEST_F(VehicleFilesTest, AStageOnAMotorNamesItAndGreysTheFieldsItReplaces) {
  const struct {
    Language In;
    const char* Note;
  } kLanguages[] = {
      {kEnglish, "Motor T18: 18 N·s in 1 s"},
      {kGerman, "Motor T18: 18 N·s in 1 s"},
      {kRussian, "Двигатель T18: 18 Н·с за 1 с"},
  };
  const char* const kReplaced[] = {"EdMt2", "EdIud2", "EdIudP2", "EdSchu2"};
  const char* const kKept[] = {"EdMt", "EdIud", "EdSchub", "EdMdv2", "EdS2", "EdSchu3"};
  for (const auto& l : kLanguages) {
    SCOPED_TRACE(l.Note);
    RestartProgram();
    auto& rec = data_->PresetRecord;
    rec[kSlotTaskKind] = 8;
    for (int slot = 30; slot < 60; ++slot) rec[static_cast<std::size_t>(slot)] = 1000 + slot;
    ChooseLanguage(l.In);
    PressStartOfStartForm();
    const QString before = Text("EdIud2");
    EXPECT_FALSE(Calc<QLabel>("Motor2Note")->isVisible());

    QDialog* dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    openFile_ = Write("t18.eng", kMotor);
    Click(dialog, "Motor2Choose");
    Press(dialog, QDialogButtonBox::Ok);
    const QLabel* note = Calc<QLabel>("Motor2Note");
    ASSERT_TRUE(note->isVisible());
    EXPECT_EQ(note->text().toStdString(), l.Note);
    // Beside the heading, inside the stage frame, every line in sight, over no other control.
    EXPECT_TRUE(Calc<QWidget>("GroupStages")->geometry().contains(note->geometry()));
    EXPECT_LE(note->sizeHint().width(), note->width());
    EXPECT_LE(note->heightForWidth(note->width()), note->height());
    for (QWidget* control : form2_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (control == note || !control->isVisible() || control->objectName() == "GroupStages") continue;
      EXPECT_FALSE(control->geometry().intersects(note->geometry())) << control->objectName().toStdString();
    }
    for (const char* field : kReplaced) EXPECT_FALSE(Calc<QLineEdit>(field)->isEnabled()) << field;
    for (const char* field : kKept) EXPECT_TRUE(Calc<QLineEdit>(field)->isEnabled()) << field;
    EXPECT_EQ(Text("EdIud2"), before);

    dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    Click(dialog, "Motor2Clear");
    Press(dialog, QDialogButtonBox::Ok);
    EXPECT_FALSE(Calc<QLabel>("Motor2Note")->isVisible());
    for (const char* field : kReplaced) EXPECT_TRUE(Calc<QLineEdit>(field)->isEnabled()) << field;
    EXPECT_EQ(Text("EdIud2"), before);
  }
}

// The model rocket of the examples as a new user flies it: opened, in each language, started. The
// figures are worked out apart from the program: the rail exit by integrating the motor's curve
// against the weight along the 85 degree rail (0.2058 s, 11.36 m/s), the landing at the speed where
// the canopy's drag holds the weight, sqrt(2 * 0.5815 * 9.80665 / (1.225 * 0.2406)) = 6.220 m/s.
TEST_F(VehicleFilesTest, TheModelRocketExampleShowsItsMotorAndItsRailAndLandingInEveryLanguage) {
  const struct {
    Language In;
    const char* Motor;
    const char* Rail;  // the captions of the rail exit's time and speed
    const char* At;
    const char* Landing;
  } kLanguages[] = {
      {kEnglish, "Motor F32Z: 66.33 N·s in 2.05 s", "rail exit: ", "rail exit speed: ", "landing speed: "},
      {kGerman, "Motor F32Z: 66.33 N·s in 2.05 s",
       "Schienenende: ", "Schienenende-Geschw.: ", "Landegeschw.: "},
      {kRussian, "Двигатель F32Z: 66.33 Н·с за 2.05 с",
       "Сход с направляющей: ", "Скорость схода: ", "Скорость приземления: "},
  };
  // The number that follows `from` in `text`, whatever the decimal separator.
  const auto numberAfter = [](QString text, const QString& from) {
    text.replace(',', '.');
    const qsizetype at = text.indexOf(from);
    if (at < 0) return std::nan("");
    return text.mid(at + from.size()).section(' ', 0, 0).toDouble();
  };
  for (const auto& l : kLanguages) {
    SCOPED_TRACE(l.Rail);
    RestartProgram();
    form1_->ChooseParamFile(QStringLiteral(ZARN_EXAMPLES_DIR "/vehicle/model-rocket.zarn"));
    ChooseLanguage(l.In);
    PressStartOfStartForm();
    EXPECT_EQ(Calc<QComboBox>("AeroBox1")->currentText(), "Cd=f(M) table");
    EXPECT_EQ(Calc<QLabel>("Motor1Note")->text().replace(',', '.').toStdString(), l.Motor);
    EXPECT_FALSE(Calc<QLineEdit>("EdSchub")->isEnabled());
    EXPECT_FALSE(Calc<QLineEdit>("EdCx")->isEnabled());  // the drag table flies, not the constant Cd
    EXPECT_TRUE(Calc<QLineEdit>("edVwind")->isEnabled());
    PressStart();
    ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();

    const QLabel* figures = Calc<QLabel>("RunFigures");
    const QString text = figures->text();
    ASSERT_TRUE(figures->isVisible());
    EXPECT_NEAR(numberAfter(text, QString::fromUtf8(l.Rail)), 0.2058, 0.02 * 0.2058) << text.toStdString();
    EXPECT_NEAR(numberAfter(text, QString::fromUtf8(l.At)), 11.36, 0.02 * 11.36) << text.toStdString();
    EXPECT_NEAR(numberAfter(text, QString::fromUtf8(l.Landing)), 6.220, 0.01 * 6.220) << text.toStdString();
    // Every line in sight, over no control.
    EXPECT_LE(figures->sizeHint().width(), figures->width()) << text.toStdString();
    EXPECT_LE(figures->sizeHint().height(), figures->height()) << text.toStdString();
    for (QWidget* control : form2_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (control == figures || !control->isVisible() || qobject_cast<QGroupBox*>(control) != nullptr)
        continue;
      EXPECT_FALSE(control->geometry().intersects(figures->geometry()))
          << control->objectName().toStdString();
    }
  }
}

// The fields of what a file replaces stay greyed while it flies: the wind of a profile, the drag
// coefficient under the drag table; a preset, which names no file, gives them back.
TEST_F(VehicleFilesTest, AWindProfileGreysTheWindFieldUntilAPresetNamesNone) {
  form1_->ChooseParamFile(QStringLiteral(ZARN_EXAMPLES_DIR "/vehicle/shell-wind-profile.zarn"));
  ChooseLanguage(kEnglish);
  PressStartOfStartForm();
  EXPECT_FALSE(Calc<QLineEdit>("edVwind")->isEnabled());
  EXPECT_TRUE(Calc<QLineEdit>("EdCx")->isEnabled());  // the V-2 law, not the table
  PressStart();
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();

  RestartProgram();
  form1_->ChooseParamFile(QStringLiteral(ZARN_EXAMPLES_DIR "/vehicle/model-rocket.zarn"));
  ChooseLanguage(kEnglish);
  PressStartOfStartForm();
  EXPECT_FALSE(Calc<QLineEdit>("EdCx")->isEnabled());
  RestartProgram();
  ChooseLanguage(kEnglish);
  PressStartOfStartForm();  // the first preset
  EXPECT_TRUE(Calc<QLineEdit>("edVwind")->isEnabled());
  EXPECT_TRUE(Calc<QLineEdit>("EdCx")->isEnabled());
}

}  // namespace
}  // namespace zarn::ui
