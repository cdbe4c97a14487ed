// The plot menu's Earth and launch site dialog as a user meets it: its values are the parameters
// START flies and a parameter file keeps; a value it cannot take is named in the dialog and Cancel
// leaves everything as it was.
#include <QDialog>
#include <QDialogButtonBox>
#include <QProcess>

#include "windows_fixture.h"

namespace zarn::ui {
namespace {

class EarthSiteTest : public WindowsTest {
 protected:
  // Opens the dialog from the plot menu; null when it does not show.
  QDialog* OpenDialog() {
    ChooseFromPlotMenu("Earth and launch site…");
    QDialog* dialog = nullptr;
    const bool shown = QTest::qWaitFor(
        [&] {
          dialog = form2_->findChild<QDialog*>("EarthSite");
          return dialog != nullptr && dialog->isVisible();
        },
        10000);
    return shown ? dialog : nullptr;
  }
  static QLineEdit* Edit(QDialog* dialog, const char* name) {
    return dialog->findChild<QLineEdit*>(QString::fromLatin1(name));
  }
  static void Press(QDialog* dialog, QDialogButtonBox::StandardButton which) {
    ClickThroughWindow(dialog->findChild<QDialogButtonBox*>()->button(which));
  }
  static QString Fault(QDialog* dialog) {
    const auto* label = dialog->findChild<QLabel*>("EarthSiteFault");
    return label->isVisible() ? label->text() : QString();
  }
};

TEST_F(EarthSiteTest, TheDialogsValuesAreWhatStartFliesAndTheSummaryNamesTheEarth) {
  OpenWithPreset(0, kEnglish);
  QDialog* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), "Earth and launch site");
  // The standard values stand as hints in the empty fields.
  EXPECT_EQ(Edit(dialog, "EarthRadius")->placeholderText(), "empty: 6371008.8");
  EXPECT_EQ(Edit(dialog, "EarthRate")->placeholderText(), "empty: 7.292115E-5");
  ChooseItem(dialog->findChild<QComboBox*>("EarthModel"), 2);
  ChooseItem(dialog->findChild<QComboBox*>("AtmosphereModel"), 1);
  TypeThroughWindow(Edit(dialog, "LaunchLat"), "28.5");
  TypeThroughWindow(Edit(dialog, "LaunchLon"), "-80.6");
  TypeThroughWindow(Edit(dialog, "Azimuth"), "90");
  TypeThroughWindow(Edit(dialog, "VwindCross"), "-3.25");
  TypeThroughWindow(Edit(dialog, "EarthRadius"), "6378137");
  Press(dialog, QDialogButtonBox::Ok);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->isVisible(); }, 10000)) << Fault(dialog).toStdString();
  const FlightParameters& p = Params();
  EXPECT_EQ(p.EarthModel, 2.0);
  EXPECT_EQ(p.AtmosphereModel, 1.0);
  EXPECT_EQ(p.LaunchLat, 28.5);
  EXPECT_EQ(p.LaunchLon, -80.6);
  EXPECT_EQ(p.Azimuth, 90.0);
  EXPECT_EQ(p.VwindCross, -3.25);
  EXPECT_EQ(p.EarthRadius, 6378137.0);
  EXPECT_EQ(p.EarthMu, 0.0);  // left empty: the standard value
  PressStart();
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  const QString note = Caption("SampleNote");
  EXPECT_TRUE(note.contains("Earth: rotating sphere")) << note.toStdString();
  EXPECT_TRUE(note.contains("Atmosphere: 1976 US Standard Atmosphere")) << note.toStdString();
  // The run took those values: its files are the runner's with the same settings, byte for byte,
  // and not those of the classic flight (the other atmosphere alone moves the impact).
  const QString runner = workDir_.filePath("runner");
  ASSERT_TRUE(QDir().mkpath(runner));
  QProcess batch;
  batch.start(QStringLiteral(ZARN_BATCH_EXE),
              {"--preset", "0", "--dir", runner, "--set", "EarthModel=2", "--set", "AtmosphereModel=1",
               "--set", "LaunchLat=28.5", "--set", "LaunchLon=-80.6", "--set", "Azimuth=90", "--set",
               "VwindCross=-3.25", "--set", "EarthRadius=6378137"});
  ASSERT_TRUE(batch.waitForFinished(60000));
  ASSERT_EQ(batch.exitCode(), 0) << batch.readAllStandardError().toStdString();
  for (const char* file : {"Zarn Daten.txt", "Zarn_500.txt"}) {
    EXPECT_FALSE(Contents(runner + "/" + file).isEmpty()) << file;
    EXPECT_TRUE(Contents(workDir_.filePath(file)) == Contents(runner + "/" + file)) << file;
  }
  // The classic preset 0 lands at 933.1418858283239 m (the runner's --json); this flight does not.
  EXPECT_FALSE(Caption("RunFigures").contains("933.1")) << Caption("RunFigures").toStdString();
}

// "Save table as CSV..." writes the place of a flight in three dimensions after the other columns,
// as the runner's --csv of the same flight, byte for byte; the flat flight's table has none.
TEST_F(EarthSiteTest, TheSavedTableOfARoundEarthRunHasItsPlaceAsTheRunnersCsv) {
  OpenWithPreset(0, kEnglish);
  PressStart();
  chosenFile_ = workDir_.filePath("flat.csv");
  ChooseFromPlotMenu("Save table as CSV...");
  const QByteArray flat = Contents(chosenFile_);
  EXPECT_TRUE(flat.startsWith("t_s,")) << flat.left(200).toStdString();
  EXPECT_FALSE(flat.left(flat.indexOf('\n')).contains("Z_m")) << flat.left(200).toStdString();

  QDialog* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  ChooseItem(dialog->findChild<QComboBox*>("EarthModel"), 1);
  TypeThroughWindow(Edit(dialog, "Azimuth"), "90");
  Press(dialog, QDialogButtonBox::Ok);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->isVisible(); }, 10000)) << Fault(dialog).toStdString();
  PressStart();
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  chosenFile_ = workDir_.filePath("round.csv");
  ChooseFromPlotMenu("Save table as CSV...");
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  const QByteArray round = Contents(chosenFile_);
  EXPECT_TRUE(round.left(round.indexOf('\n'))
                  .endsWith(",Q_deg,X_m,nx_g,ny_g,Vwind_m_s,Isp_Ns_kg,Thrust_N,Mass_kg,"
                            "ThrustPerMass_N_kg,Drag_N,Lift_N,Cx,Cy,Mach,T_K,P_bar,"
                            "rho_kg_m3,Re_1e3,Z_m,Lat_deg,Lon_deg"))
      << round.left(300).toStdString();
  QProcess batch;
  const QString runner = workDir_.filePath("runner.csv");
  ASSERT_TRUE(QDir().mkpath(workDir_.filePath("runner")));
  batch.start(QStringLiteral(ZARN_BATCH_EXE),
              {"--preset", "0", "--quiet", "--dir", workDir_.filePath("runner"), "--set", "EarthModel=1",
               "--set", "Azimuth=90", "--csv", runner});
  ASSERT_TRUE(batch.waitForFinished(60000));
  ASSERT_EQ(batch.exitCode(), 0) << batch.readAllStandardError().toStdString();
  EXPECT_TRUE(round == Contents(runner)) << "the window's table is not the runner's";
}

TEST_F(EarthSiteTest, AValueTheDialogCannotTakeIsNamedThereAndCancelChangesNothing) {
  OpenWithPreset(0, kGerman);
  const FlightParameters before = Params();
  QDialog* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), "Erde und Startort");
  ChooseItem(dialog->findChild<QComboBox*>("EarthModel"), 3);
  TypeThroughWindow(Edit(dialog, "LaunchLat"), "4x");
  Press(dialog, QDialogButtonBox::Ok);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(Fault(dialog).toStdString(), "Breite des Startorts, ° (LaunchLat): „4x“ ist keine Zahl");
  TypeThroughWindow(Edit(dialog, "LaunchLat"), "-90.5");
  Press(dialog, QDialogButtonBox::Ok);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(Fault(dialog).toStdString(),
            "Breite des Startorts, ° (LaunchLat): -90.5 liegt außerhalb von -90 bis 90");
  TypeThroughWindow(Edit(dialog, "LaunchLat"), "90");
  TypeThroughWindow(Edit(dialog, "EarthMu"), "-1e14");
  Press(dialog, QDialogButtonBox::Ok);
  EXPECT_EQ(Fault(dialog).toStdString(), "Gravitationsparameter, m³/s² (EarthMu): -1e14 ist kleiner als 0");
  // Nothing of it reached the parameters, and Cancel keeps it that way.
  Press(dialog, QDialogButtonBox::Cancel);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog->isVisible(); }, 10000));
  for (double FlightParameters::*m :
       {&FlightParameters::EarthModel, &FlightParameters::LaunchLat, &FlightParameters::EarthMu})
    EXPECT_EQ(Params().*m, before.*m);
  // Opened again, it shows the parameters, not what was typed before Cancel.
  dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->findChild<QComboBox*>("EarthModel")->currentIndex(), 0);
  EXPECT_EQ(Edit(dialog, "LaunchLat")->text(), "");
  EXPECT_EQ(Fault(dialog).toStdString(), "");
  Press(dialog, QDialogButtonBox::Cancel);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(EarthSiteTest, AParameterFileKeepsTheDialogsValuesAndOpeningItRestoresThem) {
  OpenWithPreset(0, kEnglish);
  QDialog* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  ChooseItem(dialog->findChild<QComboBox*>("EarthModel"), 3);
  TypeThroughWindow(Edit(dialog, "LaunchLat"), "-33.25");
  TypeThroughWindow(Edit(dialog, "EarthRate"), "7.3e-5");
  Press(dialog, QDialogButtonBox::Ok);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->isVisible(); }, 10000)) << Fault(dialog).toStdString();
  chosenFile_ = workDir_.filePath("site.zarn");
  ChooseFromPlotMenu("Save parameter file...");
  const QByteArray saved = Contents(chosenFile_);
  EXPECT_TRUE(saved.contains("\nEarthModel = 3 ")) << saved.toStdString();
  EXPECT_TRUE(saved.contains("\nLaunchLat = -33.25 ")) << saved.toStdString();
  EXPECT_TRUE(saved.contains("\nEarthRate = 7.3e-05 ") || saved.contains("\nEarthRate = 7.3E-5 "))
      << saved.toStdString();

  RestartProgram();
  OpenWithPreset(0, kEnglish);
  EXPECT_EQ(Params().EarthModel, 0.0);
  openFile_ = chosenFile_;
  ChooseFromPlotMenu("Open parameter file...");
  EXPECT_EQ(Params().EarthModel, 3.0);
  EXPECT_EQ(Params().LaunchLat, -33.25);
  EXPECT_EQ(Params().EarthRate, 7.3e-5);
  dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->findChild<QComboBox*>("EarthModel")->currentText(), "rotating WGS-84 ellipsoid with J2");
  EXPECT_EQ(Edit(dialog, "LaunchLat")->text(), "-33.25");
  // OK with nothing typed takes the values as they stand.
  Press(dialog, QDialogButtonBox::Ok);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->isVisible(); }, 10000)) << Fault(dialog).toStdString();
  EXPECT_EQ(Params().EarthRate, 7.3e-5);
  EXPECT_EQ(Params().LaunchLat, -33.25);
  EXPECT_TRUE(messages_.empty());
}

}  // namespace
}  // namespace zarn::ui
