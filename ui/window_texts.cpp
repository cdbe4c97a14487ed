#include "ui/window_texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <array>
#include <cstddef>
#include <memory>

#include "records/language.h"

namespace zarn::ui {
namespace {

struct Row {
  Text Of;
  const char* German;  // UTF-8
  const char* Russian;
  const char* English;
};

// clang-format off
constexpr Row kTexts[] = {
    {Text::kSaveGraph, "Grafik speichern unter...", "Сохранить график как...", "Save graph as..."},
    {Text::kSaveTable, "Tabelle als CSV speichern...", "Сохранить таблицу в CSV...", "Save table as CSV..."},
    {Text::kCopyGraph, "Grafik kopieren", "Копировать график", "Copy graph"},
    {Text::kClearStyle, "Klarer Grafikstil", "Чёткий стиль графика", "Clear graph style"},
    {Text::kOpenParams, "Parameterdatei öffnen...", "Открыть файл параметров...", "Open parameter file..."},
    {Text::kSaveParams, "Parameterdatei speichern...", "Сохранить файл параметров...", "Save parameter file..."},
    {Text::kResultsFolder, "Ergebnisordner...", "Папка результатов...", "Results folder..."},
    {Text::kKeepRun, "Diesen Lauf behalten", "Запомнить этот расчёт", "Keep this run"},
    {Text::kClearKept, "Behaltene Läufe entfernen", "Забыть запомненные расчёты", "Clear kept runs"},
    {Text::kOpenMeasured, "Messdaten öffnen...", "Открыть данные измерений...", "Open measured data..."},
    {Text::kClearMeasured, "Messdaten entfernen", "Убрать данные измерений", "Clear measured data"},
    {Text::kEuler, "Euler (zwei Durchläufe)", "Эйлер (два прохода)", "Euler (two passes)"},
    {Text::kRungeKutta4, "Runge-Kutta 4", "Рунге — Кутта 4", "Runge-Kutta 4"},
    {Text::kDormandPrince, "Dormand-Prince 5(4)", "Дорманд — Принс 5(4)", "Dormand-Prince 5(4)"},
    {Text::kPhysicalWind, "Physikalischer Wind", "Физическая модель ветра", "Physical wind"},
    {Text::kCheckStep, "Schritt prüfen", "Проверить шаг", "Check the step"},
    {Text::kSaveGraphTitle, "Grafik speichern unter", "Сохранить график как", "Save graph as"},
    {Text::kSaveTableTitle, "Tabelle als CSV speichern", "Сохранить таблицу в CSV", "Save table as CSV"},
    {Text::kOpenParamsTitle, "Parameterdatei öffnen", "Открыть файл параметров", "Open parameter file"},
    {Text::kSaveParamsTitle, "Parameterdatei speichern", "Сохранить файл параметров", "Save parameter file"},
    {Text::kResultsFolderTitle, "Ergebnisordner", "Папка результатов", "Results folder"},
    {Text::kOpenMeasuredTitle, "Messdaten öffnen", "Открыть данные измерений", "Open measured data"},
    {Text::kGraphFiles, "PNG-Bilder (*.png);;SVG-Zeichnungen (*.svg);;PDF-Dokumente (*.pdf)",
     "Изображения PNG (*.png);;Рисунки SVG (*.svg);;Документы PDF (*.pdf)",
     "PNG images (*.png);;SVG drawings (*.svg);;PDF documents (*.pdf)"},
    {Text::kCsvFiles, "CSV-Tabellen (*.csv)", "Таблицы CSV (*.csv)", "CSV tables (*.csv)"},
    {Text::kParamFiles, "Zarn-Parameterdateien (*.zarn)", "Файлы параметров Zarn (*.zarn)", "Zarn parameter files (*.zarn)"},
    {Text::kComputing, "Die Flugbahn wird berechnet...", "Расчёт траектории...", "Computing the trajectory..."},
    {Text::kCancel, "Abbrechen", "Отмена", "Cancel"},
    {Text::kClose, "Schließen", "Закрыть", "Close"},
    {Text::kThisRun, "dieser Lauf", "этот расчёт", "this run"},
    {Text::kMeasured, "gemessen: ", "измерено: ", "measured: "},
    {Text::kSameValues, "gleiche Werte", "те же значения", "same values"},
    {Text::kMeasuredMinusComputed, "Gemessen minus berechnet:", "Измерено минус рассчитано:", "Measured minus computed:"},
    {Text::kRms, "RMS", "СКО", "RMS"},
    {Text::kLargest, "größte", "макс.", "largest"},
    {Text::kSkipped, "außerhalb", "вне полёта", "outside"},
    {Text::kNoTimeInFlight, "kein Messzeitpunkt im Flug", "нет моментов измерения в полёте", "no measured time within the flight"},
    {Text::kApex, "Gipfel", "апогей", "apex"},
    {Text::kRange, "Weite", "дальность", "range"},
    {Text::kStartRefused, "START abgelehnt: ", "START отклонён: ", "START refused: "},
    {Text::kRunCancelled, "Lauf abgebrochen", "Расчёт прерван", "Run cancelled"},
    {Text::kClassicWind, "Wind klassisch; Menü: physikalisch", "Ветер: классич. (меню: физич.)",
     "Wind: classic model (menu: physical)"},
    {Text::kFewSamples, "%1 von %2 Zeilen: der Flug dauerte %3 Schritte; ein Schritt von %4 s oder weniger füllt alle %2",
     "%1 из %2 строк: полёт занял %3 шагов; шаг %4 с или меньше заполнит все %2",
     "%1 of %2 samples: the flight took %3 steps; a step of %4 s or less fills all %2"},
    {Text::kFirstStepOnly, "1 von %1 Zeilen: der Flug endete mit seinem ersten Schritt",
     "1 из %1 строк: полёт закончился на первом шаге", "1 of %1 samples: the flight ended at its first step"},
};
// clang-format on

constexpr bool EveryTextOnceInOrder() {
  if (std::size(kTexts) != static_cast<std::size_t>(Text::kCount)) return false;
  for (std::size_t i = 0; i < std::size(kTexts); ++i)
    if (static_cast<std::size_t>(kTexts[i].Of) != i) return false;
  return true;
}
static_assert(EveryTextOnceInOrder(), "one row per text, in the order of Text");

}  // namespace

QString Words(Text text, int32_t LangCode) {
  const Row& row = kTexts[static_cast<std::size_t>(text)];
  return QString::fromUtf8(InLanguage(LanguageOf(LangCode), row.German, row.Russian, row.English));
}

void SpeakToolkit(int32_t LangCode) {
  static std::unique_ptr<QTranslator> toolkit;
  if (toolkit) QCoreApplication::removeTranslator(toolkit.get());
  toolkit.reset();
  const Language language = LanguageOf(LangCode);
  if (language == Language::English) return;
  auto translator = std::make_unique<QTranslator>();
  const QString name =
      language == Language::Russian ? QStringLiteral("qtbase_ru") : QStringLiteral("qtbase_de");
  if (!translator->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) return;
  QCoreApplication::installTranslator(translator.get());
  toolkit = std::move(translator);
}

}  // namespace zarn::ui
