#include "output/place_figures.h"

#include "flight/number_text.h"

namespace zarn {

PlaceFigures PlaceOfEvent(const FlightEvent& e) {
  return {e.Z, e.Lat, e.Lon};
}

PlaceFigures PlaceAtLastStep(const RunResult& run) {
  PlaceFigures place{};
  for (std::size_t i = 0; i < kPlaceRows.size(); ++i) place[i] = run.Final.*kPlaceRows[i].Member;
  return place;
}

std::optional<PlaceFigures> ImpactPlace(const RunResult& run) {
  if (const FlightEvent* impact = FindEvent(run.Events, EventKind::Impact)) return PlaceOfEvent(*impact);
  return std::nullopt;
}

std::vector<std::pair<std::string, double>> PlaceKeys(const RunResult& run) {
  std::vector<std::pair<std::string, double>> keys;
  const PlaceFigures last = PlaceAtLastStep(run);
  for (std::size_t i = 0; i < kPlaceRows.size(); ++i) keys.emplace_back(kPlaceRows[i].Key, last[i]);
  if (const std::optional<PlaceFigures> impact = ImpactPlace(run))
    for (std::size_t i = 0; i < kPlaceRows.size(); ++i)
      keys.emplace_back("impact_" + std::string(kPlaceRows[i].Key), (*impact)[i]);
  return keys;
}

std::string PlaceJson(const RunResult& run) {
  std::string text;
  for (const auto& [key, value] : PlaceKeys(run))
    text.append(", \"").append(key).append("\": ").append(ShortestText(value));
  return text;
}

}  // namespace zarn
