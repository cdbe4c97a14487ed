// The plot menu's vehicle files dialog as a user meets it: it reads each file as it is chosen and
// shows what it read, refuses a malformed one at once with the reader's place of the fault, and
// START flies the files its OK left, read again then.
#include <QDialog>
#include <QDialogButtonBox>

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

}  // namespace
}  // namespace zarn::ui
