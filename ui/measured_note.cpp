#include "ui/measured_note.h"

#include <optional>
#include <string>
#include <string_view>

#include "flight/number_text.h"
#include "output/run_note.h"
#include "ui/window_texts.h"

namespace zarn::ui {
namespace {

QString Number(double v, bool sign, char sep) {
  QString text = QString::fromStdString(FormatGeneral(v, 4, sep));
  if (sign && v > 0) text.prepend(QLatin1Char('+'));
  return text;
}

QString Name(int column) {
  const std::string_view name = CsvName(column);
  return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

}  // namespace

QString MeasuredNote(const Deviation& d, int32_t LangCode, char sep) {
  const auto words = [LangCode](Text t) { return Words(t, LangCode); };
  QString text = words(Text::kMeasuredMinusComputed);
  for (const ColumnDeviation& c : d.Columns) {
    text += QLatin1Char('\n') + Name(c.Column) + QStringLiteral(": ");
    if (c.Compared == 0) {
      text += words(Text::kNoTimeInFlight);
      continue;
    }
    text += words(Text::kRms) + QLatin1Char(' ') + Number(c.Rms, false, sep) + QStringLiteral(", ") +
            words(Text::kLargest) + QLatin1Char(' ') + Number(c.MaxDiff, true, sep) +
            QStringLiteral(" (n\u00A0=\u00A0") + QString::number(c.Compared);
    if (c.Outside > 0)
      text += QStringLiteral("; ") + QString::number(c.Outside) + QLatin1Char(' ') + words(Text::kSkipped);
    text += QLatin1Char(')');
  }
  if (d.ApexH)
    text += QLatin1Char('\n') + words(Text::kApex) + QStringLiteral(" H_m: ") + Number(*d.ApexH, true, sep);
  if (d.RangeX)
    text += QLatin1Char('\n') + words(Text::kRange) + QStringLiteral(" X_m: ") + Number(*d.RangeX, true, sep);
  return text;
}

QString FewSamplesNote(const RunResult& run, int32_t LangCode, char sep) {
  const std::optional<FewSamples> few = FewSamplesOf(run);
  if (!few) return {};
  if (few->Steps == 1) return Words(Text::kFirstStepOnly, LangCode).arg(few->Rows);
  return Words(Text::kFewSamples, LangCode)
      .arg(QString::number(few->Stored), QString::number(few->Rows), QString::number(few->Steps),
           QString::fromStdString(FormatGeneral(few->FillingStep, 15, sep)));
}

}  // namespace zarn::ui
