#include <algorithm>
#include <string>

#include "flight/columns.h"
#include "flight/key_figures.h"
#include "flight/number_text.h"
#include "output/event_text.h"
#include "output/place_figures.h"
#include "records/errors.h"
#include "runner/runner.h"

namespace zarn::runner {

std::span<const std::string_view> FigureKeys() {
  static const std::array<std::string_view, kFigureCount> keys = [] {
    std::array<std::string_view, kFigureCount> k{};
    for (std::size_t i = 0; i < k.size(); ++i) k[i] = kFigures[i].Key;
    return k;
  }();
  return keys;
}

bool FigureListed(int id, const PresetRecordSlots& base, std::span<const ParamName* const> varied) {
  auto present = [&](int slot) {
    if (base[static_cast<std::size_t>(slot)] != 0.0) return true;
    return std::any_of(varied.begin(), varied.end(), [slot](const ParamName* p) { return p->Slot == slot; });
  };
  if (id == kFigRailExitT || id == kFigRailExitV) return present(kSlotRailLength);
  if (id == kFigChuteOpenT || id == kFigLandingV || id == kFigDrift) return present(kSlotChuteCdS);
  return true;
}

Flight Fly(const FlightParameters& p, const RunOptions& run, std::unique_ptr<RunResult> reuse) {
  Flight flight{std::move(reuse), {}};
  if (flight.Result)
    ComputeTrajectory(p, run, *flight.Result);
  else
    flight.Result = ComputeTrajectory(p, run);
  const KeyFigures k = KeyFiguresOf(p, *flight.Result);
  flight.Values = FiguresOf(k);
  for (const std::optional<double>& v : flight.Values)
    if (v) Checked(*v);  // no figure is ever inf or nan
  flight.LocatedMaxima = k.LocatedMaxima;
  flight.ThreeDimensions = FliesInThreeDimensions(p);
  flight.DegPerRad = DegreesPerRadian(p);
  return flight;
}

std::string NumberText(double value) {
  return ShortestText(value);
}

std::string FigureText(const Figures& f, int id, bool forPeople) {
  const double v = *f[static_cast<std::size_t>(id)];
  if (kFigures[static_cast<std::size_t>(id)].Unit.empty()) return std::to_string(static_cast<int64_t>(v));
  return forPeople ? FormatGeneral(Checked(v), 10, '.') : NumberText(v);
}

std::string SummaryText(const Figures& figures) {
  std::string text;
  for (int id = 0; id < kFigureCount; ++id) {
    if (!figures[static_cast<std::size_t>(id)]) continue;
    const FigureRow& figure = kFigures[static_cast<std::size_t>(id)];
    const ShownFigure shown = ShownAs(figures, id);
    text.append(shown.Label).append(": ").append(FigureText(figures, shown.From, true));
    if (!figure.Unit.empty()) text.append(" ").append(figure.Unit);
    text += '\n';
  }
  return text;
}

std::string FiguresJson(const Figures& figures) {
  std::string text = "{";
  for (int id = 0; id < kFigureCount; ++id) {
    if (!figures[static_cast<std::size_t>(id)]) continue;
    if (text.size() > 1) text += ", ";
    text.append("\"").append(kFigures[static_cast<std::size_t>(id)].Key).append("\": ");
    text.append(FigureText(figures, id, false));
  }
  return text + "}";
}

std::string FlightJson(const Flight& flight) {
  std::string text = FiguresJson(flight.Values);
  text.pop_back();  // the closing brace
  if (flight.ThreeDimensions) text += PlaceJson(*flight.Result);
  // The classic method keeps the largest of its step ends, which the result files are made of.
  text.append(", \"maxima\": \"").append(flight.LocatedMaxima ? "located" : "step ends").append("\"");
  return text.append(", \"events\": ")
      .append(EventsJson(flight.Result->Events, flight.ThreeDimensions, flight.DegPerRad))
      .append("}");
}

std::string ErrorJson(std::string_view message) {
  std::string text = "{\"error\": \"";
  for (const char c : message) {
    if (c == '"' || c == '\\') {
      text += '\\';
      text += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      static constexpr char kHex[] = "0123456789abcdef";
      text += "\\u00";
      text += kHex[(c >> 4) & 0xf];
      text += kHex[c & 0xf];
    } else {
      text += c;
    }
  }
  return text + "\"}";
}

}  // namespace zarn::runner
