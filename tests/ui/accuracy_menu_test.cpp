// The plot menu's accuracy entries as a user meets them: the method and the wind model bound to
// the parameters that START flies and that a parameter file keeps, and the step check's estimate.
#include <QDialog>
#include <QProcess>

#include "flight/key_figures.h"
#include "windows_fixture.h"

namespace zarn::ui {
namespace {

// The runner's figures of the same flight, in a folder of its own.
QByteArray RunnerJson(const QString& dir, const QStringList& settings) {
  QProcess runner;
  runner.start(QStringLiteral(ZARN_BATCH_EXE),
               QStringList{"--preset", "0", "--dir", dir, "--json"} + settings);
  EXPECT_TRUE(runner.waitForFinished(60000));
  EXPECT_EQ(runner.exitCode(), 0) << runner.readAllStandardError().toStdString();
  return runner.readAllStandardOutput();
}

TEST_F(WindowsTest, RungeKuttaFromThePlotMenuFliesAsTheRunnersIntegratorOne) {
  OpenWithPreset(0);
  PressStart();  // the menu acts on a form that has flown
  ChooseFromPlotMenu("Runge-Kutta 4");
  EXPECT_EQ(Params().Integrator, 1.0);
  PressStart();
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  // The runner's --json numbers of `--preset 0 --set Integrator=1` (shortest round-trip text).
  const KeyFigures f = KeyFiguresOf(Params(), Shown());
  EXPECT_EQ(f.LastStepRange, 932.9433065860145);
  ASSERT_TRUE(f.ApexH);
  EXPECT_NEAR(*f.ApexH, 243.70858415800916, 1e-9);
  ASSERT_TRUE(f.ImpactRange && f.ApexTime);
  EXPECT_EQ(*f.ImpactRange, 932.9433065860143);
  EXPECT_EQ(*f.ApexTime, 6.96133935690394);
  EXPECT_TRUE(Caption("RunFigures").contains("Reichweite: 932.9 m")) << Caption("RunFigures").toStdString();
  EXPECT_TRUE(Caption("SampleNote").contains("Verfahren: Runge-Kutta 4"))
      << Caption("SampleNote").toStdString();
  // The result files are the runner's, byte for byte.
  const QString runner = workDir_.filePath("runner");
  ASSERT_TRUE(QDir().mkpath(runner));
  EXPECT_TRUE(RunnerJson(runner, {"--set", "Integrator=1"}).contains("\"X_m\": 932.9433065860145, "));
  for (const char* file : {"Zarn Daten.txt", "Zarn_500.txt"})
    EXPECT_TRUE(Contents(workDir_.filePath(file)) == Contents(runner + "/" + file)) << file;

  // The menu's marks show the method in force; Euler again is the classic flight and says nothing.
  QMenu* menu = OpenPlotMenu();
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(MenuEntry(menu, "Runge-Kutta 4")->isChecked());
  EXPECT_FALSE(MenuEntry(menu, "Euler (two passes)")->isChecked());
  menu->close();
  ChooseFromPlotMenu("Euler (two passes)");
  PressStart();
  EXPECT_EQ(Params().Integrator, 0.0);
  EXPECT_EQ(KeyFiguresOf(Params(), Shown()).LastStepRange, 933.1418858283239);
  EXPECT_FALSE(Calc<QLabel>("SampleNote")->isVisible());
}

TEST_F(WindowsTest, CheckTheStepShowsBothRunsAndTheEstimateInTheWindowsLanguage) {
  OpenWithPreset(0);
  PressStart();
  auto checkShown = [&]() -> QString {
    ChooseFromPlotMenu("Check the step");
    QDialog* dialog = nullptr;
    const bool shown = QTest::qWaitFor(
        [&] {
          dialog = form2_->findChild<QDialog*>("StepCheck");
          return dialog != nullptr && dialog->isVisible();
        },
        60000);
    EXPECT_TRUE(shown);
    if (!shown) return {};
    const QString text = dialog->findChild<QLabel*>("StepCheckText")->text();
    EXPECT_EQ(dialog->findChild<QPushButton*>()->text(), "Schließen");  // its button speaks German too
    dialog->close();
    return text;
  };
  // The runner's --check-step of preset 0: the impacts, 932.9971384 m against 932.9702374 m at
  // 0.0025 s.
  QString text = checkShown();
  EXPECT_TRUE(text.contains("Reichweite: 932.9971384 m, feiner 932.9702374 m, geschätzter Fehler 0.054 m"))
      << text.toStdString();
  EXPECT_TRUE(text.contains("0.0025 s")) << text.toStdString();
  EXPECT_FALSE(text.contains("Hinweis")) << text.toStdString();
  // Twenty times the step: the apex's error exceeds 0.1 % and the note says so.
  Type("eddt0", "0.1");
  text = checkShown();
  EXPECT_TRUE(
      text.contains("Hinweis: Der geschätzte Fehler der Reichweite oder der Gipfelhöhe übersteigt 0,1 %"))
      << text.toStdString();
  EXPECT_TRUE(messages_.empty());
}

TEST_F(WindowsTest, PhysicalWindTogglesWindModelAndASavedParameterFileKeepsIt) {
  OpenWithPreset(0);
  ChooseFromPlotMenu("Physical wind");
  EXPECT_EQ(Params().WindModel, 1.0);
  ChooseFromPlotMenu("Dormand-Prince 5(4)");
  chosenFile_ = workDir_.filePath("wind.zarn");
  ChooseFromPlotMenu("Save parameter file...");
  const QByteArray saved = Contents(chosenFile_);
  EXPECT_TRUE(saved.contains("\nWindModel = 1 ")) << saved.toStdString();
  EXPECT_TRUE(saved.contains("\nIntegrator = 2 ")) << saved.toStdString();
  ChooseFromPlotMenu("Physical wind");
  EXPECT_EQ(Params().WindModel, 0.0);
  // Opening the file sets the marks from what it holds.
  openFile_ = chosenFile_;
  ChooseFromPlotMenu("Open parameter file...");
  EXPECT_EQ(Params().WindModel, 1.0);
  QMenu* menu = OpenPlotMenu();
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(MenuEntry(menu, "Physical wind")->isChecked());
  EXPECT_TRUE(MenuEntry(menu, "Dormand-Prince 5(4)")->isChecked());
  menu->close();
  EXPECT_TRUE(messages_.empty());
}

}  // namespace
}  // namespace zarn::ui
