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
    {Text::kEarthEntry, "Erde und Startort…", "Земля и место старта…", "Earth and launch site…"},
    {Text::kEarthTitle, "Erde und Startort", "Земля и место старта", "Earth and launch site"},
    {Text::kEarthModelLabel, "Erdmodell", "Модель Земли", "Earth model"},
    {Text::kEarthFlat, "flach, g = 9,8 m/s²", "плоская, g = 9,8 м/с²", "flat, g = 9.8 m/s²"},
    {Text::kEarthSphere, "Kugel, nicht rotierend", "шар без вращения", "sphere, not rotating"},
    {Text::kEarthRotatingSphere, "rotierende Kugel", "вращающийся шар", "rotating sphere"},
    {Text::kEarthEllipsoid, "rotierendes WGS-84-Ellipsoid mit J2", "вращающийся эллипсоид WGS-84 с J2",
     "rotating WGS-84 ellipsoid with J2"},
    {Text::kEarthRadiusLabel, "Erdradius, m", "Радиус Земли, м", "Earth's radius, m"},
    {Text::kEarthMuLabel, "Gravitationsparameter, m³/s²", "Гравитационный параметр, м³/с²", "Gravitational parameter, m³/s²"},
    {Text::kEarthRateLabel, "Drehrate der Erde, rad/s", "Угловая скорость Земли, рад/с", "Earth's rotation rate, rad/s"},
    {Text::kLaunchLatLabel, "Breite des Startorts, °", "Широта места старта, °", "Latitude of the launch site, °"},
    {Text::kLaunchLonLabel, "Länge des Startorts, °", "Долгота места старта, °", "Longitude of the launch site, °"},
    {Text::kAzimuthLabel, "Azimut von X, ° von Nord im Uhrzeigersinn", "Азимут оси X, ° от севера по часовой",
     "Azimuth of X, ° clockwise from north"},
    {Text::kCrossWindLabel, "Seitenwind nach rechts, m/s", "Боковой ветер вправо, м/с", "Cross wind to the right, m/s"},
    {Text::kAtmosphereLabel, "Atmosphäre", "Атмосфера", "Atmosphere"},
    {Text::kAtmosphereTable, "Tabelle", "таблица", "table"},
    {Text::kAtmosphereUs76, "US-Standardatmosphäre 1976", "стандартная атмосфера США 1976 г.", "1976 US Standard Atmosphere"},
    {Text::kStandardValue, "leer: %1", "пусто: %1", "empty: %1"},
    {Text::kOk, "OK", "ОК", "OK"},
    {Text::kNotANumber, "%1: „%2“ ist keine Zahl", "%1: «%2» — не число", "%1: '%2' is not a number"},
    {Text::kOutside, "%1: %2 liegt außerhalb von %3 bis %4", "%1: %2 вне пределов от %3 до %4", "%1: %2 lies outside %3 to %4"},
    {Text::kBelowZero, "%1: %2 ist kleiner als 0", "%1: %2 меньше 0", "%1: %2 is below 0"},
    {Text::kEarthNote, "Erde: %1", "Земля: %1", "Earth: %1"},
    {Text::kAtmosphereNote, "Atmosphäre: %1", "Атмосфера: %1", "Atmosphere: %1"},
    {Text::kVehicleEntry, "Fahrzeugdateien…", "Файлы аппарата…", "Vehicle files…"},
    {Text::kVehicleTitle, "Fahrzeugdateien", "Файлы аппарата", "Vehicle files"},
    {Text::kMotorLabel, "Motor der Stufe %1 (.eng)", "Двигатель ступени %1 (.eng)", "Motor of stage %1 (.eng)"},
    {Text::kCdTableLabel, "Cw über Mach (CSV)", "Cx по числу Маха (CSV)", "Cd over Mach (CSV)"},
    {Text::kCdTableStageLabel, "Cw über Mach ab Stufe %1 (CSV)", "Cx по числу Маха со ступени %1 (CSV)",
     "Cd over Mach from stage %1 (CSV)"},
    {Text::kWindTableLabel, "Wind über Höhe (CSV)", "Ветер по высоте (CSV)", "Wind over height (CSV)"},
    {Text::kPitchTableLabel, "Nickwinkel über Zeit (CSV)", "Угол тангажа по времени (CSV)", "Pitch over time (CSV)"},
    {Text::kChooseFile, "Wählen…", "Выбрать…", "Choose…"},
    {Text::kClearFile, "Entfernen", "Убрать", "Clear"},
    {Text::kNoFile, "keine Datei", "нет файла", "no file"},
    {Text::kMotorView, "%1: Gesamtimpuls %2 N·s, Brenndauer %3 s", "%1: полный импульс %2 Н·с, время работы %3 с",
     "%1: total impulse %2 N·s, burn time %3 s"},
    {Text::kTableView, "%1 Zeilen, %2 von %3 bis %4", "%1 строк, %2 от %3 до %4", "%1 rows, %2 from %3 to %4"},
    {Text::kWithCrossWind, ", mit Seitenwind", ", с боковым ветром", ", with cross wind"},
    {Text::kMach, "Mach", "число Маха", "Mach"},
    {Text::kHeight, "Höhe", "высота", "height"},
    {Text::kTime, "Zeit", "время", "time"},
    {Text::kOpenVehicleTitle, "Fahrzeugdatei öffnen", "Открыть файл аппарата", "Open vehicle file"},
    {Text::kMotorFiles, "RASP-Motordateien (*.eng)", "Файлы двигателей RASP (*.eng)", "RASP motor files (*.eng)"},
    {Text::kMotorInStage, "Motor %1: %2 N·s in %3 s", "Двигатель %1: %2 Н·с за %3 с", "Motor %1: %2 N·s in %3 s"},
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
