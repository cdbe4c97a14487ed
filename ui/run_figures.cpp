#include "ui/run_figures.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "flight/number_text.h"

namespace zarn::ui {
namespace {

// Captions and units in German (LangCode 0 and 2), Russian (1) and English (3); UTF-8.
struct Words {
  const char* German;
  const char* Russian;
  const char* English;
};
enum Figure {
  kFlightTime,
  kRange,
  kImpactTime,
  kImpactRange,
  kApex,
  kAt,
  kEndSpeed,
  kMaxQ,
  kPeakNx,
  kLevelFlightSpeed,
  kVolume
};
// clang-format off
constexpr Words kFigureCaptions[] = {
    {"Flugzeit", "Время полёта", "flight time"},
    {"Reichweite", "Дальность", "range"},
    {"Einschlagzeit", "Время падения", "impact time"},
    {"Einschlagweite", "Дальность падения", "impact range"},
    {"Gipfelhöhe", "Макс. высота", "apex height"},
    {"bei", "в", "at"},
    {"Endgeschwindigkeit", "Конечная скорость", "end speed"},
    {"max. Staudruck", "Макс. скор. напор", "max. dynamic pressure"},
    {"Spitzen-Lastvielfaches nx", "Пик. перегрузка nx", "peak load factor nx"},
    {"Horizontalflug-Geschw.", "Скорость гориз. полёта", "level-flight speed"},
    {"Volumen", "Объём", "buoyant volume"},
};
enum Unit { kSecond, kMinute, kHour, kMetre, kKilometre, kMetrePerSecond, kKiloPascal, kG, kCubicMetre };
constexpr Words kUnits[] = {
    {"s", "с", "s"},       {"min", "мин", "min"}, {"h", "ч", "h"},
    {"m", "м", "m"},       {"km", "км", "km"},    {"m/s", "м/с", "m/s"},
    {"kPa", "кПа", "kPa"}, {"g", "g", "g"},       {"m3", "м3", "m3"},
};
// clang-format on

const char* InLanguage(const Words& words, int32_t LangCode) {
  return LangCode == 1 ? words.Russian : LangCode == 3 ? words.English : words.German;
}

// At least 4 significant digits, and all the digits before the separator (no "1.235E4 m").
std::string Number(double value, char sep) {
  const double magnitude = std::fabs(value);
  const int whole = magnitude >= 1.0 ? static_cast<int>(std::floor(std::log10(magnitude))) + 1 : 0;
  return FormatGeneral(value, std::clamp(whole, 4, 15), sep);
}

}  // namespace

QString FiguresText(const KeyFigures& f, const UnitFlags& units, int32_t LangCode, char decimalSeparator) {
  QString text;
  auto value = [&](double v, Unit unit) {
    return QString::fromStdString(Number(v, decimalSeparator)) + QLatin1Char(' ') +
           QString::fromUtf8(InLanguage(kUnits[unit], LangCode));
  };
  auto line = [&](Figure figure, double v, Unit unit) {
    if (!text.isEmpty()) text += QLatin1Char('\n');
    text += QString::fromUtf8(InLanguage(kFigureCaptions[figure], LangCode)) + QStringLiteral(": ") +
            value(v, unit);
  };
  // In the units the graphs' axes show. A flight that ends at the ground shows where and when it
  // met it, between its last steps; one that ends by time, its last step.
  const double timeFactor = StoredUnitFactor(kColT, units), rangeFactor = StoredUnitFactor(kColX, units);
  const Unit time = units.TimeUnit == 3 ? kHour : units.TimeUnit == 2 ? kMinute : kSecond;
  const bool rangeKm = units.RangeInKm == 1, heightKm = units.HeightInKm == 1;
  const Unit range = rangeKm ? kKilometre : kMetre;
  line(kFlightTime, f.FlightTime / timeFactor, time);
  line(kRange, f.Range / rangeFactor, range);
  if (f.ApexH) {
    line(kApex, *f.ApexH / StoredUnitFactor(kColH, units), heightKm ? kKilometre : kMetre);
    if (f.ApexTime)
      text += QLatin1Char(' ') + QString::fromUtf8(InLanguage(kFigureCaptions[kAt], LangCode)) +
              QLatin1Char(' ') + value(*f.ApexTime / timeFactor, time);
  }
  line(kEndSpeed, f.EndSpeed, kMetrePerSecond);
  line(kMaxQ, f.MaxQ / 1000.0, kKiloPascal);
  line(kPeakNx, f.PeakNx, kG);
  if (f.LevelFlightSpeed) line(kLevelFlightSpeed, *f.LevelFlightSpeed, kMetrePerSecond);
  if (f.BuoyantVolume) line(kVolume, *f.BuoyantVolume, kCubicMetre);
  return text;
}

}  // namespace zarn::ui
