#include "ui/run_figures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <string_view>

#include "flight/number_text.h"
#include "records/language.h"

namespace zarn::ui {
namespace {

// The figures the form shows, in its order; the apex time follows the apex height on its line. A
// vehicle's figures come last, so that a flight without a rail or a parachute shows what it did.
constexpr std::array kShownFigures{kFigTime,       kFigRange,      kFigApex,   kFigEndV,      kFigMaxQ,
                                   kFigPeakNx,     kFigLevelSpeed, kFigVolume, kFigRailExitT, kFigRailExitV,
                                   kFigChuteOpenT, kFigLandingV,   kFigDrift};

// The units in Russian; German and English write the symbols.
struct RussianUnit {
  std::string_view Symbol;
  const char* Russian;  // UTF-8
};
constexpr RussianUnit kRussianUnits[] = {
    {"s", "с"},     {"min", "мин"}, {"h", "ч"}, {"m", "м"},   {"km", "км"},
    {"m/s", "м/с"}, {"kPa", "кПа"}, {"g", "g"}, {"m3", "м3"},
};

// At least 4 significant digits, and all the digits before the separator (no "1.235E4 m").
std::string Number(double value, char sep) {
  const double magnitude = std::fabs(value);
  const int whole = magnitude >= 1.0 ? static_cast<int>(std::floor(std::log10(magnitude))) + 1 : 0;
  return FormatGeneral(value, std::clamp(whole, 4, 15), sep);
}

}  // namespace

QString UnitIn(std::string_view symbol, Language language) {
  if (language == Language::Russian)
    for (const RussianUnit& u : kRussianUnits)
      if (u.Symbol == symbol) return QString::fromUtf8(u.Russian);
  return QString::fromUtf8(symbol.data(), static_cast<qsizetype>(symbol.size()));
}

QString FiguresText(const KeyFigures& f, const UnitFlags& units, int32_t LangCode, char decimalSeparator) {
  const Language language = LanguageOf(LangCode);
  const Figures figures = FiguresOf(f);
  const auto caption = [&](int id) {
    return QString::fromUtf8(kFigures[static_cast<std::size_t>(id)].Caption.In(language));
  };
  // In the units the graphs' axes show. A flight that ends at the ground shows where and when it
  // met it, between its last steps; one that ends by time, its last step.
  const auto value = [&](int id) {
    const FigureRow& row = kFigures[static_cast<std::size_t>(id)];
    const double v = *figures[static_cast<std::size_t>(ShownAs(figures, id).From)];
    const UnitSwitch* applied = row.Column >= 0 ? AppliedSwitch(row.Column, units) : nullptr;
    const double factor = row.Column >= 0 ? StoredUnitFactor(row.Column, units) : 1.0;
    return QString::fromStdString(Number(v / factor, decimalSeparator)) + QLatin1Char(' ') +
           UnitIn(applied != nullptr ? applied->Unit : row.Unit, language);
  };
  QString text;
  for (const int id : kShownFigures) {
    if (!figures[static_cast<std::size_t>(id)]) continue;
    if (!text.isEmpty()) text += QLatin1Char('\n');
    text += caption(id) + QStringLiteral(": ") + value(id);
    if (id == kFigApex && figures[kFigApexT])
      text += QLatin1Char(' ') + caption(kFigApexT) + QLatin1Char(' ') + value(kFigApexT);
  }
  return text;
}

}  // namespace zarn::ui
