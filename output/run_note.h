#pragma once
// The note on a run that stored fewer samples than its table holds.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "flight/integrator.h"
#include "records/parameters.h"

namespace zarn {

// What a user should know about a run that stored fewer rows than the table holds, e.g.
// "248 of 500 samples: the flight took 248 steps; a step of 0.0024 s or less fills all 500";
// "1 of 500 samples: the flight ended at its first step" for a flight of one step, which a
// shorter step would end as soon; empty when the run filled the table or stored nothing. The step
// named is the flight's duration / 500 (SampleInterval) rounded down to two significant digits.
std::string FewSamplesNote(const RunResult& run, char decimalSeparator);

// The figures of that note, for a note in another language; empty where there is no note.
struct FewSamples {
  int32_t Stored;      //!< rows the run stored
  int32_t Rows;        //!< rows the table holds
  int64_t Steps;       //!< steps of a pass; 1: the flight ended at its first step
  double FillingStep;  //!< [s] a step that fills every row, rounded down to two digits
};
std::optional<FewSamples> FewSamplesOf(const RunResult& run);

// The Earth a run flies over, by EarthModel, for the summaries of a flight in three dimensions:
// "flat with g = 9.8", "sphere, not rotating", "rotating sphere", "rotating WGS-84 ellipsoid with J2";
// "" for a value that names none.
std::string_view EarthModelName(const FlightParameters& p);

}  // namespace zarn
