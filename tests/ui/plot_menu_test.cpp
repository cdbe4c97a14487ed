// The plot's context menu: the graph as PNG, the table as CSV and the graph on the clipboard.
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFile>
#include <QStringList>
#include <cerrno>
#include <string>
#include <system_error>

#include "output/table_csv.h"
#include "plot/renderer.h"
#include "windows_fixture.h"

namespace zarn::ui {
namespace {

constexpr char kSaveGraph[] = "Save graph as...";
constexpr char kSaveTable[] = "Save table as CSV...";
constexpr char kCopyGraph[] = "Copy graph";
constexpr char kClearStyle[] = "Clear graph style";
constexpr char kOpenParams[] = "Open parameter file...";
constexpr char kSaveParams[] = "Save parameter file...";
constexpr char kResultsFolder[] = "Results folder...";
constexpr char kKeepRun[] = "Keep this run";
constexpr char kClearKept[] = "Clear kept runs";
constexpr char kOpenMeasured[] = "Open measured data...";
constexpr char kClearMeasured[] = "Clear measured data";

// The entries that act on the shown graph, or on kept runs and measured data (none here); the
// others are always on.
bool ActsOnTheGraph(const QAction* action) {
  return action->objectName() == kSaveGraph || action->objectName() == kSaveTable ||
         action->objectName() == kCopyGraph || action->objectName() == kKeepRun ||
         action->objectName() == kClearKept || action->objectName() == kClearMeasured;
}
bool ActsOnKeptOrMeasured(const QAction* action) {
  return action->objectName() == kClearKept || action->objectName() == kClearMeasured;
}

TEST_F(WindowsTest, PlotMenuSpeaksTheLanguageOfTheStartForm) {
  const struct {
    Language Chosen;
    QStringList Entries;
    QString Cancel;
  } cases[] = {
      {kRussian,
       {"Сохранить график как...", "Сохранить таблицу в CSV...", "Копировать график", "Чёткий стиль графика",
        "Открыть файл параметров...", "Сохранить файл параметров...", "Папка результатов...",
        "Запомнить этот расчёт", "Забыть запомненные расчёты", "Открыть данные измерений...",
        "Убрать данные измерений", "Эйлер (два прохода)", "Рунге — Кутта 4", "Дорманд — Принс 5(4)",
        "Физическая модель ветра", "Проверить шаг", "Земля и место старта…", "Файлы аппарата…"},
       "Отмена"},
      {kGerman,
       {"Grafik speichern unter...", "Tabelle als CSV speichern...", "Grafik kopieren", "Klarer Grafikstil",
        "Parameterdatei öffnen...", "Parameterdatei speichern...", "Ergebnisordner...",
        "Diesen Lauf behalten", "Behaltene Läufe entfernen", "Messdaten öffnen...", "Messdaten entfernen",
        "Euler (zwei Durchläufe)", "Runge-Kutta 4", "Dormand-Prince 5(4)", "Physikalischer Wind",
        "Schritt prüfen", "Erde und Startort…", "Fahrzeugdateien…"},
       "Abbrechen"},
      {kEnglish,
       {"Save graph as...", "Save table as CSV...", "Copy graph", "Clear graph style",
        "Open parameter file...", "Save parameter file...", "Results folder...", "Keep this run",
        "Clear kept runs", "Open measured data...", "Clear measured data", "Euler (two passes)",
        "Runge-Kutta 4", "Dormand-Prince 5(4)", "Physical wind", "Check the step", "Earth and launch site…",
        "Vehicle files…"},
       "Cancel"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Chosen);
    RestartProgram();
    OpenWithPreset(0, c.Chosen);
    QMenu* menu = OpenPlotMenu();
    ASSERT_NE(menu, nullptr);
    QStringList entries;
    for (QAction* action : menu->actions()) {
      if (action->isSeparator()) continue;
      entries << action->text();
      // The menu is wide enough for the whole entry.
      EXPECT_GE(menu->actionGeometry(action).width(), menu->fontMetrics().horizontalAdvance(action->text()))
          << action->text().toStdString();
    }
    EXPECT_EQ(entries, c.Entries);
    menu->close();
    // The toolkit's own buttons (file dialogs, message boxes) as well.
    QDialogButtonBox box(QDialogButtonBox::Cancel);
    EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), c.Cancel);
  }
}

TEST_F(WindowsTest, PlotMenuOffersItsEntriesOnlyWhileThePlotShowsAGraph) {
  OpenWithPreset(0);
  QMenu* menu = OpenPlotMenu();
  ASSERT_NE(menu, nullptr);
  QStringList entries;
  for (QAction* action : menu->actions()) {
    if (action->isSeparator()) continue;
    entries << action->objectName();
    // The artwork is no graph; parameter files open and save at any time.
    EXPECT_EQ(action->isEnabled(), !ActsOnTheGraph(action)) << action->text().toStdString();
  }
  EXPECT_EQ(entries,
            QStringList({kSaveGraph, kSaveTable, kCopyGraph, kClearStyle, kOpenParams, kSaveParams,
                         kResultsFolder, kKeepRun, kClearKept, kOpenMeasured, kClearMeasured,
                         "Euler (two passes)", "Runge-Kutta 4", "Dormand-Prince 5(4)", "Physical wind",
                         "Check the step", "Earth and launch site…", "Vehicle files…"}));
  menu->close();
  chosenFile_ = workDir_.filePath("never.png");
  ChooseFromPlotMenu(kSaveGraph);
  EXPECT_TRUE(chooserCaptions_.empty());

  PressStart();
  menu = OpenPlotMenu();
  ASSERT_NE(menu, nullptr);
  for (QAction* action : menu->actions())
    EXPECT_EQ(action->isEnabled(), !ActsOnKeptOrMeasured(action)) << action->text().toStdString();
  menu->close();

  PressMain();  // blanks the plot
  PressStartOfStartForm();
  menu = OpenPlotMenu();
  ASSERT_NE(menu, nullptr);
  for (QAction* action : menu->actions())
    EXPECT_EQ(action->isEnabled(), !ActsOnTheGraph(action)) << action->text().toStdString();
  menu->close();
  EXPECT_TRUE(messages_.empty());
}

TEST_F(WindowsTest, SavedPngIsTheWholeRendererImageOfTheShownGraph) {
  OpenWithPreset(0);
  PressStart();
  PressGraph("Button3");  // not the default graph: the save takes the graph on show
  chosenFile_ = workDir_.filePath("height.png");
  ChooseFromPlotMenu(kSaveGraph);
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  EXPECT_EQ(chooserCaptions_, std::vector<QString>{"Grafik speichern unter"});

  QImage saved;
  ASSERT_TRUE(saved.load(chosenFile_, "PNG"));
  EXPECT_EQ(saved.size(), QSize(kGraphWidth, kGraphHeight));  // not cut to the plot area
  saved = saved.convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(saved, Plot());
  EXPECT_EQ(saved, PlotGraph(Shown().Table, form2_->Selection(), 500, Shown().Units, '.')
                       .convertToFormat(QImage::Format_RGB32));
}

TEST_F(WindowsTest, SavedCsvIsTheRunsTableUnderTheFixedHeader) {
  OpenWithPreset(3);  // climbs far above 10 km: the heights end up in km
  PressStart();
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  ASSERT_EQ(Shown().Units.HeightInKm, 1);
  chosenFile_ = workDir_.filePath("table.csv");
  ChooseFromPlotMenu(kSaveTable);
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  EXPECT_EQ(chooserCaptions_, std::vector<QString>{"Tabelle als CSV speichern"});

  const QByteArray csv = Contents(chosenFile_);
  // The same writer as zarn-batch: heights in m under H_m, though the run switched them to km.
  EXPECT_EQ(csv.left(csv.indexOf('\n')).toStdString(), TableCsvHeader());
  EXPECT_TRUE(TableCsvHeader().find(",H_m,") != std::string::npos);
  EXPECT_TRUE(csv.toStdString() == TableCsvText(Shown().Table, Shown().Units, 500))
      << "the CSV is not the run's table";
}

TEST_F(WindowsTest, SaveIntoAMissingFolderShowsThePlatformsMessageAndCreatesNothing) {
  OpenWithPreset(0);
  PressStart();
  const QString missing = workDir_.filePath("no such folder");
  for (const char* entry : {kSaveGraph, kSaveTable}) {
    messages_.clear();
    chosenFile_ = missing + (std::string_view(entry) == kSaveGraph ? "/graph.png" : "/table.csv");
    ChooseFromPlotMenu(entry);
    ASSERT_EQ(messages_.size(), 1u) << entry;
    EXPECT_TRUE(messages_[0].contains(chosenFile_)) << messages_[0].toStdString();
    EXPECT_TRUE(messages_[0].endsWith(PlatformMessage(ENOENT))) << messages_[0].toStdString();
  }
  EXPECT_EQ(messages_[0], "Cannot create \"" + chosenFile_ + "\": " + PlatformMessage(ENOENT));
  EXPECT_FALSE(QFile::exists(missing));
}

TEST_F(WindowsTest, FileThatRefusesTheBytesIsReportedAndNotTakenAsSaved) {
  OpenWithPreset(0);
  PressStart();
  // The kernel lets a process running as root open its own status file for writing but refuses
  // every write, so the fault shows only when the bytes are flushed; other users cannot open it.
  chosenFile_ = "/proc/self/status";
  for (const char* entry : {kSaveGraph, kSaveTable}) {
    messages_.clear();
    ChooseFromPlotMenu(entry);
    ASSERT_EQ(messages_.size(), 1u) << entry;
    EXPECT_TRUE(messages_[0].startsWith("Cannot ")) << messages_[0].toStdString();
    EXPECT_TRUE(messages_[0].contains(chosenFile_)) << messages_[0].toStdString();
  }
}

TEST_F(WindowsTest, SaveDialogStartsWhereTheLastSaveSucceededNotWhereOneFailed) {
  OpenWithPreset(0);
  PressStart();
  ASSERT_TRUE(QDir(workDir_.path()).mkdir("good"));
  chosenFile_ = workDir_.filePath("good/graph.png");
  ChooseFromPlotMenu(kSaveGraph);
  ASSERT_TRUE(messages_.empty());
  chosenFile_ = workDir_.filePath("no such folder/table.csv");
  ChooseFromPlotMenu(kSaveTable);
  ASSERT_EQ(messages_.size(), 1u);
  chosenFile_.clear();
  ChooseFromPlotMenu(kSaveGraph);
  ASSERT_EQ(chooserSuggestions_.size(), 3u);
  EXPECT_EQ(chooserSuggestions_[1], workDir_.filePath("good/Zarn_table.csv"));
  EXPECT_EQ(chooserSuggestions_[2], workDir_.filePath("good/Zarn_graph.png"));
}

TEST_F(WindowsTest, CancelledSaveDialogWritesNothingAndReportsNothing) {
  OpenWithPreset(0);
  PressStart();
  chosenFile_.clear();
  ChooseFromPlotMenu(kSaveGraph);
  ChooseFromPlotMenu(kSaveTable);
  EXPECT_EQ(chooserCaptions_.size(), 2u);
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(QDir(workDir_.path()).entryList(QDir::Files).size(), 2);  // the run's two result files
}

TEST_F(WindowsTest, CopyGraphPutsTheShownGraphOnTheClipboard) {
  OpenWithPreset(0);
  PressStart();
  PressGraph("Button4");
  QGuiApplication::clipboard()->clear();
  ChooseFromPlotMenu(kCopyGraph);
  EXPECT_TRUE(messages_.empty());
  const QImage copied = QGuiApplication::clipboard()->image();
  EXPECT_EQ(copied.size(), QSize(kGraphWidth, kGraphHeight));
  EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB32), Plot());
}

}  // namespace
}  // namespace zarn::ui
