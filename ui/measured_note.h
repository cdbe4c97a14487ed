#pragma once
// The window's notes on a run, in the form's language: on measured data, measured minus computed,
// a short line per column, then the apex and the range; on a run that stored few samples.
#include <QString>
#include <cstdint>

#include "flight/integrator.h"
#include "input/measured_data.h"

namespace zarn::ui {

QString MeasuredNote(const Deviation& deviation, int32_t LangCode, char decimalSeparator);

// The note on a run that stored fewer rows than its table holds; empty when it filled them.
QString FewSamplesNote(const RunResult& run, int32_t LangCode, char decimalSeparator);

}  // namespace zarn::ui
