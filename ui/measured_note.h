#pragma once
// The window's note on measured data: measured minus computed, a short line per column, then the
// apex and the range, in the form's language.
#include <QString>
#include <cstdint>

#include "output/measured_data.h"

namespace zarn::ui {

QString MeasuredNote(const Deviation& deviation, int32_t LangCode, char decimalSeparator);

}  // namespace zarn::ui
