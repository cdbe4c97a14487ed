#include "output/run_note.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "flight/number_text.h"
#include "models/earth.h"

namespace zarn {
namespace {

// x > 0 rounded down to two significant digits of its shortest decimal text, so that a step that
// reads 0.0024 stays 0.0024 rather than becoming 0.0023 for the binary value below it.
double FloorTwoDigits(double x) {
  char text[32];
  const char* end = std::to_chars(text, text + sizeof text, x, std::chars_format::scientific).ptr;
  // "d.ddde-xx" or "de-xx": keep the first two digits and the exponent.
  const char* e = std::find(static_cast<const char*>(text), end, 'e');
  std::string kept(1, text[0]);
  kept += '.';
  kept += text[1] == '.' && e - text > 2 ? text[2] : '0';
  kept.append(e, end);
  double value = 0.0;
  std::from_chars(kept.data(), kept.data() + kept.size(), value);
  return value;
}

// In the order of EarthShape.
constexpr std::array<std::string_view, 4> kEarthNames{"flat with g = 9.8", "sphere, not rotating",
                                                      "rotating sphere", "rotating WGS-84 ellipsoid with J2"};
static_assert(static_cast<std::size_t>(EarthShape::kRotatingEllipsoid) + 1 == kEarthNames.size());

}  // namespace

std::string_view EarthModelName(const FlightParameters& p) {
  for (std::size_t shape = 0; shape < kEarthNames.size(); ++shape)
    if (p.EarthModel == static_cast<double>(shape)) return kEarthNames[shape];
  return {};
}

std::optional<FewSamples> FewSamplesOf(const RunResult& run) {
  const int32_t stored = run.Summary.SamplesStored, rows = run.Table.RowsPerColumn;
  if (stored <= 0 || stored >= rows) return std::nullopt;
  const int64_t steps = run.Summary.StepsPerPass;
  // A flight over at its first step ends there whatever the step: no step to suggest.
  return FewSamples{stored, rows, steps, steps == 1 ? 0.0 : FloorTwoDigits(run.Summary.SampleInterval)};
}

std::string FewSamplesNote(const RunResult& run, char decimalSeparator) {
  const std::optional<FewSamples> few = FewSamplesOf(run);
  if (!few) return {};
  const std::string rows = std::to_string(few->Rows);
  if (few->Steps == 1) return "1 of " + rows + " samples: the flight ended at its first step";
  return std::to_string(few->Stored) + " of " + rows + " samples: the flight took " +
         std::to_string(few->Steps) + " steps; a step of " +
         FormatGeneral(few->FillingStep, 15, decimalSeparator) + " s or less fills all " + rows;
}

}  // namespace zarn
